// Guards against the host window losing or inventing input: point requests answered by click
// (with running snap), typed "x,y", Enter, right click and Escape with the right codes; tabs
// out of step with documents; save and close losing work; layer panel edits; option parsing.
#include <optional>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QProcess>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <gtest/gtest.h>

#include "cadhost/ui/DrawingView.h"
#include "cadhost/engine/DxfFile.h"
#include "support/EngineChecks.h"
#include "cadhost/engine/EngineError.h"
#include "cadhost/ui/HostOptions.h"
#include "cadhost/ui/HostWindow.h"
#include "cadhost/ui/LayerPanel.h"
#include "support/TestSupport.h"

using namespace cadhost;

namespace {

struct Answer {
    std::optional<Point3> point;
    std::optional<HostWindow::PointEnd> end;
    int calls = 0;
};

class HostWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = std::make_unique<HostWindow>();
        m_window->showError = [this](const QString& m) { m_errors << m; };
        m_window->askSaveChanges = [this](const Document&) {
            ++m_asked;
            return m_saveAnswer;
        };
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void TearDown() override
    {
        m_window.reset();
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() || [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible())
                    return false;
            return true;
        }()) << "a window was left open";
    }

    HostWindow::PointCallback Into(Answer& answer)
    {
        return [&answer](std::optional<Point3> p, HostWindow::PointEnd end) {
            answer.point = p;
            answer.end = end;
            ++answer.calls;
        };
    }

    DrawingView* View(Document& doc)
    {
        DrawingView* view = m_window->ViewOf(doc);
        view->resize(400, 300);
        view->SetTransform(ViewTransform{10.0, 0.0, 0.0, 400, 300});   // 10 px per unit, origin centred
        return view;
    }

    void Type(const QString& text)
    {
        QTest::keyClicks(m_window->CommandLine(), text);
        QTest::keyClick(m_window->CommandLine(), Qt::Key_Return);
    }

    std::unique_ptr<HostWindow> m_window;
    QStringList m_errors;
    int m_asked = 0;
    int m_saveAnswer = QMessageBox::Cancel;
};

} // namespace

TEST_F(HostWindowTest, NewDrawingsGetNumberedTabsAndClosingKeepsTabsInStep)
{
    Document& a = m_window->NewDocument();
    Document& b = m_window->NewDocument();
    ASSERT_EQ(m_window->Tabs()->count(), 2);
    EXPECT_EQ(m_window->Tabs()->tabText(0), QStringLiteral("Drawing1.dxf"));
    EXPECT_EQ(m_window->Tabs()->tabText(1), QStringLiteral("Drawing2.dxf"));
    EXPECT_EQ(m_window->ActiveDocument(), &b);
    m_window->Tabs()->setCurrentIndex(0);
    EXPECT_EQ(m_window->ActiveDocument(), &a);
    m_window->CloseDocument(a);
    EXPECT_EQ(m_window->Tabs()->count(), 1);
    EXPECT_EQ(m_window->ActiveDocument(), &b);
    EXPECT_EQ(m_window->Tabs()->tabText(0), QStringLiteral("Drawing2.dxf"));
}

TEST_F(HostWindowTest, AClickAnswersThePointRequestWithTheSnappedPoint)
{
    Document& doc = m_window->NewDocument();
    doc.AddPoint({2, 1, 0});
    doc.SetVariable("OSMODE", 8);
    DrawingView* view = View(doc);
    Answer answer;
    m_window->RequestPoint(doc, "Get node 1", Into(answer));
    EXPECT_TRUE(m_window->PointPending());
    EXPECT_EQ(m_window->PromptLabel()->text(), QStringLiteral("Get node 1"));
    EXPECT_TRUE(m_window->History().contains("Get node 1"));
    // 3 px beside the point at (2, 1): the node snap takes it.
    const QPoint near = view->ToScreen({2, 1, 0}).toPoint() + QPoint(3, -2);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, near);
    ASSERT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.end, HostWindow::PointEnd::Point);
    ASSERT_TRUE(answer.point);
    EXPECT_EQ(*answer.point, (Point3{2, 1, 0}));
    EXPECT_FALSE(m_window->PointPending());
    // A later click answers nothing.
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, near);
    EXPECT_EQ(answer.calls, 1);
}

