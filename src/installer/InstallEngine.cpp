// Installing and removing releases, all-or-nothing, with the installer's own windows.
#include "installer/InstallEngine.h"

#include <algorithm>
#include <memory>
#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include "installer/InstallerWindows.h"
#include "installer/Package.h"
#include "installer/ProductRegistry.h"

namespace ardela::installer {

namespace {

const QString kInstallerTitle = QStringLiteral("Ardela Installer");

// A failure that ends an installation or removal: its result code and the text for the user.
class InstallError : public std::runtime_error {
public:
    InstallError(unsigned code, const QString& text)
        : std::runtime_error(text.toStdString()), m_code(code), m_text(text) {}
    unsigned Code() const { return m_code; }
    const QString& Text() const { return m_text; }

private:
    unsigned m_code;
    QString m_text;
};

QFile::Permissions PermissionsFromMode(int mode)
{
    mode |= 0600; // the owner must always be able to replace and remove what was installed
    QFile::Permissions p;
    if (mode & 0400) p |= QFile::ReadOwner | QFile::ReadUser;
    if (mode & 0200) p |= QFile::WriteOwner | QFile::WriteUser;
    if (mode & 0100) p |= QFile::ExeOwner | QFile::ExeUser;
    if (mode & 0040) p |= QFile::ReadGroup;
    if (mode & 0020) p |= QFile::WriteGroup;
    if (mode & 0010) p |= QFile::ExeGroup;
    if (mode & 0004) p |= QFile::ReadOther;
    if (mode & 0002) p |= QFile::WriteOther;
    if (mode & 0001) p |= QFile::ExeOther;
    return p;
}

bool ExistsOrDangles(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// True when a folder between `root` and `path` (a path inside `root`) is a symbolic link.
// `root` itself may be one: the user chose it.
bool PassesThroughLink(const QString& root, const QString& path)
{
    const QString base = QDir::cleanPath(root);
    const QString clean = QDir::cleanPath(path);
    if (!clean.startsWith(base + QLatin1Char('/')))
        return false;
    const QStringList parts = clean.mid(base.size() + 1).split(QLatin1Char('/'));
    QString at = base;
    for (int i = 0; i + 1 < parts.size(); ++i) {
        at += QLatin1Char('/') + parts[i];
        if (QFileInfo(at).isSymLink())
            return true;
    }
    return false;
}

// Refuses to write the payload file `relative` when a folder on its way inside the install
// folder is a symbolic link: writing would land outside the folder the release owns.
void RefuseLinkedFolders(const QString& installFolder, const QString& relative)
{
    if (PassesThroughLink(installFolder, installFolder + QLatin1Char('/') + relative))
        throw InstallError(kErrorInstallFailure,
            QStringLiteral("Cannot write \"%1\": a folder on its way is a symbolic link.").arg(installFolder + QLatin1Char('/') + relative));
}

// Every change made on disk, kept so that it can be undone: new files, files set aside (to be
// deleted on commit or put back on rollback) and new folders. Rolls back unless committed.
class FileTransaction {
public:
    FileTransaction() = default;
    ~FileTransaction()
    {
        if (!m_finished)
            Rollback();
    }
    FileTransaction(const FileTransaction&) = delete;
    FileTransaction& operator=(const FileTransaction&) = delete;

    // Creates `dir` with its missing parents.
    void MakeFolder(const QString& dir)
    {
        QStringList missing;
        QString at = QDir::cleanPath(dir);
        while (!QFileInfo(at).isDir()) {
            if (ExistsOrDangles(at))
                throw InstallError(kErrorInstallFailure, QStringLiteral("\"%1\" is in the way of a folder.").arg(at));
            missing.prepend(at);
            const QString parent = QFileInfo(at).absolutePath();
            if (parent == at)
                break;
            at = parent;
        }
        for (const QString& folder : missing) {
            if (!QDir().mkdir(folder))
                throw InstallError(kErrorInstallFailure, QStringLiteral("Cannot create the folder \"%1\".").arg(folder));
            m_createdFolders.append(folder);
        }
    }

    // Writes `data` to `path` with `mode`, setting an existing file aside first.
    void WriteFile(const QString& path, const QByteArray& data, int mode)
    {
        if (QFileInfo(path).isDir())
            throw InstallError(kErrorInstallFailure, QStringLiteral("Cannot write \"%1\": a folder is in the way.").arg(path));
        if (ExistsOrDangles(path))
            SetAside(path);
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit())
            throw InstallError(kErrorInstallFailure, QStringLiteral("Cannot write \"%1\": %2").arg(path, out.errorString()));
        m_createdFiles.append(path);
        if (!QFile::setPermissions(path, PermissionsFromMode(mode)))
            throw InstallError(kErrorInstallFailure, QStringLiteral("Cannot set the permissions of \"%1\".").arg(path));
    }

    // Copies `source` to `path` in slices (a package may be large), setting an existing file
    // aside first. Copying a file onto itself leaves it as it is.
    void CopyFile(const QString& source, const QString& path)
    {
        const QFileInfo from(source);
        const QFileInfo to(path);
        if (to.exists() && from.canonicalFilePath() == to.canonicalFilePath())
            return;
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly))
            throw InstallError(kErrorPackageOpenFailed, QStringLiteral("Cannot read \"%1\".").arg(source));
        if (to.isDir())
            throw InstallError(kErrorInstallFailure, QStringLiteral("Cannot write \"%1\": a folder is in the way.").arg(path));
        if (ExistsOrDangles(path))
            SetAside(path);
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            throw InstallError(kErrorInstallFailure, QStringLiteral("Cannot write \"%1\": %2").arg(path, out.errorString()));
        QByteArray slice;
        while (!(slice = in.read(1 << 20)).isEmpty()) {
            if (out.write(slice) != slice.size())
                throw InstallError(kErrorInstallFailure, QStringLiteral("Cannot write \"%1\": %2").arg(path, out.errorString()));
        }
        if (in.error() != QFile::NoError)
            throw InstallError(kErrorPackageOpenFailed, QStringLiteral("Cannot read \"%1\".").arg(source));
        if (!out.commit())
            throw InstallError(kErrorInstallFailure, QStringLiteral("Cannot write \"%1\": %2").arg(path, out.errorString()));
        m_createdFiles.append(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }

