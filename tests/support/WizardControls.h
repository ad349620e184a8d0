// Finding a wizard window's controls by their object names, as a person finds them on screen.
#pragma once

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QString>
#include <QWidget>

#include "wizard/GridEditor.h"
#include "wizard/WizardNavigation.h"

namespace ardela::test {

// The control of type T named `name` in `window`; aborts the test program when there is none.
template <typename T>
T* Control(const QWidget* window, const QString& name)
{
    T* control = window->findChild<T*>(name);
    Q_ASSERT_X(control, "Control", qPrintable(name));
    return control;
}

template <typename T>
T* Control(const QWidget* window, const QString& name, int index)
{
    return Control<T>(window, name + QString::number(index));
}

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

} // namespace ardela::test
