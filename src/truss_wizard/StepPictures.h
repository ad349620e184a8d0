// The pictures beside each step's text: small drawings of what the step asks for.
#pragma once

#include <QPixmap>

namespace ardela {

// The picture of Korrin's step `step` (0 to 6), `width` x `height` pixels.
QPixmap TrussStepPicture(int step, int width, int height);

} // namespace ardela
