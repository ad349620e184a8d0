// Reading "datein": a tokenizer that remembers line numbers and checks every value it hands out.
#include "stress_solver/SolverInput.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ardela::stress {

namespace {

// The largest input read: far beyond the biggest mesh stress solves, small beside memory.
constexpr std::uintmax_t kLargestInput = 256u * 1024 * 1024;

// A file that does not add up: it ends early, runs on, or has a value where a number belongs.
class LayoutError : public InputError {
public:
    using InputError::InputError;
};

struct Token {
    std::string_view text;
    int line = 0;
};

// The longest token a message quotes whole; a longer one is cut and its length given.
constexpr std::size_t kLongestQuoted = 40;

// A token as a message quotes it.
std::string Quoted(std::string_view text)
{
    std::string quoted(1, '"');
    quoted.append(text.substr(0, kLongestQuoted));
    if (text.size() <= kLongestQuoted)
        return quoted.append(1, '"');
    return quoted.append("...\" (").append(std::to_string(text.size())).append(" characters)");
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A number in the right form whose magnitude overflows or underflows a double.
bool OutOfRange(std::string_view text)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc::result_out_of_range && res.ptr == text.data() + text.size();
}

// A whole number with an optional sign: what the part before a decimal comma looks like.
bool PlainInteger(std::string_view text)
{
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    return AllDigits(text);
}

// Splits the text at commas, blanks and line breaks; empty fields are skipped.
class Tokens {
public:
    explicit Tokens(std::string_view text) : m_text(text) {}

    Token Next(const std::string& what)
    {
        while (m_pos < m_text.size() && IsSeparator(m_text[m_pos])) {
            if (m_text[m_pos] == '\n')
                ++m_line;
            ++m_pos;
        }
        if (m_pos == m_text.size())
            throw LayoutError("datein ends before " + what + " (line " + std::to_string(m_line) + ")");
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && !IsSeparator(m_text[m_pos]))
            ++m_pos;
        return {m_text.substr(start, m_pos - start), m_line};
    }

    double Number(const std::string& what)
    {
        const Token t = Next(what);
        NoteDecimalComma(t, what);
        double value = 0;
        if (!ParseNumber(t.text, value)) {
            const bool outOfRange = OutOfRange(t.text);
            throw LayoutError("line " + std::to_string(t.line) + ": " + what + " " + Quoted(t.text)
                             + (outOfRange ? " is beyond the range of double precision (about 1e-308 to 1e308)"
                                           : " is not a number"));
        }
        return value;
    }

    long long Integer(const std::string& what)
    {
        const Token t = Next(what);
        double value = 0;
        if (!ParseNumber(t.text, value) || value != std::floor(value) || std::fabs(value) > 1e15)
            throw LayoutError("line " + std::to_string(t.line) + ": " + what + " " + Quoted(t.text) + " is not a whole number");
        return static_cast<long long>(value);
    }

    // The first value that looks written with a decimal comma ("1,5" read as 1 and 5), named
    // with its field; empty when none did. A file that does not add up is blamed on it.
    const std::string& DecimalComma() const { return m_decimalComma; }

    int Line() const { return m_line; }

    // Whatever follows the last value must be separators only.
    void ExpectEnd()
    {
        while (m_pos < m_text.size() && IsSeparator(m_text[m_pos])) {
            if (m_text[m_pos] == '\n')
                ++m_line;
            ++m_pos;
        }
        if (m_pos != m_text.size())
            throw LayoutError("line " + std::to_string(m_line) + ": unexpected values after the last load");
    }

private:
    static bool IsSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    // A number field read as a whole number that a single comma joins to a run of digits.
    void NoteDecimalComma(const Token& t, const std::string& what)
    {
        if (!m_decimalComma.empty() || !PlainInteger(t.text) || m_pos >= m_text.size() || m_text[m_pos] != ',')
            return;
        std::size_t end = m_pos + 1;
        while (end < m_text.size() && !IsSeparator(m_text[end]))
            ++end;
        const std::string_view fraction = m_text.substr(m_pos + 1, end - m_pos - 1);
        if (!AllDigits(fraction))
            return;
        const std::string_view joined = m_text.substr(std::size_t(t.text.data() - m_text.data()), end - std::size_t(t.text.data() - m_text.data()));
        m_decimalComma = "line " + std::to_string(t.line) + ": " + what + " " + Quoted(joined)
                         + " is written with a decimal comma; datein takes a point (" + std::string(t.text) + "."
                         + std::string(fraction.substr(0, kLongestQuoted)) + ")";
    }

