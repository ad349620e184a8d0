// Guards against: a typed value stored as text or lost, the edit box rounding the engineer's value,
// the box committing on Escape or losing an edit on a click elsewhere, edge keys scrolling or
// moving wrongly, toggles not toggling, the clipboard keys touching the clipboard when they must
// not, scrolling showing or writing the wrong table rows, Escape pressing Cancel while the box is
// open, the grid menu acting on the wrong cell, a horizontally scrolling sheet writing the wrong
// column, a comma locale read as a point locale.
#include <clocale>
#include <cstring>

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalSpy>
#include <QVBoxLayout>

#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "support/WizardControls.h"
#include "desktop/Table.h"
#include "desktop/modKeybHook.h"
#include "wizard/GridEditor.h"

using namespace ardela;
using namespace ardela::test;

namespace {

// A window like a wizard's: the grid block, a Cancel button that answers to Escape and a Next
// button, with the editor's signals wired as a wizard wires them.
class GridEditorTest : public ardela::test::WindowTest {
protected:
    void SetUp() override
    {
        m_window = new QWidget;
        m_window->setObjectName(QStringLiteral("wizard"));
        auto* layout = new QVBoxLayout(m_window);
        editor = new GridEditor(m_window);
        cancel = new QPushButton(QStringLiteral("Cancel"), m_window);
        next = new QPushButton(QStringLiteral("&Next >"), m_window);
        layout->addWidget(editor);
        layout->addWidget(cancel);
        layout->addWidget(next);
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_window);
        QObject::connect(escape, &QShortcut::activated, cancel, &QPushButton::click);
        QObject::connect(editor, &GridEditor::EditFocusChanged, escape,
                         [escape](bool boxHasFocus) { escape->setEnabled(!boxHasFocus); });
        QObject::connect(editor, &GridEditor::Edited, [this] { isDirty = true; });

        GridSheet nodeSheet;
        BindTable(nodeSheet, nodes);
        nodeSheet.fixedHeading = QStringLiteral("Node");
        nodeSheet.columns = {{1, QStringLiteral("Coord x"), 1680}, {2, QStringLiteral("Coord y"), 1680}};
        nodeSheetIndex = editor->AddSheet(nodeSheet);

        GridSheet blockSheet;
        BindTable(blockSheet, blocks);
        blockSheet.fixedHeading = QStringLiteral("Block");
        blockSheet.columns = {{1, QStringLiteral("Node"), 1120},
                              {2, QStringLiteral("Block x"), 1120, true},
                              {3, QStringLiteral("Block y"), 1120, true}};
        blockSheetIndex = editor->AddSheet(blockSheet);

        GridSheet loadSheet;
        BindTable(loadSheet, loads);
        loadSheet.fixedHeading = QStringLiteral("Loads");
        loadSheet.columns = {{1, QStringLiteral("Node"), 1120},
                             {2, QStringLiteral("Fx [daN]"), 1120},
                             {3, QStringLiteral("Fy [daN]"), 1120}};
        loadSheetIndex = editor->AddSheet(loadSheet);

        GridSheet domainSheet;
        BindTable(domainSheet, domains);
        domainSheet.fixedHeading = QStringLiteral("Domain");
        const char* headings[] = {"Lower x", "Lower y", "Upper x", "Upper y", "Thickness", "E [daN/cm²]", "G [daN/cm²]"};
        for (int c = 1; c <= 7; ++c)
            domainSheet.columns.push_back({c, QString::fromUtf8(headings[c - 1]), 840});
        domainSheet.visibleColumns = 4;
        domainSheetIndex = editor->AddSheet(domainSheet);

        editor->ShowSheet(nodeSheetIndex);
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
        GridCells(editor)->setFocus();
    }
    void TearDown() override
    {
        RemoveKeybHook();
        delete m_window;
        WindowTest::TearDown();
    }

    QString Shown(int row, int col) const { return GridCells(editor)->item(row, col)->text(); }
    QPoint CellCentre(int row, int col) const
    {
        return GridCells(editor)->visualItemRect(GridCells(editor)->item(row, col)).center();
    }
    void Click(int row, int col, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(GridCells(editor)->viewport(), button, {}, CellCentre(row, col));
    }
    // Makes a cell current with the grid focused and the box closed.
    void At(int row, int col)
    {
        GridCells(editor)->setFocus();
        GridCells(editor)->setCurrentCell(row, col);
        ASSERT_FALSE(editor->EditPending());
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QTest::keyClick(QApplication::focusWidget(), key, mods);
    }
    // Each character goes to the widget focused at that moment (the first opens the box).
    void Type(const char* text)
    {
        for (const char* c = text; *c; ++c)
            QTest::keyClick(QApplication::focusWidget(), *c);
    }

    Table<3> nodes;
    Table<5> blocks;
    Table<3> loads;
    Table<7> domains;
    GridEditor* editor = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* next = nullptr;
    bool isDirty = false;
    int nodeSheetIndex = -1, blockSheetIndex = -1, loadSheetIndex = -1, domainSheetIndex = -1;

private:
    QWidget* m_window = nullptr;
};

