// The door to the kinds' units: finds a record's unit by its type name and asks it, keeping
// what every kind shares (a drawing cut short past a size, points beyond reach refused).
#include "cadhost/engine/DxfOutline.h"

#include <cmath>
#include <limits>

#include "cadhost/engine/kinds/KindUnit.h"

namespace cadhost {

using kinds::KindRead;
using kinds::KindUnit;

namespace {

const KindUnit* UnitOf(const DxfRecord& record)
{
    if (record.groups.empty())
        return nullptr;
    // Files spell type names in upper case without blanks: looked up as they stand first.
    const std::string& type = record.groups.front().value;
    if (const KindUnit* unit = kinds::FindKind(type))
        return unit;
    return kinds::FindKind(kinds::Upper(type));
}

bool Reachable(const Point3& p)
{
    return std::abs(p.x) < 1e15 && std::abs(p.y) < 1e15 && std::abs(p.z) < 1e15;
}

} // namespace

namespace kinds {

std::vector<Point3> OutlineAt(const DxfRecord& record, const DxfBlocks& blocks, int depth)
{
    const KindUnit* unit = UnitOf(record);
    if (!unit || !unit->outline)
        return {};
    std::vector<Point3> out = unit->outline(KindRead(record, blocks, depth));
    if (out.size() > kMostPoints)
        out.resize(kMostPoints);
    for (const Point3& p : out)
        if (!IsOutlineBreak(p) && !Reachable(p))
            return {};
    return out;
}

void SnapsAt(const DxfRecord& record, const DxfBlocks& blocks, int depth, std::vector<SnapPoint>& out)
{
    const KindUnit* unit = UnitOf(record);
    if (unit && unit->snaps)
        unit->snaps(KindRead(record, blocks, depth), out);
}

void TextsAt(const DxfRecord& record, const DxfBlocks& blocks, int depth, const TextMeasure& measure,
             std::vector<TextRun>& out)
{
    const KindUnit* unit = UnitOf(record);
    if (unit && unit->texts)
        unit->texts(KindRead(record, blocks, depth), measure, out);
}

} // namespace kinds

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
        const std::string type = kinds::Upper(groups[i].value);
        if (type == "BLOCK") {
            std::vector<const DxfGroup*> own;
            ForOwnGroups(r, [&](std::size_t, const DxfGroup& g) { own.push_back(&g); });
            const kinds::Fields f(own);
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
    return kinds::OutlineAt(record, blocks, 0);
}

std::vector<SnapPoint> SnapPointsOf(const DxfRecord& record, const DxfBlocks& blocks, int modes)
{
    std::vector<SnapPoint> all;
    kinds::SnapsAt(record, blocks, 0, all);
    std::vector<SnapPoint> out;
    for (const SnapPoint& p : all)
        if ((p.mode & modes) && Reachable(p.at))
            out.push_back(p);
    return out;
}

double CellMeasure(const TextRun& run)
{
    return 0.6 * run.height * run.widthFactor * double(run.text.size());
}

std::vector<TextRun> TextRunsOf(const DxfRecord& record, const DxfBlocks& blocks, const TextMeasure& measure)
{
    std::vector<TextRun> out;
    kinds::TextsAt(record, blocks, 0, measure, out);
    std::erase_if(out, [](const TextRun& run) { return !Reachable(run.at) || !std::isfinite(run.rotation) || !(run.height > 0); });
    return out;
}

bool ShowsTexts(const DxfRecord& record)
{
    const KindUnit* unit = UnitOf(record);
    return unit && unit->texts;
}

std::vector<EndlessLine> EndlessLinesOf(const DxfRecord& record)
{
    std::vector<EndlessLine> out;
    const KindUnit* unit = UnitOf(record);
    if (unit && unit->endless) {
        static const DxfBlocks none;
        unit->endless(KindRead(record, none, 0), out);
    }
    return out;
}

Box2 EndlessBox(const EndlessLine& line)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double o[2] = {line.base.x, line.base.y}, d[2] = {line.direction.x, line.direction.y};
    double lo[2], hi[2];
    for (int k = 0; k < 2; ++k) {
        lo[k] = d[k] == 0.0 ? o[k] : (line.bothWays || d[k] < 0.0 ? -inf : o[k]);
        hi[k] = d[k] == 0.0 ? o[k] : (line.bothWays || d[k] > 0.0 ? inf : o[k]);
    }
    // Seen end on (running along z) it is a point on screen: it still takes no part in extents.
    if (d[0] == 0.0 && d[1] == 0.0)
        return Box2{-inf, -inf, inf, inf};
    return Box2{lo[0], lo[1], hi[0], hi[1]};
}

bool ClipEndless(const EndlessLine& line, const Box2& box, Point3& a, Point3& b)
{
    double t0 = -std::numeric_limits<double>::infinity(), t1 = std::numeric_limits<double>::infinity();
    if (!line.bothWays)
        t0 = 0.0;
    const double d[2] = {line.direction.x, line.direction.y};
    const double o[2] = {line.base.x, line.base.y};
    const double lo[2] = {box.minX, box.minY}, hi[2] = {box.maxX, box.maxY};
    for (int k = 0; k < 2; ++k) {
        if (d[k] == 0.0) {
            if (o[k] < lo[k] || o[k] > hi[k])
                return false;
            continue;
        }
        double u0 = (lo[k] - o[k]) / d[k], u1 = (hi[k] - o[k]) / d[k];
        if (u0 > u1)
            std::swap(u0, u1);
        t0 = std::max(t0, u0);
        t1 = std::min(t1, u1);
    }
    if (!(t0 <= t1) || !std::isfinite(t0) || !std::isfinite(t1))
        return false;
    a = Point3{o[0] + t0 * d[0], o[1] + t0 * d[1], 0};
    b = Point3{o[0] + t1 * d[0], o[1] + t1 * d[1], 0};
    return true;
}

Box2 ExtentsOf(const DxfRecord& record, const DxfBlocks& blocks)
{
    Box2 box;
    for (const Point3& p : OutlineOf(record, blocks))
        if (!IsBreak(p))
            box.Add(p);
    for (const EndlessLine& line : EndlessLinesOf(record)) {
        // Taken in corner by corner: Add of a box leaves out one that is not bounded.
        const Box2 reach = EndlessBox(line);
        box.Add(reach.minX, reach.minY);
        box.Add(reach.maxX, reach.maxY);
    }
    return box;
}

QString ObjectNameOfKind(const QString& type)
{
    const KindUnit* unit = kinds::FindKind(type.toStdString());
    return unit ? QLatin1String(unit->objectName) : QString();
}

} // namespace cadhost
