// Guards the status line of Korrin's model steps against: a greyed "&Next >" with no word of why,
// a status naming the wrong row or column, and numbers of 1e7 and above (shown with an exponent)
// that the step check cannot count.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "truss/TrussModel.h"
#include "truss_wizard/StepChecks.h"

using namespace ardela;

namespace {

struct Checked {
    bool valid;
    QString status;
};

template <typename Check>
Checked Evaluate(Check check, TrussModel& model, int rowsUsed, PendingEdit pending = {})
{
    auto buffer = std::make_unique<CheckBufferTable>();
    std::int16_t used = static_cast<std::int16_t>(rowsUsed);
    QString status = QStringLiteral("stale");
    const bool valid = check(model, used, pending, *buffer, &status);
    return {valid, status};
}

} // namespace

TEST(KorrinStepStatus, NamesTheFirstRefusedCellOfTheRowTheCountStoppedAt)
{
    auto model = std::make_unique<TrussModel>();
    model->Nodes(1, 1) = Cell(0.0f);
    model->Nodes(1, 2) = Cell(0.0f);
    model->Nodes(2, 1) = Cell(300.0f);
    model->Nodes(2, 2) = Cell(QStringLiteral("3OO"));
    model->Nodes(3, 1) = Cell(150.0f);
    model->Nodes(3, 2) = Cell(200.0f);
    Checked c = Evaluate(CheckNodes, *model, 3);
    EXPECT_FALSE(c.valid);
    EXPECT_EQ(c.status, QStringLiteral("row 2, Coord y: '3OO' is not a number"));

    // An empty cell in the middle.
    model->Nodes(2, 2) = Cell();
    c = Evaluate(CheckNodes, *model, 3);
    EXPECT_EQ(c.status, QStringLiteral("row 2, Coord y: a number is needed"));

    // The pending text of the open editor is named before anything else.
    c = Evaluate(CheckNodes, *model, 3, PendingEdit{true, QStringLiteral("1,2,3"), 4, 1});
    EXPECT_FALSE(c.valid);
    EXPECT_EQ(c.status, QStringLiteral("row 4, Coord x: '1,2,3' is not a number"));

    // Complete: no status.
    model->Nodes(2, 2) = Cell(0.0f);
    c = Evaluate(CheckNodes, *model, 3);
    EXPECT_TRUE(c.valid);
    EXPECT_TRUE(c.status.isEmpty());

    auto empty = std::make_unique<TrussModel>();
    c = Evaluate(CheckNodes, *empty, 0);
    EXPECT_FALSE(c.valid);
    EXPECT_TRUE(c.status.startsWith(QStringLiteral("At least one node is needed"))) << c.status.toStdString();
}

TEST(KorrinStepStatus, SteelModulusOfTwentyOneMillionCountsAndAnExponentIsExplained)
{
    auto model = std::make_unique<TrussModel>();
    model->NodeCount = 2;
    const float bar[] = {1, 2, 10, 2.1e7f};
    for (int c = 1; c <= 4; ++c)
        model->Elements(1, c) = Cell(bar[c - 1]);
    // Stored as a number, shown as "2.1E+07": still a number for the check.
    ASSERT_TRUE(model->Elements(1, 4).ToText().contains(u'E')) << model->Elements(1, 4).ToText().toStdString();
    Checked c = Evaluate(CheckElements, *model, 1);
    EXPECT_TRUE(c.valid) << c.status.toStdString();
    EXPECT_EQ(model->ElementCount, 1);
    model->Elements(2, 1) = Cell(1e-5f);
    model->Elements(2, 2) = Cell(2.0f);
    model->Elements(2, 3) = Cell(1e-5f);
    model->Elements(2, 4) = Cell(2.1e7f);
    c = Evaluate(CheckElements, *model, 2);
    EXPECT_TRUE(c.valid) << c.status.toStdString();
    EXPECT_EQ(model->ElementCount, 2);

    // Typed with an exponent, the text is not read, and the status says why.
    model->Elements(1, 4) = Cell(QStringLiteral("2.1E+07"));
    c = Evaluate(CheckElements, *model, 2);
    EXPECT_FALSE(c.valid);
    EXPECT_EQ(c.status, QStringLiteral("row 1, E: '2.1E+07' is written with an exponent, which is not read: write the number out in full"));
}

TEST(KorrinStepStatus, SupportsSayHowManyMoreFixitiesAreNeeded)
{
    auto model = std::make_unique<TrussModel>();
    model->Blocks(1, 1) = Cell(std::int16_t(1));
    model->Blocks(1, 2) = Cell(std::int16_t(1));
    model->Blocks(2, 1) = Cell(std::int16_t(2));
    model->Blocks(2, 3) = Cell(std::int16_t(1));
    Checked c = Evaluate(CheckBlocks, *model, 2);
    EXPECT_FALSE(c.valid);
    EXPECT_EQ(c.status, QStringLiteral("Block x or Block y is needed on at least 1 more node (3 are needed, 2 set)"));
    model->Blocks(1, 3) = Cell(std::int16_t(1));
    c = Evaluate(CheckBlocks, *model, 2);
    EXPECT_TRUE(c.valid);
    EXPECT_TRUE(c.status.isEmpty());
}
