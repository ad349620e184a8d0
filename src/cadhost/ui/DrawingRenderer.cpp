// The host's painter: one pass over the visible entities, lines batched per layer.
#include "cadhost/ui/DrawingRenderer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <deque>
#include <numbers>

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>

#include "cadhost/engine/DxfRecord.h"
#include "cadhost/ui/AciColors.h"

namespace cadhost {

ViewTransform ViewTransform::Fit(const Box2& box, int width, int height)
{
    ViewTransform v;
    v.width = std::max(width, 1);
    v.height = std::max(height, 1);
    Box2 b = box;
    if (b.IsEmpty())
        b = Box2{-50, -50, 50, 50};
    const double w = std::max(b.Width(), 1e-9), h = std::max(b.Height(), 1e-9);
    double size = std::max(w, h);
    if (b.Width() == 0 && b.Height() == 0)
        size = 10.0;
    v.scale = 0.9 * std::min(v.width / std::max(w, size * 1e-6), v.height / std::max(h, size * 1e-6));
    if (!std::isfinite(v.scale) || v.scale <= 0)
        v.scale = 1.0;
    if (b.Width() == 0 && b.Height() == 0)
        v.scale = 0.9 * std::min(v.width, v.height) / size;
    v.centerX = (b.minX + b.maxX) / 2;
    v.centerY = (b.minY + b.maxY) / 2;
    return v;
}

QColor DrawingRenderer::Background()
{
    return QColor(33, 40, 48);
}

namespace {

// How one layer is painted.
struct LayerStyle {
    bool visible = true;
    QColor color;
    QRgb rgb = 0;
    QPen pen;
    bool dashed = false;
    std::vector<QLineF> lines;   // batched lines
};

// A line type's dashes as a pen pattern in pixels (dash, gap, dash, gap ...); empty = solid.
QList<qreal> DashPattern(const Linetype* lt, double scale)
{
    QList<qreal> out;
    if (!lt || lt->pattern.empty())
        return out;
    double total = 0;
    for (double d : lt->pattern)
        total += std::abs(d);
    if (total * scale < 4.0)     // dashes smaller than the pixels: draw it solid
        return out;
    bool wantDash = true;
    for (double d : lt->pattern) {
        const bool isDash = d >= 0;
        const qreal px = std::max<qreal>(1.0, std::abs(d) * scale);   // a dot is one pixel long
        if (isDash == wantDash) {
            out << px;
            wantDash = !wantDash;
        } else if (!out.isEmpty()) {
            out.back() += px;
        } else {
            out << 0.0 << px;   // starts with a gap: an empty dash first
        }
    }
    if (out.size() % 2 != 0)
        out << 0.0;
    return out;
}

// Line type dashes are multiplied by "LTSCALE".
double LinetypeScale(const Document& doc)
{
    const double s = doc.GetVariable(QStringLiteral("LTSCALE")).toDouble();
    return s > 0 ? s : 1.0;
}

// The drawing's block definitions (none for a drawing made here).
const DxfBlocks& BlocksOf(const Document& doc)
{
    static const DxfBlocks kNone;
    return doc.Source() && doc.Source()->blocks ? *doc.Source()->blocks : kNone;
}

// Visits the segments of an entity's outline; with `skipTextBoxes` the boxes of texts (drawn
// as their glyphs instead) are left out.
template <typename Visit>
void ForOutlineSegments(const std::vector<Point3>& p, bool closed, bool skipTextBoxes, Visit visit)
{
    bool skipping = skipTextBoxes && !p.empty() && IsOutlineTextBreak(p.front());
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        if (IsBreak(p[i])) {
            skipping = skipTextBoxes && IsOutlineTextBreak(p[i]);
            continue;
        }
        if (!skipping && !IsBreak(p[i + 1]))
            visit(p[i], p[i + 1]);
    }
    if (closed && p.size() > 2)
        visit(p.back(), p.front());
}

// Lines without end (XLINE, RAY): they cross the whole view, wherever their base is.
bool IsEndlessKind(const Entity& e)
{
    if (e.kind != EntityKind::Other)
        return false;
    const std::string_view type = RecordType(e.Record());
    return type == "XLINE" || type == "RAY";
}

class Painter {
public:
    Painter(const Document& doc, const ViewTransform& view, QImage& image)
        : m_doc(doc), m_view(view), m_image(image), m_painter(&image)
    {
        const LayerTable& layers = doc.Layers();
        m_styles.resize(std::size_t(layers.Count()));
        for (int i = 0; i < layers.Count(); ++i) {
            const Layer& l = layers.At(i);
            LayerStyle& s = m_styles[std::size_t(i)];
            s.visible = l.Visible();
            s.color = AciColor(l.color);
            s.rgb = s.color.rgb();
            s.pen = QPen(s.color, 0);
            s.pen.setCosmetic(true);
            const QList<qreal> dashes = DashPattern(doc.Linetypes().Find(l.linetype), view.scale * LinetypeScale(doc));
            if (!dashes.isEmpty()) {
                s.pen.setDashPattern(dashes);
                s.dashed = true;
            }
            m_byName.insert(l.name, int(i));
        }
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied) {
            m_bits = image.bits();
            m_stride = image.bytesPerLine();
        }
    }

