// The program's company, title and version as the splash and About windows show them.
#pragma once

#include <QString>

namespace ardela {

struct ProgramInfo {
    QString company;
    QString title;
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// The running program's: organisation name, display name and version of the application object.
ProgramInfo CurrentProgram();

} // namespace ardela
