// The windowless front end of cadhost: documents as empty tabs, point input by the testing aid.
#include "HeadlessFrontEnd.h"

#include <QApplication>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include "Document.h"
#include "EngineError.h"

namespace cadhost {

HeadlessFrontEnd::HeadlessFrontEnd()
{
    m_window.setCentralWidget(&m_tabs);
    m_window.resize(640, 480);
    m_window.show();
    AddDocument();
}

Document& HeadlessFrontEnd::AddDocument()
{
    return Show(m_documents.Add());
}

Document& HeadlessFrontEnd::OpenDocument(const QString& path)
{
    return Show(m_documents.Open(path));
}

void HeadlessFrontEnd::CloseDocument(Document& document)
{
    if (m_point && m_point->document == &document) {
        PointCallback answer = std::move(m_point->answer);
        m_point.reset();
        answer(PointAnswer{PointAnswer::Kind::DocumentClosed, {}});
    }
    for (int i = 0; i < m_tabs.count(); ++i) {
        if (m_tabs.widget(i)->property("document").value<quintptr>() == quintptr(&document)) {
            QWidget* tab = m_tabs.widget(i);
            m_tabs.removeTab(i);
            delete tab;
            break;
        }
    }
    m_documents.Close(&document);
}

void HeadlessFrontEnd::Regen(Document&)
{
    m_tabs.update();
}

int HeadlessFrontEnd::RequestPoint(Document& document, const QString&, const std::optional<Point3>&, PointCallback answer)
{
    if (m_point)
        throw EngineError(QStringLiteral("A point is already being asked for."));
    m_point = Pending{++m_lastToken, &document, std::move(answer)};
    return m_lastToken;
}

void HeadlessFrontEnd::AbandonPoint(int token)
{
    if (m_point && m_point->token == token)
        m_point.reset();
}

void HeadlessFrontEnd::SimulateInput(const SimulatedInput& input)
{
    if (!m_point)
        return;
    PointAnswer answer;
    switch (input.kind) {
    case SimulatedInput::Kind::Click: {
        // Running object snap within one drawing unit of the click.
        answer.point = input.point;
        const int osmode = m_point->document->GetVariable(QStringLiteral("OSMODE")).toInt();
        if (std::optional<SnapResult> snap = m_point->document->Snap(input.point, 1.0, osmode))
            answer.point = snap->point;
        break;
    }
    case SimulatedInput::Kind::Type: {
        // "x,y" with a point as decimal separator, as a command line takes coordinates.
        const QStringList parts = input.text.split(QLatin1Char(','));
        if (parts.size() != 2)
            return;
        bool okX = false;
        bool okY = false;
        answer.point = {parts[0].trimmed().toDouble(&okX), parts[1].trimmed().toDouble(&okY), 0.0};
        if (!okX || !okY)
            return;
        break;
    }
    case SimulatedInput::Kind::RightClick:
    case SimulatedInput::Kind::Enter:
        answer.kind = PointAnswer::Kind::Ended;
        break;
    case SimulatedInput::Kind::Escape:
        answer.kind = PointAnswer::Kind::Cancelled;
        break;
    }
    PointCallback callback = std::move(m_point->answer);
    m_point.reset();
    callback(answer);
}

std::uint64_t HeadlessFrontEnd::DocumentWindow(Document& document)
{
    for (int i = 0; i < m_tabs.count(); ++i)
        if (m_tabs.widget(i)->property("document").value<quintptr>() == quintptr(&document))
            return m_tabs.widget(i)->winId();
    return 0;
}

std::uint64_t HeadlessFrontEnd::RootWindow(std::uint64_t window)
{
    QWidget* widget = QWidget::find(WId(window));
    return widget ? widget->window()->winId() : 0;
}

void HeadlessFrontEnd::ActivateWindow(std::uint64_t window)
{
    if (QWidget* widget = QWidget::find(WId(window))) {
        widget->window()->showNormal();
        widget->window()->raise();
        widget->window()->activateWindow();
    }
}

bool HeadlessFrontEnd::IsVisible()
{
    return m_window.isVisible();
}

void HeadlessFrontEnd::SetVisible(bool visible)
{
    m_window.setVisible(visible);
}

void HeadlessFrontEnd::Quit()
{
    QApplication::quit();
}

Document& HeadlessFrontEnd::Show(Document& document)
{
    if (DocumentWindow(document) == 0) {
        auto* tab = new QWidget;
        tab->setProperty("document", QVariant::fromValue(quintptr(&document)));
        m_tabs.addTab(tab, document.Name());
        tab->winId();
    }
    return document;
}

} // namespace cadhost
