// The step checks of every wizard sheet, as plain functions of a table and the cell edit box:
// a sheet's rule says what a complete row holds; the check counts the leading complete rows and
// says whether the step may be left forward.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include <QString>

#include "desktop/Table.h"

namespace ardela {

// The open cell edit box as the checks see it: its text stands in the table cell it edits
// (1-based row and column) as if committed, without changing the model.
struct PendingEdit {
    bool visible = false;
    QString text;
    int row = 0;
    int column = 0;
};

// A table's cells read through the pending edit.
class SheetCells {
public:
    template <int N>
    SheetCells(const Table<N>& table, const PendingEdit& pending) : m_cells(&table.Raw(0)), m_columns(N), m_pending(pending)
    {
    }
    int Columns() const { return m_columns; }
    // Not empty and a number in the user's locale.
    bool Number(int row, int column) const;
    // Nothing, or only blanks.
    bool Empty(int row, int column) const;
    // A number equal to `value`.
    bool Equals(int row, int column, double value) const;
    // The text the cell holds (the pending text where the box stands).
    QString Text(int row, int column) const;

private:
    const Cell& At(int row, int column) const;
    bool IsPending(int row, int column) const;

    const Cell* m_cells;
    int m_columns;
    const PendingEdit& m_pending;
};

// What one cell of a complete row holds.
enum class CellRule : std::uint8_t {
    Number,          // a number
    NumberOrEmpty,   // a number or nothing (a force that is left out)
    Anything,        // not looked at (a fixity toggle)
};

// What a sheet needs: its complete rows, how many, and how many cells equal to 1 among them.
// The names say it to the engineer when the sheet falls short.
struct SheetRule {
    int firstColumn = 1;            // the first column the rule reads
    std::vector<CellRule> cells;    // from firstColumn on
    int minRows = 0;                // complete rows needed
    int onesFirstColumn = 0;        // the columns counted for minOnes (0: none)
    int onesLastColumn = 0;
    int minOnes = 0;                // cells equal to 1 needed in the complete rows (fixities)
    std::vector<QString> headings;  // the heading of each column read, from firstColumn on
    QString rowName;                // what a complete row is: "node", "vertical gridline"
    QString oneName;                // what a cell equal to 1 is: "fixity"
};

// The first thing that keeps a sheet from being complete, where the check met it.
struct SheetBlocker {
    enum class Kind : std::uint8_t {
        None,
        NotANumber,       // `text` in (row, column) is neither empty nor a number
        NumberNeeded,     // (row, column) is empty in a row that must be complete
        RowEmpty,         // `row` is empty while `laterRow` holds values
        TooFewRows,       // `needed` more complete rows
        TooFewOnes,       // `needed` more cells equal to 1
    };
    Kind kind = Kind::None;
    int row = 0;                    // 1-based table row and column (0: none)
    int column = 0;
    int laterRow = 0;
    int needed = 0;
    QString text;
};

struct SheetCheck {
    bool valid = false;
    std::int16_t count = 0;         // the leading complete rows
    SheetBlocker blocker;           // why the sheet is not valid (Kind::None when it is)
};

// The rows a check looks at: `mark` (the highest row reached by a pick or an edit), raised to
// the row the edit box stands on; clamped to the table.
int RowsToCheck(std::int16_t& mark, const PendingEdit& pending);

// A pending text that may not be committed as it stands: neither empty nor a number.
bool PendingRefused(const PendingEdit& pending);

// The rule applied to rows 1 to `rows`: the leading complete rows are counted; the sheet is
// valid when no later row holds a number in the rule's columns and the counts reach the rule's
// minimums. When it is not, `blocker` names the first cell of the first incomplete row that
// falls short, or the count that does. (The pending text is the caller's: PendingBlocker.)
SheetCheck CheckSheet(const SheetCells& cells, const SheetRule& rule, int rows);

// The pending text that may not be committed, as a blocker (Kind::None when it may).
SheetBlocker PendingBlocker(const PendingEdit& pending);

// One line for the engineer saying the blocker: "row 3, Coord y: '3OO' is not a number". The
// rule gives the headings and names; the text of a refused cell is shortened to 16 characters.
// A number written with an exponent, which the number check does not read, is said so with the
// number written out. Empty for Kind::None.
QString BlockerText(const SheetBlocker& blocker, const SheetRule& rule);

// What a step's check gives the wizard: whether Next may go forward, the status line under the
// sheet, and the cell it refuses (1-based table row and column, 0 when none).
struct StepCheck {
    bool valid = false;
    QString status;
    int row = 0;
    int column = 0;
};

// A sheet's check: its rules on one table, each with the model count it fills; the pending text
// counts as typed. The first blocker, the pending text first, makes the status.
template <int N>
StepCheck CheckRules(const Table<N>& table, const std::vector<std::pair<SheetRule, std::int16_t*>>& rules,
                     const PendingEdit& pending, std::int16_t& mark);

// Implementation of the template: the part that does not depend on the table's width.
StepCheck CheckRules(const SheetCells& cells, const std::vector<std::pair<SheetRule, std::int16_t*>>& rules,
                     const PendingEdit& pending, std::int16_t& mark);

template <int N>
StepCheck CheckRules(const Table<N>& table, const std::vector<std::pair<SheetRule, std::int16_t*>>& rules,
                     const PendingEdit& pending, std::int16_t& mark)
{
    return CheckRules(SheetCells(table, pending), rules, pending, mark);
}

// A step's check as the wizard core calls it: CheckRules on the table with these rules.
using StepCheckRoutine = std::function<StepCheck(const PendingEdit& pending, std::int16_t& mark)>;
template <int N>
StepCheckRoutine SheetCheckOf(const Table<N>& table, std::vector<std::pair<SheetRule, std::int16_t*>> rules)
{
    return [&table, rules = std::move(rules)](const PendingEdit& pending, std::int16_t& mark) {
        return CheckRules(table, rules, pending, mark);
    };
}

} // namespace ardela
