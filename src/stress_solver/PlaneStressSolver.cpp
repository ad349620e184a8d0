// The plane-stress analysis in named phases: mesh, supports, loads, equations, pattern, assembly,
// factorisation (CHOLMOD supernodal), refinement, stresses and reactions.
#include "stress_solver/PlaneStressSolver.h"
#include "stress_solver/CholmodSession.h"
#include "stress_solver/HostTuning.h"
#include "stress_solver/SingleFactor.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <future>
#include <map>
#include <memory>
#include <new>
#include <numbers>
#include <string>
#include <system_error>
#include <tuple>

#include <Eigen/Dense>
#include <cholmod.h>

namespace ardela::stress {

namespace {

using Matrix8 = Eigen::Matrix<double, 8, 8>;
using Vector8 = Eigen::Matrix<double, 8, 1>;
using StrainMatrix = Eigen::Matrix<double, 3, 8>;

// Twice the cells Vendel's gridline tables can describe (1023 x 1023): enough for any model, and
// a bound on time and memory for a hand-made input.
constexpr std::int64_t kMostCells = 2 * 1024 * 1024;

// Local corner order of an element, anticlockwise from (x0, y0); natural coordinates.
constexpr int kCornerDx[4] = {0, 1, 1, 0};
constexpr int kCornerDy[4] = {0, 0, 1, 1};
constexpr double kCornerXi[4] = {-1, 1, 1, -1};
constexpr double kCornerEta[4] = {-1, -1, 1, 1};

std::string NumberText(double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    return std::string(buf, res.ptr);
}

std::vector<double> SortedDistinct(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

// Index of the coordinate within `tol` of v, or -1.
int FindCoordinate(const std::vector<double>& sorted, double v, double tol)
{
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), v - tol);
    if (it != sorted.end() && std::fabs(*it - v) <= tol)
        return static_cast<int>(it - sorted.begin());
    return -1;
}

// The plane-stress elasticity matrix D = E/(1-nu²) [1 nu 0; nu 1 0; 0 0 (1-nu)/2].
Eigen::Matrix3d Elasticity(double E, double nu)
{
    Eigen::Matrix3d D;
    const double c = E / (1.0 - nu * nu);
    D << c, c * nu, 0, c * nu, c, 0, 0, 0, c * (1.0 - nu) / 2.0;
    return D;
}

// Strain-displacement matrix of an a x b rectangle at natural point (xi, eta):
// dN/dx = dN/dxi · 2/a, dN/dy = dN/deta · 2/b, with N_k = (1 + xi xi_k)(1 + eta eta_k)/4.
StrainMatrix StrainDisplacement(double a, double b, double xi, double eta)
{
    StrainMatrix B = StrainMatrix::Zero();
    for (int k = 0; k < 4; ++k) {
        const double dx = kCornerXi[k] * (1.0 + eta * kCornerEta[k]) / 4.0 * 2.0 / a;
        const double dy = kCornerEta[k] * (1.0 + xi * kCornerXi[k]) / 4.0 * 2.0 / b;
        B(0, 2 * k) = dx;
        B(1, 2 * k + 1) = dy;
        B(2, 2 * k) = dy;
        B(2, 2 * k + 1) = dx;
    }
    return B;
}

// Ke = Σ Bᵀ D B · t · det J over the 2x2 Gauss points (±1/√3, weights 1), det J = a b / 4.
Matrix8 ElementStiffness(double a, double b, double t, const Eigen::Matrix3d& D)
{
    const double g = 1.0 / std::sqrt(3.0);
    Matrix8 K = Matrix8::Zero();
    for (const double xi : {-g, g})
        for (const double eta : {-g, g}) {
            const StrainMatrix B = StrainDisplacement(a, b, xi, eta);
            K.noalias() += B.transpose() * D * B * (t * a * b / 4.0);
        }
    return K;
}

// The stiffness of every distinct (width, height, subdomain) met in the mesh, computed once.
class StiffnessCache {
public:
    StiffnessCache(const std::vector<Subdomain>& domains, const std::vector<double>& poisson)
    {
        for (std::size_t d = 0; d < domains.size(); ++d)
            m_D.push_back(Elasticity(domains[d].youngModulus, poisson[d]));
        m_domains = &domains;
    }

