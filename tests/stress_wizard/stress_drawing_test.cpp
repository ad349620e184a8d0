// Guards the principal stress drawing against: outlines that cross the element (wrong corner
// order) or go missing, segments of the wrong length, direction or centre, a sign on the wrong
// layer (zero included), switched-off kinds still drawn or taking the outlines with them, old
// results or the gridline mesh left beside new ones, other layers erased, wrong colours or line
// types, "DASHDOT" loaded twice, failures that stay silent, report success or wipe what was
// drawn, a progress that does not run in three equal thirds, and results forgotten by halves.
#include <cmath>
#include <limits>

#include <QFile>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "cad/ProgramLayers.h"
#include "cad/modHelpers.h"
#include "desktop/Settings.h"
#include "stress_wizard/CountingDocument.h"
#include "stress_wizard/DxfGeometry.h"
#include "stress_wizard/StressDrawing.h"
#include "stress_wizard/StressModel.h"
#include "stress_wizard/StressModelDrawing.h"
#include "support/DrawingTestSupport.h"
#include "support/TestSupport.h"

using namespace ardela;
using ardela::test::DrawingHostTest;
using ardela::test::Lines;
using ardela::test::MessageRecorder;
using ardela::test::Polylines;
using ardela::test::SameSegment;
using ardela::test::Segment;
using ardela::test::XY;

namespace {

const QString kFailure = QStringLiteral("There was an error drawing data.\r\nPlease go back and revise your input.");
const double kSqrt3 = std::sqrt(3.0);

class StressDrawingTest : public DrawingHostTest {
protected:
    void SetUp() override
    {
        DrawingHostTest::SetUp();
        m_settings = DefaultSettings();
        m_settings[SetScaleFactor] = Cell("2");
        m_model.StressPoints.clear();
        m_model.StressValues.clear();
        // The mesh layer exists once the drawing is set up.
        m_doc->Layers()->Add(cad::kVendelMesh);
    }

    // An element of the solver's mesh: its corners in the solver's order (lower left, lower
    // right, upper left, upper right) and its principal stresses.
    void AddElement(double x0, double y0, double x1, double y1, float s1, float s2, float angle)
    {
        m_model.StressPoints.push_back({float(x0), float(y0)});
        m_model.StressPoints.push_back({float(x1), float(y0)});
        m_model.StressPoints.push_back({float(x0), float(y1)});
        m_model.StressPoints.push_back({float(x1), float(y1)});
        m_model.StressValues.push_back({s1, s2, angle});
    }

    bool Draw(const cad::DrawingProgress& progress = {})
    {
        return vendel::DrawStresses(m_model, m_settings, *m_doc, true, progress);
    }

    QString FirstMessage() const { return m_messages.Messages().empty() ? QString() : m_messages.Messages()[0].prompt; }

    StressModel m_model;
    SettingsArray m_settings;
    MessageRecorder m_messages;
};

TEST_F(StressDrawingTest, EachElementGetsOneClosedOutlineRoundItsCornersOnTheMeshLayer)
{
    AddElement(0, 0, 10, 5, 1, -1, 0);
    AddElement(10, 0, 30, 5, 1, -1, 0);
    ASSERT_TRUE(Draw()) << FirstMessage().toStdString();
    EXPECT_TRUE(m_messages.Messages().empty());
    const auto outlines = Polylines(SavedDrawing(), cad::kVendelMesh);
    ASSERT_EQ(outlines.size(), 2u);
    const std::vector<std::vector<XY>> expected{{{0, 0}, {10, 0}, {10, 5}, {0, 5}, {0, 0}},
                                                {{10, 0}, {30, 0}, {30, 5}, {10, 5}, {10, 0}}};
    for (std::size_t e = 0; e < 2; ++e) {
        ASSERT_EQ(outlines[e].size(), 5u);
        for (std::size_t v = 0; v < 5; ++v)
            EXPECT_TRUE(test::Near(outlines[e][v], expected[e][v])) << "element " << e << " vertex " << v;
    }
}

TEST_F(StressDrawingTest, SegmentsAreCentredTwiceTheStressTimesTheScaleLongAndCrossAtRightAngles)
{
    // Centre (5, 5); scale 2: s1 = 3 gives a half-length 6 at 30 degrees, s2 = -4 a half-length 8
    // at 120 degrees.
    AddElement(0, 0, 10, 10, 3, -4, 30);
    ASSERT_TRUE(Draw());
    const auto drawing = SavedDrawing();
    const auto plus = Lines(drawing, cad::kVendelPlus);
    const auto minus = Lines(drawing, cad::kVendelMinus);
    ASSERT_EQ(plus.size(), 1u);
    ASSERT_EQ(minus.size(), 1u);
    EXPECT_TRUE(SameSegment(plus[0], {5 - 3 * kSqrt3, 5 - 3}, {5 + 3 * kSqrt3, 5 + 3}));
    EXPECT_TRUE(SameSegment(minus[0], {5 + 4, 5 - 4 * kSqrt3}, {5 - 4, 5 + 4 * kSqrt3}));
    EXPECT_NEAR(plus[0].Length(), 12.0, 1e-6);
    EXPECT_NEAR(minus[0].Length(), 16.0, 1e-6);
}

TEST_F(StressDrawingTest, AngleZeroIsHorizontalThenVerticalAndNinetyTheReverse)
{
    AddElement(0, 0, 4, 4, 1, 2, 0);     // centre (2, 2)
    AddElement(4, 0, 8, 4, 3, 4, 90);    // centre (6, 2)
    ASSERT_TRUE(Draw());
    const auto plus = Lines(SavedDrawing(), cad::kVendelPlus);
    ASSERT_EQ(plus.size(), 4u);
    // Drawn in order: every first stress, then every second one.
    EXPECT_TRUE(SameSegment(plus[0], {0, 2}, {4, 2}));
    EXPECT_TRUE(SameSegment(plus[1], {6, -4}, {6, 8}));
    EXPECT_TRUE(SameSegment(plus[2], {2, -2}, {2, 6}));
    EXPECT_TRUE(SameSegment(plus[3], {-2, 2}, {14, 2}));
    // The layer of the last segment drawn stays current.
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), cad::kVendelPlus);
}

