// The truss model: four tables of 1024 rows, their counts, the file identity and the solution.
#pragma once

#include <array>
#include <cstdint>

#include <QString>

#include "desktop/Table.h"

namespace ardela {

struct TrussModel {
    // Live rows per table; kept by picking and the grid.
    std::int16_t NodeCount = 0;
    std::int16_t ElementCount = 0;
    std::int16_t BlockCount = 0;
    std::int16_t LoadCount = 0;

    Table<3> Nodes;     // X, Y, ObjectID of the node's point
    Table<6> Elements;  // node I, node J, area A, modulus E, length L, axial force N (+ tension)
    Table<5> Blocks;    // node, x held (1), y held (1), horizontal reaction, vertical reaction
    Table<3> Loads;     // node, Fx, Fy (daN, along the drawing's axes)

    // The analysis file: full path and file name; empty means the model has no file.
    QString AnalysisPath;
    QString AnalysisTitle;

    // The last solution: equation-indexed displacements (entry 2n-1 is x of node n, entry 2n is
    // y of node n positive downward) and the checksums.
    std::array<float, kTableRows> Displacements{};
    float SumPlus = 0.0f;
    float SumMinus = 0.0f;
    float SumTotal = 0.0f;

    // 1-based access to Displacements, bounds-checked.
    float& Displacement(int equation);
};

// Append a live row as the grid would fill it (node numbers as 16-bit integers, numbers as
// singles) and return its row number; throws ModelError when the table is full.
int AddNode(TrussModel& model, float x, float y);
int AddBar(TrussModel& model, int nodeI, int nodeJ, float area, float modulus);
int AddSupport(TrussModel& model, int node, int holdX, int holdY);
int AddLoad(TrussModel& model, int node, float fx, float fy);

// Empties the four tables and the counts and forgets the file; settings keep their values.
void ResetModel(TrussModel& model);

// The program-wide model and its reset.
TrussModel& Truss();
void ResetModel();

} // namespace ardela
