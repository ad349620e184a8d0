// Opening and saving analysis files: the dialog flow, the safe read and write.
#include "desktop/AnalysisFile.h"

#include <sys/statvfs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "desktop/CellIO.h"
#include "desktop/Error.h"
#include "desktop/FileChooser.h"
#include "desktop/TableIO.h"
#include "desktop/modMessage.h"

namespace ardela {

namespace {

// No analysis file is larger than every record holding its longest text.
constexpr qint64 kLargestFile = qint64(8) + qint64(17422 + 64) * (2 + 2 + 32767);

QByteArray ReadWholeFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw ModelError(QStringLiteral("%1: no such file").arg(path));
    if (info.isDir())
        throw ModelError(QStringLiteral("%1: a folder, not a file").arg(path));
    if (!info.isFile())
        throw ModelError(QStringLiteral("%1: not a regular file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ModelError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    if (file.size() > kLargestFile)
        throw ModelError(QStringLiteral("%1: too large to be an analysis file").arg(path));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ModelError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return data;
}

// Why `path` could not be written, in the engineer's terms: the folder, the disk, the permission;
// the system's own words otherwise.
QString SaveFailureReason(const QString& path, qint64 size, const QString& systemText)
{
    const QFileInfo target(path);
    const QString folder = QDir::toNativeSeparators(target.absolutePath());
    const QFileInfo folderInfo(target.absolutePath());
    if (!folderInfo.exists())
        return QStringLiteral("%1: the folder %2 does not exist (any more)").arg(path, folder);
    if (!folderInfo.isDir())
        return QStringLiteral("%1: %2 is a file, not a folder").arg(path, folder);
    if (target.isDir())
        return QStringLiteral("%1: a folder of that name is in the way").arg(path);
    if (!folderInfo.isWritable() || (target.exists() && !target.isWritable()))
        return QStringLiteral("%1: you have no permission to write in the folder %2").arg(path, folder);
    struct statvfs disk {};
    if (::statvfs(QFile::encodeName(folderInfo.absoluteFilePath()).constData(), &disk) == 0
        && qint64(disk.f_bavail) * qint64(disk.f_frsize) < size + 4096)
        return QStringLiteral("%1: the disk holding the folder %2 is full").arg(path, folder);
    return QStringLiteral("%1: %2").arg(path, systemText);
}

void WriteWholeFile(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ModelError(SaveFailureReason(path, data.size(), file.errorString()));
    if (file.write(data) != data.size()) {
        const QString text = file.errorString();
        file.cancelWriting();
        throw ModelError(SaveFailureReason(path, data.size(), text));
    }
    if (!file.commit())
        throw ModelError(SaveFailureReason(path, data.size(), file.errorString()));
}

} // namespace

QString AnalysisFileFailureMessage()
{
    return QStringLiteral("Could not open analysis file");
}

void ReadAnalysisFile(const AnalysisFileKind& kind, const QString& path)
{
    const QByteArray image = ReadWholeFile(path);
    std::function<void()> install;
    try {
        install = kind.parse(image);
    } catch (const ModelError& error) {
        throw ModelError(path + QStringLiteral(": ") + error.Text());
    } catch (const std::bad_alloc&) {
        throw ModelError(path + QStringLiteral(": not enough memory to read it"));
    }
    install();
    *kind.path = path;
    *kind.title = QFileInfo(path).fileName();
}

void WriteAnalysisFile(const AnalysisFileKind& kind, const QString& path)
{
    QByteArray image;
    try {
        image = kind.serialize();
    } catch (const ModelError& error) {
        throw ModelError(path + QStringLiteral(": ") + error.Text());
    }
    WriteWholeFile(path, image);
    *kind.path = path;
    *kind.title = QFileInfo(path).fileName();
}

bool OpenAnalysisFile(const AnalysisFileKind& kind)
{
    FileDialogRequest request;
    request.dialogTitle = kind.openTitle;
    request.filter = kind.filter;
    request.extension = kind.extension;
    request.filterIndex = 0;
    request.flags = 6144;
    const std::optional<FileDialogChoice> choice = ShowFileDialog(FileDialogMode::Open, request);
    if (!choice)
        return false;
    try {
        ReadAnalysisFile(kind, choice->fileName);
        *kind.title = choice->fileTitle;
        return true;
    } catch (const ModelError& error) {
        ShowMessage(WithCause(AnalysisFileFailureMessage(), error.Text()), MsgCritical);
        return false;
    }
}

bool SaveAnalysisFile(const AnalysisFileKind& kind)
{
    // A failed save leaves the analysis as unsaved as before: a new model keeps no name, so the
    // next save offers the dialog again.
    const QString oldPath = *kind.path;
    const QString oldTitle = *kind.title;
    if (kind.path->isEmpty()) {
        FileDialogRequest request;
        request.filter = kind.filter;
        request.extension = kind.extension;
        request.filterIndex = 0;
        const std::optional<FileDialogChoice> choice = ShowFileDialog(FileDialogMode::Save, request);
        if (!choice)
            return false;
        *kind.path = choice->fileName;
        *kind.title = choice->fileTitle;
    }
    try {
        const QString title = *kind.title;
        WriteAnalysisFile(kind, *kind.path);
        *kind.title = title;
        return true;
    } catch (const ModelError& error) {
        *kind.path = oldPath;
        *kind.title = oldTitle;
        ShowMessage(WithCause(AnalysisFileFailureMessage(), error.Text()), MsgCritical);
        return false;
    }
}

bool ReadsAsRecords(const QByteArray& image, int counts, qsizetype records)
{
    try {
        BinaryReader in(image);
        for (int i = 0; i < counts; ++i)
            ReadCount(in, "a count");
        for (qsizetype i = 0; i < records; ++i)
            in.ReadCell();
        in.ExpectEnd();
        return true;
    } catch (const ModelError&) {
        return false;
    }
}

} // namespace ardela
