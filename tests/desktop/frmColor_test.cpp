// Guards against: wrong palette entries, swatches at the wrong pixel positions, names matched
// without regard to case, colour 1 accepted as a number, Cancel changing the colour, a window
// left open.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "support/DesktopControls.h"
#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "desktop/frmColor.h"

using namespace ardela;
using ardela::test::PickerOf;
using ardela::test::WhenModalShown;

namespace {

QColor ButtonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

class ColorPicker : public ardela::test::WindowTest {
protected:
    // Shows the picker opened on `start`, lets `act` work on it, and returns Color afterwards.
    std::int16_t Pick(std::int16_t start, std::function<void(frmColor&)> act)
    {
        frmColor form;
        form.SetColor(start);
        WhenModalShown([&form, act](QWidget*) { act(form); });
        form.exec();
        return form.Color();
    }

    static void Type(frmColor& form, const char* text)
    {
        PickerOf(&form).txtColor->selectAll();
        QTest::keyClick(PickerOf(&form).txtColor, Qt::Key_Delete);
        QTest::keyClicks(PickerOf(&form).txtColor, QLatin1String(text));
    }
    static void Ok(frmColor& form) { QTest::mouseClick(PickerOf(&form).cmdColor[0], Qt::LeftButton); }
    static QColor Preview(frmColor& form) { return PickerOf(&form).picColor[15]->Fill(); }
};

} // namespace

TEST(Palette, ListedEntriesFollowTheRule)
{
    const std::pair<int, QColor> entries[] = {
        {1, QColor(255, 0, 0)},     {2, QColor(255, 255, 0)},   {3, QColor(0, 255, 0)},
        {4, QColor(0, 255, 255)},   {5, QColor(0, 0, 255)},     {6, QColor(255, 0, 255)},
        {7, QColor(255, 255, 255)}, {8, QColor(128, 128, 128)}, {9, QColor(192, 192, 192)},
        {10, QColor(255, 0, 0)},    {11, QColor(255, 127, 127)}, {12, QColor(204, 0, 0)},
        {19, QColor(76, 38, 38)},   {20, QColor(255, 63, 0)},   {21, QColor(255, 159, 127)},
        {249, QColor(76, 38, 47)},  {250, QColor(51, 51, 51)},  {251, QColor(91, 91, 91)},
        {252, QColor(132, 132, 132)}, {253, QColor(173, 173, 173)}, {254, QColor(214, 214, 214)},
        {255, QColor(255, 255, 255)},
        // Hue 120 degrees (green) at level 153, and its pale variant at level 127.
        {94, QColor(0, 153, 0)},    {97, QColor(63, 127, 63)},
        // Hue 240 degrees (blue) full strength, hue 285 degrees at level 204.
        {170, QColor(0, 0, 255)},   {202, QColor(153, 0, 204)},
    };
    for (const auto& [color, rgb] : entries)
        EXPECT_EQ(PaletteColor(color), rgb) << "colour " << color;
    EXPECT_EQ(PaletteTable().size(), 765u);
    EXPECT_EQ(PaletteTable()[(38 - 1) * 3], 76);
}

TEST(Palette, TextToColourRules)
{
    EXPECT_EQ(ColorFromText(QString()), 0);
    EXPECT_EQ(ColorFromText(QStringLiteral("magenta")), 6);
    EXPECT_EQ(ColorFromText(QStringLiteral("Magenta")), 0);
    EXPECT_EQ(ColorFromText(QStringLiteral("red")), 1);
    EXPECT_EQ(ColorFromText(QStringLiteral("white")), 7);
    EXPECT_EQ(ColorFromText(QStringLiteral("1")), 0);
    EXPECT_EQ(ColorFromText(QStringLiteral("2")), 2);
    EXPECT_EQ(ColorFromText(QStringLiteral("255")), 255);
    EXPECT_EQ(ColorFromText(QStringLiteral("256")), 0);
    EXPECT_EQ(ColorFromText(QStringLiteral("-5")), 0);
    EXPECT_EQ(ColorFromText(QStringLiteral(" 40")), 0);
    EXPECT_EQ(ColorText(0), QString());
    EXPECT_EQ(ColorText(6), QStringLiteral("magenta"));
    EXPECT_EQ(ColorText(40), QStringLiteral("40"));
}

TEST(Palette, TypedNumbersFollowTheUserLocale)
{
    ardela::test::ScopedLocale german("de_DE");
    EXPECT_EQ(ColorFromText(QStringLiteral("2,5")), 2);
    EXPECT_EQ(ColorFromText(QStringLiteral("3,5")), 4);
    EXPECT_EQ(ColorFromText(QStringLiteral("254,7")), 255);
    EXPECT_EQ(ColorFromText(QStringLiteral("2.5")), 0);
}

