// The suite's one version number, set by the build: every program, window and package shows it.
#pragma once

#include <QString>

namespace ardela {

// "major.minor.revision" of the suite.
QString SuiteVersion();

// Makes the suite's version the application's (QCoreApplication::applicationVersion), as every
// program does at start.
void UseSuiteVersion();

} // namespace ardela
