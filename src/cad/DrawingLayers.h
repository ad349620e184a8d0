// What every drawing routine of both programs does around its entities: reach the working
// drawing, make its layer ready and current, load a line type it lacks, and finish.
#pragma once

#include <QString>

#include "cad/AcadObjects.h"

namespace ardela::cad {

// The program's working drawing; with none, fails as a lost link does (kDisconnected).
AcadDocument& WorkingDrawing();
// Runs `clear` on the working drawing when there is one.
void OnWorkingDrawing(void (*clear)(AcadDocument&));

// Switches the layer on, thaws and unlocks it where needed, and makes it current.
void PrepareLayer(AcadDocument& document, const QString& name);

// Loads the line type `name` from "acad.lin" unless the drawing has it (in any letter case).
void EnsureLineType(AcadDocument& document, const QString& name);

// The one message of a drawing that failed: "There was an error drawing data." and the advice
// to revise the input.
QString DrawingFailureMessage();

// Regenerates the active viewport when asked and lets pending window messages run.
void FinishDrawing(AcadDocument& document, bool regenerate);

} // namespace ardela::cad
