// SolveTruss: the stiffness method on a single-precision band store, as the engineers know it.
#pragma once

#include <QString>

namespace ardela {

struct TrussModel;

// Solves `model` in place: bar lengths and forces, support reactions, displacements and
// checksums. Throws ModelError naming the fault (zero-length bar, zero pivot, overflow, a node
// number or index outside its table, a cell that is not a number).
void RunTrussAnalysis(TrussModel& model);

// Runs the analysis; on failure shows the one fixed analysis message and returns false.
// `detail`, when given, receives the fault's description; otherwise the message names it on
// its next line ("bar 6 names node 9; the model has nodes 1 to 4").
bool SolveTruss(TrussModel& model, QString* detail = nullptr);
// The program-wide model.
bool SolveTruss();

// Checks that every bar, support row and load row names a node of the model; throws ModelError
// naming the first that does not ("bar 22 names node 0; the model has nodes 1 to 12"), as the
// solver would.
void CheckNodeReferences(const TrussModel& model);

// How far a solved model is from equilibrium: the largest out-of-balance force at any node (bar
// forces + applied loads + support reactions) relative to the largest load or bar force. Near
// single-precision rounding (1e-6) for a sound solution; large values mean the single-precision
// elimination lost the answer to an ill-conditioned truss. Throws ModelError on unreadable cells.
double EquilibriumResidual(const TrussModel& model);

// A solution out of balance by more than this share of the largest force is unreliable.
constexpr double kBalanceTolerance = 1e-3;

struct CheckedSolution {
    bool solved = false;
    double residual = 0.0;  // EquilibriumResidual of the solution
    bool Unreliable() const { return solved && !(residual <= kBalanceTolerance); }
};

// SolveTruss followed by the balance check of its solution.
CheckedSolution SolveTrussChecked(TrussModel& model, QString* detail = nullptr);

// What the engineer is told about an unreliable solution: how far it is out of balance and why.
QString UnreliableSolutionWarning(double residual);

// The fixed message of a failed analysis.
QString AnalysisFailureMessage();

} // namespace ardela
