// The file-dialog seam.
#include "desktop/FileChooser.h"

#include <utility>

#include <QFileInfo>

namespace ardela {

namespace {

FileDialogHandler& Handler()
{
    static FileDialogHandler handler;
    return handler;
}

} // namespace

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}

std::optional<FileDialogChoice> ShowFileDialog(FileDialogMode mode, const FileDialogRequest& request)
{
    const FileDialogHandler& handler = Handler();
    if (!handler)
        return std::nullopt;
    return handler(mode, request);
}

FileDialogChoice ChoiceForPath(const QString& path)
{
    return FileDialogChoice{path, QFileInfo(path).fileName()};
}

} // namespace ardela
