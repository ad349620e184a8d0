// The question before a model with unsaved changes is emptied or replaced.
#include "wizard/UnsavedModel.h"

#include "desktop/modMessage.h"

namespace ardela {

QString UnsavedModelQuestion(const QString& analysisTitle)
{
    const QString save = analysisTitle.isEmpty() ? QStringLiteral("Save changes?")
                                                 : QStringLiteral("Save changes to ") + analysisTitle + QLatin1Char('?');
    return QStringLiteral("The analysis was not saved to a file.") + kCrLf + save;
}

bool MayReplaceModel(bool dirty, const std::function<bool()>& save, const QString& title,
                     const QString& analysisTitle)
{
    if (!dirty)
        return true;
    switch (ShowMessage(UnsavedModelQuestion(analysisTitle), MsgYesNoCancel + MsgExclamation, title)) {
    case MsgResultYes:
        return save();
    case MsgResultNo:
        return true;
    default:
        return false;
    }
}

} // namespace ardela
