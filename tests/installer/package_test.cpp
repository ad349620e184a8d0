// Guards the suite's package against: a payload that differs from the staged tree (paths,
// modes, contents), a product code reused between builds, a wrong upgrade code, an empty or
// missing staged tree written as a package, a build package that lacks a program or carries
// Setup or the tests, and a package that installs programs that do not start.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include "installer/InstallerLayer.h"
#include "support/InstallerTestSupport.h"
#include "installer/frmSetup.h"

using namespace ardela::installer;
using namespace ardela::test;

namespace {

void WriteFile(const QString& path, const QByteArray& data, QFile::Permissions permissions)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    ASSERT_TRUE(f.setPermissions(permissions));
}

struct RunResult {
    int exitCode = -1;
    QString out;
    QString err;
};

RunResult RunProgram(const QString& program, const QStringList& args, int timeoutMs = 120000)
{
    QProcess p;
    p.start(program, args);
    RunResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not finish: ") + program;
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString Sha256(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

constexpr QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                           | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
constexpr QFile::Permissions kPlain = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;

} // namespace

TEST(PackageWriter, CarriesTheStagedTreeWithAFreshProductCodeEachTime)
{
    PrivateHome home;
    const QString stage = home.Path("stage");
    const QByteArray tool = "#!/bin/sh\necho staged tool\n";
    const QByteArray text = "plain text, not executable\n";
    const QByteArray deep = QByteArray(70000, '\x01') + QByteArray("\0end", 4);
    WriteFile(stage + "/bin/tool", tool, kExecutable);
    WriteFile(stage + "/share/ardela/notes.txt", text, kPlain);
    WriteFile(stage + "/share/ardela/deep/er/blob.bin", deep, kPlain);

    const RunResult first = RunProgram(ARDELA_MAKEPACKAGE, {stage, home.Path("first.msi"), "3.1.4"});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const RunResult second = RunProgram(ARDELA_MAKEPACKAGE, {stage, home.Path("second.msi"), "3.1.4"});
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();

    const QJsonObject a = ReadPackageWithPython(home.Path("first.msi"));
    const QJsonObject b = ReadPackageWithPython(home.Path("second.msi"));
    const QJsonObject props = a["properties"].toObject();
    EXPECT_EQ(props["UpgradeCode"].toString(), "{C4D7D203-D522-4426-B525-A0CB8338FEB5}");
    EXPECT_EQ(props["ProductVersion"].toString(), "3.1.4");
    EXPECT_EQ(props["ProductName"].toString(), "Ardela");
    EXPECT_FALSE(props["Manufacturer"].toString().isEmpty());
    const QRegularExpression guid("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$");
    EXPECT_TRUE(guid.match(props["ProductCode"].toString()).hasMatch()) << props["ProductCode"].toString().toStdString();
    EXPECT_NE(props["ProductCode"].toString(), b["properties"].toObject()["ProductCode"].toString());
    EXPECT_EQ(b["properties"].toObject()["UpgradeCode"], props["UpgradeCode"]);

    const QJsonObject files = a["files"].toObject();
    EXPECT_EQ(files.keys(), (QStringList{"bin/tool", "share/ardela/deep/er/blob.bin", "share/ardela/notes.txt"}));
    EXPECT_EQ(files["bin/tool"].toObject()["mode"].toInt(), 0755);
    EXPECT_EQ(files["share/ardela/notes.txt"].toObject()["mode"].toInt(), 0644);
    EXPECT_EQ(files["bin/tool"].toObject()["sha256"].toString(), Sha256(tool));
    EXPECT_EQ(files["share/ardela/notes.txt"].toObject()["sha256"].toString(), Sha256(text));
    EXPECT_EQ(files["share/ardela/deep/er/blob.bin"].toObject()["size"].toInt(), deep.size());
    EXPECT_EQ(files["share/ardela/deep/er/blob.bin"].toObject()["sha256"].toString(), Sha256(deep));

    // The package carries the hash of every payload file as it was staged.
    const QJsonObject hashes = a["hashes"].toObject();
    EXPECT_EQ(hashes.keys(), files.keys());
    EXPECT_EQ(hashes["bin/tool"].toString(), Sha256(tool));
    EXPECT_EQ(hashes["share/ardela/deep/er/blob.bin"].toString(), Sha256(deep));
}

TEST(PackageWriter, RefusesAnEmptyOrMissingStageAndKeepsTheOldPackage)
{
    PrivateHome home;
    QDir().mkpath(home.Path("empty"));
    WriteFile(home.Path("Ardela.msi"), "the previous package", kPlain);
    for (const QString& stage : {home.Path("empty"), home.Path("missing")}) {
        const RunResult r = RunProgram(ARDELA_MAKEPACKAGE, {stage, home.Path("Ardela.msi"), "1.0"});
        EXPECT_EQ(r.exitCode, 1) << stage.toStdString();
        EXPECT_TRUE(r.err.contains(stage)) << r.err.toStdString();
        EXPECT_EQ(ReadAll(home.Path("Ardela.msi")), "the previous package");
    }
    EXPECT_EQ(QDir(home.Root()).entryList(QDir::Files | QDir::Hidden), QStringList{"Ardela.msi"}) << "no half-written files";
    EXPECT_EQ(RunProgram(ARDELA_MAKEPACKAGE, {}).exitCode, 2);
}

TEST(SuitePackage, BuildPackageCarriesEveryProgramInstallsWithSetupAndItsProgramsStart)
{
    PrivateHome home;
    const QString out = home.Path("package");
    const RunResult build = RunProgram(ARDELA_CMAKE_COMMAND,
        {"-DBUILD_DIR=" ARDELA_BUILD_DIR, "-DOUT_DIR=" + out, "-DMAKEPACKAGE=" ARDELA_MAKEPACKAGE,
         "-DSETUP=" ARDELA_SETUP, "-DVERSION=" ARDELA_VERSION, "-P", ARDELA_PACKAGE_SCRIPT}, 600000);
    ASSERT_EQ(build.exitCode, 0) << build.out.toStdString() << build.err.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"Ardela.msi", "Setup"}));
    EXPECT_TRUE(QFileInfo(out + "/Setup").isExecutable());

    // Every program the build makes is in the package (with its data files beside it: help
    // topics, the line type file); no other program of the build's bin folder is.
    const QJsonObject files = ReadPackageWithPython(out + "/Ardela.msi")["files"].toObject();
    const QStringList programs = {"ardela", "cadhost", "stress", "korrin", "vendel"};
    const QString bin = QString::fromUtf8(ARDELA_BUILD_DIR) + "/bin/";
    ASSERT_TRUE(QFileInfo::exists(bin + "ardela"));
    for (const QString& program : programs) {
        if (QFileInfo::exists(bin + program)) {
            EXPECT_TRUE(files.contains("bin/" + program)) << program.toStdString();
        }
    }
    for (const QString& path : files.keys()) {
        const bool executable = files[path].toObject()["mode"].toInt() & 0111;
        if (path.startsWith("bin/") && executable) {
            EXPECT_TRUE(programs.contains(path.mid(4))) << "unexpected program in the package: " << path.toStdString();
        }
    }
    EXPECT_TRUE(files.contains("bin/help/Korrin/1000.html"));
    EXPECT_TRUE(files.contains("bin/acad.lin"));
    EXPECT_EQ(ReadPackageWithPython(out + "/Ardela.msi")["properties"].toObject()["ProductVersion"].toString(), ARDELA_VERSION);

    // Installed through the dialog, as a user would, from the package's folder.
    QDir::setCurrent(out);
    SetInternalUI(InstallUiLevel::Basic, nullptr);
    frmSetup dialog;
    dialog.show();
    QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);
    EXPECT_TRUE(home.Watcher().Texts().isEmpty()) << home.Watcher().Texts().join("\n").toStdString();
    EXPECT_EQ(dialog.GetDlgItemText(frmSetup::kIdText), frmSetup::kFinishedText);

    // One version for the suite: the package's ProductVersion is what the installed batch tool says.
    const RunResult version = RunProgram(home.InstallDir() + "/bin/ardela", {"--version"});
    EXPECT_EQ(version.out, "ardela " + ReadPackageWithPython(out + "/Ardela.msi")["properties"].toObject()["ProductVersion"].toString() + "\n");
    const RunResult help = RunProgram(home.InstallDir() + "/bin/ardela", {"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith("usage: ardela")) << help.out.toStdString();
    for (const char* wizard : {"korrin", "vendel"}) {
        const QString entry = home.DataHome() + "/applications/ardela-" + wizard + ".desktop";
        EXPECT_EQ(QFileInfo::exists(entry), files.contains(QStringLiteral("bin/") + wizard)) << wizard;
    }

    // The Setup beside the package starts and waits for the user.
    QProcess setup;
    setup.setWorkingDirectory(out);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    setup.setProcessEnvironment(env);
    setup.start(out + "/Setup", {});
    ASSERT_TRUE(setup.waitForStarted(30000));
    EXPECT_FALSE(setup.waitForFinished(1500)) << "Setup ended by itself: " << setup.readAllStandardError().toStdString();
    setup.kill();
    setup.waitForFinished(30000);

    // A second build of the package is a new release that replaces the first.
    QString first;
    ASSERT_EQ(EnumRelatedProducts(kSuiteUpgrade, 0, 0, &first), kSuccess);
    const RunResult rebuild = RunProgram(ARDELA_CMAKE_COMMAND,
        {"-DBUILD_DIR=" ARDELA_BUILD_DIR, "-DOUT_DIR=" + out, "-DMAKEPACKAGE=" ARDELA_MAKEPACKAGE,
         "-DSETUP=" ARDELA_SETUP, "-DVERSION=" ARDELA_VERSION, "-P", ARDELA_PACKAGE_SCRIPT}, 600000);
    ASSERT_EQ(rebuild.exitCode, 0) << rebuild.err.toStdString();
    frmSetup again;
    again.show();
    QTest::mouseClick(again.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);
    QString only, none;
    ASSERT_EQ(EnumRelatedProducts(kSuiteUpgrade, 0, 0, &only), kSuccess);
    EXPECT_NE(only, first);
    EXPECT_EQ(EnumRelatedProducts(kSuiteUpgrade, 0, 1, &none), kErrorNoMoreItems);
    EXPECT_EQ(RunProgram(home.InstallDir() + "/bin/ardela", {"--help"}).exitCode, 0);
    dialog.hide();
    again.hide();
}
