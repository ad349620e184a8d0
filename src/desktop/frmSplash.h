// The splash window shown while a wizard loads: company, program title and version.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include "desktop/ProgramInfo.h"

class QLabel;

namespace ardela {

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(const ProgramInfo& program, QWidget* parent = nullptr);

    // Closes and releases the splash once `minimumMs` have passed since `shownAt` (at once when
    // they have), without holding up the wizard meanwhile.
    void UnloadAfter(const QElapsedTimer& shownAt, int minimumMs = 4000);

    QLabel* lblCompany = nullptr;
    QLabel* lblCompanyShadow = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblTitleShadow = nullptr;
    QLabel* lblVersion = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool m_placed = false;
};

} // namespace ardela