    const Matrix8& Get(double a, double b, int domain)
    {
        const auto key = std::make_tuple(a, b, domain);
        auto it = m_cache.find(key);
        if (it == m_cache.end()) {
            const Matrix8 K = ElementStiffness(a, b, (*m_domains)[std::size_t(domain)].thickness, m_D[std::size_t(domain)]);
            if (!K.allFinite())
                throw InputError("the stiffness of a " + NumberText(a) + " by " + NumberText(b) + " cell of subdomain "
                                 + std::to_string(domain + 1) + " overflows double precision");
            it = m_cache.emplace(key, K).first;
        }
        return it->second;
    }

    const Eigen::Matrix3d& D(int domain) const { return m_D[std::size_t(domain)]; }

private:
    const std::vector<Subdomain>* m_domains = nullptr;
    std::vector<Eigen::Matrix3d> m_D;
    std::map<std::tuple<double, double, int>, Matrix8> m_cache;
};

double Tolerance(const Mesh& mesh);

// Gridlines closer than the tolerance that places supports and loads cannot be told apart, and
// their cells' stiffness leaves double precision.
void CheckSpacing(const Mesh& mesh)
{
    const double tol = Tolerance(mesh);
    for (const auto& [lines, kind] : {std::pair{&mesh.xs, "vertical"}, std::pair{&mesh.ys, "horizontal"}}) {
        for (std::size_t k = 1; k < lines->size(); ++k) {
            const double a = (*lines)[k - 1], b = (*lines)[k];
            if (!(b - a > tol))
                throw InputError(std::string("the ") + kind + " gridlines " + NumberText(a) + " and " + NumberText(b) + " are "
                                 + NumberText(b - a) + " apart, closer than " + NumberText(tol)
                                 + " (a billionth of the model's extent): their cells are too thin for double precision");
        }
    }
}

// Phase 1: sorted distinct gridlines, the subdomain of each cell centre, the mesh nodes.
void BuildMesh(const SolverInput& input, Mesh& mesh)
{
    mesh.xs = SortedDistinct(input.vertical);
    mesh.ys = SortedDistinct(input.horizontal);
    if (mesh.xs.size() < 2)
        throw InputError("at least two distinct vertical gridlines are needed");
    if (mesh.ys.size() < 2)
        throw InputError("at least two distinct horizontal gridlines are needed");
    if (input.domains.empty())
        throw InputError("there is no subdomain");
    CheckSpacing(mesh);
    const int nx = mesh.CellsX(), ny = mesh.CellsY();
    if (std::int64_t(nx) * ny > kMostCells)
        throw InputError("the mesh has " + std::to_string(std::int64_t(nx) * ny) + " cells; stress solves at most "
                         + std::to_string(kMostCells));
    mesh.cellDomain.assign(std::size_t(nx) * std::size_t(ny), -1);
    // Later rows override earlier ones: walk each subdomain's range of cell centres.
    for (std::size_t d = 0; d < input.domains.size(); ++d) {
        const Subdomain& s = input.domains[d];
        const double x0 = std::min(s.lowerX, s.upperX), x1 = std::max(s.lowerX, s.upperX);
        const double y0 = std::min(s.lowerY, s.upperY), y1 = std::max(s.lowerY, s.upperY);
        for (int j = 0; j < ny; ++j) {
            const double yc = (mesh.ys[std::size_t(j)] + mesh.ys[std::size_t(j) + 1]) / 2.0;
            if (yc < y0 || yc > y1)
                continue;
            for (int i = 0; i < nx; ++i) {
                const double xc = (mesh.xs[std::size_t(i)] + mesh.xs[std::size_t(i) + 1]) / 2.0;
                if (xc >= x0 && xc <= x1)
                    mesh.cellDomain[std::size_t(j) * std::size_t(nx) + std::size_t(i)] = static_cast<int>(d);
            }
        }
    }
    mesh.node.assign(std::size_t(nx + 1) * std::size_t(ny + 1), -1);
    mesh.elementCount = 0;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            if (mesh.Domain(i, j) >= 0) {
                ++mesh.elementCount;
                for (int k = 0; k < 4; ++k)
                    mesh.node[std::size_t(j + kCornerDy[k]) * std::size_t(nx + 1) + std::size_t(i + kCornerDx[k])] = 0;
            }
    if (mesh.elementCount == 0)
        throw InputError("no cell of the mesh lies in a subdomain");
    std::int32_t next = 0;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) {
            std::int32_t& n = mesh.node[std::size_t(j) * std::size_t(nx + 1) + std::size_t(i)];
            if (n < 0)
                continue;
            n = next++;
            mesh.nodeX.push_back(i);
            mesh.nodeY.push_back(j);
        }
}

