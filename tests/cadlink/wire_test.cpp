// Guards the link's wire against: messages read before they are whole, frames run together or
// split, a malformed frame throwing the stream out of step, oversized lengths being trusted,
// handles of the wrong shape accepted, a socket folder others can open, the quick encoder
// writing other bytes than Qt's own, and an error reply taken for a success.
#include <sys/stat.h>

#include <cmath>
#include <limits>

#include <QCborArray>
#include <QCborMap>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cadlink/Wire.h"
#include "support/TestSupport.h"

using namespace ardela::cad;
using ardela::test::ScopedEnv;

namespace {

// {0: 7} laid out by hand: map of one pair (A1), key 0 (00), value 7 (07), after a 4-byte length.
const QByteArray kIdSeven = QByteArray::fromHex("00000003" "a1" "00" "07");
// {0: 8, 2: "Name"}: map of two pairs, key 2, text of 4 bytes.
const QByteArray kIdEightName = QByteArray::fromHex("00000009" "a2" "0008" "02" "644e616d65");

int ModeOf(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

} // namespace

TEST(WireFraming, FrameMatchesTheHandLaidLayout)
{
    QCborMap message;
    message.insert(wire::kId, 7);
    EXPECT_EQ(FrameMessage(message), kIdSeven);
}

TEST(WireFraming, MessageIsReadOnlyOnceWhole)
{
    MessageReader reader;
    QCborMap message;
    for (qsizetype i = 0; i + 1 < kIdEightName.size(); ++i) {
        reader.Feed(kIdEightName.mid(i, 1));
        ASSERT_EQ(reader.Next(message), MessageReader::Status::NeedMore) << "after byte " << i;
    }
    reader.Feed(kIdEightName.right(1));
    ASSERT_EQ(reader.Next(message), MessageReader::Status::Message);
    EXPECT_EQ(message.value(wire::kId).toInteger(), 8);
    EXPECT_EQ(message.value(wire::kMember).toString(), QStringLiteral("Name"));
    EXPECT_EQ(reader.Next(message), MessageReader::Status::NeedMore);
}

TEST(WireFraming, SeveralMessagesInOneChunkComeOutInOrder)
{
    MessageReader reader;
    reader.Feed(kIdSeven + kIdEightName + kIdSeven.left(5));
    QCborMap message;
    ASSERT_EQ(reader.Next(message), MessageReader::Status::Message);
    EXPECT_EQ(message.value(wire::kId).toInteger(), 7);
    ASSERT_EQ(reader.Next(message), MessageReader::Status::Message);
    EXPECT_EQ(message.value(wire::kId).toInteger(), 8);
    EXPECT_EQ(reader.Next(message), MessageReader::Status::NeedMore);
    reader.Feed(kIdSeven.mid(5));
    ASSERT_EQ(reader.Next(message), MessageReader::Status::Message);
    EXPECT_EQ(message.value(wire::kId).toInteger(), 7);
}

TEST(WireFraming, MalformedFrameIsDroppedAndTheStreamStaysInStep)
{
    MessageReader reader;
    // A frame of two bytes that are no CBOR item (a break code out of place, a reserved byte),
    // then a text that is valid CBOR but not a map, then a good message.
    reader.Feed(QByteArray::fromHex("00000002" "fffc") + QByteArray::fromHex("00000002" "6141") + kIdSeven);
    QCborMap message;
    EXPECT_EQ(reader.Next(message), MessageReader::Status::Malformed);
    EXPECT_EQ(reader.Next(message), MessageReader::Status::Malformed);
    ASSERT_EQ(reader.Next(message), MessageReader::Status::Message);
    EXPECT_EQ(message.value(wire::kId).toInteger(), 7);
}

TEST(WireFraming, LengthBeyondTheLimitIsRefusedBeforeAnyBodyArrives)
{
    MessageReader reader;
    reader.Feed(QByteArray::fromHex("01000001"));
    QCborMap message;
    EXPECT_EQ(reader.Next(message), MessageReader::Status::Oversized);

    MessageReader atLimit;
    atLimit.Feed(QByteArray::fromHex("01000000"));
    EXPECT_EQ(atLimit.Next(message), MessageReader::Status::NeedMore);
}

TEST(WireEncoding, EveryKindOfValueIsWrittenAsQtWritesIt)
{
    const qint64 big = std::numeric_limits<qint64>::max();
    const qint64 least = std::numeric_limits<qint64>::min();
    QCborMap nested;
    nested.insert(QStringLiteral("layer"), QStringLiteral("Vendel_Plus"));
    nested.insert(-3, QCborArray{1.5, QCborValue(QCborValue::Null)});
    const QCborValue values[] = {
        0, 23, 24, 255, 256, 65535, 65536, qint64(4294967295), qint64(4294967296), big,
        -1, -24, -25, -256, -257, -65537, least,
        0.0, -0.0, 1.0 / 3.0, 1e300, -2.5, std::numeric_limits<double>::infinity(), std::nan(""),
        QStringLiteral(""), QStringLiteral("AddLine"), QStringLiteral("Vendel_Minus \u0219i \u00e9"),
        QString(30, QLatin1Char('x')), QString(300, QLatin1Char('y')),
        QByteArray("\x00\x01\xff", 3), QByteArray(70000, 'z'),
        true, false, QCborValue(QCborValue::Null), QCborValue(),
        QCborArray{}, QCborArray{11, 1, 1005}, QCborArray{QCborArray{1.0, 2.0, 0.0}, QCborArray{3.0, 4.0, 0.0}},
        nested, QCborValue(QCborKnownTags::DateTimeString, QStringLiteral("2026-12-09T12:00:00Z")),
        QCborValue(QCborSimpleType(32)),
    };
    for (const QCborValue& value : values) {
        QByteArray quick("prefix");
        AppendCbor(quick, value);
        EXPECT_EQ(quick, QByteArray("prefix") + value.toCbor()) << "value " << value.toDiagnosticNotation().toStdString();
    }
    QCborArray manyPoints;
    for (int i = 0; i < 40; ++i)
        manyPoints.append(QCborArray{i * 0.5, -i * 0.25, 0.0});
    QByteArray quick;
    AppendCbor(quick, manyPoints);
    EXPECT_EQ(quick, QCborValue(manyPoints).toCbor());
}

TEST(WireEncoding, RequestsReadBackAsTheirMapsInOrder)
{
    const Handle space{HandleKind::ModelSpace, 2, QCborValue()};
    const QCborArray line{QCborArray{0.0, 1.0, 0.0}, QCborArray{2.5, -1.0, 0.0}};
    QByteArray stream;
    AppendRequest(stream, 41, space, QStringLiteral("AddLine"), line, true);
    AppendRequest(stream, 300000, Handle{HandleKind::Layer, 2, QStringLiteral("Vendel_Plus")}, QStringLiteral("put_Color"),
                  QCborArray{5}, false);
    AppendRequest(stream, 42, space, QStringLiteral("Add\u0219"), {}, false);

    // The maps as Qt's own encoder frames them: the bytes are the same.
    QCborMap first;
    first.insert(wire::kId, 41);
    first.insert(wire::kHandle, space.ToCbor());
    first.insert(wire::kMember, QStringLiteral("AddLine"));
    first.insert(wire::kArgs, line);
    first.insert(wire::kUnanswered, true);
    const QByteArray body = QCborValue(first).toCbor();
    QByteArray framed = QByteArray::fromHex("000000") + char(body.size()) + body;
    EXPECT_EQ(stream.left(framed.size()), framed);

    MessageReader reader;
    reader.Feed(stream);
    QCborMap message;
    ASSERT_EQ(reader.Next(message), MessageReader::Status::Message);
    EXPECT_EQ(message, first);
    ASSERT_EQ(reader.Next(message), MessageReader::Status::Message);
    EXPECT_EQ(message.value(wire::kId).toInteger(), 300000);
    EXPECT_EQ(Handle::FromCbor(message.value(wire::kHandle))->key.toString(), QStringLiteral("Vendel_Plus"));
    EXPECT_EQ(message.value(wire::kArgs).toArray(), QCborArray{5});
    EXPECT_FALSE(message.contains(wire::kUnanswered));
    ASSERT_EQ(reader.Next(message), MessageReader::Status::Message);
    EXPECT_EQ(message.value(wire::kMember).toString(), QStringLiteral("Add\u0219"));
    EXPECT_EQ(message.value(wire::kArgs).toArray().size(), 0);
    EXPECT_EQ(reader.Next(message), MessageReader::Status::NeedMore);
}

TEST(WireEncoding, OnlyASuccessReplyGivesItsCallIdWithoutDecoding)
{
    const auto bodyOf = [](const QCborMap& map) { return QCborValue(map).toCbor(); };
    for (const qint64 id : {qint64(0), qint64(23), qint64(24), qint64(300), qint64(70000), qint64(1) << 33, qint64(-5)}) {
        QCborMap success;
        success.insert(wire::kId, id);
        success.insert(wire::kResult, QCborArray{11, 1, 1005});
        EXPECT_EQ(SucceededCallId(bodyOf(success)), std::optional<qint64>(id));

        QCborMap failure;
        failure.insert(wire::kId, id);
        failure.insert(wire::kError, qint64(0x80004005));
        failure.insert(wire::kText, QStringLiteral("The layer \"X\" does not exist."));
        EXPECT_EQ(SucceededCallId(bodyOf(failure)), std::nullopt) << "an error reply for id " << id;
    }
    QCborMap nullResult;
    nullResult.insert(wire::kId, 9);
    nullResult.insert(wire::kResult, QCborValue(QCborValue::Null));
    EXPECT_EQ(SucceededCallId(bodyOf(nullResult)), std::optional<qint64>(9));
    // An id that is no integer, a request, a cut body: none is a success reply.
    QCborMap textId;
    textId.insert(wire::kId, QStringLiteral("9"));
    textId.insert(wire::kResult, 1);
    EXPECT_EQ(SucceededCallId(bodyOf(textId)), std::nullopt);
    EXPECT_EQ(SucceededCallId(kIdEightName.mid(4)), std::nullopt);
    EXPECT_EQ(SucceededCallId(QByteArray::fromHex("a2001a0001")), std::nullopt);
    EXPECT_EQ(SucceededCallId(QByteArray()), std::nullopt);
}

TEST(WireHandles, RoundTripAndShapesThatAreRefused)
{
    const Handle layer{HandleKind::Layer, 3, QStringLiteral("Korrin_Nodes")};
    const std::optional<Handle> back = Handle::FromCbor(layer.ToCbor());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, HandleKind::Layer);
    EXPECT_EQ(back->document, 3);
    EXPECT_EQ(back->key.toString(), QStringLiteral("Korrin_Nodes"));