    ~Painter()
    {
        for (LayerStyle& s : m_styles)
            Flush(s);
    }

    // Index of a layer's style (its index in the layer table), -1 for an unknown layer.
    int StyleIndex(const QString& layer)
    {
        // An entity's layer name shares its text with the layer table's: the address of the
        // text finds the few layers met last without comparing or hashing names.
        const QChar* text = layer.constData();
        for (const auto& [known, index] : m_recent)
            if (known == text && text)
                return index;
        const auto it = m_byName.constFind(layer);
        const int index = it == m_byName.cend() ? -1 : *it;
        m_recent[m_nextRecent] = {text, index};
        m_nextRecent = (m_nextRecent + 1) % m_recent.size();
        return index;
    }

    // Index of the style an entity is drawn in: its layer's, or one for its own colour and
    // line type (made at first use, after the layers' styles); -1 for an unknown layer.
    int StyleIndex(const Entity& e)
    {
        const int layer = StyleIndex(e.layer);
        if (layer < 0 || (e.color == kColorByLayer && e.linetype.isEmpty()))
            return layer;
        if (m_lastOwn >= 0 && m_lastOwnKey.layer == layer && m_lastOwnKey.color == e.color && m_lastOwnKey.linetype == e.linetype)
            return m_lastOwn;
        m_lastOwnKey = {layer, e.color, e.linetype};
        m_lastOwn = OwnStyleIndex(m_lastOwnKey);
        return m_lastOwn;
    }

    int OwnStyleIndex(const RenderCache::OwnStyle& own)
    {
        const QString key = QStringLiteral("%1|%2|%3").arg(own.layer).arg(own.color).arg(own.linetype);
        if (const auto it = m_ownByKey.constFind(key); it != m_ownByKey.cend())
            return *it;
        const Layer& layer = m_doc.Layers().At(own.layer);
        LayerStyle s;
        s.visible = layer.Visible();
        // By block: model space has no block, so the default colour and a continuous line.
        s.color = AciColor(own.color == kColorByLayer ? layer.color : own.color == kColorByBlock ? 7 : own.color);
        s.rgb = s.color.rgb();
        s.pen = QPen(s.color, 0);
        s.pen.setCosmetic(true);
        const QString linetype = own.linetype.isEmpty() ? layer.linetype : own.linetype;
        const QList<qreal> dashes = DashPattern(m_doc.Linetypes().Find(linetype), m_view.scale * LinetypeScale(m_doc));
        if (!dashes.isEmpty()) {
            s.pen.setDashPattern(dashes);
            s.dashed = true;
        }
        m_styles.push_back(std::move(s));
        m_own.push_back(own);
        const int index = int(m_styles.size()) - 1;
        m_ownByKey.insert(key, index);
        return index;
    }

    // The own styles made so far, in the order of their indices.
    const std::vector<RenderCache::OwnStyle>& OwnStyles() const { return m_own; }

    void Paint(const Entity& e)
    {
        LayerStyle* s = (e.color == kColorByLayer && e.linetype.isEmpty()) ? StyleOf(e.layer) : OwnStyleOf(e);
        if (!s || !s->visible)
            return;
        if (MayBeDot(e)) {
            const Box2 box = m_doc.Bounds(e);
            if (box.IsEmpty())
                return;
            if (Dot(*s, box.minX, box.minY, box.maxX, box.maxY))
                return;
        }
        PaintWhole(*s, e);
    }

    // Fixes the styles the items of the cache name (every own style is made by then).
    void StylesMade()
    {
        m_byIndex.clear();
        for (LayerStyle& s : m_styles)
            m_byIndex.push_back(&s);
    }