TEST_F(HostWindowTest, WithoutSnapAClickGivesTheDrawingPointUnderTheCursor)
{
    Document& doc = m_window->NewDocument();
    doc.SetVariable("OSMODE", 0);
    DrawingView* view = View(doc);
    Answer answer;
    m_window->RequestPoint(doc, "Pick", Into(answer));
    // 10 px per unit: 50 px right of and above the view's centre is (5, 5).
    const QPoint centre(view->width() / 2, view->height() / 2);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, centre + QPoint(50, -50));
    ASSERT_TRUE(answer.point);
    EXPECT_NEAR(answer.point->x, 5.0, 0.1);
    EXPECT_NEAR(answer.point->y, 5.0, 0.1);
}

TEST_F(HostWindowTest, TypedCoordinatesEnterRightClickAndEscapeEndWithTheirCodes)
{
    Document& doc = m_window->NewDocument();
    DrawingView* view = View(doc);

    Answer typed;
    m_window->RequestPoint(doc, "Point", Into(typed));
    Type("12.5, -3");
    ASSERT_TRUE(typed.point);
    EXPECT_EQ(*typed.point, (Point3{12.5, -3, 0}));
    EXPECT_EQ(typed.end, HostWindow::PointEnd::Point);

    Answer nonsense;
    m_window->RequestPoint(doc, "Point", Into(nonsense));
    Type("abc");
    EXPECT_EQ(nonsense.calls, 0) << "an unreadable point must not end the request";
    EXPECT_TRUE(m_window->PointPending());
    Type("");
    EXPECT_EQ(nonsense.calls, 1);
    EXPECT_FALSE(nonsense.point);
    EXPECT_EQ(nonsense.end, HostWindow::PointEnd::Finished);

    Answer right;
    m_window->RequestPoint(doc, "Point", Into(right));
    QTest::mouseClick(view, Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(right.end, HostWindow::PointEnd::Finished);
    EXPECT_FALSE(right.point);

    Answer escape;
    m_window->RequestPoint(doc, "Point", Into(escape));
    QTest::keyClick(m_window->CommandLine(), Qt::Key_Escape);
    EXPECT_EQ(escape.end, HostWindow::PointEnd::Cancelled);
    EXPECT_FALSE(escape.point);

    Answer escapeInView;
    m_window->RequestPoint(doc, "Point", Into(escapeInView));
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(escapeInView.end, HostWindow::PointEnd::Cancelled);
    EXPECT_EQ(escapeInView.calls, 1);
}

TEST_F(HostWindowTest, EscapeCancelsFromAnyWidgetAndAMinimisedWindowIsRestoredForAPick)
{
    Document& doc = m_window->NewDocument();
    m_window->showMinimized();
    Answer answer;
    m_window->RequestPoint(doc, "Get node 1", Into(answer));
    EXPECT_FALSE(m_window->isMinimized());
    EXPECT_TRUE(m_window->isVisible());
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    m_window->Layers()->setFocus();
    QTest::keyClick(m_window->Layers(), Qt::Key_Escape);
    EXPECT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.end, HostWindow::PointEnd::Cancelled);
}

TEST_F(HostWindowTest, AHeadlessHostStaysHiddenWhenAPointIsAsked)
{
    m_window->hide();
    m_window->SetHeadless(true);
    Document& doc = m_window->NewDocument();
    Answer answer;
    m_window->RequestPoint(doc, "Get node 1", Into(answer));
    EXPECT_FALSE(m_window->isVisible());
    m_window->ClickAt({1, 2, 0});
    EXPECT_EQ(answer.calls, 1);
}

TEST_F(HostWindowTest, ASecondRequestIsRefusedAndClosingTheDocumentEndsThePendingOne)
{
    Document& doc = m_window->NewDocument();
    Answer first, second;
    m_window->RequestPoint(doc, "First", Into(first));
    m_window->RequestPoint(doc, "Second", Into(second));
    EXPECT_EQ(second.calls, 1);
    EXPECT_EQ(second.end, HostWindow::PointEnd::Busy);
    EXPECT_EQ(first.calls, 0);
    EXPECT_EQ(m_window->PromptLabel()->text(), QStringLiteral("First"));
    m_window->CloseDocument(doc);
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(first.end, HostWindow::PointEnd::DocumentClosed);
}

