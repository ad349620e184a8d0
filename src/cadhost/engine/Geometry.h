// Plain geometry of the drawing engine: points in drawing units and axis-aligned boxes.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace cadhost {

struct Point3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    friend bool operator==(const Point3&, const Point3&) = default;
};

// The point that separates the pieces of an outline drawn as one run of points (its x is
// NaN); boxes, crossing tests and drawing skip it.
inline Point3 BreakPoint() { return Point3{std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0}; }
inline bool IsBreak(const Point3& p) { return std::isnan(p.x); }

// An axis-aligned box in the xy plane; an empty box has min > max. The box of a line without
// end reaches without end (infinite coordinates) along it: it is not bounded.
struct Box2 {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    static Box2 FromCorners(const Point3& a, const Point3& b)
    {
        return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    }
    bool IsEmpty() const { return minX > maxX || minY > maxY; }
    bool IsBounded() const
    {
        return !IsEmpty() && std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) && std::isfinite(maxY);
    }
    void Add(double x, double y)
    {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
    void Add(const Point3& p) { Add(p.x, p.y); }
    // Extents are those of what has an end: a box that is not bounded adds nothing.
    void Add(const Box2& b)
    {
        if (b.IsBounded()) {
            Add(b.minX, b.minY);
            Add(b.maxX, b.maxY);
        }
    }
    bool Intersects(const Box2& b) const
    {
        return minX <= b.maxX && b.minX <= maxX && minY <= b.maxY && b.minY <= maxY;
    }
    bool Contains(double x, double y) const
    {
        return x >= minX && x <= maxX && y >= minY && y <= maxY;
    }
    double Width() const { return maxX - minX; }
    double Height() const { return maxY - minY; }
};

} // namespace cadhost
