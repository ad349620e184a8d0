// Guards Vendel's model drawing against: a gridline mesh that does not span the gridlines'
// bounding rectangle (or depends on the picking order), subdomain rectangles that do not close,
// constrained lines reversed or moved, load arrows of the wrong size, side or direction (or one
// for a zero force), hidden or locked layers left so, drawing that clears by itself, failures
// that go unreported, and clearing that touches other layers, reports what it should ignore, or
// ignores what it should report.
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "cad/ProgramLayers.h"
#include "cad/modHelpers.h"
#include "desktop/Error.h"
#include "desktop/Settings.h"
#include "stress_wizard/CountingDocument.h"
#include "stress_wizard/DxfGeometry.h"
#include "stress_wizard/StressModel.h"
#include "stress_wizard/StressModelDrawing.h"
#include "support/DrawingTestSupport.h"
#include "support/TestSupport.h"

using namespace ardela;
using ardela::test::DrawingHostTest;
using ardela::test::DxfEntity;
using ardela::test::Lines;
using ardela::test::Polylines;
using ardela::test::SameSegment;
using ardela::test::Segment;
using ardela::test::XY;

namespace {

// The corners of a DXF SOLID, in the order written.
std::vector<XY> Corners(const DxfEntity& solid)
{
    return {{solid.Number(10), solid.Number(20)},
            {solid.Number(11), solid.Number(21)},
            {solid.Number(12), solid.Number(22)},
            {solid.Number(13), solid.Number(23)}};
}

class StressModelDrawingTest : public DrawingHostTest {
protected:
    void SetUp() override
    {
        DrawingHostTest::SetUp();
        m_settings = DefaultSettings();
        for (const QString& layer : {cad::kVendelMesh, cad::kVendelDomains, cad::kVendelLines, cad::kVendelLoads})
            m_doc->Layers()->Add(layer);
    }

    vendel::StressDrawingTarget Target() { return {m_model, m_settings, *m_doc}; }

    void SetGridLines(std::initializer_list<double> xs, std::initializer_list<double> ys)
    {
        m_model.VertCount = std::int16_t(xs.size());
        int i = 0;
        for (double x : xs)
            m_model.GridLines(++i, 1) = Cell(x);
        m_model.HorzCount = std::int16_t(ys.size());
        i = 0;
        for (double y : ys)
            m_model.GridLines(++i, 2) = Cell(y);
    }

    void AddLoad(double x, double y, Cell fx, Cell fy)
    {
        ++m_model.NodalLoadCount;
        m_model.NodalLoads(m_model.NodalLoadCount, 1) = Cell(x);
        m_model.NodalLoads(m_model.NodalLoadCount, 2) = Cell(y);
        m_model.NodalLoads(m_model.NodalLoadCount, 3) = fx;
        m_model.NodalLoads(m_model.NodalLoadCount, 4) = fy;
    }

