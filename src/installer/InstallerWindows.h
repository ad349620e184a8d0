// The installer's own small windows: progress while files are copied or removed, and errors.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ardela::installer {

// A small window with the current action, a bar and Cancel; it stays on top of its owner.
class InstallProgressWindow : public QWidget {
    Q_OBJECT
public:
    InstallProgressWindow(const QString& title, const QString& action, int steps, QWidget* owner);

    // Moves the bar to `step` of the steps and lets the window repaint and take a Cancel click.
    void Step(int step);
    bool Cancelled() const { return m_cancelled; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_action;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    bool m_cancelled = false;
};

// Shows `text` as the installer's error under `title` and waits for OK.
void ShowInstallerError(const QString& title, const QString& text, QWidget* owner);

} // namespace ardela::installer
