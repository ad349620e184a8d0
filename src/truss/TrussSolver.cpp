// The truss solver: two equations per node, the upper half-band of the stiffness matrix in
// single precision, Gaussian elimination without pivoting, then bar forces and reactions.
// The order and precision of every operation are fixed: they decide the digits in the report.
#include "truss/TrussSolver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "truss/TrussModel.h"
#include "desktop/modMessage.h"

namespace ardela {

namespace {

// A pivot at or below this share of its row's starting diagonal counts as zero. Mechanisms leave
// about 1e-7 (single-precision rounding); the sound trusses measured, slender ones included,
// keep 2e-3 or more.
constexpr float kPivotTolerance = 1e-5f;

constexpr int kBandRows = 1024;
constexpr int kBandColumns = 512;
constexpr int kMaxFixed = 1024;

[[noreturn]] void Fail(const QString& what)
{
    throw ModelError(what);
}

// A floating-point result that overflowed or became invalid aborts the run.
inline float Checked(float v, const char* what)
{
    if (!std::isfinite(v))
        Fail(QStringLiteral("floating-point overflow in %1").arg(QLatin1String(what)));
    return v;
}

inline double Checked(double v, const char* what)
{
    if (!std::isfinite(v))
        Fail(QStringLiteral("floating-point overflow in %1").arg(QLatin1String(what)));
    return v;
}

// A 16-bit counter or equation number that leaves its range aborts the run.
inline int Int16(int v)
{
    if (v < -32768 || v > 32767)
        Fail(QStringLiteral("the 16-bit value %1 overflows").arg(v));
    return v;
}

// The band store: row r holds the upper half-band of equation r; column 1 is the diagonal.
// The 1024 x 512 singles are kept per thread and zeroed over the rows and columns a run can reach.
class BandStore {
public:
    BandStore(int rows, int columns)
    {
        static thread_local std::vector<float> cells;
        cells.resize(static_cast<std::size_t>(kBandRows) * kBandColumns);
        m_cells = cells.data();
        const int clearRows = std::clamp(rows, 0, kBandRows);
        const int clearColumns = std::clamp(columns, 0, kBandColumns);
        for (int r = 0; r < clearRows; ++r)
            std::fill_n(m_cells + static_cast<std::size_t>(r) * kBandColumns, clearColumns, 0.0f);
    }

    float& operator()(int row, int column)
    {
        CheckRow(row);
        if (column < 1 || column > kBandColumns)
            Fail(QStringLiteral("band column %1 is outside the store of %2 (a bar joins node numbers more than 255 apart)")
                     .arg(column).arg(kBandColumns));
        return m_cells[Offset(row, column)];
    }

    // The row as a raw pointer to column 1, after a row check; the caller keeps columns in range.
    float* Row(int row)
    {
        CheckRow(row);
        return &m_cells[Offset(row, 1)];
    }

private:
    static void CheckRow(int row)
    {
        if (row < 1 || row > kBandRows)
            Fail(QStringLiteral("equation %1 is outside the band store of %2 rows (too many nodes for the bandwidth)")
                     .arg(row).arg(kBandRows));
    }
    static std::size_t Offset(int row, int column)
    {
        return static_cast<std::size_t>(row - 1) * kBandColumns + static_cast<std::size_t>(column - 1);
    }

