// The grid editor: the sheets, the edit box over the current cell, the key, click and focus rules,
// the clipboard, the scroll bars and the grid menu.
#include "wizard/GridEditor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <string>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include "desktop/Error.h"
#include "desktop/modLocale.h"
#include "desktop/ProgramInfo.h"
#include "desktop/modMessage.h"

namespace ardela {

namespace {

// The locale form of a number text written with a point.
QString WithLocaleSeparator(const std::string& s)
{
    QString out = QString::fromLatin1(s.c_str());
    out.replace(u'.', DecimalSeparator());
    return out;
}

template <typename T>
QString ShortestFixed(T value)
{
    char buf[1100];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string s(buf, res.ptr);
    if (s == "-0")
        s = "0";
    return WithLocaleSeparator(s);
}

// "0.0" of a plain decimal text in the file form ("-12.345"): rounded half away from zero on
// its decimal digits, as the text reads.
QString RoundToOneDecimal(const QString& fileForm)
{
    QString s = fileForm;
    bool negative = false;
    if (s.startsWith(u'-') || s.startsWith(u'+')) {
        negative = s.front() == u'-';
        s.remove(0, 1);
    }
    const qsizetype point = s.indexOf(u'.');
    QString whole = point < 0 ? s : s.left(point);
    QString frac = point < 0 ? QString() : s.mid(point + 1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    while (frac.size() < 2)
        frac += u'0';
    // Digits of the value times ten, then the rounding digit.
    QString digits = whole + frac.left(1);
    if (frac[1] >= u'5') {
        int i = static_cast<int>(digits.size()) - 1;
        while (i >= 0 && digits[i] == u'9') {
            digits[i] = u'0';
            --i;
        }
        if (i < 0)
            digits.prepend(u'1');
        else
            digits[i] = QChar(digits[i].unicode() + 1);
    }
    QString intPart = digits.left(digits.size() - 1);
    while (intPart.size() > 1 && intPart.front() == u'0')
        intPart.remove(0, 1);
    const QString result = intPart + DecimalSeparator() + digits.right(1);
    const bool zero = std::all_of(digits.begin(), digits.end(), [](QChar c) { return c == u'0'; });
    return (negative && !zero ? QStringLiteral("-") : QString()) + result;
}

bool IsPlainDecimal(const QString& fileForm)
{
    for (const QChar c : fileForm)
        if (!(c.isDigit() || c == u'.' || c == u'-' || c == u'+'))
            return false;
    return true;
}

// Whether a clipboard text reads as a number in the user's locale.
bool ReadsAsNumber(const QString& text)
{
    try {
        ParseNumberText(text);
        return !text.trimmed().isEmpty();
    } catch (const ModelError&) {
        return false;
    }
}

} // namespace

QString CellText(const Cell& cell)
{
    if (cell.IsEmpty())
        return QString();
    const QString text = cell.ToText();
    const QString sep = DecimalSeparator();
    if (sep.isEmpty() || !text.contains(sep))
        return text;
    double value = 0.0;
    try {
        value = cell.IsNumeric() ? cell.ToDouble() : ParseNumberText(text);
    } catch (const ModelError&) {
        return text;  // a text that is not a number shows as typed
    }
    const QString fileForm = FormatField(text.trimmed(), 0);
    if (IsPlainDecimal(fileForm))
        return RoundToOneDecimal(fileForm);
    // An exponent form: round the value itself.
    return FormatFixed(std::round(value * 10.0) / 10.0, 1);
}

std::optional<Cell> BoxValue(const QString& text)
{
    if (text.isEmpty())
        return Cell();
    if (!IsNumber(text))
        return Cell(text);
    try {
        return Cell(NarrowToSingle(ParseNumberText(text)));
    } catch (const ModelError&) {
        return std::nullopt;
    }
}

QString FullCellText(const Cell& cell)
{
    switch (cell.GetKind()) {
    case Cell::Kind::Single: return ShortestFixed(cell.SingleValue());
    case Cell::Kind::Double: return ShortestFixed(cell.DoubleValue());
    default: return cell.ToText();
    }
}

// ---- msgGrid ----------------------------------------------------------------------------

FixedCellGrid::FixedCellGrid(QWidget* parent) : QTableWidget(parent)
{
    setObjectName(QStringLiteral("msgGrid"));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setAutoScroll(false);
    setDragEnabled(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::StrongFocus);
}

QModelIndex FixedCellGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    if (!next.isValid())
        return next;
    return model()->index(std::max(next.row(), 1), std::max(next.column(), 1));
}

void FixedCellGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    const bool dataCell = index.isValid() && index.row() >= 1 && index.column() >= 1;
    m_pressed = QModelIndex();
    if (!dataCell) {
        // The fixed cells do not take the current cell.
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        setCurrentCell(index.row(), index.column());
        emit DataCellContextMenu(index.row(), index.column(), event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        m_pressed = index;
}

void FixedCellGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    const QModelIndex pressed = m_pressed;
    m_pressed = QModelIndex();
    QTableWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && pressed.isValid() && index == pressed)
        emit DataCellClicked(index.row(), index.column());
}

