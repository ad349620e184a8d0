// Vendel's step pictures: a cantilever plate on a gridline mesh, drawn rather than stored so
// that they stay sharp; each step brings out its own part (gridlines, subdomains, the held edge,
// the load, the principal stresses).
#include "stress_wizard/VendelPictures.h"

#include <cmath>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace ardela {

namespace {

const QColor kInk(40, 50, 70);
const QColor kFaint(170, 180, 195);
const QColor kAccent(0, 110, 200);
const QColor kLoad(200, 60, 40);
const QColor kHeld(60, 140, 60);

// The plate in picture coordinates: 5 x 3 gridlines over a rectangle.
struct Plate {
    QRectF box;
    double X(int i) const { return box.left() + box.width() * i / 4.0; }
    double Y(int j) const { return box.top() + box.height() * j / 2.0; }
};

void DrawMesh(QPainter& p, const Plate& s, const QColor& colour, double width)
{
    p.setPen(QPen(colour, width));
    for (int i = 0; i <= 4; ++i)
        p.drawLine(QPointF(s.X(i), s.Y(0)), QPointF(s.X(i), s.Y(2)));
    for (int j = 0; j <= 2; ++j)
        p.drawLine(QPointF(s.X(0), s.Y(j)), QPointF(s.X(4), s.Y(j)));
}

void DrawHeldEdge(QPainter& p, const Plate& s, const QColor& colour)
{
    p.setPen(QPen(colour, 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s.X(0), s.Y(0)), QPointF(s.X(0), s.Y(2)));
    p.setPen(QPen(colour, 1.2));
    for (double y = s.Y(0); y <= s.Y(2) + 0.1; y += s.box.height() / 5.0)
        p.drawLine(QPointF(s.X(0), y), QPointF(s.X(0) - 6, y + 5));
}

void DrawLoad(QPainter& p, const Plate& s, const QColor& colour)
{
    const QPointF tip(s.X(4), s.Y(0));
    const double length = s.box.height() * 0.8;
    p.setPen(QPen(colour, 2.0));
    p.drawLine(tip - QPointF(0, length), tip);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF{tip, tip + QPointF(-4, -10), tip + QPointF(4, -10)});
}

void DrawStressCross(QPainter& p, const QPointF& at, double s1, double s2, double angle)
{
    const double c = std::cos(angle);
    const double n = std::sin(angle);
    p.setPen(QPen(QColor(40, 80, 220), 2.0));
    p.drawLine(at - QPointF(c * s1, -n * s1), at + QPointF(c * s1, -n * s1));
    p.setPen(QPen(QColor(210, 40, 40), 2.0));
    p.drawLine(at - QPointF(-n * s2, -c * s2), at + QPointF(-n * s2, -c * s2));
}

void DrawDocument(QPainter& p, const QRectF& r)
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
}

} // namespace

QPixmap StressStepPicture(int step, int width, int height)
{
    QPixmap picture(width, height);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient ground(0, 0, 0, height);
    ground.setColorAt(0, QColor(240, 244, 236));
    ground.setColorAt(1, QColor(214, 226, 208));
    p.setPen(QPen(QColor(160, 180, 150), 1.0));
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1.0, height - 1.0), 6, 6);

    const Plate s{QRectF(width * 0.16, height * 0.42, width * 0.72, height * 0.26)};
    switch (step) {
    case 0:
        DrawMesh(p, s, kFaint, 1.0);
        DrawDocument(p, QRectF(width * 0.32, height * 0.1, width * 0.36, height * 0.42));
        break;
    case 1: {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(Qt::white);
        const QRectF sheet(width * 0.1, height * 0.15, width * 0.8, height * 0.7);
        p.drawRect(sheet);
        DrawMesh(p, s, kFaint, 1.0);
        p.setPen(QPen(kAccent, 2.0));
        p.drawLine(QPointF(width * 0.5, height * 0.22), QPointF(width * 0.5, height * 0.36));
        p.drawLine(QPointF(width * 0.43, height * 0.29), QPointF(width * 0.57, height * 0.29));
        break;
    }
    case 2:
        DrawMesh(p, s, kInk, 1.2);
        p.setPen(QPen(kAccent, 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(s.X(2), s.Y(1)), 9, 9);
        break;
    case 3:
        DrawMesh(p, s, kAccent, 2.0);
        break;
    case 4:
        DrawMesh(p, s, kFaint, 1.0);
        p.setPen(QPen(kAccent, 2.5));
        p.setBrush(QColor(0, 110, 200, 40));
        p.drawRect(QRectF(QPointF(s.X(0), s.Y(0)), QPointF(s.X(4), s.Y(2))));
        break;
    case 5:
        DrawMesh(p, s, kFaint, 1.0);
        DrawHeldEdge(p, s, kHeld);
        break;
    case 6:
        DrawMesh(p, s, kFaint, 1.0);
        DrawHeldEdge(p, s, kFaint);
        DrawLoad(p, s, kLoad);
        break;
    default:
        DrawMesh(p, s, kFaint, 1.0);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 2; ++j) {
                const double bend = (j == 0 ? 1.0 : -1.0) * (4 - i) / 4.0;
                DrawStressCross(p, QPointF((s.X(i) + s.X(i + 1)) / 2, (s.Y(j) + s.Y(j + 1)) / 2),
                                std::max(2.0, 7.0 * std::abs(bend)), 3.0, bend > 0 ? 0.15 : -0.15);
            }
        break;
    }
    return picture;
}

} // namespace ardela
