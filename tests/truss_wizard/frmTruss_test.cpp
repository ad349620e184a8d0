// Guards the truss wizard as an engineer uses it, against a real drawing host: a truss entered by
// picking or by typing gives the batch tool's report, opened files come back on their steps, a
// lost link returns to the first step once, unstable and ill-conditioned trusses are said, and
// closing asks before anything is lost.
#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#include <deque>
#include <functional>

#include <QApplication>
#include <QCborArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/CadProxy.h"
#include "cadlink/Wire.h"
#include "cad/modHelpers.h"
#include "desktop/FileChooser.h"
#include "desktop/HelpWindow.h"
#include "desktop/frmOptions.h"
#include "desktop/modMessage.h"
#include "desktop/modResource.h"
#include "support/DrawingTestSupport.h"
#include "support/HostProcess.h"
#include "support/PointFeeder.h"
#include "support/TestSupport.h"
#include "support/WizardControls.h"
#include "support/WizardTest.h"
#include "support/TrussFixtures.h"
#include "truss/TrussFile.h"
#include "truss/TrussModel.h"
#include "truss_wizard/frmTruss.h"
#include "wizard/GridEditor.h"
#include "wizard/LinkWatch.h"
#include "wizard/UnsavedModel.h"
#include "wizard/WizardLifetime.h"

using namespace ardela;
using namespace ardela::test;

namespace {

const QString kAttachQuestion = QStringLiteral("There is an instance of AutoCAD running. Do you want to use the current instance?");
const QString kAnalysisMessage = QStringLiteral("Ther was an error runing the analysis.\r\nPlease go back and revise your input");

class KorrinWizard : public WizardTest<frmTruss> {
protected:
    void SetUp() override
    {
        ResetModel(Truss());
        Settings() = DefaultSettings();
        SelectStringTable(StringTable::Korrin);
        m_sheetNames = {"Nodes", "Elements", "Blocks", "Loads"};
        ASSERT_NO_FATAL_FAILURE(StartHostAndAnswers(kAttachQuestion));
        OpenWizard();
    }

    void TearDown() override { CloseWizard(); }

    std::optional<std::int16_t> Answer(const QString& prompt) override
    {
        if (prompt == cad::HostNotAnsweringText() && m_onSilentHost)
            return m_onSilentHost();
        return std::nullopt;
    }

    // Steps 0 and 1 with a new analysis in the current drawing.
    void StartNewAnalysis()
    {
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 1);
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 2);
    }

    // The triangle of the Xvfb run: span 300, rise 200, apex load 1000 daN down.
    void TypeTriangle()
    {
        TypeCell(1, 1, "0"); TypeCell(1, 2, "0");
        TypeCell(2, 1, "300"); TypeCell(2, 2, "0");
        TypeCell(3, 1, "150"); TypeCell(3, 2, "200");
        ASSERT_TRUE(NextEnabled());
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 3);
        const std::array<std::pair<const char*, const char*>, 3> bars{{{"1", "2"}, {"2", "3"}, {"1", "3"}}};
        for (int b = 0; b < 3; ++b) {
            TypeCell(b + 1, 1, bars[std::size_t(b)].first);
            TypeCell(b + 1, 2, bars[std::size_t(b)].second);
            TypeCell(b + 1, 3, "10");
            TypeCell(b + 1, 4, "2100000");
        }
        ASSERT_TRUE(NextEnabled());
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 4);
        TypeCell(1, 1, "1"); ClickCell(1, 2); ClickCell(1, 3);
        TypeCell(2, 1, "2"); ClickCell(2, 3);
        ASSERT_TRUE(NextEnabled());
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 5);
        TypeCell(1, 1, "3"); TypeCell(1, 2, "0"); TypeCell(1, 3, "-1000");
        ASSERT_TRUE(NextEnabled());
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 6);
    }

    // Runs a picking step until the feeder's script is used up.
    void Pick(int step, PointFeeder& feeder)
    {
        feeder.Start();
        Click(PickButton(std::size_t(step - 2)));
        EXPECT_TRUE(feeder.Done());
    }

    QString ReadText(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromLatin1(file.readAll());
    }

    std::vector<cad::AcadEntityPtr> OnLayer(const QString& layer, const QString& type = QString())
    {
        cad::AcadDocumentPtr doc = m_feed->ActiveDocument();
        std::shared_ptr<cad::AcadSelectionSets> sets = doc->SelectionSets();
        cad::AcadSelectionSetPtr set = sets->Add(QStringLiteral("probe"));
        std::vector<std::int16_t> types{8};
        QStringList data{layer};
        if (!type.isEmpty()) {
            types.push_back(0);
            data << type;
        }
        set->Select(5, std::nullopt, std::nullopt, types, data);
        std::vector<cad::AcadEntityPtr> entities;
        for (std::int32_t i = 0; i < set->count(); ++i)
            entities.push_back(set->Item(i));
        set->Delete();
        return entities;
    }

    std::function<std::int16_t()> m_onSilentHost;
};

TEST_F(KorrinWizard, OpensOnTheWelcomeStepWithBackDisabled)
{
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Korrin - Welcome"));
    EXPECT_FALSE(NavRowButton(m_wizard, NavBack)->isEnabled());
    EXPECT_TRUE(NextEnabled());
    EXPECT_FALSE(NavRowButton(m_wizard, NavRun)->isVisible());
    EXPECT_EQ(NavRowButton(m_wizard, NavCancel)->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(NavRowButton(m_wizard, NavNext)->text(), QStringLiteral("&Next >"));
    EXPECT_TRUE(Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 0)->isChecked());
    EXPECT_EQ(Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 1)->text(), QStringLiteral("&Open Analysis File"));
}

