// The single-precision supernodal Cholesky factor and the conjugate gradients around it (see
// SingleFactor.h).
#include "stress_solver/SingleFactor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <system_error>
#include <thread>

#include <dlfcn.h>
#include <sched.h>

#include <Eigen/Cholesky>
#include <Eigen/Core>

#include "stress_solver/CholmodSession.h"
#include "stress_solver/HostTuning.h"

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
void sgemv_(const char* trans, const int* m, const int* n, const float* alpha, const float* a, const int* lda,
            const float* x, const int* incx, const float* beta, float* y, const int* incy, std::size_t);
void spotrf_(const char* uplo, const int* n, float* a, const int* lda, int* info, std::size_t);
}

namespace ardela::stress {

namespace {

// A structure free to move shows in single precision as pivots about 1e-7 of the largest,
// squared (rounding alone keeps them from zero); sound plates give 1e-3 and more.
constexpr double kSmallestReciprocalCondition = 1e-5;

// Blocks whose work (rows x columns x depth multiply-adds) is below this are computed here with
// Eigen, the others with the BLAS: every level-3 BLAS call takes one lock of the whole process
// for its buffer, and the two threads of the factor would wait for each other on it in the
// many tiny supernodes at the bottom of the elimination tree. `ARDELA_STRESS_SMALL_BLOCKS`
// sets another bound (0: every block to the BLAS), to measure them side by side.
constexpr double kSmallBlockWork = 131072;

// In the solves, the rows below a diagonal block are multiplied here when they hold fewer entries
// than this (a megabyte), by the BLAS's threads when more: the top separators' blocks. The
// diagonal blocks' packed triangles are always solved here (the BLAS's packed solve takes the
// lock for a buffer on every call).
constexpr Index kSmallSolveEntries = Index(1) << 18;

// The residual of K u in double precision cannot fall below the rounding of the product; once a
// fresh start of the iteration no longer halves it, u is accepted if it is this close.
constexpr double kRoundingResidual = 1e-9;

// Sets the BLAS's thread count where it offers a way (OpenBLAS); answers the count before.
int SetBlasThreads(int threads)
{
    using Get = int (*)();
    using Set = void (*)(int);
    static const auto get = reinterpret_cast<Get>(dlsym(RTLD_DEFAULT, "openblas_get_num_threads"));
    static const auto set = reinterpret_cast<Set>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads"));
    if (!get || !set)
        return threads;
    const int before = get();
    if (before != threads)
        set(threads);
    return before;
}

// Runs work(0) .. work(count-1) side by side, work(0) on the calling thread; a part whose thread
// cannot be started runs on the calling thread too.
template <typename Work>
void RunSideBySide(std::size_t count, const Work& work)
{
    std::vector<std::thread> workers;
    std::vector<std::size_t> left;
    for (std::size_t t = 1; t < count; ++t) {
        try {
            workers.emplace_back([&work, t] { work(t); });
        } catch (const std::system_error&) {
            left.push_back(t);
        }
    }
    work(0);
    for (const std::size_t t : left)
        work(t);
    for (std::thread& w : workers)
        w.join();
}

// Threads for the subtrees of the factor: two where this process may use two processors (the
// two halves below the top separator) and the BLAS may be called from both.
int Threads()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    const int cores = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
    return ThreadsBesideBlas(cores, OpenBlasParallel());
}

using Matrix = Eigen::Matrix<float, Eigen::Dynamic, Eigen::Dynamic>;
using Vector = Eigen::Matrix<float, Eigen::Dynamic, 1>;
// A column-major block of a larger one: `ld` apart from one column to the next.
using Strided = Eigen::Map<const Matrix, 0, Eigen::OuterStride<>>;

// The bound of `kSmallBlockWork`, or the one the environment sets.
double SmallBlockWork()
{
    const char* set = std::getenv("ARDELA_STRESS_SMALL_BLOCKS");
    if (!set || !*set)
        return kSmallBlockWork;
    char* end = nullptr;
    const double work = std::strtod(set, &end);
    return *end == '\0' && work >= 0 ? work : kSmallBlockWork;
}

// C = A A(0:top, :)ᵀ: the rows x top update of one descendant, A rows x depth with columns `ld`
// apart; C's first top rows need only their lower triangle.
void Update(const float* a, int rows, int top, int depth, int ld, float* c, bool small)
{
    if (small) {
        const Strided A(a, rows, depth, Eigen::OuterStride<>(ld));
        Eigen::Map<Matrix>(c, rows, top).noalias() = A * A.topRows(top).transpose();
        return;
    }
    const float one = 1.0f, zero = 0.0f;
    ssyrk_("L", "N", &top, &depth, &one, a, &ld, &zero, c, &rows, 1, 1);
    const int under = rows - top;
    if (under > 0)
        sgemm_("N", "T", &under, &top, &depth, &one, a + top, &ld, a, &ld, &zero, c + top, &rows, 1, 1);
}

// The Cholesky factor of the n x n block a (its lower triangle read and written); false when a
// pivot is not positive or not a number (both routines let a NaN pivot through on their own).
bool FactorDiagonal(float* a, int n, bool small)
{
    if (small) {
        Eigen::Map<Matrix> block(a, n, n);
        const Eigen::LLT<Eigen::Ref<Matrix>> llt(block);
        if (llt.info() != Eigen::Success)
            return false;
    } else {
        int info = 0;
        spotrf_("L", &n, a, &n, &info, 1);
        if (info != 0)
            return false;
    }
    for (int j = 0; j < n; ++j)
        if (!(a[std::size_t(j) * std::size_t(n) + std::size_t(j)] > 0))
            return false;
    return true;
}

// B = B L⁻ᵀ for the rows x n block B below the n x n factor L of a diagonal block.
void DivideBelow(const float* l, int n, float* b, int rows, bool small)
{
    if (small) {
        Eigen::Map<Matrix> B(b, rows, n);
        Eigen::Map<const Matrix>(l, n, n).transpose().triangularView<Eigen::Upper>().solveInPlace<Eigen::OnTheRight>(B);
        return;
    }
    const float one = 1.0f;
    strsm_("R", "L", "T", "N", &rows, &n, &one, l, &n, b, &rows, 1, 1, 1, 1);
}

// x = L⁻¹ x for the lower triangle L of n columns packed by columns: each column, once its
// unknown is known, is taken off the rest of x.
void SolvePacked(const float* packed, Index n, float* x)
{
    for (Index j = 0; j < n; ++j) {
        const Index rest = n - j - 1;
        const float xj = x[j] /= packed[0];
        Eigen::Map<Vector>(x + j + 1, rest).noalias() -= xj * Eigen::Map<const Vector>(packed + 1, rest);
        packed += rest + 1;
    }
}

// x = L⁻ᵀ x for the same triangle: the last unknown first, each the dot product of its column
// below the diagonal with the unknowns found.
void SolvePackedTransposed(const float* packed, Index n, float* x)
{
    for (Index j = n - 1; j >= 0; --j) {
        const Index rest = n - j - 1;
        const float* column = packed + j * (2 * n - j + 1) / 2;
        const float sum = Eigen::Map<const Vector>(column + 1, rest).dot(Eigen::Map<const Vector>(x + j + 1, rest));
        x[j] = (x[j] - sum) / column[0];
    }
}

double Dot(const std::vector<double>& a, const std::vector<double>& b)
{
    double sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        sum += a[k] * b[k];
    return sum;
}

} // namespace

