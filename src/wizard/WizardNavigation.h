// The navigation row of a wizard window and its caption, as plain functions of the step.
#pragma once

#include <QString>

namespace ardela {

// The indices of the buttons in the row `cmdNav`.
enum NavButton {
    NavHelp = 0,
    NavCancel = 1,
    NavBack = 2,
    NavNext = 3,
    NavRun = 4,
    NavOptions = 5,
};

// The directions of GoToStep.
enum StepDirection : std::int16_t {
    StepInitial = 0,
    StepBack = 1,
    StepForward = 2,
};

// What the row shows on one step.
struct NavButtonState {
    bool backEnabled = false;
    bool nextVisible = true;
    bool nextEnabled = true;
    bool runVisible = false;
    bool cancelReadsClose = false;  // button 1 reads "Close" (on the last step) instead of "Cancel"
};

// The row on `step` of a wizard whose steps run 0 to `lastStep`: Back off on the first step,
// Next hidden on the last, Next enabled on the others exactly when the step is valid; Run shown
// and Cancel reading Close while `onLastStep`.
NavButtonState NavButtonsFor(int step, int lastStep, bool onLastStep, bool stepValid);

// "Korrin - Define Nodes" or, with an analysis file, "Korrin - Define Nodes - bridge.krn".
QString StepCaption(const QString& programTitle, const QString& stepTitle, const QString& analysisTitle);

} // namespace ardela
