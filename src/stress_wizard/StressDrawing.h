// The principal stresses in the drawing: the outline of every element of the solver's mesh and,
// at its centre, two crossed segments as long as the two principal stresses and along their
// directions, in tension on Vendel_Plus and in compression on Vendel_Minus.
#pragma once

#include "cad/AcadObjects.h"
#include "cad/DrawingProgress.h"
#include "desktop/Settings.h"
#include "stress_wizard/StressModel.h"

namespace ardela::vendel {

// Erases Vendel_Mesh, Vendel_Plus and Vendel_Minus (the gridline mesh and earlier results),
// prepares the two result layers (their colours, or black and white with Vendel_Minus in
// "DASHDOT", loaded only when the drawing lacks it in any letter case) and draws the results:
// per element its outline through corners 1, 2, 4, 3 on Vendel_Mesh, then per element the first
// principal stress, then per element the second, each a segment centred on the midpoint of
// corners 1 and 4 with half-length |s| x "ScaleFactor" along the angle (the second at right
// angles), on Vendel_Plus when s > 0 and "Tension" is 1, on Vendel_Minus when s <= 0 and
// "Compression" is 1. `progress` hears the share drawn after every element, in three equal
// thirds. The active viewport is regenerated when `regenerate`. The results as ClearStresses
// leaves them (a single empty element) are no results: only Vendel_Plus and Vendel_Minus are
// erased and nothing is drawn, so that the mesh stays in the drawing until results replace it.
// Any failure ends the drawing: "There was an error drawing data." with the advice to revise the
// input (style 16), false; what was drawn stays and `progress` keeps its last share.
bool DrawStresses(const StressModel& model, const SettingsArray& settings, cad::AcadDocument& document,
                  bool regenerate, const cad::DrawingProgress& progress = {});

// Forgets the results (a single empty element remains) and erases their segments on Vendel_Plus
// and Vendel_Minus: they belong to a model that has changed. Vendel_Mesh stays (the gridlines, or
// the outlines of the last results, which show the same mesh) until the next results are drawn,
// so a run that fails leaves the mesh in the drawing. A failure of the erase is thrown to the
// caller.
void ClearStresses(StressModel& model, cad::AcadDocument& document);

// The same routines on the program-wide model, settings and working drawing. Without a working
// drawing DrawStresses shows its failure message and ClearStresses forgets the results and
// throws CadError kDisconnected.
bool DrawStresses(bool regenerate, const cad::DrawingProgress& progress = {});
void ClearStresses();

} // namespace ardela::vendel
