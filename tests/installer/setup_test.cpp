// Guards Setup's dialog against: wrong caption, texts, ids or layout of the template; an
// off-centre window; a removal loop that misses a release, touches another product's release,
// runs after the installation, or loops on a release that will not go; status lines that lie;
// a missing package that stops the program before its final text; a second Setup while one runs.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "installer/DialogUnits.h"
#include "installer/InstallerLayer.h"
#include "support/InstallerTestSupport.h"
#include "installer/frmSetup.h"

using namespace ardela::installer;
using namespace ardela::test;

namespace {

const QString kWelcome = QStringLiteral(
    "Welcome to the Ardela installer. The installer will remove all previous releses of the program "
    "installed on your computer. \r\rPress Setup to start the installation.");
const QString kFinished = QStringLiteral("The installer has finished the installation of the product.\r\rPress Close to exit.");

QList<TestFile> Payload(const QString& version)
{
    return {{"bin/ardela", 0755, "#!/bin/sh\necho " + version + "\n"}, {"doc/" + version + ".txt", 0644, version}};
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
    EXPECT_EQ(GetProductInfo(productCode, "LocalPackage", &path, &length), kSuccess);
    return path;
}

QString Shown(frmSetup& dialog, int id)
{
    return qobject_cast<QLabel*>(dialog.GetDlgItem(id))->text();
}

// Installs a release quietly, as an earlier run of Setup would have left it.
void InstallRelease(PrivateHome& home, const QString& code, const QString& upgrade, const QString& version)
{
    const QString path = home.Path("release-" + version + ".msi");
    LayPackage(path, ReleaseProperties(code, upgrade, version), Payload(version));
    const InstallUiLevel level = SetInternalUI(InstallUiLevel::None, nullptr);
    const unsigned result = InstallProduct(path, QString());
    SetInternalUI(level, nullptr);
    ASSERT_EQ(result, kSuccess);
    QFile::remove(path);
}

// Each action of the installer with the status lines the dialog showed when it began.
struct Action {
    QString announcement;
    QString status1;
    QString status2;
    bool dialogVisible;
    bool buttonsEnabled = false;
};

void RecordActions(frmSetup& dialog, QList<Action>* actions)
{
    SetInstallerObserver([&dialog, actions](InstallerEvent event, const QString& text) {
        if (event != InstallerEvent::ActionStart)
            return;
        // A click on either button meanwhile must neither start Setup again nor close the dialog.
        QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);
        QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdClose), Qt::LeftButton);
        actions->append({text, Shown(dialog, frmSetup::kIdStatus1), Shown(dialog, frmSetup::kIdStatus2), dialog.isVisible(),
                         dialog.GetDlgItem(frmSetup::kIdSetup)->isEnabled() || dialog.GetDlgItem(frmSetup::kIdClose)->isEnabled()});
    });
}

const QString kNotInstalled = QStringLiteral("The product was not installed.\r\rPress Close to exit.");
const QString kCancelled = QStringLiteral("The installation was cancelled: the product was not installed.\r\rPress Close to exit.");

void ExpectFinished(frmSetup& dialog, const QString& text = kFinished)
{
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.GetDlgItemText(frmSetup::kIdText), text);
    EXPECT_EQ(Shown(dialog, frmSetup::kIdText), QString(text).replace('\r', '\n'));
    EXPECT_EQ(Shown(dialog, frmSetup::kIdStatus1), "");
    EXPECT_EQ(Shown(dialog, frmSetup::kIdStatus2), "");
    EXPECT_FALSE(dialog.GetDlgItem(frmSetup::kIdSetup)->isEnabled());
    EXPECT_TRUE(dialog.GetDlgItem(frmSetup::kIdClose)->isEnabled());
}

class SetupDialog : public ::testing::Test {
protected:
    // A fresh Setup process starts at the installer's basic level: windows show.
    void SetUp() override { SetInternalUI(InstallUiLevel::Basic, nullptr); }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible() && w->objectName() != "frmSetup") << "left open: " << w->objectName().toStdString();
    }
    PrivateHome home;
};

} // namespace

