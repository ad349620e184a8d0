// frmTruss: Korrin's wizard window. Seven steps lead from a new or opened analysis through the
// drawing, the nodes, bars, supports and loads to the run that solves the truss, draws its forces
// and writes the report. The steps are a description the wizard core runs.
#pragma once

#include "wizard/StepWindow.h"

namespace ardela {

class frmTruss : public StepWindow {
    Q_OBJECT
public:
    static constexpr int kSteps = 7;
    static constexpr int kLastStep = 6;

    // Builds the window and runs its load: splash, settings, captions, hook, step 0. The splash
    // goes once its minimum time has passed, without holding up the window.
    explicit frmTruss(QWidget* parent = nullptr);

    // Run: save when changed, solve, draw the forces, bring the host to the front, report.
    void Run() override;

    // Pick Lines (cmdSelectLines, under Pick on the node step): the area and E question, then
    // lines selected in the drawing (or a layer's) appended as nodes and bars.
    void cmdSelectLines_Click();
};

// The program-wide wizard window, while it exists.
frmTruss* TrussWizard();

} // namespace ardela
