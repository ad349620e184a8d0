// Guards against the spatial index missing or inventing hits: crossing selection and running
// object snap on random drawings are checked against a brute-force search written with Qt's
// own geometry, including windows that shrink to a point and edits after the index was built.
#include <cmath>
#include <random>

#include <QLineF>
#include <QPolygonF>
#include <QRectF>

#include <gtest/gtest.h>

#include "cadhost/engine/Document.h"
#include "support/EngineChecks.h"

using namespace cadhost;

namespace {

// ---- the brute-force oracle, independent of the engine's geometry code

bool PointOnSegment(QPointF p, QLineF s)
{
    const QPointF d = s.p2() - s.p1();
    const double len = std::hypot(d.x(), d.y());
    if (len == 0)
        return QLineF(p, s.p1()).length() < 1e-9;
    const double cross = std::abs(d.x() * (p.y() - s.y1()) - d.y() * (p.x() - s.x1())) / len;
    const double t = ((p.x() - s.x1()) * d.x() + (p.y() - s.y1()) * d.y()) / (len * len);
    return cross < 1e-9 && t >= -1e-12 && t <= 1 + 1e-12;
}

bool SegmentMeetsRect(QLineF s, const QRectF& r)
{
    auto inside = [&](QPointF p) {
        return p.x() >= r.left() && p.x() <= r.right() && p.y() >= r.top() && p.y() <= r.bottom();
    };
    if (inside(s.p1()) || inside(s.p2()))
        return true;
    if (r.width() == 0 && r.height() == 0)
        return PointOnSegment(r.topLeft(), s);
    const QLineF edges[4] = {{r.topLeft(), r.topRight()}, {r.topRight(), r.bottomRight()},
                             {r.bottomRight(), r.bottomLeft()}, {r.bottomLeft(), r.topLeft()}};
    for (const QLineF& e : edges) {
        if (e.length() == 0)
            continue;
        if (s.intersects(e, nullptr) == QLineF::BoundedIntersection)
            return true;
        if (PointOnSegment(e.p1(), s) || PointOnSegment(e.p2(), s))
            return true;
    }
    return false;
}

std::vector<QLineF> Segments(const Entity& e)
{
    std::vector<QLineF> out;
    auto q = [](const Point3& p) { return QPointF(p.x, p.y); };
    const auto& p = e.points;
    switch (e.kind) {
    case EntityKind::Line: out.emplace_back(q(p[0]), q(p[1])); break;
    case EntityKind::LwPolyline:
    case EntityKind::Polyline3d:
        for (std::size_t i = 0; i + 1 < p.size(); ++i)
            out.emplace_back(q(p[i]), q(p[i + 1]));
        break;
    case EntityKind::Solid:
        out = {{q(p[0]), q(p[1])}, {q(p[1]), q(p[3])}, {q(p[3]), q(p[2])}, {q(p[2]), q(p[0])}};
        break;
    default: break;
    }
    return out;
}

bool OracleCrosses(const Entity& e, const QRectF& r)
{
    if (e.kind == EntityKind::Point)
        return e.points[0].x >= r.left() && e.points[0].x <= r.right() && e.points[0].y >= r.top()
            && e.points[0].y <= r.bottom();
    for (const QLineF& s : Segments(e))
        if (SegmentMeetsRect(s, r))
            return true;
    if (e.kind == EntityKind::Solid) {
        QPolygonF poly;
        for (int i : {0, 1, 3, 2})
            poly << QPointF(e.points[std::size_t(i)].x, e.points[std::size_t(i)].y);
        return poly.containsPoint(r.topLeft(), Qt::OddEvenFill);
    }
    return false;
}

// ---- random drawings

void FillRandom(Document& doc, std::mt19937& rng, int count, double size)
{
    std::uniform_real_distribution<double> coord(0, size), len(-size / 20, size / 20);
    std::uniform_int_distribution<int> kind(0, 9);
    for (int i = 0; i < count; ++i) {
        const double x = coord(rng), y = coord(rng);
        switch (kind(rng)) {
        case 0: doc.AddPoint({x, y, 0}); break;
        case 1: doc.AddLightWeightPolyline({x, y, x + len(rng), y + len(rng), x + len(rng), y + len(rng)}); break;
        case 2: doc.AddPolyline({x, y, 1, x + len(rng), y + len(rng), 2}); break;
        case 3: doc.AddSolid({x, y, 0}, {x + std::abs(len(rng)), y, 0}, {x, y + std::abs(len(rng)), 0},
                             {x, y + std::abs(len(rng)), 0}); break;
        case 4: doc.AddLine({x, y, 0}, {coord(rng), coord(rng), 0}); break;   // long lines too
        default: doc.AddLine({x, y, 0}, {x + len(rng), y + len(rng), 0}); break;
        }
    }
}

std::vector<ObjectId> BruteCrossing(const Document& doc, const QRectF& r)
{
    std::vector<ObjectId> ids;
    doc.ForEachEntity([&](const Entity& e) {
        if (OracleCrosses(e, r))
            ids.push_back(e.id);
    });
    return ids;
}

} // namespace

