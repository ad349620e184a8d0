// The drawing host's window and its point input.
#include "cadhost/ui/HostWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "cadhost/ui/DrawingView.h"
#include "cadhost/engine/DxfFile.h"
#include "cadhost/engine/EngineError.h"
#include "cadhost/ui/LayerPanel.h"

namespace cadhost {

namespace {

QString Number(double v)
{
    return QLocale::c().toString(v, 'f', 4);
}

// "x,y" or "x,y,z" with a decimal point, as typed on the command line.
std::optional<Point3> ParsePoint(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    double v[3] = {0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        v[i] = QLocale::c().toDouble(parts[i].trimmed(), &ok);
        if (!ok || !std::isfinite(v[i]))
            return std::nullopt;
    }
    return Point3{v[0], v[1], v[2]};
}

} // namespace

HostWindow::HostWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("HostWindow"));
    resize(1100, 750);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    m_tabs = new QTabWidget;
    m_tabs->setTabsClosable(true);
    m_tabs->setDocumentMode(true);
    layout->addWidget(m_tabs, 1);
    m_log = new QPlainTextEdit;
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(500);
    // Six whole lines of history above the command line.
    m_log->setFixedHeight(int(std::ceil(m_log->fontMetrics().lineSpacing() * 6 + 2 * m_log->document()->documentMargin()))
                          + 2 * m_log->frameWidth() + 2);
    layout->addWidget(m_log);
    auto* commandRow = new QHBoxLayout;
    m_prompt = new QLabel(tr("Command:"));
    m_command = new QLineEdit;
    m_command->setObjectName(QStringLiteral("txtCommand"));
    m_command->installEventFilter(this);
    commandRow->addWidget(m_prompt);
    commandRow->addWidget(m_command, 1);
    layout->addLayout(commandRow);
    setCentralWidget(central);

    m_layers = new LayerPanel;
    m_layersDock = new QDockWidget(tr("Layers"));
    m_layersDock->setObjectName(QStringLiteral("LayersDock"));
    m_layersDock->setWidget(m_layers);
    addDockWidget(Qt::RightDockWidgetArea, m_layersDock);
    // Narrow at first: the drawing keeps most of the window.
    resizeDocks({m_layersDock}, {m_layers->minimumWidth()}, Qt::Horizontal);

    m_coords = new QLabel;
    m_snap = new QLabel;
    statusBar()->addPermanentWidget(m_coords);
    statusBar()->addPermanentWidget(m_snap);

    BuildMenus();

    // Escape cancels point input wherever the focus is in the window.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_request)
            CancelPointInput();
    });

    connect(m_tabs, &QTabWidget::currentChanged, this, &HostWindow::TabChanged);
    connect(m_tabs, &QTabWidget::tabCloseRequested, this, [this](int index) {
        auto* view = qobject_cast<DrawingView*>(m_tabs->widget(index));
        if (view && ConfirmClose(view->GetDocument()))
            CloseDocument(view->GetDocument());
    });
    connect(m_command, &QLineEdit::returnPressed, this, &HostWindow::CommandEntered);
    connect(m_layers, &LayerPanel::Refused, this, [this](const QString& message) { Log(message); });

    chooseOpenFile = [this] {
        return QFileDialog::getOpenFileName(this, tr("Open drawing"), QString(),
                                            tr("DXF drawings (*.dxf);;All files (*)"));
    };
    chooseSaveFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, tr("Save drawing as"), suggested, tr("DXF drawings (*.dxf)"));
    };
    askSaveChanges = [this](const Document& doc) {
        return QMessageBox::question(this, windowTitle(), tr("Save the changes to %1?").arg(doc.Name()),
                                     QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                     QMessageBox::Save);
    };
    showError = [this](const QString& message) { QMessageBox::critical(this, windowTitle(), message); };
    confirmDropLeftOut = [this](const Document& doc) {
        return QMessageBox::warning(this, windowTitle(),
                                    tr("%1 was opened with objects this program does not keep: %2. Saving writes the "
                                       "drawing without them.").arg(doc.Name(), doc.LeftOut()),
                                    QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Cancel)
            == QMessageBox::Save;
    };

    UpdateTitle();
    UpdateSnapLabel();
}