TEST_F(StressDrawingTest, SignChoosesTheLayerNotTheLengthAndZeroIsACompressionOfNoLength)
{
    AddElement(0, 0, 10, 10, 2.5f, -2.5f, 0);
    AddElement(10, 0, 20, 10, 0.0f, -1.0f, 0);
    ASSERT_TRUE(Draw());
    const auto drawing = SavedDrawing();
    const auto plus = Lines(drawing, cad::kVendelPlus);
    const auto minus = Lines(drawing, cad::kVendelMinus);
    ASSERT_EQ(plus.size(), 1u);
    ASSERT_EQ(minus.size(), 3u);
    EXPECT_NEAR(plus[0].Length(), 10.0, 1e-6);
    // The minus layer in drawing order: the zero s1 of element 2, s2 of element 1, s2 of element 2.
    EXPECT_NEAR(minus[0].Length(), 0.0, 1e-9);
    EXPECT_TRUE(test::Near(minus[0].from, {15, 5}));
    EXPECT_NEAR(minus[1].Length(), 10.0, 1e-6);
    EXPECT_TRUE(test::Near(minus[1].Middle(), {5, 5}));
    EXPECT_NEAR(minus[2].Length(), 4.0, 1e-6);
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), cad::kVendelMinus);
}

TEST_F(StressDrawingTest, SwitchedOffKindsAreNotDrawnButTheOutlinesAlwaysAre)
{
    AddElement(0, 0, 10, 10, 2, -1, 0);
    AddElement(10, 0, 20, 10, -3, 0, 45);
    m_settings[SetTension] = Cell(std::int16_t(0));
    ASSERT_TRUE(Draw());
    auto drawing = SavedDrawing();
    EXPECT_TRUE(Lines(drawing, cad::kVendelPlus).empty());
    EXPECT_EQ(Lines(drawing, cad::kVendelMinus).size(), 3u);
    EXPECT_EQ(Polylines(drawing, cad::kVendelMesh).size(), 2u);

    m_settings[SetCompression] = Cell("0");
    ASSERT_TRUE(Draw());
    drawing = SavedDrawing();
    EXPECT_TRUE(Lines(drawing, cad::kVendelPlus).empty());
    EXPECT_TRUE(Lines(drawing, cad::kVendelMinus).empty());
    EXPECT_EQ(Polylines(drawing, cad::kVendelMesh).size(), 2u);
    // Both layers are still made, for the Options dialog to colour.
    EXPECT_EQ(m_doc->Layers()->Item(cad::kVendelPlus)->Name(), cad::kVendelPlus);

    m_settings[SetTension] = Cell(std::int16_t(1));
    ASSERT_TRUE(Draw());
    drawing = SavedDrawing();
    EXPECT_EQ(Lines(drawing, cad::kVendelPlus).size(), 1u);
    EXPECT_TRUE(Lines(drawing, cad::kVendelMinus).empty());
}

