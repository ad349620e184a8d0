// The stiffness matrix as the solver keeps it: the lower triangle of a symmetric sparse matrix,
// compressed by column, with 64-bit indices as CHOLMOD's long interface takes them.
#pragma once

#include <cstddef>
#include <vector>

#include <SuiteSparse_config.h>

namespace ardela::stress {

using Index = SuiteSparse_long;

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
