// Installer packages: an SQLite database with a Property table (product identity) and a File
// table (the payload: relative path, permission mode, contents); reading and writing them.
#pragma once

#include <functional>
#include <stdexcept>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace ardela::installer {

// The upgrade code every release of the suite carries; releases sharing it replace each other.
inline const QString kSuiteUpgradeCode = QStringLiteral("{C4D7D203-D522-4426-B525-A0CB8338FEB5}");

// The properties every package must carry.
inline const QStringList kRequiredProperties = {
    QStringLiteral("ProductCode"), QStringLiteral("UpgradeCode"), QStringLiteral("ProductName"),
    QStringLiteral("ProductVersion"), QStringLiteral("Manufacturer")};

// The table holding the SHA-256 of every payload file (File, Sha256 as lower-case hex), written
// with the package; a payload whose contents no longer match is refused.
inline constexpr const char* kFileHashTable = "MsiFileHash";

// The SHA-256 of a payload's contents as lower-case hex.
QString PayloadHash(const QByteArray& data);

// One payload file as the package holds it.
struct PackageFile {
    QString path;      // relative to the install folder, '/'-separated, no "." or ".." parts
    int mode = 0644;   // Unix permission bits
    QByteArray data;
};

// A package read into memory.
struct PackageContents {
    QMap<QString, QString> properties;
    QList<PackageFile> files;
};

// Thrown for a package that cannot be read or written; names the file and what is wrong.
// `unreadable` is set when the file is missing or not a database at all (rather than a
// database that is not a valid package).
class PackageError : public std::runtime_error {
public:
    explicit PackageError(const QString& what, bool unreadable = false)
        : std::runtime_error(what.toStdString()), m_unreadable(unreadable) {}
    QString Text() const { return QString::fromStdString(what()); }
    bool Unreadable() const { return m_unreadable; }

private:
    bool m_unreadable;
};

// A fresh product code in the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
QString NewProductCode();
// True for a code in that form.
bool IsProductCode(const QString& code);
// True for a relative payload path that stays inside the install folder.
bool IsSafePayloadPath(const QString& path);

// The payload's paths and modes (contents left out), checked like ReadPackage checks them.
struct PayloadEntry {
    QString path;
    int mode = 0644;
};
QList<PayloadEntry> ReadPayloadIndex(const QString& packagePath);
// Calls `visit` with each payload file in path order, one file's contents in memory at a time.
// Throws PackageError when the package cannot be read, carries an unsafe path, or a payload's
// contents differ from its hash (naming that file) before `visit` sees it.
void ForEachPayloadFile(const QString& packagePath, const std::function<void(const PackageFile&)>& visit);

// Checks the whole package before anything is changed: the database's own integrity, the
// properties, every payload path and mode, and every payload's contents read to the end.
// Throws PackageError naming what is wrong; returns the number of payload files.
int CheckPackage(const QString& packagePath);

// Reads the whole package; throws PackageError when the file is missing, is not a package,
// lacks a required property or carries an unsafe payload path.
PackageContents ReadPackage(const QString& packagePath);
// Reads only the Property table (cheap: no payload), with the same checks on the properties.
QMap<QString, QString> ReadPackageProperties(const QString& packagePath);

// Writes `contents` as a package at `packagePath`, replacing an existing file only once the new
// one is complete. Throws PackageError on failure (the old file is then left as it was).
void WritePackage(const QString& packagePath, const PackageContents& contents);

// Collects every regular file under `stageDir` (recursively, symbolic links followed) as payload.
QList<PackageFile> CollectPayload(const QString& stageDir);

} // namespace ardela::installer
