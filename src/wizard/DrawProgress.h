// The percentage bar both wizards paint into their picture box while results are drawn.
#pragma once

#include <QString>

#include "cad/DrawingProgress.h"

class QLabel;

namespace ardela {

// Paints the percentage bar for `fraction` (0 to 1) into `box`: the text "p%" centred with p
// from 1 to 99, and the bar over the covered part with the text inverted beneath it.
void DrawProgress(QLabel* box, float fraction);

// The text of the percentage bar for `fraction`: "1%" to "99%".
QString ProgressText(float fraction);

// The progress of a drawing shown in `picProgress` with DrawProgress, cleared when it ends.
cad::DrawingProgress ProgressBox(QLabel* picProgress);

} // namespace ardela