void FixedCellGrid::mouseMoveEvent(QMouseEvent* event)
{
    // No drag selection: the grid has one current cell.
    event->accept();
}

void FixedCellGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void FixedCellGrid::focusInEvent(QFocusEvent* event)
{
    QTableWidget::focusInEvent(event);
    emit GotFocus();
}

// ---- GridEditor -------------------------------------------------------------------------

GridEditor::GridEditor(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("fraContainer"));
    // The grid's own face; Tahoma where the system has it, else the application's font.
    QFont gridFont = font();
    gridFont.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("MS Sans Serif"), font().family()});
    setFont(gridFont);

    msgGrid = new FixedCellGrid(this);
    msgGrid->setRowCount(kGridRows);
    msgGrid->setColumnCount(2);
    txtEdit = new QLineEdit(this);
    txtEdit->setObjectName(QStringLiteral("txtEdit"));
    txtEdit->setFrame(false);
    txtEdit->hide();
    fsbVertGrid = new QScrollBar(Qt::Vertical, this);
    fsbVertGrid->setObjectName(QStringLiteral("fsbVertGrid"));
    fsbVertGrid->setRange(0, kTableRows - (kGridRows - kFixedRows));
    fsbVertGrid->setSingleStep(1);
    fsbVertGrid->setPageStep(kGridRows - kFixedRows);
    fsbHorzGrid = new QScrollBar(Qt::Horizontal, this);
    fsbHorzGrid->setObjectName(QStringLiteral("fsbHorzGrid"));
    fsbHorzGrid->setRange(0, 0);
    fsbHorzGrid->setSingleStep(1);
    fsbHorzGrid->setEnabled(false);

    mnuPopupGrid = new QMenu(this);
    mnuPopupGrid->setObjectName(QStringLiteral("mnuPopupGrid"));
    auto addItem = [this](const QString& caption, const QKeySequence& keys, const QString& name) {
        QAction* action = mnuPopupGrid->addAction(caption);
        action->setObjectName(name);
        if (!keys.isEmpty()) {
            action->setShortcut(keys);
            action->setShortcutContext(Qt::WidgetShortcut);  // shown in the menu; the keys have their own rules
        }
        return action;
    };
    QAction* mnuCut = addItem(QStringLiteral("Cu&t "), QKeySequence(QStringLiteral("Ctrl+X")), QStringLiteral("mnuCut"));
    QAction* mnuCopy = addItem(QStringLiteral("&Copy"), QKeySequence(QStringLiteral("Ctrl+C")), QStringLiteral("mnuCopy"));
    QAction* mnuPaste = addItem(QStringLiteral("&Paste"), QKeySequence(QStringLiteral("Ctrl+V")), QStringLiteral("mnuPaste"));
    mnuPopupGrid->addSeparator();
    QAction* mnuDelete = addItem(QStringLiteral("&Delete"), QKeySequence(QStringLiteral("Del")), QStringLiteral("mnuDelete"));
    mnuPopupGrid->addSeparator();
    QAction* mnuFillDown = addItem(QStringLiteral("&Fill Down"), QKeySequence(), QStringLiteral("mnuFillDown"));
    auto menuAction = [this](void (GridEditor::*action)()) {
        return [this, action] {
            (this->*action)();
            emit StepCheckNeeded();
        };
    };
    connect(mnuCut, &QAction::triggered, this, menuAction(&GridEditor::CutCell));
    connect(mnuCopy, &QAction::triggered, this, menuAction(&GridEditor::CopyCell));
    connect(mnuPaste, &QAction::triggered, this, menuAction(&GridEditor::PasteCell));
    connect(mnuDelete, &QAction::triggered, this, menuAction(&GridEditor::DeleteCell));
    connect(mnuFillDown, &QAction::triggered, this, menuAction(&GridEditor::FillDownCell));

    msgGrid->installEventFilter(this);
    txtEdit->installEventFilter(this);
    connect(msgGrid, &FixedCellGrid::DataCellClicked, this, &GridEditor::msgGrid_Click);
    connect(msgGrid, &FixedCellGrid::DataCellContextMenu, this, &GridEditor::ShowPopup);
    connect(msgGrid, &FixedCellGrid::GotFocus, this, &GridEditor::msgGrid_GotFocus);
    connect(msgGrid, &QTableWidget::currentCellChanged, this, [this] { msgGrid_LeaveCell(); });
    connect(txtEdit, &QLineEdit::textChanged, this, [this] { txtEdit_Change(); });
    connect(fsbVertGrid, &QScrollBar::valueChanged, this, &GridEditor::fsbVertGrid_Change);
    connect(fsbHorzGrid, &QScrollBar::valueChanged, this, &GridEditor::fsbHorzGrid_Change);
    LayOut();
}

