// The client end of the automation link and the input guard of pending calls.
#include "cad/CadLink.h"

#include <algorithm>

#include <vector>

#include <QApplication>
#include <QCborMap>
#include <QEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include "cad/CadError.h"
#include "desktop/modMessage.h"

namespace ardela::cad {

namespace {

// Holds back user input while calls are pending; shows the pending-call message for input
// that arrives once the oldest pending call has waited kPendingCallDelayMs.
class PendingInputGuard : public QObject {
public:
    static PendingInputGuard& Instance()
    {
        static PendingInputGuard* guard = new PendingInputGuard;
        return *guard;
    }

    // A call starts waiting in an event loop of `level`; `pointRequest` when it waits for a
    // person picking in the drawing.
    void Begin(int level, bool pointRequest)
    {
        if (m_levels.empty()) {
            m_since.start();
            if (qApp)
                qApp->installEventFilter(this);
        }
        m_levels.push_back(level);
        m_points.push_back(pointRequest);
    }

    void End()
    {
        m_levels.pop_back();
        m_points.pop_back();
        if (m_levels.empty() && qApp)
            qApp->removeEventFilter(this);
    }

    QString m_title;
    QString m_text;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Input is held only while the innermost running loop is a waiting call's: a dialog
        // opened meanwhile (its own, deeper loop) takes input as usual.
        if (m_showing || m_levels.empty() || QThread::currentThread()->loopLevel() != m_levels.back())
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::Wheel:
            if (!watched->isWidgetType() && !watched->isWindowType())
                return false;
            // The advice to finish the task in the drawing fits only a point request; a host slow
            // on any other call is asked about by the call itself (HostNotAnsweringText).
            if (m_since.elapsed() >= kPendingCallDelayMs && !m_text.isEmpty()
                && std::find(m_points.begin(), m_points.end(), true) != m_points.end()) {
                m_showing = true;
                ShowMessage(m_text, MsgOkOnly, m_title);
                m_showing = false;
            }
            return true;
        case QEvent::MouseButtonRelease:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
            return watched->isWidgetType() || watched->isWindowType();
        default:
            return false;
        }
    }

private:
    std::vector<int> m_levels;
    std::vector<bool> m_points;
    bool m_showing = false;
    QElapsedTimer m_since;
};

// Marks one call as waiting in the loop of `level` for the guard, for the scope.
struct PendingScope {
    PendingScope(int level, bool pointRequest) { PendingInputGuard::Instance().Begin(level, pointRequest); }
    ~PendingScope() { PendingInputGuard::Instance().End(); }
    PendingScope(const PendingScope&) = delete;
    PendingScope& operator=(const PendingScope&) = delete;
};

const QString kLostText = QStringLiteral("The drawing host has gone away.");

// The one question about a silent host: asked once at a time, however many calls wait, and
// not again until 2 s after the last answer.
bool g_asking = false;
QElapsedTimer g_lastAnswer;

QString StoppedWaitingText()
{
    return QStringLiteral("The drawing host did not answer and you stopped waiting for it.");
}

// False when the person chose to stop waiting for the host a call has waited on for `waited`.
bool KeepWaitingForHost(const QElapsedTimer& waited)
{
    if (g_asking || waited.elapsed() < kHostPatienceMs
        || (g_lastAnswer.isValid() && g_lastAnswer.elapsed() < kHostPatienceMs))
        return true;
    g_asking = true;
    const std::int16_t answer = ShowMessage(HostNotAnsweringText(), MsgWaitStop + MsgExclamation,
                                            PendingInputGuard::Instance().m_title);
    g_asking = false;
    g_lastAnswer.start();
    return answer == MsgResultRetry;
}

} // namespace

QString HostNotAnsweringText()
{
    return QStringLiteral("The drawing host is not answering.") + kCrLf
        + QStringLiteral("Wait for it, or stop what it was asked to do?");
}

bool AskingAboutSilentHost()
{
    return g_asking;
}

void SetPendingCallMessage(const QString& title, const QString& text)
{
    PendingInputGuard::Instance().m_title = title;
    PendingInputGuard::Instance().m_text = text;
}

QString PendingCallText(const QString& programTitle)
{
    return QStringLiteral("Your are trying to return to ") + programTitle
        + QStringLiteral(" without completing the") + kCrLf + QStringLiteral("current task in AutoCAD.")
        + QStringLiteral("Please return to AutoCAD and finish") + kCrLf
        + QStringLiteral("your task by pressing the right mouse button or Cancel.");
}

CadLink::CadLink() : m_outgoingTimer(new QTimer(this))
{
    m_outgoingTimer->setSingleShot(true);
    m_outgoingTimer->setInterval(0);
    connect(m_outgoingTimer, &QTimer::timeout, this, &CadLink::SendOutgoing);
}

CadLink::~CadLink()
{
    LoseConnection();
}

