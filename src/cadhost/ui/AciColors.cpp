// The colour index palette: nine named colours, 24 hues in five shades at full and half
// saturation, and six greys.
#include "cadhost/ui/AciColors.h"

#include <array>

namespace cadhost {

namespace {

std::array<QRgb, 256> BuildPalette()
{
    std::array<QRgb, 256> p{};
    p[0] = qRgb(0, 0, 0);
    const QRgb named[9] = {qRgb(255, 0, 0), qRgb(255, 255, 0), qRgb(0, 255, 0), qRgb(0, 255, 255),
                           qRgb(0, 0, 255), qRgb(255, 0, 255), qRgb(255, 255, 255), qRgb(65, 65, 65),
                           qRgb(128, 128, 128)};
    for (int i = 0; i < 9; ++i)
        p[std::size_t(i + 1)] = named[i];
    const double values[5] = {1.0, 0.8, 0.6, 0.5, 0.3};
    for (int i = 10; i <= 249; ++i) {
        const int hue = ((i - 10) / 10) * 15;
        const int offset = (i - 10) % 10;
        const double v = values[offset / 2];
        const double s = offset % 2 == 0 ? 1.0 : 0.5;
        p[std::size_t(i)] = QColor::fromHsvF(hue / 360.0f, float(s), float(v)).rgb();
    }
    const int greys[6] = {51, 91, 132, 173, 214, 255};
    for (int i = 0; i < 6; ++i)
        p[std::size_t(250 + i)] = qRgb(greys[i], greys[i], greys[i]);
    return p;
}

} // namespace

QColor AciColor(int index)
{
    static const std::array<QRgb, 256> palette = BuildPalette();
    if (index < 1 || index > 255)
        index = 7;
    return QColor(palette[std::size_t(index)]);
}

} // namespace cadhost
