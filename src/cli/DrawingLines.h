// The straight lines of one layer of a DXF drawing and the points of another, read through dxflib:
// what `ardela import` makes a truss of.
#pragma once

#include <array>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "truss/TrussFromLines.h"

namespace ardela::cli {

struct DrawingLines {
    // LINE entities and the segments of LWPOLYLINE and POLYLINE entities on the line layer, in
    // the drawing's order; a closed polyline has its closing segment.
    std::vector<DrawnLine> lines;
    // POINT entities on the point layer.
    std::vector<std::array<double, 2>> points;
    // The layers holding lines or polylines, as the drawing spells them (for a message when the
    // asked layer has none).
    QStringList layersWithLines;
};

// Reads the model space of the DXF file `native` (entities inside block definitions take no
// part); layer names compare without regard to letter case, and an empty point layer reads no
// points. Throws ModelError when the file cannot be read as DXF or a polyline on the line layer
// has an arc segment (a bulge) or is a mesh.
DrawingLines ReadDrawingLines(const QByteArray& native, const QString& lineLayer, const QString& pointLayer);

} // namespace ardela::cli