// Poisson's ratio nu = E/(2G) - 1 of each subdomain, checked with the other properties.
std::vector<double> CheckMaterials(const std::vector<Subdomain>& domains)
{
    std::vector<double> poisson;
    for (std::size_t d = 0; d < domains.size(); ++d) {
        const Subdomain& s = domains[d];
        const std::string name = "subdomain " + std::to_string(d + 1);
        if (!(s.thickness > 0))
            throw InputError("the thickness of " + name + " (" + NumberText(s.thickness) + ") is not positive");
        if (!(s.youngModulus > 0))
            throw InputError("E of " + name + " (" + NumberText(s.youngModulus) + ") is not positive");
        if (!(s.shearModulus > 0))
            throw InputError("G of " + name + " (" + NumberText(s.shearModulus) + ") is not positive");
        const double nu = s.youngModulus / (2.0 * s.shearModulus) - 1.0;
        if (!(nu > -1.0 && nu < 0.5))
            throw InputError("Poisson's ratio E/(2G)-1 of " + name + " is " + NumberText(nu)
                             + "; it must lie strictly between -1 and 0.5");
        // The element stiffness scales with t·E/(1-nu²) and t·G: both must be ordinary doubles.
        for (const auto& [modulus, value] : {std::pair{"E", s.youngModulus / (1.0 - nu * nu)}, std::pair{"G", s.shearModulus}}) {
            const double product = s.thickness * value;
            const std::string factors = "the thickness times " + std::string(modulus) + " of " + name + " ("
                                        + NumberText(s.thickness) + " x " + NumberText(modulus[0] == 'E' ? s.youngModulus : s.shearModulus) + ")";
            if (!std::isfinite(product))
                throw InputError(factors + " overflows double precision");
            if (!std::isnormal(product))
                throw InputError(factors + " underflows double precision");
        }
        poisson.push_back(nu);
    }
    return poisson;
}

double Tolerance(const Mesh& mesh)
{
    const double extent = std::max({std::fabs(mesh.xs.front()), std::fabs(mesh.xs.back()),
                                    std::fabs(mesh.ys.front()), std::fabs(mesh.ys.back()), 1.0});
    return 1e-9 * extent;
}

// Phase 2: every mesh node on each constrained line is held in x (code 1), y (2) or both (3).
void ApplySupports(const SolverInput& input, Solution& s)
{
    const Mesh& mesh = s.mesh;
    const double tol = Tolerance(mesh);
    for (std::size_t l = 0; l < input.lines.size(); ++l) {
        const ConstrainedLine& c = input.lines[l];
        int count = 0;
        auto hold = [&](int i, int j) {
            if (i < 0 || j < 0)
                return;
            const std::int32_t n = mesh.Node(i, j);
            if (n < 0)
                return;
            ++count;
            if (c.code == 1 || c.code == 3)
                s.held[2 * std::size_t(n)] = 1;
            if (c.code == 2 || c.code == 3)
                s.held[2 * std::size_t(n) + 1] = 1;
        };
        const double dx = c.endX - c.startX, dy = c.endY - c.startY;
        if (std::fabs(dx) <= tol && std::fabs(dy) <= tol) {
            hold(FindCoordinate(mesh.xs, c.startX, tol), FindCoordinate(mesh.ys, c.startY, tol));
        } else if (std::fabs(dx) >= std::fabs(dy)) {
            // Walk the vertical gridlines the segment spans; y follows the segment.
            const double lo = std::min(c.startX, c.endX) - tol, hi = std::max(c.startX, c.endX) + tol;
            for (auto it = std::lower_bound(mesh.xs.begin(), mesh.xs.end(), lo); it != mesh.xs.end() && *it <= hi; ++it) {
                const double y = c.startY + (*it - c.startX) * dy / dx;
                hold(static_cast<int>(it - mesh.xs.begin()), FindCoordinate(mesh.ys, y, tol));
            }
        } else {
            const double lo = std::min(c.startY, c.endY) - tol, hi = std::max(c.startY, c.endY) + tol;
            for (auto it = std::lower_bound(mesh.ys.begin(), mesh.ys.end(), lo); it != mesh.ys.end() && *it <= hi; ++it) {
                const double x = c.startX + (*it - c.startY) * dx / dy;
                hold(FindCoordinate(mesh.xs, x, tol), static_cast<int>(it - mesh.ys.begin()));
            }
        }
        if (count == 0)
            throw InputError("constrained line " + std::to_string(l + 1) + " from (" + NumberText(c.startX) + ", "
                             + NumberText(c.startY) + ") to (" + NumberText(c.endX) + ", " + NumberText(c.endY) + ") meets no mesh node");
        s.lineNodes.push_back(count);
    }
}

