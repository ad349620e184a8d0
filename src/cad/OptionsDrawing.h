// What the Options dialog's OK does to the working drawing: every text takes the text height,
// the program layers of both programs take their colours, the program redraws what depends on
// the changed options (its rules are in its own profile), and the drawing is regenerated.
#pragma once

#include <functional>

#include <QString>

#include "cad/AcadObjects.h"
#include "desktop/OptionsChanges.h"
#include "desktop/Settings.h"

namespace ardela::cad {

// The program's own redraw after the texts and layers are done (its draw routines through the
// link); a failure of the host reaches the caller as CadError.
using OptionsRedraw = std::function<void(const OptionsChanges&)>;

// The message shown when the drawing could not be brought up to date; the options stay taken over.
struct OptionsDrawingTexts {
    QString linkLost = QStringLiteral(
        "The options have been changed, but the drawing could not be updated: the link with AutoCAD is lost.");
    QString failed = QStringLiteral("The options have been changed, but the drawing could not be updated: ");
};

// Sets the Height of every TEXT entity of the drawing through the selection set "tempss" (a set of
// that name left over is replaced). Throws CadError.
void ResizeTexts(AcadDocument& document, double height);

// Gives every layer named like one of the twelve program layers of either program the colour of
// its key in `settings`. A key whose value is no colour from 1 to 255 leaves its layers as they
// are. Throws CadError.
void RecolorProgramLayers(AcadDocument& document, const SettingsArray& settings);

// The whole update after OK, in order: resize the texts, recolour the layers, `redraw`, Regen(0).
// Does nothing without a drawing. The first failure ends the update and is shown once through
// ShowMessage (critical, under `title`); returns whether the drawing was brought up to date.
bool ApplyOptionsToDrawing(const AcadDocumentPtr& document, const OptionsChanges& changes,
                           const OptionsRedraw& redraw, const QString& title,
                           const SettingsArray& settings = Settings(),
                           const OptionsDrawingTexts& texts = OptionsDrawingTexts());

} // namespace ardela::cad
