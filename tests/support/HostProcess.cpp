// A drawing host process started by a test.
#include "support/HostProcess.h"

#include <csignal>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include "support/TestSupport.h"

namespace ardela::test {

QString HostProgramPath()
{
    return BinDir() + QStringLiteral("/cadhost");
}

HostProcess::~HostProcess()
{
    if (IsRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool HostProcess::Start(const QString& socketPath, const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ARDELA_CADHOST_TESTING_AIDS"), QStringLiteral("1"));
    m_process.setProcessEnvironment(environment);
    m_process.start(HostProgramPath(), arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && IsRunning()) {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    return false;
}

void HostProcess::Kill()
{
    m_process.kill();
}

bool HostProcess::StopThenKillLater(int ms)
{
    if (::kill(pid_t(Pid()), SIGSTOP) != 0)
        return false;
    QTimer::singleShot(ms, &m_process, [this] { Kill(); });
    return true;
}

bool HostProcess::WaitForExit(int timeoutMs)
{
    return m_process.waitForFinished(timeoutMs);
}

bool ProcessAlive(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    // An ended process nobody has reaped yet still answers kill(); its state reads 'Z'.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || close + 2 >= line.size() || line[close + 2] != 'Z';
}

bool WaitForProcessEnd(qint64 pid, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (ProcessAlive(pid)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return true;
}

} // namespace ardela::test