TEST(DialogUnits, ConvertWithTheClassicEightPointBaseUnits)
{
    // Base units 6 x 13 (the 8 pt dialog font at 96 dpi): x and width scale by 6/4, y and
    // height by 13/8, rounded to the nearest pixel.
    EXPECT_EQ(DialogUnitsToPixels(QRect(0, 0, 255, 86), QSize(6, 13)), QRect(0, 0, 383, 140));
    EXPECT_EQ(DialogUnitsToPixels(QRect(198, 7, 50, 14), QSize(6, 13)), QRect(297, 11, 75, 23));
    EXPECT_EQ(DialogUnitsToPixels(QRect(7, 66, 241, 13), QSize(6, 13)), QRect(11, 107, 362, 21));
    EXPECT_EQ(DialogUnitsToPixels(QRect(198, 24, 50, 14), QSize(7, 16)), QRect(347, 48, 88, 28));
}

TEST_F(SetupDialog, ShowsTheTemplateCentredWithItsTextsAndIds)
{
    frmSetup dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "Merovan 2004");
    EXPECT_EQ(dialog.GetDlgItemText(frmSetup::kIdText), kWelcome);
    EXPECT_EQ(Shown(dialog, frmSetup::kIdStatus1), "");
    EXPECT_EQ(Shown(dialog, frmSetup::kIdStatus2), "");
    auto* setup = qobject_cast<QPushButton*>(dialog.GetDlgItem(1));
    auto* close = qobject_cast<QPushButton*>(dialog.GetDlgItem(2));
    ASSERT_TRUE(setup && close);
    EXPECT_EQ(setup->text(), "&Setup");
    EXPECT_TRUE(setup->isDefault());
    EXPECT_EQ(close->text(), "Close");
    for (int id : {1, 2, 201, 202, 203})
        EXPECT_EQ(dialog.GetDlgItem(id)->property("controlId").toInt(), id);
    EXPECT_EQ(dialog.GetDlgItem(204), nullptr);

    // The template's own relations: the status lines end where the buttons end (x 248), the
    // buttons are 50 wide and the dialog 255, the second line sits 16 units below the first.
    const QSize base = DialogBaseUnits(dialog.font());
    const QRect status1 = dialog.GetDlgItem(202)->geometry();
    const QRect status2 = dialog.GetDlgItem(203)->geometry();
    EXPECT_NEAR(status1.x() + status1.width(), setup->x() + setup->width(), 1);
    EXPECT_NEAR(double(setup->width()) / dialog.width(), 50.0 / 255.0, 0.01);
    EXPECT_NEAR(status2.y() - status1.y(), base.height() * 2, 1);
    EXPECT_EQ(setup->geometry(), DialogUnitsToPixels(QRect(198, 7, 50, 14), base));
    EXPECT_EQ(dialog.size(), DialogUnitsToPixels(QRect(0, 0, 255, 86), base).size());

    const QRect screen = dialog.screen()->geometry();
    const QRect frame = dialog.frameGeometry();
    EXPECT_EQ(frame.x(), screen.width() / 2 - frame.width() / 2);
    EXPECT_EQ(frame.y(), screen.height() / 2 - frame.height() / 2);
}

TEST_F(SetupDialog, CloseEscapeAndTheCloseBoxEndTheProgramWithoutChanges)
{
    for (int way = 0; way < 3; ++way) {
        frmSetup dialog;
        QSignalSpy closed(&dialog, &frmSetup::Closed);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        if (way == 0)
            QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdClose), Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
        EXPECT_EQ(closed.count(), 1) << way;
        EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_FALSE(Exists(home.InstallDir()));
    EXPECT_FALSE(Exists(home.DataHome() + "/Ardela"));
}

TEST_F(SetupDialog, NoEarlierReleaseInstallsWithEmptyStatusLines)
{
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), Payload("2.0"));
    frmSetup dialog;
    dialog.show();
    QList<Action> actions;
    RecordActions(dialog, &actions);
    QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);

    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0].announcement, "Installing " + kReleaseNew);
    EXPECT_EQ(actions[0].status1, "");
    EXPECT_EQ(actions[0].status2, "");
    EXPECT_FALSE(actions[0].dialogVisible) << "the dialog hides while the installer's windows show";
    ExpectFinished(dialog);
    EXPECT_EQ(Related(kSuiteUpgrade), QStringList{kReleaseNew});
    EXPECT_EQ(ReadAll(home.InstallDir() + "/bin/ardela"), "#!/bin/sh\necho 2.0\n");
}

