// Guards the two ways the host reads a request (straight off the bytes the link writes, or
// through the general decoder for anything else) against: a handler answering a wrong argument
// with another code or text on one of them, an integer or a point of two numbers taken otherwise,
// and a text beyond ASCII losing its letters.
#include <QCborMap>
#include <QDeadlineTimer>
#include <QLocalSocket>

#include <gtest/gtest.h>

#include "cadlink/ErrorCodes.h"
#include "cadlink/Wire.h"
#include "support/DrawingTestSupport.h"

using namespace ardela::cad;

namespace {

class RequestPathsTest : public ardela::test::DrawingHostTest {
protected:
    void SetUp() override
    {
        DrawingHostTest::SetUp();
        m_socket.connectToServer(m_dir.filePath(QStringLiteral("host")));
        ASSERT_TRUE(m_socket.waitForConnected(5000));
        const QCborMap reply = Call(Handle{HandleKind::Application, 0, QCborValue()}, QStringLiteral("ActiveDocument"), {}, true);
        const std::optional<Handle> doc = Handle::FromCbor(reply.value(wire::kResult));
        ASSERT_TRUE(doc.has_value());
        m_document = doc->document;
    }

    Handle Of(HandleKind kind, const QCborValue& key = QCborValue()) const { return Handle{kind, m_document, key}; }

    // The host's reply to the request, written as the link writes it (`quick`) or as a map with
    // its keys in another order, which only the general decoder reads.
    QCborMap Call(const Handle& handle, const QString& member, const QCborArray& args, bool quick)
    {
        QByteArray framed;
        if (quick) {
            AppendRequest(framed, ++m_id, handle, member, args, false);
            Request read;
            EXPECT_TRUE(ReadRequest(QByteArrayView(framed).sliced(4), read)) << member.toStdString();
        } else {
            QCborMap request;
            request.insert(wire::kArgs, args);
            request.insert(wire::kMember, member);
            request.insert(wire::kHandle, handle.ToCbor());
            request.insert(wire::kId, ++m_id);
            framed = FrameMessage(request);
            Request read;
            EXPECT_FALSE(ReadRequest(QByteArrayView(framed).sliced(4), read)) << member.toStdString();
        }
        m_socket.write(framed);
        m_socket.flush();
        QCborMap reply;
        const QDeadlineTimer deadline(10000);
        while (m_reader.Next(reply) != MessageReader::Status::Message && !deadline.hasExpired()) {
            m_socket.waitForReadyRead(100);
            m_reader.Feed(m_socket);
        }
        EXPECT_EQ(reply.value(wire::kId).toInteger(), m_id) << member.toStdString();
        return reply;
    }

    // The reply's result on both paths (its own request each time).
    std::pair<QCborValue, QCborValue> Results(const Handle& handle, const QString& member, const QCborArray& args)
    {
        const QCborMap quick = Call(handle, member, args, true);
        const QCborMap general = Call(handle, member, args, false);
        EXPECT_FALSE(quick.contains(wire::kError)) << quick.value(wire::kText).toString().toStdString();
        EXPECT_FALSE(general.contains(wire::kError)) << general.value(wire::kText).toString().toStdString();
        return {quick.value(wire::kResult), general.value(wire::kResult)};
    }

    // What an entity made by `member` answers to `property`, on both paths.
    std::pair<QCborValue, QCborValue> PropertyOfAdded(const QString& member, const QCborArray& args, const QString& property)
    {
        const auto [quick, general] = Results(Of(HandleKind::ModelSpace), member, args);
        const std::optional<Handle> a = Handle::FromCbor(quick);
        const std::optional<Handle> b = Handle::FromCbor(general);
        if (!a || !b)
            return {};
        return {Call(*a, property, {}, true).value(wire::kResult), Call(*b, property, {}, true).value(wire::kResult)};
    }

    QLocalSocket m_socket;
    MessageReader m_reader;
    qint64 m_id = 0;
    qint64 m_document = 0;
};

} // namespace

