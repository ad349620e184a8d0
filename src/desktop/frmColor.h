// The colour picker: standard colours, grey shades, the 240-colour palette grid, or a typed name or
// number; converts a colour number into the screen colour of the drawing palette.
#pragma once

#include <array>
#include <cstdint>

#include <QColor>
#include <QDialog>
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace ardela {

// The palette table: 765 values, red, green and blue of colour n at (n - 1) * 3.
const std::array<std::uint8_t, 765>& PaletteTable();
// The screen colour of palette colour 1 to 255.
QColor PaletteColor(int color);
// The colour number a text names: "" 0, "red" to "white" 1 to 7, a number 2 to 255 itself,
// anything else 0.
std::int16_t ColorFromText(const QString& text);
// The text that shows a colour number: "" for 0, the name for 1 to 7, the digits otherwise.
QString ColorText(std::int16_t color);

// One picture box of the picker: a swatch, the preview, or (index 16) the palette grid.
class ColorPicture : public QWidget {
    Q_OBJECT
public:
    ColorPicture(int index, QWidget* parent);
    int Index() const { return m_index; }
    void SetFill(const QColor& fill);
    QColor Fill() const { return m_fill; }

signals:
    void Clicked(int index, QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_index;
    QColor m_fill;
};

class frmColor : public QDialog {
    Q_OBJECT
public:
    explicit frmColor(QWidget* parent = nullptr);

    // The colour number: set it before showing, read it after the window has closed.
    std::int16_t Color() const { return m_color; }
    void SetColor(std::int16_t color);
    // The screen colour of Color; colour 0 (no colour) gives the button-face colour, the same
    // colour the preview shows for a text that names no colour.
    QColor RGBColor() const;

    // The colour of a click at (x, y) in the palette grid, 0 between swatches.
    static int GridColorAt(int x, int y);
    // The top-left corner of the swatch that shows a palette colour 10 to 249.
    static QPoint GridSwatchOrigin(int color);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The controls, each under its object name: "picColor0" to "picColor16" (the swatches, the
    // preview 15 and the palette grid 16), "cmdColor0" to "cmdColor4" (OK, Cancel, Help, ByLayer,
    // ByBlock) and "txtColor".
    std::array<ColorPicture*, 17> picColor{};
    std::array<QPushButton*, 5> cmdColor{};
    QLineEdit* txtColor = nullptr;

    void picColor_Click(int index, QPoint position);
    void txtColor_Change(const QString& text);
    void cmdColor_Click(int index);

    std::int16_t m_color = 0;
};

} // namespace ardela
