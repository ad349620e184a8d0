// TEXT and ATTRIB: first alignment point (10) and second (11) in their plane, height (40),
// string (1), rotation (50, degrees), width factor (41), justification (72 across; 73 for a
// TEXT, 74 for an ATTRIB, up).
#include <cmath>
#include <numbers>

#include "cadhost/engine/DxfGroups.h"
#include "cadhost/engine/kinds/MTextLayout.h"
#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

// The text's run in its plane, placed by its justification with the width `measure` gives.
TextRun RunOf(const KindRead& r, const TextMeasure& measure)
{
    TextRun run;
    for (const DxfGroup* g : r.own)
        if (g->code == 1)
            run.text = DecodePercentCodes(FromDxfText(g->value));
    run.height = r.f.Or(40, 1.0) > 0 ? r.f.Or(40, 1.0) : 1.0;
    run.widthFactor = r.f.Or(41, 1.0) > 0 ? r.f.Or(41, 1.0) : 1.0;
    run.rotation = r.f.v[50] * std::numbers::pi / 180;
    const int across = int(r.f.v[72]);
    const int up = int(Upper(r.record.groups.front().value) == "ATTRIB" ? r.f.v[74] : r.f.v[73]);
    const Point3 first = r.f.At(10);
    const Point3 second = r.f.has[11] ? r.f.At(11) : first;
    double width = measure(run);
    if ((across == 3 || across == 5) && r.f.has[11]) {
        // Aligned and fit: from the first point to the second, stretched to fill it.
        const double length = std::hypot(second.x - first.x, second.y - first.y);
        if (length > 0 && width > 0) {
            run.widthFactor *= length / width;
            run.rotation = std::atan2(second.y - first.y, second.x - first.x);
        }
        run.at = first;
        return run;
    }
    if (across == 0 && up == 0) {
        run.at = first;
        return run;
    }
    const double ax = (across == 1 || across == 4) ? width / 2 : across == 2 ? width : 0.0;
    const double ay = (across == 4 || up == 2) ? run.height / 2 : up == 3 ? run.height : 0.0;
    const double c = std::cos(run.rotation), s = std::sin(run.rotation);
    run.at = Point3{second.x - c * ax + s * ay, second.y - s * ax - c * ay, second.z};
    return run;
}

// The run in drawing coordinates.
TextRun Placed(const KindRead& r, TextRun run)
{
    if (!r.ocs.identity) {
        const Point3 d = r.ocs.ToWorld(Point3{std::cos(run.rotation), std::sin(run.rotation), 0});
        run.at = r.ocs.ToWorld(run.at);
        run.rotation = std::atan2(d.y, d.x);
    }
    return run;
}

std::vector<Point3> TextOutline(const KindRead& r)
{
    const TextRun run = Placed(r, RunOf(r, CellMeasure));
    const double w = CellMeasure(run), h = run.height;
    const double c = std::cos(run.rotation), s = std::sin(run.rotation);
    auto corner = [&](double x, double y) { return Point3{run.at.x + c * x - s * y, run.at.y + s * x + c * y, run.at.z}; };
    return {OutlineTextBreak(), corner(0, 0), corner(w, 0), corner(w, h), corner(0, h), corner(0, 0)};
}

void TextSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    const bool left = r.f.v[72] == 0 && r.f.v[73] == 0 && r.f.v[74] == 0;
    out.push_back({r.ocs.ToWorld(left || !r.f.has[11] ? r.f.At(10) : r.f.At(11)), kSnapInsertion});
}

void TextTexts(const KindRead& r, const TextMeasure& measure, std::vector<TextRun>& out)
{
    TextRun run = Placed(r, RunOf(r, measure));
    if (!run.text.isEmpty())
        out.push_back(std::move(run));
}

} // namespace

const KindUnit kTextUnit{"TEXT", "AcDbText", TextOutline, TextSnaps, TextTexts};
const KindUnit kAttribUnit{"ATTRIB", "AcDbAttribute", TextOutline, TextSnaps, TextTexts};

} // namespace cadhost::kinds
