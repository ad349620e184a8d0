// The engine's error type.
#include "cadhost/engine/EngineError.h"

namespace cadhost {

EngineError::EngineError(ErrorKind kind, const QString& message)
    : std::runtime_error(message.toStdString()), m_kind(kind)
{
}

} // namespace cadhost
