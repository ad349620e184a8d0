// Guards Korrin's Options redraw rule against: a redraw for options that only take effect at the
// next result drawing, or the supports and loads not redrawn (cleared first) for a new text height.
#include <QStringList>

#include <gtest/gtest.h>

#include "truss_wizard/KorrinProfile.h"

using namespace ardela;

namespace {

TEST(KorrinOptionsRedraw, KorrinRedrawsSupportsAndLoadsOnlyForANewTextHeight)
{
    QStringList calls;
    const cad::OptionsRedraw redraw = KorrinOptionsRedraw({
        [&] { calls << QStringLiteral("ClearBlocks"); },
        [&](bool all) { calls << (all ? QStringLiteral("DrawBlocks(true)") : QStringLiteral("DrawBlocks(false)")); },
        [&] { calls << QStringLiteral("ClearLoads"); },
        [&](bool all) { calls << (all ? QStringLiteral("DrawLoads(true)") : QStringLiteral("DrawLoads(false)")); },
    });
    OptionsChanges others;
    others.scaleFactor = others.colorMode = others.tension = others.compression = others.layerColors = true;
    redraw(others);
    EXPECT_TRUE(calls.isEmpty());
    OptionsChanges height;
    height.textHeight = true;
    redraw(height);
    EXPECT_EQ(calls, (QStringList{"ClearBlocks", "DrawBlocks(false)", "ClearLoads", "DrawLoads(false)"}));
}

} // namespace
