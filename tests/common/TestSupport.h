// Helpers shared by the test suites: readable QString failures, scoped locales and environment.
#pragma once

#include <ostream>

#include <QByteArray>
#include <QLocale>
#include <QString>

QT_BEGIN_NAMESPACE
void PrintTo(const QString& text, std::ostream* os);
void PrintTo(const QByteArray& bytes, std::ostream* os);
QT_END_NAMESPACE

namespace ardela::test {

// Makes `name` the default locale for the scope (what QLocale::system() users see through
// the routines that read the default), and restores the previous one on exit.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    QLocale m_previous;
};

// Sets an environment variable for the scope and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    QByteArray m_name;
    QByteArray m_old;
    bool m_had;
};

// The folder of the built programs and of the sources (set by the test registration).
QString BinDir();
QString SourceDir();

} // namespace ardela::test
