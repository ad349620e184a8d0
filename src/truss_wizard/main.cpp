// korrin: the plane truss wizard.
#include <QApplication>
#include <QScreen>

#include "desktop/Comdlg.h"
#include "desktop/frmMessage.h"
#include "desktop/modResource.h"
#include "truss_wizard/frmTruss.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Ardela"));
    QApplication::setApplicationName(QStringLiteral("Korrin"));
    ardela::SelectStringTable(ardela::StringTable::Korrin);
    ardela::InstallFileDialogs();
    auto* wizard = new ardela::frmTruss;
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    ardela::InstallMessageDialog(wizard);
    // The wizard opens in the middle of the screen, beside or over the drawing host.
    wizard->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        wizard->move(area.center() - QPoint(wizard->width() / 2, wizard->height() / 2));
    }
    wizard->show();
    return app.exec();
}
