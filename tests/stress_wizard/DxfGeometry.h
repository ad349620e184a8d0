// The geometry of saved DXF entities as the stress drawing tests compare it: lines as segments,
// 2D and 3D polylines as their vertex lists, solids as their four corners.
#pragma once

#include <cmath>
#include <utility>
#include <vector>

#include <QString>

#include "support/DrawingTestSupport.h"

namespace ardela::test {

using XY = std::pair<double, double>;

struct Segment {
    XY from;
    XY to;
    double Length() const { return std::hypot(to.first - from.first, to.second - from.second); }
    XY Middle() const { return {(from.first + to.first) / 2.0, (from.second + to.second) / 2.0}; }
};

inline bool Near(XY a, XY b, double tolerance = 1e-6)
{
    return std::abs(a.first - b.first) <= tolerance && std::abs(a.second - b.second) <= tolerance;
}

// The same segment, drawn either way round.
inline bool SameSegment(const Segment& s, XY a, XY b, double tolerance = 1e-6)
{
    return (Near(s.from, a, tolerance) && Near(s.to, b, tolerance)) || (Near(s.from, b, tolerance) && Near(s.to, a, tolerance));
}

// The LINE entities on `layer`.
inline std::vector<Segment> Lines(const DxfContents& drawing, const QString& layer)
{
    std::vector<Segment> lines;
    for (const DxfEntity& e : drawing.OnLayer(layer, QStringLiteral("LINE")))
        lines.push_back({{e.Number(10), e.Number(20)}, {e.Number(11), e.Number(21)}});
    return lines;
}

// The vertices of every POLYLINE (its VERTEX records up to SEQEND) and LWPOLYLINE on `layer`.
inline std::vector<std::vector<XY>> Polylines(const DxfContents& drawing, const QString& layer)
{
    std::vector<std::vector<XY>> polylines;
    bool inPolyline = false;
    for (const DxfEntity& e : drawing.entities) {
        if (e.type == QLatin1String("POLYLINE")) {
            inPolyline = e.layer == layer;
            if (inPolyline)
                polylines.emplace_back();
        } else if (e.type == QLatin1String("VERTEX")) {
            if (inPolyline)
                polylines.back().push_back({e.Number(10), e.Number(20)});
        } else {
            inPolyline = false;
            if (e.type == QLatin1String("LWPOLYLINE") && e.layer == layer) {
                std::vector<XY> vertices;
                auto xs = e.codes.equal_range(10);
                auto ys = e.codes.equal_range(20);
                for (auto x = xs.first, y = ys.first; x != xs.second && y != ys.second; ++x, ++y)
                    vertices.push_back({x->second.toDouble(), y->second.toDouble()});
                polylines.push_back(vertices);
            }
        }
    }
    return polylines;
}

} // namespace ardela::test
