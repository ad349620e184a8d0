// The curves of the kinds. Splines are evaluated with Eigen's spline module (rational ones in
// homogeneous coordinates).
#include "cadhost/engine/kinds/Curves.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <unsupported/Eigen/Splines>

namespace cadhost {

namespace {
constexpr double kPi = std::numbers::pi;
}

std::vector<Point3> ArcPoints(const Point3& centre, double radius, double a0, double a1)
{
    const int n = std::clamp(int(std::ceil((a1 - a0) / (2 * kPi) * 96)), 4, 96);
    std::vector<double> angles;
    for (int i = 0; i <= n; ++i)
        angles.push_back(i == n ? a1 : a0 + (a1 - a0) * i / n);
    for (double q = std::ceil(a0 / (kPi / 2)) * (kPi / 2); q < a1; q += kPi / 2)
        if (q > a0)
            angles.push_back(q);
    std::sort(angles.begin(), angles.end());
    std::vector<Point3> out;
    out.reserve(angles.size());
    for (double a : angles)
        out.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a), centre.z});
    return out;
}

bool BulgeCentre(const Point3& p, const Point3& q, double bulge, Point3& centre)
{
    const double dx = q.x - p.x, dy = q.y - p.y;
    const double chord = std::hypot(dx, dy);
    if (std::abs(bulge) < 1e-12 || chord == 0.0 || !std::isfinite(bulge))
        return false;
    const double angle = 4.0 * std::atan(bulge);   // signed, counter-clockwise positive
    // The centre lies off the chord's middle, on the left for a counter-clockwise arc.
    const double h = (chord / 2.0) / std::tan(angle / 2.0);
    centre = Point3{(p.x + q.x) / 2 - dy / chord * h, (p.y + q.y) / 2 + dx / chord * h, p.z};
    return true;
}

void BulgePoints(const Point3& p, const Point3& q, double bulge, std::vector<Point3>& out)
{
    Point3 centre;
    if (!BulgeCentre(p, q, bulge, centre)) {
        out.push_back(q);
        return;
    }
    const double angle = 4.0 * std::atan(bulge);
    const double radius = std::hypot(q.x - p.x, q.y - p.y) / (2.0 * std::sin(std::abs(angle) / 2.0));
    const double a0 = std::atan2(p.y - centre.y, p.x - centre.x);
    // An even number of steps: the arc's middle (where its sagitta is) is one of its points.
    const int n = 2 * std::clamp(int(std::ceil(std::abs(angle) / (2 * kPi) * 48)), 1, 48);
    for (int i = 1; i < n; ++i) {
        const double a = a0 + angle * i / n;
        out.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a), p.z + (q.z - p.z) * i / n});
    }
    out.push_back(q);
}

std::vector<Point3> BulgedRun(const std::vector<Point3>& vertices, const std::vector<double>& bulges, bool closed)
{
    std::vector<Point3> out;
    if (vertices.empty())
        return out;
    out.push_back(vertices[0]);
    const std::size_t n = vertices.size();
    for (std::size_t i = 0; i + 1 < n + (closed ? 1 : 0); ++i)
        BulgePoints(vertices[i], vertices[(i + 1) % n], i < bulges.size() ? bulges[i] : 0.0, out);
    return out;
}

std::vector<Point3> EllipsePoints(const Point3& c, const Point3& m, const Point3& minor, double t0, double t1)
{
    while (t1 <= t0)
        t1 += 2 * kPi;
    const int n = std::clamp(int(std::ceil((t1 - t0) / (2 * kPi) * 96)), 8, 96);
    std::vector<Point3> out;
    for (int i = 0; i <= n; ++i) {
        const double t = t0 + (t1 - t0) * i / n;
        const double ct = std::cos(t), st = std::sin(t);
        out.push_back({c.x + ct * m.x + st * minor.x, c.y + ct * m.y + st * minor.y, c.z + ct * m.z + st * minor.z});
    }
    return out;
}

std::vector<Point3> SplinePoints(int degree, const std::vector<double>& knots, const std::vector<Point3>& controls,
                                 const std::vector<double>& weights, int count)
{
    std::vector<Point3> out;
    const std::size_t n = controls.size();
    if (degree < 1 || n < std::size_t(degree) + 1 || knots.size() != n + std::size_t(degree) + 1 || count < 2)
        return out;
    using Curve = Eigen::Spline<double, 4>;
    Curve::KnotVectorType k(1, Eigen::Index(knots.size()));
    for (std::size_t i = 0; i < knots.size(); ++i)
        k(0, Eigen::Index(i)) = knots[i];
    Curve::ControlPointVectorType c(4, Eigen::Index(n));
    for (std::size_t i = 0; i < n; ++i) {
        const double w = weights.size() == n && weights[i] > 0 ? weights[i] : 1.0;
        c.col(Eigen::Index(i)) << controls[i].x * w, controls[i].y * w, controls[i].z * w, w;
    }
    const Curve curve(k, c);
    const double u0 = knots[std::size_t(degree)], u1 = knots[n];
    if (!(u1 > u0))
        return out;
    out.reserve(std::size_t(count) + 1);
    for (int i = 0; i <= count; ++i) {
        const double u = i == count ? u1 : u0 + (u1 - u0) * i / count;
        const auto h = curve(u);
        out.push_back({h(0) / h(3), h(1) / h(3), h(2) / h(3)});
    }
    return out;
}

} // namespace cadhost
