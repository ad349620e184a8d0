// CHOLMOD set up for the solver's equation order (see CholmodSession.h).
#include "stress_solver/CholmodSession.h"

namespace ardela::stress {

CholmodSession::CholmodSession()
{
    cholmod_start(&common);
    common.print = 0;
    common.error_handler = nullptr;
    common.supernodal = CHOLMOD_SUPERNODAL;
    // The equations come numbered in the order to eliminate them (nested dissection of the grid).
    common.nmethods = 1;
    common.method[0].ordering = CHOLMOD_NATURAL;
    common.postorder = false;
}

CholmodSession::~CholmodSession()
{
    if (factor)
        cholmod_free_factor(&factor, &common);
    cholmod_finish(&common);
}

void CholmodSession::Analyze(const SparseLower& K)
{
    // The pattern alone: the values may be assembled while the analysis runs.
    cholmod_sparse A = View(K);
    A.x = nullptr;
    A.xtype = CHOLMOD_PATTERN;
    factor = cholmod_analyze_p(&A, nullptr, nullptr, 0, &common);
}

cholmod_sparse CholmodSession::View(const SparseLower& K)
{
    cholmod_sparse A{};
    A.nrow = A.ncol = std::size_t(K.n);
    A.nzmax = K.row.size();
    // CHOLMOD takes no const pointers; it only reads a matrix it factorises or analyses.
    A.p = const_cast<Index*>(K.colStart.data());
    A.i = const_cast<Index*>(K.row.data());
    A.x = const_cast<double*>(K.value.data());
    A.stype = -1;
    A.itype = CHOLMOD_INT;
    A.xtype = CHOLMOD_REAL;
    A.dtype = CHOLMOD_DOUBLE;
    A.sorted = 1;
    A.packed = 1;
    return A;
}

} // namespace ardela::stress
