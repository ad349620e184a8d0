// The one GoogleTest main: a headless QApplication around every suite.
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Each test executable's own variables (ardela_add_test ENV), ending with nullptr.
extern const char* const kTestEnvironment[];

int main(int argc, char** argv)
{
    for (const char* const* entry = kTestEnvironment; *entry; ++entry)
        putenv(const_cast<char*>(*entry));
    // gtest_discover_tests runs the binary without the test's environment: default to offscreen.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No test reads or writes the user's own settings or data: private XDG folders per run.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/ardela-test-XXXXXX"));
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString dir = home.path() + u'/' + QString::fromLatin1(var);
        QDir().mkpath(dir);
        qputenv(var, dir.toLocal8Bit());
    }
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
