// Korrin as the connection knows it: its title, its English texts and its six layers.
#pragma once

#include "cad/ProgramProfile.h"

namespace ardela {

// The profile without draw routines; whoever draws the model (the wizard window, the batch
// tool) sets drawModelLayer.
cad::ProgramProfile KorrinProfile();

} // namespace ardela
