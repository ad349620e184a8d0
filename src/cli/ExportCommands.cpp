// ardela export: a saved truss drawn into a fresh drawing of a private, windowless drawing host
// and saved as DXF, with its bar forces when asked to solve it first.
#include <memory>

#ifdef __linux__
#include <csignal>
#include <sys/prctl.h>
#endif

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include "truss/TrussFile.h"
#include "cad/CadError.h"
#include "cad/CadProxy.h"
#include "cad/DrawingLayers.h"
#include "cad/HostStart.h"
#include "cad/ProgramLayers.h"
#include "cli/CliCommon.h"
#include "truss_wizard/ModelDrawing.h"
#include "truss_wizard/ResultDrawing.h"
#include "desktop/Settings.h"
#include "truss/TrussModel.h"
#include "truss/TrussSolver.h"
#include "truss_wizard/KorrinProfile.h"
#include "cad/modHelpers.h"
#include "desktop/modMessage.h"

namespace ardela::cli {

namespace {

// How long the host may take to answer after its start, and how long one export may take in all
// before the host is stopped (which fails the pending call instead of hanging).
constexpr int kHostStartTimeoutMs = 30000;
constexpr int kExportTimeoutMs = 600000;
constexpr int kHostQuitTimeoutMs = 5000;
// How long one call into the host may wait: the batch tool has no one to pick or click, so a
// host that stops answering fails the export after this.
constexpr int kCallTimeoutMs = 10000;


// A drawing host of our own: started without a window on a private name, stopped when this
// object goes, whatever happened in between.
class PrivateHost {
public:
    ~PrivateHost() { Stop(); }

    // Starts the host and connects; nullptr when it does not answer in time.
    cad::AcadApplicationPtr Start()
    {
        cad::HostLaunch launch;
        // ARDELA_CADHOST names another host program than the one beside the tool.
        launch.program = qEnvironmentVariable("ARDELA_CADHOST");
        launch.headless = true;
        launch.timeoutMs = kHostStartTimeoutMs;
        launch.callTimeoutMs = kCallTimeoutMs;
        m_application = cad::StartHost(launch, &m_process);
        if (m_application) {
            // A host that stops answering is stopped, so that no call waits for ever.
            m_watchdog.setSingleShot(true);
            QObject::connect(&m_watchdog, &QTimer::timeout, &m_watchdog, [this] { m_process.kill(); });
            m_watchdog.start(kExportTimeoutMs);
        }
        return m_application;
    }

    // Asks the host to quit, and ends it when it does not.
    void Stop()
    {
        m_watchdog.stop();
        bool asked = false;
        if (m_application) {
            try {
                m_application->Quit();
                asked = true;
            } catch (const cad::CadError&) {
            }
            m_application.reset();
        }
        if (m_process.state() == QProcess::NotRunning)
            return;
        // A host that could not be asked (it stopped answering) is ended at once.
        if (!asked || !m_process.waitForFinished(kHostQuitTimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(kHostQuitTimeoutMs);
        }
    }

private:
    QProcess m_process;
    QTimer m_watchdog;
    cad::AcadApplicationPtr m_application;
};

// The model layers as SetupLayers draws them for the batch tool: through the model drawing
// routines, the first failure kept for the command's answer.
class ExportDrawing {
public:
    explicit ExportDrawing(cad::AcadDocument& document) : m_document(document) {}

    cad::ProgramProfile Profile()
    {
        cad::ProgramProfile profile = KorrinProfile();
        using Routine = void (*)(const ModelDrawingTarget&, bool);
        const std::array<std::pair<const char*, Routine>, 4> routines{{
            {"DrawNodes", &DrawNodes},
            {"DrawElements", &DrawElements},
            {"DrawBlocks", &DrawBlocks},
            {"DrawLoads", &DrawLoads},
        }};
        for (std::size_t i = 0; i < routines.size(); ++i) {
            const auto [name, routine] = routines[i];
            profile.drawModelLayer[i] = [this, name, routine](bool regenerate) { Draw(name, routine, regenerate); };
        }
        return profile;
    }

    bool Failed() const { return !m_failure.isEmpty(); }
    QString Failure() const { return m_failure; }

private:
    void Draw(const char* name, void (*routine)(const ModelDrawingTarget&, bool), bool regenerate)
    {
        try {
            routine(ModelDrawingTarget{Truss(), Settings(), m_document}, regenerate);
        } catch (const cad::CadError& error) {
            Fail(name, error.Text());
        } catch (const ModelError& error) {
            Fail(name, error.Text());
        }
    }

    void Fail(const char* routine, const QString& text)
    {
        if (m_failure.isEmpty())
            m_failure = QLatin1String(routine) + QStringLiteral(": ") + text;
    }