// CHOLMOD's supernodal analysis: supernode s holds columns super[s] .. super[s+1]-1; its rows
// are s[pi[s]] .. s[pi[s+1]-1], its own columns first.
//
// The numbers are laid out here, not as CHOLMOD lays them out (a full block of all rows by the
// columns, whose diagonal block's upper half, a sixth of the whole at 1023 x 1023, is never
// used): at start[s] the lower triangle of the diagonal block, packed by columns, then the rows
// below it, a column-major block with as many rows as it has.
struct SingleFactor::Symbolic : CholmodSession {
    Index Supernodes() const { return Index(factor->nsuper); }
    const Index* Super() const { return static_cast<const Index*>(factor->super); }
    const Index* RowStart() const { return static_cast<const Index*>(factor->pi); }
    const Index* Rows() const { return static_cast<const Index*>(factor->s); }
    Index Columns(Index s) const { return Super()[s + 1] - Super()[s]; }
    Index RowsBelow(Index s) const { return RowStart()[s + 1] - RowStart()[s] - Columns(s); }

    std::vector<std::int64_t> start;  // per supernode, and the total at the end

    // Lays out the numbers; answers how many there are (the entries of L).
    std::int64_t LayOut()
    {
        start.assign(std::size_t(Supernodes()) + 1, 0);
        for (Index s = 0; s < Supernodes(); ++s)
            start[std::size_t(s) + 1] = start[std::size_t(s)] + Triangle(Columns(s)) + std::int64_t(Columns(s)) * RowsBelow(s);
        return start.back();
    }

