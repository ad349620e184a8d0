// The About window: program title and version, a flame animation, the developers' mail links.
#pragma once

#include <array>
#include <cstdint>

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QTimer>

class QPushButton;

#include "desktop/ProgramInfo.h"


namespace ardela {

// A developer's address: shows "MailTo: <address>" as its tooltip when the mouse moves over it
// and opens "MailTo:<address>" with the desktop's mail handler on a click.
class MailLabel : public QLabel {
    Q_OBJECT
public:
    MailLabel(const QString& address, QWidget* parent);
    QString Address() const { return m_address; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_address;
};

// The flame picture: an 8-bit indexed image; line 0 is the bottom line, where the fire is fed.
class FlamePicture : public QWidget {
    Q_OBJECT
public:
    explicit FlamePicture(QWidget* parent);
    QImage& Picture() { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(const ProgramInfo& program, QWidget* parent = nullptr);

    // Feeds line 0 with random heat (55 to 254) and lets it rise one step through the picture.
    void DoFlame();
    // The rising step alone: every pixel (k, j), lines 1 to the last and positions 1 to the last
    // but one, becomes A[p(k-1, j)] + B[p(k-1, j-1)] + C[p(k-1, j+1)]. Pictures that are not
    // 8-bit indexed are left alone.
    void RiseFlame();

    const std::array<std::uint8_t, 257>& A() const { return m_a; }
    const std::array<std::uint8_t, 257>& B() const { return m_b; }
    const std::array<std::uint8_t, 257>& C() const { return m_c; }

    FlamePicture* picAbout = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    std::array<MailLabel*, 2> lblMailTo{};
    QPushButton* cmdOK = nullptr;
    QTimer Timer1;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Timer1_Timer();

    std::array<std::uint8_t, 257> m_a{};
    std::array<std::uint8_t, 257> m_b{};
    std::array<std::uint8_t, 257> m_c{};
};

} // namespace ardela
