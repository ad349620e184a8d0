// What `stress` leaves behind: the result file "dateout.dat" and the listing "dateout".
#pragma once

#include <string>

#include "stress_solver/PlaneStressSolver.h"
#include "stress_solver/SolverInput.h"

namespace ardela::stress {

// The result file: the element count n on the first line, then one line per element with its
// four corners (x0,y0), (x1,y0), (x0,y1), (x1,y1), then one line per element with s1, s2 and
// the angle; every value followed by a comma, numbers with a point.
std::string FormatResults(const Solution& solution);

// The readable listing: input summary, mesh size, displacements, element stresses, reactions
// and the equilibrium check.
std::string FormatListing(const SolverInput& input, const Solution& solution);

// The listing of a run that produced no results: what was read (when anything was) and why.
std::string FormatFailureListing(const std::string& reason);

// Writes `text` to `path` through a temporary file renamed into place, so that a reader never
// sees half a file. Throws InputError when the file cannot be written.
void WriteFileWhole(const std::string& path, const std::string& text);

// Runs one analysis in `folder`: removes an old "dateout.dat", reads "datein", solves, writes
// "dateout.dat" and "dateout". On failure writes the reason into "dateout" and `error`, leaves no
// "dateout.dat" and returns false.
bool RunAnalysisInFolder(const std::string& folder, std::string& error);

} // namespace ardela::stress
