// The callers of the host, one session each: its messages read as they complete, its requests
// carried out in order (the unanswered ones skipped after one of them failed), its replies
// written, its waiting point requests dropped when it goes away.
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
    };

    static int CapForDescriptorLimit();
    void ReadRequests(QLocalSocket* socket);
    void Drop(QLocalSocket* socket);

    HostFrontEnd& m_frontEnd;
    Dispatcher* m_dispatcher = nullptr;
    std::map<QLocalSocket*, std::unique_ptr<Session>> m_sessions;
    int m_cap = kMaxConnections;
};

} // namespace cadhost
