// Picking Vendel's model in the drawing: the gridlines of one direction, the subdomain corners,
// the ends of the constrained lines and the loaded nodes, each row asked for until the user ends.
#pragma once

#include <cstdint>
#include <functional>

#include <QString>

#include "cad/AcadObjects.h"
#include "wizard/PickLoop.h"

namespace ardela {

struct StressModel;

// What a picking run fills and tells: the model, the working drawing, the sheet's highest row
// reached, the sheet's refill and the step's clear routine.
struct StressPickTarget {
    StressModel& model;
    cad::AcadDocument& document;
    std::int16_t& sheetMaxRow;
    std::function<void()> fillSheet;
    std::function<void()> clearLayer;
};

// Every run empties what it refills (the gridline column, or the whole table), then asks for
// points with the step's prompts, each ending with the row number, until a point request fails.
// Whatever the ending, the rows stored stay, the sheet is refilled and its mark raised to the last
// row stored. Ended by the user: nothing more. Cancelled: the step's layer is erased. Any other
// failure: "An error has occured" (OK, no icon). A pair of points is stored only when both came.
//
// PickGridLines: one column, x of vertical gridlines ("Get x coordinate (x increasing) ") or y of
// horizontal ones ("Get y coordinate (y decreasing) "), on Vendel_Mesh with OSMODE 33.
PickEnd PickGridLines(const StressPickTarget& target, bool vertical);
// PickDomains: lower left and upper right corners, on Vendel_Domains with OSMODE 33.
PickEnd PickDomains(const StressPickTarget& target);
// PickLines: the two ends of each constrained line, on Vendel_Lines (OSMODE as it is).
PickEnd PickLines(const StressPickTarget& target);
// PickLoads: the loaded nodes, on Vendel_Loads; the forces stay empty.
PickEnd PickLoads(const StressPickTarget& target);

// The message of a failed run.
QString StressPickFailureMessage();

} // namespace ardela