TEST(Palette, GridClicksHitSwatchesOnlyInsideThem)
{
    // Column 3 (x from 28 to 40), top row (y from 0 to 10): colour 38.
    EXPECT_EQ(frmColor::GridColorAt(34, 5), 38);
    EXPECT_EQ(frmColor::GridColorAt(29, 1), 38);
    EXPECT_EQ(frmColor::GridColorAt(28, 5), 0);
    EXPECT_EQ(frmColor::GridColorAt(40, 5), 0);
    EXPECT_EQ(frmColor::GridColorAt(41, 5), 0);
    // First column: rows from the top 18, 16, 14, 12, 10, then 11, 13, 15, 17, 19 from y = 66.
    EXPECT_EQ(frmColor::GridColorAt(5, 53), 10);
    EXPECT_EQ(frmColor::GridColorAt(5, 60), 0);
    EXPECT_EQ(frmColor::GridColorAt(5, 70), 11);
    EXPECT_EQ(frmColor::GridColorAt(5, 118), 19);
    // Last column, last row.
    EXPECT_EQ(frmColor::GridColorAt(14 * 23 + 6, 54 + 60 + 4), 249);
    for (int color = 10; color <= 249; ++color) {
        const QPoint at = frmColor::GridSwatchOrigin(color) + QPoint(6, 5);
        EXPECT_EQ(frmColor::GridColorAt(at.x(), at.y()), color);
    }
}

TEST_F(ColorPicker, ThirdSwatchOfTopGridRowGivesThirtyEight)
{
    QColor preview;
    const std::int16_t color = Pick(7, [&preview](frmColor& form) {
        QTest::mouseClick(PickerOf(&form).picColor[16], Qt::LeftButton, Qt::NoModifier, QPoint(14 * 2 + 6, 5));
        EXPECT_EQ(PickerOf(&form).txtColor->text(), QStringLiteral("38"));
        preview = Preview(form);
        Ok(form);
    });
    EXPECT_EQ(color, 38);
    EXPECT_EQ(preview, QColor(76, 38, 0));
}

TEST_F(ColorPicker, ClickBetweenGridSwatchesKeepsTheText)
{
    Pick(5, [](frmColor& form) {
        QTest::mouseClick(PickerOf(&form).picColor[16], Qt::LeftButton, Qt::NoModifier, QPoint(13, 5));
        EXPECT_EQ(PickerOf(&form).txtColor->text(), QStringLiteral("blue"));
        Ok(form);
    });
}

TEST_F(ColorPicker, StandardAndGreySwatchesSetTheirTexts)
{
    Pick(0, [](frmColor& form) {
        QTest::mouseClick(PickerOf(&form).picColor[5], Qt::LeftButton);
        EXPECT_EQ(PickerOf(&form).txtColor->text(), QStringLiteral("magenta"));
        QTest::mouseClick(PickerOf(&form).picColor[8], Qt::LeftButton);
        EXPECT_EQ(PickerOf(&form).txtColor->text(), QStringLiteral("9"));
        QTest::mouseClick(PickerOf(&form).picColor[14], Qt::LeftButton);
        EXPECT_EQ(PickerOf(&form).txtColor->text(), QStringLiteral("255"));
        QTest::mouseClick(PickerOf(&form).picColor[9], Qt::LeftButton);
        EXPECT_EQ(PickerOf(&form).txtColor->text(), QStringLiteral("250"));
        EXPECT_EQ(Preview(form), QColor(51, 51, 51));
        Ok(form);
    });
}

TEST_F(ColorPicker, LowerCaseNameIsAcceptedCapitalisedIsNot)
{
    QColor preview;
    EXPECT_EQ(Pick(3, [&preview](frmColor& form) {
                  Type(form, "magenta");
                  preview = Preview(form);
                  Ok(form);
              }),
              6);
    EXPECT_EQ(preview, QColor(255, 0, 255));

    EXPECT_EQ(Pick(3, [&preview](frmColor& form) {
                  Type(form, "Magenta");
                  preview = Preview(form);
                  Ok(form);
              }),
              0);
    EXPECT_EQ(preview, ButtonFace());
}

TEST_F(ColorPicker, TypedOneShowsNoColourTypedTwoToTwoFiftyFiveDo)
{
    QColor preview;
    EXPECT_EQ(Pick(3, [&preview](frmColor& form) {
                  Type(form, "1");
                  preview = Preview(form);
                  Ok(form);
              }),
              0);
    EXPECT_EQ(preview, ButtonFace());

    EXPECT_EQ(Pick(3, [&preview](frmColor& form) {
                  Type(form, "250");
                  preview = Preview(form);
                  Ok(form);
              }),
              250);
    EXPECT_EQ(preview, QColor(51, 51, 51));

    EXPECT_EQ(Pick(3, [](frmColor& form) {
                  Type(form, "2");
                  Ok(form);
              }),
              2);
}

TEST_F(ColorPicker, CancelKeepsTheColourItWasOpenedWith)
{
    EXPECT_EQ(Pick(40, [](frmColor& form) {
                  EXPECT_EQ(PickerOf(&form).txtColor->text(), QStringLiteral("40"));
                  Type(form, "red");
                  QTest::mouseClick(PickerOf(&form).cmdColor[1], Qt::LeftButton);
              }),
              40);
    EXPECT_EQ(Pick(40, [](frmColor& form) {
                  Type(form, "red");
                  form.close();
              }),
              40);
}

TEST_F(ColorPicker, ScreenColourFollowsTheColourNumber)
{
    frmColor form;
    form.SetColor(200);
    // Hue 285 degrees (b = 1, r = 0.75) at full strength.
    EXPECT_EQ(form.RGBColor(), QColor(191, 0, 255));
    form.SetColor(0);
    EXPECT_EQ(form.RGBColor(), ButtonFace());
    EXPECT_EQ(PickerOf(&form).txtColor->text(), QString());
    EXPECT_EQ(Preview(form), ButtonFace());
}
