// Guards against: a wrong starting message, the message not following Text, the animation not
// playing while the window is shown or still playing after it is hidden.
#include <QLabel>
#include <QScreen>

#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "desktop/frmProgress.h"

using namespace ardela;

class ProgressWindow : public ardela::test::WindowTest {};

TEST_F(ProgressWindow, StartsWithTheConnectingMessageAndTakesNewText)
{
    frmProgress progress;
    EXPECT_EQ(progress.Text(), QStringLiteral("Please wait. Connecting to  AutoCAD application..."));
    progress.Text(QStringLiteral("Running the solver..."));
    EXPECT_EQ(progress.lblProgress->text(), QStringLiteral("Running the solver..."));
}

TEST_F(ProgressWindow, AnimationPlaysWhileShown)
{
    frmProgress progress;
    EXPECT_FALSE(progress.aniProgress->IsPlaying());
    progress.show();
    EXPECT_TRUE(progress.aniProgress->IsPlaying());
    const QImage first = progress.aniProgress->grab().toImage();
    EXPECT_TRUE(QTest::qWaitFor([&] { return progress.aniProgress->Frame() > 0; }, 10000));
    EXPECT_NE(progress.aniProgress->grab().toImage(), first);
    progress.hide();
    EXPECT_FALSE(progress.aniProgress->IsPlaying());
    EXPECT_EQ(progress.aniProgress->Frame(), 0);
    progress.show();
    EXPECT_TRUE(progress.aniProgress->IsPlaying());
    progress.close();
}

TEST_F(ProgressWindow, OpensCentredOnItsOwnerOrTheScreen)
{
    {
        frmProgress alone;
        alone.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&alone));
        ardela::test::ExpectCentredOn(alone.frameGeometry(), alone.screen()->availableGeometry());
        alone.close();
    }
    QWidget owner;
    owner.setGeometry(120, 60, 600, 400);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    frmProgress progress(&owner);
    progress.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&progress));
    ardela::test::ExpectCentredOn(progress.frameGeometry(), owner.frameGeometry());
    progress.close();
    owner.close();
}
