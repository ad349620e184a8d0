// Guards against a view that paints the wrong picture: layer colours, hidden layers shown,
// dashes lost or drawn solid, solids left hollow, text missing, drawing placed off its pixels.
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cadhost/ui/AciColors.h"
#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfFile.h"
#include "cadhost/engine/Linetypes.h"
#include "cadhost/ui/DrawingRenderer.h"
#include "support/TestSupport.h"

using namespace cadhost;

namespace {

// 200 x 100 pixels, 10 px per drawing unit, drawing point (0, 0) at pixel (100, 50).
ViewTransform TenPixelsPerUnit()
{
    return ViewTransform{10.0, 0.0, 0.0, 200, 100};
}

QImage Paint(const Document& doc)
{
    QImage image(200, 100, QImage::Format_RGB32);
    DrawingRenderer::Render(doc, TenPixelsPerUnit(), image);
    return image;
}

int CountColor(const QImage& image, QColor color, int row = -1)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        if (row >= 0 && y != row)
            continue;
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == color ? 1 : 0;
    }
    return n;
}

} // namespace

TEST(Renderer, LinesTakeTheirLayerColourAtTheirPixels)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("Red");
    doc.SetLayerColor("Red", 1);
    doc.SetActiveLayer("Red");
    doc.AddLine({-5, 2, 0}, {5, 2, 0});   // pixel row 50 - 20 = 30, columns 50..150
    const QImage image = Paint(doc);
    EXPECT_EQ(image.pixelColor(100, 30), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(50, 30), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(150, 30), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(40, 30), DrawingRenderer::Background());
    EXPECT_EQ(image.pixelColor(100, 50), DrawingRenderer::Background());
    EXPECT_EQ(CountColor(image, QColor(255, 0, 0)), 101);
}

TEST(Renderer, AnEntityOfItsOwnColourAndLineTypeIsPaintedSoCachedOrNot)
{
    LinetypeTable::SetSearchFolders({ardela::test::BinDir()});
    Document doc("Drawing1.dxf");
    doc.LoadLinetype("DASHED", "acad.lin");
    doc.AddLayer("Green");
    doc.SetLayerColor("Green", 3);
    Entity red;
    red.kind = EntityKind::Line;
    red.layer = QStringLiteral("Green");
    red.color = 1;
    red.points = {{-5, 2, 0}, {5, 2, 0}};   // pixel row 30
    doc.AddEntity(red);
    Entity dashed;
    dashed.kind = EntityKind::Line;
    dashed.layer = QStringLiteral("Green");
    dashed.linetype = QStringLiteral("DASHED");
    dashed.points = {{-5, -2, 0}, {5, -2, 0}};   // pixel row 70, the layer's green
    doc.AddEntity(dashed);
    const QColor redColour(255, 0, 0), green(0, 255, 0);
    RenderCache cache;
    for (int pass = 0; pass < 2; ++pass) {
        QImage image(200, 100, QImage::Format_RGB32);
        DrawingRenderer::Render(doc, TenPixelsPerUnit(), image, &cache);
        EXPECT_EQ(CountColor(image, redColour, 30), 101) << "pass " << pass;
        EXPECT_EQ(CountColor(image, green, 30), 0) << "pass " << pass;
        const int dashedGreen = CountColor(image, green, 70);
        EXPECT_GT(dashedGreen, 20) << "pass " << pass;
        EXPECT_LT(dashedGreen, 101) << "the dashed line was drawn solid, pass " << pass;
    }
}

TEST(Renderer, LayersOffOrFrozenAreNotPainted)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("A");
    doc.SetLayerColor("A", 3);
    doc.SetActiveLayer("A");
    doc.AddLine({-5, 0, 0}, {5, 0, 0});
    doc.SetActiveLayer("0");
    EXPECT_GT(CountColor(Paint(doc), AciColor(3)), 0);
    doc.SetLayerOn("A", false);
    EXPECT_EQ(CountColor(Paint(doc), AciColor(3)), 0);
    doc.SetLayerOn("A", true);
    doc.SetLayerFrozen("A", true);
    EXPECT_EQ(CountColor(Paint(doc), AciColor(3)), 0);
}

