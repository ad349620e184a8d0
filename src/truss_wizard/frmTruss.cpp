// Korrin's wizard window: its controls, the step machine, the model steps' checks and buttons,
// the run, help, the link watch and the closing.
#include "truss_wizard/frmTruss.h"

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
#include "cad/modForeWindow.h"
#include "cad/OptionsDrawing.h"
#include "cad/modHelpers.h"
#include "desktop/Error.h"
#include "desktop/HelpWindow.h"
#include "desktop/frmOptions.h"
#include "desktop/frmProgress.h"
#include "desktop/modMessage.h"
#include "desktop/modResource.h"
#include "truss/AnalysisFile.h"
#include "truss/TrussModel.h"
#include "truss/TrussReport.h"
#include "truss/TrussSolver.h"
#include "truss_wizard/DrawProgress.h"
#include "truss_wizard/KorrinProfile.h"
#include "truss_wizard/ModelDrawing.h"
#include "truss_wizard/ResultDrawing.h"
#include "truss_wizard/StepPictures.h"
#include "truss_wizard/LinePicking.h"
#include "truss_wizard/TrussPicking.h"
#include "wizard/GridEditor.h"
#include "wizard/LinkWatch.h"
#include "wizard/StepFrame.h"
#include "wizard/WizardLifetime.h"
#include "wizard/WizardProgress.h"

