// A drawing host for the link tests while no window is needed: the real engine and automation
// server behind a plain window with one tab per document, and point input fed only by the
// link's testing aid. Takes the same command line as cadhost.
#include <optional>

#include <QApplication>
#include <QMainWindow>
#include <QTabWidget>
#include <QWidget>

#include "AutomationServer.h"
#include "AutomationStart.h"
#include "Document.h"
#include "DocumentList.h"
#include "EngineError.h"
#include "HostFrontEnd.h"

namespace {

using namespace cadhost;

class HeadlessFrontEnd : public HostFrontEnd {
public:
    HeadlessFrontEnd()
    {
        m_window.setCentralWidget(&m_tabs);
        m_window.resize(640, 480);
        m_window.show();
        AddDocument();
    }

    DocumentList& Documents() override { return m_documents; }

    Document& AddDocument() override { return Show(m_documents.Add()); }
    Document& OpenDocument(const QString& path) override { return Show(m_documents.Open(path)); }

    void CloseDocument(Document& document) override
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

    void Regen(Document&) override { m_tabs.update(); }

    int RequestPoint(Document& document, const QString&, const std::optional<Point3>&, PointCallback answer) override
    {
        if (m_point)
            throw EngineError(QStringLiteral("A point is already being asked for."));
        m_point = Pending{++m_lastToken, &document, std::move(answer)};
        return m_lastToken;
    }

    void AbandonPoint(int token) override
    {
        if (m_point && m_point->token == token)
            m_point.reset();
    }

    void SimulateInput(const SimulatedInput& input) override
    {
        if (!m_point)
            return;
        PointAnswer answer;
        switch (input.kind) {
        case SimulatedInput::Kind::Click: {
            answer.point = input.point;
            const int osmode = m_point->document->GetVariable(QStringLiteral("OSMODE")).toInt();
            if (std::optional<SnapResult> snap = m_point->document->Snap(input.point, 1.0, osmode))
                answer.point = snap->point;
            break;
        }
        case SimulatedInput::Kind::Type: {
            const QStringList parts = input.text.split(QLatin1Char(','));
            bool okX = false;
            bool okY = false;
            if (parts.size() != 2)
                return;
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

    std::uint64_t DocumentWindow(Document& document) override
    {
        for (int i = 0; i < m_tabs.count(); ++i)
            if (m_tabs.widget(i)->property("document").value<quintptr>() == quintptr(&document))
                return m_tabs.widget(i)->winId();
        return 0;
    }

    std::uint64_t RootWindow(std::uint64_t window) override
    {
        QWidget* widget = QWidget::find(WId(window));
        return widget ? widget->window()->winId() : 0;
    }

    void ActivateWindow(std::uint64_t window) override
    {
        if (QWidget* widget = QWidget::find(WId(window))) {
            widget->window()->showNormal();
            widget->window()->raise();
            widget->window()->activateWindow();
        }
    }

    bool IsVisible() override { return m_window.isVisible(); }
    void SetVisible(bool visible) override { m_window.setVisible(visible); }
    void Quit() override { QApplication::quit(); }

private:
    Document& Show(Document& document)
    {
        if (DocumentWindow(document) == 0) {
            auto* tab = new QWidget;
            tab->setProperty("document", QVariant::fromValue(quintptr(&document)));
            m_tabs.addTab(tab, document.Name());
            tab->winId();
        }
        return document;
    }

    struct Pending {
        int token;
        Document* document;
        PointCallback answer;
    };

    QMainWindow m_window;
    QTabWidget m_tabs;
    DocumentList m_documents;
    std::optional<Pending> m_point;
    int m_lastToken = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    HeadlessFrontEnd frontEnd;
    AutomationServer server(frontEnd);
    if (!StartAutomation(server, app.arguments()))
        return 2;
    return app.exec();
}
