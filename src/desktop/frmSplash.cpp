// The splash window: a drawn background with a truss, and the labels with their shadows.
#include "desktop/frmSplash.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

#include "desktop/CentreWindow.h"

namespace ardela {

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 280;

// A label and its shadow, the shadow two pixels down and right, behind it.
std::pair<QLabel*, QLabel*> ShadowedLabel(QWidget* parent, const QString& text, int pointSize, QPoint at,
                                          const char* name)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(pointSize);
    font.setBold(true);
    auto* shadow = new QLabel(text, parent);
    shadow->setObjectName(QLatin1String(name) + QStringLiteral("Shadow"));
    shadow->setFont(font);
    shadow->setStyleSheet(QStringLiteral("color: rgba(0, 0, 0, 150);"));
    shadow->move(at + QPoint(2, 2));
    shadow->adjustSize();
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: white;"));
    label->move(at);
    label->adjustSize();
    return {label, shadow};
}

} // namespace

frmSplash::frmSplash(const ProgramInfo& program, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(kWidth, kHeight);
    std::tie(lblCompany, lblCompanyShadow) = ShadowedLabel(this, program.company, 12, QPoint(24, 20), "lblCompany");
    std::tie(lblTitle, lblTitleShadow) = ShadowedLabel(this, program.title, 34, QPoint(24, 52), "lblTitle");
    lblVersion = new QLabel(QStringLiteral("Version %1.%2").arg(program.major).arg(program.minor), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setStyleSheet(QStringLiteral("color: white;"));
    lblVersion->move(28, 118);
    lblVersion->adjustSize();
}

void frmSplash::UnloadAfter(const QElapsedTimer& shownAt, int minimumMs)
{
    const qint64 remaining = shownAt.isValid() ? minimumMs - shownAt.elapsed() : 0;
    QTimer::singleShot(std::max<qint64>(0, remaining), this, [this] {
        close();
        deleteLater();
    });
}

void frmSplash::showEvent(QShowEvent* event)
{
    // Shown before its wizard exists: centred on the screen, or on an owner when it has one.
    if (!m_placed) {
        m_placed = true;
        CentreOnOwner(this, parentWidget());
    }
    QWidget::showEvent(event);
}

void frmSplash::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(18, 52, 110));
    sky.setColorAt(1, QColor(70, 130, 190));
    p.fillRect(rect(), sky);

    // A Warren truss on two supports along the bottom of the window.
    const double left = 40, right = width() - 40, bottom = height() - 50, top = height() - 110;
    const int panels = 8;
    const double step = (right - left) / panels;
    p.setPen(QPen(QColor(235, 240, 250), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(left, bottom), QPointF(right, bottom));
    p.drawLine(QPointF(left + step / 2, top), QPointF(right - step / 2, top));
    for (int i = 0; i < panels; ++i) {
        const QPointF a(left + i * step, bottom), apex(left + (i + 0.5) * step, top), b(left + (i + 1) * step, bottom);
        p.drawLine(a, apex);
        p.drawLine(apex, b);
    }
    p.setBrush(QColor(235, 240, 250));
    p.setPen(Qt::NoPen);
    for (double x : {left, right}) {
        const QPointF tri[3] = {QPointF(x, bottom), QPointF(x - 10, bottom + 16), QPointF(x + 10, bottom + 16)};
        p.drawPolygon(tri, 3);
    }
    for (int i = 0; i <= panels; ++i)
        p.drawEllipse(QPointF(left + i * step, bottom), 4, 4);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace ardela
