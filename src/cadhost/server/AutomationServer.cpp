// The automation server: wire handling, peer checks, and every member mapped onto the engine.
#include "cadhost/server/AutomationServer.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include "cadlink/ErrorCodes.h"
#include "cadlink/Members.h"
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
namespace members = ardela::cad::members;

struct AutomationServer::Connection {
    ardela::cad::MessageReader reader;
    std::vector<int> pointTokens;   // point requests of this caller still waiting
    bool unansweredFailed = false;  // a request sent without waiting failed: skip the rest of them
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

// The automation code of an engine failure.
std::uint32_t CodeOf(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::InvalidArgument:
        return codes::kInvalidArgument;
    case ErrorKind::Gone:
        return codes::kDisconnected;
    case ErrorKind::Refused:
    default:
        return codes::kEngineRefused;
    }
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

// A selection filter given as its group codes and its values, two arrays of one length.
std::vector<FilterItem> FilterArgs(const QCborValue& typesArg, const QCborValue& dataArg)
{
    if (!typesArg.isArray() || !dataArg.isArray() || typesArg.toArray().size() != dataArg.toArray().size())
        Fail(codes::kInvalidArgument, QStringLiteral("The filter types and data must be arrays of one length."));
    const QCborArray types = typesArg.toArray();
    const QCborArray data = dataArg.toArray();
    std::vector<FilterItem> filter;
    for (qsizetype i = 0; i < types.size(); ++i) {
        if (!types[i].isInteger())
            Fail(codes::kInvalidArgument, QStringLiteral("A filter type is an integer group code."));
        FilterItem item;
        item.code = int(types[i].toInteger());
        item.value = data[i].isString() ? data[i].toString() : data[i].toVariant().toString();
        filter.push_back(item);
    }
    return filter;
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
    : QObject(parent), m_frontEnd(frontEnd), m_connectionCap(ConnectionCap())
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
    for (const auto& listener : m_listeners) {
        delete listener->notifier;
        ::close(listener->fd);
        // The name goes with the host, unless another host has taken it meanwhile.
        struct stat info {};
        if (::lstat(listener->path.constData(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_ino == listener->inode)
            ::unlink(listener->path.constData());
    }
    for (auto& [socket, connection] : m_connections)
        for (int token : connection->pointTokens)
            m_frontEnd.AbandonPoint(token);
}

bool AutomationServer::Listen(const QString& socketPath, QString* why)
{
    const auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (socketPath.isEmpty())
        return refuse(QStringLiteral("no socket name was given."));
    // A name without a folder is a socket in the temporary folder, as the local server makes it.
    const QString fullPath = QDir::isAbsolutePath(socketPath) ? socketPath : QDir(QDir::tempPath()).filePath(socketPath);
    const QByteArray native = QFile::encodeName(fullPath);
    struct stat info {};
    if (::lstat(native.constData(), &info) == 0) {
        // Only a socket of this user may be taken over; any other file stays as it is.
        if (!S_ISSOCK(info.st_mode))
            return refuse(QStringLiteral("\"%1\" exists and is not a socket; it is left as it is.").arg(fullPath));
        if (info.st_uid != ::getuid())
            return refuse(QStringLiteral("\"%1\" is a socket of another user.").arg(fullPath));
        // A socket someone still answers on is theirs, not a stale one.
        QLocalSocket probe;
        probe.connectToServer(fullPath);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            return refuse(QStringLiteral("a drawing host already answers on \"%1\".").arg(fullPath));
        }
        ::unlink(native.constData());
    } else if (errno != ENOENT) {
        return refuse(QStringLiteral("\"%1\" cannot be looked at: %2").arg(fullPath, QString::fromLocal8Bit(std::strerror(errno))));
    }
    // The listening socket is our own, not a QLocalServer's: when accepting fails for want of
    // file descriptors, QLocalServer closes for good and removes the socket file.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (fd < 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (size_t(native.size()) >= sizeof address.sun_path) {
        ::close(fd);
        return refuse(QStringLiteral("the socket name \"%1\" is too long.").arg(fullPath));
    }
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    // Only this user may connect: the socket file is made srwx------.
    const mode_t oldMask = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int bindError = errno;
    ::umask(oldMask);
    if (!bound || ::listen(fd, 64) != 0) {
        const int error = bound ? errno : bindError;
        ::close(fd);
        return refuse(QString::fromLocal8Bit(std::strerror(error)));
    }
    struct stat made {};
    auto listener = std::make_unique<Listener>();
    listener->fd = fd;
    listener->path = native;
    if (::lstat(native.constData(), &made) == 0)
        listener->inode = made.st_ino;
    listener->notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    Listener* raw = listener.get();
    connect(listener->notifier, &QSocketNotifier::activated, this, [this, raw] { AcceptConnections(*raw); });
    m_listeners.push_back(std::move(listener));
    return true;
}

int AutomationServer::ConnectionCap()
{
    // Each caller holds one descriptor; the host keeps room for its drawings, its window and
    // the callers it refuses (each is accepted, told and closed).
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMaxConnections;
    const long long room = (static_cast<long long>(limit.rlim_cur) - 32) / 2;
    return int(std::clamp<long long>(room, 1, kMaxConnections));
}

void AutomationServer::AcceptConnections(Listener& listener)
{
    for (;;) {
        const int fd = ::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: stop looking for a moment instead of spinning; the
                // callers wait in the backlog meanwhile.
                listener.notifier->setEnabled(false);
                QPointer<QSocketNotifier> notifier(listener.notifier);
                QTimer::singleShot(100, this, [notifier] {
                    if (notifier)
                        notifier->setEnabled(true);
                });
            }
            return;
        }
        if (int(m_connections.size()) >= m_connectionCap) {
            // Refused plainly: one reply saying why, then the connection closes.
            Outcome outcome;
            outcome.error = codes::kHostFailed;
            outcome.text = QStringLiteral("The drawing host already serves %1 callers.").arg(m_connectionCap);
            QCborMap reply;
            reply.insert(wire::kId, QCborValue(QCborValue::Null));
            reply.insert(wire::kError, qint64(outcome.error));
            reply.insert(wire::kText, outcome.text);
            const QByteArray framed = ardela::cad::FrameMessage(reply);
            [[maybe_unused]] const ssize_t written = ::send(fd, framed.constData(), size_t(framed.size()), MSG_NOSIGNAL);
            ::close(fd);
            continue;
        }
        auto* socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(fd, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
            ::close(fd);
            delete socket;
            continue;
        }
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
            // Calls sent without waiting run in order; after the first of them fails, the rest
            // are not carried out (nothing is drawn after a failure), until a call that waits.
            const bool unanswered = request.value(wire::kUnanswered).toBool();
            Connection& caller = *m_connections.at(socket);
            if (unanswered && caller.unansweredFailed) {
                Outcome skipped;
                skipped.error = codes::kHostFailed;
                skipped.text = QStringLiteral("Not carried out: an earlier call failed.");
                SendReply(socket, id, skipped);
                if (!m_connections.count(socket))
                    return;
                break;
            }
            caller.unansweredFailed = false;
            const Outcome outcome = Dispatch(socket, id, request);
            if (unanswered && outcome.error != 0 && m_connections.count(socket))
                m_connections.at(socket)->unansweredFailed = true;
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
        outcome.error = CodeOf(error.Kind());
        outcome.text = error.Message();
    } catch (const std::exception& error) {
        outcome.error = codes::kHostFailed;
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
    // Each call is one step the engineer can undo (Close ends the document itself).
    std::optional<Document::Step> step;
    if (!(handle.kind == HandleKind::Document && member == members::kClose))
        step.emplace(doc);
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
        if (member == members::kSelectOnScreen) {
            RequestSelection(socket, id, doc, handle.key.toString(), args);
            deferred = true;
            return QCborValue();
        }
        return InvokeSelectionSet(doc, handle.key.toString(), member, args);
    case HandleKind::Utility:
        if (member == members::kGetPoint) {
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
    if (member == members::kName) {
        ExpectArgs(args, 0);
        return QStringLiteral("cadhost");
    }
    if (member == members::kActiveDocument) {
        ExpectArgs(args, 0);
        Document* active = m_frontEnd.Documents().Active();
        if (!active)
            Fail(codes::kHostFailed, QStringLiteral("No drawing is open."));
        return HandleOf(HandleKind::Document, *active);
    }
    if (member == members::kDocuments) {
        ExpectArgs(args, 0);
        return Handle{HandleKind::Documents, 0, QCborValue()}.ToCbor();
    }
    if (member == members::kVisible) {
        ExpectArgs(args, 0);
        return m_frontEnd.IsVisible();
    }
    if (member == members::kPutVisible) {
        ExpectArgs(args, 1);
        m_frontEnd.SetVisible(BoolArg(args, 0));
        return QCborValue();
    }
    if (member == members::kQuit) {
        ExpectArgs(args, 0);
        // The reply leaves first; the host ends once the event loop is back.
        QTimer::singleShot(0, this, [this] {
            for (auto& [socket, connection] : m_connections)
                socket->flush();
            m_frontEnd.Quit();
        });
        return QCborValue();
    }
    if (member == members::kProcessId) {
        ExpectArgs(args, 0);
        return qint64(::getpid());
    }
    if (member == members::kRootWindow) {
        ExpectArgs(args, 1);
        return qint64(m_frontEnd.RootWindow(std::uint64_t(IntegerArg(args, 0))));
    }
    if (member == members::kActivateWindow) {
        ExpectArgs(args, 1);
        m_frontEnd.ActivateWindow(std::uint64_t(IntegerArg(args, 0)));
        return QCborValue();
    }
    if (member == members::kPointPending && m_testingAids) {
        // Testing aid: whether a point request waits for input.
        ExpectArgs(args, 0);
        return m_frontEnd.PointPending();
    }
    if (member == members::kSimulateInput && m_testingAids) {
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
    if (member == members::kCount) {
        ExpectArgs(args, 0);
        return m_frontEnd.Documents().Count();
    }
    if (member == members::kItem) {
        ExpectArgs(args, 1);
        const qint64 index = IntegerArg(args, 0);
        if (index < 0 || index >= m_frontEnd.Documents().Count())
            Fail(codes::kKeyNotFound, QStringLiteral("There is no drawing %1.").arg(index));
        return HandleOf(HandleKind::Document, m_frontEnd.Documents().Item(int(index)));
    }
    if (member == members::kAdd) {
        ExpectArgs(args, 0);
        return HandleOf(HandleKind::Document, m_frontEnd.AddDocument());
    }
    if (member == members::kOpen) {
        ExpectArgs(args, 1);
        return HandleOf(HandleKind::Document, m_frontEnd.OpenDocument(StringArg(args, 0)));
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeDocument(Document& doc, const QString& member, const QCborArray& args)
{
    static const std::map<QString, HandleKind> parts{
        {QString(members::kModelSpace), HandleKind::ModelSpace},
        {QString(members::kLayers), HandleKind::Layers},
        {QString(members::kActiveTextStyle), HandleKind::TextStyle},
        {QString(members::kSelectionSets), HandleKind::SelectionSets},
        {QString(members::kUtility), HandleKind::Utility},
        {QString(members::kLineTypes), HandleKind::LineTypes},
    };
    if (const auto part = parts.find(member); part != parts.end()) {
        ExpectArgs(args, 0);
        return HandleOf(part->second, doc);
    }
    if (member == members::kName) {
        ExpectArgs(args, 0);
        return doc.Name();
    }
    if (member == members::kFullName) {
        ExpectArgs(args, 0);
        return doc.FullName();
    }
    if (member == members::kSaved) {
        ExpectArgs(args, 0);
        return doc.Saved();
    }
    if (member == members::kHWnd) {
        ExpectArgs(args, 0);
        return qint64(m_frontEnd.DocumentWindow(doc));
    }
    if (member == members::kActiveLayer) {
        ExpectArgs(args, 0);
        return HandleOf(HandleKind::Layer, doc, doc.ActiveLayer());
    }
    if (member == members::kPutActiveLayer) {
        ExpectArgs(args, 1);
        const std::optional<Handle> layer = Handle::FromCbor(args[0]);
        if (!layer || layer->kind != HandleKind::Layer || !layer->key.isString() || layer->document != NumberOf(doc))
            Fail(codes::kInvalidArgument, QStringLiteral("The active layer must be a layer of this drawing."));
        doc.SetActiveLayer(layer->key.toString());
        return QCborValue();
    }
    if (member == members::kSetVariable) {
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
    if (member == members::kGetVariable) {
        ExpectArgs(args, 1);
        const QVariant value = doc.GetVariable(StringArg(args, 0));
        if (value.typeId() == QMetaType::Double)
            return value.toDouble();
        if (value.typeId() == QMetaType::QString)
            return value.toString();
        return qint64(value.toLongLong());
    }
    if (member == members::kRegen) {
        ExpectArgs(args, 1);
        IntegerArg(args, 0);
        m_frontEnd.Regen(doc);
        return QCborValue();
    }
    if (member == members::kSave || member == members::kSaveAs) {
        ExpectArgs(args, member == members::kSave ? 0 : 1);
        const QString leftOut = doc.LeftOut();
        if (member == members::kSave)
            SaveDocument(doc);
        else
            SaveDocument(doc, StringArg(args, 0));
        // No one can be asked for a call of the link: the engineer is told instead.
        if (!leftOut.isEmpty()) {
            m_frontEnd.Note(QStringLiteral("%1 was saved without what this program does not keep: %2.").arg(doc.Name(), leftOut));
            doc.SetLeftOut(QString());
        }
        return QCborValue();
    }
    if (member == members::kClose) {
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
    if (member == members::kAddLine) {
        ExpectArgs(args, 2);
        return entity(doc.AddLine(PointArg(args, 0), PointArg(args, 1)));
    }
    if (member == members::kAddText) {
        ExpectArgs(args, 3);
        return entity(doc.AddText(StringArg(args, 0), PointArg(args, 1), DoubleArg(args, 2)));
    }
    if (member == members::kAddPoint) {
        ExpectArgs(args, 1);
        return entity(doc.AddPoint(PointArg(args, 0)));
    }
    if (member == members::kAddPolyline) {
        ExpectArgs(args, 1);
        return entity(doc.AddPolyline(DoublesArg(args, 0)));
    }
    if (member == members::kAddLightWeightPolyline) {
        ExpectArgs(args, 1);
        return entity(doc.AddLightWeightPolyline(DoublesArg(args, 0)));
    }
    if (member == members::kAddSolid) {
        ExpectArgs(args, 4);
        return entity(doc.AddSolid(PointArg(args, 0), PointArg(args, 1), PointArg(args, 2), PointArg(args, 3)));
    }
    if (member == members::kCount) {
        ExpectArgs(args, 0);
        return qint64(doc.EntityCount());
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeLayers(Document& doc, const QString& member, const QCborArray& args)
{
    const auto layer = [&](const QString& name) { return HandleOf(HandleKind::Layer, doc, name); };
    if (member == members::kCount) {
        ExpectArgs(args, 0);
        return doc.Layers().Count();
    }
    if (member == members::kItem) {
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
    if (member == members::kAdd) {
        ExpectArgs(args, 1);
        return layer(doc.AddLayer(StringArg(args, 0)).name);
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeLayer(Document& doc, const QString& name, const QString& member, const QCborArray& args)
{
    const Layer* layer = doc.Layers().Find(name);
    if (!layer)
        Fail(codes::kHostFailed, QStringLiteral("The layer \"%1\" has been deleted.").arg(name));
    if (member == members::kName) {
        ExpectArgs(args, 0);
        return layer->name;
    }
    if (member == members::kColor) {
        ExpectArgs(args, 0);
        return layer->color;
    }
    if (member == members::kLinetype) {
        ExpectArgs(args, 0);
        return layer->linetype;
    }
    if (member == members::kLayerOn) {
        ExpectArgs(args, 0);
        return layer->on;
    }
    if (member == members::kFreeze) {
        ExpectArgs(args, 0);
        return layer->frozen;
    }
    if (member == members::kLock) {
        ExpectArgs(args, 0);
        return layer->locked;
    }
    if (member == members::kDelete) {
        ExpectArgs(args, 0);
        doc.DeleteLayer(layer->name);
        return QCborValue();
    }
    ExpectArgs(args, 1);
    const QString spelled = layer->name;
    if (member == members::kPutColor) {
        const qint64 color = IntegerArg(args, 0);
        if (color < 1 || color > 255)
            Fail(codes::kInvalidArgument, QStringLiteral("A layer colour is a number from 1 to 255."));
        doc.SetLayerColor(spelled, int(color));
    } else if (member == members::kPutLinetype) {
        doc.SetLayerLinetype(spelled, StringArg(args, 0));
    } else if (member == members::kPutLayerOn) {
        doc.SetLayerOn(spelled, BoolArg(args, 0));
    } else if (member == members::kPutFreeze) {
        doc.SetLayerFrozen(spelled, BoolArg(args, 0));
    } else if (member == members::kPutLock) {
        doc.SetLayerLocked(spelled, BoolArg(args, 0));
    } else {
        NoMember(member);
    }
    return QCborValue();
}

QCborValue AutomationServer::InvokeLineTypes(Document& doc, const QString& member, const QCborArray& args)
{
    if (member == members::kCount) {
        ExpectArgs(args, 0);
        return doc.Linetypes().Count();
    }
    if (member == members::kItem) {
        ExpectArgs(args, 1);
        const qint64 index = IntegerArg(args, 0);
        if (index < 0 || index >= doc.Linetypes().Count())
            Fail(codes::kKeyNotFound, QStringLiteral("There is no line type %1.").arg(index));
        return doc.Linetypes().At(int(index)).name;
    }
    if (member == members::kLoad) {
        ExpectArgs(args, 2);
        doc.LoadLinetype(StringArg(args, 0), StringArg(args, 1));
        return QCborValue();
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeSelectionSets(Document& doc, const QString& member, const QCborArray& args)
{
    if (member == members::kCount) {
        ExpectArgs(args, 0);
        return doc.SelectionSetCount();
    }
    ExpectArgs(args, 1);
    if (member == members::kAdd)
        return HandleOf(HandleKind::SelectionSet, doc, doc.AddSelectionSet(StringArg(args, 0)).Name());
    if (member == members::kItem) {
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
        Fail(codes::kHostFailed, QStringLiteral("The selection set \"%1\" has been deleted.").arg(name));
    if (member == members::kName) {
        ExpectArgs(args, 0);
        return set->Name();
    }
    if (member == members::kSetCount) {
        ExpectArgs(args, 0);
        return set->Count();
    }
    if (member == members::kItem) {
        ExpectArgs(args, 1);
        const qint64 index = IntegerArg(args, 0);
        if (index < 0 || index >= set->Count())
            Fail(codes::kKeyNotFound, QStringLiteral("There is no item %1 in the set.").arg(index));
        return HandleOf(HandleKind::Entity, doc, qint64(set->Item(int(index))));
    }
    if (member == members::kErase) {
        ExpectArgs(args, 0);
        set->Erase();
        return QCborValue();
    }
    if (member == members::kDelete) {
        ExpectArgs(args, 0);
        doc.DeleteSelectionSet(set->Name());
        return QCborValue();
    }
    if (member == members::kSelect) {
        // mode, corner 1, corner 2, filter types, filter data; the filter may be left out.
        if (args.size() != 3 && args.size() != 5)
            Fail(codes::kInvalidArgument, QStringLiteral("Select takes a mode, two corners and a filter."));
        const qint64 mode = IntegerArg(args, 0);
        const std::vector<FilterItem> filter = args.size() == 5 ? FilterArgs(args[3], args[4]) : std::vector<FilterItem>{};
        set->Select(int(mode), OptionalPointArg(args, 1), OptionalPointArg(args, 2), filter);
        return QCborValue();
    }
    NoMember(member);
}

QCborValue AutomationServer::InvokeTextStyle(Document& doc, const QString& member, const QCborArray& args)
{
    if (member == members::kName) {
        ExpectArgs(args, 0);
        return doc.ActiveTextStyle().name;
    }
    if (member == members::kGetFont) {
        ExpectArgs(args, 0);
        const FontDesc font = doc.GetFont();
        return QCborArray{font.typeface, font.bold, font.italic, font.charset, font.pitchAndFamily};
    }
    if (member == members::kSetFont) {
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
        Fail(codes::kHostFailed, QStringLiteral("The object %1 has been erased.").arg(id));
    if (member == members::kObjectID) {
        ExpectArgs(args, 0);
        return qint64(entity->id);
    }
    if (member == members::kObjectName) {
        ExpectArgs(args, 0);
        return ObjectNameOf(entity->kind);
    }
    if (member == members::kLayer) {
        ExpectArgs(args, 0);
        return entity->layer;
    }
    if (member == members::kUpdate) {
        ExpectArgs(args, 0);
        return QCborValue();
    }
    if (member == members::kAlignment) {
        ExpectArgs(args, 0);
        return TextEntity(doc, id).alignment;
    }
    if (member == members::kTextAlignmentPoint) {
        ExpectArgs(args, 0);
        return FromPoint(TextEntity(doc, id).alignmentPoint);
    }
    if (member == members::kRotation) {
        ExpectArgs(args, 0);
        return TextEntity(doc, id).rotation;
    }
    if (member == members::kHeight) {
        ExpectArgs(args, 0);
        return TextEntity(doc, id).height;
    }
    if (member == members::kTextString) {
        ExpectArgs(args, 0);
        return TextEntity(doc, id).text;
    }
    const bool polyline = entity->kind == EntityKind::LwPolyline || entity->kind == EntityKind::Polyline3d;
    if (member == members::kStartPoint || member == members::kEndPoint) {
        ExpectArgs(args, 0);
        if (entity->kind != EntityKind::Line)
            Fail(codes::kMemberNotFound, QStringLiteral("Only a line has this member."));
        return FromPoint(entity->points[member == members::kStartPoint ? 0 : 1]);
    }
    if (member == members::kCoordinates || member == members::kClosed) {
        ExpectArgs(args, 0);
        if (!polyline)
            Fail(codes::kMemberNotFound, QStringLiteral("Only a polyline has this member."));
        if (member == members::kClosed)
            return entity->closed;
        // Two doubles per vertex for a lightweight polyline, three for the others.
        QCborArray xy;
        for (const Point3& p : entity->points) {
            xy.append(p.x);
            xy.append(p.y);
            if (entity->kind == EntityKind::Polyline3d)
                xy.append(p.z);
        }
        return xy;
    }
    ExpectArgs(args, 1);
    TextEntity(doc, id);
    if (member == members::kPutAlignment)
        doc.SetTextAlignment(id, int(IntegerArg(args, 0)));
    else if (member == members::kPutTextAlignmentPoint)
        doc.SetTextAlignmentPoint(id, PointArg(args, 0));
    else if (member == members::kPutRotation)
        doc.SetTextRotation(id, DoubleArg(args, 0));
    else if (member == members::kPutHeight)
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

namespace {
const QString kSnapVariable = QStringLiteral("OSMODE");
} // namespace

void AutomationServer::RequestSelection(QLocalSocket* socket, const QCborValue& id, Document& doc, const QString& setName,
                                        const QCborArray& args)
{
    // Filter types, filter data and the prompt; each may be left out from the end.
    if (args.size() > 3 || args.size() == 1)
        Fail(codes::kInvalidArgument, QStringLiteral("SelectOnScreen takes a filter (types and data) and a prompt."));
    const std::vector<FilterItem> filter = args.size() >= 2 ? FilterArgs(args[0], args[1]) : std::vector<FilterItem>{};
    SelectionFilter{filter};  // a filter the engine refuses fails the call now
    const QString prompt = args.size() == 3 && args[2].isString() && !args[2].toString().isEmpty()
                               ? args[2].toString()
                               : QStringLiteral("Select objects:");

    // One window at a time: a first corner, then the other (to its right: window, to its left:
    // crossing); the engineer ends with Enter or the right button, Escape cancels.
    struct Selecting {
        QPointer<QLocalSocket> caller;
        QCborValue id;
        Document* doc = nullptr;
        QString setName;
        std::vector<FilterItem> filter;
        QString prompt;
        int token = 0;
        QVariant snap;  // the running object snap, off while corners are given
        std::function<void(const std::optional<Point3>&)> ask;
    };
    auto state = std::make_shared<Selecting>(
        Selecting{QPointer<QLocalSocket>(socket), id, &doc, setName, filter, prompt, 0, doc.GetVariable(kSnapVariable), {}});
    doc.SetVariable(kSnapVariable, 0);
    // `doc` is null when the drawing has been closed meanwhile.
    const auto finish = [this, state](const Outcome& outcome, Document* doc) {
        state->ask = nullptr;  // ends the cycle between the state and its request
        if (doc)
            doc->SetVariable(kSnapVariable, state->snap);
        if (state->caller && m_connections.count(state->caller.data()))
            SendReply(state->caller.data(), state->id, outcome);
    };
    std::weak_ptr<Selecting> weak = state;
    state->ask = [this, weak, finish](const std::optional<Point3>& firstCorner) {
        std::shared_ptr<Selecting> s = weak.lock();
        if (!s)
            return;
        const auto answer = [this, s, firstCorner, finish](const PointAnswer& point) {
            Document* doc = point.kind == PointAnswer::Kind::DocumentClosed ? nullptr : s->doc;
            if (!s->caller || !m_connections.count(s->caller.data())) {
                finish(Outcome{}, doc);
                return;
            }
            auto& tokens = m_connections[s->caller.data()]->pointTokens;
            tokens.erase(std::remove(tokens.begin(), tokens.end(), s->token), tokens.end());
            Outcome outcome;
            SelectionSet* set = doc ? doc->FindSelectionSet(s->setName) : nullptr;
            switch (point.kind) {
            case PointAnswer::Kind::Point:
                if (!set)
                    break;
                if (!firstCorner) {
                    s->ask(point.point);
                    return;
                }
                try {
                    const int before = set->Count();
                    set->Select(point.point.x >= firstCorner->x ? kSelectWindow : kSelectCrossing, *firstCorner, point.point,
                                s->filter);
                    m_frontEnd.Note(QStringLiteral("%1 found, %2 selected.").arg(set->Count() - before).arg(set->Count()));
                } catch (const EngineError& error) {
                    outcome.error = CodeOf(error.Kind());
                    outcome.text = error.Message();
                    finish(outcome, doc);
                    return;
                }
                s->ask(std::nullopt);
                return;
            case PointAnswer::Kind::Ended:
                if (set)
                    outcome.result = set->Count();
                break;
            case PointAnswer::Kind::Cancelled:
                outcome.error = codes::kCancelled;
                outcome.text = QStringLiteral("The selection was cancelled.");
                finish(outcome, doc);
                return;
            case PointAnswer::Kind::DocumentClosed:
                outcome.error = codes::kDisconnected;
                outcome.text = QStringLiteral("The drawing has been closed.");
                finish(outcome, doc);
                return;
            }
            if (!set) {
                outcome.error = codes::kHostFailed;
                outcome.text = QStringLiteral("The selection set \"%1\" has been deleted.").arg(s->setName);
            }
            finish(outcome, doc);
        };
        const QString prompt = firstCorner ? QStringLiteral("Other corner (to the right: window, to the left: crossing):")
                                           : s->prompt;
        s->token = m_frontEnd.RequestPoint(*s->doc, prompt, firstCorner, answer);
        m_connections[s->caller.data()]->pointTokens.push_back(s->token);
    };
    state->ask(std::nullopt);
}

} // namespace cadhost
