// The one error type of the drawing engine: what kind of failure it is and a message naming it.
#pragma once

#include <stdexcept>

#include <QString>

namespace cadhost {

// The kinds of failure the engine tells apart.
enum class ErrorKind {
    Refused,           // the operation cannot be done on this drawing as it is (the message says why)
    InvalidArgument,   // an argument is out of range or not a number
    Gone,              // the document it names is closed
    Deleted,           // the entity, layer or selection set it names has been erased or deleted
};

class EngineError : public std::runtime_error {
public:
    EngineError(ErrorKind kind, const QString& message);
    explicit EngineError(const QString& message) : EngineError(ErrorKind::Refused, message) {}

    ErrorKind Kind() const { return m_kind; }
    // The message as text the host can show.
    QString Message() const { return QString::fromUtf8(what()); }

private:
    ErrorKind m_kind;
};

} // namespace cadhost
