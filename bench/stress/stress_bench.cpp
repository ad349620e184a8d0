// Runs the `stress` program on square meshes of N x N unit cells (a plate held along its left
// edge, pulled and bent at its right edge) and prints wall time, CPU time (user, system), peak
// memory and time per unknown.
// usage: stress_bench [--rest S] [N ...]  (default 100 200 300 1023); --rest waits S seconds
//                                          before each run, so that it gets memory the host has
//                                          taken back, as a run after a pause does
//        stress_bench --ways N [RUNS]      the program's own choice beside other BLAS kernels,
//                                          variants, thread counts and page sizes
//        stress_bench --versus-ccx N [RUNS]  side by side with CalculiX (`ccx`) on the same
//                                          mesh of CPS4 elements (default 200, 3 runs)
//        stress_bench --factors N [RUNS]   the double and the single-precision factor side by
//                                          side, and the digits in which their stresses agree
//        stress_bench --small-blocks N [RUNS]  the single-precision factor with small blocks
//                                          computed without the BLAS below several bounds of work
//        stress_bench --fresh-memory [MIB]  what the system charges for memory touched the first
//                                          time (default 1024 MiB): the floor of `stress`'s system time
// `stress` is taken from beside this program.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Gridlines eight to a line, as Vendel writes them.
void WriteValues(std::ofstream& out, int count)
{
    for (int k = 0; k < count; ++k) {
        out << k << ".0,";
        if (k % 8 == 7 || k == count - 1)
            out << "\r\n";
    }
}

void WriteInput(const fs::path& folder, int n)
{
    std::ofstream out(folder / "datein", std::ios::binary);
    out << n + 1 << ',' << n + 1 << ",1,1,3,\r\n";
    WriteValues(out, n + 1);
    WriteValues(out, n + 1);
    out << "0.0," << n << ".0," << n << ".0,0.0,1.0,210000.0,81000.0,\r\n";
    out << "0.0,0.0,0.0," << n << ".0,3,\r\n";
    out << n << ".0,0.0,1,1000.0,\r\n";
    out << n << ".0," << n << ".0,1,1000.0,\r\n";
    out << n << ".0," << n << ".0,2,-500.0,\r\n";
}

// The same plate for CalculiX: node (i, j) is j (n+1) + i + 1, CPS4 elements of thickness 1,
// the left edge held, the tip's displacement printed to plate.dat.
void WriteCalculixInput(const fs::path& folder, int n)
{
    std::ofstream out(folder / "plate.inp");
    const int row = n + 1;
    out << "*HEADING\nplate\n*NODE\n";
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            out << j * row + i + 1 << ',' << i << ".," << j << ".,0.\n";
    out << "*ELEMENT,TYPE=CPS4,ELSET=PLATE\n";
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * row + i + 1;
            out << j * n + i + 1 << ',' << a << ',' << a + 1 << ',' << a + row + 1 << ',' << a + row << '\n';
        }
    out << "*NSET,NSET=LEFT\n";
    for (int j = 0; j <= n; ++j)
        out << j * row + 1 << ",\n";
    const int tip = row * row;
    out << "*NSET,NSET=TIP\n" << tip << ",\n*MATERIAL,NAME=STEEL\n*ELASTIC\n210000.," << 210000.0 / (2 * 81000.0) - 1
        << "\n*SOLID SECTION,ELSET=PLATE,MATERIAL=STEEL\n1.\n*BOUNDARY\nLEFT,1,2\n*STEP\n*STATIC\n*CLOAD\n"
        << row << ",1,1000.\n" << tip << ",1,1000.\n" << tip << ",2,-500.\n*NODE PRINT,NSET=TIP\nU\n*EL FILE\nS\n*END STEP\n";
}

struct Figures {
    bool ok = false;
    double wall = 0, user = 0, system = 0, peakMiB = 0;
};

// Runs `program` in `folder` with `settings` ("NAME=value", "NAME=" unsets) added to this
// program's environment; output goes to `log` in the folder.
Figures Spawn(const fs::path& folder, const std::vector<std::string>& args, const std::vector<std::string>& settings)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced = std::any_of(settings.begin(), settings.end(), [&](const std::string& s) {
            return entry.compare(0, s.find('=') + 1, s, 0, s.find('=') + 1) == 0;
        });
        if (!replaced)
            env.push_back(entry);
    }
    for (const std::string& s : settings)
        if (s.back() != '=')
            env.push_back(s);
    std::vector<char*> envp, argv;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = args;
    for (std::string& a : argCopy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, (folder / "log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (folder / "log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    Figures f;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return f;
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    f.user = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) * 1e-6;
    f.system = double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) * 1e-6;
    f.peakMiB = double(usage.ru_maxrss) / 1024.0;
    return f;
}