TEST_F(SetupDialog, RemovesBothEarlierReleasesBeforeInstallingAndLeavesOtherProductsAlone)
{
    InstallRelease(home, kReleaseA, kSuiteUpgrade, "1.0");
    InstallRelease(home, kReleaseC, kOtherUpgrade, "9.0");
    InstallRelease(home, kReleaseB, kSuiteUpgrade, "1.5");
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), Payload("2.0"));
    ASSERT_EQ(Related(kSuiteUpgrade), (QStringList{kReleaseA, kReleaseB}));

    frmSetup dialog;
    QSignalSpy closed(&dialog, &frmSetup::Closed);
    dialog.show();
    QList<Action> actions;
    RecordActions(dialog, &actions);
    ErrorWindowWatcher& watcher = home.Watcher();
    QTest::keyClick(&dialog, Qt::Key_Return); // the default button is Setup
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.GetDlgItem(frmSetup::kIdSetup)->isEnabled() && dialog.isVisible(), 20000);

    ASSERT_EQ(actions.size(), 3);
    for (const Action& a : actions)
        EXPECT_FALSE(a.buttonsEnabled) << a.announcement.toStdString();
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(actions[0].announcement, "Removing " + kReleaseA);
    EXPECT_EQ(actions[0].status1, "Uninstalling product");
    EXPECT_EQ(actions[0].status2, kReleaseA);
    EXPECT_EQ(actions[1].announcement, "Removing " + kReleaseB);
    EXPECT_EQ(actions[1].status1, "Uninstalling product");
    EXPECT_EQ(actions[1].status2, kReleaseB);
    EXPECT_EQ(actions[2].announcement, "Installing " + kReleaseNew);
    EXPECT_EQ(actions[2].status1, "");
    EXPECT_EQ(actions[2].status2, "");
    EXPECT_TRUE(watcher.Texts().isEmpty());
    ExpectFinished(dialog);

    EXPECT_EQ(Related(kSuiteUpgrade), QStringList{kReleaseNew});
    EXPECT_EQ(Related(kOtherUpgrade), QStringList{kReleaseC});
    EXPECT_FALSE(Exists(home.InstallDir() + "/doc/1.0.txt"));
    EXPECT_FALSE(Exists(home.InstallDir() + "/doc/1.5.txt"));
    EXPECT_TRUE(Exists(home.InstallDir() + "/doc/9.0.txt"));
    EXPECT_TRUE(Exists(home.InstallDir() + "/doc/2.0.txt"));
}

TEST_F(SetupDialog, MissingPackageShowsTheOpenErrorThenTheInstallersErrorThenSaysNothingWasInstalled)
{
    frmSetup dialog;
    dialog.show();
    ErrorWindowWatcher& watcher = home.Watcher();
    QStringList statusAtError;
    bool hiddenAtError = false;
    watcher.onError = [&](const QString&) {
        statusAtError.append(Shown(dialog, frmSetup::kIdStatus1));
        hiddenAtError = !dialog.isVisible();
    };
    QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);

    ASSERT_EQ(watcher.Texts().size(), 1);
    EXPECT_TRUE(watcher.Texts()[0].contains("could not be opened")) << watcher.Texts()[0].toStdString();
    EXPECT_TRUE(watcher.Texts()[0].contains("Ardela.msi"));
    EXPECT_EQ(statusAtError, QStringList{"Error in opening database."});
    EXPECT_TRUE(hiddenAtError);
    ExpectFinished(dialog, kNotInstalled);
    EXPECT_FALSE(Exists(home.InstallDir()));
    EXPECT_EQ(OpenHandleCount(), 0);
}

TEST_F(SetupDialog, ReleaseThatCannotBeRemovedIsTriedOnceAndTheNextIsRemoved)
{
    InstallRelease(home, kReleaseA, kSuiteUpgrade, "1.0");
    InstallRelease(home, kReleaseB, kSuiteUpgrade, "1.5");
    // A's cached package is gone: its removal fails with the installer's error.
    ASSERT_TRUE(QFile::remove(LocalPackage(kReleaseA)));
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), Payload("2.0"));

    frmSetup dialog;
    dialog.show();
    QList<Action> actions;
    RecordActions(dialog, &actions);
    ErrorWindowWatcher& watcher = home.Watcher();
    QStringList statusAtError;
    watcher.onError = [&](const QString&) {
        statusAtError << Shown(dialog, frmSetup::kIdStatus1) << Shown(dialog, frmSetup::kIdStatus2);
    };
    QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);

    ASSERT_EQ(watcher.Texts().size(), 1) << "A is tried once";
    EXPECT_TRUE(watcher.Texts()[0].contains(kReleaseA + ".msi")) << watcher.Texts()[0].toStdString();
    EXPECT_EQ(statusAtError, (QStringList{"Uninstalling product", kReleaseA}));
    QStringList announced;
    for (const Action& a : actions)
        announced.append(a.announcement + " | " + a.status1 + " | " + a.status2);
    EXPECT_EQ(announced, (QStringList{"Removing " + kReleaseB + " | Uninstalling product | " + kReleaseB,
                                      "Installing " + kReleaseNew + " |  | "}));
    ExpectFinished(dialog);
    EXPECT_EQ(Related(kSuiteUpgrade), (QStringList{kReleaseA, kReleaseNew}));
}

