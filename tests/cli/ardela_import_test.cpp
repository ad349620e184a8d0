// Guards ardela import against: lines of other layers or of block definitions taken in, polyline
// segments lost (the closing one included), ends a hair apart made into two nodes, chords left
// uncut where diagonals end on them, supports on the wrong node, a refused drawing that still
// writes a file, and forces that differ from the same truss typed by hand. The drawings are
// written by ezdxf in R12 and R2010.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "desktop/Settings.h"
#include "support/TestSupport.h"
#include "support/TrussFixtures.h"
#include "truss/TrussFile.h"
#include "truss/TrussModel.h"
#include "truss/TrussSolver.h"

using namespace ardela;
using namespace ardela::test;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun Ardela(const QStringList& args)
{
    QProcess p;
    p.setProgram(BinDir() + QStringLiteral("/ardela"));
    p.setArguments(args);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// Runs an ezdxf script with Debian's Python; `doc` and `msp` are made by `ezdxf.new(version)`
// and the drawing is saved as `path`. False when Python or ezdxf is missing.
bool WriteDrawing(const QString& path, const char* version, const QString& body)
{
    const QString script = QStringLiteral("import ezdxf\ndoc = ezdxf.new('%1')\nmsp = doc.modelspace()\n%2\ndoc.saveas(r'%3')\n")
                               .arg(QLatin1String(version), body, path);
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << p.readAllStandardError().toStdString();
        return false;
    }
    return QFile::exists(path);
}

bool HaveEzdxf()
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import ezdxf")});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A Warren girder in R2010: the bottom chord one LINE, the top chord an LWPOLYLINE of two
// segments, the diagonals one zigzag LWPOLYLINE whose fourth vertex is 1e-7 off the node; a
// line on another layer, a line inside a block on the truss layer, a closed triangle on its own
// layer, and the supports as POINTs.
const char* kWarrenR2010 = R"(
doc.layers.add('Truss'); doc.layers.add('Supports'); doc.layers.add('Dims'); doc.layers.add('Tri')
msp.add_line((0, 0), (6, 0), dxfattribs={'layer': 'Truss'})
msp.add_lwpolyline([(1, 1.5), (3, 1.5), (5, 1.5)], dxfattribs={'layer': 'Truss'})
msp.add_lwpolyline([(0, 0), (1, 1.5), (2, 0), (3 + 1e-7, 1.5), (4, 0), (5, 1.5), (6, 0)], dxfattribs={'layer': 'TRUSS'})
msp.add_line((0, -2), (6, -2), dxfattribs={'layer': 'Dims'})
block = doc.blocks.new(name='Mark')
block.add_line((0, 0), (1, 1), dxfattribs={'layer': 'Truss'})
msp.add_blockref('Mark', (10, 10))
msp.add_point((0, 0), dxfattribs={'layer': 'Supports'})
msp.add_point((6, 0), dxfattribs={'layer': 'Supports'})
msp.add_lwpolyline([(0, 0), (4, 0), (0, 3)], close=True, dxfattribs={'layer': 'Tri'})
msp.add_lwpolyline([(0, 0, 0), (4, 0, 0.5), (4, 3, 0)], format='xyb', dxfattribs={'layer': 'Arc'})
)";

const std::vector<NodeSpec> kWarrenNodes{{0, 0}, {1, 1.5}, {2, 0}, {3, 1.5}, {4, 0}, {5, 1.5}, {6, 0}};
const std::vector<std::pair<int, int>> kWarrenBars{{1, 3}, {3, 5}, {5, 7}, {2, 4}, {4, 6}, {1, 2},
                                                   {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}};

// A Pratt truss in R12: the bottom chord a 2D POLYLINE of two segments, each cut at a vertical's
// foot; the rest LINEs, the middle vertical drawn downward.
const char* kPrattR12 = R"(
doc.layers.add('Pratt'); doc.layers.add('Pins')
msp.add_polyline2d([(0, 0), (6, 0), (12, 0)], dxfattribs={'layer': 'Pratt'})
for a, b in [((3, 3), (9, 3)), ((0, 0), (3, 3)), ((9, 3), (12, 0)), ((3, 0), (3, 3)), ((6, 3), (6, 0)),
             ((9, 0), (9, 3)), ((3, 3), (6, 0)), ((9, 3), (6, 0))]:
    msp.add_line(a, b, dxfattribs={'layer': 'Pratt'})
