// Guards the cadhost program against: replacing a file that is not its own socket when told to
// serve there, needing a display to print its help, a wrong option passing unnoticed, and
// callers that use up its file descriptors stopping it from listening for good.
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <QCborArray>
#include <QCborMap>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "cadlink/ErrorCodes.h"
#include "cadlink/Wire.h"
#include "support/HostProcess.h"
#include "support/TestSupport.h"

using ardela::test::HostProcess;
using ardela::test::HostProgramPath;

namespace {

struct HostRun {
    int exitCode = -1;
    QString out;
    QString allErr;
    QString err;   // the last line of its error output: its own last word
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
    // Qt may warn about the environment before the host's own last word.
    run.allErr = QString::fromLocal8Bit(host.readAllStandardError());
    const QStringList lines = run.allErr.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.err = lines.isEmpty() ? QString() : lines.last() + QLatin1Char('\n');
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

TEST(CadhostSocketPath, ALiveHostsSocketIsNotTakenEvenBySecondInstance)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("host"));
    HostProcess first;
    ASSERT_TRUE(first.Start(path, {QStringLiteral("--headless"), QStringLiteral("--socket"), path}));
    for (const QStringList& extra : {QStringList{}, QStringList{QStringLiteral("--second-instance")}}) {
        const HostRun second = RunHost(QStringList{QStringLiteral("--headless"), QStringLiteral("--socket"), path} << extra, Headless());
        EXPECT_EQ(second.exitCode, 1);
        EXPECT_EQ(second.err, QStringLiteral("cadhost: cannot answer on the automation socket: a drawing host already "
                                             "answers on \"%1\".\n").arg(path));
    }
    // The first host still answers there.
    QLocalSocket probe;
    probe.connectToServer(path);
    EXPECT_TRUE(probe.waitForConnected(5000));
    EXPECT_TRUE(first.IsRunning());
}

TEST(CadhostProgram, HelpAndWrongOptionsNeedNoDisplay)
{
    const HostRun help = RunHost({QStringLiteral("--help")}, NoDisplay());
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--socket <NAME>"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("Ardela drawing host"))) << help.out.toStdString();

    const HostRun wrong = RunHost({QStringLiteral("--bogus")}, NoDisplay());
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.allErr.contains(QStringLiteral("cadhost: Unknown option 'bogus'."))) << wrong.allErr.toStdString();

    // A window without a display is refused with a word on what to do, not a crash.
    const HostRun window = RunHost({}, NoDisplay());
    EXPECT_EQ(window.exitCode, 1);
    EXPECT_EQ(window.err, QStringLiteral("cadhost: there is no display to show the window on; run it with --headless\n"));
}

namespace {

// One raw caller: sends Application.Name and reads the one reply, if any comes.
class Caller {
public:
    explicit Caller(const QString& path) { m_socket.connectToServer(path); }
    bool Connected() { return m_socket.waitForConnected(5000); }
    void AskName()
    {
        QCborMap request;
        request.insert(ardela::cad::wire::kId, 1);
        request.insert(ardela::cad::wire::kHandle, ardela::cad::Handle{}.ToCbor());
        request.insert(ardela::cad::wire::kMember, QStringLiteral("Name"));
        m_socket.write(ardela::cad::FrameMessage(request));
        m_socket.flush();
    }
    std::optional<QCborMap> Reply()
    {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QCborMap message;
            if (m_reader.Next(message) == ardela::cad::MessageReader::Status::Message)
                return message;
            if (m_socket.state() != QLocalSocket::ConnectedState && m_socket.bytesAvailable() == 0)
                return std::nullopt;
            m_socket.waitForReadyRead(100);
            m_reader.Feed(m_socket);
        }
        return std::nullopt;
    }

private:
    QLocalSocket m_socket;
    ardela::cad::MessageReader m_reader;
};

// Starts a headless host of its own on `path` and waits until it listens there.
bool StartListening(QProcess& host, const QString& path)
{
    host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    host.start(HostProgramPath(), {QStringLiteral("--headless"), QStringLiteral("--second-instance"), QStringLiteral("--socket"), path});
    if (!host.waitForStarted(10000))
        return false;
    const QDeadlineTimer up(30000);
    while (!up.hasExpired() && host.state() == QProcess::Running) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(200))
            return true;
        host.waitForFinished(20);
    }
    return false;
}

} // namespace

