// Dialog units: the font-relative measure dialog templates are laid out in, and its conversion
// to pixels through the dialog font's base units.
#pragma once

#include <QRect>
#include <QSize>

class QFont;

namespace ardela::installer {

// The font's base units: the average width of the Latin letters (rounded as the dialog
// manager rounds it) and the line height, in pixels.
QSize DialogBaseUnits(const QFont& font);
// A rectangle in dialog units (x and width in quarters of the base width, y and height in
// eighths of the base height) in pixels, each coordinate rounded to the nearest pixel.
QRect DialogUnitsToPixels(const QRect& units, const QSize& baseUnits);

} // namespace ardela::installer