HostWindow::~HostWindow()
{
    // The views and the panel listen to the documents: let them go first.
    m_layers->SetDocument(nullptr);
    while (m_tabs->count() > 0)
        delete m_tabs->widget(0);
}

void HostWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&New"), QKeySequence::New, this, &HostWindow::NewFile);
    file->addAction(tr("&Open..."), QKeySequence::Open, this, &HostWindow::OpenFile);
    file->addAction(tr("&Save"), QKeySequence::Save, this, [this] { SaveFile(); });
    file->addAction(tr("Save &As..."), QKeySequence::SaveAs, this, [this] { SaveFileAs(); });
    file->addAction(tr("&Close"), QKeySequence::Close, this, [this] { CloseFile(); });
    file->addSeparator();
    file->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(tr("&Undo"), QKeySequence::Undo, this, &HostWindow::Undo);
    QAction* redo = edit->addAction(tr("&Redo"), this, &HostWindow::Redo);
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence::Redo});
    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(tr("Zoom &Extents"), QKeySequence(Qt::Key_Home), this, &HostWindow::ZoomExtents);
    // Closed, the layers panel comes back from here.
    QAction* layers = m_layersDock->toggleViewAction();
    layers->setText(tr("&Layers"));
    view->addAction(layers);
    QMenu* draw = menuBar()->addMenu(tr("&Draw"));
    draw->addAction(tr("&Line"), this, &HostWindow::StartLineTool);
    draw->addAction(tr("&Point"), this, &HostWindow::StartPointTool);
    draw->addAction(tr("&Erase"), this, &HostWindow::StartEraseTool);
}

// ---------------------------------------------------------------- documents

DrawingView* HostWindow::AddView(Document& doc)
{
    auto* view = new DrawingView(doc);
    connect(view, &DrawingView::PointClicked, this, &HostWindow::ViewClicked);
    connect(view, &DrawingView::CursorMoved, this, &HostWindow::CursorMoved);
    connect(view, &DrawingView::CursorLeft, view, [view] { view->SetHighlight(std::nullopt); });
    connect(view, &DrawingView::RightClicked, this, [this] {
        if (m_request)
            EndPointInput();
    });
    connect(view, &DrawingView::EscapePressed, this, [this] {
        if (m_request)
            CancelPointInput();
    });
    connect(view, &DrawingView::EnterPressed, this, &HostWindow::CommandEntered);
    connect(view, &DrawingView::TextTyped, this, [this](const QString& text) {
        m_command->setFocus();
        m_command->insert(text);
    });
    // The tab shows the document's name, which a save may change. Every change of the drawing
    // comes here: the tab is looked up only when the name has changed.
    doc.AddListener([this, view, shownName = doc.Name()](const Document& d) mutable {
        if (d.Name() != shownName) {
            shownName = d.Name();
            const int index = m_tabs->indexOf(view);
            if (index >= 0)
                m_tabs->setTabText(index, d.Name());
        }
        if (&d == m_docs.Active()) {
            UpdateTitle();
            UpdateSnapLabel();
        }
    });
    m_tabs->addTab(view, doc.Name());
    return view;
}

DrawingView* HostWindow::ViewOf(const Document& doc) const
{
    for (int i = 0; i < m_tabs->count(); ++i)
        if (auto* view = qobject_cast<DrawingView*>(m_tabs->widget(i)); view && &view->GetDocument() == &doc)
            return view;
    return nullptr;
}

Document& HostWindow::NewDocument()
{
    Document& doc = m_docs.Add();
    DrawingView* view = AddView(doc);
    m_tabs->setCurrentWidget(view);
    TabChanged(m_tabs->currentIndex());
    emit DocumentAdded(&doc);
    return doc;
}

Document& HostWindow::OpenDocument(const QString& path)
{
    const int before = m_docs.Count();
    Document& doc = m_docs.Open(path);
    if (m_docs.Count() != before) {
        AddView(doc);
        Log(tr("Opened %1.").arg(doc.FullName()));
        if (const int skipped = m_docs.LastOpenSkipped())
            Log(tr("Objects left out: %1, of kinds this program does not keep (%2); saving this drawing will not keep them.")
                    .arg(skipped)
                    .arg(doc.LeftOut()));
        emit DocumentAdded(&doc);
    }
    ActivateDocument(doc);
    return doc;
}

