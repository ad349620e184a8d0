// The question before a model with unsaved changes is emptied or replaced on the first step.
#pragma once

#include <functional>

#include <QString>

namespace ardela {

// "The analysis has changes that were not saved to a file. Do you want to save them first?"
QString UnsavedModelQuestion();

// When `dirty`, asks the question (Yes / No / Cancel): Yes saves through `save` (the usual save
// dialog) and goes on only when the save succeeded; No goes on; Cancel stays. True when the
// model may be emptied or replaced.
bool MayReplaceModel(bool dirty, const std::function<bool()>& save, const QString& title);

} // namespace ardela
