// The step window core: one step machine for every wizard program.
#include "wizard/StepWindow.h"

#include <algorithm>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "cad/CadError.h"
#include "cad/DrawingLayers.h"
#include "cad/modForeWindow.h"
#include "cad/modHelpers.h"
#include "desktop/Error.h"
#include "desktop/HelpWindow.h"
#include "desktop/frmOptions.h"
#include "desktop/modMessage.h"
#include "desktop/modResource.h"
#include "wizard/LinkWatch.h"
#include "wizard/StepFrame.h"
#include "wizard/UnsavedModel.h"
#include "wizard/WizardLifetime.h"

namespace ardela {

// The controls of one model step beside its sheet.
struct StepWindow::ModelStep {
    QVBoxLayout* gridHolder = nullptr;
    QVBoxLayout* side = nullptr;
    QPushButton* pick = nullptr;
    QPushButton* draw = nullptr;
    QLabel* count = nullptr;
    QWidget* countAnchor = nullptr;
    int sheet = -1;          // the step's sheet in the grid editor; -1 on the other steps
    std::int16_t mark = 0;   // the highest row reached by a pick or an edit
};

namespace {

std::uint64_t WindowHandle(QWidget* window)
{
    return static_cast<std::uint64_t>(window->winId());
}

// The host and drawing objects kept alive while a routine of ours uses them: the link watch
// drops the connection's own references when the link is lost in the middle of that routine.
struct LinkHold {
    cad::AcadApplicationPtr application = cad::CadConnection().AcadApp;
    cad::AcadDocumentPtr document = cad::CadConnection().AcadDoc;
};

} // namespace

StepWindow::StepWindow(WizardProfile profile, QWidget* parent) : QWidget(parent), m_profile(std::move(profile))
{
    // The splash, the pending-call message, the colour picker and the settings come first.
    m_startup = new WizardStartup;
    WizardStartup::Prepare(m_profile.title);
    setObjectName(m_profile.objectName);
    setWindowTitle(m_profile.title);
}

StepWindow::~StepWindow()
{
    delete m_startup;
    cad::Connection& connection = cad::CadConnection();
    if (connection.WizardForm == this)
        connection.WizardForm = nullptr;
    connection.Profile.drawModelLayer = {};
}

void StepWindow::BuildSteps(std::vector<StepDescriptor> steps)
{
    m_steps = std::move(steps);
    m_model.resize(m_steps.size());
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    m_stack = new QStackedLayout;
    outer->addLayout(m_stack, 1);
    for (std::size_t k = 0; k < m_steps.size(); ++k) {
        const StepPage page = BuildStepPage(this, int(k), m_steps[k].picture);
        if (m_profile.frameMinimumHeight > 0)
            page.frame->setMinimumHeight(m_profile.frameMinimumHeight);
        m_frames.push_back(page.frame);
        m_stack->addWidget(page.frame);
    }
    // The first two steps: a new analysis or a file, then the drawing to work in.
    m_optFile = BuildOptionGroup(m_frames[0], 1002, {1003, 1004}, QStringLiteral("optFile")).buttons;
    m_optStart = BuildOptionGroup(m_frames[1], 2003, {2005, 2004, 2006}, QStringLiteral("optStart")).buttons;

    // The model steps: one grid block and count box, moved into the frame of the step shown.
    m_grid = new GridEditor(this);
    m_grid->setObjectName(QStringLiteral("fraContainer"));
    m_countBox = new QLineEdit(this);
    m_countBox->setObjectName(QStringLiteral("txtValue"));
    m_countBox->setReadOnly(true);
    m_countBox->setFocusPolicy(Qt::NoFocus);
    m_countBox->setFixedWidth(60);
    m_countBox->setAlignment(Qt::AlignRight);
    m_grid->hide();
    m_countBox->hide();
    for (int step = 0; step <= LastStep(); ++step) {
        StepDescriptor& d = m_steps[std::size_t(step)];
        if (!d.sheet)
            continue;
        ModelStep& m = m_model[std::size_t(step)];
        const int pickTag = d.pickTag != 0 ? d.pickTag : d.countTag + 1;
        const ModelStepColumn column = BuildModelStepColumn(m_frames[std::size_t(step)], StepBody(step), d.countTag,
                                                            pickTag, pickTag + 1, m_profile.pickButtonWidth);
        m.gridHolder = column.gridHolder;
        m.side = column.side;
        m.pick = column.pick;
        m.draw = column.draw;
        m.count = column.count;
        m.countAnchor = column.count;
        m.count->setWordWrap(true);
        m.pick->setObjectName(QStringLiteral("cmdSelect") + d.name);
        m.draw->setObjectName(QStringLiteral("cmdDraw") + d.name);
        m.count->setObjectName(QStringLiteral("lbl") + d.name);
        m.sheet = m_grid->AddSheet(std::move(*d.sheet));
        d.sheet.reset();
        connect(m.pick, &QPushButton::clicked, this, [this, step] { PickStep(step); });
        connect(m.draw, &QPushButton::clicked, this, [this, step] { DrawStep(step); });
    }
    connect(m_grid, &GridEditor::Edited, this, [this] { m_isDirty = true; });
    connect(m_grid, &GridEditor::CellCommitted, this, &StepWindow::CellCommitted);
    connect(m_grid, &GridEditor::StepCheckNeeded, this, &StepWindow::RecheckStep);

    // The last step: the run's progress box, sunken, shown while results are drawn.
    m_progressBox = new QLabel(m_frames.back());
    m_progressBox->setObjectName(QStringLiteral("picProgress"));
    m_progressBox->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_progressBox->setFixedHeight(22);
    // The bar is painted to the box's width: its picture must not widen the window.
    m_progressBox->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_progressBox->hide();
    StepBody(LastStep())->addStretch(1);
    StepBody(LastStep())->addWidget(m_progressBox);

    // The navigation row; Escape presses Cancel except while the cell edit box has the focus,
    // F1 is Help.
    m_nav = BuildNavRow(this, outer, [this](int index) { cmdNav_Click(index); });
    InstallWizardKeys(this, m_grid, m_nav[NavCancel], [this] { ShowHelp(); });
    setMinimumSize(m_profile.minimumSize);
}

void StepWindow::PlaceFirstSheet()
{
    // The grid block stands on the first model step from the start, so that the window is sized
    // for the widest step.
    for (int step = 0; step <= LastStep(); ++step) {
        if (IsModelStep(step)) {
            PlaceGrid(step);
            m_grid->ShowSheet(m_model[std::size_t(step)].sheet);
            return;
        }
    }
}

void StepWindow::Start()
{
    // The connection's knowledge of this program: its title, texts, layers and draw members.
    cad::Connection& connection = cad::CadConnection();
    connection.Profile = m_profile.connection;
    int layer = 0;
    for (int step = 0; step <= LastStep() && layer < 4; ++step) {
        if (IsModelStep(step)) {
            connection.Profile.drawModelLayer[std::size_t(layer++)] = [this, step](bool regenerate) {
                Drawing([this, step, regenerate] { m_steps[std::size_t(step)].draw(regenerate); });
            };
        }
    }
    PlaceFirstSheet();
    m_linkWatch = new LinkWatch(connection, [this] { GoToStep(0, StepForward); }, this);
    m_linkWatch->setObjectName(QStringLiteral("tmrDoc"));
    // The captions, step 0, then the connection's wizard, the hook and "About..."; the splash
    // goes once its minimum time is up.
    LoadResStrings(this);
    GoToStep(0, StepInitial);
    m_startup->Finish(this, this, connection, m_grid->HookTarget());
}

bool StepWindow::optStart(int index) const
{
    return index >= 0 && index < int(m_optStart.size()) && m_optStart[std::size_t(index)]->isChecked();
}

void StepWindow::ShowProgress(const QString& text)
{
    m_progress.Show(text);
}

void StepWindow::UnloadProgress()
{
    m_progress.Unload();
}

QGroupBox* StepWindow::StepFrame(int step) const
{
    return m_frames[std::size_t(step)];
}

QVBoxLayout* StepWindow::StepBody(int step) const
{
    return StepContent(m_frames[std::size_t(step)]);
}

QVBoxLayout* StepWindow::SideColumn(int step) const
{
    return m_model[std::size_t(step)].side;
}

QLabel* StepWindow::CountLabel(int step) const
{
    return m_model[std::size_t(step)].count;
}

QPushButton* StepWindow::DrawButton(int step) const
{
    return m_model[std::size_t(step)].draw;
}

void StepWindow::SetCountAnchor(int step, QWidget* widget)
{
    m_model[std::size_t(step)].countAnchor = widget;
}

std::int16_t StepWindow::RowsReached(int step) const
{
    return m_model[std::size_t(step)].mark;
}

std::int16_t& StepWindow::Mark(int step)
{
    return m_model[std::size_t(step)].mark;
}

bool StepWindow::IsModelStep(int step) const
{
    return step >= 0 && step <= LastStep() && m_model[std::size_t(step)].sheet >= 0;
}

// ---- The step machine ----------------------------------------------------------------------

bool StepWindow::GoToStep(int step, StepDirection direction)
{
    if (step < 0 || step > LastStep())
        return false;
    // While a step change waits on the host only the link watch's return may come between.
    if (m_waiting > 0 && step != 0)
        return false;
    const int change = ++m_stepChanges;
    const LinkHold hold;
    ++m_waiting;
    const bool entered = EnterStep(step, direction == StepForward);
    --m_waiting;
    // A return to the first step overtook this change while it waited: that step stands.
    if (!entered || change != m_stepChanges)
        return false;
    ShowStep(step);
    return true;
}

bool StepWindow::EnterStep(int step, bool forward)
{
    cad::Connection& connection = cad::CadConnection();
    if (step <= 1) {
        m_linkWatch->LinkLostShown = false;
        m_onLastStep = false;
    }
    if (step == 1 && forward) {
        // A model with unsaved changes is not emptied or replaced without a word (after a lost
        // link the drawing host is gone and this is the only way left to save it).
        const auto save = [this] {
            if (!m_profile.saveAnalysis())
                return false;
            SetDirty(false);
            return true;
        };
        if (!MayReplaceModel(IsDirty(), save, m_profile.title, m_profile.analysisTitle()))
            return false;
        if (m_optFile[1]->isChecked()) {
            if (!m_profile.openAnalysis())
                return false;
            const std::vector<std::int16_t> marks = m_profile.marksOfOpened();
            for (std::size_t k = 0, sheet = 0; k < m_model.size(); ++k)
                if (m_model[k].sheet >= 0 && sheet < marks.size())
                    m_model[k].mark = marks[sheet++];
        } else {
            m_profile.resetModel();
            for (ModelStep& m : m_model)
                m.mark = 0;
            m_grid->ResetPositions();
        }
        SetDirty(false);
        const bool connected = cad::ConnectAcad(connection);
        UnloadProgress();
        cad::BringToFront(WindowHandle(this), connection);
        m_linkWatch->tmrDoc.start();
        if (!connected)
            return false;
    }
    bool drawingReady = true;
    if (step == 2 && forward) {
        drawingReady = cad::SetupDrawing(connection);
        UnloadProgress();
        cad::BringToFront(WindowHandle(this), connection);
    }
    if (IsModelStep(step)) {
        PlaceGrid(step);
        if (m_beforeSheet)
            m_beforeSheet(step);
        m_grid->ShowSheet(m_model[std::size_t(step)].sheet);
    }
    // The layer of the step left forward is drawn again when its sheet changed.
    if (forward && m_isDirty && step >= 1 && IsModelStep(step - 1))
        RedrawLeftStep(step);
    if (IsModelStep(step))
        m_grid->Fill();
    if (!drawingReady)
        return false;
    if (step == LastStep())
        m_onLastStep = true;
    else if (step == LastStep() - 1)
        m_onLastStep = false;
    return true;
}

void StepWindow::RedrawLeftStep(int step)
{
    const StepDescriptor& left = m_steps[std::size_t(step - 1)];
    const int change = m_stepChanges;
    bool failed = false;
    bool lost = false;
    const auto attempt = [&](const std::function<void()>& routine) {
        try {
            routine();
        } catch (const cad::CadError& error) {
            failed = true;
            lost = lost || error.Code() == cad::kDisconnected;
        } catch (const ModelError&) {
            failed = true;
        }
    };
    attempt([&] {
        left.clear();
        left.draw(false);
    });
    if (m_steps[std::size_t(step)].alsoClear)
        attempt(m_steps[std::size_t(step)].alsoClear);
    // The link watch's return to the first step came in the middle: it has said why.
    if (change != m_stepChanges)
        return;
    if (lost && m_linkWatch->tmrDoc.isActive())
        m_linkWatch->tmrDoc_Timer();
    else if (failed)
        ShowMessage(m_profile.redrawFailure, MsgOkOnly + MsgCritical, m_profile.title);
}

void StepWindow::ShowStep(int step)
{
    m_frames[std::size_t(CurrentStep)]->setEnabled(false);
    m_stack->setCurrentWidget(m_frames[std::size_t(step)]);
    m_frames[std::size_t(step)]->setEnabled(true);
    UpdateCaption(step);
    UpdateNavButtons(step);
}

void StepWindow::PlaceGrid(int step)
{
    // The grid block and the count box move into the step's frame.
    if (m_gridStep == step)
        return;
    if (m_gridStep >= 0) {
        m_model[std::size_t(m_gridStep)].gridHolder->removeWidget(m_grid);
        m_model[std::size_t(m_gridStep)].side->removeWidget(m_countBox);
    }
    ModelStep& m = m_model[std::size_t(step)];
    m_grid->setParent(m_frames[std::size_t(step)]);
    m.gridHolder->addWidget(m_grid, 0, Qt::AlignTop);
    m_countBox->setParent(m_frames[std::size_t(step)]);
    m.side->insertWidget(m.side->indexOf(m.countAnchor) + 1, m_countBox);
    m_grid->show();
    m_countBox->show();
    m_gridStep = step;
}

void StepWindow::UpdateNavButtons(int step)
{
    CurrentStep = static_cast<std::int16_t>(step);
    const bool valid = IsModelStep(step) ? StepValid() : true;
    const NavButtonState state = NavButtonsFor(step, LastStep(), m_onLastStep, valid);
    m_nav[NavBack]->setEnabled(state.backEnabled);
    m_nav[NavNext]->setVisible(state.nextVisible);
    m_nav[NavNext]->setEnabled(state.nextEnabled);
    m_nav[NavRun]->setVisible(state.runVisible);
    m_nav[NavCancel]->setText(state.cancelReadsClose ? m_profile.closeText : m_profile.cancelText);
}

void StepWindow::UpdateCaption(int step)
{
    try {
        const int tag = m_frames[std::size_t(step)]->property("Tag").toInt();
        const std::optional<QString> title = LoadResString(tag + m_profile.captionOffset);
        if (title)
            setWindowTitle(StepCaption(m_profile.title, *title, m_profile.analysisTitle()));
    } catch (const ModelError&) {
    }
}

PendingEdit StepWindow::Pending() const
{
    PendingEdit pending;
    pending.visible = m_grid->EditPending();
    if (pending.visible) {
        pending.text = m_grid->PendingText();
        pending.row = m_grid->PendingRow();
        pending.column = m_grid->PendingColumn();
    }
    return pending;
}

bool StepWindow::StepValid()
{
    if (!IsModelStep(CurrentStep))
        return true;
    const StepDescriptor& d = m_steps[std::size_t(CurrentStep)];
    ModelStep& m = m_model[std::size_t(CurrentStep)];
    const bool valid = d.check(Pending(), m.mark);
    m_countBox->setText(QString::number(d.count()));
    m.draw->setEnabled(valid);
    return valid;
}

void StepWindow::RecheckStep()
{
    if (IsModelStep(CurrentStep))
        m_nav[NavNext]->setEnabled(StepValid());
}

void StepWindow::CellCommitted(int row, int)
{
    // A cell the grid wrote counts as a row reached by editing.
    if (!IsModelStep(CurrentStep))
        return;
    std::int16_t& mark = m_model[std::size_t(CurrentStep)].mark;
    if (row > mark && row <= kTableRows)
        mark = static_cast<std::int16_t>(row);
}

// ---- Buttons --------------------------------------------------------------------------------

void StepWindow::cmdNav_Click(int index)
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
        if (m_waiting == 0) {
            const LinkHold hold;
            Run();
        }
        break;
    case NavOptions:
        ShowOptions();
        break;
    default:
        break;
    }
}