    static std::int64_t Triangle(std::int64_t columns) { return columns * (columns + 1) / 2; }
    // Place of the diagonal entry j in a packed lower triangle of `columns` columns.
    static std::int64_t DiagonalAt(std::int64_t j, std::int64_t columns) { return j * (2 * columns - j + 1) / 2; }
};

// Left-looking supernodal Cholesky: each supernode gathers its columns of D K D, subtracts the
// updates of the supernodes below it in the elimination tree that reach its columns (one
// SYRK and one GEMM each), factorises its diagonal block (POTRF) and divides the rows below
// it (TRSM); blocks of little work are computed with Eigen instead (`kSmallBlockWork`). A
// supernode waits in the list of the next supernode it updates.
//
// Subtrees of the elimination tree that do not meet (the two halves below a separator) are
// factorised side by side, one thread each with a one-thread BLAS; the supernodes above them
// (the top separators, the largest blocks) come last with the BLAS's own threads.
class SingleFactor::Numbers {
public:
    Numbers(const Symbolic& sym, const SparseLower& K, const std::vector<double>& scale, float* values)
        : m_super(sym.Super()), m_pi(sym.RowStart()), m_start(sym.start.data()), m_rows(sym.Rows()), m_K(K),
          m_scale(scale), m_values(values), m_supernodes(sym.Supernodes()),
          m_next(std::size_t(m_supernodes), -1), m_position(std::size_t(m_supernodes), 0),
          m_superOf(std::size_t(K.n), 0), m_updateSize(std::max<std::size_t>(sym.factor->maxcsize, 1))
    {
        for (Index s = 0; s < m_supernodes; ++s) {
            for (Index k = m_super[s]; k < m_super[s + 1]; ++k)
                m_superOf[std::size_t(k)] = static_cast<std::int32_t>(s);
            m_mostRows = std::max(m_mostRows, m_pi[s + 1] - m_pi[s]);
            m_mostColumns = std::max(m_mostColumns, m_super[s + 1] - m_super[s]);
        }
    }

    // Factorises every supernode; false when a diagonal block is not positive definite.
    // `blocks` counts the blocks computed each way.
    bool Run(int threads, Schedule& schedule, BlockCounts& blocks)
    {
        schedule.parts.assign(std::size_t(std::max(threads, 1)), {});
        schedule.top.clear();
        Split(schedule);
        const auto& parts = schedule.parts;
        const auto& top = schedule.top;
        std::vector<Workspace> spaces(parts.size());
        for (Workspace& w : spaces)
            Prepare(w);
        auto count = [&] {
            for (const Workspace& w : spaces) {
                blocks.small += w.blocks.small;
                blocks.blas += w.blocks.blas;
            }
        };
        if (parts.size() > 1) {
            const int blasThreads = SetBlasThreads(1);
            RunSideBySide(parts.size(), [&](std::size_t t) { RunRoots(parts[t], spaces[t]); });
            SetBlasThreads(blasThreads);
            if (std::any_of(spaces.begin(), spaces.end(), [](const Workspace& w) { return w.failed; })) {
                count();
                return false;
            }
            // The supernodes above the subtrees wait in the lists of every thread: join them.
            for (std::size_t t = 1; t < spaces.size(); ++t)
                for (const Index s : top)
                    Append(spaces[0], s, spaces[t].head[std::size_t(s)]);
        }
        bool factorised = true;
        for (auto s = top.begin(); s != top.end() && factorised; ++s)
            factorised = Factorize(*s, spaces[0]);
        count();
        return factorised;
    }

private:
    struct Workspace {
        std::vector<std::int32_t> map;    // row -> its place among the rows of the supernode at hand
        std::vector<Index> relative;      // rows of an update -> their places in that supernode
        std::vector<float> update;        // one descendant's update
        std::vector<float> diagonal;      // the diagonal block at hand, whole
        std::vector<Index> head;          // per supernode: the first descendant waiting to update it
        BlockCounts blocks;
        bool failed = false;
    };

