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
    // Carries out one request of `caller`: as read off its bytes, or as a map of the general
    // decoder (checked for its shape first).
    Outcome Dispatch(QLocalSocket* caller, const ardela::cad::Request& request);
    Outcome Dispatch(QLocalSocket* caller, const QCborMap& request);
    // The caller has gone: its selection sets are deleted and its choices forgotten.
    void ForgetCaller(QLocalSocket* caller);
    // True when every row of the member table has its handler.
    static bool EveryMemberHasAHandler();

private:
    // What one caller chose, kept apart from every other caller's: the layer it made active in
    // each drawing (its additions go there) and the number that keeps its selection set names
    // its own.
    struct CallerState {
        qint64 number = 0;
        std::unordered_map<qint64, QString> activeLayers;   // document number -> layer name
    };
    struct Call;
    using Handler = QCborValue (*)(Call& call);
    static const std::array<Handler, ardela::cad::kMemberCount>& Handlers();

    QCborValue Invoke(QLocalSocket* caller, const QCborValue& id, const ardela::cad::Handle& handle,
                      const QString& member, const ardela::cad::Arguments& args, bool& deferred);
    // Runs `call`, turning what it throws into the outcome's code and text.
    template <typename F>
    static Outcome Guarded(F&& call);
    void RequestPoint(Call& call);
    // SelectOnScreen: window and crossing selections by the engineer into the set, answered
    // when the engineer ends (the set's count) or cancels.
    void RequestSelection(Call& call);

    // Document numbers in handles: fresh for every document, never reused.
    qint64 NumberOf(Document& doc);
    Document& DocumentOf(qint64 number);
    QCborValue HandleOf(ardela::cad::HandleKind kind, Document& doc, const QCborValue& key = QCborValue());
    void ForgetClosedDocuments();
    void ForgetDocument(qint64 number);
    CallerState& StateOf(QLocalSocket* caller);
    // The layer `caller` made active in the document, empty when it made none active.
    QString CallerLayer(const CallerState& caller, qint64 document) const;
    // A caller that made `name` its active layer in the document, nullptr when none did.
    const CallerState* CallerWithActiveLayer(qint64 document, const QString& name) const;

    HostFrontEnd& m_frontEnd;
    ReplyChannel& m_channel;
    std::unordered_map<qint64, Document*> m_documents;
    std::unordered_map<const Document*, qint64> m_numbers;
    qint64 m_nextNumber = 1;
    std::unordered_map<QLocalSocket*, CallerState> m_callers;
    qint64 m_nextCaller = 1;
    bool m_testingAids = false;
};

} // namespace cadhost
