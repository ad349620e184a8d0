// LINE (as block contents; lines of model space are the document's own) and POINT.
#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

std::vector<Point3> LineOutline(const KindRead& r)
{
    return {r.f.At(10), r.f.At(11)};
}

void LineSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    out.push_back({r.f.At(10), kSnapEndpoint});
    out.push_back({r.f.At(11), kSnapEndpoint});
}

void PointSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    out.push_back({r.f.At(10), kSnapNode});
}

} // namespace

const KindUnit kLineUnit{"LINE", "AcDbLine", LineOutline, LineSnaps, nullptr, nullptr, nullptr, true};
const KindUnit kPointUnit{"POINT", "AcDbPoint", nullptr, PointSnaps};

} // namespace cadhost::kinds
