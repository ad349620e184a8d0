// The one exception type the engines throw for bad input; it names what is wrong.
#pragma once

#include <stdexcept>

#include <QString>

namespace ardela {

class ModelError : public std::runtime_error {
public:
    explicit ModelError(const QString& what)
        : std::runtime_error(what.toStdString()) {}
    QString Text() const { return QString::fromStdString(what()); }
};

} // namespace ardela
