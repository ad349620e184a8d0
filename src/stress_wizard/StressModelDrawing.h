// The plane-stress model in the drawing: the gridline mesh, the subdomain rectangles, the
// constrained lines and the load arrows, each on its own layer and redrawn whole from the tables.
#pragma once

#include <cstdint>

#include <QString>

#include "cad/AcadObjects.h"
#include "desktop/Settings.h"
#include "stress_wizard/StressModel.h"

namespace ardela::vendel {

// The direction codes of DrawLoadArrow: where the force points.
enum LoadArrowDirection : std::int16_t {
    ArrowTowardsMinusX = 1,  // Fx < 0
    ArrowTowardsPlusX = 2,   // Fx > 0
    ArrowTowardsMinusY = 3,  // Fy < 0
    ArrowTowardsPlusY = 4,   // Fy > 0
};

// Everything a model drawing routine works on: the model, the drawing options and the drawing.
struct StressDrawingTarget {
    const StressModel& model;
    const SettingsArray& settings;
    cad::AcadDocument& document;
};

// Draw the rows in use of one table on its layer (switched on, thawed, unlocked and made current
// first) and regenerate the active viewport when `regenerate`. They add to the layer: callers
// clear it first. The first failing call stops the routine and is thrown to the caller (CadError
// from the drawing, ModelError from a cell that is not a number); what was drawn so far stays.
//
// DrawGrid: one line per gridline, each spanning the bounding rectangle of all gridlines (the
// smallest to the largest coordinate of the other direction); nothing when either direction has
// no gridline, as such a mesh has no extent.
void DrawGrid(const StressDrawingTarget& target, bool regenerate);
// DrawDomains: a closed lightweight polyline round each subdomain.
void DrawDomains(const StressDrawingTarget& target, bool regenerate);
// DrawLines: a line from start to end of each constrained line.
void DrawLines(const StressDrawingTarget& target, bool regenerate);
// DrawLoads: an arrow of length 2 x "TextHeight" per non-zero force component, x before y; an
// empty (or blank) force is no force.
void DrawLoads(const StressDrawingTarget& target, bool regenerate);

// One load arrow on `layer` (made current): its tip at `point`, its tail `size` away against the
// direction, a filled head 0.4 size long and 0.16 size wide at its base. Throws CadError when the
// drawing refuses, or for a direction other than 1 to 4.
void DrawLoadArrow(cad::AcadDocument& document, const cad::Point3& point, float size, std::int16_t direction,
                   const QString& layer);

// Erase everything on one model layer, whoever drew it. ClearMesh, ClearDomains and ClearLines
// ignore every failure (a leftover "tempss" is deleted and nothing is erased); ClearLoads throws
// the first failure to its caller.
void ClearMesh(cad::AcadDocument& document);
void ClearDomains(cad::AcadDocument& document);
void ClearLines(cad::AcadDocument& document);
void ClearLoads(cad::AcadDocument& document);

// The same routines on the program-wide model, settings and working drawing, as the wizard window
// calls them. Without a working drawing the draw routines and ClearLoads fail as on a lost link
// (CadError kDisconnected); the other clear routines do nothing.
void DrawGrid(bool regenerate);
void DrawDomains(bool regenerate);
void DrawLines(bool regenerate);
void DrawLoads(bool regenerate);
void ClearMesh();
void ClearDomains();
void ClearLines();
void ClearLoads();

} // namespace ardela::vendel
