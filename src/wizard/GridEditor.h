// The grid editor both wizard windows share: a window of five rows onto a 1024-row model table,
// edited through a floating text box, scrolled by two scroll bars and the navigation keys.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QString>
#include <QTableWidget>
#include <QWidget>

#include "desktop/Cell.h"
#include "desktop/Table.h"
#include "desktop/modKeybHook.h"

class QLineEdit;
class QMenu;
class QScrollBar;

namespace ardela {

// One column a sheet can show.
struct GridColumn {
    int tableColumn = 1;   // 1-based column of the table shown in it
    QString heading;       // row-0 heading
    int widthTwips = 840;  // design width; widened when the heading or a number would not fit
    bool toggles = false;  // a click or a typed character toggles the cell between empty and 1
};

// What one sheet shows: a table reached through `get` and `set`, its columns, and where the
// window onto it stands. The editor keeps each sheet's offsets while the program lives.
struct GridSheet {
    std::function<Cell(int row, int column)> get;             // 1-based table row and column
    std::function<void(int row, int column, const Cell&)> set;
    QString fixedHeading;                                     // heading of the row-number column
    int fixedWidthTwips = 840;
    std::vector<GridColumn> columns;                          // every column, in order
    int visibleColumns = 0;  // data columns shown at a time (0: all); fewer scroll horizontally
    int tableRows = kTableRows;
    int rowOffset = 0;       // table row shown in grid row r is rowOffset + r
    int colOffset = 0;       // grid column c shows columns[colOffset + c - 1]
};

// Points a sheet's cell access at a model table.
template <int N>
void BindTable(GridSheet& sheet, Table<N>& table)
{
    sheet.get = [&table](int row, int column) { return table(row, column); };
    sheet.set = [&table](int row, int column, const Cell& value) { table(row, column) = value; };
}

// The text a table cell shows in the grid: its text in the user's locale, and "0.0" (one
// decimal, locale separator) when that text holds the decimal separator and reads as a number.
QString CellText(const Cell& cell);
// The cell an edit-box text is stored as: empty for the empty text, a single for a number in the
// user's locale (IsNumber), the text itself otherwise; nothing for a number beyond the single
// range, which the box refuses with a message. The step checks read a pending text through it.
std::optional<Cell> BoxValue(const QString& text);
// The cell's full value as the edit box opens on it: numbers in the shortest text that reads
// back as the same value (locale separator, never an exponent), other cells as ToText().
QString FullCellText(const Cell& cell);

// msgGrid: a grid whose row 0 and column 0 are fixed cells (the headings and row numbers); the
// current cell never enters them. It reports clicks and right clicks on data cells and when it
// gains the focus; its keys go to the editor through an event filter.
class FixedCellGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit FixedCellGrid(QWidget* parent = nullptr);

signals:
    void DataCellClicked(int row, int column);
    void DataCellContextMenu(int row, int column, const QPoint& globalPos);
    void GotFocus();

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QModelIndex m_pressed;
};

// The grid block (fraContainer): msgGrid with its floating txtEdit and the two scroll bars, over
// one sheet at a time. It knows no program: the wizard adds its sheets, shows the one of the
// current step, sets IsDirty on Edited and re-checks its step on StepCheckNeeded. Its size is
// fixed, the same for every sheet, so that the six rows and all headings read whole.
class GridEditor : public QWidget {
    Q_OBJECT
public:
    static constexpr int kGridRows = 6;      // fixed heading row + 5 data rows
    static constexpr int kFixedRows = 1;
    static constexpr int kFixedCols = 1;

    explicit GridEditor(QWidget* parent = nullptr);

    // Adds a sheet and returns its index; nothing is shown until ShowSheet.
    int AddSheet(GridSheet sheet);
    GridSheet& Sheet(int index);
    int SheetCount() const { return static_cast<int>(m_sheets.size()); }
    // Prepares the sheet (columns, widths, headings, scroll bars at its offsets) and fills it.
    void ShowSheet(int index);
    // Writes the visible rows of the current sheet into the grid (after a pick, an open, or a
    // change of the sheet's columns). Offsets changed by hand take effect at the next ShowSheet.
    void Fill();
    // Every sheet back to its first row and column, an open box discarded (the model's reset).
    void ResetPositions();

