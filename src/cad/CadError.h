// The failure of a call into the drawing host: the automation error code and a readable text.
#pragma once

#include <cstdint>
#include <stdexcept>

#include <QString>

namespace ardela::cad {

// Automation error codes the link reports; callers compare against these.
enum CadErrorCode : std::uint32_t {
    kInputEnded = 0x80210020u,        // the user ended point input (right click, Enter on nothing)
    kCancelled = 0x80020009u,         // the user cancelled point input (Escape); generic failure
    kDisconnected = 0x80010108u,      // the host or the document behind the handle is gone
    kInvalidArgument = 0x80070057u,   // wrong argument count, type or value
    kMemberNotFound = 0x80020003u,    // no such member on that object
    kKeyNotFound = 0x8002000Bu,       // indexing by name or position found nothing
    kFailed = 0x80004005u,            // the host refused the operation (see the text)
    kMalformedMessage = 0x80020001u,  // the message could not be read
};

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