    void Prepare(Workspace& w) const
    {
        if (!w.map.empty())
            return;
        w.map.assign(std::size_t(m_K.n), 0);
        w.relative.resize(std::size_t(m_mostRows));
        w.update.resize(m_updateSize);
        w.diagonal.resize(std::size_t(m_mostColumns * m_mostColumns));
        w.head.assign(std::size_t(m_supernodes), -1);
    }

    // Supernode s's parent in the elimination tree: the one holding its first row below its
    // own columns; -1 for a root.
    Index Parent(Index s) const
    {
        const Index below = m_pi[s] + (m_super[s + 1] - m_super[s]);
        return below < m_pi[s + 1] ? m_superOf[std::size_t(m_rows[below])] : -1;
    }

    // Subtree roots for each thread (each subtree a range of consecutive supernodes ending at its
    // root) and the supernodes above them, ascending. Without two subtrees of similar work
    // everything is left to one thread.
    void Split(Schedule& schedule)
    {
        auto& parts = schedule.parts;
        auto& top = schedule.top;
        const std::size_t count = std::size_t(m_supernodes);
        std::vector<Index> first(count, -1), size(count, 1);
        std::vector<double> work(count, 0.0);
        // Children come before their parents: one pass up gathers each subtree's size, work and
        // first supernode.
        for (Index s = 0; s < m_supernodes; ++s) {
            const double rows = double(m_pi[s + 1] - m_pi[s]), columns = double(m_super[s + 1] - m_super[s]);
            work[std::size_t(s)] += columns * rows * rows;
            if (first[std::size_t(s)] < 0)
                first[std::size_t(s)] = s;
            const Index p = Parent(s);
            if (p < 0)
                continue;
            size[std::size_t(p)] += size[std::size_t(s)];
            work[std::size_t(p)] += work[std::size_t(s)];
            first[std::size_t(p)] = first[std::size_t(p)] < 0 ? first[std::size_t(s)] : std::min(first[std::size_t(p)], first[std::size_t(s)]);
        }
        std::vector<std::vector<Index>> childList(count);
        std::vector<Index> roots;
        for (Index s = 0; s < m_supernodes; ++s) {
            const Index p = Parent(s);
            (p < 0 ? roots : childList[std::size_t(p)]).push_back(s);
        }
        auto contiguous = [&](Index s) { return size[std::size_t(s)] == s - first[std::size_t(s)] + 1; };
        // Open the heaviest subtree while it holds most of the work.
        std::vector<Index> candidates = roots;
        std::vector<bool> isTop(count, false);
        for (int depth = 0; depth < 64 && parts.size() > 1; ++depth) {
            double total = 0;
            auto heaviest = candidates.begin();
            for (auto it = candidates.begin(); it != candidates.end(); ++it) {
                total += work[std::size_t(*it)];
                if (work[std::size_t(*it)] > work[std::size_t(*heaviest)])
                    heaviest = it;
            }
            const Index h = *heaviest;
            if (work[std::size_t(h)] <= 0.6 * total || childList[std::size_t(h)].empty())
                break;
            candidates.erase(heaviest);
            isTop[std::size_t(h)] = true;
            candidates.insert(candidates.end(), childList[std::size_t(h)].begin(), childList[std::size_t(h)].end());
        }
        const bool usable = parts.size() > 1 && candidates.size() > 1
                            && std::all_of(candidates.begin(), candidates.end(), contiguous);
        if (!usable) {
            parts.resize(1);
            for (Index s = 0; s < m_supernodes; ++s)
                top.push_back(s);
            return;
        }
        // The heaviest subtrees first, each to the thread with the least work so far.
        std::sort(candidates.begin(), candidates.end(), [&](Index a, Index b) { return work[std::size_t(a)] > work[std::size_t(b)]; });
        std::vector<double> load(parts.size(), 0);
        for (const Index c : candidates) {
            const std::size_t t = std::size_t(std::min_element(load.begin(), load.end()) - load.begin());
            parts[t].push_back(c);
            load[t] += work[std::size_t(c)];
        }
        for (auto& part : parts)
            std::sort(part.begin(), part.end());

        for (Index s = 0; s < m_supernodes; ++s)
            if (isTop[std::size_t(s)])
                top.push_back(s);
        schedule.first = std::move(first);
        m_first = &schedule.first;
        // The top supernodes' columns get places of their own: the threads add what they
        // subtract from them in a solve apart, joined when the threads are done.
        schedule.topSlot.assign(std::size_t(m_K.n), -1);
        schedule.topColumns = 0;
        for (const Index s : top)
            for (Index k = m_super[s]; k < m_super[s + 1]; ++k)
                schedule.topSlot[std::size_t(k)] = static_cast<std::int32_t>(schedule.topColumns++);
    }

