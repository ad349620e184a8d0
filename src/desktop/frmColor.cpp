// The colour picker window and the drawing palette.
#include "desktop/frmColor.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/modLocale.h"

namespace ardela {

namespace {

constexpr int kGridColumns = 24;
constexpr int kSwatchWidth = 12;
constexpr int kSwatchHeight = 10;
constexpr int kSwatchSize = 18;

const std::array<const char*, 7> kColorNames{"red", "yellow", "green", "cyan", "blue", "magenta", "white"};

// Colours 10 to 249: hue step h (15 degrees each), variant j. The pure colour of the hue has one
// component 1, one 0 and one ramping in quarters; an even variant scales it by the level V, an
// odd one scales its half-way blend with white, both rounded down.
std::array<std::uint8_t, 765> BuildPalette()
{
    std::array<std::uint8_t, 765> table{};
    auto put = [&](int n, int r, int g, int b) {
        table[(n - 1) * 3] = static_cast<std::uint8_t>(r);
        table[(n - 1) * 3 + 1] = static_cast<std::uint8_t>(g);
        table[(n - 1) * 3 + 2] = static_cast<std::uint8_t>(b);
    };
    const int standard[9][3] = {{255, 0, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}, {0, 0, 255},
                                {255, 0, 255}, {255, 255, 255}, {128, 128, 128}, {192, 192, 192}};
    for (int n = 1; n <= 9; ++n)
        put(n, standard[n - 1][0], standard[n - 1][1], standard[n - 1][2]);

    const int levels[5] = {255, 204, 153, 127, 76};
    for (int h = 0; h < 24; ++h) {
        const int sector = h / 4;
        const double ramp = (h % 4) / 4.0;
        double c[3] = {0, 0, 0};
        switch (sector) {
        case 0: c[0] = 1; c[1] = ramp; break;
        case 1: c[0] = 1 - ramp; c[1] = 1; break;
        case 2: c[1] = 1; c[2] = ramp; break;
        case 3: c[1] = 1 - ramp; c[2] = 1; break;
        case 4: c[0] = ramp; c[2] = 1; break;
        default: c[0] = 1; c[2] = 1 - ramp; break;
        }
        for (int j = 0; j < 10; ++j) {
            const double v = levels[j / 2];
            int rgb[3];
            for (int i = 0; i < 3; ++i)
                rgb[i] = static_cast<int>(std::floor(j % 2 == 0 ? v * c[i] : v * (1 + c[i]) / 2));
            put(10 + 10 * h + j, rgb[0], rgb[1], rgb[2]);
        }
    }
    const int greys[6] = {51, 91, 132, 173, 214, 255};
    for (int i = 0; i < 6; ++i)
        put(250 + i, greys[i], greys[i], greys[i]);
    return table;
}

// A typed number as a colour number: rounded half to even like the 16-bit conversion, kept in
// the palette.
int RoundColor(double value)
{
    return std::min(255, static_cast<int>(std::nearbyint(value)));
}

QColor ButtonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

// The preview colour of a typed text.
QColor PreviewColor(const QString& text)
{
    if (text.isEmpty())
        return ButtonFace();
    for (std::size_t i = 0; i < kColorNames.size(); ++i)
        if (text == QLatin1String(kColorNames[i]))
            return PaletteColor(int(i) + 1);
    if (IsNumber(text)) {
        const double value = QLocale().toDouble(text);
        if (value > 1 && value < 256)
            return PaletteColor(RoundColor(value));
    }
    return ButtonFace();
}

} // namespace

const std::array<std::uint8_t, 765>& PaletteTable()
{
    static const std::array<std::uint8_t, 765> table = BuildPalette();
    return table;
}

QColor PaletteColor(int color)
{
    Q_ASSERT(color >= 1 && color <= 255);
    const auto& table = PaletteTable();
    const int at = (color - 1) * 3;
    return QColor(table[at], table[at + 1], table[at + 2]);
}

std::int16_t ColorFromText(const QString& text)
{
    if (text.isEmpty())
        return 0;
    for (std::size_t i = 0; i < kColorNames.size(); ++i)
        if (text == QLatin1String(kColorNames[i]))
            return static_cast<std::int16_t>(i + 1);
    if (IsNumber(text)) {
        const double value = QLocale().toDouble(text);
        if (value > 1 && value < 256)
            return static_cast<std::int16_t>(RoundColor(value));
    }
    return 0;
}

QString ColorText(std::int16_t color)
{
    if (color == 0)
        return QString();
    if (color >= 1 && color <= 7)
        return QLatin1String(kColorNames[color - 1]);
    return QString::number(color);
}

ColorPicture::ColorPicture(int index, QWidget* parent)
    : QWidget(parent), m_index(index)
{
    setObjectName(QStringLiteral("picColor%1").arg(index));
    if (index == 16)
        setFixedSize(kGridColumns * 14, 54 + 12 * 5 + 12);
    else
        setFixedSize(kSwatchSize, kSwatchSize);
    m_fill = ButtonFace();
}

void ColorPicture::SetFill(const QColor& fill)
{
    m_fill = fill;
    update();
}

void ColorPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_index == 16) {
        // The palette grid: five rows of full-strength variants, a gap, five rows of pale ones.
        p.fillRect(rect(), palette().color(QPalette::Window));
        for (int color = 10; color <= 249; ++color) {
            const QPoint origin = frmColor::GridSwatchOrigin(color);
            p.fillRect(QRect(origin, QSize(kSwatchWidth, kSwatchHeight)), PaletteColor(color));
        }
        return;
    }
    // A swatch with a thin sunken border: dark on the top and left, light on the bottom and right.
    p.fillRect(rect(), m_fill);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

