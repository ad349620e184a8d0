// stress: reads "datein" in the current folder, writes "dateout.dat" and the listing "dateout".
#include <cstdio>
#include <string>

#include "stress_solver/HostTuning.h"
#include "stress_solver/SolverOutput.h"

namespace {

// Runs before any shared library initialises, so that OpenBLAS, OpenMP and the C library's
// allocator start with the settings chosen for this machine.
void TuneThisRun(int, char** argv, char** envp)
{
    ardela::stress::TuneBeforeLibrariesLoad(argv, envp);
}

[[gnu::used, gnu::section(".preinit_array")]] void (*const g_tuneThisRun)(int, char**, char**) = &TuneThisRun;

} // namespace

int main()
{
    std::string error;
    if (ardela::stress::RunAnalysisInFolder(std::string(), error))
        return 0;
    std::fprintf(stderr, "stress: %s\n", error.c_str());
    return 1;
}
