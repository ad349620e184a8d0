// Guards the drawing of kinds kept by their records against wrong geometry: a bulge's arc on
// the wrong side or through the wrong point, a spline away from ezdxf's own evaluation, a
// block reference placed, scaled or turned wrongly, arc extents short of their closed form,
// and such kinds escaping selection, erasing, re-layering and undo.
#include <cmath>
#include <numbers>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfFile.h"
#include "cadhost/engine/DxfOutline.h"
#include "support/EngineChecks.h"

using namespace cadhost;
using cadhost::test::ReadLaid;

namespace {

bool HasPoint(const std::vector<Point3>& points, double x, double y)
{
    for (const Point3& p : points)
        if (!IsBreak(p) && std::abs(p.x - x) < 1e-9 && std::abs(p.y - y) < 1e-9)
            return true;
    return false;
}

} // namespace

TEST(Outline, ABulgesArcPassesThroughItsMidPointOnTheSideItsSignSays)
{
    // Chord (0,0)-(10,0); bulge 0.5 turns counter-clockwise, so the arc runs below the chord,
    // its sagitta bulge * chord / 2 = 2.5 deep at the middle.
    std::vector<Point3> arc{{0, 0, 0}};
    BulgePoints({0, 0, 0}, {10, 0, 0}, 0.5, arc);
    EXPECT_TRUE(HasPoint(arc, 5, -2.5));
    for (const Point3& p : arc) {
        EXPECT_LE(p.y, 1e-12);
        // Every point lies on the circle through both ends and the middle: radius 6.25.
        EXPECT_NEAR(std::hypot(p.x - 5, p.y - 3.75), 6.25, 1e-9);
    }
    EXPECT_EQ(arc.back(), (Point3{10, 0, 0}));
    // A half circle the other way (bulge -1) passes through (5, 5).
    std::vector<Point3> half{{0, 0, 0}};
    BulgePoints({0, 0, 0}, {10, 0, 0}, -1.0, half);
    EXPECT_TRUE(HasPoint(half, 5, 5));
}

TEST(Outline, ArcExtentsAreTheirClosedForm)
{
    QTemporaryDir dir;
    Document doc("x");
    // Radius 5 about (2, 3) from 30 to 250 degrees: it passes the top (90) and the left (180).
    ReadLaid(doc, dir, "  0\nARC\n  8\n0\n 10\n2.0\n 20\n3.0\n 30\n0.0\n 40\n5.0\n 50\n30.0\n 51\n250.0\n");
    const Box2 box = doc.Extents();
    const double pi = std::numbers::pi;
    EXPECT_NEAR(box.minX, 2 - 5, 1e-9);
    EXPECT_NEAR(box.maxX, 2 + 5 * std::cos(30 * pi / 180), 1e-9);
    EXPECT_NEAR(box.minY, 3 + 5 * std::sin(250 * pi / 180), 1e-9);
    EXPECT_NEAR(box.maxY, 3 + 5, 1e-9);
    cadhost::test::ExpectDocumentConsistent(doc);
}

TEST(Outline, ABlockReferenceIsTheBlockScaledTurnedAndMovedByHand)
{
    QTemporaryDir dir;
    Document doc("x");
    // Block base (1, 1); its line (0,0)-(1,0). Inserted at (10, 20), scales 2 and 3, turned 90
    // degrees: (x, y) -> (10, 20) + R90 * (2 (x - 1), 3 (y - 1)) with R90 (u, v) = (-v, u).
    ReadLaid(doc, dir,
             "  0\nINSERT\n  8\n0\n  2\nB\n 10\n10.0\n 20\n20.0\n 30\n0.0\n 41\n2.0\n 42\n3.0\n 50\n90.0\n",
             "  0\nBLOCK\n  8\n0\n  2\nB\n 70\n0\n 10\n1.0\n 20\n1.0\n 30\n0.0\n"
             "  0\nLINE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n0.0\n 31\n0.0\n"
             "  0\nENDBLK\n");
    ASSERT_EQ(doc.EntityCount(), 1u);
    std::vector<Point3> drawn;
    doc.ForEachEntity([&](const Entity& e) { drawn = doc.Outline(e); });
    EXPECT_TRUE(HasPoint(drawn, 10 + 3, 20 - 2)) << "start (0,0): (-2,-3) turned is (3,-2)";
    EXPECT_TRUE(HasPoint(drawn, 10 + 3, 20 + 0)) << "end (1,0): (0,-3) turned is (3,0)";
    // A 2 x 3 array of it spaced 5 and 7 (along the turned axes) draws six copies.
    Document arrayed("y");
    ReadLaid(arrayed, dir,
             "  0\nINSERT\n  8\n0\n  2\nB\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 70\n2\n 71\n3\n 44\n5.0\n 45\n7.0\n",
             "  0\nBLOCK\n  8\n0\n  2\nB\n 70\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
             "  0\nLINE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n0.0\n 31\n0.0\n"
             "  0\nENDBLK\n");
    arrayed.ForEachEntity([&](const Entity& e) { drawn = arrayed.Outline(e); });
    for (int c = 0; c < 2; ++c)
        for (int r = 0; r < 3; ++r)
            EXPECT_TRUE(HasPoint(drawn, 5.0 * c + 1, 7.0 * r)) << c << " " << r;
}

