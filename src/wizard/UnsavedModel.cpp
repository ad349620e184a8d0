// The question before a model with unsaved changes is emptied or replaced.
#include "wizard/UnsavedModel.h"

#include "desktop/modMessage.h"

namespace ardela {

QString UnsavedModelQuestion()
{
    return QStringLiteral("The analysis has changes that were not saved to a file.") + kCrLf
        + QStringLiteral("Do you want to save them first?");
}

bool MayReplaceModel(bool dirty, const std::function<bool()>& save, const QString& title)
{
    if (!dirty)
        return true;
    switch (ShowMessage(UnsavedModelQuestion(), MsgYesNoCancel + MsgExclamation, title)) {
    case MsgResultYes:
        return save();
    case MsgResultNo:
        return true;
    default:
        return false;
    }
}

} // namespace ardela
