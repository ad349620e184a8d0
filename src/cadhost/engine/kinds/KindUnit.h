// One unit per entity kind the host keeps by its record: how the kind reads its DXF fields,
// its outline (what is drawn, and from which extents and selection follow), its snap points,
// the texts it shows and the lines without end it draws. The units are looked up by the
// record's type name; DxfOutline.h is the engine's door to them.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include <QString>

#include "cadhost/engine/DxfOutline.h"
#include "cadhost/engine/SnapModes.h"

namespace cadhost::kinds {

// ---- reading a record

// The number a group spells; 0 for one that is not a finite number.
double Number(const DxfGroup& g);
// Upper case, without the blanks around it.
std::string Upper(std::string_view s);

// First values of the single groups 10..99 of a record's own part, and its name (group 2).
struct Fields {
    double v[100] = {};
    bool has[100] = {};
    std::string name;
    explicit Fields(const std::vector<const DxfGroup*>& groups);
    double Or(int code, double fallback) const { return has[code] ? v[code] : fallback; }
    Point3 At(int code) const { return Point3{v[code], v[code + 10], v[code + 20]}; }
};

// The points of the xCode / xCode+10 / xCode+20 groups in order (a vertex list).
std::vector<Point3> Vertices(const std::vector<const DxfGroup*>& groups, int xCode);

// ---- the entity's own coordinate system

// The plane an entity of a planar kind lies in, given by its extrusion direction (groups
// 210/220/230, default 0,0,1): its axes by the arbitrary axis algorithm of the DXF format.
struct Ocs {
    Point3 ax{1, 0, 0};
    Point3 ay{0, 1, 0};
    Point3 az{0, 0, 1};
    bool identity = true;
    static Ocs FromNormal(const Point3& normal);
    Point3 ToWorld(const Point3& p) const
    {
        if (identity)
            return p;
        return {p.x * ax.x + p.y * ay.x + p.z * az.x, p.x * ax.y + p.y * ay.y + p.z * az.y,
                p.x * ax.z + p.y * ay.z + p.z * az.z};
    }
    // Maps every point (breaks kept) from `from` on.
    void ToWorld(std::vector<Point3>& points, std::size_t from = 0) const;
};

// How a block's contents are placed by a reference: scaled about the block's base, turned,
// moved to the insertion point, all in the reference's own plane.
struct Placement {
    Point3 base;
    Point3 at;
    double sx = 1, sy = 1, sz = 1;
    double rotation = 0;   // radians
    Ocs ocs;
    Point3 Apply(const Point3& p) const;
    void Apply(std::vector<Point3>& points, std::size_t from) const;
};

// What a unit is handed: the record, its own groups (no application groups, extended data or
// following records), their first values, its plane, the drawing's blocks and how deep in
// nested block references it lies.
struct KindRead {
    const DxfRecord& record;
    std::vector<const DxfGroup*> own;
    Fields f;
    Ocs ocs;
    const DxfBlocks& blocks;
    int depth = 0;
    KindRead(const DxfRecord& r, const DxfBlocks& b, int d);
};

// ---- what a unit gives

struct KindUnit {
    const char* type;          // the DXF type name it reads ("ARC")
    const char* objectName;    // the object model's class name ("AcDbArc")
    // The outline in drawing coordinates: runs of points joined point to point, pieces
    // separated by OutlineBreak(); the box of a text piece starts with OutlineTextBreak().
    std::vector<Point3> (*outline)(const KindRead&) = nullptr;
    // Its snap points, each with the SnapMode bit that asks for it.
    void (*snaps)(const KindRead&, std::vector<SnapPoint>&) = nullptr;
    // The texts it shows.
    void (*texts)(const KindRead&, const TextMeasure&, std::vector<TextRun>&) = nullptr;
    // Lines without end (construction lines, rays).
    void (*endless)(const KindRead&, std::vector<EndlessLine>&) = nullptr;
    // Its exact pieces (segments, arcs of circles and ellipses) in drawing coordinates, from
    // which object snap takes intersections and quadrants.
    void (*pieces)(const KindRead&, std::vector<CurvePiece>&) = nullptr;
    // Its outline is exact as it stands (straight segments only): its pieces are its segments.
    bool straight = false;
};

// The unit of a type name (upper case), nullptr for a kind without one.
const KindUnit* FindKind(std::string_view type);

// For units made of other records (block references, attributes): the same as the public
// functions, one level deeper.
std::vector<Point3> OutlineAt(const DxfRecord& record, const DxfBlocks& blocks, int depth);
void SnapsAt(const DxfRecord& record, const DxfBlocks& blocks, int depth, std::vector<SnapPoint>& out);
void TextsAt(const DxfRecord& record, const DxfBlocks& blocks, int depth, const TextMeasure& measure,
             std::vector<TextRun>& out);
void PiecesAt(const DxfRecord& record, const DxfBlocks& blocks, int depth, std::vector<CurvePiece>& out);

// Adds a piece to an outline, behind a break.
void Append(std::vector<Point3>& out, const std::vector<Point3>& piece);
// The records (ATTRIB) that follow a record's own part, each on its own.
std::vector<DxfRecord> Followers(const DxfRecord& record, std::string_view type);

inline constexpr int kMostNesting = 8;                // block references in blocks; deeper not drawn
inline constexpr std::size_t kMostPoints = 200000;    // per entity: a huge array is drawn in part
inline constexpr std::size_t kMostPieces = 4096;      // per entity: a huge array snaps in part

} // namespace cadhost::kinds