TEST_F(HostWindowTest, TheEventLoopRunsWhileAPointIsPending)
{
    Document& doc = m_window->NewDocument();
    Answer answer;
    bool timerRan = false;
    m_window->RequestPoint(doc, "Pick", Into(answer));
    QTimer::singleShot(10, [&] { timerRan = true; });
    QTRY_VERIFY_WITH_TIMEOUT(timerRan, 5000);
    EXPECT_TRUE(timerRan);
    EXPECT_EQ(answer.calls, 0);
    // Calls go on meanwhile: the document can be read and drawn into.
    EXPECT_EQ(doc.Name(), QStringLiteral("Drawing1.dxf"));
    doc.AddLine({0, 0, 0}, {1, 1, 0});
    m_window->ClickAt({1, 1, 0});
    EXPECT_EQ(answer.calls, 1);
}

TEST_F(HostWindowTest, TheLineToolDrawsChainedLinesUntilEnterAndEscapeLeavesNoStrayLine)
{
    Document& doc = m_window->NewDocument();
    doc.SetVariable("OSMODE", 0);
    View(doc);
    m_window->RunCommand("LINE");
    Type("0,0");
    Type("10,0");
    Type("10,5");
    Type("");
    ASSERT_EQ(doc.EntityCount(), 2u);
    std::vector<Entity> lines;
    doc.ForEachEntity([&](const Entity& e) { lines.push_back(e); });
    EXPECT_EQ(lines[0].points[0], (Point3{0, 0, 0}));
    EXPECT_EQ(lines[0].points[1], (Point3{10, 0, 0}));
    EXPECT_EQ(lines[1].points[1], (Point3{10, 5, 0}));
    EXPECT_FALSE(m_window->PointPending());
    m_window->RunCommand("LINE");
    Type("3,3");
    QTest::keyClick(m_window->CommandLine(), Qt::Key_Escape);
    EXPECT_EQ(doc.EntityCount(), 2u);
    m_window->RunCommand("POINT");
    Type("7,7");
    Type("8,8");
    Type("");
    EXPECT_EQ(doc.EntityCount(), 4u);
    cadhost::test::ExpectDocumentConsistent(doc);
}

TEST_F(HostWindowTest, RelativePointsFollowTheLastPointGiven)
{
    Document& doc = m_window->NewDocument();
    m_window->RunCommand("LINE");
    Type("10,20");
    Type("@5,0");
    Type("@0,-2.5");
    Type("");
    std::vector<Entity> lines;
    doc.ForEachEntity([&](const Entity& e) { lines.push_back(e); });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].points[1], (Point3{15, 20, 0}));
    EXPECT_EQ(lines[1].points[1], (Point3{15, 17.5, 0}));
}

TEST_F(HostWindowTest, EraseTakesTheNewestObjectUnderTheCursorButSparesLockedLayers)
{
    Document& doc = m_window->NewDocument();
    DrawingView* view = View(doc);
    doc.SetVariable("OSMODE", 0);
    const ObjectId older = doc.AddLine({-5, 0, 0}, {5, 0, 0});
    const ObjectId newer = doc.AddLine({0, -5, 0}, {0, 5, 0});
    doc.AddLayer("Frozen in place");
    doc.SetActiveLayer("Frozen in place");
    const ObjectId locked = doc.AddPoint({3, 3, 0});
    doc.SetActiveLayer("0");
    doc.SetLayerLocked("Frozen in place", true);
    m_window->RunCommand("ERASE");
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, view->ToScreen({0, 0, 0}).toPoint());
    EXPECT_EQ(doc.Find(newer), nullptr);
    EXPECT_NE(doc.Find(older), nullptr);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, view->ToScreen({3, 3, 0}).toPoint());
    EXPECT_NE(doc.Find(locked), nullptr);
    EXPECT_TRUE(m_window->History().last().contains("locked"));
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, view->ToScreen({20, 20, 0}).toPoint());   // nothing there
    EXPECT_EQ(doc.EntityCount(), 2u);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(m_window->PointPending());
    cadhost::test::ExpectDocumentConsistent(doc);
}