// The decimal form the tests type and expect, in the locale the suite runs in.
QString Dec(const char* pointForm)
{
    return QString::fromLatin1(pointForm).replace(u'.', QLocale().decimalPoint());
}

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TEST_F(GridEditorTest, TypingADigitOpensTheBoxOnItAndEnterStoresASingle)
{
    At(1, 1);
    Key(Qt::Key_2);
    ASSERT_TRUE(editor->EditPending());
    EXPECT_EQ(EditBox(editor)->text(), QStringLiteral("2"));
    EXPECT_EQ(EditBox(editor)->cursorPosition(), 1);
    EXPECT_TRUE(EditBox(editor)->hasFocus());
    EXPECT_TRUE(isDirty);
    Key(Qt::Key_Return);
    EXPECT_FALSE(editor->EditPending());
    ASSERT_EQ(nodes(1, 1).GetKind(), Cell::Kind::Single);
    EXPECT_EQ(nodes(1, 1).SingleValue(), 2.0f);
    EXPECT_EQ(Shown(1, 1), QStringLiteral("2"));
    EXPECT_TRUE(GridCells(editor)->hasFocus());
}

TEST_F(GridEditorTest, SpaceOrEnterOpensTheBoxWithTheWholeTextSelected)
{
    nodes(2, 2) = Cell(-17.0f);
    editor->Fill();
    At(2, 2);
    Key(Qt::Key_Space);
    ASSERT_TRUE(editor->EditPending());
    EXPECT_EQ(EditBox(editor)->text(), QStringLiteral("-17"));
    EXPECT_EQ(EditBox(editor)->selectedText(), QStringLiteral("-17"));
    EXPECT_FALSE(isDirty);  // filling the box is no edit
    Key(Qt::Key_Escape);
    Key(Qt::Key_Return);
    ASSERT_TRUE(editor->EditPending());
    EXPECT_EQ(EditBox(editor)->selectedText(), QStringLiteral("-17"));
    // Typing replaces the selection.
    Type("4");
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(2, 2), Cell(4.0f));
}

TEST_F(GridEditorTest, AValueIsShownRoundedAndKeptWholeWhenCommittedUnchanged)
{
    nodes(1, 1) = Cell(2.35f);
    nodes(2, 1) = Cell(2.25f);
    nodes(3, 1) = Cell(-0.04f);
    nodes(4, 1) = Cell(123.456789012345);  // a picked coordinate
    editor->Fill();
    EXPECT_EQ(Shown(1, 1), Dec("2.4"));
    EXPECT_EQ(Shown(2, 1), Dec("2.3"));
    EXPECT_EQ(Shown(3, 1), Dec("0.0"));
    EXPECT_EQ(Shown(4, 1), Dec("123.5"));

    Click(1, 1);
    ASSERT_TRUE(editor->EditPending());
    EXPECT_EQ(EditBox(editor)->text(), Dec("2.35"));
    Key(Qt::Key_Return);
    ASSERT_EQ(nodes(1, 1).GetKind(), Cell::Kind::Single);
    EXPECT_TRUE(SameBits(nodes(1, 1).SingleValue(), 2.35f));
    EXPECT_EQ(Shown(1, 1), Dec("2.4"));
    EXPECT_FALSE(isDirty);

    Click(4, 1);
    EXPECT_EQ(EditBox(editor)->text(), Dec("123.456789012345"));
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(4, 1), Cell(123.456789012345));

    // A changed value is stored as the single it reads as.
    Click(1, 1);
    Key(Qt::Key_End);
    Type("1");
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(1, 1), Cell(2.351f));
    EXPECT_EQ(Shown(1, 1), Dec("2.4"));
    EXPECT_TRUE(isDirty);
}

TEST_F(GridEditorTest, ATextThatIsNoNumberIsKeptAsText)
{
    At(3, 2);
    Type("abc");
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(3, 2), Cell(QStringLiteral("abc")));
    EXPECT_EQ(Shown(3, 2), QStringLiteral("abc"));
    At(3, 1);
    Type("1");
    Type(QLocale().decimalPoint() == QStringLiteral(".") ? "..5" : ",,5");
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(3, 1).GetKind(), Cell::Kind::Text);
}

TEST_F(GridEditorTest, EdgeKeysInTheBoxCommitOrMoveWithoutScrolling)
{
    VertBar(editor)->setValue(10);
    // Up on the first data row: committed, row kept, no scroll, focus back on the grid.
    At(1, 1);
    Type("5");
    Key(Qt::Key_Up);
    EXPECT_EQ(nodes(11, 1), Cell(5.0f));
    EXPECT_EQ(GridCells(editor)->currentRow(), 1);
    EXPECT_EQ(VertBar(editor)->value(), 10);
    EXPECT_TRUE(GridCells(editor)->hasFocus());
    EXPECT_FALSE(editor->EditPending());

    // Down on the last data row commits and stays.
    At(5, 2);
    Type("6");
    Key(Qt::Key_Down);
    EXPECT_EQ(nodes(15, 2), Cell(6.0f));
    EXPECT_EQ(GridCells(editor)->currentRow(), 5);
    EXPECT_EQ(VertBar(editor)->value(), 10);

    // Down above the last row moves one row down; the box is committed by leaving its cell.
    At(2, 1);
    Type("7");
    Key(Qt::Key_Down);
    EXPECT_EQ(nodes(12, 1), Cell(7.0f));
    EXPECT_EQ(GridCells(editor)->currentRow(), 3);
    EXPECT_TRUE(GridCells(editor)->hasFocus());

    // Right moves the caret inside the text until it stands at the end.
    At(2, 1);
    Type("89");
    Key(Qt::Key_Left);  // caret between 8 and 9: the box keeps the key
    EXPECT_TRUE(editor->EditPending());
    EXPECT_EQ(EditBox(editor)->cursorPosition(), 1);
    Key(Qt::Key_Right);
    EXPECT_TRUE(editor->EditPending());
    Key(Qt::Key_Right);  // at the end: one column right
    EXPECT_FALSE(editor->EditPending());
    EXPECT_EQ(nodes(12, 1), Cell(89.0f));
    EXPECT_EQ(GridCells(editor)->currentColumn(), 2);

    // Right on the last column commits and stays; Left at caret 0 moves left.
    Type("3");
    Key(Qt::Key_Right);
    EXPECT_EQ(nodes(12, 2), Cell(3.0f));
    EXPECT_EQ(GridCells(editor)->currentColumn(), 2);
    Type("4");
    Key(Qt::Key_Home);
    Key(Qt::Key_Left);
    EXPECT_EQ(nodes(12, 2), Cell(4.0f));
    EXPECT_EQ(GridCells(editor)->currentColumn(), 1);

    // Left with the whole text selected is the box's own key.
    Key(Qt::Key_Space);
    ASSERT_TRUE(EditBox(editor)->hasSelectedText());
    Key(Qt::Key_Left);
    EXPECT_TRUE(editor->EditPending());
    Key(Qt::Key_Escape);
}