    // The mesh as a set of segments with each one's ends in a fixed order, to compare drawings.
    static std::vector<std::pair<XY, XY>> Sorted(const std::vector<Segment>& lines)
    {
        std::vector<std::pair<XY, XY>> sorted;
        for (const Segment& s : lines)
            sorted.push_back(s.from < s.to ? std::make_pair(s.from, s.to) : std::make_pair(s.to, s.from));
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

    StressModel m_model;
    SettingsArray m_settings;
};

TEST_F(StressModelDrawingTest, GridLinesSpanTheBoundingRectangleWhateverTheirOrder)
{
    SetGridLines({30, 0, 10}, {20, 5});
    vendel::DrawGrid(Target(), true);
    const auto lines = Lines(SavedDrawing(), cad::kVendelMesh);
    const std::vector<std::pair<XY, XY>> expected{
        {{0, 5}, {0, 20}},   {{0, 5}, {30, 5}},  {{0, 20}, {30, 20}},
        {{10, 5}, {10, 20}}, {{30, 5}, {30, 20}},
    };
    EXPECT_EQ(Sorted(lines), expected);

    // Picked in another order: the same mesh.
    vendel::ClearMesh(*m_doc);
    SetGridLines({10, 30, 0}, {5, 20});
    vendel::DrawGrid(Target(), false);
    EXPECT_EQ(Sorted(Lines(SavedDrawing(), cad::kVendelMesh)), expected);
}

TEST_F(StressModelDrawingTest, GridOfOneDirectionOnlyDrawsNothingAndRowsBeyondTheCountAreIgnored)
{
    SetGridLines({0, 10, 20}, {});
    m_model.GridLines(1, 2) = Cell(99.0);   // a stale row beyond the count of none
    vendel::DrawGrid(Target(), false);
    EXPECT_TRUE(Selected(cad::kVendelMesh).empty());

    SetGridLines({0, 10}, {0, 5});
    m_model.GridLines(3, 1) = Cell(500.0);  // beyond the count of two
    vendel::DrawGrid(Target(), false);
    const auto lines = Lines(SavedDrawing(), cad::kVendelMesh);
    ASSERT_EQ(lines.size(), 4u);
    for (const Segment& s : lines) {
        EXPECT_LE(std::max(s.from.first, s.to.first), 10.0);
        EXPECT_LE(std::max(s.from.second, s.to.second), 5.0);
    }
}

TEST_F(StressModelDrawingTest, SubdomainIsAClosedRectangleAndDrawingTwiceWithoutClearingStacksThem)
{
    m_model.DomainCount = 1;
    m_model.Domains(1, 1) = Cell(2.0);
    m_model.Domains(1, 2) = Cell(1.0);
    m_model.Domains(1, 3) = Cell(12.0f);
    m_model.Domains(1, 4) = Cell("6");
    vendel::DrawDomains(Target(), true);
    vendel::DrawDomains(Target(), false);
    const auto rectangles = Polylines(SavedDrawing(), cad::kVendelDomains);
    ASSERT_EQ(rectangles.size(), 2u);
    const std::vector<XY> expected{{2, 1}, {12, 1}, {12, 6}, {2, 6}, {2, 1}};
    for (const auto& r : rectangles) {
        ASSERT_EQ(r.size(), expected.size());
        for (std::size_t v = 0; v < r.size(); ++v)
            EXPECT_TRUE(test::Near(r[v], expected[v])) << "vertex " << v;
    }
    // The Draw button clears first: one rectangle.
    vendel::ClearDomains(*m_doc);
    vendel::DrawDomains(Target(), false);
    EXPECT_EQ(Selected(cad::kVendelDomains).size(), 1u);
}

TEST_F(StressModelDrawingTest, ConstrainedLineRunsFromStartToEnd)
{
    m_model.LineCount = 2;
    const double rows[2][4] = {{0, 0, 0, 10}, {5, 10, 25, 10}};
    for (int i = 0; i < 2; ++i)
        for (int c = 0; c < 4; ++c)
            m_model.ConstrainedLines(i + 1, c + 1) = Cell(rows[i][c]);
    vendel::DrawLines(Target(), false);
    const auto lines = Lines(SavedDrawing(), cad::kVendelLines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(test::Near(lines[0].from, {0, 0}) && test::Near(lines[0].to, {0, 10}));
    EXPECT_TRUE(test::Near(lines[1].from, {5, 10}) && test::Near(lines[1].to, {25, 10}));
}

TEST_F(StressModelDrawingTest, LoadTowardsMinusXHasItsTipOnTheNodeAndItsTailToTheRight)
{
    // Default text height 5: s = 10.
    AddLoad(100, 50, Cell(-200.0f), Cell(0.0f));
    vendel::DrawLoads(Target(), true);
    const auto drawing = SavedDrawing();
    const auto solids = drawing.OnLayer(cad::kVendelLoads, QStringLiteral("SOLID"));
    const auto lines = Lines(drawing, cad::kVendelLoads);
    ASSERT_EQ(solids.size(), 1u);
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<XY> corners{{100, 50}, {104, 49.2}, {104, 50.8}, {104, 50.8}};
    const auto got = Corners(solids[0]);
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_TRUE(test::Near(got[k], corners[k])) << "corner " << k;
    EXPECT_TRUE(test::Near(lines[0].from, {100, 50}) && test::Near(lines[0].to, {110, 50}));
}

TEST_F(StressModelDrawingTest, EachForceComponentGetsItsOwnArrowPointingWithIt)
{
    m_settings[SetTextHeight] = Cell("2.5");   // arrows 5 long
    AddLoad(0, 0, Cell(300.0), Cell(-400.0));
    AddLoad(20, 0, Cell(), Cell(std::int16_t(7)));
    AddLoad(40, 0, Cell(""), Cell("  "));        // blank forces: no arrow
    AddLoad(60, 0, Cell(0.0), Cell(0.0));
    vendel::DrawLoads(Target(), false);
    const auto drawing = SavedDrawing();
    const auto solids = drawing.OnLayer(cad::kVendelLoads, QStringLiteral("SOLID"));
    const auto lines = Lines(drawing, cad::kVendelLoads);
    ASSERT_EQ(solids.size(), 3u);
    ASSERT_EQ(lines.size(), 3u);
    // Row 1, x first: towards +x, tail at x - 5.
    EXPECT_TRUE(SameSegment(lines[0], {0, 0}, {-5, 0}));
    EXPECT_TRUE(test::Near(Corners(solids[0])[1], {-2, -0.4}));
    EXPECT_TRUE(test::Near(Corners(solids[0])[2], {-2, 0.4}));
    // Row 1, y: towards -y, tail at y + 5.
    EXPECT_TRUE(SameSegment(lines[1], {0, 0}, {0, 5}));
    EXPECT_TRUE(test::Near(Corners(solids[1])[1], {-0.4, 2}));
    EXPECT_TRUE(test::Near(Corners(solids[1])[2], {0.4, 2}));
    // Row 2: towards +y, tail at y - 5.
    EXPECT_TRUE(SameSegment(lines[2], {20, 0}, {20, -5}));
    EXPECT_TRUE(test::Near(Corners(solids[2])[1], {19.6, -2}));
    EXPECT_TRUE(test::Near(Corners(solids[2])[3], {20.4, -2}));
    for (const Segment& s : lines)
        EXPECT_NEAR(s.Length(), 5.0, 1e-6);
}

TEST_F(StressModelDrawingTest, LoadArrowRefusesADirectionOutsideOneToFour)
{
    try {
        vendel::DrawLoadArrow(*m_doc, {0, 0, 0}, 10.0f, 5, cad::kVendelLoads);
        FAIL() << "direction 5 was drawn";
    } catch (const cad::CadError& e) {
        EXPECT_EQ(e.Code(), cad::kInvalidArgument);
    }
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 0);
}

TEST_F(StressModelDrawingTest, DrawingSwitchesItsLayerOnThawsUnlocksAndMakesItCurrentEvenWhenEmpty)
{
    using Draw = void (*)(const vendel::StressDrawingTarget&, bool);
    for (const auto& [layer, draw] : std::vector<std::pair<QString, Draw>>{
             {cad::kVendelMesh, &vendel::DrawGrid},
             {cad::kVendelDomains, &vendel::DrawDomains},
             {cad::kVendelLines, &vendel::DrawLines},
             {cad::kVendelLoads, &vendel::DrawLoads}}) {
        cad::AcadLayerPtr l = m_doc->Layers()->Item(layer);
        l->SetLayerOn(false);
        l->SetFreeze(true);
        l->SetLock(true);
        draw(Target(), false);
        EXPECT_TRUE(l->LayerOn()) << layer.toStdString();
        EXPECT_FALSE(l->Freeze()) << layer.toStdString();
        EXPECT_FALSE(l->Lock()) << layer.toStdString();
        EXPECT_EQ(m_doc->ActiveLayer()->Name(), layer);
    }
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 0);
}

TEST_F(StressModelDrawingTest, EachDrawRoutineRegeneratesOnlyWhenAsked)
{
    using Draw = void (*)(const vendel::StressDrawingTarget&, bool);
    for (Draw draw : std::initializer_list<Draw>{&vendel::DrawGrid, &vendel::DrawDomains, &vendel::DrawLines, &vendel::DrawLoads}) {
        test::CountingDocument counted(m_doc);
        draw({m_model, m_settings, counted}, false);
        EXPECT_EQ(counted.regens, 0);
        draw({m_model, m_settings, counted}, true);
        EXPECT_EQ(counted.regens, 1);
    }
}

TEST_F(StressModelDrawingTest, FailuresStopTheRoutineAndReachTheCallerLeavingWhatWasDrawn)
{
    m_model.LineCount = 3;
    m_model.ConstrainedLines(1, 3) = Cell(10.0);
    m_model.ConstrainedLines(2, 3) = Cell("ten");
    m_model.ConstrainedLines(3, 3) = Cell(30.0);
    EXPECT_THROW(vendel::DrawLines(Target(), true), ModelError);
    EXPECT_EQ(Selected(cad::kVendelLines).size(), 1u);

    // A layer the drawing lacks is the drawing's refusal.
    m_doc->Layers()->Item(cad::kVendelLoads)->Delete();
    AddLoad(0, 0, Cell(1.0), Cell());
    EXPECT_THROW(vendel::DrawLoads(Target(), false), cad::CadError);
}

TEST_F(StressModelDrawingTest, ClearingErasesOnlyItsOwnLayer)
{
    SetGridLines({0, 10}, {0, 10});
    m_model.DomainCount = 1;
    m_model.LineCount = 1;
    AddLoad(0, 0, Cell(1.0), Cell(1.0));
    vendel::DrawGrid(Target(), false);
    vendel::DrawDomains(Target(), false);
    vendel::DrawLines(Target(), false);
    vendel::DrawLoads(Target(), false);
    ASSERT_EQ(m_doc->ModelSpace()->Count(), 4 + 1 + 1 + 4);

    vendel::ClearMesh(*m_doc);
    EXPECT_TRUE(Selected(cad::kVendelMesh).empty());
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 6);
    vendel::ClearDomains(*m_doc);
    EXPECT_TRUE(Selected(cad::kVendelDomains).empty());
    vendel::ClearLines(*m_doc);
    EXPECT_TRUE(Selected(cad::kVendelLines).empty());
    EXPECT_EQ(Selected(cad::kVendelLoads).size(), 4u);
    vendel::ClearLoads(*m_doc);
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 0);
    EXPECT_EQ(m_doc->SelectionSets()->Count(), 0);
}

