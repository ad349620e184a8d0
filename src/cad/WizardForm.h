// What the connection routines reach of the wizard window: the members they call by name.
#pragma once

#include <QString>

namespace ardela::cad {

class WizardForm {
public:
    virtual ~WizardForm() = default;
    // The program's title, "Korrin" or "Vendel": message captions, texts and layer names.
    virtual QString ProgramTitle() const = 0;
    // True while the analysis has changes not saved to a file.
    virtual bool IsDirty() const = 0;
    // The start option button `index` (0 current, 1 new, 2 open existing) is set.
    virtual bool optStart(int index) const = 0;
    // Calls the wizard's draw routine `routine` ("DrawNodes", "DrawGrid", ...) with `argument`.
    virtual void CallDrawRoutine(const QString& routine, bool argument) = 0;
    // Shows the progress window (modeless, owned by the wizard) with `text`, or unloads it.
    virtual void ShowProgress(const QString& text) = 0;
    virtual void UnloadProgress() = 0;
};

} // namespace ardela::cad
