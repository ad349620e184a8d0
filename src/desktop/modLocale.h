// Number texts in the user's locale: the decimal separator, the file form, the number test, patterns.
#pragma once

#include <cstdint>

#include <QString>

namespace ardela {

// The decimal separator of the user's locale (normally "." or ",").
QString DecimalSeparator();
// A number typed in the locale's form turned into the file form (first separator -> "."),
// right-aligned in `width` characters when width is not 0 (a longer text comes back whole).
QString FormatField(const QString& text, std::int16_t width);
// Whether a typed text is an acceptable number: only digits, signs and the locale separator,
// and accepted by the locale's number parser.
bool IsNumber(const QString& text);

// The pattern "0.000" (decimals = 3): fixed decimals, locale separator, no grouping; a value that
// rounds to zero prints without a minus sign.
QString FormatFixed(double value, int decimals);
// The pattern "0.000 E+": one integer digit, `decimals` decimals, a blank, "E", the exponent's
// sign and its digits (at least one), e.g. "2.100 E+6".
QString FormatScientific(double value, int decimals);

} // namespace ardela