void ColorPicture::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit Clicked(m_index, event->position().toPoint());
}

QPoint frmColor::GridSwatchOrigin(int color)
{
    Q_ASSERT(color >= 10 && color <= 249);
    const int k = (color - 10) / 10 + 1;
    const int variant = (color - 10) % 10;
    const int x = 14 * (k - 1);
    // Even variants 8, 6, .., 0 fill rows 1 to 5 from the top; odd variants 1, 3, .., 9 rows 1 to 5
    // of the lower block.
    if (variant % 2 == 0) {
        const int i = (10 - variant) / 2;
        return QPoint(x, 12 * (i - 1));
    }
    const int j = (variant + 1) / 2;
    return QPoint(x, 54 + 12 * j);
}

int frmColor::GridColorAt(int x, int y)
{
    for (int k = 1; k <= kGridColumns; ++k) {
        const int left = 14 * (k - 1);
        if (!(left < x && x < left + 12))
            continue;
        for (int i = 1; i <= 5; ++i) {
            const int top = 12 * (i - 1);
            if (top < y && y < top + 11)
                return 20 - 2 * i + 10 * (k - 1);
        }
        for (int j = 1; j <= 5; ++j) {
            const int top = 54 + 12 * j;
            if (top < y && y < top + 11)
                return 9 + 2 * j + 10 * (k - 1);
        }
    }
    return 0;
}

frmColor::frmColor(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmColor"));
    setWindowTitle(QStringLiteral("Select Color"));
    for (int i = 0; i < 17; ++i) {
        picColor[i] = new ColorPicture(i, this);
        connect(picColor[i], &ColorPicture::Clicked, this, &frmColor::picColor_Click);
    }
    for (int i = 0; i < 9; ++i)
        picColor[i]->SetFill(PaletteColor(i + 1));
    for (int i = 9; i < 15; ++i)
        picColor[i]->SetFill(PaletteColor(250 + i - 9));

    const char* captions[5] = {"OK", "Cancel", "Help", "By&Layer", "&ByBlock"};
    for (int i = 0; i < 5; ++i) {
        cmdColor[i] = new QPushButton(QLatin1String(captions[i]), this);
        cmdColor[i]->setObjectName(QStringLiteral("cmdColor%1").arg(i));
        cmdColor[i]->setAutoDefault(false);
        connect(cmdColor[i], &QPushButton::clicked, this, [this, i] { cmdColor_Click(i); });
    }
    cmdColor[0]->setDefault(true);

    txtColor = new QLineEdit(this);
    txtColor->setObjectName(QStringLiteral("txtColor"));
    connect(txtColor, &QLineEdit::textChanged, this, &frmColor::txtColor_Change);

    auto* standard = new QGroupBox(QStringLiteral("Standard Colors"), this);
    auto* standardRow = new QHBoxLayout(standard);
    for (int i = 0; i < 9; ++i)
        standardRow->addWidget(picColor[i]);
    standardRow->addStretch();
    auto* greys = new QGroupBox(QStringLiteral("Gray Shades"), this);
    auto* greyRow = new QHBoxLayout(greys);
    for (int i = 9; i < 15; ++i)
        greyRow->addWidget(picColor[i]);
    greyRow->addStretch();
    auto* full = new QGroupBox(QStringLiteral("Full Color Palette"), this);
    auto* fullBox = new QVBoxLayout(full);
    fullBox->addWidget(picColor[16]);
    auto* logical = new QGroupBox(QStringLiteral("Logical Colors"), this);
    auto* logicalRow = new QHBoxLayout(logical);
    logicalRow->addWidget(cmdColor[4]);
    logicalRow->addWidget(cmdColor[3]);

    auto* label = new QLabel(QStringLiteral("&Color"), this);
    label->setBuddy(txtColor);
    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(label);
    colorRow->addWidget(txtColor, 1);
    colorRow->addWidget(picColor[15]);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdColor[0]);
    buttons->addWidget(cmdColor[1]);
    buttons->addWidget(cmdColor[2]);

    auto* top = new QHBoxLayout;
    top->addWidget(standard);
    top->addWidget(greys);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(full);
    layout->addWidget(logical);
    layout->addLayout(colorRow);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void frmColor::SetColor(std::int16_t color)
{
    m_color = color;
    txtColor->setText(ColorText(color));
    // The preview follows the text even when the text did not change.
    txtColor_Change(txtColor->text());
}

QColor frmColor::RGBColor() const
{
    if (m_color < 1 || m_color > 255)
        return ButtonFace();
    return PaletteColor(m_color);
}

void frmColor::showEvent(QShowEvent* event)
{
    txtColor->setText(ColorText(m_color));
    txtColor->selectAll();
    txtColor->setFocus();
    picColor[16]->update();
    QDialog::showEvent(event);
}

void frmColor::picColor_Click(int index, QPoint position)
{
    if (index <= 6)
        txtColor->setText(QLatin1String(kColorNames[index]));
    else if (index <= 8)
        txtColor->setText(QString::number(index + 1));
    else if (index <= 14)
        txtColor->setText(QString::number(250 + index - 9));
    else if (index == 16) {
        const int color = GridColorAt(position.x(), position.y());
        if (color != 0)
            txtColor->setText(QString::number(color));
    }
}

void frmColor::txtColor_Change(const QString& text)
{
    picColor[15]->SetFill(PreviewColor(text));
}

void frmColor::cmdColor_Click(int index)
{
    if (index == 0) {
        m_color = ColorFromText(txtColor->text());
        accept();
    } else if (index == 1) {
        reject();
    }
}

} // namespace ardela