TEST_F(GridEditorTest, EscapeLeavesTheCellAndTheTableUnchangedAndDoesNotPressCancel)
{
    QSignalSpy cancelled(cancel, &QPushButton::clicked);
    nodes(1, 2) = Cell(4.0f);
    editor->Fill();
    At(1, 2);
    Type("9");
    ASSERT_TRUE(editor->EditPending());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(editor->EditPending());
    EXPECT_EQ(nodes(1, 2), Cell(4.0f));
    EXPECT_EQ(Shown(1, 2), QStringLiteral("4"));
    EXPECT_TRUE(GridCells(editor)->hasFocus());
    EXPECT_EQ(cancelled.count(), 0);
    // With the box closed Escape is Cancel's again.
    Key(Qt::Key_Escape);
    EXPECT_EQ(cancelled.count(), 1);
}

TEST_F(GridEditorTest, LeavingTheBoxForAnotherCellOrControlCommitsIt)
{
    At(1, 1);
    Type("3");
    Click(2, 2);
    EXPECT_EQ(nodes(1, 1), Cell(3.0f));
    ASSERT_TRUE(editor->EditPending());  // the click opened the box on the new cell
    EXPECT_EQ(editor->PendingRow(), 2);
    EXPECT_EQ(editor->PendingColumn(), 2);
    Type("8");
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_FALSE(editor->EditPending());
    EXPECT_EQ(nodes(2, 2), Cell(8.0f));
}

TEST_F(GridEditorTest, ThePendingTextAndItsCellAreVisibleToTheStepCheck)
{
    QString seen;
    int seenRow = 0, seenCol = 0;
    QObject::connect(editor, &GridEditor::StepCheckNeeded, [&] {
        seen = editor->PendingText();
        seenRow = editor->PendingRow();
        seenCol = editor->PendingColumn();
    });
    VertBar(editor)->setValue(20);
    At(3, 2);
    Type("71");
    EXPECT_EQ(seen, QStringLiteral("71"));
    EXPECT_EQ(seenRow, 23);
    EXPECT_EQ(seenCol, 2);
    EXPECT_TRUE(nodes(23, 2).IsEmpty());  // pending only
    Key(Qt::Key_Return);
    EXPECT_FALSE(editor->EditPending());
    EXPECT_EQ(editor->PendingText(), QString());
}

TEST_F(GridEditorTest, FixityColumnsToggleOnClicksAndOnEveryCharacter)
{
    editor->ShowSheet(blockSheetIndex);
    EXPECT_EQ(Shown(0, 0), QStringLiteral("Block"));
    EXPECT_EQ(Shown(0, 2), QStringLiteral("Block x"));
    Click(1, 2);
    EXPECT_EQ(Shown(1, 2), QStringLiteral("1"));
    EXPECT_EQ(blocks(1, 2), Cell(1.0f));
    EXPECT_FALSE(editor->EditPending());
    EXPECT_TRUE(isDirty);
    isDirty = false;
    Click(1, 2);
    EXPECT_EQ(Shown(1, 2), QString());
    EXPECT_TRUE(blocks(1, 2).IsEmpty());
    EXPECT_TRUE(isDirty);

    At(2, 3);
    Key(Qt::Key_A);
    EXPECT_EQ(blocks(2, 3), Cell(1.0f));
    Key(Qt::Key_Space);
    EXPECT_TRUE(blocks(2, 3).IsEmpty());
    // Ctrl+C copies, then toggles.
    Key(Qt::Key_Return);
    QGuiApplication::clipboard()->setText(QStringLiteral("unchanged"));
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1"));
    EXPECT_TRUE(blocks(2, 3).IsEmpty());
    // Ctrl+V pastes 0, then toggles the shown 0 to empty.
    QGuiApplication::clipboard()->setText(QStringLiteral("0"));
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(blocks(2, 3).IsEmpty());
    EXPECT_FALSE(editor->EditPending());
    // The node column is edited as usual.
    At(2, 1);
    Key(Qt::Key_3);
    EXPECT_TRUE(editor->EditPending());
    Key(Qt::Key_Return);
    EXPECT_EQ(blocks(2, 1), Cell(3.0f));
}

