// Guards against cells converting with the wrong rounding, range or locale, against number texts
// accepted or rewritten wrongly, and against settings that lose their keys or defaults.
#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "desktop/Cell.h"
#include "desktop/Error.h"
#include "desktop/Settings.h"
#include "support/TestSupport.h"
#include "desktop/modLocale.h"
#include "desktop/modMessage.h"

using namespace ardela;
using namespace ardela::test;

TEST(CellConversion, IntegersRoundHalfToEvenAndOverflowOutsideTheirRange)
{
    EXPECT_EQ(Cell(2.5).ToInt16(), 2);
    EXPECT_EQ(Cell(3.5).ToInt16(), 4);
    EXPECT_EQ(Cell(-2.5f).ToInt16(), -2);
    EXPECT_EQ(Cell(-2.6).ToInt16(), -3);
    EXPECT_EQ(Cell(32767.4).ToInt16(), 32767);
    EXPECT_EQ(Cell(-32768.0).ToInt16(), -32768);
    EXPECT_THROW(Cell(32767.5).ToInt16(), ModelError);
    EXPECT_THROW(Cell(std::int32_t(40000)).ToInt16(), ModelError);
    EXPECT_THROW(Cell(-32768.6).ToInt16(), ModelError);
    EXPECT_EQ(Cell(2147483647.0).ToInt32(), 2147483647);
    EXPECT_THROW(Cell(2147483647.5).ToInt32(), ModelError);
    EXPECT_EQ(Cell().ToInt16(), 0);
    EXPECT_EQ(Cell(true).ToInt16(), -1);
}

TEST(CellConversion, TextsReadAsNumbersInTheUsersLocale)
{
    {
        ScopedLocale locale("de_DE");
        EXPECT_DOUBLE_EQ(Cell(QStringLiteral("12,5")).ToDouble(), 12.5);
        EXPECT_EQ(Cell(QStringLiteral(" 7 ")).ToInt16(), 7);
        EXPECT_EQ(Cell(QStringLiteral("2,5")).ToInt16(), 2);
    }
    {
        ScopedLocale locale("en_US");
        EXPECT_DOUBLE_EQ(Cell(QStringLiteral("12.5")).ToDouble(), 12.5);
        EXPECT_EQ(Cell(QStringLiteral("+3")).ToInt16(), 3);
        EXPECT_THROW(Cell(QStringLiteral("steel")).ToDouble(), ModelError);
        EXPECT_THROW(Cell(QStringLiteral("")).ToSingle(), ModelError);
    }
    EXPECT_THROW(Cell(1e39).ToSingle(), ModelError);
    EXPECT_FLOAT_EQ(Cell(1e38).ToSingle(), 1e38f);
}

TEST(CellConversion, BooleansAndComparisonsFollowTheSystemsRules)
{
    EXPECT_TRUE(Cell(QStringLiteral("-1")).ToBool());
    EXPECT_TRUE(Cell(QStringLiteral("True")).ToBool());
    EXPECT_FALSE(Cell(QStringLiteral("false")).ToBool());
    EXPECT_FALSE(Cell(QStringLiteral("0")).ToBool());
    EXPECT_FALSE(Cell().ToBool());
    EXPECT_TRUE(Cell(QStringLiteral("1")).NumericEquals(1.0));
    EXPECT_TRUE(Cell(1.0f).NumericEquals(1.0));
    EXPECT_FALSE(Cell().NumericEquals(1.0));
    EXPECT_FALSE(Cell(QStringLiteral("one")).NumericEquals(1.0));
    EXPECT_TRUE(Cell(std::int16_t(3)).SameValue(Cell(3.0f)));
    EXPECT_EQ(Cell(std::int16_t(-32768)).Negated(), Cell(std::int32_t(32768)));
    EXPECT_EQ(Cell(2.5f).Negated(), Cell(-2.5f));
    EXPECT_EQ(Cell().Negated(), Cell(std::int16_t(0)));
}

