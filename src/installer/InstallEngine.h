// Installing a package into the per-user install folder and removing an installed release,
// each all-or-nothing: a failure or a cancel puts every touched file back as it was.
#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace ardela::installer {

// Results of the installer's roles.
enum InstallerResult : unsigned {
    kSuccess = 0,
    kErrorInvalidHandle = 6,
    kErrorInvalidParameter = 87,
    kErrorOpenFailed = 110,
    kErrorMoreData = 234,
    kErrorNoMoreItems = 259,
    kErrorInstallUserExit = 1602,
    kErrorInstallFailure = 1603,
    kErrorUnknownProduct = 1605,
    kErrorUnknownProperty = 1608,
    kErrorBadQuerySyntax = 1615,
    kErrorPackageOpenFailed = 1619,
    kErrorPackageInvalid = 1620,
    kErrorFunctionFailed = 1627,
};

// What the installer tells an observer while it works.
enum class InstallerEvent { ActionStart, Error, ActionEnd };
using InstallerObserver = std::function<void(InstallerEvent event, const QString& text)>;

// How an installation or removal talks to the user.
struct InstallerUi {
    bool showWindows = true;          // progress and error windows
    QWidget* owner = nullptr;         // their owner window
    InstallerObserver observer;       // told about every action and error (may be empty)
};

// Installs the package at `packagePath`, or with "REMOVE=ALL" on the command line removes the
// release that package installed. Returns kSuccess or the failure's code.
unsigned RunPackage(const QString& packagePath, const QString& commandLine, const InstallerUi& ui);

// Splits "NAME=VALUE NAME2=\"VALUE 2\"" into upper-cased names and values; false when malformed.
bool ParseCommandLine(const QString& commandLine, QList<QPair<QString, QString>>* properties);

// The desktop entry text that starts `program` (an absolute path) under `name`.
QString DesktopEntryText(const QString& name, const QString& comment, const QString& program);

} // namespace ardela::installer
