// A drawing host process started by a test on a private socket, stopped when the test ends.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace ardela::test {

// The host program the link tests run.
QString HostProgramPath();

class HostProcess {
public:
    HostProcess() = default;
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Starts the host with `arguments` and waits until it answers on `socketPath`.
    bool Start(const QString& socketPath, const QStringList& arguments);
    qint64 Pid() const { return m_process.processId(); }
    void Kill();
    // Stops the host (it answers nothing more) and kills it `ms` later, while whatever the test
    // does next waits on it.
    bool StopThenKillLater(int ms);
    bool WaitForExit(int timeoutMs);
    bool IsRunning() const { return m_process.state() != QProcess::NotRunning; }

private:
    QProcess m_process;
};

// True while a process of that id exists (hosts started by the code under test).
bool ProcessAlive(qint64 pid);
// Waits up to `timeoutMs` for the process to end, letting events run.
bool WaitForProcessEnd(qint64 pid, int timeoutMs);

} // namespace ardela::test
