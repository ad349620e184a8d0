// The truss model in the drawing: node points and numbers, bars and their numbers, support
// triangles and load arrows, each on its own layer and redrawn whole from the model tables.
#pragma once

#include <cstdint>

#include <QString>

#include "cad/AcadObjects.h"
#include "cad/ProgramLayers.h"
#include "desktop/Settings.h"
#include "truss/TrussModel.h"

namespace ardela {

// The four model layers.
inline const QString& kNodesLayer = cad::kKorrinNodes;
inline const QString& kBeamsLayer = cad::kKorrinBeams;
inline const QString& kBlocksLayer = cad::kKorrinBlocks;
inline const QString& kLoadsLayer = cad::kKorrinLoads;

// The directions of DrawSymbol: where a load points, or which displacement a support holds.
enum SymbolDirection : std::int16_t {
    SymbolTowardsMinusX = 1,
    SymbolTowardsPlusX = 2,   // a load towards +x; a support holding x (triangle left of the node)
    SymbolTowardsMinusY = 3,
    SymbolTowardsPlusY = 4,   // a load towards +y; a support holding y (triangle below the node)
};

// Everything a model drawing routine works on: the model, the drawing options and the drawing.
struct ModelDrawingTarget {
    TrussModel& model;
    const SettingsArray& settings;
    cad::AcadDocument& document;
};

// Draw the live rows of one table on its layer (switched on, thawed, unlocked and made current
// first) and regenerate the active viewport when `regenerate`. The first failing call stops the
// routine and is thrown to the caller (CadError from the drawing, ModelError from the tables);
// what was drawn so far stays. DrawNodes writes each point's ObjectID into Nodes column 3.
void DrawNodes(const ModelDrawingTarget& target, bool regenerate);
void DrawElements(const ModelDrawingTarget& target, bool regenerate);
void DrawBlocks(const ModelDrawingTarget& target, bool regenerate);
void DrawLoads(const ModelDrawingTarget& target, bool regenerate);

// Erase everything on one model layer; every failure is ignored and the next step tried.
void ClearNodes(cad::AcadDocument& document);
void ClearBeams(cad::AcadDocument& document);
void ClearBlocks(cad::AcadDocument& document);
void ClearLoads(cad::AcadDocument& document);

// A filled triangle with its apex at `point` on `layer` (made current): for a load an arrow of
// length `size` whose head (0.4 size long, 0.16 size wide) touches the node, for a support a
// triangle 0.22 size high with a base of 0.16 size. Throws CadError when the drawing refuses.
void DrawSymbol(cad::AcadDocument& document, const cad::Point3& point, float size, std::int16_t direction,
                const QString& layer, bool isLoad);

// The same routines on the program-wide model, settings and working drawing, as the wizard
// window calls them. With no working drawing they fail as on a lost link.
void DrawNodes(bool regenerate);
void DrawElements(bool regenerate);
void DrawBlocks(bool regenerate);
void DrawLoads(bool regenerate);
void ClearNodes();
void ClearBeams();
void ClearBlocks();
void ClearLoads();

} // namespace ardela
