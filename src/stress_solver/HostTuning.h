// How `stress` runs its BLAS and OpenMP libraries on the machine at hand: the processor's BLAS
// kernel, the thread counts, and large pages for the factor. Decided before those libraries load.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ardela::stress {

// What the processor and the operating system offer the solver.
struct ProcessorFeatures {
    bool avx2Fma = false;  // 256-bit vectors with fused multiply-add
    bool avx512 = false;   // 512-bit vectors (F, CD, BW, DQ, VL), saved by the operating system
    int cores = 1;         // processors this process may run on
};

// One environment variable the libraries read when they load.
struct EnvironmentSetting {
    std::string name;
    std::string value;
};

// The features of the processor this process runs on.
ProcessorFeatures DetectProcessor();

// The settings to make for `features`, given the environment as it is (`current` returns null
// for an unset variable). A variable the user has set is never changed; GLIBC_TUNABLES is
// extended, not replaced.
std::vector<EnvironmentSetting> ChooseSettings(const ProcessorFeatures& features,
                                               const std::function<const char*(const char*)>& current);

// Runs this program again with the settings added to its environment `envp`. Called before the
// BLAS and OpenMP libraries initialise; does nothing when the program already runs with them.
void TuneBeforeLibrariesLoad(char** argv, char** envp);

// Threads for the BLAS calls of a factorisation of `unknowns` equations; applied when the BLAS
// in use offers a way to set them. OpenBLAS's OpenMP build keeps one: OpenMP may use only one.
void UseBlasThreadsFor(long long unknowns);

// True when the BLAS in use is OpenBLAS built on OpenMP's threads.
bool BlasThreadsAreOpenMps();

// How OpenBLAS says it was built (openblas_get_parallel): 0 without threads, 1 with its own,
// 2 with OpenMP's; -1 for another BLAS.
int OpenBlasParallel();

// Threads that may call the BLAS at the same time to factorise side by side, on `cores`
// processors with a BLAS of `openBlasParallel` (as OpenBlasParallel answers): at most two; one
// for OpenBLAS built without threads, whose calls share buffers without a lock.
int ThreadsBesideBlas(int cores, int openBlasParallel);

} // namespace ardela::stress
