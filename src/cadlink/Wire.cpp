// The automation link's wire: framing, handles and the per-user socket folder.
#include "cadlink/Wire.h"

#include <sys/stat.h>
#include <unistd.h>

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

QCborMap RequestMessage(qint64 id, const Handle& handle, const QString& member, const QCborArray& args)
{
    QCborMap request;
    request.insert(wire::kId, id);
    request.insert(wire::kHandle, handle.ToCbor());
    request.insert(wire::kMember, member);
    request.insert(wire::kArgs, args);
    return request;
}

QByteArray FrameMessage(const QCborMap& message)
{
    const QByteArray body = message.toCborValue().toCbor();
    QByteArray framed(4, Qt::Uninitialized);
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), framed.data());
    framed.append(body);
    return framed;
}

void MessageReader::Feed(QIODevice& device)
{
    Feed(device.readAll());
}

void MessageReader::Feed(const QByteArray& bytes)
{
    if (m_start > 0 && m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    }
    m_buffer.append(bytes);
}

MessageReader::Status MessageReader::Next(QCborMap& message)
{
    const qsizetype available = m_buffer.size() - m_start;
    if (available < 4)
        return Status::NeedMore;
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + m_start);
    if (length > kMaxMessageSize)
        return Status::Oversized;
    if (available < 4 + static_cast<qsizetype>(length))
        return Status::NeedMore;
    const QByteArray body = m_buffer.mid(m_start + 4, length);
    m_start += 4 + length;
    if (m_start > 65536 && m_start * 2 > m_buffer.size()) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
    QCborParserError error;
    const QCborValue value = QCborValue::fromCbor(body, &error);
    if (error.error != QCborError::NoError || !value.isMap())
        return Status::Malformed;
    message = value.toMap();
    return Status::Message;
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
