// The lines a kind the host keeps by its record is drawn with: arcs, circles, ellipses,
// polylines with bulges, splines, block references (and dimensions through their block),
// hatch boundaries, leaders, 3D faces, image frames and multiline text boxes.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cadhost/engine/DxfRecord.h"
#include "cadhost/engine/Geometry.h"

namespace cadhost {

// The block definitions of a BLOCKS section's groups.
DxfBlocks ReadBlocks(const std::vector<DxfGroup>& groups);

inline Point3 OutlineBreak() { return BreakPoint(); }
inline bool IsOutlineBreak(const Point3& p) { return IsBreak(p); }

// The outline of an entity record in drawing coordinates: polylines joined point to point,
// pieces separated by OutlineBreak(). Empty for a kind without one.
std::vector<Point3> OutlineOf(const DxfRecord& record, const DxfBlocks& blocks);

// The points of an arc from a0 to a1 (radians, counter-clockwise, a1 > a0) about the centre.
std::vector<Point3> ArcPoints(const Point3& centre, double radius, double a0, double a1);
// The points of a polyline segment from p to q with bulge b (tan of a quarter of its angle,
// positive counter-clockwise), q included, p not.
void BulgePoints(const Point3& p, const Point3& q, double bulge, std::vector<Point3>& out);
// Points along a B-spline of the given knots, control points and weights (all 1 or empty
// for a non-rational one), from the first to the last parameter of its domain.
std::vector<Point3> SplinePoints(int degree, const std::vector<double>& knots, const std::vector<Point3>& controls,
                                 const std::vector<double>& weights, int count);

} // namespace cadhost
