// Vendel's model: the gridline, subdomain, constrained-line and load tables, their counts, the
// file identity and the last results of the solver.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QString>

#include "desktop/Table.h"

namespace ardela {

struct StressModel {
    // Rows in use of each table (the gridline table has two independent columns).
    std::int16_t VertCount = 0;
    std::int16_t HorzCount = 0;
    std::int16_t DomainCount = 0;
    std::int16_t LineCount = 0;
    std::int16_t NodalLoadCount = 0;

    Table<2> GridLines;         // x of a vertical gridline, y of a horizontal gridline
    Table<7> Domains;           // lower x, lower y, upper x, upper y, thickness, E, G
    Table<5> ConstrainedLines;  // start x, start y, end x, end y, code (1 x, 2 y, 3 both held)
    Table<4> NodalLoads;        // x, y, Fx, Fy (daN)

    // The analysis file: full path and file name; empty means the model has no file.
    QString AnalysisPath;
    QString AnalysisTitle;

    // The last results: four corners per element (rows 4i-3 .. 4i, x and y) and per element the
    // first and second principal stress and the angle of the first in degrees.
    std::vector<std::array<float, 2>> StressPoints;
    std::vector<std::array<float, 3>> StressValues;
};

// Empties the tables and the counts and forgets the file; the results stay.
void ResetModel(StressModel& model);
// Sets the results to a single empty element, as after ClearStresses.
void ResetStressResults(StressModel& model);

// The program-wide model.
StressModel& Stress();

// The sheet headings of the subdomain and constrained-line tables, in column order.
const std::array<QString, 7>& DomainHeadings();
const std::array<QString, 5>& LineHeadings();

} // namespace ardela
