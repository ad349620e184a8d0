// Helpers of the installer suites: a private home, packages laid out by hand with Python's
// sqlite3, and a watcher that answers the installer's error windows.
#pragma once

#include <functional>
#include <memory>

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include "support/TestSupport.h"

namespace ardela::test {

// Product and upgrade codes of the hand-made releases.
inline const QString kSuiteUpgrade = QStringLiteral("{C4D7D203-D522-4426-B525-A0CB8338FEB5}");
inline const QString kOtherUpgrade = QStringLiteral("{0F0F0F0F-1234-5678-9ABC-DEF012345678}");
inline const QString kReleaseA = QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000001}");
inline const QString kReleaseB = QStringLiteral("{BBBBBBBB-0000-0000-0000-000000000002}");
inline const QString kReleaseC = QStringLiteral("{CCCCCCCC-0000-0000-0000-000000000003}");
inline const QString kReleaseNew = QStringLiteral("{DDDDDDDD-0000-0000-0000-000000000004}");

struct TestFile {
    QString path;
    int mode;
    QString text;
};

// The five properties of a release.
QMap<QString, QString> ReleaseProperties(const QString& productCode, const QString& upgradeCode, const QString& version);

// Writes a package at `path` with Python's sqlite3.
void LayPackage(const QString& path, const QMap<QString, QString>& properties, const QList<TestFile>& files);
// Writes a file that is not a database at all.
void LayGarbage(const QString& path);
// Reads a package with Python's sqlite3 (see read_package.py for the shape).
QJsonObject ReadPackageWithPython(const QString& path);
// Runs /usr/bin/python3 with `args`, feeding `input`; returns standard output, fails the test otherwise.
QByteArray RunPython(const QStringList& args, const QByteArray& input = {});

// Answers every installer error window that opens while it lives, remembering the texts.
class ErrorWindowWatcher : public QObject {
public:
    ErrorWindowWatcher();
    const QStringList& Texts() const { return m_texts; }
    void Clear();
    // Called with each text just before the window is answered.
    std::function<void(const QString&)> onError;

private:
    void Poll();
    QTimer m_timer;
    QStringList m_texts;
};

// A private home for one test: HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and the install folder
// point into a temporary folder; the current folder is that temporary folder. The installer
// layer's level is None (no windows) and its observer empty until a test sets them.
class PrivateHome {
public:
    PrivateHome();
    ~PrivateHome();
    QString Root() const { return m_dir.path(); }
    QString DataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString InstallDir() const { return m_dir.path() + QStringLiteral("/programs/Ardela"); }
    QString Path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    // Answers every installer error window of the test (none is ever left waiting).
    ErrorWindowWatcher& Watcher() { return *m_watcher; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ErrorWindowWatcher> m_watcher;
    QString m_oldCurrent;
    std::unique_ptr<ScopedEnv> m_home, m_data, m_config, m_install;
};

// True when `path` exists (as anything).
bool Exists(const QString& path);
QByteArray ReadAll(const QString& path);

} // namespace ardela::test
