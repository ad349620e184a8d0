// Cell conversions with the system's rules: half-to-even integers, range checks, locale texts.
#include "desktop/Cell.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include <QLocale>

#include "desktop/Error.h"

namespace ardela {

namespace {

QString DescribeNumber(double value)
{
    return QString::number(value, 'g', 17);
}

// The locale's decimal separator as the number texts use it.
QString Separator()
{
    return QLocale().decimalPoint();
}

} // namespace

const char* KindName(Cell::Kind kind)
{
    switch (kind) {
    case Cell::Kind::Empty: return "empty";
    case Cell::Kind::Int16: return "16-bit integer";
    case Cell::Kind::Int32: return "32-bit integer";
    case Cell::Kind::Single: return "single";
    case Cell::Kind::Double: return "double";
    case Cell::Kind::Bool: return "boolean";
    case Cell::Kind::Text: return "text";
    }
    return "unknown";
}

double ParseNumberText(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = trimmed.isEmpty() ? 0.0 : QLocale().toDouble(trimmed, &ok);
    if (!ok && !trimmed.isEmpty() && trimmed.front() == u'+')
        value = QLocale().toDouble(trimmed.mid(1), &ok);
    if (!ok || !std::isfinite(value))
        throw ModelError(QStringLiteral("the text \"%1\" is not a number").arg(text));
    return value;
}

std::int16_t RoundToInt16(double value)
{
    const double r = std::nearbyint(value);
    if (!(r >= -32768.0 && r <= 32767.0))
        throw ModelError(QStringLiteral("%1 is outside the 16-bit integer range").arg(DescribeNumber(value)));
    return static_cast<std::int16_t>(r);
}

std::int32_t RoundToInt32(double value)
{
    const double r = std::nearbyint(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        throw ModelError(QStringLiteral("%1 is outside the 32-bit integer range").arg(DescribeNumber(value)));
    return static_cast<std::int32_t>(r);
}

float NarrowToSingle(double value)
{
    if (std::isnan(value))
        throw ModelError(QStringLiteral("not a number"));
    const float f = static_cast<float>(value);
    if (!std::isfinite(f))
        throw ModelError(QStringLiteral("%1 is outside the single-precision range").arg(DescribeNumber(value)));
    return f;
}

QString PlainNumberText(double value, int digits)
{
    if (value == 0.0)
        return QStringLiteral("0");
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
    std::string s(buf, res.ptr);
    // The system writes the exponent as E+07 / E-05: upper case, at least two digits.
    if (const auto e = s.find('e'); e != std::string::npos) {
        std::string mant = s.substr(0, e);
        const char sign = s[e + 1];
        std::string exp = s.substr(e + 2);
        while (exp.size() < 2)
            exp.insert(exp.begin(), '0');
        s = mant + "E" + sign + exp;
    }
    QString out = QString::fromLatin1(s.c_str());
    out.replace(u'.', Separator());
    return out;
}

bool Cell::IsNumeric() const
{
    switch (GetKind()) {
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Single:
    case Kind::Double:
    case Kind::Bool:
        return true;
    default:
        return false;
    }
}

double Cell::ToDouble() const
{
    switch (GetKind()) {
    case Kind::Empty: return 0.0;
    case Kind::Int16: return Int16Value();
    case Kind::Int32: return Int32Value();
    case Kind::Single: return SingleValue();
    case Kind::Double: return DoubleValue();
    case Kind::Bool: return BoolValue() ? -1.0 : 0.0;
    case Kind::Text: return ParseNumberText(TextValue());
    }
    return 0.0;
}

std::int16_t Cell::ToInt16() const
{
    if (GetKind() == Kind::Int16)
        return Int16Value();
    return RoundToInt16(ToDouble());
}

std::int32_t Cell::ToInt32() const
{
    if (GetKind() == Kind::Int32)
        return Int32Value();
    return RoundToInt32(ToDouble());
}

float Cell::ToSingle() const
{
    if (GetKind() == Kind::Single)
        return SingleValue();
    return NarrowToSingle(ToDouble());
}

bool Cell::ToBool() const
{
    switch (GetKind()) {
    case Kind::Bool: return BoolValue();
    case Kind::Text: {
        const QString t = TextValue().trimmed();
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
        return ParseNumberText(t) != 0.0;
    }
    default:
        return ToDouble() != 0.0;
    }
}

QString Cell::ToText() const
{
    switch (GetKind()) {
    case Kind::Empty: return QString();
    case Kind::Int16: return QString::number(Int16Value());
    case Kind::Int32: return QString::number(Int32Value());
    case Kind::Single: {
        const float f = SingleValue();
        if (f == 0.0f)
            return QStringLiteral("0");
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::general, 7);
        // Reuse the double formatter's exponent and separator rules on the single's digits, read
        // back without the C locale (which reads "2.35" as 2 where the separator is a comma).
        double digits = 0.0;
        std::from_chars(buf, res.ptr, digits);
        return PlainNumberText(digits, 7);
    }
    case Kind::Double: return PlainNumberText(DoubleValue(), 15);
    case Kind::Bool: return BoolValue() ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Text: return TextValue();
    }
    return QString();
}

bool Cell::NumericEquals(double value) const
{
    try {
        return ToDouble() == value;
    } catch (const ModelError&) {
        return false;
    }
}

bool Cell::SameValue(const Cell& other) const
{
    try {
        return ToDouble() == other.ToDouble();
    } catch (const ModelError&) {
        return ToText() == other.ToText();
    }
}

Cell Cell::Negated() const
{
    switch (GetKind()) {
    case Kind::Empty: return Cell(std::int16_t(0));
    case Kind::Int16:
        if (Int16Value() == std::numeric_limits<std::int16_t>::min())
            return Cell(std::int32_t(32768));
        return Cell(std::int16_t(-Int16Value()));
    case Kind::Int32:
        if (Int32Value() == std::numeric_limits<std::int32_t>::min())
            return Cell(2147483648.0);
        return Cell(std::int32_t(-Int32Value()));
    case Kind::Single: return Cell(-SingleValue());
    case Kind::Double: return Cell(-DoubleValue());
    case Kind::Bool: return Cell(std::int16_t(BoolValue() ? 1 : 0));
    case Kind::Text: return Cell(-ParseNumberText(TextValue()));
    }
    return Cell();
}

bool Cell::operator==(const Cell& other) const
{
    if (GetKind() != other.GetKind())
        return false;
    switch (GetKind()) {
    case Kind::Single: {
        const float a = SingleValue(), b = other.SingleValue();
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
    case Kind::Double: {
        const double a = DoubleValue(), b = other.DoubleValue();
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
    default:
        return m_value == other.m_value;
    }
}

} // namespace ardela