    // An item of the cache: a segment, or an entity with its extents.
    void Item(const RenderCache::Item& item, double ox, double oy)
    {
        const std::uint32_t index = item.style & RenderCache::kStyleIndex;
        if (index >= m_byIndex.size())   // kGone: the entity was erased or changed since
            return;
        LayerStyle& s = *m_byIndex[index];
        if (!s.visible)
            return;
        const double x0 = ox + item.x0, y0 = oy + item.y0, x1 = ox + item.x1, y1 = oy + item.y1;
        if (!(item.style & RenderCache::kWhole)) {
            Line(s, Point3{x0, y0, 0}, Point3{x1, y1, 0});
            return;
        }
        if ((item.style & RenderCache::kMayBeDot) && Dot(s, x0, y0, x1, y1))
            return;
        if (const Entity* e = m_doc.AtSlot(item.slot))
            PaintWhole(s, *e);
    }

    // Points keep their mark and solids their fill however small; lines are drawn as they are.
    static bool MayBeDot(const Entity& e)
    {
        return e.kind != EntityKind::Line && e.kind != EntityKind::Point && e.kind != EntityKind::Solid
            && !IsEndlessKind(e);
    }

    // An entity whose extents are smaller than two pixels each way looks as the pixels at their
    // corners: those are lit and true is returned; false for a larger one.
    bool Dot(LayerStyle& s, double x0, double y0, double x1, double y1)
    {
        if ((x1 - x0) * m_view.scale >= 2.0 || (y1 - y0) * m_view.scale >= 2.0)
            return false;
        const QPointF a = m_view.ToScreen(x0, y0), b = m_view.ToScreen(x1, y1);
        if (m_bits && !s.dashed) {
            const int w = m_image.width(), h = m_image.height();
            for (const double x : {a.x(), b.x()})
                for (const double y : {a.y(), b.y()}) {
                    const int px = int(std::floor(x + 0.5)), py = int(std::floor(y + 0.5));
                    if (unsigned(px) < unsigned(w) && unsigned(py) < unsigned(h))
                        reinterpret_cast<QRgb*>(m_bits + std::ptrdiff_t(py) * m_stride)[px] = s.rgb;
                }
            return true;
        }
        s.lines.emplace_back(a, b);
        return true;
    }

private:
    void PaintWhole(LayerStyle& style, const Entity& e)
    {
        LayerStyle* s = &style;
        switch (e.kind) {
        case EntityKind::Line: Line(*s, e.points[0], e.points[1]); break;
        case EntityKind::Point: PointMark(*s, e.points[0]); break;
        case EntityKind::Other: {
            if (ArcOrCircle(*s, e))
                break;
            const DxfRecord record = ParseRecord(e.Record());
            const std::vector<Point3> outline = OutlineOf(record, BlocksOf(m_doc));
            if (e.filled) {
                Filled(*s, outline);
                break;
            }
            const bool texts = ShowsTexts(record);
            ForOutlineSegments(outline, e.closed, texts, [&](const Point3& a, const Point3& b) { Line(*s, a, b); });
            if (texts)
                for (const TextRun& run : TextRunsOf(record, BlocksOf(m_doc), Measure()))
                    Run(*s, run);
            for (const EndlessLine& l : EndlessLinesOf(record))
                Endless(*s, l);
            break;
        }
        case EntityKind::Polyline3d:
        case EntityKind::LwPolyline: Polyline(*s, e.points, e.closed); break;
        case EntityKind::Solid: Solid(*s, e); break;
        case EntityKind::Text: Text(*s, e); break;
        }
    }

