// Runs the `stress` program on square meshes of N x N unit cells (a plate held along its left
// edge, pulled and bent at its right edge) and prints wall time, CPU time, peak memory and time per unknown.
// usage: stress_bench [N ...]   (default 100 200 300 1023; `stress` is taken from beside this program)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Gridlines eight to a line, as Vendel writes them.
void WriteValues(std::ofstream& out, int count)
{
    for (int k = 0; k < count; ++k) {
        out << k << ".0,";
        if (k % 8 == 7 || k == count - 1)
            out << "\r\n";
    }
}

void WriteInput(const std::filesystem::path& folder, int n)
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

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {100, 200, 300, 1023};
    const std::filesystem::path program = std::filesystem::canonical("/proc/self/exe").parent_path() / "stress";
    std::printf("%9s %10s %9s %8s %14s %18s\n", "cells", "unknowns", "time [s]", "CPU [s]", "peak RSS [MB]",
                "time/unknown [us]");
    for (const int n : sizes) {
        const std::filesystem::path folder = std::filesystem::temp_directory_path()
                                             / ("stress_bench_" + std::to_string(getpid()) + "_" + std::to_string(n));
        std::filesystem::create_directories(folder);
        WriteInput(folder, n);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        char* args[] = {const_cast<char*>(program.c_str()), nullptr};
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, args, environ) != 0) {
            std::fprintf(stderr, "cannot start %s\n", program.c_str());
            return 1;
        }
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        posix_spawn_file_actions_destroy(&actions);
        const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::filesystem::exists(folder / "dateout.dat");
        // Every node but the n+1 on the held edge has two unknowns.
        const double unknowns = 2.0 * (double(n) + 1) * double(n);
        const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
        std::printf("%4dx%-4d %10.0f %9.2f %8.2f %14.0f %18.3f%s\n", n, n, unknowns, seconds, cpu,
                    usage.ru_maxrss / 1024.0, seconds / unknowns * 1e6, ok ? "" : "  FAILED");
        std::fflush(stdout);
        std::filesystem::remove_all(folder);
    }
    return 0;
}
