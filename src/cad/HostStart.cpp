// StartHost: the one way the wizards and the batch tool start a drawing host.
#include "cad/HostStart.h"

#include <csignal>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/CadProxy.h"

namespace ardela::cad {

namespace {

// True while the process runs (an ended one nobody has reaped yet reads 'Z' in its state).
bool ProcessRuns(qint64 pid)
{
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || close + 2 >= line.size() || line[close + 2] != 'Z';
}

} // namespace

QString DefaultHostProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/cadhost");
}

AcadApplicationPtr StartHost(const HostLaunch& launch, QProcess* child)
{
    const QString program = launch.program.isEmpty() ? DefaultHostProgram() : launch.program;
    QStringList arguments = launch.arguments;
    // Without a name the host is a second instance on a private name of its own.
    const QString socketPath = launch.socketPath.isEmpty() ? PrivateSocketPath() : launch.socketPath;
    if (launch.socketPath.isEmpty())
        arguments << QStringLiteral("--second-instance");
    if (socketPath.isEmpty() || !QFileInfo(program).isExecutable())
        return nullptr;
    arguments << QStringLiteral("--socket") << socketPath;
    if (launch.headless)
        arguments << QStringLiteral("--headless");

    QProcess detached;
    QProcess& process = child ? *child : detached;
    process.setProgram(program);
    process.setArguments(arguments);
    // The host keeps none of our input or output channels; its own chatter is not ours to show.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (launch.headless) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
    }
    qint64 pid = 0;
    if (child) {
#ifdef __linux__
        // Should this program itself be killed, the host goes with it.
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
        process.start();
        if (!process.waitForStarted(launch.timeoutMs))
            return nullptr;
        pid = process.processId();
    } else if (!process.startDetached(&pid)) {
        return nullptr;
    }

    const QDeadlineTimer deadline(launch.timeoutMs);
    while (!deadline.hasExpired()) {
        if (AcadApplicationPtr application = ConnectApplication(socketPath, 200)) {
            if (const std::shared_ptr<CadLink> link = LinkOf(application); link && launch.callTimeoutMs > 0)
                link->SetCallTimeout(launch.callTimeoutMs);
            try {
                if (application->ProcessId() == pid)
                    return application;
            } catch (const CadError&) {
            }
        }
        // A host that ended while starting will never answer.
        if (!ProcessRuns(pid))
            return nullptr;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    if (ProcessRuns(pid))
        ::kill(static_cast<pid_t>(pid), SIGTERM);
    return nullptr;
}

} // namespace ardela::cad
