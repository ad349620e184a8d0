// Korrin's program profile.
#include "truss_wizard/KorrinProfile.h"

namespace ardela {

cad::ProgramProfile KorrinProfile()
{
    cad::ProgramProfile profile;
    profile.title = QStringLiteral("Korrin");
    profile.layers = cad::KorrinLayers();
    return profile;
}

} // namespace ardela
