// The step window every wizard program is: the step machine, the navigation row, the caption,
// the link watch, the model steps (sheet, count box, Pick and Draw), Help, Options and closing.
// A program describes itself to it as data, one StepDescriptor per step plus its WizardProfile,
// and keeps only what is truly its own (its run, its extra controls).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>

#include "cad/ProgramProfile.h"
#include "cad/WizardForm.h"
#include "desktop/OptionsChanges.h"
#include "wizard/GridEditor.h"
#include "wizard/SheetChecks.h"
#include "wizard/WizardNavigation.h"
#include "wizard/WizardProgress.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedLayout;
class QVBoxLayout;

namespace ardela {

namespace cad {
class AcadDocument;
}

class LinkWatch;
class WizardStartup;

// What a model step's pick routine is given.
struct PickRequest {
    cad::AcadDocument& document;
    std::int16_t& mark;               // the highest row reached; the pick sets it
    std::function<void()> refill;     // shows the table again after each pick
};

// One step of a wizard. Its frame is "fraStep<k>" (Tag (k + 1) x 1000, the caption's text id).
struct StepDescriptor {
    QPixmap picture;
    // A model step: its sheet of the grid editor and what acts on it. Its controls are named
    // after `name`: "cmdSelect<name>", "cmdDraw<name>", "lbl<name>".
    std::optional<GridSheet> sheet;
    QString name;
    int countTag = 0;                 // the count label
    int pickTag = 0;                  // Pick (Draw is the next Tag); 0: the Tag after the count
    // Counts the sheet's rows into the model and says whether the step may be left forward.
    std::function<bool(const PendingEdit& pending, std::int16_t& mark)> check;
    // The number the count box shows.
    std::function<int()> count;
    std::function<void(const PickRequest& request)> pick;
    // The step's layer in the drawing; both throw on a failing call into the drawing host.
    std::function<void(bool regenerate)> draw;
    std::function<void()> clear;
    // Entered forward after a change: cleared besides redrawing the step before (old results).
    std::function<void()> alsoClear;
};

// What the core needs to know of the program.
struct WizardProfile {
    QString title;                    // "Korrin"
    QString objectName;               // "frmTruss"
    QString helpFile;                 // "Korrin.hlp"
    int captionOffset = 0;            // string-table offset of the captions' language
    QString cancelText;               // button 1 before the last step
    QString closeText;                // button 1 on the last step
    QString redrawFailure;            // a step's layer that could not be redrawn on a step change
    QSize minimumSize;
    int frameMinimumHeight = 0;
    int pickButtonWidth = 84;
    cad::ProgramProfile connection;   // title, texts and layers the connection routines use
    std::function<bool()> openAnalysis;                        // the file dialog and the open
    std::function<bool()> saveAnalysis;                        // the save (a dialog when unnamed)
    std::function<void()> resetModel;                          // a new analysis
    std::function<std::vector<std::int16_t>()> marksOfOpened;   // per sheet, after an open
    std::function<QString()> analysisTitle;
    // What the Options dialog's OK does to the drawing (the program's redraw rules).
    std::function<void(const OptionsChanges& changes)> applyOptions;
};

class StepWindow : public QWidget, public cad::WizardForm {
    Q_OBJECT
public:
    ~StepWindow() override;

    // What the connection routines reach.
    // True while the analysis has changes not saved to its file: the model's, or the settings
    // the file stores that Options changed on an analysis in hand.
    bool IsDirty() const override { return m_isDirty || m_settingsChanged; }
    bool optStart(int index) const override;
    void ShowProgress(const QString& text) override;
    void UnloadProgress() override;
    // Marks the model changed, or the whole analysis saved (false).
    void SetDirty(bool dirty);
    // True while the model tables have changes not saved (the drawn results may be stale).
    bool ModelChanged() const { return m_isDirty; }