    void RunRoots(const std::vector<Index>& roots, Workspace& w)
    {
        for (const Index root : roots)
            for (Index s = m_first->at(std::size_t(root)); s <= root && !w.failed; ++s)
                if (!Factorize(s, w))
                    w.failed = true;
    }

    // Puts the list `list` (of another thread) in front of supernode s's list.
    void Append(Workspace& w, Index s, Index list)
    {
        if (list < 0)
            return;
        Index tail = list;
        while (m_next[std::size_t(tail)] >= 0)
            tail = m_next[std::size_t(tail)];
        m_next[std::size_t(tail)] = w.head[std::size_t(s)];
        w.head[std::size_t(s)] = list;
    }

    // Whether a block of this work is computed here rather than by the BLAS; counted in w.
    bool Small(double work, Workspace& w) const
    {
        const bool small = work < m_smallWork;
        ++(small ? w.blocks.small : w.blocks.blas);
        return small;
    }

    bool Factorize(Index s, Workspace& w)
    {
        const Index k1 = m_super[s], k2 = m_super[s + 1], columns = k2 - k1;
        const Index rowStart = m_pi[s], rowCount = m_pi[s + 1] - m_pi[s], rowsBelow = rowCount - columns;
        // The diagonal block is computed whole in the workspace and kept packed; the rows below
        // it start zero (calloc) and their pages are first touched here, by the thread that
        // computes them.
        float* diagonal = w.diagonal.data();
        std::fill_n(diagonal, columns * columns, 0.0f);
        float* below = m_values + m_start[s] + Symbolic::Triangle(columns);
        for (Index k = 0; k < rowCount; ++k)
            w.map[std::size_t(m_rows[rowStart + k])] = static_cast<std::int32_t>(k);

        for (Index j = k1; j < k2; ++j) {
            const Index c = j - k1;
            const double sj = m_scale[std::size_t(j)];
            for (Index p = m_K.colStart[std::size_t(j)]; p < m_K.colStart[std::size_t(j) + 1]; ++p) {
                const Index i = m_K.row[std::size_t(p)];
                const Index place = w.map[std::size_t(i)];
                const float v = static_cast<float>(m_K.value[std::size_t(p)] * m_scale[std::size_t(i)] * sj);
                if (place < columns)
                    diagonal[c * columns + place] = v;
                else
                    below[c * rowsBelow + place - columns] = v;
            }
        }

        for (Index d = w.head[std::size_t(s)]; d >= 0;) {
            const Index following = m_next[std::size_t(d)];
            const Index dRowStart = m_pi[d], dRowEnd = m_pi[d + 1];
            const Index dColumns = m_super[d + 1] - m_super[d], dBelow = dRowEnd - dRowStart - dColumns;
            const Index first = dRowStart + m_position[std::size_t(d)];
            Index last = first;
            while (last < dRowEnd && m_rows[last] < k2)
                ++last;
            const int inColumns = static_cast<int>(last - first), under = static_cast<int>(dRowEnd - last);
            const int reach = inColumns + under, depth = static_cast<int>(dColumns), ld = static_cast<int>(dBelow);
            const float* dFirst = m_values + m_start[d] + Symbolic::Triangle(dColumns) + (m_position[std::size_t(d)] - dColumns);
            // C = L(d)[first:, :] L(d)[first:last, :]ᵀ, reach x inColumns, lower part.
            Update(dFirst, reach, inColumns, depth, ld, w.update.data(), Small(double(reach) * inColumns * depth, w));
            for (int i = 0; i < reach; ++i)
                w.relative[std::size_t(i)] = w.map[std::size_t(m_rows[first + i])];
            // The first inColumns rows of the update fall in the diagonal block, the others below.
            for (int j = 0; j < inColumns; ++j) {
                const Index c = w.relative[std::size_t(j)];
                const float* source = w.update.data() + std::size_t(j) * std::size_t(reach);
                float* inDiagonal = diagonal + c * columns;
                for (int i = j; i < inColumns; ++i)
                    inDiagonal[w.relative[std::size_t(i)]] -= source[i];
                float* inBelow = below + c * rowsBelow - columns;
                for (int i = inColumns; i < reach; ++i)
                    inBelow[w.relative[std::size_t(i)]] -= source[i];
            }
            m_position[std::size_t(d)] = last - dRowStart;
            if (last < dRowEnd) {
                const std::int32_t ancestor = m_superOf[std::size_t(m_rows[last])];
                m_next[std::size_t(d)] = w.head[std::size_t(ancestor)];
                w.head[std::size_t(ancestor)] = d;
            }
            d = following;
        }
        w.head[std::size_t(s)] = -1;

        const int nc = static_cast<int>(columns), nb = static_cast<int>(rowsBelow);
        if (!FactorDiagonal(diagonal, nc, Small(double(nc) * nc * nc, w)))
            return false;
        float* packed = m_values + m_start[s];
        for (Index j = 0; j < columns; ++j)
            packed = std::copy(diagonal + j * columns + j, diagonal + (j + 1) * columns, packed);
        if (nb > 0) {
            DivideBelow(diagonal, nc, below, nb, Small(double(nb) * nc * nc, w));
            m_position[std::size_t(s)] = columns;
            const std::int32_t ancestor = m_superOf[std::size_t(m_rows[rowStart + columns])];
            m_next[std::size_t(s)] = w.head[std::size_t(ancestor)];
            w.head[std::size_t(ancestor)] = s;
        }
        return true;
    }