TEST_F(SetupDialog, CancelledRemovalMovesOnToTheNextRelease)
{
    InstallRelease(home, kReleaseA, kSuiteUpgrade, "1.0");
    InstallRelease(home, kReleaseB, kSuiteUpgrade, "1.5");
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), Payload("2.0"));

    frmSetup dialog;
    dialog.show();
    QList<Action> actions;
    SetInstallerObserver([&](InstallerEvent event, const QString& text) {
        if (event != InstallerEvent::ActionStart)
            return;
        actions.append({text, Shown(dialog, 202), Shown(dialog, 203), dialog.isVisible()});
        if (actions.size() > 25) {
            std::fprintf(stderr, "the installer keeps being started: runaway removal loop\n");
            std::_Exit(3);
        }
        if (text != "Removing " + kReleaseA)
            return;
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == "InstallProgressWindow" && w->isVisible())
                    QTest::mouseClick(w->findChild<QPushButton*>(), Qt::LeftButton);
            }
        });
    });
    ErrorWindowWatcher& watcher = home.Watcher();
    QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);

    QStringList announced;
    for (const Action& a : actions)
        announced.append(a.announcement + " | " + a.status1 + " | " + a.status2);
    EXPECT_EQ(announced, (QStringList{"Removing " + kReleaseA + " | Uninstalling product | " + kReleaseA,
                                      "Removing " + kReleaseB + " | Uninstalling product | " + kReleaseB,
                                      "Installing " + kReleaseNew + " |  | "}));
    EXPECT_TRUE(watcher.Texts().isEmpty());
    ExpectFinished(dialog);
    EXPECT_EQ(Related(kSuiteUpgrade), (QStringList{kReleaseA, kReleaseNew}));
    EXPECT_TRUE(Exists(home.InstallDir() + "/doc/1.0.txt")) << "a cancelled removal keeps the release whole";
}

TEST_F(SetupDialog, DamagedProductsDatabaseEndsRemovalWithAStatusMessage)
{
    ASSERT_TRUE(QDir().mkpath(home.DataHome() + "/Ardela/Installer"));
    LayGarbage(home.DataHome() + "/Ardela/Installer/products.db");
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), Payload("2.0"));
    frmSetup dialog;
    dialog.show();
    ErrorWindowWatcher& watcher = home.Watcher();
    QString statusAtError;
    watcher.onError = [&](const QString&) { statusAtError = dialog.GetDlgItemText(frmSetup::kIdStatus1); };
    QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);

    EXPECT_EQ(statusAtError, "Error in enumerating the installed releases.");
    ASSERT_EQ(watcher.Texts().size(), 1) << "the installation reports the damaged database itself";
    EXPECT_TRUE(watcher.Texts()[0].contains("products.db")) << watcher.Texts()[0].toStdString();
    ExpectFinished(dialog, kNotInstalled);
    EXPECT_FALSE(Exists(home.InstallDir()));
}

TEST_F(SetupDialog, PackageWithoutAnUpgradeCodeSkipsRemovalAndStillInstalls)
{
    InstallRelease(home, kReleaseA, kSuiteUpgrade, "1.0");
    // A database lacking the Property table: the view cannot be opened.
    RunPython({QStringLiteral("-c"), QStringLiteral("import sqlite3; c = sqlite3.connect('%1'); "
                                                    "c.execute('CREATE TABLE Other (x)'); c.commit()").arg(home.Path("Ardela.msi"))});
    frmSetup dialog;
    dialog.show();
    ErrorWindowWatcher& watcher = home.Watcher();
    QString statusAtError;
    watcher.onError = [&](const QString&) { statusAtError = dialog.GetDlgItemText(frmSetup::kIdStatus1); };
    QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);
    EXPECT_EQ(statusAtError, "Error in Opening View");
    EXPECT_EQ(watcher.Texts().size(), 1);
    ExpectFinished(dialog, kNotInstalled);
    EXPECT_EQ(Related(kSuiteUpgrade), QStringList{kReleaseA});
    EXPECT_EQ(OpenHandleCount(), 0);
}

