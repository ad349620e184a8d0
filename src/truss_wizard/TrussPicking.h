// Picking Korrin's model in the drawing: node positions, bars as pairs of drawn nodes, supported
// and loaded nodes. Each run replaces its table, numbers from 1 and ends when the engineer ends
// the point request.
#pragma once

#include <cstdint>
#include <functional>

#include "cad/AcadObjects.h"
#include "desktop/Settings.h"
#include "wizard/PickLoop.h"

namespace ardela {

struct TrussModel;

// What a picking run works on, and what it calls at its end.
struct PickTarget {
    TrussModel& model;
    const SettingsArray& settings;
    cad::AcadDocument& document;
    std::int16_t& rowsUsed;           // the step's RowsUsed, raised when a run is finished
    std::function<void()> fillSheet;  // FillNodeSheet ... FillLoadSheet of the step
    std::function<void()> clearLayer; // ClearNodes ... ClearLoads of the step (on a cancel)
};

// The first node row whose point has this ObjectID, or -1.
std::int16_t NodeOfEntity(const TrussModel& model, std::int32_t objectId);

// The picking routines; each ends as the engineer ended the point request and returns how.
PickEnd PickNodes(const PickTarget& target);
PickEnd PickElements(const PickTarget& target);
PickEnd PickBlocks(const PickTarget& target);
PickEnd PickLoads(const PickTarget& target);

// The message of a picking run that failed for another reason than the engineer's.
QString PickFailureMessage();

} // namespace ardela
