// Guards the truss taken from drawn lines against: ends a hair apart made into two nodes, lines
// left whole where another line ends on them, new rows written over the table's rows, nodes
// numbered so the band grows, duplicate or zero-length bars and overfull tables accepted or
// refused after the tables changed, and a refusal that does not say which lines.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "support/TrussFixtures.h"
#include "truss/TrussFromLines.h"
#include "truss/TrussSolver.h"

using namespace ardela;
using namespace ardela::test;

namespace {

DrawnLine Line(double x1, double y1, double x2, double y2, int n)
{
    return {x1, y1, x2, y2, QStringLiteral("line %1").arg(n)};
}

// A Warren girder of three bottom panels 2 long, 1.5 deep: each chord drawn as one line (cut by
// the diagonals' ends), one diagonal's upper end 1e-7 off the node it meets.
std::vector<DrawnLine> WarrenLines()
{
    return {
        Line(0, 0, 6, 0, 1),   Line(1, 1.5, 5, 1.5, 2), Line(0, 0, 1, 1.5, 3),         Line(1, 1.5, 2, 0, 4),
        Line(2, 0, 3, 1.5, 5), Line(3 + 1e-7, 1.5, 4, 0, 6), Line(4, 0, 5, 1.5, 7), Line(5, 1.5, 6, 0, 8),
    };
}

// The nodes and bars of the Warren girder, laid out by hand: nodes left to right, bars in the
// lines' order with each chord's pieces from its start.
const std::vector<NodeSpec> kWarrenNodes{{0, 0}, {1, 1.5}, {2, 0}, {3, 1.5}, {4, 0}, {5, 1.5}, {6, 0}};
const std::vector<std::pair<int, int>> kWarrenBars{{1, 3}, {3, 5}, {5, 7}, {2, 4}, {4, 6}, {1, 2},
                                                   {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}};

// A Pratt truss of four panels 3 long and 3 deep: the bottom chord drawn as two lines, each cut
// at a vertical's foot; the top chord one line cut at the middle vertical; the middle vertical
// drawn downward.
std::vector<DrawnLine> PrattLines()
{
    return {
        Line(0, 0, 6, 0, 1), Line(6, 0, 12, 0, 2), Line(3, 3, 9, 3, 3),  Line(0, 0, 3, 3, 4),  Line(9, 3, 12, 0, 5),
        Line(3, 0, 3, 3, 6), Line(6, 3, 6, 0, 7),  Line(9, 0, 9, 3, 8),  Line(3, 3, 6, 0, 9),  Line(9, 3, 6, 0, 10),
    };
}

const std::vector<NodeSpec> kPrattNodes{{0, 0}, {3, 0}, {3, 3}, {6, 0}, {6, 3}, {9, 0}, {9, 3}, {12, 0}};
const std::vector<std::pair<int, int>> kPrattBars{{1, 2}, {2, 4}, {4, 6}, {6, 8}, {3, 5}, {5, 7}, {1, 3},
                                                  {7, 8}, {2, 3}, {5, 4}, {6, 7}, {3, 4}, {7, 4}};

std::vector<BarSpec> Bars(const std::vector<std::pair<int, int>>& bars, float a, float e)
{
    std::vector<BarSpec> specs;
    for (const auto& [i, j] : bars)
        specs.push_back({i, j, a, e});
    return specs;
}

QString Refusal(TrussModel& m, const std::vector<DrawnLine>& lines)
{
    try {
        AddLinesToModel(m, lines, 10.0f, 2.1e6f);
    } catch (const ModelError& error) {
        return error.Text();
    }
    return QString();
}

} // namespace

TEST(TrussFromLines, WarrenGirderBecomesTheHandMadeTables)
{
    TrussModel m;
    const LinesAdded added = AddLinesToModel(m, WarrenLines(), 12.5f, 2.1e6f);
    ExpectTrussTables(m, kWarrenNodes, kWarrenBars);
    EXPECT_EQ(added.nodes, 7);
    EXPECT_EQ(added.bars, 11);
    EXPECT_EQ(added.splitLines, 2);
    EXPECT_DOUBLE_EQ(added.tolerance, 6e-6);
    for (int e = 1; e <= m.ElementCount; ++e) {
        EXPECT_EQ(m.Elements(e, 3), Cell(12.5f));
        EXPECT_EQ(m.Elements(e, 4), Cell(2.1e6f));
    }
}

