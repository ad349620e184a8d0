// Guards the connection routines against: asking the attach question when it must not (or not
// asking it), quitting a host the engineer started, leaving a started host running, failing when
// the host has no drawing open, wiping layers or entities that are not the program's, keeping
// old results, and closing (and so losing) a drawing that was not saved.
#include <deque>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "cad/CadProxy.h"
#include "cadlink/Wire.h"
#include "desktop/FileChooser.h"
#include "support/HostProcess.h"
#include "cad/modForeWindow.h"
#include "cad/modHelpers.h"
#include "desktop/modMessage.h"
#include "desktop/Settings.h"
#include "support/TestSupport.h"
#include "cad/WizardForm.h"

using namespace ardela::cad;
using ardela::test::HostProcess;
using ardela::test::ProcessAlive;
using ardela::test::WaitForProcessEnd;

namespace {

// The wizard as the routines see it; its draw routines put one point on their own layer, so a
// test sees that each ran after its layer was made.
class FakeWizard : public WizardForm {
public:
    bool IsDirty() const override { return dirty; }
    bool optStart(int index) const override { return index == start; }
    void ShowProgress(const QString& text) override { progress << text; }
    void UnloadProgress() override { progress << QStringLiteral("(unloaded)"); }

    bool dirty = false;
    int start = 0;
    QStringList progress;
};

// The profile a program hands to the connection: Korrin's texts are the English defaults,
// Vendel's start-up texts are Romanian. Each draw routine records its call and puts one point
// on its own layer, so a test sees that each ran after its layer was made.
ProgramProfile TestProfile(const QString& title, Connection& connection, QStringList& drawn)
{
    static const QStringList korrinRoutines{"DrawNodes", "DrawElements", "DrawBlocks", "DrawLoads"};
    static const QStringList vendelRoutines{"DrawGrid", "DrawDomains", "DrawLines", "DrawLoads"};
    const bool vendel = title == QLatin1String("Vendel");
    ProgramProfile profile;
    profile.title = title;
    profile.layers = vendel ? VendelLayers() : KorrinLayers();
    if (vendel) {
        profile.texts.starting = QStringLiteral("Va rugam asteptati. Se porneste aplicatia AutoCAD...");
        profile.texts.startFailure = QStringLiteral(
            "Nu am putut porni aplicatia AutoCAD. Va rugam reinstalati aplicatia AutoCAD si reincercati.");
        profile.texts.attachQuestion = QStringLiteral(
            "A fost gasita o aplicatie AutoCAD care ruleaza. Vreti sa va conectati la aplicatia curenta?");
        profile.texts.connecting = QStringLiteral("Va rugam asteptati. Se conecteaza aplicatia AutoCAD curenta...");
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const QString routine = (vendel ? vendelRoutines : korrinRoutines)[qsizetype(i)];
        const QString layer = profile.layers[i].name;
        profile.drawModelLayer[i] = [&connection, &drawn, routine, layer](bool argument) {
            drawn << routine + (argument ? QStringLiteral("(true)") : QStringLiteral("(false)"));
            AcadDocument& doc = *connection.AcadDoc;
            doc.SetActiveLayer(doc.Layers()->Item(layer));
            doc.ModelSpace()->AddPoint({double(drawn.size()), 0, 0});
            doc.SetActiveLayer(doc.Layers()->Item(QStringLiteral("0")));
        };
    }
    return profile;
}

struct Shown {
    QString prompt;
    std::int16_t style;
    QString title;
};

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runtime.isValid());
        m_previousMessages = ardela::SetMessageHandler([this](const QString& prompt, std::int16_t style, const QString& title) {
            m_shown.push_back({prompt, style, title});
            if (m_answers.empty())
                return std::int16_t(ardela::MsgResultCancel);
            const std::int16_t answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        });
        m_previousDialogs = ardela::SetFileDialogHandler(
            [this](ardela::FileDialogMode mode, const ardela::FileDialogRequest& request) -> std::optional<ardela::FileDialogChoice> {
                m_dialogs.push_back(request);
                m_dialogModes.push_back(mode);
                if (m_dialogAnswer.isEmpty())
                    return std::nullopt;
                return ardela::ChoiceForPath(m_dialogAnswer);
            });
        m_connection.HostProgram = ardela::test::HostProgramPath();
        m_connection.WizardForm = &m_wizard;
        UseProgram(QStringLiteral("Korrin"));
        ardela::Settings() = ardela::DefaultSettings();
    }

    void TearDown() override
    {
        ardela::SetMessageHandler(m_previousMessages);
        ardela::SetFileDialogHandler(m_previousDialogs);
        // Hosts the routines started end with the test.
        for (qint64 pid : m_startedPids)
            if (ProcessAlive(pid))
                ::kill(pid_t(pid), SIGKILL);
    }

    // The engineer's own host, holding the running name.
    void StartRunningHost()
    {
        ASSERT_TRUE(m_running.Start(WellKnownSocketPath(), {}));
    }

    // Connects with `answer` to the attach question, remembering a host the routine started.
    bool Connect(std::int16_t answer = ardela::MsgResultYes)
    {
        m_answers.push_back(answer);
        const bool connected = ConnectAcad(m_connection);
        m_answers.clear();
        if (m_connection.AcadApp && m_connection.AcadStarted)
            m_startedPids.push_back(m_connection.AcadApp->ProcessId());
        return connected;
    }

    bool AskedAttachQuestion() const
    {
        for (const Shown& shown : m_shown)
            if (shown.prompt == QLatin1String("There is an instance of AutoCAD running. Do you want to use the current instance?"))
                return shown.style == 36 && shown.title == QLatin1String("Korrin");
        return false;
    }

    // The names of the drawing's layers, and how many entities each holds.
    std::map<QString, int> LayerContents(AcadDocument& doc)
    {
        std::map<QString, int> contents;
        std::shared_ptr<AcadLayers> layers = doc.Layers();
        for (std::int32_t i = 0; i < layers->Count(); ++i)
            contents[layers->Item(i)->Name()] = 0;
        AcadSelectionSetPtr set = doc.SelectionSets()->Add(QStringLiteral("census"));
        set->Select(5, std::nullopt, std::nullopt, {}, {});
        for (std::int32_t i = 0; i < set->count(); ++i)
            ++contents[set->Item(i)->Layer()];
        set->Delete();
        return contents;
    }

    QTemporaryDir m_runtime;
    ardela::test::ScopedEnv m_env{"XDG_RUNTIME_DIR", m_runtime.path().toUtf8()};
    void UseProgram(const QString& title) { m_connection.Profile = TestProfile(title, m_connection, m_drawn); }

    Connection m_connection;
    FakeWizard m_wizard;
    QStringList m_drawn;
    HostProcess m_running;
    std::vector<qint64> m_startedPids;
    std::vector<Shown> m_shown;
    std::deque<std::int16_t> m_answers;
    std::vector<ardela::FileDialogRequest> m_dialogs;
    std::vector<ardela::FileDialogMode> m_dialogModes;
    QString m_dialogAnswer;
    ardela::MessageHandler m_previousMessages;
    ardela::FileDialogHandler m_previousDialogs;
};

} // namespace

