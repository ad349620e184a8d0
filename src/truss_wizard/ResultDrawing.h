// The bar forces in the drawing: every bar on the tension or compression layer with its force as
// a label, the erasing of old results, and the percentage bar shown while they are drawn.
#pragma once

#include <QString>

#include "cad/AcadObjects.h"
#include "cad/DrawingProgress.h"
#include "cad/ProgramLayers.h"
#include "desktop/Settings.h"
#include "truss/TrussModel.h"

namespace ardela {

// The two result layers.
inline const QString& kPlusLayer = cad::kKorrinPlus;
inline const QString& kMinusLayer = cad::kKorrinMinus;

// Erases the old results, prepares the two result layers (colours, or black and white with the
// compression layer dashed) and draws every bar of a solved model: a line on Korrin_Plus when
// N > 0 and "Tension" is 1, else on Korrin_Minus when "Compression" is 1, and always a label with
// N to three decimals along the bar, telling `progress` after each bar; then the deflected shape
// and the support reactions (DeflectionDrawing.h). Any failure
// stops the drawing, shows "There was an error drawing data." with the advice to revise the
// input (style 16) and returns false; what was drawn so far stays.
bool DrawResults(const TrussModel& model, const SettingsArray& settings, cad::AcadDocument& document,
                 const cad::DrawingProgress& progress = {});

// Erases everything on the result layers (bar forces, deflected shape, reactions); a failure is
// thrown to the caller.
void ClearResults(cad::AcadDocument& document);

// The same routines on the program-wide model, settings and working drawing.
bool DrawResults(const cad::DrawingProgress& progress = {});
void ClearResults();

} // namespace ardela
