// Guards against wrong bar forces, reactions and displacements from the band solver, against
// failures that go unreported, and against runs past the store's capacity.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "support/TrussFixtures.h"
#include "truss/TrussSolver.h"

using namespace ardela;
using namespace ardela::test;

namespace {

const QString kAnalysisMessage = QStringLiteral("Ther was an error runing the analysis.\r\nPlease go back and revise your input");

double Force(const TrussModel& m, int bar) { return m.Elements(bar, 6).ToDouble(); }
double Rx(const TrussModel& m, int row) { return m.Blocks(row, 4).ToDouble(); }
double Ry(const TrussModel& m, int row) { return m.Blocks(row, 5).ToDouble(); }

} // namespace

TEST(TrussSolver, SingleBarPulledAlongItsAxisCarriesTheLoad)
{
    // Bar 100 long, A = 10, E = 2.1e6: N = 10, elongation N L / (E A) = 4.7619e-5.
    auto m = MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}, {2, 0, 1}}, {{2, 10.0f, 0.0f}});
    MessageRecorder messages;
    ASSERT_TRUE(SolveTruss(*m));
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_NEAR(Force(*m, 1), 10.0, 1e-4);
    EXPECT_DOUBLE_EQ(m->Elements(1, 5).ToDouble(), 100.0);
    EXPECT_EQ(m->Elements(1, 5).GetKind(), Cell::Kind::Double);
    EXPECT_NEAR(Rx(*m, 1), -10.0, 1e-4);
    EXPECT_NEAR(Ry(*m, 1), 0.0, 1e-4);
    EXPECT_NEAR(m->Displacements[2], 10.0 * 100.0 / (2.1e6 * 10.0), 1e-9);
    EXPECT_NEAR(m->Displacements[3], 0.0, 1e-12);
    // The work of the load on its displacement.
    EXPECT_NEAR(m->SumTotal, 10.0 * 4.7619e-5, 1e-7);
    EXPECT_NEAR(m->SumPlus, m->SumTotal, 1e-9);
    EXPECT_EQ(m->SumMinus, 0.0f);
}

TEST(TrussSolver, VerticalBarLoadedUpwardIsInTensionAndMovesUp)
{
    auto m = MakeTruss({{0, 0}, {0, 50}}, {{1, 2, 2.0f, 1.0e5f}}, {{1, 1, 1}, {2, 1, 0}}, {{2, 0.0f, 10.0f}});
    ASSERT_TRUE(SolveTruss(*m));
    EXPECT_NEAR(Force(*m, 1), 10.0, 1e-4);
    EXPECT_NEAR(Ry(*m, 1), -10.0, 1e-4);
    EXPECT_NEAR(Ry(*m, 2), 0.0, 1e-4);
    // Vertical displacements are stored positive downward: the node moves up by N L / (E A).
    EXPECT_LT(m->Displacements[3], 0.0f);
    EXPECT_NEAR(m->Displacements[3], -10.0 * 50.0 / (1.0e5 * 2.0), 1e-8);
}

TEST(TrussSolver, TextbookTrussMatchesTheMethodOfJoints)
{
    // Span 6, height 4, a 12 daN load at mid-span (node 2); pin at 1, roller at 3.
    // Joints: R1y = R3y = 6; N14 = N43 = -7.5; N12 = N23 = 4.5; N24 = 12.
    auto m = MakeTruss({{0, 0}, {3, 0}, {6, 0}, {3, 4}},
                       {{1, 2, 5.0f, 2.1e6f}, {2, 3, 5.0f, 2.1e6f}, {1, 4, 5.0f, 2.1e6f}, {4, 3, 5.0f, 2.1e6f}, {2, 4, 5.0f, 2.1e6f}},
                       {{1, 1, 1}, {3, 0, 1}}, {{2, 0.0f, -12.0f}});
    ASSERT_TRUE(SolveTruss(*m));
    EXPECT_NEAR(Force(*m, 1), 4.5, 1e-4);
    EXPECT_NEAR(Force(*m, 2), 4.5, 1e-4);
    EXPECT_NEAR(Force(*m, 3), -7.5, 1e-4);
    EXPECT_NEAR(Force(*m, 4), -7.5, 1e-4);
    EXPECT_NEAR(Force(*m, 5), 12.0, 1e-4);
    EXPECT_NEAR(Rx(*m, 1), 0.0, 1e-4);
    EXPECT_NEAR(Ry(*m, 1), 6.0, 1e-4);
    EXPECT_NEAR(Ry(*m, 2), 6.0, 1e-4);
    EXPECT_NEAR(m->Elements(3, 5).ToDouble(), 5.0, 1e-6);
    // Clapeyron: the work of the load equals the sum of N x elongation over the bars.
    EXPECT_NEAR(m->SumTotal, -12.0f * -m->Displacements[3], 1e-9);
    EXPECT_GT(m->SumPlus, 0.0f);
    EXPECT_GT(m->SumMinus, 0.0f);
}

