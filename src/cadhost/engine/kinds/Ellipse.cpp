// ELLIPSE: centre (10) and major axis end relative to it (11), both in drawing coordinates,
// the minor to major ratio (40), start and end parameters (41, 42, radians) and its normal
// (210): the minor axis is the normal crossed with the major one.
#include <cmath>
#include <numbers>

#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

constexpr double kPi = std::numbers::pi;

struct Shape {
    Point3 c, major, minor;
    double t0 = 0, t1 = 2 * kPi;
};

Shape ShapeOf(const KindRead& r)
{
    Shape s;
    s.c = r.f.At(10);
    s.major = r.f.At(11);
    const double ratio = r.f.Or(40, 1.0);
    const Point3 n = r.ocs.az;
    s.minor = {ratio * (n.y * s.major.z - n.z * s.major.y), ratio * (n.z * s.major.x - n.x * s.major.z),
               ratio * (n.x * s.major.y - n.y * s.major.x)};
    s.t0 = r.f.Or(41, 0.0);
    s.t1 = r.f.Or(42, 2 * kPi);
    while (s.t1 <= s.t0)
        s.t1 += 2 * kPi;
    return s;
}

Point3 At(const Shape& s, double t)
{
    const double c = std::cos(t), n = std::sin(t);
    return {s.c.x + c * s.major.x + n * s.minor.x, s.c.y + c * s.major.y + n * s.minor.y,
            s.c.z + c * s.major.z + n * s.minor.z};
}

std::vector<Point3> EllipseOutline(const KindRead& r)
{
    const Shape s = ShapeOf(r);
    return EllipsePoints(s.c, s.major, s.minor, s.t0, s.t1);
}

void EllipseSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    const Shape s = ShapeOf(r);
    out.push_back({s.c, kSnapCenter});
    const bool whole = s.t1 - s.t0 >= 2 * kPi - 1e-12;
    if (!whole) {
        out.push_back({At(s, s.t0), kSnapEndpoint});
        out.push_back({At(s, s.t1), kSnapEndpoint});
    }
}

// Its quadrants are the ends of its axes that the arc passes.
void EllipsePieces(const KindRead& r, std::vector<CurvePiece>& out)
{
    const Shape s = ShapeOf(r);
    CurvePiece piece = CurvePiece::Arc(s.c, s.major, s.minor, s.t0, s.t1);
    piece.axisQuadrants = true;
    out.push_back(piece);
}

} // namespace

const KindUnit kEllipseUnit{"ELLIPSE", "AcDbEllipse", EllipseOutline, EllipseSnaps, nullptr, nullptr, EllipsePieces};

} // namespace cadhost::kinds