int GridEditor::AddSheet(GridSheet sheet)
{
    Q_ASSERT(sheet.get && sheet.set && !sheet.columns.empty());
    m_sheets.push_back(std::move(sheet));
    LayOut();
    return static_cast<int>(m_sheets.size()) - 1;
}

GridSheet& GridEditor::Sheet(int index)
{
    Q_ASSERT(index >= 0 && index < SheetCount());
    return m_sheets[static_cast<std::size_t>(index)];
}

namespace {

int ShownColumns(const GridSheet& sheet)
{
    const int all = static_cast<int>(sheet.columns.size());
    return sheet.visibleColumns > 0 ? std::min(sheet.visibleColumns, all) : all;
}

} // namespace

void GridEditor::ShowSheet(int index)
{
    CommitEdit();
    if (EditPending())
        Discard();  // a refused text does not travel to another sheet
    m_current = index;
    GridSheet& sheet = Sheet(index);
    const int shown = ShownColumns(sheet);
    const int all = static_cast<int>(sheet.columns.size());
    const int dataRows = kGridRows - kFixedRows;
    sheet.rowOffset = std::clamp(sheet.rowOffset, 0, std::max(0, sheet.tableRows - dataRows));
    sheet.colOffset = std::clamp(sheet.colOffset, 0, all - shown);

    m_loadingScroll = true;
    fsbVertGrid->setRange(0, std::max(0, sheet.tableRows - dataRows));
    fsbVertGrid->setValue(sheet.rowOffset);
    fsbHorzGrid->setRange(0, all - shown);
    fsbHorzGrid->setPageStep(shown);
    fsbHorzGrid->setValue(sheet.colOffset);
    fsbHorzGrid->setEnabled(all > shown);
    m_loadingScroll = false;

    const int row = std::max(msgGrid->currentRow(), 1);
    const int col = std::clamp(msgGrid->currentColumn(), 1, shown);
    msgGrid->setColumnCount(kFixedCols + shown);
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kFixedCols + shown; ++c)
            if (!msgGrid->item(r, c)) {
                auto* item = new QTableWidgetItem;
                const bool fixed = r < kFixedRows || c < kFixedCols;
                item->setFlags(fixed ? Qt::ItemIsEnabled : (Qt::ItemIsEnabled | Qt::ItemIsSelectable));
                if (fixed)
                    item->setBackground(palette().color(QPalette::Button));
                msgGrid->setItem(r, c, item);
            }
    Fill();
    LayOut();
    msgGrid->setCurrentCell(row, col);
}

