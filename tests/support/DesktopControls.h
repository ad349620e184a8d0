// Finding the Options dialog's and the colour picker's controls by their object names, as a person
// finds them on screen.
#pragma once

#include <array>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "desktop/frmColor.h"
#include "desktop/frmOptions.h"
#include "support/Controls.h"

namespace ardela::test {

// The dialog's boxes, layer list, colour preview, plot choices and buttons.
struct OptionsControls {
    QLineEdit* txtText = nullptr;
    QLineEdit* txtScale = nullptr;
    QComboBox* cboPlot = nullptr;
    PlotPreview* picPlot = nullptr;
    std::array<QCheckBox*, 2> chkPlot{};    // "chkPlot0" tension, "chkPlot1" compression
    std::array<QRadioButton*, 2> optPlot{}; // "optPlot0" black and white, "optPlot1" colour
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdSave = nullptr;
};

inline OptionsControls OptionsOf(const QWidget* dialog)
{
    OptionsControls controls;
    controls.txtText = Control<QLineEdit>(dialog, QStringLiteral("txtText"));
    controls.txtScale = Control<QLineEdit>(dialog, QStringLiteral("txtScale"));
    controls.cboPlot = Control<QComboBox>(dialog, QStringLiteral("cboPlot"));
    controls.picPlot = Control<PlotPreview>(dialog, QStringLiteral("picPlot"));
    for (int i = 0; i < 2; ++i) {
        controls.chkPlot[i] = Control<QCheckBox>(dialog, QStringLiteral("chkPlot"), i);
        controls.optPlot[i] = Control<QRadioButton>(dialog, QStringLiteral("optPlot"), i);
    }
    controls.cmdOK = Control<QPushButton>(dialog, QStringLiteral("cmdOK"));
    controls.cmdCancel = Control<QPushButton>(dialog, QStringLiteral("cmdCancel"));
    controls.cmdSave = Control<QPushButton>(dialog, QStringLiteral("cmdSave"));
    return controls;
}

// The picker's pictures ("picColor0" to "picColor15" the swatches and the preview, "picColor16" the
// palette grid), its buttons ("cmdColor0" OK to "cmdColor4") and its colour box.
struct PickerControls {
    std::array<ColorPicture*, 17> picColor{};
    std::array<QPushButton*, 5> cmdColor{};
    QLineEdit* txtColor = nullptr;
};

inline PickerControls PickerOf(const QWidget* picker)
{
    PickerControls controls;
    for (int i = 0; i < int(controls.picColor.size()); ++i)
        controls.picColor[i] = Control<ColorPicture>(picker, QStringLiteral("picColor"), i);
    for (int i = 0; i < int(controls.cmdColor.size()); ++i)
        controls.cmdColor[i] = Control<QPushButton>(picker, QStringLiteral("cmdColor"), i);
    controls.txtColor = Control<QLineEdit>(picker, QStringLiteral("txtColor"));
    return controls;
}

} // namespace ardela::test
