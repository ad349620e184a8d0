// The status line under a sheet: what keeps "&Next >" disabled, in the engineer's words.
#pragma once

#include <QString>

namespace ardela {

class Cell;

// What is wrong with a cell the step check cannot count: "a number is needed" for an empty
// cell, "'3OO' is not a number" for another text; a number written with an exponent
// ("2.1E+07") says that exponents are not read.
QString RefusedCellText(const QString& text);
QString RefusedCell(const Cell& cell);

// "row 3, Coord y: " + what is wrong.
QString CellStatus(int row, const QString& heading, const QString& what);

} // namespace ardela
