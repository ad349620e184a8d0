// The suite's version, compiled in from the build's project version.
#include "desktop/SuiteVersion.h"

#include <QCoreApplication>

namespace ardela {

QString SuiteVersion()
{
    return QStringLiteral(ARDELA_SUITE_VERSION);
}

void UseSuiteVersion()
{
    QCoreApplication::setApplicationVersion(SuiteVersion());
}

} // namespace ardela
