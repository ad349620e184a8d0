// The progress window a wizard shows while it waits on the drawing host: modeless, owned by the
// wizard window, one at a time.
#pragma once

#include <QPointer>
#include <QString>

class QWidget;

namespace ardela {

class frmProgress;

class WizardProgress {
public:
    explicit WizardProgress(QWidget* owner) : m_owner(owner) {}
    ~WizardProgress();
    WizardProgress(const WizardProgress&) = delete;
    WizardProgress& operator=(const WizardProgress&) = delete;

    // Shows the window with `text` (creating it when none is shown) and lets it paint.
    void Show(const QString& text);
    // Unloads the window, when one is shown.
    void Unload();

private:
    QWidget* m_owner;
    QPointer<frmProgress> m_window;
};

} // namespace ardela
