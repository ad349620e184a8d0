// The client end of the automation link: synchronous calls that wait in a local event loop,
// several outstanding at once, and the pending-call message for input that arrives meanwhile.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <deque>
#include <utility>

#include <QCborArray>
#include <QCborValue>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "cadlink/Wire.h"

class QEventLoop;
class QTimer;
class QLocalSocket;

namespace ardela::cad {

class CadLink : public QObject {
    Q_OBJECT
public:
    CadLink();
    ~CadLink() override;

    // Connects to the host listening on `socketPath`; false when none answers within the time.
    bool Connect(const QString& socketPath, int timeoutMs);
    bool IsConnected() const { return m_connected; }
    QString SocketPath() const { return m_socketPath; }

    // Calls `member` on the object `handle` and waits for the reply; throws CadError with the
    // host's code, or kDisconnected once the host is gone.
    QCborValue Call(const Handle& handle, const QString& member, const QCborArray& args = {});

    // Sends a call whose result is not needed without waiting for its reply; at most
    // kUnansweredWindow such calls are in flight at once. The host carries them out in order and
    // none after one that failed; the first failure is thrown by the next Send, Call or
    // AwaitUnanswered, once every call in flight has been answered.
    void Send(const Handle& handle, const QString& member, const QCborArray& args = {});
    // Waits until every call sent without waiting has been answered; throws the first failure.
    void AwaitUnanswered();
    static constexpr int kUnansweredWindow = 512;

    // Closes the connection; every pending and later call fails with kDisconnected.
    void Disconnect();

    // How long one call may wait for its reply (0, the default: as long as it takes, since a
    // person may be picking). A call that waits longer gives the host up: it fails with
    // kDisconnected and a text saying so, and so does every pending and later call.
    void SetCallTimeout(int milliseconds) { m_callTimeoutMs = milliseconds; }
    int CallTimeout() const { return m_callTimeoutMs; }

signals:
    void Disconnected();

private:
    struct PendingCall {
        bool done = false;
        std::uint32_t error = 0;
        QString text;
        QCborValue result;
        QEventLoop* loop = nullptr;
    };

    void ReadReplies();
    // Writes the requests gathered in m_outgoing to the socket.
    void SendOutgoing();
    // Counts the reply to a call sent without waiting; false when `id` is no such call.
    bool TakeUnanswered(qint64 id);
    void LoseConnection();
    // Fails every pending and later call with kDisconnected and `text`.
    void LoseConnectionWith(const QString& text);

    QLocalSocket* m_socket = nullptr;
    QString m_socketPath;
    bool m_connected = false;
    qint64 m_nextId = 1;
    int m_callTimeoutMs = 0;
    std::map<qint64, PendingCall*> m_pending;
    // Calls sent without waiting: how many are unanswered, the first failure among them, and
    // the loop that waits for them when they take long.
    int m_unanswered = 0;
    std::deque<qint64> m_unansweredIds;   // in the order sent, which is the order answered
    // Requests sent without waiting go out together, some hundred at a time; whatever is left
    // leaves when a call waits, or from the event loop.
    QByteArray m_outgoing;
    QTimer* m_outgoingTimer = nullptr;
    std::optional<std::pair<std::uint32_t, QString>> m_unansweredFailure;
    QEventLoop* m_unansweredLoop = nullptr;
    void WaitUnanswered(int atMost);
    MessageReader m_reader;
};

// The input guard of pending calls: while any call on any link waits, user input to this
// program's windows is held back; after it has waited 2000 ms such input shows the pending-call
// message (program title as caption).
void SetPendingCallMessage(const QString& title, const QString& text);
// The message as the wizards word it for `programTitle`.
QString PendingCallText(const QString& programTitle);
// How long a call must have been pending before input shows the message.
constexpr int kPendingCallDelayMs = 2000;

// On a link without a call time-out (a person at the program, not the batch tool), a call that
// is not a point request and has had no answer for this long asks the person
// (HostNotAnsweringText, Wait / Stop): Wait goes on waiting, Stop gives the host up, so that
// the call and every other fails with kDisconnected and the link watch says the link is lost.
constexpr int kHostPatienceMs = 2000;
QString HostNotAnsweringText();
// True while that question is on the screen (the link watch then reads nothing).
bool AskingAboutSilentHost();

} // namespace ardela::cad
