// Guards the installer layer against: the upgrade-code query not running verbatim on a package,
// wrong buffer lengths, leaked handles, a missing or damaged package read as valid, payload
// paths escaping the install folder, an installation that leaves files behind on failure or
// cancel, a removal that takes more (or less) than was recorded, and broken desktop entries.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

#include "installer/InstallEngine.h"
#include "installer/InstallerLayer.h"
#include "support/InstallerTestSupport.h"
#include "installer/InstallerWindows.h"

using namespace ardela::installer;
using namespace ardela::test;

namespace {

const QString kQuery = QStringLiteral("SELECT * FROM Property WHERE Property='UpgradeCode'");

QList<TestFile> SuitePayload(const QString& version)
{
    return {{"bin/ardela", 0755, "#!/bin/sh\necho ardela " + version + "\n"},
            {"bin/korrin", 0755, "#!/bin/sh\necho korrin\n"},
            {"bin/vendel", 0755, "#!/bin/sh\necho vendel\n"},
            {"share/ardela/readme.txt", 0644, "release " + version + "\n"}};
}

QStringList Related(const QString& upgradeCode)
{
    QStringList codes;
    QString code;
    for (unsigned i = 0; EnumRelatedProducts(upgradeCode, 0, i, &code) == kSuccess; ++i)
        codes.append(code);
    return codes;
}

QString LocalPackage(const QString& productCode)
{
    QString path;
    unsigned length = 1024;
    EXPECT_EQ(GetProductInfo(productCode, QStringLiteral("LocalPackage"), &path, &length), kSuccess);
    return path;
}

} // namespace

TEST(InstallerPackageQuery, UpgradeCodeQueryRunsVerbatimOnAHandLaidPackage)
{
    PrivateHome home;
    const QString package = home.Path("Ardela.msi");
    LayPackage(package, ReleaseProperties(kReleaseA, kSuiteUpgrade, "1.0"), SuitePayload("1.0"));
    const int handlesBefore = OpenHandleCount();

    InstallerHandle db = 0, view = 0, record = 0;
    ASSERT_EQ(OpenDatabase(QStringLiteral("Ardela.msi"), DatabaseMode::ReadOnly, &db), kSuccess);
    ASSERT_EQ(DatabaseOpenView(db, kQuery, &view), kSuccess);
    ASSERT_EQ(ViewExecute(view, 0), kSuccess);
    ASSERT_EQ(ViewFetch(view, &record), kSuccess);

    QString value;
    unsigned length = 256;
    EXPECT_EQ(RecordGetString(record, 1, &value, &length), kSuccess);
    EXPECT_EQ(value, "UpgradeCode");
    length = 256;
    EXPECT_EQ(RecordGetString(record, 2, &value, &length), kSuccess);
    EXPECT_EQ(value, kSuiteUpgrade);
    EXPECT_EQ(length, 38u);
    EXPECT_EQ(RecordGetString(record, 3, &value, &length), kErrorInvalidParameter);

    // A buffer of 38 characters has no room for the terminator: what fits, and the full length.
    length = 38;
    EXPECT_EQ(RecordGetString(record, 2, &value, &length), kErrorMoreData);
    EXPECT_EQ(length, 38u);
    EXPECT_EQ(value, kSuiteUpgrade.left(37));

    InstallerHandle second = 0;
    EXPECT_EQ(ViewFetch(view, &second), kErrorNoMoreItems);
    EXPECT_EQ(ViewClose(view), kSuccess);
    for (InstallerHandle h : {record, view, db})
        EXPECT_EQ(CloseHandle(h), kSuccess);
    EXPECT_EQ(CloseHandle(db), kErrorInvalidHandle);
    EXPECT_EQ(OpenHandleCount(), handlesBefore);
}

