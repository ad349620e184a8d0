// Guards against: continued entries joined wrong or the id left in the wrong place, the language
// offset missing or applied where it does not belong, CR LF or Romanian letters lost from the
// tables, one bad caption stopping the others.
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>

#include <gtest/gtest.h>

#include "desktop/Error.h"
#include "support/TestSupport.h"
#include "desktop/modResource.h"

using namespace ardela;

namespace {

// Selects a table for the scope and restores Korrin's afterwards.
class TableScope {
public:
    explicit TableScope(StringTable table) { SelectStringTable(table); }
    ~TableScope() { SelectStringTable(StringTable::Korrin); }
};

} // namespace

TEST(LoadLongResString, JoinsAnEntryEndingInUnderscoreWithTheNext)
{
    TableScope korrin(StringTable::Korrin);
    std::int16_t id = 7001;
    const QString text = LoadLongResString(id);
    EXPECT_EQ(text, QStringLiteral("The Korrin Wizard  has finished collecting the information to start the analysis.")
                        + kCrLf + kCrLf
                        + QStringLiteral("To launch the analysis and compute the element stresses press Run. Please wait "
                                         "until the drawing is created in AutoCAD.")
                        + kCrLf + kCrLf
                        + QStringLiteral("If the analysis wa not saved the Wizard will prompt you to save the analysis to a "
                                         "file. To exit the Wizard click Close."));
    EXPECT_EQ(id, 7003);
}

TEST(LoadLongResString, ReturnsASingleEntryWholeAndStepsPastIt)
{
    TableScope korrin(StringTable::Korrin);
    std::int16_t id = 7003;
    EXPECT_EQ(LoadLongResString(id), QStringLiteral("&Save Settings to Registry"));
    EXPECT_EQ(id, 7004);
    id = 102;
    EXPECT_EQ(LoadLongResString(id), QStringLiteral("< &Back"));
}

TEST(LoadLongResString, VendelContinuationKeepsRomanianLetters)
{
    TableScope vendel(StringTable::Vendel);
    std::int16_t id = 18001;
    const QString text = LoadLongResString(id);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Indrumarul Vendel a colectat toate datele necesare rularii analizei.")
                                + kCrLf + kCrLf + QStringLiteral("Pentru a rula analiza")));
    EXPECT_FALSE(text.contains(QLatin1Char('_')));
    // The table's line-feed escapes show as line breaks, not as a backslash and an n.
    EXPECT_TRUE(text.endsWith(QStringLiteral("apasati butonul Optiuni.\n\nPentru a parasi aplicatia selectati butonul Inchide.")));
    EXPECT_FALSE(text.contains(QLatin1Char('\\')));
    EXPECT_EQ(id, 18003);

    id = 11001;
    const QString welcome = LoadLongResString(id);
    EXPECT_TRUE(welcome.startsWith(QStringLiteral("Bun venit în îndrumarul Vendel, Acest îndrumar va permite")));
    EXPECT_TRUE(welcome.contains(QStringLiteral("selectând butonul Inapoi.") + kCrLf + kCrLf + QStringLiteral("Daca AutoCAD")));
    id = 13002;
    EXPECT_EQ(LoadLongResString(id), QStringLiteral(" &Activeaza"));
}

TEST(LoadLongResString, MissingEntryIsAnError)
{
    TableScope korrin(StringTable::Korrin);
    std::int16_t id = 8000;
    EXPECT_THROW(LoadLongResString(id), ModelError);
    // Korrin's table holds no Romanian entries.
    EXPECT_FALSE(LoadResString(17003).has_value());
    EXPECT_EQ(LoadResString(9000), QStringLiteral("Plot Options"));
}

