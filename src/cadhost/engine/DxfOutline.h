// What the kinds the host keeps by their record show: arcs, circles, ellipses, polylines with
// bulges, splines, block references (and dimensions through their block), hatch boundaries,
// leaders, 3D faces, image frames, texts, multiline texts and lines without end. Each kind is
// a unit of its own under kinds/; these functions find the unit by the record's type name.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QString>

#include "cadhost/engine/DxfRecord.h"
#include "cadhost/engine/Geometry.h"
#include "cadhost/engine/SnapModes.h"
#include "cadhost/engine/kinds/Curves.h"

namespace cadhost {

// The block definitions of a BLOCKS section's groups.
DxfBlocks ReadBlocks(const std::vector<DxfGroup>& groups);

inline Point3 OutlineBreak() { return BreakPoint(); }
inline bool IsOutlineBreak(const Point3& p) { return IsBreak(p); }
// The break before the box of a text: the box is there for extents and selection, and is
// drawn only where the text itself is not.
inline Point3 OutlineTextBreak() { return Point3{std::numeric_limits<double>::quiet_NaN(), 1.0, 0.0}; }
inline bool IsOutlineTextBreak(const Point3& p) { return IsBreak(p) && p.y == 1.0; }

// The outline of an entity record in drawing coordinates: polylines joined point to point,
// pieces separated by OutlineBreak() (a text's box by OutlineTextBreak()). Empty for a kind
// without one.
std::vector<Point3> OutlineOf(const DxfRecord& record, const DxfBlocks& blocks);

// The points of the record that object snap offers for the modes asked (SnapMode bits).
std::vector<SnapPoint> SnapPointsOf(const DxfRecord& record, const DxfBlocks& blocks, int modes);

// One line of text as it is drawn: its string from the left end of its baseline, in drawing
// units, with the style it is written in.
struct TextRun {
    QString text;
    Point3 at;                  // left end of the baseline
    double height = 1.0;        // cap height
    double rotation = 0.0;      // radians, counter-clockwise
    double widthFactor = 1.0;   // its glyphs stretched across by this
    QString font;               // family; empty: the drawing's text style
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool overline = false;
    bool strike = false;
    int color = -1;             // its own colour index; -1: the entity's
};

// The width a run of text takes in drawing units: the engine's cell measure or a view's glyphs.
using TextMeasure = std::function<double(const TextRun&)>;
// Every character a cell 0.6 of the height wide (stretched by the width factor).
double CellMeasure(const TextRun& run);

// The texts the record shows, placed (multiline texts wrapped by `measure`); empty for a
// kind without text.
std::vector<TextRun> TextRunsOf(const DxfRecord& record, const DxfBlocks& blocks, const TextMeasure& measure = CellMeasure);
// True when the record's kind shows texts (a text, a multiline text, a block reference,
// a dimension).
bool ShowsTexts(const DxfRecord& record);

// A line without end: through `base` along `direction`, both ways or one (a ray).
struct EndlessLine {
    Point3 base;
    Point3 direction;
    bool bothWays = true;
};
std::vector<EndlessLine> EndlessLinesOf(const DxfRecord& record);
// The box of a line without end: infinite along each axis it runs along (one way for a ray),
// the base's coordinate across one it does not; not bounded (Box2::IsBounded) in any case.
Box2 EndlessBox(const EndlessLine& line);
// The part of the line inside the box (ends a, b); false when it misses the box.
bool ClipEndless(const EndlessLine& line, const Box2& box, Point3& a, Point3& b);

// The extents of an entity record in the xy plane: those of its outline, and where it has
// lines without end, a box that is not bounded. Empty for a kind without either.
Box2 ExtentsOf(const DxfRecord& record, const DxfBlocks& blocks);

// The object model's class name of a type name ("ARC" -> "AcDbArc"); empty when no unit
// knows it.
QString ObjectNameOfKind(const QString& type);

} // namespace cadhost
