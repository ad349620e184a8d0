// The truss model and its reset.
#include "TrussModel.h"

namespace ardela {

float& TrussModel::Displacement(int equation)
{
    if (equation < 1 || equation > kTableRows)
        throw ModelError(QStringLiteral("equation %1 is outside the store of %2").arg(equation).arg(kTableRows));
    return Displacements[static_cast<std::size_t>(equation - 1)];
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
