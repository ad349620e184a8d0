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

// Ends and centre; its quadrants come from its piece.
void ArcSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    const auto [a0, a1] = Span(r);
    const Point3 c = r.f.At(10);
    const double radius = r.f.v[40];
    auto at = [&](double a) { return r.ocs.ToWorld(Point3{c.x + radius * std::cos(a), c.y + radius * std::sin(a), c.z}); };
    out.push_back({at(a0), kSnapEndpoint});
    out.push_back({at(a1), kSnapEndpoint});
    out.push_back({r.ocs.ToWorld(c), kSnapCenter});
}

void ArcPieces(const KindRead& r, std::vector<CurvePiece>& out)
{
    const auto [a0, a1] = Span(r);
    const double radius = r.f.v[40];
    out.push_back(CurvePiece::Arc(r.f.At(10), Point3{radius, 0, 0}, Point3{0, radius, 0}, a0, a1)
                      .Mapped([&](const Point3& p) { return r.ocs.ToWorld(p); }));
}

} // namespace

const KindUnit kArcUnit{"ARC", "AcDbArc", ArcOutline, ArcSnaps, nullptr, nullptr, ArcPieces};

} // namespace cadhost::kinds