TEST(TrussFromLines, PrattTrussBecomesTheHandMadeTablesAndSolvesAsTypedByHand)
{
    TrussModel m;
    AddLinesToModel(m, PrattLines(), 10.0f, 2.1e6f);
    ExpectTrussTables(m, kPrattNodes, kPrattBars);

    const std::vector<SupportSpec> supports{{1, 1, 1}, {8, 0, 1}};
    const std::vector<LoadSpec> loads{{4, 0.0f, -1000.0f}, {2, 0.0f, -500.0f}, {6, 200.0f, -500.0f}};
    for (const SupportSpec& s : supports)
        AddSupport(m, s.node, s.holdX, s.holdY);
    for (const LoadSpec& l : loads)
        AddLoad(m, l.node, l.fx, l.fy);
    auto typed = MakeTruss(kPrattNodes, Bars(kPrattBars, 10.0f, 2.1e6f), supports, loads);
    MessageRecorder messages;
    ASSERT_TRUE(SolveTruss(m));
    ASSERT_TRUE(SolveTruss(*typed));
    for (int e = 1; e <= m.ElementCount; ++e)
        EXPECT_EQ(m.Elements(e, 6).ToDouble(), typed->Elements(e, 6).ToDouble()) << "bar " << e;
    // Statics: moments about node 1 give Ry8 x 12 = 500 x 3 + 1000 x 6 + 500 x 9 (the horizontal
    // load acts along the bottom chord), so each support carries 1000 and node 1 holds -200.
    EXPECT_NEAR(m.Blocks(1, 5).ToDouble(), 1000.0, 1e-2);
    EXPECT_NEAR(m.Blocks(2, 5).ToDouble(), 1000.0, 1e-2);
    EXPECT_NEAR(m.Blocks(1, 4).ToDouble(), -200.0, 1e-2);
}

TEST(TrussFromLines, NewRowsFollowTheTableAndReuseItsNodes)
{
    // Two nodes typed before; the Warren girder's lines end on both of them.
    auto m = MakeTruss({{0, 0}, {6, 0}}, {{1, 2, 1.0f, 1.0f}}, {}, {});
    m->ElementCount = 0;  // the typed bar would duplicate the bottom chord's pieces otherwise
    const LinesAdded added = AddLinesToModel(*m, WarrenLines(), 1.0f, 1.0f);
    EXPECT_EQ(added.reusedNodes, 2);
    EXPECT_EQ(added.firstNode, 3);
    EXPECT_EQ(added.nodes, 5);
    ASSERT_EQ(m->NodeCount, 7);
    EXPECT_DOUBLE_EQ(m->Nodes(1, 1).ToDouble(), 0.0);
    EXPECT_DOUBLE_EQ(m->Nodes(2, 1).ToDouble(), 6.0);
    // The bottom chord from node 1 through the new nodes at x = 2 and x = 4 (rows 4 and 6) to node 2.
    EXPECT_EQ(m->Elements(1, 1).ToInt16(), 1);
    EXPECT_DOUBLE_EQ(m->Nodes(m->Elements(1, 2).ToInt16(), 1).ToDouble(), 2.0);
    EXPECT_EQ(m->Elements(3, 2).ToInt16(), 2);
}

TEST(TrussFromLines, TallSelectionsAreNumberedUpwardAndEndsFurtherApartThanTheToleranceStayApart)
{
    TrussModel m;
    // A tower two wide and eight high: numbered by y, then x.
    AddLinesToModel(m, {Line(0, 0, 0, 8, 1), Line(2, 0, 2, 8, 2), Line(0, 4, 2, 4, 3), Line(0, 0, 2, 4, 4)}, 1.0f, 1.0f);
    ExpectTrussTables(m, {{0, 0}, {2, 0}, {0, 4}, {2, 4}, {0, 8}, {2, 8}},
                 {{1, 3}, {3, 5}, {2, 4}, {4, 6}, {3, 4}, {1, 4}});

    // 1e-3 apart in a selection 1 wide is more than the relative tolerance 1e-6: two nodes.
    TrussModel apart;
    AddLinesToModel(apart, {Line(0, 0, 0.5, 0, 1), Line(0.501, 0, 1, 0, 2)}, 1.0f, 1.0f);
    EXPECT_EQ(apart.NodeCount, 4);
    // With a tolerance of 1e-2 of the size, one.
    TrussModel merged;
    AddLinesToModel(merged, {Line(0, 0, 0.5, 0, 1), Line(0.501, 0, 1, 0, 2)}, 1.0f, 1.0f, 1e-2);
    EXPECT_EQ(merged.NodeCount, 3);
}

