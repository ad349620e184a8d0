// Starting the automation server from cadhost's command line.
#pragma once

#include <QStringList>

namespace cadhost {

class AutomationServer;

// Listens as the command line asks:
//   --link <path>        also answer on this private name (the program that started the host)
//   --second-instance    leave the per-user running name to the host that holds it
//   --running-name <p>   the running name to take instead of the per-user one
//   --testing-aids       accept the SimulateInput member (for automated tests only)
// Without --second-instance the running name is taken unless a live host answers on it.
// False when the host cannot answer where it was asked to (no --link socket).
bool StartAutomation(AutomationServer& server, const QStringList& arguments);

} // namespace cadhost
