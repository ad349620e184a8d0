// Paints a document's model space into an image: colours and line types by layer or the
// entity's own, filled
// solids, text in the style's font; hidden layers are skipped.
#pragma once

#include <cstdint>
#include <vector>

#include <QImage>
#include <QPointF>
#include <QRectF>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfOutline.h"

namespace cadhost {

// Maps drawing units to pixels: `center` sits in the middle of a `width` x `height` image,
// `scale` pixels per drawing unit, y up.
struct ViewTransform {
    double scale = 1.0;
    double centerX = 0.0;
    double centerY = 0.0;
    int width = 1;
    int height = 1;

    QPointF ToScreen(double x, double y) const
    {
        return {width / 2.0 + (x - centerX) * scale, height / 2.0 - (y - centerY) * scale};
    }
    Point3 ToWorld(QPointF p) const
    {
        return {centerX + (p.x() - width / 2.0) / scale, centerY - (p.y() - height / 2.0) / scale, 0.0};
    }
    Box2 VisibleBox() const
    {
        const Point3 a = ToWorld({0, 0}), b = ToWorld({double(width), double(height)});
        return Box2::FromCorners(a, b);
    }
    // Fits the box into the image with a margin; an empty box gives a 100-unit view at 0,0.
    static ViewTransform Fit(const Box2& box, int width, int height);
};

// What a view keeps between redraws of an unchanged drawing: one compact item per line or
// polyline edge and per other entity (its extents), so that a redraw of the whole drawing
// does not walk the document again and draws an entity smaller than a pixel as its dot.
class RenderCache {
public:
    void Clear() { m_doc = nullptr; }

    struct Item {
        float x0, y0, x1, y1;     // a segment's ends, or the entity's extents; relative to the origin
        std::uint32_t style;      // index in the layer table, or past it: an entity's own style
        const Entity* entity;     // null for a segment (valid for the revision gathered)
    };
    // An entity's own colour and line type on a layer; the styles past the layers, in order.
    struct OwnStyle {
        int layer;
        int color;
        QString linetype;
    };

private:
    friend class DrawingRenderer;
    const Document* m_doc = nullptr;
    std::uint64_t m_revision = 0;
    double m_originX = 0.0;
    double m_originY = 0.0;
    std::vector<Item> m_items;                // in creation order
    std::vector<OwnStyle> m_ownStyles;        // the styles the segments name past the layers
    // Lines without end, each with its style: drawn across every view.
    std::vector<std::pair<std::uint32_t, EndlessLine>> m_endless;
};

class DrawingRenderer {
public:
    // The colour behind the drawing.
    static QColor Background();
    // Paints the document into `image` (already sized to the transform) over the background.
    // With a cache, a redraw of an unchanged drawing reuses what the last one gathered.
    static void Render(const Document& doc, const ViewTransform& view, QImage& image, RenderCache* cache = nullptr);
    // The width of a run of text in drawing units as the view's glyphs take it (multiline
    // texts wrap by it).
    static double GlyphMeasure(const TextRun& run, const QString& drawingFont);
};

} // namespace cadhost
