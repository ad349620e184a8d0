// The model tables both analysis kinds keep: 1024 rows of cells, stored column by column.
#pragma once

#include <array>
#include <cstddef>

#include <QString>

#include "desktop/Cell.h"
#include "desktop/Error.h"

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

} // namespace ardela
