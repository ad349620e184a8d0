// CIRCLE: centre (10, in its plane) and radius (40).
#include <numbers>

#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

std::vector<Point3> CircleOutline(const KindRead& r)
{
    std::vector<Point3> out = ArcPoints(r.f.At(10), r.f.v[40], 0.0, 2 * std::numbers::pi);
    r.ocs.ToWorld(out);
    return out;
}

// Its quadrants come from its piece, where the drawn circle reaches farthest along x and y.
void CircleSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    out.push_back({r.ocs.ToWorld(r.f.At(10)), kSnapCenter});
}

void CirclePieces(const KindRead& r, std::vector<CurvePiece>& out)
{
    const double radius = r.f.v[40];
    out.push_back(CurvePiece::Arc(r.f.At(10), Point3{radius, 0, 0}, Point3{0, radius, 0}, 0.0, 2 * std::numbers::pi)
                      .Mapped([&](const Point3& p) { return r.ocs.ToWorld(p); }));
}

} // namespace

const KindUnit kCircleUnit{"CIRCLE", "AcDbCircle", CircleOutline, CircleSnaps, nullptr, nullptr, CirclePieces};

} // namespace cadhost::kinds