TEST_F(KorrinWizard, TypedTrussIsSolvedDrawnAndReportedAsTheBatchToolReportsIt)
{
    StartNewAnalysis();
    EXPECT_EQ(m_shown.size(), 1u);  // the attach question
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Korrin - Define Nodes"));
    TypeTriangle();
    EXPECT_TRUE(NavRowButton(m_wizard, NavRun)->isVisible());
    EXPECT_EQ(NavRowButton(m_wizard, NavCancel)->text(), QStringLiteral("Close"));

    const QString path = m_dir.filePath(QStringLiteral("typed.krn"));
    m_dialogAnswers.push_back(path);
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_FALSE(m_wizard->IsDirty());
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Korrin - Run Analysis - typed.krn"));
    const QString report = ReadText(m_dir.filePath(QStringLiteral("typed.prn")));
    ASSERT_FALSE(report.isEmpty());

    // By statics: the inclined bars carry 625 daN in compression, the tie 375 in tension.
    EXPECT_EQ(OnLayer(cad::kKorrinPlus, QStringLiteral("LINE")).size(), 1u);
    EXPECT_EQ(OnLayer(cad::kKorrinMinus, QStringLiteral("LINE")).size(), 2u);
    QStringList labels;
    for (const cad::AcadEntityPtr& text : OnLayer(cad::kKorrinMinus, QStringLiteral("TEXT")))
        labels << text->TextString();
    labels.sort();
    EXPECT_EQ(labels, (QStringList{QStringLiteral("-625.000"), QStringLiteral("-625.000")}));
    EXPECT_TRUE(report.contains(QLatin1String("   1         1         2        300.000         10.000        375.000")));

    // The batch tool solving the saved file writes the same report.
    QDir().mkpath(m_dir.filePath(QStringLiteral("batch")));
    const QString copy = m_dir.filePath(QStringLiteral("batch/typed.krn"));
    ASSERT_TRUE(QFile::copy(path, copy));
    QProcess ardela;
    ardela.start(BinDir() + QStringLiteral("/ardela"), {QStringLiteral("solve"), copy});
    ASSERT_TRUE(ardela.waitForFinished(60000));
    EXPECT_EQ(ardela.exitCode(), 0) << ardela.readAllStandardError().toStdString();
    EXPECT_EQ(ReadText(m_dir.filePath(QStringLiteral("batch/typed.prn"))), report);
}

TEST_F(KorrinWizard, PickedTrussGivesTheSameReportAsTheTypedOne)
{
    StartNewAnalysis();
    PointFeeder feeder(m_feed);
    feeder.Click(0, 0);
    feeder.Click(300, 0);
    feeder.Click(150, 200);
    feeder.End();
    Pick(2, feeder);
    EXPECT_EQ(Truss().NodeCount, 3);
    EXPECT_EQ(Control<QLineEdit>(m_wizard, QStringLiteral("txtValue"))->text(), QStringLiteral("3"));
    EXPECT_EQ(OnLayer(cad::kKorrinNodes, QStringLiteral("POINT")).size(), 3u);
    EXPECT_EQ(GridCells(m_grid)->item(2, 1)->text(), QStringLiteral("300"));
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 3);

    // Bar 4 is begun and abandoned: the run ends with three bars.
    for (auto [a, b] : {std::pair{0, 1}, std::pair{1, 2}, std::pair{0, 2}}) {
        const std::array<std::pair<double, double>, 3> at{{{0, 0}, {300, 0}, {150, 200}}};
        feeder.Click(at[std::size_t(a)].first, at[std::size_t(a)].second);
        feeder.Click(at[std::size_t(b)].first, at[std::size_t(b)].second);
    }
    feeder.Click(0, 0);
    feeder.End();
    Pick(3, feeder);
    EXPECT_EQ(Truss().Elements(3, 1).ToInt32(), 1);
    EXPECT_EQ(Truss().Elements(3, 2).ToInt32(), 3);
    EXPECT_EQ(m_feed->ActiveDocument()->GetVariable(QStringLiteral("OSMODE")), 8);
    for (int b = 1; b <= 3; ++b) {
        TypeCell(b, 3, "10");
        TypeCell(b, 4, "2100000");
    }
    EXPECT_EQ(Truss().ElementCount, 3);
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 4);

    feeder.Click(0, 0);
    feeder.Click(5000, 5000);  // beside every node: ignored, asked again
    feeder.Click(300, 0);
    feeder.End();
    Pick(4, feeder);
    EXPECT_EQ(Truss().Blocks(1, 1).ToInt32(), 1);
    EXPECT_EQ(Truss().Blocks(2, 1).ToInt32(), 2);
    ClickCell(1, 2); ClickCell(1, 3); ClickCell(2, 3);
    ASSERT_TRUE(NextEnabled());
    Next();

    feeder.Click(150, 200);
    feeder.End();
    Pick(5, feeder);
    TypeCell(1, 2, "0"); TypeCell(1, 3, "-1000");
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 6);
    m_dialogAnswers.push_back(m_dir.filePath(QStringLiteral("picked.krn")));
    Click(NavRowButton(m_wizard, NavRun));
    const QString picked = ReadText(m_dir.filePath(QStringLiteral("picked.prn")));
    ASSERT_FALSE(picked.isEmpty());

    // The same truss typed in a second analysis.
    Back(); Back(); Back(); Back(); Back();
    ASSERT_EQ(m_wizard->CurrentStep, 1);
    Back();
    Next();
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 2);
    EXPECT_EQ(Truss().NodeCount, 0);
    TypeTriangle();
    m_dialogAnswers.push_back(m_dir.filePath(QStringLiteral("typed.krn")));
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_EQ(ReadText(m_dir.filePath(QStringLiteral("typed.prn"))), picked);
}

TEST_F(KorrinWizard, CancellingAPickErasesItsLayerAndKeepsTheRowsPicked)
{
    StartNewAnalysis();
    PointFeeder feeder(m_feed);
    feeder.Click(10, 10);
    feeder.Click(20, 10);
    feeder.Cancel();
    Pick(2, feeder);
    EXPECT_TRUE(OnLayer(cad::kKorrinNodes).empty());
    EXPECT_EQ(Truss().Nodes(2, 1).ToDouble(), 20.0);
    // The grid and RowsUsed are not updated by a cancelled run.
    EXPECT_EQ(m_wizard->RowsReached(2), 0);
}

