// The callers' sessions: reading whole messages, the order of requests, replies, the bound on
// unread replies and the cap.
#include "cadhost/server/Sessions.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include <QCborMap>
#include <QLocalSocket>

#include "cadlink/ErrorCodes.h"
#include "cadhost/server/HostFrontEnd.h"

namespace cadhost {

namespace wire = ardela::cad::wire;
namespace codes = ardela::cad;

namespace {

// True when the peer of the socket runs as this user.
bool PeerIsSameUser(QLocalSocket& socket)
{
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    const int fd = int(socket.socketDescriptor());
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    return credentials.uid == ::getuid();
}

} // namespace

Sessions::Sessions(HostFrontEnd& frontEnd, QObject* parent)
    : QObject(parent), m_frontEnd(frontEnd), m_cap(CapForDescriptorLimit())
{
}

Sessions::~Sessions()
{
    for (auto& [socket, session] : m_sessions)
        for (int token : session->pointTokens)
            m_frontEnd.AbandonPoint(token);
}

int Sessions::CapForDescriptorLimit()
{
    // Each caller holds one descriptor; the host keeps room for its drawings, its window and
    // the callers it refuses (each is accepted, told and closed).
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMaxConnections;
    const long long room = (static_cast<long long>(limit.rlim_cur) - 32) / 2;
    return int(std::clamp<long long>(room, 1, kMaxConnections));
}

void Sessions::Adopt(int fd)
{
    if (int(m_sessions.size()) >= m_cap) {
        // Refused plainly: one reply saying why, then the connection closes.
        QCborMap reply;
        reply.insert(wire::kId, QCborValue(QCborValue::Null));
        reply.insert(wire::kError, qint64(codes::kHostFailed));
        reply.insert(wire::kText, QStringLiteral("The drawing host already serves %1 callers.").arg(m_cap));
        const QByteArray framed = ardela::cad::FrameMessage(reply);
        [[maybe_unused]] const ssize_t written = ::send(fd, framed.constData(), size_t(framed.size()), MSG_NOSIGNAL);
        ::close(fd);
        return;
    }
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(fd, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
        ::close(fd);
        delete socket;
        return;
    }
    if (!PeerIsSameUser(*socket)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_sessions.emplace(socket, std::make_unique<Session>());
    // The socket reads ahead only so far: a held caller's requests wait in the system's buffer,
    // and its writes block, instead of piling up in the host.
    socket->setReadBufferSize(kReadAheadBytes);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequests(socket); });
    connect(socket, &QLocalSocket::bytesWritten, this, [this, socket] { RepliesLeft(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Drop(socket); });
    if (socket->bytesAvailable() > 0)
        ReadRequests(socket);
}

void Sessions::Drop(QLocalSocket* socket)
{
    const auto found = m_sessions.find(socket);
    if (found == m_sessions.end())
        return;
    for (int token : found->second->pointTokens)
        m_frontEnd.AbandonPoint(token);
    m_sessions.erase(found);
    if (m_dispatcher)
        m_dispatcher->ForgetCaller(socket);
    socket->disconnect(this);
    socket->deleteLater();
}

namespace {

// A request taken from the spares (or a new one) for as long as it lives.
class SpareRequest {
public:
    static constexpr std::size_t kLargestSpare = 1 << 20;

