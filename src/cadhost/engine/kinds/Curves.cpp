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

CurvePiece CurvePiece::Segment(const Point3& a, const Point3& b)
{
    CurvePiece p;
    p.a = a;
    p.b = b;
    return p;
}

CurvePiece CurvePiece::Arc(const Point3& c, const Point3& u, const Point3& v, double t0, double t1)
{
    CurvePiece p;
    p.straight = false;
    p.c = c;
    p.u = u;
    p.v = v;
    p.t0 = t0;
    p.t1 = t1;
    return p;
}

Point3 CurvePiece::At(double t) const
{
    const double ct = std::cos(t), st = std::sin(t);
    return {c.x + ct * u.x + st * v.x, c.y + ct * u.y + st * v.y, c.z + ct * u.z + st * v.z};
}

Box2 CurvePiece::Reach() const
{
    if (straight)
        return Box2::FromCorners(a, b);
    const double hx = std::hypot(u.x, v.x), hy = std::hypot(u.y, v.y);
    return Box2{c.x - hx, c.y - hy, c.x + hx, c.y + hy};
}

void StraightPieces(const std::vector<Point3>& run, std::vector<CurvePiece>& out)
{
    for (std::size_t i = 0; i + 1 < run.size(); ++i)
        if (!IsBreak(run[i]) && !IsBreak(run[i + 1]))
            out.push_back(CurvePiece::Segment(run[i], run[i + 1]));
}

void BulgedPieces(const std::vector<Point3>& vertices, const std::vector<double>& bulges, bool closed,
                  std::vector<CurvePiece>& out)
{
    const std::size_t n = vertices.size();
    for (std::size_t i = 0; i + 1 < n + (closed && n > 2 ? 1 : 0); ++i) {
        const Point3& p = vertices[i];
        const Point3& q = vertices[(i + 1) % n];
        Point3 centre;
        if (!BulgeCentre(p, q, i < bulges.size() ? bulges[i] : 0.0, centre)) {
            out.push_back(CurvePiece::Segment(p, q));
            continue;
        }
        const double angle = 4.0 * std::atan(bulges[i]);
        const double radius = std::hypot(q.x - p.x, q.y - p.y) / (2.0 * std::sin(std::abs(angle) / 2.0));
        const double a0 = std::atan2(p.y - centre.y, p.x - centre.x);
        out.push_back(CurvePiece::Arc(centre, Point3{radius, 0, 0}, Point3{0, radius, 0}, std::min(a0, a0 + angle),
                                      std::max(a0, a0 + angle)));
    }
}