TEST(InstallerPackageQuery, MissingDamagedAndTablelessPackagesFailAtTheirOwnStep)
{
    PrivateHome home;
    InstallerHandle db = 0, view = 0;
    EXPECT_EQ(OpenDatabase(home.Path("Ardela.msi"), DatabaseMode::ReadOnly, &db), kErrorOpenFailed);
    EXPECT_FALSE(Exists(home.Path("Ardela.msi"))) << "a read-only open must not create the package";

    LayGarbage(home.Path("garbage.msi"));
    EXPECT_EQ(OpenDatabase(home.Path("garbage.msi"), DatabaseMode::ReadOnly, &db), kErrorOpenFailed);

    // A database without a Property table opens, but the view on it cannot be prepared.
    RunPython({QStringLiteral("-c"), QStringLiteral("import sqlite3; c = sqlite3.connect('%1'); "
                                                    "c.execute('CREATE TABLE Other (x)'); c.commit()").arg(home.Path("empty.msi"))});
    ASSERT_EQ(OpenDatabase(home.Path("empty.msi"), DatabaseMode::ReadOnly, &db), kSuccess);
    EXPECT_EQ(DatabaseOpenView(db, kQuery, &view), kErrorBadQuerySyntax);
    EXPECT_EQ(CloseHandle(db), kSuccess);

    // A package without an upgrade code: the view runs and has no row.
    QMap<QString, QString> props = ReleaseProperties(kReleaseA, kSuiteUpgrade, "1.0");
    props.remove("UpgradeCode");
    LayPackage(home.Path("noupgrade.msi"), props, {});
    InstallerHandle record = 0;
    ASSERT_EQ(OpenDatabase(home.Path("noupgrade.msi"), DatabaseMode::ReadOnly, &db), kSuccess);
    ASSERT_EQ(DatabaseOpenView(db, kQuery, &view), kSuccess);
    ASSERT_EQ(ViewExecute(view, 0), kSuccess);
    EXPECT_EQ(ViewFetch(view, &record), kErrorNoMoreItems);
    CloseHandle(view);
    CloseHandle(db);
}

TEST(InstallerInstall, InstallsPayloadCachesPackageRegistersEntriesAndRemovesExactlyThat)
{
    PrivateHome home;
    const QString package = home.Path("Ardela.msi");
    LayPackage(package, ReleaseProperties(kReleaseA, kSuiteUpgrade, "1.0"), SuitePayload("1.0"));
    EXPECT_EQ(Related(kSuiteUpgrade), QStringList());

    ASSERT_EQ(InstallProduct(QStringLiteral("Ardela.msi"), QString()), kSuccess);

    const QString bin = home.InstallDir() + "/bin/ardela";
    EXPECT_EQ(ReadAll(bin), "#!/bin/sh\necho ardela 1.0\n");
    EXPECT_TRUE(QFileInfo(bin).isExecutable());
    EXPECT_FALSE(QFileInfo(home.InstallDir() + "/share/ardela/readme.txt").isExecutable());
    QProcess run;
    run.start(bin, {});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.readAllStandardOutput(), "ardela 1.0\n");

    EXPECT_EQ(Related(kSuiteUpgrade), QStringList{kReleaseA});
    EXPECT_EQ(Related(kOtherUpgrade), QStringList());
    const QString cached = LocalPackage(kReleaseA);
    EXPECT_TRUE(cached.startsWith(home.DataHome() + "/")) << cached.toStdString();
    EXPECT_EQ(ReadAll(cached), ReadAll(package));

    const QString korrinEntry = home.DataHome() + "/applications/ardela-korrin.desktop";
    const QString vendelEntry = home.DataHome() + "/applications/ardela-vendel.desktop";
    EXPECT_TRUE(ReadAll(korrinEntry).contains("\nExec=\"" + home.InstallDir().toUtf8() + "/bin/korrin\"\n"));
    EXPECT_TRUE(ReadAll(vendelEntry).contains("\nName=Vendel\n"));

    // Something of the user's in the install folder is not the installer's to remove.
    QFile mine(home.InstallDir() + "/share/notes.txt");
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("mine");
    mine.close();

    // The package the user started from may be gone: removal works from the cached one.
    QFile::remove(package);
    ASSERT_EQ(InstallProduct(cached, QStringLiteral("REMOVE=ALL")), kSuccess);
    EXPECT_EQ(Related(kSuiteUpgrade), QStringList());
    for (const QString& gone : {bin, home.InstallDir() + "/bin", home.InstallDir() + "/share/ardela",
                                 korrinEntry, vendelEntry, cached})
        EXPECT_FALSE(Exists(gone)) << gone.toStdString();
    EXPECT_EQ(ReadAll(home.InstallDir() + "/share/notes.txt"), "mine");

    // Removing what is no longer installed is an error, not a silent success.
    QString info;
    unsigned length = 256;
    EXPECT_EQ(GetProductInfo(kReleaseA, QStringLiteral("LocalPackage"), &info, &length), kErrorUnknownProduct);
    LayPackage(package, ReleaseProperties(kReleaseA, kSuiteUpgrade, "1.0"), SuitePayload("1.0"));
    EXPECT_EQ(InstallProduct(package, QStringLiteral("REMOVE=ALL")), kErrorUnknownProduct);
}

