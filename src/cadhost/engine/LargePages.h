// Large memory pages for the few big buffers of a large drawing (its text, its entities, their
// extents): each 4 KiB page touched for the first time costs a trap into the kernel, a 2 MiB one
// replaces 512 of them.
#pragma once

#include <cstddef>

namespace cadhost {

// Asks the kernel to back the whole 2 MiB pages inside [data, data + bytes) with large pages
// once they are first touched. Buffers under 4 MiB, and systems without large pages, are left
// as they are; it never fails.
void AdviseLargePages(const void* data, std::size_t bytes);

} // namespace cadhost
