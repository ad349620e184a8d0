// Entity type names, text placement and the geometric tests selection relies on.
#include "cadhost/engine/Entity.h"

#include <cmath>
#include <utility>

#include "cadhost/engine/DxfOutline.h"
#include "cadhost/engine/DxfRecord.h"

namespace cadhost {

QString EntityTypeName(EntityKind kind)
{
    switch (kind) {
    case EntityKind::Line: return QStringLiteral("LINE");
    case EntityKind::Text: return QStringLiteral("TEXT");
    case EntityKind::Point: return QStringLiteral("POINT");
    case EntityKind::Polyline3d: return QStringLiteral("POLYLINE");
    case EntityKind::LwPolyline: return QStringLiteral("LWPOLYLINE");
    case EntityKind::Solid: return QStringLiteral("SOLID");
    case EntityKind::Other: break;
    }
    return {};
}

QString EntityTypeName(const Entity& e)
{
    if (e.kind == EntityKind::Other && !e.Record().empty()) {
        const std::string_view type = RecordType(e.Record());
        return QString::fromLatin1(type.data(), qsizetype(type.size())).toUpper();
    }
    return EntityTypeName(e.kind);
}

QString ObjectModelName(const Entity& e)
{
    switch (e.kind) {
    case EntityKind::Line: return QStringLiteral("AcDbLine");
    case EntityKind::Text: return QStringLiteral("AcDbText");
    case EntityKind::Point: return QStringLiteral("AcDbPoint");
    case EntityKind::Polyline3d: return QStringLiteral("AcDb3dPolyline");
    case EntityKind::LwPolyline: return QStringLiteral("AcDbPolyline");
    case EntityKind::Solid: return QStringLiteral("AcDbSolid");
    case EntityKind::Other: break;
    }
    const QString type = EntityTypeName(e);
    // The kinds with a unit of their own name themselves; the others kept by their record:
    if (const QString name = ObjectNameOfKind(type); !name.isEmpty())
        return name;
    static const std::pair<const char*, const char*> names[] = {
        {"ATTDEF", "AcDbAttributeDefinition"}, {"VIEWPORT", "AcDbViewport"}, {"MLINE", "AcDbMline"},
        {"TOLERANCE", "AcDbFcf"}, {"3DSOLID", "AcDb3dSolid"}, {"REGION", "AcDbRegion"}, {"BODY", "AcDbBody"},
        {"MESH", "AcDbSubDMesh"}, {"MULTILEADER", "AcDbMLeader"}, {"MLEADER", "AcDbMLeader"},
        {"SHAPE", "AcDbShape"}, {"HELIX", "AcDbHelix"}, {"TABLE", "AcDbTable"},
        {"UNDERLAY", "AcDbUnderlayReference"}, {"PDFUNDERLAY", "AcDbPdfReference"},
        {"DWFUNDERLAY", "AcDbDwfReference"}, {"DGNUNDERLAY", "AcDbDgnReference"}, {"OLE2FRAME", "AcDbOle2Frame"}};
    for (const auto& [dxf, name] : names)
        if (type == QLatin1String(dxf))
            return QLatin1String(name);
    // A kind of its own: the object model spells it "AcDb" and the type name in mixed case.
    return QStringLiteral("AcDb") + type.left(1) + type.mid(1).toLower();
}

namespace {
// Horizontal and vertical justification of alignments 0..14.
constexpr int kHorizontal[15] = {0, 1, 2, 3, 4, 5, 0, 1, 2, 0, 1, 2, 0, 1, 2};
constexpr int kVertical[15] = {0, 0, 0, 0, 0, 0, 3, 3, 3, 2, 2, 2, 1, 1, 1};
} // namespace

int HorizontalJustification(int alignment)
{
    return alignment >= 0 && alignment <= 14 ? kHorizontal[alignment] : 0;
}

int VerticalJustification(int alignment)
{
    return alignment >= 0 && alignment <= 14 ? kVertical[alignment] : 0;
}

int AlignmentFromJustification(int horizontal, int vertical)
{
    for (int a = 0; a <= 14; ++a)
        if (kHorizontal[a] == horizontal && kVertical[a] == vertical)
            return a;
    if (vertical != 0 && horizontal >= 3)   // aligned, middle and fit ignore the vertical part
        return AlignmentFromJustification(horizontal, 0);
    return -1;
}

double TextAdvance(const QString& text, double height)
{
    return 0.6 * height * double(text.size());
}

std::vector<Point3> TextCorners(const Entity& t)
{
    const double w = TextAdvance(t.text, t.height);
    const double h = t.height;
    // The anchor in the text's own frame: origin at the left end of the baseline.
    double ax = 0.0, ay = 0.0;
    Point3 anchor = t.points.empty() ? Point3{} : t.points[0];
    if (t.alignment != kAlignLeft) {
        anchor = t.alignmentPoint;
        switch (HorizontalJustification(t.alignment)) {
        case 1: case 4: ax = w / 2; break;
        case 2: ax = w; break;
        default: break;
        }
        if (t.alignment == kAlignMiddle)
            ay = h / 2;
        else
            switch (VerticalJustification(t.alignment)) {
            case 2: ay = h / 2; break;
            case 3: ay = h; break;
            default: break;
            }
    }
    const double c = std::cos(t.rotation), s = std::sin(t.rotation);
    auto place = [&](double lx, double ly) {
        const double dx = lx - ax, dy = ly - ay;
        return Point3{anchor.x + c * dx - s * dy, anchor.y + s * dx + c * dy, anchor.z};
    };
    return {place(0, 0), place(w, 0), place(w, h), place(0, h)};
}

Box2 EntityBounds(const Entity& e)
{
    Box2 b;
    if (e.kind == EntityKind::Text) {
        for (const Point3& p : TextCorners(e))
            b.Add(p);
        return b;
    }
    for (const Point3& p : e.points)
        if (!IsBreak(p))   // a break's y is no coordinate
            b.Add(p);
    return b;
}

namespace {

// Liang-Barsky: does the segment a-b meet the closed box?
bool SegmentMeetsBox(const Point3& a, const Point3& b, const Box2& box)
{
    double t0 = 0.0, t1 = 1.0;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - box.minX, box.maxX - a.x, a.y - box.minY, box.maxY - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
        } else {
            const double r = q[i] / p[i];
            if (p[i] < 0.0) {
                if (r > t1)
                    return false;
                t0 = std::max(t0, r);
            } else {
                if (r < t0)
                    return false;
                t1 = std::min(t1, r);
            }
        }
    }
    return t0 <= t1;
}

