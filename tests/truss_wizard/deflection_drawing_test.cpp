// Guards the deflected shape and the reaction arrows against: displacements drawn the wrong way
// (the solver's vertical entries run downward), a scale that does not make the largest movement
// a twentieth of the truss, arrows pointing against the reaction or carrying the wrong value,
// colours not taken from the store or black and white ignored, and old shapes left behind.
#include <algorithm>
#include <cmath>

#include <QRegularExpression>
#include <QSettings>
#include <QTextStream>

#include <gtest/gtest.h>

#include "desktop/ExtraSettings.h"
#include "desktop/Settings.h"
#include "support/DrawingTestSupport.h"
#include "support/TestSupport.h"
#include "support/TrussFixtures.h"
#include "truss/TrussModel.h"
#include "truss/TrussReport.h"
#include "truss/TrussSolver.h"
#include "truss_wizard/DeflectionDrawing.h"
#include "truss_wizard/ResultDrawing.h"

using namespace ardela;
using namespace ardela::test;

namespace {

// A two-bar truss: supports at (0, 0) and (8, 0), apex (4, 3), bars 5 long with A = 2, E = 1000,
// loaded at the apex by H = 60 and P = 100 downward. Closed forms (sin = 0.6, cos = 0.8):
// dx = H L / (2 E A cos^2) = 0.1171875; dy = -P L / (2 E A sin^2) = -0.3472222;
// bar forces H / (2 cos) -/+ P / (2 sin) = -45.8333 (A-C) and -120.8333 (B-C); the supports push
// along the bars: A with (36.6667, 27.5), B with (-96.6667, 72.5).
std::unique_ptr<TrussModel> TwoBarTruss()
{
    return MakeTruss({{0, 0}, {8, 0}, {4, 3}}, {{1, 3, 2.0f, 1000.0f}, {2, 3, 2.0f, 1000.0f}},
                     {{1, 1, 1}, {2, 1, 1}}, {{3, 60.0f, -100.0f}});
}
constexpr double kApexDx = 0.1171875;
constexpr double kApexDy = -0.34722222;

// A Pratt truss of four panels 300 long and 300 deep, soft enough to move by whole units.
std::unique_ptr<TrussModel> PrattTruss()
{
    return MakeTruss({{0, 0}, {300, 0}, {300, 300}, {600, 0}, {600, 300}, {900, 0}, {900, 300}, {1200, 0}},
                     {{1, 2, 1.0f, 500.0f}, {2, 4, 1.0f, 500.0f}, {4, 6, 1.0f, 500.0f}, {6, 8, 1.0f, 500.0f},
                      {3, 5, 1.0f, 500.0f}, {5, 7, 1.0f, 500.0f}, {1, 3, 1.0f, 500.0f}, {7, 8, 1.0f, 500.0f},
                      {2, 3, 1.0f, 500.0f}, {5, 4, 1.0f, 500.0f}, {6, 7, 1.0f, 500.0f}, {3, 4, 1.0f, 500.0f},
                      {7, 4, 1.0f, 500.0f}},
                     {{1, 1, 1}, {8, 0, 1}}, {{4, 0.0f, -1000.0f}, {2, 0.0f, -500.0f}, {6, 200.0f, -500.0f}});
}

// The scale read back from the text beside the shape.
double ScaleOf(const QString& text)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("x ([0-9.]+)$")).match(text);
    EXPECT_TRUE(m.hasMatch()) << text.toStdString();
    return m.captured(1).toDouble();
}

// The report's NODAL DISPLACEMENTS table: horizontal and vertical (positive downward) per node.
std::vector<std::array<double, 2>> ReportedDisplacements(const QString& report)
{
    std::vector<std::array<double, 2>> rows;
    QStringList lines = report.split(QStringLiteral("\r\n"));
    const qsizetype at = lines.indexOf(QStringLiteral("NODAL DISPLACEMENTS"));
    EXPECT_GT(at, 0);
    for (qsizetype k = at + 3; k < lines.size() && !lines[k].trimmed().isEmpty(); ++k) {
        const QStringList fields = lines[k].simplified().split(QLatin1Char(' '));
        rows.push_back({fields[1].toDouble(), fields[2].toDouble()});
    }
    return rows;
}

class DeflectionDrawingTest : public DrawingHostTest {
protected:
    void SetUp() override
    {
        DrawingHostTest::SetUp();
        m_settings = DefaultSettings();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsApplication, kSettingsApplication).clear();
    }

    MessageRecorder m_messages;
    SettingsArray m_settings;
};

} // namespace

