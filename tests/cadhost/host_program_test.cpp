// Guards the cadhost program against: replacing a file that is not its own socket when told to
// serve there, needing a display to print its help, and a wrong option passing unnoticed.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/HostProcess.h"
#include "support/TestSupport.h"

using ardela::test::HostProcess;
using ardela::test::HostProgramPath;

namespace {

struct HostRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs cadhost to its end with `arguments` in `environment`.
HostRun RunHost(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess host;
    host.setProcessEnvironment(environment);
    host.start(HostProgramPath(), arguments);
    HostRun run;
    if (!host.waitForFinished(30000)) {
        host.kill();
        host.waitForFinished(5000);
        return run;
    }
    run.exitCode = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    run.out = QString::fromLocal8Bit(host.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(host.readAllStandardError());
    return run;
}

QProcessEnvironment Headless()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

QProcessEnvironment NoDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A socket file nobody listens on any more, as a killed host leaves it.
bool MakeStaleSocket(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || size_t(native.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound && QFileInfo(path).exists();
}

} // namespace

TEST(CadhostSocketPath, AFileThatIsNotASocketIsLeftAloneAndTheHostSaysWhy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString notes = dir.filePath(QStringLiteral("notes.tex"));
    {
        QFile file(notes);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x\n");
    }
    for (const QStringList& extra : {QStringList{}, QStringList{QStringLiteral("--second-instance")}}) {
        const HostRun run = RunHost(QStringList{QStringLiteral("--headless"), QStringLiteral("--socket"), notes} << extra, Headless());
        EXPECT_EQ(run.exitCode, 1) << extra.join(' ').toStdString();
        EXPECT_EQ(run.err, QStringLiteral("cadhost: cannot answer on the automation socket: \"%1\" exists and is not a "
                                          "socket; it is left as it is.\n").arg(notes));
        EXPECT_EQ(Contents(notes), QByteArray("x\n"));
    }
    // A folder in the way is not removed either.
    const QString folder = dir.filePath(QStringLiteral("drawings"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const HostRun run = RunHost({QStringLiteral("--headless"), QStringLiteral("--second-instance"), QStringLiteral("--socket"), folder},
                            Headless());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("exists and is not a socket"))) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST(CadhostSocketPath, AStaleSocketOfOursIsTakenOver)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("host"));
    ASSERT_TRUE(MakeStaleSocket(path));
    HostProcess host;
    EXPECT_TRUE(host.Start(path, {QStringLiteral("--headless"), QStringLiteral("--socket"), path}));
    EXPECT_TRUE(host.IsRunning());
}

TEST(CadhostProgram, HelpAndWrongOptionsNeedNoDisplay)
{
    const HostRun help = RunHost({QStringLiteral("--help")}, NoDisplay());
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--socket <NAME>"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("Ardela drawing host"))) << help.out.toStdString();

    const HostRun wrong = RunHost({QStringLiteral("--bogus")}, NoDisplay());
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.err.startsWith(QStringLiteral("cadhost: Unknown option 'bogus'."))) << wrong.err.toStdString();

    // A window without a display is refused with a word on what to do, not a crash.
    const HostRun window = RunHost({}, NoDisplay());
    EXPECT_EQ(window.exitCode, 1);
    EXPECT_EQ(window.err, QStringLiteral("cadhost: there is no display to show the window on; run it with --headless\n"));
}