TEST_F(GridEditorTest, DeleteEmptiesTheCellAndTheTableCell)
{
    editor->ShowSheet(loadSheetIndex);
    loads(1, 1) = Cell(std::int16_t(4));
    loads(1, 2) = Cell(-500.0f);
    editor->Fill();
    EXPECT_EQ(Shown(1, 2), QStringLiteral("-500"));
    At(1, 2);
    Key(Qt::Key_Delete);
    EXPECT_TRUE(loads(1, 2).IsEmpty());
    EXPECT_EQ(Shown(1, 2), QString());
    EXPECT_EQ(loads(1, 1), Cell(std::int16_t(4)));
    EXPECT_FALSE(editor->EditPending());
    EXPECT_TRUE(isDirty);
}

TEST_F(GridEditorTest, CopyPutsTheFullValueOnTheClipboardAndNothingForAnEmptyCell)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    nodes(1, 1) = Cell(2.35f);
    editor->Fill();
    clipboard->setText(QStringLiteral("before"));
    At(2, 1);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("before"));
    EXPECT_FALSE(editor->EditPending());
    At(1, 1);
    Key(Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), Dec("2.35"));
}

TEST_F(GridEditorTest, PasteStoresANumericClipboardTextAndIgnoresOtherTexts)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    At(1, 2);
    clipboard->setText(Dec("12.5"));
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(nodes(1, 2), Cell(12.5f));
    EXPECT_EQ(Shown(1, 2), Dec("12.5"));
    EXPECT_TRUE(isDirty);

    At(2, 2);
    clipboard->setText(QStringLiteral("-8\n"));  // a spreadsheet's copied cell
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(nodes(2, 2), Cell(-8.0f));

    clipboard->setText(QStringLiteral("twelve"));
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(nodes(2, 2), Cell(-8.0f));
    EXPECT_FALSE(editor->EditPending());

    // Copy and paste round trip through the real clipboard.
    nodes(3, 1) = Cell(0.125f);
    editor->Fill();
    At(3, 1);
    Key(Qt::Key_C, Qt::ControlModifier);
    At(4, 1);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(nodes(4, 1), Cell(0.125f));
}

TEST_F(GridEditorTest, TheScrollBarMovesTheWindowAndCommitsAnOpenBox)
{
    EXPECT_EQ(VertBar(editor)->minimum(), 0);
    EXPECT_EQ(VertBar(editor)->maximum(), 1019);
    EXPECT_EQ(VertBar(editor)->singleStep(), 1);
    EXPECT_FALSE(HorzBar(editor)->isEnabled());
    nodes(101, 1) = Cell(1.5f);
    nodes(1024, 2) = Cell(9.0f);
    At(2, 1);
    Type("6");
    VertBar(editor)->setValue(100);
    EXPECT_EQ(nodes(2, 1), Cell(6.0f));  // written to the row it was typed on
    EXPECT_FALSE(editor->EditPending());
    EXPECT_EQ(Shown(1, 0), QStringLiteral("101"));
    EXPECT_EQ(Shown(1, 1), Dec("1.5"));
    EXPECT_EQ(editor->Sheet(nodeSheetIndex).rowOffset, 100);
    // Typed into the scrolled window: table row = offset + grid row.
    At(3, 2);
    Type("4");
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(103, 2), Cell(4.0f));
    // The last position shows the last table row in the last grid row.
    QTest::mouseClick(VertBar(editor), Qt::LeftButton, {}, QPoint(VertBar(editor)->width() / 2, VertBar(editor)->height() - 3));
    EXPECT_EQ(VertBar(editor)->value(), 101);
    VertBar(editor)->setValue(1019);
    EXPECT_EQ(Shown(5, 0), QStringLiteral("1024"));
    EXPECT_EQ(Shown(5, 2), QStringLiteral("9"));
}

TEST_F(GridEditorTest, NavigationKeysScrollPastTheGridEdges)
{
    InstallKeybHook(editor->HookTarget());
    nodes(6, 1) = Cell(66.0f);
    At(5, 1);
    Key(Qt::Key_Down);
    EXPECT_EQ(VertBar(editor)->value(), 1);
    EXPECT_EQ(Shown(5, 0), QStringLiteral("6"));
    EXPECT_EQ(Shown(5, 1), QStringLiteral("66"));
    EXPECT_EQ(GridCells(editor)->currentRow(), 5);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(VertBar(editor)->value(), 6);
    Key(Qt::Key_End);
    EXPECT_EQ(VertBar(editor)->value(), 1019);
    EXPECT_EQ(Shown(5, 0), QStringLiteral("1024"));
    Key(Qt::Key_Home);
    EXPECT_EQ(GridCells(editor)->currentRow(), 1);
    EXPECT_EQ(VertBar(editor)->value(), 0);
    EXPECT_EQ(Shown(1, 0), QStringLiteral("1"));
    Key(Qt::Key_Up);
    EXPECT_EQ(VertBar(editor)->value(), 0);
    // Page Up less than a page from the top shows table row 1 again.
    VertBar(editor)->setValue(3);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(VertBar(editor)->value(), 0);
    EXPECT_EQ(Shown(1, 0), QStringLiteral("1"));
    // The arrows never take the current cell into the fixed row or column.
    Key(Qt::Key_Up);
    Key(Qt::Key_Left);
    EXPECT_EQ(GridCells(editor)->currentRow(), 1);
    EXPECT_EQ(GridCells(editor)->currentColumn(), 1);
    // Keys in the open box are not the hook's.
    At(5, 1);
    Type("2");
    Key(Qt::Key_Down);
    EXPECT_EQ(VertBar(editor)->value(), 0);
    EXPECT_EQ(nodes(5, 1), Cell(2.0f));
}

