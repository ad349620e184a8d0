// Starting the automation server from cadhost's command line.
#include "AutomationStart.h"

#include "AutomationServer.h"
#include "CadWire.h"

namespace cadhost {

bool StartAutomation(AutomationServer& server, const QStringList& arguments)
{
    const auto valueOf = [&](const QString& option) {
        const qsizetype at = arguments.indexOf(option);
        return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
    };
    server.EnableTestingAids(arguments.contains(QStringLiteral("--testing-aids")));
    bool ok = true;
    const QString link = valueOf(QStringLiteral("--link"));
    if (!link.isEmpty())
        ok = server.Listen(link, false);
    if (!arguments.contains(QStringLiteral("--second-instance"))) {
        QString running = valueOf(QStringLiteral("--running-name"));
        if (running.isEmpty())
            running = ardela::cad::WellKnownSocketPath();
        server.Listen(running, true);
    }
    return ok;
}

} // namespace cadhost
