// frmTruss: Korrin's wizard window. Seven steps lead from a new or opened analysis through the
// drawing, the nodes, bars, supports and loads to the run that solves the truss, draws its forces
// and writes the report.
#pragma once

#include <array>
#include <cstdint>

#include <QPointer>
#include <QWidget>

#include "cad/WizardForm.h"
#include "truss_wizard/StepChecks.h"
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

class frmTruss : public QWidget, public cad::WizardForm {
    Q_OBJECT
public:
    static constexpr int kSteps = 7;
    static constexpr int kLastStep = 6;

    // Builds the window and runs its load: splash, settings, captions, hook, step 0. The splash
    // goes once its minimum time has passed, without holding up the window.
    explicit frmTruss(QWidget* parent = nullptr);
    ~frmTruss() override;

    // What the connection routines reach.
    bool IsDirty() const override { return m_isDirty; }
    bool optStart(int index) const override;
    void ShowProgress(const QString& text) override;
    void UnloadProgress() override;
    void SetDirty(bool dirty) { m_isDirty = dirty; }

    // The step machine: the work of the target step, then the step shown; false (and nothing
    // changed) when that work failed.
    bool GoToStep(int step, StepDirection direction);
    void UpdateNavButtons(int step);
    void UpdateCaption(int step);
    bool StepValid();
    bool CheckNodes();
    bool CheckElements();
    bool CheckBlocks();
    bool CheckLoads();

    // The model drawing members (also called by the Options dialog and SetupLayers). A failing
    // call into the drawing host is reported once with the drawing message.
    void DrawNodes(bool regenerate);
    void DrawElements(bool regenerate);
    void DrawBlocks(bool regenerate);
    void DrawLoads(bool regenerate);
    void ClearNodes();
    void ClearBeams();
    void ClearBlocks();
    void ClearLoads();

    // The buttons.
    void cmdNav_Click(int index);
    void cmdSelectNodes_Click();
    // Pick Lines: nodes and bars appended from lines selected in the drawing (or a layer's).
    void cmdSelectLines_Click();
    void cmdSelectElements_Click();
    void cmdSelectBlocks_Click();
    void cmdSelectLoads_Click();
    void cmdDrawNodes_Click();
    void cmdDrawElements_Click();
    void cmdDrawBlocks_Click();
    void cmdDrawLoads_Click();
    // Run: save when changed, solve, draw the forces, bring the host to the front, report.
    void Run();
    // Help at the step's topic.
    void ShowHelp();
    // The Options dialog, modal, owned by this window; its OK updates the working drawing.
    void ShowOptions();

    // Controls.
    std::array<QGroupBox*, kSteps> fraStep{};
    std::array<QLabel*, kSteps> lblStep{};
    std::array<QLabel*, kSteps> imgStep{};
    QGroupBox* fraFile = nullptr;
    std::array<QRadioButton*, 2> optFile{};
    QGroupBox* fraIntroduction = nullptr;
    std::array<QRadioButton*, 3> optStartButton{};  // the option buttons optStart(0..2)
    GridEditor* fraContainer = nullptr;
    QLineEdit* txtValue = nullptr;
    std::array<QLabel*, 4> lblCount{};
    std::array<QPushButton*, 4> cmdSelect{};  // cmdSelectNodes, cmdSelectElements, cmdSelectBlocks, cmdSelectLoads
    std::array<QPushButton*, 4> cmdDraw{};    // cmdDrawNodes, cmdDrawElements, cmdDrawBlocks, cmdDrawLoads
    QPushButton* cmdSelectLines = nullptr;    // "Pick &Lines" under Pick on the node step
    QLabel* picProgress = nullptr;
    std::array<QPushButton*, 6> cmdNav{};
    LinkWatch* m_linkWatch = nullptr;  // owns tmrDoc

    // Fields.
    std::int16_t CurrentStep = 0;
    bool OnLastStep = false;
    bool HelpOpened = false;
    std::array<std::int16_t, 4> RowsUsed{};  // per model step 2 to 5
    CheckBufferTable CheckBuffer;
    int GridTableRows = kTableRows;
    int GridTableCols = 0;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildModelStep(int step, int countTag);
    void PrepareSheet(int step);
    void FillSheet();
    void ShowStep(int step);
    void ResetGridBookkeeping();
    PendingEdit Pending() const;
    // Runs a model drawing routine, reporting the first failure with the drawing message.
    void Drawing(void (*routine)(bool), bool regenerate);
    void Clearing(void (*routine)());
    void PickStep(int step);
    void StepCheckNeeded();
    void Edited();
    void CellCommitted(int row, int column);

    bool m_isDirty = false;
    bool m_closing = false;
    int m_gridStep = -1;  // the step whose frame holds the grid block
    std::array<QVBoxLayout*, 4> m_gridHolder{};  // where the grid block stands on each model step
    std::array<QVBoxLayout*, 4> m_sideColumn{};  // the Pick and Draw buttons and the count
    WizardProgress m_progress{this};
    WizardStartup* m_startup = nullptr;
};

// The program-wide wizard window, while it exists.
frmTruss* TrussWizard();

} // namespace ardela