msp.add_point((0, 0), dxfattribs={'layer': 'Pins'})
msp.add_point((12, 0), dxfattribs={'layer': 'Pins'})
)";

const std::vector<NodeSpec> kPrattNodes{{0, 0}, {3, 0}, {3, 3}, {6, 0}, {6, 3}, {9, 0}, {9, 3}, {12, 0}};
const std::vector<std::pair<int, int>> kPrattBars{{1, 2}, {2, 4}, {4, 6}, {6, 8}, {3, 5}, {5, 7}, {1, 3},
                                                  {7, 8}, {2, 3}, {5, 4}, {6, 7}, {3, 4}, {7, 4}};

std::unique_ptr<TrussModel> ReadKrn(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    auto m = std::make_unique<TrussModel>();
    SettingsArray settings;
    ReadTrussFile(f.readAll(), *m, settings);
    return m;
}

class ArdelaImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveEzdxf())
            GTEST_SKIP() << "ezdxf for /usr/bin/python3 is not installed";
        ASSERT_TRUE(m_dir.isValid());
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(ArdelaImport, WarrenGirderInR2010BecomesTheHandMadeTablesWithItsSupports)
{
    ASSERT_TRUE(WriteDrawing(Path("warren.dxf"), "R2010", QString::fromLatin1(kWarrenR2010)));
    const ToolRun r = Ardela({QStringLiteral("import"), Path("warren.dxf"), QStringLiteral("--layer"), QStringLiteral("truss"),
                              QStringLiteral("--area"), QStringLiteral("12.5"), QStringLiteral("--modulus"), QStringLiteral("2.1e6"),
                              QStringLiteral("--supports"), QStringLiteral("Supports"), Path("warren.krn")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("7 node(s) and 11 bar(s) from 9 line(s) on layer truss (1 cut where other lines end on them; ends within 6e-06 merged), 2 support(s)")))
        << r.out.toStdString();
    auto m = ReadKrn(Path("warren.krn"));
    ExpectTrussTables(*m, kWarrenNodes, kWarrenBars);
    EXPECT_EQ(m->Elements(5, 3), Cell(12.5f));
    EXPECT_EQ(m->Elements(5, 4), Cell(2.1e6f));
    ASSERT_EQ(m->BlockCount, 2);
    EXPECT_EQ(m->Blocks(1, 1).ToInt16(), 1);
    EXPECT_EQ(m->Blocks(2, 1).ToInt16(), 7);
    EXPECT_TRUE(m->Blocks(2, 2).NumericEquals(1.0));
    EXPECT_TRUE(m->Blocks(2, 3).NumericEquals(1.0));

    // A closed polyline keeps its closing segment.
    const ToolRun tri = Ardela({QStringLiteral("import"), Path("warren.dxf"), QStringLiteral("--layer"), QStringLiteral("Tri"),
                                QStringLiteral("--area"), QStringLiteral("1"), QStringLiteral("--modulus"), QStringLiteral("1"),
                                Path("tri.krn")});
    ASSERT_EQ(tri.exitCode, 0) << tri.err.toStdString();
    ExpectTrussTables(*ReadKrn(Path("tri.krn")), {{0, 0}, {0, 3}, {4, 0}}, {{1, 3}, {3, 2}, {2, 1}});
}

