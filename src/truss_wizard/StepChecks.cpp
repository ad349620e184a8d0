// The step checks of the truss wizard.
#include "truss_wizard/StepChecks.h"

#include <algorithm>
#include <functional>

#include "desktop/modLocale.h"
#include "truss/TrussModel.h"

namespace ardela {

namespace {

// The pending text as the buffer holds it: its single-precision value, or empty.
Cell PendingValue(const QString& text)
{
    if (text.isEmpty() || !IsNumber(text))
        return Cell();
    return Cell(Cell(text).ToSingle());
}

// The shared run of every check: copy `columns` of `table` into the buffer with the pending
// text in place, count the leading rows `complete` accepts up to `rowsUsed`, and refuse any
// number after them. `count` receives the count; false when a later row holds a number.
template <int N>
bool CountRows(const Table<N>& table, int columns, std::int16_t& rowsUsed, const PendingEdit& pending,
               CheckBufferTable& buffer, const std::function<bool(int row)>& complete, std::int16_t& count)
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
            if (CellIsNumber(buffer(r, c)))
                return false;
    return true;
}

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
    return !cell.IsEmpty() && IsNumber(cell.ToText());
}

bool CheckNodes(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer)
{
    if (PendingRefused(pending))
        return false;
    const bool tail = CountRows(model.Nodes, 2, rowsUsed, pending, buffer,
                                [&](int r) { return AllNumbers(buffer, r, 1, 2); }, model.NodeCount);
    return tail && model.NodeCount >= 1;
}

bool CheckElements(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer)
{
    if (PendingRefused(pending))
        return false;
    const bool tail = CountRows(model.Elements, 4, rowsUsed, pending, buffer,
                                [&](int r) { return AllNumbers(buffer, r, 1, 4); }, model.ElementCount);
    return tail && model.ElementCount >= 1;
}

bool CheckBlocks(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer)
{
    if (PendingRefused(pending))
        return false;
    const bool tail = CountRows(model.Blocks, 3, rowsUsed, pending, buffer,
                                [&](int r) { return CellIsNumber(buffer(r, 1)); }, model.BlockCount);
    int fixities = 0;
    for (int r = 1; r <= model.BlockCount; ++r)
        for (int c = 2; c <= 3; ++c)
            if (buffer(r, c).NumericEquals(1.0))
                ++fixities;
    return tail && fixities >= 3;
}

bool CheckLoads(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer)
{
    if (PendingRefused(pending))
        return false;
    const auto emptyOrNumber = [&](const Cell& cell) { return cell.IsEmpty() || CellIsNumber(cell); };
    return CountRows(model.Loads, 3, rowsUsed, pending, buffer,
                     [&](int r) {
                         return CellIsNumber(buffer(r, 1)) && emptyOrNumber(buffer(r, 2))
                             && emptyOrNumber(buffer(r, 3));
                     },
                     model.LoadCount);
}

} // namespace ardela
