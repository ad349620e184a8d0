// PickNodes, PickElements, PickBlocks and PickLoads.
#include "truss_wizard/TrussPicking.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "cad/CadError.h"
#include "cad/LinkFailure.h"
#include "cad/ProgramLayers.h"
#include "desktop/modMessage.h"
#include "truss/TrussModel.h"

namespace ardela {

namespace {

constexpr double kPi = 3.14159265358979;
const QString kTempSet = QStringLiteral("tempss");

// The selection filter of the node picks: point entities only.
const std::vector<std::int16_t> kPointFilterTypes{0};
const QStringList kPointFilterData{QStringLiteral("Point")};

double TextHeight(const SettingsArray& settings)
{
    return settings[SetTextHeight].ToDouble();
}

// The point entities at `point`, collected in `set` by a crossing selection.
void SelectAt(cad::AcadSelectionSet& set, const cad::Point3& point)
{
    set.Select(1, point, point, kPointFilterTypes, kPointFilterData);
}

void DeleteTempSet(cad::AcadDocument& document)
{
    cad::IgnoreLinkFailure([&] { document.SelectionSets()->Item(kTempSet)->Delete(); });
}

// The rotation of a bar's label, from its first to its second picked point.
double LabelRotation(const cad::Point3& p1, const cad::Point3& p2)
{
    if (p2[0] != p1[0])
        return std::atan((p2[1] - p1[1]) / (p2[0] - p1[0]));
    const double dy = p2[1] - p1[1];
    return (dy > 0.0 ? 1.0 : dy < 0.0 ? -1.0 : 0.0) * kPi / 2.0;
}

void SetNodeMode(cad::AcadDocument& document)
{
    document.SetVariable(QStringLiteral("OSMODE"), 8);
}

// The end handling shared by the bar, support and load runs: the set deleted first.
PickEnd EndRun(const PickTarget& target, PickEnd end, int rows)
{
    DeleteTempSet(target.document);
    if (end == PickEnd::Finished) {
        if (target.fillSheet)
            target.fillSheet();
        target.rowsUsed = static_cast<std::int16_t>(std::max<int>(target.rowsUsed, rows));
    } else if (end == PickEnd::Cancelled) {
        if (target.clearLayer)
            target.clearLayer();
    } else if (end == PickEnd::Failed) {
        ShowMessage(PickFailureMessage(), MsgOkOnly);
    }
    return end;
}

// Supports and loads: one node per row, picked on a drawn node point.
PickEnd PickNodeRows(const PickTarget& target, Table<5>* blocks, Table<3>* loads, const QString& prompt)
{
    cad::AcadDocument& document = target.document;
    int rows = 0;
    PickEnd end = PickEnd::Failed;
    try {
        SetNodeMode(document);
        if (blocks)
            blocks->Clear();
        else
            loads->Clear();
        std::shared_ptr<cad::AcadUtility> utility = document.Utility();
        std::shared_ptr<cad::AcadSelectionSets> sets = document.SelectionSets();
        end = RunPickLoop(
            [&](int n) {
                cad::AcadSelectionSetPtr set = sets->Add(kTempSet);
                const cad::Point3 point = utility->GetPoint(std::nullopt, prompt + QString::number(n));
                SelectAt(*set, point);
                bool accepted = false;
                if (set->count() == 1) {
                    const std::int16_t node = NodeOfEntity(target.model, static_cast<std::int32_t>(set->Item(0)->ObjectID()));
                    if (blocks)
                        (*blocks)(n, 1) = Cell(node);
                    else
                        (*loads)(n, 1) = Cell(node);
                    accepted = true;
                }
                set->Delete();
                return accepted;
            },
            &rows);
    } catch (const cad::CadError& error) {
        end = error.Code() == cad::kDisconnected ? PickEnd::LinkLost : PickEnd::Failed;
    }
    return EndRun(target, end, rows);
}

} // namespace

std::int16_t NodeOfEntity(const TrussModel& model, std::int32_t objectId)
{
    for (int n = 1; n <= kTableRows; ++n) {
        const Cell& cell = model.Nodes(n, 3);
        if (!cell.IsEmpty() && cell.NumericEquals(double(objectId)))
            return static_cast<std::int16_t>(n);
    }
    return -1;
}

QString PickFailureMessage()
{
    return QStringLiteral("An error has occured");
}

PickEnd PickNodes(const PickTarget& target)
{
    cad::AcadDocument& document = target.document;
    TrussModel& model = target.model;
    int rows = 0;
    PickEnd end = PickEnd::Failed;
    try {
        document.SetActiveLayer(document.Layers()->Item(cad::kKorrinNodes));
        model.Nodes.Clear();
        std::shared_ptr<cad::AcadUtility> utility = document.Utility();
        std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
        const double height = TextHeight(target.settings);
        end = RunPickLoop(
            [&](int n) {
                const cad::Point3 point = utility->GetPoint(std::nullopt, QStringLiteral("Click to add Node ") + QString::number(n));
                cad::AcadEntityPtr entity = space->AddPoint(point);
                entity->Update();
                cad::AcadEntityPtr number = space->AddText(QString::number(n), point, height);
                number->Update();
                model.Nodes(n, 1) = Cell(point[0]);
                model.Nodes(n, 2) = Cell(point[1]);
                model.Nodes(n, 3) = Cell(static_cast<std::int32_t>(entity->ObjectID()));
                return true;
            },
            &rows);
    } catch (const cad::CadError& error) {
        end = error.Code() == cad::kDisconnected ? PickEnd::LinkLost : PickEnd::Failed;
    }
    if (end == PickEnd::Finished) {
        if (target.fillSheet)
            target.fillSheet();
        target.rowsUsed = static_cast<std::int16_t>(std::max<int>(target.rowsUsed, rows));
    } else if (end == PickEnd::Cancelled && target.clearLayer) {
        target.clearLayer();
    }
    return end;
}

PickEnd PickElements(const PickTarget& target)
{
    cad::AcadDocument& document = target.document;
    TrussModel& model = target.model;
    int rows = 0;
    PickEnd end = PickEnd::Failed;
    try {
        SetNodeMode(document);
        document.SetActiveLayer(document.Layers()->Item(cad::kKorrinBeams));
        model.Elements.Clear();
        std::shared_ptr<cad::AcadUtility> utility = document.Utility();
        std::shared_ptr<cad::AcadModelSpace> space = document.ModelSpace();
        std::shared_ptr<cad::AcadSelectionSets> sets = document.SelectionSets();
        const double height = TextHeight(target.settings);
        end = RunPickLoop(
            [&](int n) {
                cad::AcadSelectionSetPtr set = sets->Add(kTempSet);
                const QString number = QString::number(n);
                const cad::Point3 p1 = utility->GetPoint(std::nullopt, QStringLiteral("Get first node of beam ") + number);
                const cad::Point3 p2 = utility->GetPoint(std::nullopt, QStringLiteral("Get second node of beam ") + number);
                SelectAt(*set, p1);
                SelectAt(*set, p2);
                bool accepted = false;
                if (set->count() == 2) {
                    model.Elements(n, 1) = Cell(NodeOfEntity(model, static_cast<std::int32_t>(set->Item(0)->ObjectID())));
                    model.Elements(n, 2) = Cell(NodeOfEntity(model, static_cast<std::int32_t>(set->Item(1)->ObjectID())));
                    cad::AcadEntityPtr line = space->AddLine(p1, p2);
                    line->Update();
                    cad::AcadEntityPtr label = space->AddText(number, p1, height);
                    label->SetAlignment(7);
                    label->SetTextAlignmentPoint({(p1[0] + p2[0]) / 2.0, (p1[1] + p2[1]) / 2.0, 0.0});
                    label->SetRotation(LabelRotation(p1, p2));
                    label->Update();
                    accepted = true;
                }
                set->Delete();
                return accepted;
            },
            &rows);
    } catch (const cad::CadError& error) {
        end = error.Code() == cad::kDisconnected ? PickEnd::LinkLost : PickEnd::Failed;
    }
    return EndRun(target, end, rows);
}

PickEnd PickBlocks(const PickTarget& target)
{
    return PickNodeRows(target, &target.model.Blocks, nullptr, QStringLiteral("Get blocked node "));
}

PickEnd PickLoads(const PickTarget& target)
{
    return PickNodeRows(target, nullptr, &target.model.Loads, QStringLiteral("Get loaded node "));
}

} // namespace ardela
