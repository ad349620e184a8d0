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

namespace {

// The request the general decoder reads off `body`, as the host's map path takes it apart.
Request GeneralRequest(const QByteArray& body)
{
    const QCborMap map = QCborValue::fromCbor(body).toMap();
    Request request;
    request.id = map.value(wire::kId).toInteger();
    request.handle = *Handle::FromCbor(map.value(wire::kHandle));
    request.member = map.value(wire::kMember).toString();
    request.args = map.value(wire::kArgs).toArray();
    request.unanswered = map.value(wire::kUnanswered).toBool();
    return request;
}

} // namespace

TEST(WireRequests, ReadOffTheBytesAsTheGeneralDecoderReadsThem)
{
    const Handle space{HandleKind::ModelSpace, 2, QCborValue()};
    QCborArray outline;
    for (int i = 0; i < 30; ++i)
        outline.append(i % 3 == 0 ? QCborValue(qint64(i) << 40) : QCborValue(i * -0.125));
    struct Case {
        qint64 id;
        Handle handle;
        QString member;
        QCborArray args;
        bool unanswered;
    };
    const Case cases[] = {
        {41, space, QStringLiteral("AddLine"), {QCborArray{0.0, 1.0, 0.0}, QCborArray{2.5, -1.0, 1e300}}, true},
        {300000, Handle{HandleKind::Layer, 7, QStringLiteral("Vendel_Plus")}, QStringLiteral("put_Color"), {5}, false},
        {-3, Handle{HandleKind::Entity, 1, qint64(1) << 50}, QStringLiteral("Delete"), {}, true},
        {qint64(1) << 40, space, QStringLiteral("AddPolyline"), {outline}, true},
        {0, Handle{HandleKind::Document, 1, QCborValue(QCborValue::Null)}, QStringLiteral("SetVariable"),
         {QStringLiteral("OSMODE"), true, false, QCborValue(QCborValue::Null), QCborValue(), -1, QStringLiteral("")}, false},
    };
    for (const Case& c : cases) {
        QByteArray framed;
        AppendRequest(framed, c.id, c.handle, c.member, c.args, c.unanswered);
        const QByteArray body = framed.mid(4);
        Request quick;
        ASSERT_TRUE(ReadRequest(body, quick)) << c.member.toStdString();
        const Request general = GeneralRequest(body);
        EXPECT_EQ(quick.id, general.id);
        EXPECT_EQ(quick.handle.kind, general.handle.kind);
        EXPECT_EQ(quick.handle.document, general.handle.document);
        EXPECT_EQ(quick.handle.key, general.handle.key) << c.member.toStdString();
        EXPECT_EQ(quick.member, general.member);
        EXPECT_EQ(quick.args, general.args) << c.member.toStdString();
        EXPECT_EQ(quick.unanswered, c.unanswered);
        // Every shorter body is refused, never read past its end.
        for (qsizetype cut = 0; cut < body.size(); ++cut)
            EXPECT_FALSE(ReadRequest(body.left(cut), quick)) << c.member.toStdString() << " cut at " << cut;
    }
}

TEST(WireRequests, AnythingElseIsLeftToTheGeneralDecoder)
{
    const Handle space{HandleKind::ModelSpace, 2, QCborValue()};
    QByteArray framed;
    AppendRequest(framed, 5, space, QStringLiteral("AddLine"), {QCborArray{0.0, 1.0, 0.0}, QCborArray{2.0, 1.0, 0.0}}, true);
    Request request;
    ASSERT_TRUE(ReadRequest(framed.mid(4), request));
    // Trailing bytes after the map.
    EXPECT_FALSE(ReadRequest(framed.mid(4) + char(0x00), request));

    const auto refused = [&request](const QCborMap& map) {
        return !ReadRequest(QCborValue(map).toCbor(), request);
    };
    QCborMap plain;
    plain.insert(wire::kId, 5);
    plain.insert(wire::kHandle, space.ToCbor());
    plain.insert(wire::kMember, QStringLiteral("AddLine"));
    plain.insert(wire::kArgs, QCborArray{1});   // its last two bytes: 81 01
    EXPECT_FALSE(refused(plain));

    QCborMap reordered;
    reordered.insert(wire::kHandle, space.ToCbor());
    reordered.insert(wire::kId, 5);
    reordered.insert(wire::kMember, QStringLiteral("AddLine"));
    reordered.insert(wire::kArgs, QCborArray{1.0});
    EXPECT_TRUE(refused(reordered));

    const auto with = [&plain](qint64 key, const QCborValue& value) {
        QCborMap changed = plain;
        changed[key] = value;
        return changed;
    };
    EXPECT_TRUE(refused(with(wire::kId, QStringLiteral("5"))));
    EXPECT_TRUE(refused(with(wire::kHandle, QCborArray{99, 1, 0})));
    EXPECT_TRUE(refused(with(wire::kHandle, QCborArray{3, 1})));
    EXPECT_TRUE(refused(with(wire::kMember, QStringLiteral("Add\u0219"))));
    EXPECT_TRUE(refused(with(wire::kArgs, QCborValue(3))));
    EXPECT_TRUE(refused(with(wire::kArgs, QCborArray{QByteArray("raw")})));
    EXPECT_TRUE(refused(with(wire::kArgs, QCborArray{QCborMap{{1, 2}}})));
    EXPECT_TRUE(refused(with(wire::kArgs, QCborArray{QCborArray{QCborArray{QCborArray{QCborArray{1}}}}})));
    EXPECT_TRUE(refused(with(wire::kUnanswered, 1)));
    // A half-precision float, an indefinite array, a huge unsigned integer.
    const QByteArray head = QCborValue(plain).toCbor().chopped(2);
    EXPECT_FALSE(ReadRequest(head + QByteArray::fromHex("81f93c00"), request));
    EXPECT_FALSE(ReadRequest(head + QByteArray::fromHex("9f01ff"), request));
    EXPECT_FALSE(ReadRequest(head + QByteArray::fromHex("811bffffffffffffffff"), request));
    EXPECT_TRUE(ReadRequest(head + QByteArray::fromHex("81fb3ff0000000000000"), request));
    EXPECT_EQ(request.args, QCborArray{1.0});
}

TEST(WireReplies, WrittenAsTheirMapsWouldBe)
{
    const QCborValue ids[] = {QCborValue(0), QCborValue(qint64(1) << 33), QCborValue(-7), QCborValue(QCborValue::Null)};
    const QCborValue results[] = {QCborArray{11, 1, 1005}, QCborValue(), QStringLiteral("cadhost"), 2.5,
                                  QCborArray{QCborArray{1.0, 2.0, 0.0}}};
    for (const QCborValue& id : ids) {
        for (const QCborValue& result : results) {
            QCborMap success;
            success.insert(wire::kId, id);
            success.insert(wire::kResult, result);
            QByteArray quick("x");
            AppendReply(quick, id, result);
            EXPECT_EQ(quick, QByteArray("x") + FrameMessage(success));
        }
        QCborMap failure;
        failure.insert(wire::kId, id);
        failure.insert(wire::kError, qint64(0x80004005));
        failure.insert(wire::kText, QStringLiteral("The layer \"\u00c9tage\" has been deleted."));
        QByteArray quick;
        AppendErrorReply(quick, id, 0x80004005, QStringLiteral("The layer \"\u00c9tage\" has been deleted."));
        EXPECT_EQ(quick, FrameMessage(failure));
    }
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