TEST_F(ConnectionTest, AttachYesUsesTheRunningHostAndClosingLeavesItRunning)
{
    StartRunningHost();
    ASSERT_TRUE(Connect(ardela::MsgResultYes));
    EXPECT_TRUE(AskedAttachQuestion());
    EXPECT_FALSE(m_connection.AcadStarted);
    EXPECT_EQ(m_connection.AcadInstanceHandle, m_running.Pid());
    EXPECT_NE(m_connection.AcadWnd, 0u);
    EXPECT_EQ(m_wizard.progress, QStringList{QStringLiteral("Please wait. Connecting to AutoCAD application...")});

    // Attaching again after a lost link does not ask again.
    m_shown.clear();
    ASSERT_TRUE(Connect(ardela::MsgResultNo));
    EXPECT_TRUE(m_shown.empty());
    EXPECT_FALSE(m_connection.AcadStarted);

    m_wizard.start = 1;
    ASSERT_TRUE(SetupDrawing(m_connection));
    const QString working = m_connection.AcadDoc->Name();
    m_connection.AcadDoc->Regen(0);
    m_answers.push_back(ardela::MsgResultNo);
    EXPECT_TRUE(CloseAcad(m_connection));
    EXPECT_FALSE(m_connection.AcadDoc);

    AcadApplicationPtr own = ConnectApplication(WellKnownSocketPath(), 5000);
    ASSERT_TRUE(own);
    EXPECT_TRUE(m_running.IsRunning());
    const std::shared_ptr<AcadDocuments> documents = own->Documents();
    ASSERT_EQ(documents->Count(), 1);
    EXPECT_NE(documents->Item(0)->Name(), working);
}

