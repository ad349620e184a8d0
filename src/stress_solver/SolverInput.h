// The solver's input: the "datein" text Vendel writes, read into plain tables.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ardela::stress {

// Bad input or a problem that cannot be solved; the text names what is wrong.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One subdomain row in the order of the file: the rectangle, then thickness and moduli (daN/cm²).
struct Subdomain {
    double lowerX = 0, upperX = 0, upperY = 0, lowerY = 0;
    double thickness = 0, youngModulus = 0, shearModulus = 0;
};

// A segment whose mesh nodes are held: code 1 holds x, 2 holds y, 3 both.
struct ConstrainedLine {
    double startX = 0, startY = 0, endX = 0, endY = 0;
    int code = 0;
};

// A force (daN) at the mesh node at (x, y): direction 1 is x, 2 is y.
struct NodalLoad {
    double x = 0, y = 0;
    int direction = 0;
    double force = 0;
};

struct SolverInput {
    std::vector<double> vertical;    // x of the vertical gridlines, as given
    std::vector<double> horizontal;  // y of the horizontal gridlines, as given
    std::vector<Subdomain> domains;
    std::vector<ConstrainedLine> lines;
    std::vector<NodalLoad> loads;
};

// Reads the free-form text: values separated by commas, blanks or line breaks. Line 1 holds the
// five counts (vertical, horizontal, subdomains, lines, loads), then the gridline values, seven
// values per subdomain, five per line and four per load. Throws InputError naming the value and
// its line when the text ends early, a value is not a number or a count or code is invalid.
SolverInput ParseSolverInput(std::string_view text);

// Reads the whole file at `path` and parses it; throws InputError when it cannot be read.
SolverInput ReadSolverInputFile(const std::string& path);

// Parses one number written with a point (an optional sign, digits, an optional exponent);
// false for anything else, infinities and NaN included.
bool ParseNumber(std::string_view text, double& value);

} // namespace ardela::stress