    // The step machine: the work of entering the step, then the step shown; false (and nothing
    // changed) when that work failed or a return to the first step overtook it. Only GoToStep
    // changes the step; a step change asked for while one waits on the host is refused, except
    // the link watch's return to the first step.
    bool GoToStep(int step, StepDirection direction);
    void cmdNav_Click(int index);
    // Checks the current model step, shows its count and enables its Draw button; true on the
    // other steps.
    bool StepValid();
    int LastStep() const { return int(m_steps.size()) - 1; }
    // The highest row of a model step's sheet reached by a pick or an edit.
    std::int16_t RowsReached(int step) const;

    // The model step's layer drawn again (the Draw button), and the same on a named step; a
    // failure is said once with the drawing message.
    void DrawStep(int step);
    // Runs `routine`; a failing call into the host is said with the drawing message, or, when
    // the link is lost, by the link watch (once). False when it failed.
    bool Drawing(const std::function<void()>& routine);
    void ShowHelp();
    void ShowOptions();
    // The program's run (the Run button).
    virtual void Run() = 0;

    std::int16_t CurrentStep = 0;
    bool HelpOpened = false;

protected:
    StepWindow(WizardProfile profile, QWidget* parent);
    // Builds the frames, the model steps and the navigation row from the descriptors.
    void BuildSteps(std::vector<StepDescriptor> steps);
    // The connection's profile, the link watch, the captions, the first step; the splash goes.
    void Start();

    // For the program's own controls.
    QGroupBox* StepFrame(int step) const;
    QVBoxLayout* StepBody(int step) const;
    QVBoxLayout* SideColumn(int step) const;
    QLabel* CountLabel(int step) const;
    QPushButton* DrawButton(int step) const;
    GridEditor* Grid() const { return m_grid; }
    QLabel* ProgressBox() const { return m_progressBox; }
    // The count box stands under `widget` on `step` (under the count label by default).
    void SetCountAnchor(int step, QWidget* widget);
    // Called when a model step's sheet is about to be shown.
    std::function<void(int step)> m_beforeSheet;
    // What the Options dialog's OK does to the drawing: the program's redraw rules.
    void SetApplyOptions(std::function<void(const OptionsChanges& changes)> apply) { m_profile.applyOptions = std::move(apply); }
    // "&Next >" set again from the current step's check.
    void RecheckStep();
    // The caption of `step` again (after the analysis got a file name).
    void UpdateCaption(int step);
    std::int16_t& Mark(int step);

    void closeEvent(QCloseEvent* event) override;

private:
    struct ModelStep;
    bool EnterStep(int step, bool forward);
    void ShowStep(int step);
    void PlaceGrid(int step);
    void PlaceFirstSheet();
    void UpdateNavButtons(int step);
    void RedrawLeftStep(int step);
    void PickStep(int step);
    PendingEdit Pending() const;
    bool IsModelStep(int step) const;
    void CellCommitted(int row, int column);

    WizardProfile m_profile;
    std::vector<StepDescriptor> m_steps;
    std::vector<ModelStep> m_model;
    QStackedLayout* m_stack = nullptr;
    std::vector<QGroupBox*> m_frames;
    std::vector<QRadioButton*> m_optFile;
    std::vector<QRadioButton*> m_optStart;
    GridEditor* m_grid = nullptr;
    QLineEdit* m_countBox = nullptr;
    QLabel* m_progressBox = nullptr;
    std::array<QPushButton*, 6> m_nav{};
    LinkWatch* m_linkWatch = nullptr;
    WizardStartup* m_startup = nullptr;
    WizardProgress m_progress{this};
    bool m_isDirty = false;
    bool m_settingsChanged = false;
    bool m_closing = false;
    bool m_onLastStep = false;
    int m_gridStep = -1;
    int m_stepChanges = 0;     // step changes begun: a later one overtakes one that waits
    int m_waiting = 0;         // step changes waiting on their work
};

} // namespace ardela