void HostWindow::CloseDocument(Document& doc)
{
    if (m_request && m_request->doc == &doc) {
        if (m_request->fromTool)
            EndTool();
        else
            Finish(std::nullopt, PointEnd::DocumentClosed);
    }
    emit DocumentClosing(&doc);
    if (m_docs.Active() == &doc)
        m_layers->SetDocument(nullptr);
    delete ViewOf(doc);
    m_docs.Close(&doc);
    if (Document* active = m_docs.Active())
        ActivateDocument(*active);
    else
        TabChanged(-1);
}

void HostWindow::ActivateDocument(Document& doc)
{
    m_docs.SetActive(&doc);
    if (DrawingView* view = ViewOf(doc)) {
        if (m_tabs->currentWidget() != view)
            m_tabs->setCurrentWidget(view);
        else
            TabChanged(m_tabs->currentIndex());
    }
}

void HostWindow::TabChanged(int index)
{
    auto* view = qobject_cast<DrawingView*>(m_tabs->widget(index));
    if (m_request && m_request->fromTool && (!view || &view->GetDocument() != m_request->doc))
        EndTool();   // a drawing tool works in the drawing it started in
    if (view)
        m_docs.SetActive(&view->GetDocument());
    m_layers->SetDocument(view ? &view->GetDocument() : nullptr);
    if (!view)
        m_coords->clear();
    UpdateTitle();
    UpdateSnapLabel();
    emit ActiveDocumentChanged(view ? &view->GetDocument() : nullptr);
}

// ---------------------------------------------------------------- point input

void HostWindow::RequestPoint(Document& doc, const QString& prompt, PointCallback done)
{
    if (m_docs.IndexOf(&doc) < 0) {
        done(std::nullopt, PointEnd::DocumentClosed);
        return;
    }
    if (m_request && !m_request->fromTool) {
        done(std::nullopt, PointEnd::Busy);
        return;
    }
    if (m_tool != Tool::None)
        EndTool();
    m_request = Request{&doc, std::move(done), false};
    ActivateDocument(doc);
    m_prompt->setText(prompt);
    Log(prompt);
    BringToFront();
    m_command->setFocus();
}

void HostWindow::Finish(std::optional<Point3> point, PointEnd end)
{
    if (!m_request)
        return;
    Request request = std::move(*m_request);
    m_request.reset();
    m_prompt->setText(tr("Command:"));
    if (point) {
        m_lastPoint = point;
        Log(QStringLiteral("%1,%2").arg(Number(point->x), Number(point->y)));
    }
    else if (end == PointEnd::Cancelled && !request.fromTool)
        Log(tr("*Cancel*"));
    request.done(point, end);
}

void HostWindow::ViewClicked(double x, double y)
{
    auto* view = qobject_cast<DrawingView*>(sender());
    if (!m_request || !view || &view->GetDocument() != m_request->doc)
        return;
    Finish(Point3{x, y, 0.0}, PointEnd::Point);
}

void HostWindow::ClickAt(const Point3& world)
{
    if (!m_request)
        return;
    DrawingView* view = ViewOf(*m_request->doc);
    Finish(view ? view->PickAt(view->ToScreen(world)) : world, PointEnd::Point);
}

void HostWindow::AnswerPoint(const Point3& p)
{
    Finish(p, PointEnd::Point);
}

void HostWindow::EndPointInput()
{
    Finish(std::nullopt, PointEnd::Finished);
}

void HostWindow::CancelPointInput()
{
    Finish(std::nullopt, PointEnd::Cancelled);
}

void HostWindow::BringToFront()
{
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    if (m_headless)
        return;
    if (!isVisible())
        show();
    raise();
    activateWindow();
}

void HostWindow::CommandEntered()
{
    const QString text = m_command->text().trimmed();
    m_command->clear();
    if (m_request) {
        if (text.isEmpty()) {
            EndPointInput();
            return;
        }
        // "@dx,dy" is relative to the last point given.
        const bool relative = text.startsWith(QLatin1Char('@')) && m_lastPoint;
        if (auto p = ParsePoint(relative ? text.mid(1) : text)) {
            if (relative)
                p = Point3{m_lastPoint->x + p->x, m_lastPoint->y + p->y, m_lastPoint->z + p->z};
            AnswerPoint(*p);
            return;
        }
        Log(tr("\"%1\" is not a point. Type x,y or @dx,dy, or click in the drawing.").arg(text));
        return;
    }
    if (!text.isEmpty())
        RunCommand(text);
}

