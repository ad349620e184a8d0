// Guards the Options dialog against: wrong captions or layer entries in either language, a colour
// edited on the wrong key, a picked colour lost on switching layers, OK enabled for a box that is no
// number (or a text height no text can have), Save touching the running options or skipping a key,
// Cancel or loading counting as changes, OK reaching the drawing before it took the options over
// or while still shown, and a window left open.
#include <functional>
#include <map>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include "desktop/frmColor.h"
#include "desktop/frmOptions.h"
#include "desktop/modResource.h"
#include "support/DesktopControls.h"
#include "support/TestSupport.h"
#include "support/WindowTest.h"

using namespace ardela;
using ardela::test::OptionsOf;
using ardela::test::PickerOf;
using ardela::test::WhenModalShown;

namespace {

// The drawing palette colours the defaults name, written out from the colour table.
const QColor kYellow(255, 255, 0);    // 2
const QColor kGreen(0, 255, 0);       // 3
const QColor kMagenta(255, 0, 255);   // 6
const QColor kWhite(255, 255, 255);   // 7
const QColor kColor40(255, 191, 0);   // hue 45 degrees, full strength
const QColor kColor200(191, 0, 255);  // hue 285 degrees, full strength

QColor Role(QPalette::ColorRole role)
{
    return QApplication::palette().color(role);
}

QStringList Entries(const QComboBox* box)
{
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    return entries;
}

QStringList FrameTitles(const QWidget* form)
{
    QStringList titles;
    for (const QGroupBox* frame : form->findChildren<QGroupBox*>())
        if (frame->window() == form)  // not the colour picker's frames
            titles << frame->title();
    titles.sort();
    return titles;
}

QStringList LabelTexts(const QWidget* form)
{
    QStringList texts;
    for (const QLabel* label : form->findChildren<QLabel*>())
        if (label->window() == form)
            texts << label->text();
    texts.sort();
    return texts;
}

// The store's Options section as texts.
std::map<QString, QString> StoredOptions()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ardela"), QStringLiteral("Ardela"));
    store.beginGroup(QStringLiteral("Options"));
    std::map<QString, QString> values;
    for (const QString& key : store.childKeys())
        values[key] = store.value(key).toString();
    return values;
}

void ClearStore()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ardela"), QStringLiteral("Ardela"));
    store.clear();
    store.sync();
}

class OptionsDialog : public ardela::test::WindowTest {
protected:
    void SetUp() override { SelectStringTable(StringTable::Korrin); }
    void TearDown() override
    {
        SelectStringTable(StringTable::Korrin);
        WindowTest::TearDown();
    }

    static void Type(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }

    // Presses and releases the mouse on the preview; the picker that opens gets `answer`.
    static void PickColor(frmOptions& form, std::function<void(frmColor&)> answer)
    {
        frmColor* picker = form.Picker();
        WhenModalShown([picker, answer](QWidget* modal) {
            EXPECT_EQ(modal, picker);
            answer(*picker);
        });
        QTest::mousePress(OptionsOf(&form).picPlot, Qt::LeftButton);
        QTest::mouseRelease(OptionsOf(&form).picPlot, Qt::LeftButton);
    }

    static void TypeInPicker(frmColor& picker, const char* text)
    {
        PickerOf(&picker).txtColor->selectAll();
        QTest::keyClick(PickerOf(&picker).txtColor, Qt::Key_Delete);
        QTest::keyClicks(PickerOf(&picker).txtColor, QLatin1String(text));
        QTest::mouseClick(PickerOf(&picker).cmdColor[0], Qt::LeftButton);
    }

    SettingsArray m_settings = DefaultSettings();
    std::vector<OptionsChanges> m_applied;
    frmOptions::ApplyToDrawing Recorder()
    {
        return [this](const OptionsChanges& changes) { m_applied.push_back(changes); };
    }
};

} // namespace

