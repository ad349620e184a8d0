// Helpers shared by the test suites: readable QString failures, scoped locales and environment.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include <QByteArray>
#include <QLocale>
#include <QString>

#include "desktop/modMessage.h"

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

// Records every ShowMessage call for the scope and answers each with a fixed code.
class MessageRecorder {
public:
    struct Message { QString prompt; std::int16_t style; QString title; };
    explicit MessageRecorder(std::int16_t answer = MsgResultOk);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    const std::vector<Message>& Messages() const { return *m_messages; }

private:
    std::shared_ptr<std::vector<Message>> m_messages;
    MessageHandler m_previous;
};

// The folder of the built programs and of the sources (set by the test registration).
QString BinDir();
QString SourceDir();

} // namespace ardela::test