// Overwrites three pages in the middle of a package: its Property table and the File table's
// paths still read, the contents of the large payload file do not.
void DamagePayloadPages(const QString& path)
{
    RunPython({QStringLiteral("-c"), QStringLiteral("import os; p = '%1'; n = os.path.getsize(p)\n"
                                                    "with open(p, 'r+b') as f:\n"
                                                    "    f.seek(n // 2 // 4096 * 4096); f.write(b'\\xff' * 3 * 4096)")
                                         .arg(path)});
}

TEST_F(SetupDialog, UnsoundPackageRemovesNoEarlierReleaseAndSaysNothingWasInstalled)
{
    struct Case {
        const char* what;
        QList<TestFile> payload;
        bool damaged;
    };
    const QList<Case> cases = {
        {"payload pages overwritten", Payload("2.0") << TestFile{"bin/big.dat", 0644, QString(200000, QLatin1Char('x'))}, true},
        {"../x", Payload("2.0") << TestFile{"../x", 0644, "outside"}, false},
        {"/abs", Payload("2.0") << TestFile{home.Path("abs"), 0644, "outside"}, false},
        {"bin/../../x", Payload("2.0") << TestFile{"bin/../../x", 0644, "outside"}, false},
    };
    InstallRelease(home, kReleaseA, kSuiteUpgrade, "1.0");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString package = home.Path("Ardela.msi");
        QFile::remove(package);
        LayPackage(package, ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), c.payload);
        if (c.damaged)
            DamagePayloadPages(package);
        frmSetup dialog;
        dialog.show();
        QList<Action> actions;
        RecordActions(dialog, &actions);
        ErrorWindowWatcher& watcher = home.Watcher();
        watcher.Clear();
        QString statusAtError;
        watcher.onError = [&](const QString&) { statusAtError = dialog.GetDlgItemText(frmSetup::kIdStatus1); };
        QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);

        // No removal starts, and the installation refuses the package before it starts copying.
        EXPECT_TRUE(actions.isEmpty()) << actions.value(0).announcement.toStdString();
        EXPECT_EQ(statusAtError, "The package is damaged: no release was removed.");
        ASSERT_EQ(watcher.Texts().size(), 1);
        EXPECT_TRUE(watcher.Texts()[0].contains("is not valid")) << watcher.Texts()[0].toStdString();
        ExpectFinished(dialog, kNotInstalled);
        EXPECT_EQ(Related(kSuiteUpgrade), QStringList{kReleaseA});
        EXPECT_EQ(ReadAll(home.InstallDir() + "/doc/1.0.txt"), "1.0");
        EXPECT_EQ(ReadAll(home.InstallDir() + "/bin/ardela"), "#!/bin/sh\necho 1.0\n");
        EXPECT_FALSE(Exists(home.InstallDir() + "/doc/2.0.txt"));
        EXPECT_FALSE(Exists(home.Path("programs/x")));
        EXPECT_FALSE(Exists(home.Path("x")));
        SetInstallerObserver({});
    }
}

TEST_F(SetupDialog, PayloadChangedAfterThePackageWasMadeIsRefusedByNameAndNothingIsRemoved)
{
    InstallRelease(home, kReleaseA, kSuiteUpgrade, "1.0");
    struct Case {
        const char* what;
        QString sql;
        QString named;
    };
    const QList<Case> cases = {
        {"one byte of a program changed", "UPDATE File SET Data = CAST(replace(CAST(Data AS TEXT), 'echo', 'echO') AS BLOB) WHERE File = 'bin/ardela'", "bin/ardela"},
        {"a program's hash row gone", "DELETE FROM MsiFileHash WHERE File = 'doc/2.0.txt'", "doc/2.0.txt"},
        {"the hash table gone", "DROP TABLE MsiFileHash", "no hashes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString package = home.Path("Ardela.msi");
        QFile::remove(package);
        LayPackage(package, ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), Payload("2.0"));
        // The tampering: a copy of the package changed in place, its database still sound.
        RunPython({QStringLiteral("-c"), QStringLiteral("import sqlite3, sys; db = sqlite3.connect(sys.argv[1]); db.execute(sys.argv[2]); db.commit()\n"
                                                        "assert db.execute('PRAGMA integrity_check').fetchone()[0] == 'ok'"),
                   package, c.sql});
        frmSetup dialog;
        dialog.show();
        QList<Action> actions;
        RecordActions(dialog, &actions);
        ErrorWindowWatcher& watcher = home.Watcher();
        watcher.Clear();
        QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);

        EXPECT_TRUE(actions.isEmpty()) << actions.value(0).announcement.toStdString();
        ASSERT_EQ(watcher.Texts().size(), 1);
        EXPECT_TRUE(watcher.Texts()[0].contains(c.named)) << watcher.Texts()[0].toStdString();
        ExpectFinished(dialog, kNotInstalled);
        EXPECT_EQ(Related(kSuiteUpgrade), QStringList{kReleaseA});
        EXPECT_EQ(ReadAll(home.InstallDir() + "/bin/ardela"), "#!/bin/sh\necho 1.0\n");
        EXPECT_FALSE(Exists(home.InstallDir() + "/doc/2.0.txt"));
        SetInstallerObserver({});
    }
}

