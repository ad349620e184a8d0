// SPLINE: degree (71), knots (40), weights (41), control points (10) or, without a usable
// knot vector, fit points (11); all in drawing coordinates.
#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

std::vector<Point3> SplineOutline(const KindRead& r)
{
    std::vector<double> knots, weights;
    for (const DxfGroup* g : r.own) {
        if (g->code == 40)
            knots.push_back(Number(*g));
        else if (g->code == 41)
            weights.push_back(Number(*g));
    }
    const std::vector<Point3> controls = Vertices(r.own, 10);
    const int degree = int(r.f.Or(71, 3));
    if (!controls.empty() && knots.size() == controls.size() + std::size_t(degree) + 1)
        return SplinePoints(degree, knots, controls, weights, 24 * int(controls.size()));
    return Vertices(r.own, 11);   // fit points only: their polyline
}

// Its two ends: the curve at the ends of its domain.
void SplineSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    const std::vector<Point3> points = SplineOutline(r);
    if (points.size() < 2)
        return;
    out.push_back({points.front(), kSnapEndpoint});
    out.push_back({points.back(), kSnapEndpoint});
}

} // namespace

const KindUnit kSplineUnit{"SPLINE", "AcDbSpline", SplineOutline, SplineSnaps};

} // namespace cadhost::kinds
