// The view of one drawing: paints it from a cached image, pans, zooms, shows the snap marker
// and the rubber band, and reports clicks and keys to the host window.
#pragma once

#include <cstdint>
#include <optional>

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

class QPainter;

#include "cadhost/engine/Document.h"
#include "cadhost/ui/DrawingRenderer.h"

namespace cadhost {

class DrawingView : public QWidget {
    Q_OBJECT
public:
    explicit DrawingView(Document& doc, QWidget* parent = nullptr);
    ~DrawingView() override;

    Document& GetDocument() const { return m_doc; }
    const ViewTransform& Transform() const { return m_view; }
    void SetTransform(const ViewTransform& view);
    void ZoomExtents();
    // Shows `window` whole, centred (the engineer's view is left as by a zoom of his own).
    void ZoomWindow(const Box2& window);
    // The transform the engineer sees now: a view that follows the drawing takes in the changes
    // still gathered for its next redraw first.
    ViewTransform Shown();
    // Repaints from the document at once (the drawing's Regen).
    void Regen();
    // Zooms by `factor` keeping the drawing point under `around` (pixels) in place.
    void ZoomBy(double factor, QPointF around);
    void PanBy(QPointF pixels);
    // The point a click at `screen` picks: the running object snap of "OSMODE" within the
    // aperture, else the point under the cursor. `mode` receives the snap mode that hit (0: none).
    Point3 PickAt(QPointF screen, int* mode = nullptr) const;
    QPointF ToScreen(const Point3& p) const { return m_view.ToScreen(p.x, p.y); }
    // Shows a line from `from` to the cursor while a line is being drawn.
    void SetRubberBand(const std::optional<Point3>& from);
    // Marks the entity a pick would take (ERASE); nullopt: none.
    void SetHighlight(const std::optional<ObjectId>& id);
    std::optional<ObjectId> Highlighted() const { return m_highlight; }
    // True while a gathered redraw or the repaint after a pan is still to come.
    bool RedrawPending() const { return m_redraw.isActive() || m_settle.isActive(); }
    // What the view keeps of the drawing for its redraws.
    const RenderCache& Cache() const { return m_renderCache; }
    // The snap aperture in pixels.
    static constexpr int kAperture = 10;

signals:
    void CursorMoved(double x, double y, int snapMode);
    void CursorLeft();
    void PointClicked(double x, double y);
    void RightClicked();
    void EscapePressed();
    void EnterPressed();
    void TextTyped(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    void leaveEvent(QEvent* event) override;

private:
    void DocumentChanged();
    // After the view moved under a resting cursor: tells where the cursor now points.
    void CursorFollows();
    void PaintHighlight(QPainter& p) const;

    Document& m_doc;
    ViewTransform m_view;
    QTimer m_redraw;          // gathers a burst of changes into one redraw
    QTimer m_settle;          // redraws once panning pauses
    QPointF m_cacheShift;     // how far the view moved since the cache was painted
    qint64 m_lastRenderMs = 0;
    QImage m_cache;
    RenderCache m_renderCache;
    bool m_cacheValid = false;
    bool m_fitted = false;
    bool m_userMoved = false;   // the engineer panned or zoomed: the view no longer follows the drawing
    int m_listener = 0;
    bool m_panning = false;
    QPointF m_panFrom;
    std::optional<QPointF> m_cursor;
    std::optional<QPointF> m_snapMarker;
    int m_snapMode = 0;   // the SnapMode bit of the marker
    std::optional<Point3> m_rubberFrom;
    std::optional<ObjectId> m_highlight;
};

} // namespace cadhost
