// Moving the foreground between the wizard window and the drawing host's window.
#pragma once

#include <cstdint>

namespace ardela::cad {

struct Connection;

// Raises and activates the window `hwnd`, restoring it when minimised: one of this program's
// windows directly, the host's through the link of `connection`.
void BringToFront(std::uint64_t hwnd, Connection& connection);
void BringToFront(std::uint64_t hwnd);

} // namespace ardela::cad
