// The automation server inside cadhost: serves the object model over per-user local sockets,
// one request at a time per connection, point requests answered when the engineer gives them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QObject>
#include <QString>

#include "cadlink/Wire.h"

class QSocketNotifier;
class QLocalSocket;

namespace cadhost {

class Document;
class HostFrontEnd;

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
    static constexpr int kMaxConnections = 64;
    int ConnectionCapInForce() const { return m_connectionCap; }
    // Accepts the testing aid member SimulateInput.
    void EnableTestingAids(bool enable) { m_testingAids = enable; }

    // The outcome of one request, for the dispatcher and for tests of the mapping.
    struct Outcome {
        bool deferred = false;   // answered later (a point request)
        std::uint32_t error = 0;
        QString text;
        QCborValue result;
    };

private:
    struct Connection;
    struct Listener {
        int fd = -1;
        QByteArray path;
        ino_t inode = 0;
        QSocketNotifier* notifier = nullptr;
    };

    static int ConnectionCap();
    void AcceptConnections(Listener& listener);
    void ReadRequests(QLocalSocket* socket);
    void DropConnection(QLocalSocket* socket);
    void SendReply(QLocalSocket* socket, const QCborValue& id, const Outcome& outcome);
    Outcome Dispatch(QLocalSocket* socket, const QCborValue& id, const QCborMap& request);
    QCborValue Invoke(QLocalSocket* socket, const QCborValue& id, const ardela::cad::Handle& handle,
                      const QString& member, const QCborArray& args, bool& deferred);

    QCborValue InvokeApplication(const QString& member, const QCborArray& args);
    QCborValue InvokeDocuments(const QString& member, const QCborArray& args);
    QCborValue InvokeDocument(Document& doc, const QString& member, const QCborArray& args);
    QCborValue InvokeModelSpace(Document& doc, const QString& member, const QCborArray& args);
    QCborValue InvokeLayers(Document& doc, const QString& member, const QCborArray& args);
    QCborValue InvokeLayer(Document& doc, const QString& name, const QString& member, const QCborArray& args);
    QCborValue InvokeLineTypes(Document& doc, const QString& member, const QCborArray& args);
    QCborValue InvokeSelectionSets(Document& doc, const QString& member, const QCborArray& args);
    QCborValue InvokeSelectionSet(Document& doc, const QString& name, const QString& member, const QCborArray& args);
    QCborValue InvokeTextStyle(Document& doc, const QString& member, const QCborArray& args);
    QCborValue InvokeEntity(Document& doc, std::int64_t id, const QString& member, const QCborArray& args);
    QCborValue RequestPoint(QLocalSocket* socket, const QCborValue& id, Document& doc, const QCborArray& args);
    // SelectOnScreen: window and crossing selections by the engineer into the set, answered
    // when the engineer ends (the set's count) or cancels.
    void RequestSelection(QLocalSocket* socket, const QCborValue& id, Document& doc, const QString& setName,
                          const QCborArray& args);

    // Document numbers in handles: fresh for every document, never reused.
    qint64 NumberOf(Document& doc);
    Document& DocumentOf(qint64 number);
    QCborValue HandleOf(ardela::cad::HandleKind kind, Document& doc, const QCborValue& key = QCborValue());
    void ForgetClosedDocuments();

    HostFrontEnd& m_frontEnd;
    std::vector<std::unique_ptr<Listener>> m_listeners;
    std::map<QLocalSocket*, std::unique_ptr<Connection>> m_connections;
    std::unordered_map<qint64, Document*> m_documents;
    std::unordered_map<const Document*, qint64> m_numbers;
    qint64 m_nextNumber = 1;
    bool m_testingAids = false;
    int m_connectionCap = kMaxConnections;
};

} // namespace cadhost
