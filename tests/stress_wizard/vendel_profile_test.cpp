// Guards Vendel's program profile against: an English or misspelt start-up text, the other
// texts not left in English, the wrong layers, or draw routines set where the window sets them;
// and its Options redraw rule against stresses redrawn over a changed model or not redrawn at all.
#include <QStringList>

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

TEST(VendelOptionsRedraw, VendelRedrawsStressesOfASavedAnalysisAndLoadsForANewTextHeight)
{
    QStringList calls;
    bool dirty = false;
    const cad::OptionsRedraw redraw = VendelOptionsRedraw({
        [&] { return dirty; },
        [&](bool all) { calls << (all ? QStringLiteral("DrawStresses(true)") : QStringLiteral("DrawStresses(false)")); },
        [&] { calls << QStringLiteral("ClearLoads"); },
        [&](bool all) { calls << (all ? QStringLiteral("DrawLoads(true)") : QStringLiteral("DrawLoads(false)")); },
    });
    auto run = [&](auto set) {
        calls.clear();
        OptionsChanges changes;
        set(changes);
        redraw(changes);
        return calls;
    };
    EXPECT_EQ(run([](OptionsChanges& c) { c.scaleFactor = true; }), QStringList{"DrawStresses(false)"});
    EXPECT_EQ(run([](OptionsChanges& c) { c.colorMode = true; }), QStringList{"DrawStresses(false)"});
    EXPECT_EQ(run([](OptionsChanges& c) { c.tension = true; }), QStringList{"DrawStresses(false)"});
    EXPECT_EQ(run([](OptionsChanges& c) { c.compression = true; }), QStringList{"DrawStresses(false)"});
    EXPECT_EQ(run([](OptionsChanges& c) { c.layerColors = true; }), QStringList{});
    EXPECT_EQ(run([](OptionsChanges& c) { c.textHeight = true; }), (QStringList{"ClearLoads", "DrawLoads(false)"}));
    EXPECT_EQ(run([](OptionsChanges& c) { c.textHeight = c.scaleFactor = true; }),
              (QStringList{"DrawStresses(false)", "ClearLoads", "DrawLoads(false)"}));
    dirty = true;
    EXPECT_EQ(run([](OptionsChanges& c) { c.scaleFactor = c.tension = true; }), QStringList{});
    EXPECT_EQ(run([](OptionsChanges& c) { c.textHeight = c.colorMode = true; }),
              (QStringList{"ClearLoads", "DrawLoads(false)"}));
}

} // namespace
