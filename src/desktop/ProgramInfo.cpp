// The running program's version information.
#include "desktop/ProgramInfo.h"

#include <QGuiApplication>
#include <QVersionNumber>

namespace ardela {

ProgramInfo CurrentProgram()
{
    ProgramInfo info;
    info.company = QCoreApplication::organizationName();
    info.title = QGuiApplication::applicationDisplayName();
    const QVersionNumber version = QVersionNumber::fromString(QCoreApplication::applicationVersion());
    info.major = version.majorVersion();
    info.minor = version.minorVersion();
    info.revision = version.microVersion();
    return info;
}

} // namespace ardela
