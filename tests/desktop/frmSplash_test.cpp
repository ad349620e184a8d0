// Guards against: the splash showing the wrong company, title or version (it shows major and
// minor only), shadows out of step with their labels.
#include <QLabel>
#include <QPointer>
#include <QScreen>

#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "desktop/frmSplash.h"

using namespace ardela;

class SplashWindow : public ardela::test::WindowTest {};

TEST_F(SplashWindow, ShowsCompanyTitleAndShortVersion)
{
    frmSplash splash(ProgramInfo{QStringLiteral("Ardela"), QStringLiteral("Vendel"), 3, 1, 9});
    splash.show();
    EXPECT_EQ(splash.lblCompany->text(), QStringLiteral("Ardela"));
    EXPECT_EQ(splash.lblCompanyShadow->text(), QStringLiteral("Ardela"));
    EXPECT_EQ(splash.lblTitle->text(), QStringLiteral("Vendel"));
    EXPECT_EQ(splash.lblTitleShadow->text(), QStringLiteral("Vendel"));
    EXPECT_EQ(splash.lblVersion->text(), QStringLiteral("Version 3.1"));
    EXPECT_EQ(splash.lblTitleShadow->pos(), splash.lblTitle->pos() + QPoint(2, 2));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    // The title is drawn in white over the dark background.
    const QImage picture = splash.grab().toImage();
    const QRect title = splash.lblTitle->geometry();
    bool white = false;
    for (int x = title.left(); x < title.right() && !white; ++x)
        white = picture.pixelColor(x, title.center().y()) == QColor(Qt::white);
    EXPECT_TRUE(white);
    splash.close();
}

TEST_F(SplashWindow, StaysUpForTheMinimumTimeThenGoes)
{
    QPointer<frmSplash> splash = new frmSplash(ProgramInfo{QStringLiteral("Ardela"), QStringLiteral("Korrin"), 1, 0, 0});
    QElapsedTimer shownAt;
    shownAt.start();
    splash->show();
    splash->UnloadAfter(shownAt, 300);
    QCoreApplication::processEvents();
    ASSERT_FALSE(splash.isNull());
    EXPECT_TRUE(splash->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 10000));
    // A timer never fires early: the splash was up for at least the minimum time.
    EXPECT_GE(shownAt.elapsed(), 300);
}

TEST_F(SplashWindow, OpensCentredOnTheScreenOrItsOwner)
{
    frmSplash alone(ProgramInfo{QStringLiteral("Ardela"), QStringLiteral("Korrin"), 1, 0, 0});
    alone.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&alone));
    ardela::test::ExpectCentredOn(alone.frameGeometry(), alone.screen()->availableGeometry());
    alone.close();

    QWidget owner;
    owner.setGeometry(40, 30, 700, 520);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    auto* owned = new frmSplash(ProgramInfo{QStringLiteral("Ardela"), QStringLiteral("Korrin"), 1, 0, 0}, &owner);
    owned->setWindowFlag(Qt::Window);
    owned->show();
    ardela::test::ExpectCentredOn(owned->frameGeometry(), owner.frameGeometry());
    owned->close();
    owner.close();
}
