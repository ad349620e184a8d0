// The host's side of the member table: each member of the link carried out on the engine by its
// handler, the handles and document numbers the replies carry, and the failures mapped to codes.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QObject>
#include <QString>

#include "cadlink/Members.h"
#include "cadlink/Wire.h"

class QLocalSocket;

namespace cadhost {

class Document;
class HostFrontEnd;

// The outcome of one request.
struct Outcome {
    bool deferred = false;   // answered later (a point request)
    std::uint32_t error = 0;
    QString text;
    QCborValue result;
};

// What the dispatcher needs of the callers' sessions: a way to answer later and to hold the
// point requests a caller waits on.
class ReplyChannel {
public:
    virtual ~ReplyChannel() = default;
    // False once the caller has gone away.
    virtual bool IsOpen(QLocalSocket* caller) const = 0;
    virtual void SendReply(QLocalSocket* caller, const QCborValue& id, const Outcome& outcome) = 0;
    // A point request of the caller waits (HoldPoint) or has been answered (ReleasePoint).
    virtual void HoldPoint(QLocalSocket* caller, int token) = 0;
    virtual void ReleasePoint(QLocalSocket* caller, int token) = 0;
    // Every reply written so far leaves now.
    virtual void FlushAll() = 0;
};

class Dispatcher : public QObject {
    Q_OBJECT
public:
    Dispatcher(HostFrontEnd& frontEnd, ReplyChannel& channel, QObject* parent = nullptr);

    // Accepts the testing aid members.
    void EnableTestingAids(bool enable) { m_testingAids = enable; }
    // Carries out one request of `caller`.
    Outcome Dispatch(QLocalSocket* caller, const QCborMap& request);
    // True when every row of the member table has its handler.
    static bool EveryMemberHasAHandler();

private:
    struct Call;
    using Handler = QCborValue (*)(Call& call);
    static const std::array<Handler, ardela::cad::kMemberCount>& Handlers();

    QCborValue Invoke(QLocalSocket* caller, const QCborValue& id, const ardela::cad::Handle& handle,
                      const QString& member, const QCborArray& args, bool& deferred);
    void RequestPoint(Call& call);
    // SelectOnScreen: window and crossing selections by the engineer into the set, answered
    // when the engineer ends (the set's count) or cancels.
    void RequestSelection(Call& call);

    // Document numbers in handles: fresh for every document, never reused.
    qint64 NumberOf(Document& doc);
    Document& DocumentOf(qint64 number);
    QCborValue HandleOf(ardela::cad::HandleKind kind, Document& doc, const QCborValue& key = QCborValue());
    void ForgetClosedDocuments();

    HostFrontEnd& m_frontEnd;
    ReplyChannel& m_channel;
    std::unordered_map<qint64, Document*> m_documents;
    std::unordered_map<const Document*, qint64> m_numbers;
    qint64 m_nextNumber = 1;
    bool m_testingAids = false;
};

} // namespace cadhost