// Phase 3: each load acts at the mesh node at its point; loads on one node add up.
void ApplyLoads(const SolverInput& input, Solution& s)
{
    const Mesh& mesh = s.mesh;
    const double tol = Tolerance(mesh);
    for (std::size_t f = 0; f < input.loads.size(); ++f) {
        const NodalLoad& p = input.loads[f];
        const int i = FindCoordinate(mesh.xs, p.x, tol), j = FindCoordinate(mesh.ys, p.y, tol);
        const std::int32_t n = (i < 0 || j < 0) ? -1 : mesh.Node(i, j);
        if (n < 0)
            throw InputError("load " + std::to_string(f + 1) + " at (" + NumberText(p.x) + ", " + NumberText(p.y)
                             + ") is not on a mesh node");
        s.load[2 * std::size_t(n) + std::size_t(p.direction - 1)] += p.force;
        if (p.direction == 1) {
            s.sumFx += p.force;
            s.momentLoads -= p.y * p.force;
        } else {
            s.sumFy += p.force;
            s.momentLoads += p.x * p.force;
        }
    }
}

// The global degrees of freedom of the element on cell (i, j), local corner order.
std::array<std::int64_t, 8> ElementDofs(const Mesh& mesh, int i, int j)
{
    std::array<std::int64_t, 8> dofs{};
    for (int k = 0; k < 4; ++k) {
        const std::int64_t n = mesh.Node(i + kCornerDx[k], j + kCornerDy[k]);
        dofs[std::size_t(2 * k)] = 2 * n;
        dofs[std::size_t(2 * k + 1)] = 2 * n + 1;
    }
    return dofs;
}

// Phase 4a: a nested-dissection order of the nodes read off the grid. A box of grid points is
// split across its longer side by one gridline; the two halves are ordered first
// (recursively), the separating line last, so that eliminating a half never fills into the
// other. On a grid this is the classical optimal order, and it costs no graph partitioning.
void DissectBox(const Mesh& mesh, int i0, int i1, int j0, int j1, std::vector<std::int32_t>& order)
{
    auto emit = [&](int ia, int ib, int ja, int jb) {
        for (int j = ja; j <= jb; ++j)
            for (int i = ia; i <= ib; ++i)
                if (const std::int32_t n = mesh.Node(i, j); n >= 0)
                    order.push_back(n);
    };
    if (i1 < i0 || j1 < j0)
        return;
    if (i1 - i0 < 3 && j1 - j0 < 3) {
        emit(i0, i1, j0, j1);
        return;
    }
    if (i1 - i0 >= j1 - j0) {
        const int m = (i0 + i1) / 2;
        DissectBox(mesh, i0, m - 1, j0, j1, order);
        DissectBox(mesh, m + 1, i1, j0, j1, order);
        emit(m, m, j0, j1);
    } else {
        const int m = (j0 + j1) / 2;
        DissectBox(mesh, i0, i1, j0, m - 1, order);
        DissectBox(mesh, i0, i1, m + 1, j1, order);
        emit(i0, i1, m, m);
    }
}