TEST(LoadResStrings, TagNamesEnglishEntryInKorrinAndRomanianOneInVendel)
{
    for (const auto& [table, caption, title] :
         {std::tuple{StringTable::Korrin, QStringLiteral("&Save Settings to Registry"), QStringLiteral("Plot Options")},
          std::tuple{StringTable::Vendel, QStringLiteral("C&ulege"), QStringLiteral("Optiuni de Desenare")}}) {
        TableScope scope(table);
        QWidget form;
        form.setProperty("Tag", QStringLiteral("9000"));
        auto* button = new QPushButton(QStringLiteral("7003"), &form);
        button->setProperty("Tag", QStringLiteral("7003"));
        LoadResStrings(&form);
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(form.windowTitle(), title);
    }
}

TEST(LoadResStrings, WalksNestedControlsAndSkipsWhatItCannotLoad)
{
    TableScope korrin(StringTable::Korrin);
    QWidget form;
    auto* frame = new QGroupBox(&form);
    frame->setProperty("Tag", 9001);
    auto* label = new QLabel(QStringLiteral("unchanged"), frame);
    label->setProperty("Tag", QStringLiteral("4242"));
    label->setProperty("ToolTipText", QStringLiteral("100"));
    auto* step = new QLabel(frame);
    step->setProperty("Tag", QStringLiteral("7001"));
    auto* plain = new QPushButton(QStringLiteral("Keep"), &form);
    plain->setProperty("Tag", QStringLiteral("next"));
    auto* tabs = new QTabWidget(&form);
    tabs->addTab(new QWidget, QStringLiteral("x"));
    tabs->tabBar()->setTabData(0, QStringLiteral("1002"));
    tabs->setTabToolTip(0, QStringLiteral("101"));

    LoadResStrings(&form);
    EXPECT_EQ(frame->title(), QStringLiteral("Symbol Sizes"));
    EXPECT_EQ(label->text(), QStringLiteral("unchanged"));
    EXPECT_EQ(label->toolTip(), QStringLiteral("Help"));
    EXPECT_TRUE(step->text().endsWith(QStringLiteral("To exit the Wizard click Close.")));
    EXPECT_EQ(plain->text(), QStringLiteral("Keep"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Analysis Options"));
    EXPECT_EQ(tabs->tabToolTip(0), QStringLiteral("Cancel"));
    EXPECT_EQ(form.windowTitle(), QString());
}

TEST(StringTables, HoldEveryIdOfTheirLayout)
{
    const std::vector<int> korrin = {100, 101, 102, 103, 104, 105, 1000, 1001, 1002, 1003, 1004,
                                     2000, 2001, 2002, 2003, 2004, 2005, 2006, 3000, 3001, 3002, 3003, 3004,
                                     4000, 4001, 4002, 4003, 4004, 5000, 5001, 5002, 5003, 5004,
                                     6000, 6001, 6002, 6003, 6004, 7000, 7001, 7002, 7003};
    {
        TableScope scope(StringTable::Korrin);
        for (int id : korrin)
            EXPECT_TRUE(LoadResString(id).has_value()) << id;
        for (int id = 9000; id <= 9011; ++id)
            EXPECT_TRUE(LoadResString(id).has_value()) << id;
        EXPECT_EQ(LoadResString(6001), QStringLiteral("Select each Loaded node in AutoCAD. To start the selection click the "
                                                       "Pick button. When finished press the rightmouse button to return to the "
                                                       "Wizard.\r\n\r\nClick in the grid to add the values of each load."));
    }
    TableScope scope(StringTable::Vendel);
    for (int id : {10100, 10105, 11000, 12006, 13000, 13001, 13002, 14007, 15004, 16004, 17004, 18000, 18001, 18002,
                   19000, 19011})
        EXPECT_TRUE(LoadResString(id).has_value()) << id;
    EXPECT_EQ(LoadResString(16000), QStringLiteral("Definirea Liniilor Blocate"));
    EXPECT_EQ(LoadResString(15001)->count(QStringLiteral("\r\n")), 2);
    EXPECT_EQ(LoadResString(10102), QStringLiteral("< &Inapoi"));
    EXPECT_TRUE(LoadResString(14001)->contains(QStringLiteral("apasati butonul dreapta al mouse-ului.\nPuteti introduce")));
}