    const Index* m_super;
    const Index* m_pi;
    const std::int64_t* m_start;
    const Index* m_rows;
    const SparseLower& m_K;
    const std::vector<double>& m_scale;
    float* m_values;
    Index m_supernodes;
    std::vector<Index> m_next, m_position;
    std::vector<std::int32_t> m_superOf;
    const std::vector<Index>* m_first = nullptr;
    std::size_t m_updateSize;
    double m_smallWork = SmallBlockWork();
    Index m_mostRows = 1;
    Index m_mostColumns = 1;
};

void SingleFactor::Release::operator()(float* p) const
{
    std::free(p);
}

SingleFactor::SingleFactor() = default;
SingleFactor::~SingleFactor() = default;

bool SingleFactor::Analyze(const SparseLower& K)
{
    m_analysed = false;
    m_symbolic = std::make_unique<Symbolic>();
    Symbolic& sym = *m_symbolic;
    sym.Analyze(K);
    if (sym.common.status == CHOLMOD_OUT_OF_MEMORY)
        throw std::bad_alloc();
    if (!sym.factor || sym.common.status < CHOLMOD_OK || !sym.factor->is_super)
        return false;
    // The analysis's workspace is not needed by the numbers: give its pages back first.
    cholmod_free_work(&sym.common);
    const Index* perm = static_cast<const Index*>(sym.factor->Perm);
    for (Index k = 0; perm && k < K.n; ++k)
        if (perm[k] != k)
            return false;
    m_entries = static_cast<std::int64_t>(sym.common.lnz);
    m_analysed = true;
    return true;
}

