// The step checks of the truss wizard.
#include "truss_wizard/StepChecks.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include <QStringList>

#include "desktop/modLocale.h"
#include "truss/TrussModel.h"
#include "wizard/SheetStatus.h"

namespace ardela {

namespace {

// The pending text as the buffer holds it: its single-precision value, or empty.
Cell PendingValue(const QString& text)
{
    if (text.isEmpty() || !IsNumber(text))
        return Cell();
    return Cell(Cell(text).ToSingle());
}

// The status of a row the count stopped at: its first cell that `accepted` refuses.
QString RowStatus(const CheckBufferTable& buffer, int row, const QStringList& headings,
                  const std::function<bool(int column)>& accepted)
{
    for (int c = 1; c <= int(headings.size()); ++c)
        if (!accepted(c))
            return CellStatus(row, headings[c - 1], RefusedCell(buffer(row, c)));
    return QString();
}

// The shared run of every check: copy `columns` of `table` into the buffer with the pending
// text in place, count the leading rows `complete` accepts up to `rowsUsed`, and refuse any
// number after them. `count` receives the count; false when a later row holds a number, and then
// `status` (when given) names the first refused cell of the row the count stopped at.
template <int N>
bool CountRows(const Table<N>& table, int columns, std::int16_t& rowsUsed, const PendingEdit& pending,
               CheckBufferTable& buffer, const std::function<bool(int row)>& complete, std::int16_t& count,
               const QStringList& headings = {}, const std::function<bool(int row, int column)>& accepted = {},
               QString* status = nullptr)
{
    for (int c = 1; c <= columns; ++c)
        for (int r = 1; r <= kTableRows; ++r)
            buffer(r, c) = table(r, c);
    if (pending.visible && pending.row >= 1 && pending.row <= kTableRows && pending.column >= 1
        && pending.column <= columns) {
        buffer(pending.row, pending.column) = PendingValue(pending.text);
        rowsUsed = static_cast<std::int16_t>(std::max<int>(rowsUsed, pending.row));
    }
    const int used = std::clamp<int>(rowsUsed, 0, kTableRows);
    int n = 0;
    while (n < used && complete(n + 1))
        ++n;
    count = static_cast<std::int16_t>(n);
    for (int r = n + 1; r <= used; ++r)
        for (int c = 1; c <= columns; ++c)
            if (CellIsNumber(buffer(r, c))) {
                if (status && accepted)
                    *status = RowStatus(buffer, n + 1, headings, [&](int column) { return accepted(n + 1, column); });
                return false;
            }
    return true;
}

// The status of a pending text that is neither empty nor a number.
QString PendingStatus(const PendingEdit& pending, const QStringList& headings)
{
    const QString heading = pending.column >= 1 && pending.column <= int(headings.size()) ? headings[pending.column - 1] : QString();
    return CellStatus(pending.row, heading, RefusedCellText(pending.text));
}

void SetStatus(QString* status, const QString& text)
{
    if (status)
        *status = text;
}

const QStringList kNodeHeadings{QStringLiteral("Coord x"), QStringLiteral("Coord y")};
const QStringList kBarHeadings{QStringLiteral("Node 1"), QStringLiteral("Node 2"), QStringLiteral("Area"), QStringLiteral("E")};
const QStringList kBlockHeadings{QStringLiteral("Node"), QStringLiteral("Block x"), QStringLiteral("Block y")};
const QStringList kLoadHeadings{QStringLiteral("Node"), QStringLiteral("Fx [daN]"), QStringLiteral("Fy [daN]")};

bool PendingRefused(const PendingEdit& pending)
{
    return pending.visible && !pending.text.isEmpty() && !IsNumber(pending.text);
}

bool AllNumbers(const CheckBufferTable& buffer, int row, int first, int last)
{
    for (int c = first; c <= last; ++c)
        if (!CellIsNumber(buffer(row, c)))
            return false;
    return true;
}

} // namespace

bool CellIsNumber(const Cell& cell)
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

bool CheckNodes(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer, QString* status)
{
    SetStatus(status, QString());
    if (PendingRefused(pending)) {
        SetStatus(status, PendingStatus(pending, kNodeHeadings));
        return false;
    }
    const bool tail = CountRows(model.Nodes, 2, rowsUsed, pending, buffer,
                                [&](int r) { return AllNumbers(buffer, r, 1, 2); }, model.NodeCount, kNodeHeadings,
                                [&](int r, int c) { return CellIsNumber(buffer(r, c)); }, status);
    if (tail && model.NodeCount < 1)
        SetStatus(status, QStringLiteral("At least one node is needed: row 1, Coord x and Coord y"));
    return tail && model.NodeCount >= 1;
}

bool CheckElements(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer, QString* status)
{
    SetStatus(status, QString());
    if (PendingRefused(pending)) {
        SetStatus(status, PendingStatus(pending, kBarHeadings));
        return false;
    }
    const bool tail = CountRows(model.Elements, 4, rowsUsed, pending, buffer,
                                [&](int r) { return AllNumbers(buffer, r, 1, 4); }, model.ElementCount, kBarHeadings,
                                [&](int r, int c) { return CellIsNumber(buffer(r, c)); }, status);
    if (tail && model.ElementCount < 1)
        SetStatus(status, QStringLiteral("At least one bar is needed: row 1, Node 1, Node 2, Area and E"));
    return tail && model.ElementCount >= 1;
}

bool CheckBlocks(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer, QString* status)
{
    SetStatus(status, QString());
    if (PendingRefused(pending)) {
        SetStatus(status, PendingStatus(pending, kBlockHeadings));
        return false;
    }
    const bool tail = CountRows(model.Blocks, 3, rowsUsed, pending, buffer,
                                [&](int r) { return CellIsNumber(buffer(r, 1)); }, model.BlockCount, kBlockHeadings,
                                [&](int r, int c) { return c != 1 || CellIsNumber(buffer(r, c)); }, status);
    int fixities = 0;
    for (int r = 1; r <= model.BlockCount; ++r)
        for (int c = 2; c <= 3; ++c)
            if (buffer(r, c).NumericEquals(1.0))
                ++fixities;
    if (tail && fixities < 3)
        SetStatus(status, QStringLiteral("Block x or Block y is needed on at least %1 more %2 (3 are needed, %3 set)")
                              .arg(3 - fixities)
                              .arg(3 - fixities == 1 ? QStringLiteral("node") : QStringLiteral("nodes"))
                              .arg(fixities));
    return tail && fixities >= 3;
}

bool CheckLoads(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer, QString* status)
{
    SetStatus(status, QString());
    if (PendingRefused(pending)) {
        SetStatus(status, PendingStatus(pending, kLoadHeadings));
        return false;
    }
    const auto emptyOrNumber = [&](const Cell& cell) { return cell.IsEmpty() || CellIsNumber(cell); };
    return CountRows(model.Loads, 3, rowsUsed, pending, buffer,
                     [&](int r) {
                         return CellIsNumber(buffer(r, 1)) && emptyOrNumber(buffer(r, 2))
                             && emptyOrNumber(buffer(r, 3));
                     },
                     model.LoadCount, kLoadHeadings,
                     [&](int r, int c) { return c == 1 ? CellIsNumber(buffer(r, c)) : emptyOrNumber(buffer(r, c)); }, status);
}

} // namespace ardela
