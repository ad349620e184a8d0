// The connection routines ConnectAcad, SetupDrawing, CloseAcad and SetupLayers.
#include "cad/modHelpers.h"

#include <QCoreApplication>

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/CadProxy.h"
#include "cad/EraseLayers.h"
#include "cad/HostStart.h"
#include "cadlink/Wire.h"
#include "desktop/FileChooser.h"
#include "desktop/modMessage.h"
#include "cad/WizardForm.h"

namespace ardela::cad {

namespace {

QString TitleOf(const Connection& connection)
{
    return connection.Profile.title;
}

void ShowProgress(Connection& connection, const QString& text)
{
    if (connection.WizardForm)
        connection.WizardForm->ShowProgress(text);
    QCoreApplication::processEvents();
}

void UnloadProgress(Connection& connection)
{
    if (connection.WizardForm)
        connection.WizardForm->UnloadProgress();
}

QString RunningSocketPath(const Connection& connection)
{
    return connection.RunningSocketPath.isEmpty() ? WellKnownSocketPath() : connection.RunningSocketPath;
}

// Starts a host and waits until it answers: a second instance on a private name of ours, or
// one that takes the running name. nullptr when it never answers.
AcadApplicationPtr StartHost(const Connection& connection, bool secondInstance)
{
    HostLaunch launch;
    launch.program = connection.HostProgram;
    launch.timeoutMs = connection.StartTimeoutMs;
    if (!secondInstance)
        launch.socketPath = RunningSocketPath(connection);
    return cad::StartHost(launch);
}

// Asks whether to save the working drawing and saves it; false when the closing must stop.
bool AskAndSave(Connection& connection)
{
    AcadDocument& document = *connection.AcadDoc;
    bool saved = true;
    QString name;
    try {
        saved = document.Saved();
        name = document.Name();
    } catch (const CadError&) {
        return true;   // the drawing is out of reach: nothing left to save
    }
    if (saved)
        return true;
    const std::int16_t answer = ShowMessage(connection.Profile.texts.saveChangesTo + name + QStringLiteral("?"),
                                            MsgYesNoCancel + MsgExclamation, TitleOf(connection));
    if (answer == MsgResultCancel)
        return false;
    if (answer != MsgResultYes)
        return true;

    QString fullName;
    try {
        fullName = document.FullName();
    } catch (const CadError&) {
        return true;
    }
    try {
        if (fullName.isEmpty()) {
            FileDialogRequest request;
            request.extension = QStringLiteral("dwg");
            request.filter = kDrawingFilter;
            request.filterIndex = 0;
            const std::optional<FileDialogChoice> choice = ShowFileDialog(FileDialogMode::Save, request);
            if (!choice)
                return false;
            document.SaveAs(choice->fileName);
        } else {
            document.Save();
        }
    } catch (const CadError& error) {
        if (error.Code() == kDisconnected)
            return true;
        // Closing now would throw away the engineer's drawing: say why and keep it open.
        ShowMessage(connection.Profile.texts.saveFailure + kCrLf + error.Text(),
                    MsgOkOnly + MsgCritical, TitleOf(connection));
        return false;
    }
    return true;
}

// The connected application; a call on none fails as on a host that went away.
AcadApplication& Application(const Connection& connection)
{
    if (!connection.AcadApp)
        throw CadError(kDisconnected, QStringLiteral("The drawing host is not connected."));
    return *connection.AcadApp;
}

void CloseWorkingDrawing(Connection& connection)
{
    try {
        connection.AcadDoc->Close();
    } catch (const CadError&) {
    }
    connection.AcadDoc.reset();
}

} // namespace

Connection& CadConnection()
{
    static Connection connection;
    return connection;
}

bool ReportedByLinkWatch(const CadError& error)
{
    const Connection& connection = CadConnection();
    return error.Code() == kDisconnected && (connection.AcadApp != nullptr || connection.LinkLossReported);
}

bool DrawingLostWithLink()
{
    return !CadConnection().AcadDoc && CadConnection().LinkLossReported;
}

bool IsLiveApplication(const AcadApplicationPtr& application)
{
    return application && application->IsLive();
}

bool ConnectAcad(Connection& connection)
{
    const ConnectionTexts& texts = connection.Profile.texts;
    SetPendingCallMessage(TitleOf(connection), PendingCallText(TitleOf(connection)));
    connection.LinkLossReported = false;
    connection.Retired.clear();
    connection.AcadApp = ConnectApplication(RunningSocketPath(connection), 2000);

    bool attach = false;
    bool secondInstance = false;
    if (IsLiveApplication(connection.AcadApp)) {
        if (connection.AcadInstanceHandle != 0) {
            attach = true;
        } else if (ShowMessage(texts.attachQuestion, MsgYesNo + MsgQuestion, TitleOf(connection)) == MsgResultYes) {
            ShowProgress(connection, texts.connecting);
            attach = true;
        } else {
            secondInstance = true;
        }
    }

    if (!attach) {
        ShowProgress(connection, texts.starting);
        connection.AcadApp = StartHost(connection, secondInstance);
        if (!connection.AcadApp) {
            UnloadProgress(connection);
            ShowMessage(texts.startFailure, MsgOkOnly + MsgCritical, TitleOf(connection));
            connection.AcadStarted = false;
            return false;
        }
        connection.AcadStarted = true;
        try {
            connection.AcadApp->SetVisible(true);
        } catch (const CadError&) {
        }
    }

    connection.AttachDoc.reset();
    try {
        connection.AttachDoc = connection.AcadApp->ActiveDocument();
    } catch (const CadError&) {
        try {
            connection.AttachDoc = connection.AcadApp->Documents()->Add();
        } catch (const CadError&) {
        }
    }
    if (!connection.AttachDoc) {
        connection.AcadWnd = 0;
        return false;
    }
    try {
        connection.AcadWnd = connection.AcadApp->RootWindow(connection.AttachDoc->hWnd());
        connection.AcadInstanceHandle = connection.AcadApp->ProcessId();
    } catch (const CadError&) {
        connection.AcadWnd = 0;
    }
    return connection.AcadWnd != 0;
}

bool SetupDrawing(Connection& connection)
{
    connection.AttachDoc.reset();
    WizardForm* form = connection.WizardForm;
    if (!form)
        return true;
    const QString title = TitleOf(connection);
    const ConnectionTexts& texts = connection.Profile.texts;

    if (form->optStart(0)) {
        ShowProgress(connection, texts.settingUp);
        try {
            connection.AcadDoc = Application(connection).ActiveDocument();
        } catch (const CadError&) {
            UnloadProgress(connection);
            ShowMessage(texts.currentFailure, MsgOkOnly + MsgCritical, title);
            return false;
        }
    } else if (form->optStart(1)) {
        ShowProgress(connection, texts.settingUpNew);
        try {
            connection.AcadDoc = Application(connection).Documents()->Add();
        } catch (const CadError&) {
            UnloadProgress(connection);
            ShowMessage(texts.newFailure, MsgOkOnly + MsgCritical, title);
            return false;
        }
    } else if (form->optStart(2)) {
        FileDialogRequest request;
        request.filter = kDrawingFilter;
        request.filterIndex = 0;
        const std::optional<FileDialogChoice> choice = ShowFileDialog(FileDialogMode::Open, request);
        if (!choice)
            return false;
        ShowProgress(connection, texts.settingUp);
        try {
            connection.AcadDoc = Application(connection).Documents()->Open(choice->fileName);
        } catch (const CadError&) {
            UnloadProgress(connection);
            ShowMessage(texts.openFailure, MsgOkOnly + MsgCritical, title);
            return false;
        }
    } else {
        return true;
    }
    if (connection.AcadDoc)
        SetupLayers(connection);
    return true;
}

bool CloseAcad(Connection& connection)
{
    if (connection.WizardForm && connection.WizardForm->IsDirty()) {
        const std::int16_t answer = ShowMessage(connection.Profile.texts.closeUnsaved, MsgOkCancel + MsgExclamation,
                                                TitleOf(connection));
        if (answer != MsgResultOk)
            return false;
    }
    if (connection.AcadStarted) {
        if (connection.AcadDoc) {
            if (!AskAndSave(connection))
                return false;
            CloseWorkingDrawing(connection);
        }
        if (connection.AcadApp) {
            try {
                connection.AcadApp->Quit();
            } catch (const CadError&) {
            }
            connection.AcadApp.reset();
        }
        return true;
    }
    if (!connection.AcadDoc)
        return true;
    if (!AskAndSave(connection))
        return false;
    CloseWorkingDrawing(connection);
    return true;
}

void SetupLayers(Connection& connection)
{
    if (!connection.AcadDoc)
        return;
    AcadDocument& document = *connection.AcadDoc;
    const ProgramLayerSet& programLayers = connection.Profile.layers;
    const auto isProgramLayer = [&](const QString& name) {
        for (const LayerSpec& layer : programLayers)
            if (layer.name == name)
                return true;
        return false;
    };

    // Until one of the program's layers is met, a failure ends the routine.
    bool met = false;
    QStringList found;
    try {
        std::shared_ptr<AcadLayers> layers = document.Layers();
        document.SetActiveLayer(layers->Item(QStringLiteral("0")));
        const std::int32_t count = layers->Count();
        for (std::int32_t i = 0; i < count; ++i) {
            QString name;
            try {
                name = layers->Item(i)->Name();
            } catch (const CadError&) {
                if (!met)
                    throw;
                continue;
            }
            if (!isProgramLayer(name))
                continue;
            met = true;
            found << name;
            EraseLayers(document, {name}, EraseFailure::ReplaceLeftover);
        }
    } catch (const CadError&) {
        if (!met)
            return;
    }

    for (const QString& name : found) {
        try {
            document.Layers()->Item(name)->Delete();
        } catch (const CadError&) {
        }
    }

    try {
        QString typeface;
        bool bold = false;
        bool italic = false;
        std::int32_t charset = 0;
        std::int32_t pitchAndFamily = 0;
        std::shared_ptr<AcadTextStyle> style = document.ActiveTextStyle();
        style->GetFont(typeface, bold, italic, charset, pitchAndFamily);
        style->SetFont(QStringLiteral("Arial"), bold, italic, charset, pitchAndFamily);
    } catch (const CadError&) {
    }

    const SettingsArray& settings = Settings();
    for (std::size_t i = 0; i < 4; ++i) {
        const LayerSpec& programLayer = programLayers[i];
        try {
            AcadLayerPtr layer = document.Layers()->Add(programLayer.name);
            // The colour is stored as the text the settings store holds; the layer takes its number.
            bool isNumber = false;
            const int color = settings[programLayer.colorKey].ToText().trimmed().toInt(&isNumber);
            if (!isNumber)
                throw CadError(kInvalidArgument, QStringLiteral("Not a colour number."));
            layer->SetColor(color);
        } catch (const CadError&) {
        }
        if (connection.Profile.drawModelLayer[i])
            connection.Profile.drawModelLayer[i](false);
    }

    try {
        document.Regen(0);
    } catch (const CadError&) {
    }
    QCoreApplication::processEvents();
}

bool ConnectAcad()
{
    return ConnectAcad(CadConnection());
}

bool SetupDrawing()
{
    return SetupDrawing(CadConnection());
}

bool CloseAcad()
{
    return CloseAcad(CadConnection());
}

void SetupLayers()
{
    SetupLayers(CadConnection());
}

} // namespace ardela::cad