TEST(TrussSolver, ReactionsBalanceTheLoadActuallyAppliedWhenANodeHasTwoLoadRows)
{
    // Two load rows name node 2; the solver applies the last (Fx = 30). The support at node 2
    // holds x, so its reaction must be -30 from the same row, and the bar carries nothing.
    auto m = MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}, {2, 1, 1}},
                       {{2, 20.0f, 0.0f}, {2, 30.0f, 0.0f}});
    ASSERT_TRUE(SolveTruss(*m));
    EXPECT_NEAR(Force(*m, 1), 0.0, 1e-4);
    EXPECT_NEAR(Rx(*m, 2), -30.0, 1e-4);
}

TEST(TrussSolver, SupportWhoseFixityIsNotOneRestrainsNothingButGetsReactions)
{
    // Three collinear nodes; the middle support row has fixities 2 and empty: it holds nothing,
    // so the structure behaves as the single bar 1-3 and its reactions come out near 0.
    auto m = MakeTruss({{0, 0}, {50, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}, {2, 3, 10.0f, 2.1e6f}},
                       {{1, 1, 1}, {2, 0, 1}, {3, 0, 1}}, {{3, 10.0f, 0.0f}});
    m->Blocks(2, 2) = Cell(std::int16_t(2));
    ASSERT_TRUE(SolveTruss(*m));
    EXPECT_NEAR(Force(*m, 1), 10.0, 1e-4);
    EXPECT_NEAR(Force(*m, 2), 10.0, 1e-4);
    EXPECT_NEAR(Rx(*m, 2), 0.0, 1e-4);
    EXPECT_NEAR(Rx(*m, 1), -10.0, 1e-4);
}

TEST(TrussSolver, CellsOfAnyNumericKindAndLocaleTextsAreAccepted)
{
    auto m = MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}, {2, 0, 1}}, {{2, 10.0f, 0.0f}});
    ScopedLocale comma("de_DE");
    m->Nodes(2, 1) = Cell(QStringLiteral("100,0"));
    m->Elements(1, 2) = Cell(2.0);
    m->Elements(1, 3) = Cell(std::int32_t(10));
    m->Blocks(1, 2) = Cell(QStringLiteral("1"));
    ASSERT_TRUE(SolveTruss(*m));
    EXPECT_NEAR(Force(*m, 1), 10.0, 1e-4);
}

TEST(TrussSolver, FailuresShowTheOneAnalysisMessageAndReturnFalse)
{
    struct Case { const char* name; std::unique_ptr<TrussModel> model; };
    std::vector<Case> cases;
    cases.push_back({"zero-length bar between coincident nodes",
                     MakeTruss({{0, 0}, {0, 0}}, {{1, 2, 1.0f, 1.0f}}, {{1, 1, 1}, {2, 1, 1}}, {})});
    cases.push_back({"bar from a node to itself",
                     MakeTruss({{0, 0}, {1, 0}}, {{1, 1, 1.0f, 1.0f}}, {{1, 1, 1}}, {})});
    cases.push_back({"unsupported horizontal bar",
                     MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {}, {{2, 10.0f, 0.0f}})});
    cases.push_back({"mechanism: a bar held only at one end",
                     MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}}, {{2, 0.0f, 5.0f}})});
    cases.push_back({"bar naming a node above the count",
                     MakeTruss({{0, 0}, {100, 0}}, {{1, 3, 10.0f, 2.1e6f}}, {{1, 1, 1}, {2, 1, 1}}, {})});
    cases.push_back({"load on node 0",
                     MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}, {2, 0, 1}}, {{0, 1.0f, 0.0f}})});
    auto text = MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}, {2, 0, 1}}, {{2, 1.0f, 0.0f}});
    text->Elements(1, 4) = Cell(QStringLiteral("steel"));
    cases.push_back({"modulus that is not a number", std::move(text)});
    auto huge = MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}, {2, 0, 1}}, {{2, 1.0f, 0.0f}});
    huge->Elements(1, 3) = Cell(3.0e38f);
    cases.push_back({"A x E overflowing single precision", std::move(huge)});

    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageRecorder messages;
        QString detail;
        EXPECT_FALSE(SolveTruss(*c.model, &detail));
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].prompt, kAnalysisMessage);
        EXPECT_EQ(messages.Messages()[0].style, MsgCritical);
        EXPECT_TRUE(messages.Messages()[0].title.isEmpty());
        EXPECT_FALSE(detail.isEmpty());
    }
}

