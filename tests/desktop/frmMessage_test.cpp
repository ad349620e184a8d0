// Guards against: wrong buttons, captions, icon or return codes for a message style, the close box
// or Esc answering anything but Cancel, the title not reaching the caption, a window left open.
#include <QLabel>
#include <QPushButton>

#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "desktop/frmMessage.h"
#include "desktop/modMessage.h"

using namespace ardela;
using ardela::test::WhenModalShown;

namespace {

struct Shown {
    QStringList buttons;
    QStringList images;
    QString caption;
    QString text;
    QString defaultButton;
};

Shown Look(QWidget* modal)
{
    Shown shown;
    auto* form = qobject_cast<frmMessage*>(modal);
    EXPECT_NE(form, nullptr);
    if (!form)
        return shown;
    for (QPushButton* button : {form->cmdButton1, form->cmdButton2, form->cmdButton3})
        if (button->isVisible())
            shown.buttons << button->text();
    for (QLabel* image : {form->imgCritical, form->imgQuestion, form->imgExclamation, form->imgInformation})
        if (image->isVisible())
            shown.images << image->objectName();
    shown.caption = form->windowTitle();
    shown.text = form->lblMessage->text();
    shown.defaultButton = form->cmdButton1->isDefault() ? form->cmdButton1->text() : QString();
    return shown;
}

class MessageDialog : public ardela::test::WindowTest {
protected:
    void SetUp() override
    {
        m_previous = SetMessageHandler(nullptr);
        InstallMessageDialog();
    }
    void TearDown() override
    {
        SetMessageHandler(m_previous);
        WindowTest::TearDown();
    }

    // Shows the message and presses the visible button captioned `press`.
    std::int16_t Answer(std::int16_t style, const QString& press, Shown& shown, const QString& title = QString())
    {
        WhenModalShown([&shown, press](QWidget* modal) {
            shown = Look(modal);
            for (auto* button : modal->findChildren<QPushButton*>())
                if (button->isVisible() && button->text() == press) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    return;
                }
            ADD_FAILURE() << "no button " << press.toStdString();
            modal->close();
        });
        return ShowMessage(QStringLiteral("First line") + kCrLf + QStringLiteral("second line"), style, title);
    }

    MessageHandler m_previous;
};

} // namespace

TEST_F(MessageDialog, PlainStyleShowsOnlyOkAndNoImage)
{
    Shown shown;
    EXPECT_EQ(Answer(0, QStringLiteral("OK"), shown), 1);
    EXPECT_EQ(shown.buttons, QStringList{QStringLiteral("OK")});
    EXPECT_TRUE(shown.images.isEmpty());
    EXPECT_EQ(shown.caption, QString());
    EXPECT_EQ(shown.text, QStringLiteral("First line\nsecond line"));
}

TEST_F(MessageDialog, CriticalStyleShowsStopImageAndOk)
{
    Shown shown;
    EXPECT_EQ(Answer(16, QStringLiteral("OK"), shown, QStringLiteral("Korrin")), 1);
    EXPECT_EQ(shown.buttons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(shown.images, QStringList{QStringLiteral("imgCritical")});
    EXPECT_EQ(shown.caption, QStringLiteral("Korrin"));
}

TEST_F(MessageDialog, CriticalQuestionOffersYesAndNo)
{
    Shown shown;
    EXPECT_EQ(Answer(20, QStringLiteral("Yes"), shown), 6);
    EXPECT_EQ(shown.buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    EXPECT_EQ(shown.images, QStringList{QStringLiteral("imgCritical")});
    EXPECT_EQ(shown.defaultButton, QStringLiteral("Yes"));
}

TEST_F(MessageDialog, QuestionStyleReturnsNoAsSeven)
{
    Shown shown;
    EXPECT_EQ(Answer(36, QStringLiteral("No"), shown), 7);
    EXPECT_EQ(shown.buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    EXPECT_EQ(shown.images, QStringList{QStringLiteral("imgQuestion")});
}

TEST_F(MessageDialog, ExclamationOkCancelReturnsCancelAsTwo)
{
    Shown shown;
    EXPECT_EQ(Answer(49, QStringLiteral("Cancel"), shown), 2);
    EXPECT_EQ(shown.buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
    EXPECT_EQ(shown.images, QStringList{QStringLiteral("imgExclamation")});
    EXPECT_EQ(Answer(49, QStringLiteral("OK"), shown), 1);
}

TEST_F(MessageDialog, YesNoCancelReturnsNoAsSeven)
{
    Shown shown;
    EXPECT_EQ(Answer(51, QStringLiteral("No"), shown), 7);
    EXPECT_EQ(shown.buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Cancel")}));
    EXPECT_EQ(shown.images, QStringList{QStringLiteral("imgExclamation")});
    EXPECT_EQ(Answer(51, QStringLiteral("Yes"), shown), 6);
    EXPECT_EQ(Answer(51, QStringLiteral("Cancel"), shown), 2);
}

TEST_F(MessageDialog, InformationStyleShowsItsImage)
{
    Shown shown;
    EXPECT_EQ(Answer(64, QStringLiteral("OK"), shown), 1);
    EXPECT_EQ(shown.images, QStringList{QStringLiteral("imgInformation")});
}

TEST_F(MessageDialog, CloseBoxOnYesNoQuestionReturnsCancel)
{
    WhenModalShown([](QWidget* modal) { modal->close(); });
    EXPECT_EQ(ShowMessage(QStringLiteral("Save?"), 36, QStringLiteral("Vendel")), 2);
}

TEST_F(MessageDialog, EscapePressesCancelOnlyWhereThereIsOne)
{
    WhenModalShown([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(ShowMessage(QStringLiteral("Go on?"), 51), 2);
    WhenModalShown([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(ShowMessage(QStringLiteral("Go on?"), 49), 2);

    // A Yes/No question has no Cancel: Esc leaves it open.
    WhenModalShown([](QWidget* modal) {
        QTest::keyClick(modal, Qt::Key_Escape);
        EXPECT_TRUE(modal->isVisible());
        QTest::mouseClick(qobject_cast<frmMessage*>(modal)->cmdButton1, Qt::LeftButton);
    });
    EXPECT_EQ(ShowMessage(QStringLiteral("Go on?"), 36), 6);

    // A plain message ignores Esc; Enter presses its OK.
    WhenModalShown([](QWidget* modal) {
        QTest::keyClick(modal, Qt::Key_Escape);
        EXPECT_TRUE(modal->isVisible());
        QTest::keyClick(modal, Qt::Key_Return);
    });
    EXPECT_EQ(ShowMessage(QStringLiteral("Done."), 0), 1);
}

TEST_F(MessageDialog, WindowCarriesTheWizardIcon)
{
    QWidget wizard;
    QPixmap picture(16, 16);
    picture.fill(Qt::green);
    wizard.setWindowIcon(QIcon(picture));
    InstallMessageDialog(&wizard);
    QImage icon;
    WhenModalShown([&icon](QWidget* modal) {
        icon = modal->windowIcon().pixmap(16, 16).toImage();
        modal->close();
    });
    ShowMessage(QStringLiteral("x"), 0);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(8, 8), QColor(Qt::green));
}

TEST(ClsMessage, ReportsSelectionAndReturnValue)
{
    clsMessage message;
    std::int32_t value = -1;
    WhenModalShown([](QWidget* modal) { QTest::mouseClick(qobject_cast<frmMessage*>(modal)->cmdButton2, Qt::LeftButton); });
    EXPECT_TRUE(message.ShowDialog(QStringLiteral("Wait?"), 4 + 16, QString(), value));
    EXPECT_EQ(value, 7);
}
