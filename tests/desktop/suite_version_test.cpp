// Guards against the suite's programs, windows and package each showing a version of their
// own: the splash (major.minor), About (major.minor.revision) and the batch tool must show the
// version the top-level CMakeLists.txt gives the project.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "desktop/ProgramInfo.h"
#include "desktop/SuiteVersion.h"
#include "desktop/frmAbout.h"
#include "desktop/frmSplash.h"

using namespace ardela;

namespace {

// The version written in the project's own build file.
QStringList ProjectVersion()
{
    QFile file(QStringLiteral(ARDELA_SOURCE_DIR "/CMakeLists.txt"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral(R"(project\(Ardela VERSION (\d+)\.(\d+)\.(\d+))"))
                                          .match(QString::fromUtf8(file.readAll()));
    EXPECT_TRUE(m.hasMatch());
    return {m.captured(1), m.captured(2), m.captured(3)};
}

class SuiteVersionWindows : public ardela::test::WindowTest {};

} // namespace

TEST_F(SuiteVersionWindows, SplashAndAboutShowTheProjectsVersion)
{
    const QStringList v = ProjectVersion();
    ASSERT_EQ(v.size(), 3);
    // A program that set no version of its own, and one that took the suite's.
    for (const bool useSuite : {false, true}) {
        QCoreApplication::setApplicationVersion(QString());
        if (useSuite)
            UseSuiteVersion();
        frmSplash splash(CurrentProgram());
        EXPECT_EQ(splash.lblVersion->text(), "Version " + v[0] + "." + v[1]) << useSuite;
        frmAbout about(CurrentProgram());
        EXPECT_EQ(about.lblVersion->text(), "Version " + v.join('.')) << useSuite;
    }
    EXPECT_EQ(QCoreApplication::applicationVersion(), v.join('.'));
    EXPECT_EQ(SuiteVersion(), v.join('.'));
}