    cad::AcadDocument& m_document;
    QString m_failure;
};

// The layer colours the drawing takes from the file: each a colour number from 1 to 255, read
// as the layer routine reads it. Returns what is wrong with the first that is not, or nothing.
QString LayerColourProblem(const SettingsArray& settings)
{
    for (const cad::LayerSpec& layer : cad::KorrinLayers()) {
        const Cell& cell = settings[layer.colorKey];
        const QString key = SettingKeys()[layer.colorKey];
        const QString text = cell.ToText().trimmed();
        bool isNumber = false;
        const int colour = text.toInt(&isNumber);
        if (!isNumber || colour < 1 || colour > 255)
            return QStringLiteral("the setting %1 (the colour of %2) is %3; a layer colour is a number from 1 to 255")
                .arg(key, layer.name, cell.GetKind() == Cell::Kind::Text ? QStringLiteral("\"%1\"").arg(cell.TextValue())
                                                                          : text.isEmpty() ? QStringLiteral("empty") : text);
    }
    return QString();
}

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
        if (!SolveChecked(model))
            return kExitFailed;
    } else {
        // Counts past the live rows name no node: said as the solver says it, before drawing.
        try {
            CheckNodeReferences(model);
        } catch (const ModelError& error) {
            ShowMessage(cad::DrawingFailureMessage(), MsgOkOnly + MsgCritical);
            Err(QStringLiteral("(%1)\n").arg(error.Text()));
            return kExitFailed;
        }
    }
    const QString colourProblem = LayerColourProblem(Settings());
    if (!colourProblem.isEmpty()) {
        Err(QStringLiteral("ardela export: %1\n").arg(colourProblem));
        return kExitFailed;
    }

    PrivateHost host;
    cad::Connection connection;
    connection.Profile = KorrinProfile();
    connection.AcadApp = host.Start();
    if (!connection.AcadApp) {
        ShowMessage(connection.Profile.texts.startFailure, MsgOkOnly + MsgCritical, connection.Profile.title);
        return kExitFailed;
    }
    try {
        connection.AcadDoc = connection.AcadApp->Documents()->Add();
    } catch (const cad::CadError& error) {
        ShowMessage(connection.Profile.texts.newFailure + kCrLf + error.Text(), MsgOkOnly + MsgCritical,
                    connection.Profile.title);
        return kExitFailed;
    }

    ExportDrawing drawing(*connection.AcadDoc);
    connection.Profile.drawModelLayer = drawing.Profile().drawModelLayer;
    cad::SetupLayers(connection);
    if (drawing.Failed()) {
        ShowMessage(cad::DrawingFailureMessage(), MsgOkOnly + MsgCritical);
        Err(QStringLiteral("(%1)\n").arg(drawing.Failure()));
        return kExitFailed;
    }
    if (solve && !DrawResults(model, Settings(), *connection.AcadDoc))
        return kExitFailed;

    // A name Qt cannot give the host (bytes that are not valid in the locale) is saved under a
    // plain name in the same folder first, then renamed to the bytes it is.
    const QByteArray outNative = NativeName(out);
    const bool plainName = NameableByQt(outNative);
    const qsizetype slash = outNative.lastIndexOf('/');
    const QString folder = QFileInfo(Shown(slash >= 0 ? outNative.left(slash + 1) : QByteArray("./"))).absoluteFilePath();
    const QString requested = plainName ? QFileInfo(out).absoluteFilePath()
                                        : QDir(folder).filePath(QStringLiteral(".ardela-export-%1.dxf").arg(QCoreApplication::applicationPid()));
    try {
        connection.AcadDoc->SaveAs(requested);
        // The host writes DXF only: a name without ".dxf" may come out under another one.
        const QString written = connection.AcadDoc->FullName();
        if (!plainName) {
            QString reason;
            if (!RenameBytes(QFile::encodeName(written), outNative, &reason)) {
                QFile::remove(written);
                ShowMessage(connection.Profile.texts.saveFailure + kCrLf + Shown(outNative) + QStringLiteral(": ") + reason,
                            MsgOkOnly + MsgCritical, connection.Profile.title);
                return kExitFailed;
            }
        } else if (!written.isEmpty() && written != requested) {
            Err(QStringLiteral("ardela export: the drawing was written as %1\n").arg(written));
        }
    } catch (const cad::CadError& error) {
        ShowMessage(connection.Profile.texts.saveFailure + kCrLf + error.Text(), MsgOkOnly + MsgCritical,
                    connection.Profile.title);
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
                   "axial force as a label, the deflected shape on Korrin_Deformed and the support\n"
                   "reactions on Korrin_Reactions. The drawing options (text height, colours, black and\n"
                   "white, which result kinds get lines) are the ones the analysis file carries.\n"
                   "The host is the cadhost beside ardela (ARDELA_CADHOST names another) and is\n"
                   "always stopped at the end. Exit status 0 on success, 1 on a failure (the message\n"
                   "goes to standard error), 2 on a usage error.\n"),
    Export,
}};

} // namespace

} // namespace ardela::cli
