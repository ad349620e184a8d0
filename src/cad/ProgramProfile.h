// Who the program is, as the connection routines need to know it: its title, the texts of
// ConnectAcad, SetupDrawing and CloseAcad in its language, its layers and what draws each.
#pragma once

#include <array>
#include <functional>

#include <QString>

#include "cad/ProgramLayers.h"

namespace ardela::cad {

// The texts of the connection routines; the defaults are the English set.
struct ConnectionTexts {
    // ConnectAcad
    QString starting = QStringLiteral("Please wait. Starting AutoCAD application...");
    QString startFailure = QStringLiteral("Could not start AutoCAD. Please reinstall AutoCAD and retry.");
    QString attachQuestion = QStringLiteral("There is an instance of AutoCAD running. Do you want to use the current instance?");
    QString connecting = QStringLiteral("Please wait. Connecting to AutoCAD application...");
    // SetupDrawing
    QString settingUp = QStringLiteral("Please wait. Setting up AutoCAD drawing...");
    QString settingUpNew = QStringLiteral("Please wait. Stting up AutoCAD drawing...");
    QString currentFailure = QStringLiteral("Could not connect to the current drawing. Check AutoCAD and retry.");
    QString newFailure = QStringLiteral("Could not create a new drawing. Check AutoCAD and retry.");
    QString openFailure = QStringLiteral("Could not open the drawing. Check AutoCAD and retry.");
    // CloseAcad
    QString closeUnsaved = QStringLiteral("The application will close and the analysis was not saved to a file. Do you want to close?");
    QString saveChangesTo = QStringLiteral("The drawing has not been saved. Save changes to ");
    QString saveFailure = QStringLiteral("Could not save the drawing. Check AutoCAD and retry.");
};

struct ProgramProfile {
    QString title;  // message captions and the pending-call message
    ConnectionTexts texts;
    ProgramLayerSet layers{};
    // The routine drawing each of the four model layers (called with false by SetupLayers).
    std::array<std::function<void(bool)>, 4> drawModelLayer;
};

} // namespace ardela::cad