void StepWindow::ShowHelp()
{
    HelpOpened = true;
    WinHelp(this, m_profile.helpFile, HELP_CONTEXT, (CurrentStep + 1) * 1000);
}

void StepWindow::SetDirty(bool dirty)
{
    m_isDirty = dirty;
    if (!dirty)
        m_settingsChanged = false;
}

void StepWindow::ShowOptions()
{
    frmOptions dialog(this, m_profile.applyOptions);
    dialog.exec();
    // The settings are stored in the analysis file: a change is a change of the analysis in hand,
    // so that closing asks and the next save keeps it.
    if (dialog.result() == QDialog::Accepted && dialog.Changes().Any() && CurrentStep >= 1)
        m_settingsChanged = true;
}

bool StepWindow::Drawing(const std::function<void()>& routine)
{
    try {
        routine();
        return true;
    } catch (const cad::CadError& error) {
        if (error.Code() == cad::kDisconnected && m_linkWatch && m_linkWatch->tmrDoc.isActive()) {
            // The link watch says it, once, and returns to the first step.
            m_linkWatch->tmrDoc_Timer();
            return false;
        }
    } catch (const ModelError&) {
    }
    ShowMessage(cad::DrawingFailureMessage(), MsgOkOnly + MsgCritical, m_profile.title);
    return false;
}

