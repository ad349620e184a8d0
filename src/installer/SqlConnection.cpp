// A scoped SQLite connection under a unique name.
#include "installer/SqlConnection.h"

#include <atomic>

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace ardela::installer {

SqlConnection::SqlConnection(const QString& path, Mode mode)
{
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("ardela-installer-%1").arg(++counter);
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    if (!m_db.isValid())
        return;
    if (mode == Mode::ReadOnly) {
        // SQLite would create a missing file even for reading; a package must already exist.
        if (!QFileInfo(path).isFile())
            return;
        m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    } else {
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    m_db.setDatabaseName(path);
    if (!m_db.open())
        return;
    // Opening succeeds on any file; the first read tells whether it is a database at all.
    QSqlQuery probe(m_db);
    m_open = probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
}

SqlConnection::~SqlConnection()
{
    if (m_db.isOpen())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

QString SqlConnection::ErrorText() const
{
    return m_db.lastError().text();
}

} // namespace ardela::installer
