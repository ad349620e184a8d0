// The one implementation of the wizards' sheet checks.
#include "wizard/SheetChecks.h"

#include <algorithm>

#include "desktop/modLocale.h"

namespace ardela {

const Cell& SheetCells::At(int row, int column) const
{
    return m_cells[static_cast<std::size_t>((column - 1) * kTableRows + (row - 1))];
}

bool SheetCells::IsPending(int row, int column) const
{
    return m_pending.visible && m_pending.row == row && m_pending.column == column;
}

bool SheetCells::Number(int row, int column) const
{
    if (IsPending(row, column))
        return !m_pending.text.isEmpty() && IsNumber(m_pending.text);
    const Cell& cell = At(row, column);
    return !cell.IsEmpty() && IsNumber(cell.ToText());
}

bool SheetCells::Empty(int row, int column) const
{
    if (IsPending(row, column))
        return m_pending.text.trimmed().isEmpty();
    const Cell& cell = At(row, column);
    return cell.IsEmpty() || (cell.GetKind() == Cell::Kind::Text && cell.TextValue().trimmed().isEmpty());
}

bool SheetCells::Equals(int row, int column, double value) const
{
    if (IsPending(row, column))
        return Number(row, column) && Cell(m_pending.text).NumericEquals(value);
    return At(row, column).NumericEquals(value);
}

int RowsToCheck(std::int16_t& mark, const PendingEdit& pending)
{
    if (pending.visible && pending.row >= 1 && pending.row <= kTableRows && pending.row > mark)
        mark = static_cast<std::int16_t>(pending.row);
    return std::clamp<int>(mark, 0, kTableRows);
}

bool PendingRefused(const PendingEdit& pending)
{
    return pending.visible && !pending.text.isEmpty() && !IsNumber(pending.text);
}

namespace {

bool RowComplete(const SheetCells& cells, const SheetRule& rule, int row)
{
    for (std::size_t i = 0; i < rule.cells.size(); ++i) {
        const int column = rule.firstColumn + int(i);
        switch (rule.cells[i]) {
        case CellRule::Number:
            if (!cells.Number(row, column))
                return false;
            break;
        case CellRule::NumberOrEmpty:
            if (!cells.Empty(row, column) && !cells.Number(row, column))
                return false;
            break;
        case CellRule::Anything:
            break;
        }
    }
    return true;
}

} // namespace

SheetCheck CheckSheet(const SheetCells& cells, const SheetRule& rule, int rows)
{
    SheetCheck check;
    const int used = std::clamp(rows, 0, kTableRows);
    int n = 0;
    while (n < used && RowComplete(cells, rule, n + 1))
        ++n;
    check.count = static_cast<std::int16_t>(n);
    const int lastColumn = rule.firstColumn + int(rule.cells.size()) - 1;
    for (int r = n + 1; r <= used; ++r)
        for (int c = rule.firstColumn; c <= lastColumn; ++c)
            if (cells.Number(r, c))
                return check;
    int ones = 0;
    for (int r = 1; r <= n && rule.minOnes > 0; ++r)
        for (int c = rule.onesFirstColumn; c <= rule.onesLastColumn; ++c)
            if (cells.Equals(r, c, 1.0))
                ++ones;
    check.valid = n >= rule.minRows && ones >= rule.minOnes;
    return check;
}

} // namespace ardela