TEST_F(GridEditorTest, TheGridMenuOffersItsItemsAndFillsDownAndCuts)
{
    QMenu* menu = GridMenu(editor);
    QStringList captions;
    for (QAction* a : menu->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text() + u'|' + a->shortcut().toString());
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Cu&t |Ctrl+X"), QStringLiteral("&Copy|Ctrl+C"),
                                     QStringLiteral("&Paste|Ctrl+V"), QStringLiteral("-"),
                                     QStringLiteral("&Delete|Del"), QStringLiteral("-"),
                                     QStringLiteral("&Fill Down|")}));

    nodes(1, 2) = Cell(2.35f);
    editor->Fill();
    Click(2, 2, Qt::RightButton);
    QTRY_VERIFY(menu->isVisible());
    EXPECT_EQ(GridCells(editor)->currentRow(), 2);
    EXPECT_EQ(GridCells(editor)->currentColumn(), 2);
    GridMenuItem(editor, "mnuFillDown")->trigger();
    menu->hide();
    EXPECT_EQ(nodes(2, 2), Cell(2.35f));
    EXPECT_EQ(Shown(2, 2), Dec("2.4"));
    EXPECT_TRUE(isDirty);

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Click(1, 2, Qt::RightButton);
    QTRY_VERIFY(menu->isVisible());
    GridMenuItem(editor, "mnuCut")->trigger();
    menu->hide();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Dec("2.35"));
    EXPECT_TRUE(nodes(1, 2).IsEmpty());

    Click(3, 1, Qt::RightButton);
    QTRY_VERIFY(menu->isVisible());
    GridMenuItem(editor, "mnuPaste")->trigger();
    menu->hide();
    EXPECT_EQ(nodes(3, 1), Cell(2.35f));

    // No menu over the fixed cells.
    Click(0, 1, Qt::RightButton);
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(GridEditorTest, AHorizontallyScrollingSheetShowsFourColumnsAtATime)
{
    editor->ShowSheet(domainSheetIndex);
    EXPECT_EQ(GridCells(editor)->columnCount(), 5);
    EXPECT_TRUE(HorzBar(editor)->isEnabled());
    EXPECT_EQ(HorzBar(editor)->maximum(), 3);
    EXPECT_EQ(Shown(0, 0), QStringLiteral("Domain"));
    EXPECT_EQ(Shown(0, 4), QStringLiteral("Upper y"));
    domains(2, 7) = Cell(80000.0f);
    HorzBar(editor)->setValue(3);
    EXPECT_EQ(Shown(0, 1), QStringLiteral("Upper y"));
    EXPECT_EQ(Shown(0, 4), QString::fromUtf8("G [daN/cm²]"));
    EXPECT_EQ(Shown(2, 4), QStringLiteral("80000"));
    At(1, 4);
    Type("5");
    Key(Qt::Key_Return);
    EXPECT_EQ(domains(1, 7), Cell(5.0f));
    EXPECT_EQ(editor->PendingColumn(), 0);

    // The navigation keys scroll it sideways past its edge columns.
    InstallKeybHook(editor->HookTarget());
    At(1, 1);
    Key(Qt::Key_Left);
    EXPECT_EQ(HorzBar(editor)->value(), 2);
    EXPECT_EQ(Shown(0, 1), QStringLiteral("Upper x"));
    At(1, 4);
    Key(Qt::Key_Right);
    EXPECT_EQ(HorzBar(editor)->value(), 3);
    Key(Qt::Key_Right);
    EXPECT_EQ(HorzBar(editor)->value(), 3);

    // Each sheet keeps its own position.
    VertBar(editor)->setValue(40);
    editor->ShowSheet(nodeSheetIndex);
    EXPECT_EQ(VertBar(editor)->value(), 0);
    EXPECT_FALSE(HorzBar(editor)->isEnabled());
    EXPECT_EQ(GridCells(editor)->columnCount(), 3);
    editor->ShowSheet(domainSheetIndex);
    EXPECT_EQ(VertBar(editor)->value(), 40);
    EXPECT_EQ(HorzBar(editor)->value(), 3);
    EXPECT_EQ(Shown(1, 0), QStringLiteral("41"));
}

