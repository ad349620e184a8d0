// The checks of Vendel's four sheet steps: each recounts its table's leading complete rows into
// the model's count and says whether the step may be left forward.
#pragma once

#include <cstdint>

#include <QString>

namespace ardela {

struct StressModel;

// The open cell edit box as the checks count it: its text stands in the table cell it edits
// (1-based row and column) as if committed, without changing the model.
struct SheetPending {
    bool visible = false;
    QString text;
    int row = 0;
    int column = 0;
};

// Gridlines: VertCount and HorzCount are the leading rows of columns 1 and 2 that hold numbers;
// valid when both are above 0 and no later row up to `maxRow` holds a number in its column.
// Each check may also say, in `status`, the first thing that keeps the step from being left
// forward ("row 3, Coord x: '3OO' is not a number"); empty when the step is complete.
bool CheckGridLines(StressModel& model, std::int16_t& maxRow, const SheetPending& pending, QString* status = nullptr);
// Subdomains (all 7 cells numbers) and constrained lines (all 5): the leading complete rows; valid
// when there is one and no later row up to `maxRow` holds a number at all.
bool CheckDomains(StressModel& model, std::int16_t& maxRow, const SheetPending& pending, QString* status = nullptr);
bool CheckLines(StressModel& model, std::int16_t& maxRow, const SheetPending& pending, QString* status = nullptr);
// Loads: x and y numbers, each force empty or a number; otherwise as the subdomains.
bool CheckLoads(StressModel& model, std::int16_t& maxRow, const SheetPending& pending, QString* status = nullptr);

} // namespace ardela