TEST(CellConversion, PlainTextIsTheShortestOrdinaryForm)
{
    ScopedLocale locale("en_US");
    EXPECT_EQ(Cell(0.1f).ToText(), QStringLiteral("0.1"));
    EXPECT_EQ(Cell(100.0f).ToText(), QStringLiteral("100"));
    EXPECT_EQ(Cell(1234567.0f).ToText(), QStringLiteral("1234567"));
    EXPECT_EQ(Cell(12345678.0f).ToText(), QStringLiteral("1.234568E+07"));
    EXPECT_EQ(Cell(0.1).ToText(), QStringLiteral("0.1"));
    EXPECT_EQ(Cell(1.0 / 3.0).ToText(), QStringLiteral("0.333333333333333"));
    EXPECT_EQ(Cell(0.00001).ToText(), QStringLiteral("1E-05"));
    EXPECT_EQ(Cell(1e15).ToText(), QStringLiteral("1E+15"));
    EXPECT_EQ(Cell(std::int16_t(-7)).ToText(), QStringLiteral("-7"));
    EXPECT_EQ(Cell(true).ToText(), QStringLiteral("True"));
    EXPECT_EQ(Cell().ToText(), QString());
    ScopedLocale comma("ro_RO");
    EXPECT_EQ(Cell(2.5f).ToText(), QStringLiteral("2,5"));
}

TEST(CellConversion, ASinglesTextKeepsItsDecimalsWhenTheProgramRunsInACommaLocale)
{
    // The programs run with the C library in the user's locale (QApplication sets it).
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (locale-gen de_DE.UTF-8)";
    ScopedLocale comma("de_DE");
    const QString small = Cell(2.35f).ToText();
    const QString large = Cell(1.5e20f).ToText();
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(small, QStringLiteral("2,35"));
    EXPECT_EQ(large, QStringLiteral("1,5E+20"));
}

TEST(LocaleNumbers, FormatFieldTurnsTheFirstLocaleSeparatorIntoAPoint)
{
    {
        ScopedLocale locale("de_DE");
        EXPECT_EQ(DecimalSeparator(), QStringLiteral(","));
        EXPECT_EQ(FormatField(QStringLiteral("12,5"), 0), QStringLiteral("12.5"));
        EXPECT_EQ(FormatField(QStringLiteral("12"), 0), QStringLiteral("12"));
        EXPECT_EQ(FormatField(QStringLiteral("1,2,3"), 0), QStringLiteral("1.2,3"));
    }
    ScopedLocale locale("en_US");
    EXPECT_EQ(DecimalSeparator(), QStringLiteral("."));
    EXPECT_EQ(FormatField(QStringLiteral("1,2.5"), 0), QStringLiteral("1,2.5"));
    EXPECT_EQ(FormatField(QStringLiteral("7.5"), 6), QStringLiteral("   7.5"));
    EXPECT_EQ(FormatField(QStringLiteral("123456789"), 4), QStringLiteral("123456789"));
}

TEST(LocaleNumbers, IsNumberAcceptsOnlyDigitsSignsAndTheSeparator)
{
    {
        ScopedLocale locale("en_US");
        EXPECT_FALSE(IsNumber(QString()));
        EXPECT_TRUE(IsNumber(QStringLiteral("-3")));
        EXPECT_TRUE(IsNumber(QStringLiteral("+3")));
        EXPECT_TRUE(IsNumber(QStringLiteral("2.5")));
        EXPECT_FALSE(IsNumber(QStringLiteral("1e3")));
        EXPECT_FALSE(IsNumber(QStringLiteral(" 3")));
        EXPECT_FALSE(IsNumber(QStringLiteral("3 ")));
        EXPECT_FALSE(IsNumber(QStringLiteral("1,000")));
        EXPECT_FALSE(IsNumber(QStringLiteral("--3")));
        EXPECT_FALSE(IsNumber(QStringLiteral("+-3")));
        EXPECT_FALSE(IsNumber(QStringLiteral("1.2.3")));
        EXPECT_FALSE(IsNumber(QStringLiteral("-")));
    }
    ScopedLocale locale("de_DE");
    EXPECT_TRUE(IsNumber(QStringLiteral("2,5")));
    EXPECT_FALSE(IsNumber(QStringLiteral("2.5")));
}

