// The door to the kinds' units: finds a record's unit by its type name and asks it, keeping
// what every kind shares (a drawing cut short past a size, points beyond reach refused).
#include "cadhost/engine/DxfOutline.h"

#include <cmath>

#include "cadhost/engine/kinds/KindUnit.h"

namespace cadhost {

using kinds::KindRead;
using kinds::KindUnit;

namespace {

const KindUnit* UnitOf(const DxfRecord& record)
{
    return record.groups.empty() ? nullptr : kinds::FindKind(kinds::Upper(record.groups.front().value));
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

QString ObjectNameOfKind(const QString& type)
{
    const KindUnit* unit = kinds::FindKind(type.toStdString());
    return unit ? QLatin1String(unit->objectName) : QString();
}

} // namespace cadhost
