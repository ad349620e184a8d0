// Guards the whole way from the model to the drawn stresses against: a drawing that does not
// match what the real solver wrote (an element lost or added, a corner out of order, a segment of
// the wrong length, angle or centre, a stress on the layer of the other sign) or that a peer DXF
// reader does not read as drawn.
#include <cmath>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "cad/ProgramLayers.h"
#include "desktop/Settings.h"
#include "stress_wizard/DxfGeometry.h"
#include "stress_wizard/SolverFiles.h"
#include "stress_wizard/StressDrawing.h"
#include "stress_wizard/StressModel.h"
#include "support/DrawingTestSupport.h"
#include "support/TestSupport.h"

using namespace ardela;
using ardela::test::Lines;
using ardela::test::Polylines;
using ardela::test::Segment;
using ardela::test::XY;

namespace {

// The numbers of "dateout.dat" read on their own: the count, 4 corners per element, then s1, s2
// and the angle per element.
struct SolverResults {
    std::vector<std::array<double, 8>> corners;
    std::vector<std::array<double, 3>> stresses;
};

SolverResults ReadResultFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QStringList fields =
        QString::fromLatin1(file.readAll()).split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    SolverResults results;
    if (fields.isEmpty())
        return results;
    const int n = fields[0].toInt();
    EXPECT_EQ(fields.size(), 1 + 8 * n + 3 * n);
    if (fields.size() != 1 + 8 * n + 3 * n)
        return results;
    qsizetype k = 1;
    for (int e = 0; e < n; ++e) {
        std::array<double, 8> c{};
        for (double& v : c)
            v = fields[k++].toDouble();
        results.corners.push_back(c);
    }
    for (int e = 0; e < n; ++e) {
        std::array<double, 3> s{};
        for (double& v : s)
            v = fields[k++].toDouble();
        results.stresses.push_back(s);
    }
    return results;
}

class SolverDrawingTest : public test::DrawingHostTest {
protected:
    // A cantilever plate 40 x 10 on a 4 x 2 mesh, held at its left edge in both directions and
    // loaded downwards at its free upper corner.
    static void Cantilever(StressModel& m)
    {
        m.VertCount = 5;
        for (int i = 1; i <= 5; ++i)
            m.GridLines(i, 1) = Cell(10.0 * (i - 1));
        m.HorzCount = 3;
        for (int i = 1; i <= 3; ++i)
            m.GridLines(i, 2) = Cell(5.0 * (i - 1));
        m.DomainCount = 1;
        const double domain[7] = {0, 0, 40, 10, 1, 210000, 81000};
        for (int c = 1; c <= 7; ++c)
            m.Domains(1, c) = Cell(domain[c - 1]);
        m.LineCount = 1;
        const double line[5] = {0, 0, 0, 10, 3};
        for (int c = 1; c <= 5; ++c)
            m.ConstrainedLines(1, c) = Cell(line[c - 1]);
        m.NodalLoadCount = 1;
        m.NodalLoads(1, 1) = Cell(40.0);
        m.NodalLoads(1, 2) = Cell(10.0);
        m.NodalLoads(1, 4) = Cell(-500.0);
    }

    // Writes "datein" for the cantilever, runs the real `stress` in the work folder and reads its
    // results into `model`.
    void Solve(StressModel& model)
    {
        ASSERT_TRUE(m_work.isValid());
        Cantilever(model);
        ASSERT_TRUE(WriteSolverInput(model, m_work.path()));
        QProcess solver;
        solver.setWorkingDirectory(m_work.path());
        solver.start(QDir(test::BinDir()).filePath(QStringLiteral("stress")), {});
        ASSERT_TRUE(solver.waitForFinished(120000));
        ASSERT_EQ(solver.exitCode(), 0) << solver.readAllStandardError().toStdString();
        ASSERT_TRUE(ReadSolverResults(model, m_work.path()));
    }

    QTemporaryDir m_work;
};

// The peer reader: colour and line type of every layer, and per layer the count of each entity
// type and the vertex count of each polyline, as ezdxf reads the file.
const char* const kEzdxfScript = R"(
import json, sys
try:
    import ezdxf
except ImportError:
    print("NO-EZDXF")
    sys.exit(0)
doc = ezdxf.readfile(sys.argv[1])
out = {"layers": {}, "counts": {}, "vertices": {}, "errors": len(doc.audit().errors)}
for layer in doc.layers:
    out["layers"][layer.dxf.name] = {"color": layer.dxf.color, "linetype": layer.dxf.linetype}
for e in doc.modelspace():
    key = e.dxf.layer + "/" + e.dxftype()
    out["counts"][key] = out["counts"].get(key, 0) + 1
    if e.dxftype() == "POLYLINE":
        out["vertices"].setdefault(e.dxf.layer, []).append(len(list(e.vertices)))
print(json.dumps(out))
)";

