// The truss model and its reset.
#include "truss/TrussModel.h"

namespace ardela {

float& TrussModel::Displacement(int equation)
{
    if (equation < 1 || equation > kTableRows)
        throw ModelError(QStringLiteral("equation %1 is outside the store of %2").arg(equation).arg(kTableRows));
    return Displacements[static_cast<std::size_t>(equation - 1)];
}

namespace {

int NextRow(std::int16_t& count, const char* table)
{
    if (count >= kTableRows)
        throw ModelError(QStringLiteral("the %1 table is full (%2 rows)").arg(QLatin1String(table)).arg(kTableRows));
    return ++count;
}

Cell NodeCell(int node)
{
    return Cell(static_cast<std::int16_t>(node));
}

} // namespace

int AddNode(TrussModel& model, float x, float y)
{
    const int r = NextRow(model.NodeCount, "node");
    model.Nodes(r, 1) = Cell(x);
    model.Nodes(r, 2) = Cell(y);
    return r;
}

int AddBar(TrussModel& model, int nodeI, int nodeJ, float area, float modulus)
{
    const int r = NextRow(model.ElementCount, "bar");
    model.Elements(r, 1) = NodeCell(nodeI);
    model.Elements(r, 2) = NodeCell(nodeJ);
    model.Elements(r, 3) = Cell(area);
    model.Elements(r, 4) = Cell(modulus);
    return r;
}

int AddSupport(TrussModel& model, int node, int holdX, int holdY)
{
    const int r = NextRow(model.BlockCount, "support");
    model.Blocks(r, 1) = NodeCell(node);
    model.Blocks(r, 2) = Cell(static_cast<float>(holdX));
    model.Blocks(r, 3) = Cell(static_cast<float>(holdY));
    return r;
}

int AddLoad(TrussModel& model, int node, float fx, float fy)
{
    const int r = NextRow(model.LoadCount, "load");
    model.Loads(r, 1) = NodeCell(node);
    model.Loads(r, 2) = Cell(fx);
    model.Loads(r, 3) = Cell(fy);
    return r;
}

void ResetModel(TrussModel& model)
{
    model.NodeCount = 0;
    model.ElementCount = 0;
    model.BlockCount = 0;
    model.LoadCount = 0;
    model.Nodes.Clear();
    model.Elements.Clear();
    model.Blocks.Clear();
    model.Loads.Clear();
    model.AnalysisPath.clear();
    model.AnalysisTitle.clear();
}

TrussModel& Truss()
{
    static TrussModel* model = new TrussModel;
    return *model;
}

void ResetModel()
{
    ResetModel(Truss());
}

} // namespace ardela
