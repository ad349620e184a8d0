// frmStress: Vendel's wizard window. Eight steps lead from a new or opened analysis through the
// drawing, the gridlines, subdomains, constrained lines and loads to the run that starts the
// solver and draws the principal stresses.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include <QPointer>
#include <QWidget>

#include "cad/WizardForm.h"
#include "wizard/WizardNavigation.h"
#include "wizard/WizardProgress.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace ardela {

class GridEditor;
class LinkWatch;
class WizardStartup;
class frmProgress;
struct SheetPending;

class frmStress : public QWidget, public cad::WizardForm {
    Q_OBJECT
public:
    static constexpr int kSteps = 8;
    static constexpr int kLastStep = 7;
    // The sheets of steps 3 to 6, in the grid editor's order.
    enum Sheet { GridSheetIndex = 0, DomainSheetIndex = 1, LineSheetIndex = 2, LoadSheetIndex = 3 };

    // Builds the window and runs its load: splash, settings, captions, hook, step 0.
    explicit frmStress(QWidget* parent = nullptr);
    ~frmStress() override;

    // What the connection routines reach.
    bool IsDirty() const override { return m_isDirty; }
    bool optStart(int index) const override;
    void ShowProgress(const QString& text) override;
    void UnloadProgress() override;
    void SetDirty(bool dirty) { m_isDirty = dirty; }

    // The step machine: the work of entering the target step, then the step shown; false (and
    // nothing changed) when that work failed.
    bool GoToStep(int step, StepDirection direction);
    void SetNavButtons(int step);
    void ShowStepCaption(int step);
    // Checks the current sheet (steps 3 to 6) and enables its Draw button; true on other steps.
    bool ValidateStep();
    // Empties the model tables, the counts, the sheet positions and marks, and forgets the file.
    void ResetModel();

    // The model drawing members (also called by SetupLayers and the Options dialog). A failing
    // call into the drawing host is reported once with the drawing message.
    void DrawGrid(bool regenerate);
    void DrawDomains(bool regenerate);
    void DrawLines(bool regenerate);
    void DrawLoads(bool regenerate);
    void ClearLoads();

    // The buttons.
    void cmdNav_Click(int index);
    void cmdActivate_Click();
    void optGridlines_Click(int index);
    void cmdSelectGrid_Click();
    void cmdSelectDomains_Click();
    void cmdSelectLines_Click();
    void cmdSelectLoads_Click();
    void cmdDrawGrid_Click();
    void cmdDrawDomains_Click();
    void cmdDrawLines_Click();
    void cmdDrawLoads_Click();
    // Run: save when changed, write "datein", run `stress`, read and draw its results, keep the
    // listing beside a saved analysis.
    void Run();
    void ShowHelp();
    void ShowOptions();

    // Controls.
    std::array<QGroupBox*, kSteps> fraStep{};
    std::array<QLabel*, kSteps> lblStep{};
    std::array<QLabel*, kSteps> imgStep{};
    QGroupBox* fraFile = nullptr;
    std::array<QRadioButton*, 2> optFile{};
    QGroupBox* fraIntroduction = nullptr;
    std::array<QRadioButton*, 3> optStartButton{};  // the option buttons optStart(0..2)
    QPushButton* cmdActivate = nullptr;
    std::array<QRadioButton*, 2> optGridlines{};
    std::array<QLabel*, 2> lblGridlines{};
    GridEditor* fraContainer = nullptr;
    QLineEdit* txtValue = nullptr;
    std::array<QLabel*, 4> lblCount{};        // lblGridlines(0) stands in slot 0; lblDomains, lblLines, lblLoads
    std::array<QPushButton*, 4> cmdSelect{};  // cmdSelectGrid, cmdSelectDomains, cmdSelectLines, cmdSelectLoads
    std::array<QPushButton*, 4> cmdDraw{};    // cmdDrawGrid, cmdDrawDomains, cmdDrawLines, cmdDrawLoads
    QLabel* picProgress = nullptr;
    std::array<QPushButton*, 6> cmdNav{};
    LinkWatch* m_linkWatch = nullptr;  // owns tmrDoc

    // Window state.
    std::int16_t CurrentStep = 0;
    bool LastStepReached = false;
    bool HelpShown = false;
    std::array<std::int16_t, 4> SheetMaxRow{};  // per sheet: the highest row filled by a pick or an edit
    std::int16_t SheetColumns = 0;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildSheetStep(int step, const char* name, int tagBase);
    void PrepareSheet(int step);
    // Moves the grid block and the count box into the frame of a sheet step.
    void PlaceGrid(int step);
    void ShowStep(int step);
    SheetPending Pending() const;
    void StepCheckNeeded();
    void Edited();
    void PickStep(int step);
    // Runs a drawing routine of the model, reporting its first failure with the drawing message.
    bool Drawing(const std::function<void()>& routine);
    // The redraw of a step left forward: clear and draw; a failure is reported once and the step
    // still changes.
    void RedrawOnStepChange(const std::function<void()>& clear, const std::function<void()>& draw,
                            const std::function<void()>& also = {});
    void FillCurrentSheet();
    void SetGridColumn();

    bool m_isDirty = false;
    bool m_closing = false;
    int m_gridStep = -1;  // the step whose frame holds the grid block
    int m_stepChanges = 0;  // GoToStep calls so far: a nested one supersedes the one it interrupted
    std::array<QVBoxLayout*, 4> m_gridHolder{};
    std::array<QVBoxLayout*, 4> m_sideColumn{};
    WizardProgress m_progress{this};
    WizardStartup* m_startup = nullptr;
};

// The program-wide wizard window, while it exists.
frmStress* StressWizard();

} // namespace ardela
