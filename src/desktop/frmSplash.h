// The splash window shown while a wizard loads: company, program title and version.
#pragma once

#include <QWidget>

#include "ProgramInfo.h"

class QLabel;

namespace ardela {

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(const ProgramInfo& program, QWidget* parent = nullptr);

    QLabel* lblCompany = nullptr;
    QLabel* lblCompanyShadow = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblTitleShadow = nullptr;
    QLabel* lblVersion = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ardela
