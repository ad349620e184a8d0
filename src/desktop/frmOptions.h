// The Options dialog both wizards share: text height, scale factor, the layer colours, colour or
// black-and-white plots and which results are drawn. OK takes the options over and hands the
// changes to the drawing; Save writes them to the store; Cancel drops them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include <QColor>
#include <QDialog>
#include <QWidget>

#include "desktop/Cell.h"
#include "desktop/OptionsChanges.h"
#include "desktop/Settings.h"
#include "desktop/modResource.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ardela {

class frmColor;

// The colour preview of the dialog: a filled box with a one-pixel bevel that looks raised, or
// pressed while the mouse button is held on it.
class PlotPreview : public QWidget {
    Q_OBJECT
public:
    explicit PlotPreview(QWidget* parent);

    void SetFill(const QColor& fill);
    QColor Fill() const { return m_fill; }
    // Raised: highlight on the top and left, the dark shadow (or, `plainShadow`, the button shadow)
    // on the right and bottom. Pressed: the two edge colours swapped.
    void DrawRaised(bool plainShadow = false);
    void DrawPressed();
    bool IsPressed() const { return m_pressed; }
    QColor TopLeftEdge() const { return m_topLeft; }
    QColor BottomRightEdge() const { return m_bottomRight; }

signals:
    void MouseDown();
    void MouseUp();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor m_fill;
    QColor m_topLeft;
    QColor m_bottomRight;
    bool m_pressed = false;
};

class frmOptions : public QDialog {
    Q_OBJECT
public:
    // What OK asks of the drawing once the options are taken over: the wizard gives a routine that
    // updates its working drawing (and does nothing when it has none).
    using ApplyToDrawing = std::function<void(const OptionsChanges&)>;

    // Captions come from the string table chosen by SelectStringTable, the six layer entries from
    // that program; the dialog starts from `settings` (the program-wide array by default).
    explicit frmOptions(QWidget* parent = nullptr, ApplyToDrawing applyToDrawing = {},
                        SettingsArray* settings = nullptr);
    ~frmOptions() override;

    // The settings position of the colour each cboPlot entry edits, in a program.
    static const std::array<SettingIndex, 6>& PlotLayerKeys(StringTable program);
    // The working copy's colour under a settings position (one of the nine colour keys).
    const Cell& WorkingColor(SettingIndex key) const;
    // What the last OK changed.
    const OptionsChanges& Changes() const { return m_changes; }

    // The colour picker, owned by the dialog; its members keep their values between showings.
    frmColor* Picker() const { return m_picker; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls, each under its object name ("txtText", "txtScale", "cboPlot", "picPlot",
    // "chkPlot0" and "chkPlot1", "optPlot0" and "optPlot1", "cmdOK", "cmdCancel", "cmdSave").
    QLineEdit* txtText = nullptr;
    QLineEdit* txtScale = nullptr;
    QComboBox* cboPlot = nullptr;
    PlotPreview* picPlot = nullptr;
    std::array<QCheckBox*, 2> chkPlot{};
    std::array<QRadioButton*, 2> optPlot{};
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdSave = nullptr;

    void Form_Load();
    void cboPlot_Click(int index);
    void picPlot_MouseDown();
    void picPlot_MouseUp();
    void txtBox_Change();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdSave_Click();

    // The slot of a colour key in the working copy.
    static std::size_t ColorSlot(SettingIndex key);
    // The colour number of a working-copy value for the picker; 0 when it names no colour.
    static std::int16_t PickerColor(const Cell& value);
    // Whether the boxes hold what OK may take over.
    bool BoxesAcceptable() const;

    SettingsArray& m_settings;
    // The program whose table captioned the dialog, and so whose six layers cboPlot lists.
    StringTable m_program;
    ApplyToDrawing m_applyToDrawing;
    frmColor* m_picker = nullptr;
    // The working copy of the nine colours: Layer1 to Layer9.
    std::array<Cell, 9> m_colors;
    bool m_loading = false;
    OptionsChanges m_changes;
};

} // namespace ardela
