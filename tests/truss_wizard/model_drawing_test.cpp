// Guards the model drawing against: symbols of the wrong size, side or direction, a support held
// both ways losing a triangle, load arrows pointing away from the force, bar numbers placed,
// aligned or turned wrongly (or upside down for a bar entered backwards), node ObjectIDs not
// written back, hidden or locked layers left so, failures that go unreported, and clearing
// that touches other layers or is blocked for good by a leftover selection set.
#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "support/DrawingTestSupport.h"
#include "desktop/Error.h"
#include "truss_wizard/ModelDrawing.h"
#include "desktop/Settings.h"
#include "support/TestSupport.h"
#include "truss/TrussModel.h"

using namespace ardela;
using ardela::test::DrawingHostTest;
using ardela::test::DxfEntity;

namespace {

constexpr double kTol = 1e-6;

// The corners of a DXF SOLID as (x, y) pairs.
std::vector<std::pair<double, double>> Corners(const DxfEntity& solid)
{
    return {{solid.Number(10), solid.Number(20)},
            {solid.Number(11), solid.Number(21)},
            {solid.Number(12), solid.Number(22)},
            {solid.Number(13), solid.Number(23)}};
}

bool Near(std::pair<double, double> a, std::pair<double, double> b)
{
    return std::abs(a.first - b.first) < kTol && std::abs(a.second - b.second) < kTol;
}

// True when the solid's corners are exactly the given points in any order (repeats allowed).
bool HasCorners(const DxfEntity& solid, const std::vector<std::pair<double, double>>& expected)
{
    for (const auto& c : Corners(solid)) {
        bool found = false;
        for (const auto& e : expected)
            found = found || Near(c, e);
        if (!found)
            return false;
    }
    for (const auto& e : expected) {
        bool found = false;
        for (const auto& c : Corners(solid))
            found = found || Near(c, e);
        if (!found)
            return false;
    }
    return true;
}

class ModelDrawingTest : public DrawingHostTest {
protected:
    void SetUp() override
    {
        DrawingHostTest::SetUp();
        if (HasFatalFailure())
            return;
        m_settings = DefaultSettings();   // text height 5: symbols 10 drawing units
        for (const QString& name : {kNodesLayer, kBeamsLayer, kBlocksLayer, kLoadsLayer})
            m_doc->Layers()->Add(name);
    }

    void AddNode(double x, double y)
    {
        ++m_model.NodeCount;
        m_model.Nodes(m_model.NodeCount, 1) = Cell(float(x));
        m_model.Nodes(m_model.NodeCount, 2) = Cell(float(y));
    }

    ModelDrawingTarget Target() { return {m_model, m_settings, *m_doc}; }

