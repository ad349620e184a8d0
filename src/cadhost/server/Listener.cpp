// The host's listening sockets: our own, not a QLocalServer's, so that running out of
// descriptors never closes them or removes their names.
#include "cadhost/server/Listener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

namespace cadhost {

SocketListener::SocketListener(std::function<void(int fd)> accepted, QObject* parent)
    : QObject(parent), m_accepted(std::move(accepted))
{
}

SocketListener::~SocketListener()
{
    for (const auto& listening : m_listening) {
        delete listening->notifier;
        ::close(listening->fd);
        // The name goes with the host, unless another host has taken it meanwhile.
        struct stat info {};
        if (::lstat(listening->path.constData(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_ino == listening->inode)
            ::unlink(listening->path.constData());
    }
}

bool SocketListener::Listen(const QString& socketPath, QString* why)
{
    const auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (socketPath.isEmpty())
        return refuse(QStringLiteral("no socket name was given."));
    // A name without a folder is a socket in the temporary folder, as the local server makes it.
    const QString fullPath = QDir::isAbsolutePath(socketPath) ? socketPath : QDir(QDir::tempPath()).filePath(socketPath);
    const QByteArray native = QFile::encodeName(fullPath);
    struct stat info {};
    if (::lstat(native.constData(), &info) == 0) {
        // Only a socket of this user may be taken over; any other file stays as it is.
        if (!S_ISSOCK(info.st_mode))
            return refuse(QStringLiteral("\"%1\" exists and is not a socket; it is left as it is.").arg(fullPath));
        if (info.st_uid != ::getuid())
            return refuse(QStringLiteral("\"%1\" is a socket of another user.").arg(fullPath));
        // A socket someone still answers on is theirs, not a stale one.
        QLocalSocket probe;
        probe.connectToServer(fullPath);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            return refuse(QStringLiteral("a drawing host already answers on \"%1\".").arg(fullPath));
        }
        ::unlink(native.constData());
    } else if (errno != ENOENT) {
        return refuse(QStringLiteral("\"%1\" cannot be looked at: %2").arg(fullPath, QString::fromLocal8Bit(std::strerror(errno))));
    }
    // The listening socket is our own, not a QLocalServer's: when accepting fails for want of
    // file descriptors, QLocalServer closes for good and removes the socket file.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (fd < 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (size_t(native.size()) >= sizeof address.sun_path) {
        ::close(fd);
        return refuse(QStringLiteral("the socket name \"%1\" is too long.").arg(fullPath));
    }
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    // Only this user may connect: the socket file is made srwx------.
    const mode_t oldMask = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int bindError = errno;
    ::umask(oldMask);
    if (!bound || ::listen(fd, 64) != 0) {
        const int error = bound ? errno : bindError;
        ::close(fd);
        return refuse(QString::fromLocal8Bit(std::strerror(error)));
    }
    struct stat made {};
    auto listening = std::make_unique<Listening>();
    listening->fd = fd;
    listening->path = native;
    if (::lstat(native.constData(), &made) == 0)
        listening->inode = made.st_ino;
    listening->notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    Listening* raw = listening.get();
    connect(listening->notifier, &QSocketNotifier::activated, this, [this, raw] { AcceptConnections(*raw); });
    m_listening.push_back(std::move(listening));
    return true;
}

void SocketListener::AcceptConnections(Listening& listening)
{
    for (;;) {
        const int fd = ::accept4(listening.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: stop looking for a moment instead of spinning; the
                // callers wait in the backlog meanwhile.
                listening.notifier->setEnabled(false);
                QPointer<QSocketNotifier> notifier(listening.notifier);
                QTimer::singleShot(100, this, [notifier] {
                    if (notifier)
                        notifier->setEnabled(true);
                });
            }
            return;
        }
        m_accepted(fd);
    }
}

} // namespace cadhost