TEST_F(GridEditorTest, ACommaLocaleShowsAndReadsCommas)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (locale-gen de_DE.UTF-8)";
    ardela::test::ScopedLocale german("de_DE");
    nodes(1, 1) = Cell(2.35f);
    editor->Fill();
    EXPECT_EQ(Shown(1, 1), QStringLiteral("2,4"));
    Click(1, 1);
    EXPECT_EQ(EditBox(editor)->text(), QStringLiteral("2,35"));
    Key(Qt::Key_Return);
    EXPECT_TRUE(SameBits(nodes(1, 1).SingleValue(), 2.35f));
    At(2, 1);
    Type("1,5");
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(2, 1), Cell(1.5f));
    EXPECT_EQ(Shown(2, 1), QStringLiteral("1,5"));
    At(3, 1);
    Type("1.5");
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(3, 1), Cell(QStringLiteral("1.5")));
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST_F(GridEditorTest, TheGridShowsEveryHeadingAndRowNumberWhole)
{
    const QSize size = editor->size();
    for (int sheet : {nodeSheetIndex, blockSheetIndex, loadSheetIndex, domainSheetIndex}) {
        editor->ShowSheet(sheet);
        EXPECT_EQ(editor->size(), size) << "sheet " << sheet;
        const QFontMetrics fm(GridCells(editor)->font());
        for (int c = 0; c < GridCells(editor)->columnCount(); ++c) {
            EXPECT_GT(GridCells(editor)->columnWidth(c), fm.horizontalAdvance(Shown(0, c)) + 4) << sheet << ' ' << c;
            EXPECT_GE(GridCells(editor)->rowHeight(0), fm.height() + 2);
        }
        // The grid shows all six rows and every column inside its frame.
        const QRect last = GridCells(editor)->visualItemRect(GridCells(editor)->item(5, GridCells(editor)->columnCount() - 1));
        EXPECT_TRUE(GridCells(editor)->viewport()->rect().contains(last)) << sheet;
    }
    // Scrolling sideways or a long value does not resize the grid.
    HorzBar(editor)->setValue(3);
    domains(3, 7) = Cell(-123456789.0);
    editor->Fill();
    EXPECT_EQ(editor->size(), size);
    editor->ShowSheet(blockSheetIndex);
    blocks(1, 1) = Cell(std::int16_t(12));
    blocks(1, 2) = Cell(1.0f);
    editor->Fill();
    const QString folder = QString::fromUtf8(ARDELA_GRAB_DIR);
    QDir().mkpath(folder);
    EXPECT_TRUE(editor->grab().save(folder + QStringLiteral("/grid_blocks.png")));
    editor->ShowSheet(nodeSheetIndex);
    nodes(1, 1) = Cell(2.35f);
    nodes(1, 2) = Cell(-1250.5f);
    editor->Fill();
    At(2, 1);
    Type("17");
    EXPECT_TRUE(editor->grab().save(folder + QStringLiteral("/grid_nodes_editing.png")));
    Key(Qt::Key_Escape);
    editor->ShowSheet(domainSheetIndex);
    domains(1, 1) = Cell(-1250.5f);
    domains(1, 4) = Cell(12.25f);
    editor->Fill();
    EXPECT_TRUE(editor->grab().save(folder + QStringLiteral("/grid_domains.png")));
    editor->ShowSheet(loadSheetIndex);
    EXPECT_TRUE(editor->grab().save(folder + QStringLiteral("/grid_loads.png")));
}

TEST_F(GridEditorTest, ANumberBeyondTheSingleRangeIsRefusedAndKeptInTheBox)
{
    ardela::test::MessageRecorder recorder;
    const std::string huge = "4" + std::string(39, '0');  // 4E+39
    At(2, 1);
    Type(huge.c_str());
    Key(Qt::Key_Return);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].prompt,
              QStringLiteral("The number %1 is too large for the table: a value must lie between "
                             "-3.4E+38 and 3.4E+38.").arg(QString::fromStdString(huge)));
    EXPECT_EQ(recorder.Messages()[0].style, 16);
    EXPECT_TRUE(editor->EditPending());
    EXPECT_EQ(EditBox(editor)->text(), QString::fromStdString(huge));
    EXPECT_TRUE(EditBox(editor)->hasFocus());
    EXPECT_TRUE(nodes(2, 1).IsEmpty());
    EXPECT_FALSE(BoxValue(editor->PendingText()).has_value());

    // A click on another cell does not take the text away (one message for the click).
    QTest::qWait(1);
    Click(4, 2);
    EXPECT_EQ(recorder.Messages().size(), 2u);
    EXPECT_TRUE(editor->EditPending());
    EXPECT_EQ(editor->PendingRow(), 2);
    EXPECT_EQ(editor->PendingColumn(), 1);
    EXPECT_EQ(EditBox(editor)->text(), QString::fromStdString(huge));
    // Nor does the scroll bar move the window away from the row being edited.
    VertBar(editor)->setValue(30);
    EXPECT_EQ(VertBar(editor)->value(), 0);
    EXPECT_EQ(editor->PendingRow(), 2);

    // Mended, it is stored.
    QTest::qWait(1);
    EditBox(editor)->setFocus();
    EditBox(editor)->selectAll();
    Type("3");
    Key(Qt::Key_Return);
    EXPECT_FALSE(editor->EditPending());
    EXPECT_EQ(nodes(2, 1), Cell(3.0f));
}

