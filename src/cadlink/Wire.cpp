// The automation link's wire: framing, handles and the per-user socket folder.
#include "cadlink/Wire.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QtEndian>
#include <QUuid>

namespace ardela::cad {

QCborValue Handle::ToCbor() const
{
    return QCborArray{static_cast<qint64>(kind), document, key};
}

std::optional<Handle> Handle::FromCbor(const QCborValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    const QCborArray parts = value.toArray();
    if (parts.size() != 3 || !parts[0].isInteger() || !parts[1].isInteger())
        return std::nullopt;
    const qint64 kind = parts[0].toInteger();
    if (kind < 0 || kind > static_cast<qint64>(HandleKind::Entity))
        return std::nullopt;
    Handle handle;
    handle.kind = static_cast<HandleKind>(kind);
    handle.document = parts[1].toInteger();
    handle.key = parts[2];
    return handle;
}

namespace {

// The head of a data item: its major type and its argument in the shortest form.
void AppendHead(QByteArray& out, unsigned major, quint64 argument)
{
    const char type = char(major << 5);
    char bytes[9];
    if (argument < 24) {
        out.append(char(type | char(argument)));
        return;
    }
    int size = 8;
    char info = 27;
    if (argument <= 0xFFu) {
        size = 1;
        info = 24;
    } else if (argument <= 0xFFFFu) {
        size = 2;
        info = 25;
    } else if (argument <= 0xFFFFFFFFu) {
        size = 4;
        info = 26;
    }
    bytes[0] = char(type | info);
    for (int i = 0; i < size; ++i)
        bytes[1 + i] = char(argument >> (8 * (size - 1 - i)));
    out.append(bytes, 1 + size);
}

void AppendInteger(QByteArray& out, qint64 value)
{
    if (value >= 0)
        AppendHead(out, 0, quint64(value));
    else
        AppendHead(out, 1, quint64(-(value + 1)));
}

void AppendText(QByteArray& out, QStringView text)
{
    // Member names are ASCII: their UTF-8 is their characters.
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            const QByteArray utf8 = text.toUtf8();
            AppendHead(out, 3, quint64(utf8.size()));
            out.append(utf8);
            return;
        }
    }
    AppendHead(out, 3, quint64(text.size()));
    for (const QChar c : text)
        out.append(char(c.unicode()));
}

// The frame's length prefix, written once the body after it is complete.
void CloseFrame(QByteArray& out, qsizetype frameStart)
{
    const auto length = static_cast<quint32>(out.size() - frameStart - 4);
    qToBigEndian<quint32>(length, out.data() + frameStart);
}

} // namespace

void AppendCbor(QByteArray& out, const QCborValue& value)
{
    switch (value.type()) {
    case QCborValue::Integer:
        AppendInteger(out, value.toInteger());
        return;
    case QCborValue::Double: {
        const double d = value.toDouble();
        quint64 bits;
        std::memcpy(&bits, &d, sizeof bits);
        char bytes[9];
        bytes[0] = char(0xFB);
        qToBigEndian<quint64>(bits, bytes + 1);
        out.append(bytes, 9);
        return;
    }
    case QCborValue::String:
        AppendText(out, value.toString());
        return;
    case QCborValue::ByteArray: {
        const QByteArray bytes = value.toByteArray();
        AppendHead(out, 2, quint64(bytes.size()));
        out.append(bytes);
        return;
    }
    case QCborValue::Array: {
        const QCborArray array = value.toArray();
        AppendHead(out, 4, quint64(array.size()));
        for (const QCborValue& item : array)
            AppendCbor(out, item);
        return;
    }
    case QCborValue::Map: {
        const QCborMap map = value.toMap();
        AppendHead(out, 5, quint64(map.size()));
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            AppendCbor(out, it.key());
            AppendCbor(out, it.value());
        }
        return;
    }
    case QCborValue::False:
        out.append(char(0xF4));
        return;
    case QCborValue::True:
        out.append(char(0xF5));
        return;
    case QCborValue::Null:
        out.append(char(0xF6));
        return;
    case QCborValue::Undefined:
        out.append(char(0xF7));
        return;
    default:
        // Tags, simple values and the extended types are rare on the link: Qt writes them.
        out.append(value.toCbor());
        return;
    }
}

