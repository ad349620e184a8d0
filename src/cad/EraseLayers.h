// Erasing everything on program layers through the temporary selection set "tempss".
#pragma once

#include <QStringList>

#include "cad/AcadObjects.h"

namespace ardela::cad {

// What an erase does when the drawing host refuses a step. A set named "tempss" left over by an
// earlier failure makes creating the set fail.
enum class EraseFailure {
    Ignore,           // failures are dropped; a leftover set is deleted and nothing is erased
    ReplaceLeftover,  // failures are dropped; a leftover set is replaced and the erase goes on
    Throw,            // the first failure reaches the caller
};

// Creates "tempss", selects every entity on any of `layers` (mode 5, filter on code 8), erases
// them and deletes the set. A set this routine created is deleted even when the selection or the
// erase fails, so that one failure does not block every later erase.
void EraseLayers(AcadDocument& document, const QStringList& layers, EraseFailure onFailure);

} // namespace ardela::cad