TEST_F(StressModelDrawingTest, LeftoverSelectionSetIsIgnoredByThreeClearRoutinesAndReportedByClearLoads)
{
    m_model.LineCount = 1;
    vendel::DrawLines(Target(), false);
    using Clear = void (*)(cad::AcadDocument&);
    for (Clear clear : std::initializer_list<Clear>{&vendel::ClearMesh, &vendel::ClearDomains, &vendel::ClearLines}) {
        m_doc->SelectionSets()->Add(QStringLiteral("tempss"));
        EXPECT_NO_THROW(clear(*m_doc));
        // The leftover is gone and nothing was erased.
        EXPECT_EQ(m_doc->SelectionSets()->Count(), 0);
        EXPECT_EQ(Selected(cad::kVendelLines).size(), 1u);
    }
    vendel::ClearLines(*m_doc);
    EXPECT_TRUE(Selected(cad::kVendelLines).empty());

    AddLoad(0, 0, Cell(1.0), Cell());
    vendel::DrawLoads(Target(), false);
    m_doc->SelectionSets()->Add(QStringLiteral("tempss"));
    EXPECT_THROW(vendel::ClearLoads(*m_doc), cad::CadError);
    EXPECT_EQ(Selected(cad::kVendelLoads).size(), 2u);
}

