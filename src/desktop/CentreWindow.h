// Placing the shared windows: each opens centred on the window that owns it.
#pragma once

class QWidget;

namespace ardela {

// Moves the top-level `window` so that it is centred on `owner`, or on the free area of its
// screen when there is no visible owner, kept inside that screen.
void CentreOnOwner(QWidget* window, const QWidget* owner);

} // namespace ardela
