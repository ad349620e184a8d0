// Guards the drawing side of the Options dialog's OK against: texts left at their old height (the
// user's own, on layer 0 or any other layer, included), one program's layers recoloured and the
// other's forgotten, a layer of a merely similar name recoloured, a leftover "tempss"
// blocking the update or left behind, a redraw that runs when it must not (or before the texts and
// layers are done), and a lost host crashing, hanging or reporting more than once.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "cad/OptionsDrawing.h"
#include "cad/ProgramLayers.h"
#include "desktop/frmColor.h"
#include "desktop/frmOptions.h"
#include "desktop/modResource.h"
#include "support/DrawingTestSupport.h"
#include "support/TestSupport.h"
#include "support/WindowTest.h"
#include "stress_wizard/VendelProfile.h"
#include "truss_wizard/KorrinProfile.h"

using namespace ardela;
using namespace ardela::cad;
using ardela::test::MessageRecorder;
using ardela::test::WhenModalShown;

namespace {

// Vendel's wording of a failed update, as the engineer reads it.
OptionsDrawingTexts VendelTexts()
{
    OptionsDrawingTexts texts;
    texts.linkLost = QStringLiteral(
        "Optiunile au fost modificate, dar desenul nu a putut fi actualizat: legatura cu AutoCAD s-a pierdut.");
    texts.failed = QStringLiteral("Optiunile au fost modificate, dar desenul nu a putut fi actualizat: ");
    return texts;
}

const QString kLinkLost = QStringLiteral(
    "The options have been changed, but the drawing could not be updated: the link with AutoCAD is lost.");

class OptionsDrawing : public ardela::test::DrawingHostTest {
protected:
    void SetUp() override
    {
        DrawingHostTest::SetUp();
        SelectStringTable(StringTable::Korrin);
        // Every program layer of both programs at colour 9, and two layers that are not theirs.
        for (const ProgramLayerSet* set : {&KorrinLayers(), &VendelLayers()})
            for (const LayerSpec& layer : *set)
                m_doc->Layers()->Add(layer.name)->SetColor(9);
        m_doc->Layers()->Add(QStringLiteral("Walls"))->SetColor(9);
        m_doc->Layers()->Add(QStringLiteral("Korrin_Nodes_2"))->SetColor(9);

        AddText(QStringLiteral("0"), QStringLiteral("North wall"), 2.5);
        AddText(QStringLiteral("Walls"), QStringLiteral("W1"), 1.0);
        AddText(kKorrinLoads, QStringLiteral("12.000"), 5.0);
        AddText(kVendelLoads, QStringLiteral("3.000"), 5.0);
        OnLayer(kKorrinBeams, [&] { m_doc->ModelSpace()->AddLine({0, 0, 0}, {10, 0, 0}); });
    }
    void TearDown() override
    {
        SelectStringTable(StringTable::Korrin);
        DrawingHostTest::TearDown();
    }

    template <typename Draw>
    void OnLayer(const QString& layer, Draw draw)
    {
        m_doc->SetActiveLayer(m_doc->Layers()->Item(layer));
        draw();
        m_doc->SetActiveLayer(m_doc->Layers()->Item(QStringLiteral("0")));
    }
    void AddText(const QString& layer, const QString& text, double height)
    {
        OnLayer(layer, [&] { m_doc->ModelSpace()->AddText(text, {1, 2, 0}, height); });
    }

    // The heights of the texts on a layer.
    std::vector<double> Heights(const QString& layer)
    {
        std::vector<double> heights;
        for (const AcadEntityPtr& text : Selected(layer, QStringLiteral("TEXT")))
            heights.push_back(text->Height());
        return heights;
    }
    std::int32_t ColorOf(const QString& layer) { return m_doc->Layers()->Item(layer)->Color(); }
    bool HasTempSet()
    {
        try {
            m_doc->SelectionSets()->Item(QStringLiteral("tempss"));
            return true;
        } catch (const CadError&) {
            return false;
        }
    }

    SettingsArray m_settings = DefaultSettings();
    MessageRecorder m_messages;
};

} // namespace