TEST_F(StressDrawingTest, DrawingAgainReplacesEarlierResultsAndTheGridMeshButSparesOtherLayers)
{
    StressModel grid;
    grid.VertCount = 2;
    grid.GridLines(1, 1) = Cell(0.0);
    grid.GridLines(2, 1) = Cell(10.0);
    grid.HorzCount = 2;
    grid.GridLines(1, 2) = Cell(0.0);
    grid.GridLines(2, 2) = Cell(10.0);
    grid.DomainCount = 1;
    grid.Domains(1, 3) = Cell(10.0);
    grid.Domains(1, 4) = Cell(10.0);
    m_doc->Layers()->Add(cad::kVendelDomains);
    vendel::DrawGrid({grid, m_settings, *m_doc}, false);
    vendel::DrawDomains({grid, m_settings, *m_doc}, false);
    ASSERT_EQ(Selected(cad::kVendelMesh).size(), 4u);

    AddElement(0, 0, 10, 10, 1, -1, 0);
    ASSERT_TRUE(Draw());
    ASSERT_TRUE(Draw());
    EXPECT_EQ(Selected(cad::kVendelMesh).size(), 1u);
    EXPECT_EQ(Selected(cad::kVendelPlus).size(), 1u);
    EXPECT_EQ(Selected(cad::kVendelMinus).size(), 1u);
    EXPECT_EQ(Selected(cad::kVendelDomains).size(), 1u);
    EXPECT_EQ(m_doc->SelectionSets()->Count(), 0);
}

TEST_F(StressDrawingTest, ColourPlotTakesTheLayerColoursAndKeepsCompressionContinuous)
{
    AddElement(0, 0, 10, 10, 1, -1, 0);
    m_settings[SetLayer6] = Cell("30");
    m_settings[SetLayer7] = Cell(std::int16_t(140));
    m_doc->lineTypes()->Load(QStringLiteral("DASHDOT"), test::SourceDir() + QStringLiteral("/resources/acad.lin"));
    m_doc->Layers()->Add(cad::kVendelMinus)->SetLinetype(QStringLiteral("DASHDOT"));
    ASSERT_TRUE(Draw()) << FirstMessage().toStdString();
    EXPECT_EQ(m_doc->Layers()->Item(cad::kVendelPlus)->Color(), 30);
    EXPECT_EQ(m_doc->Layers()->Item(cad::kVendelMinus)->Color(), 140);
    EXPECT_EQ(m_doc->Layers()->Item(cad::kVendelMinus)->Linetype().compare(QLatin1String("Continuous"), Qt::CaseInsensitive), 0);
}

TEST_F(StressDrawingTest, BlackAndWhiteLoadsDashDotOnlyWhenMissingAndLeavesThePlusLineType)
{
    AddElement(0, 0, 10, 10, 1, -1, 0);
    m_settings[SetColor] = Cell(false);
    m_settings[SetLayer6] = Cell("30");
    const std::int32_t before = m_doc->lineTypes()->Count();
    ASSERT_TRUE(Draw()) << FirstMessage().toStdString();
    EXPECT_EQ(m_doc->lineTypes()->Count(), before + 1);
    EXPECT_EQ(m_doc->Layers()->Item(cad::kVendelPlus)->Color(), 7);
    EXPECT_EQ(m_doc->Layers()->Item(cad::kVendelMinus)->Color(), 7);
    EXPECT_EQ(m_doc->Layers()->Item(cad::kVendelMinus)->Linetype().compare(QLatin1String("DASHDOT"), Qt::CaseInsensitive), 0);
    // Drawn again, the loaded line type is used as it is.
    ASSERT_TRUE(Draw()) << FirstMessage().toStdString();
    EXPECT_EQ(m_doc->lineTypes()->Count(), before + 1);
}