TEST_F(SolverDrawingTest, DrawingMatchesTheSolversOwnResultFile)
{
    auto model = std::make_unique<StressModel>();
    ASSERT_NO_FATAL_FAILURE(Solve(*model));

    SettingsArray settings = DefaultSettings();
    settings[SetScaleFactor] = Cell("0.05");
    m_doc->Layers()->Add(cad::kVendelMesh);
    test::MessageRecorder messages;
    ASSERT_TRUE(vendel::DrawStresses(*model, settings, *m_doc, true));
    EXPECT_TRUE(messages.Messages().empty());

    const SolverResults expected = ReadResultFile(m_work.filePath(QStringLiteral("dateout.dat")));
    const std::size_t n = expected.stresses.size();
    ASSERT_EQ(n, 8u);
    const auto drawing = SavedDrawing();

    // One outline per element through corners 1, 2, 4, 3 and back.
    const auto outlines = Polylines(drawing, cad::kVendelMesh);
    ASSERT_EQ(outlines.size(), n);
    for (std::size_t e = 0; e < n; ++e) {
        const auto& c = expected.corners[e];
        const std::vector<XY> round{{c[0], c[1]}, {c[2], c[3]}, {c[6], c[7]}, {c[4], c[5]}, {c[0], c[1]}};
        ASSERT_EQ(outlines[e].size(), 5u);
        for (std::size_t v = 0; v < 5; ++v)
            EXPECT_TRUE(test::Near(outlines[e][v], round[v], 1e-4)) << "element " << e + 1 << " vertex " << v;
    }

    // Every principal stress: a segment on the layer of its sign, centred on the element, along
    // its direction (the second at right angles), 2 x |s| x 0.05 long.
    std::vector<Segment> plus = Lines(drawing, cad::kVendelPlus);
    std::vector<Segment> minus = Lines(drawing, cad::kVendelMinus);
    std::size_t tension = 0;
    std::size_t compression = 0;
    for (std::size_t e = 0; e < n; ++e) {
        const auto& c = expected.corners[e];
        const XY centre{(c[0] + c[6]) / 2.0, (c[1] + c[7]) / 2.0};
        for (int k = 0; k < 2; ++k) {
            const double sigma = expected.stresses[e][std::size_t(k)];
            const double theta = expected.stresses[e][2] * M_PI / 180.0 + k * M_PI / 2.0;
            const double h = std::abs(sigma) * 0.05;
            const XY a{centre.first - h * std::cos(theta), centre.second - h * std::sin(theta)};
            const XY b{centre.first + h * std::cos(theta), centre.second + h * std::sin(theta)};
            std::vector<Segment>& layer = sigma > 0 ? plus : minus;
            (sigma > 0 ? tension : compression)++;
            const double tolerance = 1e-4 * std::max(1.0, h);
            const auto found = std::find_if(layer.begin(), layer.end(),
                                            [&](const Segment& s) { return test::SameSegment(s, a, b, tolerance); });
            ASSERT_NE(found, layer.end()) << "element " << e + 1 << " stress " << k + 1 << " = " << sigma;
            EXPECT_NEAR(found->Length(), 2.0 * h, tolerance);
            layer.erase(found);
        }
    }
    EXPECT_GT(tension, 0u);
    EXPECT_GT(compression, 0u);
    EXPECT_TRUE(plus.empty()) << plus.size() << " segments too many on Vendel_Plus";
    EXPECT_TRUE(minus.empty()) << minus.size() << " segments too many on Vendel_Minus";
}

TEST_F(SolverDrawingTest, BlackAndWhiteDrawingReadsCleanlyInAPeerReader)
{
    auto model = std::make_unique<StressModel>();
    ASSERT_NO_FATAL_FAILURE(Solve(*model));
    SettingsArray settings = DefaultSettings();
    settings[SetColor] = Cell(false);
    m_doc->Layers()->Add(cad::kVendelMesh);
    test::MessageRecorder messages;
    ASSERT_TRUE(vendel::DrawStresses(*model, settings, *m_doc, true));
    const QString dxf = m_dir.filePath(QStringLiteral("plate.dxf"));
    m_doc->SaveAs(dxf);

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(kEzdxfScript), dxf});
    if (!python.waitForStarted(10000))
        GTEST_SKIP() << "/usr/bin/python3 is missing: the DXF is not read by ezdxf";
    ASSERT_TRUE(python.waitForFinished(60000));
    const QByteArray output = python.readAllStandardOutput();
    if (output.startsWith("NO-EZDXF"))
        GTEST_SKIP() << "python3-ezdxf is not installed: the DXF is not read by ezdxf";
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonObject drawing = QJsonDocument::fromJson(output).object();
    EXPECT_EQ(drawing.value(QStringLiteral("errors")).toInt(), 0);

    const QJsonObject layers = drawing.value(QStringLiteral("layers")).toObject();
    EXPECT_EQ(layers.value(cad::kVendelPlus).toObject().value(QStringLiteral("color")).toInt(), 7);
    EXPECT_EQ(layers.value(cad::kVendelMinus).toObject().value(QStringLiteral("color")).toInt(), 7);
    EXPECT_EQ(layers.value(cad::kVendelMinus).toObject().value(QStringLiteral("linetype")).toString().toUpper(),
              QStringLiteral("DASHDOT"));

    // Counted from the solver's file: an outline of five vertices per element, and each stress on
    // the layer of its sign.
    const SolverResults expected = ReadResultFile(m_work.filePath(QStringLiteral("dateout.dat")));
    int tension = 0;
    for (const auto& s : expected.stresses)
        tension += (s[0] > 0) + (s[1] > 0);
    const int n = int(expected.stresses.size());
    const QJsonObject counts = drawing.value(QStringLiteral("counts")).toObject();
    EXPECT_EQ(counts.value(QStringLiteral("Vendel_Mesh/POLYLINE")).toInt(), n);
    EXPECT_EQ(counts.value(QStringLiteral("Vendel_Plus/LINE")).toInt(), tension);
    EXPECT_EQ(counts.value(QStringLiteral("Vendel_Minus/LINE")).toInt(), 2 * n - tension);
    const QJsonArray vertices = drawing.value(QStringLiteral("vertices")).toObject().value(cad::kVendelMesh).toArray();
    ASSERT_EQ(vertices.size(), n);
    for (const QJsonValue& v : vertices)
        EXPECT_EQ(v.toInt(), 5);
}

} // namespace