TEST_F(RequestPathsTest, AWrongArgumentGetsOneCodeAndTextOnBothPaths)
{
    // (An array of one array is written QCborArray{QCborValue(...)}: QCborArray{QCborArray{...}}
    // would be a copy of the inner one.)
    struct Case {
        Handle handle;
        QString member;
        QCborArray args;
        QString text;
    };
    const QCborArray origin{0.0, 0.0, 0.0};
    const QString notAPoint = QStringLiteral("Argument 2 must be a point of three numbers.");
    const Case cases[] = {
        {Of(HandleKind::ModelSpace), QStringLiteral("AddLine"), {origin, QStringLiteral("x")}, notAPoint},
        {Of(HandleKind::ModelSpace), QStringLiteral("AddLine"), {origin, QCborArray{1, 2, 3, 4}}, notAPoint},
        {Of(HandleKind::ModelSpace), QStringLiteral("AddLine"), {origin, QCborArray{1.0}}, notAPoint},
        {Of(HandleKind::ModelSpace), QStringLiteral("AddLine"), {origin, QCborArray{1.0, true}}, notAPoint},
        {Of(HandleKind::ModelSpace), QStringLiteral("AddLine"), {origin, QCborArray{1.0, QCborArray{2.0}}}, notAPoint},
        {Of(HandleKind::ModelSpace), QStringLiteral("AddLine"), {origin}, QStringLiteral("Expected 2 argument(s), got 1.")},
        {Of(HandleKind::ModelSpace), QStringLiteral("AddPolyline"), {QCborValue(QCborArray{0, 0, 1, QStringLiteral("1")})},
         QStringLiteral("Argument 1 must be an array of numbers.")},
        {Of(HandleKind::ModelSpace), QStringLiteral("AddPolyline"), {3.0}, QStringLiteral("Argument 1 must be an array of numbers.")},
        {Of(HandleKind::ModelSpace), QStringLiteral("AddText"), {5, origin, 2.5}, QStringLiteral("Argument 1 must be a text.")},
        {Of(HandleKind::ModelSpace), QStringLiteral("AddText"), {QStringLiteral("a"), origin, QStringLiteral("2.5")},
         QStringLiteral("Argument 3 must be a number.")},
        {Of(HandleKind::Layers), QStringLiteral("Item"), {2.0}, QStringLiteral("Argument 1 must be a text.")},
        {Of(HandleKind::LineTypes), QStringLiteral("Item"), {1.0}, QStringLiteral("Argument 1 must be an integer.")},
        {Of(HandleKind::Layer, QStringLiteral("0")), QStringLiteral("put_LayerOn"), {1},
         QStringLiteral("Argument 1 must be true or false.")},
        {Of(HandleKind::Document), QStringLiteral("SetVariable"), {QStringLiteral("OSMODE"), true},
         QStringLiteral("A system variable takes a number or a text.")},
        {Of(HandleKind::Document), QStringLiteral("SetVariable"), {QStringLiteral("OSMODE"), QCborValue(QCborValue::Null)},
         QStringLiteral("A system variable takes a number or a text.")},
    };
    for (const Case& c : cases) {
        const std::string where = c.member.toStdString() + " " + QCborValue(c.args).toDiagnosticNotation().toStdString();
        for (const bool quick : {true, false}) {
            const QCborMap reply = Call(c.handle, c.member, c.args, quick);
            EXPECT_EQ(reply.value(wire::kError).toInteger(), qint64(kInvalidArgument)) << where << (quick ? " quick" : " general");
            EXPECT_EQ(reply.value(wire::kText).toString(), c.text) << where << (quick ? " quick" : " general");
            EXPECT_FALSE(reply.contains(wire::kResult)) << where;
        }
    }
}

TEST_F(RequestPathsTest, NumbersPointsAndTextsAreTakenAlikeOnBothPaths)
{
    // Integers where doubles are expected, a point of two numbers (z = 0).
    const QCborArray expectedStart{1.0, -2.0, 0.0};
    const auto [quickStart, generalStart] =
        PropertyOfAdded(QStringLiteral("AddLine"), {QCborArray{1, -2}, QCborArray{3.5, 4, 5}}, QStringLiteral("StartPoint"));
    EXPECT_EQ(quickStart, QCborValue(expectedStart));
    EXPECT_EQ(generalStart, QCborValue(expectedStart));

    const auto [quickCoordinates, generalCoordinates] = PropertyOfAdded(
        QStringLiteral("AddPolyline"), {QCborValue(QCborArray{0, 0, 0, 1.5, 2, qint64(1) << 40})}, QStringLiteral("Coordinates"));
    const QCborArray expectedCoordinates{0.0, 0.0, 0.0, 1.5, 2.0, double(qint64(1) << 40)};
    EXPECT_EQ(quickCoordinates, QCborValue(expectedCoordinates));
    EXPECT_EQ(generalCoordinates, QCborValue(expectedCoordinates));

    // An ASCII text is read off the bytes; one beyond ASCII goes through the general decoder.
    for (const QString& text : {QStringLiteral("sigma_1 = 235 N/mm2"), QStringLiteral("\u03C3\u2081 = 235 N/mm\u00B2 \u0219i \u021B")}) {
        QByteArray framed;
        AppendRequest(framed, 1, Of(HandleKind::ModelSpace), QStringLiteral("AddText"),
                      {text, QCborArray{0.0, 0.0, 0.0}, 2.5}, false);
        Request read;
        EXPECT_EQ(ReadRequest(QByteArrayView(framed).sliced(4), read), text.front().unicode() < 0x80);
        const QCborMap added = Call(Of(HandleKind::ModelSpace), QStringLiteral("AddText"), {text, QCborArray{0.0, 0.0, 0.0}, 2.5},
                                    text.front().unicode() < 0x80);
        const std::optional<Handle> entity = Handle::FromCbor(added.value(wire::kResult));
        ASSERT_TRUE(entity.has_value()) << added.value(wire::kText).toString().toStdString();
        EXPECT_EQ(Call(*entity, QStringLiteral("TextString"), {}, true).value(wire::kResult).toString(), text);
    }
}
