// LWPOLYLINE (vertices 10/20 in its plane at elevation 38, bulges 42, closed by flag 70 bit 1)
// and POLYLINE (its VERTEX records; 2D ones in their plane, 3D ones, flag 8, in drawing
// coordinates).
#include "cadhost/engine/kinds/Units.h"

namespace cadhost::kinds {

namespace {

struct Run {
    std::vector<Point3> vertices;   // in the polyline's plane (a 3D one: drawing coordinates)
    std::vector<double> bulges;
    bool closed = false;
    bool planar = true;             // its plane applies
};

Run LwRun(const KindRead& r)
{
    Run run;
    for (const DxfGroup* g : r.own) {
        if (g->code == 10) {
            run.vertices.push_back({Number(*g), 0.0, r.f.v[38]});
            run.bulges.push_back(0.0);
        } else if (g->code == 20 && !run.vertices.empty()) {
            run.vertices.back().y = Number(*g);
        } else if (g->code == 42 && !run.bulges.empty()) {
            run.bulges.back() = Number(*g);
        }
    }
    run.closed = (int(r.f.v[70]) & 1) != 0;
    return run;
}

Run PolylineRun(const KindRead& r)
{
    Run run;
    const auto& groups = r.record.groups;
    for (std::size_t i = 1; i < groups.size(); ++i) {
        if (groups[i].code != 0 || Upper(groups[i].value) != "VERTEX")
            continue;
        Point3 p;
        double bulge = 0.0;
        int flags = 0;
        for (std::size_t j = i + 1; j < groups.size() && groups[j].code != 0; ++j) {
            const DxfGroup& g = groups[j];
            if (g.code == 10) p.x = Number(g);
            else if (g.code == 20) p.y = Number(g);
            else if (g.code == 30) p.z = Number(g);
            else if (g.code == 42) bulge = Number(g);
            else if (g.code == 70) flags = int(Number(g));
        }
        if (flags & (16 | 128))
            continue;   // spline frame points and polyface face records
        run.vertices.push_back(p);
        run.bulges.push_back(bulge);
    }
    const int flags = int(r.f.v[70]);
    run.closed = (flags & 1) != 0;
    run.planar = (flags & (8 | 16 | 64)) == 0;
    return run;
}

std::vector<Point3> Outline(const KindRead& r, const Run& run)
{
    std::vector<Point3> out = BulgedRun(run.vertices, run.bulges, run.closed);
    if (run.planar)
        r.ocs.ToWorld(out);
    return out;
}

// Every vertex is the end of a segment; an arc segment has a centre.
void Snaps(const KindRead& r, const Run& run, std::vector<SnapPoint>& out)
{
    const Ocs plane = run.planar ? r.ocs : Ocs{};
    const std::size_t n = run.vertices.size();
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back({plane.ToWorld(run.vertices[i]), kSnapEndpoint});
        Point3 centre;
        if ((i + 1 < n || (run.closed && n > 1))
            && BulgeCentre(run.vertices[i], run.vertices[(i + 1) % n], run.bulges[i], centre))
            out.push_back({plane.ToWorld(centre), kSnapCenter});
    }
}

// Its segments and arcs, in its plane's axes.
void Pieces(const KindRead& r, const Run& run, std::vector<CurvePiece>& out)
{
    const std::size_t from = out.size();
    BulgedPieces(run.vertices, run.bulges, run.closed, out);
    if (run.planar && !r.ocs.identity)
        for (std::size_t i = from; i < out.size(); ++i)
            out[i] = out[i].Mapped([&](const Point3& p) { return r.ocs.ToWorld(p); });
}

std::vector<Point3> LwOutline(const KindRead& r) { return Outline(r, LwRun(r)); }
void LwPieces(const KindRead& r, std::vector<CurvePiece>& out) { Pieces(r, LwRun(r), out); }
void PolylinePieces(const KindRead& r, std::vector<CurvePiece>& out) { Pieces(r, PolylineRun(r), out); }
void LwSnaps(const KindRead& r, std::vector<SnapPoint>& out) { Snaps(r, LwRun(r), out); }
std::vector<Point3> PolylineOutline(const KindRead& r) { return Outline(r, PolylineRun(r)); }
void PolylineSnaps(const KindRead& r, std::vector<SnapPoint>& out) { Snaps(r, PolylineRun(r), out); }

} // namespace

const KindUnit kLwPolylineUnit{"LWPOLYLINE", "AcDbPolyline", LwOutline, LwSnaps, nullptr, nullptr, LwPieces};
const KindUnit kPolylineUnit{"POLYLINE", "AcDbPolyline", PolylineOutline, PolylineSnaps, nullptr, nullptr, PolylinePieces};

} // namespace cadhost::kinds
