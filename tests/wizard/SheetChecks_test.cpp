// Guards the sheet checks against: a step left forward with a half-filled row before a filled
// one, a number stranded after the counted rows, a pending text that cannot be committed, the
// pending edit ignored or written into the model, a force left out taken as incomplete, too few
// fixities accepted, and the rows reached by editing forgotten.
#include <gtest/gtest.h>

#include "desktop/Table.h"
#include "support/TestSupport.h"
#include "wizard/SheetChecks.h"

using namespace ardela;
using ardela::test::ScopedLocale;

namespace {

// Two numbers a row, at least one row: the shape of a node sheet.
SheetRule TwoNumbers()
{
    SheetRule rule;
    rule.cells = {CellRule::Number, CellRule::Number};
    rule.minRows = 1;
    return rule;
}

SheetCheck Check(const Table<3>& table, const SheetRule& rule, int rows, const PendingEdit& pending = {})
{
    return CheckSheet(SheetCells(table, pending), rule, rows);
}

} // namespace

TEST(SheetChecks, LeadingCompleteRowsAreCountedAndAnEmptySheetIsRefused)
{
    ScopedLocale locale("C");
    Table<3> table;
    EXPECT_FALSE(Check(table, TwoNumbers(), 0).valid);
    table(1, 1) = 0.0;
    table(1, 2) = 0.0;
    table(2, 1) = 300.0;
    table(2, 2) = QStringLiteral("0");
    const SheetCheck check = Check(table, TwoNumbers(), 2);
    EXPECT_TRUE(check.valid);
    EXPECT_EQ(check.count, 2);
    // Rows past the rows looked at are not counted.
    EXPECT_EQ(Check(table, TwoNumbers(), 1).count, 1);
}

TEST(SheetChecks, ANumberAfterAnIncompleteRowRefusesTheSheet)
{
    ScopedLocale locale("C");
    Table<3> table;
    table(1, 1) = 1.0;
    table(1, 2) = 1.0;
    table(2, 1) = 2.0;          // row 2 lacks its y
    table(3, 1) = 3.0;
    table(3, 2) = 3.0;
    SheetCheck check = Check(table, TwoNumbers(), 3);
    EXPECT_FALSE(check.valid);
    EXPECT_EQ(check.count, 1);
    // A text that is not a number after the counted rows does not refuse the sheet.
    table(2, 1) = Cell();
    table(3, 1) = QStringLiteral("x");
    table(3, 2) = Cell();
    check = Check(table, TwoNumbers(), 3);
    EXPECT_TRUE(check.valid);
    EXPECT_EQ(check.count, 1);
    // The columns outside the rule are not looked at.
    table(3, 3) = 9.0;
    EXPECT_TRUE(Check(table, TwoNumbers(), 3).valid);
}

TEST(SheetChecks, ThePendingTextStandsInItsCellWithoutChangingTheTable)
{
    ScopedLocale locale("C");
    Table<3> table;
    table(1, 1) = 1.0;
    PendingEdit pending{true, QStringLiteral("2.5"), 1, 2};
    SheetCheck check = Check(table, TwoNumbers(), 1, pending);
    EXPECT_TRUE(check.valid);
    EXPECT_EQ(check.count, 1);
    EXPECT_TRUE(table(1, 2).IsEmpty());
    // Emptying a cell in the box counts as empty.
    table(1, 2) = 4.0;
    pending.text.clear();
    EXPECT_FALSE(Check(table, TwoNumbers(), 1, pending).valid);
    // A text that cannot be committed refuses the sheet whatever the rows hold.
    pending.text = QStringLiteral("4,5x");
    EXPECT_FALSE(Check(table, TwoNumbers(), 1, pending).valid);
    EXPECT_TRUE(PendingRefused(pending));
    EXPECT_FALSE(PendingRefused(PendingEdit{false, QStringLiteral("x"), 1, 1}));
    EXPECT_FALSE(PendingRefused(PendingEdit{true, QString(), 1, 1}));
}

TEST(SheetChecks, ThePendingNumberInACommaLocaleIsReadAsTheEngineerTypedIt)
{
    ScopedLocale locale("de_DE");
    Table<3> table;
    table(1, 1) = 1.0;
    EXPECT_TRUE(Check(table, TwoNumbers(), 1, PendingEdit{true, QStringLiteral("2,5"), 1, 2}).valid);
}

