// MTEXT: insertion point (10), character height (40), wrapping width (41), attachment point
// (71), line spacing factor (44), direction (11, or rotation 50 in degrees in its plane), and
// its string in 3 groups followed by a 1 group, with inline codes.
#include <cmath>
#include <numbers>

#include "cadhost/engine/DxfGroups.h"
#include "cadhost/engine/kinds/MTextLayout.h"
#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

struct Frame {
    Point3 at;
    double rotation = 0;
};

Frame FrameOf(const KindRead& r)
{
    Frame f;
    f.at = r.f.At(10);
    if (r.f.has[11] && (r.f.v[11] != 0 || r.f.v[21] != 0)) {
        f.rotation = std::atan2(r.f.v[21], r.f.v[11]);
    } else {
        const double a = r.f.v[50] * std::numbers::pi / 180;
        const Point3 d = r.ocs.ToWorld(Point3{std::cos(a), std::sin(a), 0});
        f.rotation = std::atan2(d.y, d.x);
    }
    return f;
}

MTextLayout Layout(const KindRead& r, const TextMeasure& measure)
{
    std::string raw;
    for (const DxfGroup* g : r.own)
        if (g->code == 3 || g->code == 1)
            raw += g->value;
    MTextPiece base;
    base.height = r.f.Or(40, 1.0) > 0 ? r.f.Or(40, 1.0) : 1.0;
    const double spacing = std::clamp(r.f.Or(44, 1.0), 0.25, 4.0);
    return LayoutMText(DecodeMText(FromDxfText(raw), base), std::max(r.f.v[41], 0.0), int(r.f.Or(71, 1)), spacing,
                       measure);
}

Point3 Place(const Frame& f, double x, double y)
{
    const double c = std::cos(f.rotation), s = std::sin(f.rotation);
    return {f.at.x + c * x - s * y, f.at.y + s * x + c * y, f.at.z};
}

std::vector<Point3> MTextOutline(const KindRead& r)
{
    const Frame f = FrameOf(r);
    const MTextLayout l = Layout(r, CellMeasure);
    const double x0 = l.left, x1 = l.left + l.width, y0 = l.top - l.height, y1 = l.top;
    return {OutlineTextBreak(), Place(f, x0, y0), Place(f, x1, y0), Place(f, x1, y1), Place(f, x0, y1), Place(f, x0, y0)};
}

void MTextSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    out.push_back({r.f.At(10), kSnapInsertion});
}

void MTextTexts(const KindRead& r, const TextMeasure& measure, std::vector<TextRun>& out)
{
    const Frame f = FrameOf(r);
    for (TextRun& run : Layout(r, measure).runs) {
        run.at = Place(f, run.at.x, run.at.y);
        run.rotation = f.rotation;
        out.push_back(std::move(run));
    }
}

} // namespace

const KindUnit kMTextUnit{"MTEXT", "AcDbMText", MTextOutline, MTextSnaps, MTextTexts};

} // namespace cadhost::kinds