namespace {

// True when the angle t, taken by whole turns to or past the arc's start, lies on the arc.
bool OnArc(const CurvePiece& p, double t)
{
    constexpr double kSlack = 1e-12;
    t += 2 * kPi * std::ceil((p.t0 - t) / (2 * kPi) - kSlack);
    return t <= p.t1 + kSlack * std::max(1.0, std::abs(p.t1));
}

// Seen from above, an arc's points in the frame where its ellipse is the unit circle.
struct Frame {
    double i00 = 0, i01 = 0, i10 = 0, i11 = 0;   // the inverse of [u v] in the xy plane
    Point3 c;
    bool ok = false;
    explicit Frame(const CurvePiece& q) : c(q.c)
    {
        const double det = q.u.x * q.v.y - q.v.x * q.u.y;
        const double size = std::hypot(q.u.x, q.u.y) * std::hypot(q.v.x, q.v.y);
        // An ellipse seen edge on (its plane upright) is no curve from above.
        ok = size > 0 && std::abs(det) > 1e-12 * size;
        if (ok) {
            i00 = q.v.y / det;
            i01 = -q.v.x / det;
            i10 = -q.u.y / det;
            i11 = q.u.x / det;
        }
    }
    std::pair<double, double> Along(double dx, double dy) const { return {i00 * dx + i01 * dy, i10 * dx + i11 * dy}; }
    std::pair<double, double> Of(const Point3& p) const { return Along(p.x - c.x, p.y - c.y); }
};

void SegmentSegment(const CurvePiece& s, const CurvePiece& t, std::vector<Point3>& out)
{
    const double rx = s.b.x - s.a.x, ry = s.b.y - s.a.y;
    const double qx = t.b.x - t.a.x, qy = t.b.y - t.a.y;
    const double den = rx * qy - ry * qx;
    const double scale = std::hypot(rx, ry) * std::hypot(qx, qy);
    if (scale == 0.0 || std::abs(den) <= 1e-12 * scale)
        return;
    const double wx = t.a.x - s.a.x, wy = t.a.y - s.a.y;
    const double u = (wx * qy - wy * qx) / den;
    const double v = (wx * ry - wy * rx) / den;
    constexpr double eps = 1e-12;
    if (u < -eps || u > 1 + eps || v < -eps || v > 1 + eps)
        return;
    out.push_back(Point3{s.a.x + u * rx, s.a.y + u * ry, s.a.z + u * (s.b.z - s.a.z)});
}

// The segment s against the arc q: the unit circle in q's frame met by the segment's line
// (a quadratic in the segment's parameter). The points on s, or on q when `onArc`.
void SegmentArc(const CurvePiece& s, const CurvePiece& q, bool onArc, std::vector<Point3>& out)
{
    const Frame f(q);
    if (!f.ok)
        return;
    const auto [w0x, w0y] = f.Of(s.a);
    const auto [w1x, w1y] = f.Along(s.b.x - s.a.x, s.b.y - s.a.y);
    const double A = w1x * w1x + w1y * w1y, B = 2 * (w0x * w1x + w0y * w1y), C = w0x * w0x + w0y * w0y - 1;
    const double disc = B * B - 4 * A * C;
    if (!(A > 0) || disc < 0)
        return;
    // The two roots without cancellation.
    const double h = -0.5 * (B + std::copysign(std::sqrt(disc), B));
    double roots[2] = {h / A, h != 0 ? C / h : h / A};
    const int count = disc == 0 ? 1 : 2;
    constexpr double eps = 1e-12;
    for (int k = 0; k < count; ++k) {
        const double r = roots[k];
        if (r < -eps || r > 1 + eps)
            continue;
        const double t = std::atan2(w0y + r * w1y, w0x + r * w1x);
        if (!OnArc(q, t))
            continue;
        out.push_back(onArc ? q.At(t)
                            : Point3{s.a.x + r * (s.b.x - s.a.x), s.a.y + r * (s.b.y - s.a.y), s.a.z + r * (s.b.z - s.a.z)});
    }
}

// The arc p against the arc q: |p(t)|^2 - 1 in q's frame, a trigonometric polynomial of
// degree two with at most four roots a turn, found where it changes sign between samples and
// closed in on by bisection to the last bit.
void ArcArc(const CurvePiece& p, const CurvePiece& q, std::vector<Point3>& out)
{
    const Frame f(q);
    if (!f.ok)
        return;
    const auto [px, py] = f.Of(p.c);
    const auto [ux, uy] = f.Along(p.u.x, p.u.y);
    const auto [vx, vy] = f.Along(p.v.x, p.v.y);
    auto inFrame = [&](double t) {
        const double ct = std::cos(t), st = std::sin(t);
        return std::pair{px + ct * ux + st * vx, py + ct * uy + st * vy};
    };
    auto value = [&](double t) {
        const auto [x, y] = inFrame(t);
        return x * x + y * y - 1;
    };
    auto take = [&](double t) {
        const auto [x, y] = inFrame(t);
        if (OnArc(q, std::atan2(y, x)))
            out.push_back(p.At(t));
    };
    constexpr int kSamples = 96;
    double t0 = p.t0, v0 = value(t0);
    for (int i = 1; i <= kSamples; ++i) {
        const double t1 = i == kSamples ? p.t1 : p.t0 + (p.t1 - p.t0) * i / kSamples;
        const double v1 = value(t1);
        if (v0 == 0) {
            take(t0);
        } else if ((v0 < 0) != (v1 < 0) && v1 != 0) {
            double lo = t0, hi = t1, vlo = v0;
            for (int k = 0; k < 200 && lo < hi; ++k) {
                const double mid = 0.5 * (lo + hi);
                if (mid <= lo || mid >= hi)
                    break;
                const double vm = value(mid);
                if (vm == 0) {
                    lo = hi = mid;
                    break;
                }
                if ((vm < 0) == (vlo < 0)) {
                    lo = mid;
                    vlo = vm;
                } else {
                    hi = mid;
                }
            }
            take(std::abs(value(lo)) <= std::abs(value(hi)) ? lo : hi);
        }
        t0 = t1;
        v0 = v1;
    }
    if (v0 == 0)
        take(t0);
}

} // namespace

void Crossings(const CurvePiece& p, const CurvePiece& q, std::vector<Point3>& out)
{
    if (!p.Reach().Intersects(q.Reach()))
        return;
    if (p.straight && q.straight)
        SegmentSegment(p, q, out);
    else if (p.straight)
        SegmentArc(p, q, false, out);
    else if (q.straight)
        SegmentArc(q, p, true, out);
    else
        ArcArc(p, q, out);
}

void Quadrants(const CurvePiece& p, std::vector<Point3>& out)
{
    if (p.straight)
        return;
    auto add = [&](double t, const Point3& at) {
        if (OnArc(p, t))
            out.push_back(at);
    };
    if (p.axisQuadrants) {
        add(0, Point3{p.c.x + p.u.x, p.c.y + p.u.y, p.c.z + p.u.z});
        add(kPi / 2, Point3{p.c.x + p.v.x, p.c.y + p.v.y, p.c.z + p.v.z});
        add(kPi, Point3{p.c.x - p.u.x, p.c.y - p.u.y, p.c.z - p.u.z});
        add(3 * kPi / 2, Point3{p.c.x - p.v.x, p.c.y - p.v.y, p.c.z - p.v.z});
        return;
    }
    // Along x, u.x cos t + v.x sin t is largest where (cos t, sin t) = (u.x, v.x) / its length;
    // the same along y. The point is taken from that pair directly, so a circle in the xy plane
    // gives its quadrants to the last bit.
    const double size = std::hypot(p.u.x, p.u.y, p.u.z) + std::hypot(p.v.x, p.v.y, p.v.z);
    for (const auto& [cu, cv] : {std::pair{p.u.x, p.v.x}, std::pair{p.u.y, p.v.y}}) {
        const double h = std::hypot(cu, cv);
        if (!(h > 1e-12 * size))
            continue;   // seen edge on along this axis: no single farthest point
        const double ct = cu / h, st = cv / h;
        const Point3 d{ct * p.u.x + st * p.v.x, ct * p.u.y + st * p.v.y, ct * p.u.z + st * p.v.z};
        const double t = std::atan2(st, ct);
        add(t, Point3{p.c.x + d.x, p.c.y + d.y, p.c.z + d.z});
        add(t + kPi, Point3{p.c.x - d.x, p.c.y - d.y, p.c.z - d.z});
    }
}

} // namespace cadhost