fs::path Folder(const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("stress_bench_" + std::to_string(getpid()) + "_" + name);
    fs::create_directories(folder);
    return folder;
}

std::string Program()
{
    return (fs::canonical("/proc/self/exe").parent_path() / "stress").string();
}

void PrintLoad()
{
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3)
        std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
}

void PrintRow(const char* label, const Figures& f, const char* note = "")
{
    std::printf("%-44s %8.2f %8.2f %8.2f %6.1f%% %9.0f%s%s\n", label, f.wall, f.user, f.system,
                f.user + f.system > 0 ? 100.0 * f.system / (f.user + f.system) : 0.0, f.peakMiB, f.ok ? "" : "  FAILED", note);
    std::fflush(stdout);
}

void PrintHeader(const char* first)
{
    std::printf("%-44s %8s %8s %8s %7s %9s\n", first, "wall [s]", "user [s]", "sys [s]", "sys/CPU", "peak [MiB]");
}

// Each size once: the figures of the program as it runs for a user.
int Sizes(const std::vector<int>& sizes, int restSeconds)
{
    PrintLoad();
    if (restSeconds > 0)
        std::printf("each run after %d s of rest\n", restSeconds);
    std::printf("%9s %10s %9s %8s %8s %8s %14s %18s\n", "cells", "unknowns", "time [s]", "user [s]", "sys [s]", "sys/CPU",
                "peak RSS [MiB]", "time/unknown [us]");
    for (const int n : sizes) {
        const fs::path folder = Folder(std::to_string(n));
        WriteInput(folder, n);
        if (restSeconds > 0)
            sleep(unsigned(restSeconds));
        const Figures f = Spawn(folder, {Program()}, {});
        const bool ok = f.ok && fs::exists(folder / "dateout.dat");
        // Every node but the n+1 on the held edge has two unknowns.
        const double unknowns = 2.0 * (double(n) + 1) * double(n);
        const double cpu = f.user + f.system;
        std::printf("%4dx%-4d %10.0f %9.2f %8.3f %8.3f %7.1f%% %14.0f %18.3f%s\n", n, n, unknowns, f.wall, f.user, f.system,
                    cpu > 0 ? 100.0 * f.system / cpu : 0.0, f.peakMiB, f.wall / unknowns * 1e6, ok ? "" : "  FAILED");
        std::fflush(stdout);
        fs::remove_all(folder);
    }
    PrintLoad();
    return 0;
}

struct Way {
    const char* label;
    std::vector<std::string> settings;
    const char* library;  // a folder that must hold libblas.so.3, or null
};