QByteArray FrameMessage(const QCborMap& message)
{
    QByteArray framed(4, Qt::Uninitialized);
    AppendCbor(framed, QCborValue(message));
    CloseFrame(framed, 0);
    return framed;
}

void AppendRequest(QByteArray& out, qint64 id, const Handle& handle, QStringView member, const QCborArray& args,
                   bool unanswered)
{
    const qsizetype frameStart = out.size();
    out.append(4, '\0');
    AppendHead(out, 5, unanswered ? 5 : 4);
    AppendInteger(out, wire::kId);
    AppendInteger(out, id);
    AppendInteger(out, wire::kHandle);
    AppendHead(out, 4, 3);
    AppendInteger(out, static_cast<qint64>(handle.kind));
    AppendInteger(out, handle.document);
    AppendCbor(out, handle.key);
    AppendInteger(out, wire::kMember);
    AppendText(out, member);
    AppendInteger(out, wire::kArgs);
    AppendCbor(out, QCborValue(args));
    if (unanswered) {
        AppendInteger(out, wire::kUnanswered);
        out.append(char(0xF5));
    }
    CloseFrame(out, frameStart);
}

namespace {

// Opens the frame of a reply: its length prefix (filled in by CloseFrame), the head of a map of
// `entries` entries and the call id; answers where the frame starts.
qsizetype OpenReply(QByteArray& out, const QCborValue& id, quint64 entries)
{
    const qsizetype frameStart = out.size();
    out.append(4, '\0');
    AppendHead(out, 5, entries);
    AppendInteger(out, wire::kId);
    AppendCbor(out, id);
    return frameStart;
}

} // namespace

void AppendReply(QByteArray& out, const QCborValue& id, const QCborValue& result)
{
    const qsizetype frameStart = OpenReply(out, id, 2);
    AppendInteger(out, wire::kResult);
    AppendCbor(out, result);
    CloseFrame(out, frameStart);
}

void AppendErrorReply(QByteArray& out, const QCborValue& id, std::uint32_t code, const QString& text)
{
    const qsizetype frameStart = OpenReply(out, id, 3);
    AppendInteger(out, wire::kError);
    AppendInteger(out, qint64(code));
    AppendInteger(out, wire::kText);
    AppendText(out, text);
    CloseFrame(out, frameStart);
}

namespace {

// Reads the values of a request body that the link's encoder writes; any other item (a map, a
// byte string, a tag, a half or single float, an indefinite length, a text that is not ASCII, an
// integer beyond qint64) stops it, and the body goes to the general decoder.
class RequestReader {
public:
    explicit RequestReader(QByteArrayView body)
        : m_at(reinterpret_cast<const quint8*>(body.data())), m_end(m_at + body.size())
    {
    }

    bool AtEnd() const { return m_at == m_end; }

    // The one byte of a small key or a simple value.
    bool Byte(quint8 expected)
    {
        if (m_at == m_end || *m_at != expected)
            return false;
        ++m_at;
        return true;
    }

    bool Head(unsigned& major, unsigned& info, quint64& argument)
    {
        if (m_at == m_end)
            return false;
        const quint8 head = *m_at++;
        major = head >> 5;
        info = head & 0x1F;
        if (info < 24) {
            argument = info;
            return true;
        }
        if (info > 27)
            return false;
        const int size = 1 << (info - 24);
        if (m_end - m_at < size)
            return false;
        argument = 0;
        for (int i = 0; i < size; ++i)
            argument = (argument << 8) | m_at[i];
        m_at += size;
        return true;
    }

    bool Integer(qint64& value)
    {
        unsigned major = 0;
        unsigned info = 0;
        quint64 argument = 0;
        if (!Head(major, info, argument) || major > 1 || argument > quint64(std::numeric_limits<qint64>::max()))
            return false;
        value = major == 0 ? qint64(argument) : -1 - qint64(argument);
        return true;
    }

    bool Text(QString& text)
    {
        unsigned major = 0;
        unsigned info = 0;
        quint64 argument = 0;
        return Head(major, info, argument) && major == 3 && TextBody(argument, text);
    }

