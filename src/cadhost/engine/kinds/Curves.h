// The curves the kinds are drawn with, as runs of points: arcs, bulged polyline segments,
// elliptical arcs and B-splines.
#pragma once

#include <vector>

#include "cadhost/engine/Geometry.h"

namespace cadhost {

// The points of an arc from a0 to a1 (radians, counter-clockwise, a1 > a0) about the centre,
// the quadrant points it passes among them (so that its extents are exact).
std::vector<Point3> ArcPoints(const Point3& centre, double radius, double a0, double a1);
// The points of a polyline segment from p to q with bulge b (tan of a quarter of its angle,
// positive counter-clockwise), q included, p not.
void BulgePoints(const Point3& p, const Point3& q, double bulge, std::vector<Point3>& out);
// The centre of the arc of a bulged segment; false for a straight one.
bool BulgeCentre(const Point3& p, const Point3& q, double bulge, Point3& centre);
// A polyline's vertices with their bulges as one run of points (back to the first when closed).
std::vector<Point3> BulgedRun(const std::vector<Point3>& vertices, const std::vector<double>& bulges, bool closed);
// An elliptical arc of centre c, major axis m (relative to c), minor axis `minor` (relative),
// from parameter t0 to t1 (t1 taken past t0 by whole turns).
std::vector<Point3> EllipsePoints(const Point3& c, const Point3& m, const Point3& minor, double t0, double t1);
// Points along a B-spline of the given knots, control points and weights (all 1 or empty
// for a non-rational one), from the first to the last parameter of its domain.
std::vector<Point3> SplinePoints(int degree, const std::vector<double>& knots, const std::vector<Point3>& controls,
                                 const std::vector<double>& weights, int count);

} // namespace cadhost
