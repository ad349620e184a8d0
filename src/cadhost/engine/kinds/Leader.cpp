// LEADER: its vertices (10) in drawing coordinates.
#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

std::vector<Point3> LeaderOutline(const KindRead& r)
{
    return Vertices(r.own, 10);
}

void LeaderSnaps(const KindRead& r, std::vector<SnapPoint>& out)
{
    for (const Point3& p : Vertices(r.own, 10))
        out.push_back({p, kSnapEndpoint});
}

} // namespace

const KindUnit kLeaderUnit{"LEADER", "AcDbLeader", LeaderOutline, LeaderSnaps, nullptr, nullptr, nullptr, true};

} // namespace cadhost::kinds
