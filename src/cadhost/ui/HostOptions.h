// The drawing host's command-line options.
#pragma once

#include <QString>
#include <QStringList>

namespace cadhost {

struct HostOptions {
    bool headless = false;        // --headless: no window is shown
    bool secondInstance = false;  // --second-instance: do not take the per-user well-known name
    QString socketName;           // --socket NAME: serve on this name instead of the well-known one
    QStringList files;            // drawings to open at start
    QString error;                // set when the arguments could not be understood
    bool help = false;            // --help
};

// Reads the arguments (the program name first, as QCoreApplication::arguments gives them).
HostOptions ParseHostOptions(const QStringList& arguments);
// The usage text shown for --help and after an argument error.
QString HostUsage();

} // namespace cadhost
