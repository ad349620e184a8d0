// The drawing view: cached rendering, pan and zoom, pick with running object snap.
#include "cadhost/ui/DrawingView.h"

#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QWheelEvent>

namespace cadhost {

DrawingView::DrawingView(Document& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setMinimumSize(200, 150);
    m_redraw.setSingleShot(true);
    connect(&m_redraw, &QTimer::timeout, this, &DrawingView::Regen);
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        m_cacheValid = false;
        update();
    });
    m_listener = m_doc.AddListener([this](const Document&) { DocumentChanged(); });
}

DrawingView::~DrawingView()
{
    m_doc.RemoveListener(m_listener);
}

// A caller adding entities one by one must not pay a full redraw per entity: changes are
// gathered for a little longer than the last redraw took (at least 20 ms).
void DrawingView::DocumentChanged()
{
    if (!m_redraw.isActive())
        m_redraw.start(int(std::clamp<qint64>(2 * m_lastRenderMs, 20, 500)));
}

void DrawingView::Regen()
{
    m_redraw.stop();
    // Until the engineer moves the view, it keeps the whole drawing in sight.
    if (!m_userMoved && m_doc.EntityCount() > 0) {
        const Box2 extents = m_doc.Extents();
        const Box2 visible = m_view.VisibleBox();
        if (!(visible.minX <= extents.minX && visible.maxX >= extents.maxX && visible.minY <= extents.minY
              && visible.maxY >= extents.maxY))
            m_view = ViewTransform::Fit(extents, width(), height());
    }
    m_cacheValid = false;
    update();
    CursorFollows();
}

void DrawingView::SetTransform(const ViewTransform& view)
{
    m_view = view;
    m_userMoved = true;
    m_view.width = std::max(width(), 1);
    m_view.height = std::max(height(), 1);
    m_fitted = true;
    m_cacheValid = false;
    update();
    CursorFollows();
}

void DrawingView::ZoomExtents()
{
    SetTransform(ViewTransform::Fit(m_doc.Extents(), width(), height()));
    m_userMoved = false;
}

void DrawingView::ZoomWindow(const Box2& window)
{
    SetTransform(ViewTransform::Fit(window, width(), height()));
}

ViewTransform DrawingView::Shown()
{
    if (m_redraw.isActive())
        Regen();
    ViewTransform shown = m_view;
    shown.width = std::max(width(), 1);
    shown.height = std::max(height(), 1);
    return shown;
}

void DrawingView::ZoomBy(double factor, QPointF around)
{
    m_userMoved = true;
    if (!(factor > 0) || !std::isfinite(factor))
        return;
    const double next = m_view.scale * factor;
    if (next < 1e-9 || next > 1e9)
        return;
    const Point3 fixed = m_view.ToWorld(around);
    m_view.scale = next;
    const Point3 moved = m_view.ToWorld(around);
    m_view.centerX += fixed.x - moved.x;
    m_view.centerY += fixed.y - moved.y;
    m_cacheValid = false;
    update();
    CursorFollows();
}

void DrawingView::CursorFollows()
{
    if (!m_cursor || m_panning)
        return;
    int mode = 0;
    const Point3 p = PickAt(*m_cursor, &mode);
    m_snapMarker = mode ? std::optional<QPointF>(ToScreen(p)) : std::nullopt;
    m_snapMode = mode;
    emit CursorMoved(p.x, p.y, mode);
}

void DrawingView::leaveEvent(QEvent* event)
{
    m_cursor.reset();
    m_snapMarker.reset();
    update();
    emit CursorLeft();
    QWidget::leaveEvent(event);
}

void DrawingView::SetHighlight(const std::optional<ObjectId>& id)
{
    if (m_highlight == id)
        return;
    m_highlight = id;
    update();
}

void DrawingView::PaintHighlight(QPainter& p) const
{
    const Entity* e = m_highlight ? m_doc.Find(*m_highlight) : nullptr;
    if (!e)
        return;
    p.setPen(QPen(QColor(255, 140, 0), 3));
    p.setBrush(Qt::NoBrush);
    const auto screen = [this](const Point3& point) { return ToScreen(point); };
    switch (e->kind) {
    case EntityKind::Line:
    case EntityKind::Polyline3d:
    case EntityKind::LwPolyline:
    case EntityKind::Other: {
        const std::vector<Point3> points = m_doc.Outline(*e);
        QPolygonF line;
        for (const Point3& point : points) {
            if (IsBreak(point)) {
                p.drawPolyline(line);
                line.clear();
                continue;
            }
            line << screen(point);
        }
        if (e->closed && !points.empty())
            line << screen(points.front());
        p.drawPolyline(line);
        break;
    }
    case EntityKind::Point:
        p.drawEllipse(screen(e->points[0]), 5, 5);
        break;
    case EntityKind::Solid:
        p.drawPolygon(QPolygonF{screen(e->points[0]), screen(e->points[1]), screen(e->points[3]), screen(e->points[2])});
        break;
    case EntityKind::Text: {
        QPolygonF box;
        for (const Point3& corner : TextCorners(*e))
            box << screen(corner);
        p.drawPolygon(box);
        break;
    }
    }
}

