// Times SolveTruss on the largest models its band store allows and, in the same run, a
// double-precision sparse solve (Eigen, LDL^T with a fill-reducing ordering) of the same truss as
// a yardstick; prints both times, their ratio and how far the bar forces agree.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <Eigen/Sparse>
#include <QCoreApplication>

#include "truss/TrussModel.h"
#include "truss/TrussSolver.h"
#include "desktop/modMessage.h"

using namespace ardela;

namespace {

struct Lattice {
    std::vector<std::pair<float, float>> nodes;
    std::vector<std::pair<int, int>> bars;
    std::vector<std::tuple<int, int, int>> supports;
    std::vector<std::tuple<int, float, float>> loads;
};

// A straight chain along x, node 1 pinned, the others on rollers, pulled at the far end and
// pushed down at every node (so every bar works).
Lattice Chain(int n)
{
    Lattice l;
    for (int k = 1; k <= n; ++k) {
        l.nodes.emplace_back(100.0f * (k - 1), 0.0f);
        if (k < n)
            l.bars.emplace_back(k, k + 1);
        l.supports.emplace_back(k, k == 1 ? 1 : 0, 1);
    }
    l.loads.emplace_back(n, 50.0f, 0.0f);
    return l;
}

// A rows x columns braced grid numbered row by row (node-number spread columns + 1); with `tie`,
// a bar from the first node to the last as well, which widens the band to the whole grid.
Lattice Grid(int rows, int columns, bool tie)
{
    Lattice l;
    auto node = [&](int r, int c) { return r * columns + c + 1; };
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            l.nodes.emplace_back(100.0f * c, 100.0f * r);
            if (c + 1 < columns)
                l.bars.emplace_back(node(r, c), node(r, c + 1));
            if (r + 1 < rows) {
                l.bars.emplace_back(node(r, c), node(r + 1, c));
                if (c + 1 < columns)
                    l.bars.emplace_back(node(r, c), node(r + 1, c + 1));
            }
            if (r == rows - 1)
                l.loads.emplace_back(node(r, c), 20.0f, -100.0f);
        }
    if (tie)
        l.bars.emplace_back(1, rows * columns);
    l.supports.emplace_back(node(0, 0), 1, 1);
    l.supports.emplace_back(node(0, columns - 1), 1, 1);
    return l;
}

// A two-chord braced girder of `columns` panels points; `reversed` numbers the bottom chord right
// to left, so the verticals near the ends join node numbers up to 2 x columns - 1 apart.
Lattice Girder(int columns, bool reversed)
{
    Lattice l;
    auto top = [&](int c) { return reversed ? c : 2 * c - 1; };
    auto bottom = [&](int c) { return reversed ? 2 * columns - c + 1 : 2 * c; };
    l.nodes.resize(std::size_t(2 * columns));
    for (int c = 1; c <= columns; ++c) {
        l.nodes[std::size_t(top(c) - 1)] = {100.0f * (c - 1), 100.0f};
        l.nodes[std::size_t(bottom(c) - 1)] = {100.0f * (c - 1), 0.0f};
        l.bars.emplace_back(top(c), bottom(c));
        if (c < columns) {
            l.bars.emplace_back(top(c), top(c + 1));
            l.bars.emplace_back(bottom(c), bottom(c + 1));
            l.bars.emplace_back(top(c), bottom(c + 1));
        }
        l.loads.emplace_back(top(c), 10.0f, -100.0f);
    }
    l.supports.emplace_back(bottom(1), 1, 1);
    l.supports.emplace_back(bottom(columns), 0, 1);
    return l;
}

std::unique_ptr<TrussModel> ToModel(const Lattice& l)
{
    auto m = std::make_unique<TrussModel>();
    for (auto [x, y] : l.nodes)
        AddNode(*m, x, y);
    for (auto [i, j] : l.bars)
        AddBar(*m, i, j, 10.0f, 2.1e6f);
    for (auto [n, hx, hy] : l.supports)
        AddSupport(*m, n, hx, hy);
    for (auto [n, fx, fy] : l.loads)
        AddLoad(*m, n, fx, fy);
    return m;
}

