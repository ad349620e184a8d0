// The loop every picking routine runs: ask for points until the point request fails.
#pragma once

#include <functional>

namespace ardela {

// How a picking run ended.
enum class PickEnd {
    Finished,   // the user ended the point request without a point (0x80210020)
    Cancelled,  // the user cancelled it (0x80020009)
    Failed,     // any other failure of the drawing host
    LinkLost,   // the host or the drawing went away: the link watch says so, the run says nothing
};

// Calls `pick(n)` for n = 1, 2, ... until a call into the drawing host fails (or a row cannot be
// stored, which counts as a failure); `pick` returns
// true when it accepted row n (n then advances) and false to ask for the same n again. Returns
// how the run ended and, in `lastRow`, the number of rows accepted.
PickEnd RunPickLoop(const std::function<bool(int n)>& pick, int* lastRow = nullptr);

} // namespace ardela