TEST(InstallerInstall, RemovingOneReleaseKeepsFilesAnotherReleaseStillOwns)
{
    PrivateHome home;
    LayPackage(home.Path("a.msi"), ReleaseProperties(kReleaseA, kSuiteUpgrade, "1.0"), SuitePayload("1.0"));
    LayPackage(home.Path("c.msi"), ReleaseProperties(kReleaseC, kOtherUpgrade, "7.0"),
               {{"bin/ardela", 0755, "#!/bin/sh\necho other\n"}, {"bin/only-c", 0755, "c"}});
    ASSERT_EQ(InstallProduct(home.Path("a.msi"), QString()), kSuccess);
    ASSERT_EQ(InstallProduct(home.Path("c.msi"), QString()), kSuccess);
    EXPECT_EQ(Related(kSuiteUpgrade), QStringList{kReleaseA});
    EXPECT_EQ(Related(kOtherUpgrade), QStringList{kReleaseC});

    ASSERT_EQ(InstallProduct(LocalPackage(kReleaseA), QStringLiteral("remove=all")), kSuccess);
    EXPECT_EQ(ReadAll(home.InstallDir() + "/bin/ardela"), "#!/bin/sh\necho other\n");
    EXPECT_TRUE(Exists(home.InstallDir() + "/bin/only-c"));
    EXPECT_FALSE(Exists(home.InstallDir() + "/bin/korrin"));
    EXPECT_EQ(Related(kOtherUpgrade), QStringList{kReleaseC});
}

TEST(InstallerInstall, InstallingTheSameReleaseAgainRepairsItUnderOneRecord)
{
    PrivateHome home;
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseA, kSuiteUpgrade, "1.0"), SuitePayload("1.0"));
    ASSERT_EQ(InstallProduct(home.Path("Ardela.msi"), QString()), kSuccess);
    ASSERT_TRUE(QFile::remove(home.InstallDir() + "/bin/ardela"));
    // Again from the cached package itself, which is then both the source and the cache.
    ASSERT_EQ(InstallProduct(LocalPackage(kReleaseA), QString()), kSuccess);
    EXPECT_EQ(ReadAll(home.InstallDir() + "/bin/ardela"), "#!/bin/sh\necho ardela 1.0\n");
    EXPECT_EQ(ReadAll(LocalPackage(kReleaseA)), ReadAll(home.Path("Ardela.msi")));
    EXPECT_EQ(Related(kSuiteUpgrade), QStringList{kReleaseA});
    ASSERT_EQ(InstallProduct(LocalPackage(kReleaseA), QStringLiteral("REMOVE=ALL")), kSuccess);
    EXPECT_FALSE(Exists(home.InstallDir()));
    EXPECT_FALSE(Exists(home.DataHome() + "/Ardela/Installer/Cache"));
}

TEST(InstallerInstall, UnwritablePayloadRollsBackToTheEarlierRelease)
{
    PrivateHome home;
    LayPackage(home.Path("old.msi"), ReleaseProperties(kReleaseA, kSuiteUpgrade, "1.0"), SuitePayload("1.0"));
    ASSERT_EQ(InstallProduct(home.Path("old.msi"), QString()), kSuccess);
    // A folder where the new release wants a file: its payload cannot be written there.
    ASSERT_TRUE(QDir().mkpath(home.InstallDir() + "/share/ardela/zz-blocked"));
    QList<TestFile> payload = SuitePayload("2.0");
    payload.append({"bin/newtool", 0755, "new"});
    payload.append({"share/ardela/zz-blocked", 0644, "cannot land"});
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), payload);

    SetInternalUI(InstallUiLevel::Full, nullptr);
    ErrorWindowWatcher& watcher = home.Watcher();
    EXPECT_EQ(InstallProduct(QStringLiteral("Ardela.msi"), QString()), kErrorInstallFailure);

    ASSERT_EQ(watcher.Texts().size(), 1);
    EXPECT_TRUE(watcher.Texts()[0].contains("zz-blocked")) << watcher.Texts()[0].toStdString();
    EXPECT_EQ(ReadAll(home.InstallDir() + "/bin/ardela"), "#!/bin/sh\necho ardela 1.0\n");
    EXPECT_EQ(ReadAll(home.InstallDir() + "/share/ardela/readme.txt"), "release 1.0\n");
    EXPECT_FALSE(Exists(home.InstallDir() + "/bin/newtool"));
    EXPECT_EQ(Related(kSuiteUpgrade), QStringList{kReleaseA});
    EXPECT_EQ(QDir(home.DataHome() + "/Ardela/Installer/Cache").entryList(QDir::Files), QStringList{kReleaseA + ".msi"});
    const QStringList leftovers = QDir(home.InstallDir() + "/bin").entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(leftovers, (QStringList{"ardela", "korrin", "vendel"}));
}

