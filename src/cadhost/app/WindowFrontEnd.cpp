// The automation server's front end in cadhost, over the host window.
#include "cadhost/app/WindowFrontEnd.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/EngineError.h"
#include "cadhost/ui/DrawingView.h"
#include "cadhost/ui/HostWindow.h"

namespace cadhost {

namespace {

void PressKey(QWidget* widget, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

} // namespace

DocumentList& WindowFrontEnd::Documents()
{
    return m_window.Documents();
}

Document& WindowFrontEnd::AddDocument()
{
    return m_window.NewDocument();
}

Document& WindowFrontEnd::OpenDocument(const QString& path)
{
    return m_window.OpenDocument(path);
}

void WindowFrontEnd::CloseDocument(Document& document)
{
    m_window.CloseDocument(document);
}

void WindowFrontEnd::SetClosingListener(std::function<void(Document*)> listener)
{
    QObject::connect(&m_window, &HostWindow::DocumentClosing, &m_window, std::move(listener));
}

void WindowFrontEnd::Regen(Document& document)
{
    if (DrawingView* view = m_window.ViewOf(document))
        view->Regen();
}

std::optional<ViewArea> WindowFrontEnd::View(Document& document)
{
    DrawingView* view = m_window.ViewOf(document);
    if (!view)
        return std::nullopt;
    const ViewTransform shown = view->Shown();
    return ViewArea{shown.centerX, shown.centerY, shown.height / shown.scale, shown.width, shown.height};
}

void WindowFrontEnd::ZoomWindow(Document& document, const Box2& window)
{
    if (DrawingView* view = m_window.ViewOf(document))
        view->ZoomWindow(window);
}

void WindowFrontEnd::Note(const QString& line)
{
    m_window.Note(line);
}

int WindowFrontEnd::RequestPoint(Document& document, const QString& prompt, const std::optional<Point3>&,
                                 PointCallback answer)
{
    if (m_window.PointPending())
        throw EngineError(QStringLiteral("A point is already being asked for."));
    const int token = ++m_lastToken;
    auto abandoned = std::make_shared<bool>(false);
    m_pendingToken = token;
    m_abandoned = abandoned;
    m_window.RequestPoint(document, prompt, [this, token, abandoned, answer](std::optional<Point3> point,
                                                                             HostWindow::PointEnd end) {
        if (m_pendingToken == token)
            m_pendingToken = 0;
        if (*abandoned)
            return;
        PointAnswer result;
        switch (end) {
        case HostWindow::PointEnd::Point:
            result.point = point.value_or(Point3{});
            break;
        case HostWindow::PointEnd::Finished:
            result.kind = PointAnswer::Kind::Ended;
            break;
        case HostWindow::PointEnd::DocumentClosed:
            result.kind = PointAnswer::Kind::DocumentClosed;
            break;
        case HostWindow::PointEnd::Cancelled:
        case HostWindow::PointEnd::Busy:
            result.kind = PointAnswer::Kind::Cancelled;
            break;
        }
        answer(result);
    });
    return token;
}

void WindowFrontEnd::AbandonPoint(int token)
{
    if (token == 0 || token != m_pendingToken || !m_abandoned)
        return;
    // The caller is gone: clear the prompt without answering anyone.
    *m_abandoned = true;
    m_window.CancelPointInput();
}

bool WindowFrontEnd::PointPending() const
{
    return m_window.PointPending();
}

void WindowFrontEnd::SimulateInput(const SimulatedInput& input)
{
    QLineEdit* commandLine = m_window.CommandLine();
    switch (input.kind) {
    case SimulatedInput::Kind::Click:
        m_window.ClickAt(input.point);
        break;
    case SimulatedInput::Kind::RightClick: {
        Document* active = m_window.ActiveDocument();
        DrawingView* view = active ? m_window.ViewOf(*active) : nullptr;
        if (!view)
            break;
        const QPointF at(view->width() / 2.0, view->height() / 2.0);
        QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(view, &press);
        break;
    }
    case SimulatedInput::Kind::Type:
        commandLine->setText(input.text);
        PressKey(commandLine, Qt::Key_Return);
        break;
    case SimulatedInput::Kind::Enter:
        commandLine->clear();
        PressKey(commandLine, Qt::Key_Return);
        break;
    case SimulatedInput::Kind::Escape:
        PressKey(commandLine, Qt::Key_Escape);
        break;
    }
}

std::uint64_t WindowFrontEnd::DocumentWindow(Document& document)
{
    DrawingView* view = m_window.ViewOf(document);
    return view ? view->winId() : 0;
}

std::uint64_t WindowFrontEnd::RootWindow(std::uint64_t window)
{
    QWidget* widget = QWidget::find(WId(window));
    return widget ? widget->window()->winId() : 0;
}

void WindowFrontEnd::ActivateWindow(std::uint64_t window)
{
    QWidget* widget = QWidget::find(WId(window));
    if (widget && widget->window() == &m_window)
        m_window.BringToFront();
}

bool WindowFrontEnd::IsVisible()
{
    return m_window.Headless() ? m_visible : m_window.isVisible();
}

void WindowFrontEnd::SetVisible(bool visible)
{
    m_visible = visible;
    if (!m_window.Headless())
        m_window.setVisible(visible);
}

void WindowFrontEnd::Quit()
{
    // The caller already settled the drawings: end without the window's closing questions.
    QCoreApplication::exit(0);
}

} // namespace cadhost