bool HostWindow::eventFilter(QObject* watched, QEvent* event)
{
    // An empty command line has no text to undo: Ctrl+Z and Ctrl+Y there undo the drawing.
    if (watched == m_command && event->type() == QEvent::KeyPress && m_command->text().isEmpty()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo)) {
            Undo();
            return true;
        }
        if (key->matches(QKeySequence::Redo) || key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y)) {
            Redo();
            return true;
        }
    }
    if (watched == m_command && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_command->clear();
        if (m_request)
            CancelPointInput();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void HostWindow::CursorMoved(double x, double y, int snapMode)
{
    QString snap;
    if (snapMode == kSnapEndpoint)
        snap = tr("  endpoint");
    else if (snapMode == kSnapCenter)
        snap = tr("  centre");
    else if (snapMode == kSnapNode)
        snap = tr("  node");
    else if (snapMode == kSnapQuadrant)
        snap = tr("  quadrant");
    else if (snapMode == kSnapIntersection)
        snap = tr("  intersection");
    else if (snapMode == kSnapInsertion)
        snap = tr("  insertion");
    m_coords->setText(QStringLiteral("X %1  Y %2%3").arg(Number(x), Number(y), snap));
    // ERASE shows what a click here would take.
    if (m_tool == Tool::Erase && m_request && m_request->fromTool)
        if (auto* view = qobject_cast<DrawingView*>(sender()))
            view->SetHighlight(ErasePick(view->GetDocument(), Point3{x, y, 0.0}));
}

void HostWindow::UpdateSnapLabel()
{
    Document* doc = m_docs.Active();
    int osmode = 0;
    if (doc)
        osmode = doc->GetVariable(QStringLiteral("OSMODE")).toInt();
    // Every change of the drawing comes here (millions while a program draws): the label is
    // written again only when what it shows changes.
    if (m_shownSnap == osmode)
        return;
    m_shownSnap = osmode;
    QStringList modes;
    if (osmode & kSnapEndpoint)
        modes << tr("END");
    if (osmode & kSnapCenter)
        modes << tr("CEN");
    if (osmode & kSnapNode)
        modes << tr("NODE");
    if (osmode & kSnapQuadrant)
        modes << tr("QUA");
    if (osmode & kSnapIntersection)
        modes << tr("INT");
    if (osmode & kSnapInsertion)
        modes << tr("INS");
    m_snap->setText(tr("Snap: %1").arg(modes.isEmpty() ? tr("off") : modes.join(QLatin1Char(' '))));
}

void HostWindow::UpdateTitle()
{
    Document* doc = m_docs.Active();
    // As the snap label: written again only when the drawing, its name or its saved state change.
    TitleSource source{doc, doc ? doc->Name() : QString(), doc && doc->Saved()};
    if (m_shownTitle && *m_shownTitle == source)
        return;
    m_shownTitle = std::move(source);
    setWindowTitle(doc ? tr("%1%2 - Ardela drawing host").arg(doc->Name(), doc->Saved() ? QString() : QStringLiteral("*"))
                       : tr("Ardela drawing host"));
}

void HostWindow::Log(const QString& line)
{
    m_history << line;
    m_log->appendPlainText(line);
}

// ---------------------------------------------------------------- tools and commands

void HostWindow::AskToolPoint(const QString& prompt)
{
    Document* doc = m_docs.Active();
    if (!doc) {
        EndTool();
        return;
    }
    m_request = Request{doc, [this](std::optional<Point3> p, PointEnd end) { ToolPoint(p, end); }, true};
    m_prompt->setText(prompt);
}

void HostWindow::StartTool(Tool tool, const QString& prompt)
{
    if (m_request && !m_request->fromTool) {
        Log(tr("A point is being asked for; finish that first."));
        return;
    }
    EndTool();
    if (!m_docs.Active())
        return;
    m_tool = tool;
    AskToolPoint(prompt);
}

void HostWindow::StartLineTool()
{
    StartTool(Tool::Line, tr("Line, first point:"));
}

void HostWindow::StartPointTool()
{
    StartTool(Tool::Point, tr("Point:"));
}

void HostWindow::StartEraseTool()
{
    StartTool(Tool::Erase, tr("Erase, pick an object:"));
}

void HostWindow::ToolPoint(std::optional<Point3> point, PointEnd)
{
    Document* doc = m_docs.Active();
    if (!point || !doc) {
        EndTool();
        return;
    }
    try {
        if (m_tool == Tool::Point) {
            doc->AddPoint(*point);
            AskToolPoint(tr("Point:"));
        } else if (m_tool == Tool::Erase) {
            bool locked = false;
            if (const std::optional<ObjectId> id = ErasePick(*doc, *point, &locked))
                doc->Erase(*id);
            else if (locked)
                Log(tr("The object is on a locked layer."));
            if (DrawingView* view = ViewOf(*doc))
                view->SetHighlight(std::nullopt);
            AskToolPoint(tr("Erase, pick an object:"));
        } else if (m_tool == Tool::Line) {
            if (m_toolFrom)
                doc->AddLine(*m_toolFrom, *point);
            m_toolFrom = point;
            if (DrawingView* view = ViewOf(*doc))
                view->SetRubberBand(m_toolFrom);
            AskToolPoint(tr("Line, next point:"));
        }
    } catch (const EngineError& e) {
        Log(e.Message());
        EndTool();
    }
}

std::optional<ObjectId> HostWindow::ErasePick(Document& doc, const Point3& point, bool* locked) const
{
    DrawingView* view = ViewOf(doc);
    const double r = (view ? DrawingView::kAperture / view->Transform().scale : 0.0) / 2;
    const std::vector<ObjectId> hits = doc.SelectCrossing(Box2{point.x - r, point.y - r, point.x + r, point.y + r});
    // The newest visible entity on an unlocked layer goes.
    for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
        const Layer* layer = doc.Layers().Find(doc.Get(*it).layer);
        if (layer && layer->Visible() && !layer->locked)
            return *it;
        if (layer && layer->locked && locked)
            *locked = true;
    }
    return std::nullopt;
}