TEST_F(KorrinWizard, VerticalBarLabelsTurnWithTheDirectionOfPicking)
{
    StartNewAnalysis();
    PointFeeder feeder(m_feed);
    feeder.Click(0, 0);
    feeder.Click(0, 100);
    feeder.End();
    Pick(2, feeder);
    Next();
    // Lower to upper node, then upper to lower.
    feeder.Click(0, 0);
    feeder.Click(0, 100);
    feeder.Click(0, 100);
    feeder.Click(0, 0);
    feeder.End();
    Pick(3, feeder);
    ASSERT_EQ(Truss().ElementCount, 0);  // areas and moduli still to come
    std::vector<double> rotations;
    for (const cad::AcadEntityPtr& label : OnLayer(cad::kKorrinBeams, QStringLiteral("TEXT")))
        rotations.push_back(label->Rotation());
    std::sort(rotations.begin(), rotations.end());
    ASSERT_EQ(rotations.size(), 2u);
    EXPECT_NEAR(rotations[0], -3.14159265358979 / 2.0, 1e-9);
    EXPECT_NEAR(rotations[1], 3.14159265358979 / 2.0, 1e-9);
}

TEST_F(KorrinWizard, PickingSupportsAgainEmptiesTheFixitiesOfTheFirstRun)
{
    StartNewAnalysis();
    PointFeeder feeder(m_feed);
    feeder.Click(0, 0);
    feeder.Click(100, 0);
    feeder.End();
    Pick(2, feeder);
    Next();
    TypeCell(1, 1, "1"); TypeCell(1, 2, "2"); TypeCell(1, 3, "1"); TypeCell(1, 4, "1");
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 4);
    feeder.Click(0, 0);
    feeder.Click(100, 0);
    feeder.End();
    Pick(4, feeder);
    ClickCell(1, 2); ClickCell(1, 3); ClickCell(2, 3);
    ASSERT_TRUE(Truss().Blocks(1, 2).NumericEquals(1.0));
    ASSERT_TRUE(NextEnabled());
    feeder.Click(100, 0);
    feeder.End();
    Pick(4, feeder);
    EXPECT_EQ(Truss().Blocks(1, 1).ToInt32(), 2);
    EXPECT_TRUE(Truss().Blocks(1, 2).IsEmpty());
    EXPECT_TRUE(Truss().Blocks(1, 3).IsEmpty());
    EXPECT_TRUE(Truss().Blocks(2, 1).IsEmpty());
    EXPECT_FALSE(NextEnabled());
}

TEST_F(KorrinWizard, OpenedAnalysisShowsItsStepsItsNameAndItsDrawing)
{
    auto model = MakeTruss({{0, 0}, {300, 0}, {150, 200}},
                           {{1, 2, 10.0f, 2.1e6f}, {2, 3, 10.0f, 2.1e6f}, {1, 3, 10.0f, 2.1e6f}},
                           {{1, 1, 1}, {2, 0, 1}}, {{3, 0.0f, -1000.0f}});
    const QString path = m_dir.filePath(QStringLiteral("bridge.krn"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(WriteTrussFile(*model, DefaultSettings()));
    }
    Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 1)->click();
    m_dialogAnswers.push_back(path);
    StartNewAnalysis();
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Korrin - Define Nodes - bridge.krn"));
    EXPECT_EQ(Control<QLineEdit>(m_wizard, QStringLiteral("txtValue"))->text(), QStringLiteral("3"));
    EXPECT_EQ(GridCells(m_grid)->item(3, 2)->text(), QStringLiteral("200"));
    // SetupDrawing redrew the opened model on its layers.
    EXPECT_EQ(OnLayer(cad::kKorrinNodes, QStringLiteral("POINT")).size(), 3u);
    EXPECT_EQ(OnLayer(cad::kKorrinBeams, QStringLiteral("LINE")).size(), 3u);
    EXPECT_TRUE(NextEnabled());
}

TEST_F(KorrinWizard, CancelledOpenStaysOnTheFirstStep)
{
    Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 1)->click();
    m_dialogAnswers.push_back(QString());
    Next();
    EXPECT_EQ(m_wizard->CurrentStep, 0);
    EXPECT_TRUE(m_shown.empty());
}

TEST_F(KorrinWizard, StepChecksFollowTheGridAndThePendingText)
{
    StartNewAnalysis();
    // x filled, y empty, then a complete row: the count stops and Next stays off.
    TypeCell(1, 1, "5");
    TypeCell(2, 1, "1");
    TypeCell(2, 2, "2");
    EXPECT_EQ(Truss().NodeCount, 0);
    EXPECT_FALSE(NextEnabled());
    TypeCell(1, 2, "7");
    EXPECT_EQ(Truss().NodeCount, 2);
    EXPECT_TRUE(NextEnabled());
    // A text that is not a number after the complete rows still lets Next on.
    TypeCell(3, 1, "beam");
    EXPECT_TRUE(NextEnabled());
    // While the box holds two decimal separators Next is off.
    ClickCell(4, 1);
    QTest::keyClicks(EditBox(m_grid), "1.2.3");
    EXPECT_FALSE(NextEnabled());
    QTest::keyClick(EditBox(m_grid), Qt::Key_Escape);
}

TEST_F(KorrinWizard, SupportsNeedThreeFixitiesAndLoadsNeedNothing)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(1, 2, "0");
    TypeCell(2, 1, "100"); TypeCell(2, 2, "0");
    Next();
    TypeCell(1, 1, "1"); TypeCell(1, 2, "2"); TypeCell(1, 3, "1"); TypeCell(1, 4, "1");
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 4);
    TypeCell(1, 1, "1"); ClickCell(1, 2);
    TypeCell(2, 1, "2"); ClickCell(2, 3);
    EXPECT_FALSE(NextEnabled());
    ClickCell(1, 3);
    EXPECT_TRUE(NextEnabled());
    EXPECT_TRUE(m_wizard->IsDirty());
    Next();
    EXPECT_TRUE(NextEnabled());  // no load at all
}

