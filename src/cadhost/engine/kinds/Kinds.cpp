// What every unit shares: reading a record's fields, the entity's plane, placing a block's
// contents, and the table of units by type name.
#include "cadhost/engine/kinds/KindUnit.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

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

Fields::Fields(const std::vector<const DxfGroup*>& groups)
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

namespace {

Point3 Cross(const Point3& a, const Point3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

bool Normalize(Point3& p)
{
    const double n = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    if (!(n > 0) || !std::isfinite(n))
        return false;
    p = {p.x / n, p.y / n, p.z / n};
    return true;
}

} // namespace

Ocs Ocs::FromNormal(const Point3& normal)
{
    Ocs o;
    Point3 n = normal;
    if (!Normalize(n) || (n.x == 0 && n.y == 0 && n.z == 1))
        return o;
    // The arbitrary axis algorithm: the x axis is the world's y (near the poles) or z axis
    // crossed with the normal.
    constexpr double kPole = 1.0 / 64.0;
    Point3 ax = (std::abs(n.x) < kPole && std::abs(n.y) < kPole) ? Cross({0, 1, 0}, n) : Cross({0, 0, 1}, n);
    Normalize(ax);
    Point3 ay = Cross(n, ax);
    Normalize(ay);
    o.ax = ax;
    o.ay = ay;
    o.az = n;
    o.identity = false;
    return o;
}

void Ocs::ToWorld(std::vector<Point3>& points, std::size_t from) const
{
    if (identity)
        return;
    for (std::size_t i = from; i < points.size(); ++i)
        if (!IsBreak(points[i]))
            points[i] = ToWorld(points[i]);
}

Point3 Placement::Apply(const Point3& p) const
{
    const double c = std::cos(rotation), s = std::sin(rotation);
    const double x = (p.x - base.x) * sx, y = (p.y - base.y) * sy;
    return ocs.ToWorld(Point3{at.x + c * x - s * y, at.y + s * x + c * y, at.z + (p.z - base.z) * sz});
}

void Placement::Apply(std::vector<Point3>& points, std::size_t from) const
{
    for (std::size_t i = from; i < points.size(); ++i)
        if (!IsBreak(points[i]))
            points[i] = Apply(points[i]);
}

namespace {

std::vector<const DxfGroup*> OwnGroups(const DxfRecord& r)
{
    std::vector<const DxfGroup*> out;
    ForOwnGroups(r, [&](std::size_t, const DxfGroup& g) { out.push_back(&g); });
    return out;
}

} // namespace

KindRead::KindRead(const DxfRecord& r, const DxfBlocks& b, int d)
    : record(r), own(OwnGroups(r)), f(own), blocks(b), depth(d)
{
    // Fields holds codes below 100 only: the extrusion direction is read here.
    Point3 n{0, 0, 1};
    bool given = false;
    for (const DxfGroup* g : own) {
        if (g->code == 210) n.x = Number(*g), given = true;
        else if (g->code == 220) n.y = Number(*g), given = true;
        else if (g->code == 230) n.z = Number(*g), given = true;
    }
    if (given)
        ocs = Ocs::FromNormal(n);
}

void Append(std::vector<Point3>& out, const std::vector<Point3>& piece)
{
    if (piece.empty())
        return;
    if (!out.empty())
        out.push_back(OutlineBreak());
    out.insert(out.end(), piece.begin(), piece.end());
}

std::vector<DxfRecord> Followers(const DxfRecord& record, std::string_view type)
{
    std::vector<DxfRecord> out;
    for (std::size_t i = 1; i < record.groups.size(); ++i)
        if (record.groups[i].code == 0 && Upper(record.groups[i].value) == type) {
            DxfRecord r;
            for (std::size_t j = i; j < record.groups.size() && (j == i || record.groups[j].code != 0); ++j)
                r.groups.push_back(record.groups[j]);
            out.push_back(std::move(r));
        }
    return out;
}

const KindUnit* FindKind(std::string_view type)
{
    static const KindUnit* const units[] = {
        &kLineUnit, &kPointUnit, &kCircleUnit, &kArcUnit, &kEllipseUnit, &kLwPolylineUnit, &kPolylineUnit,
        &kSplineUnit, &kFaceUnit, &kSolidUnit, &kTraceUnit, &kLeaderUnit, &kImageUnit, &kWipeoutUnit, &kHatchUnit,
        &kTextUnit, &kAttribUnit, &kMTextUnit, &kInsertUnit, &kDimensionUnit, &kXLineUnit, &kRayUnit};
    for (const KindUnit* u : units)
        if (type == u->type)
            return u;
    return nullptr;
}

} // namespace cadhost::kinds
