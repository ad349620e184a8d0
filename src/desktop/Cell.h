// The tagged value of every model-table cell and every setting, with its conversions.
#pragma once

#include <cstdint>
#include <variant>

#include <QString>

namespace ardela {

// A cell converts at the moment of use; a conversion that fails throws ModelError naming the
// value. Numbers convert with the system's integer rules (half to even, 16- or 32-bit range) and
// texts are read as numbers in the user's locale.
class Cell {
public:
    enum class Kind : std::uint8_t { Empty, Int16, Int32, Single, Double, Bool, Text };

    Cell() = default;
    Cell(std::int16_t v) : m_value(v) {}
    Cell(std::int32_t v) : m_value(v) {}
    Cell(float v) : m_value(v) {}
    Cell(double v) : m_value(v) {}
    Cell(bool v) : m_value(v) {}
    Cell(const QString& v) : m_value(v) {}
    Cell(const char* v) : m_value(QString::fromUtf8(v)) {}

    Kind GetKind() const { return static_cast<Kind>(m_value.index()); }
    bool IsEmpty() const { return GetKind() == Kind::Empty; }
    bool IsNumeric() const;

    std::int16_t ToInt16() const;
    std::int32_t ToInt32() const;
    float ToSingle() const;
    double ToDouble() const;
    bool ToBool() const;
    // The value's plain text: integers without decimals, singles to 7 and doubles to 15
    // significant digits in the user's locale, booleans "True"/"False", empty as "".
    QString ToText() const;

    // Numeric comparison as the system compares a cell with a number: an empty cell is 0, a
    // text that does not read as a number equals nothing.
    bool NumericEquals(double value) const;
    // Two cells compare as numbers when both read as numbers, else as texts.
    bool SameValue(const Cell& other) const;
    // The cell negated, keeping its kind where the value fits (the system's unary minus).
    Cell Negated() const;

    // Raw payloads, for the file layer and tests.
    std::int16_t Int16Value() const { return std::get<std::int16_t>(m_value); }
    std::int32_t Int32Value() const { return std::get<std::int32_t>(m_value); }
    float SingleValue() const { return std::get<float>(m_value); }
    double DoubleValue() const { return std::get<double>(m_value); }
    bool BoolValue() const { return std::get<bool>(m_value); }
    const QString& TextValue() const { return std::get<QString>(m_value); }

    // Bitwise identity: same kind and the same payload bits.
    bool operator==(const Cell& other) const;

private:
    std::variant<std::monostate, std::int16_t, std::int32_t, float, double, bool, QString> m_value;
};

// Reads a text the way a cell converts it (locale number form, surrounding blanks allowed).
// Throws ModelError when the text is not a number.
double ParseNumberText(const QString& text);

// Rounds half to even and checks a range, as the system's integer conversions do.
std::int16_t RoundToInt16(double value);
std::int32_t RoundToInt32(double value);
// Narrows to single precision; overflow beyond the single range throws.
float NarrowToSingle(double value);

// The plain number text of a value with `digits` significant digits in the user's locale.
QString PlainNumberText(double value, int digits);

const char* KindName(Cell::Kind kind);

} // namespace ardela