// Even-odd test of a point against a closed polygon.
bool PolygonContains(const std::vector<Point3>& poly, double x, double y)
{
    bool inside = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Point3& a = poly[i];
        const Point3& b = poly[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

bool PolygonMeetsBox(const std::vector<Point3>& poly, const Box2& box)
{
    for (std::size_t i = 0; i < poly.size(); ++i)
        if (SegmentMeetsBox(poly[i], poly[(i + 1) % poly.size()], box))
            return true;
    return PolygonContains(poly, box.minX, box.minY);   // the window lies wholly inside
}

bool PolylineMeetsBox(const std::vector<Point3>& pts, bool closed, const Box2& box)
{
    if (pts.size() == 1)
        return box.Contains(pts[0].x, pts[0].y);
    for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        if (!IsBreak(pts[i]) && !IsBreak(pts[i + 1]) && SegmentMeetsBox(pts[i], pts[i + 1], box))
            return true;
    return closed && pts.size() > 2 && SegmentMeetsBox(pts.back(), pts.front(), box);
}

} // namespace

bool OutlineMeetsWindow(const std::vector<Point3>& points, bool closed, const Box2& window)
{
    return !points.empty() && PolylineMeetsBox(points, closed, window);
}

bool EntityCrossesWindow(const Entity& e, const Box2& window)
{
    if (e.points.empty())
        return false;
    switch (e.kind) {
    case EntityKind::Point:
        return window.Contains(e.points[0].x, e.points[0].y);
    case EntityKind::Line:
        return e.points.size() >= 2 && SegmentMeetsBox(e.points[0], e.points[1], window);
    case EntityKind::Polyline3d:
    case EntityKind::LwPolyline:
        return PolylineMeetsBox(e.points, e.closed, window);
    case EntityKind::Solid: {
        if (e.points.size() < 4)
            return PolylineMeetsBox(e.points, true, window);
        // A solid's outline runs 1-2-4-3.
        const std::vector<Point3> outline{e.points[0], e.points[1], e.points[3], e.points[2]};
        return PolygonMeetsBox(outline, window);
    }
    case EntityKind::Text:
        return PolygonMeetsBox(TextCorners(e), window);
    case EntityKind::Other:
        return PolylineMeetsBox(e.points, e.closed, window);
    }
    return false;
}

} // namespace cadhost
