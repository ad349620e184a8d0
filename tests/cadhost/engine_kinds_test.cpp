// Guards the kinds drawn from their records against: snap points off their closed form or
// missing (ends, centres, quadrants, insertion points), entities in another plane placed
// away from where ezdxf's coordinate transform puts them, multiline text decoded otherwise
// than ezdxf decodes it or laid out in the wrong lines, lines without end lost, and an erased
// entity's extension dictionary left ownerless in the saved file.
#include <cmath>
#include <numbers>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfFile.h"
#include "cadhost/engine/DxfOutline.h"
#include "cadhost/engine/kinds/MTextLayout.h"
#include "support/EngineChecks.h"

using namespace cadhost;
using cadhost::test::ReadLaid;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kEveryMode = kSnapModesAnswered;

bool HaveEzdxf()
{
    QProcess probe;
    probe.start("/usr/bin/python3", {"-c", "import ezdxf"});
    return probe.waitForFinished(60000) && probe.exitCode() == 0;
}

// Runs a Python script with ezdxf; its output lines.
QStringList Python(const QString& script, const QStringList& arguments = {})
{
    QProcess py;
    py.start("/usr/bin/python3", QStringList{"-c", script} + arguments);
    EXPECT_TRUE(py.waitForFinished(120000));
    EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    return QString::fromUtf8(py.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

DxfRecord Record(std::initializer_list<std::pair<int, const char*>> groups)
{
    DxfRecord r;
    for (const auto& [code, value] : groups)
        r.groups.push_back({code, value});
    return r;
}

bool Offers(const std::vector<SnapPoint>& points, double x, double y, int mode, double z = NAN)
{
    for (const SnapPoint& p : points)
        if (p.mode == mode && std::abs(p.at.x - x) < 1e-9 && std::abs(p.at.y - y) < 1e-9
            && (std::isnan(z) || std::abs(p.at.z - z) < 1e-9))
            return true;
    return false;
}

} // namespace

TEST(KindSnaps, ArcsCirclesAndEllipsesOfferTheirClosedFormPoints)
{
    // Arc about (2, 3), radius 5, from 30 to 250 degrees: ends at those angles, the centre, and
    // the quadrants it passes (90 and 180 degrees), not those it does not (0 and 270).
    const DxfRecord arc = Record({{0, "ARC"}, {8, "0"}, {10, "2"}, {20, "3"}, {30, "0"}, {40, "5"}, {50, "30"}, {51, "250"}});
    const std::vector<SnapPoint> a = SnapPointsOf(arc, {}, kEveryMode);
    EXPECT_TRUE(Offers(a, 2 + 5 * std::cos(kPi / 6), 3 + 5 * std::sin(kPi / 6), kSnapEndpoint));
    EXPECT_TRUE(Offers(a, 2 + 5 * std::cos(250 * kPi / 180), 3 + 5 * std::sin(250 * kPi / 180), kSnapEndpoint));
    EXPECT_TRUE(Offers(a, 2, 3, kSnapCenter));
    EXPECT_TRUE(Offers(a, 2, 8, kSnapQuadrant));
    EXPECT_TRUE(Offers(a, -3, 3, kSnapQuadrant));
    EXPECT_FALSE(Offers(a, 7, 3, kSnapQuadrant));
    EXPECT_FALSE(Offers(a, 2, -2, kSnapQuadrant));
    // Only the modes asked for.
    for (const SnapPoint& p : SnapPointsOf(arc, {}, kSnapCenter))
        EXPECT_EQ(p.mode, kSnapCenter);

    const DxfRecord circle = Record({{0, "CIRCLE"}, {10, "-1"}, {20, "4"}, {30, "0"}, {40, "2.5"}});
    const std::vector<SnapPoint> c = SnapPointsOf(circle, {}, kEveryMode);
    EXPECT_TRUE(Offers(c, -1, 4, kSnapCenter));
    for (const auto& [x, y] : {std::pair{1.5, 4.0}, {-1.0, 6.5}, {-3.5, 4.0}, {-1.0, 1.5}})
        EXPECT_TRUE(Offers(c, x, y, kSnapQuadrant)) << x << " " << y;
    EXPECT_EQ(c.size(), 5u);

    // An elliptical arc about (10, 0), major axis (4, 0), ratio 0.5, from parameter 0 to pi:
    // ends (14, 0) and (6, 0), the centre, and the axis ends it passes, (14, 0), (10, 2), (6, 0).
    const DxfRecord ellipse = Record({{0, "ELLIPSE"}, {10, "10"}, {20, "0"}, {30, "0"}, {11, "4"}, {21, "0"}, {31, "0"},
                                      {40, "0.5"}, {41, "0"}, {42, "3.141592653589793"}});
    const std::vector<SnapPoint> e = SnapPointsOf(ellipse, {}, kEveryMode);
    EXPECT_TRUE(Offers(e, 10, 0, kSnapCenter));
    EXPECT_TRUE(Offers(e, 14, 0, kSnapEndpoint));
    EXPECT_TRUE(Offers(e, 6, 0, kSnapEndpoint));
    EXPECT_TRUE(Offers(e, 10, 2, kSnapQuadrant));
    EXPECT_FALSE(Offers(e, 10, -2, kSnapQuadrant)) << "the lower half is not drawn";
}

TEST(KindSnaps, PolylineSegmentsSplinesBlockReferencesAndTextsOfferTheirPoints)
{
    // A bulge of 1 from (0, 0) to (10, 0) is a half circle about (5, 0).
    const DxfRecord poly = Record({{0, "LWPOLYLINE"}, {90, "3"}, {70, "0"}, {10, "0"}, {20, "0"}, {42, "1"}, {10, "10"},
                                   {20, "0"}, {10, "10"}, {20, "7"}});
    const std::vector<SnapPoint> p = SnapPointsOf(poly, {}, kEveryMode);
    EXPECT_TRUE(Offers(p, 0, 0, kSnapEndpoint));
    EXPECT_TRUE(Offers(p, 10, 0, kSnapEndpoint));
    EXPECT_TRUE(Offers(p, 10, 7, kSnapEndpoint));
    EXPECT_TRUE(Offers(p, 5, 0, kSnapCenter));
    EXPECT_EQ(p.size(), 4u) << "the straight segment has no centre";

    // A clamped cubic spline begins and ends at its first and last control points.
    const DxfRecord spline = Record({{0, "SPLINE"}, {71, "3"}, {40, "0"}, {40, "0"}, {40, "0"}, {40, "0"}, {40, "1"},
                                     {40, "1"}, {40, "1"}, {40, "1"}, {10, "1"}, {20, "1"}, {30, "0"}, {10, "3"},
                                     {20, "5"}, {30, "0"}, {10, "6"}, {20, "-2"}, {30, "0"}, {10, "9"}, {20, "4"}, {30, "0"}});
    const std::vector<SnapPoint> s = SnapPointsOf(spline, {}, kEveryMode);
    EXPECT_TRUE(Offers(s, 1, 1, kSnapEndpoint));
    EXPECT_TRUE(Offers(s, 9, 4, kSnapEndpoint));

    // A block reference: its insertion point, and its block's line ends carried by its
    // placement: base (1, 1), scales 2 and 3, turned 90 degrees, at (10, 20):
    // (x, y) -> (10, 20) + R90 (2 (x - 1), 3 (y - 1)).
    DxfBlocks blocks;
    blocks["B"].base = {1, 1, 0};
    blocks["B"].entities.push_back(Record({{0, "LINE"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"}}));
    const DxfRecord insert = Record({{0, "INSERT"}, {2, "B"}, {10, "10"}, {20, "20"}, {30, "0"}, {41, "2"}, {42, "3"},
                                     {50, "90"}});
    const std::vector<SnapPoint> i = SnapPointsOf(insert, blocks, kEveryMode);
    EXPECT_TRUE(Offers(i, 10, 20, kSnapInsertion));
    EXPECT_TRUE(Offers(i, 13, 18, kSnapEndpoint));
    EXPECT_TRUE(Offers(i, 13, 20, kSnapEndpoint));
    EXPECT_TRUE(SnapPointsOf(insert, blocks, kSnapQuadrant).empty());

    const DxfRecord mtext = Record({{0, "MTEXT"}, {10, "4"}, {20, "-2"}, {30, "0"}, {40, "1"}, {1, "note"}});
    EXPECT_TRUE(Offers(SnapPointsOf(mtext, {}, kEveryMode), 4, -2, kSnapInsertion));
    const DxfRecord ray = Record({{0, "RAY"}, {10, "1"}, {20, "2"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"}});
    EXPECT_TRUE(Offers(SnapPointsOf(ray, {}, kEveryMode), 1, 2, kSnapEndpoint));
}

TEST(KindSnaps, TheDocumentSnapsToTheNearestAskedPointAndToACentreFromItsCurve)
{
    QTemporaryDir dir;
    Document doc("x");
    // An arc about (0, 0), radius 10, from 0 to 60 degrees: its centre lies outside its extents.
    ReadLaid(doc, dir,
             "  0\nARC\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n10.0\n 50\n0.0\n 51\n60.0\n"
             "  0\nCIRCLE\n  8\n0\n 10\n30.0\n 20\n0.0\n 30\n0.0\n 40\n2.0\n");
    // Near the arc's start: its end.
    auto end = doc.Snap({10.2, 0.1, 0}, 0.5, kSnapEndpoint);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->mode, kSnapEndpoint);
    EXPECT_NEAR(end->point.x, 10, 1e-12);
    EXPECT_NEAR(end->point.y, 0, 1e-12);
    // On the arc's middle, far from its centre, with centre snap: the centre.
    const double mid = kPi / 6;
    auto centre = doc.Snap({10 * std::cos(mid), 10 * std::sin(mid), 0}, 0.5, kSnapCenter);
    ASSERT_TRUE(centre);
    EXPECT_EQ(centre->mode, kSnapCenter);
    EXPECT_NEAR(centre->point.x, 0, 1e-12);
    EXPECT_NEAR(centre->point.y, 0, 1e-12);
    // A quadrant within the aperture wins over the centre offered from the curve.
    auto quadrant = doc.Snap({32.1, 0.05, 0}, 0.5, kSnapCenter | kSnapQuadrant);
    ASSERT_TRUE(quadrant);
    EXPECT_EQ(quadrant->mode, kSnapQuadrant);
    EXPECT_NEAR(quadrant->point.x, 32, 1e-12);
    // Modes not asked for give nothing; a hidden layer gives nothing.
    EXPECT_FALSE(doc.Snap({32.1, 0.05, 0}, 0.5, kSnapEndpoint | kSnapNode));
    doc.SetLayerOn("0", false);
    EXPECT_FALSE(doc.Snap({32.1, 0.05, 0}, 0.5, kEveryMode));
}

TEST(KindPlanes, EntitiesInAnotherPlaneLieWhereEzdxfsTransformPutsThem)
{
    if (!HaveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("planes.dxf");
    // Each entity's expected points in drawing coordinates, by ezdxf, one line per point:
    // "mode x y z"; entities in the order written, separated by "-".
    const char* script = R"PY(
import sys, ezdxf
doc = ezdxf.new("R2010")
msp = doc.modelspace()
def out(mode, v):
    print(mode, "%.17g %.17g %.17g" % (v.x, v.y, v.z))
c = msp.add_circle((1, 2, 3), 2, dxfattribs={"extrusion": (0.3, -0.5, 0.8)})
out(4, c.ocs().to_wcs(c.dxf.center))
for v in c.vertices([0, 90, 180, 270]):
    out(16, v)
print("-")
for extrusion in [(0, 0, -1), (0.001, 0.002, 1), (0.6, 0, 0.8)]:
    a = msp.add_arc((4, -1, 0.5), 3, 20, 200, dxfattribs={"extrusion": extrusion})
    out(1, a.start_point)
    out(1, a.end_point)
    out(4, a.ocs().to_wcs(a.dxf.center))
    print("-")
lw = msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (4, 0), (4, 3)], format="xyseb",
                        dxfattribs={"extrusion": (-0.2, 0.7, 0.5), "elevation": 1.5})
for v in lw.vertices_in_wcs():
    out(1, v)
print("-")
doc.saveas(sys.argv[1])
)PY";
    const QStringList lines = Python(script, {path});
    std::vector<std::vector<SnapPoint>> expected(1);
    for (const QString& line : lines) {
        if (line == "-") {
            expected.emplace_back();
            continue;
        }
        const QStringList f = line.split(' ');
        expected.back().push_back({{f[1].toDouble(), f[2].toDouble(), f[3].toDouble()}, f[0].toInt()});
    }
    expected.pop_back();
    Document doc("x");
    DxfFile::Read(path, doc);
    std::vector<const Entity*> entities;
    doc.ForEachEntity([&](const Entity& e) { entities.push_back(&e); });
    ASSERT_EQ(entities.size(), expected.size());
    const DxfBlocks none;
    for (std::size_t k = 0; k < entities.size(); ++k) {
        ASSERT_FALSE(entities[k]->Record().empty());
        EXPECT_EQ(entities[k]->kind, EntityKind::Other) << "drawn from its record in its own plane";
        const std::vector<SnapPoint> mine = SnapPointsOf(ParseRecord(entities[k]->Record()), none, kEveryMode);
        for (const SnapPoint& want : expected[k])
            EXPECT_TRUE(Offers(mine, want.at.x, want.at.y, want.mode, want.at.z))
                << "entity " << k << " mode " << want.mode << " at " << want.at.x << " " << want.at.y << " " << want.at.z;
    }
    // Every outline point of the tilted circle lies on it: 2 from its centre, in its plane.
    const Point3 c = expected[0][0].at;
    const Point3 n{0.3 / std::sqrt(0.98), -0.5 / std::sqrt(0.98), 0.8 / std::sqrt(0.98)};
    for (const Point3& p : entities[0]->points) {
        const Point3 d{p.x - c.x, p.y - c.y, p.z - c.z};
        EXPECT_NEAR(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), 2.0, 1e-9);
        EXPECT_NEAR(d.x * n.x + d.y * n.y + d.z * n.z, 0.0, 1e-9);
    }
}

TEST(MText, PlainTextIsWhatEzdxfDecodes)
{
    if (!HaveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    // Codes ezdxf's plain text knows (it keeps \~ and \U+ as they are, so they are left out).
    const QStringList inputs{
        "First line\\PSecond {\\C1;red} line",
        "{\\fArial|b1|i0|c0|p34;Bold} and {\\H2.5x;big} and \\W0.8;narrow",
        "\\Lunder\\l \\Oover\\o \\Kstrike\\k",
        "a\\\\b \\{braces\\}",
        "%%c25 %%d %%p0.5",
        "{\\T1.2;\\Q15;tracked} \\A1;aligned\\Pnext",
        "one\\P\\Pthree",
        "{\\C3;{\\H0.5;nested} back}",
    };
    QString script = "import ezdxf\ndoc = ezdxf.new('R2010')\nmsp = doc.modelspace()\nimport sys\n"
                     "for s in sys.argv[1:]:\n    print(repr(msp.add_mtext(s).plain_text()))\n";
    const QStringList theirs = Python(script, inputs);
    ASSERT_EQ(theirs.size(), inputs.size());
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        // Python's repr of a str: quotes around, \n for a line feed.
        QString mine = kinds::MTextPlainText(inputs[i]);
        mine.replace("\\", "\\\\").replace("\n", "\\n");
        EXPECT_EQ(theirs[i], "'" + mine + "'") << inputs[i].toStdString();
    }
}

TEST(MText, CodesSetTheStyleOfEachPiece)
{
    kinds::MTextPiece base;
    base.height = 2;
    const auto paragraphs = kinds::DecodeMText("a{\\H1.5x;\\C1;\\fTimes|b1;b}c\\P\\Ld\\~e", base);
    ASSERT_EQ(paragraphs.size(), 2u);
    ASSERT_EQ(paragraphs[0].size(), 3u);
    EXPECT_EQ(paragraphs[0][0].text, "a");
    EXPECT_EQ(paragraphs[0][1].text, "b");
    EXPECT_DOUBLE_EQ(paragraphs[0][1].height, 3.0);
    EXPECT_EQ(paragraphs[0][1].color, 1);
    EXPECT_EQ(paragraphs[0][1].font, "Times");
    EXPECT_TRUE(paragraphs[0][1].bold);
    EXPECT_EQ(paragraphs[0][2].text, "c");
    EXPECT_DOUBLE_EQ(paragraphs[0][2].height, 2.0) << "the brace ends the change";
    EXPECT_EQ(paragraphs[0][2].color, -1);
    ASSERT_EQ(paragraphs[1].size(), 1u);
    EXPECT_TRUE(paragraphs[1][0].underline);
    EXPECT_EQ(paragraphs[1][0].text, QString("d") + QChar(0x00A0) + "e");
}

TEST(MText, LinesWrapAtTheWidthAndStandByTheAttachmentPoint)
{
    // Cells of 0.6 x height: at height 1 and width 6, ten characters fit on a line.
    kinds::MTextPiece base;
    base.height = 1;
    const auto layout = [&](const char* text, double width, int attachment) {
        return kinds::LayoutMText(kinds::DecodeMText(text, base), width, attachment, 1.0, CellMeasure);
    };
    // "aaaa bbbb" is 9 cells (5.4); with " cccc" it would be 14 (8.4): it wraps there.
    kinds::MTextLayout l = layout("aaaa bbbb cccc\\Pdd", 6, 1);
    ASSERT_EQ(l.lines, 3);
    ASSERT_EQ(l.runs.size(), 3u);
    EXPECT_EQ(l.runs[0].text, "aaaa bbbb");
    EXPECT_EQ(l.runs[1].text, "cccc");
    EXPECT_EQ(l.runs[2].text, "dd");
    // Top left attachment: the first baseline one height below the top, the next 5/3 lower.
    EXPECT_NEAR(l.runs[0].at.y, -1.0, 1e-12);
    EXPECT_NEAR(l.runs[1].at.y, -1.0 - 5.0 / 3.0, 1e-12);
    EXPECT_NEAR(l.runs[2].at.y, -1.0 - 10.0 / 3.0, 1e-12);
    EXPECT_NEAR(l.runs[0].at.x, 0.0, 1e-12);
    EXPECT_NEAR(l.width, 6.0, 1e-12);
    EXPECT_NEAR(l.height, 1.0 + 10.0 / 3.0, 1e-12);
    // Bottom right (9): the last baseline on the insertion point, lines flush right.
    l = layout("aaaa bbbb cccc\\Pdd", 6, 9);
    EXPECT_NEAR(l.runs[2].at.y, 0.0, 1e-12);
    EXPECT_NEAR(l.runs[2].at.x, -1.2, 1e-12) << "dd is 1.2 wide, its right end at the point";
    EXPECT_NEAR(l.runs[1].at.x, -2.4, 1e-12);
    // Middle centre (5): the box centred on the point, each line centred in it.
    l = layout("aaaa bbbb cccc\\Pdd", 6, 5);
    EXPECT_NEAR(l.runs[0].at.x, -2.7, 1e-12);
    EXPECT_NEAR(l.runs[0].at.y, -1.0 + (1.0 + 10.0 / 3.0) / 2, 1e-12);
    // A word wider than the width stands alone; no width: one line per paragraph.
    l = layout("abcdefghijklmn op", 6, 1);
    ASSERT_EQ(l.runs.size(), 2u);
    EXPECT_EQ(l.runs[0].text, "abcdefghijklmn");
    l = layout("aaaa bbbb cccc", 0, 1);
    EXPECT_EQ(l.lines, 1);
    EXPECT_NEAR(l.width, 8.4, 1e-12);
    // A no-break space holds its words together: "aaaa bbbb~cc" wraps before bbbb.
    l = layout("aaaa bbbb\\~cc", 6, 1);
    ASSERT_EQ(l.runs.size(), 2u);
    EXPECT_EQ(l.runs[1].text, "bbbb cc");
    // A taller piece makes its line taller: "x {\H2;Y}" over "z".
    l = layout("x {\\H2;Y}\\Pz", 0, 1);
    ASSERT_EQ(l.runs.size(), 3u);
    EXPECT_NEAR(l.runs[0].at.y, -2.0, 1e-12);
    EXPECT_NEAR(l.runs[1].at.x, 1.2, 1e-12) << "after 'x ' two cells of 0.6";
    EXPECT_NEAR(l.runs[2].at.y, -2.0 - 5.0 / 3.0, 1e-12);
}

TEST(MText, ItsTextIsPlacedTurnedAndItsBoxIsItsExtents)
{
    // Width 6, height 1, top left at (10, 5), turned 90 degrees: lines run up the y axis,
    // the second baseline 1 + 5/3 to the right... of the turned frame: (10 + (1+5/3), 5).
    const DxfRecord r = Record({{0, "MTEXT"}, {10, "10"}, {20, "5"}, {30, "0"}, {40, "1"}, {41, "6"}, {71, "1"},
                                {50, "90"}, {1, "aaaa bbbb cccc"}});
    const std::vector<TextRun> runs = TextRunsOf(r, {});
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_NEAR(runs[0].at.x, 11, 1e-12);
    EXPECT_NEAR(runs[0].at.y, 5, 1e-12);
    EXPECT_NEAR(runs[1].at.x, 11 + 5.0 / 3.0, 1e-12);
    EXPECT_NEAR(runs[0].rotation, kPi / 2, 1e-12);
    EXPECT_TRUE(ShowsTexts(r));
    const std::vector<Point3> box = OutlineOf(r, {});
    ASSERT_FALSE(box.empty());
    EXPECT_TRUE(IsOutlineTextBreak(box.front())) << "the box stands for the text";
    Box2 b;
    for (const Point3& p : box)
        if (!IsBreak(p))
            b.Add(p);
    EXPECT_NEAR(b.minX, 10, 1e-12);
    EXPECT_NEAR(b.maxX, 10 + 1 + 5.0 / 3.0, 1e-12);
    EXPECT_NEAR(b.minY, 5, 1e-12);
    EXPECT_NEAR(b.maxY, 11, 1e-12);
}

TEST(KindLines, ConstructionLinesAndRaysRunWithoutEndFromTheirBase)
{
    const DxfRecord xline = Record({{0, "XLINE"}, {10, "1"}, {20, "2"}, {30, "0"}, {11, "0.6"}, {21, "0.8"}, {31, "0"}});
    const std::vector<EndlessLine> x = EndlessLinesOf(xline);
    ASSERT_EQ(x.size(), 1u);
    EXPECT_TRUE(x[0].bothWays);
    EXPECT_EQ(x[0].base, (Point3{1, 2, 0}));
    EXPECT_EQ(x[0].direction, (Point3{0.6, 0.8, 0}));
    const DxfRecord ray = Record({{0, "RAY"}, {10, "1"}, {20, "2"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"}});
    ASSERT_EQ(EndlessLinesOf(ray).size(), 1u);
    EXPECT_FALSE(EndlessLinesOf(ray)[0].bothWays);
    // No outline: their extents reach without end along them, the ray's one way only.
    EXPECT_TRUE(OutlineOf(xline, {}).empty());
    EXPECT_FALSE(ExtentsOf(xline, {}).IsBounded());
    const Box2 rayBox = ExtentsOf(ray, {});
    EXPECT_EQ(rayBox.minX, 1);
    EXPECT_TRUE(std::isinf(rayBox.maxX));
    EXPECT_EQ(rayBox.minY, 2);
    EXPECT_EQ(rayBox.maxY, 2);
    EXPECT_TRUE(EndlessLinesOf(Record({{0, "LINE"}, {10, "0"}})).empty());
}

TEST(KindLines, LinesWithoutEndTakeNoPartInExtentsYetSelectionMeetsThemAlongTheirWholeLength)
{
    if (!HaveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    QTemporaryDir dir;
    const QString original = dir.filePath("endless.dxf");
    // ezdxf's own bounding box is the independent answer for the extents.
    const QStringList written = Python(R"PY(
import sys, ezdxf
from ezdxf import bbox
doc = ezdxf.new("R2010")
msp = doc.modelspace()
msp.add_line((0, 0), (10, 10))
msp.add_circle((20, 5), 3)
msp.add_xline((1000, 1000), (1, 0))
msp.add_ray((-500, -500), (1, 1))
doc.saveas(sys.argv[1])
box = bbox.extents(msp)
print(box.extmin.x, box.extmin.y, box.extmax.x, box.extmax.y)
)PY",
                                       {original});
    ASSERT_EQ(written.size(), 1);
    const QStringList e = written[0].split(' ');
    Document doc("x");
    DxfFile::Read(original, doc);
    const Box2 extents = doc.Extents();
    EXPECT_NEAR(extents.minX, e[0].toDouble(), 1e-9);
    EXPECT_NEAR(extents.minY, e[1].toDouble(), 1e-9);
    EXPECT_NEAR(extents.maxX, e[2].toDouble(), 1e-9);
    EXPECT_NEAR(extents.maxY, e[3].toDouble(), 1e-9);
    // The saved file's header says the same.
    const QString saved = dir.filePath("saved.dxf");
    SaveDocument(doc, saved);
    const QStringList header = Python("import sys, ezdxf\nh = ezdxf.readfile(sys.argv[1]).header\n"
                                      "print(h['$EXTMIN'][0], h['$EXTMIN'][1], h['$EXTMAX'][0], h['$EXTMAX'][1])\n",
                                      {saved});
    ASSERT_EQ(header.size(), 1);
    EXPECT_EQ(header[0].split(' ').size(), 4);
    for (int i = 0; i < 4 && i < header[0].split(' ').size(); ++i)
        EXPECT_NEAR(header[0].split(' ')[i].toDouble(), e[i].toDouble(), 1e-9) << i;

    ObjectId xline = 0, ray = 0;
    doc.ForEachEntity([&](const Entity& en) {
        if (EntityTypeName(en) == "XLINE")
            xline = en.id;
        else if (EntityTypeName(en) == "RAY")
            ray = en.id;
    });
    ASSERT_NE(xline, 0);
    ASSERT_NE(ray, 0);
    auto crossing = [&](double x0, double y0, double x1, double y1) {
        return doc.SelectCrossing(Box2{x0, y0, x1, y1});
    };
    using Ids = std::vector<ObjectId>;
    // A pick far along either line, away from every other entity and from its base, meets it.
    EXPECT_EQ(crossing(5000, 999.5, 5001, 1000.5), Ids{xline});
    EXPECT_EQ(crossing(-8000.5, 999.5, -8000, 1000.5), Ids{xline});
    EXPECT_EQ(crossing(299.5, 299.5, 300.5, 300.5), Ids{ray});
    // Not behind the ray's base, nor off either line.
    EXPECT_TRUE(crossing(-700.5, -700.5, -699.5, -699.5).empty());
    EXPECT_TRUE(crossing(5000, 1001, 5001, 1002).empty());
    // The link's Select: a crossing window meets them, a window never holds them whole, and
    // the type filter finds them by their own name.
    SelectionSet& set = doc.AddSelectionSet("s");
    set.Select(kSelectWindow, Point3{-1000, -1000, 0}, Point3{2000, 2000, 0});
    EXPECT_EQ(set.Count(), 2);   // the line and the circle
    set.Clear();
    set.Select(kSelectCrossing, Point3{-1000, -1000, 0}, Point3{2000, 2000, 0}, {{0, "XLINE"}});
    EXPECT_EQ(set.Items(), Ids{xline});
    set.Clear();
    set.Select(kSelectCrossing, Point3{100, 100, 0}, Point3{101, 101, 0}, {{0, "RAY"}});
    EXPECT_EQ(set.Items(), Ids{ray});
    // Erased, it is met no more; undone, it is back, and the extents never moved.
    doc.Erase(xline);
    EXPECT_TRUE(crossing(5000, 999.5, 5001, 1000.5).empty());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(crossing(5000, 999.5, 5001, 1000.5), Ids{xline});
    EXPECT_EQ(doc.Extents().maxX, extents.maxX);
    EXPECT_EQ(doc.Extents().minY, extents.minY);
}

TEST(KindObjects, ErasingAnEntityTakesItsExtensionDictionaryOutOfTheSavedFile)
{
    if (!HaveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    QTemporaryDir dir;
    const QString original = dir.filePath("xdict.dxf");
    Python(R"PY(
import sys, ezdxf
doc = ezdxf.new("R2010")
msp = doc.modelspace()
for y in (0, 5):
    line = msp.add_line((0, y), (10, y))
    xdict = line.new_extension_dict()
    xdict.add_dictionary_var("NOTE", "line at %d" % y)
doc.saveas(sys.argv[1])
)PY",
           {original});
    Document doc("x");
    DxfFile::Read(original, doc);
    ObjectId first = 0;
    doc.ForEachEntity([&](const Entity& e) {
        if (!first)
            first = e.id;
    });
    doc.Erase(first);
    const QString saved = dir.filePath("saved.dxf");
    SaveDocument(doc, saved);
    // The kept line keeps its dictionary and its note; the erased line's are gone; the audit
    // finds nothing ownerless.
    const QStringList report = Python(R"PY(
import sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
for e in doc.modelspace():
    d = e.get_extension_dict()
    print("line", e.dxf.start.y, d["NOTE"].dxf.value)
print("notes", sum(1 for o in doc.objects if o.dxftype() == "DICTIONARYVAR" and o.dxf.value.startswith("line at")))
print("audit", len(doc.audit().errors))
)PY",
                                      {saved});
    EXPECT_EQ(report, (QStringList{"line 5.0 line at 5", "notes 1", "audit 0"}));
    // Undone, the erased line comes back with its dictionary.
    ASSERT_TRUE(doc.Undo());
    SaveDocument(doc, saved);
    const QStringList again = Python("import sys, ezdxf\ndoc = ezdxf.readfile(sys.argv[1])\n"
                                     "print(sum(1 for o in doc.objects if o.dxftype() == 'DICTIONARYVAR' and o.dxf.value.startswith('line at')), "
                                     "len(doc.audit().errors))\n",
                                     {saved});
    EXPECT_EQ(again, QStringList{"2 0"});
}