// Phase 4b: equation numbers of the free displacements, node by node in nested-dissection
// order. The factorisation takes the equations in this order as they are: no permuted copy of
// K is made, and the fill stays that of the dissection.
std::vector<Index> NumberEquations(const Solution& s, const std::vector<std::int32_t>& nodeOrder, Index& count)
{
    std::vector<Index> eq(s.held.size(), -1);
    count = 0;
    for (const std::int32_t n : nodeOrder)
        for (int comp = 0; comp < 2; ++comp)
            if (const std::size_t d = 2 * std::size_t(n) + std::size_t(comp); !s.held[d])
                eq[d] = count++;
    return eq;
}

// Phase 5: the sparsity pattern straight from the grid. A node couples with the nodes of the
// structure cells around it (its eight neighbours and itself); column c of the lower triangle
// holds the coupled equations numbered c or later, ascending.
SparseLower BuildPattern(const Mesh& mesh, const std::vector<std::int32_t>& nodeOrder, const std::vector<Index>& eq,
                         Index count)
{
    const int nx = mesh.CellsX(), ny = mesh.CellsY();
    auto structureCell = [&](int ci, int cj) { return ci >= 0 && cj >= 0 && ci < nx && cj < ny && mesh.Domain(ci, cj) >= 0; };
    auto shareCell = [&](int i, int j, int i2, int j2) {
        for (int cj = std::max(j, j2) - 1; cj <= std::min(j, j2); ++cj)
            for (int ci = std::max(i, i2) - 1; ci <= std::min(i, i2); ++ci)
                if (structureCell(ci, cj))
                    return true;
        return false;
    };
    SparseLower K;
    K.n = count;
    K.colStart.assign(std::size_t(count) + 1, 0);
    K.row.reserve(std::size_t(count) * 10);
    for (const std::int32_t n : nodeOrder) {
        const int i = mesh.nodeX[std::size_t(n)], j = mesh.nodeY[std::size_t(n)];
        for (int comp = 0; comp < 2; ++comp) {
            const Index c = eq[2 * std::size_t(n) + std::size_t(comp)];
            if (c < 0)
                continue;
            const std::size_t first = K.row.size();
            for (int j2 = std::max(j - 1, 0); j2 <= std::min(j + 1, ny); ++j2)
                for (int i2 = std::max(i - 1, 0); i2 <= std::min(i + 1, nx); ++i2) {
                    const std::int32_t m = mesh.Node(i2, j2);
                    if (m < 0 || !shareCell(i, j, i2, j2))
                        continue;
                    for (int comp2 = 0; comp2 < 2; ++comp2)
                        if (const Index r = eq[2 * std::size_t(m) + std::size_t(comp2)]; r >= c)
                            K.row.push_back(r);
                }
            std::sort(K.row.begin() + std::ptrdiff_t(first), K.row.end());
            K.colStart[std::size_t(c) + 1] = static_cast<Index>(K.row.size());
        }
    }
    return K;
}

// Phase 6: K += Ke of every structure cell, free rows and columns only, lower triangle.
void Assemble(const Mesh& mesh, StiffnessCache& cache, const std::vector<Index>& eq, SparseLower& K)
{
    // The values start at zero here, so that clearing their fresh pages is part of the work
    // done beside CHOLMOD's analysis.
    K.value.assign(K.row.size(), 0.0);
    for (int j = 0; j < mesh.CellsY(); ++j)
        for (int i = 0; i < mesh.CellsX(); ++i) {
            const int d = mesh.Domain(i, j);
            if (d < 0)
                continue;
            const double a = mesh.xs[std::size_t(i) + 1] - mesh.xs[std::size_t(i)];
            const double b = mesh.ys[std::size_t(j) + 1] - mesh.ys[std::size_t(j)];
            const Matrix8& Ke = cache.Get(a, b, d);
            const auto dofs = ElementDofs(mesh, i, j);
            for (int q = 0; q < 8; ++q) {
                const Index c = eq[std::size_t(dofs[std::size_t(q)])];
                if (c < 0)
                    continue;
                for (int p = 0; p < 8; ++p) {
                    const Index r = eq[std::size_t(dofs[std::size_t(p)])];
                    if (r < c)
                        continue;
                    K.value[K.Find(r, c)] += Ke(p, q);
                }
            }
        }
}

