// HATCH: its boundary paths (from group 91 on) in its plane at the elevation of 30; polyline
// paths with bulges, or edges: lines, circular and elliptical arcs, splines.
#include <cmath>
#include <numbers>
#include <tuple>

#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

constexpr double kPi = std::numbers::pi;

std::vector<Point3> HatchOutline(const KindRead& r)
{
    const std::vector<const DxfGroup*>& g = r.own;
    std::vector<Point3> out;
    std::size_t i = 0;
    while (i < g.size() && g[i]->code != 91)
        ++i;
    if (i == g.size())
        return out;
    const int paths = int(Number(*g[i++]));
    auto next = [&](int code) -> double {
        while (i < g.size() && g[i]->code != code)
            ++i;
        return i < g.size() ? Number(*g[i++]) : 0.0;
    };
    for (int p = 0; p < paths && i < g.size(); ++p) {
        const int flags = int(next(92));
        std::vector<Point3> piece;
        if (flags & 2) {
            const bool bulged = next(72) != 0;
            next(73);   // a boundary is closed whatever its flag says
            const int n = int(next(93));
            std::vector<Point3> vertices;
            std::vector<double> bulges;
            for (int k = 0; k < n && i < g.size(); ++k) {
                const double x = next(10), y = next(20);
                vertices.push_back({x, y, 0.0});
                bulges.push_back(bulged && i < g.size() && g[i]->code == 42 ? Number(*g[i++]) : 0.0);
            }
            piece = BulgedRun(vertices, bulges, true);
        } else {
            const int edges = int(next(93));
            for (int k = 0; k < edges && i < g.size(); ++k) {
                const int type = int(next(72));
                std::vector<Point3> edge;
                if (type == 1) {
                    const double x0 = next(10), y0 = next(20), x1 = next(11), y1 = next(21);
                    edge = {{x0, y0, 0}, {x1, y1, 0}};
                } else if (type == 2) {
                    const double x = next(10), y = next(20), radius = next(40);
                    double a0 = next(50) * kPi / 180, a1 = next(51) * kPi / 180;
                    const bool ccw = next(73) != 0;
                    if (!ccw)
                        std::tie(a0, a1) = std::pair{-a0, -a1};
                    while (a1 <= a0)
                        a1 += 2 * kPi;
                    edge = ArcPoints({x, y, 0}, radius, a0, a1);
                    if (!ccw)
                        for (Point3& q : edge)
                            q.y = 2 * y - q.y;
                } else if (type == 3) {
                    const double x = next(10), y = next(20), mx = next(11), my = next(21), ratio = next(40);
                    const double t0 = next(50) * kPi / 180, t1 = next(51) * kPi / 180;
                    next(73);
                    edge = EllipsePoints({x, y, 0}, {mx, my, 0}, {-my * ratio, mx * ratio, 0}, t0, t1);
                } else if (type == 4) {
                    const int degree = int(next(94));
                    next(73);
                    next(74);
                    const int nk = int(next(95)), nc = int(next(96));
                    std::vector<double> knots;
                    for (int j = 0; j < nk; ++j)
                        knots.push_back(next(40));
                    std::vector<Point3> controls;
                    std::vector<double> weights;
                    for (int j = 0; j < nc; ++j) {
                        const double x = next(10), y = next(20);
                        controls.push_back({x, y, 0});
                        if (i < g.size() && g[i]->code == 42)
                            weights.push_back(Number(*g[i++]));
                    }
                    if (knots.size() == controls.size() + std::size_t(degree) + 1)
                        edge = SplinePoints(degree, knots, controls, weights, 16 * nc);
                }
                if (!piece.empty() && !edge.empty())
                    edge.erase(edge.begin());   // edges meet end to start
                piece.insert(piece.end(), edge.begin(), edge.end());
            }
        }
        Append(out, piece);
        // The source boundary objects of the path.
        if (i < g.size() && g[i]->code == 97) {
            const int sources = int(Number(*g[i++]));
            for (int k = 0; k < sources && i < g.size() && g[i]->code == 330; ++k)
                ++i;
        }
    }
    // The paths lie in the hatch's plane at its elevation.
    const double elevation = r.f.v[30];
    for (Point3& p : out)
        if (!IsOutlineBreak(p))
            p.z = elevation;
    r.ocs.ToWorld(out);
    return out;
}

} // namespace

const KindUnit kHatchUnit{"HATCH", "AcDbHatch", HatchOutline};

} // namespace cadhost::kinds
