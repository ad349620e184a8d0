// The one error type of the drawing engine: a message and the automation result code it maps to.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include <QString>

namespace cadhost {

// Automation result codes the engine and the host report.
inline constexpr std::uint32_t kGenericFailure = 0x80020009u;  // the call failed (exception occurred)
inline constexpr std::uint32_t kInvalidArgument = 0x80070057u; // an argument is out of range
inline constexpr std::uint32_t kInputEnded = 0x80210020u;      // the user ended point input
inline constexpr std::uint32_t kCancelled = 0x80020009u;       // the user cancelled point input
inline constexpr std::uint32_t kDisconnected = 0x80010108u;    // the object is gone (closed document)

class EngineError : public std::runtime_error {
public:
    EngineError(std::uint32_t code, const QString& message);
    explicit EngineError(const QString& message) : EngineError(kGenericFailure, message) {}

    // The automation result code of the failure.
    std::uint32_t Code() const { return m_code; }
    // The message as text the host can show.
    QString Message() const { return QString::fromUtf8(what()); }

private:
    std::uint32_t m_code;
};

} // namespace cadhost
