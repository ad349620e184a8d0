// The entities of model space: line, text, point, 3D polyline, lightweight polyline, solid,
// and every other kind a drawing file holds, kept as its file wrote it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include <QString>

#include "cadhost/engine/Geometry.h"

namespace cadhost {

using ObjectId = std::int64_t;

// Other: a kind read from a file that the host keeps, erases, re-layers and recolours but
// does not draw (its type name is the first group of its record).
enum class EntityKind : std::uint8_t { Line, Text, Point, Polyline3d, LwPolyline, Solid, Other };

// Text alignment codes as the automation model numbers them (0 left ... 14 bottom right).
enum TextAlignment : int {
    kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2, kAlignAligned = 3, kAlignMiddle = 4,
    kAlignFit = 5, kAlignTopLeft = 6, kAlignTopCenter = 7, kAlignTopRight = 8,
    kAlignMiddleLeft = 9, kAlignMiddleCenter = 10, kAlignMiddleRight = 11,
    kAlignBottomLeft = 12, kAlignBottomCenter = 13, kAlignBottomRight = 14
};

// Colour index of an entity that takes its layer's colour, and of one that takes its block's.
inline constexpr int kColorByLayer = 256;
inline constexpr int kColorByBlock = 0;

// A drawing holds millions of these: the members are laid out without padding (the eight-byte
// ones first, the small ones packed at the end).
struct Entity {
    ObjectId id = 0;
    // The DXF handle it carries in its file (0 until it has one).
    std::uint64_t handle = 0;
    QString layer;              // the layer's name as the layer table spells it
    QString linetype;           // its own line type as the table spells it; empty: by layer
    // Line: start, end. Point: the point. Polylines: the vertices. Solid: the four corners
    // in the order given (corner 3 and 4 equal for a triangle). Text: the insertion point.
    // Other kinds hold none: their outline is computed from the record when it is needed
    // (Document::Outline), their extents are kept by the document.
    std::vector<Point3> points;
    // Text only.
    QString text;
    Point3 alignmentPoint;      // where the text is anchored when alignment is not left
    double height = 0.0;
    double rotation = 0.0;      // radians, counter-clockwise
    // Its record's text in the file it was read from (Record()), written back as it is, or with
    // what the host changed put in; empty for an entity made here. It points into the text the
    // document keeps with its source, so it is valid while the document lives.
    const char* recordText = nullptr;
    std::uint32_t recordSize = 0;
    int color = kColorByLayer;  // its own colour index 1..255, or by layer / by block
    int alignment = kAlignLeft; // text only
    EntityKind kind = EntityKind::Line;
    bool closed = false;        // polylines only
    bool filled = false;        // other kinds: the closed pieces of its outline are filled (a solid hatch)
    bool edited = false;        // changed since it was read: its record is written with the changes

    std::string_view Record() const { return {recordText, recordSize}; }
    void SetRecord(std::string_view text)
    {
        recordText = text.data();
        recordSize = std::uint32_t(text.size());
    }
};

// The entity type name of a kind ("LINE", "TEXT", "POINT", "POLYLINE", "LWPOLYLINE", "SOLID"),
// matched by selection filters on group code 0.
QString EntityTypeName(EntityKind kind);
// The entity type name of this entity: its kind's, or for another kind its record's ("ARC").
QString EntityTypeName(const Entity& e);
// The object model's class name of the entity ("AcDbLine", "AcDbArc", "AcDbBlockReference").
QString ObjectModelName(const Entity& e);

// Horizontal (0 left, 1 centre, 2 right, 3 aligned, 4 middle, 5 fit) and vertical
// (0 baseline, 1 bottom, 2 middle, 3 top) justification of an alignment code.
int HorizontalJustification(int alignment);
int VerticalJustification(int alignment);
// The alignment code of a pair of justifications; -1 when the pair has none.
int AlignmentFromJustification(int horizontal, int vertical);

// Width of a text of `height` as the engine measures it for selection and extents
// (the view draws real glyphs; this is the cell box every character is given).
double TextAdvance(const QString& text, double height);
// The four corners of the text's box (baseline-left, baseline-right, top-right, top-left),
// placed by its alignment and rotated.
std::vector<Point3> TextCorners(const Entity& text);

// The entity's extents in the xy plane.
Box2 EntityBounds(const Entity& e);
// True when any part of the entity lies inside or on the window (crossing rule). A window
// may have zero width and height: then it is a point.
bool EntityCrossesWindow(const Entity& e, const Box2& window);
// The same for a run of points (break points separate its pieces), closed or not.
bool OutlineMeetsWindow(const std::vector<Point3>& points, bool closed, const Box2& window);

} // namespace cadhost
