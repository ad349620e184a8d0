// Vendel as the connection knows it: its title, its Romanian start-up texts and its six layers.
#pragma once

#include "cad/OptionsDrawing.h"
#include "cad/ProgramProfile.h"

namespace ardela {

// The profile without draw routines; whoever draws the model (the wizard window) sets
// drawModelLayer. Only the texts of ConnectAcad are Romanian; the others keep the English set.
cad::ProgramProfile VendelProfile();

// What Vendel says when its Options could not update the drawing, in Romanian.
cad::OptionsDrawingTexts VendelOptionsDrawingTexts();

} // namespace ardela
