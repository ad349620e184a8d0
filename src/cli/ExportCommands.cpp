// ardela export: a saved truss drawn into a fresh drawing of a private, windowless drawing host
// and saved as DXF, with its bar forces when asked to solve it first.
#include <memory>

#ifdef __linux__
#include <csignal>
#include <sys/prctl.h>
#endif

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include "truss/AnalysisFile.h"
#include "cad/CadError.h"
#include "cad/CadProxy.h"
#include "cadlink/Wire.h"
#include "cli/CliCommon.h"
#include "truss_wizard/ModelDrawing.h"
#include "truss_wizard/ResultDrawing.h"
#include "desktop/Settings.h"
#include "truss/TrussModel.h"
#include "truss/TrussSolver.h"
#include "cad/WizardForm.h"
#include "cad/modHelpers.h"
#include "desktop/modMessage.h"

namespace ardela::cli {

namespace {

// How long the host may take to answer after its start, and how long one export may take in all
// before the host is stopped (which fails the pending call instead of hanging).
constexpr int kHostStartTimeoutMs = 30000;
constexpr int kExportTimeoutMs = 600000;
constexpr int kHostQuitTimeoutMs = 5000;

const QString kDrawingFailure = QStringLiteral("There was an error drawing data.") + kCrLf
                                + QStringLiteral("Please go back and revise your input.");

// The host program: ARDELA_CADHOST when set, else the cadhost beside this tool.
QString HostProgramPath()
{
    const QString configured = qEnvironmentVariable("ARDELA_CADHOST");
    if (!configured.isEmpty())
        return configured;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/cadhost");
}

// A drawing host of our own: started without a window on a private name, stopped when this
// object goes, whatever happened in between.
class PrivateHost {
public:
    ~PrivateHost() { Stop(); }

    // Starts the host and connects; nullptr when it does not answer in time.
    cad::AcadApplicationPtr Start()
    {
        const QString program = HostProgramPath();
        const QString socketPath = cad::PrivateSocketPath();
        if (socketPath.isEmpty() || !QFileInfo(program).isExecutable())
            return nullptr;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(environment);
        // The host's own chatter is not the tool's output; its failures are told by the tool.
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
#ifdef __linux__
        // Should this tool itself be killed, the host goes with it.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
        m_process.start(program, {QStringLiteral("--socket"), socketPath, QStringLiteral("--second-instance"),
                                  QStringLiteral("--headless")});
        if (!m_process.waitForStarted(kHostStartTimeoutMs))
            return nullptr;
        const QDeadlineTimer deadline(kHostStartTimeoutMs);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            if (cad::AcadApplicationPtr application = cad::ConnectApplication(socketPath, 200)) {
                m_application = application;
                // A host that stops answering is stopped, so that no call waits for ever.
                m_watchdog.setSingleShot(true);
                QObject::connect(&m_watchdog, &QTimer::timeout, &m_watchdog, [this] { m_process.kill(); });
                m_watchdog.start(kExportTimeoutMs);
                return application;
            }
            // Also notices a host that ended while starting.
            m_process.waitForFinished(20);
        }
        return nullptr;
    }

    // Asks the host to quit, and ends it when it does not.
    void Stop()
    {
        m_watchdog.stop();
        if (m_application) {
            try {
                m_application->Quit();
            } catch (const cad::CadError&) {
            }
            m_application.reset();
        }
        if (m_process.state() == QProcess::NotRunning)
            return;
        if (!m_process.waitForFinished(kHostQuitTimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(kHostQuitTimeoutMs);
        }
    }

private:
    QProcess m_process;
    QTimer m_watchdog;
    cad::AcadApplicationPtr m_application;
};

// What SetupLayers reaches of the wizard: the model layers drawn by the model drawing routines;
// the first failure is kept for the command's answer.
class ExportForm : public cad::WizardForm {
public:
    explicit ExportForm(cad::AcadDocument& document) : m_document(document) {}

    QString ProgramTitle() const override { return QStringLiteral("Korrin"); }
    bool IsDirty() const override { return false; }
    bool optStart(int) const override { return false; }
    void ShowProgress(const QString&) override {}
    void UnloadProgress() override {}

    void CallDrawRoutine(const QString& routine, bool argument) override
    {
        const ModelDrawingTarget target{Truss(), Settings(), m_document};
        try {
            if (routine == QLatin1String("DrawNodes"))
                DrawNodes(target, argument);
            else if (routine == QLatin1String("DrawElements"))
                DrawElements(target, argument);
            else if (routine == QLatin1String("DrawBlocks"))
                DrawBlocks(target, argument);
            else if (routine == QLatin1String("DrawLoads"))
                DrawLoads(target, argument);
        } catch (const cad::CadError& error) {
            Fail(routine, error.Text());
        } catch (const ModelError& error) {
            Fail(routine, error.Text());
        }
    }

