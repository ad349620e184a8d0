// The truss model: four tables of 1024 rows, their counts, the file identity and the solution.
#pragma once

#include <array>
#include <cstdint>

#include <QString>

#include "Cell.h"
#include "Error.h"

namespace ardela {

constexpr int kTableRows = 1024;

// A model table of 1024 rows and `Columns` columns, 1-based, stored column by column (all rows
// of column 1, then column 2, ...), as the analysis file writes it. Access outside the table
// throws ModelError.
template <int Columns>
class Table {
public:
    static constexpr int kColumns = Columns;
    static constexpr int kCells = kTableRows * Columns;

    Cell& operator()(int row, int column) { return m_cells[Index(row, column)]; }
    const Cell& operator()(int row, int column) const { return m_cells[Index(row, column)]; }

    // Cells in storage order (column-major), for the file layer.
    Cell& Raw(int i) { return m_cells[static_cast<std::size_t>(i)]; }
    const Cell& Raw(int i) const { return m_cells[static_cast<std::size_t>(i)]; }

    void Clear() { m_cells.fill(Cell()); }
    bool operator==(const Table& other) const { return m_cells == other.m_cells; }

private:
    static std::size_t Index(int row, int column)
    {
        if (row < 1 || row > kTableRows || column < 1 || column > Columns)
            throw ModelError(QStringLiteral("row %1, column %2 is outside a table of %3 x %4")
                                 .arg(row).arg(column).arg(kTableRows).arg(Columns));
        return static_cast<std::size_t>((column - 1) * kTableRows + (row - 1));
    }

    std::array<Cell, kCells> m_cells;
};

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
