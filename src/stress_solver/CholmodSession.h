// CHOLMOD's workspace and one factor, set up for equations that come numbered in the order to
// eliminate them: supernodal, no reordering, no postorder. Shared by the double factor (CHOLMOD
// throughout) and the single-precision one (CHOLMOD's analysis only).
#pragma once

#include <cholmod.h>

#include "stress_solver/SparseLower.h"

namespace ardela::stress {

struct CholmodSession {
    cholmod_common common{};
    cholmod_factor* factor = nullptr;

    CholmodSession();
    ~CholmodSession();  // releases the factor and the workspace however the solve ends
    CholmodSession(const CholmodSession&) = delete;
    CholmodSession& operator=(const CholmodSession&) = delete;

    // The symbolic supernodal factor of K's pattern in `factor` (null, with CHOLMOD's status
    // in `common`, when the analysis fails). K's values are not read.
    void Analyze(const SparseLower& K);

    // K as CHOLMOD reads it: its lower triangle, no copy.
    static cholmod_sparse View(const SparseLower& K);
};

} // namespace ardela::stress