TEST_F(KorrinWizard, HelpOnTheSupportsStepOpensTopicFiveThousand)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(1, 2, "0"); TypeCell(2, 1, "1"); TypeCell(2, 2, "0");
    Next();
    TypeCell(1, 1, "1"); TypeCell(1, 2, "2"); TypeCell(1, 3, "1"); TypeCell(1, 4, "1");
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 4);
    Click(NavRowButton(m_wizard, NavHelp));
    ASSERT_TRUE(HelpWindow::Instance());
    EXPECT_TRUE(HelpWindow::Instance()->Browser()->source().toString().endsWith(QLatin1String("Korrin/5000.html")));
    EXPECT_TRUE(m_wizard->HelpOpened);
}

TEST_F(KorrinWizard, LostLinkIsSaidOnceAndTheWizardReturnsToTheFirstStepKeepingTheModel)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(1, 2, "0"); TypeCell(2, 1, "1"); TypeCell(2, 2, "0");
    Next();
    TypeCell(1, 1, "1"); TypeCell(1, 2, "2"); TypeCell(1, 3, "1"); TypeCell(1, 4, "1");
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 4);
    ASSERT_NO_FATAL_FAILURE(KillTheHost());
    // Later ticks of the watch (started again as on a new attach) must not repeat the message.
    QSignalSpy ticks(&Control<LinkWatch>(m_wizard, QStringLiteral("tmrDoc"))->tmrDoc, &QTimer::timeout);
    Control<LinkWatch>(m_wizard, QStringLiteral("tmrDoc"))->tmrDoc.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 3; }, 10000));
    Control<LinkWatch>(m_wizard, QStringLiteral("tmrDoc"))->tmrDoc.stop();
    ExpectTheLinkMessageOnce(QStringLiteral("Korrin"));
    EXPECT_EQ(Truss().NodeCount, 2);
    EXPECT_EQ(Truss().Elements(1, 2).ToInt32(), 2);

    // A host on the same name again: Next attaches without the attach question (the unsaved
    // model is asked about, and No goes on).
    HostProcess again;
    ASSERT_TRUE(again.Start(m_socket, {QStringLiteral("--socket"), m_socket, QStringLiteral("--second-instance")}));
    m_shown.clear();
    Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 1)->click();
    Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 0)->click();
    Next();
    EXPECT_EQ(m_wizard->CurrentStep, 1);
    EXPECT_EQ(Prompts(), std::vector<QString>{UnsavedModelQuestion(QString())});
}

TEST_F(KorrinWizard, UnsavedModelAfterALostLinkIsAskedAboutBeforeANewAnalysisEmptiesIt)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(1, 2, "0"); TypeCell(2, 1, "300"); TypeCell(2, 2, "0");
    HostProcess again;
    ASSERT_NO_FATAL_FAILURE(LoseTheLinkAndStartAnotherHost(again));
    ASSERT_TRUE(Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 0)->isChecked());
    ExpectCancelToTheUnsavedModelQuestionStays(QStringLiteral("Korrin"));
    EXPECT_EQ(Truss().NodeCount, 2);

    // Yes with the save dialog cancelled stays too.
    m_unsavedAnswer = MsgResultYes;
    m_dialogAnswers.push_back(QString());
    Next();
    EXPECT_EQ(m_wizard->CurrentStep, 0);
    EXPECT_EQ(Truss().NodeCount, 2);

    // Yes saves through the dialog, then the new analysis starts empty.
    const QString path = m_dir.filePath(QStringLiteral("kept.krn"));
    SaveTheUnsavedModelAs(path);
    EXPECT_EQ(Truss().NodeCount, 0);
    auto saved = std::make_unique<TrussModel>();
    SettingsArray settings;
    ASSERT_NO_THROW(ReadAnalysisFile(TrussFileKind(*saved, settings), path));
    EXPECT_EQ(saved->NodeCount, 2);
    EXPECT_EQ(saved->Nodes(2, 1).ToDouble(), 300.0);
}

TEST_F(KorrinWizard, NoToTheUnsavedModelQuestionEmptiesTheModelAndOpenAsksToo)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(1, 2, "0");
    Back();
    Back();
    ExpectOpenAndNewToAskAboutTheUnsavedModel(QStringLiteral("Korrin"));
    EXPECT_EQ(Truss().NodeCount, 0);
}

TEST_F(KorrinWizard, LinkLostWhileNextWaitsOnTheHostIsSaidOnceAndTheNextStepIsNotShown)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(1, 2, "0"); TypeCell(2, 1, "1"); TypeCell(2, 2, "0");
    ASSERT_TRUE(NextEnabled());
    m_shown.clear();
    // Next redraws the nodes and waits on a host that has stopped answering; the host then dies
    // while the link watch ticks in the wait.
    ASSERT_TRUE(m_host.StopThenKillLater(500));
    Next();
    ExpectTheLinkLostOnceOnTheFirstStep(QStringLiteral("Korrin"));
    EXPECT_EQ(Truss().NodeCount, 2);
}

