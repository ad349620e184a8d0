// Guards the solver against trusting CHOLMOD blindly: a factor or solution that comes back
// missing without an error status must be refused with a reason, never dereferenced.
// The test program puts its own cholmod_l_analyze_p and cholmod_l_solve in front of the
// library's; they hand back nothing while a case asks them to.
#include <dlfcn.h>

#include <cstddef>
#include <string>

#include <gtest/gtest.h>

#include "stress_solver/PlaneStressSolver.h"

namespace {

bool g_noFactor = false;
bool g_noSolution = false;

template <typename Fn>
Fn Real(const char* name)
{
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

} // namespace

// The library's signatures, with its structures passed through untouched.
extern "C" void* cholmod_l_analyze_p(void* A, void* perm, void* fset, std::size_t fsize, void* common)
{
    using Fn = void* (*)(void*, void*, void*, std::size_t, void*);
    static const Fn real = Real<Fn>("cholmod_l_analyze_p");
    return g_noFactor ? nullptr : real(A, perm, fset, fsize, common);
}

extern "C" void* cholmod_l_solve(int sys, void* L, void* B, void* common)
{
    using Fn = void* (*)(int, void*, void*, void*);
    static const Fn real = Real<Fn>("cholmod_l_solve");
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

} // namespace
} // namespace ardela::stress
