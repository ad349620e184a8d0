// stress: reads "datein" in the current folder, writes "dateout.dat" and the listing "dateout".
#include <cstdio>
#include <string>

#include "stress_solver/SolverOutput.h"

int main()
{
    std::string error;
    if (ardela::stress::RunAnalysisInFolder(std::string(), error))
        return 0;
    std::fprintf(stderr, "stress: %s\n", error.c_str());
    return 1;
}
