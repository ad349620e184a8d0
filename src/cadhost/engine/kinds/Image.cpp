// IMAGE and WIPEOUT: their frame, from the insertion point (10) along the vectors of one
// pixel across (11) and up (12), the size in pixels (13, 23).
#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

std::vector<Point3> Frame(const KindRead& r)
{
    const Point3 at = r.f.At(10), u = r.f.At(11), v = r.f.At(12);
    const double w = r.f.Or(13, 1.0), h = r.f.Or(23, 1.0);
    auto corner = [&](double a, double b) {
        return Point3{at.x + u.x * a + v.x * b, at.y + u.y * a + v.y * b, at.z + u.z * a + v.z * b};
    };
    return {corner(0, 0), corner(w, 0), corner(w, h), corner(0, h), corner(0, 0)};
}

void FrameSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    out.push_back({r.f.At(10), kSnapInsertion});
}

} // namespace

const KindUnit kImageUnit{"IMAGE", "AcDbRasterImage", Frame, FrameSnaps};
const KindUnit kWipeoutUnit{"WIPEOUT", "AcDbWipeout", Frame, FrameSnaps};

} // namespace cadhost::kinds
