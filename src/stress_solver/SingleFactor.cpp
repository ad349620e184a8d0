// The single-precision supernodal Cholesky factor and the conjugate gradients around it (see
// SingleFactor.h).
#include "stress_solver/SingleFactor.h"

#include <algorithm>
#include <cmath>
#include <new>

#include <cholmod.h>

// The BLAS and LAPACK routines of the system's libraries (Fortran interface, 32-bit integers),
// each with the lengths of its character arguments last.
extern "C" {
void ssyrk_(const char* uplo, const char* trans, const int* n, const int* k, const float* alpha, const float* a,
            const int* lda, const float* beta, float* c, const int* ldc, std::size_t, std::size_t);
void sgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k, const float* alpha,
            const float* a, const int* lda, const float* b, const int* ldb, const float* beta, float* c, const int* ldc,
            std::size_t, std::size_t);
void strsm_(const char* side, const char* uplo, const char* transa, const char* diag, const int* m, const int* n,
            const float* alpha, const float* a, const int* lda, float* b, const int* ldb, std::size_t, std::size_t,
            std::size_t, std::size_t);
void strsv_(const char* uplo, const char* trans, const char* diag, const int* n, const float* a, const int* lda, float* x,
            const int* incx, std::size_t, std::size_t, std::size_t);
void sgemv_(const char* trans, const int* m, const int* n, const float* alpha, const float* a, const int* lda,
            const float* x, const int* incx, const float* beta, float* y, const int* incy, std::size_t);
void spotrf_(const char* uplo, const int* n, float* a, const int* lda, int* info, std::size_t);
}

namespace ardela::stress {

namespace {

// A structure free to move shows in single precision as pivots about 1e-7 of the largest,
// squared (rounding alone keeps them from zero); sound plates give 1e-3 and more.
constexpr double kSmallestReciprocalCondition = 1e-5;

// The residual of K u in double precision cannot fall below the rounding of the product; once a
// fresh start of the iteration no longer halves it, u is accepted if it is this close.
constexpr double kRoundingResidual = 1e-9;

double Dot(const std::vector<double>& a, const std::vector<double>& b)
{
    double sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        sum += a[k] * b[k];
    return sum;
}

} // namespace

// CHOLMOD's supernodal analysis: supernode s holds columns super[s] .. super[s+1]-1; its rows
// are s[pi[s]] .. s[pi[s+1]-1], its own columns first; its numbers a dense column-major block
// of those rows by those columns at px[s].
struct SingleFactor::Symbolic {
    cholmod_common common{};
    cholmod_factor* factor = nullptr;

    Symbolic()
    {
        cholmod_l_start(&common);
        common.print = 0;
        common.error_handler = nullptr;
        common.supernodal = CHOLMOD_SUPERNODAL;
        // The equations come numbered in the order to eliminate them.
        common.nmethods = 1;
        common.method[0].ordering = CHOLMOD_NATURAL;
        common.postorder = false;
    }
    ~Symbolic()
    {
        if (factor)
            cholmod_l_free_factor(&factor, &common);
        cholmod_l_finish(&common);
    }
    Symbolic(const Symbolic&) = delete;
    Symbolic& operator=(const Symbolic&) = delete;