TEST_F(OptionsDialog, KorrinShowsItsEnglishCaptionsAndLayers)
{
    frmOptions form(nullptr, Recorder(), &m_settings);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Plot Options"));
    EXPECT_EQ(FrameTitles(&form),
              (QStringList{"Color", "Layers Colors", "Plot", "Symbol Sizes"}));
    EXPECT_EQ(LabelTexts(&form), (QStringList{"&Layer:", "Scale &Factor:", "Text &Height:"}));
    EXPECT_EQ(OptionsOf(&form).chkPlot[0]->text(), QStringLiteral("&Tension Stresses"));
    EXPECT_EQ(OptionsOf(&form).chkPlot[1]->text(), QStringLiteral("&Compression Stresses"));
    EXPECT_EQ(OptionsOf(&form).optPlot[0]->text(), QStringLiteral("&Black and White"));
    EXPECT_EQ(OptionsOf(&form).optPlot[1]->text(), QStringLiteral("C&olor"));
    EXPECT_EQ(OptionsOf(&form).cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(OptionsOf(&form).cmdCancel->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(OptionsOf(&form).cmdSave->text(), QStringLiteral("&Save"));
    EXPECT_TRUE(OptionsOf(&form).cmdOK->isDefault());
    EXPECT_EQ(Entries(OptionsOf(&form).cboPlot), (QStringList{"Nodes", "Beams", "Blocks", "Loads", "Plus", "Minus"}));

    // Each entry shows the colour of its key: 2, 6, 40, 200, 5 and 1 by default.
    const QColor expected[6] = {kYellow, kMagenta, kColor40, kColor200, QColor(0, 0, 255), QColor(255, 0, 0)};
    for (int i = 0; i < 6; ++i) {
        OptionsOf(&form).cboPlot->setCurrentIndex(i);
        EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), expected[i]) << OptionsOf(&form).cboPlot->currentText().toStdString();
    }
}

TEST_F(OptionsDialog, VendelShowsItsRomanianCaptionsAndLayers)
{
    SelectStringTable(StringTable::Vendel);
    frmOptions form(nullptr, Recorder(), &m_settings);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Optiuni de Desenare"));
    EXPECT_EQ(FrameTitles(&form),
              (QStringList{"Color", "Culoarea Layers", "Marimea Simbolurilor", "Plot"}));
    EXPECT_EQ(LabelTexts(&form), (QStringList{"&Factor de Scara:", "&Layer:", "Inaltimea &Text:"}));
    EXPECT_EQ(OptionsOf(&form).chkPlot[0]->text(), QStringLiteral("Tensiuni &Principale"));
    EXPECT_EQ(OptionsOf(&form).chkPlot[1]->text(), QStringLiteral("T&ensiuni Secundare"));
    EXPECT_EQ(OptionsOf(&form).optPlot[0]->text(), QStringLiteral("&Alb si Negru"));
    EXPECT_EQ(OptionsOf(&form).optPlot[1]->text(), QStringLiteral("C&olor"));
    EXPECT_EQ(OptionsOf(&form).cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(OptionsOf(&form).cmdCancel->text(), QStringLiteral("Anuleaza"));
    EXPECT_EQ(OptionsOf(&form).cmdSave->text(), QStringLiteral("&Save"));
    EXPECT_EQ(Entries(OptionsOf(&form).cboPlot), (QStringList{"Mesh", "Domains", "Lines", "Loads", "Plus", "Minus"}));

    // Mesh, Domains and Lines edit Layer3 to Layer5: green, cyan and white by default.
    EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), kGreen);
    OptionsOf(&form).cboPlot->setCurrentIndex(1);
    EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), QColor(0, 255, 255));
    OptionsOf(&form).cboPlot->setCurrentIndex(2);
    EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), kWhite);
}

TEST_F(OptionsDialog, LoadsTheRunningOptionsNotTheStore)
{
    ClearStore();
    m_settings[SetTextHeight] = Cell("2,5x");
    m_settings[SetScaleFactor] = Cell("35");
    m_settings[SetColor] = Cell(false);
    m_settings[SetTension] = Cell(std::int16_t(0));
    m_settings[SetCompression] = Cell("1");
    m_settings[SetLayer1] = Cell(std::int16_t(7));
    frmOptions form(nullptr, Recorder(), &m_settings);
    EXPECT_EQ(OptionsOf(&form).txtText->text(), QStringLiteral("2,5x"));
    EXPECT_EQ(OptionsOf(&form).txtScale->text(), QStringLiteral("35"));
    EXPECT_TRUE(OptionsOf(&form).optPlot[0]->isChecked());
    EXPECT_FALSE(OptionsOf(&form).optPlot[1]->isChecked());
    EXPECT_FALSE(OptionsOf(&form).chkPlot[0]->isChecked());
    EXPECT_TRUE(OptionsOf(&form).chkPlot[1]->isChecked());
    EXPECT_EQ(OptionsOf(&form).cboPlot->currentIndex(), 0);
    EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), kWhite);
    // A text height that is no number cannot be taken over as it stands.
    EXPECT_FALSE(OptionsOf(&form).cmdOK->isEnabled());
    EXPECT_TRUE(StoredOptions().empty());
}