// Phases 6 and 7a side by side: K's values assembled on a second thread while CHOLMOD analyses
// its pattern on this one (one after the other should no thread start).
void AnalyzeWhileAssembling(const Mesh& mesh, StiffnessCache& cache, const std::vector<Index>& eq, SparseLower& K,
                            SingleFactor& factor)
{
    std::future<void> assembled;
    try {
        assembled = std::async(std::launch::async, [&] { Assemble(mesh, cache, eq, K); });
    } catch (const std::system_error&) {
        Assemble(mesh, cache, eq, K);
    }
    factor.Analyze(K);
    if (assembled.valid())
        assembled.get();
}

// CHOLMOD's double factor of K.
class Cholmod {
public:
    // Factorises K = L Lᵀ in the order of its equations; throws when K is not positive definite.
    void Factorize(SparseLower& K)
    {
        cholmod_sparse A = CholmodSession::View(K);
        m_session.Analyze(K);
        CheckStatus();
        cholmod_factorize(&A, m_session.factor, &m_session.common);
        if (m_session.common.status == CHOLMOD_NOT_POSDEF || m_session.factor->minor < m_session.factor->n)
            throw InputError(FreeToMove());
        CheckStatus();
        // A mechanism that rounding keeps barely positive shows as a vanishing pivot.
        const double rcond = cholmod_rcond(m_session.factor, &m_session.common);
        if (!(rcond > 1e-13))
            throw InputError(FreeToMove());
        m_entries = static_cast<std::int64_t>(m_session.common.lnz);
    }

    // Solves K x = b in place.
    void Solve(std::vector<double>& b)
    {
        cholmod_dense B{};
        B.nrow = b.size();
        B.ncol = 1;
        B.nzmax = b.size();
        B.d = b.size();
        B.x = b.data();
        B.xtype = CHOLMOD_REAL;
        B.dtype = CHOLMOD_DOUBLE;
        cholmod_dense* X = cholmod_solve(CHOLMOD_A, m_factor, &B, &m_common);
        if (!X) {
            CheckStatus();
            throw InputError("the sparse solver gave no solution (CHOLMOD status " + std::to_string(m_common.status) + ")");
        }
        std::copy_n(static_cast<const double*>(X->x), b.size(), b.begin());
        cholmod_free_dense(&X, &m_common);
    }

    std::int64_t Entries() const { return m_entries; }

private:
    static std::string FreeToMove()
    {
        return "the structure is free to move: the constrained lines do not hold it against every "
               "displacement and rotation (or a part of it hangs on a single node)";
    }

    void CheckStatus()
    {
        if (m_common.status == CHOLMOD_OUT_OF_MEMORY)
            throw std::bad_alloc();
        if (m_common.status == CHOLMOD_TOO_LARGE)
            throw InputError("the mesh is too large for the sparse solver: its factor would have more than "
                             "2,147,483,647 entries");
        if (m_common.status < CHOLMOD_OK || !m_factor)
            throw InputError("the sparse solver failed (CHOLMOD status " + std::to_string(m_common.status) + ")");
    }

    CholmodSession m_session;
    cholmod_common& m_common = m_session.common;
    cholmod_factor*& m_factor = m_session.factor;
    std::int64_t m_entries = 0;
};

// Phase 8: stresses at each element centre, σ = D B(0, 0) uₑ, and the internal nodal forces
// Kₑ uₑ gathered over all elements (their sum at a held displacement, less the load, is the
// reaction there).
void RecoverStressesAndReactions(const Mesh& mesh, StiffnessCache& cache, Solution& s)
{
    std::vector<double> internal(s.displacement.size(), 0.0);
    s.elements.reserve(std::size_t(mesh.elementCount));
    for (int j = 0; j < mesh.CellsY(); ++j)
        for (int i = 0; i < mesh.CellsX(); ++i) {
            const int d = mesh.Domain(i, j);
            if (d < 0)
                continue;
            const double a = mesh.xs[std::size_t(i) + 1] - mesh.xs[std::size_t(i)];
            const double b = mesh.ys[std::size_t(j) + 1] - mesh.ys[std::size_t(j)];
            const auto dofs = ElementDofs(mesh, i, j);
            Vector8 ue;
            for (int k = 0; k < 8; ++k)
                ue(k) = s.displacement[std::size_t(dofs[std::size_t(k)])];
            const Eigen::Vector3d sigma = cache.D(d) * StrainDisplacement(a, b, 0.0, 0.0) * ue;
            ElementStress e;
            e.cellX = i;
            e.cellY = j;
            e.sx = sigma(0);
            e.sy = sigma(1);
            e.txy = sigma(2);
            PrincipalStresses(e.sx, e.sy, e.txy, e.s1, e.s2, e.angle);
            s.elements.push_back(e);
            const Vector8 fe = cache.Get(a, b, d) * ue;
            for (int k = 0; k < 8; ++k)
                internal[std::size_t(dofs[std::size_t(k)])] += fe(k);
        }
    for (std::size_t dof = 0; dof < s.held.size(); ++dof) {
        if (!s.held[dof])
            continue;
        const double r = internal[dof] - s.load[dof];
        s.reaction[dof] = r;
        const std::size_t n = dof / 2;
        const double x = mesh.xs[std::size_t(mesh.nodeX[n])], y = mesh.ys[std::size_t(mesh.nodeY[n])];
        if (dof % 2 == 0) {
            s.sumRx += r;
            s.momentReactions -= y * r;
        } else {
            s.sumRy += r;
            s.momentReactions += x * r;
        }
    }
}

