// The callers of the host, one session each: its messages read as they complete, its requests
// carried out in order (the unanswered ones skipped after one of them failed), its replies
// written, no more of its requests read while too many of its replies wait unread, its waiting
// point requests dropped when it goes away.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include <QCborValue>
#include <QObject>

#include "cadlink/Wire.h"
#include "cadhost/server/Dispatch.h"

class QLocalSocket;

namespace cadhost {

class HostFrontEnd;

class Sessions : public QObject, public ReplyChannel {
    Q_OBJECT
public:
    // The most callers served at once (fewer when the descriptor limit is low); callers past it
    // get one error reply and are closed.
    static constexpr int kMaxConnections = 64;
    // A caller whose replies not yet taken by its socket pass this many bytes is not read from
    // until they are down to kResumeReplyBytes: a caller that sends without reading cannot make
    // the host keep its replies without bound, and the others are served meanwhile.
    static constexpr qint64 kMaxQueuedReplyBytes = 1 << 20;
    static constexpr qint64 kResumeReplyBytes = 256 << 10;
    // What a caller's socket reads ahead of the requests being carried out.
    static constexpr qint64 kReadAheadBytes = 256 << 10;

    Sessions(HostFrontEnd& frontEnd, QObject* parent = nullptr);
    ~Sessions() override;

    // Requests are carried out by `dispatcher` (set before the first caller comes).
    void SetDispatcher(Dispatcher* dispatcher) { m_dispatcher = dispatcher; }
    // Takes an accepted caller: refused when the cap is reached or the peer is another user.
    void Adopt(int fd);
    int Cap() const { return m_cap; }

    bool IsOpen(QLocalSocket* caller) const override;
    void SendReply(QLocalSocket* caller, const QCborValue& id, const Outcome& outcome) override;
    void HoldPoint(QLocalSocket* caller, int token) override;
    void ReleasePoint(QLocalSocket* caller, int token) override;
    void FlushAll() override;

private:
    struct Session {
        ardela::cad::MessageReader reader;
        std::vector<int> pointTokens;   // point requests of this caller still waiting
        bool unansweredFailed = false;  // a request sent without waiting failed: skip the rest of them
        bool held = false;              // too many replies wait unread: its requests wait too
    };

    static int CapForDescriptorLimit();
    void ReadRequests(QLocalSocket* socket);
    // Holds the caller's requests back while its unread replies pass the bound; true when held
    // (or the caller was found gone).
    bool HoldWhileBacklogged(QLocalSocket* socket);
    // Some replies have left: a held caller is read from again once they are few enough.
    void RepliesLeft(QLocalSocket* socket);
    void Drop(QLocalSocket* socket);

    HostFrontEnd& m_frontEnd;
    Dispatcher* m_dispatcher = nullptr;
    std::map<QLocalSocket*, std::unique_ptr<Session>> m_sessions;
    int m_cap = kMaxConnections;
    QByteArray m_reply;   // the reply being written, kept for its buffer
    // Requests carried out earlier, kept for their buffers (arguments, member name). A handler
    // may run a dialog's loop, and other requests with it: each takes a request of its own.
    std::vector<std::unique_ptr<ardela::cad::Request>> m_spareRequests;
};

} // namespace cadhost
