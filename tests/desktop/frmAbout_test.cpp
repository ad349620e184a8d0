// Guards against: a wrong caption or version, wrong flame lookup tables, the flame rising wrong
// or touching its edge columns, the animation working on a picture it must leave alone or running
// while hidden, the mail links opening the wrong address.
#include <QDesktopServices>
#include <QUrl>

#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "desktop/frmAbout.h"

using namespace ardela;

namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

const ProgramInfo kKorrin{QStringLiteral("Ardela"), QStringLiteral("Korrin"), 2, 4, 17};

class AboutWindow : public ardela::test::WindowTest {};

} // namespace

TEST_F(AboutWindow, ShowsTitleAndFullVersion)
{
    frmAbout about(kKorrin);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Korrin"));
    EXPECT_EQ(about.lblTitle->text(), QStringLiteral("Korrin"));
    EXPECT_EQ(about.lblVersion->text(), QStringLiteral("Version 2.4.17"));
}

TEST_F(AboutWindow, LookupTablesAreRoundedThirds)
{
    frmAbout about(kKorrin);
    // 31 / 3.1 = 10; 256 / 3.1 = 82.58; 256 / 3.01 + 1 = 86.05; 2 / 3.01 + 1 = 1.66; 200 / 3.1 = 64.52.
    EXPECT_EQ(about.A()[0], 0);
    EXPECT_EQ(about.A()[31], 10);
    EXPECT_EQ(about.A()[256], 83);
    EXPECT_EQ(about.A()[200], 65);
    EXPECT_EQ(about.B()[0], 1);
    EXPECT_EQ(about.B()[2], 2);
    EXPECT_EQ(about.B()[256], 86);
    EXPECT_EQ(about.C()[256], 83);
    EXPECT_EQ(about.C()[31], 10);
}

TEST_F(AboutWindow, FlameRisesFromTheFedLineAndLeavesTheEdgeColumns)
{
    frmAbout about(kKorrin);
    QImage& picture = about.picAbout->Picture();
    picture.fill(0);
    std::fill_n(picture.scanLine(0), picture.width(), uchar(200));
    about.RiseFlame();
    const int last = picture.width() - 1;
    // Line 1: 65 + 67 + 65 from a uniform 200 below.
    EXPECT_EQ(picture.scanLine(1)[1], 197);
    EXPECT_EQ(picture.scanLine(1)[last / 2], 197);
    EXPECT_EQ(picture.scanLine(1)[last - 1], 197);
    EXPECT_EQ(picture.scanLine(1)[0], 0);
    EXPECT_EQ(picture.scanLine(1)[last], 0);
    // Line 2: 64 + 66 + 64 from 197; next to an edge the cold edge pixel contributes nothing
    // (B[0] = 1 on the left, C[0] = 0 on the right).
    EXPECT_EQ(picture.scanLine(2)[last / 2], 194);
    EXPECT_EQ(picture.scanLine(2)[1], 129);
    EXPECT_EQ(picture.scanLine(2)[last - 1], 130);
}

TEST_F(AboutWindow, FlameFeedsRandomHeatAndIgnoresOtherPictures)
{
    frmAbout about(kKorrin);
    about.DoFlame();
    const QImage& picture = about.picAbout->Picture();
    std::set<int> heat;
    for (int j = 0; j < picture.width(); ++j) {
        const int value = picture.constScanLine(0)[j];
        EXPECT_GE(value, 55);
        EXPECT_LE(value, 254);
        heat.insert(value);
    }
    EXPECT_GT(heat.size(), 10u);
    EXPECT_GT(picture.constScanLine(picture.height() / 2)[picture.width() / 2], 0);

    QImage colour(8, 8, QImage::Format_RGB32);
    colour.fill(Qt::blue);
    about.picAbout->Picture() = colour;
    about.DoFlame();
    EXPECT_EQ(about.picAbout->Picture(), colour);
}

TEST_F(AboutWindow, AnimationRunsOnlyWhileShown)
{
    frmAbout about(kKorrin);
    EXPECT_FALSE(about.Timer1.isActive());
    about.show();
    EXPECT_TRUE(about.Timer1.isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return about.picAbout->Picture().constScanLine(0)[3] >= 55; }, 10000));
    about.hide();
    EXPECT_FALSE(about.Timer1.isActive());
}

TEST_F(AboutWindow, MailLabelsShowAndOpenTheirAddress)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "Open");
    frmAbout about(kKorrin);
    about.show();
    MailLabel* label = about.lblMailTo[1];
    QTest::mouseMove(label, QPoint(3, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(4, 4), label->mapToGlobal(QPointF(4, 4)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(label, &move);
    EXPECT_EQ(label->toolTip(), QStringLiteral("MailTo: ") + label->Address());
    QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(catcher.opened[0].path(), QStringLiteral("vendel@ardela.example"));
    about.close();
}

#include "frmAbout_test.moc"