TEST(DeflectionShape, TwoBarTrussMovesAsTheClosedFormScaledToATwentiethOfItsSize)
{
    auto m = TwoBarTruss();
    MessageRecorder messages;
    ASSERT_TRUE(SolveTruss(*m));
    const DeformedShape shape = ComputeDeformedShape(*m);
    EXPECT_DOUBLE_EQ(shape.size, 8.0);
    EXPECT_NEAR(shape.largest, std::hypot(kApexDx, kApexDy), 1e-6);
    const double scale = 8.0 / 20.0 / std::hypot(kApexDx, kApexDy);
    EXPECT_NEAR(shape.scale, scale, scale * 1e-5);
    EXPECT_NEAR(shape.nodes[3][0], 4.0 + scale * kApexDx, 1e-5);
    EXPECT_NEAR(shape.nodes[3][1], 3.0 + scale * kApexDy, 1e-5);
    EXPECT_DOUBLE_EQ(shape.nodes[1][0], 0.0);
    EXPECT_DOUBLE_EQ(shape.nodes[2][1], 0.0);
    EXPECT_EQ(DeformedScaleText(shape), QStringLiteral("Deformed shape, displacements x 1.092"));

    // Unloaded, nothing moves and the text says so.
    auto still = MakeTruss({{0, 0}, {8, 0}}, {{1, 2, 1.0f, 1.0f}}, {{1, 1, 1}, {2, 1, 1}}, {});
    ASSERT_TRUE(SolveTruss(*still));
    EXPECT_EQ(DeformedScaleText(ComputeDeformedShape(*still)), QStringLiteral("Deformed shape: no displacement"));
}

TEST(DeflectionShape, ReactionArrowsPointTheWayTheSupportsPushWithTheirStaticValue)
{
    auto m = TwoBarTruss();
    MessageRecorder messages;
    ASSERT_TRUE(SolveTruss(*m));
    const std::vector<ReactionArrow> arrows = ComputeReactionArrows(*m, 5.0);
    ASSERT_EQ(arrows.size(), 2u);
    EXPECT_NEAR(arrows[0].magnitude, 45.8333, 1e-3);
    EXPECT_NEAR(arrows[1].magnitude, 120.8333, 1e-3);
    EXPECT_EQ(ReactionText(arrows[0]), QStringLiteral("45.833 daN"));
    EXPECT_EQ(ReactionText(arrows[1]), QStringLiteral("120.833 daN"));
    // Four text heights long, ending on the node: A's tail lies down and left along (0.8, 0.6).
    EXPECT_NEAR(arrows[0].tail[0], -16.0, 1e-3);
    EXPECT_NEAR(arrows[0].tail[1], -12.0, 1e-3);
    EXPECT_NEAR(arrows[1].tail[0], 8.0 + 16.0, 1e-3);
    EXPECT_NEAR(arrows[1].tail[1], -12.0, 1e-3);
    EXPECT_DOUBLE_EQ(arrows[1].head[0], 8.0);
}

TEST_F(DeflectionDrawingTest, RunDrawsTheShapeAndTheReactionsOnTheirLayers)
{
    auto m = TwoBarTruss();
    ASSERT_TRUE(SolveTruss(*m));
    ASSERT_TRUE(DrawResults(*m, m_settings, *m_doc));
    EXPECT_TRUE(m_messages.Messages().empty());

    const DxfContents drawing = SavedDrawing();
    const auto lines = drawing.OnLayer(kDeformedLayer, QStringLiteral("LINE"));
    ASSERT_EQ(lines.size(), 2u);
    const auto texts = drawing.OnLayer(kDeformedLayer, QStringLiteral("TEXT"));
    ASSERT_EQ(texts.size(), 1u);
    const double scale = ScaleOf(texts[0].Text(1));
    // Both bars end at the displaced apex, computed from the closed form.
    for (const DxfEntity& line : lines) {
        EXPECT_NEAR(line.Number(11), 4.0 + scale * kApexDx, 2e-3);
        EXPECT_NEAR(line.Number(21), 3.0 + scale * kApexDy, 2e-3);
        EXPECT_NEAR(line.Number(20), 0.0, 1e-9);
    }
    EXPECT_DOUBLE_EQ(texts[0].Number(40), 5.0);

    // The arrows: a head and a shaft at each support, the shaft from 20 units away along the
    // reaction to the node, and the value beside its tail.
    EXPECT_EQ(drawing.OnLayer(kReactionsLayer, QStringLiteral("SOLID")).size(), 2u);
    const auto shafts = drawing.OnLayer(kReactionsLayer, QStringLiteral("LINE"));
    ASSERT_EQ(shafts.size(), 2u);
    EXPECT_NEAR(shafts[0].Number(10), -16.0, 1e-3);
    EXPECT_NEAR(shafts[0].Number(20), -12.0, 1e-3);
    EXPECT_NEAR(shafts[0].Number(11), 0.0, 1e-9);
    EXPECT_NEAR(shafts[1].Number(10), 24.0, 1e-3);
    EXPECT_NEAR(shafts[1].Number(11), 8.0, 1e-9);
    QStringList values;
    for (const DxfEntity& t : drawing.OnLayer(kReactionsLayer, QStringLiteral("TEXT")))
        values << t.Text(1);
    values.sort();
    EXPECT_EQ(values, (QStringList{QStringLiteral("120.833 daN"), QStringLiteral("45.833 daN")}));
}

