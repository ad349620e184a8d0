// Guards the foreground moves and the server's door against: a minimised wizard window left
// minimised, a raise of the wrong window, and a peer running as another user being served.
#include <cerrno>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCborMap>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "cadhost/server/AutomationServer.h"
#include "cadlink/Wire.h"
#include "cadhost/ui/HostWindow.h"
#include "cad/modForeWindow.h"
#include "cad/modHelpers.h"
#include "cadhost/app/WindowFrontEnd.h"

using namespace ardela::cad;

TEST(BringToFront, MinimisedWizardWindowIsRestoredAndActivated)
{
    QWidget wizard;
    wizard.resize(300, 200);
    wizard.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wizard));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

    wizard.showMinimized();
    QTRY_VERIFY(wizard.isMinimized());
    Connection none;
    BringToFront(wizard.winId(), none);
    EXPECT_FALSE(wizard.isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&wizard));
    EXPECT_TRUE(other.isVisible());
}

TEST(BringToFront, UnknownWindowWithoutAHostChangesNothing)
{
    QWidget wizard;
    wizard.show();
    wizard.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&wizard));
    Connection none;
    BringToFront(0x7fff1234u, none);
    BringToFront(0, none);
    EXPECT_TRUE(wizard.isActiveWindow());
}

namespace {

// Connects to `path` as the user `uid` in a child process and reports what the server did:
// 0 closed the connection unanswered, 1 answered, 2 could not connect, 3 could not become `uid`,
// 4 no answer within a minute, -1 the child could not be started or waited for.
int ProbeAsOtherUser(const QString& path, uid_t uid)
{
    const QByteArray native = QFile::encodeName(path);
    QCborMap request;
    request.insert(wire::kId, 1);
    request.insert(wire::kHandle, Handle{}.ToCbor());
    request.insert(wire::kMember, QStringLiteral("Name"));
    const QByteArray framed = FrameMessage(request);
    const pid_t child = ::fork();
    if (child == 0) {
        // Only plain system calls from here on.
        if (::setgid(uid) != 0 || ::setuid(uid) != 0)
            ::_exit(3);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            ::_exit(2);
        // The server may have closed the connection already: no SIGPIPE, that counts as closed.
        if (::send(fd, framed.constData(), size_t(framed.size()), MSG_NOSIGNAL) < 0)
            ::_exit(0);
        // Generous: on a loaded machine the server's event loop may take seconds to come round.
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, 60000) <= 0)
            ::_exit(4);
        char byte = 0;
        ::_exit(::read(fd, &byte, 1) > 0 ? 1 : 0);
    }
    if (child < 0)
        return -1;
    // The event loop runs while the child waits, so that the server can take its connection.
    int status = 0;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (ended < 0 && errno != EINTR)
            return -1;
        if (waited.elapsed() > 90000) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        QTest::qWait(20);
    }
}

} // namespace

TEST(AutomationServerDoor, PeerOfAnotherUserIsRefusedEvenWhenTheSocketIsOpen)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const QString path = dir.filePath(QStringLiteral("door"));
    cadhost::HostWindow window;
    window.NewDocument();
    cadhost::WindowFrontEnd frontEnd(window);
    cadhost::AutomationServer server(frontEnd);
    ASSERT_TRUE(server.Listen(path));
    // Open the socket file itself to everyone: only the peer check stands in the way now.
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0777), 0);

    const int otherUser = ProbeAsOtherUser(path, 65534);
    if (otherUser == 3)
        GTEST_SKIP() << "this system does not let the test act as another user";
    EXPECT_EQ(otherUser, 0);
    // The same request from this user is answered.
    EXPECT_EQ(ProbeAsOtherUser(path, ::getuid()), 1);
}