    Index Supernodes() const { return Index(factor->nsuper); }
    const Index* Super() const { return static_cast<const Index*>(factor->super); }
    const Index* RowStart() const { return static_cast<const Index*>(factor->pi); }
    const Index* ValueStart() const { return static_cast<const Index*>(factor->px); }
    const Index* Rows() const { return static_cast<const Index*>(factor->s); }
};

SingleFactor::SingleFactor() = default;
SingleFactor::~SingleFactor() = default;

bool SingleFactor::Factorize(const SparseLower& K)
{
    m_symbolic = std::make_unique<Symbolic>();
    Symbolic& sym = *m_symbolic;
    cholmod_sparse A{};
    A.nrow = A.ncol = std::size_t(K.n);
    A.nzmax = K.row.size();
    A.p = const_cast<Index*>(K.colStart.data());
    A.i = const_cast<Index*>(K.row.data());
    A.x = const_cast<double*>(K.value.data());
    A.stype = -1;
    A.itype = CHOLMOD_LONG;
    A.xtype = CHOLMOD_REAL;
    A.dtype = CHOLMOD_DOUBLE;
    A.sorted = 1;
    A.packed = 1;
    sym.factor = cholmod_l_analyze_p(&A, nullptr, nullptr, 0, &sym.common);
    if (sym.common.status == CHOLMOD_OUT_OF_MEMORY)
        throw std::bad_alloc();
    if (!sym.factor || sym.common.status < CHOLMOD_OK || !sym.factor->is_super)
        return false;
    // The analysis's workspace is not needed by the numbers: give its pages back first.
    cholmod_l_free_work(&sym.common);
    const Index* perm = static_cast<const Index*>(sym.factor->Perm);
    for (Index k = 0; perm && k < K.n; ++k)
        if (perm[k] != k)
            return false;
    m_entries = static_cast<std::int64_t>(sym.common.lnz);

    m_scale.resize(std::size_t(K.n));
    for (Index c = 0; c < K.n; ++c) {
        const Index p = K.colStart[std::size_t(c)];
        if (p == K.colStart[std::size_t(c) + 1] || K.row[std::size_t(p)] != c || !(K.value[std::size_t(p)] > 0))
            return false;
        m_scale[std::size_t(c)] = 1.0 / std::sqrt(K.value[std::size_t(p)]);
    }
    m_failed = false;
    FactorizeNumbers(K);
    if (m_failed) {
        m_values = {};
        return false;
    }
    // A pivot that rounding has left barely positive means a factor single precision cannot
    // trust; CHOLMOD's estimate of the reciprocal condition number from the pivots.
    const Index* super = sym.Super();
    const Index* px = sym.ValueStart();
    const Index* pi = sym.RowStart();
    float smallest = INFINITY, largest = 0;
    for (Index s = 0; s < sym.Supernodes(); ++s) {
        const Index rows = pi[s + 1] - pi[s];
        for (Index j = 0; j < super[s + 1] - super[s]; ++j) {
            const float d = m_values[std::size_t(px[s] + j * rows + j)];
            smallest = std::min(smallest, d);
            largest = std::max(largest, d);
        }
    }
    const double rcond = double(smallest) / double(largest) * double(smallest) / double(largest);
    if (!(rcond > kSmallestReciprocalCondition)) {
        m_values = {};
        return false;
    }
    return true;
}

// Left-looking supernodal Cholesky: each supernode gathers its columns of D K D, subtracts the
// updates of the supernodes below it in the elimination tree that reach its columns (one
// SYRK and one GEMM each), factorises its diagonal block (POTRF) and divides the rows below
// it (TRSM). A supernode waits in the list of the next supernode it updates.
void SingleFactor::FactorizeNumbers(const SparseLower& K)
{
    const Symbolic& sym = *m_symbolic;
    const Index supernodes = sym.Supernodes();
    const Index* super = sym.Super();
    const Index* pi = sym.RowStart();
    const Index* px = sym.ValueStart();
    const Index* rows = sym.Rows();
    const std::size_t n = std::size_t(K.n);

    std::vector<Index> map(n, 0);
    std::vector<std::int32_t> superOf(n, 0);
    for (Index s = 0; s < supernodes; ++s)
        for (Index k = super[s]; k < super[s + 1]; ++k)
            superOf[std::size_t(k)] = static_cast<std::int32_t>(s);
    std::vector<Index> head(std::size_t(supernodes), -1), next(std::size_t(supernodes), -1), position(std::size_t(supernodes), 0);
    Index mostRows = 0;
    for (Index s = 0; s < supernodes; ++s)
        mostRows = std::max(mostRows, pi[s + 1] - pi[s]);
    std::vector<Index> relative(static_cast<std::size_t>(mostRows));
    std::vector<float> update(std::max<std::size_t>(sym.factor->maxcsize, 1));
    m_values.assign(sym.factor->xsize, 0.0f);

    const float one = 1.0f, zero = 0.0f;
    for (Index s = 0; s < supernodes; ++s) {
        const Index k1 = super[s], k2 = super[s + 1], columns = k2 - k1;
        const Index rowStart = pi[s], rowCount = pi[s + 1] - pi[s];
        float* block = m_values.data() + px[s];
        for (Index k = 0; k < rowCount; ++k)
            map[std::size_t(rows[rowStart + k])] = k;

        for (Index j = k1; j < k2; ++j) {
            float* column = block + (j - k1) * rowCount;
            const double sj = m_scale[std::size_t(j)];
            for (Index p = K.colStart[std::size_t(j)]; p < K.colStart[std::size_t(j) + 1]; ++p) {
                const Index i = K.row[std::size_t(p)];
                column[map[std::size_t(i)]] = static_cast<float>(K.value[std::size_t(p)] * m_scale[std::size_t(i)] * sj);
            }
        }

        for (Index d = head[std::size_t(s)]; d >= 0;) {
            const Index following = next[std::size_t(d)];
            const Index dRowStart = pi[d], dRowEnd = pi[d + 1], dRows = dRowEnd - dRowStart;
            const Index dColumns = super[d + 1] - super[d];
            const Index first = dRowStart + position[std::size_t(d)];
            Index last = first;
            while (last < dRowEnd && rows[last] < k2)
                ++last;
            const int inColumns = static_cast<int>(last - first), below = static_cast<int>(dRowEnd - last);
            const int reach = inColumns + below, depth = static_cast<int>(dColumns), ld = static_cast<int>(dRows);
            const float* dFirst = m_values.data() + px[d] + position[std::size_t(d)];
            // C = L(d)[first:, :] L(d)[first:last, :]ᵀ, reach x inColumns, lower part.
            ssyrk_("L", "N", &inColumns, &depth, &one, dFirst, &ld, &zero, update.data(), &reach, 1, 1);
            if (below > 0)
                sgemm_("N", "T", &below, &inColumns, &depth, &one, dFirst + inColumns, &ld, dFirst, &ld, &zero,
                       update.data() + inColumns, &reach, 1, 1);
            for (int i = 0; i < reach; ++i)
                relative[std::size_t(i)] = map[std::size_t(rows[first + i])];
            for (int j = 0; j < inColumns; ++j) {
                float* target = block + relative[std::size_t(j)] * rowCount;
                const float* source = update.data() + std::size_t(j) * std::size_t(reach);
                for (int i = j; i < reach; ++i)
                    target[relative[std::size_t(i)]] -= source[i];
            }
            position[std::size_t(d)] = last - dRowStart;
            if (last < dRowEnd) {
                const std::int32_t ancestor = superOf[std::size_t(rows[last])];
                next[std::size_t(d)] = head[std::size_t(ancestor)];
                head[std::size_t(ancestor)] = d;
            }
            d = following;
        }
        head[std::size_t(s)] = -1;

        const int nc = static_cast<int>(columns), ld = static_cast<int>(rowCount), nb = static_cast<int>(rowCount - columns);
        int info = 0;
        spotrf_("L", &nc, block, &ld, &info, 1);
        if (info != 0) {
            m_failed = true;
            return;
        }
        if (nb > 0) {
            strsm_("R", "L", "T", "N", &nb, &nc, &one, block, &ld, block + columns, &ld, 1, 1, 1, 1);
            position[std::size_t(s)] = columns;
            const std::int32_t ancestor = superOf[std::size_t(rows[rowStart + columns])];
            next[std::size_t(s)] = head[std::size_t(ancestor)];
            head[std::size_t(ancestor)] = s;
        }
    }
}

void SingleFactor::Apply(const std::vector<double>& r, std::vector<double>& z) const
{
    const Symbolic& sym = *m_symbolic;
    const Index supernodes = sym.Supernodes();
    const Index* super = sym.Super();
    const Index* pi = sym.RowStart();
    const Index* px = sym.ValueStart();
    const Index* rows = sym.Rows();
    const std::size_t n = r.size();
    z.resize(n);
    // The solve is linear: D r is divided by its largest entry so that it fits single precision.
    double largest = 0;
    for (std::size_t k = 0; k < n; ++k)
        largest = std::max(largest, std::fabs(r[k] * m_scale[k]));
    if (largest == 0 || !std::isfinite(largest)) {
        std::fill(z.begin(), z.end(), largest == 0 ? 0.0 : NAN);
        return;
    }
    std::vector<float> x(n);
    for (std::size_t k = 0; k < n; ++k)
        x[k] = static_cast<float>(r[k] * m_scale[k] / largest);
    Index mostBelow = 1;
    for (Index s = 0; s < supernodes; ++s)
        mostBelow = std::max(mostBelow, pi[s + 1] - pi[s] - (super[s + 1] - super[s]));
    std::vector<float> gathered(static_cast<std::size_t>(mostBelow));
    const int inc = 1;
    const float one = 1.0f, zero = 0.0f, minusOne = -1.0f;
    // L y = x, supernode by supernode upwards.
    for (Index s = 0; s < supernodes; ++s) {
        const Index k1 = super[s], columns = super[s + 1] - k1, rowCount = pi[s + 1] - pi[s];
        const int nc = int(columns), ld = int(rowCount), nb = int(rowCount - columns);
        const float* block = m_values.data() + px[s];
        strsv_("L", "N", "N", &nc, block, &ld, x.data() + k1, &inc, 1, 1, 1);
        if (nb > 0) {
            sgemv_("N", &nb, &nc, &one, block + columns, &ld, x.data() + k1, &inc, &zero, gathered.data(), &inc, 1);
            const Index* below = rows + pi[s] + columns;
            for (int i = 0; i < nb; ++i)
                x[std::size_t(below[i])] -= gathered[std::size_t(i)];
        }
    }
    // Lᵀ x = y, downwards.
    for (Index s = supernodes - 1; s >= 0; --s) {
        const Index k1 = super[s], columns = super[s + 1] - k1, rowCount = pi[s + 1] - pi[s];
        const int nc = int(columns), ld = int(rowCount), nb = int(rowCount - columns);
        const float* block = m_values.data() + px[s];
        if (nb > 0) {
            const Index* below = rows + pi[s] + columns;
            for (int i = 0; i < nb; ++i)
                gathered[std::size_t(i)] = x[std::size_t(below[i])];
            sgemv_("T", &nb, &nc, &minusOne, block + columns, &ld, gathered.data(), &inc, &one, x.data() + k1, &inc, 1);
        }
        strsv_("L", "T", "N", &nc, block, &ld, x.data() + k1, &inc, 1, 1, 1);
    }
    for (std::size_t k = 0; k < n; ++k)
        z[k] = double(x[k]) * largest * m_scale[k];
}

MixedSolveReport SolveWithSingleFactor(const SparseLower& K, const SingleFactor& factor, const std::vector<double>& f,
                                       double tolerance, int maxIterations, std::vector<double>& u)
{
    MixedSolveReport report;
    const std::size_t n = f.size();
    const double fNorm = std::sqrt(Dot(f, f));
    u.assign(n, 0.0);
    if (fNorm == 0) {
        report.solved = true;
        return report;
    }
    std::vector<double> r = f, z, p, q(n);
    auto trueResidual = [&] {
        MultiplySymmetric(K, u, q);
        for (std::size_t k = 0; k < n; ++k)
            r[k] = f[k] - q[k];
        return std::sqrt(Dot(r, r)) / fNorm;
    };
    // Preconditioned conjugate gradients; when the updated residual meets the tolerance the
    // true one is computed, and the iteration starts afresh from it if it does not.
    double previous = INFINITY;
    factor.Apply(r, z);
    p = z;
    double rz = Dot(r, z);
    report.residual = 1;
    while (report.iterations < maxIterations) {
        MultiplySymmetric(K, p, q);
        const double pq = Dot(p, q);
        if (!(pq > 0) || !std::isfinite(rz))
            return report;
        const double alpha = rz / pq;
        for (std::size_t k = 0; k < n; ++k) {
            u[k] += alpha * p[k];
            r[k] -= alpha * q[k];
        }
        ++report.iterations;
        if (std::sqrt(Dot(r, r)) / fNorm <= tolerance) {
            report.residual = trueResidual();
            if (report.residual <= tolerance) {
                report.solved = true;
                return report;
            }
            if (report.residual > 0.5 * previous) {
                report.solved = report.residual <= kRoundingResidual;
                return report;
            }
            previous = report.residual;
            factor.Apply(r, z);
            p = z;
            rz = Dot(r, z);
            continue;
        }
        factor.Apply(r, z);
        const double rzNext = Dot(r, z);
        const double beta = rzNext / rz;
        rz = rzNext;
        for (std::size_t k = 0; k < n; ++k)
            p[k] = z[k] + beta * p[k];
    }
    report.residual = trueResidual();
    return report;
}

} // namespace ardela::stress
