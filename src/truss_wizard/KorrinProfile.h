// Korrin as the connection knows it (its title, its English texts and its six layers) and what
// its Options redraw.
#pragma once

#include <functional>

#include "cad/OptionsDrawing.h"
#include "cad/ProgramProfile.h"

namespace ardela {

// The profile without draw routines; whoever draws the model (the wizard window, the batch
// tool) sets drawModelLayer.
cad::ProgramProfile KorrinProfile();

// The wizard routines Korrin's redraw calls (the draw routines take false).
struct KorrinOptionsRoutines {
    std::function<void()> ClearBlocks;
    std::function<void(bool)> DrawBlocks;
    std::function<void()> ClearLoads;
    std::function<void(bool)> DrawLoads;
};
// Korrin: a changed text height redraws the supports and the loads; other options take effect at
// the next result drawing.
cad::OptionsRedraw KorrinOptionsRedraw(KorrinOptionsRoutines routines);

} // namespace ardela