void GridEditor::ResetPositions()
{
    Discard();
    for (GridSheet& sheet : m_sheets)
        sheet.rowOffset = sheet.colOffset = 0;
    if (m_current >= 0)
        ShowSheet(m_current);
}

void GridEditor::FocusGrid()
{
    msgGrid->setFocus();
}

void GridEditor::Fill()
{
    if (m_current < 0)
        return;
    const GridSheet& sheet = Sheet(m_current);
    const int shown = ShownColumns(sheet);
    msgGrid->item(0, 0)->setText(sheet.fixedHeading);
    for (int c = 1; c <= shown; ++c)
        msgGrid->item(0, c)->setText(sheet.columns[static_cast<std::size_t>(sheet.colOffset + c - 1)].heading);
    for (int r = 1; r < kGridRows; ++r) {
        const int row = TableRowAt(r);
        msgGrid->item(r, 0)->setText(QString::number(row));
        for (int c = 1; c <= shown; ++c)
            msgGrid->item(r, c)->setText(CellText(sheet.get(row, TableColumnAt(c))));
    }
}

int GridEditor::TableRowAt(int gridRow) const
{
    return m_sheets[static_cast<std::size_t>(m_current)].rowOffset + gridRow - kFixedRows + 1;
}

int GridEditor::TableColumnAt(int gridColumn) const
{
    const GridSheet& sheet = m_sheets[static_cast<std::size_t>(m_current)];
    return sheet.columns[static_cast<std::size_t>(sheet.colOffset + gridColumn - kFixedCols)].tableColumn;
}

int GridEditor::Pixels(int twips) const
{
    return qRound(twips * logicalDpiX() / 1440.0);
}

std::vector<int> GridEditor::NaturalWidths(const GridSheet& sheet) const
{
    // Each column at least its design width, its heading and a usual number (-12345.6) wide;
    // a sheet that scrolls sideways gives all its data columns one width, so that the grid keeps
    // its size while it scrolls.
    const QFontMetrics fm(msgGrid->font());
    const int pad = 2 * fm.horizontalAdvance(u'0');
    const int number = fm.horizontalAdvance(QStringLiteral("-12345.6")) + pad;
    const int shown = ShownColumns(sheet);
    std::vector<int> widths;
    widths.push_back(std::max({Pixels(sheet.fixedWidthTwips), fm.horizontalAdvance(sheet.fixedHeading) + pad,
                               fm.horizontalAdvance(QStringLiteral("1024")) + pad}));
    auto natural = [&](const GridColumn& column) {
        return std::max({Pixels(column.widthTwips), fm.horizontalAdvance(column.heading) + pad, number});
    };
    if (shown < static_cast<int>(sheet.columns.size())) {
        int uniform = 0;
        for (const GridColumn& column : sheet.columns)
            uniform = std::max(uniform, natural(column));
        widths.insert(widths.end(), static_cast<std::size_t>(shown), uniform);
    } else {
        for (const GridColumn& column : sheet.columns)
            widths.push_back(natural(column));
    }
    return widths;
}