TEST_F(OptionsDrawing, ResizesEveryTextAndRecoloursBothProgramsLayersOnly)
{
    m_settings[SetTextHeight] = Cell("7.5");
    m_settings[SetLayer1] = Cell(std::int16_t(30));  // Korrin_Nodes
    m_settings[SetLayer3] = Cell("33");              // Vendel_Mesh
    m_settings[SetLayer6] = Cell("150");             // both Plus layers
    m_settings[SetLayer8] = Cell("41");              // Korrin_Blocks
    OptionsChanges changes;
    changes.layerColors = true;
    changes.textHeight = true;

    QStringList seen;
    const bool updated = ApplyOptionsToDrawing(m_doc, changes, [&](const OptionsChanges& given) {
        // The program redraws once the texts and layers are done.
        seen << QStringLiteral("redraw");
        EXPECT_TRUE(given.textHeight);
        EXPECT_EQ(Heights(QStringLiteral("0")), std::vector<double>{7.5});
        EXPECT_EQ(ColorOf(kKorrinNodes), 30);
    }, QStringLiteral("Korrin"), m_settings);

    EXPECT_TRUE(updated);
    EXPECT_EQ(seen, QStringList{"redraw"});
    EXPECT_TRUE(m_messages.Messages().empty());
    for (const QString& layer : {QStringLiteral("0"), QStringLiteral("Walls"), kKorrinLoads, kVendelLoads})
        EXPECT_EQ(Heights(layer), std::vector<double>{7.5}) << layer.toStdString();
    const std::pair<QString, int> colors[] = {
        {kKorrinNodes, 30}, {kKorrinBeams, 6}, {kKorrinBlocks, 41}, {kKorrinLoads, 200}, {kKorrinPlus, 150},
        {kKorrinMinus, 1},  {kVendelMesh, 33}, {kVendelDomains, 4}, {kVendelLines, 7},   {kVendelLoads, 200},
        {kVendelPlus, 150}, {kVendelMinus, 1}, {"Walls", 9},       {"Korrin_Nodes_2", 9}, {"0", 7},
    };
    for (const auto& [layer, color] : colors)
        EXPECT_EQ(ColorOf(layer), color) << layer.toStdString();
    EXPECT_EQ(Selected(kKorrinBeams, QStringLiteral("LINE")).size(), 1u);
    EXPECT_FALSE(HasTempSet());

    // The saved drawing says the same.
    const ardela::test::DxfContents saved = SavedDrawing();
    int texts = 0;
    for (const ardela::test::DxfEntity& entity : saved.entities)
        if (entity.type == QLatin1String("TEXT")) {
            ++texts;
            EXPECT_DOUBLE_EQ(entity.Number(40), 7.5) << entity.layer.toStdString();
        }
    EXPECT_EQ(texts, 4);
}

