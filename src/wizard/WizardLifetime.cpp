// Start-up and closing of the wizard windows.
#include "wizard/WizardLifetime.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include "cad/CadLink.h"
#include "cad/modHelpers.h"
#include "desktop/HelpWindow.h"
#include "desktop/ProgramInfo.h"
#include "desktop/Settings.h"
#include "desktop/frmColor.h"
#include "desktop/frmSplash.h"
#include "desktop/modMenu.h"

namespace ardela {

namespace {

int& SplashMinimum()
{
    static int ms = 4000;
    return ms;
}

} // namespace

WizardStartup::WizardStartup()
{
    m_started.start();
    m_splash = new frmSplash(CurrentProgram());
    m_splash->show();
    QCoreApplication::processEvents();
}

WizardStartup::~WizardStartup()
{
    // A start-up that never finished still takes its splash away.
    if (m_splash)
        m_splash->UnloadAfter(m_started, SplashMinimum());
}

void WizardStartup::Prepare(const QString& programTitle)
{
    cad::SetPendingCallMessage(programTitle, cad::PendingCallText(programTitle));
    {
        frmColor picker;
    }
    QCoreApplication::processEvents();
    LoadSettings(Settings());
}

void WizardStartup::Finish(QWidget* wizard, cad::WizardForm* form, cad::Connection& connection, GridHookTarget grid)
{
    connection.WizardForm = form;
    InstallKeybHook(std::move(grid));
    SubclassOn(wizard);
    if (m_splash) {
        // The wizard window appears after this; the splash stays in front of it until it goes.
        QPointer<frmSplash> splash = m_splash;
        QTimer::singleShot(0, splash, [splash] { splash->raise(); });
        m_splash->UnloadAfter(m_started, SplashMinimum());
    }
    m_splash = nullptr;
}

void WizardStartup::SetSplashMinimumMs(int ms)
{
    SplashMinimum() = ms;
}

int WizardStartup::SplashMinimumMs()
{
    return SplashMinimum();
}

bool CloseWizard(QWidget* wizard, cad::Connection& connection, const QString& helpFile, bool helpOpened)
{
    if (!cad::CloseAcad(connection))
        return false;
    if (helpOpened)
        WinHelp(wizard, helpFile, HELP_QUIT, 0);
    connection.WizardForm = nullptr;
    if (KeybHookInstalled())
        RemoveKeybHook();
    SubclassOff(wizard);
    return true;
}

} // namespace ardela
