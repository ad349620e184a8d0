// The wizards' progress window.
#include "wizard/WizardProgress.h"

#include <QCoreApplication>

#include "desktop/frmProgress.h"

namespace ardela {

WizardProgress::~WizardProgress()
{
    delete m_window;
}

void WizardProgress::Show(const QString& text)
{
    if (!m_window) {
        m_window = new frmProgress(m_owner);
        m_window->setModal(false);
    }
    m_window->Text(text);
    m_window->show();
    m_window->raise();
    QCoreApplication::processEvents();
}

void WizardProgress::Unload()
{
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
        m_window = nullptr;
    }
}

} // namespace ardela
