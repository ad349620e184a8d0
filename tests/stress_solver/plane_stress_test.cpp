// Guards the finite-element core against wrong answers: stiffness, loads, supports, stresses,
// principal directions and reactions are checked against closed-form plane-stress solutions,
// and every input without an answer must be refused with its reason.
#include <algorithm>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "stress_solver/PlaneStressSolver.h"

namespace ardela::stress {
namespace {

constexpr double kE = 210000.0;
constexpr double kNu = 0.3;
constexpr double kG = kE / (2.0 * (1.0 + kNu));

std::vector<double> Evenly(double from, double to, int cells)
{
    std::vector<double> v;
    for (int k = 0; k <= cells; ++k)
        v.push_back(from + (to - from) * k / cells);
    return v;
}

// A rectangle 0..length x 0..height meshed nx x ny, one subdomain of thickness t.
SolverInput Plate(double length, double height, int nx, int ny, double t = 1.0)
{
    SolverInput in;
    in.vertical = Evenly(0, length, nx);
    in.horizontal = Evenly(0, height, ny);
    in.domains.push_back({0, length, height, 0, t, kE, kG});
    return in;
}

// A uniform edge force spread over the edge nodes the way a bilinear element takes it: each node
// carries half of each segment beside it.
void EdgeLoad(SolverInput& in, bool vertical, double at, double from, double to, int cells, int direction, double total)
{
    const std::vector<double> pts = Evenly(from, to, cells);
    for (int k = 0; k <= cells; ++k) {
        const double share = (k == 0 || k == cells) ? 0.5 : 1.0;
        const double f = total / cells * share;
        in.loads.push_back(vertical ? NodalLoad{at, pts[std::size_t(k)], direction, f}
                                    : NodalLoad{pts[std::size_t(k)], at, direction, f});
    }
}

double Displacement(const Solution& s, double x, double y, int component)
{
    const auto i = std::find(s.mesh.xs.begin(), s.mesh.xs.end(), x) - s.mesh.xs.begin();
    const auto j = std::find(s.mesh.ys.begin(), s.mesh.ys.end(), y) - s.mesh.ys.begin();
    if (i == std::ssize(s.mesh.xs) || j == std::ssize(s.mesh.ys) || s.mesh.Node(int(i), int(j)) < 0) {
        ADD_FAILURE() << "no mesh node at (" << x << ", " << y << ")";
        return std::nan("");
    }
    const std::int32_t n = s.mesh.Node(int(i), int(j));
    return s.displacement[2 * std::size_t(n) + std::size_t(component)];
}

void ExpectBalanced(const Solution& s)
{
    const double scale = std::max(std::fabs(s.sumFx) + std::fabs(s.sumFy), 1e-300);
    EXPECT_LT(std::fabs(s.sumRx + s.sumFx) / scale, 1e-9);
    EXPECT_LT(std::fabs(s.sumRy + s.sumFy) / scale, 1e-9);
    const double momentScale = std::max(std::fabs(s.momentLoads), scale);
    EXPECT_LT(std::fabs(s.momentReactions + s.momentLoads) / momentScale, 1e-9);
}

std::string Reason(const SolverInput& in)
{
    try {
        SolvePlaneStress(in);
    } catch (const InputError& e) {
        return e.what();
    }
    return "solved";
}

TEST(PlaneStress, PlateInUniformTensionCarriesForceOverArea)
{
    // 120 x 30, t = 2, pulled by F = 900 at x = 120: s1 = F/(t h) = 15 everywhere, s2 = 0.
    SolverInput in = Plate(120, 30, 6, 3, 2.0);
    in.lines.push_back({0, 0, 0, 30, 1});
    in.lines.push_back({0, 0, 0, 0, 2});
    EdgeLoad(in, true, 120, 0, 30, 3, 1, 900.0);
    const Solution s = SolvePlaneStress(in);
    ASSERT_EQ(s.elements.size(), 18u);
    for (const ElementStress& e : s.elements) {
        EXPECT_NEAR(e.s1, 15.0, 1e-9);
        EXPECT_NEAR(e.s2, 0.0, 1e-9);
        EXPECT_NEAR(e.angle, 0.0, 1e-9);
    }
    // Elongation s L / E, lateral contraction -nu s h / E.
    EXPECT_NEAR(Displacement(s, 120, 10, 0), 15.0 * 120 / kE, 1e-12);
    EXPECT_NEAR(Displacement(s, 60, 30, 1), -kNu * 15.0 * 30 / kE, 1e-12);
    ExpectBalanced(s);
}

TEST(PlaneStress, UnevenGridlinesAndSeveralLoadsOnANodeStillGiveUniformTension)
{
    // Gridlines out of order and repeated; the right edge force split into two loads per node.
    SolverInput in;
    in.vertical = {50, 0, 20, 50, 100, 20};
    in.horizontal = {10, 0, 4};
    in.domains.push_back({0, 100, 10, 0, 1.0, kE, kG});
    in.lines.push_back({0, 0, 0, 10, 1});
    in.lines.push_back({0, 0, 100, 0, 2});
    for (const auto& [y, f] : {std::pair{0.0, 20.0}, {4.0, 50.0}, {10.0, 30.0}}) {
        in.loads.push_back({100, y, 1, f / 4});
        in.loads.push_back({100, y, 1, 3 * f / 4});
    }
    const Solution s = SolvePlaneStress(in);
    EXPECT_EQ(s.mesh.CellsX(), 3);
    EXPECT_EQ(s.mesh.CellsY(), 2);
    ASSERT_EQ(s.elements.size(), 6u);
    for (const ElementStress& e : s.elements) {
        EXPECT_NEAR(e.sx, 10.0, 1e-9);
        EXPECT_NEAR(e.sy, 0.0, 1e-9);
        EXPECT_NEAR(e.txy, 0.0, 1e-9);
    }
    ExpectBalanced(s);
}

TEST(PlaneStress, PureShearGivesPlusMinusTauAtFortyFiveDegrees)
{
    // A 40 x 40 block, t = 1, held along its bottom edge, sheared by tau on its other three
    // edges: s1 = tau, s2 = -tau, first direction at 45° (-45° when tau is negative).
    for (const double tau : {25.0, -25.0}) {
        SolverInput in = Plate(40, 40, 4, 4);
        in.lines.push_back({0, 0, 40, 0, 3});
        EdgeLoad(in, false, 40, 0, 40, 4, 1, tau * 40);
        EdgeLoad(in, true, 40, 0, 40, 4, 2, tau * 40);
        EdgeLoad(in, true, 0, 0, 40, 4, 2, -tau * 40);
        const Solution s = SolvePlaneStress(in);
        ASSERT_EQ(s.elements.size(), 16u);
        for (const ElementStress& e : s.elements) {
            EXPECT_NEAR(e.s1, std::fabs(tau), 1e-9);
            EXPECT_NEAR(e.s2, -std::fabs(tau), 1e-9);
            EXPECT_NEAR(e.angle, tau > 0 ? 45.0 : -45.0, 1e-9);
        }
        // Simple shear: u = tau / G · y.
        EXPECT_NEAR(Displacement(s, 20, 40, 0), tau / kG * 40, 1e-12);
        ExpectBalanced(s);
    }
}

TEST(PlaneStress, CantileverTipDeflectionConvergesToBeamTheory)
{
    // L = 100, h = 10, t = 1, tip force P = -100 spread over the free end. Timoshenko's beam:
    // d = P L³ / (3 E I) + P L / (k G A), I = t h³/12, A = t h, k = 5/6.
    const double L = 100, h = 10, P = -100;
    const double I = h * h * h / 12, A = h;
    const double beam = P * L * L * L / (3 * kE * I) + P * L / (5.0 / 6.0 * kG * A);
    double previousError = 1e300;
    for (const int ny : {2, 4, 8, 16}) {
        SolverInput in = Plate(L, h, 5 * ny, ny);
        in.lines.push_back({0, 0, 0, h, 3});
        EdgeLoad(in, true, L, 0, h, ny, 2, P);
        const Solution s = SolvePlaneStress(in);
        const double error = std::fabs(Displacement(s, L, h / 2, 1) - beam) / std::fabs(beam);
        EXPECT_LT(error, previousError) << "mesh " << ny;
        previousError = error;
        ExpectBalanced(s);
    }
    EXPECT_LT(previousError, 0.02);
}

TEST(PlaneStress, HolesAndLaterSubdomainsShapeTheStructure)
{
    // Three cells in a row, Poisson's ratio 0 (G = E/2) so that each cell is a plain bar. The
    // last subdomain containing the middle cell's centre makes it half as stiff.
    SolverInput in = Plate(30, 10, 3, 1);
    in.domains[0] = {0, 30, 10, 0, 1.0, kE, kE / 2};
    in.domains.push_back({10, 20, 10, 0, 2.0, kE, kE / 2});
    in.domains.push_back({12, 18, 9, 1, 1.0, kE / 2, kE / 4});
    in.lines.push_back({0, 0, 0, 10, 3});
    EdgeLoad(in, true, 30, 0, 10, 1, 1, 100.0);
    const Solution s = SolvePlaneStress(in);
    ASSERT_EQ(s.elements.size(), 3u);
    EXPECT_DOUBLE_EQ(s.poisson[2], 0.0);
    // The force passes through all three cells at thickness 1: sx = 100 / 10.
    for (const ElementStress& e : s.elements)
        EXPECT_NEAR(e.sx, 10.0, 1e-9);
    // The middle cell stretches twice as much as an outer one: 2 · 10 · 10 / E.
    EXPECT_NEAR(Displacement(s, 20, 10, 0) - Displacement(s, 10, 10, 0), 2 * 10.0 * 10 / kE, 1e-12);
    EXPECT_NEAR(Displacement(s, 10, 10, 0), 10.0 * 10 / kE, 1e-12);

    SolverInput holed = Plate(30, 10, 3, 1);
    holed.domains[0] = {0, 10, 10, 0, 1.0, kE, kG};
    holed.domains.push_back({20, 30, 10, 0, 1.0, kE, kG});
    holed.lines.push_back({0, 0, 0, 10, 3});
    holed.lines.push_back({30, 0, 30, 10, 3});
    const Solution h = SolvePlaneStress(holed);
    EXPECT_EQ(h.elements.size(), 2u);
    EXPECT_EQ(h.mesh.NodeCount(), 8);
}

TEST(PlaneStress, PrincipalDirectionsFollowTheSignConventions)
{
    double s1 = 0, s2 = 0, angle = 0;
    PrincipalStresses(-1, 3, 0, s1, s2, angle);
    EXPECT_DOUBLE_EQ(s1, 3);
    EXPECT_DOUBLE_EQ(s2, -1);
    EXPECT_DOUBLE_EQ(angle, 90);
    PrincipalStresses(1, 5, -0.0, s1, s2, angle);
    EXPECT_DOUBLE_EQ(angle, 90);
    PrincipalStresses(0, 0, 0, s1, s2, angle);
    EXPECT_DOUBLE_EQ(angle, 0);
    // sx = 3, sy = 1, txy = 1: centre 2, radius √2, tan 2θ = 1 → θ = 22.5°.
    PrincipalStresses(3, 1, 1, s1, s2, angle);
    EXPECT_NEAR(s1, 2 + std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(s2, 2 - std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(angle, 22.5, 1e-12);
    PrincipalStresses(1, 3, 1, s1, s2, angle);
    EXPECT_NEAR(angle, 67.5, 1e-12);
    PrincipalStresses(1, 3, -1, s1, s2, angle);
    EXPECT_NEAR(angle, -67.5, 1e-12);
}

TEST(PlaneStress, InputsWithoutAnAnswerAreRefusedWithTheirReason)
{
    auto held = [] {
        SolverInput in = Plate(20, 10, 2, 1);
        in.lines.push_back({0, 0, 0, 10, 3});
        in.loads.push_back({20, 10, 2, -5});
        return in;
    };
    ASSERT_EQ(Reason(held()), "solved");

    SolverInput in = held();
    in.domains[0] = {100, 200, 100, 50, 1, kE, kG};
    EXPECT_NE(Reason(in).find("no cell of the mesh lies in a subdomain"), std::string::npos) << Reason(in);
    in = held();
    in.domains.clear();
    EXPECT_NE(Reason(in).find("no subdomain"), std::string::npos);
    in = held();
    in.domains[0].shearModulus = kE / 3.2;  // nu = 0.6
    EXPECT_NE(Reason(in).find("strictly between -1 and 0.5"), std::string::npos) << Reason(in);
    in = held();
    in.domains[0].shearModulus = kE / 3.0;  // nu = 0.5 exactly
    EXPECT_NE(Reason(in).find("strictly between -1 and 0.5"), std::string::npos);
    in = held();
    in.domains[0].thickness = 0;
    EXPECT_NE(Reason(in).find("thickness"), std::string::npos);
    in = held();
    in.loads[0].x = 15;
    EXPECT_NE(Reason(in).find("load 1 at (15, 10) is not on a mesh node"), std::string::npos) << Reason(in);
    in = held();
    in.lines.push_back({5, 0, 5, 10, 1});
    EXPECT_NE(Reason(in).find("constrained line 2"), std::string::npos);
    in = held();
    in.vertical = {3, 3, 3};
    EXPECT_NE(Reason(in).find("two distinct vertical"), std::string::npos);
    in = held();
    in.vertical = Evenly(0, 20, 1500);
    in.horizontal = Evenly(0, 10, 1500);
    EXPECT_EQ(Reason(in), "the mesh has 2250000 cells; stress solves at most 2097152");
    in = held();
    in.lines.clear();
    EXPECT_NE(Reason(in).find("free to move"), std::string::npos);
    in = held();
    in.lines[0].code = 2;  // nothing holds x
    EXPECT_NE(Reason(in).find("free to move"), std::string::npos);
    in = held();
    in.lines[0] = {0, 0, 0, 0, 3};  // one node: the plate turns about it
    EXPECT_NE(Reason(in).find("free to move"), std::string::npos);
    // Two cells touching at one corner only: the second turns about the shared node.
    in = Plate(20, 20, 2, 2);
    in.domains[0] = {0, 10, 10, 0, 1, kE, kG};
    in.domains.push_back({10, 20, 20, 10, 1, kE, kG});
    in.lines.push_back({0, 0, 10, 0, 3});
    EXPECT_NE(Reason(in).find("free to move"), std::string::npos) << Reason(in);
}

TEST(PlaneStress, NumbersBeyondDoublePrecisionAreNamedNotSolvedIntoNaN)
{
    auto held = [] {
        SolverInput in = Plate(20, 10, 2, 1);
        in.lines.push_back({0, 0, 0, 10, 3});
        in.loads.push_back({20, 10, 2, -5});
        return in;
    };
    // Forces near the top of double precision: one alone is solved (it fits, and so does the
    // answer: 1e307 over a 10 cm edge of thickness 1 gives sx = 1e306 in both cells).
    SolverInput in = held();
    in.loads = {{20, 0, 1, 5e306}, {20, 10, 1, 5e306}};
    const Solution big = SolvePlaneStress(in);
    ASSERT_EQ(big.elements.size(), 2u);
    for (const ElementStress& e : big.elements)
        EXPECT_NEAR(e.sx / 1e306, 1.0, 1e-9);
    // Two that add up past it on one node, and one whose moment about the origin passes it.
    in = held();
    in.loads = {{20, 10, 1, 1e308}, {20, 10, 1, 1e308}};
    EXPECT_EQ(Reason(in), "the loads overflow double precision: their sums or their moment about the origin pass 1e308");
    in = held();
    in.loads = {{20, 10, 2, 1e308}};
    EXPECT_EQ(Reason(in), "the loads overflow double precision: their sums or their moment about the origin pass 1e308");
    // Loads that fit but whose answer does not: the stresses of a plate 1e-300 thick.
    in = held();
    in.domains[0] = {0, 20, 10, 0, 1e-290, kE, kG};
    in.loads = {{20, 10, 2, 1e300}};
    EXPECT_NE(Reason(in).find("overflow double precision: the loads (up to 1e+300) are too large for the stiffness of the structure"),
              std::string::npos) << Reason(in);

    // Moduli and thickness whose product leaves double precision.
    in = held();
    in.domains[0].thickness = 1e300;
    in.domains[0].youngModulus = 1e300;
    in.domains[0].shearModulus = 0.4e300;
    EXPECT_EQ(Reason(in), "the thickness times E of subdomain 1 (1e+300 x 1e+300) overflows double precision");
    in = held();
    in.domains[0].thickness = 1e-300;
    in.domains[0].youngModulus = 1e-20;
    in.domains[0].shearModulus = 0.4e-20;
    EXPECT_EQ(Reason(in), "the thickness times E of subdomain 1 (1e-300 x 1e-20) underflows double precision");

    // Gridlines 1e-300 apart.
    in = held();
    in.vertical = {0, 1e-300, 10, 20};
    EXPECT_EQ(Reason(in), "the vertical gridlines 0 and 1e-300 are 1e-300 apart, closer than 2e-08 (a billionth of the "
                          "model's extent): their cells are too thin for double precision");
    in = held();
    in.horizontal = {0, 10, 10 + 1e-12};
    EXPECT_NE(Reason(in).find("the horizontal gridlines 10 and 10 are"), std::string::npos) << Reason(in);
}

TEST(PlaneStress, DiagonalConstrainedLineHoldsTheNodesOnIt)
{
    SolverInput in = Plate(30, 30, 3, 3);
    in.lines.push_back({0, 0, 30, 30, 3});
    in.lines.push_back({30, 0, 25, 5, 3});  // meets the corner node only
    const Solution s = SolvePlaneStress(in);
    ASSERT_EQ(s.lineNodes.size(), 2u);
    EXPECT_EQ(s.lineNodes[0], 4);
    EXPECT_EQ(s.lineNodes[1], 1);
    EXPECT_EQ(s.unknowns, 2 * 16 - 2 * 5);
}

} // namespace
} // namespace ardela::stress