// The yardstick: the same truss in double precision, restrained equations removed, solved by a
// sparse LDL^T; returns the bar forces (positive in tension).
std::vector<double> SparseForces(const Lattice& l)
{
    const int dofs = int(2 * l.nodes.size());
    std::vector<int> index(std::size_t(dofs), 0);
    for (auto [n, hx, hy] : l.supports) {
        if (hx == 1) index[std::size_t(2 * n - 2)] = -1;
        if (hy == 1) index[std::size_t(2 * n - 1)] = -1;
    }
    int free = 0;
    for (int& i : index)
        i = (i == 0) ? free++ : -1;
    std::vector<Eigen::Triplet<double>> triplets;
    triplets.reserve(l.bars.size() * 16);
    struct Bar { double c, s, k; int d[4]; };
    std::vector<Bar> bars;
    for (auto [i, j] : l.bars) {
        const double dx = double(l.nodes[std::size_t(j - 1)].first) - l.nodes[std::size_t(i - 1)].first;
        const double dy = double(l.nodes[std::size_t(j - 1)].second) - l.nodes[std::size_t(i - 1)].second;
        const double len = std::hypot(dx, dy);
        Bar b{dx / len, dy / len, 10.0 * 2.1e6 / len, {2 * i - 2, 2 * i - 1, 2 * j - 2, 2 * j - 1}};
        const double g[4] = {-b.c, -b.s, b.c, b.s};
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                const int ir = index[std::size_t(b.d[r])], ic = index[std::size_t(b.d[c])];
                if (ir >= 0 && ic >= 0)
                    triplets.emplace_back(ir, ic, b.k * g[r] * g[c]);
            }
        bars.push_back(b);
    }
    Eigen::SparseMatrix<double> k(free, free);
    k.setFromTriplets(triplets.begin(), triplets.end());
    Eigen::VectorXd f = Eigen::VectorXd::Zero(free);
    for (auto [n, fx, fy] : l.loads) {
        if (index[std::size_t(2 * n - 2)] >= 0) f[index[std::size_t(2 * n - 2)]] = fx;
        if (index[std::size_t(2 * n - 1)] >= 0) f[index[std::size_t(2 * n - 1)]] = fy;
    }
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver(k);
    const Eigen::VectorXd u = solver.solve(f);
    std::vector<double> forces;
    for (const Bar& b : bars) {
        double d[4];
        for (int r = 0; r < 4; ++r)
            d[r] = index[std::size_t(b.d[r])] >= 0 ? u[index[std::size_t(b.d[r])]] : 0.0;
        forces.push_back(b.k * (b.c * (d[2] - d[0]) + b.s * (d[3] - d[1])));
    }
    return forces;
}

double MedianMicroseconds(int repeats, const std::function<void()>& run)
{
    std::vector<double> t;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        run();
        t.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void Measure(const char* name, const Lattice& l, int repeats)
{
    auto model = ToModel(l);
    bool ok = true;
    const double banded = MedianMicroseconds(repeats, [&] { ok = ok && SolveTruss(*model); });
    std::vector<double> reference;
    const double sparse = MedianMicroseconds(repeats, [&] { reference = SparseForces(l); });
    double worst = 0.0, scale = 0.0;
    for (double f : reference)
        scale = std::max(scale, std::fabs(f));
    for (std::size_t e = 0; e < reference.size(); ++e)
        worst = std::max(worst, std::fabs(model->Elements(int(e) + 1, 6).ToDouble() - reference[e]) / scale);
    int d = 0;
    for (auto [i, j] : l.bars)
        d = std::max(d, std::abs(i - j));
    std::printf("%-28s nodes %4zu bars %4zu band %3d | SolveTruss %9.1f us | sparse double %9.1f us | ratio %5.2f | "
                "max force difference %.2e of the largest force | out of balance %.1e%s\n",
                name, l.nodes.size(), l.bars.size(), 2 * (d + 1), banded, sparse, banded / sparse, worst,
                EquilibriumResidual(*model), ok ? "" : "  (SOLVE FAILED)");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SetMessageHandler(StandardErrorMessageHandler);
    std::printf("SolveTruss (single-precision band store) against a double-precision sparse LDL^T (Eigen)\n");
    Measure("chain, 510 nodes", Chain(510), 201);
    Measure("slender girder 2 x 254", Girder(254, false), 101);
    Measure("grid 40 x 8", Grid(40, 8, false), 101);
    Measure("grid 16 x 16 + tie, spread 255", Grid(16, 16, true), 21);
    Measure("girder 2 x 128 reversed, 255", Girder(128, true), 21);
    return 0;
}
