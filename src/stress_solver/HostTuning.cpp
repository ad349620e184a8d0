// Choosing the BLAS kernel, thread counts and page size for this machine (see HostTuning.h).
#include "stress_solver/HostTuning.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <sched.h>
#include <unistd.h>

namespace ardela::stress {

namespace {

// Set in the environment of the run that already carries the settings, so that it is not
// started again; its value says whether the BLAS threads are this program's to choose.
constexpr const char* kTunedMark = "ARDELA_STRESS_TUNED";
constexpr const char* kThreadsOurs = "blas-threads";

// glibc's allocator tuned for a run that builds a few large arrays and frees them (each only
// where the user has not set it):
// - hugetlb=1 backs large allocations with 2 MiB pages: the factor of the largest mesh takes
//   over a million page faults in 4 KiB pages, each costly on a virtual machine;
// - a fixed mmap threshold of 32 MiB keeps the arrays below it (K's columns, the vectors, the
//   workspaces) in the heap, which then grows in large pages too; left to move, the threshold
//   sends every array over 128 KiB to a mapping of its own, cleared afresh by the kernel each
//   time it is made again (a 500 x 500 plate: 10,700 page faults, 2,000 with these settings);
// - a top pad of 64 MiB lets the heap grow, and give memory back, in steps of that size.
constexpr const char* kAllocatorSettings[][2] = {
    {"glibc.malloc.hugetlb", "1"},
    {"glibc.malloc.mmap_threshold", "33554432"},
    {"glibc.malloc.top_pad", "67108864"},
};

// Factorisations with fewer unknowns are a few hundred milliseconds of small BLAS calls: a
// second BLAS thread only costs them its start and its wake-ups.
constexpr long long kUnknownsForThreads = 200000;

int UsableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

} // namespace

ProcessorFeatures DetectProcessor()
{
    ProcessorFeatures f;
    f.cores = UsableCores();
#if defined(__x86_64__) || defined(__i386__)
    // Callable before the C++ runtime's constructors: the features are read here, not cached.
    __builtin_cpu_init();
    f.avx2Fma = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    f.avx512 = f.avx2Fma && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512cd")
               && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq")
               && __builtin_cpu_supports("avx512vl");
#endif
    return f;
}

std::vector<EnvironmentSetting> ChooseSettings(const ProcessorFeatures& features,
                                               const std::function<const char*(const char*)>& current)
{
    std::vector<EnvironmentSetting> settings;
    auto setUnlessGiven = [&](const char* name, const std::string& value) {
        if (!current(name))
            settings.push_back({name, value});
    };
    // OpenBLAS falls back to its oldest kernels on a processor it does not know (an AVX-512
    // processor newer than the library): name the kernel family the processor can run.
    if (features.avx512)
        setUnlessGiven("OPENBLAS_CORETYPE", "SkylakeX");
    else if (features.avx2Fma)
        setUnlessGiven("OPENBLAS_CORETYPE", "Haswell");
    // CHOLMOD asks OpenMP for four threads for every large supernode whatever the processor;
    // on fewer cores they wait for each other in spin loops and futex calls. The supernodes'
    // arithmetic runs in the BLAS, which has threads of its own.
    setUnlessGiven("OMP_THREAD_LIMIT", "1");
    // Every thread's OpenMP regions start with one thread, the program's own side-by-side
    // threads included: OpenBLAS's OpenMP build sizes each call by the calling thread's count,
    // and a call split for two threads that get one waits for the second half for ever.
    setUnlessGiven("OMP_NUM_THREADS", "1");
    // The BLAS starts with one thread; UseBlasThreadsFor adds the others for a large factor.
    // Idle OpenBLAS threads poll with sched_yield for 2^28 cycles before they sleep: on a
    // shared machine that takes the cores from the thread doing the work.
    setUnlessGiven("OPENBLAS_NUM_THREADS", "1");
    setUnlessGiven("OPENBLAS_THREAD_TIMEOUT", "4");
    const char* tunables = current("GLIBC_TUNABLES");
    const std::string given = tunables ? tunables : "";
    std::string extended = given;
    for (const auto& [name, value] : kAllocatorSettings) {
        if (given.find(name) != std::string::npos)
            continue;
        if (!extended.empty())
            extended += ':';
        extended.append(name).append("=").append(value);
    }
    if (extended != given)
        settings.push_back({"GLIBC_TUNABLES", extended});
    return settings;
}

void TuneBeforeLibrariesLoad(char** argv, char** envp)
{
    // This runs before the C library has initialised, when getenv and setenv cannot be
    // trusted: the environment is read from `envp` and handed whole to the next run.
    if (!argv || !argv[0] || !envp)
        return;
    auto current = [envp](const char* name) -> const char* {
        const std::size_t length = std::strlen(name);
        for (char** e = envp; *e; ++e)
            if (std::strncmp(*e, name, length) == 0 && (*e)[length] == '=')
                return *e + length + 1;
        return nullptr;
    };
    if (current(kTunedMark))
        return;
    const std::vector<EnvironmentSetting> settings = ChooseSettings(DetectProcessor(), current);
    bool threadsOurs = false;
    std::vector<std::string> added;
    for (const EnvironmentSetting& s : settings) {
        added.push_back(s.name + "=" + s.value);
        threadsOurs = threadsOurs || s.name == "OPENBLAS_NUM_THREADS";
    }
    added.push_back(std::string(kTunedMark) + "=" + (threadsOurs ? kThreadsOurs : "1"));
    std::vector<char*> environment;
    for (char** e = envp; *e; ++e) {
        const bool replaced = std::any_of(settings.begin(), settings.end(), [e](const EnvironmentSetting& s) {
            return std::strncmp(*e, s.name.c_str(), s.name.size()) == 0 && (*e)[s.name.size()] == '=';
        });
        if (!replaced)
            environment.push_back(*e);
    }
    for (std::string& a : added)
        environment.push_back(a.data());
    environment.push_back(nullptr);
    // The libraries read these settings when they load, the C library its tunables when the
    // program starts: the program starts again with them. Should that fail it runs on as it is.
    execve("/proc/self/exe", argv, environment.data());
}

int OpenBlasParallel()
{
    using Parallel = int (*)();
    const auto parallel = reinterpret_cast<Parallel>(dlsym(RTLD_DEFAULT, "openblas_get_parallel"));
    return parallel ? parallel() : -1;
}

bool BlasThreadsAreOpenMps()
{
    return OpenBlasParallel() == 2;
}

int ThreadsBesideBlas(int cores, int openBlasParallel)
{
    return openBlasParallel == 0 ? 1 : std::clamp(cores, 1, 2);
}

void UseBlasThreadsFor(long long unknowns)
{
    const char* mark = std::getenv(kTunedMark);
    if (!mark || std::strcmp(mark, kThreadsOurs) != 0)
        return;
    using SetThreads = void (*)(int);
    const auto set = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads"));
    // With OpenMP limited to one thread, OpenBLAS's OpenMP build cannot run a call on two.
    if (set)
        set(unknowns >= kUnknownsForThreads && !BlasThreadsAreOpenMps() ? UsableCores() : 1);
}

} // namespace ardela::stress
