// The stiffness matrix as the solver keeps it: the lower triangle of a symmetric sparse matrix,
// compressed by column, with 32-bit indices as CHOLMOD's int interface takes them. The largest
// mesh (2,097,152 cells) has under 70 million entries in K and under a billion in its factor;
// 64-bit indices would only add 80 MB to the 1023 x 1023 plate's K and 60 MB to its analysis.
#pragma once

#include <cstddef>
#include <vector>

#include <cstdint>

namespace ardela::stress {

using Index = std::int32_t;

struct SparseLower {
    Index n = 0;
    std::vector<Index> colStart, row;  // rows of each column ascending, the diagonal first
    std::vector<double> value;

    // Position of entry (r, c), r >= c; the columns are short (at most eighteen entries).
    std::size_t Find(Index r, Index c) const
    {
        for (Index p = colStart[std::size_t(c)]; p < colStart[std::size_t(c) + 1]; ++p)
            if (row[std::size_t(p)] == r)
                return std::size_t(p);
        return std::size_t(-1);
    }
};

// y = K x with K stored as its lower triangle.
void MultiplySymmetric(const SparseLower& K, const std::vector<double>& x, std::vector<double>& y);

// The same product on two threads, each taking the columns of half the entries; what the first
// adds to the rows of the second half is kept in `spill` and added when both are done. One
// thread when the second cannot be started.
void MultiplySymmetricSideBySide(const SparseLower& K, const std::vector<double>& x, std::vector<double>& y,
                                 std::vector<double>& spill);

} // namespace ardela::stress
