// The connection routines ConnectAcad, SetupDrawing, CloseAcad and SetupLayers.
#include "cad/modHelpers.h"

#include <csignal>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/CadProxy.h"
#include "cadlink/Wire.h"
#include "desktop/FileChooser.h"
#include "desktop/modMessage.h"
#include "cad/WizardForm.h"

namespace ardela::cad {

namespace {

// The texts of ConnectAcad, in the program's language.
struct ConnectTexts {
    QString starting;
    QString startFailure;
    QString attachQuestion;
    QString connecting;
};

ConnectTexts TextsFor(const QString& programTitle)
{
    if (programTitle == QLatin1String("Vendel"))
        return {QStringLiteral("Va rugam asteptati. Se porneste aplicatia AutoCAD..."),
                QStringLiteral("Nu am putut porni aplicatia AutoCAD. Va rugam reinstalati aplicatia AutoCAD si reincercati."),
                QStringLiteral("A fost gasita o aplicatie AutoCAD care ruleaza. Vreti sa va conectati la aplicatia curenta?"),
                QStringLiteral("Va rugam asteptati. Se conecteaza aplicatia AutoCAD curenta...")};
    return {QStringLiteral("Please wait. Starting AutoCAD application..."),
            QStringLiteral("Could not start AutoCAD. Please reinstall AutoCAD and retry."),
            QStringLiteral("There is an instance of AutoCAD running. Do you want to use the current instance?"),
            QStringLiteral("Please wait. Connecting to AutoCAD application...")};
}

QString TitleOf(const Connection& connection)
{
    return connection.WizardForm ? connection.WizardForm->ProgramTitle() : QString();
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

QString HostProgram(const Connection& connection)
{
    if (!connection.HostProgram.isEmpty())
        return connection.HostProgram;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/cadhost");
}

// True while the process runs (an ended one nobody has reaped yet reads 'Z' in its state).
bool ProcessRuns(qint64 pid)
{
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || close + 2 >= line.size() || line[close + 2] != 'Z';
}

// Starts a host and waits until it answers: a second instance on a private name of ours, or
// one that takes the running name. nullptr when it never answers.
AcadApplicationPtr StartHost(const Connection& connection, bool secondInstance)
{
    const QString program = HostProgram(connection);
    const QString socketPath = secondInstance ? PrivateSocketPath() : RunningSocketPath(connection);
    if (socketPath.isEmpty() || !QFileInfo(program).isExecutable())
        return nullptr;
    QStringList arguments;
    if (secondInstance)
        arguments << QStringLiteral("--second-instance") << QStringLiteral("--socket") << socketPath;
    else if (!connection.RunningSocketPath.isEmpty())
        arguments << QStringLiteral("--socket") << socketPath;
    // The host outlives this program; it keeps none of our input or output channels.
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        return nullptr;
    const QDeadlineTimer deadline(connection.StartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (AcadApplicationPtr application = ConnectApplication(socketPath, 200)) {
            try {
                // Only the host we started will do (not one that took the name meanwhile).
                if (application->ProcessId() == pid)
                    return application;
            } catch (const CadError&) {
            }
        }
        // A host that ended while starting will never answer.
        if (!ProcessRuns(pid))
            return nullptr;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    if (ProcessRuns(pid))
        ::kill(static_cast<pid_t>(pid), SIGTERM);
    return nullptr;
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
    const std::int16_t answer = ShowMessage(QStringLiteral("The drawing has not been saved. Save changes to ") + name
                                                + QStringLiteral("?"),
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
        ShowMessage(QStringLiteral("Could not save the drawing. Check AutoCAD and retry.") + kCrLf + error.Text(),
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

bool IsLiveApplication(const AcadApplicationPtr& application)
{
    return application && application->IsLive();
}

const std::array<ProgramLayer, 6>& ProgramLayers(const QString& programTitle)
{
    static const std::array<ProgramLayer, 6> korrin{{
        {QStringLiteral("Korrin_Nodes"), SetLayer1, QStringLiteral("DrawNodes")},
        {QStringLiteral("Korrin_Beams"), SetLayer2, QStringLiteral("DrawElements")},
        {QStringLiteral("Korrin_Blocks"), SetLayer8, QStringLiteral("DrawBlocks")},
        {QStringLiteral("Korrin_Loads"), SetLayer9, QStringLiteral("DrawLoads")},
        {QStringLiteral("Korrin_Plus"), SetLayer6, QString()},
        {QStringLiteral("Korrin_Minus"), SetLayer7, QString()},
    }};
    static const std::array<ProgramLayer, 6> vendel{{
        {QStringLiteral("Vendel_Mesh"), SetLayer3, QStringLiteral("DrawGrid")},
        {QStringLiteral("Vendel_Domains"), SetLayer4, QStringLiteral("DrawDomains")},
        {QStringLiteral("Vendel_Lines"), SetLayer5, QStringLiteral("DrawLines")},
        {QStringLiteral("Vendel_Loads"), SetLayer9, QStringLiteral("DrawLoads")},
        {QStringLiteral("Vendel_Plus"), SetLayer6, QString()},
        {QStringLiteral("Vendel_Minus"), SetLayer7, QString()},
    }};
    return programTitle == QLatin1String("Vendel") ? vendel : korrin;
}

bool ConnectAcad(Connection& connection)
{
    const ConnectTexts texts = TextsFor(TitleOf(connection));
    if (connection.WizardForm)
        SetPendingCallMessage(TitleOf(connection), PendingCallText(TitleOf(connection)));
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
    const QString title = form->ProgramTitle();
    const QString settingUp = QStringLiteral("Please wait. Setting up AutoCAD drawing...");

    if (form->optStart(0)) {
        ShowProgress(connection, settingUp);
        try {
            connection.AcadDoc = Application(connection).ActiveDocument();
        } catch (const CadError&) {
            UnloadProgress(connection);
            ShowMessage(QStringLiteral("Could not connect to the current drawing. Check AutoCAD and retry."),
                        MsgOkOnly + MsgCritical, title);
            return false;
        }
    } else if (form->optStart(1)) {
        ShowProgress(connection, QStringLiteral("Please wait. Stting up AutoCAD drawing..."));
        try {
            connection.AcadDoc = Application(connection).Documents()->Add();
        } catch (const CadError&) {
            UnloadProgress(connection);
            ShowMessage(QStringLiteral("Could not create a new drawing. Check AutoCAD and retry."),
                        MsgOkOnly + MsgCritical, title);
            return false;
        }
    } else if (form->optStart(2)) {
        FileDialogRequest request;
        request.filter = kDrawingFilter;
        request.filterIndex = 0;
        const std::optional<FileDialogChoice> choice = ShowFileDialog(FileDialogMode::Open, request);
        if (!choice)
            return false;
        ShowProgress(connection, settingUp);
        try {
            connection.AcadDoc = Application(connection).Documents()->Open(choice->fileName);
        } catch (const CadError&) {
            UnloadProgress(connection);
            ShowMessage(QStringLiteral("Could not open the drawing. Check AutoCAD and retry."),
                        MsgOkOnly + MsgCritical, title);
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
        const std::int16_t answer = ShowMessage(
            QStringLiteral("The application will close and the analysis was not saved to a file. Do you want to close?"),
            MsgOkCancel + MsgExclamation, TitleOf(connection));
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
    const QString title = TitleOf(connection);
    const std::array<ProgramLayer, 6>& programLayers = ProgramLayers(title);
    const auto isProgramLayer = [&](const QString& name) {
        for (const ProgramLayer& layer : programLayers)
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
        std::shared_ptr<AcadSelectionSets> sets;
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
            try {
                if (!sets)
                    sets = document.SelectionSets();
                AcadSelectionSetPtr set;
                try {
                    set = sets->Add(QStringLiteral("tempss"));
                } catch (const CadError&) {
                    sets->Item(QStringLiteral("tempss"))->Delete();
                    set = sets->Add(QStringLiteral("tempss"));
                }
                set->Select(5, std::nullopt, std::nullopt, {8}, {name});
                set->Erase();
                set->Delete();
            } catch (const CadError&) {
            }
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
        const ProgramLayer& programLayer = programLayers[i];
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
        if (connection.WizardForm)
            connection.WizardForm->CallDrawRoutine(programLayer.drawRoutine, false);
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
