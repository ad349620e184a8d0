// XLINE and RAY: a base point (10) and a direction (11) in drawing coordinates; an XLINE runs
// both ways without end, a RAY one way from its base. They have no outline: the view draws them
// across itself, their extents reach without end along them (so they add nothing to the
// drawing's extents), and selection meets them wherever they cross a window.
#include <cmath>

#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

void Endless(const KindRead& r, bool bothWays, std::vector<EndlessLine>& out)
{
    const Point3 d = r.f.At(11);
    if (std::hypot(d.x, d.y, d.z) > 0)
        out.push_back({r.f.At(10), d, bothWays});
}

void XLineEndless(const KindRead& r, std::vector<EndlessLine>& out) { Endless(r, true, out); }
void RayEndless(const KindRead& r, std::vector<EndlessLine>& out) { Endless(r, false, out); }

void RaySnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    out.push_back({r.f.At(10), kSnapEndpoint});
}

} // namespace

const KindUnit kXLineUnit{"XLINE", "AcDbXline", nullptr, nullptr, nullptr, XLineEndless};
const KindUnit kRayUnit{"RAY", "AcDbRay", nullptr, RaySnaps, nullptr, RayEndless};

} // namespace cadhost::kinds