    TrussModel m_model;
    SettingsArray m_settings;
};

TEST_F(ModelDrawingTest, SupportHeldBothWaysGetsATriangleLeftOfTheNodeAndOneBelowIt)
{
    AddNode(100, 50);
    AddNode(0, 0);
    m_model.BlockCount = 2;
    m_model.Blocks(1, 1) = Cell(std::int16_t(1));
    m_model.Blocks(1, 2) = Cell(std::int16_t(1));
    m_model.Blocks(1, 3) = Cell("1");             // as the grid stores a typed entry
    m_model.Blocks(2, 1) = Cell(std::int16_t(2)); // free both ways: nothing drawn
    m_model.Blocks(2, 2) = Cell(std::int16_t(0));
    DrawBlocks(Target(), true);

    const auto solids = SavedDrawing().OnLayer(kBlocksLayer);
    ASSERT_EQ(solids.size(), 2u);
    // Height 0.22 x 10 = 2.2 and base 0.16 x 10 = 1.6, apex on the node.
    const std::vector<std::pair<double, double>> left{{100, 50}, {97.8, 49.2}, {97.8, 50.8}};
    const std::vector<std::pair<double, double>> below{{100, 50}, {99.2, 47.8}, {100.8, 47.8}};
    EXPECT_EQ(solids[0].type, QStringLiteral("SOLID"));
    EXPECT_TRUE((HasCorners(solids[0], left) && HasCorners(solids[1], below))
                || (HasCorners(solids[0], below) && HasCorners(solids[1], left)));
}

TEST_F(ModelDrawingTest, LoadTowardsMinusXIsAnArrowFromTheRightWithItsHeadOnTheNode)
{
    AddNode(100, 50);
    m_model.LoadCount = 1;
    m_model.Loads(1, 1) = Cell(std::int16_t(1));
    m_model.Loads(1, 2) = Cell(float(-10));
    m_model.Loads(1, 3) = Cell(float(0));
    DrawLoads(Target(), true);

    const auto drawing = SavedDrawing();
    const auto lines = drawing.OnLayer(kLoadsLayer, QStringLiteral("LINE"));
    const auto solids = drawing.OnLayer(kLoadsLayer, QStringLiteral("SOLID"));
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(solids.size(), 1u);
    // The shaft runs 10 from (110, 50) to the node; the head is 4 long and 1.6 wide.
    const std::set<double> xs{lines[0].Number(10), lines[0].Number(11)};
    EXPECT_EQ(xs, (std::set<double>{100.0, 110.0}));
    EXPECT_NEAR(lines[0].Number(20), 50.0, kTol);
    EXPECT_NEAR(lines[0].Number(21), 50.0, kTol);
    EXPECT_TRUE(HasCorners(solids[0], {{100, 50}, {104, 49.2}, {104, 50.8}}));
}

TEST_F(ModelDrawingTest, LoadWithBothComponentsGetsTwoArrowsPointingWithTheForce)
{
    AddNode(0, 0);
    m_model.LoadCount = 2;
    m_model.Loads(1, 1) = Cell(std::int16_t(1));
    m_model.Loads(1, 2) = Cell(float(3));     // towards +x: tail at x = -10
    m_model.Loads(1, 3) = Cell(float(-7));    // towards -y: tail at y = +10
    m_model.Loads(2, 1) = Cell(std::int16_t(1));
    m_model.Loads(2, 2) = Cell();             // empty and zero forces draw nothing
    m_model.Loads(2, 3) = Cell(float(0));
    DrawLoads(Target(), false);

    const auto drawing = SavedDrawing();
    const auto solids = drawing.OnLayer(kLoadsLayer, QStringLiteral("SOLID"));
    const auto lines = drawing.OnLayer(kLoadsLayer, QStringLiteral("LINE"));
    ASSERT_EQ(solids.size(), 2u);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(HasCorners(solids[0], {{0, 0}, {-4, -0.8}, {-4, 0.8}}));
    EXPECT_TRUE(HasCorners(solids[1], {{0, 0}, {-0.8, 4}, {0.8, 4}}));
    std::set<std::pair<double, double>> tails;
    for (const DxfEntity& line : lines)
        for (const auto& [x, y] : {std::pair{line.Number(10), line.Number(20)}, std::pair{line.Number(11), line.Number(21)}})
            if (x != 0.0 || y != 0.0)
                tails.insert({x, y});
    EXPECT_EQ(tails, (std::set<std::pair<double, double>>{{-10.0, 0.0}, {0.0, 10.0}}));
}

TEST_F(ModelDrawingTest, BarNumberSitsTopCentreOnTheMidpointAlongTheBarEitherWayRound)
{
    AddNode(0, 0);
    AddNode(10, 10);
    m_model.ElementCount = 2;
    m_model.Elements(1, 1) = Cell(std::int16_t(1));
    m_model.Elements(1, 2) = Cell(std::int16_t(2));
    m_model.Elements(2, 1) = Cell(std::int16_t(2));   // the same bar entered backwards
    m_model.Elements(2, 2) = Cell(std::int16_t(1));
    DrawElements(Target(), true);

    const auto texts = Selected(kBeamsLayer, QStringLiteral("TEXT"));
    ASSERT_EQ(texts.size(), 2u);
    QStringList numbers;
    for (const cad::AcadEntityPtr& text : texts) {
        numbers << text->TextString();
        EXPECT_EQ(text->Alignment(), 7);
        const cad::Point3 at = text->TextAlignmentPoint();
        EXPECT_NEAR(at[0], 5.0, kTol);
        EXPECT_NEAR(at[1], 5.0, kTol);
        EXPECT_NEAR(text->Rotation(), M_PI / 4, 1e-9);
        EXPECT_DOUBLE_EQ(text->Height(), 5.0);
    }
    numbers.sort();
    EXPECT_EQ(numbers, (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_EQ(Selected(kBeamsLayer, QStringLiteral("LINE")).size(), 2u);
}

TEST_F(ModelDrawingTest, NodePointsAreNumberedAndTheirObjectIdsWrittenIntoTheNodesTable)
{
    AddNode(1, 2);
    AddNode(30, 40);
    AddNode(-5, 0);
    DrawNodes(Target(), true);

    std::map<std::int64_t, cad::Point3> points;
    const auto selected = Selected(kNodesLayer, QStringLiteral("POINT"));
    ASSERT_EQ(selected.size(), 3u);
    for (const cad::AcadEntityPtr& point : selected)
        points[point->ObjectID()] = {};
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(m_model.Nodes(i, 3).GetKind(), Cell::Kind::Int32);
        EXPECT_TRUE(points.count(m_model.Nodes(i, 3).Int32Value())) << "node " << i;
    }
    EXPECT_NE(m_model.Nodes(1, 3).Int32Value(), m_model.Nodes(2, 3).Int32Value());

    const auto drawing = SavedDrawing();
    std::map<QString, std::pair<double, double>> labels;
    for (const DxfEntity& text : drawing.OnLayer(kNodesLayer, QStringLiteral("TEXT")))
        labels[text.Text(1)] = {text.Number(10), text.Number(20)};
    EXPECT_EQ(labels, (std::map<QString, std::pair<double, double>>{
                          {QStringLiteral("1"), {1, 2}}, {QStringLiteral("2"), {30, 40}}, {QStringLiteral("3"), {-5, 0}}}));
}

TEST_F(ModelDrawingTest, EmptyTableStillPreparesTheLayerAndMakesItCurrent)
{
    cad::AcadLayerPtr nodes = m_doc->Layers()->Item(kNodesLayer);
    nodes->SetLayerOn(false);
    nodes->SetFreeze(true);
    nodes->SetLock(true);
    DrawNodes(Target(), true);

    EXPECT_TRUE(nodes->LayerOn());
    EXPECT_FALSE(nodes->Freeze());
    EXPECT_FALSE(nodes->Lock());
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), kNodesLayer);
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 0);
}

