// The drawing host of the link tests: the real engine and automation server on the windowless
// front end. Takes the same command line as cadhost.
#include <QApplication>

#include "AutomationServer.h"
#include "AutomationStart.h"
#include "HeadlessFrontEnd.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    cadhost::HeadlessFrontEnd frontEnd;
    cadhost::AutomationServer server(frontEnd);
    if (!cadhost::StartAutomation(server, app.arguments()))
        return 2;
    return app.exec();
}
