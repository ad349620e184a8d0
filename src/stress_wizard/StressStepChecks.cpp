// The step checks of the plane-stress wizard.
#include "stress_wizard/StressStepChecks.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include <QStringList>

#include "desktop/Cell.h"
#include "desktop/modLocale.h"
#include "stress_wizard/StressModel.h"
#include "wizard/SheetStatus.h"

namespace ardela {

namespace {

// A number stored as a number counts whatever its text form (21000000 shows as "2.1E+07");
// a text counts when IsNumber accepts it.
bool IsNumberCell(const Cell& cell)
{
    switch (cell.GetKind()) {
    case Cell::Kind::Empty:
    case Cell::Kind::Bool:
        return false;
    case Cell::Kind::Text:
        return IsNumber(cell.TextValue());
    default:
        return std::isfinite(cell.ToDouble());
    }
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
    // What is wrong with the cell, for the status line.
    QString Refused(int row, int column) const
    {
        if (m_pending.visible && m_pending.row == row && m_pending.column == column)
            return RefusedCellText(m_pending.text);
        return RefusedCell(m_table(row, column));
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
// `status` (when given) then names the first cell of the row the count stopped at that
// `accepted` refuses, headed by `headings` (column firstColumn first).
template <int N>
bool CountRows(const CheckedTable<N>& table, int used, int firstColumn, int lastColumn,
               const std::function<bool(int)>& complete, std::int16_t& count, const QStringList& headings = {},
               const std::function<bool(int, int)>& accepted = {}, QString* status = nullptr)
{
    int n = 0;
    while (n < used && complete(n + 1))
        ++n;
    count = static_cast<std::int16_t>(n);
    for (int r = n + 1; r <= used; ++r)
        for (int c = firstColumn; c <= lastColumn; ++c)
            if (table.Number(r, c)) {
                if (status && accepted)
                    for (int k = firstColumn; k <= lastColumn; ++k)
                        if (!accepted(n + 1, k)) {
                            *status = CellStatus(n + 1, headings.value(k - firstColumn), table.Refused(n + 1, k));
                            break;
                        }
                return false;
            }
    return true;
}

void SetStatus(QString* status, const QString& text)
{
    if (status)
        *status = text;
}

// The pending text that may not be committed, named by its row and heading.
QString PendingStatus(const SheetPending& pending, const QString& heading)
{
    return CellStatus(pending.row, heading, RefusedCellText(pending.text));
}

QStringList Headings(const auto& list)
{
    QStringList out;
    for (const QString& h : list)
        out << h;
    return out;
}

} // namespace

bool CheckGridLines(StressModel& model, std::int16_t& maxRow, const SheetPending& pending, QString* status)
{
    SetStatus(status, QString());
    const int used = RowsToCheck(maxRow, pending);
    if (PendingRefused(pending)) {
        SetStatus(status, PendingStatus(pending, pending.column == 1 ? QStringLiteral("Coord x") : QStringLiteral("Coord y")));
        return false;
    }
    const CheckedTable<2> table(model.GridLines, pending);
    const auto number = [&](int r, int c) { return table.Number(r, c); };
    const bool vertical = CountRows(table, used, 1, 1, [&](int r) { return table.Number(r, 1); }, model.VertCount,
                                    {QStringLiteral("Coord x (vertical gridlines)")}, number, status);
    QString horizontalStatus;
    const bool horizontal = CountRows(table, used, 2, 2, [&](int r) { return table.Number(r, 2); }, model.HorzCount,
                                      {QStringLiteral("Coord y (horizontal gridlines)")}, number, &horizontalStatus);
    if (vertical && !horizontal)
        SetStatus(status, horizontalStatus);
    else if (vertical && horizontal && model.VertCount == 0)
        SetStatus(status, QStringLiteral("At least one vertical gridline is needed (Coord x)"));
    else if (vertical && horizontal && model.HorzCount == 0)
        SetStatus(status, QStringLiteral("At least one horizontal gridline is needed (Coord y)"));
    return vertical && horizontal && model.VertCount > 0 && model.HorzCount > 0;
}

bool CheckDomains(StressModel& model, std::int16_t& maxRow, const SheetPending& pending, QString* status)
{
    SetStatus(status, QString());
    const int used = RowsToCheck(maxRow, pending);
    const QStringList headings = Headings(DomainHeadings());
    if (PendingRefused(pending)) {
        SetStatus(status, PendingStatus(pending, headings.value(pending.column - 1)));
        return false;
    }
    const CheckedTable<7> table(model.Domains, pending);
    const bool tail = CountRows(table, used, 1, 7,
                                [&](int r) {
                                    for (int c = 1; c <= 7; ++c)
                                        if (!table.Number(r, c))
                                            return false;
                                    return true;
                                },
                                model.DomainCount, headings, [&](int r, int c) { return table.Number(r, c); }, status);
    if (tail && model.DomainCount == 0)
        SetStatus(status, QStringLiteral("At least one subdomain is needed: all seven cells of row 1"));
    return tail && model.DomainCount > 0;
}

bool CheckLines(StressModel& model, std::int16_t& maxRow, const SheetPending& pending, QString* status)
{
    SetStatus(status, QString());
    const int used = RowsToCheck(maxRow, pending);
    const QStringList headings = Headings(LineHeadings());
    if (PendingRefused(pending)) {
        SetStatus(status, PendingStatus(pending, headings.value(pending.column - 1)));
        return false;
    }
    const CheckedTable<5> table(model.ConstrainedLines, pending);
    const bool tail = CountRows(table, used, 1, 5,
                                [&](int r) {
                                    for (int c = 1; c <= 5; ++c)
                                        if (!table.Number(r, c))
                                            return false;
                                    return true;
                                },
                                model.LineCount, headings, [&](int r, int c) { return table.Number(r, c); }, status);
    if (tail && model.LineCount == 0)
        SetStatus(status, QStringLiteral("At least one constrained line is needed: all five cells of row 1"));
    return tail && model.LineCount > 0;
}

bool CheckLoads(StressModel& model, std::int16_t& maxRow, const SheetPending& pending, QString* status)
{
    SetStatus(status, QString());
    const int used = RowsToCheck(maxRow, pending);
    const QStringList headings{QStringLiteral("Coord x"), QStringLiteral("Coord y"), QStringLiteral("Fx [daN]"), QStringLiteral("Fy [daN]")};
    if (PendingRefused(pending)) {
        SetStatus(status, PendingStatus(pending, headings.value(pending.column - 1)));
        return false;
    }
    const CheckedTable<4> table(model.NodalLoads, pending);
    const auto force = [&](int r, int c) { return table.Empty(r, c) || table.Number(r, c); };
    const bool tail = CountRows(table, used, 1, 4,
                                [&](int r) { return table.Number(r, 1) && table.Number(r, 2) && force(r, 3) && force(r, 4); },
                                model.NodalLoadCount, headings,
                                [&](int r, int c) { return c <= 2 ? table.Number(r, c) : force(r, c); }, status);
    if (tail && model.NodalLoadCount == 0)
        SetStatus(status, QStringLiteral("At least one load is needed: Coord x and Coord y of row 1"));
    return tail && model.NodalLoadCount > 0;
}

} // namespace ardela