TEST_F(ConnectionTest, AttachNoStartsASecondHostThatCloseAcadQuits)
{
    StartRunningHost();
    ASSERT_TRUE(Connect(ardela::MsgResultNo));
    EXPECT_TRUE(AskedAttachQuestion());
    EXPECT_TRUE(m_connection.AcadStarted);
    const qint64 second = m_connection.AcadInstanceHandle;
    EXPECT_NE(second, m_running.Pid());
    EXPECT_TRUE(m_connection.AcadApp->Visible());
    EXPECT_EQ(m_wizard.progress, QStringList{QStringLiteral("Please wait. Starting AutoCAD application...")});

    // The running name stays with the engineer's host.
    EXPECT_EQ(ConnectApplication(WellKnownSocketPath(), 5000)->ProcessId(), m_running.Pid());

    m_wizard.start = 0;
    ASSERT_TRUE(SetupDrawing(m_connection));
    m_answers = {ardela::MsgResultNo};
    EXPECT_TRUE(CloseAcad(m_connection));
    EXPECT_FALSE(m_connection.AcadApp);
    EXPECT_TRUE(WaitForProcessEnd(second, 10000));
    EXPECT_TRUE(m_running.IsRunning());
}

TEST_F(ConnectionTest, NoHostRunningStartsOneWithoutAsking)
{
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(AskedAttachQuestion());
    EXPECT_TRUE(m_connection.AcadStarted);
    EXPECT_NE(m_connection.AcadWnd, 0u);
    EXPECT_EQ(m_connection.AttachDoc->Name(), QStringLiteral("Drawing1.dxf"));
    // The started host took the running name: a later attach finds it.
    EXPECT_EQ(ConnectApplication(WellKnownSocketPath(), 5000)->ProcessId(), m_connection.AcadInstanceHandle);
}

TEST_F(ConnectionTest, HostThatCannotStartGivesTheStartFailure)
{
    m_connection.HostProgram = m_runtime.filePath(QStringLiteral("no-such-host"));
    UseProgram(QStringLiteral("Vendel"));
    EXPECT_FALSE(Connect());
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].prompt, QStringLiteral("Nu am putut porni aplicatia AutoCAD. Va rugam reinstalati aplicatia AutoCAD si reincercati."));
    EXPECT_EQ(m_shown[0].style, 16);
    EXPECT_FALSE(m_connection.AcadStarted);
    EXPECT_EQ(m_wizard.progress, (QStringList{QStringLiteral("Va rugam asteptati. Se porneste aplicatia AutoCAD..."),
                                              QStringLiteral("(unloaded)")}));
}

TEST_F(ConnectionTest, HostWithNoDrawingOpenGetsANewOne)
{
    StartRunningHost();
    {
        AcadApplicationPtr own = ConnectApplication(WellKnownSocketPath(), 5000);
        own->ActiveDocument()->Close();
        ASSERT_EQ(own->Documents()->Count(), 0);
    }
    ASSERT_TRUE(Connect(ardela::MsgResultYes));
    ASSERT_TRUE(m_connection.AttachDoc);
    EXPECT_EQ(m_connection.AttachDoc->Name(), QStringLiteral("Drawing2.dxf"));
    EXPECT_EQ(m_connection.AcadApp->Documents()->Count(), 1);
    EXPECT_NE(m_connection.AcadWnd, 0u);
}