    // Opens the edit box on the current cell for the character k (see the key rules).
    void MSFlexGridEdit(int k);
    // Navigation keys while the edit box has the focus; true when the key was handled.
    bool EditKeyCode(int keyCode, Qt::KeyboardModifiers shift);
    // Writes the edit box into its grid cell and the table (BoxValue), then hides the box; a box
    // opened on a cell and left unchanged leaves the table cell as it was. A number beyond the
    // single range is refused with a message and the box stays open with its text.
    void CommitEdit();

    // The open edit box, as the step checks count it: whether one is open, its text and the
    // table cell it edits (1-based row and column of the sheet's table).
    bool EditPending() const;
    QString PendingText() const;
    int PendingRow() const;
    int PendingColumn() const;

    // Gives the grid the keyboard focus.
    void FocusGrid();
    // The keyboard hook's view of this grid (InstallKeybHook(editor->HookTarget())).
    GridHookTarget HookTarget();

signals:
    // The user changed a cell: the wizard sets IsDirty.
    void Edited();
    // A click, key or edit happened, or the box closed: the wizard sets "&Next >" from its step
    // check (which counts the pending text, see EditPending).
    void StepCheckNeeded();
    // A table cell was written by the grid (1-based table row and column): the highest row an
    // edit reached, as the checks count it.
    void CellCommitted(int row, int column);
    // The edit box gained (true) or lost (false) the focus: while it has it, Escape belongs to
    // the box and the wizard's Cancel button must not answer to it.
    void EditFocusChanged(bool boxHasFocus);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Events of msgGrid and txtEdit, named as the wizards name them.
    void msgGrid_Click(int row, int column);
    bool msgGrid_KeyDown(QKeyEvent* event);
    bool msgGrid_KeyPress(QKeyEvent* event);
    void msgGrid_GotFocus();
    void msgGrid_LeaveCell();
    void txtEdit_Change();
    void txtEdit_GotFocus();
    void txtEdit_LostFocus(Qt::FocusReason reason);
    void txtEdit_Validate();
    void fsbVertGrid_Change(int value);
    void fsbHorzGrid_Change(int value);
    void ShowPopup(int row, int column, const QPoint& globalPos);

    // Clipboard and cell actions shared by the keys and the grid menu.
    void CopyCell();
    void PasteCell();
    void DeleteCell();
    void CutCell();
    void FillDownCell();
    void ToggleCell();
    void CommitText(const QString& text);
    void Discard();
    void FocusGridIfClosed();
    void RefuseBox(const QString& text);

    // The table row and column shown in a data cell of the grid (row 1-5, column 1...).
    int TableRowAt(int gridRow) const;
    int TableColumnAt(int gridColumn) const;
    bool CellReadOnly() const;
    bool OnToggleColumn() const;
    const Cell CurrentTableCell() const;
    void PlaceBox();
    void LayOut();
    std::vector<int> NaturalWidths(const GridSheet& sheet) const;
    int Pixels(int twips) const;

    // The inner controls, found by their object names (the menu's items are "mnuCut", "mnuCopy",
    // "mnuPaste", "mnuDelete" and "mnuFillDown").
    FixedCellGrid* msgGrid = nullptr;
    QLineEdit* txtEdit = nullptr;
    QScrollBar* fsbVertGrid = nullptr;
    QScrollBar* fsbHorzGrid = nullptr;
    QMenu* mnuPopupGrid = nullptr;

    bool m_loadingEdit = false;    // the editor itself fills the edit box: no edit
    bool m_loadingScroll = false;  // the editor positions the scroll bars: no scrolling
    std::vector<GridSheet> m_sheets;
    int m_current = -1;
    int m_editRow = 0;        // grid cell the open box edits
    int m_editCol = 0;
    QString m_loadedText;     // full text the box opened on (no edit while unchanged)
    bool m_loaded = false;
    bool m_committing = false;
    bool m_discarding = false;
    bool m_refusalShown = false;
};

} // namespace ardela
