// The connection to the drawing host: finding or starting it, the working drawing, closing,
// and the program layers with their colours and text style.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <QString>

#include "cad/AcadObjects.h"
#include "cad/ProgramProfile.h"

namespace ardela::cad {

class CadError;
class WizardForm;

// One program's connection state, kept for the wizard's whole life.
struct Connection {
    AcadApplicationPtr AcadApp;        // the host application, empty until ConnectAcad succeeds
    AcadDocumentPtr AttachDoc;         // the drawing reached while attaching
    AcadDocumentPtr AcadDoc;           // the working drawing of every pick and drawing
    std::uint64_t AcadWnd = 0;         // the host's main window, 0 when none was found
    std::int64_t AcadInstanceHandle = 0; // the host's process identity at the last attach
    bool AcadStarted = false;          // this program started the host (CloseAcad quits it)
    class WizardForm* WizardForm = nullptr;
    // Who the program is: title, texts, layers and their draw routines.
    ProgramProfile Profile;

    // Where the running host is asked for, and the program started when none runs; empty means
    // the per-user well-known name and the `cadhost` beside this program.
    QString RunningSocketPath;
    QString HostProgram;
    // How long a started host may take to answer.
    int StartTimeoutMs = 30000;
    // The link watch has told the user that the host or the drawing went away (cleared by the
    // next ConnectAcad): routines that fail for that reason say nothing more.
    bool LinkLossReported = false;
    // References the link watch dropped, kept alive until the next ConnectAcad: a drawing or
    // picking routine still working on them (the watch runs wherever window messages run) must
    // not find them destroyed under it.
    std::vector<std::shared_ptr<void>> Retired;
};

// The program-wide connection.
Connection& CadConnection();

// True for a failure the link watch reports itself: the host or the drawing went away while
// the program was attached. The routine that met it shows no message of its own, so one
// failure gives one message.
bool ReportedByLinkWatch(const CadError& error);
// True when the working drawing is missing because the link watch reported it lost.
bool DrawingLostWithLink();

// A reference counts as a live application only while its host answers.
bool IsLiveApplication(const AcadApplicationPtr& application);

bool ConnectAcad(Connection& connection);
bool SetupDrawing(Connection& connection);
bool CloseAcad(Connection& connection);
void SetupLayers(Connection& connection);
bool ConnectAcad();
bool SetupDrawing();
bool CloseAcad();
void SetupLayers();

// The filter of the drawing dialogs.
inline const QString kDrawingFilter = QStringLiteral("Drawing  (*.dwg)|*.dwg|DXF (*.dxf)|*.dxf");

} // namespace ardela::cad
