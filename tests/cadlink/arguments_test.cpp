// Guards the arguments the host's handlers read against: a value read off a request's bytes
// differing from what Qt's decoder reads off the same bytes (its type, its number, its text, the
// items of an array), the general decoder's path giving the handlers another view than the fast
// reader's, and a list kept for the next request carrying values of the last one.
#include <cmath>
#include <limits>

#include <QCborMap>

#include <gtest/gtest.h>

#include "cadlink/Arguments.h"
#include "cadlink/Wire.h"

using namespace ardela::cad;

namespace {

// Every question a handler asks of `value` is answered as QCborValue answers it about `expected`.
void ExpectReadAs(const Arguments::Value& value, const QCborValue& expected, const std::string& where)
{
    EXPECT_EQ(value.IsInteger(), expected.isInteger()) << where;
    EXPECT_EQ(value.IsDouble(), expected.isDouble()) << where;
    EXPECT_EQ(value.IsText(), expected.isString()) << where;
    EXPECT_EQ(value.IsBool(), expected.isBool()) << where;
    EXPECT_EQ(value.IsNull(), expected.isNull()) << where;
    EXPECT_EQ(value.IsUndefined(), expected.isUndefined()) << where;
    EXPECT_EQ(value.IsArray(), expected.isArray()) << where;
    // (A double far out of qint64's range has no integer: handlers never ask for it.)
    if (!expected.isDouble() || std::abs(expected.toDouble()) < 1e18)
        EXPECT_EQ(value.Integer(), expected.toInteger()) << where;
    if (std::isnan(expected.toDouble()))
        EXPECT_TRUE(std::isnan(value.Double())) << where;
    else
        EXPECT_EQ(value.Double(), expected.toDouble()) << where;
    EXPECT_EQ(value.Text(), expected.toString()) << where;
    EXPECT_EQ(value.Bool(), expected.toBool()) << where;
    const QCborArray items = expected.toArray();
    ASSERT_EQ(value.Size(), items.size()) << where;
    for (qsizetype i = 0; i < items.size(); ++i)
        ExpectReadAs(value[i], items[i], where + "[" + std::to_string(i) + "]");
    // Past the end, before the start and inside anything but an array: undefined, as QCborArray.
    EXPECT_TRUE(value[items.size()].IsUndefined()) << where;
    EXPECT_TRUE(value[-1].IsUndefined()) << where;
}

void ExpectListReadAs(const Arguments& list, const QCborArray& expected, const std::string& where)
{
    ASSERT_EQ(list.Size(), expected.size()) << where;
    for (qsizetype i = -1; i <= expected.size(); ++i)
        ExpectReadAs(list[i], expected[i], where + " argument " + std::to_string(i));
    EXPECT_EQ(list.ToCbor(), expected) << where;
}

// The body of an AddLine-like request to model space carrying `args`.
QByteArray RequestBody(const QCborArray& args, bool unanswered = true)
{
    QByteArray framed;
    AppendRequest(framed, 7, Handle{HandleKind::ModelSpace, 1, QCborValue()}, QStringLiteral("AddPolyline"), args, unanswered);
    return framed.mid(4);
}

// The arguments as Qt's decoder reads them off the body.
QCborArray DecodedArgs(const QByteArray& body)
{
    return QCborValue::fromCbor(body).toMap().value(wire::kArgs).toArray();
}

} // namespace

