// The automation server: the listener hands each caller to the sessions, the sessions hand each
// request to the dispatcher.
#include "cadhost/server/AutomationServer.h"

#include "cadhost/server/Listener.h"

namespace cadhost {

AutomationServer::AutomationServer(HostFrontEnd& frontEnd, QObject* parent)
    : QObject(parent),
      m_sessions(std::make_unique<Sessions>(frontEnd)),
      m_dispatcher(std::make_unique<Dispatcher>(frontEnd, *m_sessions)),
      m_listener(std::make_unique<SocketListener>([this](int fd) { m_sessions->Adopt(fd); }))
{
    m_sessions->SetDispatcher(m_dispatcher.get());
}

// The names go first, then the callers' waiting point requests are dropped.
AutomationServer::~AutomationServer()
{
    m_listener.reset();
    m_sessions->SetDispatcher(nullptr);
    m_sessions.reset();
    m_dispatcher.reset();
}

bool AutomationServer::Listen(const QString& socketPath, QString* why)
{
    return m_listener->Listen(socketPath, why);
}

} // namespace cadhost
