// Running object snap of a document: the points its entities offer near the cursor, the
// intersections of straight segments there, and for the kinds drawn from their records the
// exact points their units give.
#include <algorithm>
#include <cmath>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfOutline.h"
#include "cadhost/engine/DxfRecord.h"

namespace cadhost {

namespace {

struct Segment {
    Point3 a, b;
};

// Intersection of two segments (ends included); false when parallel or apart.
bool Intersect(const Segment& s, const Segment& t, Point3& at)
{
    const double rx = s.b.x - s.a.x, ry = s.b.y - s.a.y;
    const double qx = t.b.x - t.a.x, qy = t.b.y - t.a.y;
    const double den = rx * qy - ry * qx;
    const double scale = std::hypot(rx, ry) * std::hypot(qx, qy);
    if (scale == 0.0 || std::abs(den) <= 1e-12 * scale)
        return false;
    const double wx = t.a.x - s.a.x, wy = t.a.y - s.a.y;
    const double u = (wx * qy - wy * qx) / den;
    const double v = (wx * ry - wy * rx) / den;
    constexpr double eps = 1e-12;
    if (u < -eps || u > 1 + eps || v < -eps || v > 1 + eps)
        return false;
    at = Point3{s.a.x + u * rx, s.a.y + u * ry, 0.0};
    return true;
}

void SegmentsOf(const Entity& e, std::vector<Segment>& out)
{
    const auto& p = e.points;
    switch (e.kind) {
    case EntityKind::Line:
        out.push_back({p[0], p[1]});
        break;
    case EntityKind::Polyline3d:
    case EntityKind::LwPolyline:
        for (std::size_t i = 0; i + 1 < p.size(); ++i)
            out.push_back({p[i], p[i + 1]});
        if (e.closed && p.size() > 2)
            out.push_back({p.back(), p.front()});
        break;
    case EntityKind::Solid:
        out.push_back({p[0], p[1]});
        out.push_back({p[1], p[3]});
        out.push_back({p[3], p[2]});
        out.push_back({p[2], p[0]});
        break;
    default:
        break;
    }
}

} // namespace

std::optional<SnapResult> Document::Snap(const Point3& at, double aperture, int modes) const
{
    if (!(aperture >= 0.0) || (modes & kSnapModesAnswered) == 0)
        return std::nullopt;
    const Box2 box{at.x - aperture, at.y - aperture, at.x + aperture, at.y + aperture};
    std::optional<SnapResult> best;
    double bestDistance = aperture;
    auto offerAt = [&](const Point3& p, int mode, double d) {
        if (d < bestDistance || (d == bestDistance && !best)) {
            bestDistance = d;
            best = SnapResult{p, mode};
        }
    };
    auto offer = [&](const Point3& p, int mode) { offerAt(p, mode, std::hypot(p.x - at.x, p.y - at.y)); };
    const DxfBlocks& blocks = Blocks();
    std::vector<Segment> segments;
    m_index.Query(box, [&](std::uint32_t slot) {
        const Entity& e = m_store.At(slot);
        const Layer* layer = m_layers.Find(e.layer);
        if (layer && !layer->Visible())
            return true;
        if (e.kind == EntityKind::Point) {
            if (modes & kSnapNode)
                offer(e.points[0], kSnapNode);
            return true;
        }
        if (e.kind == EntityKind::Text) {
            if (modes & kSnapInsertion)
                offer(e.alignment == kAlignLeft ? e.points[0] : e.alignmentPoint, kSnapInsertion);
            return true;
        }
        if (e.kind == EntityKind::Other) {
            // Kinds drawn from their records offer the exact points their unit knows (their
            // outline points are no ends). A centre is offered also while the cursor is on the
            // curve, behind any point that lies within the aperture itself.
            if (e.Record().empty())
                return true;
            std::optional<bool> onCurve;
            for (const SnapPoint& p : SnapPointsOf(ParseRecord(e.Record()), blocks, modes)) {
                const double d = std::hypot(p.at.x - at.x, p.at.y - at.y);
                if (d <= aperture) {
                    offerAt(p.at, p.mode, d);
                } else if (p.mode == kSnapCenter) {
                    if (!onCurve)
                        onCurve = CrossesWindow(e, box);
                    if (*onCurve)
                        offerAt(p.at, p.mode, aperture);
                }
            }
            return true;
        }
        if (modes & kSnapEndpoint)
            for (const Point3& p : e.points)
                offer(p, kSnapEndpoint);
        if (modes & kSnapIntersection) {
            const std::size_t first = segments.size();
            SegmentsOf(e, segments);
            // Keep only the segments that come near the cursor.
            std::size_t keep = first;
            for (std::size_t i = first; i < segments.size(); ++i)
                if (Box2::FromCorners(segments[i].a, segments[i].b).Intersects(box))
                    segments[keep++] = segments[i];
            segments.resize(keep);
        }
        return true;
    });
    if (modes & kSnapIntersection) {
        // Pairs grow with the square: in a crowded aperture only the segments nearest the
        // cursor are intersected, so a far zoomed-out pick stays quick.
        constexpr std::size_t kMostSegments = 512;
        if (segments.size() > kMostSegments) {
            auto distance = [&](const Segment& s) {
                const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
                const double len2 = dx * dx + dy * dy;
                const double t = len2 > 0 ? std::clamp(((at.x - s.a.x) * dx + (at.y - s.a.y) * dy) / len2, 0.0, 1.0) : 0.0;
                return std::hypot(s.a.x + t * dx - at.x, s.a.y + t * dy - at.y);
            };
            std::nth_element(segments.begin(), segments.begin() + kMostSegments, segments.end(),
                             [&](const Segment& l, const Segment& r) { return distance(l) < distance(r); });
            segments.resize(kMostSegments);
        }
        Point3 p;
        for (std::size_t i = 0; i < segments.size(); ++i)
            for (std::size_t j = i + 1; j < segments.size(); ++j)
                if (Intersect(segments[i], segments[j], p))
                    offer(p, kSnapIntersection);
    }
    return best;
}

} // namespace cadhost
