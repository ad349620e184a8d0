// Guards the single-precision factor against a silent loss of accuracy: with it, the solver must
// still give closed-form answers and the stresses of the double factor to double accuracy, keep
// moduli far beyond single precision, and leave mechanisms to the double factor's refusal, with
// small blocks computed by Eigen and large ones by the BLAS alike (a pivot that is not positive
// or not a number refused on both ways).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <sched.h>

#include <gtest/gtest.h>

#include "stress_solver/PlaneStressSolver.h"
#include "stress_solver/SingleFactor.h"
#include "stress_solver/SparseLower.h"

namespace ardela::stress {
namespace {

constexpr double kE = 210000.0;
constexpr double kNu = 0.3;
constexpr double kG = kE / (2.0 * (1.0 + kNu));

// A rectangle 0..length x 0..height of nx x ny equal cells, one subdomain.
SolverInput Plate(double length, double height, int nx, int ny, double E = kE, double G = kG)
{
    SolverInput in;
    for (int k = 0; k <= nx; ++k)
        in.vertical.push_back(length * k / nx);
    for (int k = 0; k <= ny; ++k)
        in.horizontal.push_back(height * k / ny);
    in.domains.push_back({0, length, height, 0, 1.0, E, G});
    return in;
}

// The total force spread over the nodes of the edge x = at, each node half of each segment.
void RightEdgeLoad(SolverInput& in, double at, double height, int cells, int direction, double total)
{
    for (int k = 0; k <= cells; ++k)
        in.loads.push_back({at, height * k / cells, direction, total / cells * ((k == 0 || k == cells) ? 0.5 : 1.0)});
}

double LargestStress(const Solution& s)
{
    double largest = 0;
    for (const ElementStress& e : s.elements)
        largest = std::max({largest, std::fabs(e.s1), std::fabs(e.s2)});
    return largest;
}

// The largest difference of s1, s2, sx, sy, txy between two solutions of one mesh, over the
// largest principal stress.
double StressDifference(const Solution& a, const Solution& b)
{
    double worst = 0;
    for (std::size_t k = 0; k < a.elements.size(); ++k) {
        const ElementStress &x = a.elements[k], &y = b.elements[k];
        worst = std::max({worst, std::fabs(x.s1 - y.s1), std::fabs(x.s2 - y.s2), std::fabs(x.sx - y.sx),
                          std::fabs(x.sy - y.sy), std::fabs(x.txy - y.txy)});
    }
    return worst / LargestStress(a);
}

// Sets the work below which the factor computes a block itself rather than with the BLAS
// (`ARDELA_STRESS_SMALL_BLOCKS`) while it lives; nullopt leaves the program's own bound.
class SmallBlocks {
public:
    explicit SmallBlocks(std::optional<double> work)
    {
        if (const char* before = std::getenv(kName))
            m_before = before;
        if (work)
            setenv(kName, std::to_string(*work).c_str(), 1);
        else
            unsetenv(kName);
    }
    ~SmallBlocks()
    {
        if (m_before)
            setenv(kName, m_before->c_str(), 1);
        else
            unsetenv(kName);
    }
    SmallBlocks(const SmallBlocks&) = delete;
    SmallBlocks& operator=(const SmallBlocks&) = delete;

private:
    static constexpr const char* kName = "ARDELA_STRESS_SMALL_BLOCKS";
    std::optional<std::string> m_before;
};

// The program's own bound, every block to the BLAS, every block to Eigen.
const std::optional<double> kEveryWay[] = {std::nullopt, 0.0, 1e30};

std::string WayName(std::optional<double> work)
{
    return !work ? "the program's bound" : *work == 0 ? "every block by the BLAS" : "every block by Eigen";
}

TEST(SingleFactor, ClosedFormAnswersAreKeptToDoubleAccuracy)
{
    // Uniform tension: 300 x 60, pulled by 1800 at x = 300: sx = 30 in every cell, elongation
    // s L / E, contraction -nu s h / E.
    SolverInput in = Plate(300, 60, 60, 12);
    in.lines.push_back({0, 0, 0, 60, 1});
    in.lines.push_back({0, 0, 0, 0, 2});
    RightEdgeLoad(in, 300, 60, 12, 1, 1800.0);
    Solution s = SolvePlaneStress(in, FactorPrecision::Single);
    ASSERT_TRUE(s.singleFactor);
    EXPECT_GT(s.iterations, 0);
    EXPECT_LT(s.relativeResidual, 1e-12);
    for (const ElementStress& e : s.elements) {
        EXPECT_NEAR(e.sx, 30.0, 1e-9);
        EXPECT_NEAR(e.sy, 0.0, 1e-9);
        EXPECT_NEAR(e.txy, 0.0, 1e-9);
    }
    const std::int32_t tip = s.mesh.Node(60, 12);
    EXPECT_NEAR(s.displacement[2 * std::size_t(tip)], 30.0 * 300 / kE, 1e-12);
    EXPECT_NEAR(s.displacement[2 * std::size_t(tip) + 1], -kNu * 30.0 * 60 / kE, 1e-12);

    // A cantilever L = 100, h = 10 under a tip force: within 2 % of Timoshenko's beam
    // d = P L³ / (3 E I) + P L / (k G A) on the finest mesh, as with the double factor.
    const double L = 100, h = 10, P = -100;
    const double beam = P * L * L * L / (3 * kE * h * h * h / 12) + P * L / (5.0 / 6.0 * kG * h);
    in = Plate(L, h, 80, 16);
    in.lines.push_back({0, 0, 0, h, 3});
    RightEdgeLoad(in, L, h, 16, 2, P);
    s = SolvePlaneStress(in, FactorPrecision::Single);
    ASSERT_TRUE(s.singleFactor);
    const Solution twice = SolvePlaneStress(in, FactorPrecision::Double);
    EXPECT_LT(s.relativeResidual, std::max(1e-12, 10 * twice.relativeResidual)) << twice.relativeResidual;
    EXPECT_LT(std::fabs(s.displacement[2 * std::size_t(s.mesh.Node(80, 8)) + 1] - beam) / std::fabs(beam), 0.02);
    EXPECT_NEAR(s.sumRy, -P, 1e-9 * std::fabs(P));
}

TEST(SingleFactor, StressesAgreeWithTheDoubleFactorOnALargePlate)
{
    // The benchmark's plate of 200 x 200 cells (80,400 unknowns): held along its left edge,
    // pulled and bent at its right edge.
    SolverInput in = Plate(200, 200, 200, 200, 210000.0, 81000.0);
    in.lines.push_back({0, 0, 0, 200, 3});
    in.loads = {{200, 0, 1, 1000}, {200, 200, 1, 1000}, {200, 200, 2, -500}};
    const Solution twice = SolvePlaneStress(in, FactorPrecision::Double);
    const Solution once = SolvePlaneStress(in, FactorPrecision::Single);
    ASSERT_FALSE(twice.singleFactor);
    ASSERT_TRUE(once.singleFactor);
    EXPECT_EQ(once.factorEntries, twice.factorEntries);
    EXPECT_LT(once.iterations, 15);
    EXPECT_LT(StressDifference(twice, once), 1e-9);
    const std::size_t tip = 2 * std::size_t(once.mesh.Node(200, 200)) + 1;
    EXPECT_NEAR(once.displacement[tip], twice.displacement[tip], 1e-9 * std::fabs(twice.displacement[tip]));
    EXPECT_NEAR(once.sumRx, twice.sumRx, 1e-9 * 2000);
    EXPECT_NEAR(once.momentReactions, twice.momentReactions, 1e-9 * std::fabs(twice.momentReactions));
}

TEST(SingleFactor, OneProcessorGivesTheStressesOfTwo)
{
    // With two processors the subtrees below the top separator are factorised and solved by
    // two threads; held to one processor, by one. Both must give the same stresses.
    SolverInput in = Plate(120, 60, 120, 60, 210000.0, 81000.0);
    in.lines.push_back({0, 0, 0, 60, 3});
    in.loads = {{120, 0, 1, 1000}, {120, 60, 1, 1000}, {120, 60, 2, -500}};
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    const Solution both = SolvePlaneStress(in, FactorPrecision::Single);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const Solution alone = SolvePlaneStress(in, FactorPrecision::Single);
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    ASSERT_TRUE(both.singleFactor && alone.singleFactor);
    EXPECT_LT(StressDifference(both, alone), 1e-9);
    EXPECT_LT(alone.relativeResidual, 1e-12);
}

TEST(SingleFactor, ProductOnTwoThreadsIsTheSymmetricProduct)
{
    // A symmetric 9 x 9 matrix, every third entry of its lower triangle set, against the full
    // matrix multiplied out here; the two threads split it where half its entries lie.
    const int n = 9;
    double full[n][n] = {};
    SparseLower K;
    K.n = n;
    K.colStart.push_back(0);
    for (int c = 0; c < n; ++c) {
        for (int r = c; r < n; ++r)
            if (r == c || (r * 7 + c) % 3 == 0) {
                const double v = r == c ? 10.0 + r : 1.0 + 0.5 * r - 0.25 * c;
                full[r][c] = full[c][r] = v;
                K.row.push_back(r);
                K.value.push_back(v);
            }
        K.colStart.push_back(Index(K.row.size()));
    }
    std::vector<double> x(n), serial(n), together(n), spill;
    for (int k = 0; k < n; ++k)
        x[std::size_t(k)] = 1.0 + k * k * 0.125;
    MultiplySymmetric(K, x, serial);
    MultiplySymmetricSideBySide(K, x, together, spill);
    for (int r = 0; r < n; ++r) {
        double expected = 0;
        for (int c = 0; c < n; ++c)
            expected += full[r][c] * x[std::size_t(c)];
        EXPECT_NEAR(serial[std::size_t(r)], expected, 1e-12) << "row " << r;
        EXPECT_NEAR(together[std::size_t(r)], expected, 1e-12) << "row " << r;
    }
    EXPECT_FALSE(spill.empty()) << "the columns were split between the two threads";
}

TEST(SingleFactor, ModuliBeyondSinglePrecisionAreSolved)
{
    // Single precision ends near 3e38 and 1e-38; the factor works on K scaled to a unit
    // diagonal, so moduli of 1e200 and 1e-200 still give sx = 1 and u = s L / E.
    for (const double E : {1e200, 1e-200}) {
        SolverInput in = Plate(40, 10, 8, 2, E, E / 2.6);
        in.lines.push_back({0, 0, 0, 10, 1});
        in.lines.push_back({0, 0, 0, 0, 2});
        RightEdgeLoad(in, 40, 10, 2, 1, 10.0);
        const Solution s = SolvePlaneStress(in, FactorPrecision::Single);
        ASSERT_TRUE(s.singleFactor) << E;
        for (const ElementStress& e : s.elements)
            EXPECT_NEAR(e.sx, 1.0, 1e-9) << E;
        const double u = s.displacement[2 * std::size_t(s.mesh.Node(8, 1))];
        EXPECT_NEAR(u / (40 / E), 1.0, 1e-9) << E;
    }
}

TEST(SingleFactor, StiffnessesFarApartAreSolvedToDoubleAccuracy)
{
    // A plate whose right half is a million times stiffer, more than single precision's seven
    // digits; Poisson's ratio 0 (G = E/2), so each half is a plain bar: sx = 1 in both, the
    // soft half stretching a million times more.
    SolverInput in = Plate(20, 10, 4, 2, kE, kE / 2);
    in.domains.push_back({10, 20, 10, 0, 1.0, kE * 1e6, kE * 1e6 / 2});
    in.lines.push_back({0, 0, 0, 10, 1});
    in.lines.push_back({0, 0, 0, 0, 2});
    RightEdgeLoad(in, 20, 10, 2, 1, 10.0);
    const Solution s = SolvePlaneStress(in, FactorPrecision::Single);
    for (const ElementStress& e : s.elements)
        EXPECT_NEAR(e.sx, 1.0, 1e-6);
    EXPECT_NEAR(s.displacement[2 * std::size_t(s.mesh.Node(2, 1))], 10.0 / kE, 1e-9 * 10.0 / kE);
    EXPECT_NEAR(s.displacement[2 * std::size_t(s.mesh.Node(4, 1))], 10.0 / kE * (1 + 1e-6), 1e-9 * 10.0 / kE);
}

TEST(SingleFactor, AMechanismIsRefusedAsWithTheDoubleFactor)
{
    // Held in x only: free to slide along y; the same message whichever way the blocks are
    // computed.
    SolverInput in = Plate(20, 10, 4, 2);
    in.lines.push_back({0, 0, 0, 10, 1});
    in.loads.push_back({20, 10, 1, 5});
    std::string twice;
    try {
        SolvePlaneStress(in, FactorPrecision::Double);
    } catch (const InputError& e) {
        twice = e.what();
    }
    EXPECT_NE(twice.find("free to move"), std::string::npos) << twice;
    for (const auto work : kEveryWay) {
        const SmallBlocks bound(work);
        std::string single;
        try {
            SolvePlaneStress(in, FactorPrecision::Single);
        } catch (const InputError& e) {
            single = e.what();
        }
        EXPECT_EQ(single, twice) << WayName(work);
    }
}

// A symmetric matrix built as whole rows and columns: 200 groups of three unknowns, each coupled
// to all of 100 last unknowns and to no other group. Its factor has 200 supernodes of three
// columns (small blocks: their updates of the last 100 are 30,000 multiply-adds) below one of
// 100 columns (a million for its diagonal block alone), the groups split between two threads.
// Strictly diagonally dominant, hence positive definite.
struct GroupsAndSeparator {
    static constexpr int kGroups = 200, kGroupSize = 3, kSeparator = 100;
    static constexpr int kN = kGroups * kGroupSize + kSeparator;
    std::vector<double> full = std::vector<double>(std::size_t(kN) * kN, 0.0);

