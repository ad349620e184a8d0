// The step checks of every wizard sheet, as plain functions of a table and the cell edit box:
// a sheet's rule says what a complete row holds; the check counts the leading complete rows and
// says whether the step may be left forward.
#pragma once

#include <cstdint>
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
struct SheetRule {
    int firstColumn = 1;            // the first column the rule reads
    std::vector<CellRule> cells;    // from firstColumn on
    int minRows = 0;                // complete rows needed
    int onesFirstColumn = 0;        // the columns counted for minOnes (0: none)
    int onesLastColumn = 0;
    int minOnes = 0;                // cells equal to 1 needed in the complete rows (fixities)
};

struct SheetCheck {
    bool valid = false;
    std::int16_t count = 0;         // the leading complete rows
};

// The rows a check looks at: `mark` (the highest row reached by a pick or an edit), raised to
// the row the edit box stands on; clamped to the table.
int RowsToCheck(std::int16_t& mark, const PendingEdit& pending);

// A pending text that may not be committed as it stands: neither empty nor a number.
bool PendingRefused(const PendingEdit& pending);

// The rule applied to rows 1 to `rows`: the leading complete rows are counted; the sheet is
// valid when the pending text may be committed, no later row holds a number in the rule's
// columns, and the counts reach the rule's minimums.
SheetCheck CheckSheet(const SheetCells& cells, const SheetRule& rule, int rows);

} // namespace ardela
