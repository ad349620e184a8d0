// The files Vendel exchanges with the solver `stress`: "datein" out, "dateout.dat" and the
// listing "dateout" back, in Vendel's per-user working folder.
#pragma once

#include <array>
#include <vector>

#include <QByteArray>
#include <QString>

namespace ardela {

struct StressModel;

// The text of "datein" for the rows in use: the counts, the gridlines eight to a line, one line
// per subdomain (lower x, upper x, upper y, lower y, thickness, E, G), per constrained line and
// per non-zero force component; numbers to one decimal with a point whatever the locale, every
// value followed by a comma, lines ended by CR LF. Throws ModelError naming a cell that is not
// a number.
QByteArray FormatSolverInput(const StressModel& model);

// Deletes the old exchange files in `folder` (a failed deletion is reported and the writing goes
// on) and writes "datein". False, after the fixed message, when the file could not be written.
bool WriteSolverInput(const StressModel& model, const QString& folder);

// Reads a result text: the element count, 4 corner points per element, then s1, s2 and the angle
// per element, in free form (commas, blanks, line breaks). Throws ModelError when the text ends
// early, holds more or a value that is not a number, or the count is not 1 .. 1023 x 1023.
void ParseSolverResults(const QByteArray& text, std::vector<std::array<float, 2>>& points,
                        std::vector<std::array<float, 3>>& values);

// Reads "dateout.dat" in `folder` into the model's results. A missing, truncated or malformed
// file is a failed run: the message says why, the results are emptied and the result is false.
bool ReadSolverResults(StressModel& model, const QString& folder);

// The reason the solver gave in its listing in `folder` for a failed run ("the code 5 of
// constrained line 1 is unknown"); empty when the listing holds none.
QString SolverFailureReason(const QString& folder);

// The program-wide routines: Vendel's model and its working folder.
bool WriteSolverInput();
bool ReadSolverResults();

// The end of a run: for an analysis saved in a file, keeps the solver's listing from `folder`
// beside the analysis file, under the analysis title up to its last "." followed by ".prn"
// (replacing an older copy), then removes "datein", "dateout" and "dateout.dat" from `folder`.
// An analysis without a file leaves them all.
// False, after a message, when the listing could not be kept.
bool FinishSolverRun(const StressModel& model, const QString& folder);

// Vendel's working folder for the exchange files (and the listing copy of a saved analysis):
// "Ardela/Vendel" in the user's data folder, created on first use. Empty, after a message,
// when it cannot be created.
QString ExchangeFolder();

// The solver program `stress`, beside the running program, unless another was set.
QString SolverProgram();
// Makes RunSolver start `program` instead (tests stand in solvers of their own); an empty path
// goes back to the one beside the running program. Returns the previous choice.
QString SetSolverProgram(const QString& program);

// Starts the solver in `folder` and waits for it (with the 20-second question unless
// `noTimeLimit`). False when it could not be started, the user gave up, or it crashed (said so).
bool RunSolver(const QString& folder, bool noTimeLimit);

// The exchange file names.
inline const QString kSolverInputName = QStringLiteral("datein");
inline const QString kSolverListingName = QStringLiteral("dateout");
inline const QString kSolverResultsName = QStringLiteral("dateout.dat");

} // namespace ardela
