// Outlines of the kinds drawn from their records. Splines are evaluated with Eigen's spline
// module (rational ones in homogeneous coordinates).
#include "cadhost/engine/DxfOutline.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string_view>

#include <unsupported/Eigen/Splines>

namespace cadhost {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kMostNesting = 8;          // block references inside blocks, deeper ones not drawn
constexpr std::size_t kMostPoints = 200000;   // per entity: a huge array is drawn in part

double Number(const DxfGroup& g)
{
    std::string_view s = g.value;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r'))
        s.remove_suffix(1);
    double v = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && std::isfinite(v) ? v : 0.0;
}

std::string Upper(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r'))
        s.remove_suffix(1);
    std::string out(s);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The groups of the record's own part, in order (up to its first following record; no
// application groups or extended data).
std::vector<const DxfGroup*> Own(const DxfRecord& r)
{
    std::vector<const DxfGroup*> out;
    ForOwnGroups(r, [&](std::size_t, const DxfGroup& g) { out.push_back(&g); });
    return out;
}

// First values of single groups.
struct Fields {
    double v[100] = {};
    bool has[100] = {};
    std::string name;   // group 2
    explicit Fields(const std::vector<const DxfGroup*>& groups)
    {
        for (const DxfGroup* g : groups) {
            if (g->code == 2 && name.empty())
                name = Upper(g->value);
            if (g->code >= 10 && g->code < 100 && !has[g->code]) {
                v[g->code] = Number(*g);
                has[g->code] = true;
            }
        }
    }
    double Or(int code, double fallback) const { return has[code] ? v[code] : fallback; }
    Point3 At(int code) const { return Point3{v[code], v[code + 10], v[code + 20]}; }
};

// An entity in its own coordinate system seen from below (extrusion 0, 0, -1): x turns over.
bool MirroredOcs(const std::vector<const DxfGroup*>& groups)
{
    for (const DxfGroup* g : groups)
        if (g->code == 230)
            return Number(*g) < 0;
    return false;
}

void Mirror(std::vector<Point3>& points, std::size_t from)
{
    for (std::size_t i = from; i < points.size(); ++i)
        if (!IsOutlineBreak(points[i]))
            points[i].x = -points[i].x;
}

void Append(std::vector<Point3>& out, const std::vector<Point3>& piece)
{
    if (piece.empty())
        return;
    if (!out.empty())
        out.push_back(OutlineBreak());
    out.insert(out.end(), piece.begin(), piece.end());
}

// A polyline's vertices with their bulges as a closed or open run of points.
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

// An elliptical arc of centre c, major axis m (relative), ratio, from parameter t0 to t1.
std::vector<Point3> EllipsePoints(const Point3& c, const Point3& m, double ratio, double t0, double t1, double zSign = 1.0)
{
    while (t1 <= t0)
        t1 += 2 * kPi;
    const int n = std::clamp(int(std::ceil((t1 - t0) / (2 * kPi) * 96)), 8, 96);
    std::vector<Point3> out;
    const Point3 minor{-zSign * m.y * ratio, zSign * m.x * ratio, 0.0};
    for (int i = 0; i <= n; ++i) {
        const double t = t0 + (t1 - t0) * i / n;
        out.push_back({c.x + std::cos(t) * m.x + std::sin(t) * minor.x, c.y + std::cos(t) * m.y + std::sin(t) * minor.y, c.z});
    }
    return out;
}

std::vector<Point3> TextBox(const Point3& at, double width, double height, double rotation, int attachment)
{
    // Attachment 1..9: top/middle/bottom rows, left/centre/right columns.
    const int col = (attachment - 1) % 3, row = (attachment - 1) / 3;
    const double ox = -width * col / 2.0, oy = -height + height * row / 2.0;
    const double c = std::cos(rotation), s = std::sin(rotation);
    std::vector<Point3> out;
    for (auto [lx, ly] : {std::pair{0.0, 0.0}, {width, 0.0}, {width, height}, {0.0, height}, {0.0, 0.0}}) {
        const double x = lx + ox, y = ly + oy;
        out.push_back({at.x + c * x - s * y, at.y + s * x + c * y, at.z});
    }
    return out;
}

// The points of the 10/20/30 groups in order (a vertex list).
std::vector<Point3> Vertices(const std::vector<const DxfGroup*>& groups, int xCode)
{
    std::vector<Point3> out;
    for (const DxfGroup* g : groups) {
        if (g->code == xCode)
            out.push_back({Number(*g), 0.0, 0.0});
        else if (g->code == xCode + 10 && !out.empty())
            out.back().y = Number(*g);
        else if (g->code == xCode + 20 && !out.empty())
            out.back().z = Number(*g);
    }
    return out;
}

std::vector<Point3> SplineOf(const std::vector<const DxfGroup*>& groups, const Fields& f)
{
    std::vector<double> knots, weights;
    for (const DxfGroup* g : groups) {
        if (g->code == 40)
            knots.push_back(Number(*g));
        else if (g->code == 41)
            weights.push_back(Number(*g));
    }
    const std::vector<Point3> controls = Vertices(groups, 10);
    const int degree = int(f.Or(71, 3));
    if (!controls.empty() && knots.size() == controls.size() + std::size_t(degree) + 1)
        return SplinePoints(degree, knots, controls, weights, 24 * int(controls.size()));
    return Vertices(groups, 11);   // fit points only: their polyline
}

// Boundary paths of a hatch, from group 91 on.
std::vector<Point3> HatchOf(const std::vector<const DxfGroup*>& g)
{
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
            const bool closed = next(73) != 0;
            const int n = int(next(93));
            std::vector<Point3> vertices;
            std::vector<double> bulges;
            for (int k = 0; k < n && i < g.size(); ++k) {
                const double x = next(10), y = next(20);
                vertices.push_back({x, y, 0.0});
                bulges.push_back(bulged && i < g.size() && g[i]->code == 42 ? Number(*g[i++]) : 0.0);
            }
            (void)closed;   // a boundary is closed whatever its flag says
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
                    const double x = next(10), y = next(20), r = next(40);
                    double a0 = next(50) * kPi / 180, a1 = next(51) * kPi / 180;
                    const bool ccw = next(73) != 0;
                    if (!ccw)
                        std::tie(a0, a1) = std::pair{-a0, -a1};
                    while (a1 <= a0)
                        a1 += 2 * kPi;
                    edge = ArcPoints({x, y, 0}, r, a0, a1);
                    if (!ccw)
                        for (Point3& q : edge)
                            q.y = 2 * y - q.y;
                } else if (type == 3) {
                    const double x = next(10), y = next(20), mx = next(11), my = next(21), ratio = next(40);
                    const double t0 = next(50) * kPi / 180, t1 = next(51) * kPi / 180;
                    next(73);
                    edge = EllipsePoints({x, y, 0}, {mx, my, 0}, ratio, t0, t1);
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
    return out;
}

void Transform(std::vector<Point3>& pts, std::size_t from, const Point3& base, double sx, double sy, double sz,
               double rotation, const Point3& at)
{
    const double c = std::cos(rotation), s = std::sin(rotation);
    for (std::size_t k = from; k < pts.size(); ++k) {
        Point3& p = pts[k];
        if (IsOutlineBreak(p))
            continue;
        const double x = (p.x - base.x) * sx, y = (p.y - base.y) * sy;
        p = Point3{at.x + c * x - s * y, at.y + s * x + c * y, at.z + (p.z - base.z) * sz};
    }
}

std::vector<Point3> Outline(const DxfRecord& record, const DxfBlocks& blocks, int depth);

std::vector<Point3> BlockOutline(const std::string& name, const DxfBlocks& blocks, int depth, Point3& base)
{
    std::vector<Point3> out;
    const auto it = blocks.find(name);
    if (it == blocks.end() || depth > kMostNesting)
        return out;
    base = it->second.base;
    for (const DxfRecord& r : it->second.entities)
        Append(out, Outline(r, blocks, depth + 1));
    return out;
}

std::vector<Point3> Outline(const DxfRecord& record, const DxfBlocks& blocks, int depth)
{
    if (record.groups.empty())
        return {};
    const std::string type = Upper(record.groups.front().value);
    const std::vector<const DxfGroup*> own = Own(record);
    const Fields f(own);
    std::vector<Point3> out;
    if (type == "LINE") {
        out = {f.At(10), f.At(11)};
    } else if (type == "CIRCLE") {
        out = ArcPoints(f.At(10), f.v[40], 0.0, 2 * kPi);
    } else if (type == "ARC") {
        double a0 = f.v[50] * kPi / 180, a1 = f.v[51] * kPi / 180;
        while (a1 <= a0)
            a1 += 2 * kPi;
        out = ArcPoints(f.At(10), f.v[40], a0, a1);
    } else if (type == "ELLIPSE") {
        // Seen from below (extrusion 0, 0, -1) the minor axis turns the other way.
        out = EllipsePoints(f.At(10), f.At(11), f.Or(40, 1.0), f.Or(41, 0.0), f.Or(42, 2 * kPi),
                            MirroredOcs(own) ? -1.0 : 1.0);
    } else if (type == "LWPOLYLINE") {
        std::vector<Point3> vertices;
        std::vector<double> bulges;
        for (const DxfGroup* g : own) {
            if (g->code == 10) {
                vertices.push_back({Number(*g), 0.0, f.v[38]});
                bulges.push_back(0.0);
            } else if (g->code == 20 && !vertices.empty()) {
                vertices.back().y = Number(*g);
            } else if (g->code == 42 && !bulges.empty()) {
                bulges.back() = Number(*g);
            }
        }
        out = BulgedRun(vertices, bulges, (int(f.v[70]) & 1) != 0);
    } else if (type == "POLYLINE") {
        std::vector<Point3> vertices;
        std::vector<double> bulges;
        for (std::size_t i = 1; i < record.groups.size(); ++i) {
            if (record.groups[i].code != 0 || Upper(record.groups[i].value) != "VERTEX")
                continue;
            Point3 p;
            double bulge = 0.0;
            int flags = 0;
            for (std::size_t j = i + 1; j < record.groups.size() && record.groups[j].code != 0; ++j) {
                const DxfGroup& g = record.groups[j];
                if (g.code == 10) p.x = Number(g);
                else if (g.code == 20) p.y = Number(g);
                else if (g.code == 30) p.z = Number(g);
                else if (g.code == 42) bulge = Number(g);
                else if (g.code == 70) flags = int(Number(g));
            }
            if (flags & (16 | 128))
                continue;   // spline frame points and polyface face records
            vertices.push_back(p);
            bulges.push_back(bulge);
        }
        out = BulgedRun(vertices, bulges, (int(f.v[70]) & 1) != 0);
    } else if (type == "SPLINE") {
        out = SplineOf(own, f);
    } else if (type == "3DFACE" || type == "SOLID" || type == "TRACE") {
        const Point3 p3 = f.has[13] ? f.At(13) : f.At(12);
        out = type == "3DFACE" ? std::vector<Point3>{f.At(10), f.At(11), f.At(12), p3, f.At(10)}
                               : std::vector<Point3>{f.At(10), f.At(11), p3, f.At(12), f.At(10)};
    } else if (type == "LEADER") {
        out = Vertices(own, 10);
    } else if (type == "IMAGE" || type == "WIPEOUT") {
        const Point3 at = f.At(10), u = f.At(11), v = f.At(12);
        const double w = f.Or(13, 1.0), h = f.Or(23, 1.0);
        auto corner = [&](double a, double b) { return Point3{at.x + u.x * a + v.x * b, at.y + u.y * a + v.y * b, at.z}; };
        out = {corner(0, 0), corner(w, 0), corner(w, h), corner(0, h), corner(0, 0)};
    } else if (type == "HATCH") {
        out = HatchOf(own);
    } else if (type == "MTEXT") {
        const double h = f.Or(40, 1.0);
        std::size_t length = 0, lines = 1;
        for (const DxfGroup* g : own)
            if (g->code == 1 || g->code == 3) {
                length += g->value.size();
                for (std::size_t k = g->value.find("\\P"); k != std::string::npos; k = g->value.find("\\P", k + 2))
                    ++lines;
            }
        const double width = f.v[41] > 0 ? f.v[41] : 0.6 * h * double(length) / double(lines);
        const double rotation = f.has[11] ? std::atan2(f.v[21], f.v[11]) : f.v[50] * kPi / 180;
        out = TextBox(f.At(10), width, h * (1.0 + 1.67 * double(lines - 1)), rotation, int(f.Or(71, 1)));
    } else if (type == "TEXT" || type == "ATTRIB") {
        const double h = f.Or(40, 1.0);
        std::string_view text;
        for (const DxfGroup* g : own)
            if (g->code == 1)
                text = g->value;
        const bool aligned = (f.v[72] != 0 || f.v[73] != 0) && f.has[11];
        out = TextBox(aligned ? f.At(11) : f.At(10), 0.6 * h * double(text.size()), h, f.v[50] * kPi / 180, 7);
    } else if (type == "INSERT" || type == "DIMENSION") {
        Point3 base;
        const std::vector<Point3> shape = BlockOutline(f.name, blocks, depth, base);
        if (type == "DIMENSION") {
            out = shape;   // its block is drawn where it stands
        } else if (!shape.empty()) {
            const int cols = std::max(1, int(f.Or(70, 1))), rows = std::max(1, int(f.Or(71, 1)));
            const double rotation = f.v[50] * kPi / 180;
            const Point3 at = f.At(10);
            for (int r = 0; r < rows && out.size() < kMostPoints; ++r)
                for (int c = 0; c < cols && out.size() < kMostPoints; ++c) {
                    const double dx = c * f.v[44], dy = r * f.v[45];
                    const Point3 cell{at.x + std::cos(rotation) * dx - std::sin(rotation) * dy,
                                      at.y + std::sin(rotation) * dx + std::cos(rotation) * dy, at.z};
                    const std::size_t from = out.size() + (out.empty() ? 0 : 1);
                    Append(out, shape);
                    Transform(out, from, base, f.Or(41, 1.0), f.Or(42, 1.0), f.Or(43, 1.0), rotation, cell);
                }
        }
        // Its attributes follow it.
        for (std::size_t i = 1; i < record.groups.size(); ++i)
            if (record.groups[i].code == 0 && Upper(record.groups[i].value) == "ATTRIB") {
                DxfRecord attrib;
                for (std::size_t j = i; j < record.groups.size() && (j == i || record.groups[j].code != 0); ++j)
                    attrib.groups.push_back(record.groups[j]);
                Append(out, Outline(attrib, blocks, depth + 1));
            }
    }
    if (MirroredOcs(own) && type != "INSERT" && type != "DIMENSION" && type != "HATCH" && type != "LEADER"
        && type != "ELLIPSE" && type != "SPLINE" && type != "IMAGE" && type != "MTEXT" && type != "3DFACE"
        && type != "LINE")
        Mirror(out, 0);
    if (out.size() > kMostPoints)
        out.resize(kMostPoints);
    for (const Point3& p : out)
        if (!IsOutlineBreak(p) && !(std::abs(p.x) < 1e15 && std::abs(p.y) < 1e15 && std::abs(p.z) < 1e15))
            return {};
    return out;
}

} // namespace

DxfBlocks ReadBlocks(const std::vector<DxfGroup>& groups)
{
    DxfBlocks blocks;
    DxfBlock* current = nullptr;
    for (std::size_t i = 0; i < groups.size();) {
        // One record: "0 TYPE" and its groups up to the next 0.
        std::size_t end = i + 1;
        while (end < groups.size() && groups[end].code != 0)
            ++end;
        if (groups[i].code != 0) {
            i = end;
            continue;
        }
        DxfRecord r;
        r.groups.assign(groups.begin() + std::ptrdiff_t(i), groups.begin() + std::ptrdiff_t(end));
        const std::string type = Upper(groups[i].value);
        if (type == "BLOCK") {
            const Fields f(Own(r));
            current = &blocks[f.name];
            current->base = f.At(10);
        } else if (type == "ENDBLK") {
            current = nullptr;
        } else if (current) {
            if (type == "VERTEX" || type == "SEQEND" || type == "ATTRIB") {
                if (!current->entities.empty())
                    current->entities.back().groups.insert(current->entities.back().groups.end(), r.groups.begin(), r.groups.end());
            } else if (type != "ATTDEF") {
                current->entities.push_back(std::move(r));
            }
        }
        i = end;
    }
    return blocks;
}

std::vector<Point3> OutlineOf(const DxfRecord& record, const DxfBlocks& blocks)
{
    return Outline(record, blocks, 0);
}

std::vector<Point3> ArcPoints(const Point3& centre, double radius, double a0, double a1)
{
    // Even steps, and the quadrant points the arc passes, so that its extents are exact.
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

void BulgePoints(const Point3& p, const Point3& q, double bulge, std::vector<Point3>& out)
{
    const double dx = q.x - p.x, dy = q.y - p.y;
    const double chord = std::hypot(dx, dy);
    if (std::abs(bulge) < 1e-12 || chord == 0.0 || !std::isfinite(bulge)) {
        out.push_back(q);
        return;
    }
    const double angle = 4.0 * std::atan(bulge);   // signed, counter-clockwise positive
    const double radius = chord / (2.0 * std::sin(std::abs(angle) / 2.0));
    // The centre lies off the chord's middle, on the left for a counter-clockwise arc.
    const double h = (chord / 2.0) / std::tan(angle / 2.0);
    const Point3 centre{(p.x + q.x) / 2 - dy / chord * h, (p.y + q.y) / 2 + dx / chord * h, p.z};
    const double a0 = std::atan2(p.y - centre.y, p.x - centre.x);
    // An even number of steps: the arc's middle (where its sagitta is) is one of its points.
    const int n = 2 * std::clamp(int(std::ceil(std::abs(angle) / (2 * kPi) * 48)), 1, 48);
    for (int i = 1; i < n; ++i) {
        const double a = a0 + angle * i / n;
        out.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a), p.z + (q.z - p.z) * i / n});
    }
    out.push_back(q);
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