TEST(CrossingSelection, MatchesBruteForceOnRandomDrawings)
{
    std::mt19937 rng(20261208);
    for (int drawing = 0; drawing < 4; ++drawing) {
        Document doc("Drawing1.dxf");
        FillRandom(doc, rng, 3000, 1000.0);
        std::uniform_real_distribution<double> coord(-50, 1050), side(0, 60);
        for (int q = 0; q < 200; ++q) {
            const double x = coord(rng), y = coord(rng);
            const double w = q % 4 == 0 ? 0.0 : side(rng), h = q % 4 == 0 ? 0.0 : side(rng);
            const Box2 window{x, y, x + w, y + h};
            EXPECT_EQ(doc.SelectCrossing(window), BruteCrossing(doc, QRectF(x, y, w, h)))
                << "drawing " << drawing << " window " << x << "," << y << " " << w << "x" << h;
        }
    }
}

TEST(CrossingSelection, PointWindowsOnVerticesAndAfterEditsMatchBruteForce)
{
    std::mt19937 rng(7);
    Document doc("Drawing1.dxf");
    FillRandom(doc, rng, 2000, 500.0);
    std::vector<Point3> vertices;
    doc.ForEachEntity([&](const Entity& e) { vertices.push_back(e.points[0]); });
    doc.SelectCrossing(Box2{0, 0, 1, 1});   // build the index, then edit behind it
    std::uniform_real_distribution<double> coord(0, 500);
    std::vector<ObjectId> erased;
    doc.ForEachEntity([&](const Entity& e) {
        if (e.id % 3 == 0)
            erased.push_back(e.id);
    });
    for (ObjectId id : erased)
        doc.Erase(id);
    for (int i = 0; i < 300; ++i) {
        const double x = coord(rng), y = coord(rng);
        doc.AddLine({x, y, 0}, {x + 3, y - 2, 0});
        vertices.push_back({x + 3, y - 2, 0});
    }
    doc.AddLine({-400, -400, 0}, {900, 900, 0});   // grows the extents
    cadhost::test::ExpectDocumentConsistent(doc);
    for (std::size_t i = 0; i < vertices.size(); i += 7) {
        const Point3& v = vertices[i];
        EXPECT_EQ(doc.SelectCrossing(Box2::FromCorners(v, v)), BruteCrossing(doc, QRectF(v.x, v.y, 0, 0)));
    }
}

TEST(CrossingSelection, ErasedEntitiesHiddenAcrossIndexBuildsAreFoundAgainOnceBroughtBack)
{
    std::mt19937 rng(11);
    Document doc("Drawing1.dxf");
    FillRandom(doc, rng, 3000, 500.0);
    doc.SelectCrossing(Box2{0, 0, 1, 1});   // build the index, then erase behind it
    auto matchesBruteForce = [&](const char* when) {
        std::uniform_real_distribution<double> coord(-20, 520), side(0, 40);
        for (int q = 0; q < 60; ++q) {
            const double x = coord(rng), y = coord(rng), w = side(rng), h = side(rng);
            ASSERT_EQ(doc.SelectCrossing(Box2{x, y, x + w, y + h}), BruteCrossing(doc, QRectF(x, y, w, h)))
                << when << ", window " << x << "," << y << " " << w << "x" << h;
        }
        cadhost::test::ExpectDocumentConsistent(doc);
    };
    SelectionSet& set = doc.AddSelectionSet("tempss");
    set.Select(kSelectCrossing, Point3{100, 100, 0}, Point3{400, 400, 0});
    const std::size_t erased = std::size_t(set.Count());
    ASSERT_GT(erased, 500u);
    set.Erase();
    matchesBruteForce("erased, index standing");
    // A line far out grows the extents: the index is built again while the erased ones are hidden.
    doc.AddLine({-3000, -3000, 0}, {-2990, -2990, 0});
    matchesBruteForce("index built again around the hidden ones");
    ASSERT_TRUE(doc.Undo());   // the far line
    ASSERT_TRUE(doc.Undo());   // the erase
    EXPECT_EQ(doc.EntityCount(), 3000u);
    matchesBruteForce("brought back after the index was built without them");
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.EntityCount(), 3000u - erased);
    matchesBruteForce("erased again");
}