// Forces near the top of double precision may add up past it on one node, in a sum or in
// the moment about the origin.
void CheckLoads(const Solution& s)
{
    bool finite = std::isfinite(s.sumFx) && std::isfinite(s.sumFy) && std::isfinite(s.momentLoads);
    for (const double p : s.load)
        finite = finite && std::isfinite(p);
    if (!finite)
        throw InputError("the loads overflow double precision: their sums or their moment about the origin pass 1e308");
}

// Results past double precision mean loads too large for the structure's stiffness.
template <typename It>
void CheckResults(It first, It last, const char* what, double largestLoad)
{
    if (std::all_of(first, last, [](double v) { return std::isfinite(v); }))
        return;
    throw InputError(std::string(what) + " overflow double precision: the loads (up to " + NumberText(largestLoad)
                     + ") are too large for the stiffness of the structure");
}

// The residual |f - K u| / |f| a solution is refined to.
constexpr double kResidualGoal = 1e-12;
// A single-precision factor that needs more conjugate-gradient steps is no good preconditioner.
constexpr int kMostIterations = 40;

double Norm(const std::vector<double>& v)
{
    double sum = 0;
    for (const double x : v)
        sum += x * x;
    return std::sqrt(sum);
}

// Phase 7 with a double-precision factor: u = K⁻¹ f; while the residual r = f - K u is not
// negligible (at most twice) refine u += K⁻¹ r. A residual that stays large means an answer not
// to be trusted (the caller refuses it).
void SolveWithDoubleFactor(SparseLower& K, const std::vector<double>& f, Solution& s, std::vector<double>& u)
{
    Cholmod solver;
    solver.Factorize(K);
    s.factorEntries = solver.Entries();
    s.singleFactor = false;
    s.iterations = 0;
    u = f;
    solver.Solve(u);
    std::vector<double> r(u.size());
    const double fNorm = Norm(f);
    auto residual = [&] {
        MultiplySymmetric(K, u, r);
        for (std::size_t k = 0; k < r.size(); ++k)
            r[k] = f[k] - r[k];
        return fNorm > 0 ? Norm(r) / fNorm : Norm(r);
    };
    s.relativeResidual = residual();
    for (int step = 0; step < 2 && s.relativeResidual > kResidualGoal; ++step) {
        solver.Solve(r);
        for (std::size_t k = 0; k < u.size(); ++k)
            u[k] += r[k];
        s.relativeResidual = residual();
    }
}

// Phase 7 with a single-precision factor: conjugate gradients in double preconditioned with it
// until the residual is as small as a double factor leaves it. False, with nothing kept, when
// the factor fails or the iterations do not get there: the double factor decides then.
bool TrySingleFactor(const SparseLower& K, SingleFactor& factor, const std::vector<double>& f, Solution& s,
                     std::vector<double>& u)
{
    if (!factor.Factorize(K))
        return false;
    const MixedSolveReport report = SolveWithSingleFactor(K, factor, f, kResidualGoal, kMostIterations, u);
    if (!report.solved)
        return false;
    s.factorEntries = factor.Entries();
    s.singleFactor = true;
    s.iterations = report.iterations;
    s.relativeResidual = report.residual;
    return true;
}

} // namespace

