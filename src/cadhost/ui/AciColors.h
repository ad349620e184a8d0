// Colour index numbers (1..255) as screen colours.
#pragma once

#include <QColor>

namespace cadhost {

// The screen colour of a colour index; 7 is white on the host's dark background.
QColor AciColor(int index);

} // namespace cadhost
