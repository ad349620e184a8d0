// The progress window shown while the wizard waits on the drawing program or the solver: a message
// and an animation that plays while the window is shown.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;

namespace ardela {

// The animation: a loaded beam on two supports that bends and recovers, with a travelling load.
class ProgressAnimation : public QWidget {
    Q_OBJECT
public:
    explicit ProgressAnimation(QWidget* parent);
    void Play();
    void Stop();
    bool IsPlaying() const { return m_timer.isActive(); }
    int Frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    int m_frame = 0;
};

class frmProgress : public QDialog {
    Q_OBJECT
public:
    explicit frmProgress(QWidget* parent = nullptr);

    // The message shown.
    void Text(const QString& text);
    QString Text() const;

    QLabel* lblProgress = nullptr;
    ProgressAnimation* aniProgress = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool m_placed = false;
};

} // namespace ardela
