// Starting a drawing host of the program's own and waiting until it answers on its socket.
#pragma once

#include <QString>
#include <QStringList>

#include "cad/AcadObjects.h"

class QProcess;

namespace ardela::cad {

struct HostLaunch {
    QString program;     // the cadhost executable; empty means the one beside this program
    QString socketPath;  // where the host listens; empty: a second instance on a private name
    QStringList arguments;  // besides --socket
    bool headless = false;  // no window, for the batch tool
    int timeoutMs = 30000;  // how long the host may take to answer
    int callTimeoutMs = 0;  // how long each call may wait (0: no limit; see CadLink::SetCallTimeout)
};

// The cadhost beside this program.
QString DefaultHostProgram();

// Starts the host and returns the application once the host that was started (not another
// one that took the name meanwhile) answers; nullptr when it cannot start, ends, or does not
// answer in time (a host still starting then is stopped). With `child` the host runs as that
// process and ends with this program; without, it is detached and outlives it.
AcadApplicationPtr StartHost(const HostLaunch& launch, QProcess* child = nullptr);

} // namespace ardela::cad