void HostWindow::EndTool()
{
    m_tool = Tool::None;
    m_toolFrom.reset();
    for (int i = 0; i < m_tabs->count(); ++i)
        if (auto* view = qobject_cast<DrawingView*>(m_tabs->widget(i))) {
            view->SetRubberBand(std::nullopt);
            view->SetHighlight(std::nullopt);
        }
    if (m_request && m_request->fromTool) {
        m_request.reset();
        m_prompt->setText(tr("Command:"));
    }
}

void HostWindow::ZoomExtents()
{
    if (Document* doc = m_docs.Active())
        if (DrawingView* view = ViewOf(*doc))
            view->ZoomExtents();
}

void HostWindow::Undo()
{
    Document* doc = m_docs.Active();
    if (!doc)
        return;
    // A running tool works from points of the drawing as it was: it ends first.
    if (m_tool != Tool::None)
        EndTool();
    Log(doc->Undo() ? tr("Undone.") : tr("Nothing to undo."));
}

void HostWindow::Redo()
{
    Document* doc = m_docs.Active();
    if (!doc)
        return;
    if (m_tool != Tool::None)
        EndTool();
    Log(doc->Redo() ? tr("Redone.") : tr("Nothing to redo."));
}

void HostWindow::RunCommand(const QString& text)
{
    Log(text);
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString verb = words.value(0).toUpper();
    Document* doc = m_docs.Active();
    try {
        if (verb == QLatin1String("LINE") || verb == QLatin1String("L"))
            StartLineTool();
        else if (verb == QLatin1String("POINT") || verb == QLatin1String("PO"))
            StartPointTool();
        else if (verb == QLatin1String("ERASE") || verb == QLatin1String("E"))
            StartEraseTool();
        else if (verb == QLatin1String("ZOOM") || verb == QLatin1String("Z") || verb == QLatin1String("ZE"))
            ZoomExtents();
        else if (verb == QLatin1String("NEW"))
            NewFile();
        else if (verb == QLatin1String("OPEN"))
            OpenFile();
        else if (verb == QLatin1String("SAVE"))
            SaveFile();
        else if (verb == QLatin1String("SAVEAS"))
            SaveFileAs();
        else if (verb == QLatin1String("CLOSE"))
            CloseFile();
        else if ((verb == QLatin1String("OSMODE") || verb == QLatin1String("LTSCALE")) && doc && words.size() == 2)
            doc->SetVariable(verb, words[1]);
        else if (verb == QLatin1String("LAYER") && !doc)
            Log(tr("No drawing is open."));
        else if (verb == QLatin1String("LAYER") && words.size() < 2)
            Log(tr("Usage: LAYER name (makes the layer active, creating it when missing)."));
        else if (verb == QLatin1String("LAYER")) {
            const QString name = text.section(QLatin1Char(' '), 1).trimmed();
            const Document::Step step(*doc);
            doc->SetActiveLayer(doc->AddLayer(name).name);
        } else if (verb == QLatin1String("U") || verb == QLatin1String("UNDO"))
            Undo();
        else if (verb == QLatin1String("REDO"))
            Redo();
        else
            Log(tr("Unknown command \"%1\". Commands: LINE, POINT, ERASE, ZOOM, LAYER name, OSMODE n, LTSCALE n, U (UNDO), REDO, NEW, OPEN, SAVE, SAVEAS, CLOSE.").arg(words.value(0)));
    } catch (const EngineError& e) {
        Log(e.Message());
    }
}

