// Guards picking with running object snap on the kinds a drawing of another program holds,
// clicked as an engineer clicks in the real host: a pick near an arc's end, on a circle's rim,
// near an ellipse's axis end, a bulged segment, a spline's end, a block reference's insertion
// point or its block's line end landing anywhere but on the closed-form point the mode asks for.
#include <array>
#include <cmath>
#include <numbers>
#include <tuple>

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "cad/CadLink.h"
#include "cad/CadProxy.h"
#include "cadlink/Wire.h"
#include "support/HostProcess.h"

using namespace ardela::cad;
using ardela::test::HostProcess;

namespace {

// The drawing, laid out by hand so that every snap point has a closed form:
// an arc about (20, 10) of radius 5 from 0 to 90 degrees; a circle about (50, 10) of radius 4;
// an ellipse about (80, 10) with major axis (6, 0) and ratio 0.5; a polyline from (0, 40) to
// (10, 40) with bulge 1 (a half circle about (5, 40) through (5, 35)) and on to (10, 50); a
// clamped cubic spline from (30, 40) to (45, 45); block B (a line from (0, 0) to (2, 0)) at
// (70, 40) turned 90 degrees; a multiline text at (90, 30).
// For crossings: circles of radius 5 about (200, 0) and (206, 0); an upper half arc of radius
// 5 about (230, 0) and a line along y = 3; an ellipse about (260, 0) with axes 6 and 3 and a
// line along x = 263; a polyline from (280, 0) to (290, 0) with bulge 1 (the lower half circle
// about (285, 0)) and a line along y = -4; a circle of radius 4 and an ellipse with axes 6 and
// 3, both about (320, 0).
// For quadrants: a circle of radius 5 about the origin tilted to the normal (0.48, 0.6, 0.64);
// block C (a circle of radius 1 about (1, 0)) at (350, 0) scaled 2 and turned 30 degrees, and
// at (380, 0) scaled 3 along its x axis and turned 90 degrees.
const char* const kDrawing =
    "  0\nSECTION\n  2\nBLOCKS\n"
    "  0\nBLOCK\n  8\n0\n  2\nB\n 70\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
    "  0\nLINE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n2.0\n 21\n0.0\n 31\n0.0\n"
    "  0\nENDBLK\n"
    "  0\nBLOCK\n  8\n0\n  2\nC\n 70\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
    "  0\nCIRCLE\n  8\n0\n 10\n1.0\n 20\n0.0\n 30\n0.0\n 40\n1.0\n"
    "  0\nENDBLK\n  0\nENDSEC\n"
    "  0\nSECTION\n  2\nENTITIES\n"
    "  0\nARC\n  8\n0\n 10\n20.0\n 20\n10.0\n 30\n0.0\n 40\n5.0\n 50\n0.0\n 51\n90.0\n"
    "  0\nCIRCLE\n  8\n0\n 10\n50.0\n 20\n10.0\n 30\n0.0\n 40\n4.0\n"
    "  0\nELLIPSE\n  8\n0\n 10\n80.0\n 20\n10.0\n 30\n0.0\n 11\n6.0\n 21\n0.0\n 31\n0.0\n 40\n0.5\n"
    " 41\n0.0\n 42\n6.283185307179586\n"
    "  0\nLWPOLYLINE\n  8\n0\n 90\n3\n 70\n0\n 10\n0.0\n 20\n40.0\n 42\n1.0\n 10\n10.0\n 20\n40.0\n"
    " 10\n10.0\n 20\n50.0\n"
    "  0\nSPLINE\n  8\n0\n 70\n8\n 71\n3\n 72\n8\n 73\n4\n 40\n0.0\n 40\n0.0\n 40\n0.0\n 40\n0.0\n"
    " 40\n1.0\n 40\n1.0\n 40\n1.0\n 40\n1.0\n 10\n30.0\n 20\n40.0\n 30\n0.0\n 10\n35.0\n 20\n50.0\n"
    " 30\n0.0\n 10\n40.0\n 20\n35.0\n 30\n0.0\n 10\n45.0\n 20\n45.0\n 30\n0.0\n"
    "  0\nINSERT\n  8\n0\n  2\nB\n 10\n70.0\n 20\n40.0\n 30\n0.0\n 50\n90.0\n"
    "  0\nMTEXT\n  8\n0\n 10\n90.0\n 20\n30.0\n 30\n0.0\n 40\n1.0\n 41\n10.0\n 71\n1\n  1\nnote\n"
    "  0\nCIRCLE\n  8\n0\n 10\n200.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n"
    "  0\nCIRCLE\n  8\n0\n 10\n206.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n"
    "  0\nARC\n  8\n0\n 10\n230.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n 50\n0.0\n 51\n180.0\n"
    "  0\nLINE\n  8\n0\n 10\n220.0\n 20\n3.0\n 30\n0.0\n 11\n240.0\n 21\n3.0\n 31\n0.0\n"
    "  0\nLINE\n  8\n0\n 10\n220.0\n 20\n-3.0\n 30\n0.0\n 11\n240.0\n 21\n-3.0\n 31\n0.0\n"
    "  0\nELLIPSE\n  8\n0\n 10\n260.0\n 20\n0.0\n 30\n0.0\n 11\n6.0\n 21\n0.0\n 31\n0.0\n 40\n0.5\n"
    " 41\n0.0\n 42\n6.283185307179586\n"
    "  0\nLINE\n  8\n0\n 10\n263.0\n 20\n-10.0\n 30\n0.0\n 11\n263.0\n 21\n10.0\n 31\n0.0\n"
    "  0\nLWPOLYLINE\n  8\n0\n 90\n2\n 70\n0\n 10\n280.0\n 20\n0.0\n 42\n1.0\n 10\n290.0\n 20\n0.0\n"
    "  0\nLINE\n  8\n0\n 10\n270.0\n 20\n-4.0\n 30\n0.0\n 11\n300.0\n 21\n-4.0\n 31\n0.0\n"
    "  0\nCIRCLE\n  8\n0\n 10\n320.0\n 20\n0.0\n 30\n0.0\n 40\n4.0\n"
    "  0\nELLIPSE\n  8\n0\n 10\n320.0\n 20\n0.0\n 30\n0.0\n 11\n6.0\n 21\n0.0\n 31\n0.0\n 40\n0.5\n"
    " 41\n0.0\n 42\n6.283185307179586\n"
    "  0\nCIRCLE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n210\n0.48\n220\n0.6\n230\n0.64\n"
    "  0\nINSERT\n  8\n0\n  2\nC\n 10\n350.0\n 20\n0.0\n 30\n0.0\n 41\n2.0\n 42\n2.0\n 43\n2.0\n 50\n30.0\n"
    "  0\nINSERT\n  8\n0\n  2\nC\n 10\n380.0\n 20\n0.0\n 30\n0.0\n 41\n3.0\n 50\n90.0\n"
    "  0\nENDSEC\n  0\nEOF\n";

class KindSnappingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        const QString socket = m_dir.filePath(QStringLiteral("host"));
        ASSERT_TRUE(m_host.Start(socket, {QStringLiteral("--socket"), socket, QStringLiteral("--second-instance")}));
        m_app = ConnectApplication(socket, 5000);
        ASSERT_TRUE(m_app);
        QFile file(m_dir.filePath(QStringLiteral("kinds.dxf")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kDrawing);
        file.close();
        m_doc = m_app->Documents()->Open(file.fileName());
        ASSERT_TRUE(m_doc);
    }