void PrincipalStresses(double sx, double sy, double txy, double& s1, double& s2, double& angle)
{
    // s1,2 = (sx+sy)/2 ± √(((sx-sy)/2)² + txy²); tan 2θ = 2 txy / (sx - sy).
    const double centre = (sx + sy) / 2.0;
    const double radius = std::hypot((sx - sy) / 2.0, txy);
    s1 = centre + radius;
    s2 = centre - radius;
    angle = (radius == 0.0) ? 0.0 : 0.5 * std::atan2(2.0 * txy, sx - sy) * 180.0 / std::numbers::pi;
    if (angle <= -90.0)
        angle += 180.0;
    if (angle > 90.0)
        angle -= 180.0;
}

Solution SolvePlaneStress(const SolverInput& input, FactorPrecision precision)
{
    Solution s;
    s.poisson = CheckMaterials(input.domains);
    BuildMesh(input, s.mesh);
    const std::size_t dofs = 2 * std::size_t(s.mesh.NodeCount());
    s.held.assign(dofs, 0);
    s.load.assign(dofs, 0.0);
    ApplySupports(input, s);
    ApplyLoads(input, s);
    CheckLoads(s);

    Index count = 0;
    std::vector<std::int32_t> nodeOrder;
    nodeOrder.reserve(std::size_t(s.mesh.NodeCount()));
    DissectBox(s.mesh, 0, s.mesh.CellsX(), 0, s.mesh.CellsY(), nodeOrder);
    const std::vector<Index> eq = NumberEquations(s, nodeOrder, count);
    s.unknowns = count;
    StiffnessCache cache(input.domains, s.poisson);
    SparseLower K = BuildPattern(s.mesh, nodeOrder, eq, count);
    nodeOrder = {};
    const bool single = count > 0
                        && (precision == FactorPrecision::Single
                            || (precision == FactorPrecision::Automatic && count >= kUnknownsForSingleFactor));
    auto factor = single ? std::make_unique<SingleFactor>() : nullptr;
    if (factor)
        AnalyzeWhileAssembling(s.mesh, cache, eq, K, *factor);
    else
        Assemble(s.mesh, cache, eq, K);
    // The system is solved for the loads divided by the largest of them, so that forces near
    // the top of double precision do not overflow the norms; the answer is scaled back.
    double loadScale = 0;
    for (const double p : s.load)
        loadScale = std::max(loadScale, std::fabs(p));
    if (loadScale == 0)
        loadScale = 1;
    std::vector<double> f(std::size_t(count), 0.0);
    for (std::size_t d = 0; d < dofs; ++d)
        if (eq[d] >= 0)
            f[std::size_t(eq[d])] = s.load[d] / loadScale;

    if (count > 0) {
        UseBlasThreadsFor(count);
        std::vector<double> u;
        const bool solved = factor && TrySingleFactor(K, *factor, f, s, u);
        // The single factor's memory goes back before anything else is allocated.
        factor.reset();
        if (!solved)
            SolveWithDoubleFactor(K, f, s, u);
        if (!(s.relativeResidual < 1e-6))
            throw InputError("the structure is nearly free to move: the solution misses the loads by "
                             + NumberText(s.relativeResidual * 100) + "%");
        // The per-node results are allocated once the factor's memory is back.
        s.displacement.assign(dofs, 0.0);
        for (std::size_t d = 0; d < dofs; ++d)
            if (eq[d] >= 0)
                s.displacement[d] = u[std::size_t(eq[d])] * loadScale;
        CheckResults(s.displacement.begin(), s.displacement.end(), "the displacements", loadScale);
    }
    s.displacement.resize(dofs, 0.0);
    s.reaction.assign(dofs, 0.0);
    RecoverStressesAndReactions(s.mesh, cache, s);
    std::vector<double> results;
    for (const ElementStress& e : s.elements)
        results.insert(results.end(), {e.sx, e.sy, e.txy, e.s1, e.s2});
    CheckResults(results.begin(), results.end(), "the stresses", loadScale);
    results = s.reaction;
    results.insert(results.end(), {s.sumRx, s.sumRy, s.momentReactions});
    CheckResults(results.begin(), results.end(), "the reactions", loadScale);
    return s;
}

} // namespace ardela::stress