TEST_F(SetupDialog, CancelledInstallationSaysSoInItsFinalText)
{
    LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), Payload("2.0"));
    frmSetup dialog;
    dialog.show();
    SetInstallerObserver([&](InstallerEvent event, const QString&) {
        if (event != InstallerEvent::ActionStart)
            return;
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == "InstallProgressWindow" && w->isVisible())
                    QTest::mouseClick(w->findChild<QPushButton*>(), Qt::LeftButton);
            }
        });
    });
    ErrorWindowWatcher& watcher = home.Watcher();
    QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);
    SetInstallerObserver({});

    EXPECT_TRUE(watcher.Texts().isEmpty()) << "a cancel is not an error";
    ExpectFinished(dialog, kCancelled);
    EXPECT_TRUE(Related(kSuiteUpgrade).isEmpty());
    EXPECT_FALSE(Exists(home.InstallDir() + "/bin/ardela"));
}

TEST_F(SetupDialog, ReleasesRemovedForAProductThatDidNotInstallArePutBack)
{
    InstallRelease(home, kReleaseA, kSuiteUpgrade, "1.0");
    InstallRelease(home, kReleaseB, kSuiteUpgrade, "1.5");
    // Cancelled in the copy, then (the two releases back) failed on a payload file that a
    // folder is in the way of.
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancelled" : "failed");
        QList<TestFile> payload = Payload("2.0");
        if (!cancel) {
            payload.append({"doc/zz-blocked", 0644, "cannot land"});
            ASSERT_TRUE(QDir().mkpath(home.InstallDir() + "/doc/zz-blocked"));
        }
        LayPackage(home.Path("Ardela.msi"), ReleaseProperties(kReleaseNew, kSuiteUpgrade, "2.0"), payload);
        frmSetup dialog;
        dialog.show();
        QStringList announced;
        SetInstallerObserver([&](InstallerEvent event, const QString& text) {
            if (event != InstallerEvent::ActionStart)
                return;
            announced.append(text);
            if (!cancel || text != "Installing " + kReleaseNew)
                return;
            QTimer::singleShot(0, [] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (w->objectName() == "InstallProgressWindow" && w->isVisible())
                        QTest::mouseClick(w->findChild<QPushButton*>(), Qt::LeftButton);
                }
            });
        });
        ErrorWindowWatcher& watcher = home.Watcher();
        watcher.Clear();
        QTest::mouseClick(dialog.GetDlgItem(frmSetup::kIdSetup), Qt::LeftButton);
        SetInstallerObserver({});

        EXPECT_EQ(announced, (QStringList{"Removing " + kReleaseA, "Removing " + kReleaseB, "Installing " + kReleaseNew,
                                          "Installing " + kReleaseA, "Installing " + kReleaseB}));
        EXPECT_EQ(watcher.Texts().size(), cancel ? 0 : 1);
        ExpectFinished(dialog, QString(cancel ? kCancelled : kNotInstalled)
                                   .replace("installed.\r", "installed. The earlier releases were put back.\r"));
        EXPECT_EQ(Related(kSuiteUpgrade), (QStringList{kReleaseA, kReleaseB}));
        EXPECT_EQ(ReadAll(home.InstallDir() + "/doc/1.0.txt"), "1.0");
        EXPECT_EQ(ReadAll(home.InstallDir() + "/doc/1.5.txt"), "1.5");
        EXPECT_FALSE(Exists(home.InstallDir() + "/doc/2.0.txt"));
        EXPECT_TRUE(Exists(LocalPackage(kReleaseA)));
        EXPECT_TRUE(Exists(LocalPackage(kReleaseB)));
    }
}