    float* m_cells = nullptr;
};

// One bar's geometry as the solver sees it: node numbers, section, direction cosines.
struct BarGeometry {
    int i = 0;
    int j = 0;
    float a = 0.0f;
    float e = 0.0f;
    float dx = 0.0f;
    float dy = 0.0f;  // yI - yJ: the solver's y axis points the other way from the drawing's
    double length = 0.0;
    float c = 0.0f;
    float s = 0.0f;
};

// The node a cell names; `table` and `row` only describe a failure.
int NodeNumber(const Cell& cell, const TrussModel& model, const char* table, int row)
{
    const int n = cell.ToInt16();
    if (n < 1 || n > model.NodeCount)
        Fail(QStringLiteral("%1 %2 names node %3; the model has nodes 1 to %4")
                 .arg(QLatin1String(table)).arg(row).arg(n).arg(model.NodeCount));
    return n;
}

// Node numbers, section, length (stored in column 5) and direction cosines of bar e.
BarGeometry Geometry(TrussModel& model, int e)
{
    BarGeometry g;
    g.i = NodeNumber(model.Elements(e, 1), model, "bar", e);
    g.j = NodeNumber(model.Elements(e, 2), model, "bar", e);
    g.a = model.Elements(e, 3).ToSingle();
    g.e = model.Elements(e, 4).ToSingle();
    g.dx = NarrowToSingle(model.Nodes(g.j, 1).ToDouble() - model.Nodes(g.i, 1).ToDouble());
    g.dy = NarrowToSingle(model.Nodes(g.i, 2).ToDouble() - model.Nodes(g.j, 2).ToDouble());
    // L in double precision from the single differences.
    g.length = std::sqrt(double(g.dx) * double(g.dx) + double(g.dy) * double(g.dy));
    model.Elements(e, 5) = Cell(g.length);
    if (g.length == 0.0)
        Fail(QStringLiteral("bar %1 has zero length (division by zero)").arg(e));
    g.c = Checked(static_cast<float>(g.dx / g.length), "a direction cosine");
    g.s = Checked(static_cast<float>(g.dy / g.length), "a direction cosine");
    return g;
}

// Restrained equations in the order of the support rows: x before y.
std::vector<int> RestrainedEquations(const TrussModel& model)
{
    std::vector<int> fixed;
    for (int b = 1; b <= model.BlockCount; ++b) {
        const int node = NodeNumber(model.Blocks(b, 1), model, "support row", b);
        for (int dir = 0; dir < 2; ++dir) {
            if (!model.Blocks(b, 2 + dir).NumericEquals(1.0))
                continue;
            if (static_cast<int>(fixed.size()) >= kMaxFixed)
                Fail(QStringLiteral("more than %1 restrained equations").arg(kMaxFixed));
            fixed.push_back(Int16(2 * node - 1 + dir));
        }
    }
    return fixed;
}

// BandWidth = 2 x (largest node-number difference within a bar + 1).
int HalfBandWidth(const TrussModel& model)
{
    int d = 0;
    for (int e = 1; e <= model.ElementCount; ++e) {
        const int i = NodeNumber(model.Elements(e, 1), model, "bar", e);
        const int j = NodeNumber(model.Elements(e, 2), model, "bar", e);
        d = std::max(d, std::abs(i - j));
    }
    return Int16(2 * (d + 1));
}

// Element stiffness k = A E / L times the direction matrix (order xI, yI, xJ, yJ), added into
// the two diagonal blocks and the coupling block of the band store. Returns each bar's geometry:
// the force and reaction passes read the same cells again, so they reuse it.
std::vector<BarGeometry> AssembleStiffness(TrussModel& model, BandStore& band)
{
    std::vector<BarGeometry> bars;
    bars.reserve(static_cast<std::size_t>(std::max<int>(model.ElementCount, 0)));
    for (int e = 1; e <= model.ElementCount; ++e) {
        const BarGeometry& g = bars.emplace_back(Geometry(model, e));
        const float cc = Checked(g.c * g.c, "the element matrix");
        const float cs = Checked(g.c * g.s, "the element matrix");
        const float ss = Checked(g.s * g.s, "the element matrix");
        const float unscaled[4][4] = {
            {cc, cs, -cc, -cs},
            {cs, ss, -cs, -ss},
            {-cc, -cs, cc, cs},
            {-cs, -ss, cs, ss},
        };
        const float ae = Checked(g.a * g.e, "A x E");
        const float k = Checked(static_cast<float>(ae / g.length), "A x E / L");
        float ke[4][4];
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                ke[r][c] = Checked(unscaled[r][c] * k, "the element matrix");

        for (const int node : {g.i, g.j}) {
            const int a = Int16(2 * node - 1);
            band(a, 1) = Checked(band(a, 1) + ke[0][0], "assembly");
            band(a, 2) = Checked(band(a, 2) + ke[0][1], "assembly");
            band(a + 1, 1) = Checked(band(a + 1, 1) + ke[1][1], "assembly");
        }
        const int r = Int16(2 * std::min(g.i, g.j) - 1);
        const int m = Int16(2 * std::abs(g.j - g.i) + 1);
        band(r, m) = Checked(band(r, m) + ke[0][2], "assembly");
        band(r, m + 1) = Checked(band(r, m + 1) + ke[0][3], "assembly");
        band(r + 1, m - 1) = Checked(band(r + 1, m - 1) + ke[1][2], "assembly");
        band(r + 1, m) = Checked(band(r + 1, m) + ke[1][3], "assembly");
    }
    return bars;
}

// Loads into the right-hand side: Fx as given, Fy negated into the solver's frame. A node listed
// in several rows takes the last row's values.
void LoadVector(TrussModel& model, int equations)
{
    for (int q = 1; q <= equations; ++q)
        model.Displacement(q) = 0.0f;
    for (int l = 1; l <= model.LoadCount; ++l) {
        const int n = NodeNumber(model.Loads(l, 1), model, "load row", l);
        model.Displacement(2 * n - 1) = model.Loads(l, 2).ToSingle();
        model.Displacement(2 * n) = -model.Loads(l, 3).ToSingle();
    }
}

// Supports: clear row and column of each restrained equation and leave a unit diagonal.
void ApplySupports(TrussModel& model, BandStore& band, const std::vector<int>& fixed, int bandWidth)
{
    for (const int d : fixed) {
        band(d, 1) = 1.0f;
        model.Displacement(d) = 0.0f;
        for (int j = 2; j <= bandWidth; ++j)
            band(d, j) = 0.0f;
        for (int j = 2; j <= bandWidth; ++j)
            if (d - j + 1 > 0)
                band(d - j + 1, j) = 0.0f;
    }
}

// Forward elimination on the band: row n's multiplier CP = band(n, L) / band(n, 1) is taken
// off row i = n + L - 1 and stored in place of band(n, L); then the pivot divides the load.
// A zero multiplier, and the zero tail of row n past its last non-zero entry, leave row i as it
// is, so those updates are skipped: the values are the same, only the work shrinks.
void Eliminate(TrussModel& model, BandStore& band, int equations, int bandWidth)
{
    // Each row's diagonal before elimination: a pivot that has lost all but rounding noise of it
    // belongs to a mechanism, not to a stiff truss.
    std::vector<float> diagonal(static_cast<std::size_t>(equations) + 1, 0.0f);
    for (int n = 1; n <= equations; ++n)
        diagonal[static_cast<std::size_t>(n)] = std::fabs(band.Row(n)[0]);
    const auto failOnPivot = [&](int n, float pivot) {
        if (pivot == 0.0f || std::fabs(pivot) <= kPivotTolerance * diagonal[static_cast<std::size_t>(n)])
            Fail(QStringLiteral("zero pivot at equation %1 (the truss is not held or is unstable)").arg(n));
    };
    for (int n = 1; n <= equations; ++n) {
        float* rowN = band.Row(n);
        int last = bandWidth;
        while (last > 1 && rowN[last - 1] == 0.0f)
            --last;
        int i = n;
        for (int l = 2; l <= bandWidth; ++l) {
            i = Int16(i + 1);
            failOnPivot(n, rowN[0]);
            if (i > kBandRows)
                Fail(QStringLiteral("equation %1 is outside the store of %2 (too many nodes for the bandwidth)")
                         .arg(i).arg(kBandRows));
            if (rowN[l - 1] == 0.0f)
                continue;  // CP = 0: row i, the load vector and band(n, L) keep their values
            const float cp = Checked(rowN[l - 1] / rowN[0], "elimination");
            if (n != equations) {
                float* rowI = band.Row(i);
                if (l <= last) {
                    const int span = last - l + 1;
                    bool finite = true;
                    for (int j = 0; j < span; ++j) {
                        const float v = rowI[j] - cp * rowN[l - 1 + j];
                        rowI[j] = v;
                        finite &= std::fabs(v) <= 3.40282347e+38f;
                    }
                    if (!finite)
                        Fail(QStringLiteral("floating-point overflow in elimination at equation %1").arg(n));
                }
            }
            rowN[l - 1] = cp;
            float& di = model.Displacement(i);
            di = Checked(di - cp * model.Displacement(n), "elimination");
        }
        failOnPivot(n, rowN[0]);
        float& dn = model.Displacement(n);
        dn = Checked(dn / rowN[0], "elimination");
    }
}

void BackSubstitute(TrussModel& model, BandStore& band, int equations, int bandWidth)
{
    for (int i = 2; i <= equations; ++i) {
        const int n = equations - i + 1;
        const float* rowN = band.Row(n);
        float& dn = model.Displacement(n);
        for (int l = 2; l <= bandWidth; ++l)
            dn = Checked(dn - rowN[l - 1] * model.Displacement(n + l - 1), "back substitution");
    }
}

// N = A E delta / L from the elongation delta of each bar along its axis; the checksums add
// N x delta over the bars that lengthen (SumPlus) and the others (SumMinus).
void RecoverBarForces(TrussModel& model, const std::vector<BarGeometry>& bars)
{
    for (int e = 1; e <= model.ElementCount; ++e) {
        const BarGeometry& g = bars[static_cast<std::size_t>(e - 1)];
        const float t[4][4] = {
            {g.c, g.s, 0.0f, 0.0f},
            {-g.s, g.c, 0.0f, 0.0f},
            {0.0f, 0.0f, g.c, g.s},
            {0.0f, 0.0f, -g.s, g.c},
        };
        const float global[4] = {
            model.Displacement(2 * g.i - 1), model.Displacement(2 * g.i),
            model.Displacement(2 * g.j - 1), model.Displacement(2 * g.j),
        };
        float local[4];
        for (int r = 0; r < 4; ++r) {
            local[r] = 0.0f;
            for (int c = 0; c < 4; ++c)
                local[r] = Checked(local[r] + t[r][c] * global[c], "bar forces");
        }
        const float delta = Checked(local[2] - local[0], "bar forces");
        const float ae = Checked(g.a * g.e, "A x E");
        const float aeDelta = Checked(ae * delta, "bar forces");
        const double n = Checked(double(aeDelta) / g.length, "bar forces");
        model.Elements(e, 6) = Cell(n);
        if (delta > 0.0f)
            model.SumPlus = Checked(static_cast<float>(double(delta) * n + double(model.SumPlus)), "the checksums");
        else
            model.SumMinus = Checked(static_cast<float>(double(delta) * n + double(model.SumMinus)), "the checksums");
    }
    model.SumTotal = Checked(model.SumMinus + model.SumPlus, "the checksums");
}

// Reactions: minus the load applied at the support's node (the row the solver used, the last
// one naming the node), then the pull of every bar meeting the node.
void ComputeReactions(TrussModel& model, const std::vector<BarGeometry>& bars)
{
    for (int b = 1; b <= model.BlockCount; ++b) {
        model.Blocks(b, 4) = Cell(std::int16_t(0));
        model.Blocks(b, 5) = Cell(std::int16_t(0));
        for (int l = model.LoadCount; l >= 1; --l) {
            if (model.Loads(l, 1).SameValue(model.Blocks(b, 1))) {
                model.Blocks(b, 5) = model.Loads(l, 3).Negated();
                model.Blocks(b, 4) = model.Loads(l, 2).Negated();
                break;
            }
        }
    }
    // The support rows at each node, in row order: rows[first[n] .. first[n + 1]) (a row whose
    // node is not a whole node number meets no bar).
    const std::size_t nodes = static_cast<std::size_t>(model.NodeCount);
    std::vector<int> nodeOf(static_cast<std::size_t>(model.BlockCount) + 1, 0);
    std::vector<int> first(nodes + 2, 0);
    for (int b = 1; b <= model.BlockCount; ++b) {
        const double node = model.Blocks(b, 1).ToDouble();
        if (node >= 1.0 && node <= model.NodeCount && node == std::floor(node)) {
            nodeOf[static_cast<std::size_t>(b)] = static_cast<int>(node);
            ++first[static_cast<std::size_t>(node) + 1];
        }
    }
    for (std::size_t n = 1; n < first.size(); ++n)
        first[n] += first[n - 1];
    std::vector<int> rows(static_cast<std::size_t>(first.back()));
    std::vector<int> fill(first.begin(), first.end() - 1);
    for (int b = 1; b <= model.BlockCount; ++b)
        if (const int n = nodeOf[static_cast<std::size_t>(b)])
            rows[static_cast<std::size_t>(fill[static_cast<std::size_t>(n)]++)] = b;

    for (int e = 1; e <= model.ElementCount; ++e) {
        const BarGeometry& g = bars[static_cast<std::size_t>(e - 1)];
        const double n = model.Elements(e, 6).ToDouble();
        for (const int node : {g.i, g.j}) {
            const double sigma = node == g.j ? -1.0 : 1.0;
            for (int k = first[static_cast<std::size_t>(node)]; k < first[static_cast<std::size_t>(node) + 1]; ++k) {
                const int b = rows[static_cast<std::size_t>(k)];
                model.Blocks(b, 5) = Cell(Checked(sigma * (double(g.s) * n) + model.Blocks(b, 5).ToDouble(), "reactions"));
                model.Blocks(b, 4) = Cell(Checked(model.Blocks(b, 4).ToDouble() - sigma * (double(g.c) * n), "reactions"));
            }
        }
    }
}

} // namespace

void RunTrussAnalysis(TrussModel& model)
{
    model.Displacements.fill(0.0f);
    model.SumMinus = model.SumPlus = model.SumTotal = 0.0f;

    const std::vector<int> fixed = RestrainedEquations(model);
    const int bandWidth = HalfBandWidth(model);
    const int equations = Int16(2 * model.NodeCount);

    // Rows up to 2 x NodeCount + BandWidth - 1 and columns up to BandWidth are all a run reaches;
    // clearing them through the checked accessor fails the run when they lie outside the store.
    BandStore band(equations + bandWidth, bandWidth);
    for (int r = 1; r <= equations; ++r) {
        band(r, 1) = 0.0f;
        band(r, bandWidth) = 0.0f;
    }

    const std::vector<BarGeometry> bars = AssembleStiffness(model, band);
    LoadVector(model, equations);
    ApplySupports(model, band, fixed, bandWidth);
    Eliminate(model, band, equations, bandWidth);
    BackSubstitute(model, band, equations, bandWidth);
    RecoverBarForces(model, bars);
    ComputeReactions(model, bars);
}

double EquilibriumResidual(const TrussModel& model)
{
    std::vector<double> fx(static_cast<std::size_t>(model.NodeCount) + 1, 0.0);
    std::vector<double> fy(fx.size(), 0.0);
    double scale = 0.0;
    auto nodeOf = [&model](const Cell& cell) {
        const int n = cell.ToInt16();
        return (n >= 1 && n <= model.NodeCount) ? n : 0;
    };
    for (int e = 1; e <= model.ElementCount; ++e) {
        const int i = nodeOf(model.Elements(e, 1)), j = nodeOf(model.Elements(e, 2));
        const double dx = model.Nodes(j, 1).ToDouble() - model.Nodes(i, 1).ToDouble();
        const double dy = model.Nodes(j, 2).ToDouble() - model.Nodes(i, 2).ToDouble();
        const double length = std::hypot(dx, dy);
        const double n = model.Elements(e, 6).ToDouble();
        scale = std::max(scale, std::fabs(n));
        // A bar in tension pulls each end towards the other.
        fx[std::size_t(i)] += n * dx / length;
        fy[std::size_t(i)] += n * dy / length;
        fx[std::size_t(j)] -= n * dx / length;
        fy[std::size_t(j)] -= n * dy / length;
    }
    // The load applied at a node is its last load row, as the solver applies it.
    std::vector<int> loadRow(fx.size(), 0);
    for (int l = 1; l <= model.LoadCount; ++l)
        loadRow[std::size_t(nodeOf(model.Loads(l, 1)))] = l;
    for (std::size_t n = 1; n < fx.size(); ++n) {
        if (const int l = loadRow[n]) {
            const double px = model.Loads(l, 2).ToDouble(), py = model.Loads(l, 3).ToDouble();
            scale = std::max({scale, std::fabs(px), std::fabs(py)});
            fx[n] += px;
            fy[n] += py;
        }
    }
    for (int b = 1; b <= model.BlockCount; ++b) {
        const std::size_t n = std::size_t(nodeOf(model.Blocks(b, 1)));
        fx[n] += model.Blocks(b, 4).ToDouble();
        fy[n] += model.Blocks(b, 5).ToDouble();
    }
    double worst = 0.0;
    for (std::size_t n = 1; n < fx.size(); ++n)
        worst = std::max(worst, std::hypot(fx[n], fy[n]));
    return scale > 0.0 ? worst / scale : worst;
}

CheckedSolution SolveTrussChecked(TrussModel& model, QString* detail)
{
    CheckedSolution result;
    result.solved = SolveTruss(model, detail);
    if (result.solved) {
        try {
            result.residual = EquilibriumResidual(model);
        } catch (const ModelError&) {
            result.residual = std::numeric_limits<double>::infinity();
        }
    }
    return result;
}

QString UnreliableSolutionWarning(double residual)
{
    return QStringLiteral("The solution is out of balance by %1% of the largest force: the truss is too "
                          "ill-conditioned for the single-precision solver, so its forces are unreliable. "
                          "Check its supports and proportions.")
        .arg(residual * 100.0, 0, 'g', 3);
}

QString AnalysisFailureMessage()
{
    return QStringLiteral("Ther was an error runing the analysis.") + kCrLf
        + QStringLiteral("Please go back and revise your input");
}

bool SolveTruss(TrussModel& model, QString* detail)
{
    try {
        RunTrussAnalysis(model);
        return true;
    } catch (const ModelError& error) {
        // A caller that takes the cause reports it itself (the batch tool); otherwise the
        // message carries it on its next line.
        if (detail)
            *detail = error.Text();
        ShowMessage(detail ? AnalysisFailureMessage() : WithCause(AnalysisFailureMessage(), error.Text()), MsgCritical);
        return false;
    }
}

void CheckNodeReferences(const TrussModel& model)
{
    for (int e = 1; e <= model.ElementCount; ++e) {
        NodeNumber(model.Elements(e, 1), model, "bar", e);
        NodeNumber(model.Elements(e, 2), model, "bar", e);
    }
    for (int b = 1; b <= model.BlockCount; ++b)
        NodeNumber(model.Blocks(b, 1), model, "support row", b);
    for (int l = 1; l <= model.LoadCount; ++l)
        NodeNumber(model.Loads(l, 1), model, "load row", l);
}

bool SolveTruss()
{
    return SolveTruss(Truss());
}

} // namespace ardela