TEST(InstallerInstall, CancelInTheProgressWindowLeavesNothingInstalled)
{
    PrivateHome home;
    QList<TestFile> payload;
    for (int i = 0; i < 40; ++i)
        payload.append({QStringLiteral("share/ardela/part%1.txt").arg(i, 2, 10, QLatin1Char('0')), 0644, "x"});
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), payload);
    SetInternalUI(InstallUiLevel::Full, nullptr);
    bool clicked = false;
    SetInstallerObserver([&](InstallerEvent event, const QString&) {
        if (event != InstallerEvent::ActionStart)
            return;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == "InstallProgressWindow" && w->isVisible()) {
                    EXPECT_EQ(w->windowTitle(), "Ardela");
                    EXPECT_EQ(w->findChild<QLabel*>()->text(), "Copying new files");
                    w->findChild<QPushButton*>()->click();
                    clicked = true;
                }
            }
        });
    });
    ErrorWindowWatcher& watcher = home.Watcher();
    EXPECT_EQ(InstallProduct(QStringLiteral("Ardela.msi"), QString()), kErrorInstallUserExit);
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(watcher.Texts().isEmpty()) << "a cancel is not an error";
    EXPECT_FALSE(Exists(home.InstallDir()));
    EXPECT_EQ(Related(kSuiteUpgrade), QStringList());
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
}

TEST(InstallerInstall, UnsafeOrIncompletePackagesAreRefusedBeforeAnythingIsWritten)
{
    PrivateHome home;
    const QList<QList<TestFile>> unsafePayloads = {
        {{"../escaped.txt", 0644, "x"}},
        {{"/tmp/absolute.txt", 0644, "x"}},
        {{"bin/./ardela", 0755, "x"}},
        {{"bin/ok", 0755, "x"}, {"bin/../../escaped.txt", 0644, "x"}},
    };
    SetInternalUI(InstallUiLevel::Full, nullptr);
    for (const QList<TestFile>& payload : unsafePayloads) {
        LayPackage(home.Path("bad.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), payload);
        ErrorWindowWatcher& watcher = home.Watcher();
        watcher.Clear();
        EXPECT_EQ(InstallProduct(home.Path("bad.msi"), QString()), kErrorPackageInvalid) << payload.last().path.toStdString();
        EXPECT_EQ(watcher.Texts().size(), 1);
    }
    QMap<QString, QString> props = ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0");
    props["ProductCode"] = "not-a-code";
    LayPackage(home.Path("bad.msi"), props, SuitePayload("2.0"));
    home.Watcher().Clear();
    EXPECT_EQ(InstallProduct(home.Path("bad.msi"), QString()), kErrorPackageInvalid);
    EXPECT_EQ(home.Watcher().Texts().size(), 1);
    LayGarbage(home.Path("garbage.msi"));
    {
        ErrorWindowWatcher& watcher = home.Watcher();
        watcher.Clear();
        EXPECT_EQ(InstallProduct(home.Path("garbage.msi"), QString()), kErrorPackageOpenFailed);
        ASSERT_EQ(watcher.Texts().size(), 1);
        EXPECT_TRUE(watcher.Texts()[0].contains("could not be opened"));
    }
    EXPECT_FALSE(Exists(home.InstallDir()));
    EXPECT_FALSE(Exists(home.Root() + "/escaped.txt"));
    EXPECT_FALSE(Exists(home.Path("programs/escaped.txt")));
    EXPECT_EQ(Related(kSuiteUpgrade), QStringList());
}

TEST(InstallerInstall, DamagedProductsDatabaseFailsEnumerationAndInstallWithoutTouchingIt)
{
    PrivateHome home;
    ASSERT_TRUE(QDir().mkpath(home.DataHome() + "/Ardela/Installer"));
    LayGarbage(home.DataHome() + "/Ardela/Installer/products.db");
    const QByteArray damaged = ReadAll(home.DataHome() + "/Ardela/Installer/products.db");
    QString code;
    EXPECT_EQ(EnumRelatedProducts(kSuiteUpgrade, 0, 0, &code), kErrorFunctionFailed);
    EXPECT_EQ(EnumRelatedProducts(kSuiteUpgrade, 1, 0, &code), kErrorInvalidParameter);
    EXPECT_EQ(EnumRelatedProducts("garbage", 0, 0, &code), kErrorInvalidParameter);

    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), SuitePayload("2.0"));
    EXPECT_EQ(InstallProduct(home.Path("Ardela.msi"), QString()), kErrorInstallFailure);
    EXPECT_FALSE(Exists(home.InstallDir()));
    EXPECT_EQ(ReadAll(home.DataHome() + "/Ardela/Installer/products.db"), damaged);
}

