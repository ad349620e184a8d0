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
    // The ends of its axes, where the arc passes them.
    const Point3 ends[4] = {{s.c.x + s.major.x, s.c.y + s.major.y, s.c.z + s.major.z},
                            {s.c.x + s.minor.x, s.c.y + s.minor.y, s.c.z + s.minor.z},
                            {s.c.x - s.major.x, s.c.y - s.major.y, s.c.z - s.major.z},
                            {s.c.x - s.minor.x, s.c.y - s.minor.y, s.c.z - s.minor.z}};
    for (int k = 0; k < 4; ++k) {
        // The parameter of the axis end taken into [t0, t0 + 2 pi).
        double q = k * kPi / 2;
        q += 2 * kPi * std::ceil((s.t0 - q) / (2 * kPi) - 1e-12);
        if (whole || q <= s.t1 + 1e-12)
            out.push_back({ends[k], kSnapQuadrant});
    }
}

} // namespace

const KindUnit kEllipseUnit{"ELLIPSE", "AcDbEllipse", EllipseOutline, EllipseSnaps};

} // namespace cadhost::kinds