bool CadLink::Connect(const QString& socketPath, int timeoutMs)
{
    Disconnect();
    m_socketPath = socketPath;
    m_reader = MessageReader();
    m_outgoing.clear();
    m_socket = new QLocalSocket(this);
    m_socket->connectToServer(socketPath);
    if (!m_socket->waitForConnected(timeoutMs)) {
        m_socket->deleteLater();
        m_socket = nullptr;
        return false;
    }
    m_connected = true;
    connect(m_socket, &QLocalSocket::readyRead, this, &CadLink::ReadReplies);
    connect(m_socket, &QLocalSocket::disconnected, this, &CadLink::LoseConnection);
    connect(m_socket, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError error) {
        // A short wait that found no reply yet is no failure of the link.
        if (error != QLocalSocket::SocketTimeoutError)
            LoseConnection();
    });
    return true;
}

void CadLink::Disconnect()
{
    LoseConnection();
}

void CadLink::SendOutgoing()
{
    if (m_outgoing.isEmpty() || !m_socket)
        return;
    m_socket->write(m_outgoing);
    m_outgoing.resize(0);
    // A write that finds the host gone drops the socket at once.
    if (m_socket)
        m_socket->flush();
}

bool CadLink::TakeUnanswered(qint64 id)
{
    // The host answers a caller's requests in order: the reply is almost always the oldest's.
    auto found = m_unansweredIds.begin();
    if (found == m_unansweredIds.end() || *found != id)
        found = std::find(m_unansweredIds.begin(), m_unansweredIds.end(), id);
    if (found == m_unansweredIds.end())
        return false;
    m_unansweredIds.erase(found);
    --m_unanswered;
    if (m_unansweredLoop && m_unanswered == 0)
        m_unansweredLoop->quit();
    return true;
}

void CadLink::WaitUnanswered(int atMost)
{
    SendOutgoing();
    // Replies to calls in flight come within microseconds: read them on the socket alone, and
    // only when they take longer run the local event loop, so that the window stays alive.
    QElapsedTimer spin;
    spin.start();
    while (m_unanswered > atMost && m_socket && spin.nsecsElapsed() < 20000000)
        m_socket->waitForReadyRead(1);
    if (m_unanswered > atMost && m_socket) {
        QEventLoop loop;
        m_unansweredLoop = &loop;
        const int target = atMost;
        QTimer check;
        connect(&check, &QTimer::timeout, &loop, [this, &loop, target] {
            if (m_unanswered <= target || !m_socket)
                loop.quit();
        });
        check.start(5);
        QTimer patience;
        QElapsedTimer waited;
        waited.start();
        connect(&patience, &QTimer::timeout, &loop, [this, &waited] {
            if (m_unanswered > 0 && m_socket && !KeepWaitingForHost(waited))
                LoseConnectionWith(StoppedWaitingText());
        });
        if (m_callTimeoutMs == 0)
            patience.start(200);
        PendingScope pending(QThread::currentThread()->loopLevel() + 1, false);
        loop.exec();
        m_unansweredLoop = nullptr;
    }
    if (!m_socket && m_unanswered > 0) {
        m_unanswered = 0;
        if (!m_unansweredFailure)
            m_unansweredFailure = std::make_pair(std::uint32_t(kDisconnected), kLostText);
    }
}

void CadLink::AwaitUnanswered()
{
    if (m_unanswered > 0)
        WaitUnanswered(0);
    if (m_unansweredFailure) {
        const auto [code, text] = *m_unansweredFailure;
        m_unansweredFailure.reset();
        throw CadError(code, text);
    }
}

void CadLink::Send(const Handle& handle, const QString& member, const QCborArray& args)
{
    if (m_unansweredFailure)
        AwaitUnanswered();
    if (!m_connected)
        throw CadError(kDisconnected, kLostText);
    if (m_unanswered >= kUnansweredWindow)
        WaitUnanswered(kUnansweredWindow / 2);
    if (m_unansweredFailure)
        AwaitUnanswered();
    if (!m_connected || !m_socket)
        throw CadError(kDisconnected, kLostText);
    const qint64 id = m_nextId++;
    AppendRequest(m_outgoing, id, handle, member, args, true);
    m_unansweredIds.push_back(id);
    ++m_unanswered;
    // The requests go out in batches: waiting for replies and the event loop send the rest.
    if (m_outgoing.size() >= 16384)
        SendOutgoing();
    else if (!m_outgoingTimer->isActive())
        m_outgoingTimer->start();
}

