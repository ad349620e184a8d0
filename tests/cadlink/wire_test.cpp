// Guards the link's wire against: messages read before they are whole, frames run together or
// split, a malformed frame throwing the stream out of step, oversized lengths being trusted,
// handles of the wrong shape accepted, and a socket folder others can open.
#include <sys/stat.h>

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
