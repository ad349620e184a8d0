// Guards against: the grid window not following Home, End, the arrows and the page keys at the
// ends of the table, Page Down overshooting the last table row, the hook touching keys meant for
// another control, keys swallowed instead of reaching the grid, a hook left behind.
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "desktop/modKeybHook.h"

using namespace ardela;

namespace {

// A grid of a fixed row and 5 data rows, a fixed column and 2 data columns, over a table of
// 1024 rows and 6 columns.
class GridHook : public ardela::test::WindowTest {
protected:
    void SetUp() override
    {
        m_window = new QWidget;
        m_window->setObjectName(QStringLiteral("wizard"));
        m_grid = new QTableWidget(6, 3, m_window);
        m_edit = new QLineEdit(m_window);
        m_vert = new QScrollBar(Qt::Vertical, m_window);
        m_horz = new QScrollBar(Qt::Horizontal, m_window);
        m_vert->setRange(0, 1024);
        m_horz->setRange(0, 6);
        auto* layout = new QVBoxLayout(m_window);
        for (QWidget* w : std::initializer_list<QWidget*>{m_grid, m_edit, m_vert, m_horz})
            layout->addWidget(w);
        InstallKeybHook(GridHookTarget{m_grid, m_vert, m_horz, [] { return 1024; }, [] { return 6; }});
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
        m_grid->setFocus();
    }
    void TearDown() override
    {
        RemoveKeybHook();
        delete m_window;
        WindowTest::TearDown();
    }

    void At(int row, int col, int vert, int horz = 0)
    {
        m_grid->setCurrentCell(row, col);
        m_vert->setValue(vert);
        m_horz->setValue(horz);
    }
    void Press(Qt::Key key, QWidget* to = nullptr) { QTest::keyClick(to ? to : m_grid, key); }

    QWidget* m_window = nullptr;
    QTableWidget* m_grid = nullptr;
    QLineEdit* m_edit = nullptr;
    QScrollBar* m_vert = nullptr;
    QScrollBar* m_horz = nullptr;
};

} // namespace

TEST_F(GridHook, PageDownNearTheEndPutsTheLastTableRowInTheLastGridRow)
{
    // 1024 = offset + 5 on the last grid row: the offset becomes 1019.
    At(5, 1, 1017);
    Press(Qt::Key_PageDown);
    EXPECT_EQ(m_vert->value(), 1019);
    Press(Qt::Key_PageDown);
    EXPECT_EQ(m_vert->value(), 1019);
}

TEST_F(GridHook, PageKeysMoveByAWholeGridOnlyFromTheEdgeRows)
{
    At(5, 1, 100);
    Press(Qt::Key_PageDown);
    EXPECT_EQ(m_vert->value(), 105);
    At(3, 1, 100);
    Press(Qt::Key_PageDown);
    EXPECT_EQ(m_vert->value(), 100);
    At(1, 1, 100);
    Press(Qt::Key_PageUp);
    EXPECT_EQ(m_vert->value(), 95);
    // Less than a page above: the window goes to the top, table row 1 in the first grid row.
    At(1, 1, 3);
    Press(Qt::Key_PageUp);
    EXPECT_EQ(m_vert->value(), 0);
}

TEST_F(GridHook, ArrowsScrollOnlyPastTheGridEdges)
{
    At(1, 1, 10);
    Press(Qt::Key_Up);
    EXPECT_EQ(m_vert->value(), 9);
    At(5, 1, 10);
    Press(Qt::Key_Down);
    EXPECT_EQ(m_vert->value(), 11);
    At(5, 1, 1019);
    Press(Qt::Key_Down);
    EXPECT_EQ(m_vert->value(), 1019);
    // The key goes on to the grid, which moves its own current cell.
    At(2, 1, 10);
    Press(Qt::Key_Down);
    EXPECT_EQ(m_vert->value(), 10);
    EXPECT_EQ(m_grid->currentRow(), 3);

    // Two data columns over six table columns: Right on the last column scrolls up to 4.
    At(2, 2, 10, 3);
    Press(Qt::Key_Right);
    EXPECT_EQ(m_horz->value(), 4);
    Press(Qt::Key_Right);
    EXPECT_EQ(m_horz->value(), 4);
    At(2, 1, 10, 2);
    Press(Qt::Key_Left);
    EXPECT_EQ(m_horz->value(), 1);
}

TEST_F(GridHook, HomeAndEndJumpToTheEndsOfTheTable)
{
    At(3, 2, 500);
    Press(Qt::Key_End);
    EXPECT_EQ(m_vert->value(), 1019);
    EXPECT_EQ(m_grid->currentRow(), 5);
    Press(Qt::Key_Home);
    EXPECT_EQ(m_vert->value(), 0);
    EXPECT_EQ(m_grid->currentRow(), 1);
}

TEST_F(GridHook, KeysForAnotherControlAreNotTouched)
{
    At(5, 1, 100);
    m_edit->setFocus();
    Press(Qt::Key_PageDown, m_edit);
    Press(Qt::Key_End, m_edit);
    EXPECT_EQ(m_vert->value(), 100);

    RemoveKeybHook();
    EXPECT_FALSE(KeybHookInstalled());
    m_grid->setFocus();
    At(5, 1, 100);
    Press(Qt::Key_PageDown);
    EXPECT_EQ(m_vert->value(), 100);
}