TEST_F(ConnectionTest, FreshDrawingGetsTheFourModelLayersDrawnInOrder)
{
    ASSERT_TRUE(Connect());
    m_wizard.start = 1;
    ASSERT_TRUE(SetupDrawing(m_connection));
    EXPECT_FALSE(m_connection.AttachDoc);
    AcadDocument& doc = *m_connection.AcadDoc;
    EXPECT_EQ(doc.Name(), QStringLiteral("Drawing2.dxf"));
    EXPECT_EQ(m_wizard.progress.last(), QStringLiteral("Please wait. Stting up AutoCAD drawing..."));

    EXPECT_EQ(m_drawn, (QStringList{"DrawNodes(false)", "DrawElements(false)", "DrawBlocks(false)", "DrawLoads(false)"}));
    const std::map<QString, int> expected{{"0", 0}, {"Korrin_Nodes", 1}, {"Korrin_Beams", 1}, {"Korrin_Blocks", 1}, {"Korrin_Loads", 1}};
    EXPECT_EQ(LayerContents(doc), expected);
    // Default colours: 2 yellow, 6 magenta, 40, 200.
    EXPECT_EQ(doc.Layers()->Item(QStringLiteral("Korrin_Nodes"))->Color(), 2);
    EXPECT_EQ(doc.Layers()->Item(QStringLiteral("Korrin_Beams"))->Color(), 6);
    EXPECT_EQ(doc.Layers()->Item(QStringLiteral("Korrin_Blocks"))->Color(), 40);
    EXPECT_EQ(doc.Layers()->Item(QStringLiteral("Korrin_Loads"))->Color(), 200);
    EXPECT_EQ(doc.ActiveLayer()->Name(), QStringLiteral("0"));

    QString typeface;
    bool bold = false;
    bool italic = false;
    std::int32_t charset = 0;
    std::int32_t pitch = 0;
    doc.ActiveTextStyle()->GetFont(typeface, bold, italic, charset, pitch);
    EXPECT_EQ(typeface, QStringLiteral("Arial"));
}

TEST_F(ConnectionTest, OldProgramLayersAreWipedAndOnlyTheModelLayersComeBack)
{
    StartRunningHost();
    {
        // The engineer's drawing: an earlier run's model and results, own layers, a layer named
        // like a result layer in other letters, a program layer current, a stray "tempss".
        AcadApplicationPtr own = ConnectApplication(WellKnownSocketPath(), 5000);
        AcadDocumentPtr doc = own->ActiveDocument();
        std::shared_ptr<AcadLayers> layers = doc->Layers();
        std::shared_ptr<AcadModelSpace> space = doc->ModelSpace();
        const auto drawOn = [&](const QString& layer, int count) {
            doc->SetActiveLayer(layers->Add(layer));
            for (int i = 0; i < count; ++i)
                space->AddLine({double(i), 0, 0}, {double(i), 1, 0});
        };
        drawOn(QStringLiteral("Korrin_Nodes"), 3);
        drawOn(QStringLiteral("Korrin_Beams"), 2);
        drawOn(QStringLiteral("Korrin_Minus"), 4);
        drawOn(QStringLiteral("KORRIN_PLUS"), 2);
        drawOn(QStringLiteral("Vendel_Mesh"), 1);
        drawOn(QStringLiteral("Walls"), 5);
        layers->Item(QStringLiteral("Walls"))->SetColor(3);
        layers->Item(QStringLiteral("Korrin_Nodes"))->SetColor(9);
        doc->SetActiveLayer(layers->Item(QStringLiteral("Korrin_Nodes")));
        doc->SelectionSets()->Add(QStringLiteral("tempss"));
    }
    ASSERT_TRUE(Connect(ardela::MsgResultYes));
    m_wizard.start = 0;
    ASSERT_TRUE(SetupDrawing(m_connection));

    const std::map<QString, int> expected{{"0", 0},           {"Korrin_Nodes", 1}, {"Korrin_Beams", 1},
                                          {"Korrin_Blocks", 1}, {"Korrin_Loads", 1}, {"KORRIN_PLUS", 2},
                                          {"Vendel_Mesh", 1},  {"Walls", 5}};
    AcadDocument& doc = *m_connection.AcadDoc;
    EXPECT_EQ(LayerContents(doc), expected);
    EXPECT_EQ(doc.Layers()->Item(QStringLiteral("Walls"))->Color(), 3);
    EXPECT_EQ(doc.Layers()->Item(QStringLiteral("Korrin_Nodes"))->Color(), 2);
    EXPECT_EQ(doc.ActiveLayer()->Name(), QStringLiteral("0"));
    EXPECT_NO_THROW(doc.SelectionSets()->Add(QStringLiteral("tempss"))->Delete());
}