    // Arcs and circles, the most common kinds drawn from their records, are drawn straight from
    // their centre, radius and angles, with as many segments as their size on screen needs
    // (none strays more than a quarter pixel from the curve); false for another kind.
    bool ArcOrCircle(LayerStyle& s, const Entity& e)
    {
        const std::string_view type = RecordType(e.Record());
        const bool arc = type == "ARC";
        if (!arc && type != "CIRCLE")
            return false;
        double cx = 0, cy = 0, r = 0, a0 = 0, a1 = 360;
        bool seen[6] = {};
        bool mirrored = false;
        bool tilted = false;   // in a plane of its own: its unit draws it
        auto number = [](std::string_view value) {
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                value.remove_suffix(1);
            double d = 0.0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), d);
            return ec == std::errc() && std::isfinite(d) ? d : 0.0;
        };
        ForOwnGroups(e.Record(), [&](int code, std::string_view value) {
            if (code == 210 || code == 220) {
                tilted |= number(value) != 0.0;
                return;
            }
            const int slot = code == 10 ? 0 : code == 20 ? 1 : code == 40 ? 2 : code == 50 ? 3 : code == 51 ? 4 : code == 230 ? 5 : -1;
            if (slot < 0 || seen[slot])
                return;
            seen[slot] = true;
            const double d = number(value);
            double* targets[5] = {&cx, &cy, &r, &a0, &a1};
            if (slot == 5)
                mirrored = d < 0;
            else
                *targets[slot] = d;
        });
        if (tilted)
            return false;
        constexpr double kTurn = 2 * std::numbers::pi;
        double start = arc ? a0 * std::numbers::pi / 180 : 0.0;
        double end = arc ? a1 * std::numbers::pi / 180 : kTurn;
        while (end <= start)
            end += kTurn;
        const double radiusPx = std::abs(r) * m_view.scale;
        const double step = 2.0 * std::acos(std::clamp(1.0 - 0.25 / std::max(radiusPx, 1e-9), -1.0, 1.0));
        const int n = std::clamp(int(std::ceil((end - start) / std::max(step, 1e-3))), 4, 1024);
        const double dc = std::cos((end - start) / n), ds = std::sin((end - start) / n);
        double ux = std::cos(start), uy = std::sin(start);
        const double sign = mirrored ? -1.0 : 1.0;
        Point3 last{sign * (cx + r * ux), cy + r * uy, 0.0};
        for (int i = 1; i <= n; ++i) {
            if (i == n) {
                ux = std::cos(end);
                uy = std::sin(end);
            } else {
                const double x = ux * dc - uy * ds;
                uy = ux * ds + uy * dc;
                ux = x;
            }
            const Point3 next{sign * (cx + r * ux), cy + r * uy, 0.0};
            Line(s, last, next);
            last = next;
        }
        return true;
    }

    void Polyline(LayerStyle& s, const std::vector<Point3>& points, bool closed)
    {
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            if (!IsBreak(points[i]) && !IsBreak(points[i + 1]))
                Line(s, points[i], points[i + 1]);
        if (closed && points.size() > 2)
            Line(s, points.back(), points.front());
    }

public:
    // A cached text or line without end in the style of that index.
    void Run(std::uint32_t style, const TextRun& run)
    {
        LayerStyle& s = m_styles[style];
        if (s.visible)
            Run(s, run);
    }
    void Endless(std::uint32_t style, const EndlessLine& l)
    {
        LayerStyle& s = m_styles[style];
        if (s.visible)
            Endless(s, l);
    }

    // How the view's glyphs measure a run (drawing units).
    TextMeasure Measure()
    {
        const QString font = Font().family();
        return [font](const TextRun& run) { return DrawingRenderer::GlyphMeasure(run, font); };
    }

