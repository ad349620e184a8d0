// Formatting the result file and the listing with a point whatever the locale (std::to_chars).
#include "stress_solver/SolverOutput.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string_view>
#include <system_error>
#include <vector>
#include <new>

namespace ardela::stress {

namespace {

// The shortest text that reads back as the same double.
void AppendShortest(std::string& out, double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void AppendGeneral(std::string& out, double v, int digits)
{
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    out.append(buf, res.ptr);
}

// Right-aligned in `width` characters: fixed with `decimals`, or scientific when `scientific`.
void AppendField(std::string& out, double v, int width, int decimals, bool scientific)
{
    char buf[64];
    const auto fmt = scientific ? std::chars_format::scientific : std::chars_format::fixed;
    auto res = std::to_chars(buf, buf + sizeof buf, v, fmt, decimals);
    if (res.ec != std::errc())
        res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 6);
    const int len = static_cast<int>(res.ptr - buf);
    if (len < width)
        out.append(std::size_t(width - len), ' ');
    out.append(buf, res.ptr);
}

void AppendInt(std::string& out, long long v, int width)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    const int len = static_cast<int>(res.ptr - buf);
    if (len < width)
        out.append(std::size_t(width - len), ' ');
    out.append(buf, res.ptr);
}

// The texts of a few values that many lines repeat (gridline coordinates, cell centres), each
// formatted once.
class GridlineTexts {
public:
    template <typename Format>
    GridlineTexts(const std::vector<double>& values, const Format& format)
    {
        m_start.reserve(values.size() + 1);
        m_start.push_back(0);
        for (const double v : values) {
            format(m_text, v);
            m_start.push_back(m_text.size());
        }
    }

    std::string_view operator[](int k) const
    {
        const std::size_t from = m_start[std::size_t(k)];
        return std::string_view(m_text).substr(from, m_start[std::size_t(k) + 1] - from);
    }

private:
    std::string m_text;
    std::vector<std::size_t> m_start;
};

// The midpoints of consecutive values.
std::vector<double> Centres(const std::vector<double>& lines)
{
    std::vector<double> centres;
    for (std::size_t k = 1; k < lines.size(); ++k)
        centres.push_back((lines[k - 1] + lines[k]) / 2.0);
    return centres;
}

const char* kTitle = "stress - plane-stress finite-element analysis (4-node elements, 2x2 Gauss points)\r\n";

} // namespace

void WriteResults(const Solution& s, TextOut& to)
{
    const Mesh& m = s.mesh;
    std::string& out = to.Text();
    // The corners are gridline coordinates: each one's text is made once.
    const GridlineTexts xs(m.xs, [](std::string& t, double v) { AppendShortest(t, v); t += ','; });
    const GridlineTexts ys(m.ys, [](std::string& t, double v) { AppendShortest(t, v); t += ','; });
    out += std::to_string(s.elements.size()) + ",\r\n";
    for (const ElementStress& e : s.elements) {
        const std::string_view x0 = xs[e.cellX], x1 = xs[e.cellX + 1], y0 = ys[e.cellY], y1 = ys[e.cellY + 1];
        for (const std::string_view v : {x0, y0, x1, y0, x0, y1, x1, y1})
            out += v;
        out += "\r\n";
        to.LineDone();
    }
    for (const ElementStress& e : s.elements) {
        for (const double v : {e.s1, e.s2, e.angle}) {
            AppendGeneral(out, v, 9);
            out += ',';
        }
        out += "\r\n";
        to.LineDone();
    }
}

