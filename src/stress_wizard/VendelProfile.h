// Vendel as the connection knows it (its title, its Romanian start-up texts and its six layers)
// and what its Options redraw.
#pragma once

#include <functional>

#include "cad/OptionsDrawing.h"
#include "cad/ProgramProfile.h"

namespace ardela {

// The profile without draw routines; whoever draws the model (the wizard window) sets
// drawModelLayer. Only the texts of ConnectAcad are Romanian; the others keep the English set.
cad::ProgramProfile VendelProfile();

// What Vendel says when its Options could not update the drawing, in Romanian.
cad::OptionsDrawingTexts VendelOptionsDrawingTexts();

// The wizard routines Vendel's redraw calls.
struct VendelOptionsRoutines {
    std::function<bool()> IsDirty;   // the model changed since its results were drawn
    std::function<void(bool)> DrawStresses;
    std::function<void()> ClearLoads;
    std::function<void(bool)> DrawLoads;
};
// Vendel: a changed scale factor, colour mode or plot flag redraws the stresses of a saved
// analysis; a changed text height redraws the loads.
cad::OptionsRedraw VendelOptionsRedraw(VendelOptionsRoutines routines);

} // namespace ardela
