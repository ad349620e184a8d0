// Starting the automation server from cadhost's command line.
#include "cadhost/server/AutomationStart.h"

#include "cadhost/server/AutomationServer.h"
#include "cadlink/Wire.h"

namespace cadhost {

bool StartAutomation(AutomationServer& server, const QStringList& arguments, QString* why)
{
    server.EnableTestingAids(qEnvironmentVariable("ARDELA_CADHOST_TESTING_AIDS") == QLatin1String("1"));
    const qsizetype at = arguments.indexOf(QStringLiteral("--socket"));
    const QString socketName = at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
    const bool secondInstance = arguments.contains(QStringLiteral("--second-instance"));
    if (!socketName.isEmpty())
        return server.Listen(socketName, why);
    if (secondInstance)
        return true;
    // The per-user running name, unless a live host answers on it already.
    server.Listen(ardela::cad::WellKnownSocketPath());
    return true;
}

} // namespace cadhost