    // The arguments: a definite array read into the list.
    bool ArgumentArray(Arguments& list)
    {
        unsigned major = 0;
        unsigned info = 0;
        quint64 argument = 0;
        if (!Head(major, info, argument) || major != 4 || !CountFits(argument, 0))
            return false;
        list.Reset(qsizetype(argument));
        for (qsizetype i = 0; i < qsizetype(argument); ++i)
            if (!Value(list, i, 1))
                return false;
        return true;
    }

    // The value at `at` of the list, at the nesting `depth`.
    bool Value(Arguments& list, qsizetype at, int depth)
    {
        unsigned major = 0;
        unsigned info = 0;
        quint64 argument = 0;
        if (!Head(major, info, argument))
            return false;
        switch (major) {
        case 0:
        case 1:
            if (argument > quint64(std::numeric_limits<qint64>::max()))
                return false;
            list.SetInteger(at, major == 0 ? qint64(argument) : -1 - qint64(argument));
            return true;
        case 3: {
            if (!AsciiFits(argument))
                return false;
            list.SetText(at, QLatin1StringView(reinterpret_cast<const char*>(m_at), qsizetype(argument)));
            m_at += argument;
            return true;
        }
        case 4: {
            if (!CountFits(argument, depth))
                return false;
            // The items are made side by side before any of them is read: an array among them
            // takes its own items after these.
            const qsizetype first = list.AddItems(qsizetype(argument));
            list.SetArray(at, first, qsizetype(argument));
            for (qsizetype i = 0; i < qsizetype(argument); ++i)
                if (!Value(list, first + i, depth + 1))
                    return false;
            return true;
        }
        case 7:
            switch (info) {
            case 20:
                list.SetType(at, Arguments::Type::False);
                return true;
            case 21:
                list.SetType(at, Arguments::Type::True);
                return true;
            case 22:
                list.SetType(at, Arguments::Type::Null);
                return true;
            case 23:
                list.SetType(at, Arguments::Type::Undefined);
                return true;
            case 27: {
                double d;
                std::memcpy(&d, &argument, sizeof d);
                list.SetDouble(at, d);
                return true;
            }
            default:
                return false;
            }
        default:
            return false;
        }
    }

private:
    // An array of `count` items fits in what is left (every item takes a byte at least), and
    // is nested no deeper than points in lists: anything deeper is left to Qt.
    bool CountFits(quint64 count, int depth) const { return depth < 4 && quint64(m_end - m_at) >= count; }

    // A text of `size` bytes fits in what is left and is ASCII (its characters are its bytes).
    bool AsciiFits(quint64 size) const
    {
        if (quint64(m_end - m_at) < size)
            return false;
        for (quint64 i = 0; i < size; ++i)
            if (m_at[i] >= 0x80)
                return false;
        return true;
    }

    // Written into `text` in place: a text kept from the last request keeps its room.
    bool TextBody(quint64 size, QString& text)
    {
        if (!AsciiFits(size))
            return false;
        text.resize(qsizetype(size));
        QChar* out = text.data();
        for (quint64 i = 0; i < size; ++i)
            out[i] = QChar(char16_t(m_at[i]));
        m_at += size;
        return true;
    }

    const quint8* m_at;
    const quint8* m_end;
};

} // namespace

bool ReadRequest(QByteArrayView body, Request& request)
{
    RequestReader reader(body);
    const bool unanswered = !body.isEmpty() && quint8(body[0]) == 0xA5;
    if (!reader.Byte(unanswered ? 0xA5 : 0xA4))
        return false;
    qint64 kind = 0;
    if (!reader.Byte(wire::kId) || !reader.Integer(request.id) || !reader.Byte(wire::kHandle) || !reader.Byte(0x83)
        || !reader.Integer(kind) || kind < 0 || kind > static_cast<qint64>(HandleKind::Entity)
        || !reader.Integer(request.handle.document))
        return false;
    // The handle's key is read as a list of one value, taken out; the list then takes the
    // arguments.
    request.args.Reset(1);
    if (!reader.Value(request.args, 0, 1))
        return false;
    request.handle.key = request.args[0].ToCbor();
    request.handle.kind = static_cast<HandleKind>(kind);
    if (!reader.Byte(wire::kMember) || !reader.Text(request.member) || !reader.Byte(wire::kArgs)
        || !reader.ArgumentArray(request.args))
        return false;
    request.unanswered = false;
    if (unanswered) {
        if (!reader.Byte(wire::kUnanswered))
            return false;
        if (reader.Byte(0xF5))
            request.unanswered = true;
        else if (!reader.Byte(0xF4))
            return false;
    }
    return reader.AtEnd();
}

