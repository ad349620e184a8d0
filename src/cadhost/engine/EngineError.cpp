// The engine's error type.
#include "cadhost/engine/EngineError.h"

namespace cadhost {

EngineError::EngineError(std::uint32_t code, const QString& message)
    : std::runtime_error(message.toStdString()), m_code(code)
{
}

} // namespace cadhost
