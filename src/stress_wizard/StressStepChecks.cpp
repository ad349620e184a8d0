// The step checks of the plane-stress wizard.
#include "stress_wizard/StressStepChecks.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "desktop/Cell.h"
#include "desktop/modLocale.h"
#include "stress_wizard/StressModel.h"

namespace ardela {

namespace {

bool IsNumberCell(const Cell& cell)
{
    return !cell.IsEmpty() && IsNumber(cell.ToText());
}

// A pending text that may not be committed as it stands: neither empty nor a number.
bool PendingRefused(const SheetPending& pending)
{
    return pending.visible && !pending.text.isEmpty() && !IsNumber(pending.text);
}

// The cells of one table as the check sees them: the pending text in place of its cell.
template <int N>
class CheckedTable {
public:
    CheckedTable(const Table<N>& table, const SheetPending& pending) : m_table(table), m_pending(pending) {}

    bool Number(int row, int column) const
    {
        if (m_pending.visible && m_pending.row == row && m_pending.column == column)
            return !m_pending.text.isEmpty() && IsNumber(m_pending.text);
        return IsNumberCell(m_table(row, column));
    }
    bool Empty(int row, int column) const
    {
        if (m_pending.visible && m_pending.row == row && m_pending.column == column)
            return m_pending.text.isEmpty();
        const Cell& cell = m_table(row, column);
        return cell.IsEmpty() || (cell.GetKind() == Cell::Kind::Text && cell.TextValue().trimmed().isEmpty());
    }

private:
    const Table<N>& m_table;
    const SheetPending& m_pending;
};

// The highest row the check looks at: the mark, raised to the row being edited.
int RowsToCheck(std::int16_t& maxRow, const SheetPending& pending)
{
    if (pending.visible && pending.row >= 1 && pending.row <= kTableRows && pending.row > maxRow)
        maxRow = static_cast<std::int16_t>(pending.row);
    return std::clamp<int>(maxRow, 0, kTableRows);
}

// Counts the leading rows `complete` accepts up to `used`; false when a later row holds a number
// in one of `columns`.
template <int N>
bool CountRows(const CheckedTable<N>& table, int used, int firstColumn, int lastColumn,
               const std::function<bool(int)>& complete, std::int16_t& count)
{
    int n = 0;
    while (n < used && complete(n + 1))
        ++n;
    count = static_cast<std::int16_t>(n);
    for (int r = n + 1; r <= used; ++r)
        for (int c = firstColumn; c <= lastColumn; ++c)
            if (table.Number(r, c))
                return false;
    return true;
}

} // namespace

bool CheckGridLines(StressModel& model, std::int16_t& maxRow, const SheetPending& pending)
{
    const int used = RowsToCheck(maxRow, pending);
    if (PendingRefused(pending))
        return false;
    const CheckedTable<2> table(model.GridLines, pending);
    const bool vertical = CountRows(table, used, 1, 1, [&](int r) { return table.Number(r, 1); }, model.VertCount);
    const bool horizontal = CountRows(table, used, 2, 2, [&](int r) { return table.Number(r, 2); }, model.HorzCount);
    return vertical && horizontal && model.VertCount > 0 && model.HorzCount > 0;
}

bool CheckDomains(StressModel& model, std::int16_t& maxRow, const SheetPending& pending)
{
    const int used = RowsToCheck(maxRow, pending);
    if (PendingRefused(pending))
        return false;
    const CheckedTable<7> table(model.Domains, pending);
    const bool tail = CountRows(table, used, 1, 7,
                                [&](int r) {
                                    for (int c = 1; c <= 7; ++c)
                                        if (!table.Number(r, c))
                                            return false;
                                    return true;
                                },
                                model.DomainCount);
    return tail && model.DomainCount > 0;
}

bool CheckLines(StressModel& model, std::int16_t& maxRow, const SheetPending& pending)
{
    const int used = RowsToCheck(maxRow, pending);
    if (PendingRefused(pending))
        return false;
    const CheckedTable<5> table(model.ConstrainedLines, pending);
    const bool tail = CountRows(table, used, 1, 5,
                                [&](int r) {
                                    for (int c = 1; c <= 5; ++c)
                                        if (!table.Number(r, c))
                                            return false;
                                    return true;
                                },
                                model.LineCount);
    return tail && model.LineCount > 0;
}

bool CheckLoads(StressModel& model, std::int16_t& maxRow, const SheetPending& pending)
{
    const int used = RowsToCheck(maxRow, pending);
    if (PendingRefused(pending))
        return false;
    const CheckedTable<4> table(model.NodalLoads, pending);
    const auto force = [&](int r, int c) { return table.Empty(r, c) || table.Number(r, c); };
    const bool tail = CountRows(table, used, 1, 4,
                                [&](int r) { return table.Number(r, 1) && table.Number(r, 2) && force(r, 3) && force(r, 4); },
                                model.NodalLoadCount);
    return tail && model.NodalLoadCount > 0;
}

} // namespace ardela
