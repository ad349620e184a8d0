// Runs CHOLMOD's OpenMP regions on the calling thread when OpenMP may use only one.
//
// CHOLMOD opens a parallel region for every supernode it assembles, asking for four threads.
// With the thread limit at one (HostTuning) the OpenMP runtime still builds a team of one for
// each region and ends it with a futex wake-up: a system call per supernode, over a million for
// the largest mesh. This definition, in the program itself, comes before the runtime's: alone,
// a region is its body called once (outside a team, omp_get_num_threads() is 1 and
// omp_get_thread_num() 0, so a loop's whole range is this thread's share).
#include <dlfcn.h>

namespace {

using RegionBody = void (*)(void*);
using Parallel = void (*)(RegionBody, void*, unsigned, unsigned);
using ThreadLimit = int (*)();

// The runtime's own entry, used when the user allows more than one thread.
Parallel RuntimeParallel()
{
    static const Parallel parallel = [] {
        const auto limit = reinterpret_cast<ThreadLimit>(dlsym(RTLD_NEXT, "omp_get_thread_limit"));
        if (limit && limit() <= 1)
            return Parallel(nullptr);
        return reinterpret_cast<Parallel>(dlsym(RTLD_NEXT, "GOMP_parallel"));
    }();
    return parallel;
}

} // namespace

extern "C" void GOMP_parallel(RegionBody body, void* data, unsigned threads, unsigned flags)
{
    if (const Parallel parallel = RuntimeParallel()) {
        parallel(body, data, threads, flags);
        return;
    }
    body(data);
}
