// Large pages for big buffers (transparent huge pages, where the kernel offers them on request).
#include "cadhost/engine/LargePages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace cadhost {

void AdviseLargePages(const void* data, std::size_t bytes)
{
    constexpr std::uintptr_t kLarge = std::uintptr_t(2) << 20;
    if (!data || bytes < 2 * kLarge)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kLarge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);   // advice only: a refusal changes nothing
}

std::string LargePageTunables(const char* given)
{
    const std::string current = given ? given : "";
    if (current.find("glibc.malloc.hugetlb") != std::string::npos)
        return {};
    return current.empty() ? std::string(kLargePageTunable) : current + ":" + kLargePageTunable;
}

void StartWithLargePages(char** argv, char** envp)
{
    if (!argv || !argv[0] || !envp)
        return;
    constexpr const char* kName = "GLIBC_TUNABLES=";
    const std::size_t nameLength = std::strlen(kName);
    const char* given = nullptr;
    std::vector<char*> environment;
    for (char** e = envp; *e; ++e) {
        if (std::strncmp(*e, kName, nameLength) == 0)
            given = *e + nameLength;
        else
            environment.push_back(*e);
    }
    const std::string tunables = LargePageTunables(given);
    if (tunables.empty())
        return;
    std::string setting = kName + tunables;
    environment.push_back(setting.data());
    environment.push_back(nullptr);
    ::execve("/proc/self/exe", argv, environment.data());
}

} // namespace cadhost
