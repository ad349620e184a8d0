// The installer layer Setup drives: package databases opened through handles, views on SQL
// queries, records, the related-product enumeration, product information, installing or
// removing from a package, and the installer's user-interface level. Every role returns
// kSuccess (0) or a result code from InstallEngine.h.
#pragma once

#include <cstdint>

#include <QString>

#include "installer/InstallEngine.h"

class QWidget;

namespace ardela::installer {

using InstallerHandle = std::uint32_t;

// How a package database is opened.
enum class DatabaseMode { ReadOnly };

// The installer's user-interface levels.
enum class InstallUiLevel { NoChange = 0, Default = 1, None = 2, Basic = 3, Reduced = 4, Full = 5 };

// Opens the package at `path`; `*database` receives the handle.
unsigned OpenDatabase(const QString& path, DatabaseMode mode, InstallerHandle* database);
// Prepares `query` on an open database; `*view` receives the handle.
unsigned DatabaseOpenView(InstallerHandle database, const QString& query, InstallerHandle* view);
// Runs the view's query (no parameter record is supported: pass 0).
unsigned ViewExecute(InstallerHandle view, InstallerHandle parameters);
// Fetches the next row as a record; kErrorNoMoreItems after the last one.
unsigned ViewFetch(InstallerHandle view, InstallerHandle* record);
// Field `field` (1-based) of a record as text. `*length` is the buffer size in characters on
// entry (room for the text and its terminator); on return the text's length. When the buffer
// is too small the result is kErrorMoreData, `*value` holds what fits and `*length` the full length.
unsigned RecordGetString(InstallerHandle record, unsigned field, QString* value, unsigned* length);
// Ends the view's query; the handle stays valid until closed.
unsigned ViewClose(InstallerHandle view);
// Releases a database, view or record handle.
unsigned CloseHandle(InstallerHandle handle);
// The number of handles currently open (for checking that callers close what they open).
int OpenHandleCount();

// Checks the whole package at `path` (integrity, properties, every payload path and contents)
// without changing anything: kSuccess, kErrorPackageOpenFailed for a file that is not a
// database at all, kErrorPackageInvalid for anything else wrong.
unsigned VerifyPackage(const QString& path);
// The product code of the installed product at `index` among those sharing `upgradeCode`
// (installation order); kErrorNoMoreItems past the last. `reserved` must be 0.
unsigned EnumRelatedProducts(const QString& upgradeCode, unsigned reserved, unsigned index, QString* productCode);
// A property of an installed product ("LocalPackage", "InstallLocation", "ProductName",
// "VersionString", "UpgradeCode"), with the buffer rules of RecordGetString.
unsigned GetProductInfo(const QString& productCode, const QString& property, QString* value, unsigned* length);
// Installs the package, or removes its release with "REMOVE=ALL", under the current level.
unsigned InstallProduct(const QString& packagePath, const QString& commandLine);
// Sets the level (and, when `owner` is given, the owner of the installer's windows: *owner in,
// the previous owner out). Returns the previous level.
InstallUiLevel SetInternalUI(InstallUiLevel level, QWidget** owner);
// Lets an observer follow every action and error of InstallProduct (empty to stop).
void SetInstallerObserver(InstallerObserver observer);

} // namespace ardela::installer