void GridEditor::LayOut()
{
    // Every sheet is shown in a grid of one width, the widest sheet's: a narrower sheet shares
    // the difference among its data columns.
    int target = 0;
    for (const GridSheet& sheet : m_sheets) {
        const std::vector<int> w = NaturalWidths(sheet);
        target = std::max(target, std::accumulate(w.begin(), w.end(), 0));
    }
    if (m_current >= 0) {
        std::vector<int> widths = NaturalWidths(Sheet(m_current));
        const int dataColumns = static_cast<int>(widths.size()) - 1;
        const int extra = target - std::accumulate(widths.begin(), widths.end(), 0);
        for (int c = 1; c <= dataColumns; ++c)
            widths[static_cast<std::size_t>(c)] += extra / dataColumns + (c == dataColumns ? extra % dataColumns : 0);
        for (int c = 0; c < msgGrid->columnCount() && c < static_cast<int>(widths.size()); ++c)
            msgGrid->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
    }
    const QFontMetrics fm(msgGrid->font());
    const int rowHeight = fm.height() + 8;
    for (int r = 0; r < kGridRows; ++r)
        msgGrid->setRowHeight(r, rowHeight);
    int width = 0;
    for (int c = 0; c < msgGrid->columnCount(); ++c)
        width += msgGrid->columnWidth(c);
    const int frame = 2 * msgGrid->frameWidth();
    const int gridW = width + frame;
    const int gridH = kGridRows * rowHeight + frame;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    msgGrid->setGeometry(0, 0, gridW, gridH);
    fsbVertGrid->setGeometry(gridW, 0, bar, gridH);
    fsbHorzGrid->setGeometry(0, gridH, gridW, bar);
    setFixedSize(gridW + bar, gridH + bar);
    if (!txtEdit->isHidden())
        PlaceBox();
}

GridHookTarget GridEditor::HookTarget()
{
    GridHookTarget target;
    target.msgGrid = msgGrid;
    target.fsbVertGrid = fsbVertGrid;
    target.fsbHorzGrid = fsbHorzGrid;
    target.GridTableRows = [this] { return m_current < 0 ? kTableRows : Sheet(m_current).tableRows; };
    target.GridTableCols = [this] {
        return m_current < 0 ? 0 : static_cast<int>(Sheet(m_current).columns.size());
    };
    return target;
}

// ---- The edit box -----------------------------------------------------------------------

const Cell GridEditor::CurrentTableCell() const
{
    const GridSheet& sheet = m_sheets[static_cast<std::size_t>(m_current)];
    return sheet.get(TableRowAt(msgGrid->currentRow()), TableColumnAt(msgGrid->currentColumn()));
}

void GridEditor::PlaceBox()
{
    const QTableWidgetItem* item = msgGrid->item(m_editRow, m_editCol);
    if (!item)
        return;
    QRect cell = msgGrid->visualItemRect(item);
    cell.moveTopLeft(msgGrid->viewport()->mapTo(this, cell.topLeft()));
    txtEdit->setGeometry(cell.adjusted(2, 1, -2, -1));
}

void GridEditor::MSFlexGridEdit(int k)
{
    if (k == 3 || k == 22 || m_current < 0)
        return;
    if (msgGrid->currentRow() < kFixedRows || msgGrid->currentColumn() < kFixedCols)
        return;
    m_editRow = msgGrid->currentRow();
    m_editCol = msgGrid->currentColumn();
    if (k >= 0 && k <= 42) {
        // The box opens on the cell's full value, so that committing it unchanged keeps it.
        m_loadingEdit = true;
        m_loadedText = FullCellText(CurrentTableCell());
        m_loaded = true;
        txtEdit->setText(m_loadedText);
        txtEdit->setCursorPosition(0);
        txtEdit->setSelection(0, static_cast<int>(m_loadedText.size()));
        m_loadingEdit = false;
        PlaceBox();
        txtEdit->show();
    } else {
        // A typed character is an edit: shown first, so that the step check sees it pending.
        m_loaded = false;
        PlaceBox();
        txtEdit->show();
        const QString typed{QChar(k)};
        const bool same = txtEdit->text() == typed;
        txtEdit->setText(typed);
        if (same)
            txtEdit_Change();  // the box still held this character from an earlier edit
        txtEdit->setCursorPosition(1);
    }
    txtEdit->raise();
    txtEdit->setFocus(Qt::OtherFocusReason);
}