// ---------------------------------------------------------------- File menu

void HostWindow::NewFile()
{
    NewDocument();
}

void HostWindow::OpenFile()
{
    const QString path = chooseOpenFile();
    if (path.isEmpty())
        return;
    try {
        OpenDocument(path);
    } catch (const EngineError& e) {
        showError(e.Message());
    }
}

bool HostWindow::SaveFile()
{
    Document* doc = m_docs.Active();
    if (!doc)
        return false;
    if (doc->FullName().isEmpty())
        return SaveDocumentAs(*doc);
    if (!MayDropLeftOut(*doc))
        return false;
    try {
        SaveDocument(*doc);
        doc->SetLeftOut(QString());
        Log(tr("Saved %1.").arg(doc->FullName()));
        UpdateTitle();
        return true;
    } catch (const EngineError& e) {
        showError(e.Message());
        return false;
    }
}

bool HostWindow::SaveFileAs()
{
    Document* doc = m_docs.Active();
    return doc && SaveDocumentAs(*doc);
}

bool HostWindow::MayDropLeftOut(const Document& doc)
{
    if (doc.LeftOut().isEmpty())
        return true;
    if (confirmDropLeftOut(doc)) {
        Log(tr("Saved without what this program does not keep: %1.").arg(doc.LeftOut()));
        return true;
    }
    return false;
}

bool HostWindow::SaveDocumentAs(Document& doc)
{
    if (!MayDropLeftOut(doc))
        return false;
    const QString path = chooseSaveFile(doc.FullName().isEmpty() ? doc.Name() : doc.FullName());
    if (path.isEmpty())
        return false;
    try {
        const QString written = SaveDocument(doc, path);
        doc.SetLeftOut(QString());
        if (QFileInfo(written) != QFileInfo(path))
            Log(tr("Drawings are saved as DXF: written to %1.").arg(written));
        else
            Log(tr("Saved %1.").arg(written));
        UpdateTitle();
        return true;
    } catch (const EngineError& e) {
        showError(e.Message());
        return false;
    }
}

bool HostWindow::ConfirmClose(Document& doc)
{
    if (doc.Saved())
        return true;
    ActivateDocument(doc);
    switch (askSaveChanges(doc)) {
    case QMessageBox::Save: return doc.FullName().isEmpty() ? SaveDocumentAs(doc) : SaveFile();
    case QMessageBox::Discard: return true;
    default: return false;
    }
}

bool HostWindow::CloseFile()
{
    Document* doc = m_docs.Active();
    if (!doc || !ConfirmClose(*doc))
        return false;
    CloseDocument(*doc);
    return true;
}

void HostWindow::closeEvent(QCloseEvent* event)
{
    for (int i = 0; i < m_docs.Count(); ++i)
        if (!ConfirmClose(m_docs.Item(i))) {
            event->ignore();
            return;
        }
    if (m_request)
        CancelPointInput();
    event->accept();
}

} // namespace cadhost
