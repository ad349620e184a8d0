// The help window over the HTML topics.
#include "desktop/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "desktop/CentreWindow.h"

namespace ardela {

namespace {

QString& Root()
{
    static QString root;
    return root;
}

QPointer<HelpWindow>& Window()
{
    static QPointer<HelpWindow> window;
    return window;
}

} // namespace

void SetHelpRoot(const QString& folder)
{
    Root() = folder;
}

QString HelpRoot()
{
    if (!Root().isEmpty())
        return Root();
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help"));
}

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(560, 480);
}

void HelpWindow::showEvent(QShowEvent* event)
{
    // Opens centred on the window it helps with.
    if (!m_placed) {
        m_placed = true;
        CentreOnOwner(this, parentWidget());
    }
    QWidget::showEvent(event);
}

HelpWindow* HelpWindow::Instance()
{
    return Window().data();
}

bool HelpWindow::ShowTopic(const QString& helpFile, int context)
{
    const QString book = QFileInfo(helpFile).completeBaseName();
    const QString folder = QDir(HelpRoot()).filePath(book);
    const QString topic = QDir(folder).filePath(QStringLiteral("%1.html").arg(context));
    // The title ends in the program's name, as the program's own windows do.
    setWindowTitle(book);
    if (!QFileInfo::exists(topic)) {
        m_browser->setSearchPaths({folder});
        m_browser->setHtml(QStringLiteral("<h2>%1 Help</h2><p>The help topic %2 is not installed in %3.</p>")
                               .arg(book.toHtmlEscaped())
                               .arg(context)
                               .arg(folder.toHtmlEscaped()));
        return false;
    }
    m_browser->setSource(QUrl::fromLocalFile(topic));
    if (!m_browser->documentTitle().isEmpty())
        setWindowTitle(m_browser->documentTitle() + QStringLiteral(" - ") + book);
    return true;
}

bool WinHelp(QWidget* owner, const QString& helpFile, int command, int context)
{
    switch (command) {
    case HELP_CONTEXT: {
        HelpWindow* window = Window().data();
        if (!window) {
            window = new HelpWindow(owner);
            Window() = window;
        }
        const bool found = window->ShowTopic(helpFile, context);
        window->show();
        window->raise();
        window->activateWindow();
        return found;
    }
    case HELP_QUIT:
        if (HelpWindow* window = Window().data())
            window->close();
        return true;
    default:
        return false;
    }
}

} // namespace ardela