bool GridEditor::EditKeyCode(int keyCode, Qt::KeyboardModifiers)
{
    const int row = msgGrid->currentRow();
    const int col = msgGrid->currentColumn();
    const int caret = txtEdit->hasSelectedText() ? txtEdit->selectionStart() : txtEdit->cursorPosition();
    switch (keyCode) {
    case Qt::Key_Escape:
        Discard();
        msgGrid->setFocus(Qt::OtherFocusReason);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        CommitEdit();
        FocusGridIfClosed();
        return true;
    case Qt::Key_Left:
        if (txtEdit->hasSelectedText() || caret != 0)
            return false;
        if (col > kFixedCols)
            msgGrid->setCurrentCell(row, col - 1);  // leaving the cell commits the box
        else
            CommitEdit();
        FocusGridIfClosed();
        return true;
    case Qt::Key_Up:
        if (row > kFixedRows)
            msgGrid->setCurrentCell(row - 1, col);
        else
            CommitEdit();
        FocusGridIfClosed();
        return true;
    case Qt::Key_Right:
        if (caret < txtEdit->text().size())
            return false;
        if (col < msgGrid->columnCount() - 1)
            msgGrid->setCurrentCell(row, col + 1);
        else
            CommitEdit();
        FocusGridIfClosed();
        return true;
    case Qt::Key_Down:
        if (row < msgGrid->rowCount() - 1)
            msgGrid->setCurrentCell(row + 1, col);
        else
            CommitEdit();
        FocusGridIfClosed();
        return true;
    default:
        return false;
    }
}

void GridEditor::CommitEdit()
{
    if (txtEdit->isHidden() || m_committing || m_current < 0)
        return;
    m_committing = true;
    GridSheet& sheet = Sheet(m_current);
    const QString text = txtEdit->text();
    const int row = TableRowAt(m_editRow);
    const int column = TableColumnAt(m_editCol);
    if (!(m_loaded && text == m_loadedText)) {
        const std::optional<Cell> value = BoxValue(text);
        if (!value) {
            RefuseBox(text);
            m_committing = false;
            return;
        }
        sheet.set(row, column, *value);
        emit CellCommitted(row, column);
    }
    msgGrid->item(m_editRow, m_editCol)->setText(CellText(sheet.get(row, column)));
    m_loaded = false;
    if (txtEdit->hasFocus())
        msgGrid->setFocus(Qt::OtherFocusReason);
    txtEdit->hide();
    m_committing = false;
    emit StepCheckNeeded();  // the pending text is now the table's
}

void GridEditor::RefuseBox(const QString& text)
{
    // A number beyond the single range: the box stays open on its cell with the text, so that
    // nothing typed is lost, and says why.
    // One message per user action, however many routes (focus, leave-cell) tried the commit.
    if (!m_refusalShown) {
        m_refusalShown = true;
        QTimer::singleShot(0, this, [this] { m_refusalShown = false; });
        ShowMessage(QStringLiteral("The number %1 is too large for the table: a value must lie between "
                                   "-3.4E+38 and 3.4E+38.").arg(text),
                    MsgCritical, CurrentProgram().title);
    }
    if (msgGrid->currentRow() != m_editRow || msgGrid->currentColumn() != m_editCol)
        msgGrid->setCurrentCell(m_editRow, m_editCol);
    PlaceBox();
    txtEdit->show();
    txtEdit->raise();
    txtEdit->setFocus(Qt::OtherFocusReason);
    txtEdit->selectAll();
}

void GridEditor::FocusGridIfClosed()
{
    // A refused box keeps the focus.
    if (txtEdit->isHidden())
        msgGrid->setFocus(Qt::OtherFocusReason);
}

void GridEditor::Discard()
{
    m_discarding = true;
    if (txtEdit->hasFocus())
        msgGrid->setFocus(Qt::OtherFocusReason);
    const bool wasOpen = !txtEdit->isHidden();
    txtEdit->hide();
    m_loaded = false;
    m_discarding = false;
    if (wasOpen)
        emit StepCheckNeeded();  // a discarded text no longer counts
}

bool GridEditor::EditPending() const
{
    return !txtEdit->isHidden();
}

