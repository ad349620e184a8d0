// The one implementation of the wizards' sheet checks.
#include "wizard/SheetChecks.h"

#include <cmath>

#include <algorithm>

#include <QLocale>
#include <QStringList>

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
    // A number stored as a number counts whatever its text form: 21000000 shows as "2.1E+07",
    // which IsNumber (digits, signs and the separator) would refuse.
    const Cell& cell = At(row, column);
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

QString SheetCells::Text(int row, int column) const
{
    if (IsPending(row, column))
        return m_pending.text;
    return At(row, column).ToText();
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

namespace {

// The first cell of row `row` the rule refuses, or the row found empty.
SheetBlocker RowBlocker(const SheetCells& cells, const SheetRule& rule, int row)
{
    SheetBlocker blocker;
    for (std::size_t i = 0; i < rule.cells.size(); ++i) {
        const int column = rule.firstColumn + int(i);
        if (rule.cells[i] == CellRule::Anything || cells.Number(row, column))
            continue;
        if (!cells.Empty(row, column)) {
            blocker.kind = SheetBlocker::Kind::NotANumber;
            blocker.text = cells.Text(row, column);
        } else if (rule.cells[i] == CellRule::Number && blocker.kind == SheetBlocker::Kind::None) {
            blocker.kind = SheetBlocker::Kind::NumberNeeded;
        } else {
            continue;
        }
        blocker.row = row;
        blocker.column = column;
        if (blocker.kind == SheetBlocker::Kind::NotANumber)
            break;
    }
    // A row with nothing in it: the caller says what it is missing.
    bool empty = true;
    for (std::size_t i = 0; i < rule.cells.size() && empty; ++i)
        empty = cells.Empty(row, rule.firstColumn + int(i));
    if (empty)
        return {};
    return blocker;
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
    int laterRow = 0;
    for (int r = n + 1; r <= used && laterRow == 0; ++r)
        for (int c = rule.firstColumn; c <= lastColumn && laterRow == 0; ++c)
            if (cells.Number(r, c))
                laterRow = r;
    int ones = 0;
    for (int r = 1; r <= n && rule.minOnes > 0 && laterRow == 0; ++r)
        for (int c = rule.onesFirstColumn; c <= rule.onesLastColumn; ++c)
            if (cells.Equals(r, c, 1.0))
                ++ones;
    check.valid = laterRow == 0 && n >= rule.minRows && ones >= rule.minOnes;
    if (check.valid)
        return check;

    SheetBlocker& blocker = check.blocker;
    if (laterRow == 0 && n >= rule.minRows) {
        blocker.kind = SheetBlocker::Kind::TooFewOnes;
        blocker.needed = rule.minOnes - ones;
        return check;
    }
    if (n + 1 <= used)
        blocker = RowBlocker(cells, rule, n + 1);
    if (blocker.kind != SheetBlocker::Kind::None)
        return check;
    if (laterRow > 0) {
        blocker.kind = SheetBlocker::Kind::RowEmpty;
        blocker.row = n + 1;
        blocker.column = rule.firstColumn;
        blocker.laterRow = laterRow;
    } else {
        blocker.kind = SheetBlocker::Kind::TooFewRows;
        blocker.needed = rule.minRows - n;
    }
    return check;
}

SheetBlocker PendingBlocker(const PendingEdit& pending)
{
    SheetBlocker blocker;
    if (!PendingRefused(pending))
        return blocker;
    blocker.kind = SheetBlocker::Kind::NotANumber;
    blocker.row = pending.row;
    blocker.column = pending.column;
    blocker.text = pending.text;
    return blocker;
}

namespace {

QString Heading(const SheetRule& rule, int column)
{
    const int i = column - rule.firstColumn;
    if (i >= 0 && i < int(rule.headings.size()))
        return rule.headings[std::size_t(i)];
    return QStringLiteral("column %1").arg(column);
}

// A number the user wrote with an exponent ("2.1E+07", "1e-5"), written out in the user's
// locale ("21000000", "0.00001"); empty for any other text.
QString WrittenOut(const QString& text)
{
    if (!text.contains(u'e', Qt::CaseInsensitive))
        return {};
    bool ok = false;
    double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok)
        value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) >= 1e15)
        return {};
    QString plain = QLocale::c().toString(value, 'f', 12);
    while (plain.endsWith(u'0'))
        plain.chop(1);
    if (plain.endsWith(u'.'))
        plain.chop(1);
    if (plain == QLatin1String("-0"))
        plain = QStringLiteral("0");
    return plain.replace(u'.', DecimalSeparator());
}

