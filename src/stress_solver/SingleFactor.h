// Solving K u = f to double accuracy with a Cholesky factor held in single precision: half the
// memory and half the memory traffic of a double factor. The factor's rounding is removed by
// conjugate gradients in double, preconditioned with the factor; since the factor is nearly
// exact, a few iterations reach the accuracy of a double factor.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "stress_solver/SparseLower.h"

namespace ardela::stress {

// L Lᵀ = D K D in single precision, D = diag(K)^-1/2, in the order of K's equations (no
// permutation): CHOLMOD's supernodal analysis of K's pattern, the numbers computed here, small
// blocks with Eigen and large ones with the BLAS's single-precision routines. The scaling puts the diagonal at 1 and every entry within
// ±1, so no modulus, however large or small in double, leaves single precision.
class SingleFactor {
public:
    SingleFactor();
    ~SingleFactor();
    SingleFactor(const SingleFactor&) = delete;
    SingleFactor& operator=(const SingleFactor&) = delete;

    // CHOLMOD's supernodal analysis of K's pattern; K's values are neither read nor needed
    // yet (they may be assembled meanwhile). False when CHOLMOD cannot analyse it or would
    // reorder it. Throws std::bad_alloc when memory runs out.
    bool Analyze(const SparseLower& K);

    // The numbers, after Analyze (called here when it was not). False when the analysis failed,
    // D K D is not positive definite in single precision, or its pivots span more than single
    // precision can tell apart (the double factor decides then). Throws std::bad_alloc when
    // memory runs out.
    bool Factorize(const SparseLower& K);

    // z = (D⁻¹ L Lᵀ D⁻¹)⁻¹ r, nearly K⁻¹ r.
    void Apply(const std::vector<double>& r, std::vector<double>& z) const;

    // Entries of L (the same count as a double factor of K would have).
    std::int64_t Entries() const { return m_entries; }

    // True when the factor was computed, and is applied, by two threads side by side.
    bool SideBySide() const { return m_schedule.parts.size() > 1; }

    // Blocks (updates, diagonal factors, divisions of the rows below) the last Factorize
    // computed itself and those it left to the BLAS: small blocks are computed here, since each
    // BLAS call takes a lock that the factor's two threads would wait for.
    struct BlockCounts {
        std::int64_t small = 0;
        std::int64_t blas = 0;
    };
    BlockCounts Blocks() const { return m_blocks; }

private:
    struct Symbolic;
    class Numbers;

    // Which thread takes which supernodes: each part a list of subtree roots (a subtree is the
    // supernodes first[root] .. root), `top` the supernodes above them, ascending.
    struct Schedule {
        std::vector<std::vector<Index>> parts;
        std::vector<Index> top;
        std::vector<Index> first;
        std::vector<std::int32_t> topSlot;  // per equation: its place among the top supernodes' columns, or -1
        Index topColumns = 0;
    };

    void Forward(Index s, float* x, float* gathered, float* topDelta) const;
    void Backward(Index s, float* x, float* gathered) const;

    std::unique_ptr<Symbolic> m_symbolic;
    std::vector<double> m_scale;     // D
    struct Release {
        void operator()(float* p) const;
    };
    std::unique_ptr<float[], Release> m_values;  // the supernodes' numbers, laid out by Symbolic::LayOut
    std::int64_t m_entries = 0;
    bool m_analysed = false;
    Schedule m_schedule;
    BlockCounts m_blocks;
    Index m_mostBelow = 1;
};

// What a mixed-precision solve did.
struct MixedSolveReport {
    bool solved = false;      // u meets the tolerance
    int iterations = 0;       // conjugate-gradient steps
    double residual = 0;      // |f - K u| / |f| at the end
};

// u with |f - K u| <= tolerance |f| by conjugate gradients preconditioned with `factor`, at most
// `maxIterations` steps; u is not solved when they do not suffice.
MixedSolveReport SolveWithSingleFactor(const SparseLower& K, const SingleFactor& factor, const std::vector<double>& f,
                                       double tolerance, int maxIterations, std::vector<double>& u);

} // namespace ardela::stress
