// Helpers of the installer suites.
#include "support/InstallerTestSupport.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include <gtest/gtest.h>

#include "installer/InstallerLayer.h"

namespace ardela::test {

QMap<QString, QString> ReleaseProperties(const QString& productCode, const QString& upgradeCode, const QString& version)
{
    return {{QStringLiteral("ProductCode"), productCode},
            {QStringLiteral("UpgradeCode"), upgradeCode},
            {QStringLiteral("ProductName"), QStringLiteral("Ardela")},
            {QStringLiteral("ProductVersion"), version},
            {QStringLiteral("Manufacturer"), QStringLiteral("Merovan")}};
}

QByteArray RunPython(const QStringList& args, const QByteArray& input)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), args);
    if (!python.waitForStarted(30000)) {
        ADD_FAILURE() << "/usr/bin/python3 does not start";
        return {};
    }
    python.write(input);
    python.closeWriteChannel();
    python.waitForFinished(60000);
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return python.readAllStandardOutput();
}

static QString Script(const char* name)
{
    return QStringLiteral(ARDELA_INSTALLER_TEST_DIR "/") + QLatin1String(name);
}

void LayPackage(const QString& path, const QMap<QString, QString>& properties, const QList<TestFile>& files)
{
    QJsonObject props;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        props.insert(it.key(), it.value());
    QJsonArray list;
    for (const TestFile& f : files)
        list.append(QJsonObject{{"path", f.path}, {"mode", f.mode}, {"text", f.text}});
    const QJsonObject layout{{"path", path}, {"properties", props}, {"files", list}};
    RunPython({Script("make_package.py")}, QJsonDocument(layout).toJson());
}

void LayGarbage(const QString& path)
{
    RunPython({Script("make_package.py")}, QJsonDocument(QJsonObject{{"path", path}, {"garbage", true}}).toJson());
}

QJsonObject ReadPackageWithPython(const QString& path)
{
    return QJsonDocument::fromJson(RunPython({Script("read_package.py"), path})).object();
}

PrivateHome::PrivateHome()
    : m_oldCurrent(QDir::currentPath())
{
    EXPECT_TRUE(m_dir.isValid());
    QDir().mkpath(DataHome());
    QDir().mkpath(Path(QStringLiteral("config")));
    m_home = std::make_unique<ScopedEnv>("HOME", m_dir.path().toUtf8());
    m_data = std::make_unique<ScopedEnv>("XDG_DATA_HOME", DataHome().toUtf8());
    m_config = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", Path(QStringLiteral("config")).toUtf8());
    m_install = std::make_unique<ScopedEnv>("ARDELA_INSTALL_DIR", InstallDir().toUtf8());
    QDir::setCurrent(m_dir.path());
    installer::SetInternalUI(installer::InstallUiLevel::None, nullptr);
    installer::SetInstallerObserver({});
    m_watcher = std::make_unique<ErrorWindowWatcher>();
}

PrivateHome::~PrivateHome()
{
    installer::SetInstallerObserver({});
    installer::SetInternalUI(installer::InstallUiLevel::Basic, nullptr);
    QDir::setCurrent(m_oldCurrent);
}

ErrorWindowWatcher::ErrorWindowWatcher()
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &ErrorWindowWatcher::Poll);
    m_timer.start();
}

void ErrorWindowWatcher::Clear()
{
    m_texts.clear();
}

void ErrorWindowWatcher::Poll()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible() || box->objectName() != QLatin1String("InstallerErrorWindow"))
            continue;
        m_texts.append(box->text());
        if (m_texts.size() > 25) {
            // The same error over and over: a loop that never ends. Stop the test process.
            std::fprintf(stderr, "installer error windows keep coming (last: %s): runaway loop\n", qPrintable(box->text()));
            std::_Exit(3);
        }
        if (onError)
            onError(box->text());
        box->button(QMessageBox::Ok)->click();
    }
}

bool Exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace ardela::test
