// The host's listening sockets: a name taken only from a stale socket of this user, callers
// accepted as they come and handed on, the name removed when the host ends.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace cadhost {

class SocketListener : public QObject {
    Q_OBJECT
public:
    // `accepted` takes each accepted caller's descriptor (non-blocking, closed on exec).
    explicit SocketListener(std::function<void(int fd)> accepted, QObject* parent = nullptr);
    ~SocketListener() override;

    // Listens on `socketPath` (user-only; a name without a folder is in the temporary folder).
    // A file there is replaced only when it is a socket of this user that nobody answers on any
    // more. False when the host cannot answer there, `why` then says why.
    bool Listen(const QString& socketPath, QString* why = nullptr);

private:
    struct Listening {
        int fd = -1;
        QByteArray path;
        ino_t inode = 0;
        QSocketNotifier* notifier = nullptr;
    };
    void AcceptConnections(Listening& listening);

    std::function<void(int fd)> m_accepted;
    std::vector<std::unique_ptr<Listening>> m_listening;
};

} // namespace cadhost
