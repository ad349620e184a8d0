// Dialog units to pixels.
#include "installer/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

namespace ardela::installer {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int ScaleRounded(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

QSize DialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return QSize((letters / 26 + 1) / 2, metrics.height());
}

QRect DialogUnitsToPixels(const QRect& units, const QSize& baseUnits)
{
    return QRect(ScaleRounded(units.x(), baseUnits.width(), 4), ScaleRounded(units.y(), baseUnits.height(), 8),
                 ScaleRounded(units.width(), baseUnits.width(), 4), ScaleRounded(units.height(), baseUnits.height(), 8));
}

} // namespace ardela::installer