TEST_F(HostWindowTest, EraseHighlightsWhatAClickWouldTake)
{
    Document& doc = m_window->NewDocument();
    DrawingView* view = View(doc);
    doc.SetVariable("OSMODE", 0);
    const ObjectId upper = doc.AddLine({-10, 5, 0}, {10, 5, 0});
    const ObjectId lower = doc.AddLine({-10, -5, 0}, {10, -5, 0});
    const auto moveTo = [view](const Point3& world) {
        const QPointF at = view->ToScreen(world);
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
    };
    moveTo({0, 5, 0});
    EXPECT_EQ(view->Highlighted(), std::nullopt) << "nothing is highlighted without ERASE";
    m_window->RunCommand("ERASE");
    moveTo({0, 5, 0});
    EXPECT_EQ(view->Highlighted(), std::optional<ObjectId>(upper));
    moveTo({0, 0, 0});
    EXPECT_EQ(view->Highlighted(), std::nullopt);
    moveTo({3, -5, 0});
    EXPECT_EQ(view->Highlighted(), std::optional<ObjectId>(lower));
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, view->ToScreen({3, -5, 0}).toPoint());
    EXPECT_EQ(doc.Find(lower), nullptr);
    EXPECT_NE(doc.Find(upper), nullptr);
    EXPECT_EQ(view->Highlighted(), std::nullopt);
    moveTo({0, 5, 0});
    EXPECT_EQ(view->Highlighted(), std::optional<ObjectId>(upper));
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(view->Highlighted(), std::nullopt) << "the highlight outlived the tool";
}

TEST_F(HostWindowTest, TheCommandLineExplainsLayerAndKeepsSixLinesOfHistory)
{
    Document& doc = m_window->NewDocument();
    m_window->RunCommand("LAYER");
    EXPECT_EQ(m_window->History().last(), QStringLiteral("Usage: LAYER name (makes the layer active, creating it when missing)."));
    EXPECT_EQ(doc.ActiveLayer(), QStringLiteral("0"));
    m_window->RunCommand("LAYER Beams");
    EXPECT_EQ(doc.ActiveLayer(), QStringLiteral("Beams"));
    // Six whole lines fit in the history above the command line.
    QPlainTextEdit* history = m_window->HistoryView();
    const double textHeight = history->viewport()->height() - 2 * history->document()->documentMargin();
    EXPECT_GE(textHeight, 6 * history->fontMetrics().lineSpacing()) << "the history shows " << textHeight << " pixels";
}

TEST_F(HostWindowTest, AViewStillFollowingTheDrawingShowsItWholeAtEverySizeTheWindowTakes)
{
    Document& doc = m_window->NewDocument();
    doc.AddLine({0, 0, 0}, {100, 50, 0});
    DrawingView* view = m_window->ViewOf(doc);
    // Opening, a window passes through small sizes before its own.
    view->resize(120, 80);
    view->resize(700, 500);
    EXPECT_NEAR(view->Transform().scale, ViewTransform::Fit(doc.Extents(), 700, 500).scale, 1e-9)
        << "the drawing fills the grown view, not the size it was fitted at first";
    // Once the engineer has moved it, a resize keeps the scale.
    view->SetTransform(ViewTransform{10.0, 0.0, 0.0, 700, 500});
    view->resize(600, 400);
    EXPECT_EQ(view->Transform().scale, 10.0);
}

TEST_F(HostWindowTest, CoordinatesFollowTheCursorAfterAZoomAndClearWithNoDrawing)
{
    Document& doc = m_window->NewDocument();
    DrawingView* view = View(doc);
    doc.SetVariable("OSMODE", 0);
    doc.AddLine({100, 100, 0}, {140, 120, 0});
    const QPointF at(300, 150);   // 10 px per unit about the origin: drawing point (10, 0)
    const auto moveTo = [view, at] {
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
    };
    moveTo();
    EXPECT_EQ(m_window->CoordinatesLabel()->text(), QStringLiteral("X 10.0000  Y 0.0000"));
    // The view jumps to the line; the cursor rests, but points somewhere else now.
    m_window->ZoomExtents();
    const QString afterZoom = m_window->CoordinatesLabel()->text();
    EXPECT_NE(afterZoom, QStringLiteral("X 10.0000  Y 0.0000"));
    moveTo();
    EXPECT_EQ(m_window->CoordinatesLabel()->text(), afterZoom);
    m_window->CloseDocument(doc);
    EXPECT_EQ(m_window->CoordinatesLabel()->text(), QString());
}