void StepWindow::DrawStep(int step)
{
    // One message at most: a layer that cannot be erased is not drawn over.
    const StepDescriptor& d = m_steps[std::size_t(step)];
    const LinkHold hold;
    Drawing([&d] {
        d.clear();
        d.draw(true);
    });
}

void StepWindow::PickStep(int step)
{
    cad::Connection& connection = cad::CadConnection();
    if (!connection.AcadDoc || m_waiting > 0)
        return;
    const LinkHold hold;
    showMinimized();
    cad::BringToFront(connection.AcadWnd, connection);
    const StepDescriptor& d = m_steps[std::size_t(step)];
    d.pick(PickRequest{*connection.AcadDoc, m_model[std::size_t(step)].mark, [this] { m_grid->Fill(); }});
    // The table was emptied and refilled: the step's layer is redrawn when the step is left.
    m_isDirty = true;
    RecheckStep();
    showNormal();
    cad::BringToFront(WindowHandle(this), connection);
}

void StepWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    // The link watch stops before any closing work: closing the drawing and quitting the host
    // are no lost link.
    const bool watching = m_linkWatch && m_linkWatch->tmrDoc.isActive();
    if (m_linkWatch)
        m_linkWatch->tmrDoc.stop();
    if (!CloseWizard(this, cad::CadConnection(), m_profile.helpFile, HelpOpened)) {
        if (watching)
            m_linkWatch->tmrDoc.start();
        event->ignore();
        return;
    }
    m_closing = true;
    UnloadProgress();
    event->accept();
}

} // namespace ardela