TEST(KorrinWizardHost, ClosingAfterARunAHundredTimesShowsNoMessage)
{
    // The link watch ticks on every turn of the event loop here, so that a tick inside the
    // closing of the drawing and the host would be met on every close.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString analysis = dir.filePath(QStringLiteral("tri.krn"));
    std::unique_ptr<TrussModel> tri = MakeTruss({{0, 0}, {300, 0}, {150, 200}},
                                                {{1, 2, 10, 2.1e6f}, {2, 3, 10, 2.1e6f}, {1, 3, 10, 2.1e6f}},
                                                {{1, 1, 1}, {2, 0, 1}}, {{3, 0, -1000}});
    SettingsArray settings = DefaultSettings();
    ASSERT_NO_THROW(WriteAnalysisFile(TrussFileKind(*tri, settings), analysis));
    WizardStartup::SetSplashMinimumMs(0);
    Settings() = DefaultSettings();
    SelectStringTable(StringTable::Korrin);
    MessageRecorder messages(MsgResultNo);
    auto dialogs = SetFileDialogHandler([&](FileDialogMode, const FileDialogRequest&) -> std::optional<FileDialogChoice> {
        return ChoiceForPath(analysis);
    });
    for (int round = 0; round < 100; ++round) {
        // The wizard starts its own host and quits it on closing.
        cad::Connection& connection = cad::CadConnection();
        connection = cad::Connection{};
        connection.RunningSocketPath = dir.filePath(QStringLiteral("nobody"));
        connection.HostProgram = HostProgramPath();
        ResetModel(Truss());
        auto* wizard = new frmTruss;
        wizard->show();
        Control<QRadioButton>(wizard, QStringLiteral("optFile"), 1)->click();
        while (wizard->CurrentStep < frmTruss::kLastStep) {
            const int before = wizard->CurrentStep;
            QTest::mouseClick(NavRowButton(wizard, NavNext), Qt::LeftButton);
            ASSERT_EQ(wizard->CurrentStep, before + 1) << "round " << round;
        }
        QTest::mouseClick(NavRowButton(wizard, NavRun), Qt::LeftButton);
        const qint64 pid = connection.AcadApp->ProcessId();
        const std::size_t before = messages.Messages().size();
        Control<LinkWatch>(wizard, QStringLiteral("tmrDoc"))->tmrDoc.setInterval(0);
        EXPECT_TRUE(wizard->close()) << "round " << round;
        delete wizard;
        for (std::size_t k = before; k < messages.Messages().size(); ++k)
            ASSERT_FALSE(messages.Messages()[k].prompt.contains(QLatin1String("is lost")))
                << "round " << round << ": " << messages.Messages()[k].prompt.toStdString();
        ASSERT_TRUE(WaitForProcessEnd(pid, 10000)) << "round " << round;
    }
    SetFileDialogHandler(dialogs);
    cad::CadConnection() = cad::Connection{};
}

TEST_F(KorrinWizard, ClosingTheDrawingIsTheDocumentMessageAndBackToTheFirstStep)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(1, 2, "0");
    m_shown.clear();
    m_feed->ActiveDocument()->Close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_wizard->CurrentStep == 0; }, 10000));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].prompt,
              QStringLiteral("The link with the active document is lost. You must return to the first step."));
}

TEST_F(KorrinWizard, EnteringTheBarsStepBackwardsDoesNotRedrawTheNodes)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(1, 2, "0"); TypeCell(2, 1, "1"); TypeCell(2, 2, "0");
    Next();  // leaving forward with changes draws the nodes
    std::vector<std::int64_t> drawn;
    for (const cad::AcadEntityPtr& e : OnLayer(cad::kKorrinNodes))
        drawn.push_back(e->ObjectID());
    ASSERT_EQ(drawn.size(), 4u);  // two points and their numbers
    TypeCell(1, 1, "1"); TypeCell(1, 2, "2"); TypeCell(1, 3, "1"); TypeCell(1, 4, "1");
    Next();
    ASSERT_TRUE(m_wizard->IsDirty());
    Back();
    ASSERT_EQ(m_wizard->CurrentStep, 3);
    std::vector<std::int64_t> after;
    for (const cad::AcadEntityPtr& e : OnLayer(cad::kKorrinNodes))
        after.push_back(e->ObjectID());
    EXPECT_EQ(after, drawn);
}

TEST_F(KorrinWizard, RunWithACancelledSaveStillSolvesAndDraws)
{
    StartNewAnalysis();
    TypeTriangle();
    m_dialogAnswers.push_back(QString());
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_TRUE(m_wizard->IsDirty());
    EXPECT_EQ(OnLayer(cad::kKorrinMinus, QStringLiteral("LINE")).size(), 2u);
    EXPECT_TRUE(Truss().AnalysisPath.isEmpty());
    EXPECT_TRUE(m_shown.size() == 1u);  // only the attach question
}

TEST_F(KorrinWizard, UnstableTrussShowsTheSolverMessageAndDrawsNothing)
{
    StartNewAnalysis();
    // A square without a diagonal racks sideways.
    TypeCell(1, 1, "0"); TypeCell(1, 2, "0");
    TypeCell(2, 1, "100"); TypeCell(2, 2, "0");
    TypeCell(3, 1, "100"); TypeCell(3, 2, "100");
    TypeCell(4, 1, "0"); TypeCell(4, 2, "100");
    Next();
    const std::array<std::pair<const char*, const char*>, 4> bars{{{"1", "2"}, {"2", "3"}, {"3", "4"}, {"4", "1"}}};
    for (int b = 0; b < 4; ++b) {
        TypeCell(b + 1, 1, bars[std::size_t(b)].first);
        TypeCell(b + 1, 2, bars[std::size_t(b)].second);
        TypeCell(b + 1, 3, "10");
        TypeCell(b + 1, 4, "2100000");
    }
    Next();
    TypeCell(1, 1, "1"); ClickCell(1, 2); ClickCell(1, 3);
    TypeCell(2, 1, "2"); ClickCell(2, 3);
    Next();
    TypeCell(1, 1, "3"); TypeCell(1, 2, "10"); TypeCell(1, 3, "0");
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 6);
    m_dialogAnswers.push_back(m_dir.filePath(QStringLiteral("square.krn")));
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_EQ(m_shown.size(), 1u);
    // The fixed message, then the solver's cause on its own line.
    EXPECT_TRUE(m_shown[0].prompt.startsWith(kAnalysisMessage + QStringLiteral("\r\n"))) << m_shown[0].prompt.toStdString();
    EXPECT_GT(m_shown[0].prompt.size(), kAnalysisMessage.size() + 10);
    EXPECT_TRUE(OnLayer(cad::kKorrinPlus).empty());
    EXPECT_TRUE(OnLayer(cad::kKorrinMinus).empty());
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("square.prn"))));
}

