// Vendel's wizard window: its controls, the step machine, the sheet checks and buttons, the run,
// help, the link watch and the closing.
#include "stress_wizard/frmStress.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "cad/CadError.h"
#include "cad/DrawingLayers.h"
#include "cad/OptionsDrawing.h"
#include "cad/modForeWindow.h"
#include "cad/modHelpers.h"
#include "desktop/Error.h"
#include "desktop/HelpWindow.h"
#include "desktop/Settings.h"
#include "desktop/frmOptions.h"
#include "desktop/frmProgress.h"
#include "desktop/modMessage.h"
#include "desktop/modResource.h"
#include "stress_wizard/SolverFiles.h"
#include "stress_wizard/StressDrawing.h"
#include "stress_wizard/StressModel.h"
#include "stress_wizard/StressModelDrawing.h"
#include "stress_wizard/StressPicking.h"
#include "stress_wizard/StressStepChecks.h"
#include "stress_wizard/VendelPictures.h"
#include "stress_wizard/VendelProfile.h"
#include "truss/AnalysisFile.h"
#include "truss_wizard/DrawProgress.h"
#include "wizard/GridEditor.h"
#include "wizard/LinkWatch.h"
#include "wizard/StepFrame.h"
#include "wizard/WizardLifetime.h"
#include "wizard/WizardProgress.h"

