// PickGridLines, PickDomains, PickLines and PickLoads.
#include "stress_wizard/StressPicking.h"

#include <algorithm>

#include "cad/CadError.h"
#include "cad/ProgramLayers.h"
#include "desktop/modMessage.h"
#include "stress_wizard/StressModel.h"

namespace ardela {

namespace {

// The snap mode of the gridline and subdomain picks: end point and intersection.
constexpr std::int16_t kGridSnapMode = 33;

// The common frame of a run: the layer made current (and the snap mode set), the table emptied by
// `empty`, the loop over `pick`, then the ending.
PickEnd Run(const StressPickTarget& target, const QString& layer, bool snap, const std::function<void()>& empty,
            const std::function<bool(cad::AcadUtility&, int)>& pick)
{
    cad::AcadDocument& document = target.document;
    PickEnd end = PickEnd::Failed;
    int rows = 0;
    bool emptied = false;
    try {
        document.SetActiveLayer(document.Layers()->Item(layer));
        if (snap)
            document.SetVariable(QStringLiteral("OSMODE"), kGridSnapMode);
        empty();
        emptied = true;
        std::shared_ptr<cad::AcadUtility> utility = document.Utility();
        end = RunPickLoop([&](int n) { return pick(*utility, n); }, &rows);
    } catch (const cad::CadError& error) {
        end = error.Code() == cad::kDisconnected ? PickEnd::LinkLost : PickEnd::Failed;
    }
    if (emptied) {
        target.sheetMaxRow = static_cast<std::int16_t>(std::max<int>(target.sheetMaxRow, rows));
        if (target.fillSheet)
            target.fillSheet();
    }
    if (end == PickEnd::Cancelled) {
        if (target.clearLayer)
            target.clearLayer();
    } else if (end == PickEnd::Failed) {
        ShowMessage(StressPickFailureMessage(), MsgOkOnly, QStringLiteral("Vendel"));
    }
    return end;
}

// A run of two points per row into columns 1 to 4 of `table`.
template <int N>
PickEnd PairRun(const StressPickTarget& target, Table<N>& table, const QString& layer, bool snap,
                const QString& firstPrompt, const QString& secondPrompt)
{
    return Run(target, layer, snap, [&] { table.Clear(); },
               [&](cad::AcadUtility& utility, int n) {
                   const QString number = QString::number(n);
                   const cad::Point3 a = utility.GetPoint(std::nullopt, firstPrompt + number);
                   const cad::Point3 b = utility.GetPoint(std::nullopt, secondPrompt + number);
                   table(n, 1) = Cell(a[0]);
                   table(n, 2) = Cell(a[1]);
                   table(n, 3) = Cell(b[0]);
                   table(n, 4) = Cell(b[1]);
                   return true;
               });
}

} // namespace

QString StressPickFailureMessage()
{
    return QStringLiteral("An error has occured");
}

PickEnd PickGridLines(const StressPickTarget& target, bool vertical)
{
    const int column = vertical ? 1 : 2;
    const QString prompt = vertical ? QStringLiteral("Get x coordinate (x increasing) ")
                                    : QStringLiteral("Get y coordinate (y decreasing) ");
    StressModel& model = target.model;
    return Run(target, cad::kVendelMesh, true,
               [&] {
                   for (int r = 1; r <= kTableRows; ++r)
                       model.GridLines(r, column) = Cell();
               },
               [&](cad::AcadUtility& utility, int n) {
                   const cad::Point3 p = utility.GetPoint(std::nullopt, prompt + QString::number(n));
                   model.GridLines(n, column) = Cell(vertical ? p[0] : p[1]);
                   return true;
               });
}

PickEnd PickDomains(const StressPickTarget& target)
{
    return PairRun(target, target.model.Domains, cad::kVendelDomains, true,
                   QStringLiteral("Lower left corner of the subdomain "),
                   QStringLiteral("Upper right corner of the subdomain "));
}

PickEnd PickLines(const StressPickTarget& target)
{
    return PairRun(target, target.model.ConstrainedLines, cad::kVendelLines, false,
                   QStringLiteral("Left (lower) node of line "), QStringLiteral("Right (upper) node of line "));
}

PickEnd PickLoads(const StressPickTarget& target)
{
    StressModel& model = target.model;
    return Run(target, cad::kVendelLoads, false, [&] { model.NodalLoads.Clear(); },
               [&](cad::AcadUtility& utility, int n) {
                   const cad::Point3 p = utility.GetPoint(std::nullopt, QStringLiteral("Select node ") + QString::number(n));
                   model.NodalLoads(n, 1) = Cell(p[0]);
                   model.NodalLoads(n, 2) = Cell(p[1]);
                   return true;
               });
}

} // namespace ardela