TEST(InstallerDesktopEntries, ExecQuotesAwkwardFolderNamesAndPassesTheValidator)
{
    // Written by hand from the desktop entry rules: the argument quoted, '$' and '\' escaped
    // inside the quotes, then every backslash doubled as a string value, '%' doubled.
    const QString text = DesktopEntryText("Korrin", "Plane truss analysis wizard", "/opt/My $uite 100%/a\\b/bin/korrin");
    EXPECT_TRUE(text.contains("\nExec=\"/opt/My \\\\$uite 100%%/a\\\\\\\\b/bin/korrin\"\n")) << text.toStdString();

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("ardela-korrin.desktop");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
    f.close();
    QProcess check;
    check.start(validator, {path});
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
    EXPECT_EQ(check.readAllStandardOutput(), "");
}

TEST(InstallerCommandLine, ParsesPropertiesAndRejectsMalformedOnes)
{
    QList<QPair<QString, QString>> props;
    ASSERT_TRUE(ParseCommandLine(QStringLiteral("  remove=All  TARGETDIR=\"/a b/c\" "), &props));
    ASSERT_EQ(props.size(), 2);
    EXPECT_EQ(props[0].first, "REMOVE");
    EXPECT_EQ(props[0].second, "All");
    EXPECT_EQ(props[1].second, "/a b/c");
    EXPECT_TRUE(ParseCommandLine(QString(), &props));
    EXPECT_TRUE(props.isEmpty());
    for (const char* bad : {"REMOVE", "=ALL", "REMOVE=\"ALL", "REMOVE ALL"})
        EXPECT_FALSE(ParseCommandLine(QLatin1String(bad), &props)) << bad;

    PrivateHome home;
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), SuitePayload("2.0"));
    EXPECT_EQ(InstallProduct(home.Path("Ardela.msi"), QStringLiteral("REMOVE=bin")), kErrorInvalidParameter);
    EXPECT_EQ(InstallProduct(home.Path("Ardela.msi"), QStringLiteral("REMOVE")), kErrorInvalidParameter);
    EXPECT_FALSE(Exists(home.InstallDir()));
}

TEST(InstallerInstall, LinkedFolderInsideTheInstallFolderIsNeitherWrittenNorDeletedThrough)
{
    PrivateHome home;
    // The user's own folder beside the install folder, and a link to it where the payload's
    // bin/ would be.
    const QString outside = home.Path("programs/outside");
    ASSERT_TRUE(QDir().mkpath(outside));
    {
        QFile user(outside + "/ardela");
        ASSERT_TRUE(user.open(QIODevice::WriteOnly));
        user.write("the user's own file\n");
    }
    ASSERT_TRUE(QDir().mkpath(home.InstallDir()));
    ASSERT_TRUE(QFile::link("../outside", home.InstallDir() + "/bin"));
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseA, kSuiteUpgrade, "1.0"), SuitePayload("1.0"));

    SetInternalUI(InstallUiLevel::Full, nullptr);
    ErrorWindowWatcher& watcher = home.Watcher();
    EXPECT_EQ(InstallProduct(home.Path("Ardela.msi"), QString()), kErrorInstallFailure);
    ASSERT_EQ(watcher.Texts().size(), 1);
    EXPECT_EQ(watcher.Texts()[0], "Cannot write \"" + home.InstallDir() + "/bin/ardela\": a folder on its way is a symbolic link.");
    EXPECT_EQ(ReadAll(outside + "/ardela"), "the user's own file\n");
    EXPECT_EQ(QDir(outside).entryList(QDir::Files | QDir::Hidden), QStringList{"ardela"});
    EXPECT_TRUE(Related(kSuiteUpgrade).isEmpty());

    // Installed without the link; then the link replaces bin/: removal leaves the user's file.
    SetInternalUI(InstallUiLevel::None, nullptr);
    ASSERT_TRUE(QFile::remove(home.InstallDir() + "/bin"));
    ASSERT_EQ(InstallProduct(home.Path("Ardela.msi"), QString()), kSuccess);
    ASSERT_TRUE(QDir(home.InstallDir() + "/bin").removeRecursively());
    ASSERT_TRUE(QFile::link("../outside", home.InstallDir() + "/bin"));
    ASSERT_EQ(InstallProduct(LocalPackage(kReleaseA), QStringLiteral("REMOVE=ALL")), kSuccess);
    EXPECT_EQ(ReadAll(outside + "/ardela"), "the user's own file\n");
    EXPECT_FALSE(Exists(home.InstallDir() + "/share/ardela/readme.txt"));
    EXPECT_TRUE(Related(kSuiteUpgrade).isEmpty());
}
