// The installer's own small windows.
#include "installer/InstallerWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace ardela::installer {

InstallProgressWindow::InstallProgressWindow(const QString& title, const QString& action, int steps, QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
    , m_action(new QLabel(action, this))
    , m_bar(new QProgressBar(this))
    , m_cancel(new QPushButton(tr("Cancel"), this))
{
    setObjectName(QStringLiteral("InstallProgressWindow"));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_bar->setRange(0, std::max(steps, 1));
    m_bar->setValue(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_action);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    setMinimumWidth(360);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancelled = true;
        m_cancel->setEnabled(false);
    });
    show();
    QApplication::processEvents();
}

void InstallProgressWindow::Step(int step)
{
    m_bar->setValue(std::min(step, m_bar->maximum()));
    QApplication::processEvents();
}

void InstallProgressWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window is a request to cancel; the installer closes it itself at the end.
    m_cancelled = true;
    event->ignore();
}

void ShowInstallerError(const QString& title, const QString& text, QWidget* owner)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("InstallerErrorWindow"));
    box.exec();
}

} // namespace ardela::installer