TEST_F(KorrinWizard, IllConditionedTrussIsDrawnAndReportedThenWarnedAbout)
{
    auto girder = MakeGirder(254);
    const QString path = m_dir.filePath(QStringLiteral("girder.krn"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(WriteTrussFile(*girder, DefaultSettings()));
    }
    Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 1)->click();
    m_dialogAnswers.push_back(path);
    StartNewAnalysis();
    for (int step = 2; step < 6; ++step) {
        ASSERT_TRUE(NextEnabled()) << step;
        Next();
    }
    ASSERT_EQ(m_wizard->CurrentStep, 6);
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_EQ(OnLayer(cad::kKorrinPlus, QStringLiteral("TEXT")).size() + OnLayer(cad::kKorrinMinus, QStringLiteral("TEXT")).size(),
              1013u);
    EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("girder.prn"))));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_TRUE(m_shown[0].prompt.contains(QLatin1String("unreliable"))) << m_shown[0].prompt.toStdString();
    EXPECT_EQ(m_shown[0].style, MsgOkOnly + MsgExclamation);
}

TEST_F(KorrinWizard, BarNamingAMissingNodeIsSaidWithTheBarAndTheNode)
{
    StartNewAnalysis();
    TypeTriangle();
    Back(); Back(); Back();
    ASSERT_EQ(m_wizard->CurrentStep, 3);
    TypeCell(3, 2, "9");
    Next(); Next(); Next();
    ASSERT_EQ(m_wizard->CurrentStep, 6);
    m_dialogAnswers.push_back(QString());
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].prompt, kAnalysisMessage + QStringLiteral("\r\nbar 3 names node 9; the model has nodes 1 to 3"));
}

TEST_F(KorrinWizard, FailedSaveSaysWhyWritesNoReportForTheOldFileAndAsksForANameAgain)
{
    StartNewAnalysis();
    TypeTriangle();
    // A first save into a folder that is gone: why is said, and the model stays without a file.
    m_dialogAnswers.push_back(m_dir.filePath(QStringLiteral("gone/tri.krn")));
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(m_shown[1].prompt, QStringLiteral("Could not open analysis file\r\n") + m_dir.filePath(QStringLiteral("gone/tri.krn"))
                                     + QStringLiteral(": the folder ") + m_dir.filePath(QStringLiteral("gone"))
                                     + QStringLiteral(" does not exist (any more)"));
    EXPECT_TRUE(m_wizard->IsDirty());
    EXPECT_TRUE(Truss().AnalysisPath.isEmpty());
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Korrin - Run Analysis"));
    EXPECT_EQ(OnLayer(cad::kKorrinMinus, QStringLiteral("LINE")).size(), 2u) << "the run goes on";

    // The next Run offers the dialog again, and the model can be saved elsewhere.
    const QString path = m_dir.filePath(QStringLiteral("tri.krn"));
    m_dialogAnswers.push_back(path);
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_TRUE(m_dialogAnswers.empty());
    EXPECT_FALSE(m_wizard->IsDirty());
    const QString report = ReadText(m_dir.filePath(QStringLiteral("tri.prn")));
    ASSERT_TRUE(report.contains(QLatin1String("375.000")));

    // The load doubled, then the disk takes no file of the analysis's size: the old file stays,
    // and no report of the new load stands beside it.
    Back();
    TypeCell(1, 3, "-2000");
    Next();
    ASSERT_TRUE(m_wizard->IsDirty());
    const QByteArray saved = ReadText(path).toLatin1();
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 8192;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousSignal);
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_TRUE(m_shown[0].prompt.startsWith(QStringLiteral("Could not open analysis file\r\n") + path + QStringLiteral(": ")))
        << m_shown[0].prompt.toStdString();
    EXPECT_TRUE(m_wizard->IsDirty());
    EXPECT_EQ(ReadText(path).toLatin1(), saved);
    EXPECT_EQ(ReadText(m_dir.filePath(QStringLiteral("tri.prn"))), report) << "a report of the new load beside the old file";
    EXPECT_EQ(OnLayer(cad::kKorrinMinus, QStringLiteral("LINE")).size(), 2u);
}

TEST_F(KorrinWizard, HostKilledAtRunIsOneMessage)
{
    StartNewAnalysis();
    TypeTriangle();
    m_dialogAnswers.push_back(m_dir.filePath(QStringLiteral("tri.krn")));
    m_shown.clear();
    m_host.Kill();
    m_host.WaitForExit(5000);
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_wizard->CurrentStep == 0; }, 10000));
    QTest::qWait(300);
    ASSERT_EQ(m_shown.size(), 1u) << Prompts().back().toStdString();
    EXPECT_TRUE(m_shown[0].prompt.startsWith(QLatin1String("The link with the"))) << m_shown[0].prompt.toStdString();
}

TEST_F(KorrinWizard, StoppedHostIsAskedAboutAfterTwoSecondsAndStopEndsTheRunWithOneMessage)
{
    StartNewAnalysis();
    TypeTriangle();
    m_dialogAnswers.push_back(m_dir.filePath(QStringLiteral("tri.krn")));
    m_shown.clear();
    // Wait once (the host goes on), then the host stops again and Stop gives it up.
    int asked = 0;
    m_onSilentHost = [&] {
        if (++asked == 1) {
            ::kill(pid_t(m_host.Pid()), SIGCONT);
            return std::int16_t(MsgResultRetry);
        }
        return std::int16_t(MsgResultCancel);
    };
    ::kill(pid_t(m_host.Pid()), SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_EQ(asked, 1);
    ASSERT_EQ(m_shown.size(), 1u) << Prompts().back().toStdString();
    EXPECT_EQ(m_shown[0].prompt, cad::HostNotAnsweringText());
    EXPECT_EQ(m_shown[0].style, MsgWaitStop + MsgExclamation);
    EXPECT_EQ(m_shown[0].title, QStringLiteral("Korrin"));
    EXPECT_EQ(OnLayer(cad::kKorrinMinus, QStringLiteral("LINE")).size(), 2u) << "after Wait the drawing was finished";
    EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("tri.prn"))));

    // Stopped again: Stop fails the run; the link is said lost once, and nothing else.
    m_shown.clear();
    ::kill(pid_t(m_host.Pid()), SIGSTOP);
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_wizard->CurrentStep == 0; }, 10000));
    QTest::qWait(300);
    ::kill(pid_t(m_host.Pid()), SIGCONT);
    ASSERT_EQ(asked, 2);
    ASSERT_EQ(m_shown.size(), 2u) << Prompts().back().toStdString();
    EXPECT_EQ(m_shown[0].prompt, cad::HostNotAnsweringText());
    EXPECT_TRUE(m_shown[1].prompt.startsWith(QLatin1String("The link with the"))) << m_shown[1].prompt.toStdString();
}

