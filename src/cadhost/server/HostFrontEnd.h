// What the automation server needs of the host window: documents shown as tabs, point input,
// native window ids, visibility and quitting.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QString>

#include "cadhost/engine/Geometry.h"

namespace cadhost {

class Document;
class DocumentList;

// What a document's view shows: its centre and height in drawing units, its size in pixels.
struct ViewArea {
    double centerX = 0.0;
    double centerY = 0.0;
    double height = 0.0;
    int widthPixels = 0;
    int heightPixels = 0;
};

// How a point request ended.
struct PointAnswer {
    enum class Kind { Point, Ended, Cancelled, DocumentClosed };
    Kind kind = Kind::Point;
    Point3 point;
};

// Input the testing aid of the link feeds to the point input as the engineer would.
struct SimulatedInput {
    enum class Kind { Click, RightClick, Type, Enter, Escape };
    Kind kind = Kind::Click;
    Point3 point;    // Click: where, in drawing coordinates
    QString text;    // Type: the text typed into the command line before Enter
};

class HostFrontEnd {
public:
    virtual ~HostFrontEnd() = default;

    virtual DocumentList& Documents() = 0;
    // Document changes the window must follow (a tab is added, opened or removed). Failures
    // throw EngineError.
    virtual Document& AddDocument() = 0;
    virtual Document& OpenDocument(const QString& path) = 0;
    virtual void CloseDocument(Document& document) = 0;
    // Calls `listener` whenever a document is about to close, by whatever way it closes.
    virtual void SetClosingListener(std::function<void(Document*)> listener) = 0;
    // Redraws the document's view.
    virtual void Regen(Document& document) = 0;
    // What the document's view shows (nothing when it has no view), and the view zoomed so that
    // it shows `window` whole, centred.
    virtual std::optional<ViewArea> View(Document& document) = 0;
    virtual void ZoomWindow(Document& document, const Box2& window) = 0;
    // Shows a line to the engineer in the host's command history.
    virtual void Note(const QString& line) = 0;

    // Asks the engineer for a point in `document`: shows `prompt`, raises the window and
    // returns at once; `answer` is called exactly once later (unless the request is abandoned).
    // Returns a token for AbandonPoint. Throws EngineError when a point cannot be asked now.
    using PointCallback = std::function<void(const PointAnswer&)>;
    virtual int RequestPoint(Document& document, const QString& prompt, const std::optional<Point3>& basePoint,
                             PointCallback answer) = 0;
    // The caller went away: drop the request without answering it.
    virtual void AbandonPoint(int token) = 0;
    // The testing aid: input to the pending point request as if the engineer gave it.
    virtual void SimulateInput(const SimulatedInput& input) = 0;
    // The testing aid: whether a point request waits for input.
    virtual bool PointPending() const = 0;

    // Native window ids: the document's view, the top-level window holding a window of ours.
    virtual std::uint64_t DocumentWindow(Document& document) = 0;
    virtual std::uint64_t RootWindow(std::uint64_t window) = 0;
    // Raises and activates the window, restoring it when minimised.
    virtual void ActivateWindow(std::uint64_t window) = 0;
    virtual bool IsVisible() = 0;
    virtual void SetVisible(bool visible) = 0;
    // Ends the host (after the reply to Quit has left).
    virtual void Quit() = 0;
};

} // namespace cadhost
