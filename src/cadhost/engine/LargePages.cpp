// Large pages for big buffers (transparent huge pages, where the kernel offers them on request).
#include "cadhost/engine/LargePages.h"

#include <sys/mman.h>

#include <cstdint>

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

} // namespace cadhost