private:

    LayerStyle* OwnStyleOf(const Entity& e)
    {
        const int index = StyleIndex(e);
        return index < 0 ? nullptr : &m_styles[std::size_t(index)];
    }

    LayerStyle* StyleOf(const QString& layer)
    {
        const int index = StyleIndex(layer);
        return index < 0 ? nullptr : &m_styles[std::size_t(index)];
    }

    void Line(LayerStyle& s, const Point3& a, const Point3& b)
    {
        const QPointF p = m_view.ToScreen(a.x, a.y), q = m_view.ToScreen(b.x, b.y);
        // Solid lines go straight into the pixels; dashed ones through the painter's pen.
        if (m_bits && !s.dashed) {
            PlotLine(p.x(), p.y(), q.x(), q.y(), s.rgb);
            return;
        }
        s.lines.emplace_back(p, q);
        if (s.lines.size() >= 8192)
            Flush(s);
    }

    // A one-pixel line: clipped to the image (Liang-Barsky), then stepped along its longer axis.
    void PlotLine(double x0, double y0, double x1, double y1, QRgb rgb)
    {
        const double maxX = m_image.width() - 0.5, maxY = m_image.height() - 0.5;
        double t0 = 0.0, t1 = 1.0;
        const double dx = x1 - x0, dy = y1 - y0;
        const bool inside = x0 >= -0.5 && x0 <= maxX && x1 >= -0.5 && x1 <= maxX && y0 >= -0.5 && y0 <= maxY
            && y1 >= -0.5 && y1 <= maxY;
        if (!inside) {
            const double pq[4][2] = {{-dx, x0 + 0.5}, {dx, maxX - x0}, {-dy, y0 + 0.5}, {dy, maxY - y0}};
            for (const auto& [pp, qq] : pq) {
                if (pp == 0.0) {
                    if (qq < 0.0)
                        return;
                } else {
                    const double r = qq / pp;
                    if (pp < 0.0) {
                        if (r > t1)
                            return;
                        t0 = std::max(t0, r);
                    } else {
                        if (r < t0)
                            return;
                        t1 = std::min(t1, r);
                    }
                }
            }
        }
        const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
        const double bx = x0 + t1 * dx, by = y0 + t1 * dy;
        const int w = m_image.width(), h = m_image.height();
        auto plot = [&](int x, int y) {
            if (unsigned(x) < unsigned(w) && unsigned(y) < unsigned(h))
                reinterpret_cast<QRgb*>(m_bits + std::ptrdiff_t(y) * m_stride)[x] = rgb;
        };
        const double ex = bx - ax, ey = by - ay;
        // Steps of at most one pixel: a segment 1.8 pixels long takes two, not one of 1.8 that
        // skips the pixel between its ends (curves drawn of short segments looked dotted).
        const int steps = int(std::ceil(std::max(std::abs(ex), std::abs(ey))));
        if (steps == 0) {
            plot(int(ax + 0.5), int(ay + 0.5));
            return;
        }
        const double sx = ex / steps, sy = ey / steps;
        double x = ax, y = ay;
        for (int i = 0; i <= steps; ++i, x += sx, y += sy)
            plot(int(x + 0.5), int(y + 0.5));
    }

    void Flush(LayerStyle& s)
    {
        if (s.lines.empty())
            return;
        m_painter.setPen(s.pen);
        m_painter.drawLines(s.lines.data(), int(s.lines.size()));
        s.lines.clear();
    }

    void PointMark(LayerStyle& s, const Point3& p)
    {
        const QPointF c = m_view.ToScreen(p.x, p.y);
        s.lines.emplace_back(c - QPointF(2, 0), c + QPointF(2, 0));
        s.lines.emplace_back(c - QPointF(0, 2), c + QPointF(0, 2));
    }

    void Solid(LayerStyle& s, const Entity& e)
    {
        Flush(s);
        QPolygonF poly;
        for (int i : {0, 1, 3, 2})
            poly << m_view.ToScreen(e.points[std::size_t(i)].x, e.points[std::size_t(i)].y);
        m_painter.setPen(QPen(s.color, 0));
        m_painter.setBrush(s.color);
        m_painter.drawPolygon(poly);
        m_painter.setBrush(Qt::NoBrush);
    }

    // A solid hatch: its boundary loops filled together (odd-even, so islands stay open).
    void Filled(LayerStyle& s, const std::vector<Point3>& outline)
    {
        Flush(s);
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        QPolygonF loop;
        auto close = [&] {
            if (loop.size() > 2)
                path.addPolygon(loop);
            loop.clear();
        };
        for (const Point3& p : outline) {
            if (IsBreak(p))
                close();
            else
                loop << m_view.ToScreen(p.x, p.y);
        }
        close();
        m_painter.setPen(QPen(s.color, 0));
        m_painter.setBrush(s.color);
        m_painter.drawPath(path);
        m_painter.setBrush(Qt::NoBrush);
    }

    void Text(LayerStyle& s, const Entity& e)
    {
        const double px = e.height * m_view.scale;
        const std::vector<Point3> corners = TextCorners(e);
        if (px < 3.0) {
            // Too small to read: its baseline stands in for it.
            Line(s, corners[0], corners[1]);
            return;
        }
        Flush(s);
        QFont font = Font();
        font.setPixelSize(std::max(1, int(std::lround(px / 0.72))));   // cap height ~ text height
        const QFontMetricsF fm(font);
        const double width = fm.horizontalAdvance(e.text);
        const double capHeight = fm.capHeight() > 0 ? fm.capHeight() : fm.ascent() * 0.7;
        // Place the glyphs by the real width: the anchor in the text's own frame.
        double ax = 0, ay = 0;
        QPointF anchor = m_view.ToScreen(e.points[0].x, e.points[0].y);
        if (e.alignment != kAlignLeft) {
            anchor = m_view.ToScreen(e.alignmentPoint.x, e.alignmentPoint.y);
            const int h = HorizontalJustification(e.alignment);
            ax = (h == 1 || h == 4) ? width / 2 : h == 2 ? width : 0;
            const int v = VerticalJustification(e.alignment);
            ay = e.alignment == kAlignMiddle || v == 2 ? capHeight / 2 : v == 3 ? capHeight : 0;
        }
        m_painter.save();
        m_painter.translate(anchor);
        m_painter.rotate(-e.rotation * 180.0 / std::numbers::pi);
        m_painter.setFont(font);
        m_painter.setPen(s.color);
        m_painter.drawText(QPointF(-ax, ay), e.text);
        m_painter.restore();
    }

    // The cap height of the font as a part of its pixel size (measured once per font).
    double CapRatio(QFont font)
    {
        const QString key = font.key();
        if (const auto it = m_capRatios.constFind(key); it != m_capRatios.cend())
            return *it;
        font.setPixelSize(200);
        const QFontMetricsF fm(font);
        const double cap = fm.capHeight() > 0 ? fm.capHeight() : fm.ascent() * 0.7;
        m_capRatios.insert(key, cap / 200.0);
        return cap / 200.0;
    }

    // One run of a text drawn from its record: its own font, height, width, lines and colour.
    void Run(LayerStyle& s, const TextRun& run)
    {
        const double px = run.height * m_view.scale;
        const double c = std::cos(run.rotation), n = std::sin(run.rotation);
        if (px < 3.0) {
            // Too small to read: its baseline stands in for it.
            const double w = CellMeasure(run);
            Line(s, run.at, Point3{run.at.x + c * w, run.at.y + n * w, run.at.z});
            return;
        }
        Flush(s);
        QFont font = run.font.isEmpty() ? Font() : QFont(run.font);
        font.setBold(run.bold || (run.font.isEmpty() && Font().bold()));
        font.setItalic(run.italic || (run.font.isEmpty() && Font().italic()));
        font.setUnderline(run.underline);
        font.setOverline(run.overline);
        font.setStrikeOut(run.strike);
        font.setPixelSize(std::max(1, int(std::lround(px / CapRatio(font)))));
        m_painter.save();
        m_painter.translate(m_view.ToScreen(run.at.x, run.at.y));
        m_painter.rotate(-run.rotation * 180.0 / std::numbers::pi);
        if (run.widthFactor > 0 && std::abs(run.widthFactor - 1.0) > 1e-9)
            m_painter.scale(std::clamp(run.widthFactor, 0.01, 100.0), 1.0);
        m_painter.setFont(font);
        m_painter.setPen(run.color >= 1 && run.color <= 255 ? AciColor(run.color) : s.color);
        m_painter.drawText(QPointF(0, 0), run.text);
        m_painter.restore();
    }

    // A line without end across the view.
    void Endless(LayerStyle& s, const EndlessLine& l)
    {
        Box2 box = m_view.VisibleBox();
        const double margin = 2.0 / std::max(m_view.scale, 1e-300);
        box = Box2{box.minX - margin, box.minY - margin, box.maxX + margin, box.maxY + margin};
        Point3 a, b;
        if (ClipEndless(l, box, a, b))
            Line(s, a, b);
    }

    QFont Font()
    {
        if (!m_fontReady) {
            const QString face = m_doc.ActiveTextStyle().font.typeface;
            m_font = QFont(face.isEmpty() ? QStringLiteral("DejaVu Sans") : face);
            m_font.setBold(m_doc.ActiveTextStyle().font.bold);
            m_font.setItalic(m_doc.ActiveTextStyle().font.italic);
            m_fontReady = true;
        }
        return m_font;
    }

    const Document& m_doc;
    const ViewTransform& m_view;
    QImage& m_image;
    QPainter m_painter;
    std::deque<LayerStyle> m_styles;   // the layers' styles, then the own ones (references stay valid)
    std::vector<LayerStyle*> m_byIndex;   // the styles by index, once all are made (StylesMade)
    QHash<QString, int> m_byName;
    std::vector<RenderCache::OwnStyle> m_own;
    QHash<QString, int> m_ownByKey;
    std::array<std::pair<const QChar*, int>, 8> m_recent{};   // layer name texts met last, and their styles
    std::size_t m_nextRecent = 0;
    RenderCache::OwnStyle m_lastOwnKey;
    int m_lastOwn = -1;
    QFont m_font;
    bool m_fontReady = false;
    QHash<QString, double> m_capRatios;
    uchar* m_bits = nullptr;     // the image's pixels, for solid lines
    qsizetype m_stride = 0;
};

} // namespace

