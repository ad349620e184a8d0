// Starting the automation server from cadhost's command line.
#pragma once

#include <QStringList>

namespace cadhost {

class AutomationServer;

// Listens as the command line asks:
//   --socket NAME        answer on NAME (a private name given by the program that starts the
//                        host, or the running name in its place)
//   --second-instance    never take a name a live host answers on, nor the per-user running name
// Without either the per-user running name is taken unless a live host answers on it.
// The SimulateInput testing aid is accepted only when ARDELA_CADHOST_TESTING_AIDS is "1".
// False when the host cannot answer on the NAME it was given; `why` then says why.
bool StartAutomation(AutomationServer& server, const QStringList& arguments, QString* why = nullptr);

} // namespace cadhost