namespace ardela {

namespace {

const QString kHelpFile = QStringLiteral("Korrin.hlp");

QPointer<frmTruss>& Instance()
{
    static QPointer<frmTruss> wizard;
    return wizard;
}

// The model step a sheet belongs to: steps 2 to 5 are slots 0 to 3.
int Slot(int step)
{
    return step - 2;
}

bool IsModelStep(int step)
{
    return step >= 2 && step <= 5;
}

// The window handle the foreground routine takes for one of our windows.
std::uint64_t Handle(QWidget* window)
{
    return static_cast<std::uint64_t>(window->winId());
}

} // namespace

frmTruss* TrussWizard()
{
    return Instance().data();
}

frmTruss::frmTruss(QWidget* parent) : QWidget(parent)
{
    // The splash, the pending-call message, the colour picker and the settings come first.
    m_startup = new WizardStartup;
    WizardStartup::Prepare(QStringLiteral("Korrin"));
    Instance() = this;
    setObjectName(QStringLiteral("frmTruss"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    // The controls, picProgress sunken, only the current step's frame in view.
    BuildControls();
    OnLastStep = false;
    GridTableRows = kTableRows;

    // The connection's knowledge of this program: its title, texts, layers and draw members.
    cad::Connection& connection = cad::CadConnection();
    connection.Profile = KorrinProfile();
    connection.Profile.drawModelLayer = {[this](bool r) { DrawNodes(r); }, [this](bool r) { DrawElements(r); },
                                         [this](bool r) { DrawBlocks(r); }, [this](bool r) { DrawLoads(r); }};
    m_linkWatch = new LinkWatch(connection, [this] { GoToStep(0, StepForward); }, this);

    // The captions, step 0, then the connection's wizard, the hook and "About..."; the splash
    // goes once its minimum time is up.
    LoadResStrings(this);
    GoToStep(0, StepInitial);
    m_startup->Finish(this, this, connection, fraContainer->HookTarget());
}

frmTruss::~frmTruss()
{
    delete m_startup;
    cad::Connection& connection = cad::CadConnection();
    if (connection.WizardForm == this)
        connection.WizardForm = nullptr;
    connection.Profile.drawModelLayer = {};
}

void frmTruss::BuildControls()
{
    setWindowTitle(QStringLiteral("Korrin"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    auto* stack = new QStackedLayout;
    outer->addLayout(stack, 1);

    for (int k = 0; k < kSteps; ++k) {
        const StepPage page = BuildStepPage(this, k, TrussStepPicture(k, 130, 170));
        fraStep[k] = page.frame;
        imgStep[k] = page.picture;
        lblStep[k] = page.text;
        stack->addWidget(fraStep[k]);
    }

    // Step 0: a new analysis or a file.
    const OptionGroup file = BuildOptionGroup(fraStep[0], 1002, {1003, 1004}, QStringLiteral("optFile"));
    fraFile = file.frame;
    std::copy(file.buttons.begin(), file.buttons.end(), optFile.begin());

    // Step 1: the drawing.
    const OptionGroup start = BuildOptionGroup(fraStep[1], 2003, {2005, 2004, 2006}, QStringLiteral("optStart"));
    fraIntroduction = start.frame;
    std::copy(start.buttons.begin(), start.buttons.end(), optStartButton.begin());

    // Steps 2 to 5: the grid block, the count box and the Pick and Draw buttons.
    fraContainer = new GridEditor(fraStep[2]);
    fraContainer->setObjectName(QStringLiteral("fraContainer"));
    txtValue = new QLineEdit(fraStep[2]);
    txtValue->setObjectName(QStringLiteral("txtValue"));
    txtValue->setReadOnly(true);
    txtValue->setFocusPolicy(Qt::NoFocus);
    txtValue->setFixedWidth(60);
    txtValue->setAlignment(Qt::AlignRight);
    for (int step = 2; step <= 5; ++step)
        BuildModelStep(step, step * 1000 + 1000 + 2);

    GridSheet nodes;
    BindTable(nodes, Truss().Nodes);
    nodes.fixedHeading = QStringLiteral("Node");
    nodes.fixedWidthTwips = 840;
    nodes.columns = {{1, QStringLiteral("Coord x"), 1680}, {2, QStringLiteral("Coord y"), 1680}};
    fraContainer->AddSheet(nodes);
    GridSheet bars;
    BindTable(bars, Truss().Elements);
    bars.fixedHeading = QStringLiteral("Elemenrt");
    bars.fixedWidthTwips = 840;
    bars.columns = {{1, QStringLiteral("Node 1"), 840}, {2, QStringLiteral("Node 2"), 840},
                    {3, QStringLiteral("Area"), 840}, {4, QStringLiteral("E"), 840}};
    fraContainer->AddSheet(bars);
    GridSheet blocks;
    BindTable(blocks, Truss().Blocks);
    blocks.fixedHeading = QStringLiteral("Block");
    blocks.fixedWidthTwips = 840;
    blocks.columns = {{1, QStringLiteral("Node"), 1120}, {2, QStringLiteral("Block x"), 1120, true},
                      {3, QStringLiteral("Block y"), 1120, true}};
    fraContainer->AddSheet(blocks);
    GridSheet loads;
    BindTable(loads, Truss().Loads);
    loads.fixedHeading = QStringLiteral("Loads");
    loads.fixedWidthTwips = 840;
    loads.columns = {{1, QStringLiteral("Node"), 1120}, {2, QStringLiteral("Fx [daN]"), 1120},
                     {3, QStringLiteral("Fy [daN]"), 1120}};
    fraContainer->AddSheet(loads);
    connect(fraContainer, &GridEditor::Edited, this, &frmTruss::Edited);
    connect(fraContainer, &GridEditor::CellCommitted, this, &frmTruss::CellCommitted);
    connect(fraContainer, &GridEditor::StepCheckNeeded, this, &frmTruss::StepCheckNeeded);

    // Step 6: the run's progress box, sunken, hidden except while results are drawn.
    picProgress = new QLabel(fraStep[6]);
    picProgress->setObjectName(QStringLiteral("picProgress"));
    picProgress->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    picProgress->setFixedHeight(22);
    picProgress->hide();
    auto* runContent = StepContent(fraStep[6]);
    runContent->addStretch(1);
    runContent->addWidget(picProgress);

    // The navigation row; Escape presses Cancel except while the cell edit box has the focus,
    // F1 is Help.
    cmdNav = BuildNavRow(this, outer, [this](int index) { cmdNav_Click(index); });
    InstallWizardKeys(this, fraContainer, cmdNav[NavCancel], [this] { ShowHelp(); });

    setMinimumSize(660, 430);
}

void frmTruss::BuildModelStep(int step, int countTag)
{
    auto* content = StepContent(fraStep[step]);
    const int slot = Slot(step);
    const ModelStepColumn column = BuildModelStepColumn(fraStep[step], content, countTag, countTag + 1, countTag + 2, 84);
    m_gridHolder[slot] = column.gridHolder;
    m_sideColumn[slot] = column.side;
    cmdSelect[slot] = column.pick;
    cmdDraw[slot] = column.draw;
    lblCount[slot] = column.count;
    lblCount[slot]->setWordWrap(true);
    static const std::array<const char*, 4> names{"Nodes", "Elements", "Blocks", "Loads"};
    cmdSelect[slot]->setObjectName(QStringLiteral("cmdSelect") + QLatin1String(names[std::size_t(slot)]));
    cmdDraw[slot]->setObjectName(QStringLiteral("cmdDraw") + QLatin1String(names[std::size_t(slot)]));
    connect(cmdSelect[slot], &QPushButton::clicked, this, [this, step] { PickStep(step); });
    if (step == 2) {
        // Pick Lines sits under Pick, as wide as it.
        cmdSelectLines = new QPushButton(QStringLiteral("Pick &Lines"), fraStep[step]);
        cmdSelectLines->setObjectName(QStringLiteral("cmdSelectLines"));
        cmdSelectLines->setAutoDefault(false);
        cmdSelectLines->setMinimumWidth(cmdSelect[slot]->minimumWidth());
        cmdSelectLines->setToolTip(QStringLiteral("Make nodes and bars from lines and polylines of the drawing"));
        m_sideColumn[slot]->insertWidget(m_sideColumn[slot]->indexOf(cmdSelect[slot]) + 1, cmdSelectLines);
        connect(cmdSelectLines, &QPushButton::clicked, this, [this] { cmdSelectLines_Click(); });
    }
    connect(cmdDraw[slot], &QPushButton::clicked, this, [this, slot] {
        switch (slot) {
        case 0: cmdDrawNodes_Click(); break;
        case 1: cmdDrawElements_Click(); break;
        case 2: cmdDrawBlocks_Click(); break;
        default: cmdDrawLoads_Click(); break;
        }
    });
}

bool frmTruss::optStart(int index) const
{
    return index >= 0 && index < 3 && optStartButton[std::size_t(index)]->isChecked();
}

void frmTruss::ShowProgress(const QString& text)
{
    m_progress.Show(text);
}

void frmTruss::UnloadProgress()
{
    m_progress.Unload();
}

// ---- The step machine ----------------------------------------------------------------------

bool frmTruss::GoToStep(int step, StepDirection direction)
{
    if (step < 0 || step > kLastStep)
        return false;
    cad::Connection& connection = cad::CadConnection();
    const bool forward = direction == StepForward;
    switch (step) {
    case 0:
        m_linkWatch->LinkLostShown = false;
        OnLastStep = false;
        break;
    case 1:
        m_linkWatch->LinkLostShown = false;
        OnLastStep = false;
        if (forward) {
            TrussModel& model = Truss();
            if (optFile[1]->isChecked()) {
                if (!OpenAnalysisFile(std::int16_t(2)))
                    return false;
                RowsUsed = {model.NodeCount, model.ElementCount, model.BlockCount, model.LoadCount};
            } else {
                ResetModel(model);
                ResetGridBookkeeping();
            }
            const bool connected = cad::ConnectAcad(connection);
            UnloadProgress();
            cad::BringToFront(Handle(this), connection);
            m_linkWatch->tmrDoc.start();
            if (!connected)
                return false;
        }
        break;
    case 2: {
        bool drawingReady = true;
        if (forward) {
            drawingReady = cad::SetupDrawing(connection);
            UnloadProgress();
            cad::BringToFront(Handle(this), connection);
        }
        PrepareSheet(2);
        FillSheet();
        if (!drawingReady)
            return false;
        break;
    }
    case 3:
        PrepareSheet(3);
        if (forward && m_isDirty) {
            ClearNodes();
            DrawNodes(false);
        }
        FillSheet();
        break;
    case 4:
        PrepareSheet(4);
        if (forward && m_isDirty) {
            ClearBeams();
            DrawElements(false);
        }
        FillSheet();
        break;
    case 5:
        OnLastStep = false;
        PrepareSheet(5);
        if (forward && m_isDirty) {
            ClearBlocks();
            DrawBlocks(false);
        }
        FillSheet();
        break;
    case 6:
        OnLastStep = true;
        if (forward && m_isDirty) {
            ClearLoads();
            DrawLoads(false);
            try {
                ClearResults();
            } catch (const cad::CadError&) {
                // Old results that cannot be erased stay until the next run draws over them.
            }
        }
        break;
    default:
        break;
    }
    ShowStep(step);
    return true;
}

void frmTruss::ShowStep(int step)
{
    fraStep[CurrentStep]->setEnabled(false);
    static_cast<QStackedLayout*>(layout()->itemAt(0)->layout())->setCurrentWidget(fraStep[step]);
    fraStep[step]->setEnabled(true);
    UpdateCaption(step);
    UpdateNavButtons(step);
}

void frmTruss::PrepareSheet(int step)
{
    // The grid block and the count box move into the step's frame.
    if (m_gridStep != step) {
        if (m_gridStep >= 2) {
            m_gridHolder[Slot(m_gridStep)]->removeWidget(fraContainer);
            m_sideColumn[Slot(m_gridStep)]->removeWidget(txtValue);
        }
        fraContainer->setParent(fraStep[step]);
        m_gridHolder[Slot(step)]->addWidget(fraContainer, 0, Qt::AlignTop);
        txtValue->setParent(fraStep[step]);
        QVBoxLayout* side = m_sideColumn[Slot(step)];
        side->insertWidget(side->indexOf(lblCount[Slot(step)]) + 1, txtValue);
        fraContainer->show();
        txtValue->show();
        m_gridStep = step;
    }
    GridTableCols = 0;
    fraContainer->ShowSheet(Slot(step));
}

void frmTruss::FillSheet()
{
    fraContainer->Fill();
}

void frmTruss::ResetGridBookkeeping()
{
    RowsUsed = {};
    fraContainer->ResetPositions();
}

void frmTruss::UpdateNavButtons(int step)
{
    CurrentStep = static_cast<std::int16_t>(step);
    const bool valid = IsModelStep(step) ? StepValid() : true;
    const NavButtonState state = NavButtonsFor(step, kLastStep, OnLastStep, valid);
    cmdNav[NavBack]->setEnabled(state.backEnabled);
    cmdNav[NavNext]->setVisible(state.nextVisible);
    cmdNav[NavNext]->setEnabled(state.nextEnabled);
    cmdNav[NavRun]->setVisible(state.runVisible);
    cmdNav[NavCancel]->setText(state.cancelReadsClose ? QStringLiteral("Close") : LoadResString(101).value_or(QStringLiteral("Cancel")));
}

void frmTruss::UpdateCaption(int step)
{
    try {
        const std::optional<QString> title = LoadResString(fraStep[step]->property("Tag").toInt());
        if (!title)
            return;
        setWindowTitle(StepCaption(QStringLiteral("Korrin"), *title, Truss().AnalysisTitle));
    } catch (const ModelError&) {
    }
}

PendingEdit frmTruss::Pending() const
{
    PendingEdit pending;
    pending.visible = fraContainer->EditPending();
    if (pending.visible) {
        pending.text = fraContainer->PendingText();
        pending.row = fraContainer->PendingRow();
        pending.column = fraContainer->PendingColumn();
    }
    return pending;
}

bool frmTruss::StepValid()
{
    switch (CurrentStep) {
    case 2: return CheckNodes();
    case 3: return CheckElements();
    case 4: return CheckBlocks();
    case 5: return CheckLoads();
    default: return true;
    }
}

bool frmTruss::CheckNodes()
{
    const bool valid = ardela::CheckNodes(Truss(), RowsUsed[0], Pending(), CheckBuffer);
    txtValue->setText(QString::number(Truss().NodeCount));
    return valid;
}

bool frmTruss::CheckElements()
{
    const bool valid = ardela::CheckElements(Truss(), RowsUsed[1], Pending(), CheckBuffer);
    txtValue->setText(QString::number(Truss().ElementCount));
    return valid;
}

bool frmTruss::CheckBlocks()
{
    const bool valid = ardela::CheckBlocks(Truss(), RowsUsed[2], Pending(), CheckBuffer);
    txtValue->setText(QString::number(Truss().BlockCount));
    return valid;
}

bool frmTruss::CheckLoads()
{
    const bool valid = ardela::CheckLoads(Truss(), RowsUsed[3], Pending(), CheckBuffer);
    txtValue->setText(QString::number(Truss().LoadCount));
    return valid;
}

void frmTruss::StepCheckNeeded()
{
    if (IsModelStep(CurrentStep))
        cmdNav[NavNext]->setEnabled(StepValid());
}

void frmTruss::Edited()
{
    m_isDirty = true;
}

void frmTruss::CellCommitted(int row, int)
{
    // A cell the grid wrote counts as a row reached by editing.
    if (!IsModelStep(CurrentStep))
        return;
    std::int16_t& used = RowsUsed[std::size_t(Slot(CurrentStep))];
    if (row > used && row <= kTableRows)
        used = static_cast<std::int16_t>(row);
}

// ---- Buttons --------------------------------------------------------------------------------

void frmTruss::cmdNav_Click(int index)
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

void frmTruss::ShowOptions()
{
    cad::KorrinOptionsRoutines routines;
    routines.ClearBlocks = [this] { ClearBlocks(); };
    routines.DrawBlocks = [this](bool regenerate) { DrawBlocks(regenerate); };
    routines.ClearLoads = [this] { ClearLoads(); };
    routines.DrawLoads = [this](bool regenerate) { DrawLoads(regenerate); };
    const cad::OptionsRedraw redraw = cad::KorrinOptionsRedraw(routines);
    frmOptions dialog(this, [redraw](const OptionsChanges& changes) {
        cad::ApplyOptionsToDrawing(cad::CadConnection().AcadDoc, changes, redraw, QStringLiteral("Korrin"));
    });
    dialog.exec();
}

void frmTruss::ShowHelp()
{
    HelpOpened = true;
    WinHelp(this, kHelpFile, HELP_CONTEXT, (CurrentStep + 1) * 1000);
}

void frmTruss::Drawing(void (*routine)(bool), bool regenerate)
{
    try {
        routine(regenerate);
    } catch (const cad::CadError&) {
        ShowMessage(cad::DrawingFailureMessage(), MsgOkOnly + MsgCritical, QStringLiteral("Korrin"));
    } catch (const ModelError&) {
        ShowMessage(cad::DrawingFailureMessage(), MsgOkOnly + MsgCritical, QStringLiteral("Korrin"));
    }
}

void frmTruss::Clearing(void (*routine)())
{
    try {
        routine();
    } catch (const cad::CadError&) {
    }
}

void frmTruss::DrawNodes(bool regenerate) { Drawing(&ardela::DrawNodes, regenerate); }
void frmTruss::DrawElements(bool regenerate) { Drawing(&ardela::DrawElements, regenerate); }
void frmTruss::DrawBlocks(bool regenerate) { Drawing(&ardela::DrawBlocks, regenerate); }
void frmTruss::DrawLoads(bool regenerate) { Drawing(&ardela::DrawLoads, regenerate); }
void frmTruss::ClearNodes() { Clearing(&ardela::ClearNodes); }
void frmTruss::ClearBeams() { Clearing(&ardela::ClearBeams); }
void frmTruss::ClearBlocks() { Clearing(&ardela::ClearBlocks); }
void frmTruss::ClearLoads() { Clearing(&ardela::ClearLoads); }

void frmTruss::cmdDrawNodes_Click()
{
    ClearNodes();
    DrawNodes(true);
}

void frmTruss::cmdDrawElements_Click()
{
    ClearBeams();
    DrawElements(true);
}

void frmTruss::cmdDrawBlocks_Click()
{
    ClearBlocks();
    DrawBlocks(true);
}

void frmTruss::cmdDrawLoads_Click()
{
    ClearLoads();
    DrawLoads(true);
}

void frmTruss::cmdSelectNodes_Click() { PickStep(2); }
void frmTruss::cmdSelectElements_Click() { PickStep(3); }
void frmTruss::cmdSelectBlocks_Click() { PickStep(4); }
void frmTruss::cmdSelectLoads_Click() { PickStep(5); }

void frmTruss::cmdSelectLines_Click()
{
    cad::Connection& connection = cad::CadConnection();
    if (!connection.AcadDoc)
        return;
    QStringList layers;
    try {
        layers = DrawingLayerNames(*connection.AcadDoc);
    } catch (const cad::CadError&) {
        // The question still comes; selecting on screen reports a lost link itself.
    }
    LineSectionDialog question(Truss(), layers, this);
    if (question.exec() != QDialog::Accepted)
        return;
    showMinimized();
    cad::BringToFront(connection.AcadWnd, connection);
    const LinePickEnd end = PickLines(Truss(), Settings(), *connection.AcadDoc, question.Section());
    if (end == LinePickEnd::Added) {
        // The new rows follow the tables' rows: both grids show them.
        RowsUsed[0] = std::max(RowsUsed[0], Truss().NodeCount);
        RowsUsed[1] = std::max(RowsUsed[1], Truss().ElementCount);
        FillSheet();
        m_isDirty = true;
    }
    cmdNav[NavNext]->setEnabled(StepValid());
    cad::BringToFront(Handle(this), connection);
}

void frmTruss::PickStep(int step)
{
    cad::Connection& connection = cad::CadConnection();
    if (!connection.AcadDoc)
        return;
    showMinimized();
    cad::BringToFront(connection.AcadWnd, connection);
    const int slot = Slot(step);
    PickTarget target{Truss(), Settings(), *connection.AcadDoc, RowsUsed[std::size_t(slot)],
                      [this] { FillSheet(); }, nullptr};
    switch (step) {
    case 2:
        ClearNodes();
        target.clearLayer = [this] { ClearNodes(); };
        PickNodes(target);
        break;
    case 3:
        ClearBeams();
        target.clearLayer = [this] { ClearBeams(); };
        PickElements(target);
        break;
    case 4:
        target.clearLayer = [this] { ClearBlocks(); };
        PickBlocks(target);
        break;
    default:
        target.clearLayer = [this] { ClearLoads(); };
        PickLoads(target);
        break;
    }
    // The tables changed: the step's layer is redrawn when the step is left forward.
    m_isDirty = true;
    cmdNav[NavNext]->setEnabled(StepValid());
    cad::BringToFront(Handle(this), connection);
}

void frmTruss::Run()
{
    cad::Connection& connection = cad::CadConnection();
    TrussModel& model = Truss();
    if (m_isDirty && SaveAnalysisFile(std::int16_t(2))) {
        m_isDirty = false;
        UpdateCaption(CurrentStep);
    }
    QCoreApplication::processEvents();
    QString detail;
    const CheckedSolution solution = SolveTrussChecked(model, &detail);
    if (!solution.solved)
        return;
    picProgress->show();
    picProgress->repaint();
    const bool drawn = DrawResults(ProgressBox(picProgress));
    if (drawn)
        cad::BringToFront(connection.AcadWnd, connection);
    picProgress->hide();
    if (!model.AnalysisPath.isEmpty())
        WriteReport(model);
    if (solution.Unreliable())
        ShowMessage(UnreliableSolutionWarning(solution.residual), MsgOkOnly + MsgExclamation, QStringLiteral("Korrin"));
}

void frmTruss::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    if (!CloseWizard(this, cad::CadConnection(), kHelpFile, HelpOpened)) {
        event->ignore();
        return;
    }
    m_linkWatch->tmrDoc.stop();
    m_closing = true;
    UnloadProgress();
    event->accept();
}

} // namespace ardela
