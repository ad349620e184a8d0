// Helpers shared by the test suites.
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>

QT_BEGIN_NAMESPACE
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << "bytes[" << bytes.size() << "] " << bytes.toHex(' ').left(200).toStdString();
}
QT_END_NAMESPACE

namespace ardela::test {

ScopedLocale::ScopedLocale(const char* name)
    : m_previous(QLocale())
{
    QLocale::setDefault(QLocale(QString::fromLatin1(name)));
}

ScopedLocale::~ScopedLocale()
{
    QLocale::setDefault(m_previous);
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
{
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv()
{
    if (m_had)
        qputenv(m_name.constData(), m_old);
    else
        qunsetenv(m_name.constData());
}

QString BinDir()
{
    const QString fromEnv = qEnvironmentVariable("ARDELA_BIN_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(ARDELA_DEFAULT_BIN_DIR) : fromEnv;
}

QString SourceDir()
{
    const QString fromEnv = qEnvironmentVariable("ARDELA_SOURCE_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(ARDELA_DEFAULT_SOURCE_DIR) : fromEnv;
}

MessageRecorder::MessageRecorder(std::int16_t answer)
    : m_messages(std::make_shared<std::vector<Message>>())
{
    auto messages = m_messages;
    m_previous = SetMessageHandler([messages, answer](const QString& prompt, std::int16_t style, const QString& title) {
        messages->push_back({prompt, style, title});
        return answer;
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageHandler(m_previous);
}

} // namespace ardela::test
