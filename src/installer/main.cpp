// Setup: removes every installed earlier release of the suite and installs "Ardela.msi" from
// the current folder.
#include <QApplication>

#include "installer/frmSetup.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The dialog hides while the installer's windows show; only Close ends the program.
    app.setQuitOnLastWindowClosed(false);
    ardela::installer::frmSetup dialog;
    QObject::connect(&dialog, &ardela::installer::frmSetup::Closed, &app, [] { QCoreApplication::exit(0); });
    dialog.show();
    return app.exec();
}
