// Installer packages: reading and writing the Property and File tables.
#include "installer/Package.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QUuid>
#include <QVariant>

#include "installer/SqlConnection.h"

namespace ardela::installer {

namespace {

int ModeFromPermissions(QFile::Permissions p)
{
    int mode = 0;
    if (p & QFile::ReadOwner) mode |= 0400;
    if (p & QFile::WriteOwner) mode |= 0200;
    if (p & QFile::ExeOwner) mode |= 0100;
    if (p & QFile::ReadGroup) mode |= 0040;
    if (p & QFile::WriteGroup) mode |= 0020;
    if (p & QFile::ExeGroup) mode |= 0010;
    if (p & QFile::ReadOther) mode |= 0004;
    if (p & QFile::WriteOther) mode |= 0002;
    if (p & QFile::ExeOther) mode |= 0001;
    return mode;
}

QMap<QString, QString> ReadProperties(SqlConnection& db, const QString& packagePath)
{
    QSqlQuery q(db.Db());
    if (!q.exec(QStringLiteral("SELECT Property, Value FROM Property")))
        throw PackageError(QStringLiteral("\"%1\" has no readable Property table.").arg(packagePath));
    QMap<QString, QString> properties;
    while (q.next())
        properties.insert(q.value(0).toString(), q.value(1).toString());
    for (const QString& name : kRequiredProperties) {
        if (properties.value(name).isEmpty())
            throw PackageError(QStringLiteral("\"%1\" lacks the property %2.").arg(packagePath, name));
    }
    for (const char* code : {"ProductCode", "UpgradeCode"}) {
        if (!IsProductCode(properties.value(QLatin1String(code))))
            throw PackageError(QStringLiteral("\"%1\" carries a malformed %2.").arg(packagePath, QLatin1String(code)));
    }
    return properties;
}

void Exec(QSqlQuery& q, const QString& sql, const QString& packagePath)
{
    if (!q.exec(sql))
        throw PackageError(QStringLiteral("Cannot write \"%1\": %2").arg(packagePath, q.lastError().text()));
}

} // namespace

QString NewProductCode()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

bool IsProductCode(const QString& code)
{
    static const QRegularExpression form(QStringLiteral(
        "^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    return form.match(code).hasMatch();
}

bool IsSafePayloadPath(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char('\\'))
        || path.contains(QChar(0)))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

QMap<QString, QString> ReadPackageProperties(const QString& packagePath)
{
    SqlConnection db(packagePath, SqlConnection::Mode::ReadOnly);
    if (!db.IsOpen())
        throw PackageError(QStringLiteral("\"%1\" cannot be opened as a package.").arg(packagePath), true);
    return ReadProperties(db, packagePath);
}

namespace {

// Checks one File row; throws PackageError naming the package and the path.
void CheckPayloadRow(const QString& packagePath, const QString& path, bool modeOk, int mode)
{
    if (!IsSafePayloadPath(path))
        throw PackageError(QStringLiteral("\"%1\" carries the unsafe file path \"%2\".").arg(packagePath, path));
    if (!modeOk || mode < 0 || mode > 07777)
        throw PackageError(QStringLiteral("\"%1\" carries a bad mode for \"%2\".").arg(packagePath, path));
}

// Runs `sql` over the File table row by row.
void ScanFileTable(const QString& packagePath, const QString& sql, const std::function<void(QSqlQuery&)>& row)
{
    SqlConnection db(packagePath, SqlConnection::Mode::ReadOnly);
    if (!db.IsOpen())
        throw PackageError(QStringLiteral("\"%1\" cannot be opened as a package.").arg(packagePath), true);
    QSqlQuery q(db.Db());
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw PackageError(QStringLiteral("\"%1\" has no readable File table.").arg(packagePath));
    while (q.next())
        row(q);
    if (q.lastError().isValid())
        throw PackageError(QStringLiteral("\"%1\" is damaged: %2").arg(packagePath, q.lastError().text()));
}

} // namespace

QList<PayloadEntry> ReadPayloadIndex(const QString& packagePath)
{
    QList<PayloadEntry> entries;
    ScanFileTable(packagePath, QStringLiteral("SELECT File, Mode FROM File ORDER BY File"), [&](QSqlQuery& q) {
        bool ok = false;
        PayloadEntry e{q.value(0).toString(), q.value(1).toInt(&ok)};
        CheckPayloadRow(packagePath, e.path, ok, e.mode);
        entries.append(e);
    });
    return entries;
}

QString PayloadHash(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

void ForEachPayloadFile(const QString& packagePath, const std::function<void(const PackageFile&)>& visit)
{
    // The hashes written when the package was made; a payload changed since then is refused by
    // name before the caller sees it.
    QMap<QString, QString> hashes;
    {
        SqlConnection db(packagePath, SqlConnection::Mode::ReadOnly);
        if (!db.IsOpen())
            throw PackageError(QStringLiteral("\"%1\" cannot be opened as a package.").arg(packagePath), true);
        QSqlQuery q(db.Db());
        if (!q.exec(QStringLiteral("SELECT File, Sha256 FROM %1").arg(QLatin1String(kFileHashTable))))
            throw PackageError(QStringLiteral("\"%1\" carries no hashes of its files, so its contents cannot be checked.").arg(packagePath));
        while (q.next())
            hashes.insert(q.value(0).toString(), q.value(1).toString().toLower());
    }
    ScanFileTable(packagePath, QStringLiteral("SELECT File, Mode, Data FROM File ORDER BY File"), [&](QSqlQuery& q) {
        bool ok = false;
        PackageFile file{q.value(0).toString(), q.value(1).toInt(&ok), q.value(2).toByteArray()};
        CheckPayloadRow(packagePath, file.path, ok, file.mode);
        const auto hash = hashes.constFind(file.path);
        if (hash == hashes.cend())
            throw PackageError(QStringLiteral("\"%1\" carries no hash for the file \"%2\".").arg(packagePath, file.path));
        if (*hash != PayloadHash(file.data))
            throw PackageError(QStringLiteral("the file \"%1\" in \"%2\" does not match the hash written when the package was made: it was changed since.")
                                   .arg(file.path, packagePath));
        visit(file);
    });
}

int CheckPackage(const QString& packagePath)
{
    {
        SqlConnection db(packagePath, SqlConnection::Mode::ReadOnly);
        if (!db.IsOpen())
            throw PackageError(QStringLiteral("\"%1\" cannot be opened as a package.").arg(packagePath), true);
        QSqlQuery q(db.Db());
        if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next())
            throw PackageError(QStringLiteral("\"%1\" is damaged: %2").arg(packagePath, q.lastError().text()));
        const QString verdict = q.value(0).toString();
        if (verdict != QLatin1String("ok"))
            throw PackageError(QStringLiteral("\"%1\" is damaged: %2").arg(packagePath, verdict.section(QLatin1Char('\n'), 0, 1).simplified()));
        ReadProperties(db, packagePath);
    }
    int count = 0;
    ForEachPayloadFile(packagePath, [&](const PackageFile&) { ++count; });
    return count;
}

PackageContents ReadPackage(const QString& packagePath)
{
    PackageContents contents;
    contents.properties = ReadPackageProperties(packagePath);
    ForEachPayloadFile(packagePath, [&](const PackageFile& file) { contents.files.append(file); });
    return contents;
}

void WritePackage(const QString& packagePath, const PackageContents& contents)
{
    const QFileInfo target(packagePath);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        throw PackageError(QStringLiteral("Cannot create a file beside \"%1\".").arg(packagePath));
    temp.close();
    {
        SqlConnection db(temp.fileName(), SqlConnection::Mode::ReadWrite);
        if (!db.IsOpen())
            throw PackageError(QStringLiteral("Cannot write \"%1\": %2").arg(packagePath, db.ErrorText()));
        QSqlQuery q(db.Db());
        Exec(q, QStringLiteral("CREATE TABLE Property (Property TEXT PRIMARY KEY NOT NULL, Value TEXT NOT NULL)"), packagePath);
        Exec(q, QStringLiteral("CREATE TABLE File (File TEXT PRIMARY KEY NOT NULL, Mode INTEGER NOT NULL, Data BLOB NOT NULL)"), packagePath);
        Exec(q, QStringLiteral("CREATE TABLE %1 (File TEXT PRIMARY KEY NOT NULL, Sha256 TEXT NOT NULL)").arg(QLatin1String(kFileHashTable)), packagePath);
        db.Db().transaction();
        q.prepare(QStringLiteral("INSERT INTO Property (Property, Value) VALUES (?, ?)"));
        for (auto it = contents.properties.cbegin(); it != contents.properties.cend(); ++it) {
            q.addBindValue(it.key());
            q.addBindValue(it.value());
            if (!q.exec())
                throw PackageError(QStringLiteral("Cannot write \"%1\": %2").arg(packagePath, q.lastError().text()));
        }
        q.prepare(QStringLiteral("INSERT INTO File (File, Mode, Data) VALUES (?, ?, ?)"));
        for (const PackageFile& file : contents.files) {
            if (!IsSafePayloadPath(file.path))
                throw PackageError(QStringLiteral("The payload path \"%1\" leaves the install folder.").arg(file.path));
            q.addBindValue(file.path);
            q.addBindValue(file.mode);
            q.addBindValue(file.data.isNull() ? QByteArray("") : file.data);
            if (!q.exec())
                throw PackageError(QStringLiteral("Cannot write \"%1\": %2").arg(packagePath, q.lastError().text()));
        }
        q.prepare(QStringLiteral("INSERT INTO %1 (File, Sha256) VALUES (?, ?)").arg(QLatin1String(kFileHashTable)));
        for (const PackageFile& file : contents.files) {
            q.addBindValue(file.path);
            q.addBindValue(PayloadHash(file.data));
            if (!q.exec())
                throw PackageError(QStringLiteral("Cannot write \"%1\": %2").arg(packagePath, q.lastError().text()));
        }
        if (!db.Db().commit())
            throw PackageError(QStringLiteral("Cannot write \"%1\": %2").arg(packagePath, db.ErrorText()));
    }
    QFile::remove(packagePath);
    if (!QFile::rename(temp.fileName(), packagePath))
        throw PackageError(QStringLiteral("Cannot replace \"%1\".").arg(packagePath));
    temp.setAutoRemove(false);
    QFile::setPermissions(packagePath, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

QList<PackageFile> CollectPayload(const QString& stageDir)
{
    const QDir root(stageDir);
    if (!root.exists())
        throw PackageError(QStringLiteral("The staged folder \"%1\" does not exist.").arg(stageDir));
    QList<PackageFile> files;
    QDirIterator it(stageDir, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            throw PackageError(QStringLiteral("Cannot read \"%1\".").arg(path));
        PackageFile file;
        file.path = root.relativeFilePath(path);
        file.mode = ModeFromPermissions(QFileInfo(path).permissions());
        file.data = in.readAll();
        if (in.error() != QFile::NoError)
            throw PackageError(QStringLiteral("Cannot read \"%1\".").arg(path));
        files.append(std::move(file));
    }
    std::sort(files.begin(), files.end(), [](const PackageFile& a, const PackageFile& b) { return a.path < b.path; });
    return files;
}

} // namespace ardela::installer
