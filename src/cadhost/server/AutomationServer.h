// The automation server inside cadhost: serves the object model over per-user local sockets,
// one request at a time per caller, point requests answered when the engineer gives them. It is
// the listener (Listener.h), the callers' sessions (Sessions.h) and the member handlers
// (Dispatch.h) put together.
#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "cadhost/server/Dispatch.h"
#include "cadhost/server/Sessions.h"

namespace cadhost {

class HostFrontEnd;
class SocketListener;

class AutomationServer : public QObject {
    Q_OBJECT
public:
    explicit AutomationServer(HostFrontEnd& frontEnd, QObject* parent = nullptr);
    ~AutomationServer() override;

    // Listens on `socketPath` (user-only; a name without a folder is in the temporary folder).
    // A file there is replaced only when it is a socket of this user that nobody answers on any
    // more. False when the host cannot answer there, `why` then says why.
    bool Listen(const QString& socketPath, QString* why = nullptr);
    // The most callers served at once (fewer when the descriptor limit is low); callers past it
    // get one error reply and are closed.
    static constexpr int kMaxConnections = Sessions::kMaxConnections;
    int ConnectionCapInForce() const { return m_sessions->Cap(); }
    // Accepts the testing aid members SimulateInput and PointPending.
    void EnableTestingAids(bool enable) { m_dispatcher->EnableTestingAids(enable); }

    using Outcome = cadhost::Outcome;

private:
    std::unique_ptr<Sessions> m_sessions;
    std::unique_ptr<Dispatcher> m_dispatcher;
    std::unique_ptr<SocketListener> m_listener;
};

} // namespace cadhost
