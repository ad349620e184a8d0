// Centring a window on its owner or its screen.
#include "desktop/CentreWindow.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ardela {

void CentreOnOwner(QWidget* window, const QWidget* owner)
{
    const QScreen* screen = owner && owner->isVisible() ? owner->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const QRect around = owner && owner->isVisible() ? owner->frameGeometry() : area;
    const QSize size = window->frameGeometry().size();
    QPoint at(around.x() + (around.width() - size.width()) / 2, around.y() + (around.height() - size.height()) / 2);
    if (area.isValid()) {
        at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - size.width())));
        at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - size.height())));
    }
    window->move(at);
}

} // namespace ardela