QString GridEditor::PendingText() const
{
    return EditPending() ? txtEdit->text() : QString();
}

int GridEditor::PendingRow() const
{
    return EditPending() ? TableRowAt(m_editRow) : 0;
}

int GridEditor::PendingColumn() const
{
    return EditPending() ? TableColumnAt(m_editCol) : 0;
}

// ---- Events -----------------------------------------------------------------------------

bool GridEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtEdit) {
        switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // Escape and Enter belong to the box while it has the focus, not to the window's buttons.
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                event->accept();
                return true;
            }
            break;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (EditKeyCode(key->key(), key->modifiers()))
                return true;
            // Enter and Escape are swallowed (no character, no beep).
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape)
                return true;
            break;
        }
        case QEvent::FocusIn:
            txtEdit_GotFocus();
            break;
        case QEvent::FocusOut:
            txtEdit_LostFocus(static_cast<QFocusEvent*>(event)->reason());
            break;
        default:
            break;
        }
        return false;
    }
    if (watched == msgGrid && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // The menu key and Shift+F10 open the grid menu over the current cell.
        if (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            if (const QTableWidgetItem* item = msgGrid->currentItem())
                ShowPopup(msgGrid->currentRow(), msgGrid->currentColumn(),
                          msgGrid->viewport()->mapToGlobal(msgGrid->visualItemRect(item).center()));
            return true;
        }
        const bool clipboardKey = msgGrid_KeyDown(key);
        const bool character = msgGrid_KeyPress(key);
        return clipboardKey || character;
    }
    return QWidget::eventFilter(watched, event);
}

void GridEditor::msgGrid_Click(int row, int column)
{
    // A box still open here refused its text: it keeps it until the user mends it.
    if (m_current < 0 || CellReadOnly() || EditPending())
        return;
    if (OnToggleColumn())
        ToggleCell();
    else
        MSFlexGridEdit(32);
    emit StepCheckNeeded();
}

bool GridEditor::msgGrid_KeyDown(QKeyEvent* event)
{
    if (m_current < 0)
        return false;
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const bool shift = mods.testFlag(Qt::ShiftModifier);
    bool handled = false;
    if (!CellReadOnly()) {
        if ((key == Qt::Key_Insert && shift) || (key == Qt::Key_V && ctrl)) {
            PasteCell();
            handled = true;
        } else if ((key == Qt::Key_Insert && ctrl) || (key == Qt::Key_C && ctrl)) {
            CopyCell();
            handled = true;
        } else if (key == Qt::Key_Delete) {
            DeleteCell();
            handled = true;
        }
    }
    emit StepCheckNeeded();
    return handled;
}

bool GridEditor::msgGrid_KeyPress(QKeyEvent* event)
{
    if (m_current < 0 || event->key() == Qt::Key_Delete || event->text().isEmpty())
        return false;
    if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier))
        return false;
    int k = event->text().front().unicode();
    // Ctrl with a letter is its control character (Ctrl+C 3, Ctrl+V 22, Ctrl+X 24), whatever
    // text the platform put in the event.
    if (event->modifiers().testFlag(Qt::ControlModifier) && k < 128 && QChar(k).isLetter())
        k = QChar(k).toUpper().unicode() - 64;
    if (!CellReadOnly()) {
        if (OnToggleColumn())
            ToggleCell();
        else
            MSFlexGridEdit(k);
    }
    emit StepCheckNeeded();
    return true;
}

void GridEditor::msgGrid_GotFocus()
{
    if (!txtEdit->isHidden() && !txtEdit->hasFocus())
        Discard();
}

void GridEditor::msgGrid_LeaveCell()
{
    CommitEdit();
}

void GridEditor::txtEdit_Change()
{
    if (m_loadingEdit)
        return;
    emit Edited();
    emit StepCheckNeeded();
}

void GridEditor::txtEdit_GotFocus()
{
    emit EditFocusChanged(true);
}

