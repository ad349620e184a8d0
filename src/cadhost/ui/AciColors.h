// Colour index numbers (1..255) as screen colours.
#pragma once

#include <QColor>

namespace cadhost {

// The background of the drawing's view: dark, as engineers are used to.
QColor ViewBackground();

// A colour as the view shows it: one too dark to read on the background (pure blue, the dark
// shades and greys) brightened until it stands out by kLeastContrast (the contrast ratio of
// the screen colours' relative luminances), its hue kept. Only the screen colour changes; the
// drawing keeps its colour numbers.
inline constexpr double kLeastContrast = 3.0;
QColor ShownOnBackground(const QColor& colour);

// The screen colour of a colour index on the view's background; 7 is white.
QColor AciColor(int index);

} // namespace cadhost