TEST_F(ModelDrawingTest, FailuresStopTheRoutineAndReachTheCallerLeavingWhatWasDrawn)
{
    AddNode(0, 0);
    AddNode(10, 0);
    m_model.ElementCount = 2;
    m_model.Elements(1, 1) = Cell(std::int16_t(1));
    m_model.Elements(1, 2) = Cell(std::int16_t(2));
    m_model.Elements(2, 1) = Cell(std::int16_t(1));
    m_model.Elements(2, 2) = Cell(std::int16_t(2000));   // outside the table
    EXPECT_THROW(DrawElements(Target(), false), ModelError);
    EXPECT_EQ(Selected(kBeamsLayer).size(), 2u);   // bar 1 with its number

    m_model.Elements(2, 2) = Cell("two");   // a cell that is not a number
    EXPECT_THROW(DrawElements(Target(), false), ModelError);

    m_doc->Layers()->Item(kBlocksLayer)->Delete();
    m_model.BlockCount = 1;
    m_model.Blocks(1, 1) = Cell(std::int16_t(1));
    m_model.Blocks(1, 2) = Cell(std::int16_t(1));
    EXPECT_THROW(DrawBlocks(Target(), false), cad::CadError);
}

TEST_F(ModelDrawingTest, ClearingErasesOnlyItsOwnLayerEvenAfterALeftoverSelectionSet)
{
    AddNode(0, 0);
    AddNode(10, 0);
    m_model.ElementCount = 1;
    m_model.Elements(1, 1) = Cell(std::int16_t(1));
    m_model.Elements(1, 2) = Cell(std::int16_t(2));
    DrawNodes(Target(), false);
    DrawElements(Target(), false);
    m_doc->SetActiveLayer(m_doc->Layers()->Item(QStringLiteral("0")));
    m_doc->ModelSpace()->AddLine({0, 0, 0}, {1, 1, 0});

    ClearBeams(*m_doc);
    EXPECT_TRUE(Selected(kBeamsLayer).empty());
    EXPECT_EQ(Selected(kNodesLayer).size(), 4u);
    EXPECT_EQ(Selected(QStringLiteral("0")).size(), 1u);

    // A set left over blocks one clearing, which removes it, so the next clearing works.
    m_doc->SelectionSets()->Add(QStringLiteral("tempss"));
    ClearNodes(*m_doc);
    EXPECT_EQ(Selected(kNodesLayer).size(), 4u);
    EXPECT_EQ(m_doc->SelectionSets()->Count(), 0);
    ClearNodes(*m_doc);
    EXPECT_TRUE(Selected(kNodesLayer).empty());
    EXPECT_EQ(Selected(QStringLiteral("0")).size(), 1u);
}

} // namespace
