// The automation server: wire handling, peer checks, and every member mapped onto the engine.
#include "cadhost/server/AutomationServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include "cad/CadError.h"
#include "cadhost/engine/Document.h"
#include "cadhost/engine/DocumentList.h"
#include "cadhost/engine/DxfFile.h"
#include "cadhost/engine/EngineError.h"
#include "cadhost/server/HostFrontEnd.h"

namespace cadhost {

using ardela::cad::Handle;
using ardela::cad::HandleKind;
namespace wire = ardela::cad::wire;
namespace codes = ardela::cad;

struct AutomationServer::Connection {
    ardela::cad::MessageReader reader;
    std::vector<int> pointTokens;   // point requests of this caller still waiting
};

namespace {

// A failed call: the automation code and the text the caller receives.
struct CallError {
    std::uint32_t code;
    QString text;
};

[[noreturn]] void Fail(std::uint32_t code, const QString& text)
{
    throw CallError{code, text};
}

[[noreturn]] void NoMember(const QString& member)
{
    Fail(codes::kMemberNotFound, QStringLiteral("Unknown member \"%1\".").arg(member));
}

void ExpectArgs(const QCborArray& args, qsizetype count)
{
    if (args.size() != count)
        Fail(codes::kInvalidArgument, QStringLiteral("Expected %1 argument(s), got %2.").arg(count).arg(args.size()));
}

QString StringArg(const QCborArray& args, qsizetype i)
{
    if (!args[i].isString())
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be a text.").arg(i + 1));
    return args[i].toString();
}

double DoubleArg(const QCborArray& args, qsizetype i)
{
    const QCborValue v = args[i];
    if (v.isDouble())
        return v.toDouble();
    if (v.isInteger())
        return double(v.toInteger());
    Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be a number.").arg(i + 1));
}

qint64 IntegerArg(const QCborArray& args, qsizetype i)
{
    const QCborValue v = args[i];
    if (!v.isInteger())
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be an integer.").arg(i + 1));
    return v.toInteger();
}

bool BoolArg(const QCborArray& args, qsizetype i)
{
    if (!args[i].isBool())
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be true or false.").arg(i + 1));
    return args[i].toBool();
}

Point3 ToPoint(const QCborValue& value, qsizetype position)
{
    const QCborArray parts = value.toArray();
    if (!value.isArray() || parts.size() < 2 || parts.size() > 3)
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be a point of three numbers.").arg(position + 1));
    double xyz[3] = {0.0, 0.0, 0.0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (parts[i].isDouble())
            xyz[i] = parts[i].toDouble();
        else if (parts[i].isInteger())
            xyz[i] = double(parts[i].toInteger());
        else
            Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be a point of three numbers.").arg(position + 1));
    }
    return {xyz[0], xyz[1], xyz[2]};
}

Point3 PointArg(const QCborArray& args, qsizetype i)
{
    return ToPoint(args[i], i);
}

std::optional<Point3> OptionalPointArg(const QCborArray& args, qsizetype i)
{
    if (args[i].isNull() || args[i].isUndefined())
        return std::nullopt;
    return PointArg(args, i);
}

std::vector<double> DoublesArg(const QCborArray& args, qsizetype i)
{
    if (!args[i].isArray())
        Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be an array of numbers.").arg(i + 1));
    const QCborArray values = args[i].toArray();
    std::vector<double> result;
    result.reserve(values.size());
    for (const QCborValue& v : values) {
        if (v.isDouble())
            result.push_back(v.toDouble());
        else if (v.isInteger())
            result.push_back(double(v.toInteger()));
        else
            Fail(codes::kInvalidArgument, QStringLiteral("Argument %1 must be an array of numbers.").arg(i + 1));
    }
    return result;
}

QCborValue FromPoint(const Point3& p)
{
    return QCborArray{p.x, p.y, p.z};
}

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

// The object model's name of an entity kind.
QString ObjectNameOf(EntityKind kind)
{
    switch (kind) {
    case EntityKind::Line:
        return QStringLiteral("AcDbLine");
    case EntityKind::Text:
        return QStringLiteral("AcDbText");
    case EntityKind::Point:
        return QStringLiteral("AcDbPoint");
    case EntityKind::Polyline3d:
        return QStringLiteral("AcDb3dPolyline");
    case EntityKind::LwPolyline:
        return QStringLiteral("AcDbPolyline");
    case EntityKind::Solid:
        return QStringLiteral("AcDbSolid");
    }
    return QString();
}

const Entity& TextEntity(Document& doc, std::int64_t id)
{
    const Entity& e = doc.Get(id);
    if (e.kind != EntityKind::Text)
        Fail(codes::kMemberNotFound, QStringLiteral("Only a text has this member."));
    return e;
}

} // namespace

AutomationServer::AutomationServer(HostFrontEnd& frontEnd, QObject* parent)
    : QObject(parent), m_frontEnd(frontEnd)
{
    // A closed document's number dies with it, before another document can take its address.
    QPointer<AutomationServer> self(this);
    m_frontEnd.SetClosingListener([self](Document* doc) {
        if (!self)
            return;
        const auto found = self->m_numbers.find(doc);
        if (found != self->m_numbers.end()) {
            self->m_documents.erase(found->second);
            self->m_numbers.erase(found);
        }
    });
}

AutomationServer::~AutomationServer()
{
    for (auto& [socket, connection] : m_connections)
        for (int token : connection->pointTokens)
            m_frontEnd.AbandonPoint(token);
}

bool AutomationServer::Listen(const QString& socketPath, bool onlyWhenFree)
{
    if (socketPath.isEmpty())
        return false;
    // With the user-only option listen() would silently take the name from a live host:
    // ask first whether someone answers there.
    if (onlyWhenFree) {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            return false;
        }
    }
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath);
    if (!server->listen(socketPath)) {
        delete server;
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, [this, server] { AcceptConnections(server); });
    m_servers.push_back(server);
    return true;
}

