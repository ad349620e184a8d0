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

// What a view keeps between redraws: one compact item per line or polyline edge and per other
// entity (its extents), so that a redraw of the whole drawing does not walk the document again
// and draws an entity smaller than a pixel as its dot. A change of the drawing changes the items
// of the entities it touched alone (Document::ChangedSince), not all of them.
class RenderCache {
public:
    void Clear() { m_doc = nullptr; }

    // Item::style: the index of its style (the layer table's, then the entities' own styles)
    // with these flags; an item of an entity erased or changed since has the index kGone.
    static constexpr std::uint32_t kStyleIndex = 0x00FFFFFF;
    static constexpr std::uint32_t kGone = kStyleIndex;
    static constexpr std::uint32_t kWhole = 1u << 31;     // an entity (its extents), not a segment
    static constexpr std::uint32_t kMayBeDot = 1u << 30;  // drawn as its corner pixels when that small
    struct Item {
        float x0, y0, x1, y1;     // a segment's ends, or the entity's extents; relative to the origin
        std::uint32_t style;
        std::uint32_t slot;       // the entity's slot in the document
    };
    // An entity's own colour and line type on a layer; the styles past the layers, in order.
    struct OwnStyle {
        int layer;
        int color;
        QString linetype;
    };
    // A line without end (drawn across every view) with its style and slot.
    struct Endless {
        std::uint32_t style;
        std::uint32_t slot;
        EndlessLine line;
    };
    // How many items it holds (those of changed entities included until they are packed).
    std::size_t ItemCount() const { return m_data.items.size() + m_data.changed.size(); }

    // How many times it gathered the whole drawing (the first time, and when a change could not
    // be followed entity by entity).
    std::size_t Gatherings() const { return m_gatherings; }

    // What the renderer keeps here.
    struct Data {
        double originX = 0.0;
        double originY = 0.0;
        std::vector<Item> items;                // by slot
        std::vector<Item> changed;              // of entities added or changed since, by slot
        std::vector<OwnStyle> ownStyles;        // the styles the items name past the layers
        std::vector<QString> layers;            // the layer names the style indices were given by
        std::vector<Endless> endless;
    };

private:
    friend class DrawingRenderer;
    const Document* m_doc = nullptr;
    std::uint64_t m_revision = 0;
    std::size_t m_gatherings = 0;
    Data m_data;
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