namespace {

// Every snap candidate of the drawing by brute force: points, vertices, pairwise crossings.
struct Candidates {
    std::vector<QPointF> nodes, ends, crossings;
};

Candidates AllCandidates(const Document& doc)
{
    Candidates c;
    std::vector<QLineF> segments;
    doc.ForEachEntity([&](const Entity& e) {
        if (e.kind == EntityKind::Point) {
            c.nodes.emplace_back(e.points[0].x, e.points[0].y);
            return;
        }
        for (const Point3& p : e.points)
            c.ends.emplace_back(p.x, p.y);
        for (const QLineF& s : Segments(e))
            segments.push_back(s);
    });
    for (std::size_t i = 0; i < segments.size(); ++i)
        for (std::size_t j = i + 1; j < segments.size(); ++j) {
            QPointF p;
            if (segments[i].intersects(segments[j], &p) == QLineF::BoundedIntersection)
                c.crossings.push_back(p);
        }
    return c;
}

std::optional<double> BruteSnapDistance(const Candidates& c, QPointF at, double aperture, int modes)
{
    std::optional<double> best;
    auto offer = [&](const std::vector<QPointF>& points) {
        for (QPointF p : points) {
            const double d = QLineF(at, p).length();
            if (d <= aperture && (!best || d < *best))
                best = d;
        }
    };
    if (modes & kSnapNode)
        offer(c.nodes);
    if (modes & kSnapEndpoint)
        offer(c.ends);
    if (modes & kSnapIntersection)
        offer(c.crossings);
    return best;
}

} // namespace

TEST(ObjectSnap, NearestSnapMatchesBruteForceForEachModeAndCombinations)
{
    std::mt19937 rng(42);
    Document doc("Drawing1.dxf");
    FillRandom(doc, rng, 1200, 300.0);
    const Candidates candidates = AllCandidates(doc);
    std::uniform_real_distribution<double> coord(0, 300);
    for (int modes : std::initializer_list<int>{kSnapNode, kSnapEndpoint, kSnapIntersection, kSnapNode | kSnapEndpoint,
                      kSnapEndpoint | kSnapIntersection, kSnapNode | kSnapIntersection}) {
        int hits = 0;
        for (int q = 0; q < 150; ++q) {
            const Point3 at{coord(rng), coord(rng), 0};
            const double aperture = 6.0;
            const auto snap = doc.Snap(at, aperture, modes);
            const auto brute = BruteSnapDistance(candidates, {at.x, at.y}, aperture, modes);
            ASSERT_EQ(snap.has_value(), brute.has_value()) << "modes " << modes << " at " << at.x << "," << at.y;
            if (snap) {
                ++hits;
                EXPECT_NEAR(std::hypot(snap->point.x - at.x, snap->point.y - at.y), *brute, 1e-9);
                EXPECT_NE(snap->mode & modes, 0);
            }
        }
        EXPECT_GT(hits, 10) << "the drawing is too sparse to test modes " << modes;
    }
}

TEST(ObjectSnap, AHugeApertureOverACrowdedDrawingStillFindsTheCrossingAtTheCursor)
{
    // A view zoomed far out gives an aperture that covers thousands of lines.
    Document doc("Drawing1.dxf");
    for (int i = 0; i < 3000; ++i)
        doc.AddLine({double(i), 0, 0}, {double(i) + 0.5, 1000, 0});   // steep, side by side
    doc.AddLine({-10, 500.25, 0}, {4000, 500.25, 0});                 // crosses them all
    const auto snap = doc.Snap({1500.3, 500.2, 0}, 1e6, kSnapIntersection);
    ASSERT_TRUE(snap);
    EXPECT_NEAR(snap->point.y, 500.25, 1e-9);
    EXPECT_NEAR(snap->point.x, 1500.0 + 0.5 * 500.25 / 1000, 1e-9);
}

TEST(ObjectSnap, KnownPointsAndHiddenLayers)
{
    Document doc("Drawing1.dxf");
    doc.AddLine({0, 0, 0}, {10, 10, 0});
    doc.AddLine({0, 10, 0}, {10, 0, 0});
    doc.AddPoint({3, 0, 0});
    const auto cross = doc.Snap({5.5, 5.2, 0}, 1.0, kSnapIntersection);
    ASSERT_TRUE(cross);
    EXPECT_NEAR(cross->point.x, 5.0, 1e-12);
    EXPECT_NEAR(cross->point.y, 5.0, 1e-12);
    EXPECT_EQ(cross->mode, kSnapIntersection);
    EXPECT_FALSE(doc.Snap({5.5, 5.2, 0}, 1.0, kSnapEndpoint | kSnapNode));
    const auto node = doc.Snap({2.5, 0.5, 0}, 1.0, kSnapNode | kSnapEndpoint);
    ASSERT_TRUE(node);
    EXPECT_EQ(node->point, (Point3{3, 0, 0}));
    EXPECT_EQ(node->mode, kSnapNode);
    EXPECT_FALSE(doc.Snap({2.5, 0.5, 0}, 1.0, 0));
    doc.AddLayer("Off");
    doc.SetActiveLayer("Off");
    doc.AddPoint({20, 20, 0});
    doc.SetActiveLayer("0");
    doc.SetLayerOn("Off", false);
    EXPECT_FALSE(doc.Snap({20, 20, 0}, 1.0, kSnapNode));
    doc.SetLayerOn("Off", true);
    EXPECT_TRUE(doc.Snap({20, 20, 0}, 1.0, kSnapNode));
}
