// The checks of Korrin's four model steps: each recounts its table's leading complete rows, stores
// the count in the model and says whether "&Next >" may be enabled.
#pragma once

#include <cstdint>

#include <QString>

#include "desktop/Table.h"

namespace ardela {

struct TrussModel;

// The cell edit box as the checks see it: open or not, its text, and the table row and column
// it edits.
struct PendingEdit {
    bool visible = false;
    QString text;
    int row = 0;
    int column = 0;
};

// The working copy the checks fill: 1024 rows x 7 columns.
using CheckBufferTable = Table<7>;

// A cell is a number when it holds a finite number (whatever its text form: 21000000 shows as
// "2.1E+07", which IsNumber would refuse), or a text that IsNumber accepts; an empty cell is not.
bool CellIsNumber(const Cell& cell);

// Each check may also say, in `status`, the first thing that keeps "&Next >" disabled ("row 3,
// Coord y: '3OO' is not a number", "At least one bar is needed"); empty when the step is complete.

// Nodes: x and y numbers; at least one node.
bool CheckNodes(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer,
                QString* status = nullptr);
// Bars: node 1, node 2, area and E numbers; at least one bar.
bool CheckElements(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer,
                QString* status = nullptr);
// Supports: the node a number; at least three fixities equal to 1.
bool CheckBlocks(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer,
                QString* status = nullptr);
// Loads: the node a number, each force empty or a number; no row needed.
bool CheckLoads(TrussModel& model, std::int16_t& rowsUsed, const PendingEdit& pending, CheckBufferTable& buffer,
                QString* status = nullptr);

} // namespace ardela