TEST(SheetChecks, RowsToCheckRiseToTheRowTheBoxStandsOn)
{
    std::int16_t mark = 2;
    EXPECT_EQ(RowsToCheck(mark, PendingEdit{}), 2);
    EXPECT_EQ(RowsToCheck(mark, PendingEdit{true, QStringLiteral("1"), 7, 1}), 7);
    EXPECT_EQ(mark, 7);
    // A lower row or a closed box leaves the mark; a row outside the table is ignored.
    EXPECT_EQ(RowsToCheck(mark, PendingEdit{true, QStringLiteral("1"), 3, 1}), 7);
    EXPECT_EQ(RowsToCheck(mark, PendingEdit{false, QString(), 9, 1}), 7);
    EXPECT_EQ(RowsToCheck(mark, PendingEdit{true, QString(), kTableRows + 1, 1}), 7);
    std::int16_t beyond = 2000;
    EXPECT_EQ(RowsToCheck(beyond, PendingEdit{}), kTableRows);
}

TEST(SheetChecks, AForceLeftOutIsCompleteButATextIsNot)
{
    ScopedLocale locale("C");
    // Node, Fx, Fy: the node a number, each force a number or nothing; no row needed.
    SheetRule loads;
    loads.cells = {CellRule::Number, CellRule::NumberOrEmpty, CellRule::NumberOrEmpty};
    Table<3> table;
    EXPECT_TRUE(Check(table, loads, 0).valid);
    table(1, 1) = 2.0;
    table(1, 3) = -1000.0;
    table(2, 1) = 3.0;
    table(2, 2) = QStringLiteral("  ");
    SheetCheck check = Check(table, loads, 2);
    EXPECT_TRUE(check.valid);
    EXPECT_EQ(check.count, 2);
    table(2, 2) = QStringLiteral("ten");
    check = Check(table, loads, 2);
    EXPECT_EQ(check.count, 1);
    // Row 2 holds a number (its node) after the counted row.
    EXPECT_FALSE(check.valid);
}

TEST(SheetChecks, SupportsNeedThreeFixitiesAmongTheCountedRows)
{
    ScopedLocale locale("C");
    // Node, Block x, Block y: the node a number, the toggles not looked at; three cells equal to 1.
    SheetRule blocks;
    blocks.cells = {CellRule::Number, CellRule::Anything, CellRule::Anything};
    blocks.onesFirstColumn = 2;
    blocks.onesLastColumn = 3;
    blocks.minOnes = 3;
    Table<3> table;
    table(1, 1) = 1.0;
    table(1, 2) = std::int16_t(1);
    table(1, 3) = std::int16_t(1);
    table(2, 1) = 3.0;
    table(2, 2) = std::int16_t(0);
    table(2, 3) = std::int16_t(0);
    EXPECT_FALSE(Check(table, blocks, 2).valid);
    // The pending toggle counts.
    EXPECT_TRUE(Check(table, blocks, 2, PendingEdit{true, QStringLiteral("1"), 2, 3}).valid);
    table(2, 3) = std::int16_t(1);
    EXPECT_TRUE(Check(table, blocks, 2).valid);
    // A fixity in a row that is not counted does not count.
    table(2, 1) = Cell();
    EXPECT_FALSE(Check(table, blocks, 2).valid);
}

TEST(SheetChecks, ARuleMayReadOneColumnOfItsOwn)
{
    ScopedLocale locale("C");
    // Gridlines: column 2 counted on its own, whatever column 1 holds.
    SheetRule horizontal;
    horizontal.firstColumn = 2;
    horizontal.cells = {CellRule::Number};
    horizontal.minRows = 1;
    Table<3> table;
    table(1, 1) = 0.0;
    table(2, 1) = 5.0;
    table(3, 1) = 9.0;
    table(1, 2) = 0.0;
    table(2, 2) = 2.0;
    SheetCheck check = Check(table, horizontal, 3);
    EXPECT_TRUE(check.valid);
    EXPECT_EQ(check.count, 2);
    table(1, 2) = Cell();
    check = Check(table, horizontal, 3);
    EXPECT_FALSE(check.valid);
    EXPECT_EQ(check.count, 0);
}
