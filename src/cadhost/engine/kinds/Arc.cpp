// ARC: centre (10, in its plane), radius (40), start and end angles (50, 51, degrees,
// counter-clockwise in its plane).
#include <cmath>
#include <numbers>

#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

constexpr double kPi = std::numbers::pi;

// The angles in radians, the end past the start.
std::pair<double, double> Span(const KindRead& r)
{
    const double a0 = r.f.v[50] * kPi / 180;
    double a1 = r.f.v[51] * kPi / 180;
    while (a1 <= a0)
        a1 += 2 * kPi;
    return {a0, a1};
}

std::vector<Point3> ArcOutline(const KindRead& r)
{
    const auto [a0, a1] = Span(r);
    std::vector<Point3> out = ArcPoints(r.f.At(10), r.f.v[40], a0, a1);
    r.ocs.ToWorld(out);
    return out;
}

void ArcSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    const auto [a0, a1] = Span(r);
    const Point3 c = r.f.At(10);
    const double radius = r.f.v[40];
    auto at = [&](double a) { return r.ocs.ToWorld(Point3{c.x + radius * std::cos(a), c.y + radius * std::sin(a), c.z}); };
    out.push_back({at(a0), kSnapEndpoint});
    out.push_back({at(a1), kSnapEndpoint});
    out.push_back({r.ocs.ToWorld(c), kSnapCenter});
    for (double q = std::ceil(a0 / (kPi / 2)) * (kPi / 2); q <= a1 + 1e-12; q += kPi / 2)
        if (q >= a0 - 1e-12) {
            // Quadrant points exactly: cos and sin of whole quarter turns.
            const int k = int(std::lround(q / (kPi / 2))) % 4;
            const int quarter = (k + 4) % 4;
            const double cx = quarter == 0 ? 1 : quarter == 2 ? -1 : 0, cy = quarter == 1 ? 1 : quarter == 3 ? -1 : 0;
            out.push_back({r.ocs.ToWorld(Point3{c.x + radius * cx, c.y + radius * cy, c.z}), kSnapQuadrant});
        }
}

} // namespace

const KindUnit kArcUnit{"ARC", "AcDbArc", ArcOutline, ArcSnaps};

} // namespace cadhost::kinds
