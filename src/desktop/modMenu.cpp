// The "About..." item in the wizard's context menu, as an event filter on the wizard window.
#include "desktop/modMenu.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include "desktop/ProgramInfo.h"
#include "desktop/frmAbout.h"

namespace ardela {

namespace {

constexpr const char* kFilterName = "modMenuAbout";

class AboutMenuFilter : public QObject {
public:
    explicit AboutMenuFilter(QWidget* wizard)
        : QObject(wizard), m_wizard(wizard)
    {
        setObjectName(QLatin1String(kFilterName));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_wizard || event->type() != QEvent::ContextMenu)
            return false;
        auto* request = static_cast<QContextMenuEvent*>(event);
        QMenu menu(m_wizard);
        menu.setObjectName(QStringLiteral("mnuSystem"));
        menu.setSeparatorsCollapsible(false);
        menu.addSeparator();
        QAction* about = menu.addAction(QStringLiteral("About..."));
        about->setData(kAboutCommand);
        QAction* chosen = menu.exec(request->globalPos());
        if (chosen && m_wizard)
            WizardCommand(m_wizard, chosen->data().toInt());
        return true;
    }

private:
    QPointer<QWidget> m_wizard;
};

} // namespace

void SubclassOn(QWidget* wizard)
{
    SubclassOff(wizard);
    wizard->installEventFilter(new AboutMenuFilter(wizard));
}

void SubclassOff(QWidget* wizard)
{
    if (!wizard)
        return;
    for (QObject* filter : wizard->findChildren<QObject*>(QLatin1String(kFilterName), Qt::FindDirectChildrenOnly)) {
        wizard->removeEventFilter(filter);
        delete filter;
    }
}

bool WizardCommand(QWidget* wizard, int commandId)
{
    if (commandId != kAboutCommand)
        return false;
    frmAbout about(CurrentProgram(), wizard);
    about.Timer1.start();
    about.exec();
    return true;
}

} // namespace ardela