// Drives the modal Options dialog the wizard opens: `edit` fills it, then OK is pressed.
void WithOptionsDialog(const std::function<void(frmOptions&)>& edit)
{
    QTimer::singleShot(0, [edit] {
        auto* dialog = qobject_cast<frmOptions*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        edit(*dialog);
    });
}

TEST_F(KorrinWizard, OptionsTextHeightRedrawsSupportsAndLoadsAndResizesTheUsersTexts)
{
    StartNewAnalysis();
    TypeTriangle();
    // The engineer's own text on layer 0.
    cad::AcadDocumentPtr doc = m_feed->ActiveDocument();
    doc->SetActiveLayer(doc->Layers()->Item(QStringLiteral("0")));
    doc->ModelSpace()->AddText(QStringLiteral("North elevation"), {0, -50, 0}, 2.5);
    std::vector<std::int64_t> before;
    for (const cad::AcadEntityPtr& e : OnLayer(cad::kKorrinLoads))
        before.push_back(e->ObjectID());
    ASSERT_FALSE(before.empty());
    const std::vector<cad::AcadEntityPtr> beamsBefore = OnLayer(cad::kKorrinBeams);

    WithOptionsDialog([](frmOptions& dialog) {
        dialog.txtText->setText(QStringLiteral("12"));
        dialog.cmdOK->click();
    });
    Click(NavRowButton(m_wizard, NavOptions));
    EXPECT_EQ(Settings()[SetTextHeight].ToDouble(), 12.0);
    // Every text of the drawing has the new height, the engineer's own included.
    for (const QString& layer : {QStringLiteral("0"), cad::kKorrinNodes, cad::kKorrinBeams})
        for (const cad::AcadEntityPtr& text : OnLayer(layer, QStringLiteral("TEXT")))
            EXPECT_DOUBLE_EQ(text->Height(), 12.0) << layer.toStdString();
    // The load arrows were drawn again (new entities); the bars were left as they were.
    for (const cad::AcadEntityPtr& e : OnLayer(cad::kKorrinLoads))
        EXPECT_EQ(std::find(before.begin(), before.end(), e->ObjectID()), before.end());
    ASSERT_EQ(OnLayer(cad::kKorrinBeams).size(), beamsBefore.size());
    EXPECT_EQ(OnLayer(cad::kKorrinBeams)[0]->ObjectID(), beamsBefore[0]->ObjectID());
}

TEST_F(KorrinWizard, OptionsChangedAfterARunMarkTheAnalysisChangedAndTheFileKeepsThem)
{
    StartNewAnalysis();
    TypeTriangle();
    const QString path = m_dir.filePath(QStringLiteral("options.krn"));
    m_dialogAnswers.push_back(path);
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_FALSE(m_wizard->IsDirty());

    WithOptionsDialog([](frmOptions& dialog) {
        dialog.txtScale->setText(QStringLiteral("3"));
        dialog.optPlot[0]->click();
        dialog.cmdOK->click();
    });
    Click(NavRowButton(m_wizard, NavOptions));
    ASSERT_EQ(Settings()[SetScaleFactor].ToDouble(), 3.0);
    EXPECT_TRUE(m_wizard->IsDirty());
    ExpectClosingToAskAndCancelToKeepTheWindow();

    // The next run saves the new options into the file, without a dialog; the file opened again
    // brings them back.
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_FALSE(m_wizard->IsDirty());
    auto saved = std::make_unique<TrussModel>();
    SettingsArray settings = DefaultSettings();
    ASSERT_NO_THROW(ReadAnalysisFile(TrussFileKind(*saved, settings), path));
    EXPECT_EQ(settings[SetScaleFactor].ToDouble(), 3.0);
    EXPECT_FALSE(settings[SetColor].ToBool());
    EXPECT_EQ(saved->NodeCount, 3);
}

TEST_F(KorrinWizard, ClosingWithUnsavedChangesAsksFirstAndCancelKeepsTheWindow)
{
    StartNewAnalysis();
    TypeCell(1, 1, "3");
    ASSERT_TRUE(m_wizard->IsDirty());
    ExpectClosingToAskAndCancelToKeepTheWindow();
}