    // The point a click at (x, y) gives with running snap `osmode`.
    Point3 Pick(std::int16_t osmode, double x, double y)
    {
        m_doc->SetVariable(QStringLiteral("OSMODE"), osmode);
        std::shared_ptr<AcadUtility> utility = m_doc->Utility();
        QTimer::singleShot(0, [=, this] {
            LinkOf(m_app)->Call(Handle{HandleKind::Application, 0, QCborValue()}, QStringLiteral("SimulateInput"),
                                {QStringLiteral("click"), QCborArray{x, y, 0.0}, QString()});
        });
        return utility->GetPoint(std::nullopt, QStringLiteral("Pick:"));
    }

    QTemporaryDir m_dir;
    HostProcess m_host;
    AcadApplicationPtr m_app;
    AcadDocumentPtr m_doc;
};

constexpr std::int16_t kEnd = 1, kCentre = 4, kQuadrant = 16, kIntersection = 32, kInsertion = 64;

#define EXPECT_AT(p, x, y)                      \
    do {                                        \
        const Point3 got = (p);                 \
        EXPECT_NEAR(got[0], (x), 1e-9);         \
        EXPECT_NEAR(got[1], (y), 1e-9);         \
    } while (false)

#define EXPECT_AT3(p, x, y, z)                  \
    do {                                        \
        const Point3 got = (p);                 \
        EXPECT_NEAR(got[0], (x), 1e-9);         \
        EXPECT_NEAR(got[1], (y), 1e-9);         \
        EXPECT_NEAR(got[2], (z), 1e-9);         \
    } while (false)

} // namespace

TEST_F(KindSnappingTest, ArcCircleAndEllipsePicksLandOnTheirEndsCentresAndQuadrants)
{
    EXPECT_AT(Pick(kEnd, 25.1, 10.05), 25, 10);
    EXPECT_AT(Pick(kEnd, 20.05, 15.1), 20, 15);
    // On the circle's rim, far from its centre: centre snap takes the centre.
    EXPECT_AT(Pick(kCentre, 54.02, 10.3), 50, 10);
    EXPECT_AT(Pick(kQuadrant, 50.1, 13.9), 50, 14);
    // The ellipse's minor axis end: 0.5 x 6 above its centre.
    EXPECT_AT(Pick(kQuadrant, 80.1, 13.05), 80, 13);
    EXPECT_AT(Pick(kCentre, 80.05, 9.95), 80, 10);
    // Without snap the click is where it was.
    EXPECT_AT(Pick(0, 25.1, 10.05), 25.1, 10.05);
}