TEST_F(StressDrawingTest, BlackAndWhiteUsesADashDotOfAnyLetterCaseAndNeverSetsThePlusLineType)
{
    // "dashdot" in lower case from a line type file of the drawing's own.
    const QString lin = m_dir.filePath(QStringLiteral("own.lin"));
    {
        QFile file(lin);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("*dashdot,Own dash dot __ . __\nA,.5,-.25,0,-.25\n*DASHED,Dashed __ __\nA,.5,-.25\n");
    }
    m_doc->lineTypes()->Load(QStringLiteral("dashdot"), lin);
    m_doc->lineTypes()->Load(QStringLiteral("DASHED"), lin);
    m_doc->Layers()->Add(cad::kVendelPlus)->SetLinetype(QStringLiteral("DASHED"));
    const std::int32_t lineTypes = m_doc->lineTypes()->Count();

    AddElement(0, 0, 10, 10, 1, -1, 0);
    m_settings[SetColor] = Cell(false);
    ASSERT_TRUE(Draw()) << FirstMessage().toStdString();
    EXPECT_EQ(m_doc->lineTypes()->Count(), lineTypes);
    EXPECT_EQ(m_doc->Layers()->Item(cad::kVendelMinus)->Linetype().compare(QLatin1String("DASHDOT"), Qt::CaseInsensitive), 0);
    EXPECT_EQ(m_doc->Layers()->Item(cad::kVendelPlus)->Linetype(), QStringLiteral("DASHED"));
}

TEST_F(StressDrawingTest, ProgressRunsInThreeEqualThirdsAndEndsOnce)
{
    for (int e = 0; e < 4; ++e)
        AddElement(10 * e, 0, 10 * e + 10, 10, 1, -1, 0);
    std::vector<float> steps;
    int done = 0;
    cad::DrawingProgress progress{[&](float f) { steps.push_back(f); }, [&] { ++done; }};
    ASSERT_TRUE(Draw(progress));
    ASSERT_EQ(steps.size(), 12u);
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_NEAR(steps[i], float(i + 1) / 12.0f, 1e-6) << "step " << i;
    EXPECT_EQ(done, 1);
}

TEST_F(StressDrawingTest, RegeneratesOnlyWhenAskedAndSwitchesLayersOnlyWhereTheSignChanges)
{
    AddElement(0, 0, 10, 10, 1, 2, 0);
    AddElement(10, 0, 20, 10, 3, -1, 0);
    AddElement(20, 0, 30, 10, -2, -1, 0);
    test::CountingDocument counted(m_doc);
    ASSERT_TRUE(vendel::DrawStresses(m_model, m_settings, counted, true));
    EXPECT_EQ(counted.regens, 1);
    // The mesh layer, then first stresses + + - and second stresses + - -: four changes.
    EXPECT_EQ(counted.layerSwitches, 5);
    ASSERT_TRUE(vendel::DrawStresses(m_model, m_settings, counted, false));
    EXPECT_EQ(counted.regens, 1);
    EXPECT_EQ(Selected(cad::kVendelPlus).size(), 3u);
    EXPECT_EQ(Selected(cad::kVendelMinus).size(), 3u);
}

TEST_F(StressDrawingTest, NoElementsErasesTheSegmentsKeepsTheMeshAndDrawsNothing)
{
    AddElement(0, 0, 10, 10, 1, -1, 0);
    ASSERT_TRUE(Draw());
    m_model.StressPoints.clear();
    m_model.StressValues.clear();
    std::vector<float> steps;
    ASSERT_TRUE(Draw({[&](float f) { steps.push_back(f); }, {}}));
    EXPECT_TRUE(steps.empty());
    EXPECT_TRUE(Selected(cad::kVendelPlus).empty());
    EXPECT_TRUE(Selected(cad::kVendelMinus).empty());
    EXPECT_EQ(Selected(cad::kVendelMesh).size(), 1u);
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 1);
}

TEST_F(StressDrawingTest, LeftoverSelectionSetFailsBeforeAnythingIsDrawn)
{
    AddElement(0, 0, 10, 10, 1, -1, 0);
    m_doc->SelectionSets()->Add(QStringLiteral("tempss"));
    int done = 0;
    EXPECT_FALSE(Draw({{}, [&] { ++done; }}));
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kFailure);
    EXPECT_EQ(m_messages.Messages()[0].style, 16);
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 0);
    EXPECT_EQ(done, 0);
}

TEST_F(StressDrawingTest, FailureHalfWayKeepsWhatWasDrawnAndTheProgressWhereItStopped)
{
    AddElement(0, 0, 10, 10, 1, -1, 0);
    AddElement(10, 0, 20, 10, 1, -1, 0);
    m_settings[SetScaleFactor] = Cell("not a scale");
    std::vector<float> steps;
    int done = 0;
    EXPECT_FALSE(Draw({[&](float f) { steps.push_back(f); }, [&] { ++done; }}));
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kFailure);
    // The outlines were drawn before the scale was read; no segment after it.
    EXPECT_EQ(Selected(cad::kVendelMesh).size(), 2u);
    EXPECT_TRUE(Selected(cad::kVendelPlus).empty());
    EXPECT_TRUE(Selected(cad::kVendelMinus).empty());
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_NEAR(steps.back(), 1.0f / 3.0f, 1e-6);
    EXPECT_EQ(done, 0);
}