TEST(Renderer, DashedLayersShowGapsScaledByLtscale)
{
    LinetypeTable::SetSearchFolders({ardela::test::BinDir()});
    Document doc("Drawing1.dxf");
    doc.LoadLinetype("DASHED", "acad.lin");
    doc.AddLayer("Minus");
    doc.SetLayerColor("Minus", 1);
    doc.SetLayerLinetype("Minus", "DASHED");
    doc.SetActiveLayer("Minus");
    doc.AddLine({-9, 0, 0}, {9, 0, 0});   // 180 px along row 50
    doc.SetVariable("LTSCALE", 4.0);        // dash 0.5 x 4 = 2 units = 20 px, gap 10 px
    const int lit = CountColor(Paint(doc), QColor(255, 0, 0), 50);
    EXPECT_GT(lit, 180 * 0.55);
    EXPECT_LT(lit, 180 * 0.8);
    // At LTSCALE 1 a period is 7.5 px: still dashed, about two thirds lit.
    doc.SetVariable("LTSCALE", 1.0);
    const int fine = CountColor(Paint(doc), QColor(255, 0, 0), 50);
    EXPECT_GT(fine, 180 * 0.5);
    EXPECT_LT(fine, 180 * 0.85);
    // Continuous draws every pixel.
    doc.SetLayerLinetype("Minus", "Continuous");
    EXPECT_EQ(CountColor(Paint(doc), QColor(255, 0, 0), 50), 181);
}

TEST(Renderer, SolidsAreFilledAndTextIsPainted)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("Blocks");
    doc.SetLayerColor("Blocks", 40);
    doc.SetActiveLayer("Blocks");
    doc.AddSolid({0, 0, 0}, {-2, -4, 0}, {2, -4, 0}, {2, -4, 0});   // triangle below (100, 50)
    const QImage solid = Paint(doc);
    EXPECT_EQ(solid.pixelColor(100, 80), AciColor(40)) << "inside the triangle";
    EXPECT_EQ(solid.pixelColor(78, 85), DrawingRenderer::Background()) << "left of the edge from (100, 50) to (80, 90)";
    EXPECT_EQ(solid.pixelColor(100, 45), DrawingRenderer::Background()) << "above the apex";

    Document text("Drawing2.dxf");
    text.AddLayer("Nodes");
    text.SetLayerColor("Nodes", 2);
    text.SetActiveLayer("Nodes");
    text.AddText("12", {-8, -2, 0}, 3.0);   // 30 px tall glyphs left of the centre
    const QImage painted = Paint(text);
    int inBox = 0, outside = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            if (painted.pixelColor(x, y) == AciColor(2))
                (x >= 18 && x <= 70 && y >= 35 && y <= 72 ? inBox : outside) += 1;
    EXPECT_GT(inBox, 40);
    EXPECT_EQ(outside, 0);
}

TEST(Renderer, FitShowsTheWholeBoxCentred)
{
    const ViewTransform v = ViewTransform::Fit(Box2{100, 200, 300, 250}, 400, 300);
    const QPointF a = v.ToScreen(100, 200), b = v.ToScreen(300, 250);
    EXPECT_NEAR((a.x() + b.x()) / 2, 200, 1e-9);
    EXPECT_NEAR((a.y() + b.y()) / 2, 150, 1e-9);
    EXPECT_NEAR(b.x() - a.x(), 360, 1e-9);   // 90 % of the width, the tighter side
    EXPECT_GT(a.y(), b.y()) << "y grows upwards in the drawing";
    const Point3 back = v.ToWorld(a);
    EXPECT_NEAR(back.x, 100, 1e-9);
    EXPECT_NEAR(back.y, 200, 1e-9);
}

TEST(Renderer, ACachedRedrawFollowsEveryChangeOfTheDrawing)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("Red");
    doc.SetLayerColor("Red", 1);
    doc.SetActiveLayer("Red");
    const ObjectId line = doc.AddLine({-5, 2, 0}, {5, 2, 0});
    doc.AddLine({-5, -2, 0}, {5, -2, 0});
    RenderCache cache;
    QImage image(200, 100, QImage::Format_RGB32);
    DrawingRenderer::Render(doc, TenPixelsPerUnit(), image, &cache);
    EXPECT_EQ(CountColor(image, QColor(255, 0, 0)), 2 * 101);
    DrawingRenderer::Render(doc, TenPixelsPerUnit(), image, &cache);
    EXPECT_EQ(CountColor(image, QColor(255, 0, 0)), 2 * 101) << "the cached redraw differs";
    SelectionSet& set = doc.AddSelectionSet("tempss");
    set.Select(kSelectCrossing, Point3{0, 2, 0}, Point3{0, 2, 0});
    set.Erase();
    EXPECT_EQ(doc.Find(line), nullptr);
    DrawingRenderer::Render(doc, TenPixelsPerUnit(), image, &cache);
    EXPECT_EQ(CountColor(image, QColor(255, 0, 0)), 101);
    EXPECT_EQ(image.pixelColor(100, 30), DrawingRenderer::Background()) << "an erased line is still shown";
    doc.SetLayerColor("Red", 3);
    DrawingRenderer::Render(doc, TenPixelsPerUnit(), image, &cache);
    EXPECT_EQ(CountColor(image, AciColor(3)), 101);
}