void WriteListing(const SolverInput& in, const Solution& s, TextOut& to)
{
    const Mesh& m = s.mesh;
    std::string& out = to.Text();
    out += kTitle;
    out += "\r\nINPUT\r\n";
    out += "  Vertical gridlines:   " + std::to_string(in.vertical.size()) + " given, "
           + std::to_string(m.xs.size()) + " distinct, x from ";
    AppendGeneral(out, m.xs.front(), 10);
    out += " to ";
    AppendGeneral(out, m.xs.back(), 10);
    out += "\r\n  Horizontal gridlines: " + std::to_string(in.horizontal.size()) + " given, "
           + std::to_string(m.ys.size()) + " distinct, y from ";
    AppendGeneral(out, m.ys.front(), 10);
    out += " to ";
    AppendGeneral(out, m.ys.back(), 10);
    out += "\r\n\r\n  Subdomains (the last one containing a cell centre gives its properties)\r\n";
    out += "     #     lower x     upper x     lower y     upper y   thickness           E           G     Poisson\r\n";
    for (std::size_t d = 0; d < in.domains.size(); ++d) {
        const Subdomain& sd = in.domains[d];
        AppendInt(out, static_cast<long long>(d + 1), 6);
        for (const double v : {sd.lowerX, sd.upperX, sd.lowerY, sd.upperY, sd.thickness})
            AppendField(out, v, 12, 3, false);
        AppendField(out, sd.youngModulus, 12, 1, false);
        AppendField(out, sd.shearModulus, 12, 1, false);
        AppendField(out, s.poisson[d], 12, 4, false);
        out += "\r\n";
    }
    out += "\r\n  Constrained lines (code 1 holds x, 2 holds y, 3 both)\r\n";
    out += "     #     start x     start y       end x       end y  code   nodes\r\n";
    for (std::size_t l = 0; l < in.lines.size(); ++l) {
        const ConstrainedLine& c = in.lines[l];
        AppendInt(out, static_cast<long long>(l + 1), 6);
        for (const double v : {c.startX, c.startY, c.endX, c.endY})
            AppendField(out, v, 12, 3, false);
        AppendInt(out, c.code, 6);
        AppendInt(out, s.lineNodes[l], 8);
        out += "\r\n";
    }
    out += "\r\n  Loads (direction 1 is x, 2 is y)\r\n";
    out += "     #           x           y   dir         force\r\n";
    for (std::size_t f = 0; f < in.loads.size(); ++f) {
        const NodalLoad& p = in.loads[f];
        AppendInt(out, static_cast<long long>(f + 1), 6);
        AppendField(out, p.x, 12, 3, false);
        AppendField(out, p.y, 12, 3, false);
        AppendInt(out, p.direction, 6);
        AppendField(out, p.force, 14, 3, false);
        out += "\r\n";
    }

    out += "\r\nMESH\r\n";
    out += "  Cells: " + std::to_string(m.CellsX()) + " x " + std::to_string(m.CellsY()) + " = "
           + std::to_string(std::int64_t(m.CellsX()) * m.CellsY()) + ", elements: " + std::to_string(m.elementCount)
           + ", holes: " + std::to_string(std::int64_t(m.CellsX()) * m.CellsY() - m.elementCount) + "\r\n";
    std::int64_t heldCount = 0;
    for (const auto h : s.held)
        heldCount += h;
    out += "  Nodes: " + std::to_string(m.NodeCount()) + ", displacements held: " + std::to_string(heldCount)
           + ", unknowns: " + std::to_string(s.unknowns) + ", entries of the factor: " + std::to_string(s.factorEntries)
           + "\r\n  Relative residual |K u - f| / |f|: ";
    AppendField(out, s.relativeResidual, 0, 3, true);
    out += "\r\n";

    out += "\r\nDISPLACEMENTS\r\n";
    out += "      node           x           y              ux              uy\r\n";
    // Node coordinates and cell centres repeat along every gridline: each text is made once.
    auto fixed3 = [](std::string& t, double v) { AppendField(t, v, 12, 3, false); };
    const GridlineTexts nodeXs(m.xs, fixed3), nodeYs(m.ys, fixed3);
    for (int n = 0; n < m.NodeCount(); ++n) {
        AppendInt(out, n + 1, 10);
        out += nodeXs[m.nodeX[std::size_t(n)]];
        out += nodeYs[m.nodeY[std::size_t(n)]];
        AppendField(out, s.displacement[2 * std::size_t(n)], 16, 6, true);
        AppendField(out, s.displacement[2 * std::size_t(n) + 1], 16, 6, true);
        out += "\r\n";
        to.LineDone();
    }

    out += "\r\nELEMENT STRESSES (at the element centre; angle of s1 from the x axis in degrees)\r\n";
    out += "   element    centre x    centre y            sx            sy           txy            s1            s2     angle\r\n";
    const GridlineTexts centreXs(Centres(m.xs), fixed3), centreYs(Centres(m.ys), fixed3);
    for (std::size_t e = 0; e < s.elements.size(); ++e) {
        const ElementStress& el = s.elements[e];
        AppendInt(out, static_cast<long long>(e + 1), 10);
        out += centreXs[el.cellX];
        out += centreYs[el.cellY];
        for (const double v : {el.sx, el.sy, el.txy, el.s1, el.s2})
            AppendField(out, v, 14, 5, true);
        AppendField(out, el.angle, 10, 3, false);
        out += "\r\n";
        to.LineDone();
    }

    out += "\r\nREACTIONS\r\n";
    out += "      node           x           y              Rx              Ry\r\n";
    for (int n = 0; n < m.NodeCount(); ++n) {
        if (!s.held[2 * std::size_t(n)] && !s.held[2 * std::size_t(n) + 1])
            continue;
        AppendInt(out, n + 1, 10);
        out += nodeXs[m.nodeX[std::size_t(n)]];
        out += nodeYs[m.nodeY[std::size_t(n)]];
        AppendField(out, s.reaction[2 * std::size_t(n)], 16, 6, true);
        AppendField(out, s.reaction[2 * std::size_t(n) + 1], 16, 6, true);
        out += "\r\n";
        to.LineDone();
    }

    out += "\r\nEQUILIBRIUM (sum of reactions + sum of loads; zero when balanced)\r\n";
    auto line = [&out](const char* label, double reactions, double loads) {
        out += label;
        out += " reactions ";
        AppendField(out, reactions, 16, 8, true);
        out += "  loads ";
        AppendField(out, loads, 16, 8, true);
        out += "  sum ";
        AppendField(out, reactions + loads, 16, 3, true);
        out += "\r\n";
    };
    line("  x:      ", s.sumRx, s.sumFx);
    line("  y:      ", s.sumRy, s.sumFy);
    line("  moment: ", s.momentReactions, s.momentLoads);
    out += "\r\nEnd of the analysis.\r\n";
}

