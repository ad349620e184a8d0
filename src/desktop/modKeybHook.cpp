// The grid navigation hook as an application event filter.
#include "desktop/modKeybHook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableWidget>

namespace ardela {

namespace {

QPointer<KeybHook>& Installed()
{
    static QPointer<KeybHook> hook;
    return hook;
}

} // namespace

KeybHook::KeybHook(GridHookTarget target, QObject* parent)
    : QObject(parent), m_target(std::move(target)), m_grid(m_target.msgGrid)
{
}

bool KeybHook::eventFilter(QObject* watched, QEvent* event)
{
    const bool press = event->type() == QEvent::KeyPress;
    if ((press || event->type() == QEvent::KeyRelease) && m_grid && watched == m_grid.data()
        && QApplication::focusWidget() == m_grid.data())
        Navigate(static_cast<QKeyEvent*>(event)->key(), press);
    return false;
}

void KeybHook::Navigate(int key, bool press)
{
    QTableWidget* grid = m_grid.data();
    QScrollBar* vert = m_target.fsbVertGrid;
    QScrollBar* horz = m_target.fsbHorzGrid;
    const int rows = grid->rowCount();
    const int cols = grid->columnCount();
    const int lastRow = rows - 1;
    const int lastCol = cols - 1;
    const int row = grid->currentRow();
    const int col = grid->currentColumn();
    const int tableRows = m_target.GridTableRows ? m_target.GridTableRows() : 0;
    const int tableCols = m_target.GridTableCols ? m_target.GridTableCols() : 0;

    // Home and End act on every key message, the others on presses (auto-repeat included).
    switch (key) {
    case Qt::Key_Home:
        // Position 0 shows table row 1 in the first grid row: Home reaches the top of the table.
        grid->setCurrentCell(1, col < 0 ? 1 : col);
        if (vert)
            vert->setValue(0);
        return;
    case Qt::Key_End:
        grid->setCurrentCell(lastRow, col < 0 ? 1 : col);
        if (vert)
            vert->setValue(tableRows - lastRow);
        return;
    default:
        break;
    }
    if (!press)
        return;
    switch (key) {
    case Qt::Key_Up:
        if (vert && row == 1 && vert->value() >= 1)
            vert->setValue(vert->value() - 1);
        break;
    case Qt::Key_PageUp:
        if (vert && row == 1)
            vert->setValue(vert->value() >= lastRow ? vert->value() - lastRow : 0);
        break;
    case Qt::Key_Down:
        if (vert && row == lastRow && vert->value() < tableRows - lastRow)
            vert->setValue(vert->value() + 1);
        break;
    case Qt::Key_PageDown:
        if (vert && row == lastRow)
            vert->setValue(vert->value() < tableRows - 2 * lastRow ? vert->value() + lastRow : tableRows - lastRow);
        break;
    case Qt::Key_Left:
        if (horz && col == 1 && horz->value() >= 1)
            horz->setValue(horz->value() - 1);
        break;
    case Qt::Key_Right:
        if (horz && col == lastCol && horz->value() < tableCols - (cols - 1))
            horz->setValue(horz->value() + 1);
        break;
    default:
        break;
    }
}

void InstallKeybHook(GridHookTarget target)
{
    RemoveKeybHook();
    auto* hook = new KeybHook(std::move(target), qApp);
    qApp->installEventFilter(hook);
    Installed() = hook;
}

void RemoveKeybHook()
{
    if (KeybHook* hook = Installed().data()) {
        qApp->removeEventFilter(hook);
        delete hook;
    }
    Installed() = nullptr;
}

bool KeybHookInstalled()
{
    return !Installed().isNull();
}

} // namespace ardela
