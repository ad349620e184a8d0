// The recorders of what is drawn and the zoom onto it.
#include "cad/DrawnExtents.h"

#include <algorithm>
#include <cmath>

#include "cad/LinkFailure.h"
#include "cad/modHelpers.h"

namespace ardela::cad {

namespace {

// The innermost recorder alive; each keeps the one around it.
DrawnExtents*& Innermost()
{
    static DrawnExtents* innermost = nullptr;
    return innermost;
}

} // namespace

void DrawnBox::Add(double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        return;
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
}

bool DrawnBox::Holds(const DrawnBox& other) const
{
    return !Empty() && other.minX >= minX && other.maxX <= maxX && other.minY >= minY && other.maxY <= maxY;
}

DrawnExtents::DrawnExtents() : m_outer(Innermost())
{
    Innermost() = this;
}

DrawnExtents::~DrawnExtents()
{
    Innermost() = m_outer;
}

void NoteDrawn(std::initializer_list<Point3> points)
{
    for (DrawnExtents* r = Innermost(); r; r = r->m_outer) {
        for (const Point3& p : points) {
            r->m_points.Add(p[0], p[1]);
            r->m_box.Add(p[0], p[1]);
        }
    }
}

void NoteDrawnVertices(const std::vector<double>& vertices, int stride)
{
    for (DrawnExtents* r = Innermost(); r; r = r->m_outer) {
        for (std::size_t i = 0; i + 1 < vertices.size(); i += std::size_t(stride)) {
            r->m_points.Add(vertices[i], vertices[i + 1]);
            r->m_box.Add(vertices[i], vertices[i + 1]);
        }
    }
}

void NoteDrawnText(const Point3& insertion, double height, int characters)
{
    // A character is at most about as wide as the text is high: the text stays within its
    // length and height of its point, whatever its rotation and alignment.
    const double reach = std::fabs(height) * (double(characters) + 1.0);
    for (DrawnExtents* r = Innermost(); r; r = r->m_outer) {
        r->m_textReach = reach;
        r->m_points.Add(insertion[0], insertion[1]);
        r->m_box.Add(insertion[0] - reach, insertion[1] - reach);
        r->m_box.Add(insertion[0] + reach, insertion[1] + reach);
    }
}

void NoteDrawnTextMoved(const Point3& alignment)
{
    for (DrawnExtents* r = Innermost(); r; r = r->m_outer) {
        r->m_points.Add(alignment[0], alignment[1]);
        r->m_box.Add(alignment[0] - r->m_textReach, alignment[1] - r->m_textReach);
        r->m_box.Add(alignment[0] + r->m_textReach, alignment[1] + r->m_textReach);
    }
}

DrawnBox ViewOf(AcadDocument& document)
{
    const Point3 centre = document.GetPointVariable(QStringLiteral("VIEWCTR"));
    const double height = document.GetRealVariable(QStringLiteral("VIEWSIZE"));
    const Point3 screen = document.GetPointVariable(QStringLiteral("SCREENSIZE"));
    const double width = screen[1] > 0.0 ? height * screen[0] / screen[1] : height;
    DrawnBox view;
    view.Add(centre[0] - width / 2.0, centre[1] - height / 2.0);
    view.Add(centre[0] + width / 2.0, centre[1] + height / 2.0);
    return view;
}

bool ShowDrawn(AcadDocument& document, const DrawnExtents& extents)
{
    if (extents.Points().Empty() || ViewOf(document).Holds(extents.Points()))
        return false;
    const DrawnBox& drawn = extents.Box();
    const double margin = std::max(drawn.maxX - drawn.minX, drawn.maxY - drawn.minY) / 20.0;
    document.ZoomWindow({drawn.minX - margin, drawn.minY - margin, 0.0}, {drawn.maxX + margin, drawn.maxY + margin, 0.0});
    return true;
}

void ShowDrawnInWorkingDrawing(const DrawnExtents& drawn)
{
    const AcadDocumentPtr document = CadConnection().AcadDoc;
    if (document)
        IgnoreLinkFailure([&] { ShowDrawn(*document, drawn); });
}

} // namespace ardela::cad