bool SingleFactor::Factorize(const SparseLower& K)
{
    if (!m_analysed && !Analyze(K))
        return false;
    Symbolic& sym = *m_symbolic;
    m_blocks = {};
    m_scale.resize(std::size_t(K.n));
    for (Index c = 0; c < K.n; ++c) {
        const Index p = K.colStart[std::size_t(c)];
        if (p == K.colStart[std::size_t(c) + 1] || K.row[std::size_t(p)] != c || !(K.value[std::size_t(p)] > 0))
            return false;
        m_scale[std::size_t(c)] = 1.0 / std::sqrt(K.value[std::size_t(p)]);
    }
    // calloc knows that fresh pages from the kernel are zero already and does not clear them
    // again; the factor's pages are then first touched by the thread computing each block.
    m_values.reset(static_cast<float*>(std::calloc(std::max<std::size_t>(std::size_t(sym.LayOut()), 1), sizeof(float))));
    if (!m_values)
        throw std::bad_alloc();
    if (!Numbers(sym, K, m_scale, m_values.get()).Run(Threads(), m_schedule, m_blocks)) {
        m_values.reset();
        return false;
    }
    // A pivot that rounding has left barely positive means a factor single precision cannot
    // trust; CHOLMOD's estimate of the reciprocal condition number from the pivots.
    for (Index s = 0; s < sym.Supernodes(); ++s)
        m_mostBelow = std::max(m_mostBelow, sym.RowsBelow(s));
    float smallest = INFINITY, largest = 0;
    for (Index s = 0; s < sym.Supernodes(); ++s) {
        const Index columns = sym.Columns(s);
        for (Index j = 0; j < columns; ++j) {
            const float d = m_values[std::size_t(sym.start[std::size_t(s)] + Symbolic::DiagonalAt(j, columns))];
            smallest = std::min(smallest, d);
            largest = std::max(largest, d);
        }
    }
    const double rcond = double(smallest) / double(largest) * double(smallest) / double(largest);
    if (!(rcond > kSmallestReciprocalCondition)) {
        m_values.reset();
        return false;
    }
    return true;
}

// One supernode of L y = x: its diagonal block, then the rows below it. What a thread subtracts
// from the top supernodes' rows goes to `topDelta` (null: straight into x).
void SingleFactor::Forward(Index s, float* x, float* gathered, float* topDelta) const
{
    const Symbolic& sym = *m_symbolic;
    const Index k1 = sym.Super()[s], columns = sym.Columns(s), rowsBelow = sym.RowsBelow(s);
    const float* diagonal = m_values.get() + sym.start[std::size_t(s)];
    SolvePacked(diagonal, columns, x + k1);
    if (rowsBelow <= 0)
        return;
    const int nc = int(columns), nb = int(rowsBelow);
    const float* rest = diagonal + Symbolic::Triangle(columns);
    if (rowsBelow * columns < kSmallSolveEntries) {
        Eigen::Map<Vector>(gathered, nb).noalias() = Eigen::Map<const Matrix>(rest, nb, nc) * Eigen::Map<const Vector>(x + k1, nc);
    } else {
        const float one = 1.0f, zero = 0.0f;
        const int inc = 1;
        sgemv_("N", &nb, &nc, &one, rest, &nb, x + k1, &inc, &zero, gathered, &inc, 1);
    }
    const Index* below = sym.Rows() + sym.RowStart()[s] + columns;
    for (int i = 0; i < nb; ++i) {
        const std::size_t row = std::size_t(below[i]);
        const std::int32_t slot = topDelta ? m_schedule.topSlot[row] : -1;
        if (slot >= 0)
            topDelta[slot] += gathered[i];
        else
            x[row] -= gathered[i];
    }
}