TEST(TrussFromLines, DuplicateAndZeroLengthBarsAreRefusedByNameBeforeAnythingChanges)
{
    auto m = MakeTruss({{0, 0}, {6, 0}}, {{1, 2, 1.0f, 1.0f}}, {}, {});
    const TrussModel before = *m;
    auto unchanged = [&] {
        EXPECT_EQ(m->NodeCount, before.NodeCount);
        EXPECT_EQ(m->ElementCount, before.ElementCount);
        EXPECT_TRUE(m->Nodes(3, 1).IsEmpty());
        EXPECT_TRUE(m->Elements(2, 1).IsEmpty());
    };

    // The same line twice.
    std::vector<DrawnLine> lines = PrattLines();
    lines.push_back(Line(12, 0, 9, 3, 11));
    EXPECT_EQ(Refusal(*m, lines), QStringLiteral("These make the same bar twice: line 5 and line 11 (nodes 7 and 8)."));
    unchanged();

    // A line over a piece of another: the bottom chord 0-6 cut at 3 gives 0-3 again.
    EXPECT_EQ(Refusal(*m, {Line(0, 5, 6, 5, 1), Line(3, 5, 3, 8, 2), Line(0, 5, 3, 5, 3)}),
              QStringLiteral("These make the same bar twice: line 1 and line 3 (nodes 3 and 4)."));
    unchanged();

    // A line over the table's bar 1.
    EXPECT_EQ(Refusal(*m, {Line(6, 0, 0, 0, 1), Line(0, 0, 3, 3, 2)}),
              QStringLiteral("These make the same bar twice: bar 1 of the table and line 1 (nodes 1 and 2)."));
    unchanged();

    // Zero length, and ends closer than the tolerance.
    EXPECT_EQ(Refusal(*m, {Line(0, 0, 10, 0, 1), Line(4, 4, 4, 4, 2), Line(5, 5, 5 + 1e-9, 5, 3)}),
              QStringLiteral("These lines have zero length (ends within 1e-05 of each other): line 2, line 3."));
    unchanged();

    EXPECT_EQ(Refusal(*m, {}), QStringLiteral("There are no lines to make bars of."));
    unchanged();
}

TEST(TrussFromLines, TablesPastTheirRowsAreRefusedSayingWhich)
{
    // 1025 separate short lines need 2050 nodes.
    std::vector<DrawnLine> lines;
    for (int k = 0; k < 1025; ++k)
        lines.push_back(Line(k, 0, k, 1 + (k % 2), k + 1));
    TrussModel m;
    EXPECT_EQ(Refusal(m, lines),
              QStringLiteral("The lines have 2050 new node(s); with the 0 node(s) in the table that is more than the 1024 rows of the node table."));
    EXPECT_EQ(m.NodeCount, 0);

    // A fan of 1025 bars from 2 hubs to 513 rim nodes fits the node table but not the bar table.
    std::vector<DrawnLine> fan;
    for (int k = 0; k < 513; ++k) {
        fan.push_back(Line(0, -1, k, 10, 2 * k + 1));
        if (k < 512)
            fan.push_back(Line(600, -1, k, 10, 2 * k + 2));
    }
    ASSERT_EQ(fan.size(), 1025u);
    EXPECT_EQ(Refusal(m, fan),
              QStringLiteral("The lines make 1025 bar(s); with the 0 bar(s) in the table that is more than the 1024 rows of the bar table."));
    EXPECT_EQ(m.NodeCount, 0);
    EXPECT_EQ(m.ElementCount, 0);

    // Exactly full is accepted.
    fan.pop_back();
    EXPECT_EQ(AddLinesToModel(m, fan, 1.0f, 1.0f).bars, 1024);
    EXPECT_EQ(m.ElementCount, 1024);
}