TEST_F(OptionsDrawing, ALeftoverTempSetIsReplacedAndGone)
{
    m_doc->SelectionSets()->Add(QStringLiteral("tempss"));
    m_settings[SetTextHeight] = Cell("4");
    EXPECT_TRUE(ApplyOptionsToDrawing(m_doc, OptionsChanges(), {}, QStringLiteral("Korrin"), m_settings));
    EXPECT_EQ(Heights(QStringLiteral("0")), std::vector<double>{4.0});
    EXPECT_EQ(Heights(kKorrinLoads), std::vector<double>{4.0});
    EXPECT_FALSE(HasTempSet());
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(OptionsDrawing, ASettingThatNamesNoColourLeavesItsLayers)
{
    m_settings[SetLayer2] = Cell("purple");
    m_settings[SetLayer4] = Cell("0");
    m_settings[SetLayer5] = Cell("12");
    EXPECT_TRUE(ApplyOptionsToDrawing(m_doc, OptionsChanges(), {}, QStringLiteral("Vendel"), m_settings));
    EXPECT_EQ(ColorOf(kKorrinBeams), 9);
    EXPECT_EQ(ColorOf(kVendelDomains), 9);
    EXPECT_EQ(ColorOf(kVendelLines), 12);
    EXPECT_EQ(ColorOf(kKorrinNodes), 2);
}

TEST_F(OptionsDrawing, WithoutADrawingNothingIsTouched)
{
    bool redrawn = false;
    EXPECT_TRUE(ApplyOptionsToDrawing(nullptr, OptionsChanges(), [&](const OptionsChanges&) { redrawn = true; },
                                      QStringLiteral("Korrin"), m_settings));
    EXPECT_FALSE(redrawn);
    EXPECT_EQ(Heights(QStringLiteral("0")), std::vector<double>{2.5});
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(OptionsDrawing, AKilledHostIsReportedOnceAndNothingIsRedrawn)
{
    m_host.Kill();
    ASSERT_TRUE(m_host.WaitForExit(5000));
    bool redrawn = false;
    EXPECT_FALSE(ApplyOptionsToDrawing(m_doc, OptionsChanges(), [&](const OptionsChanges&) { redrawn = true; },
                                       QStringLiteral("Korrin"), m_settings));
    EXPECT_FALSE(redrawn);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kLinkLost);
    EXPECT_EQ(m_messages.Messages()[0].style, MsgCritical);
    EXPECT_EQ(m_messages.Messages()[0].title, QStringLiteral("Korrin"));
    m_app.reset();

    // Vendel says it in Romanian.
    EXPECT_FALSE(ApplyOptionsToDrawing(m_doc, OptionsChanges(), {}, QStringLiteral("Vendel"), m_settings,
                                       VendelTexts()));
    ASSERT_EQ(m_messages.Messages().size(), 2u);
    EXPECT_EQ(m_messages.Messages()[1].prompt,
              QStringLiteral("Optiunile au fost modificate, dar desenul nu a putut fi actualizat: legatura cu "
                             "AutoCAD s-a pierdut."));
}

TEST_F(OptionsDrawing, ARefusedCallInTheRedrawIsReportedWithTheHostsReason)
{
    std::vector<int> calls;
    const bool updated = ApplyOptionsToDrawing(m_doc, OptionsChanges(), [&](const OptionsChanges&) {
        calls.push_back(1);
        m_doc->Layers()->Item(QStringLiteral("NoSuchLayer"));
        calls.push_back(2);
    }, QStringLiteral("Korrin"), m_settings);
    EXPECT_FALSE(updated);
    EXPECT_EQ(calls, std::vector<int>{1});
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    const QString prompt = m_messages.Messages()[0].prompt;
    EXPECT_TRUE(prompt.startsWith(QStringLiteral("The options have been changed, but the drawing could not be updated: ")))
        << prompt.toStdString();
    EXPECT_TRUE(prompt.contains(QStringLiteral("NoSuchLayer"))) << prompt.toStdString();
}

// The dialog and the drawing together, as a wizard wires them.
class OptionsOk : public OptionsDrawing {
protected:
    frmOptions::ApplyToDrawing Wizard(const QString& title, OptionsRedraw redraw)
    {
        return [this, title, redraw](const OptionsChanges& changes) {
            ApplyOptionsToDrawing(m_doc, changes, redraw, title, m_settings,
                                  title == QLatin1String("Vendel") ? VendelTexts()
                                                                   : OptionsDrawingTexts());
        };
    }
    void TearDown() override
    {
        OptionsDrawing::TearDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(ardela::test::OpenWindows().isEmpty());
    }
};

TEST_F(OptionsOk, KorrinTextHeightRedrawsSupportsAndLoadsAndResizesTheUsersTexts)
{
    QStringList calls;
    frmOptions form(nullptr, Wizard(QStringLiteral("Korrin"), KorrinOptionsRedraw({
        [&] { calls << QStringLiteral("ClearBlocks"); },
        [&](bool) { calls << QStringLiteral("DrawBlocks"); },
        [&] { calls << QStringLiteral("ClearLoads"); },
        [&](bool) { calls << QStringLiteral("DrawLoads"); },
    })), &m_settings);
    form.show();
    form.txtText->selectAll();
    QTest::keyClicks(form.txtText, QStringLiteral("3.5"));
    QTest::mouseClick(form.cmdOK, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(calls, (QStringList{"ClearBlocks", "DrawBlocks", "ClearLoads", "DrawLoads"}));
    EXPECT_EQ(Heights(QStringLiteral("0")), std::vector<double>{3.5});
    EXPECT_EQ(Heights(QStringLiteral("Walls")), std::vector<double>{3.5});
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(OptionsOk, AVendelLayerColourRecoloursKorrinsLayersTooWithoutRedrawing)
{
    SelectStringTable(StringTable::Vendel);
    QStringList calls;
    frmOptions form(nullptr, Wizard(QStringLiteral("Vendel"), VendelOptionsRedraw({
        [&] { calls << QStringLiteral("IsDirty"); return false; },
        [&](bool) { calls << QStringLiteral("DrawStresses"); },
        [&] { calls << QStringLiteral("ClearLoads"); },
        [&](bool) { calls << QStringLiteral("DrawLoads"); },
    })), &m_settings);
    form.show();
    form.cboPlot->setCurrentIndex(4);  // Plus
    WhenModalShown([&](QWidget*) {
        form.Picker()->txtColor->setText(QStringLiteral("cyan"));
        QTest::mouseClick(form.Picker()->cmdColor[0], Qt::LeftButton);
    });
    QTest::mousePress(form.picPlot, Qt::LeftButton);
    QTest::mouseRelease(form.picPlot, Qt::LeftButton);
    QTest::mouseClick(form.cmdOK, Qt::LeftButton);

    EXPECT_EQ(ColorOf(kVendelPlus), 4);
    EXPECT_EQ(ColorOf(kKorrinPlus), 4);
    EXPECT_EQ(ColorOf(kKorrinNodes), 2);
    EXPECT_EQ(ColorOf(QStringLiteral("Walls")), 9);
    EXPECT_TRUE(calls.isEmpty()) << calls.join(' ').toStdString();
    EXPECT_EQ(Heights(kVendelLoads), std::vector<double>{5.0});
}

TEST_F(OptionsOk, AHostKilledBeforeOkLeavesTheOptionsTakenOverAndSaysSoOnce)
{
    frmOptions form(nullptr, Wizard(QStringLiteral("Korrin"), {}), &m_settings);
    form.show();
    form.txtScale->selectAll();
    QTest::keyClicks(form.txtScale, QStringLiteral("45"));
    m_host.Kill();
    ASSERT_TRUE(m_host.WaitForExit(5000));
    QTest::mouseClick(form.cmdOK, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(m_settings[SetScaleFactor].ToText(), QStringLiteral("45"));
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kLinkLost);
    m_app.reset();
}