TEST(Renderer, A3dPolylineIsDrawnSoCachedOrNotAndZoomedIn)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("Red");
    doc.SetLayerColor("Red", 1);
    doc.SetActiveLayer("Red");
    doc.AddPolyline({-5, 2, 1, 5, 2, 3});   // pixel row 30, columns 50..150 (z plays no part)
    doc.AddLine({-500, -400, 0}, {-499, -400, 0});   // far away: the 200 x 100 view shows a small part
    for (RenderCache* cache : {static_cast<RenderCache*>(nullptr), new RenderCache}) {
        QImage image(200, 100, QImage::Format_RGB32);
        DrawingRenderer::Render(doc, TenPixelsPerUnit(), image, cache);
        EXPECT_EQ(CountColor(image, QColor(255, 0, 0), 30), 101) << "cached: " << (cache != nullptr);
        delete cache;
    }
}

TEST(Renderer, LinesReachingPastTheImageAreCutAtItsEdges)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("Red");
    doc.SetLayerColor("Red", 1);
    doc.SetActiveLayer("Red");
    doc.AddLine({-1000, 1, 0}, {1000, 1, 0});   // across the whole width at row 40
    doc.AddLine({3, -1000, 0}, {3, 1000, 0});   // down the whole height at column 130
    doc.AddLine({50, 50, 0}, {60, 60, 0});      // wholly outside
    const QImage image = Paint(doc);
    EXPECT_EQ(CountColor(image, QColor(255, 0, 0), 40), 200);
    int column = 0;
    for (int y = 0; y < 100; ++y)
        column += image.pixelColor(130, y) == QColor(255, 0, 0) ? 1 : 0;
    EXPECT_EQ(column, 100);
    EXPECT_EQ(CountColor(image, QColor(255, 0, 0)), 200 + 100 - 1);
}

TEST(Renderer, APolylineOfShortSegmentsLeavesNoGapBetweenItsPixels)
{
    // Segments 1.8 pixels long along a row, as a curve's outline is drawn when zoomed out.
    Document doc("Drawing1.dxf");
    std::vector<double> xy;
    for (int i = 0; i <= 50; ++i) {
        xy.push_back(-8.0 + 0.18 * i);
        xy.push_back(0.0);
    }
    doc.AddLightWeightPolyline(xy);
    QImage image(200, 100, QImage::Format_RGB32);
    DrawingRenderer::Render(doc, TenPixelsPerUnit(), image);
    // From x = -8 (pixel 20) to x = 1 (pixel 110) on row 50 every pixel is drawn.
    for (int x = 21; x < 110; ++x)
        EXPECT_NE(image.pixel(x, 50), DrawingRenderer::Background().rgb()) << "gap at pixel " << x;
}

