// Nodes and bars taken from the straight lines of a drawing: ends merged within a tolerance,
// lines split where another line ends on them, appended after the rows the tables hold.
#pragma once

#include <vector>

#include <QString>

namespace ardela {

struct TrussModel;

// One straight line of the drawing (a LINE, or one segment of a polyline) and how messages name it
// ("line 3", "polyline 2 segment 4").
struct DrawnLine {
    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
    QString name;
};

// Ends closer than this share of the selection's size (the larger side of the box around its
// lines) are one node.
constexpr double kDefaultLineTolerance = 1e-6;

// What AddLinesToModel made.
struct LinesAdded {
    int firstNode = 0;  // first new node row (NodeCount + 1 before the call)
    int nodes = 0;      // new node rows
    int reusedNodes = 0;  // distinct line ends that fell on nodes already in the table
    int firstBar = 0;
    int bars = 0;
    int splitLines = 0;   // lines cut where other lines end on them
    double tolerance = 0.0;  // the merge distance in drawing units
};

// The merge distance of a selection: `relative` times the larger side of the box around the
// lines (0 when they have no extent).
double MergeDistance(const std::vector<DrawnLine>& lines, double relative);

// Appends a node for every distinct line end (ends and table nodes within the merge distance are
// one node; new nodes numbered along the longer side of the selection's box: by x then y, or by
// y then x) and a bar of area `area` and modulus `modulus` for every line, cut where a node lies
// on it (inside it by more than the merge distance and off its axis by at most that), each piece
// from the line's start towards its end, in the lines' order. Node coordinates are stored as
// doubles, area and modulus as singles, as picking and the grid store them.
// Throws ModelError before anything changes when there are no lines, a coordinate is not a
// number, a line is shorter than the merge distance, two pieces (or a piece and a bar of the
// table) join the same two nodes, or the node or bar table would pass its 1024 rows; the message
// names the lines, nodes and counts concerned.
LinesAdded AddLinesToModel(TrussModel& model, const std::vector<DrawnLine>& lines, float area, float modulus,
                           double relativeTolerance = kDefaultLineTolerance);

} // namespace ardela