// The program's own choice beside the alternatives, each run RUNS times in turn.
int Ways(int n, int runs)
{
    const std::string lib = "/usr/lib/x86_64-linux-gnu/";
    // Every way starts from an environment without the program's own settings.
    const std::vector<std::string> clean = {"ARDELA_STRESS_TUNED=", "OPENBLAS_CORETYPE=", "OPENBLAS_NUM_THREADS=",
                                            "OMP_THREAD_LIMIT=", "OMP_WAIT_POLICY=", "OPENBLAS_THREAD_TIMEOUT=",
                                            "GLIBC_TUNABLES="};
    const std::vector<Way> ways = {
        {"the program's choice", {}, nullptr},
        {"untuned (as before: every library's default)", {"ARDELA_STRESS_TUNED=1"}, nullptr},
        {"OpenBLAS Prescott kernel", {"OPENBLAS_CORETYPE=Prescott"}, nullptr},
        {"OpenBLAS Haswell kernel", {"OPENBLAS_CORETYPE=Haswell"}, nullptr},
        {"OpenBLAS Zen kernel", {"OPENBLAS_CORETYPE=Zen"}, nullptr},
        {"OpenBLAS SkylakeX kernel", {"OPENBLAS_CORETYPE=SkylakeX"}, nullptr},
        {"1 BLAS thread at every size", {"OPENBLAS_NUM_THREADS=1"}, nullptr},
        {"2 BLAS threads at every size", {"OPENBLAS_NUM_THREADS=2"}, nullptr},
        {"2 threads polling 2^28 cycles", {"OPENBLAS_NUM_THREADS=2", "OPENBLAS_THREAD_TIMEOUT=28"}, nullptr},
        {"CHOLMOD's 4 OpenMP threads", {"OMP_THREAD_LIMIT=64"}, nullptr},
        {"2 OpenMP threads spinning (OMP_WAIT_POLICY)", {"OMP_THREAD_LIMIT=2", "OMP_WAIT_POLICY=active"}, nullptr},
        {"2 OpenMP threads sleeping (OMP_WAIT_POLICY)", {"OMP_THREAD_LIMIT=2", "OMP_WAIT_POLICY=passive"}, nullptr},
        {"4 KiB pages", {"GLIBC_TUNABLES=glibc.malloc.hugetlb=0"}, nullptr},
        {"OpenBLAS OpenMP build", {"LD_LIBRARY_PATH=" + lib + "openblas-openmp"}, "openblas-openmp"},
        {"OpenBLAS serial build", {"LD_LIBRARY_PATH=" + lib + "openblas-serial"}, "openblas-serial"},
        {"BLIS pthreads", {"LD_LIBRARY_PATH=" + lib + "blis-pthread"}, "blis-pthread"},
        {"reference BLAS and LAPACK", {"LD_LIBRARY_PATH=" + lib + "blas:" + lib + "lapack"}, "blas"},
    };
    PrintLoad();
    std::printf("stress on %d x %d cells, %d runs of each (best, then median of the wall times)\n", n, n, runs);
    PrintHeader("way");
    std::vector<std::vector<Figures>> all(ways.size());
    const fs::path folder = Folder("ways");
    WriteInput(folder, n);
    for (int r = 0; r < runs; ++r)
        for (std::size_t w = 0; w < ways.size(); ++w) {
            if (ways[w].library && !fs::exists(lib + ways[w].library + "/libblas.so.3"))
                continue;
            std::vector<std::string> settings = clean;
            settings.insert(settings.end(), ways[w].settings.begin(), ways[w].settings.end());
            all[w].push_back(Spawn(folder, {Program()}, settings));
        }
    for (std::size_t w = 0; w < ways.size(); ++w) {
        auto& runsOf = all[w];
        if (runsOf.empty()) {
            std::printf("%-44s (not installed: %s)\n", ways[w].label, ways[w].library);
            continue;
        }
        std::sort(runsOf.begin(), runsOf.end(), [](const Figures& a, const Figures& b) { return a.wall < b.wall; });
        char note[64];
        std::snprintf(note, sizeof note, "  median %.2f s", runsOf[runsOf.size() / 2].wall);
        PrintRow(ways[w].label, runsOf.front(), note);
    }
    fs::remove_all(folder);
    PrintLoad();
    return 0;
}

// The tip's vertical displacement: from the listing of `stress`, from plate.dat of CalculiX.
double StressTipDisplacement(const fs::path& folder, int n)
{
    std::ifstream in(folder / "dateout");
    const std::string node = std::to_string((n + 1) * (n + 1));
    std::string line;
    while (std::getline(in, line)) {
        char* end = nullptr;
        if (std::strtol(line.c_str(), &end, 10) == std::stol(node) && end != line.c_str()) {
            double x = 0, y = 0, ux = 0, uy = 0;
            if (std::sscanf(end, "%lf %lf %lf %lf", &x, &y, &ux, &uy) == 4)
                return uy;
        }
    }
    return 0;
}

double CalculixTipDisplacement(const fs::path& folder, int n)
{
    std::ifstream in(folder / "plate.dat");
    std::string line;
    while (std::getline(in, line)) {
        long node = 0;
        double ux = 0, uy = 0;
        if (std::sscanf(line.c_str(), "%ld %lf %lf", &node, &ux, &uy) == 3 && node == long(n + 1) * (n + 1))
            return uy;
    }
    return 0;
}

// The principal stresses s1, s2 of every element from dateout.dat.
std::vector<double> PrincipalStresses(const fs::path& folder)
{
    std::ifstream in(folder / "dateout.dat");
    std::string line;
    std::vector<double> stresses;
    if (!std::getline(in, line))
        return stresses;
    const long elements = std::atol(line.c_str());
    for (long k = 0; k < elements && std::getline(in, line); ++k) {
    }
    for (long k = 0; k < elements && std::getline(in, line); ++k) {
        double s1 = 0, s2 = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf,", &s1, &s2) == 2)
            stresses.insert(stresses.end(), {s1, s2});
    }
    return stresses;
}