TEST(Renderer, ASolidHatchIsFilledAndAPatternHatchShowsItsBoundary)
{
    // Two square hatches of colour 1 (red) read from a file: x 0..4 solid, x 6..10 a pattern.
    auto hatch = [](double x0, int solid) {
        const QString x1 = QString::number(x0 + 4.0, 'f', 1), x = QString::number(x0, 'f', 1);
        return QStringLiteral("  0\nHATCH\n  8\n0\n 62\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n  2\nSOLID\n 70\n%1\n 71\n0\n"
                              " 91\n1\n 92\n3\n 72\n0\n 73\n1\n 93\n4\n 10\n%2\n 20\n0.0\n 10\n%3\n 20\n0.0\n"
                              " 10\n%3\n 20\n4.0\n 10\n%2\n 20\n4.0\n 97\n0\n 75\n0\n 76\n1\n 98\n0\n")
            .arg(solid).arg(x, x1);
    };
    QTemporaryDir dir;
    QFile file(dir.filePath("hatches.dxf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("  0\nSECTION\n  2\nENTITIES\n" + hatch(0, 1) + hatch(6, 0) + "  0\nENDSEC\n  0\nEOF\n").toLatin1());
    file.close();
    Document doc("x");
    DxfFile::Read(file.fileName(), doc);
    ASSERT_EQ(doc.EntityCount(), 2u);
    QImage image(200, 100, QImage::Format_RGB32);
    for (RenderCache* cache : {static_cast<RenderCache*>(nullptr), new RenderCache}) {
        const ViewTransform view{10.0, 5.0, 2.0, 200, 100};
        DrawingRenderer::Render(doc, view, image, cache);
        const QPointF solid = view.ToScreen(2, 2), pattern = view.ToScreen(8, 2), edge = view.ToScreen(6, 2);
        EXPECT_EQ(QColor(image.pixel(solid.toPoint())), AciColor(1)) << "cached: " << (cache != nullptr);
        EXPECT_EQ(QColor(image.pixel(pattern.toPoint())), DrawingRenderer::Background());
        EXPECT_EQ(QColor(image.pixel(edge.toPoint())), AciColor(1));
        delete cache;
    }
}

namespace {

// A document of the entities laid out by hand in an ENTITIES section.
void ReadEntities(Document& doc, const QTemporaryDir& dir, const QByteArray& entities)
{
    QFile file(dir.filePath("laid.dxf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n");
    file.close();
    DxfFile::Read(file.fileName(), doc);
}

} // namespace

TEST(Renderer, AMultilineTextShowsItsGlyphsInTheirOwnColourNotItsBox)
{
    // White by its layer, its text red by its code; 2 high at (-8, 3): the glyphs lie in rows
    // 20..40, and no white pixel means its box is not drawn.
    QTemporaryDir dir;
    Document doc("x");
    ReadEntities(doc, dir, "  0\nMTEXT\n  8\n0\n 10\n-8.0\n 20\n3.0\n 30\n0.0\n 40\n2.0\n 41\n16.0\n 71\n1\n"
                           "  1\n{\\C1;HELLO} {\\C3;W}\n");
    for (RenderCache* cache : {static_cast<RenderCache*>(nullptr), new RenderCache}) {
        QImage image(200, 100, QImage::Format_RGB32);
        DrawingRenderer::Render(doc, TenPixelsPerUnit(), image, cache);
        int red = 0, outside = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x)
                if (image.pixelColor(x, y) == AciColor(1)) {
                    ++red;
                    outside += (y < 18 || y > 42 || x < 18) ? 1 : 0;
                }
        EXPECT_GT(red, 40) << "cached: " << (cache != nullptr);
        EXPECT_EQ(outside, 0);
        EXPECT_GT(CountColor(image, AciColor(3)), 5) << "the green word";
        EXPECT_EQ(CountColor(image, AciColor(7)), 0) << "no box";
        delete cache;
    }
}

TEST(Renderer, ConstructionLinesCrossTheWholeViewAndRaysRunFromTheirBase)
{
    QTemporaryDir dir;
    Document doc("x");
    ReadEntities(doc, dir, "  0\nXLINE\n  8\n0\n 62\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n0.0\n 31\n0.0\n"
                           "  0\nRAY\n  8\n0\n 62\n3\n 10\n0.0\n 20\n1.0\n 30\n0.0\n 11\n1.0\n 21\n0.0\n 31\n0.0\n");
    for (RenderCache* cache : {static_cast<RenderCache*>(nullptr), new RenderCache}) {
        QImage image(200, 100, QImage::Format_RGB32);
        DrawingRenderer::Render(doc, TenPixelsPerUnit(), image, cache);
        EXPECT_EQ(CountColor(image, AciColor(1), 50), 200) << "cached: " << (cache != nullptr);
        EXPECT_EQ(CountColor(image, AciColor(3), 40), 100);
        EXPECT_EQ(image.pixelColor(99, 40), DrawingRenderer::Background()) << "nothing behind the ray's base";
        delete cache;
    }
}

namespace {

// The image of the drawing through `cache`, and through a cache gathered afresh; they must agree.
void ExpectSameAsFresh(const Document& doc, RenderCache& cache, const char* after)
{
    const ViewTransform view = TenPixelsPerUnit();
    QImage kept(200, 100, QImage::Format_RGB32), fresh(200, 100, QImage::Format_RGB32);
    DrawingRenderer::Render(doc, view, kept, &cache);
    RenderCache gathered;
    DrawingRenderer::Render(doc, view, fresh, &gathered);
    int differ = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            differ += kept.pixel(x, y) != fresh.pixel(x, y) ? 1 : 0;
    EXPECT_EQ(differ, 0) << "pixels differ after " << after;
}

} // namespace

TEST(Renderer, ACacheKeptUpChangeByChangePaintsWhatAFreshOneDoes)
{
    // The cache follows each change by the entities it touched; whatever the changes, its picture
    // is the one a cache gathered from the whole drawing gives.
    Document doc("Drawing1.dxf");
    doc.AddLayer("Red");
    doc.SetLayerColor("Red", 1);
    doc.AddLayer("Green");
    doc.SetLayerColor("Green", 3);
    doc.SetActiveLayer("Red");
    // Wide enough (a drawing 100 units across) that the 20 x 10 unit view shows most of it.
    doc.AddLine({-9, -4, 0}, {9, 4, 0});
    const ObjectId crossing = doc.AddLine({-9, 4, 0}, {9, -4, 0});
    RenderCache cache;
    ExpectSameAsFresh(doc, cache, "the first gathering");
    EXPECT_EQ(cache.Gatherings(), 1u);

    doc.AddLine({-9, 0, 0}, {9, 0, 0});
    ExpectSameAsFresh(doc, cache, "a line added");
    doc.SetEntityLayer(crossing, "Green");
    ExpectSameAsFresh(doc, cache, "a line moved to another layer");
    doc.Erase(crossing);
    ExpectSameAsFresh(doc, cache, "an erase");
    doc.Undo();
    ExpectSameAsFresh(doc, cache, "the erase undone");
    doc.SetLayerColor("Green", 5);
    ExpectSameAsFresh(doc, cache, "a layer recoloured");
    EXPECT_EQ(cache.Gatherings(), 1u) << "a change gathered the whole drawing again";
    const ObjectId text = doc.AddText("AB", {-3, 1, 0}, 2.0);
    doc.SetTextHeight(text, 3.0);
    ExpectSameAsFresh(doc, cache, "a text added and made higher");
    doc.SetActiveLayer("Green");
    doc.AddLayer("Blue");
    doc.SetLayerColor("Blue", 5);
    doc.SetActiveLayer("Blue");
    doc.AddLightWeightPolyline({-8, -3, -2, 3, 4, -3});
    ExpectSameAsFresh(doc, cache, "a layer added and a polyline on it");
    Entity own;
    own.kind = EntityKind::Line;
    own.layer = QStringLiteral("Blue");
    own.color = 2;
    own.points = {{-9, -1, 0}, {9, -1, 0}};
    doc.AddEntity(own);
    ExpectSameAsFresh(doc, cache, "a line of its own colour");
    doc.AddLayer("Later");
    ExpectSameAsFresh(doc, cache, "a layer added after an own colour");
    doc.SetEntityLayer(crossing, "Red");
    doc.SetActiveLayer("Red");
    doc.DeleteLayer("Green");
    ExpectSameAsFresh(doc, cache, "a layer deleted");

    EXPECT_EQ(cache.Gatherings(), 3u) << "a layer added after an own colour, and one deleted, gather again";

    // Many changes at once are gathered afresh; thousands more, followed one by one, have their
    // items packed into the others.
    auto addLines = [&doc](int count, double y) {
        const Document::Step step(doc);
        for (int i = 0; i < count; ++i)
            doc.AddLine({-9.0 + 0.003 * i, y, 0}, {-9.0 + 0.003 * i, y + 0.5, 0});
    };
    addLines(6000, 2.5);
    ExpectSameAsFresh(doc, cache, "6000 lines added");
    EXPECT_EQ(cache.Gatherings(), 4u);
    addLines(4600, -3.5);
    ExpectSameAsFresh(doc, cache, "4600 more lines added");
    SelectionSet& set = doc.AddSelectionSet("tempss");
    set.Select(kSelectCrossing, Point3{-9, 2.6, 0}, Point3{-3, 2.9, 0});
    ASSERT_GT(set.Count(), 1000);
    set.Erase();
    ExpectSameAsFresh(doc, cache, "a selection set's erase");
    doc.Undo();
    ExpectSameAsFresh(doc, cache, "the erase undone");
    doc.Undo();
    ExpectSameAsFresh(doc, cache, "4600 lines taken away by an undo");
    EXPECT_EQ(cache.Gatherings(), 4u);
}