TEST_F(KorrinWizard, AColleaguesDrawingFullOfOtherKindsKeepsThemAllWhenCloseAcadSavesTheResults)
{
    // A plan written by another program (ezdxf, release 2010) with every common kind.
    const QString drawing = m_dir.filePath(QStringLiteral("plan.dxf"));
    const QString before = m_dir.filePath(QStringLiteral("plan_before.dxf"));
    const QString script = SourceDir() + QStringLiteral("/tests/cad/every_kind_dxf.py");
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"), {script, QStringLiteral("write"), QStringLiteral("R2010"), drawing});
    if (!py.waitForFinished(120000) || py.exitCode() != 0)
        GTEST_SKIP() << "python3-ezdxf is not installed: " << py.readAllStandardError().toStdString();
    ASSERT_TRUE(QFile::copy(drawing, before));
    m_feed->Documents()->Open(drawing);

    StartNewAnalysis();
    TypeTriangle();
    m_dialogAnswers.push_back(m_dir.filePath(QStringLiteral("plan.krn")));
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_EQ(OnLayer(cad::kKorrinMinus, QStringLiteral("LINE")).size(), 2u);

    // Closing the link saves the drawing when asked.
    const MessageHandler previous = SetMessageHandler([](const QString& prompt, std::int16_t, const QString&) {
        return std::int16_t(prompt.startsWith(QLatin1String("The drawing has not been saved.")) ? MsgResultYes : MsgResultOk);
    });
    const bool closed = cad::CloseAcad();
    SetMessageHandler(previous);
    ASSERT_TRUE(closed);

    py.start(QStringLiteral("/usr/bin/python3"), {script, QStringLiteral("compare"), before, drawing});
    ASSERT_TRUE(py.waitForFinished(120000));
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(py.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList lost;
    for (const QString& line : lines)
        if (!line.startsWith(QLatin1String("added ")) && line != QLatin1String("audit 0"))
            lost << line;
    // The one change of what was there is the wizard's own: the text style takes its font.
    EXPECT_EQ(lost, QStringList{QStringLiteral("styles Standard font: 'txt' became 'Arial.ttf'")})
        << "what the drawing held before the run";
    EXPECT_TRUE(lines.contains(QStringLiteral("audit 0")));
    EXPECT_TRUE(lines.contains(QStringLiteral("added LINE Korrin_Plus")));
    EXPECT_TRUE(lines.contains(QStringLiteral("added TEXT Korrin_Minus")));
    EXPECT_TRUE(lines.contains(QStringLiteral("added layers KORRIN_PLUS")));
    EXPECT_TRUE(lines.contains(QStringLiteral("added layers KORRIN_MINUS")));
}

TEST(KorrinWizardHost, ClosingQuitsAHostTheWizardStarted)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    cad::Connection& connection = cad::CadConnection();
    connection = cad::Connection{};
    connection.RunningSocketPath = dir.filePath(QStringLiteral("nobody"));
    connection.HostProgram = HostProgramPath();
    ResetModel(Truss());
    WizardStartup::SetSplashMinimumMs(0);
    MessageRecorder messages(MsgResultNo);
    auto* wizard = new frmTruss;
    wizard->show();
    QTest::mouseClick(NavRowButton(wizard, NavNext), Qt::LeftButton);
    ASSERT_EQ(wizard->CurrentStep, 1);
    ASSERT_TRUE(connection.AcadStarted);
    const qint64 pid = connection.AcadApp->ProcessId();
    EXPECT_TRUE(wizard->close());
    EXPECT_TRUE(WaitForProcessEnd(pid, 10000));
    delete wizard;
    connection = cad::Connection{};
}


TEST_F(KorrinWizard, PickLinesAppendsADrawnGirderAfterTheTypedNodeAndBackKeepsIt)
{
    StartNewAnalysis();
    TypeCell(1, 1, "-5");
    TypeCell(1, 2, "-5");
    // A Warren girder drawn as lines: the bottom chord one line (cut by the diagonals' ends),
    // the top chord a polyline, one diagonal end 1e-7 off its node.
    cad::AcadDocumentPtr doc = m_feed->ActiveDocument();
    std::shared_ptr<cad::AcadModelSpace> space = doc->ModelSpace();
    space->AddLine({0, 0, 0}, {6, 0, 0});
    space->AddLightWeightPolyline({1, 1.5, 3, 1.5, 5, 1.5});
    for (const auto& d : std::vector<std::array<double, 4>>{
             {0, 0, 1, 1.5}, {1, 1.5, 2, 0}, {2, 0, 3, 1.5}, {3 + 1e-7, 1.5, 4, 0}, {4, 0, 5, 1.5}, {5, 1.5, 6, 0}})
        space->AddLine({d[0], d[1], 0}, {d[2], d[3], 0});

    PointFeeder feeder(m_feed);
    feeder.Click(-1, -1);  // a window around the girder, not the typed node's point
    feeder.Click(7, 2);
    feeder.End();
    QTimer::singleShot(0, [&feeder] {
        QWidget* question = QApplication::activeModalWidget();
        ASSERT_TRUE(question);
        question->findChild<QLineEdit*>(QStringLiteral("txtLineArea"))->setText(QStringLiteral("12.5"));
        question->findChild<QLineEdit*>(QStringLiteral("txtLineModulus"))->setText(QStringLiteral("2100000"));
        feeder.Start();
        QTest::mouseClick(question->findChild<QPushButton*>(QStringLiteral("cmdLineOk")), Qt::LeftButton);
    });
    Click(Control<QPushButton>(m_wizard, QStringLiteral("cmdSelectLines")));
    EXPECT_TRUE(feeder.Done());

    ASSERT_EQ(Truss().NodeCount, 8);
    EXPECT_EQ(Truss().Nodes(1, 1).ToDouble(), -5.0);
    EXPECT_EQ(Truss().Nodes(2, 1).ToDouble(), 0.0);
    EXPECT_EQ(Truss().Nodes(8, 1).ToDouble(), 6.0);
    ASSERT_EQ(Truss().ElementCount, 11);
    EXPECT_EQ(Truss().Elements(1, 1).ToInt32(), 2);  // the bottom chord's first piece, nodes 2 to 4
    EXPECT_EQ(Truss().Elements(1, 2).ToInt32(), 4);
    EXPECT_EQ(Truss().Elements(11, 2).ToInt32(), 8);
    EXPECT_EQ(Control<QLineEdit>(m_wizard, QStringLiteral("txtValue"))->text(), QStringLiteral("8"));
    EXPECT_EQ(OnLayer(cad::kKorrinNodes, QStringLiteral("POINT")).size(), 8u);
    EXPECT_EQ(OnLayer(cad::kKorrinBeams, QStringLiteral("LINE")).size(), 11u);
    EXPECT_TRUE(NextEnabled());

    // Back and Next again keep both tables; the bars step shows the eleven bars.
    Back();
    ASSERT_EQ(m_wizard->CurrentStep, 1);
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 2);
    EXPECT_EQ(Truss().NodeCount, 8);
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 3);
    EXPECT_EQ(Control<QLineEdit>(m_wizard, QStringLiteral("txtValue"))->text(), QStringLiteral("11"));
    EXPECT_TRUE(NextEnabled());
}

} // namespace
