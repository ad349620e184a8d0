// Large memory pages for the few big buffers of a large drawing (its text, its entities, their
// extents): each 4 KiB page touched for the first time costs a trap into the kernel, a 2 MiB one
// replaces 512 of them.
#pragma once

#include <cstddef>
#include <string>

namespace cadhost {

// Asks the kernel to back the whole 2 MiB pages inside [data, data + bytes) with large pages
// once they are first touched. Buffers under 4 MiB, and systems without large pages, are left
// as they are; it never fails.
void AdviseLargePages(const void* data, std::size_t bytes);

// The C library's switch that backs its own large allocations and the growing heap with 2 MiB
// pages; a million entities' slots and point lists otherwise cost hundreds of thousands of
// first-touch page faults, each dear on a virtual machine.
inline constexpr const char* kLargePageTunable = "glibc.malloc.hugetlb=1";

// Returns the GLIBC_TUNABLES value the program should run with, given the one it was started
// with (null when unset); an empty result when nothing needs to change, that is when the
// caller already chose the switch either way.
std::string LargePageTunables(const char* given);

// Called first thing in main: the C library reads its tunables only when a program starts, so
// the program starts itself again with the switch added. An engineer's own GLIBC_TUNABLES
// settings are kept; should the restart fail the program runs on as it is.
void StartWithLargePages(char** argv, char** envp);

} // namespace cadhost
