// Korrin's wizard as the core runs it: its seven steps, its sheets and their rules, its picks and
// layers, and its run.
#include "truss_wizard/frmTruss.h"

#include <algorithm>

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "cad/CadError.h"
#include "cad/DrawingLayers.h"
#include "cad/LinkFailure.h"
#include "cad/OptionsDrawing.h"
#include "cad/modForeWindow.h"
#include "cad/modHelpers.h"
#include "desktop/Settings.h"
#include "desktop/modMessage.h"
#include "desktop/modResource.h"
#include "truss/TrussFile.h"
#include "truss/TrussModel.h"
#include "truss/TrussReport.h"
#include "truss/TrussSolver.h"
#include "truss_wizard/KorrinProfile.h"
#include "truss_wizard/LinePicking.h"
#include "truss_wizard/ModelDrawing.h"
#include "truss_wizard/ResultDrawing.h"
#include "truss_wizard/StepPictures.h"
#include "truss_wizard/TrussPicking.h"
#include "wizard/DrawProgress.h"

namespace ardela {

namespace {

const QString kTitle = QStringLiteral("Korrin");
constexpr std::int16_t kTrussFileKind = 2;

QPointer<frmTruss>& Instance()
{
    static QPointer<frmTruss> wizard;
    return wizard;
}

// A rule of complete rows: `cells` from column 1 on.
SheetRule Rule(std::vector<CellRule> cells, int minRows)
{
    SheetRule rule;
    rule.cells = std::move(cells);
    rule.minRows = minRows;
    return rule;
}

// The check of one sheet: its rule on its table, the count stored in the model.
template <int N>
std::function<bool(const PendingEdit&, std::int16_t&)> Check(const Table<N>& table, SheetRule rule, std::int16_t& count)
{
    return [&table, rule = std::move(rule), &count](const PendingEdit& pending, std::int16_t& mark) {
        const int rows = RowsToCheck(mark, pending);
        const SheetCheck check = CheckSheet(SheetCells(table, pending), rule, rows);
        count = check.count;
        return check.valid && !PendingRefused(pending);
    };
}

StepDescriptor SheetStep(int step, const QString& name, GridSheet sheet)
{
    StepDescriptor d;
    d.picture = TrussStepPicture(step, 130, 170);
    d.name = name;
    d.countTag = step * 1000 + 1000 + 2;
    d.sheet = std::move(sheet);
    return d;
}

GridSheet Sheet(const QString& heading, std::vector<GridColumn> columns)
{
    GridSheet sheet;
    sheet.fixedHeading = heading;
    sheet.fixedWidthTwips = 840;
    sheet.columns = std::move(columns);
    return sheet;
}

// A picking run of one step on the working drawing.
std::function<void(const PickRequest&)> Picking(PickEnd (*pick)(const PickTarget&), void (*clear)(), bool clearFirst)
{
    return [pick, clear, clearFirst](const PickRequest& request) {
        const auto quietClear = [clear] { cad::IgnoreLinkFailure(clear); };
        if (clearFirst)
            quietClear();
        pick(PickTarget{Truss(), Settings(), request.document, request.mark, request.refill, quietClear});
    };
}

} // namespace

frmTruss* TrussWizard()
{
    return Instance().data();
}

frmTruss::frmTruss(QWidget* parent) : StepWindow([] {
        WizardProfile p;
        p.title = kTitle;
        p.objectName = QStringLiteral("frmTruss");
        p.helpFile = QStringLiteral("Korrin.hlp");
        p.cancelText = LoadResString(101).value_or(QStringLiteral("Cancel"));
        p.closeText = QStringLiteral("Close");
        p.redrawFailure = cad::DrawingFailureMessage();
        p.minimumSize = QSize(660, 430);
        p.pickButtonWidth = 84;
        p.connection = KorrinProfile();
        p.openAnalysis = [] { return OpenAnalysisFile(kTrussFileKind); };
        p.saveAnalysis = [] { return SaveAnalysisFile(kTrussFileKind); };
        p.resetModel = [] { ResetModel(Truss()); };
        p.marksOfOpened = [] {
            const TrussModel& m = Truss();
            return std::vector<std::int16_t>{m.NodeCount, m.ElementCount, m.BlockCount, m.LoadCount};
        };
        p.analysisTitle = [] { return Truss().AnalysisTitle; };
        return p;
    }(), parent)
{
    Instance() = this;
    TrussModel& model = Truss();
    std::vector<StepDescriptor> steps(kSteps);
    for (int k : {0, 1, 6})
        steps[std::size_t(k)].picture = TrussStepPicture(k, 130, 170);

    GridSheet nodes = Sheet(QStringLiteral("Node"), {{1, QStringLiteral("Coord x"), 1680}, {2, QStringLiteral("Coord y"), 1680}});
    BindTable(nodes, model.Nodes);
    steps[2] = SheetStep(2, QStringLiteral("Nodes"), std::move(nodes));
    steps[2].check = Check(model.Nodes, Rule({CellRule::Number, CellRule::Number}, 1), model.NodeCount);
    steps[2].count = [] { return int(Truss().NodeCount); };
    steps[2].pick = Picking(&PickNodes, [] { ardela::ClearNodes(); }, true);
    steps[2].draw = [](bool regenerate) { ardela::DrawNodes(regenerate); };
    steps[2].clear = [] { ardela::ClearNodes(); };

    GridSheet bars = Sheet(QStringLiteral("Elemenrt"), {{1, QStringLiteral("Node 1"), 840}, {2, QStringLiteral("Node 2"), 840},
                                                        {3, QStringLiteral("Area"), 840}, {4, QStringLiteral("E"), 840}});
    BindTable(bars, model.Elements);
    steps[3] = SheetStep(3, QStringLiteral("Elements"), std::move(bars));
    steps[3].check = Check(model.Elements, Rule(std::vector<CellRule>(4, CellRule::Number), 1), model.ElementCount);
    steps[3].count = [] { return int(Truss().ElementCount); };
    steps[3].pick = Picking(&PickElements, [] { ardela::ClearBeams(); }, true);
    steps[3].draw = [](bool regenerate) { ardela::DrawElements(regenerate); };
    steps[3].clear = [] { ardela::ClearBeams(); };

    GridSheet blocks = Sheet(QStringLiteral("Block"), {{1, QStringLiteral("Node"), 1120}, {2, QStringLiteral("Block x"), 1120, true},
                                                       {3, QStringLiteral("Block y"), 1120, true}});
    BindTable(blocks, model.Blocks);
    steps[4] = SheetStep(4, QStringLiteral("Blocks"), std::move(blocks));
    SheetRule fixities = Rule({CellRule::Number, CellRule::Anything, CellRule::Anything}, 0);
    fixities.onesFirstColumn = 2;
    fixities.onesLastColumn = 3;
    fixities.minOnes = 3;
    steps[4].check = Check(model.Blocks, fixities, model.BlockCount);
    steps[4].count = [] { return int(Truss().BlockCount); };
    steps[4].pick = Picking(&PickBlocks, [] { ardela::ClearBlocks(); }, false);
    steps[4].draw = [](bool regenerate) { ardela::DrawBlocks(regenerate); };
    steps[4].clear = [] { ardela::ClearBlocks(); };

    GridSheet loads = Sheet(QStringLiteral("Loads"), {{1, QStringLiteral("Node"), 1120}, {2, QStringLiteral("Fx [daN]"), 1120},
                                                      {3, QStringLiteral("Fy [daN]"), 1120}});
    BindTable(loads, model.Loads);
    steps[5] = SheetStep(5, QStringLiteral("Loads"), std::move(loads));
    steps[5].check = Check(model.Loads, Rule({CellRule::Number, CellRule::NumberOrEmpty, CellRule::NumberOrEmpty}, 0),
                           model.LoadCount);
    steps[5].count = [] { return int(Truss().LoadCount); };
    steps[5].pick = Picking(&PickLoads, [] { ardela::ClearLoads(); }, false);
    steps[5].draw = [](bool regenerate) { ardela::DrawLoads(regenerate); };
    steps[5].clear = [] { ardela::ClearLoads(); };
    // Old results that cannot be erased stay until the next run draws over them.
    steps[6].alsoClear = [] { cad::IgnoreLinkFailure([] { ClearResults(); }); };
    BuildSteps(std::move(steps));

    // Pick Lines under Pick on the node step, as wide as it.
    auto* pickLines = new QPushButton(QStringLiteral("Pick &Lines"), StepFrame(2));
    pickLines->setObjectName(QStringLiteral("cmdSelectLines"));
    pickLines->setAutoDefault(false);
    pickLines->setMinimumWidth(84);
    pickLines->setToolTip(QStringLiteral("Make nodes and bars from lines and polylines of the drawing"));
    SideColumn(2)->insertWidget(1, pickLines);
    connect(pickLines, &QPushButton::clicked, this, [this] { cmdSelectLines_Click(); });

    // Options: a changed text height redraws the supports and the loads.
    SetApplyOptions([this](const OptionsChanges& changes) {
        KorrinOptionsRoutines routines;
        routines.ClearBlocks = [this] { Drawing([] { cad::IgnoreLinkFailure([] { ardela::ClearBlocks(); }); }); };
        routines.DrawBlocks = [this](bool regenerate) { Drawing([regenerate] { ardela::DrawBlocks(regenerate); }); };
        routines.ClearLoads = [this] { Drawing([] { cad::IgnoreLinkFailure([] { ardela::ClearLoads(); }); }); };
        routines.DrawLoads = [this](bool regenerate) { Drawing([regenerate] { ardela::DrawLoads(regenerate); }); };
        cad::ApplyOptionsToDrawing(cad::CadConnection().AcadDoc, changes, KorrinOptionsRedraw(routines), kTitle);
    });
    Start();
}

void frmTruss::cmdSelectLines_Click()
{
    cad::Connection& connection = cad::CadConnection();
    if (!connection.AcadDoc)
        return;
    QStringList layers;
    try {
        layers = DrawingLayerNames(*connection.AcadDoc);
    } catch (const cad::CadError&) {
        // The question still comes; the selection reports a lost link itself.
    }
    LineSectionDialog question(Truss(), layers, this);
    if (question.exec() != QDialog::Accepted)
        return;
    showMinimized();
    cad::BringToFront(connection.AcadWnd, connection);
    if (PickLines(Truss(), Settings(), *connection.AcadDoc, question.Section()) == LinePickEnd::Added) {
        // The new rows follow the tables' rows: both sheets reach them.
        Mark(2) = std::max(Mark(2), Truss().NodeCount);
        Mark(3) = std::max(Mark(3), Truss().ElementCount);
        Grid()->Fill();
        SetDirty(true);
    }
    RecheckStep();
    showNormal();
    cad::BringToFront(static_cast<std::uint64_t>(winId()), connection);
}

void frmTruss::Run()
{
    cad::Connection& connection = cad::CadConnection();
    TrussModel& model = Truss();
    // The report goes beside the analysis file only when that file holds this very model.
    bool fileHoldsModel = !IsDirty();
    if (IsDirty() && SaveAnalysisFile(kTrussFileKind)) {
        SetDirty(false);
        fileHoldsModel = true;
        UpdateCaption(CurrentStep);
    }
    QCoreApplication::processEvents();
    const CheckedSolution solution = SolveTrussChecked(model);
    if (!solution.solved)
        return;
    ProgressBox()->show();
    ProgressBox()->repaint();
    if (DrawResults(ardela::ProgressBox(ProgressBox())))
        cad::BringToFront(connection.AcadWnd, connection);
    ProgressBox()->hide();
    if (fileHoldsModel && !model.AnalysisPath.isEmpty())
        WriteReport(model);
    if (solution.Unreliable())
        ShowMessage(UnreliableSolutionWarning(solution.residual), MsgOkOnly + MsgExclamation, kTitle);
}

} // namespace ardela
