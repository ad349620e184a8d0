// The plane-stress finite-element analysis: gridline mesh, Q4 elements, sparse Cholesky solve.
#pragma once

#include <cstdint>
#include <vector>

#include "stress_solver/SolverInput.h"

namespace ardela::stress {

// The mesh the gridlines make: nx x ny cells between sorted, distinct coordinates. A cell
// belongs to the structure when its centre lies in a subdomain (the last matching row wins);
// the others are holes. Mesh nodes are the corners of structure cells, numbered row by row
// from the lowest y, left to right.
struct Mesh {
    std::vector<double> xs, ys;      // distinct gridline coordinates, ascending
    std::vector<int> cellDomain;     // per cell (row-major from the bottom): subdomain index or -1
    std::vector<std::int32_t> node;  // per grid point (row-major from the bottom): node number or -1
    std::vector<std::int32_t> nodeX, nodeY;  // grid indices of each node
    int elementCount = 0;

    int CellsX() const { return static_cast<int>(xs.size()) - 1; }
    int CellsY() const { return static_cast<int>(ys.size()) - 1; }
    int NodeCount() const { return static_cast<int>(nodeX.size()); }
    int Domain(int i, int j) const { return cellDomain[std::size_t(j) * std::size_t(CellsX()) + std::size_t(i)]; }
    std::int32_t Node(int i, int j) const { return node[std::size_t(j) * std::size_t(CellsX() + 1) + std::size_t(i)]; }
};

// Stresses at the centre of one element (daN/cm² when forces are in daN and lengths in cm).
struct ElementStress {
    int cellX = 0, cellY = 0;  // the cell's grid indices
    double sx = 0, sy = 0, txy = 0;
    double s1 = 0, s2 = 0;     // principal stresses, s1 >= s2
    double angle = 0;          // direction of s1 from the x axis, degrees in (-90, 90]
};

struct Solution {
    Mesh mesh;
    std::vector<double> poisson;          // per subdomain
    std::vector<int> lineNodes;           // per constrained line: mesh nodes it holds
    std::vector<double> displacement;     // 2 per node: ux, uy
    std::vector<double> load;             // 2 per node: applied force
    std::vector<std::uint8_t> held;       // 2 per node: 1 where the displacement is held
    std::vector<double> reaction;         // 2 per node: support force where held, else 0
    std::vector<ElementStress> elements;  // structure cells in mesh order
    std::int64_t unknowns = 0;            // free displacements solved for
    std::int64_t factorEntries = 0;       // entries of the Cholesky factor
    bool singleFactor = false;            // solved with a single-precision factor (and CG in double)
    int iterations = 0;                   // conjugate-gradient steps with the single-precision factor
    double relativeResidual = 0;          // |K u - f| / |f| after refinement
    double sumFx = 0, sumFy = 0, sumRx = 0, sumRy = 0;
    double momentLoads = 0, momentReactions = 0;  // about the origin, anticlockwise positive
};

// The precision the Cholesky factor of K is held in. Automatic takes single precision from
// kUnknownsForSingleFactor unknowns on: there it is as fast or faster and halves the factor's
// memory (and the system time spent clearing it); below, both take well under a tenth of a
// second and the double factor is kept. Either way the displacements are solved to double
// accuracy; a single-precision factor that fails (a structure close to a mechanism) gives way
// to a double one.
enum class FactorPrecision { Automatic, Double, Single };

inline constexpr long long kUnknownsForSingleFactor = 50000;

// Builds the mesh, assembles and solves. Throws InputError for a problem that has no answer:
// no cell in a subdomain, a bad modulus or thickness, Poisson's ratio E/(2G)-1 outside (-1, 0.5),
// a constrained line or load that meets no mesh node, a structure free to move.
Solution SolvePlaneStress(const SolverInput& input, FactorPrecision precision = FactorPrecision::Automatic);

// Principal stresses and the angle of the first, in degrees in (-90, 90].
void PrincipalStresses(double sx, double sy, double txy, double& s1, double& s2, double& angle);

} // namespace ardela::stress
