// What the connection routines reach of the wizard window.
#pragma once

#include <QString>

namespace ardela::cad {

class WizardForm {
public:
    virtual ~WizardForm() = default;
    // True while the analysis has changes not saved to a file.
    virtual bool IsDirty() const = 0;
    // The start option button `index` (0 current, 1 new, 2 open existing) is set.
    virtual bool optStart(int index) const = 0;
    // Shows the progress window (modeless, owned by the wizard) with `text`, or unloads it.
    virtual void ShowProgress(const QString& text) = 0;
    virtual void UnloadProgress() = 0;
};

} // namespace ardela::cad