TEST_F(KindSnappingTest, PolylineSplineAndBlockReferencePicksLandOnTheirPoints)
{
    EXPECT_AT(Pick(kEnd, 10.1, 40.1), 10, 40);
    EXPECT_AT(Pick(kEnd, 9.9, 49.9), 10, 50);
    // On the bulge's lowest point: the centre of its arc.
    EXPECT_AT(Pick(kCentre, 5.0, 35.05), 5, 40);
    EXPECT_AT(Pick(kEnd, 45.05, 45.05), 45, 45);
    EXPECT_AT(Pick(kEnd, 29.9, 40.1), 30, 40);
    EXPECT_AT(Pick(kInsertion, 70.05, 39.9), 70, 40);
    // The block's line end (2, 0) turned 90 degrees about the insertion point.
    EXPECT_AT(Pick(kEnd, 70.1, 42.05), 70, 42);
    EXPECT_AT(Pick(kInsertion, 90.1, 29.9), 90, 30);
}

TEST_F(KindSnappingTest, IntersectionPicksOnCurvesLandWhereTheCurvesCross)
{
    // Two circles of radius 5, 6 apart: (203, +-4).
    EXPECT_AT(Pick(kIntersection, 203.1, 3.9), 203, 4);
    EXPECT_AT(Pick(kIntersection, 202.9, -4.1), 203, -4);
    // A line along y = 3 across the upper half arc: x = 230 +- 4.
    EXPECT_AT(Pick(kIntersection, 234.1, 3.05), 234, 3);
    EXPECT_AT(Pick(kIntersection, 225.9, 2.95), 226, 3);
    // The same line along y = -3 passes below the arc's ends: nothing there to snap to.
    EXPECT_AT(Pick(kIntersection, 234.1, -3.05), 234.1, -3.05);
    // x = 263 across the ellipse x^2/36 + y^2/9 = 1 about (260, 0): y = +-3 sqrt(3/4).
    EXPECT_AT(Pick(kIntersection, 263.05, 2.65), 263, 3 * std::sqrt(0.75));
    EXPECT_AT(Pick(kIntersection, 262.95, -2.55), 263, -3 * std::sqrt(0.75));
    // y = -4 across the bulge's half circle of radius 5 about (285, 0): x = 285 +- 3.
    EXPECT_AT(Pick(kIntersection, 288.1, -3.9), 288, -4);
    EXPECT_AT(Pick(kIntersection, 281.9, -4.1), 282, -4);
    // Circle x^2 + y^2 = 16 and ellipse x^2/36 + y^2/9 = 1: x^2 = 36 (16 - 9) / (36 - 9), y^2 = 16 - x^2.
    const double x = std::sqrt(28.0 / 3.0), y = std::sqrt(20.0 / 3.0);
    EXPECT_AT(Pick(kIntersection, 320 + x + 0.05, y - 0.05), 320 + x, y);
    EXPECT_AT(Pick(kIntersection, 320 - x - 0.05, -y + 0.05), 320 - x, -y);
}

TEST_F(KindSnappingTest, QuadrantPicksOfTiltedAndPlacedCirclesLandWhereTheDrawnCurveReachesFarthest)
{
    // A circle of radius r about the origin with unit normal n reaches farthest along the world
    // axis e where e's part in its plane points: r (e - (e.n) n) / sqrt(1 - (e.n)^2).
    const double r = 5, n[3] = {0.48, 0.6, 0.64};
    auto farthest = [&](int k, double sign) {
        std::array<double, 3> p{};
        const double s = std::sqrt(1 - n[k] * n[k]);
        for (int i = 0; i < 3; ++i)
            p[std::size_t(i)] = sign * r * ((i == k ? 1.0 : 0.0) - n[k] * n[i]) / s;
        return p;
    };
    for (const auto& [k, sign, dx, dy] : {std::tuple{0, 1.0, 0.05, 0.05}, {0, -1.0, -0.05, 0.05},
                                         {1, 1.0, 0.05, 0.05}, {1, -1.0, 0.05, -0.05}}) {
        const auto p = farthest(k, sign);
        EXPECT_AT3(Pick(kQuadrant, p[0] + dx, p[1] + dy), p[0], p[1], p[2]);
    }
    // Block C scaled 2 and turned 30 degrees: a circle of radius 2 about
    // (350 + 2 cos 30, 2 sin 30), whose quadrants lie along x and y, not turned with the block.
    const double cx = 350 + 2 * std::cos(std::numbers::pi / 6), cy = 1;
    EXPECT_AT(Pick(kQuadrant, cx + 2.05, cy + 0.1), cx + 2, cy);
    EXPECT_AT(Pick(kQuadrant, cx - 0.1, cy + 2.05), cx, cy + 2);
    EXPECT_AT(Pick(kQuadrant, cx + 0.1, cy - 2.05), cx, cy - 2);
    // Scaled 3 along x and turned 90 degrees: an ellipse about (380, 3) with half axes 1 across
    // and 3 upright.
    EXPECT_AT(Pick(kQuadrant, 381.05, 3.1), 381, 3);
    EXPECT_AT(Pick(kQuadrant, 379.9, 5.95), 380, 6);
    EXPECT_AT(Pick(kQuadrant, 378.95, 2.9), 379, 3);
}