TEST_F(HostWindowTest, UndoAndRedoFromTheKeysTheCommandsAndTheEditMenu)
{
    Document& doc = m_window->NewDocument();
    doc.SetVariable("OSMODE", 0);
    m_window->RunCommand("LINE");
    m_window->ClickAt({0, 0, 0});
    m_window->ClickAt({10, 0, 0});
    m_window->ClickAt({10, 10, 0});
    QTest::keyClick(m_window->CommandLine(), Qt::Key_Escape);
    ASSERT_EQ(doc.EntityCount(), 2u);
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    m_window->CommandLine()->setFocus();
    // Ctrl+Z in the empty command line takes the last line back, Ctrl+Y brings it again.
    QTest::keyClick(m_window->CommandLine(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc.EntityCount(), 1u);
    EXPECT_EQ(m_window->History().last(), QStringLiteral("Undone."));
    QTest::keyClick(m_window->CommandLine(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(doc.EntityCount(), 2u);
    // U and UNDO, REDO.
    Type("U");
    Type("UNDO");
    EXPECT_EQ(doc.EntityCount(), 0u);
    Type("U");
    EXPECT_EQ(m_window->History().last(), QStringLiteral("Nothing to undo."));
    Type("REDO");
    EXPECT_EQ(doc.EntityCount(), 1u);
    // LAYER name is one step: the new layer and its being made active go together.
    Type("LAYER Beams");
    EXPECT_EQ(doc.ActiveLayer(), QStringLiteral("Beams"));
    QAction* undo = nullptr;
    for (QAction* menu : m_window->menuBar()->actions())
        if (menu->text() == QStringLiteral("&Edit") && menu->menu())
            for (QAction* item : menu->menu()->actions())
                if (item->text() == QStringLiteral("&Undo"))
                    undo = item;
    ASSERT_NE(undo, nullptr);
    undo->trigger();
    EXPECT_EQ(doc.ActiveLayer(), QStringLiteral("0"));
    EXPECT_EQ(doc.Layers().Find("Beams"), nullptr);
    EXPECT_EQ(doc.EntityCount(), 1u);
    cadhost::test::ExpectDocumentConsistent(doc);
}

TEST_F(HostWindowTest, AnAutomationRequestEndsARunningToolFirst)
{
    Document& doc = m_window->NewDocument();
    m_window->RunCommand("POINT");
    Answer answer;
    m_window->RequestPoint(doc, "Get node 1", Into(answer));
    Type("1,2");
    EXPECT_EQ(answer.calls, 1);
    EXPECT_EQ(doc.EntityCount(), 0u) << "the typed point went to the tool instead of the caller";
}

TEST_F(HostWindowTest, StatusBarShowsCoordinatesAndTheSnapModes)
{
    Document& doc = m_window->NewDocument();
    doc.SetVariable("OSMODE", 33);
    EXPECT_EQ(m_window->SnapLabel()->text(), QStringLiteral("Snap: END INT"));
    doc.SetVariable("OSMODE", 8);
    EXPECT_EQ(m_window->SnapLabel()->text(), QStringLiteral("Snap: NODE"));
    doc.SetVariable("OSMODE", 0);
    EXPECT_EQ(m_window->SnapLabel()->text(), QStringLiteral("Snap: off"));
    DrawingView* view = View(doc);
    QTest::mouseMove(view, QPoint(view->width() / 2, view->height() / 2) + QPoint(50, -50));
    QTRY_VERIFY(m_window->CoordinatesLabel()->text().startsWith("X 5.0000  Y 5.0000"));
}

TEST_F(HostWindowTest, SavingADwgNameWritesDxfAndTheTabFollowsTheName)
{
    QTemporaryDir dir;
    Document& doc = m_window->NewDocument();
    doc.AddLine({0, 0, 0}, {1, 1, 0});
    m_window->chooseSaveFile = [&](const QString& suggested) {
        EXPECT_EQ(suggested, QStringLiteral("Drawing1.dxf"));
        return dir.filePath("frame.dwg");
    };
    EXPECT_TRUE(m_window->SaveFile());
    EXPECT_EQ(doc.FullName(), dir.filePath("frame.dxf"));
    EXPECT_EQ(m_window->Tabs()->tabText(0), QStringLiteral("frame.dxf"));
    EXPECT_TRUE(m_window->History().last().contains("frame.dxf"));
    Document back("check");
    DxfFile::Read(dir.filePath("frame.dxf"), back);
    EXPECT_EQ(back.EntityCount(), 1u);
}

TEST_F(HostWindowTest, CloseAsksForUnsavedWorkAndAFailedOrCancelledSaveKeepsTheDrawing)
{
    Document& doc = m_window->NewDocument();
    doc.AddLine({0, 0, 0}, {1, 1, 0});
    m_saveAnswer = QMessageBox::Cancel;
    EXPECT_FALSE(m_window->CloseFile());
    EXPECT_EQ(m_window->Documents().Count(), 1);
    m_saveAnswer = QMessageBox::Save;
    m_window->chooseSaveFile = [](const QString&) { return QString(); };   // the engineer cancels the dialog
    EXPECT_FALSE(m_window->CloseFile());
    EXPECT_EQ(m_window->Documents().Count(), 1);
    m_window->chooseSaveFile = [](const QString&) { return QStringLiteral("/no/such/folder/x.dxf"); };
    EXPECT_FALSE(m_window->CloseFile());
    EXPECT_EQ(m_errors.size(), 1);
    EXPECT_EQ(m_window->Documents().Count(), 1);
    m_saveAnswer = QMessageBox::Discard;
    EXPECT_TRUE(m_window->CloseFile());
    EXPECT_EQ(m_window->Documents().Count(), 0);
    EXPECT_EQ(m_asked, 4);
    m_window->NewDocument();
    EXPECT_TRUE(m_window->CloseFile()) << "an untouched drawing closes without a question";
    EXPECT_EQ(m_asked, 4);
}

TEST_F(HostWindowTest, OpeningAFileTwiceShowsOneTabAndABadFileShowsItsError)
{
    QTemporaryDir dir;
    Document scratch("x");
    scratch.AddPoint({1, 1, 0});
    SaveDocument(scratch, dir.filePath("one.dxf"));
    m_window->chooseOpenFile = [&] { return dir.filePath("one.dxf"); };
    m_window->OpenFile();
    m_window->OpenFile();
    EXPECT_EQ(m_window->Tabs()->count(), 1);
    EXPECT_EQ(m_window->Tabs()->tabText(0), QStringLiteral("one.dxf"));
    EXPECT_FALSE(m_window->History().join('\n').contains("left out"));
    // A drawing with a circle: kept, so nothing is said and a save asks nothing.
    QFile circle(dir.filePath("circle.dxf"));
    ASSERT_TRUE(circle.open(QIODevice::WriteOnly));
    circle.write("  0\nSECTION\n  2\nENTITIES\n  0\nCIRCLE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n"
                 "  0\nPOINT\n  8\n0\n 10\n1.0\n 20\n1.0\n 30\n0.0\n  0\nENDSEC\n  0\nEOF\n");
    circle.close();
    m_window->chooseOpenFile = [&] { return circle.fileName(); };
    m_window->OpenFile();
    EXPECT_EQ(m_window->Tabs()->count(), 2);
    EXPECT_FALSE(m_window->History().join('\n').contains("left out"));
    QStringList asked;
    m_window->confirmDropLeftOut = [&](const Document& doc) {
        asked << doc.LeftOut();
        return false;
    };
    EXPECT_TRUE(m_window->SaveFile());
    EXPECT_TRUE(asked.isEmpty());
    QFile kept(circle.fileName());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll().contains("  0\nCIRCLE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n"));
    kept.close();
    m_window->chooseOpenFile = [&] { return dir.filePath("missing.dwg"); };
    m_window->OpenFile();
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_TRUE(m_errors[0].contains("DWG"));
    EXPECT_EQ(m_window->Tabs()->count(), 2);
}

TEST_F(HostWindowTest, LayerPanelEditsReachTheDocumentAndRefusalsAreReported)
{
    Document& doc = m_window->NewDocument();
    doc.AddLayer("Korrin_Nodes");
    LayerPanel* panel = m_window->Layers();
    ASSERT_EQ(panel->rowCount(), 2);
    EXPECT_EQ(panel->item(1, LayerPanel::kName)->text(), QStringLiteral("Korrin_Nodes"));
    panel->item(1, LayerPanel::kOn)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(doc.Layers().Find("Korrin_Nodes")->on);
    auto* spin = qobject_cast<QSpinBox*>(panel->cellWidget(1, LayerPanel::kColor));
    ASSERT_NE(spin, nullptr);
    spin->setValue(40);
    EXPECT_EQ(doc.Layers().Find("Korrin_Nodes")->color, 40);
    spin->setValue(41);   // the same box keeps stepping
    EXPECT_EQ(doc.Layers().Find("Korrin_Nodes")->color, 41);
    EXPECT_EQ(panel->cellWidget(1, LayerPanel::kColor), spin);
    doc.SetLayerColor("Korrin_Nodes", 200);   // a change made through the engine shows
    EXPECT_EQ(spin->value(), 200);
    // Freezing the active layer is refused and the box goes back.
    panel->item(0, LayerPanel::kFrozen)->setCheckState(Qt::Checked);
    EXPECT_FALSE(doc.Layers().Find("0")->frozen);
    EXPECT_EQ(panel->item(0, LayerPanel::kFrozen)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(m_window->History().last().contains("frozen"));
    // A layer added through the engine shows up.
    doc.AddLayer("Korrin_Beams");
    EXPECT_EQ(panel->rowCount(), 3);
}

TEST_F(HostWindowTest, TheViewShowsEntitiesAddedThroughTheEngineAndHidesThoseOnAHiddenLayer)
{
    Document& doc = m_window->NewDocument();
    DrawingView* view = View(doc);
    doc.AddLayer("Minus");
    doc.SetLayerColor("Minus", 1);
    doc.SetActiveLayer("Minus");
    for (int i = 0; i < 100; ++i)
        doc.AddLine({-5, 1, 0}, {5, 1, 0});   // 10 px above the centre, 50 px either side
    const QColor red(255, 0, 0);
    auto onLine = [view] { return view->ToScreen({2, 1, 0}).toPoint(); };
    QTRY_COMPARE_WITH_TIMEOUT(view->grab().toImage().pixelColor(onLine()), red, 5000);
    EXPECT_NE(view->grab().toImage().pixelColor(onLine() + QPoint(0, 5)), red);
    doc.SetActiveLayer("0");
    doc.SetLayerOn("Minus", false);
    QTRY_VERIFY_WITH_TIMEOUT(view->grab().toImage().pixelColor(onLine()) != red, 5000);
}

TEST_F(HostWindowTest, AnUntouchedViewFollowsTheDrawingAndAMovedOneStays)
{
    Document& doc = m_window->NewDocument();
    DrawingView* view = m_window->ViewOf(doc);
    doc.AddLine({5000, 5000, 0}, {5600, 5300, 0});   // far outside the first view
    auto inView = [view](const Point3& p) {
        const QPointF s = view->ToScreen(p);
        return s.x() >= 0 && s.y() >= 0 && s.x() <= view->width() && s.y() <= view->height();
    };
    QTRY_VERIFY_WITH_TIMEOUT(inView({5000, 5000, 0}) && inView({5600, 5300, 0}), 5000);
    view->ZoomBy(4.0, QPointF(0, 0));
    const QPointF before = view->ToScreen({5000, 5000, 0});
    doc.AddLine({-9000, -9000, 0}, {-8000, -8000, 0});
    ASSERT_TRUE(view->RedrawPending());
    QTRY_VERIFY_WITH_TIMEOUT(!view->RedrawPending(), 5000);
    ASSERT_FALSE(view->RedrawPending());
    EXPECT_EQ(view->ToScreen({5000, 5000, 0}), before) << "the view jumped away from where the engineer put it";
}

TEST_F(HostWindowTest, PanningMovesThePictureAtOnceAndRepaintsItWhereTheDrawingIs)
{
    Document& doc = m_window->NewDocument();
    doc.AddLayer("Red");
    doc.SetLayerColor("Red", 1);
    doc.SetActiveLayer("Red");
    doc.AddLine({0, -5, 0}, {0, 5, 0});   // a vertical line through the origin
    DrawingView* view = View(doc);
    const QColor red(255, 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(view->grab().toImage().pixelColor(view->ToScreen({0, 2, 0}).toPoint()), red, 5000);
    const QPoint before = view->ToScreen({0, 2, 0}).toPoint();
    view->PanBy(QPointF(30, 0));
    const QPoint after = view->ToScreen({0, 2, 0}).toPoint();
    EXPECT_EQ(after, before + QPoint(30, 0));
    EXPECT_EQ(view->grab().toImage().pixelColor(after), red) << "the picture did not follow the pan";
    EXPECT_NE(view->grab().toImage().pixelColor(before), red);
    ASSERT_TRUE(view->RedrawPending());
    QTRY_VERIFY_WITH_TIMEOUT(!view->RedrawPending(), 5000);   // the pan has settled: painted afresh
    ASSERT_FALSE(view->RedrawPending());
    EXPECT_EQ(view->grab().toImage().pixelColor(after), red);
    EXPECT_NE(view->grab().toImage().pixelColor(before), red);
}

TEST_F(HostWindowTest, ZoomExtentsShowsTheWholeDrawing)
{
    Document& doc = m_window->NewDocument();
    doc.AddLine({1000, 1000, 0}, {1100, 1050, 0});
    DrawingView* view = View(doc);
    m_window->ZoomExtents();
    const QPointF a = view->ToScreen({1000, 1000, 0}), b = view->ToScreen({1100, 1050, 0});
    for (QPointF p : {a, b}) {
        EXPECT_GE(p.x(), 0);
        EXPECT_LE(p.x(), view->width());
        EXPECT_GE(p.y(), 0);
        EXPECT_LE(p.y(), view->height());
    }
    EXPECT_GT(b.x() - a.x(), view->width() * 0.8) << "the drawing should fill the view";
}

TEST_F(HostWindowTest, TheLayersPanelStartsNarrowComesBackFromTheViewMenuAndShowsWhite)
{
    m_window->NewDocument();
    QDockWidget* dock = m_window->LayersDock();
    ASSERT_TRUE(dock->isVisible());
    EXPECT_LT(dock->width(), m_window->width() / 3) << "the panel takes " << dock->width() << " of " << m_window->width();
    // Closed by its button, it comes back from View > Layers.
    dock->close();
    EXPECT_FALSE(dock->isVisible());
    QAction* layers = nullptr;
    for (QAction* menu : m_window->menuBar()->actions())
        if (menu->text() == QStringLiteral("&View") && menu->menu())
            for (QAction* item : menu->menu()->actions())
                if (item->text() == QStringLiteral("&Layers"))
                    layers = item;
    ASSERT_NE(layers, nullptr) << "the View menu has no Layers item";
    layers->trigger();
    EXPECT_TRUE(dock->isVisible());
    // Layer "0" is white (7): its swatch must still stand out from the white row.
    const QImage swatch = m_window->Layers()->item(0, LayerPanel::kName)->icon().pixmap(12, 12).toImage();
    const int rowLightness = m_window->Layers()->palette().color(QPalette::Base).lightness();
    int standingOut = 0;
    for (int y = 0; y < swatch.height(); ++y)
        for (int x = 0; x < swatch.width(); ++x)
            standingOut += std::abs(swatch.pixelColor(x, y).lightness() - rowLightness) > 60 ? 1 : 0;
    EXPECT_GT(standingOut, 0) << "the white swatch disappears into its row";
    EXPECT_EQ(swatch.pixelColor(6, 6), QColor(255, 255, 255));
}

TEST(HostOptionsParsing, ReadsSocketSecondInstanceHeadlessAndFiles)
{
    const HostOptions o = ParseHostOptions({"cadhost", "--headless", "--socket", "ardela-test-1", "--second-instance", "a.dxf"});
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_TRUE(o.headless);
    EXPECT_TRUE(o.secondInstance);
    EXPECT_EQ(o.socketName, QStringLiteral("ardela-test-1"));
    EXPECT_EQ(o.files, QStringList{"a.dxf"});
    const HostOptions plain = ParseHostOptions({"cadhost"});
    EXPECT_FALSE(plain.headless || plain.secondInstance);
    EXPECT_TRUE(plain.socketName.isEmpty());
    EXPECT_FALSE(ParseHostOptions({"cadhost", "--socket"}).error.isEmpty());
    EXPECT_FALSE(ParseHostOptions({"cadhost", "--bogus"}).error.isEmpty());
}

TEST(CadhostProgram, RunsHeadlessUntilStoppedAndRefusesUnknownOptions)
{
    const QString program = QDir(ardela::test::BinDir()).filePath("cadhost");
    ASSERT_TRUE(QFileInfo::exists(program)) << program.toStdString();
    QProcess host;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString socket = dir.filePath(QStringLiteral("host"));
    host.start(program, {"--headless", "--second-instance", "--socket", socket});
    ASSERT_TRUE(host.waitForStarted(10000));
    // It answers on its socket, and is still there once it does.
    bool answered = false;
    const QDeadlineTimer deadline(30000);
    while (!answered && !deadline.hasExpired() && host.state() == QProcess::Running) {
        QLocalSocket probe;
        probe.connectToServer(socket);
        answered = probe.waitForConnected(200);
        if (!answered)
            host.waitForFinished(20);
    }
    EXPECT_TRUE(answered) << "the headless host stopped by itself: " << host.readAllStandardError().toStdString();
    EXPECT_EQ(host.state(), QProcess::Running);
    host.terminate();
    EXPECT_TRUE(host.waitForFinished(10000));

    QProcess bad;
    bad.start(program, {"--bogus"});
    ASSERT_TRUE(bad.waitForFinished(20000));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(bad.readAllStandardError().contains("bogus"));
}