QString Shortened(const QString& text)
{
    constexpr int kLongest = 16;
    return text.size() <= kLongest ? text : text.left(kLongest - 1) + QChar(0x2026);
}

} // namespace

QString BlockerText(const SheetBlocker& blocker, const SheetRule& rule)
{
    using Kind = SheetBlocker::Kind;
    switch (blocker.kind) {
    case Kind::None:
        return {};
    case Kind::NotANumber: {
        QString line = QStringLiteral("row %1, %2: '%3' is not a number")
                           .arg(blocker.row).arg(Heading(rule, blocker.column), Shortened(blocker.text));
        const QString plain = WrittenOut(blocker.text);
        if (!plain.isEmpty())
            line += QStringLiteral("; write it without an exponent: %1").arg(plain);
        return line;
    }
    case Kind::NumberNeeded:
        return QStringLiteral("row %1, %2: a number is needed").arg(blocker.row).arg(Heading(rule, blocker.column));
    case Kind::RowEmpty:
        return QStringLiteral("row %1 is empty, but row %2 holds values").arg(blocker.row).arg(blocker.laterRow);
    case Kind::TooFewRows:
        if (blocker.needed == rule.minRows)
            return rule.minRows == 1 ? QStringLiteral("at least one %1 is needed").arg(rule.rowName)
                                     : QStringLiteral("at least %1 rows of %2 are needed").arg(rule.minRows).arg(rule.rowName);
        return QStringLiteral("%1 more rows of %2 are needed").arg(blocker.needed).arg(rule.rowName);
    case Kind::TooFewOnes: {
        QStringList columns;
        for (int c = rule.onesFirstColumn; c <= rule.onesLastColumn; ++c)
            columns << Heading(rule, c);
        return QStringLiteral("%1: %2 of at least %3 %4 set")
            .arg(columns.join(QStringLiteral(" or ")))
            .arg(rule.minOnes - blocker.needed)
            .arg(rule.minOnes)
            .arg(rule.oneName);
    }
    }
    return {};
}

StepCheck CheckRules(const SheetCells& cells, const std::vector<std::pair<SheetRule, std::int16_t*>>& rules,
                     const PendingEdit& pending, std::int16_t& mark)
{
    const int rows = RowsToCheck(mark, pending);
    SheetBlocker first = PendingBlocker(pending);
    const SheetRule* firstRule = nullptr;
    if (first.kind != SheetBlocker::Kind::None) {
        for (const auto& entry : rules) {
            const SheetRule& rule = entry.first;
            if (pending.column >= rule.firstColumn && pending.column < rule.firstColumn + int(rule.cells.size())) {
                firstRule = &rule;
                break;
            }
        }
        if (!firstRule && !rules.empty())
            firstRule = &rules.front().first;
    }
    bool valid = first.kind == SheetBlocker::Kind::None;
    for (const auto& [rule, count] : rules) {
        const SheetCheck check = CheckSheet(cells, rule, rows);
        *count = check.count;
        if (check.valid)
            continue;
        valid = false;
        if (first.kind == SheetBlocker::Kind::None) {
            first = check.blocker;
            firstRule = &rule;
        }
    }
    StepCheck result;
    result.valid = valid;
    if (!valid && firstRule) {
        result.status = BlockerText(first, *firstRule);
        result.row = first.row;
        result.column = first.column;
    }
    return result;
}

} // namespace ardela
