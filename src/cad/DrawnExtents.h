// What a routine drew, as a box, and the drawing's view brought onto it: after a run or a redraw
// the engineer sees the results even when the view stood elsewhere.
#pragma once

#include <initializer_list>
#include <limits>
#include <vector>

#include "cad/AcadObjects.h"

namespace ardela::cad {

// A box in drawing units; empty until a point is added.
struct DrawnBox {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    bool Empty() const { return minX > maxX || minY > maxY; }
    void Add(double x, double y);
    // Whether `other` lies wholly inside this box.
    bool Holds(const DrawnBox& other) const;
};

// Records the box of every entity this program adds to a drawing through the link while it
// lives: lines, polylines, points, solids, and texts as far as they can reach at any rotation.
// Recorders may nest; each hears what is added during its own life.
class DrawnExtents {
public:
    DrawnExtents();
    ~DrawnExtents();
    DrawnExtents(const DrawnExtents&) = delete;
    DrawnExtents& operator=(const DrawnExtents&) = delete;

    // The points drawn: line ends, vertices, text insertion and alignment points.
    const DrawnBox& Points() const { return m_points; }
    // The points and as far as any text may reach from its point, at any rotation.
    const DrawnBox& Box() const { return m_box; }

private:
    friend void NoteDrawn(std::initializer_list<Point3> points);
    friend void NoteDrawnVertices(const std::vector<double>& vertices, int stride);
    friend void NoteDrawnText(const Point3& insertion, double height, int characters);
    friend void NoteDrawnTextMoved(const Point3& alignment);

    DrawnBox m_points;
    DrawnBox m_box;
    double m_textReach = 0.0;   // the farthest the last text can reach from its point
    DrawnExtents* m_outer = nullptr;
};

// What the link's model space tells the recorders as it adds an entity (the client proxy calls
// them; nothing happens while no recorder lives).
void NoteDrawn(std::initializer_list<Point3> points);
void NoteDrawnVertices(const std::vector<double>& vertices, int stride);
void NoteDrawnText(const Point3& insertion, double height, int characters);
// The last text added is moved to its alignment point.
void NoteDrawnTextMoved(const Point3& alignment);

// The view of `document` as the engineer sees it, from its "VIEWCTR", "VIEWSIZE" and
// "SCREENSIZE".
DrawnBox ViewOf(AcadDocument& document);

// Zooms the view of `document` onto what `drawn` recorded (its Box, a twentieth more on each
// side) when a point drawn lies outside the view; a view that shows them all is left as the
// engineer set it. Returns whether it zoomed. Failures of the host are thrown (CadError).
bool ShowDrawn(AcadDocument& document, const DrawnExtents& drawn);
// The same on the connection's working drawing, when there is one; a failing host (one without
// the zoom, or gone: the link watch says so) leaves the view as it was.
void ShowDrawnInWorkingDrawing(const DrawnExtents& drawn);

} // namespace ardela::cad