// The program's choice beside each precision held by ARDELA_STRESS_FACTOR, RUNS times in turn;
// then how closely the two precisions' stresses agree (dateout.dat holds nine digits).
// Runs the program once in each way in turn, `runs` times, prints each way's best run, then the
// digits in which the stresses of ways `first` and `second` agree.
int CompareWays(int n, int runs, const char* header, const std::vector<std::pair<const char*, std::string>>& ways,
                std::size_t first, std::size_t second)
{
    PrintLoad();
    std::printf("stress on %d x %d cells, %d runs of each in turn (best, then median of the wall times)\n", n, n, runs);
    PrintHeader(header);
    std::vector<fs::path> folders;
    std::vector<std::vector<Figures>> all(ways.size());
    for (std::size_t w = 0; w < ways.size(); ++w) {
        folders.push_back(Folder("way" + std::to_string(w)));
        WriteInput(folders.back(), n);
    }
    for (int r = 0; r < runs; ++r)
        for (std::size_t w = 0; w < ways.size(); ++w)
            all[w].push_back(Spawn(folders[w], {Program()}, {ways[w].second}));
    for (std::size_t w = 0; w < ways.size(); ++w) {
        auto& runsOf = all[w];
        std::sort(runsOf.begin(), runsOf.end(), [](const Figures& a, const Figures& b) { return a.wall < b.wall; });
        char note[64];
        std::snprintf(note, sizeof note, "  median %.2f s", runsOf[runsOf.size() / 2].wall);
        PrintRow(ways[w].first, runsOf.front(), note);
    }
    const std::vector<double> a = PrincipalStresses(folders[first]), b = PrincipalStresses(folders[second]);
    if (a.empty() || a.size() != b.size()) {
        std::printf("the results of \"%s\" and \"%s\" could not be compared\n", ways[first].first, ways[second].first);
    } else {
        double largest = 0, worst = 0;
        for (std::size_t k = 0; k < a.size(); ++k) {
            largest = std::max(largest, std::fabs(a[k]));
            worst = std::max(worst, std::fabs(a[k] - b[k]));
        }
        std::printf("s1, s2 of %zu elements, \"%s\" against \"%s\": largest difference %.3g of the largest stress %.6g",
                    a.size() / 2, ways[first].first, ways[second].first, worst / largest, largest);
        if (worst > 0)
            std::printf(" (%.1f digits alike)\n", -std::log10(worst / largest));
        else
            std::printf(" (alike in all nine digits written)\n");
    }
    PrintLoad();
    for (const fs::path& folder : folders)
        fs::remove_all(folder);
    return 0;
}

int Factors(int n, int runs)
{
    return CompareWays(n, runs, "factor",
                       {{"the program's choice", "ARDELA_STRESS_FACTOR="},
                        {"double-precision factor", "ARDELA_STRESS_FACTOR=double"},
                        {"single-precision factor and CG in double", "ARDELA_STRESS_FACTOR=single"}},
                       1, 2);
}

// The single-precision factor with small blocks computed by the program and large ones by the
// BLAS, at the program's bound and others.
int SmallBlocks(int n, int runs)
{
    const std::string bound = "ARDELA_STRESS_SMALL_BLOCKS=";
    return CompareWays(n, runs, "blocks of less work than this without the BLAS",
                       {{"the program's bound", bound},
                        {"every block by the BLAS", bound + "0"},
                        {"8,192", bound + "8192"},
                        {"32,768", bound + "32768"},
                        {"524,288", bound + "524288"},
                        {"4,194,304", bound + "4194304"},
                        {"every block without the BLAS", bound + "1e30"}},
                       1, 0);
}

