// Guards the sheet checks against: a step left forward with a half-filled row before a filled
// one, a number stranded after the counted rows, a pending text that cannot be committed, the
// pending edit ignored or written into the model, a force left out taken as incomplete, too few
// fixities accepted, the rows reached by editing forgotten, and a status line that names the
// wrong cell, the wrong reason or nothing while Next stays disabled.
#include <limits>

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

TEST(SheetChecks, NumbersOfTenMillionAndAboveOrBelowOneTenThousandthStoredAsNumbersCount)
{
    ScopedLocale locale("C");
    Table<3> table;
    // Steel's modulus and a small area, stored as singles: their text form carries an exponent
    // ("2.1E+07", "1E-05") that IsNumber refuses, yet they are numbers.
    table(1, 1) = Cell(2.1e7f);
    table(1, 2) = Cell(1e-5f);
    ASSERT_TRUE(table(1, 1).ToText().contains(u'E')) << table(1, 1).ToText().toStdString();
    const SheetCheck check = Check(table, TwoNumbers(), 1);
    EXPECT_TRUE(check.valid);
    EXPECT_EQ(check.count, 1);
    // Not a number stored as a number: NaN, or a text with an exponent.
    table(1, 1) = Cell(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FALSE(Check(table, TwoNumbers(), 1).valid);
    table(1, 1) = Cell(QStringLiteral("2.1E+07"));
    EXPECT_FALSE(Check(table, TwoNumbers(), 1).valid);
}

namespace {

SheetRule NamedNodes()
{
    SheetRule rule = TwoNumbers();
    rule.headings = {QStringLiteral("Coord x"), QStringLiteral("Coord y")};
    rule.rowName = QStringLiteral("node");
    return rule;
}

QString Status(const Table<3>& table, const SheetRule& rule, int rows)
{
    const SheetCheck check = Check(table, rule, rows);
    EXPECT_EQ(check.valid, check.blocker.kind == SheetBlocker::Kind::None);
    return BlockerText(check.blocker, rule);
}

} // namespace

TEST(SheetChecks, TheStatusNamesTheFirstCellOfTheFirstIncompleteRowAndWhyItFallsShort)
{
    ScopedLocale locale("C");
    Table<3> table;
    EXPECT_EQ(Status(table, NamedNodes(), 0), QStringLiteral("at least one node is needed"));
    table(1, 1) = 0.0;
    EXPECT_EQ(Status(table, NamedNodes(), 1), QStringLiteral("row 1, Coord y: a number is needed"));
    table(1, 2) = 0.0;
    EXPECT_EQ(Status(table, NamedNodes(), 1), QString());
    // A text in the first cell that fails comes first, wherever an empty cell stands.
    table(2, 1) = QStringLiteral("x1");
    table(2, 2) = QStringLiteral("3OO");
    table(3, 1) = 1.0;
    table(3, 2) = 1.0;
    SheetCheck check = Check(table, NamedNodes(), 3);
    EXPECT_EQ(check.blocker.row, 2);
    EXPECT_EQ(check.blocker.column, 1);
    EXPECT_EQ(BlockerText(check.blocker, NamedNodes()), QStringLiteral("row 2, Coord x: 'x1' is not a number"));
    table(2, 1) = 2.0;
    EXPECT_EQ(Status(table, NamedNodes(), 3), QStringLiteral("row 2, Coord y: '3OO' is not a number"));
    table(2, 1) = Cell();
    table(2, 2) = Cell();
    check = Check(table, NamedNodes(), 3);
    EXPECT_EQ(BlockerText(check.blocker, NamedNodes()), QStringLiteral("row 2 is empty, but row 3 holds values"));
    EXPECT_EQ(check.blocker.row, 2);
    // A text after the counted rows with no number after it keeps nothing back.
    table(3, 1) = QStringLiteral("note");
    table(3, 2) = Cell();
    EXPECT_EQ(Status(table, NamedNodes(), 3), QString());
}

TEST(SheetChecks, TooFewFixitiesAreCountedInTheStatus)
{
    ScopedLocale locale("C");
    Table<3> table;
    SheetRule rule;
    rule.cells = {CellRule::Number, CellRule::Anything, CellRule::Anything};
    rule.onesFirstColumn = 2;
    rule.onesLastColumn = 3;
    rule.minOnes = 3;
    rule.headings = {QStringLiteral("Node"), QStringLiteral("Block x"), QStringLiteral("Block y")};
    rule.rowName = QStringLiteral("support");
    rule.oneName = QStringLiteral("fixities");
    table(1, 1) = 1.0;
    table(1, 2) = 1.0;
    table(1, 3) = 1.0;
    EXPECT_EQ(Status(table, rule, 1), QStringLiteral("Block x or Block y: 2 of at least 3 fixities set"));
    // A fixity on a row without its node is a value stranded after the counted rows.
    table(2, 3) = 1.0;
    EXPECT_EQ(Status(table, rule, 2), QStringLiteral("row 2, Node: a number is needed"));
    table(2, 1) = 4.0;
    EXPECT_EQ(Status(table, rule, 2), QString());
}

TEST(SheetChecks, ThePendingTextIsTheFirstBlockerAndANumberWithAnExponentIsWrittenOut)
{
    ScopedLocale locale("C");
    Table<3> table;
    std::int16_t count = 0;
    std::int16_t mark = 0;
    const std::vector<std::pair<SheetRule, std::int16_t*>> rules{{NamedNodes(), &count}};
    PendingEdit pending{true, QStringLiteral("2.1E+07"), 3, 2};
    StepCheck check = CheckRules(table, rules, pending, mark);
    EXPECT_FALSE(check.valid);
    EXPECT_EQ(check.status, QStringLiteral("row 3, Coord y: '2.1E+07' is not a number; write it without an exponent: 21000000"));
    EXPECT_EQ(check.row, 3);
    EXPECT_EQ(check.column, 2);
    EXPECT_EQ(mark, 3);
    pending.text = QStringLiteral("-1e-5");
    EXPECT_EQ(CheckRules(table, rules, pending, mark).status,
              QStringLiteral("row 3, Coord y: '-1e-5' is not a number; write it without an exponent: -0.00001"));
    // A long text is shortened; a text that is no number at all gets no advice.
    pending.text = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(CheckRules(table, rules, pending, mark).status,
              QStringLiteral("row 3, Coord y: 'abcdefghijklmno\u2026' is not a number"));
    // A pending number stands in its cell: the rows before it are what is missing now.
    pending.text = QStringLiteral("4");
    check = CheckRules(table, rules, pending, mark);
    EXPECT_EQ(check.status, QStringLiteral("row 1 is empty, but row 3 holds values"));
    EXPECT_EQ(check.row, 1);
    EXPECT_EQ(check.column, 1);
    EXPECT_EQ(count, 0);
    // Complete: no status, no cell, and the count is the model's.
    for (int r = 1; r <= 2; ++r)
        table(r, 1) = table(r, 2) = 1.0;
    table(3, 1) = 1.0;
    check = CheckRules(table, rules, pending, mark);
    EXPECT_TRUE(check.valid);
    EXPECT_TRUE(check.status.isEmpty());
    EXPECT_EQ(check.row, 0);
    EXPECT_EQ(count, 3);
}

TEST(SheetChecks, WithTwoRulesTheFirstOneThatFallsShortSpeaks)
{
    ScopedLocale locale("C");
    Table<3> table;
    SheetRule vertical;
    vertical.cells = {CellRule::Number};
    vertical.minRows = 1;
    vertical.headings = {QStringLiteral("Coord x")};
    vertical.rowName = QStringLiteral("vertical gridline");
    SheetRule horizontal = vertical;
    horizontal.firstColumn = 2;
    horizontal.headings = {QStringLiteral("Coord y")};
    horizontal.rowName = QStringLiteral("horizontal gridline");
    std::int16_t verticalCount = 0;
    std::int16_t horizontalCount = 0;
    std::int16_t mark = 2;
    table(1, 1) = 0.0;
    table(2, 1) = 10.0;
    const std::vector<std::pair<SheetRule, std::int16_t*>> rules{{vertical, &verticalCount}, {horizontal, &horizontalCount}};
    StepCheck check = CheckRules(table, rules, PendingEdit{}, mark);
    EXPECT_EQ(check.status, QStringLiteral("at least one horizontal gridline is needed"));
    EXPECT_EQ(check.row, 0);
    EXPECT_EQ(verticalCount, 2);
    // The open box in the second rule's column is named by that rule's heading.
    const PendingEdit pending{true, QStringLiteral("5x"), 1, 2};
    check = CheckRules(table, rules, pending, mark);
    EXPECT_EQ(check.status, QStringLiteral("row 1, Coord y: '5x' is not a number"));
}
