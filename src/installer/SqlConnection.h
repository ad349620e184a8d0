// A scoped SQLite connection under a unique name, removed from Qt's connection list on exit.
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace ardela::installer {

class SqlConnection {
public:
    enum class Mode { ReadOnly, ReadWrite };
    // Opens `path`; IsOpen() tells whether it worked. A read-only open never creates the file.
    SqlConnection(const QString& path, Mode mode);
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    bool IsOpen() const { return m_open; }
    QSqlDatabase& Db() { return m_db; }
    // The driver's last error text, for messages.
    QString ErrorText() const;

private:
    QString m_name;
    QSqlDatabase m_db;
    bool m_open = false;
};

} // namespace ardela::installer