int VersusCalculix(int n, int runs)
{
    std::string ccx;
    for (const char* dir : {"/usr/bin", "/usr/local/bin"})
        if (fs::exists(fs::path(dir) / "ccx"))
            ccx = (fs::path(dir) / "ccx").string();
    if (ccx.empty()) {
        std::printf("skipped: CalculiX (`ccx`, Debian package calculix-ccx) is not installed\n");
        return 0;
    }
    const fs::path ours = Folder("stress"), theirs = Folder("ccx");
    WriteInput(ours, n);
    WriteCalculixInput(theirs, n);
    PrintLoad();
    std::printf("%d x %d cells of CPS4 elements, %d runs each, in turn\n", n, n, runs);
    PrintHeader("program");
    std::vector<double> ourWalls, theirWalls;
    for (int r = 0; r < runs; ++r) {
        const Figures a = Spawn(ours, {Program()}, {});
        PrintRow("stress", a);
        const Figures b = Spawn(theirs, {ccx, "-i", "plate"}, {});
        PrintRow("ccx", b);
        ourWalls.push_back(a.wall);
        theirWalls.push_back(b.wall);
    }
    std::sort(ourWalls.begin(), ourWalls.end());
    std::sort(theirWalls.begin(), theirWalls.end());
    const double ourMedian = ourWalls[ourWalls.size() / 2], theirMedian = theirWalls[theirWalls.size() / 2];
    std::printf("median wall: stress %.3f s, ccx %.3f s: stress is %.1f times faster\n", ourMedian, theirMedian,
                theirMedian / ourMedian);
    std::printf("tip displacement uy: stress %.6g, ccx %.6g (the same plate)\n", StressTipDisplacement(ours, n),
                CalculixTipDisplacement(theirs, n));
    PrintLoad();
    fs::remove_all(ours);
    fs::remove_all(theirs);
    return 0;
}

double CpuSeconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) * 1e-6;
}

// What the operating system charges for memory a process touches for the first time: MIB
// mebibytes in 2 MiB pages (as `stress` holds its factor) touched once, then given back and
// taken again at once. On a virtual machine whose host takes back the pages its guest frees,
// the first touch costs far more than clearing the memory; this is the floor of the system
// time of a run that needs that much memory.
int FreshMemory(std::size_t mib)
{
    const std::size_t bytes = mib << 20;
    PrintLoad();
    std::printf("%zu MiB touched in 2 MiB pages %28s %8s %8s %10s\n", mib, "wall [s]", "user [s]", "sys [s]", "sys per GiB");
    for (const char* label : {"fresh from the system", "given back and taken again at once"}) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const auto start = std::chrono::steady_clock::now();
        void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            std::printf("%zu MiB could not be mapped\n", mib);
            return 1;
        }
        madvise(memory, bytes, MADV_HUGEPAGE);
        volatile char* p = static_cast<char*>(memory);
        for (std::size_t k = 0; k < bytes; k += 4096)
            p[k] = 1;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        getrusage(RUSAGE_SELF, &after);
        munmap(memory, bytes);
        const double user = CpuSeconds(after.ru_utime) - CpuSeconds(before.ru_utime);
        const double system = CpuSeconds(after.ru_stime) - CpuSeconds(before.ru_stime);
        std::printf("%-58s %8.3f %8.3f %8.3f %8.2f s\n", label, wall, user, system, system / (double(mib) / 1024.0));
    }
    PrintLoad();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--fresh-memory") == 0)
        return FreshMemory(argc >= 3 ? std::size_t(std::max(1, std::atoi(argv[2]))) : 1024);
    if (argc >= 2 && (std::strcmp(argv[1], "--ways") == 0 || std::strcmp(argv[1], "--versus-ccx") == 0
                      || std::strcmp(argv[1], "--factors") == 0 || std::strcmp(argv[1], "--small-blocks") == 0)) {
        const bool ways = std::strcmp(argv[1], "--ways") == 0, factors = std::strcmp(argv[1], "--factors") == 0;
        const bool small = std::strcmp(argv[1], "--small-blocks") == 0;
        const int n = argc >= 3 ? std::atoi(argv[2]) : (ways || factors || small ? 500 : 200);
        const int runs = std::max(1, argc >= 4 ? std::atoi(argv[3]) : 3);
        if (factors)
            return Factors(n, runs);
        if (small)
            return SmallBlocks(n, runs);
        return ways ? Ways(n, runs) : VersusCalculix(n, runs);
    }
    int first = 1, rest = 0;
    if (argc >= 3 && std::strcmp(argv[1], "--rest") == 0) {
        rest = std::max(0, std::atoi(argv[2]));
        first = 3;
    }
    std::vector<int> sizes;
    for (int i = first; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {100, 200, 300, 1023};
    return Sizes(sizes, rest);
}