TEST_F(OptionsDialog, OkIsEnabledExactlyWhenBothBoxesHoldUsableNumbers)
{
    frmOptions form(nullptr, Recorder(), &m_settings);
    form.show();
    EXPECT_TRUE(OptionsOf(&form).cmdOK->isEnabled());
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"abc", "20", false}, {"7", "20", true},   {"7", "", false},   {"7", "1e3", false},
        {"", "20", false},    {"2.5", "0.5", true}, {"0", "20", false}, {"-3", "20", false},
        {"7", "-2", true},    {"7", "0", true},    {"12", "x1", false}, {"12", "40", true},
    };
    for (const auto& [height, scale, enabled] : cases) {
        Type(OptionsOf(&form).txtText, QLatin1String(height));
        Type(OptionsOf(&form).txtScale, QLatin1String(scale));
        EXPECT_EQ(OptionsOf(&form).cmdOK->isEnabled(), enabled) << height << " / " << scale;
    }
    form.close();
}

TEST_F(OptionsDialog, TabIntoABoxSelectsItsWholeText)
{
    m_settings[SetScaleFactor] = Cell("12.5");
    frmOptions form(nullptr, Recorder(), &m_settings);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    OptionsOf(&form).txtText->setFocus(Qt::MouseFocusReason);
    OptionsOf(&form).txtText->deselect();
    QTest::keyClick(OptionsOf(&form).txtText, Qt::Key_Tab);
    ASSERT_TRUE(OptionsOf(&form).txtScale->hasFocus());
    EXPECT_EQ(OptionsOf(&form).txtScale->selectedText(), QStringLiteral("12.5"));
    OptionsOf(&form).txtScale->deselect();
    QTest::keyClick(OptionsOf(&form).txtScale, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_TRUE(OptionsOf(&form).txtText->hasFocus());
    EXPECT_EQ(OptionsOf(&form).txtText->selectedText(), QStringLiteral("5"));
    form.close();
}

TEST_F(OptionsDialog, PreviewLooksRaisedAndPressedWhileTheMouseIsHeld)
{
    frmOptions form(nullptr, Recorder(), &m_settings);
    form.show();
    // Right after loading the lower edges are the plain button shadow.
    EXPECT_FALSE(OptionsOf(&form).picPlot->IsPressed());
    EXPECT_EQ(OptionsOf(&form).picPlot->TopLeftEdge(), Role(QPalette::Light));
    EXPECT_EQ(OptionsOf(&form).picPlot->BottomRightEdge(), Role(QPalette::Dark));

    WhenModalShown([&](QWidget*) { form.Picker()->reject(); });
    QTest::mousePress(OptionsOf(&form).picPlot, Qt::LeftButton);
    EXPECT_TRUE(OptionsOf(&form).picPlot->IsPressed());
    EXPECT_EQ(OptionsOf(&form).picPlot->TopLeftEdge(), Role(QPalette::Shadow));
    EXPECT_EQ(OptionsOf(&form).picPlot->BottomRightEdge(), Role(QPalette::Light));
    QTest::mouseRelease(OptionsOf(&form).picPlot, Qt::LeftButton);
    EXPECT_FALSE(OptionsOf(&form).picPlot->IsPressed());
    EXPECT_EQ(OptionsOf(&form).picPlot->TopLeftEdge(), Role(QPalette::Light));
    EXPECT_EQ(OptionsOf(&form).picPlot->BottomRightEdge(), Role(QPalette::Shadow));
    form.close();
}

TEST_F(OptionsDialog, APickedColourStaysOnItsLayerAcrossSelectionsAndOkAppliesIt)
{
    frmOptions form(nullptr, Recorder(), &m_settings);
    form.show();
    // The picker opens on the layer's colour.
    std::int16_t openedWith = -1;
    PickColor(form, [&](frmColor& picker) {
        openedWith = picker.Color();
        TypeInPicker(picker, "magenta");
    });
    EXPECT_EQ(openedWith, 2);
    EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), kMagenta);
    EXPECT_EQ(form.WorkingColor(SetLayer1).ToInt16(), 6);
    EXPECT_EQ(m_settings[SetLayer1].ToText(), QStringLiteral("2"));

    OptionsOf(&form).cboPlot->setCurrentIndex(2);
    EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), kColor40);
    OptionsOf(&form).cboPlot->setCurrentIndex(0);
    EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), kMagenta);

    QTest::mouseClick(OptionsOf(&form).cmdOK, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(m_settings[SetLayer1].ToInt16(), 6);
    EXPECT_EQ(m_settings[SetLayer8].ToText(), QStringLiteral("40"));
    ASSERT_EQ(m_applied.size(), 1u);
    EXPECT_TRUE(m_applied[0].layerColors);
    EXPECT_FALSE(m_applied[0].textHeight);
    EXPECT_FALSE(m_applied[0].scaleFactor);
    EXPECT_FALSE(m_applied[0].colorMode);
    EXPECT_FALSE(m_applied[0].tension);
    EXPECT_FALSE(m_applied[0].compression);
}