    std::string_view m_text;
    std::string m_decimalComma;
    std::size_t m_pos = 0;
    int m_line = 1;
};

std::size_t Count(Tokens& in, const char* what)
{
    const long long n = in.Integer(what);
    if (n < 0)
        throw InputError(std::string("line 1: ") + what + " is negative");
    return static_cast<std::size_t>(n);
}

std::string Nth(const char* what, std::size_t i)
{
    return std::string(what) + " " + std::to_string(i + 1);
}

} // namespace

bool ParseNumber(std::string_view text, double& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.front() == '+')
        return false;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size() && std::isfinite(value);
}

namespace {

SolverInput ParseFields(Tokens& in)
{
    const std::size_t nv = Count(in, "the number of vertical gridlines");
    const std::size_t nh = Count(in, "the number of horizontal gridlines");
    const std::size_t nd = Count(in, "the number of subdomains");
    const std::size_t nl = Count(in, "the number of constrained lines");
    const std::size_t nf = Count(in, "the number of loads");

    SolverInput input;
    for (std::size_t i = 0; i < nv; ++i)
        input.vertical.push_back(in.Number(Nth("vertical gridline", i)));
    for (std::size_t i = 0; i < nh; ++i)
        input.horizontal.push_back(in.Number(Nth("horizontal gridline", i)));
    for (std::size_t i = 0; i < nd; ++i) {
        const std::string what = Nth("subdomain", i);
        Subdomain d;
        d.lowerX = in.Number(what + ", lower x,");
        d.upperX = in.Number(what + ", upper x,");
        d.upperY = in.Number(what + ", upper y,");
        d.lowerY = in.Number(what + ", lower y,");
        d.thickness = in.Number(what + ", thickness,");
        d.youngModulus = in.Number(what + ", E,");
        d.shearModulus = in.Number(what + ", G,");
        input.domains.push_back(d);
    }
    for (std::size_t i = 0; i < nl; ++i) {
        const std::string what = Nth("constrained line", i);
        ConstrainedLine l;
        l.startX = in.Number(what + ", start x,");
        l.startY = in.Number(what + ", start y,");
        l.endX = in.Number(what + ", end x,");
        l.endY = in.Number(what + ", end y,");
        const int line = in.Line();
        const long long code = in.Integer(what + ", code,");
        if (code < 1 || code > 3)
            throw InputError("line " + std::to_string(line) + ": the code " + std::to_string(code) + " of " + what
                             + " is unknown (1 holds x, 2 holds y, 3 holds both)");
        l.code = static_cast<int>(code);
        input.lines.push_back(l);
    }
    for (std::size_t i = 0; i < nf; ++i) {
        const std::string what = Nth("load", i);
        NodalLoad f;
        f.x = in.Number(what + ", x,");
        f.y = in.Number(what + ", y,");
        const int line = in.Line();
        const long long direction = in.Integer(what + ", direction,");
        if (direction != 1 && direction != 2)
            throw InputError("line " + std::to_string(line) + ": the direction " + std::to_string(direction) + " of "
                             + what + " is unknown (1 is x, 2 is y)");
        f.direction = static_cast<int>(direction);
        f.force = in.Number(what + ", force,");
        input.loads.push_back(f);
    }
    in.ExpectEnd();
    return input;
}

} // namespace

SolverInput ParseSolverInput(std::string_view text)
{
    Tokens in(text);
    try {
        return ParseFields(in);
    } catch (const LayoutError&) {
        if (!in.DecimalComma().empty())
            throw InputError(in.DecimalComma());
        throw;
    }
}


SolverInput ReadSolverInputFile(const std::string& path)
{
    // What is not a regular file (a folder, a device, a pipe) is refused before it is read:
    // a device may never end.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status)) {
        if (std::filesystem::is_directory(status))
            throw InputError(path + " is a folder, not the input file");
        if (!std::filesystem::is_regular_file(status))
            throw InputError(path + " is not a regular file (a device, a pipe or a socket); stress reads only a file");
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (!error && size > kLargestInput)
            throw InputError(path + " is " + std::to_string(size) + " bytes; stress reads at most "
                             + std::to_string(kLargestInput) + " bytes of input");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw InputError("cannot open " + path);
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad())
        throw InputError("cannot read " + path);
    return ParseSolverInput(text.str());
}

} // namespace ardela::stress