TEST_F(DeflectionDrawingTest, LargerTrussShapeMatchesTheReportsDisplacementTable)
{
    auto m = PrattTruss();
    ASSERT_TRUE(SolveTruss(*m));
    ASSERT_TRUE(DrawResults(*m, m_settings, *m_doc));
    const std::vector<std::array<double, 2>> reported = ReportedDisplacements(ReportText(*m));
    ASSERT_EQ(reported.size(), 8u);
    double largest = 0.0;
    for (const auto& r : reported)
        largest = std::max(largest, std::hypot(r[0], r[1]));
    ASSERT_GT(largest, 1.0);

    const DxfContents drawing = SavedDrawing();
    const double scale = ScaleOf(drawing.OnLayer(kDeformedLayer, QStringLiteral("TEXT"))[0].Text(1));
    EXPECT_NEAR(scale, 1200.0 / 20.0 / largest, scale * 2e-3);
    const auto lines = drawing.OnLayer(kDeformedLayer, QStringLiteral("LINE"));
    ASSERT_EQ(lines.size(), 13u);
    // Each line's ends, undone by the scale, are the report's displacements (vertical downward).
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const int e = int(k) + 1;
        for (int end = 0; end < 2; ++end) {
            const int node = m->Elements(e, 1 + end).ToInt16();
            const double ux = (lines[k].Number(10 + end) - m->Nodes(node, 1).ToDouble()) / scale;
            const double down = -(lines[k].Number(20 + end) - m->Nodes(node, 2).ToDouble()) / scale;
            const auto& r = reported[static_cast<std::size_t>(node - 1)];
            EXPECT_NEAR(ux, r[0], 2e-3 * largest + 6e-4) << "bar " << e << " node " << node;
            EXPECT_NEAR(down, r[1], 2e-3 * largest + 6e-4) << "bar " << e << " node " << node;
        }
    }
    // Reactions by statics: 1000 up at each end, 200 to the left at node 1.
    std::vector<double> values;
    for (const DxfEntity& t : drawing.OnLayer(kReactionsLayer, QStringLiteral("TEXT"))) {
        EXPECT_TRUE(t.Text(1).endsWith(QStringLiteral(" daN")));
        values.push_back(t.Text(1).section(QLatin1Char(' '), 0, 0).toDouble());
    }
    std::sort(values.begin(), values.end());
    ASSERT_EQ(values.size(), 2u);
    EXPECT_NEAR(values[0], 1000.0, 0.01);
    EXPECT_NEAR(values[1], std::hypot(1000.0, 200.0), 0.01);
}

TEST_F(DeflectionDrawingTest, ColoursComeFromTheStoreAndBlackAndWhiteMakesThemSeven)
{
    auto m = TwoBarTruss();
    ASSERT_TRUE(SolveTruss(*m));
    ASSERT_TRUE(DrawResults(*m, m_settings, *m_doc));
    EXPECT_EQ(m_doc->Layers()->Item(kDeformedLayer)->Color(), kDeformedColourDefault);
    EXPECT_EQ(m_doc->Layers()->Item(kReactionsLayer)->Color(), kReactionsColourDefault);

    WriteExtraSetting(kDeformedColourKey, QStringLiteral("150"));
    WriteExtraSetting(kReactionsColourKey, QStringLiteral("not a colour"));
    m_settings[SetTextHeight] = Cell("2.5");
    ASSERT_TRUE(DrawResults(*m, m_settings, *m_doc));
    EXPECT_EQ(m_doc->Layers()->Item(kDeformedLayer)->Color(), 150);
    EXPECT_EQ(m_doc->Layers()->Item(kReactionsLayer)->Color(), kReactionsColourDefault);
    for (const DxfEntity& t : SavedDrawing().OnLayer(kReactionsLayer, QStringLiteral("TEXT")))
        EXPECT_DOUBLE_EQ(t.Number(40), 2.5);
    // The 14 shared settings stay as they were in the store: the keys are beside them.
    SettingsArray stored;
    LoadSettings(stored);
    EXPECT_EQ(stored[SetLayer6].ToText(), QStringLiteral("5"));

    m_settings[SetColor] = Cell(false);
    ASSERT_TRUE(DrawResults(*m, m_settings, *m_doc));
    EXPECT_EQ(m_doc->Layers()->Item(kDeformedLayer)->Color(), 7);
    EXPECT_EQ(m_doc->Layers()->Item(kReactionsLayer)->Color(), 7);
    EXPECT_EQ(m_doc->Layers()->Item(kDeformedLayer)->Linetype().compare(QLatin1String("PHANTOM"), Qt::CaseInsensitive), 0);
}

TEST_F(DeflectionDrawingTest, ClearingAndRedrawingLeaveNoOldShapeOrArrow)
{
    auto m = TwoBarTruss();
    ASSERT_TRUE(SolveTruss(*m));
    ASSERT_TRUE(DrawResults(*m, m_settings, *m_doc));
    ASSERT_TRUE(DrawResults(*m, m_settings, *m_doc));
    EXPECT_EQ(Selected(kDeformedLayer).size(), 3u);
    EXPECT_EQ(Selected(kReactionsLayer).size(), 6u);
    ClearResults(*m_doc);
    EXPECT_TRUE(Selected(kDeformedLayer).empty());
    EXPECT_TRUE(Selected(kReactionsLayer).empty());
}
