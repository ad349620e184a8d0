// The failure of a call into the drawing host: the automation error code and a readable text.
#pragma once

#include <cstdint>
#include <stdexcept>

#include <QString>

#include "cadlink/ErrorCodes.h"

namespace ardela::cad {

class CadError : public std::runtime_error {
public:
    CadError(std::uint32_t code, const QString& text)
        : std::runtime_error(text.toStdString()), m_code(code) {}
    std::uint32_t Code() const { return m_code; }
    QString Text() const { return QString::fromStdString(what()); }

private:
    std::uint32_t m_code;
};

} // namespace ardela::cad