TEST_F(ConnectionTest, VendelLeavesKorrinLayersAlone)
{
    UseProgram(QStringLiteral("Vendel"));
    ASSERT_TRUE(Connect());
    AcadDocumentPtr doc = m_connection.AttachDoc;
    doc->SetActiveLayer(doc->Layers()->Add(QStringLiteral("Korrin_Nodes")));
    doc->ModelSpace()->AddPoint({1, 1, 0});
    m_wizard.start = 0;
    ASSERT_TRUE(SetupDrawing(m_connection));
    const std::map<QString, int> expected{{"0", 0}, {"Korrin_Nodes", 1}, {"Vendel_Mesh", 1},
                                          {"Vendel_Domains", 1}, {"Vendel_Lines", 1}, {"Vendel_Loads", 1}};
    EXPECT_EQ(LayerContents(*m_connection.AcadDoc), expected);
    EXPECT_EQ(m_connection.AcadDoc->Layers()->Item(QStringLiteral("Vendel_Loads"))->Color(), 200);
    EXPECT_EQ(m_drawn, (QStringList{"DrawGrid(false)", "DrawDomains(false)", "DrawLines(false)", "DrawLoads(false)"}));
}

TEST_F(ConnectionTest, OpeningADrawingUsesTheDialogAndACancelShowsNothing)
{
    ASSERT_TRUE(Connect());
    const AcadDocumentPtr first = m_connection.AttachDoc;
    m_wizard.start = 2;
    EXPECT_FALSE(SetupDrawing(m_connection));
    EXPECT_TRUE(m_shown.empty());
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogModes[0], ardela::FileDialogMode::Open);
    EXPECT_EQ(m_dialogs[0].filter, QStringLiteral("Drawing  (*.dwg)|*.dwg|DXF (*.dxf)|*.dxf"));

    m_dialogAnswer = m_runtime.filePath(QStringLiteral("absent.dxf"));
    EXPECT_FALSE(SetupDrawing(m_connection));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].prompt, QStringLiteral("Could not open the drawing. Check AutoCAD and retry."));
    EXPECT_EQ(m_shown[0].style, 16);

    // A drawing saved earlier opens and becomes the working drawing.
    const QString path = m_runtime.filePath(QStringLiteral("bridge.dxf"));
    first->ModelSpace()->AddLine({0, 0, 0}, {5, 5, 0});
    first->SaveAs(path);
    first->Close();
    m_dialogAnswer = path;
    ASSERT_TRUE(SetupDrawing(m_connection));
    EXPECT_EQ(m_connection.AcadDoc->Name(), QStringLiteral("bridge.dxf"));
    EXPECT_EQ(m_connection.AcadDoc->ModelSpace()->Count(), 5);
}