// Trusses that are mechanisms, or lack stiffness in a direction, leave a pivot that is not exactly
// zero in single precision but only rounding noise of the diagonal it started from: the analysis
// must fail instead of reporting displacements of millions.
TEST(TrussSolver, NearlyZeroPivotsOfUnstableTrussesFailTheAnalysis)
{
    struct Case { const char* name; std::unique_ptr<TrussModel> model; };
    std::vector<Case> cases;
    // A square frame without a diagonal racks sideways.
    cases.push_back({"square without a diagonal",
                     MakeTruss({{0, 0}, {100, 0}, {100, 100}, {0, 100}},
                               {{1, 2, 10.0f, 2.1e6f}, {2, 3, 10.0f, 2.1e6f}, {3, 4, 10.0f, 2.1e6f}, {4, 1, 10.0f, 2.1e6f}},
                               {{1, 1, 1}, {2, 0, 1}}, {{3, 10.0f, 0.0f}})});
    // Three nodes in a line: the middle one has no stiffness across the line.
    cases.push_back({"collinear bars loaded across",
                     MakeTruss({{0, 0}, {70, 0}, {140, 0}}, {{1, 2, 10.0f, 2.1e6f}, {2, 3, 10.0f, 2.1e6f}},
                               {{1, 1, 1}, {3, 1, 1}}, {{2, 0.0f, -10.0f}})});
    // Every support holds only y: nothing stops the truss sliding along x.
    cases.push_back({"no support holds x",
                     MakeTruss({{0, 0}, {300, 0}, {150, 200}},
                               {{1, 2, 10.0f, 2.1e6f}, {2, 3, 10.0f, 2.1e6f}, {1, 3, 10.0f, 2.1e6f}},
                               {{1, 0, 1}, {2, 0, 1}}, {{3, 5.0f, -1000.0f}})});
    // A triangle whose inclined bar has no area carries the apex load on nothing.
    cases.push_back({"bar of zero area",
                     MakeTruss({{0, 0}, {300, 0}, {150, 200}},
                               {{1, 2, 10.0f, 2.1e6f}, {2, 3, 0.0f, 2.1e6f}, {1, 3, 10.0f, 2.1e6f}},
                               {{1, 1, 1}, {2, 0, 1}}, {{3, 0.0f, -1000.0f}})});
    cases.push_back({"bar of zero modulus",
                     MakeTruss({{0, 0}, {300, 0}, {150, 200}},
                               {{1, 2, 10.0f, 2.1e6f}, {2, 3, 10.0f, 0.0f}, {1, 3, 10.0f, 2.1e6f}},
                               {{1, 1, 1}, {2, 0, 1}}, {{3, 0.0f, -1000.0f}})});
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageRecorder messages;
        QString detail;
        EXPECT_FALSE(SolveTruss(*c.model, &detail));
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].prompt, kAnalysisMessage);
        EXPECT_TRUE(detail.contains(QLatin1String("pivot"))) << detail.toStdString();
    }
}

TEST(TrussSolver, CapacityIsReachedAt510NodesWithTheNarrowestBand)
{
    MessageRecorder messages;
    auto fits = MakeChain(510, 25.0f);
    ASSERT_TRUE(SolveTruss(*fits));
    // Far end displacements accumulate 509 bars in single precision: forces agree to ~1e-4.
    EXPECT_NEAR(Force(*fits, 1), 25.0, 25.0 * 5e-4);
    EXPECT_NEAR(Force(*fits, 509), 25.0, 25.0 * 5e-4);
    EXPECT_NEAR(Rx(*fits, 1), -25.0, 25.0 * 5e-4);

    auto tooMany = MakeChain(511, 25.0f);
    EXPECT_FALSE(SolveTruss(*tooMany));
    ASSERT_EQ(messages.Messages().size(), 1u);
    // The fixed message, then the cause on its next line.
    EXPECT_EQ(messages.Messages()[0].prompt,
              kAnalysisMessage + QStringLiteral("\r\nequation 1025 is outside the store of 1024 (too many nodes for the bandwidth)"));
}

