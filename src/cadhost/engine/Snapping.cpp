// Running object snap of a document: the points its entities offer near the cursor, where
// their exact pieces (segments, arcs of circles and ellipses, lines without end) cross there,
// and for the kinds drawn from their records the exact points their units give.
#include <algorithm>
#include <cmath>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfOutline.h"
#include "cadhost/engine/DxfRecord.h"

namespace cadhost {

namespace {

// The straight pieces of the host's own kinds.
void PiecesOfOwnKind(const Entity& e, std::vector<CurvePiece>& out)
{
    const auto& p = e.points;
    auto segment = [&](const Point3& a, const Point3& b) { out.push_back(CurvePiece::Segment(a, b)); };
    switch (e.kind) {
    case EntityKind::Line:
        segment(p[0], p[1]);
        break;
    case EntityKind::Polyline3d:
    case EntityKind::LwPolyline:
        for (std::size_t i = 0; i + 1 < p.size(); ++i)
            segment(p[i], p[i + 1]);
        if (e.closed && p.size() > 2)
            segment(p.back(), p.front());
        break;
    case EntityKind::Solid:
        segment(p[0], p[1]);
        segment(p[1], p[3]);
        segment(p[3], p[2]);
        segment(p[2], p[0]);
        break;
    default:
        break;
    }
}

// How far the cursor is from a piece's reach (0 inside it).
double DistanceTo(const CurvePiece& piece, const Point3& at)
{
    const Box2 r = piece.Reach();
    const double dx = std::max({r.minX - at.x, 0.0, at.x - r.maxX});
    const double dy = std::max({r.minY - at.y, 0.0, at.y - r.maxY});
    return std::hypot(dx, dy);
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
    std::vector<CurvePiece> pieces;
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
            const DxfRecord record = ParseRecord(e.Record());
            if (modes & kSnapIntersection) {
                // Their exact pieces near the cursor; a line without end as its part there.
                for (const CurvePiece& piece : PiecesOf(record, blocks))
                    if (piece.Reach().Intersects(box))
                        pieces.push_back(piece);
                Point3 a, b;
                for (const EndlessLine& line : EndlessLinesOf(record))
                    if (ClipEndless(line, box, a, b))
                        pieces.push_back(CurvePiece::Segment(a, b));
            }
            std::optional<bool> onCurve;
            for (const SnapPoint& p : SnapPointsOf(record, blocks, modes)) {
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
            const std::size_t first = pieces.size();
            PiecesOfOwnKind(e, pieces);
            // Keep only the segments that come near the cursor.
            std::size_t keep = first;
            for (std::size_t i = first; i < pieces.size(); ++i)
                if (pieces[i].Reach().Intersects(box))
                    pieces[keep++] = pieces[i];
            pieces.resize(keep);
        }
        return true;
    });
    if (modes & kSnapIntersection) {
        // Pairs grow with the square: in a crowded aperture only the pieces nearest the
        // cursor are intersected, so a far zoomed-out pick stays quick.
        constexpr std::size_t kMostPiecesMet = 512;
        if (pieces.size() > kMostPiecesMet) {
            std::nth_element(pieces.begin(), pieces.begin() + kMostPiecesMet, pieces.end(),
                             [&](const CurvePiece& l, const CurvePiece& r) { return DistanceTo(l, at) < DistanceTo(r, at); });
            pieces.resize(kMostPiecesMet);
        }
        std::vector<Point3> crossings;
        for (std::size_t i = 0; i < pieces.size(); ++i)
            for (std::size_t j = i + 1; j < pieces.size(); ++j) {
                crossings.clear();
                Crossings(pieces[i], pieces[j], crossings);
                for (const Point3& p : crossings)
                    offer(p, kSnapIntersection);
            }
    }
    return best;
}

} // namespace cadhost
