// The About window and its flame.
#include "desktop/frmAbout.h"

#include <cmath>

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QUrl>
#include <QVBoxLayout>

namespace ardela {

namespace {

constexpr int kFlameWidth = 120;
constexpr int kFlameHeight = 150;
constexpr int kFlameInterval = 50;

const char* const kDevelopers[2] = {"korrin@ardela.example", "vendel@ardela.example"};

// Heat 0 to 255 as colour: the cooled air high in the picture (below about 80) stays dark, then
// deep red, orange, yellow and white at the fed line.
QList<QRgb> FlameColors()
{
    QList<QRgb> colors;
    for (int i = 0; i < 256; ++i) {
        const int r = std::clamp((i - 70) * 3, 0, 255);
        const int g = std::clamp((i - 130) * 3, 0, 255);
        const int b = std::clamp((i - 200) * 4, 0, 255);
        colors << qRgb(r, g, b);
    }
    return colors;
}

std::uint8_t RoundByte(double value)
{
    return static_cast<std::uint8_t>(std::lround(value));
}

} // namespace

MailLabel::MailLabel(const QString& address, QWidget* parent)
    : QLabel(address, parent), m_address(address)
{
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setForegroundRole(QPalette::Link);
}

void MailLabel::mouseMoveEvent(QMouseEvent* event)
{
    setToolTip(QStringLiteral("MailTo: ") + m_address);
    QLabel::mouseMoveEvent(event);
}

void MailLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        QDesktopServices::openUrl(QUrl(QStringLiteral("MailTo:") + m_address));
    QLabel::mouseReleaseEvent(event);
}

FlamePicture::FlamePicture(QWidget* parent)
    : QWidget(parent), m_picture(kFlameWidth, kFlameHeight, QImage::Format_Indexed8)
{
    setObjectName(QStringLiteral("picAbout"));
    m_picture.setColorTable(FlameColors());
    m_picture.fill(0);
    setFixedSize(kFlameWidth, kFlameHeight);
}

void FlamePicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // Line 0 is the bottom line of the picture.
    p.drawImage(rect(), m_picture.mirrored(false, true));
}

frmAbout::frmAbout(const ProgramInfo& program, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + program.title);
    for (int i = 0; i <= 256; ++i) {
        m_a[i] = RoundByte(i / 3.1);
        m_b[i] = RoundByte(i / 3.01 + 1);
        m_c[i] = RoundByte(i / 3.1);
    }

    picAbout = new FlamePicture(this);
    lblTitle = new QLabel(program.title, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = new QLabel(QStringLiteral("Version %1.%2.%3").arg(program.major).arg(program.minor).arg(program.revision), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    auto* company = new QLabel(program.company, this);
    for (int i = 0; i < 2; ++i) {
        lblMailTo[i] = new MailLabel(QLatin1String(kDevelopers[i]), this);
        lblMailTo[i]->setObjectName(QStringLiteral("lblMailTo%1").arg(i));
    }
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addWidget(company);
    text->addSpacing(12);
    text->addWidget(new QLabel(QStringLiteral("Developers:"), this));
    for (MailLabel* label : lblMailTo)
        text->addWidget(label);
    text->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    text->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(picAbout);
    layout->addLayout(text, 1);
    setFixedSize(sizeHint());

    Timer1.setInterval(kFlameInterval);
    connect(&Timer1, &QTimer::timeout, this, &frmAbout::Timer1_Timer);
}

void frmAbout::DoFlame()
{
    QImage& picture = picAbout->Picture();
    if (picture.format() != QImage::Format_Indexed8)
        return;
    uchar* feed = picture.scanLine(0);
    for (int j = 0; j < picture.width(); ++j)
        feed[j] = static_cast<uchar>(QRandomGenerator::global()->bounded(200) + 55);
    RiseFlame();
}

void frmAbout::RiseFlame()
{
    QImage& picture = picAbout->Picture();
    if (picture.format() != QImage::Format_Indexed8)
        return;
    const int last = picture.width() - 1;
    for (int k = 1; k < picture.height(); ++k) {
        uchar* line = picture.scanLine(k);
        const uchar* below = picture.constScanLine(k - 1);
        for (int j = 1; j < last; ++j)
            line[j] = static_cast<uchar>(m_a[below[j]] + m_b[below[j - 1]] + m_c[below[j + 1]]);
    }
}

void frmAbout::Timer1_Timer()
{
    if (!isVisible())
        return;
    DoFlame();
    picAbout->update();
}

void frmAbout::showEvent(QShowEvent* event)
{
    Timer1.start();
    QDialog::showEvent(event);
}

void frmAbout::hideEvent(QHideEvent* event)
{
    Timer1.stop();
    QDialog::hideEvent(event);
}

} // namespace ardela