    bool Failed() const { return !m_failure.isEmpty(); }
    QString Failure() const { return m_failure; }

private:
    void Fail(const QString& routine, const QString& text)
    {
        if (m_failure.isEmpty())
            m_failure = routine + QStringLiteral(": ") + text;
    }

    cad::AcadDocument& m_document;
    QString m_failure;
};

int Export(const QStringList& args)
{
    QString file;
    QString out;
    bool solve = false;
    for (const QString& a : args) {
        if (a == QLatin1String("--solve")) {
            solve = true;
        } else if (a.startsWith(u'-') || !out.isEmpty()) {
            Err(QStringLiteral("ardela export: unexpected argument \"%1\"\n").arg(a));
            return kExitUsage;
        } else if (file.isEmpty()) {
            file = a;
        } else {
            out = a;
        }
    }
    if (file.isEmpty() || out.isEmpty()) {
        Err(QStringLiteral("ardela export: give the analysis file and the DXF to write (see ardela export --help)\n"));
        return kExitUsage;
    }

    if (!OpenFile(TrussFileKind(Truss(), Settings()), file))
        return kExitFailed;
    TrussModel& model = Truss();
    // The results are solved before anything is drawn, so that a truss that cannot be solved
    // costs no host start.
    if (solve) {
        QString detail;
        if (!SolveTruss(model, &detail)) {
            if (!detail.isEmpty())
                Err(QStringLiteral("(%1)\n").arg(detail));
            return kExitFailed;
        }
        // Forces that do not balance the loads are not drawn without a word.
        const double residual = EquilibriumResidual(model);
        if (residual > 1e-3)
            Err(QStringLiteral("warning: the solution is out of balance by %1% of the largest force; the truss is too "
                               "ill-conditioned for the single-precision solver (check its supports and proportions)\n")
                    .arg(residual * 100.0, 0, 'g', 3));
    }

    PrivateHost host;
    cad::Connection connection;
    connection.AcadApp = host.Start();
    if (!connection.AcadApp) {
        ShowMessage(QStringLiteral("Could not start AutoCAD. Please reinstall AutoCAD and retry."),
                    MsgOkOnly + MsgCritical, QStringLiteral("Korrin"));
        return kExitFailed;
    }
    try {
        connection.AcadDoc = connection.AcadApp->Documents()->Add();
    } catch (const cad::CadError& error) {
        ShowMessage(QStringLiteral("Could not create a new drawing. Check AutoCAD and retry.") + kCrLf + error.Text(),
                    MsgOkOnly + MsgCritical, QStringLiteral("Korrin"));
        return kExitFailed;
    }

    ExportForm form(*connection.AcadDoc);
    connection.WizardForm = &form;
    cad::SetupLayers(connection);
    if (form.Failed()) {
        ShowMessage(kDrawingFailure, MsgOkOnly + MsgCritical);
        Err(QStringLiteral("(%1)\n").arg(form.Failure()));
        return kExitFailed;
    }
    if (solve && !DrawResults(model, Settings(), *connection.AcadDoc, nullptr))
        return kExitFailed;

    const QString requested = QFileInfo(out).absoluteFilePath();
    try {
        connection.AcadDoc->SaveAs(requested);
        // The host writes DXF only: a name without ".dxf" may come out under another one.
        const QString written = connection.AcadDoc->FullName();
        if (!written.isEmpty() && written != requested)
            Err(QStringLiteral("ardela export: the drawing was written as %1\n").arg(written));
    } catch (const cad::CadError& error) {
        ShowMessage(QStringLiteral("Could not save the drawing. Check AutoCAD and retry.") + kCrLf + error.Text(),
                    MsgOkOnly + MsgCritical, QStringLiteral("Korrin"));
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration kExport{{
    QStringLiteral("export"),
    QStringLiteral("draw a saved truss (and its bar forces) into a new drawing saved as DXF"),
    QStringLiteral("usage: ardela export FILE.krn OUT.dxf [--solve]\n\n"
                   "Starts a private drawing host without a window, makes a new drawing, draws the\n"
                   "truss of FILE.krn on the layers Korrin_Nodes, Korrin_Beams, Korrin_Blocks and\n"
                   "Korrin_Loads and saves the drawing as OUT.dxf. With --solve the truss is solved\n"
                   "first and every bar is drawn on Korrin_Plus (tension) or Korrin_Minus with its\n"
                   "axial force as a label. The drawing options (text height, colours, black and\n"
                   "white, which result kinds get lines) are the ones the analysis file carries.\n"
                   "The host is the cadhost beside ardela (ARDELA_CADHOST names another) and is\n"
                   "always stopped at the end. Exit status 0 on success, 1 on a failure (the message\n"
                   "goes to standard error), 2 on a usage error.\n"),
    Export,
}};

} // namespace

} // namespace ardela::cli
