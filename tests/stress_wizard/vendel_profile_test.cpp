// Guards Vendel's program profile against: an English or misspelt start-up text, the other
// texts not left in English, the wrong layers, or draw routines set where the window sets them.
#include <gtest/gtest.h>

#include "cad/ProgramLayers.h"
#include "stress_wizard/VendelProfile.h"

using namespace ardela;

namespace {

TEST(VendelProfile, StartUpTextsAreRomanianAndTheRestStayEnglish)
{
    const cad::ProgramProfile profile = VendelProfile();
    EXPECT_EQ(profile.title, QStringLiteral("Vendel"));
    EXPECT_EQ(profile.texts.starting, QStringLiteral("Va rugam asteptati. Se porneste aplicatia AutoCAD..."));
    EXPECT_EQ(profile.texts.startFailure,
              QStringLiteral("Nu am putut porni aplicatia AutoCAD. Va rugam reinstalati aplicatia AutoCAD si reincercati."));
    EXPECT_EQ(profile.texts.attachQuestion,
              QStringLiteral("A fost gasita o aplicatie AutoCAD care ruleaza. Vreti sa va conectati la aplicatia curenta?"));
    EXPECT_EQ(profile.texts.connecting, QStringLiteral("Va rugam asteptati. Se conecteaza aplicatia AutoCAD curenta..."));

    EXPECT_EQ(profile.texts.settingUp, QStringLiteral("Please wait. Setting up AutoCAD drawing..."));
    EXPECT_EQ(profile.texts.settingUpNew, QStringLiteral("Please wait. Stting up AutoCAD drawing..."));
    EXPECT_EQ(profile.texts.currentFailure, QStringLiteral("Could not connect to the current drawing. Check AutoCAD and retry."));
    EXPECT_EQ(profile.texts.closeUnsaved,
              QStringLiteral("The application will close and the analysis was not saved to a file. Do you want to close?"));
}

TEST(VendelProfile, HasVendelsSixLayersAndNoDrawRoutinesYet)
{
    const cad::ProgramProfile profile = VendelProfile();
    const QString names[6] = {QStringLiteral("Vendel_Mesh"), QStringLiteral("Vendel_Domains"), QStringLiteral("Vendel_Lines"),
                              QStringLiteral("Vendel_Loads"), QStringLiteral("Vendel_Plus"), QStringLiteral("Vendel_Minus")};
    const SettingIndex colours[6] = {SetLayer3, SetLayer4, SetLayer5, SetLayer9, SetLayer6, SetLayer7};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(profile.layers[std::size_t(i)].name, names[i]);
        EXPECT_EQ(profile.layers[std::size_t(i)].colorKey, colours[i]);
    }
    for (const auto& draw : profile.drawModelLayer)
        EXPECT_FALSE(draw);
}

} // namespace