    GroupsAndSeparator()
    {
        for (int g = 0; g < kGroups; ++g)
            for (int a = 0; a < kGroupSize; ++a) {
                const int i = g * kGroupSize + a;
                Set(i, i, 4.0);
                if (a > 0)
                    Set(i, i - 1, 1.0);
                for (int k = 0; k < kSeparator; ++k)
                    Set(kN - kSeparator + k, i, 0.01 * (1 + (i + k) % 3) / 3.0);
            }
        for (int k = kN - kSeparator; k < kN; ++k) {
            Set(k, k, 20.0);
            for (int j = kN - kSeparator; j < k; ++j)
                Set(k, j, 0.05);
        }
    }
    void Set(int r, int c, double v) { full[std::size_t(r) * kN + std::size_t(c)] = full[std::size_t(c) * kN + std::size_t(r)] = v; }
    double At(int r, int c) const { return full[std::size_t(r) * kN + std::size_t(c)]; }

    // The lower triangle of every entry set (a NaN included), the diagonal first in each column.
    SparseLower Lower() const
    {
        SparseLower K;
        K.n = kN;
        K.colStart.push_back(0);
        for (int c = 0; c < kN; ++c) {
            for (int r = c; r < kN; ++r)
                if (At(r, c) != 0 || std::isnan(At(r, c))) {
                    K.row.push_back(r);
                    K.value.push_back(At(r, c));
                }
            K.colStart.push_back(Index(K.row.size()));
        }
        return K;
    }
};

TEST(SingleFactor, SmallBlocksAndTheBlasSolveAlike)
{
    // A chosen answer x, f = K x multiplied out row by row here: every way of computing the
    // blocks must give x back to double accuracy.
    const GroupsAndSeparator m;
    const SparseLower K = m.Lower();
    const int n = GroupsAndSeparator::kN;
    std::vector<double> x(n), f(n, 0.0), u;
    for (int k = 0; k < n; ++k)
        x[std::size_t(k)] = (k % 7 - 3) * 0.25 + 1e-3 * k;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            f[std::size_t(r)] += m.At(r, c) * x[std::size_t(c)];
    for (const auto work : kEveryWay) {
        const SmallBlocks bound(work);
        SingleFactor factor;
        ASSERT_TRUE(factor.Factorize(K)) << WayName(work);
        const MixedSolveReport report = SolveWithSingleFactor(K, factor, f, 1e-13, 20, u);
        EXPECT_TRUE(report.solved) << WayName(work);
        double worst = 0;
        for (int k = 0; k < n; ++k)
            worst = std::max(worst, std::fabs(u[std::size_t(k)] - x[std::size_t(k)]));
        EXPECT_LT(worst, 1e-11) << WayName(work);
        const SingleFactor::BlockCounts blocks = factor.Blocks();
        if (!work) {
            // The groups' blocks (their diagonal factors alone are 200) small; the last
            // supernode's diagonal block large.
            EXPECT_GE(blocks.small, GroupsAndSeparator::kGroups);
            EXPECT_GE(blocks.blas, 1);
        } else {
            EXPECT_EQ(*work == 0 ? blocks.small : blocks.blas, 0) << WayName(work);
        }
    }
}

TEST(SingleFactor, PivotsNotPositiveOrNotANumberAreRefusedOnEveryWay)
{
    // In a group (small blocks) and in the last 100 unknowns (a large block): an entry larger
    // than the diagonal beside it makes the matrix indefinite; a NaN poisons every pivot after
    // it, which POTRF and Eigen's LLT would both let through.
    const int last = GroupsAndSeparator::kN - 1;
    const std::pair<int, int> places[] = {{16, 15}, {last - 3, last - 10}};
    for (const auto& [r, c] : places)
        for (const double v : {30.0, double(NAN)})
            for (const auto work : kEveryWay) {
                GroupsAndSeparator m;
                m.Set(r, c, v);
                const SmallBlocks bound(work);
                SingleFactor factor;
                EXPECT_FALSE(factor.Factorize(m.Lower())) << "entry (" << r << ", " << c << ") = " << v << ", " << WayName(work);
            }
}

TEST(SingleFactor, AutomaticChoiceTakesSinglePrecisionForLargeSystemsOnly)
{
    SolverInput small = Plate(10, 10, 10, 10);
    small.lines.push_back({0, 0, 0, 10, 3});
    small.loads.push_back({10, 10, 2, -5});
    EXPECT_FALSE(SolvePlaneStress(small).singleFactor);
    // 160 x 160 cells held on one edge: 2 x 161 x 160 = 51,520 unknowns.
    SolverInput large = Plate(160, 160, 160, 160);
    large.lines.push_back({0, 0, 0, 160, 3});
    large.loads.push_back({160, 160, 2, -5});
    const Solution s = SolvePlaneStress(large);
    ASSERT_GE(s.unknowns, kUnknownsForSingleFactor);
    EXPECT_TRUE(s.singleFactor);
}

} // namespace
} // namespace ardela::stress