namespace {

using Item = RenderCache::Item;

// An entity's items: lines and polyline edges as segments, every other entity with its extents;
// lines without end apart, as they cross every view.
void GatherEntity(const Document& doc, Painter& painter, std::uint32_t slot, const Entity& e, double ox, double oy,
                  std::vector<Item>& items, std::vector<RenderCache::Endless>& endless)
{
    const int style = painter.StyleIndex(e);
    if (style < 0)
        return;
    auto add = [&](const Point3& a, const Point3& b) {
        items.push_back({float(a.x - ox), float(a.y - oy), float(b.x - ox), float(b.y - oy), std::uint32_t(style), slot});
    };
    switch (e.kind) {
    case EntityKind::Line: add(e.points[0], e.points[1]); break;
    case EntityKind::Polyline3d:
    case EntityKind::LwPolyline: ForOutlineSegments(e.points, e.closed, false, add); break;
    default: {
        if (IsEndlessKind(e)) {
            for (const EndlessLine& l : EndlessLinesOf(ParseRecord(e.Record())))
                endless.push_back({std::uint32_t(style), slot, l});
            break;
        }
        const Box2 box = doc.Bounds(e);
        if (box.IsEmpty())
            break;
        const std::uint32_t flags = RenderCache::kWhole | (Painter::MayBeDot(e) ? RenderCache::kMayBeDot : 0u);
        // Extents rounded outwards, so that the dot test never takes a larger one for smaller.
        items.push_back({std::nextafter(float(box.minX - ox), -INFINITY), std::nextafter(float(box.minY - oy), -INFINITY),
                         std::nextafter(float(box.maxX - ox), INFINITY), std::nextafter(float(box.maxY - oy), INFINITY),
                         std::uint32_t(style) | flags, slot});
        break;
    }
    }
}

// Gathers the whole drawing into compact items, in slot order.
void Gather(const Document& doc, Painter& painter, RenderCache::Data& cache)
{
    const Box2 extents = doc.Extents();
    cache.originX = extents.IsEmpty() ? 0.0 : extents.minX;
    cache.originY = extents.IsEmpty() ? 0.0 : extents.minY;
    cache.items.clear();
    cache.items.reserve(doc.EntityCount() + doc.EntityCount() / 8);
    cache.changed.clear();
    cache.endless.clear();
    for (std::uint32_t slot = 0, n = doc.SlotCount(); slot < n; ++slot)
        if (const Entity* e = doc.AtSlot(slot))
            GatherEntity(doc, painter, slot, *e, cache.originX, cache.originY, cache.items, cache.endless);
}

bool BySlot(const Item& a, const Item& b)
{
    return a.slot < b.slot;
}

// Brings the items up to date with the entities changed since they were gathered: the items of
// each such entity are marked gone and its new ones kept apart, in slot order, until they are
// many enough to be packed into the rest.
void Update(const Document& doc, Painter& painter, RenderCache::Data& cache, std::vector<std::uint32_t> touched)
{
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    const auto isTouched = [&](std::uint32_t slot) { return std::binary_search(touched.begin(), touched.end(), slot); };
    for (const std::uint32_t slot : touched) {
        auto [from, to] = std::equal_range(cache.items.begin(), cache.items.end(), Item{0, 0, 0, 0, 0, slot}, BySlot);
        for (; from != to; ++from)
            from->style = RenderCache::kGone;
    }
    std::erase_if(cache.changed, [&](const Item& item) { return isTouched(item.slot); });
    std::erase_if(cache.endless, [&](const RenderCache::Endless& l) { return isTouched(l.slot); });
    std::vector<Item> fresh;
    for (const std::uint32_t slot : touched)
        if (const Entity* e = doc.AtSlot(slot))
            GatherEntity(doc, painter, slot, *e, cache.originX, cache.originY, fresh, cache.endless);
    const std::size_t middle = cache.changed.size();
    cache.changed.insert(cache.changed.end(), fresh.begin(), fresh.end());
    std::inplace_merge(cache.changed.begin(), cache.changed.begin() + std::ptrdiff_t(middle), cache.changed.end(), BySlot);
    if (cache.changed.size() > cache.items.size() / 16 + 4096) {
        std::vector<Item> packed;
        packed.reserve(cache.items.size() + cache.changed.size());
        std::merge(cache.items.begin(), cache.items.end(), cache.changed.begin(), cache.changed.end(),
                   std::back_inserter(packed), BySlot);
        std::erase_if(packed, [](const Item& item) { return (item.style & RenderCache::kStyleIndex) == RenderCache::kGone; });
        cache.items = std::move(packed);
        cache.changed.clear();
    }
}

// True when the layer table still begins with the layers the style indices were given by; with
// own styles (numbered after the layers) no layer may have been added either.
bool SameLayers(const Document& doc, const RenderCache::Data& cache)
{
    const LayerTable& layers = doc.Layers();
    const std::vector<QString>& names = cache.layers;
    if (layers.Count() < int(names.size()) || (!cache.ownStyles.empty() && layers.Count() != int(names.size())))
        return false;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (layers.At(int(i)).name != names[i])
            return false;
    return true;
}

} // namespace

