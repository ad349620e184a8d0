// Vendel's program profile and its Options redraw rule.
#include "stress_wizard/VendelProfile.h"

namespace ardela {

cad::ProgramProfile VendelProfile()
{
    cad::ProgramProfile profile;
    profile.title = QStringLiteral("Vendel");
    profile.texts.starting = QStringLiteral("Va rugam asteptati. Se porneste aplicatia AutoCAD...");
    profile.texts.startFailure =
        QStringLiteral("Nu am putut porni aplicatia AutoCAD. Va rugam reinstalati aplicatia AutoCAD si reincercati.");
    profile.texts.attachQuestion =
        QStringLiteral("A fost gasita o aplicatie AutoCAD care ruleaza. Vreti sa va conectati la aplicatia curenta?");
    profile.texts.connecting = QStringLiteral("Va rugam asteptati. Se conecteaza aplicatia AutoCAD curenta...");
    profile.layers = cad::VendelLayers();
    return profile;
}

cad::OptionsDrawingTexts VendelOptionsDrawingTexts()
{
    cad::OptionsDrawingTexts texts;
    texts.linkLost = QStringLiteral(
        "Optiunile au fost modificate, dar desenul nu a putut fi actualizat: legatura cu AutoCAD s-a pierdut.");
    texts.failed = QStringLiteral("Optiunile au fost modificate, dar desenul nu a putut fi actualizat: ");
    return texts;
}

cad::OptionsRedraw VendelOptionsRedraw(VendelOptionsRoutines routines)
{
    return [routines = std::move(routines)](const OptionsChanges& changes) {
        if ((changes.scaleFactor || changes.colorMode || changes.tension || changes.compression) && !routines.IsDirty())
            routines.DrawStresses(false);
        if (changes.textHeight) {
            routines.ClearLoads();
            routines.DrawLoads(false);
        }
    };
}

} // namespace ardela