    // Removes `path` (kept aside until the commit).
    void RemoveFile(const QString& path) { SetAside(path); }

    void Commit()
    {
        for (const auto& [original, aside] : m_setAside)
            QFile::remove(aside);
        m_finished = true;
    }

    void Rollback()
    {
        for (auto it = m_createdFiles.crbegin(); it != m_createdFiles.crend(); ++it)
            QFile::remove(*it);
        for (auto it = m_setAside.crbegin(); it != m_setAside.crend(); ++it)
            QFile::rename(it->second, it->first);
        for (auto it = m_createdFolders.crbegin(); it != m_createdFolders.crend(); ++it)
            QDir().rmdir(*it);
        m_finished = true;
    }

    const QStringList& CreatedFolders() const { return m_createdFolders; }

private:
    void SetAside(const QString& path)
    {
        QString aside;
        do {
            aside = QStringLiteral("%1.ardela-rollback-%2").arg(path).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        } while (ExistsOrDangles(aside));
        if (!QFile::rename(path, aside))
            throw InstallError(kErrorInstallFailure, QStringLiteral("Cannot replace or remove \"%1\".").arg(path));
        m_setAside.append({path, aside});
    }

    QStringList m_createdFiles;
    QList<QPair<QString, QString>> m_setAside;
    QStringList m_createdFolders;
    bool m_finished = false;
};

// The programs that get a desktop entry when the payload carries them.
struct DesktopProgram {
    const char* payloadPath;
    const char* entryName;
    const char* name;
    const char* comment;
};
constexpr DesktopProgram kDesktopPrograms[] = {
    {"bin/korrin", "ardela-korrin.desktop", "Korrin", "Plane truss analysis wizard"},
    {"bin/vendel", "ardela-vendel.desktop", "Vendel", "Plane-stress analysis wizard"},
};

// The progress window (when windows are shown) and the observer, for one action.
class Feedback {
public:
    Feedback(const InstallerUi& ui, const QString& title) : m_ui(ui), m_title(title) {}

    void Start(const QString& action, const QString& announcement, int steps)
    {
        Tell(InstallerEvent::ActionStart, announcement);
        if (m_ui.showWindows)
            m_window = std::make_unique<InstallProgressWindow>(m_title, action, steps, m_ui.owner);
    }
    // Advances the bar; throws the user's cancel.
    void Step(int step)
    {
        if (!m_window)
            return;
        m_window->Step(step);
        if (m_window->Cancelled())
            throw InstallError(kErrorInstallUserExit, QString());
    }
    void Finish(unsigned result, const QString& errorText)
    {
        m_window.reset();
        if (result != kSuccess && result != kErrorInstallUserExit) {
            Tell(InstallerEvent::Error, errorText);
            if (m_ui.showWindows)
                ShowInstallerError(m_title, errorText, m_ui.owner);
        }
        Tell(InstallerEvent::ActionEnd, QString::number(result));
    }
    void SetTitle(const QString& title) { m_title = title; }

private:
    void Tell(InstallerEvent event, const QString& text)
    {
        if (m_ui.observer)
            m_ui.observer(event, text);
    }

