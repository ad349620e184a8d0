// The product with a symmetric matrix kept as its lower triangle (see SparseLower.h).
#include "stress_solver/SparseLower.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace ardela::stress {

namespace {

// Columns from .. to of y = K x; an entry's row at `split` or beyond goes to spill[row - split].
// Columns past `split` write rows past it only.
void MultiplyColumns(const SparseLower& K, const std::vector<double>& x, std::vector<double>& y, Index from, Index to,
                     Index split, double* spill)
{
    for (Index c = from; c < to; ++c)
        for (Index p = K.colStart[std::size_t(c)]; p < K.colStart[std::size_t(c) + 1]; ++p) {
            const Index r = K.row[std::size_t(p)];
            const double v = K.value[std::size_t(p)];
            if (r < split)
                y[std::size_t(r)] += v * x[std::size_t(c)];
            else
                spill[r - split] += v * x[std::size_t(c)];
            if (r != c)
                y[std::size_t(c)] += v * x[std::size_t(r)];
        }
}

} // namespace

void MultiplySymmetric(const SparseLower& K, const std::vector<double>& x, std::vector<double>& y)
{
    std::fill(y.begin(), y.end(), 0.0);
    MultiplyColumns(K, x, y, 0, K.n, K.n, nullptr);
}

void MultiplySymmetricSideBySide(const SparseLower& K, const std::vector<double>& x, std::vector<double>& y,
                                 std::vector<double>& spill)
{
    // The first column past half the entries.
    const auto half = std::lower_bound(K.colStart.begin(), K.colStart.end(), K.colStart.back() / 2);
    const Index split = std::min<Index>(K.n, Index(half - K.colStart.begin()));
    spill.assign(std::size_t(K.n - split), 0.0);
    auto second = [&] {
        std::fill(y.begin() + std::ptrdiff_t(split), y.end(), 0.0);
        // Rows past the split are this thread's own: y itself takes them.
        MultiplyColumns(K, x, y, split, K.n, K.n, nullptr);
    };
    std::fill(y.begin(), y.begin() + std::ptrdiff_t(split), 0.0);
    std::thread other;
    try {
        other = std::thread(second);
    } catch (const std::system_error&) {
        second();
    }
    MultiplyColumns(K, x, y, 0, split, split, spill.data());
    if (other.joinable())
        other.join();
    for (std::size_t k = 0; k < spill.size(); ++k)
        y[std::size_t(split) + k] += spill[k];
}

} // namespace ardela::stress