TEST(CadhostConnections, CallersPastTheCapAreRefusedAndTheHostListensOnWhenTheyLeave)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("host"));
    // A host with few file descriptors: 64, as a tight `ulimit -n` gives it.
    QProcess host;
    host.setChildProcessModifier([] {
        const rlimit limit{64, 64};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
    ASSERT_TRUE(StartListening(host, path));

    // Far more callers than it has descriptors for.
    std::vector<std::unique_ptr<Caller>> callers;
    for (int i = 0; i < 150; ++i) {
        callers.push_back(std::make_unique<Caller>(path));
        ASSERT_TRUE(callers.back()->Connected()) << "caller " << i;
        callers.back()->AskName();
    }
    int served = 0;
    int refused = 0;
    for (auto& caller : callers) {
        // A caller past the cap gets the refusal, or sees its connection closed when its
        // request crossed the host's closing.
        const std::optional<QCborMap> reply = caller->Reply();
        if (!reply) {
            ++refused;
            continue;
        }
        if (reply->value(ardela::cad::wire::kResult).toString() == QStringLiteral("cadhost")) {
            ++served;
            continue;
        }
        EXPECT_EQ(reply->value(ardela::cad::wire::kError).toInteger(), qint64(ardela::cad::kHostFailed));
        EXPECT_TRUE(reply->value(ardela::cad::wire::kText).toString().startsWith(QStringLiteral("The drawing host already serves ")))
            << reply->value(ardela::cad::wire::kText).toString().toStdString();
        ++refused;
    }
    EXPECT_GE(served, 1);
    EXPECT_LE(served, 64);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(served + refused, 150);
    EXPECT_EQ(host.state(), QProcess::Running);

    // Once they have gone, a new caller is served.
    callers.clear();
    const QDeadlineTimer deadline(20000);
    std::optional<QCborMap> answer;
    while (!deadline.hasExpired()) {
        Caller next(path);
        ASSERT_TRUE(next.Connected()) << "the host no longer listens";
        next.AskName();
        answer = next.Reply();
        if (answer && answer->contains(ardela::cad::wire::kResult))
            break;
    }
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->value(ardela::cad::wire::kResult).toString(), QStringLiteral("cadhost"));
    host.kill();
    host.waitForFinished(5000);
}

// The host starts itself again with the C library's large pages switched on, keeping whatever
// tunables the engineer gave it, and leaves the switch alone when the engineer set it.
TEST(CadhostProgram, RunsWithLargePagesAndKeepsTheEngineersOwnTunables)
{
    const auto tunablesOfAHostStartedWith = [](const QString& given) -> QByteArray {
        QTemporaryDir dir;
        if (!dir.isValid())
            return "no temporary folder";
        const QString path = dir.filePath(QStringLiteral("host"));
        QProcessEnvironment environment = Headless();
        environment.remove(QStringLiteral("GLIBC_TUNABLES"));
        if (!given.isNull())
            environment.insert(QStringLiteral("GLIBC_TUNABLES"), given);
        QProcess host;
        host.setProcessEnvironment(environment);
        // The process that listens is the one started (a restart keeps its process id).
        if (!StartListening(host, path))
            return "not listening";
        QByteArray tunables = "unset";
        const QByteArray environ = Contents(QStringLiteral("/proc/%1/environ").arg(host.processId()));
        // The C library reads its tunables in place, ending each at its colon: the pieces that
        // follow the variable are joined again.
        bool inTunables = false;
        for (const QByteArray& entry : environ.split('\0')) {
            if (entry.startsWith("GLIBC_TUNABLES=")) {
                tunables = entry.mid(int(std::strlen("GLIBC_TUNABLES=")));
                inTunables = true;
            } else if (inTunables && entry.startsWith("glibc.")) {
                tunables += ':' + entry;
            } else {
                inTunables = false;
            }
        }
        host.kill();
        host.waitForFinished(5000);
        return tunables;
    };
    EXPECT_EQ(tunablesOfAHostStartedWith(QString()), QByteArray("glibc.malloc.hugetlb=1"));
    EXPECT_EQ(tunablesOfAHostStartedWith(QStringLiteral("glibc.malloc.arena_max=2")),
              QByteArray("glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"));
    EXPECT_EQ(tunablesOfAHostStartedWith(QStringLiteral("glibc.malloc.hugetlb=0")), QByteArray("glibc.malloc.hugetlb=0"));
}