void AutomationServer::AcceptConnections(QLocalServer* server)
{
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        if (!PeerIsSameUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_connections.emplace(socket, std::make_unique<Connection>());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequests(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { DropConnection(socket); });
        if (socket->bytesAvailable() > 0)
            ReadRequests(socket);
    }
}

void AutomationServer::DropConnection(QLocalSocket* socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    for (int token : found->second->pointTokens)
        m_frontEnd.AbandonPoint(token);
    m_connections.erase(found);
    socket->disconnect(this);
    socket->deleteLater();
}

void AutomationServer::ReadRequests(QLocalSocket* socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    ardela::cad::MessageReader& reader = found->second->reader;
    reader.Feed(*socket);
    QCborMap request;
    for (;;) {
        switch (reader.Next(request)) {
        case ardela::cad::MessageReader::Status::NeedMore:
            // Replies leave now, not one event-loop turn later: the caller is waiting.
            socket->flush();
            return;
        case ardela::cad::MessageReader::Status::Oversized:
            // The stream cannot be followed past a length we refuse to read: end this caller.
            socket->abort();
            DropConnection(socket);
            return;
        case ardela::cad::MessageReader::Status::Malformed: {
            Outcome outcome;
            outcome.error = codes::kMalformedMessage;
            outcome.text = QStringLiteral("The message could not be read.");
            SendReply(socket, QCborValue(QCborValue::Null), outcome);
            if (!m_connections.count(socket))
                return;
            break;
        }
        case ardela::cad::MessageReader::Status::Message: {
            const QCborValue id = request.value(wire::kId);
            const Outcome outcome = Dispatch(socket, id, request);
            if (!m_connections.count(socket))
                return;
            if (!outcome.deferred)
                SendReply(socket, id, outcome);
            // A reply that found the caller gone has dropped the connection.
            if (!m_connections.count(socket))
                return;
            break;
        }
        }
    }
}

void AutomationServer::SendReply(QLocalSocket* socket, const QCborValue& id, const Outcome& outcome)
{
    QCborMap reply;
    reply.insert(wire::kId, id);
    if (outcome.error != 0) {
        reply.insert(wire::kError, qint64(outcome.error));
        reply.insert(wire::kText, outcome.text);
    } else {
        reply.insert(wire::kResult, outcome.result);
    }
    socket->write(ardela::cad::FrameMessage(reply));
}