QByteArray FramedRequest(qint64 id, const Handle& handle, QStringView member, const QCborArray& args)
{
    QByteArray out;
    AppendRequest(out, id, handle, member, args, false);
    return out;
}

void MessageReader::Feed(QIODevice& device)
{
    // Read straight into the buffer, which keeps its room from one read to the next.
    const qint64 available = device.bytesAvailable();
    if (available <= 0) {
        Feed(device.readAll());
        return;
    }
    DropRead();
    const qsizetype filled = m_buffer.size();
    m_buffer.resize(filled + qsizetype(available));
    const qint64 got = device.read(m_buffer.data() + filled, available);
    m_buffer.resize(filled + qsizetype(std::max<qint64>(got, 0)));
}

void MessageReader::Feed(const QByteArray& bytes)
{
    DropRead();
    m_buffer.append(bytes);
}

void MessageReader::DropRead()
{
    // What was read is dropped here, never while a body taken out may still be looked at.
    if (m_start > 0 && m_start == m_buffer.size()) {
        m_buffer.resize(0);
        m_start = 0;
    } else if (m_start > 65536 && m_start * 2 > m_buffer.size()) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
}

MessageReader::Status MessageReader::NextBody(QByteArrayView& body)
{
    const qsizetype available = m_buffer.size() - m_start;
    if (available < 4)
        return Status::NeedMore;
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + m_start);
    if (length > kMaxMessageSize)
        return Status::Oversized;
    if (available < 4 + static_cast<qsizetype>(length))
        return Status::NeedMore;
    body = QByteArrayView(m_buffer.constData() + m_start + 4, qsizetype(length));
    m_start += 4 + length;
    return Status::Message;
}

MessageReader::Status MessageReader::Next(QCborMap& message)
{
    QByteArrayView body;
    const Status status = NextBody(body);
    if (status != Status::Message)
        return status;
    QCborParserError error;
    const QCborValue value = QCborValue::fromCbor(body.toByteArray(), &error);
    if (error.error != QCborError::NoError || !value.isMap())
        return Status::Malformed;
    message = value.toMap();
    return Status::Message;
}

std::optional<qint64> SucceededCallId(QByteArrayView body)
{
    // A map of two pairs (A2), key kId (00), the id as an integer, key kResult (04).
    if (body.size() < 4 || quint8(body[0]) != 0xA2 || body[1] != char(wire::kId))
        return std::nullopt;
    const auto head = quint8(body[2]);
    const unsigned major = head >> 5;
    const unsigned info = head & 0x1F;
    if (major > 1 || info > 27)
        return std::nullopt;
    qsizetype size = 0;
    quint64 argument = info;
    if (info >= 24) {
        size = qsizetype(1) << (info - 24);
        if (body.size() < 4 + size)
            return std::nullopt;
        argument = 0;
        for (qsizetype i = 0; i < size; ++i)
            argument = (argument << 8) | quint8(body[3 + i]);
    }
    if (body[3 + size] != char(wire::kResult) || argument > quint64(std::numeric_limits<qint64>::max()))
        return std::nullopt;
    return major == 0 ? qint64(argument) : -1 - qint64(argument);
}

QString SocketFolder()
{
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QDir(base).exists())
        base = QDir::tempPath();
    const QString folder = base + QStringLiteral("/ardela-cad-") + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    struct stat info {};
    // A folder planted by someone else, or a link to one, is never used.
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return QString();
    if ((info.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return QString();
    return folder;
}

QString WellKnownSocketPath()
{
    const QString folder = SocketFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/cadhost");
}

QString PrivateSocketPath()
{
    const QString folder = SocketFolder();
    if (folder.isEmpty())
        return QString();
    return folder + QStringLiteral("/cadhost-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

} // namespace ardela::cad