    const InstallerUi& m_ui;
    QString m_title;
    std::unique_ptr<InstallProgressWindow> m_window;
};

[[noreturn]] void ThrowPackageFailure(const QString& packagePath, const PackageError& e)
{
    if (e.Unreadable())
        throw InstallError(kErrorPackageOpenFailed,
            QStringLiteral("The installation package \"%1\" could not be opened. Check that the file exists and that you may read it.").arg(packagePath));
    throw InstallError(kErrorPackageInvalid, QStringLiteral("The installation package \"%1\" is not valid: %2").arg(packagePath, e.Text()));
}

void Install(const QString& packagePath, Feedback& feedback)
{
    // The whole package is checked before anything is written; then the payload is streamed.
    QMap<QString, QString> props;
    int payloadCount = 0;
    try {
        payloadCount = CheckPackage(packagePath);
        props = ReadPackageProperties(packagePath);
    } catch (const PackageError& e) {
        ThrowPackageFailure(packagePath, e);
    }
    const QString code = props.value(QStringLiteral("ProductCode"));
    feedback.SetTitle(props.value(QStringLiteral("ProductName")));

    ProductRegistry registry(true);
    const std::optional<InstalledProduct> earlier = registry.Find(code);
    InstalledProduct record;
    record.productCode = code;
    record.upgradeCode = props.value(QStringLiteral("UpgradeCode"));
    record.productName = props.value(QStringLiteral("ProductName"));
    record.productVersion = props.value(QStringLiteral("ProductVersion"));
    record.installFolder = earlier ? earlier->installFolder : DefaultInstallFolder();

    const int steps = payloadCount + 2;
    feedback.Start(QStringLiteral("Copying new files"), QStringLiteral("Installing %1").arg(code), steps);
    FileTransaction tx;
    tx.MakeFolder(record.installFolder);
    int step = 0;
    QSet<QString> payload;
    try {
        ForEachPayloadFile(packagePath, [&](const PackageFile& file) {
            const QString target = record.installFolder + QLatin1Char('/') + file.path;
            RefuseLinkedFolders(record.installFolder, file.path);
            tx.MakeFolder(QFileInfo(target).absolutePath());
            tx.WriteFile(target, file.data, file.mode);
            record.files.append(target);
            payload.insert(file.path);
            feedback.Step(++step);
        });
    } catch (const PackageError& e) {
        ThrowPackageFailure(packagePath, e);
    }

    tx.MakeFolder(PackageCacheDir());
    record.localPackage = PackageCacheDir() + QLatin1Char('/') + code + QStringLiteral(".msi");
    tx.CopyFile(packagePath, record.localPackage);
    record.files.append(record.localPackage);
    feedback.Step(++step);

    for (const DesktopProgram& program : kDesktopPrograms) {
        if (!payload.contains(QLatin1String(program.payloadPath)))
            continue;
        tx.MakeFolder(DesktopEntriesDir());
        const QString entry = DesktopEntriesDir() + QLatin1Char('/') + QLatin1String(program.entryName);
        const QString text = DesktopEntryText(QLatin1String(program.name), QLatin1String(program.comment),
                                              record.installFolder + QLatin1Char('/') + QLatin1String(program.payloadPath));
        tx.WriteFile(entry, text.toUtf8(), 0644);
        record.files.append(entry);
    }
    feedback.Step(++step);

    record.folders = tx.CreatedFolders();
    if (earlier) {
        for (const QString& f : earlier->files) {
            if (!record.files.contains(f))
                record.files.append(f);
        }
        for (const QString& f : earlier->folders) {
            if (!record.folders.contains(f))
                record.folders.append(f);
        }
    }
    try {
        registry.Record(record);
    } catch (const RegistryError& e) {
        throw InstallError(kErrorInstallFailure, e.Text());
    }
    tx.Commit();
}

void Remove(const QString& packagePath, Feedback& feedback)
{
    QMap<QString, QString> props;
    try {
        props = ReadPackageProperties(packagePath);
    } catch (const PackageError& e) {
        ThrowPackageFailure(packagePath, e);
    }
    const QString code = props.value(QStringLiteral("ProductCode"));
    feedback.SetTitle(props.value(QStringLiteral("ProductName")));
    ProductRegistry registry(false);
    const std::optional<InstalledProduct> product = registry.Find(code);
    if (!product)
        throw InstallError(kErrorUnknownProduct, QStringLiteral("%1 %2 is not installed, so it cannot be removed.")
                                                     .arg(props.value(QStringLiteral("ProductName")), code));
    const QSet<QString> shared = registry.PathsOfOtherProducts(code);

    feedback.Start(QStringLiteral("Removing files"), QStringLiteral("Removing %1").arg(code), int(product->files.size()));
    FileTransaction tx;
    int step = 0;
    for (const QString& file : product->files) {
        // A file reached through a link that now stands inside the install folder is not the
        // file that was installed: it is left alone.
        if (!shared.contains(file) && ExistsOrDangles(file) && !PassesThroughLink(product->installFolder, file))
            tx.RemoveFile(file);
        feedback.Step(++step);
    }
    try {
        registry.Forget(code);
    } catch (const RegistryError& e) {
        throw InstallError(kErrorInstallFailure, e.Text());
    }
    tx.Commit();

    // Folders the release created go when nothing else is left in them, deepest first.
    QStringList folders = product->folders;
    std::sort(folders.begin(), folders.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : folders) {
        if (!shared.contains(folder) && !PassesThroughLink(product->installFolder, folder))
            QDir().rmdir(folder);
    }
}

} // namespace