TEST(Outline, SplinePointsAreEzdxfsOwnEvaluation)
{
    QProcess probe;
    probe.start("/usr/bin/python3", {"-c", "import ezdxf"});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-ezdxf is not installed";
    // A rational cubic with an uneven knot vector, evaluated by ezdxf at 20 even steps.
    const std::vector<Point3> controls{{0, 0, 0}, {2, 4, 0}, {6, 1, 0}, {9, 5, 1}, {12, 0, 0}};
    const std::vector<double> knots{0, 0, 0, 0, 0.3, 1.7, 1.7, 1.7, 1.7};
    const std::vector<double> weights{1, 2, 0.5, 1.5, 1};
    const char* script = R"PY(
from ezdxf.math import BSpline
s = BSpline([(0, 0, 0), (2, 4, 0), (6, 1, 0), (9, 5, 1), (12, 0, 0)], order=4,
            knots=[0, 0, 0, 0, 0.3, 1.7, 1.7, 1.7, 1.7], weights=[1, 2, 0.5, 1.5, 1])
for p in s.approximate(20):
    print("%.17g %.17g %.17g" % (p.x, p.y, p.z))
)PY";
    QProcess py;
    py.start("/usr/bin/python3", {"-c", script});
    ASSERT_TRUE(py.waitForFinished(60000));
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(py.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    const std::vector<Point3> mine = SplinePoints(3, knots, controls, weights, 20);
    ASSERT_EQ(std::size_t(lines.size()), mine.size());
    for (std::size_t i = 0; i < mine.size(); ++i) {
        const QStringList xyz = lines[qsizetype(i)].split(' ');
        EXPECT_NEAR(mine[i].x, xyz[0].toDouble(), 1e-9) << i;
        EXPECT_NEAR(mine[i].y, xyz[1].toDouble(), 1e-9) << i;
        EXPECT_NEAR(mine[i].z, xyz[2].toDouble(), 1e-9) << i;
    }
}

TEST(Outline, KindsDrawnFromTheirRecordsAreSelectedErasedMovedAndUndoneLikeAnyOther)
{
    QTemporaryDir dir;
    Document doc("x");
    ReadLaid(doc, dir,
             "  0\nCIRCLE\n  8\nWalls\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n2.0\n1001\nAPP\n1000\nkept\n"
             "  0\nLWPOLYLINE\n  8\n0\n 90\n2\n 70\n0\n 10\n0.0\n 20\n10.0\n 42\n1.0\n 10\n4.0\n 20\n10.0\n"
             "  0\nLINE\n  8\n0\n 10\n50.0\n 20\n50.0\n 30\n0.0\n 11\n60.0\n 21\n50.0\n 31\n0.0\n");
    ASSERT_EQ(doc.EntityCount(), 3u);
    // A crossing window through the circle's rim, away from its centre, finds it.
    EXPECT_EQ(doc.SelectCrossing(Box2{1.9, -0.1, 2.1, 0.1}).size(), 1u);
    EXPECT_TRUE(doc.SelectCrossing(Box2{-0.5, -0.5, 0.5, 0.5}).empty()) << "inside the circle, off its rim";
    // The half-circle bulge reaches (2, 8) below its chord.
    EXPECT_EQ(doc.SelectCrossing(Box2{1.9, 7.9, 2.1, 8.1}).size(), 1u);
    SelectionSet& circles = doc.AddSelectionSet("tempss");
    circles.Select(kSelectAll, std::nullopt, std::nullopt, {{0, "CIRCLE"}});
    ASSERT_EQ(circles.Count(), 1);
    const ObjectId circle = circles.Item(0);
    doc.SetEntityLayer(circle, "0");
    circles.Select(kSelectAll, std::nullopt, std::nullopt, {{0, "CIRCLE"}});
    circles.Erase();
    EXPECT_EQ(doc.Find(circle), nullptr);
    ASSERT_TRUE(doc.Undo());
    ASSERT_NE(doc.Find(circle), nullptr);
    EXPECT_EQ(doc.Find(circle)->layer, QStringLiteral("0"));
    cadhost::test::ExpectDocumentConsistent(doc);
    // Saved, the circle is on its new layer with its extended data, the rest as it was.
    SaveDocument(doc, dir.filePath("saved.dxf"));
    QFile saved(dir.filePath("saved.dxf"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_TRUE(bytes.contains("  0\nCIRCLE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n2.0\n1001\nAPP\n1000\nkept\n"));
    EXPECT_TRUE(bytes.contains(" 10\n0.0\n 20\n10.0\n 42\n1.0\n 10\n4.0\n 20\n10.0\n"));
    ASSERT_TRUE(doc.Undo());   // the layer change
    EXPECT_EQ(doc.Find(circle)->layer, QStringLiteral("Walls"));
}