TEST(LocaleNumbers, PatternsPrintFixedDecimalsAndTheScientificForm)
{
    ScopedLocale locale("en_US");
    EXPECT_EQ(FormatFixed(1234.5678, 3), QStringLiteral("1234.568"));
    EXPECT_EQ(FormatFixed(-0.0004, 3), QStringLiteral("0.000"));
    EXPECT_EQ(FormatFixed(-0.0006, 3), QStringLiteral("-0.001"));
    EXPECT_EQ(FormatFixed(0.0, 3), QStringLiteral("0.000"));
    EXPECT_EQ(FormatScientific(2.1e6, 3), QStringLiteral("2.100 E+6"));
    EXPECT_EQ(FormatScientific(-0.00125, 3), QStringLiteral("-1.250 E-3"));
    EXPECT_EQ(FormatScientific(2.0e10, 3), QStringLiteral("2.000 E+10"));
    EXPECT_EQ(FormatScientific(0.0, 3), QStringLiteral("0.000 E+0"));
    ScopedLocale comma("de_DE");
    EXPECT_EQ(FormatFixed(10.0, 3), QStringLiteral("10,000"));
    EXPECT_EQ(FormatScientific(2.1e6, 3), QStringLiteral("2,100 E+6"));
}

TEST(MessageRouting, StylesSplitIntoIconAndButtonsAndReachTheHandler)
{
    EXPECT_EQ(MessageIconCode(51), 48);
    EXPECT_EQ(MessageButtonSet(51), 3);
    EXPECT_EQ(MessageIconCode(20), 16);
    EXPECT_EQ(MessageButtonSet(20), 4);
    EXPECT_EQ(MessageIconCode(0), 0);
    EXPECT_EQ(MessageButtonSet(49), 1);
    QString seen;
    MessageHandler previous = SetMessageHandler([&seen](const QString& p, std::int16_t s, const QString& t) {
        seen = p + u'|' + QString::number(s) + u'|' + t;
        return std::int16_t(MsgResultNo);
    });
    EXPECT_EQ(ShowMessage(QStringLiteral("Save?"), 36, QStringLiteral("Korrin")), MsgResultNo);
    EXPECT_EQ(seen, QStringLiteral("Save?|36|Korrin"));
    SetMessageHandler(previous);
    // Without a dialog a question gets no selection: Cancel.
    EXPECT_EQ(StandardErrorMessageHandler(QStringLiteral("question"), 36, QString()), MsgResultCancel);
    EXPECT_EQ(StandardErrorMessageHandler(QStringLiteral("note"), 16, QString()), MsgResultOk);
}

TEST(SettingsStore, AFirstStartReadsEveryDefaultAndASaveIsReadBack)
{
    // The test main gives this process a private configuration folder.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ardela"), QStringLiteral("Ardela")).clear();
    SettingsArray s;
    LoadSettings(s);
    const QStringList keys = {"TextHeight", "Layer1", "Layer2", "Layer3", "Layer4", "Layer5", "Layer6",
                              "Layer7", "Color", "Tension", "Compression", "Layer8", "Layer9", "ScaleFactor"};
    const QStringList defaults = {"5", "2", "6", "3", "4", "7", "5", "1", "-1", "1", "1", "40", "200", "20"};
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(SettingKeys()[std::size_t(i)], keys[i]);
        EXPECT_EQ(s[std::size_t(i)], Cell(defaults[i])) << keys[i].toStdString();
    }
    EXPECT_TRUE(s[SetColor].ToBool());
    EXPECT_EQ(s[SetTextHeight].ToSingle(), 5.0f);

    s[SetTextHeight] = Cell(QStringLiteral("2.5"));
    s[SetColor] = Cell(false);
    s[SetLayer9] = Cell(std::int16_t(123));
    SaveSettings(s);
    SettingsArray other;
    LoadSettings(other);
    EXPECT_EQ(other[SetTextHeight], Cell(QStringLiteral("2.5")));
    EXPECT_FALSE(other[SetColor].ToBool());
    EXPECT_EQ(other[SetLayer9].ToInt16(), 123);
    // The store every program of the suite reads: application Ardela, section Options.
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Ardela/Ardela.conf");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
    const QByteArray content = f.readAll();
    EXPECT_TRUE(content.contains("[Options]"));
    EXPECT_TRUE(content.contains("Layer9=123"));
}

TEST(TestEnvironment, EveryVariableGivenToATestIsSet)
{
    // The build's test registration must hand over each variable, blanks included.
    EXPECT_EQ(qgetenv("ARDELA_TEST_MARKER"), QByteArray("set"));
    EXPECT_EQ(qgetenv("ARDELA_TEST_WORDS"), QByteArray("two words"));
}
