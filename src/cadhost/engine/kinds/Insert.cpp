// INSERT: the block named by 2, scaled (41, 42, 43) about its base, turned (50, degrees),
// moved to the insertion point (10) in the reference's plane, repeated in columns and rows
// (70, 71 spaced 44, 45 along the turned axes); its attributes follow it. DIMENSION: its block
// (2) drawn where it stands, with its definition points (10, 13, 14).
#include <cmath>
#include <numbers>

#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

constexpr std::size_t kMostSnapPoints = 4096;   // a big array offers its first ones

const DxfBlock* BlockOf(const KindRead& r)
{
    const auto it = r.blocks.find(r.f.name);
    return it == r.blocks.end() || r.depth > kMostNesting ? nullptr : &it->second;
}

// The placements of the reference's cells, row by row.
std::vector<Placement> Cells(const KindRead& r, const DxfBlock& block)
{
    std::vector<Placement> out;
    const int cols = std::max(1, int(r.f.Or(70, 1))), rows = std::max(1, int(r.f.Or(71, 1)));
    const double rotation = r.f.v[50] * std::numbers::pi / 180;
    const Point3 at = r.f.At(10);
    const double c = std::cos(rotation), s = std::sin(rotation);
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < cols; ++col) {
            if (out.size() * std::max<std::size_t>(block.entities.size(), 1) * 8 > kMostPoints)
                return out;
            const double dx = col * r.f.v[44], dy = row * r.f.v[45];
            Placement p;
            p.base = block.base;
            p.at = Point3{at.x + c * dx - s * dy, at.y + s * dx + c * dy, at.z};
            p.sx = r.f.Or(41, 1.0);
            p.sy = r.f.Or(42, 1.0);
            p.sz = r.f.Or(43, 1.0);
            p.rotation = rotation;
            p.ocs = r.ocs;
            out.push_back(p);
        }
    return out;
}

std::vector<Point3> BlockOutline(const KindRead& r, const DxfBlock& block)
{
    std::vector<Point3> shape;
    for (const DxfRecord& e : block.entities) {
        std::vector<Point3> piece = OutlineAt(e, r.blocks, r.depth + 1);
        // A text's box keeps its mark.
        if (!shape.empty() && !piece.empty() && IsOutlineTextBreak(piece.front()))
            shape.insert(shape.end(), piece.begin(), piece.end());
        else
            Append(shape, piece);
    }
    return shape;
}

// Attributes: records of their own after the reference.
void AttributeOutlines(const KindRead& r, std::vector<Point3>& out)
{
    for (const DxfRecord& attrib : Followers(r.record, "ATTRIB")) {
        const std::vector<Point3> piece = OutlineAt(attrib, r.blocks, r.depth + 1);
        if (!out.empty() && !piece.empty() && IsOutlineTextBreak(piece.front()))
            out.insert(out.end(), piece.begin(), piece.end());
        else
            Append(out, piece);
    }
}

std::vector<Point3> InsertOutline(const KindRead& r)
{
    std::vector<Point3> out;
    if (const DxfBlock* block = BlockOf(r)) {
        const std::vector<Point3> shape = BlockOutline(r, *block);
        if (!shape.empty())
            for (const Placement& cell : Cells(r, *block)) {
                if (out.size() >= kMostPoints)
                    break;
                const bool marked = IsOutlineTextBreak(shape.front());
                if (!out.empty() && !marked)
                    out.push_back(OutlineBreak());
                const std::size_t from = out.size();
                out.insert(out.end(), shape.begin(), shape.end());
                cell.Apply(out, from);
            }
    }
    AttributeOutlines(r, out);
    return out;
}

void InsertSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    const DxfBlock* block = BlockOf(r);
    if (!block) {
        out.push_back({r.ocs.ToWorld(r.f.At(10)), kSnapInsertion});
        return;
    }
    std::vector<SnapPoint> inside;
    for (const DxfRecord& e : block->entities)
        SnapsAt(e, r.blocks, r.depth + 1, inside);
    for (const Placement& cell : Cells(r, *block)) {
        out.push_back({cell.ocs.ToWorld(cell.at), kSnapInsertion});
        for (const SnapPoint& p : inside) {
            if (out.size() >= kMostSnapPoints)
                return;
            out.push_back({cell.Apply(p.at), p.mode});
        }
    }
}

// The pieces of the block's contents carried by each cell.
void InsertPieces(const KindRead& r, std::vector<CurvePiece>& out)
{
    const DxfBlock* block = BlockOf(r);
    if (!block)
        return;
    std::vector<CurvePiece> inside;
    for (const DxfRecord& e : block->entities)
        PiecesAt(e, r.blocks, r.depth + 1, inside);
    for (const Placement& cell : Cells(r, *block))
        for (const CurvePiece& p : inside) {
            if (out.size() >= kMostPieces)
                return;
            out.push_back(p.Mapped([&](const Point3& q) { return cell.Apply(q); }));
        }
}

// A run carried through a placement: its start moved, its direction and height turned and
// scaled with the block.
TextRun Carried(const Placement& cell, TextRun run)
{
    const double c = std::cos(run.rotation), s = std::sin(run.rotation);
    const Point3 at = cell.Apply(run.at);
    const Point3 along = cell.Apply(Point3{run.at.x + c, run.at.y + s, run.at.z});
    const Point3 up = cell.Apply(Point3{run.at.x - s, run.at.y + c, run.at.z});
    const double ux = along.x - at.x, uy = along.y - at.y, vx = up.x - at.x, vy = up.y - at.y;
    const double across = std::hypot(ux, uy), high = std::hypot(vx, vy);
    run.at = at;
    if (across > 0 && high > 0) {
        run.rotation = std::atan2(uy, ux);
        run.height *= high;
        run.widthFactor *= across / high;
    }
    return run;
}

void InsertTexts(const KindRead& r, const TextMeasure& measure, std::vector<TextRun>& out)
{
    if (const DxfBlock* block = BlockOf(r)) {
        std::vector<TextRun> inside;
        for (const DxfRecord& e : block->entities)
            TextsAt(e, r.blocks, r.depth + 1, measure, inside);
        if (!inside.empty())
            for (const Placement& cell : Cells(r, *block))
                for (const TextRun& run : inside)
                    out.push_back(Carried(cell, run));
    }
    for (const DxfRecord& attrib : Followers(r.record, "ATTRIB"))
        TextsAt(attrib, r.blocks, r.depth + 1, measure, out);
}

std::vector<Point3> DimensionOutline(const KindRead& r)
{
    const DxfBlock* block = BlockOf(r);
    return block ? BlockOutline(r, *block) : std::vector<Point3>{};
}

void DimensionSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    for (int code : {10, 13, 14})
        if (r.f.has[code])
            out.push_back({r.f.At(code), kSnapNode});
}

void DimensionPieces(const KindRead& r, std::vector<CurvePiece>& out)
{
    if (const DxfBlock* block = BlockOf(r))
        for (const DxfRecord& e : block->entities)
            PiecesAt(e, r.blocks, r.depth + 1, out);
}

void DimensionTexts(const KindRead& r, const TextMeasure& measure, std::vector<TextRun>& out)
{
    if (const DxfBlock* block = BlockOf(r))
        for (const DxfRecord& e : block->entities)
            TextsAt(e, r.blocks, r.depth + 1, measure, out);
}

} // namespace

const KindUnit kInsertUnit{"INSERT", "AcDbBlockReference", InsertOutline, InsertSnaps, InsertTexts, nullptr, InsertPieces};
const KindUnit kDimensionUnit{"DIMENSION", "AcDbDimension", DimensionOutline, DimensionSnaps, DimensionTexts, nullptr,
                              DimensionPieces};

} // namespace cadhost::kinds