TEST_F(ArdelaImport, PrattTrussInR12SolvesAsTheSameTrussTypedByHand)
{
    ASSERT_TRUE(WriteDrawing(Path("pratt.dxf"), "R12", QString::fromLatin1(kPrattR12)));
    const ToolRun r = Ardela({QStringLiteral("import"), Path("pratt.dxf"), QStringLiteral("--layer"), QStringLiteral("Pratt"),
                              QStringLiteral("--area"), QStringLiteral("10"), QStringLiteral("--modulus"), QStringLiteral("2100000"),
                              QStringLiteral("--supports"), QStringLiteral("Pins"), QStringLiteral("--tolerance"), QStringLiteral("1e-4"),
                              Path("pratt.krn")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    auto m = ReadKrn(Path("pratt.krn"));
    ExpectTrussTables(*m, kPrattNodes, kPrattBars);

    std::vector<BarSpec> bars;
    for (const auto& [i, j] : kPrattBars)
        bars.push_back({i, j, 10.0f, 2.1e6f});
    const std::vector<LoadSpec> loads{{4, 0.0f, -1000.0f}, {2, 0.0f, -500.0f}, {6, 200.0f, -500.0f}};
    auto typed = MakeTruss(kPrattNodes, bars, {{1, 1, 1}, {8, 1, 1}}, loads);
    for (const LoadSpec& l : loads)
        AddLoad(*m, l.node, l.fx, l.fy);
    MessageRecorder messages;
    ASSERT_TRUE(SolveTruss(*m));
    ASSERT_TRUE(SolveTruss(*typed));
    for (int e = 1; e <= m->ElementCount; ++e)
        EXPECT_EQ(m->Elements(e, 6).ToDouble(), typed->Elements(e, 6).ToDouble()) << "bar " << e;
    for (int b = 1; b <= 2; ++b) {
        EXPECT_EQ(m->Blocks(b, 4).ToDouble(), typed->Blocks(b, 4).ToDouble());
        EXPECT_EQ(m->Blocks(b, 5).ToDouble(), typed->Blocks(b, 5).ToDouble());
    }
}

TEST_F(ArdelaImport, RefusedDrawingsSayWhyAndWriteNothing)
{
    ASSERT_TRUE(WriteDrawing(Path("bad.dxf"), "R2010", QString::fromLatin1(kWarrenR2010) + QStringLiteral(R"(
msp.add_line((6, 0), (5, 1.5), dxfattribs={'layer': 'Truss'})
msp.add_point((3, -1), dxfattribs={'layer': 'Stray'})
)")));
    auto run = [&](const QString& layer, const QStringList& more = {}) {
        return Ardela(QStringList{QStringLiteral("import"), Path("bad.dxf"), QStringLiteral("--layer"), layer,
                                  QStringLiteral("--area"), QStringLiteral("1"), QStringLiteral("--modulus"), QStringLiteral("1"),
                                  Path("out.krn")} + more);
    };
    ToolRun r = run(QStringLiteral("Truss"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("These make the same bar twice: polyline 2")) && r.err.contains(QStringLiteral("segment 6 and line 2"))
                && r.err.contains(QStringLiteral("(nodes 6 and 7)")))
        << r.err.toStdString();
    r = run(QStringLiteral("Arc"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("segment 2 on layer Arc is an arc, not a straight bar."))) << r.err.toStdString();
    r = run(QStringLiteral("Nothing"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("there are no lines on layer Nothing"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Truss"))) << r.err.toStdString();
    r = run(QStringLiteral("Tri"), {QStringLiteral("--supports"), QStringLiteral("Stray")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("point 1 at (3, -1) on layer Stray is at no node of the truss."))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("out.krn")));

    r = Ardela({QStringLiteral("import"), Path("bad.dxf"), QStringLiteral("--layer"), QStringLiteral("Tri"), Path("out.krn")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--area and --modulus"))) << r.err.toStdString();
    r = Ardela({QStringLiteral("import"), Path("missing.dxf"), QStringLiteral("--layer"), QStringLiteral("Tri"),
                QStringLiteral("--area"), QStringLiteral("1"), QStringLiteral("--modulus"), QStringLiteral("-1"), Path("out.krn")});
    EXPECT_EQ(r.exitCode, 2);
    r = Ardela({QStringLiteral("import"), Path("missing.dxf"), QStringLiteral("--layer"), QStringLiteral("Tri"),
                QStringLiteral("--area"), QStringLiteral("1"), QStringLiteral("--modulus"), QStringLiteral("1"), Path("out.krn")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("could not be opened"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("out.krn")));
}
