// DrawProgress: the percentage bar painted into a picture box while results are drawn.
#include "wizard/DrawProgress.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

namespace ardela {

QString ProgressText(float fraction)
{
    int p = static_cast<int>(std::floor(double(fraction) * 100.0 + 0.5));
    if (p <= 0)
        p = 1;
    if (p >= 100)
        p = 99;
    return QString::number(p) + QLatin1Char('%');
}

void DrawProgress(QLabel* box, float fraction)
{
    const QPalette palette = QApplication::palette(box);
    const QColor foreground = palette.color(QPalette::Highlight);
    const QColor background = palette.color(QPalette::Base);
    const int width = box->width();
    const int height = box->height();
    if (width <= 0 || height <= 0)
        return;

    // The whole box is painted afresh each time: an inverting bar drawn over the last one would
    // flip it back.
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(background);
    // Plain (not smoothed) glyphs, so that the text beneath the bar inverts cleanly.
    QFont font = box->font();
    font.setStyleStrategy(QFont::NoAntialias);
    QPainter painter(&image);
    painter.setFont(font);
    const QString text = ProgressText(fraction);
    const QFontMetrics metrics(font);
    const int w = metrics.horizontalAdvance(text);
    const int h = metrics.height();
    const int x = int(width / 2.0 - w / 2.0);
    const int y = int(height / 2.0 - h / 2.0);
    painter.fillRect(x, y, w, h, background);
    painter.setPen(foreground);
    painter.drawText(QRect(x, y, w, h), Qt::AlignLeft | Qt::AlignTop, text);

    // Not-XOR over the covered part: the bar takes the foreground colour and the text beneath it
    // turns to the background colour.
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    if (fraction > 0.0f) {
        const int covered = int(std::lround(double(fraction) * width));
        painter.fillRect(0, 0, std::min(covered, width), height, QColor(~foreground.rgb() ^ background.rgb()));
    }
    painter.end();
    box->setPixmap(QPixmap::fromImage(image));
    box->repaint();
}

cad::DrawingProgress ProgressBox(QLabel* picProgress)
{
    cad::DrawingProgress progress;
    // The box is painted again only when the whole percentage changes: a drawing of thousands of
    // entities repaints it about a hundred times, not once per entity.
    auto last = std::make_shared<int>(-1);
    progress.step = [picProgress, last](float fraction) {
        const int percent = int(std::floor(double(std::clamp(fraction, 0.0f, 1.0f)) * 100.0));
        if (percent == *last)
            return;
        *last = percent;
        DrawProgress(picProgress, fraction);
    };
    progress.done = [picProgress] {
        picProgress->clear();
        picProgress->repaint();
    };
    return progress;
}

} // namespace ardela