AutomationServer::Outcome AutomationServer::Dispatch(QLocalSocket* socket, const QCborValue& id, const QCborMap& request)
{
    Outcome outcome;
    try {
        if (!id.isInteger())
            Fail(codes::kMalformedMessage, QStringLiteral("The request has no call id."));
        const std::optional<Handle> handle = Handle::FromCbor(request.value(wire::kHandle));
        if (!handle)
            Fail(codes::kInvalidArgument, QStringLiteral("The request names no object."));
        const QCborValue member = request.value(wire::kMember);
        if (!member.isString())
            Fail(codes::kMalformedMessage, QStringLiteral("The request names no member."));
        const QCborValue args = request.value(wire::kArgs);
        if (!args.isArray() && !args.isUndefined())
            Fail(codes::kMalformedMessage, QStringLiteral("The arguments are not an array."));
        outcome.result = Invoke(socket, id, *handle, member.toString(), args.toArray(), outcome.deferred);
    } catch (const CallError& error) {
        outcome.error = error.code;
        outcome.text = error.text;
    } catch (const EngineError& error) {
        outcome.error = error.Code();
        outcome.text = error.Message();
    } catch (const std::exception& error) {
        outcome.error = codes::kFailed;
        outcome.text = QString::fromUtf8(error.what());
    }
    return outcome;
}

qint64 AutomationServer::NumberOf(Document& doc)
{
    const auto found = m_numbers.find(&doc);
    if (found != m_numbers.end())
        return found->second;
    const qint64 number = m_nextNumber++;
    m_numbers.emplace(&doc, number);
    m_documents.emplace(number, &doc);
    return number;
}

void AutomationServer::ForgetClosedDocuments()
{
    DocumentList& list = m_frontEnd.Documents();
    for (auto it = m_documents.begin(); it != m_documents.end();) {
        if (list.IndexOf(it->second) < 0) {
            m_numbers.erase(it->second);
            it = m_documents.erase(it);
        } else {
            ++it;
        }
    }
}

Document& AutomationServer::DocumentOf(qint64 number)
{
    ForgetClosedDocuments();
    const auto found = m_documents.find(number);
    if (found == m_documents.end())
        Fail(codes::kDisconnected, QStringLiteral("The drawing has been closed."));
    return *found->second;
}

QCborValue AutomationServer::HandleOf(HandleKind kind, Document& doc, const QCborValue& key)
{
    return Handle{kind, NumberOf(doc), key}.ToCbor();
}