bool ParseCommandLine(const QString& commandLine, QList<QPair<QString, QString>>* properties)
{
    properties->clear();
    int i = 0;
    const int n = int(commandLine.size());
    while (true) {
        while (i < n && commandLine[i].isSpace())
            ++i;
        if (i == n)
            return true;
        const int nameStart = i;
        while (i < n && commandLine[i] != QLatin1Char('=') && !commandLine[i].isSpace())
            ++i;
        if (i == n || commandLine[i] != QLatin1Char('=') || i == nameStart)
            return false;
        const QString name = commandLine.mid(nameStart, i - nameStart).toUpper();
        ++i;
        QString value;
        if (i < n && commandLine[i] == QLatin1Char('"')) {
            ++i;
            while (i < n && commandLine[i] != QLatin1Char('"'))
                value += commandLine[i++];
            if (i == n)
                return false;
            ++i;
        } else {
            while (i < n && !commandLine[i].isSpace())
                value += commandLine[i++];
        }
        properties->append({name, value});
    }
}

QString DesktopEntryText(const QString& name, const QString& comment, const QString& program)
{
    // Exec: one quoted argument, with the characters the quoting reserves escaped, then the
    // escapes every string value gets; a literal '%' is doubled.
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    auto escapeString = [](QString s) {
        s.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        s.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        s.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
        s.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
        return s;
    };
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Comment=%2\n"
                          "Exec=%3\n"
                          "Terminal=false\n"
                          "Categories=Science;Engineering;\n")
        .arg(escapeString(name), escapeString(comment), escapeString(QLatin1Char('"') + quoted + QLatin1Char('"')));
}

unsigned RunPackage(const QString& packagePath, const QString& commandLine, const InstallerUi& ui)
{
    Feedback feedback(ui, kInstallerTitle);
    unsigned result = kSuccess;
    QString errorText;
    try {
        QList<QPair<QString, QString>> properties;
        if (!ParseCommandLine(commandLine, &properties))
            throw InstallError(kErrorInvalidParameter, QStringLiteral("The command line \"%1\" is not understood.").arg(commandLine));
        QString remove;
        for (const auto& [name, value] : properties) {
            if (name == QLatin1String("REMOVE"))
                remove = value;
        }
        const QString absolute = QFileInfo(packagePath).absoluteFilePath();
        if (remove.isEmpty())
            Install(absolute, feedback);
        else if (remove.compare(QLatin1String("ALL"), Qt::CaseInsensitive) == 0)
            Remove(absolute, feedback);
        else
            throw InstallError(kErrorInvalidParameter, QStringLiteral("Only REMOVE=ALL is supported, not REMOVE=%1.").arg(remove));
    } catch (const InstallError& e) {
        result = e.Code();
        errorText = e.Text();
    } catch (const RegistryError& e) {
        result = kErrorInstallFailure;
        errorText = e.Text();
    }
    feedback.Finish(result, errorText);
    return result;
}

} // namespace ardela::installer
