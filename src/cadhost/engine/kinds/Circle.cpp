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

void CircleSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    const Point3 c = r.f.At(10);
    const double radius = r.f.v[40];
    out.push_back({r.ocs.ToWorld(c), kSnapCenter});
    for (const auto& [dx, dy] : {std::pair{1.0, 0.0}, {0.0, 1.0}, {-1.0, 0.0}, {0.0, -1.0}})
        out.push_back({r.ocs.ToWorld(Point3{c.x + radius * dx, c.y + radius * dy, c.z}), kSnapQuadrant});
}

} // namespace

const KindUnit kCircleUnit{"CIRCLE", "AcDbCircle", CircleOutline, CircleSnaps};

} // namespace cadhost::kinds
