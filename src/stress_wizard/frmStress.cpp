// Vendel's wizard as the core runs it: its eight steps, its sheets and their rules, its picks and
// layers, the gridline direction, Activate and the run with the solver.
#include "stress_wizard/frmStress.h"

#include <algorithm>

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "cad/CadError.h"
#include "cad/LinkFailure.h"
#include "cad/OptionsDrawing.h"
#include "cad/modForeWindow.h"
#include "cad/modHelpers.h"
#include "desktop/Settings.h"
#include "desktop/modMessage.h"
#include "desktop/modResource.h"
#include "stress_wizard/SolverFiles.h"
#include "stress_wizard/StressDrawing.h"
#include "stress_wizard/StressModel.h"
#include "stress_wizard/StressModelDrawing.h"
#include "stress_wizard/StressPicking.h"
#include "stress_wizard/VendelPictures.h"
#include "stress_wizard/VendelProfile.h"
#include "desktop/AnalysisFile.h"
#include "wizard/DrawProgress.h"

namespace ardela {

namespace {

const QString kTitle = QStringLiteral("Vendel");
constexpr std::int16_t kStressFileKind = 1;
constexpr int kGridStep = 3;

QPointer<frmStress>& Instance()
{
    static QPointer<frmStress> wizard;
    return wizard;
}

// A rule of complete rows reading `cells` from `firstColumn` on, at least one row.
SheetRule Rule(int firstColumn, std::vector<CellRule> cells)
{
    SheetRule rule;
    rule.firstColumn = firstColumn;
    rule.cells = std::move(cells);
    rule.minRows = 1;
    return rule;
}

// The check of one sheet: its rules on its table (each with the model count it fills).
template <int N>
std::function<bool(const PendingEdit&, std::int16_t&)> Check(const Table<N>& table,
                                                             std::vector<std::pair<SheetRule, std::int16_t*>> rules)
{
    return [&table, rules = std::move(rules)](const PendingEdit& pending, std::int16_t& mark) {
        const int rows = RowsToCheck(mark, pending);
        bool valid = !PendingRefused(pending);
        for (const auto& [rule, count] : rules) {
            const SheetCheck check = CheckSheet(SheetCells(table, pending), rule, rows);
            *count = check.count;
            valid = valid && check.valid;
        }
        return valid;
    };
}

GridSheet Sheet(const QString& heading, std::vector<GridColumn> columns, int visibleColumns = 0)
{
    GridSheet sheet;
    sheet.fixedHeading = heading;
    sheet.fixedWidthTwips = 840;
    sheet.columns = std::move(columns);
    sheet.visibleColumns = visibleColumns;
    return sheet;
}

template <std::size_t N>
std::vector<GridColumn> Columns(const std::array<QString, N>& headings)
{
    std::vector<GridColumn> columns;
    for (std::size_t c = 0; c < N; ++c)
        columns.push_back({int(c) + 1, headings[c], 840});
    return columns;
}

StepDescriptor SheetStep(int step, const QString& name, int countTag, GridSheet sheet)
{
    StepDescriptor d;
    d.picture = StressStepPicture(step, 130, 170);
    d.name = name;
    d.countTag = countTag;
    d.sheet = std::move(sheet);
    return d;
}

std::function<void(const PickRequest&)> Picking(std::function<void(const StressPickTarget&)> pick, void (*clear)())
{
    return [pick = std::move(pick), clear](const PickRequest& request) {
        pick(StressPickTarget{Stress(), request.document, request.mark, request.refill, [clear] { cad::IgnoreLinkFailure(clear); }});
    };
}

QString StepRedrawFailureMessage()
{
    return QStringLiteral("The drawing could not be brought up to date.") + kCrLf
         + QStringLiteral("Use the Draw button of the step to draw it again.");
}

} // namespace

frmStress* StressWizard()
{
    return Instance().data();
}

frmStress::frmStress(QWidget* parent) : StepWindow([] {
        WizardProfile p;
        p.title = kTitle;
        p.objectName = QStringLiteral("frmStress");
        p.helpFile = QStringLiteral("Vendel.hlp");
        p.captionOffset = LanguageOffset();
        p.cancelText = QStringLiteral("Anuleaza");
        p.closeText = QStringLiteral("Inchide");
        p.redrawFailure = StepRedrawFailureMessage();
        p.frameMinimumHeight = 320;
        p.pickButtonWidth = 100;
        p.connection = VendelProfile();
        p.openAnalysis = [] { return OpenAnalysisFile(kStressFileKind); };
        p.saveAnalysis = [] { return SaveAnalysisFile(kStressFileKind); };
        p.resetModel = [] { ResetModel(Stress()); };
        p.marksOfOpened = [] {
            const StressModel& m = Stress();
            return std::vector<std::int16_t>{std::max(m.VertCount, m.HorzCount), m.DomainCount, m.LineCount, m.NodalLoadCount};
        };
        p.analysisTitle = [] { return Stress().AnalysisTitle; };
        return p;
    }(), parent)
{
    Instance() = this;
    StressModel& model = Stress();
    std::vector<StepDescriptor> steps(kSteps);
    for (int k : {0, 1, 2, 7})
        steps[std::size_t(k)].picture = StressStepPicture(k, 130, 170);

    GridSheet grid = Sheet(QStringLiteral("Gridline"), {{1, QStringLiteral("Coord x"), 3360}});
    BindTable(grid, model.GridLines);
    steps[3] = SheetStep(3, QStringLiteral("Grid"), 4002, std::move(grid));
    steps[3].pickTag = 4004;
    steps[3].check = Check(model.GridLines, {{Rule(1, {CellRule::Number}), &model.VertCount},
                                             {Rule(2, {CellRule::Number}), &model.HorzCount}});
    steps[3].count = [this] { return int(Vertical() ? Stress().VertCount : Stress().HorzCount); };
    steps[3].pick = Picking([this](const StressPickTarget& t) { PickGridLines(t, Vertical()); }, [] { vendel::ClearMesh(); });
    steps[3].draw = [](bool regenerate) { vendel::DrawGrid(regenerate); };
    steps[3].clear = [] { vendel::ClearMesh(); };

    GridSheet domains = Sheet(QStringLiteral("Domain"), Columns(DomainHeadings()), 4);
    BindTable(domains, model.Domains);
    steps[4] = SheetStep(4, QStringLiteral("Domains"), 5002, std::move(domains));
    steps[4].check = Check(model.Domains, {{Rule(1, std::vector<CellRule>(7, CellRule::Number)), &model.DomainCount}});
    steps[4].count = [] { return int(Stress().DomainCount); };
    steps[4].pick = Picking([](const StressPickTarget& t) { PickDomains(t); }, [] { vendel::ClearDomains(); });
    steps[4].draw = [](bool regenerate) { vendel::DrawDomains(regenerate); };
    steps[4].clear = [] { vendel::ClearDomains(); };

    GridSheet lines = Sheet(QStringLiteral("Line"), Columns(LineHeadings()), 4);
    BindTable(lines, model.ConstrainedLines);
    steps[5] = SheetStep(5, QStringLiteral("Lines"), 6002, std::move(lines));
    steps[5].check = Check(model.ConstrainedLines, {{Rule(1, std::vector<CellRule>(5, CellRule::Number)), &model.LineCount}});
    steps[5].count = [] { return int(Stress().LineCount); };
    steps[5].pick = Picking([](const StressPickTarget& t) { PickLines(t); }, [] { vendel::ClearLines(); });
    steps[5].draw = [](bool regenerate) { vendel::DrawLines(regenerate); };
    steps[5].clear = [] { vendel::ClearLines(); };

    GridSheet loads = Sheet(QStringLiteral("Node"), {{1, QStringLiteral("Coord x"), 840}, {2, QStringLiteral("Coord y"), 840},
                                                     {3, QStringLiteral("Fx [daN]"), 840}, {4, QStringLiteral("Fy [daN]"), 840}});
    BindTable(loads, model.NodalLoads);
    steps[6] = SheetStep(6, QStringLiteral("Loads"), 7002, std::move(loads));
    steps[6].check = Check(model.NodalLoads, {{Rule(1, {CellRule::Number, CellRule::Number, CellRule::NumberOrEmpty,
                                                        CellRule::NumberOrEmpty}), &model.NodalLoadCount}});
    steps[6].count = [] { return int(Stress().NodalLoadCount); };
    steps[6].pick = Picking([](const StressPickTarget& t) { PickLoads(t); }, [] { vendel::ClearLoads(); });
    steps[6].draw = [](bool regenerate) { vendel::DrawLoads(regenerate); };
    steps[6].clear = [] { vendel::ClearLoads(); };
    steps[7].alsoClear = [] { vendel::ClearStresses(); };
    BuildSteps(std::move(steps));

    // Step 2: the drawing is made in the host.
    auto* cmdActivate = new QPushButton(StepFrame(2));
    cmdActivate->setObjectName(QStringLiteral("cmdActivate"));
    cmdActivate->setProperty("Tag", 3002);
    cmdActivate->setAutoDefault(false);
    cmdActivate->setMinimumWidth(100);
    auto* activateRow = new QHBoxLayout;
    activateRow->addWidget(cmdActivate);
    activateRow->addStretch(1);
    StepBody(2)->addSpacing(6);
    StepBody(2)->addLayout(activateRow);
    StepBody(2)->addStretch(1);
    connect(cmdActivate, &QPushButton::clicked, this, &frmStress::cmdActivate_Click);

    // The gridline step: the direction and its two count labels taking turns.
    m_lblGridlines[0] = CountLabel(kGridStep);
    m_lblGridlines[0]->setObjectName(QStringLiteral("lblGridlines0"));
    m_lblGridlines[1] = new QLabel(StepFrame(kGridStep));
    m_lblGridlines[1]->setObjectName(QStringLiteral("lblGridlines1"));
    m_lblGridlines[1]->setProperty("Tag", 4003);
    m_lblGridlines[1]->hide();
    QVBoxLayout* side = SideColumn(kGridStep);
    side->insertWidget(side->indexOf(m_lblGridlines[0]) + 1, m_lblGridlines[1]);
    SetCountAnchor(kGridStep, m_lblGridlines[1]);
    for (int i = 1; i >= 0; --i) {
        m_optGridlines[std::size_t(i)] = new QRadioButton(StepFrame(kGridStep));
        m_optGridlines[std::size_t(i)]->setObjectName(QStringLiteral("optGridlines%1").arg(i));
        m_optGridlines[std::size_t(i)]->setProperty("Tag", 4006 + i);
        side->insertWidget(side->indexOf(DrawButton(kGridStep)) + 1, m_optGridlines[std::size_t(i)]);
        connect(m_optGridlines[std::size_t(i)], &QRadioButton::clicked, this, [this, i] { optGridlines_Click(i); });
    }
    side->insertSpacing(side->indexOf(m_optGridlines[0]), 8);
    m_optGridlines[0]->setChecked(true);
    m_beforeSheet = [this](int step) {
        if (step == kGridStep)
            SetGridColumn();
    };

    SetApplyOptions([this](const OptionsChanges& changes) {
        VendelOptionsRoutines routines;
        routines.IsDirty = [this] { return ModelChanged(); };
        routines.DrawStresses = [](bool regenerate) { vendel::DrawStresses(regenerate); };
        routines.ClearLoads = [this] { Drawing([] { vendel::ClearLoads(); }); };
        routines.DrawLoads = [this](bool regenerate) { Drawing([regenerate] { vendel::DrawLoads(regenerate); }); };
        cad::ApplyOptionsToDrawing(cad::CadConnection().AcadDoc, changes, VendelOptionsRedraw(routines), kTitle,
                                   Settings(), VendelOptionsDrawingTexts());
    });
    Start();
    // The count labels stand where the gridline labels take turns: all as wide as the longest,
    // so that the window keeps its width from step to step.
    int labelWidth = m_lblGridlines[1]->sizeHint().width();
    for (int step = kGridStep; step <= 6; ++step)
        labelWidth = std::max(labelWidth, CountLabel(step)->sizeHint().width());
    m_lblGridlines[1]->setMinimumWidth(labelWidth);
    for (int step = kGridStep; step <= 6; ++step)
        CountLabel(step)->setMinimumWidth(labelWidth);
}

bool frmStress::Vertical() const
{
    return m_optGridlines[0]->isChecked();
}

void frmStress::SetGridColumn()
{
    Grid()->Sheet(0).columns[0] = GridColumn{Vertical() ? 1 : 2, Vertical() ? QStringLiteral("Coord x") : QStringLiteral("Coord y"), 3360};
}

void frmStress::cmdActivate_Click()
{
    cad::Connection& connection = cad::CadConnection();
    if (!connection.AcadDoc)
        return;
    // A drawing that no longer answers is the link watch's to report.
    cad::IgnoreLinkFailure([&] { connection.AcadDoc->SetActiveLayer(connection.AcadDoc->Layers()->Item(QStringLiteral("0"))); });
    showMinimized();
    cad::BringToFront(connection.AcadWnd, connection);
}

void frmStress::optGridlines_Click(int index)
{
    m_lblGridlines[std::size_t(index)]->show();
    m_lblGridlines[std::size_t(1 - index)]->hide();
    Grid()->FocusGrid();
    SetGridColumn();
    // The new column's heading and values; a ShowSheet keeps the sheet's scroll positions.
    Grid()->ShowSheet(0);
    RecheckStep();
}

void frmStress::Run()
{
    cad::Connection& connection = cad::CadConnection();
    StressModel& model = Stress();
    // The listing goes beside the analysis file only when that file holds this very model.
    bool fileHoldsModel = !IsDirty();
    if (IsDirty() && SaveAnalysisFile(kStressFileKind)) {
        SetDirty(false);
        fileHoldsModel = true;
        UpdateCaption(CurrentStep);
    }
    QCoreApplication::processEvents();
    const QString folder = ExchangeFolder();
    if (folder.isEmpty() || !WriteSolverInput(model, folder))
        return;
    // A failed run keeps the solver's listing beside the analysis for a look.
    const auto keepListing = [&] {
        if (fileHoldsModel)
            FinishSolverRun(model, folder);
    };
    if (!RunSolver(folder, false)) {
        keepListing();
        return;
    }
    // A result file that cannot be read leaves the results the drawing shows.
    std::vector<std::array<float, 2>> points = model.StressPoints;
    std::vector<std::array<float, 3>> values = model.StressValues;
    if (!ReadSolverResults(model, folder)) {
        model.StressPoints = std::move(points);
        model.StressValues = std::move(values);
        keepListing();
        return;
    }
    ProgressBox()->show();
    ProgressBox()->repaint();
    if (vendel::DrawStresses(true, ardela::ProgressBox(ProgressBox())))
        cad::BringToFront(connection.AcadWnd, connection);
    ProgressBox()->hide();
    keepListing();
}

} // namespace ardela
