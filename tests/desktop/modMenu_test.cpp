// Guards against: "About..." missing from the wizard's context menu or not reaching the About
// window, other commands handled as About, the item surviving SubclassOff, a window left open.
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>

#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "desktop/frmAbout.h"
#include "desktop/modMenu.h"

using namespace ardela;

namespace {

class AboutMenu : public ardela::test::WindowTest {
protected:
    void SetUp() override
    {
        QApplication::setApplicationDisplayName(QStringLiteral("Korrin"));
        QApplication::setApplicationVersion(QStringLiteral("1.2.3"));
        m_wizard = new QWidget;
        m_wizard->setObjectName(QStringLiteral("frmTruss"));
        m_wizard->resize(300, 200);
        m_wizard->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_wizard));
    }
    void TearDown() override
    {
        delete m_wizard;
        WindowTest::TearDown();
    }
    void RightClick()
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), m_wizard->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(m_wizard, &event);
    }
    QWidget* m_wizard = nullptr;
};

} // namespace

TEST_F(AboutMenu, ContextMenuAboutOpensTheAboutWindowWithItsFlame)
{
    SubclassOn(m_wizard);
    QStringList items;
    QString caption, version;
    bool animating = false;
    QWidget* owner = nullptr;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        poll.stop();
        QAction* about = nullptr;
        for (QAction* action : menu->actions()) {
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
            if (action->text() == QLatin1String("About..."))
                about = action;
        }
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->data().toInt(), 1010);
        ardela::test::WhenModalShown([&](QWidget* modal) {
            auto* form = qobject_cast<frmAbout*>(modal);
            ASSERT_NE(form, nullptr);
            caption = form->windowTitle();
            version = form->lblVersion->text();
            animating = form->Timer1.isActive();
            owner = form->parentWidget();
            form->close();
        });
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(about).center());
    });
    poll.start();
    RightClick();
    EXPECT_EQ(items, (QStringList{QStringLiteral("-"), QStringLiteral("About...")}));
    EXPECT_EQ(caption, QStringLiteral("About Korrin"));
    EXPECT_EQ(version, QStringLiteral("Version 1.2.3"));
    EXPECT_TRUE(animating);
    EXPECT_EQ(owner, m_wizard);
}

TEST_F(AboutMenu, OnlyCommandTenTenIsHandled)
{
    EXPECT_FALSE(WizardCommand(m_wizard, 1009));
    EXPECT_FALSE(WizardCommand(m_wizard, 0));
    ardela::test::WhenModalShown([](QWidget* modal) { modal->close(); });
    EXPECT_TRUE(WizardCommand(m_wizard, kAboutCommand));
}

TEST_F(AboutMenu, SubclassOffRemovesTheItem)
{
    SubclassOn(m_wizard);
    SubclassOn(m_wizard);
    SubclassOff(m_wizard);
    RightClick();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(m_wizard->findChildren<QMenu*>().isEmpty());
}
