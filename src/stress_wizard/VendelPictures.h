// Vendel's step pictures, drawn at the size asked for.
#pragma once

#include <QPixmap>

namespace ardela {

// The picture of step 0 to 7: a plate in which the part the step deals with stands out.
QPixmap StressStepPicture(int step, int width, int height);

} // namespace ardela
