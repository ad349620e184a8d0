// The question before a model with unsaved changes is emptied or replaced on the first step.
#pragma once

#include <functional>

#include <QString>

namespace ardela {

// The question in the words of the closing questions: "The analysis was not saved to a file."
// then "Save changes to NAME?" (or "Save changes?" for an analysis that has no file yet).
QString UnsavedModelQuestion(const QString& analysisTitle);

// When `dirty`, asks the question (Yes / No / Cancel, exclamation, under `title`): Yes saves
// through `save` (the usual save dialog) and goes on only when the save succeeded; No goes on;
// Cancel stays. True when the model may be emptied or replaced.
bool MayReplaceModel(bool dirty, const std::function<bool()>& save, const QString& title,
                     const QString& analysisTitle);

} // namespace ardela
