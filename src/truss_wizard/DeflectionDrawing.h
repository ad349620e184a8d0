// The solved truss read at a glance: its deflected shape on Korrin_Deformed and the support
// reactions as arrows on Korrin_Reactions, drawn with the bar forces and cleared with them.
#pragma once

#include <array>
#include <vector>

#include <QString>
#include <QStringList>

#include "cad/AcadObjects.h"
#include "desktop/Settings.h"

namespace ardela {

struct TrussModel;

inline const QString kDeformedLayer = QStringLiteral("Korrin_Deformed");
inline const QString kReactionsLayer = QStringLiteral("Korrin_Reactions");

// The colours of the two layers live in the settings store only, under keys of their own, so
// that the analysis files keep their layout; defaults are colour indexes 3 (green) and 30.
inline const QString kDeformedColourKey = QStringLiteral("LayerDeformed");
inline const QString kReactionsColourKey = QStringLiteral("LayerReactions");
inline constexpr int kDeformedColourDefault = 3;
inline constexpr int kReactionsColourDefault = 30;

// The colour index of each layer as the store holds it (its default when missing or not a
// colour index from 1 to 255).
int DeformedLayerColour();
int ReactionsLayerColour();

// The displaced nodes of a solved model: node n (1-based) moved by `scale` times its
// displacement, in drawing axes (the solver's vertical entries are positive downward).
struct DeformedShape {
    double scale = 1.0;     // drawing units per unit of displacement
    double largest = 0.0;   // the largest node displacement (vector length), model units
    double size = 0.0;      // the larger side of the box around the nodes
    std::vector<std::array<double, 2>> nodes;  // index 0 unused
};

// The scale makes the largest displacement a twentieth of the truss's size (the larger side of
// the box around its nodes); a truss that does not move keeps the scale 1. Throws ModelError on
// a cell that is not a number.
DeformedShape ComputeDeformedShape(const TrussModel& model);

// The text written beside the deflected shape: "Deformed shape, displacements x 123.4" (four
// significant digits, the locale's decimal separator), or "Deformed shape: no displacement".
QString DeformedScaleText(const DeformedShape& shape);

// One reaction arrow: the support's node, the reaction along the drawing's axes (daN), and the
// arrow from its tail to its head on the node, pointing the way the support pushes.
struct ReactionArrow {
    int node = 0;
    double rx = 0.0;
    double ry = 0.0;
    double magnitude = 0.0;
    cad::Point3 tail{};
    cad::Point3 head{};
};

// One arrow per supported node (the first support row naming it), four text heights long;
// a reaction that rounds to 0.000 daN gets no arrow (tail = head). Throws ModelError on a cell
// that is not a number or a node outside the table.
std::vector<ReactionArrow> ComputeReactionArrows(const TrussModel& model, double textHeight);

// The label of a reaction: its magnitude to three decimals and "daN" ("1234.568 daN").
QString ReactionText(const ReactionArrow& arrow);

// Prepares the two layers (their colours from the store, or colour 7 in black and white with the
// deflected shape in the PHANTOM line type) and draws the deflected shape with its scale and the
// reaction arrows with their values, at the drawing options' text height. Throws CadError or
// ModelError on the first failure.
void DrawDeflectionAndReactions(const TrussModel& model, const SettingsArray& settings, cad::AcadDocument& document);

// The layers of the bar forces and of the two drawings above, all cleared together.
QStringList AllResultLayers();

} // namespace ardela