TEST_F(ConnectionTest, ClosingAnUnsavedNeverNamedDrawingAsksForANameAndCancelKeepsTheWizard)
{
    ASSERT_TRUE(Connect());
    m_wizard.start = 1;
    ASSERT_TRUE(SetupDrawing(m_connection));
    const qint64 host = m_connection.AcadInstanceHandle;

    m_answers = {ardela::MsgResultYes};
    EXPECT_FALSE(CloseAcad(m_connection));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].prompt, QStringLiteral("The drawing has not been saved. Save changes to Drawing2.dxf?"));
    EXPECT_EQ(m_shown[0].style, 51);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogModes[0], ardela::FileDialogMode::Save);
    EXPECT_EQ(m_dialogs[0].extension, QStringLiteral("dwg"));
    EXPECT_EQ(m_dialogs[0].filterIndex, 0);
    ASSERT_TRUE(m_connection.AcadDoc);
    EXPECT_EQ(m_connection.AcadDoc->Name(), QStringLiteral("Drawing2.dxf"));
    EXPECT_TRUE(ProcessAlive(host));

    // Cancel to the question keeps everything as well.
    m_answers = {ardela::MsgResultCancel};
    EXPECT_FALSE(CloseAcad(m_connection));
    EXPECT_TRUE(m_connection.AcadDoc);

    m_answers = {ardela::MsgResultYes};
    m_dialogAnswer = m_runtime.filePath(QStringLiteral("truss.dwg"));
    EXPECT_TRUE(CloseAcad(m_connection));
    EXPECT_TRUE(QFile::exists(m_runtime.filePath(QStringLiteral("truss.dxf"))));
    EXPECT_FALSE(m_connection.AcadDoc);
    EXPECT_FALSE(m_connection.AcadApp);
    EXPECT_TRUE(WaitForProcessEnd(host, 10000));
}

TEST_F(ConnectionTest, FailedSaveShowsWhyAndKeepsTheDrawingOpen)
{
    ASSERT_TRUE(Connect());
    m_wizard.start = 1;
    ASSERT_TRUE(SetupDrawing(m_connection));
    m_answers = {ardela::MsgResultYes};
    m_dialogAnswer = m_runtime.filePath(QStringLiteral("no/such/folder/truss.dxf"));
    EXPECT_FALSE(CloseAcad(m_connection));
    ASSERT_EQ(m_shown.size(), 2u);
    EXPECT_TRUE(m_shown[1].prompt.startsWith(QStringLiteral("Could not save the drawing.")));
    EXPECT_EQ(m_shown[1].style, 16);
    ASSERT_TRUE(m_connection.AcadDoc);
    EXPECT_FALSE(m_connection.AcadDoc->Saved());
    EXPECT_TRUE(m_connection.AcadApp);
}

TEST_F(ConnectionTest, NoLeavesTheDrawingUnsavedAndDirtyAnalysisAsksFirst)
{
    ASSERT_TRUE(Connect());
    m_wizard.start = 1;
    ASSERT_TRUE(SetupDrawing(m_connection));
    const qint64 host = m_connection.AcadInstanceHandle;

    m_wizard.dirty = true;
    m_answers = {ardela::MsgResultCancel};
    EXPECT_FALSE(CloseAcad(m_connection));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].prompt,
              QStringLiteral("The application will close and the analysis was not saved to a file. Do you want to close?"));
    EXPECT_EQ(m_shown[0].style, 49);

    m_answers = {ardela::MsgResultOk, ardela::MsgResultNo};
    EXPECT_TRUE(CloseAcad(m_connection));
    EXPECT_TRUE(m_dialogs.empty());
    EXPECT_TRUE(WaitForProcessEnd(host, 10000));
}

TEST_F(ConnectionTest, HostGoneBeforeClosingLetsTheWizardClose)
{
    ASSERT_TRUE(Connect());
    m_wizard.start = 1;
    ASSERT_TRUE(SetupDrawing(m_connection));
    ::kill(pid_t(m_connection.AcadInstanceHandle), SIGKILL);
    ASSERT_TRUE(WaitForProcessEnd(m_connection.AcadInstanceHandle, 10000));
    EXPECT_TRUE(CloseAcad(m_connection));
    EXPECT_TRUE(m_shown.empty());
}

TEST_F(ConnectionTest, BringToFrontReachesTheHostWindowThroughTheLink)
{
    ASSERT_TRUE(Connect());
    m_connection.AcadApp->SetVisible(false);
    ASSERT_FALSE(m_connection.AcadApp->Visible());
    BringToFront(m_connection.AcadWnd, m_connection);
    EXPECT_TRUE(m_connection.AcadApp->Visible());
}