TEST_F(StressModelDrawingTest, ProgramWideRoutinesWorkOnTheWorkingDrawingAndFailWithoutOne)
{
    ResetModel(Stress());
    Settings() = DefaultSettings();
    Stress().VertCount = 2;
    Stress().GridLines(2, 1) = Cell(10.0);
    Stress().HorzCount = 1;
    Stress().NodalLoadCount = 1;
    Stress().NodalLoads(1, 4) = Cell(-5.0);
    cad::Connection& connection = cad::CadConnection();
    connection.AcadDoc = m_doc;
    vendel::DrawGrid(false);
    vendel::DrawLoads(true);
    vendel::DrawDomains(false);
    vendel::DrawLines(false);
    EXPECT_EQ(Selected(cad::kVendelMesh).size(), 3u);
    EXPECT_EQ(Selected(cad::kVendelLoads).size(), 2u);
    vendel::ClearMesh();
    vendel::ClearLoads();
    vendel::ClearDomains();
    vendel::ClearLines();
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 0);

    connection.AcadDoc.reset();
    using Draw = void (*)(bool);
    for (Draw draw : std::initializer_list<Draw>{&vendel::DrawGrid, &vendel::DrawDomains, &vendel::DrawLines, &vendel::DrawLoads})
        EXPECT_THROW(draw(false), cad::CadError);
    EXPECT_THROW(vendel::ClearLoads(), cad::CadError);
    vendel::ClearMesh();   // these report nothing
    vendel::ClearDomains();
    vendel::ClearLines();
    ResetModel(Stress());
}

} // namespace
