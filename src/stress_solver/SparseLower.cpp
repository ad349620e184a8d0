// The product with a symmetric matrix kept as its lower triangle (see SparseLower.h).
#include "stress_solver/SparseLower.h"

#include <algorithm>

namespace ardela::stress {

void MultiplySymmetric(const SparseLower& K, const std::vector<double>& x, std::vector<double>& y)
{
    std::fill(y.begin(), y.end(), 0.0);
    for (Index c = 0; c < K.n; ++c)
        for (Index p = K.colStart[std::size_t(c)]; p < K.colStart[std::size_t(c) + 1]; ++p) {
            const Index r = K.row[std::size_t(p)];
            const double v = K.value[std::size_t(p)];
            y[std::size_t(r)] += v * x[std::size_t(c)];
            if (r != c)
                y[std::size_t(c)] += v * x[std::size_t(r)];
        }
}

} // namespace ardela::stress