TEST_F(OptionsDialog, APickerThatNamesNoColourOrIsCancelledKeepsTheLayerColour)
{
    frmOptions form(nullptr, Recorder(), &m_settings);
    form.show();
    OptionsOf(&form).cboPlot->setCurrentIndex(3);  // Loads, colour 200
    PickColor(form, [](frmColor& picker) {
        PickerOf(&picker).txtColor->selectAll();
        QTest::keyClicks(PickerOf(&picker).txtColor, QStringLiteral("green"));
        QTest::mouseClick(PickerOf(&picker).cmdColor[1], Qt::LeftButton);
    });
    EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), kColor200);
    PickColor(form, [](frmColor& picker) { TypeInPicker(picker, "Green"); });
    EXPECT_EQ(OptionsOf(&form).picPlot->Fill(), kColor200);
    EXPECT_EQ(form.WorkingColor(SetLayer9).ToText(), QStringLiteral("200"));

    QTest::mouseClick(OptionsOf(&form).cmdOK, Qt::LeftButton);
    ASSERT_EQ(m_applied.size(), 1u);
    EXPECT_FALSE(m_applied[0].Any());
    EXPECT_EQ(m_settings[SetLayer9].ToText(), QStringLiteral("200"));
}

TEST_F(OptionsDialog, SaveWritesTheStoreAsTypedAndCancelKeepsTheRunningOptions)
{
    ClearStore();
    const SettingsArray before = m_settings;
    frmOptions form(nullptr, Recorder(), &m_settings);
    form.show();
    Type(OptionsOf(&form).txtText, QStringLiteral("tall"));
    Type(OptionsOf(&form).txtScale, QStringLiteral("35"));
    OptionsOf(&form).cboPlot->setCurrentIndex(2);  // Blocks, Layer8
    PickColor(form, [](frmColor& picker) { TypeInPicker(picker, "41"); });
    OptionsOf(&form).optPlot[0]->setChecked(true);
    OptionsOf(&form).chkPlot[0]->setChecked(false);

    QTest::mouseClick(OptionsOf(&form).cmdSave, Qt::LeftButton);
    EXPECT_TRUE(form.isVisible());
    const std::map<QString, QString> expected{
        {"TextHeight", "tall"}, {"ScaleFactor", "35"}, {"Layer1", "2"},   {"Layer2", "6"},
        {"Layer3", "3"},        {"Layer4", "4"},       {"Layer5", "7"},   {"Layer6", "5"},
        {"Layer7", "1"},        {"Color", "0"},        {"Tension", "0"},  {"Compression", "1"},
        {"Layer8", "41"},       {"Layer9", "200"},
    };
    EXPECT_EQ(StoredOptions(), expected);
    for (std::size_t i = 0; i < kSettingCount; ++i)
        EXPECT_TRUE(m_settings[i] == before[i]) << SettingKeys()[i].toStdString();

    QTest::mouseClick(OptionsOf(&form).cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    for (std::size_t i = 0; i < kSettingCount; ++i)
        EXPECT_TRUE(m_settings[i] == before[i]) << SettingKeys()[i].toStdString();
    EXPECT_TRUE(m_applied.empty());
    EXPECT_EQ(StoredOptions(), expected);

    // The next showing starts from the running options, not from what was saved.
    frmOptions again(nullptr, Recorder(), &m_settings);
    EXPECT_EQ(OptionsOf(&again).txtText->text(), QStringLiteral("5"));
    EXPECT_TRUE(OptionsOf(&again).optPlot[1]->isChecked());
}

TEST_F(OptionsDialog, OkTakesTheOptionsOverAndNotesWhichChanged)
{
    ClearStore();
    bool shownDuringDrawing = true;
    SettingsArray seenByDrawing;
    auto recorder = Recorder();
    // The real run: the drawing routine sees the dialog hidden and the options already taken over.
    frmOptions run(nullptr, [&](const OptionsChanges& changes) {
        shownDuringDrawing = run.isVisible();
        seenByDrawing = m_settings;
        recorder(changes);
    }, &m_settings);
    run.show();
    Type(OptionsOf(&run).txtText, QStringLiteral("7.5"));
    Type(OptionsOf(&run).txtScale, QStringLiteral("20.0"));
    OptionsOf(&run).optPlot[0]->setChecked(true);
    OptionsOf(&run).chkPlot[1]->setChecked(false);
    QTest::mouseClick(OptionsOf(&run).cmdOK, Qt::LeftButton);

    EXPECT_FALSE(run.isVisible());
    EXPECT_FALSE(shownDuringDrawing);
    ASSERT_EQ(m_applied.size(), 1u);
    const OptionsChanges& changes = m_applied[0];
    EXPECT_TRUE(changes.textHeight);
    EXPECT_FALSE(changes.scaleFactor);
    EXPECT_TRUE(changes.colorMode);
    EXPECT_FALSE(changes.tension);
    EXPECT_TRUE(changes.compression);
    EXPECT_FALSE(changes.layerColors);
    EXPECT_EQ(seenByDrawing[SetTextHeight].ToText(), QStringLiteral("7.5"));
    EXPECT_EQ(m_settings[SetTextHeight].ToText(), QStringLiteral("7.5"));
    EXPECT_EQ(m_settings[SetScaleFactor].ToText(), QStringLiteral("20.0"));
    EXPECT_FALSE(m_settings[SetColor].ToBool());
    EXPECT_EQ(m_settings[SetTension].ToInt16(), 1);
    EXPECT_EQ(m_settings[SetCompression].ToInt16(), 0);
    // OK leaves the store alone.
    EXPECT_TRUE(StoredOptions().empty());
}

TEST_F(OptionsDialog, OkWithNothingChangedReportsNoChange)
{
    frmOptions form(nullptr, Recorder(), &m_settings);
    form.show();
    QTest::mouseClick(OptionsOf(&form).cmdOK, Qt::LeftButton);
    ASSERT_EQ(m_applied.size(), 1u);
    EXPECT_FALSE(m_applied[0].Any());
}

TEST_F(OptionsDialog, ShownModallyOkAndEscapeEndTheDialog)
{
    frmOptions form(nullptr, Recorder(), &m_settings);
    WhenModalShown([&](QWidget*) { QTest::mouseClick(OptionsOf(&form).cmdOK, Qt::LeftButton); });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_EQ(m_applied.size(), 1u);

    frmOptions second(nullptr, Recorder(), &m_settings);
    WhenModalShown([&](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(second.exec(), QDialog::Rejected);
    EXPECT_EQ(m_applied.size(), 1u);
}

TEST_F(OptionsDialog, WithoutADrawingRoutineOkOnlyTakesTheOptionsOver)
{
    frmOptions form(nullptr, {}, &m_settings);
    form.show();
    Type(OptionsOf(&form).txtScale, QStringLiteral("44"));
    QTest::mouseClick(OptionsOf(&form).cmdOK, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(m_settings[SetScaleFactor].ToText(), QStringLiteral("44"));
    EXPECT_TRUE(form.Changes().scaleFactor);
}

TEST_F(OptionsDialog, UsesTheProgramWideOptionsByDefault)
{
    const SettingsArray saved = Settings();
    {
        frmOptions form;
        form.show();
        Type(OptionsOf(&form).txtText, QStringLiteral("3"));
        QTest::mouseClick(OptionsOf(&form).cmdOK, Qt::LeftButton);
    }
    EXPECT_EQ(Settings()[SetTextHeight].ToText(), QStringLiteral("3"));
    Settings() = saved;
}
