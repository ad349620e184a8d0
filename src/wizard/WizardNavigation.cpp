// The navigation row's rules and the caption of a wizard window.
#include "wizard/WizardNavigation.h"

namespace ardela {

NavButtonState NavButtonsFor(int step, int lastStep, bool onLastStep, bool stepValid)
{
    NavButtonState state;
    if (step == 0) {
        state.backEnabled = false;
        state.nextVisible = true;
        state.nextEnabled = true;
    } else if (step == lastStep) {
        state.backEnabled = true;
        state.nextVisible = false;
        state.nextEnabled = false;
    } else {
        state.backEnabled = true;
        state.nextVisible = true;
        state.nextEnabled = stepValid;
    }
    state.runVisible = onLastStep;
    state.cancelReadsClose = onLastStep;
    return state;
}

QString StepCaption(const QString& programTitle, const QString& stepTitle, const QString& analysisTitle)
{
    QString caption = programTitle + QStringLiteral(" - ") + stepTitle;
    if (!analysisTitle.isEmpty())
        caption += QStringLiteral(" - ") + analysisTitle;
    return caption;
}

} // namespace ardela
