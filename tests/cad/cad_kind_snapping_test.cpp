// Guards picking with running object snap on the kinds a drawing of another program holds,
// clicked as an engineer clicks in the real host: a pick near an arc's end, on a circle's rim,
// near an ellipse's axis end, a bulged segment, a spline's end, a block reference's insertion
// point or its block's line end landing anywhere but on the closed-form point the mode asks for.
#include <cmath>

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
const char* const kDrawing =
    "  0\nSECTION\n  2\nBLOCKS\n"
    "  0\nBLOCK\n  8\n0\n  2\nB\n 70\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
    "  0\nLINE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n2.0\n 21\n0.0\n 31\n0.0\n"
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

constexpr std::int16_t kEnd = 1, kCentre = 4, kQuadrant = 16, kInsertion = 64;

#define EXPECT_AT(p, x, y)                      \
    do {                                        \
        const Point3 got = (p);                 \
        EXPECT_NEAR(got[0], (x), 1e-9);         \
        EXPECT_NEAR(got[1], (y), 1e-9);         \
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