void DrawingRenderer::Render(const Document& doc, const ViewTransform& view, QImage& image, RenderCache* cache)
{
    image.fill(Background());
    Painter painter(doc, view, image);
    const Box2 visible = view.VisibleBox();
    const Box2 extents = doc.Extents();
    // When most of the drawing is in view, a straight pass beats the index.
    const bool most = extents.IsEmpty() || (visible.minX <= extents.minX && visible.maxX >= extents.maxX
                                            && visible.minY <= extents.minY && visible.maxY >= extents.maxY);
    // With the view's cache, a view showing a sixteenth of the drawing or more walks the compact
    // items and passes over those out of sight; a view of a smaller part asks the spatial index.
    bool large = most;
    if (!large && visible.Intersects(extents)) {
        const double w = std::min(visible.maxX, extents.maxX) - std::max(visible.minX, extents.minX);
        const double h = std::min(visible.maxY, extents.maxY) - std::max(visible.minY, extents.minY);
        large = w * h * 16.0 >= extents.Width() * extents.Height();
    }
    if (!cache || !large) {
        if (most)
            doc.ForEachEntity([&](const Entity& e) { painter.Paint(e); });
        else
            doc.ForEachEntityIn(visible, [&](const Entity& e) { painter.Paint(e); });
        return;
    }
    RenderCache::Data& data = cache->m_data;
    // Gathered again: for another drawing, when layers went or moved (the items name them by
    // index), or when the changes since are not known or too many to be worth following one by one.
    bool gather = cache->m_doc != &doc || !SameLayers(doc, data);
    std::vector<std::uint32_t> changed;
    if (!gather && cache->m_revision != doc.Revision())
        gather = !doc.ChangedSince(cache->m_revision, changed) || changed.size() > data.items.size() / 8 + 4096;
    if (gather) {
        Gather(doc, painter, data);
        ++cache->m_gatherings;
    } else {
        // The items name the own styles by the indices the gathering gave them.
        for (const RenderCache::OwnStyle& own : data.ownStyles)
            painter.OwnStyleIndex(own);
        if (cache->m_revision != doc.Revision())
            Update(doc, painter, data, std::move(changed));
    }
    data.ownStyles = painter.OwnStyles();
    data.layers.resize(std::size_t(doc.Layers().Count()));
    for (int i = 0; i < doc.Layers().Count(); ++i)
        data.layers[std::size_t(i)] = doc.Layers().At(i).name;
    cache->m_doc = &doc;
    cache->m_revision = doc.Revision();
    painter.StylesMade();
    const double ox = data.originX, oy = data.originY;
    // The items of changed entities go in among the others by slot: the drawing order stays the
    // order the entities were made in.
    auto each = [&](auto visit) {
        std::size_t next = 0;
        const std::vector<Item>& changed = data.changed;
        for (const Item& item : data.items) {
            while (next < changed.size() && changed[next].slot < item.slot)
                visit(changed[next++]);
            visit(item);
        }
        while (next < changed.size())
            visit(changed[next++]);
    };
    if (most) {
        each([&](const Item& item) { painter.Item(item, ox, oy); });
    } else {
        // The visible box relative to the origin, a little larger so that rounding loses nothing.
        const double pad = 2.0 / view.scale;
        const float x0 = float(visible.minX - ox - pad), y0 = float(visible.minY - oy - pad);
        const float x1 = float(visible.maxX - ox + pad), y1 = float(visible.maxY - oy + pad);
        each([&](const Item& item) {
            if (std::max(item.x0, item.x1) < x0 || std::min(item.x0, item.x1) > x1 || std::max(item.y0, item.y1) < y0
                || std::min(item.y0, item.y1) > y1)
                return;
            painter.Item(item, ox, oy);
        });
    }
    for (const RenderCache::Endless& l : data.endless)
        painter.Endless(l.style, l.line);
}

double DrawingRenderer::GlyphMeasure(const TextRun& run, const QString& drawingFont)
{
    // Metrics of each font at a reference size, kept for the next runs of the same font.
    constexpr int kReference = 200;   // pixels: glyph widths measured at this size, then scaled
    struct Metrics {
        QFontMetricsF fm;
        double cap;
    };
    // Kept for the life of the program (never destroyed: font metrics must not outlive the
    // application object); drawing happens on the window's thread only.
    static auto* const known = new QHash<QString, std::shared_ptr<Metrics>>;
    QFont font(run.font.isEmpty() ? drawingFont : run.font);
    font.setBold(run.bold);
    font.setItalic(run.italic);
    font.setPixelSize(kReference);
    std::shared_ptr<Metrics>& m = (*known)[font.key()];
    if (!m) {
        QFontMetricsF fm(font);
        const double cap = fm.capHeight() > 0 ? fm.capHeight() : fm.ascent() * 0.7;
        m = std::make_shared<Metrics>(Metrics{fm, cap});
    }
    return m->fm.horizontalAdvance(run.text) * run.height / m->cap * run.widthFactor;
}

} // namespace cadhost