TEST_F(GridEditorTest, ABoxTextIsStoredAsEmptySingleOrText)
{
    EXPECT_EQ(BoxValue(QString()), Cell());
    EXPECT_EQ(BoxValue(Dec("-0.5")), Cell(-0.5f));
    EXPECT_EQ(BoxValue(QStringLiteral("+3")), Cell(3.0f));
    EXPECT_EQ(BoxValue(QStringLiteral("1e3")), Cell(QStringLiteral("1e3")));
    EXPECT_EQ(BoxValue(QStringLiteral(" 4")), Cell(QStringLiteral(" 4")));
    EXPECT_EQ(BoxValue(QStringLiteral("--4")), Cell(QStringLiteral("--4")));
    EXPECT_FALSE(BoxValue(QStringLiteral("-") + QString(40, u'9')).has_value());
    // The full texts read back as the very same values.
    for (float f : {2.35f, 0.1f, -1234.567f, 3.0e-7f, 16777217.0f, 3.4e38f}) {
        const std::optional<Cell> back = BoxValue(FullCellText(Cell(f)));
        ASSERT_TRUE(back.has_value()) << f;
        EXPECT_TRUE(SameBits(back->SingleValue(), f)) << f;
    }
    EXPECT_EQ(FullCellText(Cell(std::int16_t(-12))), QStringLiteral("-12"));
    EXPECT_EQ(CellText(Cell(QStringLiteral("beam"))), QStringLiteral("beam"));
    EXPECT_EQ(CellText(Cell(0.05f)), Dec("0.1"));
    EXPECT_EQ(CellText(Cell(9.96f)), Dec("10.0"));
    EXPECT_EQ(CellText(Cell(-2.25)), Dec("-2.3"));
    EXPECT_EQ(CellText(Cell(std::int32_t(70000))), QStringLiteral("70000"));
}

TEST_F(GridEditorTest, TheFixedCellsAndReadOnlyCellsTakeNoEdit)
{
    At(2, 2);
    Click(0, 1);
    Click(3, 0);
    EXPECT_EQ(GridCells(editor)->currentRow(), 2);
    EXPECT_EQ(GridCells(editor)->currentColumn(), 2);
    EXPECT_FALSE(editor->EditPending());
    // A data cell given the button face is read-only.
    GridCells(editor)->item(2, 2)->setBackground(editor->palette().color(QPalette::Button));
    nodes(2, 2) = Cell(5.0f);
    editor->Fill();
    Click(2, 2);
    EXPECT_FALSE(editor->EditPending());
    Key(Qt::Key_7);
    Key(Qt::Key_Delete);
    EXPECT_FALSE(editor->EditPending());
    EXPECT_EQ(nodes(2, 2), Cell(5.0f));
}

TEST_F(GridEditorTest, CtrlXOpensTheBoxLikeAControlCharacterAndCutsNothing)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    nodes(1, 1) = Cell(6.5f);
    editor->Fill();
    At(1, 1);
    Key(Qt::Key_X, Qt::ControlModifier);
    ASSERT_TRUE(editor->EditPending());
    EXPECT_EQ(EditBox(editor)->selectedText(), Dec("6.5"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    EXPECT_EQ(nodes(1, 1), Cell(6.5f));
    Key(Qt::Key_Escape);
}

TEST_F(GridEditorTest, AnotherWindowTakingTheFocusLeavesTheBoxOpen)
{
    At(1, 2);
    Type("12");
    QWidget other;
    other.setObjectName(QStringLiteral("other"));
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_TRUE(editor->EditPending());
    EXPECT_EQ(EditBox(editor)->text(), QStringLiteral("12"));
    EXPECT_TRUE(nodes(1, 2).IsEmpty());
    other.hide();
    editor->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor->window()));
    QTRY_VERIFY(EditBox(editor)->hasFocus());
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(1, 2), Cell(12.0f));
}

TEST_F(GridEditorTest, NextFollowsEveryClickKeyAndBoxChange)
{
    // A node check in the wizard's manner: the pending text counts; a text that is not a number
    // makes the step invalid.
    nodes(1, 1) = Cell(0.0f);
    nodes(1, 2) = Cell(0.0f);
    editor->Fill();
    auto check = [this] {
        if (editor->EditPending()) {
            const std::optional<Cell> pending = BoxValue(editor->PendingText());
            if (!pending || pending->GetKind() == Cell::Kind::Text)
                return false;
        }
        return !nodes(1, 1).IsEmpty() && !nodes(1, 2).IsEmpty();
    };
    QSignalSpy checks(editor, &GridEditor::StepCheckNeeded);
    QObject::connect(editor, &GridEditor::StepCheckNeeded, next, [this, check] { next->setEnabled(check()); });

    At(2, 1);
    Type("x");
    EXPECT_FALSE(next->isEnabled());
    Key(Qt::Key_Escape);
    EXPECT_TRUE(next->isEnabled());  // the discarded text no longer counts

    Click(2, 2);
    Type("1");
    Type(QLocale().decimalPoint() == QStringLiteral(".") ? ".." : ",,");
    EXPECT_FALSE(next->isEnabled());  // two separators
    Key(Qt::Key_Backspace);
    EXPECT_TRUE(next->isEnabled());
    const qsizetype before = checks.count();
    Key(Qt::Key_Return);
    EXPECT_GT(checks.count(), before);
    EXPECT_TRUE(next->isEnabled());

    At(1, 1);
    Key(Qt::Key_Delete);
    EXPECT_FALSE(next->isEnabled());
    editor->ShowSheet(blockSheetIndex);
    const qsizetype beforeToggle = checks.count();
    Click(1, 2);
    EXPECT_GT(checks.count(), beforeToggle);
}

