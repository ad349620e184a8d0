// The curves the kinds are drawn with, as runs of points: arcs, bulged polyline segments,
// elliptical arcs and B-splines.
#pragma once

#include <vector>

#include "cadhost/engine/Geometry.h"

namespace cadhost {

// The points of an arc from a0 to a1 (radians, counter-clockwise, a1 > a0) about the centre,
// the quadrant points it passes among them (so that its extents are exact).
std::vector<Point3> ArcPoints(const Point3& centre, double radius, double a0, double a1);
// The points of a polyline segment from p to q with bulge b (tan of a quarter of its angle,
// positive counter-clockwise), q included, p not.
void BulgePoints(const Point3& p, const Point3& q, double bulge, std::vector<Point3>& out);
// The centre of the arc of a bulged segment; false for a straight one.
bool BulgeCentre(const Point3& p, const Point3& q, double bulge, Point3& centre);
// A polyline's vertices with their bulges as one run of points (back to the first when closed).
std::vector<Point3> BulgedRun(const std::vector<Point3>& vertices, const std::vector<double>& bulges, bool closed);
// An elliptical arc of centre c, major axis m (relative to c), minor axis `minor` (relative),
// from parameter t0 to t1 (t1 taken past t0 by whole turns).
std::vector<Point3> EllipsePoints(const Point3& c, const Point3& m, const Point3& minor, double t0, double t1);
// Points along a B-spline of the given knots, control points and weights (all 1 or empty
// for a non-rational one), from the first to the last parameter of its domain.
std::vector<Point3> SplinePoints(int degree, const std::vector<double>& knots, const std::vector<Point3>& controls,
                                 const std::vector<double>& weights, int count);

// A piece of an entity's drawn shape, exact, in drawing coordinates: a straight segment from
// a to b, or an arc of an ellipse c + u cos t + v sin t for t from t0 to t1 (t1 > t0). Circles
// and their arcs are such ellipses too, however they are placed: tilted out of the xy plane,
// turned or scaled by a block reference.
struct CurvePiece {
    bool straight = true;
    Point3 a, b;
    Point3 c, u, v;
    double t0 = 0.0, t1 = 0.0;
    // Its quadrant points are the ends of its axes (an ellipse's own), not where it reaches
    // farthest along x and y (a circle's).
    bool axisQuadrants = false;

    static CurvePiece Segment(const Point3& a, const Point3& b);
    static CurvePiece Arc(const Point3& c, const Point3& u, const Point3& v, double t0, double t1);
    Point3 At(double t) const;
    // The piece carried by an affine map of points (a placement, a plane's axes).
    template <class Map>
    CurvePiece Mapped(const Map& map) const
    {
        CurvePiece out = *this;
        if (straight) {
            out.a = map(a);
            out.b = map(b);
        } else {
            out.c = map(c);
            const Point3 pu = map(Point3{c.x + u.x, c.y + u.y, c.z + u.z});
            const Point3 pv = map(Point3{c.x + v.x, c.y + v.y, c.z + v.z});
            out.u = Point3{pu.x - out.c.x, pu.y - out.c.y, pu.z - out.c.z};
            out.v = Point3{pv.x - out.c.x, pv.y - out.c.y, pv.z - out.c.z};
        }
        return out;
    }
    // Its extents in the xy plane (for an arc, those of its whole ellipse).
    Box2 Reach() const;
};

// The pieces of a run of points that are straight segments (breaks kept apart).
void StraightPieces(const std::vector<Point3>& run, std::vector<CurvePiece>& out);
// The pieces of a polyline's vertices with their bulges (back to the first when closed).
void BulgedPieces(const std::vector<Point3>& vertices, const std::vector<double>& bulges, bool closed,
                  std::vector<CurvePiece>& out);

// Where two pieces cross, seen from above (in the xy plane): the points on `p`. Pieces that
// only touch without crossing (a tangent) give none.
void Crossings(const CurvePiece& p, const CurvePiece& q, std::vector<Point3>& out);
// The quadrant points of a piece that it passes: for a circle's arc, where it reaches farthest
// along x and y in drawing coordinates (so a tilted circle or one in a turned block offers the
// points of its drawn curve); for an ellipse, the ends of its axes. A segment has none.
void Quadrants(const CurvePiece& p, std::vector<Point3>& out);

} // namespace cadhost
