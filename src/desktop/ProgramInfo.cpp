// The running program's version information.
#include "desktop/ProgramInfo.h"

#include <QGuiApplication>
#include <QVersionNumber>

#include "desktop/SuiteVersion.h"

namespace ardela {

ProgramInfo CurrentProgram()
{
    ProgramInfo info;
    info.company = QCoreApplication::organizationName();
    info.title = QGuiApplication::applicationDisplayName();
    // A program that set no version of its own shows the suite's.
    const QString text = QCoreApplication::applicationVersion();
    const QVersionNumber version = QVersionNumber::fromString(text.isEmpty() ? SuiteVersion() : text);
    info.major = version.majorVersion();
    info.minor = version.minorVersion();
    info.revision = version.microVersion();
    return info;
}

} // namespace ardela
