// The status line under a sheet.
#include "wizard/SheetStatus.h"

#include <QRegularExpression>

#include "desktop/Cell.h"

namespace ardela {

QString RefusedCellText(const QString& text)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("a number is needed");
    static const QRegularExpression exponent(QStringLiteral("^[+-]?[0-9.,]+[eE][+-]?[0-9]+$"));
    if (exponent.match(text.trimmed()).hasMatch())
        return QStringLiteral("'%1' is written with an exponent, which is not read: write the number out in full").arg(text);
    return QStringLiteral("'%1' is not a number").arg(text);
}

QString RefusedCell(const Cell& cell)
{
    return RefusedCellText(cell.IsEmpty() ? QString() : cell.ToText());
}

QString CellStatus(int row, const QString& heading, const QString& what)
{
    return QStringLiteral("row %1, %2: %3").arg(row).arg(heading, what);
}

} // namespace ardela
