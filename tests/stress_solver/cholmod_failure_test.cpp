// Guards the solver against trusting CHOLMOD blindly: a factor or solution that comes back
// missing without an error status must be refused with a reason, never dereferenced.
// The test program puts its own cholmod_analyze_p and cholmod_solve in front of the
// library's; they hand back nothing while a case asks them to, or report a pattern too large
// for 32-bit indices as the library does.
#include <dlfcn.h>

#include <cstddef>
#include <string>

#include <cholmod.h>
#include <gtest/gtest.h>

#include "stress_solver/PlaneStressSolver.h"

namespace {

bool g_noFactor = false;
bool g_noSolution = false;
bool g_tooLarge = false;

template <typename Fn>
Fn Real(const char* name)
{
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

} // namespace

// The library's own signatures; its structures pass through untouched.
extern "C" cholmod_factor* cholmod_analyze_p(cholmod_sparse* A, int* perm, int* fset, std::size_t fsize,
                                             cholmod_common* common)
{
    using Fn = cholmod_factor* (*)(cholmod_sparse*, int*, int*, std::size_t, cholmod_common*);
    static const Fn real = Real<Fn>("cholmod_analyze_p");
    if (g_tooLarge) {
        common->status = CHOLMOD_TOO_LARGE;
        return nullptr;
    }
    return g_noFactor ? nullptr : real(A, perm, fset, fsize, common);
}

extern "C" cholmod_dense* cholmod_solve(int sys, cholmod_factor* L, cholmod_dense* B, cholmod_common* common)
{
    using Fn = cholmod_dense* (*)(int, cholmod_factor*, cholmod_dense*, cholmod_common*);
    static const Fn real = Real<Fn>("cholmod_solve");
    return g_noSolution ? nullptr : real(sys, L, B, common);
}

namespace ardela::stress {
namespace {

// A 20 x 10 plate of two cells, held on its left edge and pulled by 10 along x: sx = 1.
SolverInput HeldPlate()
{
    SolverInput in;
    in.vertical = {0, 10, 20};
    in.horizontal = {0, 10};
    in.domains.push_back({0, 20, 10, 0, 1.0, 210000.0, 80000.0});
    in.lines.push_back({0, 0, 0, 10, 3});
    in.loads = {{20, 0, 1, 5}, {20, 10, 1, 5}};
    return in;
}

std::string Reason(bool noFactor, bool noSolution)
{
    g_noFactor = noFactor;
    g_noSolution = noSolution;
    std::string reason = "solved";
    try {
        const Solution s = SolvePlaneStress(HeldPlate());
        if (s.elements.size() != 2 || std::abs(s.elements[0].sx - 1.0) > 1e-9)
            reason = "solved wrongly";
    } catch (const InputError& e) {
        reason = e.what();
    }
    g_noFactor = g_noSolution = false;
    return reason;
}

TEST(CholmodFailures, MissingFactorOrSolutionWithoutAnErrorIsRefused)
{
    ASSERT_EQ(Reason(false, false), "solved") << "the stand-ins pass the library's answers through";
    EXPECT_EQ(Reason(true, false), "the sparse solver failed (CHOLMOD status 0)");
    EXPECT_EQ(Reason(false, true), "the sparse solver gave no solution (CHOLMOD status 0)");
}

TEST(CholmodFailures, AFactorBeyond32BitIndicesIsNamedAsTooLarge)
{
    g_tooLarge = true;
    std::string reason = "solved";
    try {
        // Above the single-precision factor's threshold, so that both factors are tried.
        SolverInput in = HeldPlate();
        in.vertical.clear();
        for (int k = 0; k <= 200; ++k)
            in.vertical.push_back(k * 0.1);
        in.horizontal.clear();
        for (int k = 0; k <= 200; ++k)
            in.horizontal.push_back(k * 0.05);
        SolvePlaneStress(in);
    } catch (const InputError& e) {
        reason = e.what();
    }
    g_tooLarge = false;
    EXPECT_EQ(reason, "the mesh is too large for the sparse solver: its factor would have more than 2,147,483,647 entries");
}

} // namespace
} // namespace ardela::stress
