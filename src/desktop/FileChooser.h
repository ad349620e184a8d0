// The seam through which the analysis-file routines ask for a file name: the file dialog in the
// programs, a fixed answer in the batch tool and in tests.
#pragma once

#include <functional>
#include <optional>

#include <QString>

namespace ardela {

enum class FileDialogMode { Open, Save };

// What the routine sets on the dialog before showing it.
struct FileDialogRequest {
    QString dialogTitle;
    QString filter;      // "Korrin File (*.krn)|*.krn|All Files (*.*)|*.*"
    QString extension;   // default extension, without the dot
    int filterIndex = 0;
    int flags = 0;       // e.g. 6144: path and file must exist
};

// The chosen file: full path and file name with extension.
struct FileDialogChoice {
    QString fileName;
    QString fileTitle;
};

using FileDialogHandler = std::function<std::optional<FileDialogChoice>(FileDialogMode, const FileDialogRequest&)>;

// Installs the handler and returns the previous one. With no handler every dialog is cancelled.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);
// Shows the dialog; nullopt when the user cancelled.
std::optional<FileDialogChoice> ShowFileDialog(FileDialogMode mode, const FileDialogRequest& request);

// A choice for a known path: the path as given and its file name.
FileDialogChoice ChoiceForPath(const QString& path);

} // namespace ardela
