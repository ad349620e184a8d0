// Korrin's program profile and its Options redraw rule.
#include "truss_wizard/KorrinProfile.h"

namespace ardela {

cad::ProgramProfile KorrinProfile()
{
    cad::ProgramProfile profile;
    profile.title = QStringLiteral("Korrin");
    profile.layers = cad::KorrinLayers();
    return profile;
}

cad::OptionsRedraw KorrinOptionsRedraw(KorrinOptionsRoutines routines)
{
    return [routines = std::move(routines)](const OptionsChanges& changes) {
        if (!changes.textHeight)
            return;
        routines.ClearBlocks();
        routines.DrawBlocks(false);
        routines.ClearLoads();
        routines.DrawLoads(false);
    };
}

} // namespace ardela