// While panning, the painted image is moved along and the drawing is painted again once
// the movement pauses.
void DrawingView::PanBy(QPointF pixels)
{
    m_userMoved = true;
    m_view.centerX -= pixels.x() / m_view.scale;
    m_view.centerY += pixels.y() / m_view.scale;
    if (m_cacheValid) {
        m_cacheShift += pixels;
        m_settle.start(80);
    }
    update();
}

Point3 DrawingView::PickAt(QPointF screen, int* mode) const
{
    const Point3 raw = m_view.ToWorld(screen);
    int osmode = 0;
    try {
        osmode = m_doc.GetVariable(QStringLiteral("OSMODE")).toInt();
    } catch (...) {
        osmode = 0;
    }
    if (const auto snap = m_doc.Snap(raw, kAperture / m_view.scale, osmode)) {
        if (mode)
            *mode = snap->mode;
        return snap->point;
    }
    if (mode)
        *mode = 0;
    return raw;
}

void DrawingView::SetRubberBand(const std::optional<Point3>& from)
{
    m_rubberFrom = from;
    update();
}

void DrawingView::paintEvent(QPaintEvent*)
{
    if (!m_cacheValid || m_cache.size() != size()) {
        if (m_cache.size() != size())
            m_cache = QImage(size(), QImage::Format_RGB32);
        m_view.width = std::max(width(), 1);
        m_view.height = std::max(height(), 1);
        QElapsedTimer timer;
        timer.start();
        DrawingRenderer::Render(m_doc, m_view, m_cache, &m_renderCache);
        m_lastRenderMs = timer.elapsed();
        m_cacheValid = true;
        m_cacheShift = QPointF();
    }
    QPainter p(this);
    if (!m_cacheShift.isNull())
        p.fillRect(rect(), DrawingRenderer::Background());
    p.drawImage(m_cacheShift, m_cache);
    if (m_rubberFrom && m_cursor) {
        p.setPen(QPen(Qt::white, 0, Qt::DashLine));
        p.drawLine(ToScreen(*m_rubberFrom), m_snapMarker ? *m_snapMarker : *m_cursor);
    }
    PaintHighlight(p);
    if (m_snapMarker) {
        // Each mode its mark: a square for an end, a circle for a centre, a diamond for a
        // quadrant, a cross for an intersection, a circled cross for a node, a double square
        // for an insertion point.
        const QPointF c = *m_snapMarker;
        p.setPen(QPen(QColor(255, 220, 0), 2));
        p.setBrush(Qt::NoBrush);
        const QRectF box(c - QPointF(5, 5), QSizeF(10, 10));
        switch (m_snapMode) {
        case kSnapCenter: p.drawEllipse(c, 6, 6); break;
        case kSnapQuadrant:
            p.drawPolygon(QPolygonF{c + QPointF(0, -6), c + QPointF(6, 0), c + QPointF(0, 6), c + QPointF(-6, 0)});
            break;
        case kSnapIntersection:
            p.drawLine(box.topLeft(), box.bottomRight());
            p.drawLine(box.topRight(), box.bottomLeft());
            break;
        case kSnapNode:
            p.drawEllipse(c, 5, 5);
            p.drawLine(box.topLeft(), box.bottomRight());
            p.drawLine(box.topRight(), box.bottomLeft());
            break;
        case kSnapInsertion:
            p.drawRect(box);
            p.drawRect(box.adjusted(3, 3, -3, -3));
            break;
        default: p.drawRect(box); break;
        }
    }
}

void DrawingView::resizeEvent(QResizeEvent*)
{
    // Until the engineer moves the view it shows the whole drawing at every size, the sizes a
    // window passes through while it opens among them (else it opens zoomed far out).
    if ((!m_fitted || !m_userMoved) && width() > 1 && height() > 1) {
        ZoomExtents();
        return;
    }
    m_view.width = std::max(width(), 1);
    m_view.height = std::max(height(), 1);
    m_cacheValid = false;
}

void DrawingView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        m_panning = true;
        m_panFrom = event->position();
        return;
    }
    if (event->button() == Qt::RightButton) {
        emit RightClicked();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        setFocus();
        const Point3 p = PickAt(event->position());
        emit PointClicked(p.x, p.y);
    }
}

void DrawingView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_panning) {
        PanBy(event->position() - m_panFrom);
        m_panFrom = event->position();
        return;
    }
    m_cursor = event->position();
    int mode = 0;
    const Point3 p = PickAt(event->position(), &mode);
    m_snapMarker = mode ? std::optional<QPointF>(ToScreen(p)) : std::nullopt;
    m_snapMode = mode;
    update();
    emit CursorMoved(p.x, p.y, mode);
}

void DrawingView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton)
        m_panning = false;
}

void DrawingView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton)
        ZoomExtents();
    else
        mousePressEvent(event);
}

void DrawingView::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        ZoomBy(std::pow(1.2, steps), event->position());
}

void DrawingView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape: emit EscapePressed(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: emit EnterPressed(); return;
    default: break;
    }
    if (!event->text().isEmpty() && event->text().at(0).isPrint())
        emit TextTyped(event->text());
    else
        QWidget::keyPressEvent(event);
}

} // namespace cadhost