QCborValue CadLink::Call(const Handle& handle, const QString& member, const QCborArray& args)
{
    // What was sent without waiting comes first, and its failure ends the sequence here.
    if (m_unanswered > 0 || m_unansweredFailure)
        AwaitUnanswered();
    if (!m_connected)
        throw CadError(kDisconnected, kLostText);
    const qint64 id = m_nextId++;
    PendingCall call;
    m_pending.emplace(id, &call);
    struct Unregister {
        std::map<qint64, PendingCall*>& pending;
        qint64 id;
        ~Unregister() { pending.erase(id); }
    } unregister{m_pending, id};

    AppendRequest(m_outgoing, id, handle, member, args, false);
    SendOutgoing();
    // Most replies come back within a fraction of a millisecond: wait for those on the socket
    // alone, and only for a slower one (a point request) run the local event loop. The first
    // 200 us poll without sleeping: waking a sleeping core costs more than the whole call.
    QElapsedTimer spin;
    spin.start();
    while (!call.done && m_socket && spin.nsecsElapsed() < 200000)
        m_socket->waitForReadyRead(0);
    for (int spins = 0; spins < 2 && !call.done && m_socket && m_socket->waitForReadyRead(1); ++spins) {
    }
    if (!call.done) {
        QEventLoop loop;
        call.loop = &loop;
        QTimer limit;
        if (m_callTimeoutMs > 0) {
            limit.setSingleShot(true);
            limit.setTimerType(Qt::PreciseTimer);
            connect(&limit, &QTimer::timeout, &loop, [this, &call] {
                if (call.done)
                    return;
                call.done = true;
                call.error = kDisconnected;
                call.text = QStringLiteral("The drawing host did not answer within %1 s.").arg(m_callTimeoutMs / 1000.0);
                LoseConnection();
                if (call.loop)
                    call.loop->quit();
            });
            limit.start(std::max(1, m_callTimeoutMs - int(spin.elapsed())));
        }
        // A host silent on anything but a point request is asked about after 2 s.
        const bool pointRequest = member == QLatin1String("GetPoint");
        QTimer patience;
        QElapsedTimer waited;
        waited.start();
        if (!pointRequest && m_callTimeoutMs == 0) {
            connect(&patience, &QTimer::timeout, &loop, [this, &call, &waited] {
                if (!call.done && m_socket && !KeepWaitingForHost(waited))
                    LoseConnectionWith(StoppedWaitingText());
            });
            patience.start(200);
        }
        PendingScope pending(QThread::currentThread()->loopLevel() + 1, pointRequest);
        loop.exec();
        call.loop = nullptr;
    }
    if (call.error != 0)
        throw CadError(call.error, call.text);
    return call.result;
}

void CadLink::ReadReplies()
{
    if (!m_socket)
        return;
    m_reader.Feed(*m_socket);
    QByteArrayView body;
    for (;;) {
        const MessageReader::Status status = m_reader.NextBody(body);
        if (status == MessageReader::Status::NeedMore)
            return;
        // The success of a call sent without waiting is all there is to know of it: its
        // result is not read.
        if (status == MessageReader::Status::Message) {
            const std::optional<qint64> succeeded = SucceededCallId(body);
            if (succeeded && TakeUnanswered(*succeeded))
                continue;
        }
        QCborParserError error;
        const QCborValue value = status == MessageReader::Status::Message ? QCborValue::fromCbor(body.toByteArray(), &error)
                                                                           : QCborValue();
        if (status != MessageReader::Status::Message || error.error != QCborError::NoError || !value.isMap()) {
            // A host that sends what cannot be read cannot be trusted with the calls.
            LoseConnection();
            return;
        }
        const QCborMap reply = value.toMap();
        const qint64 replyId = reply.value(wire::kId).toInteger(-1);
        if (reply.contains(wire::kError) && !m_unansweredFailure
            && std::find(m_unansweredIds.begin(), m_unansweredIds.end(), replyId) != m_unansweredIds.end()) {
            std::uint32_t code = static_cast<std::uint32_t>(reply.value(wire::kError).toInteger(kHostFailed));
            m_unansweredFailure = std::make_pair(code == 0 ? std::uint32_t(kHostFailed) : code,
                                                 reply.value(wire::kText).toString());
        }
        if (TakeUnanswered(replyId))
            continue;
        const auto found = m_pending.find(replyId);
        if (found == m_pending.end())
            continue;
        PendingCall& call = *found->second;
        call.done = true;
        if (reply.contains(wire::kError)) {
            call.error = static_cast<std::uint32_t>(reply.value(wire::kError).toInteger(kHostFailed));
            if (call.error == 0)
                call.error = kHostFailed;
            call.text = reply.value(wire::kText).toString();
        } else {
            call.result = reply.value(wire::kResult);
        }
        if (call.loop)
            call.loop->quit();
    }
}

void CadLink::LoseConnection()
{
    LoseConnectionWith(kLostText);
}

void CadLink::LoseConnectionWith(const QString& text)
{
    const bool wasConnected = m_connected;
    m_connected = false;
    for (auto& [id, call] : m_pending) {
        if (call->done)
            continue;
        call->done = true;
        call->error = kDisconnected;
        call->text = text;
        if (call->loop)
            call->loop->quit();
    }
    m_unansweredIds.clear();
    m_outgoing.clear();
    if (m_unanswered > 0 && !m_unansweredFailure)
        m_unansweredFailure = std::make_pair(std::uint32_t(kDisconnected), text);
    m_unanswered = 0;
    if (m_unansweredLoop)
        m_unansweredLoop->quit();
    if (m_socket) {
        QLocalSocket* socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    if (wasConnected)
        emit Disconnected();
}

} // namespace ardela::cad