    explicit SpareRequest(std::vector<std::unique_ptr<ardela::cad::Request>>& spares) : m_spares(spares)
    {
        if (m_spares.empty()) {
            m_request = std::make_unique<ardela::cad::Request>();
        } else {
            m_request = std::move(m_spares.back());
            m_spares.pop_back();
        }
    }
    // One that grew large for a long request is let go: the spares stay small.
    ~SpareRequest()
    {
        if (m_request->args.HeldBytes() <= kLargestSpare)
            m_spares.push_back(std::move(m_request));
    }
    SpareRequest(const SpareRequest&) = delete;
    SpareRequest& operator=(const SpareRequest&) = delete;
    ardela::cad::Request& Get() { return *m_request; }

private:
    std::vector<std::unique_ptr<ardela::cad::Request>>& m_spares;
    std::unique_ptr<ardela::cad::Request> m_request;
};

} // namespace

void Sessions::ReadRequests(QLocalSocket* socket)
{
    const auto found = m_sessions.find(socket);
    if (found == m_sessions.end() || found->second->held)
        return;
    ardela::cad::MessageReader& reader = found->second->reader;
    reader.Feed(*socket);
    QByteArrayView body;
    for (;;) {
        switch (reader.NextBody(body)) {
        case ardela::cad::MessageReader::Status::NeedMore:
            // Replies leave now, not one event-loop turn later: the caller is waiting.
            socket->flush();
            return;
        case ardela::cad::MessageReader::Status::Oversized:
        case ardela::cad::MessageReader::Status::Malformed:   // (a body is not decoded here)
            // The stream cannot be followed past a length we refuse to read: end this caller.
            socket->abort();
            Drop(socket);
            return;
        case ardela::cad::MessageReader::Status::Message: {
            // A request as the link writes it is read straight off its bytes; anything else goes
            // through the general decoder, and what is not a map there gets an error reply.
            // (Its own for every request being carried out: a handler may run a dialog's loop,
            // and other callers' requests with it. It goes back to the spares afterwards.)
            SpareRequest spare(m_spareRequests);
            ardela::cad::Request& request = spare.Get();
            QCborMap general;
            const bool quick = ardela::cad::ReadRequest(body, request);
            if (!quick) {
                QCborParserError error;
                const QCborValue value = QCborValue::fromCbor(body.toByteArray(), &error);
                if (error.error != QCborError::NoError || !value.isMap()) {
                    Outcome outcome;
                    outcome.error = codes::kMalformedMessage;
                    outcome.text = QStringLiteral("The message could not be read.");
                    SendReply(socket, QCborValue(QCborValue::Null), outcome);
                    if (!m_sessions.count(socket) || HoldWhileBacklogged(socket))
                        return;
                    break;
                }
                general = value.toMap();
            }
            const QCborValue id = quick ? QCborValue(request.id) : general.value(wire::kId);
            // Calls sent without waiting run in order; after the first of them fails, the rest
            // are not carried out (nothing is drawn after a failure), until a call that waits.
            const bool unanswered = quick ? request.unanswered : general.value(wire::kUnanswered).toBool();
            Session& caller = *m_sessions.at(socket);
            if (unanswered && caller.unansweredFailed) {
                Outcome skipped;
                skipped.error = codes::kHostFailed;
                skipped.text = QStringLiteral("Not carried out: an earlier call failed.");
                SendReply(socket, id, skipped);
                if (!m_sessions.count(socket) || HoldWhileBacklogged(socket))
                    return;
                break;
            }
            caller.unansweredFailed = false;
            const Outcome outcome = quick ? m_dispatcher->Dispatch(socket, request) : m_dispatcher->Dispatch(socket, general);
            if (unanswered && outcome.error != 0 && m_sessions.count(socket))
                m_sessions.at(socket)->unansweredFailed = true;
            if (!m_sessions.count(socket))
                return;
            if (!outcome.deferred)
                SendReply(socket, id, outcome);
            // A reply that found the caller gone has dropped the connection.
            if (!m_sessions.count(socket) || HoldWhileBacklogged(socket))
                return;
            break;
        }
        }
    }
}

bool Sessions::HoldWhileBacklogged(QLocalSocket* socket)
{
    if (socket->bytesToWrite() <= kMaxQueuedReplyBytes)
        return false;
    // What the system takes now leaves first; a caller found gone meanwhile is dropped.
    socket->flush();
    const auto found = m_sessions.find(socket);
    if (found == m_sessions.end())
        return true;
    if (socket->bytesToWrite() <= kMaxQueuedReplyBytes)
        return false;
    found->second->held = true;
    return true;
}

void Sessions::RepliesLeft(QLocalSocket* socket)
{
    const auto found = m_sessions.find(socket);
    if (found == m_sessions.end() || !found->second->held || socket->bytesToWrite() > kResumeReplyBytes)
        return;
    found->second->held = false;
    ReadRequests(socket);
}

bool Sessions::IsOpen(QLocalSocket* caller) const
{
    return m_sessions.count(caller) != 0;
}

void Sessions::SendReply(QLocalSocket* caller, const QCborValue& id, const Outcome& outcome)
{
    // Encoded into one buffer kept for every reply: no map is built and nothing allocated.
    m_reply.resize(0);
    if (outcome.error != 0)
        ardela::cad::AppendErrorReply(m_reply, id, outcome.error, outcome.text);
    else
        ardela::cad::AppendReply(m_reply, id, outcome.result);
    caller->write(m_reply.constData(), m_reply.size());
}

void Sessions::HoldPoint(QLocalSocket* caller, int token)
{
    const auto found = m_sessions.find(caller);
    if (found != m_sessions.end())
        found->second->pointTokens.push_back(token);
}

void Sessions::ReleasePoint(QLocalSocket* caller, int token)
{
    const auto found = m_sessions.find(caller);
    if (found == m_sessions.end())
        return;
    auto& tokens = found->second->pointTokens;
    tokens.erase(std::remove(tokens.begin(), tokens.end(), token), tokens.end());
}

void Sessions::FlushAll()
{
    for (auto& [socket, session] : m_sessions)
        socket->flush();
}

} // namespace cadhost
