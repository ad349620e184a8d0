// The colour index palette: nine named colours, 24 hues in five shades at full and half
// saturation, and six greys; each shown bright enough to read on the view's background.
#include "cadhost/ui/AciColors.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace cadhost {

namespace {

// The relative luminance of a screen colour (sRGB, 0 black .. 1 white).
double Luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

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
    for (int i = 1; i <= 255; ++i)
        p[std::size_t(i)] = ShownOnBackground(QColor(p[std::size_t(i)])).rgb();
    return p;
}

} // namespace

QColor ViewBackground()
{
    return QColor(33, 40, 48);
}

QColor ShownOnBackground(const QColor& colour)
{
    const QColor background = ViewBackground();
    if (Contrast(colour, background) >= kLeastContrast)
        return colour;
    // Brighter first, keeping hue and saturation; then, for a colour already at its brightest
    // (pure blue), towards white: each by the least step that reaches the contrast.
    QColor shown = colour;
    for (int value = colour.value(); value <= 255; ++value) {
        shown = QColor::fromHsv(colour.hsvHue(), colour.hsvSaturation(), value);
        if (Contrast(shown, background) >= kLeastContrast)
            return shown;
    }
    const QColor brightest = shown;
    for (int step = 1; step <= 255; ++step) {
        const double t = step / 255.0;
        shown = QColor::fromRgbF(float(brightest.redF() + (1 - brightest.redF()) * t),
                                 float(brightest.greenF() + (1 - brightest.greenF()) * t),
                                 float(brightest.blueF() + (1 - brightest.blueF()) * t));
        if (Contrast(shown, background) >= kLeastContrast)
            break;
    }
    return shown;
}

QColor AciColor(int index)
{
    static const std::array<QRgb, 256> palette = BuildPalette();
    if (index < 1 || index > 255)
        index = 7;
    return QColor(palette[std::size_t(index)]);
}

} // namespace cadhost
