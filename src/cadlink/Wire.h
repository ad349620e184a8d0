// The automation link's wire: length-prefixed CBOR messages over a local socket, the object
// handles they carry, and where the per-user sockets live. Both the client and the host speak it.
#pragma once

#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QString>
#include <QStringView>

#include "cadlink/Arguments.h"

class QIODevice;

namespace ardela::cad {

// Largest message either side accepts (prefix excluded); a longer prefix closes the connection.
constexpr std::uint32_t kMaxMessageSize = 16u * 1024u * 1024u;

// Keys of the request and reply maps.
namespace wire {
inline constexpr qint64 kId = 0;       // call id, chosen by the caller
inline constexpr qint64 kHandle = 1;   // object handle (request)
inline constexpr qint64 kMember = 2;   // member name (request)
inline constexpr qint64 kArgs = 3;     // argument array (request)
inline constexpr qint64 kResult = 4;   // result value (reply)
inline constexpr qint64 kError = 5;    // automation error code (reply)
inline constexpr qint64 kText = 6;     // error text (reply)
// Request: sent without waiting for its reply. The host carries out no such request after one
// of them failed, until the caller's next request that waits (which it carries out as usual).
inline constexpr qint64 kUnanswered = 7;
} // namespace wire

// What an object handle designates. A handle is the array [kind, document, key]: the document
// number is 0 for the application, the key an ObjectID, a layer or set name, or unused.
enum class HandleKind : qint64 {
    Application = 0,
    Documents = 1,
    Document = 2,
    ModelSpace = 3,
    Layers = 4,
    Layer = 5,
    LineTypes = 6,
    SelectionSets = 7,
    SelectionSet = 8,
    Utility = 9,
    TextStyle = 10,
    Entity = 11,
};

struct Handle {
    HandleKind kind = HandleKind::Application;
    qint64 document = 0;
    QCborValue key;

    QCborValue ToCbor() const;
    // nullopt when the value is not a well-formed handle.
    static std::optional<Handle> FromCbor(const QCborValue& value);
};

// Prefixes the encoded message with its length (4 bytes, big-endian).
QByteArray FrameMessage(const QCborMap& message);

// Appends the CBOR encoding of `value` to `out`, byte for byte as QCborValue::toCbor writes it
// (definite lengths, integers in their shortest form, doubles in eight bytes), without the
// stream writer and the device it writes through: the link encodes hundreds of thousands of
// messages a second.
void AppendCbor(QByteArray& out, const QCborValue& value);

// Appends a whole framed request to `out`: {kId: id, kHandle: handle, kMember: member, kArgs:
// args} and, for a request sent without waiting for its reply, kUnanswered: true. Reads back as
// FrameMessage of the same map.
void AppendRequest(QByteArray& out, qint64 id, const Handle& handle, QStringView member, const QCborArray& args,
                   bool unanswered);
// The framed request calling `member` of the object `handle` with `args`, under the call id `id`,
// answered (as AppendRequest writes it).
QByteArray FramedRequest(qint64 id, const Handle& handle, QStringView member, const QCborArray& args = {});

// A request read off its body: what the host carries out.
struct Request {
    qint64 id = 0;
    Handle handle;
    QString member;
    Arguments args;
    bool unanswered = false;
};

// Reads a request laid out as AppendRequest writes it straight off its body, without the general
// decoder: true when the body is exactly such a request, with every value one the reader knows
// (integers, ASCII texts, doubles of eight bytes, true, false, null, undefined and definite arrays
// of these). False for anything else, which is then left to QCborValue::fromCbor.
bool ReadRequest(QByteArrayView body, Request& request);

// Appends a framed reply, {kId: id, kResult: result} or {kId: id, kError: code, kText: text}: the
// bytes FrameMessage writes for the same map.
void AppendReply(QByteArray& out, const QCborValue& id, const QCborValue& result);
void AppendErrorReply(QByteArray& out, const QCborValue& id, std::uint32_t code, const QString& text);

// Reads whole messages off a buffer as they complete.
class MessageReader {
public:
    enum class Status { NeedMore, Message, Malformed, Oversized };
    // Appends what the device has to the buffer.
    void Feed(QIODevice& device);
    void Feed(const QByteArray& bytes);
    // Takes the next whole message out of the buffer. Malformed: the frame was whole but did not
    // hold a CBOR map (it is dropped, the stream stays in step). Oversized: the prefix announces
    // more than kMaxMessageSize (nothing more can be trusted).
    Status Next(QCborMap& message);
    // Takes the next whole frame out of the buffer without decoding it: Message with its body,
    // which stays valid until the next Feed; NeedMore or Oversized as Next.
    Status NextBody(QByteArrayView& body);

private:
    // Drops the messages already taken out (their bodies are no longer looked at).
    void DropRead();

    QByteArray m_buffer;
    qsizetype m_start = 0;
};

// The call id of a reply that reports success ({kId: id, kResult: ...}), read off its body without
// decoding the result: what a caller that sent the call without waiting needs of it. nullopt for
// any other body.
std::optional<qint64> SucceededCallId(QByteArrayView body);

// The per-user folder of the link sockets (mode 0700, made when missing): $XDG_RUNTIME_DIR (or
// the temporary folder) / "ardela-<uid>". Empty when it cannot be made private.
QString SocketFolder();
// The well-known name of the running host: SocketFolder()/cadhost.
QString WellKnownSocketPath();
// A fresh private name in the same folder, for a host started as a second instance.
QString PrivateSocketPath();

} // namespace ardela::cad