QCborValue AutomationServer::Invoke(QLocalSocket* socket, const QCborValue& id, const Handle& handle,
                                    const QString& member, const QCborArray& args, bool& deferred)
{
    switch (handle.kind) {
    case HandleKind::Application:
        return InvokeApplication(member, args);
    case HandleKind::Documents:
        return InvokeDocuments(member, args);
    default:
        break;
    }
    Document& doc = DocumentOf(handle.document);
    switch (handle.kind) {
    case HandleKind::Document:
        return InvokeDocument(doc, member, args);
    case HandleKind::ModelSpace:
        return InvokeModelSpace(doc, member, args);
    case HandleKind::Layers:
        return InvokeLayers(doc, member, args);
    case HandleKind::Layer:
        if (!handle.key.isString())
            Fail(codes::kInvalidArgument, QStringLiteral("A layer handle carries the layer's name."));
        return InvokeLayer(doc, handle.key.toString(), member, args);
    case HandleKind::LineTypes:
        return InvokeLineTypes(doc, member, args);
    case HandleKind::SelectionSets:
        return InvokeSelectionSets(doc, member, args);
    case HandleKind::SelectionSet:
        if (!handle.key.isString())
            Fail(codes::kInvalidArgument, QStringLiteral("A selection set handle carries the set's name."));
        return InvokeSelectionSet(doc, handle.key.toString(), member, args);
    case HandleKind::Utility:
        if (member == QLatin1String("GetPoint")) {
            RequestPoint(socket, id, doc, args);
            deferred = true;
            return QCborValue();
        }
        NoMember(member);
    case HandleKind::TextStyle:
        return InvokeTextStyle(doc, member, args);
    case HandleKind::Entity:
        if (!handle.key.isInteger())
            Fail(codes::kInvalidArgument, QStringLiteral("An entity handle carries its ObjectID."));
        return InvokeEntity(doc, handle.key.toInteger(), member, args);
    case HandleKind::Application:
    case HandleKind::Documents:
        break;
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeApplication(const QString& member, const QCborArray& args)
{
    if (member == QLatin1String("Name")) {
        ExpectArgs(args, 0);
        return QStringLiteral("cadhost");
    }
    if (member == QLatin1String("ActiveDocument")) {
        ExpectArgs(args, 0);
        Document* active = m_frontEnd.Documents().Active();
        if (!active)
            Fail(codes::kFailed, QStringLiteral("No drawing is open."));
        return HandleOf(HandleKind::Document, *active);
    }
    if (member == QLatin1String("Documents")) {
        ExpectArgs(args, 0);
        return Handle{HandleKind::Documents, 0, QCborValue()}.ToCbor();
    }
    if (member == QLatin1String("Visible")) {
        ExpectArgs(args, 0);
        return m_frontEnd.IsVisible();
    }
    if (member == QLatin1String("put_Visible")) {
        ExpectArgs(args, 1);
        m_frontEnd.SetVisible(BoolArg(args, 0));
        return QCborValue();
    }
    if (member == QLatin1String("Quit")) {
        ExpectArgs(args, 0);
        // The reply leaves first; the host ends once the event loop is back.
        QTimer::singleShot(0, this, [this] {
            for (auto& [socket, connection] : m_connections)
                socket->flush();
            m_frontEnd.Quit();
        });
        return QCborValue();
    }
    if (member == QLatin1String("ProcessId")) {
        ExpectArgs(args, 0);
        return qint64(::getpid());
    }
    if (member == QLatin1String("RootWindow")) {
        ExpectArgs(args, 1);
        return qint64(m_frontEnd.RootWindow(std::uint64_t(IntegerArg(args, 0))));
    }
    if (member == QLatin1String("ActivateWindow")) {
        ExpectArgs(args, 1);
        m_frontEnd.ActivateWindow(std::uint64_t(IntegerArg(args, 0)));
        return QCborValue();
    }
    if (member == QLatin1String("PointPending") && m_testingAids) {
        // Testing aid: whether a point request waits for input.
        ExpectArgs(args, 0);
        return m_frontEnd.PointPending();
    }
    if (member == QLatin1String("SimulateInput") && m_testingAids) {
        // Testing aid: [kind, point or null, text].
        ExpectArgs(args, 3);
        static const std::map<QString, SimulatedInput::Kind> kinds{
            {QStringLiteral("click"), SimulatedInput::Kind::Click},
            {QStringLiteral("rightclick"), SimulatedInput::Kind::RightClick},
            {QStringLiteral("type"), SimulatedInput::Kind::Type},
            {QStringLiteral("enter"), SimulatedInput::Kind::Enter},
            {QStringLiteral("escape"), SimulatedInput::Kind::Escape},
        };
        const auto kind = kinds.find(StringArg(args, 0));
        if (kind == kinds.end())
            Fail(codes::kInvalidArgument, QStringLiteral("Unknown kind of input."));
        SimulatedInput input;
        input.kind = kind->second;
        if (std::optional<Point3> at = OptionalPointArg(args, 1))
            input.point = *at;
        if (args[2].isString())
            input.text = args[2].toString();
        m_frontEnd.SimulateInput(input);
        return QCborValue();
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeDocuments(const QString& member, const QCborArray& args)
{
    if (member == QLatin1String("Count")) {
        ExpectArgs(args, 0);
        return m_frontEnd.Documents().Count();
    }
    if (member == QLatin1String("Item")) {
        ExpectArgs(args, 1);
        const qint64 index = IntegerArg(args, 0);
        if (index < 0 || index >= m_frontEnd.Documents().Count())
            Fail(codes::kKeyNotFound, QStringLiteral("There is no drawing %1.").arg(index));
        return HandleOf(HandleKind::Document, m_frontEnd.Documents().Item(int(index)));
    }
    if (member == QLatin1String("Add")) {
        ExpectArgs(args, 0);
        return HandleOf(HandleKind::Document, m_frontEnd.AddDocument());
    }
    if (member == QLatin1String("Open")) {
        ExpectArgs(args, 1);
        return HandleOf(HandleKind::Document, m_frontEnd.OpenDocument(StringArg(args, 0)));
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeDocument(Document& doc, const QString& member, const QCborArray& args)
{
    static const std::map<QString, HandleKind> parts{
        {QStringLiteral("ModelSpace"), HandleKind::ModelSpace},
        {QStringLiteral("Layers"), HandleKind::Layers},
        {QStringLiteral("ActiveTextStyle"), HandleKind::TextStyle},
        {QStringLiteral("SelectionSets"), HandleKind::SelectionSets},
        {QStringLiteral("Utility"), HandleKind::Utility},
        {QStringLiteral("lineTypes"), HandleKind::LineTypes},
    };
    if (const auto part = parts.find(member); part != parts.end()) {
        ExpectArgs(args, 0);
        return HandleOf(part->second, doc);
    }
    if (member == QLatin1String("Name")) {
        ExpectArgs(args, 0);
        return doc.Name();
    }
    if (member == QLatin1String("FullName")) {
        ExpectArgs(args, 0);
        return doc.FullName();
    }
    if (member == QLatin1String("Saved")) {
        ExpectArgs(args, 0);
        return doc.Saved();
    }
    if (member == QLatin1String("hWnd")) {
        ExpectArgs(args, 0);
        return qint64(m_frontEnd.DocumentWindow(doc));
    }
    if (member == QLatin1String("ActiveLayer")) {
        ExpectArgs(args, 0);
        return HandleOf(HandleKind::Layer, doc, doc.ActiveLayer());
    }
    if (member == QLatin1String("put_ActiveLayer")) {
        ExpectArgs(args, 1);
        const std::optional<Handle> layer = Handle::FromCbor(args[0]);
        if (!layer || layer->kind != HandleKind::Layer || !layer->key.isString() || layer->document != NumberOf(doc))
            Fail(codes::kInvalidArgument, QStringLiteral("The active layer must be a layer of this drawing."));
        doc.SetActiveLayer(layer->key.toString());
        return QCborValue();
    }
    if (member == QLatin1String("SetVariable")) {
        ExpectArgs(args, 2);
        const QCborValue value = args[1];
        if (value.isInteger())
            doc.SetVariable(StringArg(args, 0), QVariant(qlonglong(value.toInteger())));
        else if (value.isDouble())
            doc.SetVariable(StringArg(args, 0), QVariant(value.toDouble()));
        else if (value.isString())
            doc.SetVariable(StringArg(args, 0), QVariant(value.toString()));
        else
            Fail(codes::kInvalidArgument, QStringLiteral("A system variable takes a number or a text."));
        return QCborValue();
    }
    if (member == QLatin1String("GetVariable")) {
        ExpectArgs(args, 1);
        const QVariant value = doc.GetVariable(StringArg(args, 0));
        if (value.typeId() == QMetaType::Double)
            return value.toDouble();
        if (value.typeId() == QMetaType::QString)
            return value.toString();
        return qint64(value.toLongLong());
    }
    if (member == QLatin1String("Regen")) {
        ExpectArgs(args, 1);
        IntegerArg(args, 0);
        m_frontEnd.Regen(doc);
        return QCborValue();
    }
    if (member == QLatin1String("Save")) {
        ExpectArgs(args, 0);
        SaveDocument(doc);
        return QCborValue();
    }
    if (member == QLatin1String("SaveAs")) {
        ExpectArgs(args, 1);
        SaveDocument(doc, StringArg(args, 0));
        return QCborValue();
    }
    if (member == QLatin1String("Close")) {
        ExpectArgs(args, 0);
        m_frontEnd.CloseDocument(doc);
        ForgetClosedDocuments();
        return QCborValue();
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeModelSpace(Document& doc, const QString& member, const QCborArray& args)
{
    const auto entity = [&](ObjectId id) { return HandleOf(HandleKind::Entity, doc, qint64(id)); };
    if (member == QLatin1String("AddLine")) {
        ExpectArgs(args, 2);
        return entity(doc.AddLine(PointArg(args, 0), PointArg(args, 1)));
    }
    if (member == QLatin1String("AddText")) {
        ExpectArgs(args, 3);
        return entity(doc.AddText(StringArg(args, 0), PointArg(args, 1), DoubleArg(args, 2)));
    }
    if (member == QLatin1String("AddPoint")) {
        ExpectArgs(args, 1);
        return entity(doc.AddPoint(PointArg(args, 0)));
    }
    if (member == QLatin1String("AddPolyline")) {
        ExpectArgs(args, 1);
        return entity(doc.AddPolyline(DoublesArg(args, 0)));
    }
    if (member == QLatin1String("AddLightWeightPolyline")) {
        ExpectArgs(args, 1);
        return entity(doc.AddLightWeightPolyline(DoublesArg(args, 0)));
    }
    if (member == QLatin1String("AddSolid")) {
        ExpectArgs(args, 4);
        return entity(doc.AddSolid(PointArg(args, 0), PointArg(args, 1), PointArg(args, 2), PointArg(args, 3)));
    }
    if (member == QLatin1String("Count")) {
        ExpectArgs(args, 0);
        return qint64(doc.EntityCount());
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeLayers(Document& doc, const QString& member, const QCborArray& args)
{
    const auto layer = [&](const QString& name) { return HandleOf(HandleKind::Layer, doc, name); };
    if (member == QLatin1String("Count")) {
        ExpectArgs(args, 0);
        return doc.Layers().Count();
    }
    if (member == QLatin1String("Item")) {
        ExpectArgs(args, 1);
        if (args[0].isInteger()) {
            const qint64 index = args[0].toInteger();
            if (index < 0 || index >= doc.Layers().Count())
                Fail(codes::kKeyNotFound, QStringLiteral("There is no layer %1.").arg(index));
            return layer(doc.Layers().At(int(index)).name);
        }
        const Layer* found = doc.Layers().Find(StringArg(args, 0));
        if (!found)
            Fail(codes::kKeyNotFound, QStringLiteral("There is no layer \"%1\".").arg(args[0].toString()));
        return layer(found->name);
    }
    if (member == QLatin1String("Add")) {
        ExpectArgs(args, 1);
        return layer(doc.AddLayer(StringArg(args, 0)).name);
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeLayer(Document& doc, const QString& name, const QString& member, const QCborArray& args)
{
    const Layer* layer = doc.Layers().Find(name);
    if (!layer)
        Fail(codes::kFailed, QStringLiteral("The layer \"%1\" has been deleted.").arg(name));
    if (member == QLatin1String("Name")) {
        ExpectArgs(args, 0);
        return layer->name;
    }
    if (member == QLatin1String("Color")) {
        ExpectArgs(args, 0);
        return layer->color;
    }
    if (member == QLatin1String("Linetype")) {
        ExpectArgs(args, 0);
        return layer->linetype;
    }
    if (member == QLatin1String("LayerOn")) {
        ExpectArgs(args, 0);
        return layer->on;
    }
    if (member == QLatin1String("Freeze")) {
        ExpectArgs(args, 0);
        return layer->frozen;
    }
    if (member == QLatin1String("Lock")) {
        ExpectArgs(args, 0);
        return layer->locked;
    }
    if (member == QLatin1String("Delete")) {
        ExpectArgs(args, 0);
        doc.DeleteLayer(layer->name);
        return QCborValue();
    }
    ExpectArgs(args, 1);
    const QString spelled = layer->name;
    if (member == QLatin1String("put_Color")) {
        const qint64 color = IntegerArg(args, 0);
        if (color < 1 || color > 255)
            Fail(codes::kInvalidArgument, QStringLiteral("A layer colour is a number from 1 to 255."));
        doc.SetLayerColor(spelled, int(color));
    } else if (member == QLatin1String("put_Linetype")) {
        doc.SetLayerLinetype(spelled, StringArg(args, 0));
    } else if (member == QLatin1String("put_LayerOn")) {
        doc.SetLayerOn(spelled, BoolArg(args, 0));
    } else if (member == QLatin1String("put_Freeze")) {
        doc.SetLayerFrozen(spelled, BoolArg(args, 0));
    } else if (member == QLatin1String("put_Lock")) {
        doc.SetLayerLocked(spelled, BoolArg(args, 0));
    } else {
        NoMember(member);
    }
    return QCborValue();
}

QCborValue AutomationServer::InvokeLineTypes(Document& doc, const QString& member, const QCborArray& args)
{
    if (member == QLatin1String("Count")) {
        ExpectArgs(args, 0);
        return doc.Linetypes().Count();
    }
    if (member == QLatin1String("Item")) {
        ExpectArgs(args, 1);
        const qint64 index = IntegerArg(args, 0);
        if (index < 0 || index >= doc.Linetypes().Count())
            Fail(codes::kKeyNotFound, QStringLiteral("There is no line type %1.").arg(index));
        return doc.Linetypes().At(int(index)).name;
    }
    if (member == QLatin1String("Load")) {
        ExpectArgs(args, 2);
        doc.LoadLinetype(StringArg(args, 0), StringArg(args, 1));
        return QCborValue();
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeSelectionSets(Document& doc, const QString& member, const QCborArray& args)
{
    if (member == QLatin1String("Count")) {
        ExpectArgs(args, 0);
        return doc.SelectionSetCount();
    }
    ExpectArgs(args, 1);
    if (member == QLatin1String("Add"))
        return HandleOf(HandleKind::SelectionSet, doc, doc.AddSelectionSet(StringArg(args, 0)).Name());
    if (member == QLatin1String("Item")) {
        SelectionSet* set = args[0].isInteger() ? nullptr : doc.FindSelectionSet(StringArg(args, 0));
        if (args[0].isInteger()) {
            const qint64 index = args[0].toInteger();
            if (index < 0 || index >= doc.SelectionSetCount())
                Fail(codes::kKeyNotFound, QStringLiteral("There is no selection set %1.").arg(index));
            set = &doc.SelectionSetAt(int(index));
        }
        if (!set)
            Fail(codes::kKeyNotFound, QStringLiteral("There is no selection set \"%1\".").arg(args[0].toString()));
        return HandleOf(HandleKind::SelectionSet, doc, set->Name());
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeSelectionSet(Document& doc, const QString& name, const QString& member,
                                                const QCborArray& args)
{
    SelectionSet* set = doc.FindSelectionSet(name);
    if (!set)
        Fail(codes::kFailed, QStringLiteral("The selection set \"%1\" has been deleted.").arg(name));
    if (member == QLatin1String("Name")) {
        ExpectArgs(args, 0);
        return set->Name();
    }
    if (member == QLatin1String("count")) {
        ExpectArgs(args, 0);
        return set->Count();
    }
    if (member == QLatin1String("Item")) {
        ExpectArgs(args, 1);
        const qint64 index = IntegerArg(args, 0);
        if (index < 0 || index >= set->Count())
            Fail(codes::kKeyNotFound, QStringLiteral("There is no item %1 in the set.").arg(index));
        return HandleOf(HandleKind::Entity, doc, qint64(set->Item(int(index))));
    }
    if (member == QLatin1String("Erase")) {
        ExpectArgs(args, 0);
        set->Erase();
        return QCborValue();
    }
    if (member == QLatin1String("Delete")) {
        ExpectArgs(args, 0);
        doc.DeleteSelectionSet(set->Name());
        return QCborValue();
    }
    if (member == QLatin1String("Select")) {
        // mode, corner 1, corner 2, filter types, filter data; the filter may be left out.
        if (args.size() != 3 && args.size() != 5)
            Fail(codes::kInvalidArgument, QStringLiteral("Select takes a mode, two corners and a filter."));
        const qint64 mode = IntegerArg(args, 0);
        std::vector<FilterItem> filter;
        if (args.size() == 5) {
            if (!args[3].isArray() || !args[4].isArray() || args[3].toArray().size() != args[4].toArray().size())
                Fail(codes::kInvalidArgument, QStringLiteral("The filter types and data must be arrays of one length."));
            const QCborArray types = args[3].toArray();
            const QCborArray data = args[4].toArray();
            for (qsizetype i = 0; i < types.size(); ++i) {
                if (!types[i].isInteger())
                    Fail(codes::kInvalidArgument, QStringLiteral("A filter type is an integer group code."));
                FilterItem item;
                item.code = int(types[i].toInteger());
                item.value = data[i].isString() ? data[i].toString() : data[i].toVariant().toString();
                filter.push_back(item);
            }
        }
        set->Select(int(mode), OptionalPointArg(args, 1), OptionalPointArg(args, 2), filter);
        return QCborValue();
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeTextStyle(Document& doc, const QString& member, const QCborArray& args)
{
    if (member == QLatin1String("Name")) {
        ExpectArgs(args, 0);
        return doc.ActiveTextStyle().name;
    }
    if (member == QLatin1String("GetFont")) {
        ExpectArgs(args, 0);
        const FontDesc font = doc.GetFont();
        return QCborArray{font.typeface, font.bold, font.italic, font.charset, font.pitchAndFamily};
    }
    if (member == QLatin1String("SetFont")) {
        ExpectArgs(args, 5);
        FontDesc font;
        font.typeface = StringArg(args, 0);
        font.bold = BoolArg(args, 1);
        font.italic = BoolArg(args, 2);
        font.charset = int(IntegerArg(args, 3));
        font.pitchAndFamily = int(IntegerArg(args, 4));
        doc.SetFont(font);
        return QCborValue();
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeEntity(Document& doc, std::int64_t id, const QString& member, const QCborArray& args)
{
    const Entity* entity = doc.Find(id);
    if (!entity)
        Fail(codes::kFailed, QStringLiteral("The object %1 has been erased.").arg(id));
    if (member == QLatin1String("ObjectID")) {
        ExpectArgs(args, 0);
        return qint64(entity->id);
    }
    if (member == QLatin1String("ObjectName")) {
        ExpectArgs(args, 0);
        return ObjectNameOf(entity->kind);
    }
    if (member == QLatin1String("Layer")) {
        ExpectArgs(args, 0);
        return entity->layer;
    }
    if (member == QLatin1String("Update")) {
        ExpectArgs(args, 0);
        return QCborValue();
    }
    if (member == QLatin1String("Alignment")) {
        ExpectArgs(args, 0);
        return TextEntity(doc, id).alignment;
    }
    if (member == QLatin1String("TextAlignmentPoint")) {
        ExpectArgs(args, 0);
        return FromPoint(TextEntity(doc, id).alignmentPoint);
    }
    if (member == QLatin1String("Rotation")) {
        ExpectArgs(args, 0);
        return TextEntity(doc, id).rotation;
    }
    if (member == QLatin1String("Height")) {
        ExpectArgs(args, 0);
        return TextEntity(doc, id).height;
    }
    if (member == QLatin1String("TextString")) {
        ExpectArgs(args, 0);
        return TextEntity(doc, id).text;
    }
    ExpectArgs(args, 1);
    TextEntity(doc, id);
    if (member == QLatin1String("put_Alignment"))
        doc.SetTextAlignment(id, int(IntegerArg(args, 0)));
    else if (member == QLatin1String("put_TextAlignmentPoint"))
        doc.SetTextAlignmentPoint(id, PointArg(args, 0));
    else if (member == QLatin1String("put_Rotation"))
        doc.SetTextRotation(id, DoubleArg(args, 0));
    else if (member == QLatin1String("put_Height"))
        doc.SetTextHeight(id, DoubleArg(args, 0));
    else
        NoMember(member);
    return QCborValue();
}

QCborValue AutomationServer::RequestPoint(QLocalSocket* socket, const QCborValue& id, Document& doc, const QCborArray& args)
{
    ExpectArgs(args, 2);
    const std::optional<Point3> basePoint = OptionalPointArg(args, 0);
    const QString prompt = args[1].isString() ? args[1].toString() : QString();
    QPointer<QLocalSocket> caller(socket);
    auto token = std::make_shared<int>(0);
    const auto answer = [this, caller, id, token](const PointAnswer& point) {
        if (!caller || !m_connections.count(caller.data()))
            return;
        auto& tokens = m_connections[caller.data()]->pointTokens;
        tokens.erase(std::remove(tokens.begin(), tokens.end(), *token), tokens.end());
        Outcome outcome;
        switch (point.kind) {
        case PointAnswer::Kind::Point:
            outcome.result = FromPoint(point.point);
            break;
        case PointAnswer::Kind::Ended:
            outcome.error = codes::kInputEnded;
            outcome.text = QStringLiteral("The point input was ended.");
            break;
        case PointAnswer::Kind::Cancelled:
            outcome.error = codes::kCancelled;
            outcome.text = QStringLiteral("The point input was cancelled.");
            break;
        case PointAnswer::Kind::DocumentClosed:
            outcome.error = codes::kDisconnected;
            outcome.text = QStringLiteral("The drawing has been closed.");
            break;
        }
        SendReply(caller.data(), id, outcome);
    };
    *token = m_frontEnd.RequestPoint(doc, prompt, basePoint, answer);
    m_connections[socket]->pointTokens.push_back(*token);
    return QCborValue();
}

} // namespace cadhost