namespace ardela {

namespace {

const QString kTitle = QStringLiteral("Vendel");
const QString kHelpFile = QStringLiteral("Vendel.hlp");
constexpr std::int16_t kStressFileKind = 1;

QPointer<frmStress>& Instance()
{
    static QPointer<frmStress> wizard;
    return wizard;
}

// The sheet steps 3 to 6 are slots 0 to 3.
int Slot(int step)
{
    return step - 3;
}

bool IsSheetStep(int step)
{
    return step >= 3 && step <= 6;
}

QString StepRedrawFailureMessage()
{
    return QStringLiteral("The drawing could not be brought up to date.") + kCrLf
         + QStringLiteral("Use the Draw button of the step to draw it again.");
}

std::uint64_t Handle(QWidget* window)
{
    return static_cast<std::uint64_t>(window->winId());
}

} // namespace

frmStress* StressWizard()
{
    return Instance().data();
}

frmStress::frmStress(QWidget* parent) : QWidget(parent)
{
    // The splash, the pending-call message, the colour picker, the settings.
    m_startup = new WizardStartup;
    WizardStartup::Prepare(kTitle);
    Instance() = this;
    setObjectName(QStringLiteral("frmStress"));

    // The controls with picProgress sunken, the sheets with their headings, every step frame
    // but the first out of view.
    BuildControls();
    LastStepReached = false;

    cad::Connection& connection = cad::CadConnection();
    connection.Profile = VendelProfile();
    connection.Profile.drawModelLayer = {[this](bool r) { DrawGrid(r); }, [this](bool r) { DrawDomains(r); },
                                         [this](bool r) { DrawLines(r); }, [this](bool r) { DrawLoads(r); }};
    m_linkWatch = new LinkWatch(connection, [this] { GoToStep(0, StepForward); }, this);

    // The captions, step 0, the connection's wizard, the hook and "About..."; the splash goes
    // after its minimum time.
    LoadResStrings(this);
    // The count labels stand where the gridline labels take turns: all as wide as the longest,
    // so that the window keeps its width from step to step.
    int labelWidth = lblGridlines[1]->sizeHint().width();
    for (QLabel* label : lblCount)
        labelWidth = std::max(labelWidth, label->sizeHint().width());
    lblGridlines[1]->setMinimumWidth(labelWidth);
    for (QLabel* label : lblCount)
        label->setMinimumWidth(labelWidth);
    GoToStep(0, StepInitial);
    m_startup->Finish(this, this, connection, fraContainer->HookTarget());
}

frmStress::~frmStress()
{
    delete m_startup;
    cad::Connection& connection = cad::CadConnection();
    if (connection.WizardForm == this)
        connection.WizardForm = nullptr;
    connection.Profile.drawModelLayer = {};
}

void frmStress::BuildControls()
{
    setWindowTitle(kTitle);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    auto* stack = new QStackedLayout;
    outer->addLayout(stack, 1);

    for (int k = 0; k < kSteps; ++k) {
        const StepPage page = BuildStepPage(this, k, StressStepPicture(k, 130, 170));
        fraStep[k] = page.frame;
        imgStep[k] = page.picture;
        lblStep[k] = page.text;
        fraStep[k]->setMinimumHeight(320);
        stack->addWidget(fraStep[k]);
    }

    // Step 0: a new analysis or a file.
    const OptionGroup file = BuildOptionGroup(fraStep[0], 1002, {1003, 1004}, QStringLiteral("optFile"));
    fraFile = file.frame;
    std::copy(file.buttons.begin(), file.buttons.end(), optFile.begin());

    // Step 1: the drawing to work in.
    const OptionGroup start = BuildOptionGroup(fraStep[1], 2003, {2005, 2004, 2006}, QStringLiteral("optStart"));
    fraIntroduction = start.frame;
    std::copy(start.buttons.begin(), start.buttons.end(), optStartButton.begin());

    // Step 2: the drawing is made in the host.
    cmdActivate = new QPushButton(fraStep[2]);
    cmdActivate->setObjectName(QStringLiteral("cmdActivate"));
    cmdActivate->setProperty("Tag", 3002);
    cmdActivate->setAutoDefault(false);
    cmdActivate->setMinimumWidth(100);
    auto* activateRow = new QHBoxLayout;
    activateRow->addWidget(cmdActivate);
    activateRow->addStretch(1);
    StepContent(fraStep[2])->addSpacing(6);
    StepContent(fraStep[2])->addLayout(activateRow);
    StepContent(fraStep[2])->addStretch(1);
    connect(cmdActivate, &QPushButton::clicked, this, &frmStress::cmdActivate_Click);

    // Steps 3 to 6: the grid block, the count box, the Pick and Draw buttons.
    fraContainer = new GridEditor(fraStep[3]);
    fraContainer->setObjectName(QStringLiteral("fraContainer"));
    txtValue = new QLineEdit(fraStep[3]);
    txtValue->setObjectName(QStringLiteral("txtValue"));
    txtValue->setReadOnly(true);
    txtValue->setFocusPolicy(Qt::NoFocus);
    txtValue->setFixedWidth(60);
    txtValue->setAlignment(Qt::AlignRight);
    BuildSheetStep(3, "Grid", 4002);
    BuildSheetStep(4, "Domains", 5002);
    BuildSheetStep(5, "Lines", 6002);
    BuildSheetStep(6, "Loads", 7002);

    // The gridline step: the direction and its two count labels.
    lblGridlines[0] = lblCount[0];
    lblGridlines[0]->setObjectName(QStringLiteral("lblGridlines0"));
    lblGridlines[1] = new QLabel(fraStep[3]);
    lblGridlines[1]->setObjectName(QStringLiteral("lblGridlines1"));
    lblGridlines[1]->setProperty("Tag", 4003);
    lblGridlines[1]->hide();
    QVBoxLayout* gridSide = m_sideColumn[0];
    gridSide->insertWidget(gridSide->indexOf(lblGridlines[0]) + 1, lblGridlines[1]);
    for (int i = 1; i >= 0; --i) {
        optGridlines[i] = new QRadioButton(fraStep[3]);
        optGridlines[i]->setObjectName(QStringLiteral("optGridlines%1").arg(i));
        optGridlines[i]->setProperty("Tag", 4006 + i);
        gridSide->insertWidget(gridSide->indexOf(cmdDraw[0]) + 1, optGridlines[i]);
        connect(optGridlines[i], &QRadioButton::clicked, this, [this, i] { optGridlines_Click(i); });
    }
    gridSide->insertSpacing(gridSide->indexOf(optGridlines[0]), 8);
    optGridlines[0]->setChecked(true);

    StressModel& model = Stress();
    GridSheet grid;
    BindTable(grid, model.GridLines);
    grid.fixedHeading = QStringLiteral("Gridline");
    grid.fixedWidthTwips = 840;
    grid.columns = {{1, QStringLiteral("Coord x"), 3360}};
    fraContainer->AddSheet(grid);
    GridSheet domains;
    BindTable(domains, model.Domains);
    domains.fixedHeading = QStringLiteral("Domain");
    domains.fixedWidthTwips = 840;
    for (int c = 0; c < 7; ++c)
        domains.columns.push_back({c + 1, DomainHeadings()[std::size_t(c)], 840});
    domains.visibleColumns = 4;
    fraContainer->AddSheet(domains);
    GridSheet lines;
    BindTable(lines, model.ConstrainedLines);
    lines.fixedHeading = QStringLiteral("Line");
    lines.fixedWidthTwips = 840;
    for (int c = 0; c < 5; ++c)
        lines.columns.push_back({c + 1, LineHeadings()[std::size_t(c)], 840});
    lines.visibleColumns = 4;
    fraContainer->AddSheet(lines);
    GridSheet loads;
    BindTable(loads, model.NodalLoads);
    loads.fixedHeading = QStringLiteral("Node");
    loads.fixedWidthTwips = 840;
    loads.columns = {{1, QStringLiteral("Coord x"), 840}, {2, QStringLiteral("Coord y"), 840},
                     {3, QStringLiteral("Fx [daN]"), 840}, {4, QStringLiteral("Fy [daN]"), 840}};
    fraContainer->AddSheet(loads);
    connect(fraContainer, &GridEditor::Edited, this, &frmStress::Edited);
    connect(fraContainer, &GridEditor::StepCheckNeeded, this, &frmStress::StepCheckNeeded);

    // Step 7: the run's progress box, sunken, shown while the stresses are drawn.
    picProgress = new QLabel(fraStep[7]);
    picProgress->setObjectName(QStringLiteral("picProgress"));
    picProgress->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    picProgress->setFixedHeight(22);
    // The bar is painted to the box's width: its picture must not widen the window.
    picProgress->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    picProgress->hide();
    StepContent(fraStep[7])->addStretch(1);
    StepContent(fraStep[7])->addWidget(picProgress);

    // The navigation row; Escape presses Cancel except while the cell edit box has the focus,
    // F1 is Help.
    cmdNav = BuildNavRow(this, outer, [this](int index) { cmdNav_Click(index); });
    InstallWizardKeys(this, fraContainer, cmdNav[NavCancel], [this] { ShowHelp(); });

    // The grid block stands on the gridline step from the start, so that the window is sized
    // for the widest step; it needs no minimum of its own beyond what its steps need.
    PlaceGrid(3);
    fraContainer->ShowSheet(GridSheetIndex);
}

void frmStress::BuildSheetStep(int step, const char* name, int tagBase)
{
    const int slot = Slot(step);
    // The gridline step's tags run label, label, pick, draw; the others label, pick, draw.
    const int pickTag = step == 3 ? tagBase + 2 : tagBase + 1;
    const ModelStepColumn column = BuildModelStepColumn(fraStep[step], StepContent(fraStep[step]), tagBase, pickTag,
                                                        pickTag + 1, 100);
    m_gridHolder[slot] = column.gridHolder;
    m_sideColumn[slot] = column.side;
    cmdSelect[slot] = column.pick;
    cmdDraw[slot] = column.draw;
    lblCount[slot] = column.count;
    cmdSelect[slot]->setObjectName(QStringLiteral("cmdSelect") + QLatin1String(name));
    cmdDraw[slot]->setObjectName(QStringLiteral("cmdDraw") + QLatin1String(name));
    lblCount[slot]->setObjectName(QStringLiteral("lbl") + QLatin1String(name));
    connect(cmdSelect[slot], &QPushButton::clicked, this, [this, step] { PickStep(step); });
    connect(cmdDraw[slot], &QPushButton::clicked, this, [this, slot] {
        switch (slot) {
        case 0: cmdDrawGrid_Click(); break;
        case 1: cmdDrawDomains_Click(); break;
        case 2: cmdDrawLines_Click(); break;
        default: cmdDrawLoads_Click(); break;
        }
    });
}

bool frmStress::optStart(int index) const
{
    return index >= 0 && index < 3 && optStartButton[std::size_t(index)]->isChecked();
}

void frmStress::ShowProgress(const QString& text)
{
    m_progress.Show(text);
}

void frmStress::UnloadProgress()
{
    m_progress.Unload();
}

// ---- The step machine ----------------------------------------------------------------------

bool frmStress::GoToStep(int step, StepDirection direction)
{
    if (step < 0 || step > kLastStep)
        return false;
    cad::Connection& connection = cad::CadConnection();
    StressModel& model = Stress();
    const bool forward = direction == StepForward;
    // The work below waits on the drawing host, and meanwhile the link watch may send the
    // wizard back to the first step: then that step stands and this one is not shown.
    const int change = ++m_stepChanges;
    switch (step) {
    case 0:
        m_linkWatch->LinkLostShown = false;
        LastStepReached = false;
        break;
    case 1:
        m_linkWatch->LinkLostShown = false;
        LastStepReached = false;
        if (forward) {
            if (optFile[1]->isChecked()) {
                if (!OpenAnalysisFile(kStressFileKind))
                    return false;
                SheetMaxRow = {std::max(model.VertCount, model.HorzCount), model.DomainCount, model.LineCount,
                               model.NodalLoadCount};
                m_isDirty = false;
            } else {
                ResetModel();
            }
            const bool connected = cad::ConnectAcad(connection);
            UnloadProgress();
            cad::BringToFront(Handle(this), connection);
            m_linkWatch->tmrDoc.start();
            if (!connected)
                return false;
        }
        break;
    case 2:
        if (forward) {
            const bool drawingReady = cad::SetupDrawing(connection);
            UnloadProgress();
            cad::BringToFront(Handle(this), connection);
            if (!drawingReady)
                return false;
        }
        break;
    case 3:
        PrepareSheet(3);
        break;
    case 4:
        PrepareSheet(4);
        if (forward && m_isDirty)
            RedrawOnStepChange([] { vendel::ClearMesh(); }, [] { vendel::DrawGrid(false); });
        break;
    case 5:
        PrepareSheet(5);
        if (forward && m_isDirty)
            RedrawOnStepChange([] { vendel::ClearDomains(); }, [] { vendel::DrawDomains(false); });
        break;
    case 6:
        LastStepReached = false;
        PrepareSheet(6);
        if (forward && m_isDirty)
            RedrawOnStepChange([] { vendel::ClearLines(); }, [] { vendel::DrawLines(false); });
        break;
    case 7:
        LastStepReached = true;
        if (forward && m_isDirty)
            RedrawOnStepChange([] { vendel::ClearLoads(); }, [] { vendel::DrawLoads(false); },
                               [] { vendel::ClearStresses(); });
        break;
    default:
        break;
    }
    if (change != m_stepChanges)
        return false;
    ShowStep(step);
    return true;
}

void frmStress::RedrawOnStepChange(const std::function<void()>& clear, const std::function<void()>& draw,
                                   const std::function<void()>& also)
{
    bool failed = false;
    try {
        clear();
        draw();
    } catch (const cad::CadError&) {
        failed = true;
    } catch (const ModelError&) {
        failed = true;
    }
    if (also) {
        try {
            also();
        } catch (const cad::CadError&) {
            failed = true;
        }
    }
    if (failed)
        ShowMessage(StepRedrawFailureMessage(), MsgOkOnly + MsgCritical, kTitle);
}

void frmStress::ShowStep(int step)
{
    fraStep[CurrentStep]->setEnabled(false);
    static_cast<QStackedLayout*>(layout()->itemAt(0)->layout())->setCurrentWidget(fraStep[step]);
    fraStep[step]->setEnabled(true);
    ShowStepCaption(step);
    SetNavButtons(step);
}

void frmStress::PrepareSheet(int step)
{
    // The grid block and the count box move into the step's frame.
    const int slot = Slot(step);
    PlaceGrid(step);
    static constexpr std::array<std::int16_t, 4> columns{0, 7, 5, 4};
    SheetColumns = columns[std::size_t(slot)];
    if (step == 3)
        SetGridColumn();
    fraContainer->ShowSheet(slot);
}

void frmStress::PlaceGrid(int step)
{
    if (m_gridStep == step)
        return;
    const int slot = Slot(step);
    if (m_gridStep >= 3) {
        m_gridHolder[Slot(m_gridStep)]->removeWidget(fraContainer);
        m_sideColumn[Slot(m_gridStep)]->removeWidget(txtValue);
    }
    fraContainer->setParent(fraStep[step]);
    m_gridHolder[slot]->addWidget(fraContainer, 0, Qt::AlignTop);
    txtValue->setParent(fraStep[step]);
    QVBoxLayout* side = m_sideColumn[slot];
    QWidget* below = step == 3 ? lblGridlines[1] : lblCount[slot];
    side->insertWidget(side->indexOf(below) + 1, txtValue);
    fraContainer->show();
    txtValue->show();
    m_gridStep = step;
}

void frmStress::SetGridColumn()
{
    const bool vertical = optGridlines[0]->isChecked();
    fraContainer->Sheet(GridSheetIndex).columns[0] =
        GridColumn{vertical ? 1 : 2, vertical ? QStringLiteral("Coord x") : QStringLiteral("Coord y"), 3360};
}

void frmStress::FillCurrentSheet()
{
    fraContainer->Fill();
}

void frmStress::ResetModel()
{
    ardela::ResetModel(Stress());
    SheetMaxRow = {};
    fraContainer->ResetPositions();
    m_isDirty = false;
}

void frmStress::SetNavButtons(int step)
{
    CurrentStep = static_cast<std::int16_t>(step);
    const bool valid = IsSheetStep(step) ? ValidateStep() : true;
    const NavButtonState state = NavButtonsFor(step, kLastStep, LastStepReached, valid);
    cmdNav[NavBack]->setEnabled(state.backEnabled);
    cmdNav[NavNext]->setVisible(state.nextVisible);
    cmdNav[NavNext]->setEnabled(state.nextEnabled);
    cmdNav[NavRun]->setVisible(state.runVisible);
    cmdNav[NavCancel]->setText(state.cancelReadsClose ? QStringLiteral("Inchide") : QStringLiteral("Anuleaza"));
}

void frmStress::ShowStepCaption(int step)
{
    try {
        const std::optional<QString> title = LoadResString(fraStep[step]->property("Tag").toInt() + LanguageOffset());
        if (!title)
            return;
        setWindowTitle(StepCaption(kTitle, *title, Stress().AnalysisTitle));
    } catch (const ModelError&) {
    }
}

SheetPending frmStress::Pending() const
{
    SheetPending pending;
    pending.visible = fraContainer->EditPending();
    if (pending.visible) {
        pending.text = fraContainer->PendingText();
        pending.row = fraContainer->PendingRow();
        pending.column = fraContainer->PendingColumn();
    }
    return pending;
}

bool frmStress::ValidateStep()
{
    if (!IsSheetStep(CurrentStep))
        return true;
    StressModel& model = Stress();
    const int slot = Slot(CurrentStep);
    std::int16_t& mark = SheetMaxRow[std::size_t(slot)];
    bool valid = false;
    std::int16_t count = 0;
    switch (CurrentStep) {
    case 3:
        valid = CheckGridLines(model, mark, Pending());
        count = optGridlines[0]->isChecked() ? model.VertCount : model.HorzCount;
        break;
    case 4:
        valid = CheckDomains(model, mark, Pending());
        count = model.DomainCount;
        break;
    case 5:
        valid = CheckLines(model, mark, Pending());
        count = model.LineCount;
        break;
    default:
        valid = CheckLoads(model, mark, Pending());
        count = model.NodalLoadCount;
        break;
    }
    txtValue->setText(QString::number(count));
    cmdDraw[std::size_t(slot)]->setEnabled(valid);
    return valid;
}

void frmStress::StepCheckNeeded()
{
    if (IsSheetStep(CurrentStep))
        cmdNav[NavNext]->setEnabled(ValidateStep());
}

void frmStress::Edited()
{
    m_isDirty = true;
    // A committed cell counts as a row reached by editing.
    if (IsSheetStep(CurrentStep) && !fraContainer->EditPending()) {
        const int row = fraContainer->TableRowAt(fraContainer->msgGrid->currentRow());
        std::int16_t& mark = SheetMaxRow[std::size_t(Slot(CurrentStep))];
        if (row > mark && row <= kTableRows)
            mark = static_cast<std::int16_t>(row);
        StepCheckNeeded();
    }
}

// ---- Buttons --------------------------------------------------------------------------------

void frmStress::cmdNav_Click(int index)
{
    switch (index) {
    case NavHelp:
        ShowHelp();
        break;
    case NavCancel:
        close();
        break;
    case NavBack:
        GoToStep(CurrentStep - 1, StepBack);
        break;
    case NavNext:
        GoToStep(CurrentStep + 1, StepForward);
        break;
    case NavRun:
        Run();
        break;
    case NavOptions:
        ShowOptions();
        break;
    default:
        break;
    }
}

void frmStress::cmdActivate_Click()
{
    cad::Connection& connection = cad::CadConnection();
    if (!connection.AcadDoc)
        return;
    try {
        connection.AcadDoc->SetActiveLayer(connection.AcadDoc->Layers()->Item(QStringLiteral("0")));
    } catch (const cad::CadError&) {
        // A drawing that no longer answers is the link watch's to report.
    }
    showMinimized();
    cad::BringToFront(connection.AcadWnd, connection);
}

void frmStress::optGridlines_Click(int index)
{
    lblGridlines[std::size_t(index)]->show();
    lblGridlines[std::size_t(1 - index)]->hide();
    fraContainer->msgGrid->setFocus();
    SetGridColumn();
    // The new column's heading and values; a ShowSheet keeps the sheet's scroll positions.
    fraContainer->ShowSheet(GridSheetIndex);
    cmdNav[NavNext]->setEnabled(ValidateStep());
}

void frmStress::ShowHelp()
{
    HelpShown = true;
    WinHelp(this, kHelpFile, HELP_CONTEXT, (CurrentStep + 1) * 1000);
}

void frmStress::ShowOptions()
{
    cad::VendelOptionsRoutines routines;
    routines.IsDirty = [this] { return m_isDirty; };
    routines.DrawStresses = [](bool regenerate) { vendel::DrawStresses(regenerate); };
    routines.ClearLoads = [] { vendel::ClearLoads(); };
    routines.DrawLoads = [](bool regenerate) { vendel::DrawLoads(regenerate); };
    const cad::OptionsRedraw redraw = cad::VendelOptionsRedraw(routines);
    frmOptions dialog(this, [redraw](const OptionsChanges& changes) {
        cad::ApplyOptionsToDrawing(cad::CadConnection().AcadDoc, changes, redraw, kTitle, Settings(),
                                   VendelOptionsDrawingTexts());
    });
    dialog.exec();
}

bool frmStress::Drawing(const std::function<void()>& routine)
{
    try {
        routine();
        return true;
    } catch (const cad::CadError& error) {
        if (cad::ReportedByLinkWatch(error))
            return false;
    } catch (const ModelError&) {
    }
    ShowMessage(cad::DrawingFailureMessage(), MsgOkOnly + MsgCritical, kTitle);
    return false;
}

void frmStress::DrawGrid(bool regenerate) { Drawing([regenerate] { vendel::DrawGrid(regenerate); }); }
void frmStress::DrawDomains(bool regenerate) { Drawing([regenerate] { vendel::DrawDomains(regenerate); }); }
void frmStress::DrawLines(bool regenerate) { Drawing([regenerate] { vendel::DrawLines(regenerate); }); }
void frmStress::DrawLoads(bool regenerate) { Drawing([regenerate] { vendel::DrawLoads(regenerate); }); }
void frmStress::ClearLoads() { Drawing([] { vendel::ClearLoads(); }); }

void frmStress::cmdDrawGrid_Click()
{
    vendel::ClearMesh();
    DrawGrid(true);
}

void frmStress::cmdDrawDomains_Click()
{
    vendel::ClearDomains();
    DrawDomains(true);
}

void frmStress::cmdDrawLines_Click()
{
    vendel::ClearLines();
    DrawLines(true);
}

void frmStress::cmdDrawLoads_Click()
{
    // One message at most: a drawing that cannot be erased is not drawn over.
    if (Drawing([] { vendel::ClearLoads(); }))
        DrawLoads(true);
}

void frmStress::cmdSelectGrid_Click() { PickStep(3); }
void frmStress::cmdSelectDomains_Click() { PickStep(4); }
void frmStress::cmdSelectLines_Click() { PickStep(5); }
void frmStress::cmdSelectLoads_Click() { PickStep(6); }

void frmStress::PickStep(int step)
{
    cad::Connection& connection = cad::CadConnection();
    if (!connection.AcadDoc)
        return;
    showMinimized();
    cad::BringToFront(connection.AcadWnd, connection);
    const int slot = Slot(step);
    StressPickTarget target{Stress(), *connection.AcadDoc, SheetMaxRow[std::size_t(slot)], [this] { FillCurrentSheet(); },
                            nullptr};
    switch (step) {
    case 3:
        target.clearLayer = [] { vendel::ClearMesh(); };
        PickGridLines(target, optGridlines[0]->isChecked());
        break;
    case 4:
        target.clearLayer = [] { vendel::ClearDomains(); };
        PickDomains(target);
        break;
    case 5:
        target.clearLayer = [] { vendel::ClearLines(); };
        PickLines(target);
        break;
    default:
        target.clearLayer = [this] { ClearLoads(); };
        PickLoads(target);
        break;
    }
    // The table was emptied and refilled: the step's layer is redrawn when the step is left.
    m_isDirty = true;
    cmdNav[NavNext]->setEnabled(ValidateStep());
    showNormal();
    cad::BringToFront(Handle(this), connection);
}

void frmStress::Run()
{
    cad::Connection& connection = cad::CadConnection();
    StressModel& model = Stress();
    // The listing goes beside the analysis file only when that file holds this very model.
    bool fileHoldsModel = !m_isDirty;
    if (m_isDirty && SaveAnalysisFile(kStressFileKind)) {
        m_isDirty = false;
        fileHoldsModel = true;
        ShowStepCaption(CurrentStep);
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
    picProgress->show();
    picProgress->repaint();
    const bool drawn = vendel::DrawStresses(true, ProgressBox(picProgress));
    if (drawn)
        cad::BringToFront(connection.AcadWnd, connection);
    picProgress->hide();
    keepListing();
}

void frmStress::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    if (!CloseWizard(this, cad::CadConnection(), kHelpFile, HelpShown)) {
        event->ignore();
        return;
    }
    m_linkWatch->tmrDoc.stop();
    m_closing = true;
    UnloadProgress();
    event->accept();
}

} // namespace ardela