std::string FormatFailureListing(const std::string& reason)
{
    return std::string(kTitle) + "\r\nThe analysis failed: " + reason + ".\r\nNo results were written.\r\n";
}

TextOut::TextOut(std::FILE* file) : m_file(file)
{
    if (m_file)
        m_text.reserve(2 * kChunk);
}

void TextOut::Drain()
{
    if (m_file && !m_text.empty()) {
        m_failed = m_failed || std::fwrite(m_text.data(), 1, m_text.size(), m_file) != m_text.size();
        m_text.clear();
    }
}

bool TextOut::Finish()
{
    Drain();
    return !m_failed;
}

void WriteFileWhole(const std::string& path, const std::function<void(TextOut&)>& write)
{
    const std::string temp = path + ".part";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file)
        throw InputError("cannot create " + temp);
    bool written = false;
    try {
        TextOut out(file);
        write(out);
        written = out.Finish();
    } catch (...) {
        std::fclose(file);
        std::remove(temp.c_str());
        throw;
    }
    written = std::fclose(file) == 0 && written;
    if (!written) {
        std::remove(temp.c_str());
        throw InputError("cannot write " + path + " (disk full?)");
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        throw InputError("cannot replace " + path);
    }
}

namespace {

// ARDELA_STRESS_FACTOR=single or =double holds the factor to one precision, to measure the two
// side by side; unset or anything else leaves the choice to the solver.
FactorPrecision ChosenPrecision()
{
    const char* chosen = std::getenv("ARDELA_STRESS_FACTOR");
    const std::string value = chosen ? chosen : "";
    if (value == "single")
        return FactorPrecision::Single;
    if (value == "double")
        return FactorPrecision::Double;
    return FactorPrecision::Automatic;
}

} // namespace

bool RunAnalysisInFolder(const std::string& folder, std::string& error)
{
    const std::string base = folder.empty() ? std::string() : folder + "/";
    const std::string results = base + "dateout.dat";
    const std::string listing = base + "dateout";
    std::remove(results.c_str());
    try {
        const SolverInput input = ReadSolverInputFile(base + "datein");
        const Solution solution = SolvePlaneStress(input, ChosenPrecision());
        // The two files are written side by side; should no second thread start, one after
        // the other. A failure in either leaves no results (below).
        auto writeListing = [&] { WriteFileWhole(listing, [&](TextOut& out) { WriteListing(input, solution, out); }); };
        std::future<void> listingWritten;
        try {
            listingWritten = std::async(std::launch::async, writeListing);
        } catch (const std::system_error&) {
        }
        WriteFileWhole(results, [&](TextOut& out) { WriteResults(solution, out); });
        if (listingWritten.valid())
            listingWritten.get();
        else
            writeListing();
        return true;
    } catch (const InputError& e) {
        error = e.what();
    } catch (const std::bad_alloc&) {
        error = "there is not enough memory for this mesh";
    }
    std::remove(results.c_str());
    try {
        WriteFileWhole(listing, [&](TextOut& out) { out.Text() = FormatFailureListing(error); });
    } catch (const InputError&) {
    }
    return false;
}

} // namespace ardela::stress
