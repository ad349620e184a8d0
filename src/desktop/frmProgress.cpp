// The progress window and its animation.
#include "desktop/frmProgress.h"

#include <cmath>

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "desktop/CentreWindow.h"

namespace ardela {

namespace {

constexpr int kFrames = 48;
constexpr int kFrameInterval = 40;

} // namespace

ProgressAnimation::ProgressAnimation(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("aniProgress"));
    setFixedSize(280, 90);
    m_timer.setInterval(kFrameInterval);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % kFrames;
        update();
    });
}

void ProgressAnimation::Play()
{
    m_timer.start();
}

void ProgressAnimation::Stop()
{
    m_timer.stop();
    m_frame = 0;
    update();
}

void ProgressAnimation::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().color(QPalette::Base));

    // The load travels from the left support to the right one and back; the beam's deflection
    // follows it (a simply supported beam under a point load at a: deflection shape y(x)).
    const double phase = double(m_frame) / kFrames;
    const double a = 0.5 - 0.4 * std::cos(2 * M_PI * phase);
    const double left = 30, right = width() - 30, span = right - left, axis = 50;
    const double sag = 14 * std::sin(M_PI * a);
    auto deflection = [&](double x) {
        // Normalised to 1 under the load.
        const double b = 1 - a;
        if (x <= a)
            return a * b > 0 ? (x * (1 - b * b - x * x)) / (a * (1 - b * b - a * a)) : 0.0;
        const double xr = 1 - x;
        return a * b > 0 ? (xr * (1 - a * a - xr * xr)) / (b * (1 - a * a - b * b)) : 0.0;
    };
    QPainterPath beam;
    for (int i = 0; i <= 60; ++i) {
        const double x = i / 60.0;
        const QPointF point(left + x * span, axis + sag * deflection(x));
        i == 0 ? beam.moveTo(point) : beam.lineTo(point);
    }
    p.setPen(QPen(QColor(40, 90, 170), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(beam);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    for (double x : {left, right}) {
        const QPointF tri[3] = {QPointF(x, axis + 2), QPointF(x - 9, axis + 18), QPointF(x + 9, axis + 18)};
        p.drawPolygon(tri, 3);
    }
    const QPointF at(left + a * span, axis + sag - 4);
    p.setPen(QPen(QColor(200, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(at - QPointF(0, 30), at);
    p.setBrush(QColor(200, 40, 40));
    p.setPen(Qt::NoPen);
    const QPointF head[3] = {at, at + QPointF(-6, -10), at + QPointF(6, -10)};
    p.drawPolygon(head, 3);
}

frmProgress::frmProgress(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("Please wait"));
    aniProgress = new ProgressAnimation(this);
    lblProgress = new QLabel(QStringLiteral("Please wait. Connecting to  AutoCAD application..."), this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setWordWrap(true);
    lblProgress->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(aniProgress, 0, Qt::AlignHCenter);
    layout->addWidget(lblProgress);
    setFixedWidth(340);
}

void frmProgress::Text(const QString& text)
{
    lblProgress->setText(text);
}

QString frmProgress::Text() const
{
    return lblProgress->text();
}

void frmProgress::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        CentreOnOwner(this, parentWidget());
    }
    aniProgress->Stop();
    aniProgress->setEnabled(true);
    aniProgress->Play();
    QDialog::showEvent(event);
}

void frmProgress::hideEvent(QHideEvent* event)
{
    aniProgress->Stop();
    QDialog::hideEvent(event);
}

} // namespace ardela
