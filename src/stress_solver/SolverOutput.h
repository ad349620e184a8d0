// What `stress` leaves behind: the result file "dateout.dat" and the listing "dateout".
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "stress_solver/PlaneStressSolver.h"
#include "stress_solver/SolverInput.h"

namespace ardela::stress {

// Text made line by line and written to a file a megabyte at a time (the listing of the largest
// mesh is some 200 MB), or kept whole in Text() when there is no file.
class TextOut {
public:
    explicit TextOut(std::FILE* file = nullptr);

    // The text not yet written; the writers append to it.
    std::string& Text() { return m_text; }
    // Called after each line: writes what has gathered once it reaches a chunk.
    void LineDone()
    {
        if (m_text.size() >= kChunk)
            Drain();
    }
    // Writes the rest; false when any write failed.
    bool Finish();

private:
    static constexpr std::size_t kChunk = std::size_t(1) << 20;
    void Drain();

    std::FILE* m_file = nullptr;
    bool m_failed = false;
    std::string m_text;
};

// The result file: the element count n on the first line, then one line per element with its
// four corners (x0,y0), (x1,y0), (x0,y1), (x1,y1), then one line per element with s1, s2 and
// the angle; every value followed by a comma, numbers with a point.
void WriteResults(const Solution& solution, TextOut& out);

// The readable listing: input summary, mesh size, displacements, element stresses, reactions
// and the equilibrium check.
void WriteListing(const SolverInput& input, const Solution& solution, TextOut& out);

// The listing of a run that produced no results: what was read (when anything was) and why.
std::string FormatFailureListing(const std::string& reason);

// Writes what `write` gives to `path` through a temporary file renamed into place, so that a
// reader never sees half a file. Throws InputError when the file cannot be written.
void WriteFileWhole(const std::string& path, const std::function<void(TextOut&)>& write);

// Runs one analysis in `folder`: removes an old "dateout.dat", reads "datein", solves, writes
// "dateout.dat" and "dateout". On failure writes the reason into "dateout" and `error`, leaves no
// "dateout.dat" and returns false.
bool RunAnalysisInFolder(const std::string& folder, std::string& error);

} // namespace ardela::stress
