// The per-user database of installed products.
#include "installer/ProductRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include "installer/SqlConnection.h"

namespace ardela::installer {

namespace {

QString DataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

} // namespace

QString InstallerDataDir()
{
    return DataHome() + QStringLiteral("/Ardela/Installer");
}

QString ProductsDatabasePath()
{
    return InstallerDataDir() + QStringLiteral("/products.db");
}

QString PackageCacheDir()
{
    return InstallerDataDir() + QStringLiteral("/Cache");
}

QString DefaultInstallFolder()
{
    const QString overridden = qEnvironmentVariable("ARDELA_INSTALL_DIR");
    if (!overridden.isEmpty())
        return QDir::cleanPath(QDir(overridden).absolutePath());
    return DataHome() + QStringLiteral("/Ardela/Suite");
}

QString DesktopEntriesDir()
{
    return DataHome() + QStringLiteral("/applications");
}

ProductRegistry::ProductRegistry(bool create)
{
    const QString path = ProductsDatabasePath();
    if (!QFileInfo::exists(path)) {
        if (!create)
            return;
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            throw RegistryError(QStringLiteral("Cannot create the folder of \"%1\".").arg(path));
    }
    m_db = std::make_unique<SqlConnection>(path, SqlConnection::Mode::ReadWrite);
    if (!m_db->IsOpen())
        throw RegistryError(QStringLiteral("The installed-products database \"%1\" cannot be read: %2")
                                .arg(path, m_db->ErrorText()));
    QSqlQuery q(m_db->Db());
    const char* schema[] = {
        "CREATE TABLE IF NOT EXISTS Product (ProductCode TEXT PRIMARY KEY NOT NULL, "
        "UpgradeCode TEXT NOT NULL, ProductName TEXT NOT NULL, ProductVersion TEXT NOT NULL, "
        "InstallFolder TEXT NOT NULL, LocalPackage TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS InstalledFile (ProductCode TEXT NOT NULL, Path TEXT NOT NULL, "
        "IsFolder INTEGER NOT NULL)",
    };
    for (const char* sql : schema) {
        if (!q.exec(QLatin1String(sql)))
            throw RegistryError(QStringLiteral("The installed-products database \"%1\" cannot be used: %2")
                                    .arg(path, q.lastError().text()));
    }
}

ProductRegistry::~ProductRegistry() = default;

QStringList ProductRegistry::RelatedProducts(const QString& upgradeCode)
{
    QStringList codes;
    if (!m_db)
        return codes;
    QSqlQuery q(m_db->Db());
    q.prepare(QStringLiteral("SELECT ProductCode FROM Product WHERE UpgradeCode = ? ORDER BY rowid"));
    q.addBindValue(upgradeCode);
    if (!q.exec())
        throw RegistryError(q.lastError().text());
    while (q.next())
        codes.append(q.value(0).toString());
    return codes;
}

std::optional<InstalledProduct> ProductRegistry::Find(const QString& productCode)
{
    if (!m_db)
        return std::nullopt;
    QSqlQuery q(m_db->Db());
    q.prepare(QStringLiteral("SELECT UpgradeCode, ProductName, ProductVersion, InstallFolder, LocalPackage "
                             "FROM Product WHERE ProductCode = ?"));
    q.addBindValue(productCode);
    if (!q.exec())
        throw RegistryError(q.lastError().text());
    if (!q.next())
        return std::nullopt;
    InstalledProduct p;
    p.productCode = productCode;
    p.upgradeCode = q.value(0).toString();
    p.productName = q.value(1).toString();
    p.productVersion = q.value(2).toString();
    p.installFolder = q.value(3).toString();
    p.localPackage = q.value(4).toString();
    q.prepare(QStringLiteral("SELECT Path, IsFolder FROM InstalledFile WHERE ProductCode = ? ORDER BY rowid"));
    q.addBindValue(productCode);
    if (!q.exec())
        throw RegistryError(q.lastError().text());
    while (q.next())
        (q.value(1).toInt() ? p.folders : p.files).append(q.value(0).toString());
    return p;
}

QSet<QString> ProductRegistry::PathsOfOtherProducts(const QString& productCode)
{
    QSet<QString> paths;
    if (!m_db)
        return paths;
    QSqlQuery q(m_db->Db());
    q.prepare(QStringLiteral("SELECT Path FROM InstalledFile WHERE ProductCode <> ?"));
    q.addBindValue(productCode);
    if (!q.exec())
        throw RegistryError(q.lastError().text());
    while (q.next())
        paths.insert(q.value(0).toString());
    return paths;
}

void ProductRegistry::Record(const InstalledProduct& product)
{
    Q_ASSERT(m_db);
    QSqlDatabase& db = m_db->Db();
    auto fail = [&](const QSqlQuery& q) {
        const QString text = q.lastError().text();
        db.rollback();
        throw RegistryError(QStringLiteral("Cannot record the installation: %1").arg(text));
    };
    if (!db.transaction())
        throw RegistryError(QStringLiteral("Cannot record the installation: %1").arg(m_db->ErrorText()));
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM InstalledFile WHERE ProductCode = ?"));
    q.addBindValue(product.productCode);
    if (!q.exec())
        fail(q);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO Product (ProductCode, UpgradeCode, ProductName, ProductVersion, "
                             "InstallFolder, LocalPackage) VALUES (?, ?, ?, ?, ?, ?)"));
    for (const QString& v : {product.productCode, product.upgradeCode, product.productName,
                             product.productVersion, product.installFolder, product.localPackage})
        q.addBindValue(v);
    if (!q.exec())
        fail(q);
    q.prepare(QStringLiteral("INSERT INTO InstalledFile (ProductCode, Path, IsFolder) VALUES (?, ?, ?)"));
    for (int isFolder = 0; isFolder < 2; ++isFolder) {
        for (const QString& path : isFolder ? product.folders : product.files) {
            q.addBindValue(product.productCode);
            q.addBindValue(path);
            q.addBindValue(isFolder);
            if (!q.exec())
                fail(q);
        }
    }
    if (!db.commit())
        throw RegistryError(QStringLiteral("Cannot record the installation: %1").arg(m_db->ErrorText()));
}

void ProductRegistry::Forget(const QString& productCode)
{
    Q_ASSERT(m_db);
    QSqlDatabase& db = m_db->Db();
    if (!db.transaction())
        throw RegistryError(QStringLiteral("Cannot update the installed products: %1").arg(m_db->ErrorText()));
    QSqlQuery q(db);
    for (const char* sql : {"DELETE FROM InstalledFile WHERE ProductCode = ?", "DELETE FROM Product WHERE ProductCode = ?"}) {
        q.prepare(QLatin1String(sql));
        q.addBindValue(productCode);
        if (!q.exec()) {
            const QString text = q.lastError().text();
            db.rollback();
            throw RegistryError(QStringLiteral("Cannot update the installed products: %1").arg(text));
        }
    }
    if (!db.commit())
        throw RegistryError(QStringLiteral("Cannot update the installed products: %1").arg(m_db->ErrorText()));
}

} // namespace ardela::installer
