// 3DFACE (corners 10..13 in drawing coordinates, drawn in order), SOLID and TRACE (corners in
// their plane, the outline running 1-2-4-3).
#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

std::vector<Point3> Corners(const KindRead& r)
{
    const Point3 p3 = r.f.has[13] ? r.f.At(13) : r.f.At(12);
    return {r.f.At(10), r.f.At(11), r.f.At(12), p3};
}

std::vector<Point3> FaceOutline(const KindRead& r)
{
    const std::vector<Point3> c = Corners(r);
    return {c[0], c[1], c[2], c[3], c[0]};
}

void FaceSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    for (const Point3& p : Corners(r))
        out.push_back({p, kSnapEndpoint});
}

std::vector<Point3> SolidOutline(const KindRead& r)
{
    const std::vector<Point3> c = Corners(r);
    std::vector<Point3> out{c[0], c[1], c[3], c[2], c[0]};
    r.ocs.ToWorld(out);
    return out;
}

void SolidSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    for (const Point3& p : Corners(r))
        out.push_back({r.ocs.ToWorld(p), kSnapEndpoint});
}

} // namespace

const KindUnit kFaceUnit{"3DFACE", "AcDbFace", FaceOutline, FaceSnaps, nullptr, nullptr, nullptr, true};
const KindUnit kSolidUnit{"SOLID", "AcDbSolid", SolidOutline, SolidSnaps, nullptr, nullptr, nullptr, true};
const KindUnit kTraceUnit{"TRACE", "AcDbTrace", SolidOutline, SolidSnaps, nullptr, nullptr, nullptr, true};

} // namespace cadhost::kinds
