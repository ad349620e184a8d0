// Starting and waiting for an external program (the solver) with the 20-second question.
#include "desktop/modShell.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QThread>

#include "desktop/modMessage.h"

namespace ardela {

namespace {

constexpr int kSliceMs = 1000;
constexpr qint64 kPatienceMs = 20000;

qint64 SteadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ShellClock& Clock()
{
    static ShellClock clock = SteadyMilliseconds;
    return clock;
}

// One slice of waiting; true when the program has ended. A wait that returns early without an
// end still takes its whole slice, so that waiting never spins.
bool WaitSlice(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return true;
    QElapsedTimer timer;
    timer.start();
    if (process.waitForFinished(kSliceMs) || process.state() == QProcess::NotRunning)
        return true;
    if (const qint64 left = kSliceMs - timer.elapsed(); left > 0)
        QThread::msleep(static_cast<unsigned long>(left));
    return process.state() == QProcess::NotRunning;
}

} // namespace

ShellClock SetShellClock(ShellClock clock)
{
    return std::exchange(Clock(), clock ? std::move(clock) : ShellClock(SteadyMilliseconds));
}

QString ProgramFileName(const QString& commandLine)
{
    const QStringList parts = QProcess::splitCommand(commandLine);
    const QString program = parts.isEmpty() ? commandLine : parts.front();
    const qsizetype cut = std::max(program.lastIndexOf(u'/'), program.lastIndexOf(u'\\'));
    return program.mid(cut + 1);
}

QString StoppedWaitingMessage(const QString& programName)
{
    return QStringLiteral("The program ") + programName + QStringLiteral(" was stopped before it had finished.") + kCrLf
        + QStringLiteral("It left no results.");
}

bool RunAndWait(const QString& commandLine, bool showNormally, bool noTimeLimit, const QString& workingFolder,
                bool* crashed)
{
    if (crashed)
        *crashed = false;
    Q_UNUSED(showNormally);
    const QString name = ProgramFileName(commandLine);
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty()) {
        ShowMessage(QStringLiteral("No program was given to run."), MsgCritical);
        return false;
    }
    QProcess process;
    // The program writes to our own standard output and error, as an inherited handle would.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.setProgram(arguments.takeFirst());
    process.setArguments(arguments);
    process.start();
    if (!process.waitForStarted(30000)) {
        ShowMessage(QStringLiteral("The program ") + name + QStringLiteral(" could not be started.") + kCrLf
                        + process.errorString(),
                    MsgCritical);
        return false;
    }
    process.closeWriteChannel();

    const auto ended = [&] {
        if (crashed)
            *crashed = process.exitStatus() == QProcess::CrashExit;
        return true;
    };
    if (noTimeLimit) {
        while (!WaitSlice(process)) {
        }
        return ended();
    }
    qint64 start = Clock()();
    for (;;) {
        if (WaitSlice(process))
            return ended();
        if (Clock()() - start <= kPatienceMs)
            continue;
        const std::int16_t answer = ShowMessage(QStringLiteral("The program ") + name
                                                    + QStringLiteral(" stoped responding for 20 seconds.") + kCrLf
                                                    + QStringLiteral("Do you want to wait?"),
                                                MsgYesNo + MsgCritical);
        if (answer == MsgResultYes) {
            start = Clock()();
            continue;
        }
        // The person chose to stop waiting: nothing says the data was at fault.
        ShowMessage(StoppedWaitingMessage(name), MsgOkOnly + MsgCritical);
        process.kill();
        process.waitForFinished(10000);
        return false;
    }
}

} // namespace ardela