TEST_F(GridEditorTest, TheGridMenuOffersOnlyWhatTheCellAllows)
{
    nodes(1, 1) = Cell(1.0f);
    editor->Fill();
    Click(1, 1, Qt::RightButton);
    QTRY_VERIFY(GridMenu(editor)->isVisible());
    EXPECT_TRUE(GridMenuItem(editor, "mnuCopy")->isEnabled());
    EXPECT_TRUE(GridMenuItem(editor, "mnuCut")->isEnabled());
    EXPECT_FALSE(GridMenuItem(editor, "mnuFillDown")->isEnabled());  // no row above table row 1
    GridMenu(editor)->hide();
    Click(2, 2, Qt::RightButton);
    QTRY_VERIFY(GridMenu(editor)->isVisible());
    EXPECT_FALSE(GridMenuItem(editor, "mnuCopy")->isEnabled());
    EXPECT_FALSE(GridMenuItem(editor, "mnuCut")->isEnabled());
    EXPECT_TRUE(GridMenuItem(editor, "mnuFillDown")->isEnabled());
    GridMenu(editor)->hide();
    // Fill Down in a scrolled window takes the table row above, even above the window.
    nodes(50, 2) = Cell(7.25f);
    VertBar(editor)->setValue(50);
    Click(1, 2, Qt::RightButton);
    QTRY_VERIFY(GridMenu(editor)->isVisible());
    GridMenuItem(editor, "mnuFillDown")->trigger();
    GridMenu(editor)->hide();
    EXPECT_EQ(nodes(51, 2), Cell(7.25f));
    EXPECT_EQ(Shown(1, 2), Dec("7.3"));
}

TEST_F(GridEditorTest, ASheetOfOneColumnSwitchesTheTableColumnItShows)
{
    Table<2> gridLines;
    gridLines(1, 1) = Cell(10.0f);
    gridLines(1, 2) = Cell(-20.0f);
    GridSheet sheet;
    BindTable(sheet, gridLines);
    sheet.fixedHeading = QStringLiteral("Gridline");
    sheet.columns = {{1, QStringLiteral("Coord x"), 3360}};
    const int index = editor->AddSheet(sheet);
    editor->ShowSheet(index);
    EXPECT_EQ(GridCells(editor)->columnCount(), 2);
    EXPECT_FALSE(HorzBar(editor)->isEnabled());
    EXPECT_EQ(Shown(1, 1), QStringLiteral("10"));
    editor->Sheet(index).columns[0] = {2, QStringLiteral("Coord y"), 3360};
    editor->Fill();
    EXPECT_EQ(Shown(0, 1), QStringLiteral("Coord y"));
    EXPECT_EQ(Shown(1, 1), QStringLiteral("-20"));
    At(2, 1);
    Type("5");
    Key(Qt::Key_Return);
    EXPECT_EQ(gridLines(2, 2), Cell(5.0f));
    EXPECT_TRUE(gridLines(2, 1).IsEmpty());
}

TEST_F(GridEditorTest, ResettingThePositionsShowsEverySheetFromItsFirstRowAndColumn)
{
    editor->ShowSheet(domainSheetIndex);
    VertBar(editor)->setValue(300);
    HorzBar(editor)->setValue(2);
    editor->ShowSheet(nodeSheetIndex);
    VertBar(editor)->setValue(700);
    At(1, 1);
    Type("4");
    editor->ResetPositions();
    EXPECT_FALSE(editor->EditPending());
    EXPECT_TRUE(nodes(701, 1).IsEmpty());
    EXPECT_EQ(VertBar(editor)->value(), 0);
    EXPECT_EQ(Shown(1, 0), QStringLiteral("1"));
    editor->ShowSheet(domainSheetIndex);
    EXPECT_EQ(VertBar(editor)->value(), 0);
    EXPECT_EQ(HorzBar(editor)->value(), 0);
    EXPECT_EQ(Shown(0, 1), QStringLiteral("Lower x"));
}

TEST_F(GridEditorTest, EveryWriteToTheTableIsReportedWithItsCell)
{
    QSignalSpy writes(editor, &GridEditor::CellCommitted);
    VertBar(editor)->setValue(200);
    At(4, 2);
    Type("8");
    EXPECT_EQ(writes.count(), 0);  // pending only
    Key(Qt::Key_Return);
    ASSERT_EQ(writes.count(), 1);
    EXPECT_EQ(writes[0], (QList<QVariant>{204, 2}));
    // Opening and leaving a cell unchanged writes nothing.
    Key(Qt::Key_Space);
    Key(Qt::Key_Return);
    EXPECT_EQ(writes.count(), 1);
    Key(Qt::Key_Delete);
    ASSERT_EQ(writes.count(), 2);
    EXPECT_EQ(writes[1], (QList<QVariant>{204, 2}));
}

TEST_F(GridEditorTest, TheMenuKeyOpensTheGridMenuOverTheCurrentCell)
{
    At(3, 2);
    Key(Qt::Key_Menu);
    QTRY_VERIFY(GridMenu(editor)->isVisible());
    GridMenu(editor)->hide();
    Key(Qt::Key_F10, Qt::ShiftModifier);
    QTRY_VERIFY(GridMenu(editor)->isVisible());
    GridMenu(editor)->hide();
    EXPECT_FALSE(editor->EditPending());
}

TEST_F(GridEditorTest, TypingTheCharacterOfTheLastEditIsStillAnEdit)
{
    At(1, 1);
    Type("5");
    Key(Qt::Key_Return);
    isDirty = false;
    QString pendingSeen;
    QObject::connect(editor, &GridEditor::Edited, [&] { pendingSeen = editor->PendingText(); });
    At(2, 1);
    Type("5");
    EXPECT_TRUE(isDirty);
    EXPECT_EQ(pendingSeen, QStringLiteral("5"));  // the edit is seen with the box open on it
    Key(Qt::Key_Return);
    EXPECT_EQ(nodes(2, 1), Cell(5.0f));
}