    EXPECT_FALSE(Handle::FromCbor(QCborValue(5)));
    EXPECT_FALSE(Handle::FromCbor(QCborArray{2, 1}));
    EXPECT_FALSE(Handle::FromCbor(QCborArray{-1, 1, 0}));
    EXPECT_FALSE(Handle::FromCbor(QCborArray{99, 1, 0}));
    EXPECT_FALSE(Handle::FromCbor(QCborArray{QStringLiteral("2"), 1, 0}));
}

TEST(SocketFolder, IsMadeReadableByItsUserOnly)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString folder = SocketFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.startsWith(runtime.path()));
    EXPECT_EQ(ModeOf(folder), 0700);
    EXPECT_TRUE(WellKnownSocketPath().startsWith(folder + QLatin1Char('/')));
    EXPECT_NE(PrivateSocketPath(), PrivateSocketPath());
}

TEST(SocketFolder, OpenFolderIsClosedAndALinkIsRefused)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString folder = SocketFolder();
    ASSERT_FALSE(folder.isEmpty());
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    EXPECT_EQ(SocketFolder(), folder);
    EXPECT_EQ(ModeOf(folder), 0700);

    // A link planted where the folder should be could lead anywhere: never used.
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir().rmdir(folder));
    ASSERT_TRUE(QFile::link(elsewhere.path(), folder));
    EXPECT_TRUE(SocketFolder().isEmpty());
    EXPECT_TRUE(WellKnownSocketPath().isEmpty());
}
