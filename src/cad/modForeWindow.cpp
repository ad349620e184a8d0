// Moving the foreground to a window of this program or of the drawing host.
#include "cad/modForeWindow.h"

#include <QApplication>
#include <QWidget>

#include "cad/CadError.h"
#include "cad/modHelpers.h"

namespace ardela::cad {

void BringToFront(std::uint64_t hwnd, Connection& connection)
{
    if (hwnd == 0)
        return;
    if (QWidget* widget = QWidget::find(static_cast<WId>(hwnd))) {
        QWidget* window = widget->window();
        if (QApplication::activeWindow() == window && !window->isMinimized())
            return;
        if (window->isMinimized())
            window->showNormal();
        else
            window->show();
        window->raise();
        window->activateWindow();
        return;
    }
    if (!IsLiveApplication(connection.AcadApp))
        return;
    try {
        connection.AcadApp->ActivateWindow(hwnd);
    } catch (const CadError&) {
    }
}

void BringToFront(std::uint64_t hwnd)
{
    BringToFront(hwnd, CadConnection());
}

} // namespace ardela::cad
