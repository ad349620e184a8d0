// Guards against: a context number opening the wrong topic or none, topics missing for a wizard
// step, the constrained-line codes missing from Vendel's topic, a missing topic failing silently,
// command 2 leaving the window open, topics not installed beside the programs.
#include <QCoreApplication>
#include <QDir>
#include <QTextBrowser>

#include "desktop/HelpWindow.h"
#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "desktop/modResource.h"

using namespace ardela;

namespace {

class Help : public ardela::test::WindowTest {
protected:
    // The topics as written, in the source tree.
    void SetUp() override { SetHelpRoot(QStringLiteral(ARDELA_HELP_SOURCE)); }
    void TearDown() override
    {
        WinHelp(nullptr, QStringLiteral("Korrin.hlp"), HELP_QUIT, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetHelpRoot(QString());
        WindowTest::TearDown();
    }
    static QString Shown() { return HelpWindow::Instance()->Browser()->toPlainText(); }
    static QString Title() { return HelpWindow::Instance()->Browser()->documentTitle(); }
};

} // namespace

TEST_F(Help, EveryKorrinStepHasATopicTitledLikeTheStep)
{
    SelectStringTable(StringTable::Korrin);
    for (int step = 0; step <= 6; ++step) {
        const int context = (step + 1) * 1000;
        EXPECT_TRUE(WinHelp(nullptr, QStringLiteral("Korrin.hlp"), HELP_CONTEXT, context)) << context;
        EXPECT_EQ(Title(), LoadResString(context).value_or(QString())) << context;
        EXPECT_TRUE(HelpWindow::Instance()->isVisible());
    }
    WinHelp(nullptr, QStringLiteral("Korrin.hlp"), HELP_CONTEXT, 5000);
    EXPECT_TRUE(Shown().contains(QStringLiteral("Block x")));
}

TEST_F(Help, EveryVendelStepHasARomanianTopicAndTheLineCodes)
{
    for (int step = 0; step <= 7; ++step)
        EXPECT_TRUE(WinHelp(nullptr, QStringLiteral("Vendel.hlp"), HELP_CONTEXT, (step + 1) * 1000)) << step;
    WinHelp(nullptr, QStringLiteral("Vendel.hlp"), HELP_CONTEXT, 6000);
    const QString text = Shown();
    EXPECT_EQ(Title(), QStringLiteral("Definirea Liniilor Blocate"));
    EXPECT_TRUE(text.contains(QStringLiteral("1\nblochează deplasarea pe x"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("2\nblochează deplasarea pe y")));
    EXPECT_TRUE(text.contains(QStringLiteral("3\nblochează ambele deplasări")));
}

TEST_F(Help, WindowCarriesItsProgramsTitleAndRomanianHeadingsForVendel)
{
    WinHelp(nullptr, QStringLiteral("Vendel.hlp"), HELP_CONTEXT, 6000);
    EXPECT_EQ(HelpWindow::Instance()->windowTitle(), QStringLiteral("Definirea Liniilor Blocate - Vendel"));
    const QString html = HelpWindow::Instance()->Browser()->toHtml();
    EXPECT_TRUE(Shown().startsWith(QStringLiteral("Definirea Liniilor Blocate\n"))) << Shown().toStdString();
    EXPECT_TRUE(Shown().contains(QStringLiteral("\nCod\nEfect\n"))) << Shown().toStdString();
    EXPECT_FALSE(Shown().contains(QStringLiteral("\nCode\n")));
    WinHelp(nullptr, QStringLiteral("Korrin.hlp"), HELP_CONTEXT, 1000);
    EXPECT_EQ(HelpWindow::Instance()->windowTitle(), LoadResString(1000).value_or(QString()) + QStringLiteral(" - Korrin"));
    WinHelp(nullptr, QStringLiteral("Korrin.hlp"), HELP_CONTEXT, 9000);
    EXPECT_EQ(HelpWindow::Instance()->windowTitle(), QStringLiteral("Korrin"));
}

TEST_F(Help, OpensCentredOnItsOwner)
{
    QWidget owner;
    owner.setObjectName(QStringLiteral("owner"));
    owner.setGeometry(90, 40, 680, 540);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    WinHelp(&owner, QStringLiteral("Korrin.hlp"), HELP_CONTEXT, 1000);
    HelpWindow* help = HelpWindow::Instance();
    ASSERT_TRUE(help && help->isVisible());
    ardela::test::ExpectCentredOn(help->frameGeometry(), owner.frameGeometry());
    WinHelp(&owner, QStringLiteral("Korrin.hlp"), HELP_QUIT, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    owner.close();
}

TEST_F(Help, MissingTopicSaysSoAndCloseCommandClosesTheWindow)
{
    EXPECT_FALSE(WinHelp(nullptr, QStringLiteral("Korrin.hlp"), HELP_CONTEXT, 9000));
    EXPECT_TRUE(Shown().contains(QStringLiteral("The help topic 9000 is not installed")));
    EXPECT_FALSE(WinHelp(nullptr, QStringLiteral("Korrin.hlp"), 7, 1000));
    EXPECT_TRUE(WinHelp(nullptr, QStringLiteral("Korrin.hlp"), HELP_QUIT, 0));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(HelpWindow::Instance(), nullptr);
}

TEST_F(Help, TopicsAreInstalledBesideThePrograms)
{
    SetHelpRoot(QString());
    EXPECT_EQ(QDir(HelpRoot()), QDir(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help"))));
    EXPECT_TRUE(WinHelp(nullptr, QStringLiteral("Vendel.hlp"), HELP_CONTEXT, 8000));
    EXPECT_EQ(Title(), QStringLiteral("Rulează Analiza"));
}
