// Comdlg over QFileDialog.
#include "desktop/Comdlg.h"

#include <utility>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include "desktop/FileChooser.h"

namespace ardela {

namespace {

constexpr qsizetype kMaxInitialName = 260;

ComdlgRunner& Runner()
{
    static ComdlgRunner runner;
    return runner;
}

// The folder part of an absolute path; the root keeps its separator.
QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QDir::separator());
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QString(QDir::separator());
    return path.left(slash);
}

QString NameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QDir::separator()) + 1);
}

QString JoinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QDir::separator()) ? folder + name : folder + QDir::separator() + name;
}

} // namespace

Comdlg::Comdlg()
    : m_flags(OFN_EXPLORER | OFN_LONGNAMES | OFN_HIDEREADONLY)
{
}

void Comdlg::AllowMultiSelect(bool allow)
{
    m_flags = allow ? (m_flags | OFN_ALLOWMULTISELECT) : (m_flags & ~OFN_ALLOWMULTISELECT);
}

void Comdlg::DialogTitle(const QString& title)
{
    m_title = title;
}

void Comdlg::Filter(const QString& filter)
{
    m_filter = filter;
    m_filter.replace(QLatin1Char('|'), QChar(0));
    m_filter += QChar(0);
}

void Comdlg::FilterIndex(std::int32_t index)
{
    m_filterIndex = index;
}

void Comdlg::RestoreCurDir(bool restore)
{
    m_flags = restore ? (m_flags | OFN_NOCHANGEDIR) : (m_flags & ~OFN_NOCHANGEDIR);
}

void Comdlg::ExistFlags(std::int32_t flags)
{
    m_flags |= flags;
}

void Comdlg::CheckBoxVisible(bool visible)
{
    m_flags = visible ? (m_flags & ~OFN_HIDEREADONLY) : (m_flags | OFN_HIDEREADONLY);
}

void Comdlg::CheckBoxSelected(bool selected)
{
    m_flags = selected ? (m_flags | OFN_READONLY) : (m_flags & ~OFN_READONLY);
}

void Comdlg::FileName(const QString& name)
{
    if (name.size() > kMaxInitialName)
        return;
    m_initialFileName = name;
}

void Comdlg::Directory(const QString& directory)
{
    m_initialDirectory = directory;
}

void Comdlg::Extension(const QString& extension)
{
    QString plain = extension;
    plain.remove(QLatin1Char('.'));
    m_defaultExtension = plain.left(3).toLower();
}

QStringList Comdlg::NameFilters(const QString& systemFilter)
{
    QStringList parts = systemFilter.split(QChar(0));
    while (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        // "Drawing  (*.dwg)" already names its patterns; "All Files" gets them appended.
        const QString named = QStringLiteral("(%1)").arg(patterns);
        filters << (description.endsWith(named) ? description : description + QLatin1Char(' ') + named);
    }
    return filters;
}

ComdlgRunner Comdlg::SetRunner(ComdlgRunner runner)
{
    return std::exchange(Runner(), std::move(runner));
}

bool Comdlg::ShowOpen()
{
    return Show(false);
}

bool Comdlg::ShowSave()
{
    m_flags &= ~OFN_ALLOWMULTISELECT;
    m_flags |= OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    return Show(true);
}

bool Comdlg::Show(bool save)
{
    if (m_flags & OFN_READONLY)
        m_flags &= ~OFN_HIDEREADONLY;

    ComdlgRequest request;
    request.save = save;
    request.owner = QApplication::activeWindow();
    request.title = m_title;
    request.nameFilters = NameFilters(m_filter);
    // Index 0 (no custom filter) shows the first filter.
    request.filterIndex = m_filterIndex < 1 ? 1 : m_filterIndex;
    request.initialDirectory = m_initialDirectory;
    request.initialFileName = m_initialFileName;
    request.defaultExtension = m_defaultExtension;
    request.flags = m_flags;

    const ComdlgRunner& runner = Runner();
    const std::optional<ComdlgResult> result = runner ? runner(request) : RunFileDialog(request);
    if (!result || result->files.isEmpty())
        return false;
    m_filterIndex = result->filterIndex;

    QStringList files;
    for (const QString& file : result->files)
        files << QDir::toNativeSeparators(file);
    if (files.size() == 1) {
        m_fileName = files.first();
        m_fileTitle = NameOf(m_fileName);
        m_directory = FolderOf(m_fileName);
        const qsizetype dot = m_fileTitle.lastIndexOf(QLatin1Char('.'));
        m_extension = dot < 0 ? QString() : m_fileTitle.mid(dot + 1);
        m_fileTitles << m_fileTitle;
        m_fileNames << m_fileName;
    } else {
        // Several files, all from the folder the dialog was showing.
        m_directory = FolderOf(files.first());
        m_fileTitle.clear();
        m_extension.clear();
        for (const QString& file : files) {
            const QString name = NameOf(file);
            m_fileTitles << name;
            m_fileNames << (FolderOf(file) == m_directory ? JoinPath(m_directory, name) : file);
        }
        m_fileName.clear();
    }
    if (!(m_flags & OFN_NOCHANGEDIR) && !m_directory.isEmpty())
        QDir::setCurrent(m_directory);
    return true;
}

std::optional<ComdlgResult> RunFileDialog(const ComdlgRequest& request)
{
    QFileDialog dialog(request.owner, request.title);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (request.save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else if (request.flags & OFN_ALLOWMULTISELECT)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else if (request.flags & OFN_FILEMUSTEXIST)
        dialog.setFileMode(QFileDialog::ExistingFile);
    else
        dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & OFN_OVERWRITEPROMPT));
    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
        const int index = std::min<int>(request.filterIndex, request.nameFilters.size()) - 1;
        dialog.selectNameFilter(request.nameFilters.at(std::max(index, 0)));
    }
    if (!request.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(request.defaultExtension);
    QString directory = request.initialDirectory;
    if (directory.isEmpty() && !request.initialFileName.isEmpty())
        directory = QFileInfo(request.initialFileName).absolutePath();
    if (!directory.isEmpty())
        dialog.setDirectory(directory);
    if (!request.initialFileName.isEmpty())
        dialog.selectFile(QFileInfo(request.initialFileName).fileName());

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    ComdlgResult result;
    result.files = dialog.selectedFiles();
    result.filterIndex = int(request.nameFilters.indexOf(dialog.selectedNameFilter())) + 1;
    if (result.filterIndex < 1)
        result.filterIndex = request.filterIndex;
    return result;
}

void InstallFileDialogs()
{
    SetFileDialogHandler([](FileDialogMode mode, const FileDialogRequest& request) -> std::optional<FileDialogChoice> {
        Comdlg dialog;
        dialog.DialogTitle(request.dialogTitle);
        dialog.Filter(request.filter);
        dialog.FilterIndex(request.filterIndex);
        dialog.Extension(request.extension);
        dialog.ExistFlags(request.flags);
        // The analysis files do not move the program's current folder.
        dialog.RestoreCurDir(true);
        const bool chosen = mode == FileDialogMode::Save ? dialog.ShowSave() : dialog.ShowOpen();
        if (!chosen)
            return std::nullopt;
        return FileDialogChoice{dialog.FileName(), dialog.FileTitle()};
    });
}

} // namespace ardela