TEST(RequestArguments, EveryKindOfValueReadsAsQtsDecoderReadsIt)
{
    QCborArray outline;
    for (int i = 0; i < 40; ++i)
        outline.append(i % 2 ? QCborValue(i * 0.5) : QCborValue(qint64(i)));
    const QCborArray cases[] = {
        {},
        {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(), 0, -1, 23, 24, 255, 256, 65536,
         qint64(1) << 32, -(qint64(1) << 40)},
        {0.0, -0.0, 1e300, -2.5e-310, std::numeric_limits<double>::infinity(), std::nan(""), 3.0},
        {QStringLiteral("Vendel_Plus"), QStringLiteral(""), QStringLiteral("OSMODE")},
        {true, false, QCborValue(QCborValue::Null), QCborValue()},
        {QCborArray{0.0, 1.0, 0.0}, QCborArray{2, -1}, QCborArray{}, outline},
        {QCborArray{QCborArray{1, QCborArray{2.5, QStringLiteral("deep")}}, QCborArray{true}}, 4},
        {3, QCborArray{QCborArray{1.0, 2.0}, QCborValue(QCborValue::Null)}, QStringLiteral("Select objects:")},
    };
    for (const QCborArray& args : cases) {
        const QByteArray body = RequestBody(args);
        const std::string where = QCborValue(args).toDiagnosticNotation().toStdString();
        const QCborArray decoded = DecodedArgs(body);
        Request quick;
        ASSERT_TRUE(ReadRequest(body, quick)) << where;
        ExpectListReadAs(quick.args, decoded, "read off the bytes: " + where);
        ExpectListReadAs(Arguments(decoded), decoded, "from the general decoder: " + where);
    }
}

TEST(RequestArguments, WhatOnlyTheGeneralDecoderReadsGivesTheSameView)
{
    // Texts beyond ASCII, integers past qint64, half floats, byte strings, maps and tags are not
    // read off the bytes; the general decoder's array gives the handlers the same questions.
    const QCborArray args{QStringLiteral("Tensiune \u0219i for\u021Be \u03C3 \u2264 235 N/mm\u00B2"),
                          QCborArray{QStringLiteral("\u00C9"), 1.0}, QByteArray("raw"), QCborMap{{1, 2}},
                          QCborValue(QCborTag(1000), 5), QCborValue(QCborSimpleType(99))};
    const QByteArray body = RequestBody(args);
    Request quick;
    EXPECT_FALSE(ReadRequest(body, quick));
    const QCborArray decoded = DecodedArgs(body);
    ASSERT_EQ(decoded.size(), args.size());
    ExpectListReadAs(Arguments(decoded), decoded, "non-ASCII and other values");
    // A byte string, a map, a tag and a simple value are none of the kinds a handler reads.
    const Arguments list(decoded);
    for (qsizetype i = 2; i < list.Size(); ++i)
        EXPECT_EQ(list[i].GetType(), Arguments::Type::Other) << i;

    // An unsigned integer past qint64 and a half float come out of Qt's decoder as doubles.
    const QByteArray head = RequestBody({1}, false).chopped(2);   // its arguments' bytes: 81 01
    for (const char* tail : {"821bffffffffffffffff01", "82f93c0001"}) {
        const QByteArray odd = head + QByteArray::fromHex(tail);
        ASSERT_FALSE(ReadRequest(odd, quick)) << tail;
        const QCborArray oddArgs = DecodedArgs(odd);
        ASSERT_EQ(oddArgs.size(), 2) << tail;
        EXPECT_TRUE(oddArgs[0].isDouble()) << tail;
        ExpectListReadAs(Arguments(oddArgs), oddArgs, tail);
    }
}

TEST(RequestArguments, AListKeptForTheNextRequestHoldsOnlyThatRequestsValues)
{
    Request request;
    ASSERT_TRUE(ReadRequest(RequestBody({QCborArray{1.0, 2.0, 3.0}, QStringLiteral("long text"), QCborArray{QCborValue(QCborArray{4})}}),
                            request));
    ASSERT_TRUE(ReadRequest(RequestBody({QStringLiteral("ab"), QCborArray{5, 6}}), request));
    ExpectListReadAs(request.args, QCborArray{QStringLiteral("ab"), QCborArray{5, 6}}, "second request");
    // A request refused part way and then a whole one.
    const QByteArray third = RequestBody({QCborValue(QCborArray{7.5, 8.5})});
    EXPECT_FALSE(ReadRequest(third.left(third.size() - 3), request));
    ASSERT_TRUE(ReadRequest(third, request));
    ExpectListReadAs(request.args, QCborArray{QCborValue(QCborArray{7.5, 8.5})}, "third request");

    Arguments list(QCborArray{QCborArray{1, 2, 3}, QStringLiteral("x")});
    list = QCborArray{true};
    ExpectListReadAs(list, QCborArray{true}, "assigned again");
}
