// Erasing everything on program layers through the temporary selection set "tempss".
#pragma once

#include <QStringList>

#include "cad/AcadObjects.h"

namespace ardela::cad {

// What an erase does when the drawing host refuses a step.
enum class EraseFailure {
    Ignore,  // the routine goes on as if the erase had finished
    Throw,   // the failure reaches the caller
};

// Creates "tempss" (deleting a set of that name left over by an earlier failure first), selects
// every entity on any of `layers` (mode 5, filter on code 8), erases them and deletes the set.
// The set is deleted even when the selection or the erase fails, so that one failure does not
// block every later erase.
void EraseLayers(AcadDocument& document, const QStringList& layers, EraseFailure onFailure);

} // namespace ardela::cad
