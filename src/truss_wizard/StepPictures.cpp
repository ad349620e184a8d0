// Korrin's step pictures, drawn rather than stored so that they stay sharp at any size: a small
// truss in which the part the step deals with stands out.
#include "truss_wizard/StepPictures.h"

#include <array>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace ardela {

namespace {

// A Pratt truss of six panels in a unit box: bottom chord y = 0.75, top chord y = 0.35.
struct Sketch {
    std::array<QPointF, 8> nodes{{{0.1, 0.75}, {0.3, 0.75}, {0.5, 0.75}, {0.7, 0.75}, {0.9, 0.75},
                                  {0.3, 0.40}, {0.5, 0.40}, {0.7, 0.40}}};
    std::array<std::pair<int, int>, 13> bars{{{0, 1}, {1, 2}, {2, 3}, {3, 4}, {5, 6}, {6, 7}, {0, 5}, {7, 4},
                                              {1, 5}, {2, 6}, {3, 7}, {5, 2}, {2, 7}}};
};

const QColor kInk(40, 50, 70);
const QColor kFaint(170, 180, 195);
const QColor kAccent(0, 110, 200);
const QColor kLoad(200, 60, 40);
const QColor kSupport(60, 140, 60);

void DrawBars(QPainter& p, const Sketch& s, const QSizeF& size, const QColor& colour, double width)
{
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    for (const auto& [i, j] : s.bars)
        p.drawLine(QPointF(s.nodes[i].x() * size.width(), s.nodes[i].y() * size.height()),
                   QPointF(s.nodes[j].x() * size.width(), s.nodes[j].y() * size.height()));
}

void DrawNodes(QPainter& p, const Sketch& s, const QSizeF& size, const QColor& colour, double radius)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (const QPointF& n : s.nodes)
        p.drawEllipse(QPointF(n.x() * size.width(), n.y() * size.height()), radius, radius);
}

void DrawSupport(QPainter& p, const QPointF& at, double size, const QColor& colour)
{
    QPolygonF triangle{at, at + QPointF(-size * 0.6, size), at + QPointF(size * 0.6, size)};
    p.setPen(QPen(colour, 1.5));
    p.setBrush(colour.lighter(150));
    p.drawPolygon(triangle);
    p.drawLine(at + QPointF(-size, size * 1.2), at + QPointF(size, size * 1.2));
}

void DrawArrow(QPainter& p, const QPointF& head, double length, const QColor& colour)
{
    p.setPen(QPen(colour, 2.0));
    p.drawLine(head - QPointF(0, length), head);
    QPolygonF tip{head, head + QPointF(-length * 0.18, -length * 0.35), head + QPointF(length * 0.18, -length * 0.35)};
    p.setBrush(colour);
    p.drawPolygon(tip);
}

void DrawDocument(QPainter& p, const QRectF& r, bool open)
{
    QPainterPath page;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - r.width() * 0.3, r.top());
    page.lineTo(r.right(), r.top() + r.width() * 0.3);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setPen(QPen(kFaint, 1.0));
    for (int i = 1; i <= 4; ++i) {
        const double y = r.top() + r.height() * (0.3 + 0.14 * i);
        p.drawLine(QPointF(r.left() + r.width() * 0.15, y), QPointF(r.right() - r.width() * 0.15, y));
    }
    if (open) {
        p.setPen(QPen(kAccent, 2.0));
        p.drawArc(QRectF(r.center().x() - 8, r.top() + 6, 16, 16), 30 * 16, 300 * 16);
    }
}

} // namespace

QPixmap TrussStepPicture(int step, int width, int height)
{
    QPixmap picture(width, height);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient ground(0, 0, 0, height);
    ground.setColorAt(0, QColor(236, 242, 250));
    ground.setColorAt(1, QColor(210, 222, 238));
    p.setPen(QPen(QColor(160, 175, 200), 1.0));
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1.0, height - 1.0), 6, 6);

    const Sketch s;
    const QSizeF size(width, height);
    switch (step) {
    case 0:  // a new analysis or a file
        DrawBars(p, s, size, kFaint, 1.5);
        DrawDocument(p, QRectF(width * 0.3, height * 0.12, width * 0.4, height * 0.5), true);
        break;
    case 1: {  // the drawing
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(Qt::white);
        const QRectF sheet(width * 0.1, height * 0.15, width * 0.8, height * 0.7);
        p.drawRect(sheet);
        p.setPen(QPen(kFaint, 0.8));
        for (int i = 1; i < 6; ++i) {
            p.drawLine(QPointF(sheet.left() + sheet.width() * i / 6.0, sheet.top()),
                       QPointF(sheet.left() + sheet.width() * i / 6.0, sheet.bottom()));
            p.drawLine(QPointF(sheet.left(), sheet.top() + sheet.height() * i / 6.0),
                       QPointF(sheet.right(), sheet.top() + sheet.height() * i / 6.0));
        }
        p.setPen(QPen(kAccent, 2.0));
        p.drawLine(QPointF(width * 0.5, height * 0.4), QPointF(width * 0.5, height * 0.6));
        p.drawLine(QPointF(width * 0.4, height * 0.5), QPointF(width * 0.6, height * 0.5));
        break;
    }
    case 2:  // nodes
        DrawBars(p, s, size, kFaint, 1.2);
        DrawNodes(p, s, size, kAccent, 4.0);
        break;
    case 3:  // bars
        DrawBars(p, s, size, kAccent, 2.5);
        DrawNodes(p, s, size, kInk, 2.5);
        break;
    case 4:  // supports
        DrawBars(p, s, size, kFaint, 1.2);
        DrawNodes(p, s, size, kInk, 2.0);
        DrawSupport(p, QPointF(s.nodes[0].x() * width, s.nodes[0].y() * height), width * 0.07, kSupport);
        DrawSupport(p, QPointF(s.nodes[4].x() * width, s.nodes[4].y() * height), width * 0.07, kSupport);
        break;
    case 5:  // loads
        DrawBars(p, s, size, kFaint, 1.2);
        DrawNodes(p, s, size, kInk, 2.0);
        for (int n : {5, 6, 7})
            DrawArrow(p, QPointF(s.nodes[std::size_t(n)].x() * width, s.nodes[std::size_t(n)].y() * height - 4),
                      height * 0.22, kLoad);
        break;
    default: {  // the results: tension blue, compression red
        p.setPen(QPen(QColor(40, 80, 220), 2.5, Qt::SolidLine, Qt::RoundCap));
        for (std::size_t b = 0; b < 4; ++b) {
            const auto [i, j] = s.bars[b];
            p.drawLine(QPointF(s.nodes[i].x() * width, s.nodes[i].y() * height),
                       QPointF(s.nodes[j].x() * width, s.nodes[j].y() * height));
        }
        p.setPen(QPen(QColor(210, 40, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
        for (std::size_t b = 4; b < s.bars.size(); ++b) {
            const auto [i, j] = s.bars[b];
            p.drawLine(QPointF(s.nodes[i].x() * width, s.nodes[i].y() * height),
                       QPointF(s.nodes[j].x() * width, s.nodes[j].y() * height));
        }
        DrawNodes(p, s, size, kInk, 2.0);
        break;
    }
    }
    return picture;
}

} // namespace ardela
