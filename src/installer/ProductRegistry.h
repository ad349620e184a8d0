// The per-user database of installed products: what each release installed and where, so that
// it can be found by upgrade code and removed exactly.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>

#include <QSet>
#include <QString>
#include <QStringList>

namespace ardela::installer {

class SqlConnection;

// The folders the installer uses, all per user (XDG data home unless overridden).
QString InstallerDataDir();          // the installer's own state
QString ProductsDatabasePath();      // the installed-products database
QString PackageCacheDir();           // the cached packages ("LocalPackage")
QString DefaultInstallFolder();      // where the suite goes; ARDELA_INSTALL_DIR overrides it
QString DesktopEntriesDir();         // freedesktop application entries

// One installed release as recorded.
struct InstalledProduct {
    QString productCode;
    QString upgradeCode;
    QString productName;
    QString productVersion;
    QString installFolder;
    QString localPackage;
    QStringList files;    // absolute paths the installation wrote
    QStringList folders;  // absolute folders it created, removed again when left empty
};

// Thrown when the database cannot be read or written; names the file and the cause.
class RegistryError : public std::runtime_error {
public:
    explicit RegistryError(const QString& what) : std::runtime_error(what.toStdString()) {}
    QString Text() const { return QString::fromStdString(what()); }
};

class ProductRegistry {
public:
    // Opens the database; with `create` a missing one is made (for recording), otherwise a
    // missing database reads as empty. Throws RegistryError for a damaged one.
    explicit ProductRegistry(bool create);
    ~ProductRegistry();

    // The product codes sharing `upgradeCode`, in the order they were installed.
    QStringList RelatedProducts(const QString& upgradeCode);
    std::optional<InstalledProduct> Find(const QString& productCode);
    // Paths and folders recorded by any product other than `productCode`.
    QSet<QString> PathsOfOtherProducts(const QString& productCode);

    // Records `product` (replacing an earlier record of the same code) in one transaction.
    void Record(const InstalledProduct& product);
    // Deletes the record of `productCode` in one transaction.
    void Forget(const QString& productCode);

private:
    std::unique_ptr<SqlConnection> m_db;
};

} // namespace ardela::installer