void GridEditor::txtEdit_LostFocus(Qt::FocusReason reason)
{
    // Another window or a menu taking the focus leaves the box open on its cell.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    if (!m_discarding && !m_committing) {
        txtEdit_Validate();
        if (txtEdit->hasFocus())
            return;  // the box refused its text and keeps the focus
    }
    emit EditFocusChanged(false);
    if (!txtEdit->isHidden() && !m_committing)
        Discard();
}

void GridEditor::txtEdit_Validate()
{
    CommitEdit();
}

void GridEditor::fsbVertGrid_Change(int value)
{
    if (m_loadingScroll || m_current < 0)
        return;
    CommitEdit();
    if (EditPending()) {
        // The box refused its text: the window stays on the row being edited.
        m_loadingScroll = true;
        fsbVertGrid->setValue(Sheet(m_current).rowOffset);
        m_loadingScroll = false;
        return;
    }
    Sheet(m_current).rowOffset = value;
    Fill();
}

void GridEditor::fsbHorzGrid_Change(int value)
{
    if (m_loadingScroll || m_current < 0)
        return;
    CommitEdit();
    if (EditPending()) {
        m_loadingScroll = true;
        fsbHorzGrid->setValue(Sheet(m_current).colOffset);
        m_loadingScroll = false;
        return;
    }
    Sheet(m_current).colOffset = value;
    Fill();
}

void GridEditor::ShowPopup(int row, int column, const QPoint& globalPos)
{
    if (m_current < 0 || CellReadOnly())
        return;
    const bool filled = !CurrentTableCell().IsEmpty();
    const auto item = [this](const char* name) { return mnuPopupGrid->findChild<QAction*>(QLatin1String(name)); };
    item("mnuCut")->setEnabled(filled);
    item("mnuCopy")->setEnabled(filled);
    item("mnuFillDown")->setEnabled(TableRowAt(row) > 1);
    mnuPopupGrid->popup(globalPos);
}

// ---- Cell actions -----------------------------------------------------------------------

bool GridEditor::CellReadOnly() const
{
    const QTableWidgetItem* item = msgGrid->currentItem();
    if (!item || msgGrid->currentRow() < kFixedRows || msgGrid->currentColumn() < kFixedCols)
        return true;
    return item->background().style() != Qt::NoBrush
           && item->background().color() == palette().color(QPalette::Button);
}

bool GridEditor::OnToggleColumn() const
{
    const GridSheet& sheet = m_sheets[static_cast<std::size_t>(m_current)];
    return sheet.columns[static_cast<std::size_t>(sheet.colOffset + msgGrid->currentColumn() - kFixedCols)].toggles;
}

void GridEditor::CommitText(const QString& text)
{
    m_editRow = msgGrid->currentRow();
    m_editCol = msgGrid->currentColumn();
    m_loaded = false;
    const bool same = txtEdit->text() == text;
    txtEdit->setText(text);
    if (same)
        txtEdit_Change();  // the same text is still an edit of the cell
    PlaceBox();
    txtEdit->show();
    txtEdit->raise();
    CommitEdit();
}

void GridEditor::ToggleCell()
{
    CommitText(msgGrid->currentItem()->text().isEmpty() ? QStringLiteral("1") : QString());
}

void GridEditor::CopyCell()
{
    // The full value goes to the clipboard, so that a paste keeps every digit.
    const QString text = FullCellText(CurrentTableCell());
    if (!msgGrid->currentItem()->text().isEmpty() && !text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void GridEditor::PasteCell()
{
    const QString text = QGuiApplication::clipboard()->text().trimmed();
    if (ReadsAsNumber(text))
        CommitText(text);
}

void GridEditor::DeleteCell()
{
    CommitText(QString());
}

void GridEditor::CutCell()
{
    CopyCell();
    DeleteCell();
}

void GridEditor::FillDownCell()
{
    const int row = TableRowAt(msgGrid->currentRow());
    if (row <= 1)
        return;
    const GridSheet& sheet = Sheet(m_current);
    CommitText(FullCellText(sheet.get(row - 1, TableColumnAt(msgGrid->currentColumn()))));
}

} // namespace ardela
