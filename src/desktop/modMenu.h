// The wizard window's "About..." item (command 1010): offered in the window's context menu and
// carried out by the window's one command handler.
#pragma once

class QWidget;

namespace ardela {

// The command id of "About...".
constexpr int kAboutCommand = 1010;

// Adds a separator and "About..." to the context menu of `wizard` and routes the item to
// WizardCommand. Lasts until SubclassOff or the window's end.
void SubclassOn(QWidget* wizard);
// Takes the item away again.
void SubclassOff(QWidget* wizard);

// The command handler: 1010 starts the About window's flame and shows it modally, owned by
// `wizard`, and returns true; any other id is not handled (false).
bool WizardCommand(QWidget* wizard, int commandId);

} // namespace ardela