TEST_F(StressDrawingTest, ResultsThatAreNotNumbersOrLackCornersAreReportedNotDrawn)
{
    AddElement(0, 0, 10, 10, 1, -1, 0);
    AddElement(10, 0, 20, 10, std::numeric_limits<float>::infinity(), -1, 0);
    EXPECT_FALSE(Draw());
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kFailure);
    // Only the segment of the first element's s1 had been drawn when the second one failed.
    EXPECT_EQ(Selected(cad::kVendelPlus).size(), 1u);

    m_model.StressPoints.pop_back();
    EXPECT_FALSE(Draw());
    EXPECT_EQ(m_messages.Messages().size(), 2u);
    // Refused before the erase: the earlier drawing stays as it was.
    EXPECT_EQ(Selected(cad::kVendelPlus).size(), 1u);
}

TEST_F(StressDrawingTest, LostHostIsReportedNotHung)
{
    AddElement(0, 0, 10, 10, 1, -1, 0);
    m_host.Kill();
    m_host.WaitForExit(5000);
    EXPECT_FALSE(Draw());
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kFailure);
    EXPECT_THROW(vendel::ClearStresses(m_model, *m_doc), cad::CadError);
    m_app.reset();
}

TEST_F(StressDrawingTest, ClearStressesForgetsTheResultsAndErasesTheirSegmentsButKeepsTheMesh)
{
    AddElement(0, 0, 10, 10, 1, -1, 0);
    AddElement(10, 0, 20, 10, 1, -1, 0);
    m_doc->Layers()->Add(cad::kVendelLines);
    m_doc->SetActiveLayer(m_doc->Layers()->Item(cad::kVendelLines));
    m_doc->ModelSpace()->AddLine({0, 0, 0}, {0, 10, 0});
    ASSERT_TRUE(Draw());
    vendel::ClearStresses(m_model, *m_doc);
    EXPECT_EQ(m_model.StressValues.size(), 1u);
    EXPECT_EQ(m_model.StressPoints.size(), 4u);
    // The segments of a model that changed go; the mesh stays until new results replace it.
    EXPECT_EQ(Selected(cad::kVendelMesh).size(), 2u);
    EXPECT_TRUE(Selected(cad::kVendelPlus).empty());
    EXPECT_TRUE(Selected(cad::kVendelMinus).empty());
    EXPECT_EQ(Selected(cad::kVendelLines).size(), 1u);

    // Drawn again after the clear (as the Options dialog may), nothing is drawn nor erased: no
    // phantom element at the origin, and the mesh is still there.
    ASSERT_TRUE(Draw());
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 3);   // the line on Vendel_Lines and the two outlines
    EXPECT_EQ(Selected(cad::kVendelMesh).size(), 2u);
    EXPECT_TRUE(m_messages.Messages().empty());

    // A leftover set is not the routine's to deal with: the caller hears of it.
    m_doc->SelectionSets()->Add(QStringLiteral("tempss"));
    EXPECT_THROW(vendel::ClearStresses(m_model, *m_doc), cad::CadError);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(StressDrawingTest, ProgramWideRoutinesWorkOnTheWorkingDrawingAndFailWithoutOne)
{
    Settings() = DefaultSettings();
    StressModel& model = Stress();
    model.StressPoints = {{0, 0}, {4, 0}, {0, 4}, {4, 4}};
    model.StressValues = {{1.0f, -0.5f, 0.0f}};
    cad::Connection& connection = cad::CadConnection();
    connection.AcadDoc = m_doc;
    EXPECT_TRUE(vendel::DrawStresses(false));
    // Default scale 20: s1 = 1 is 40 long.
    const auto plus = Lines(SavedDrawing(), cad::kVendelPlus);
    ASSERT_EQ(plus.size(), 1u);
    EXPECT_NEAR(plus[0].Length(), 40.0, 1e-6);
    vendel::ClearStresses();
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 1);   // the outline stays
    EXPECT_EQ(model.StressValues.size(), 1u);

    connection.AcadDoc.reset();
    model.StressValues = {{1.0f, -0.5f, 0.0f}};
    EXPECT_FALSE(vendel::DrawStresses(true));
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kFailure);
    EXPECT_THROW(vendel::ClearStresses(), cad::CadError);
    EXPECT_EQ(model.StressValues.size(), 1u);
    EXPECT_EQ(model.StressValues[0], (std::array<float, 3>{0.0f, 0.0f, 0.0f}));
}

} // namespace
