// The start-up and closing both wizard windows go through: the splash kept up for its minimum
// time, the pending-call message, the settings, the captions, the keyboard hook and "About...";
// and on closing the drawing host asked first, then everything released.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include "desktop/modKeybHook.h"

class QWidget;

namespace ardela {

namespace cad {
struct Connection;
class WizardForm;
}

class frmSplash;

class WizardStartup {
public:
    // Notes the time and shows the splash window (modeless), letting it paint.
    WizardStartup();
    ~WizardStartup();
    WizardStartup(const WizardStartup&) = delete;
    WizardStartup& operator=(const WizardStartup&) = delete;

    // The pending-call message with the program's title, a first load of the colour picker, and
    // the 14 settings read from the store.
    static void Prepare(const QString& programTitle);

    // Makes `form` the connection's wizard, installs the keyboard hook over the grid and "About..." in the
    // window's menu; then the splash goes once its minimum time since the start has passed,
    // without holding up the wizard meanwhile.
    void Finish(QWidget* wizard, cad::WizardForm* form, cad::Connection& connection, GridHookTarget grid);

    // How long the splash stays at least: 4000 ms; tests shorten it.
    static void SetSplashMinimumMs(int ms);
    static int SplashMinimumMs();

private:
    QElapsedTimer m_started;
    QPointer<frmSplash> m_splash;
};

// The closing of a wizard window: CloseAcad decides (false keeps the window); then the help
// window is closed when it was opened, the wizard is no longer the connection's, the hook and
// "About..." are removed.
bool CloseWizard(QWidget* wizard, cad::Connection& connection, const QString& helpFile, bool helpOpened);

} // namespace ardela