TEST(TrussSolver, NodeNumbersMoreThan255ApartExceedTheBandStore)
{
    // 300 nodes on a line, a bar from 1 to 300 besides the chain: the band would need 600 columns.
    auto m = MakeChain(300, 1.0f);
    m->ElementCount = 300;
    m->Elements(300, 1) = Cell(std::int16_t(1));
    m->Elements(300, 2) = Cell(std::int16_t(300));
    m->Elements(300, 3) = Cell(1.0f);
    m->Elements(300, 4) = Cell(1.0f);
    MessageRecorder messages;
    QString detail;
    EXPECT_FALSE(SolveTruss(*m, &detail));
    EXPECT_TRUE(detail.contains(QStringLiteral("band column"))) << detail.toStdString();
}

TEST(TrussSolver, ZeroElongationBarsCountInTheMinusChecksum)
{
    // A bar perpendicular to the load path with both ends held vertically does not stretch.
    auto m = MakeTruss({{0, 0}, {100, 0}, {0, 100}}, {{1, 2, 10.0f, 2.1e6f}, {1, 3, 10.0f, 2.1e6f}},
                       {{1, 1, 1}, {2, 0, 1}, {3, 1, 0}}, {{2, 10.0f, 0.0f}});
    ASSERT_TRUE(SolveTruss(*m));
    EXPECT_NEAR(Force(*m, 2), 0.0, 1e-6);
    EXPECT_EQ(m->SumMinus, 0.0f);
    EXPECT_NEAR(m->SumTotal, m->SumPlus, 1e-12);
}

TEST(TrussSolver, ASecondRunStartsFromCleanWorkingStorage)
{
    auto m = MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}, {2, 0, 1}}, {{2, 10.0f, 0.0f}});
    ASSERT_TRUE(SolveTruss(*m));
    const float first = m->SumTotal;
    const float dx = m->Displacements[2];
    ASSERT_TRUE(SolveTruss(*m));
    EXPECT_EQ(m->SumTotal, first);
    EXPECT_EQ(m->Displacements[2], dx);
}

TEST(TrussModelReset, EmptiesTablesCountsAndFileButKeepsRowsUntilThen)
{
    auto m = MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}}, {});
    m->Nodes(900, 1) = Cell(5.0f);
    m->AnalysisPath = QStringLiteral("/tmp/a.krn");
    m->AnalysisTitle = QStringLiteral("a.krn");
    m->NodeCount = 1;
    EXPECT_EQ(m->Nodes(2, 1), Cell(100.0f)) << "rows above the count keep their contents";
    ResetModel(*m);
    EXPECT_EQ(m->NodeCount + m->ElementCount + m->BlockCount + m->LoadCount, 0);
    EXPECT_TRUE(m->AnalysisPath.isEmpty());
    EXPECT_TRUE(m->AnalysisTitle.isEmpty());
    for (int r = 1; r <= kTableRows; ++r) {
        for (int c = 1; c <= 6; ++c)
            ASSERT_TRUE(m->Elements(r, c).IsEmpty());
        for (int c = 1; c <= 3; ++c)
            ASSERT_TRUE(m->Nodes(r, c).IsEmpty());
    }
    EXPECT_THROW(m->Nodes(1025, 1), ModelError);
    EXPECT_THROW(m->Blocks(1, 6), ModelError);
}

TEST(TrussSolver, EquilibriumResidualIsTinyForASoundSolutionAndLargeForAWrongOne)
{
    auto m = MakeTruss({{0, 0}, {3, 0}, {6, 0}, {3, 4}},
                       {{1, 2, 5.0f, 2.1e6f}, {2, 3, 5.0f, 2.1e6f}, {1, 4, 5.0f, 2.1e6f}, {4, 3, 5.0f, 2.1e6f}, {2, 4, 5.0f, 2.1e6f}},
                       {{1, 1, 1}, {3, 0, 1}}, {{2, 0.0f, -12.0f}});
    ASSERT_TRUE(SolveTruss(*m));
    EXPECT_LT(EquilibriumResidual(*m), 1e-5);
    // A bar force 1.2 too large leaves both its joints 1.2 out of balance.
    m->Elements(5, 6) = Cell(13.2);
    EXPECT_NEAR(EquilibriumResidual(*m), 1.2 / 13.2, 1e-6);  // relative to the largest force, now 13.2
}
