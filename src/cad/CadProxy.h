// The client proxy of the object model: every member becomes one call over the automation link.
#pragma once

#include <memory>

#include <QString>

#include "cad/AcadObjects.h"

namespace ardela::cad {

class CadLink;

// The application of the host listening on `socketPath`, or nullptr when none answers within
// `timeoutMs`.
AcadApplicationPtr ConnectApplication(const QString& socketPath, int timeoutMs);

// The link under an application proxy (for the testing aids and the benchmarks).
std::shared_ptr<CadLink> LinkOf(const AcadApplicationPtr& application);

} // namespace ardela::cad
