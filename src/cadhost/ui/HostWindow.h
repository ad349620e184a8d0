// The drawing host's window: a tab per document, the layer panel, the command line, the
// status bar, the File menu, drawing tools, and point input for automation callers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QMainWindow>
#include <QStringList>

#include "cadhost/engine/DocumentList.h"

class QDockWidget;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace cadhost {

class DrawingView;
class LayerPanel;

class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HostWindow(QWidget* parent = nullptr);
    ~HostWindow() override;

    // ---- documents (the automation server works through these so the tabs follow)
    DocumentList& Documents() { return m_docs; }
    Document& NewDocument();
    // Opens a DXF drawing; throws EngineError (nothing changes then).
    Document& OpenDocument(const QString& path);
    // Closes without asking; a point request on it ends with PointEnd::DocumentClosed.
    void CloseDocument(Document& doc);
    void ActivateDocument(Document& doc);
    Document* ActiveDocument() const { return m_docs.Active(); }
    DrawingView* ViewOf(const Document& doc) const;

    // ---- point input
    // How a point request ended.
    enum class PointEnd {
        Point,            // a point was given
        Finished,         // the engineer ended point input (Enter on an empty line, right click)
        Cancelled,        // Escape
        DocumentClosed,   // the drawing was closed while it waited
        Busy,             // another request was already waiting
    };
    // Asks the engineer for a point in `doc`: shows the prompt, raises the window and returns
    // at once. `done` is called later, once, with the point (PointEnd::Point) or without one.
    using PointCallback = std::function<void(std::optional<Point3> point, PointEnd end)>;
    void RequestPoint(Document& doc, const QString& prompt, PointCallback done);
    bool PointPending() const { return bool(m_request); }
    // Answers the pending request as a click at a drawing point would (with running snap).
    void ClickAt(const Point3& world);
    void AnswerPoint(const Point3& p);   // as typed: exact, no snap
    void EndPointInput();                // PointEnd::Finished
    void CancelPointInput();             // PointEnd::Cancelled

    // Raises and activates the window, restoring it when minimised; a headless host stays hidden.
    void BringToFront();
    void SetHeadless(bool headless) { m_headless = headless; }
    bool Headless() const { return m_headless; }

    // ---- File menu and tools
    void NewFile();
    void OpenFile();
    bool SaveFile();
    bool SaveFileAs();
    bool CloseFile();
    void StartLineTool();
    void StartPointTool();
    // Erases, at each click, the newest entity under the cursor that is not on a locked layer.
    void StartEraseTool();
    void ZoomExtents();
    // Undoes (redoes) the active drawing's last change, one step; a running tool ends first.
    void Undo();
    void Redo();
    // Adds a line to the command history.
    void Note(const QString& line) { Log(line); }
    // Runs one command line entry as if typed and entered.
    void RunCommand(const QString& text);

    // Seams for the dialogs (tests replace them): choosers return "" for cancel; the save
    // question returns QMessageBox::Save, Discard or Cancel.
    std::function<QString()> chooseOpenFile;
    std::function<QString(const QString& suggested)> chooseSaveFile;
    std::function<int(const Document&)> askSaveChanges;
    std::function<void(const QString&)> showError;
    // Asked before a save would drop what the drawing's file held that this program does not
    // keep (Document::LeftOut); true to save all the same.
    std::function<bool(const Document&)> confirmDropLeftOut;

    QTabWidget* Tabs() const { return m_tabs; }
    QLineEdit* CommandLine() const { return m_command; }
    QLabel* PromptLabel() const { return m_prompt; }
    QLabel* CoordinatesLabel() const { return m_coords; }
    QLabel* SnapLabel() const { return m_snap; }
    LayerPanel* Layers() const { return m_layers; }
    QDockWidget* LayersDock() const { return m_layersDock; }
    QStringList History() const { return m_history; }
    QPlainTextEdit* HistoryView() const { return m_log; }

signals:
    void DocumentAdded(cadhost::Document* doc);
    void DocumentClosing(cadhost::Document* doc);
    void ActiveDocumentChanged(cadhost::Document* doc);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Request {
        Document* doc = nullptr;
        PointCallback done;
        bool fromTool = false;
    };
    enum class Tool { None, Line, Point, Erase };

    void BuildMenus();
    DrawingView* AddView(Document& doc);
    void TabChanged(int index);
    void CommandEntered();
    void ViewClicked(double x, double y);
    void CursorMoved(double x, double y, int snapMode);
    void Finish(std::optional<Point3> point, PointEnd end);
    void AskToolPoint(const QString& prompt);
    // Starts a drawing tool unless a wizard is waiting for a point.
    void StartTool(Tool tool, const QString& prompt);
    void ToolPoint(std::optional<Point3> point, PointEnd end);
    void EndTool();
    bool SaveDocumentAs(Document& doc);
    bool MayDropLeftOut(const Document& doc);
    // What an ERASE click at `point` takes: the newest visible entity on an unlocked layer
    // within the aperture. `locked` is set when one on a locked layer was passed over.
    std::optional<ObjectId> ErasePick(Document& doc, const Point3& point, bool* locked = nullptr) const;
    bool ConfirmClose(Document& doc);
    void Log(const QString& line);
    void UpdateSnapLabel();
    void UpdateTitle();

    DocumentList m_docs;
    QTabWidget* m_tabs = nullptr;
    LayerPanel* m_layers = nullptr;
    QDockWidget* m_layersDock = nullptr;
    QPlainTextEdit* m_log = nullptr;
    QLabel* m_prompt = nullptr;
    QLineEdit* m_command = nullptr;
    QLabel* m_coords = nullptr;
    QLabel* m_snap = nullptr;
    QStringList m_history;
    std::optional<Request> m_request;
    Tool m_tool = Tool::None;
    std::optional<Point3> m_toolFrom;
    std::optional<Point3> m_lastPoint;   // the last point given, for "@dx,dy" input
    bool m_headless = false;
    // What the title and the snap label show now.
    struct TitleSource {
        const Document* doc = nullptr;
        QString name;
        bool saved = false;
        bool operator==(const TitleSource&) const = default;
    };
    std::optional<TitleSource> m_shownTitle;
    int m_shownSnap = -1;
};

} // namespace cadhost
