// Finding a wizard window's controls by their object names, as a person finds them on screen.
#pragma once

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRect>
#include <QScrollBar>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include "support/Controls.h"
#include "wizard/GridEditor.h"
#include "wizard/WizardNavigation.h"

namespace ardela::test {

// The navigation row's button `index` ("cmdNav0" to "cmdNav5").
inline QPushButton* NavRowButton(const QWidget* window, int index)
{
    return Control<QPushButton>(window, QStringLiteral("cmdNav"), index);
}

// The grid editor's inner controls: the grid, its edit box, its scroll bars and its menu.
inline FixedCellGrid* GridCells(const QWidget* editor)
{
    return Control<FixedCellGrid>(editor, QStringLiteral("msgGrid"));
}
inline QLineEdit* EditBox(const QWidget* editor)
{
    return Control<QLineEdit>(editor, QStringLiteral("txtEdit"));
}
inline QScrollBar* VertBar(const QWidget* editor)
{
    return Control<QScrollBar>(editor, QStringLiteral("fsbVertGrid"));
}
inline QScrollBar* HorzBar(const QWidget* editor)
{
    return Control<QScrollBar>(editor, QStringLiteral("fsbHorzGrid"));
}
inline QMenu* GridMenu(const QWidget* editor)
{
    return Control<QMenu>(editor, QStringLiteral("mnuPopupGrid"));
}
// An item of the grid's menu: "mnuCut", "mnuCopy", "mnuPaste", "mnuDelete", "mnuFillDown".
inline QAction* GridMenuItem(const QWidget* editor, const char* name)
{
    auto* item = GridMenu(editor)->findChild<QAction*>(QLatin1String(name));
    Q_ASSERT_X(item, "GridMenuItem", name);
    return item;
}

// The status line of a model step stands under its sheet inside the step's frame, one line high,
// clear of the control beside the sheet and above the navigation row.
inline void ExpectStatusLineUnderTheSheet(const QWidget* window, const QWidget* line, const QWidget* sheet,
                                          const QWidget* frame, const QWidget* beside)
{
    const auto placed = [window](const QWidget* w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); };
    EXPECT_TRUE(placed(frame).contains(placed(line)));
    EXPECT_GE(placed(line).top(), placed(sheet).bottom());
    EXPECT_FALSE(placed(line).intersects(placed(beside)));
    EXPECT_LT(placed(line).bottom(), placed(NavRowButton(window, NavNext)).top());
    EXPECT_GE(line->height(), line->fontMetrics().height());
}

} // namespace ardela::test
