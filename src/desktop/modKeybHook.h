// Keyboard navigation over the model grid: Home, End and the arrow and page keys scroll the grid's
// window onto its longer table when the grid has the focus; the keys then go on to the grid.
#pragma once

#include <functional>

#include <QObject>
#include <QPointer>

class QScrollBar;
class QTableWidget;

namespace ardela {

// The grid and the table it shows. Row 0 and column 0 of msgGrid are its fixed cells, so its
// data rows are 1 to Rows - 1; fsbVertGrid and fsbHorzGrid hold the first table row and column
// shown; the two counters give GridTableRows and GridTableCols as the wizard keeps them.
struct GridHookTarget {
    QTableWidget* msgGrid = nullptr;
    QScrollBar* fsbVertGrid = nullptr;
    QScrollBar* fsbHorzGrid = nullptr;
    std::function<int()> GridTableRows;
    std::function<int()> GridTableCols;
};

// The hook itself: an application event filter that looks only at keys whose receiver is the
// focused grid.
class KeybHook : public QObject {
    Q_OBJECT
public:
    explicit KeybHook(GridHookTarget target, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Navigate(int key, bool press);

    GridHookTarget m_target;
    QPointer<QTableWidget> m_grid;
};

// Installs the hook over the wizard's grid for as long as the wizard window lives; a second call
// replaces the first.
void InstallKeybHook(GridHookTarget target);
// Removes the hook (the wizard's unload path).
void RemoveKeybHook();
// Whether a hook is installed.
bool KeybHookInstalled();

} // namespace ardela