// One supernode of Lᵀ x = y: the rows below it (already solved), then its diagonal block.
void SingleFactor::Backward(Index s, float* x, float* gathered) const
{
    const Symbolic& sym = *m_symbolic;
    const Index k1 = sym.Super()[s], columns = sym.Columns(s), rowsBelow = sym.RowsBelow(s);
    const int nc = int(columns), nb = int(rowsBelow);
    const float* diagonal = m_values.get() + sym.start[std::size_t(s)];
    if (nb > 0) {
        const Index* below = sym.Rows() + sym.RowStart()[s] + columns;
        for (int i = 0; i < nb; ++i)
            gathered[i] = x[std::size_t(below[i])];
        const float* rest = diagonal + Symbolic::Triangle(columns);
        if (rowsBelow * columns < kSmallSolveEntries) {
            Eigen::Map<Vector>(x + k1, nc).noalias() -= Eigen::Map<const Matrix>(rest, nb, nc).transpose() * Eigen::Map<const Vector>(gathered, nb);
        } else {
            const float one = 1.0f, minusOne = -1.0f;
            const int inc = 1;
            sgemv_("T", &nb, &nc, &minusOne, rest, &nb, gathered, &inc, &one, x + k1, &inc, 1);
        }
    }
    SolvePackedTransposed(diagonal, columns, x + k1);
}

void SingleFactor::Apply(const std::vector<double>& r, std::vector<double>& z) const
{
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
    const Schedule& plan = m_schedule;
    const std::size_t threads = plan.parts.size();
    std::vector<std::vector<float>> gathered(threads, std::vector<float>(std::size_t(m_mostBelow)));
    // L y = x: the subtrees side by side, then the supernodes above them.
    if (threads > 1) {
        std::vector<std::vector<float>> deltas(threads, std::vector<float>(std::size_t(plan.topColumns), 0.0f));
        const int blasThreads = SetBlasThreads(1);
        RunSideBySide(threads, [&](std::size_t t) {
            for (const Index root : plan.parts[t])
                for (Index s = plan.first[std::size_t(root)]; s <= root; ++s)
                    Forward(s, x.data(), gathered[t].data(), deltas[t].data());
        });
        SetBlasThreads(blasThreads);
        for (const Index s : plan.top)
            for (Index k = m_symbolic->Super()[s]; k < m_symbolic->Super()[s + 1]; ++k)
                for (const auto& delta : deltas)
                    x[std::size_t(k)] -= delta[std::size_t(plan.topSlot[std::size_t(k)])];
    }
    for (const Index s : plan.top)
        Forward(s, x.data(), gathered[0].data(), nullptr);
    // Lᵀ x = y: the supernodes above the subtrees, then the subtrees side by side, downwards.
    for (auto it = plan.top.rbegin(); it != plan.top.rend(); ++it)
        Backward(*it, x.data(), gathered[0].data());
    if (threads > 1) {
        const int blasThreads = SetBlasThreads(1);
        RunSideBySide(threads, [&](std::size_t t) {
            for (auto root = plan.parts[t].rbegin(); root != plan.parts[t].rend(); ++root)
                for (Index s = *root; s >= plan.first[std::size_t(*root)]; --s)
                    Backward(s, x.data(), gathered[t].data());
        });
        SetBlasThreads(blasThreads);
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
    std::vector<double> r = f, z, p, q(n), spill;
    // Products with K on the factor's two threads where it has them.
    auto multiply = [&](const std::vector<double>& x, std::vector<double>& y) {
        if (factor.SideBySide())
            MultiplySymmetricSideBySide(K, x, y, spill);
        else
            MultiplySymmetric(K, x, y);
    };
    auto trueResidual = [&] {
        multiply(u, q);
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
        multiply(p, q);
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
