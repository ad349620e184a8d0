// Guards Pick Lines against: lines selected in the host read with the wrong ends or without
// their polyline segments, lines outside the window or of other kinds taken in, rows written
// over the table's rows, refusals that change the tables or the drawing, a cancelled selection
// that adds anything, the question not filled with the last bar's values, and a wizard whose
// grids, counts and Back do not follow the appended rows.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "support/DrawingTestSupport.h"
#include "support/PointFeeder.h"
#include "support/TestSupport.h"
#include "support/TrussFixtures.h"
#include "truss/TrussModel.h"
#include "truss/TrussSolver.h"
#include "truss_wizard/LinePicking.h"
#include "truss_wizard/ModelDrawing.h"

using namespace ardela;
using namespace ardela::test;

namespace {

// The Warren girder of the line routine's tests, drawn in the host: the bottom chord one line,
// the top chord a lightweight polyline, the diagonals lines, one of them 1e-7 off its node; a
// line and a point beside it that no window around the girder reaches, and a text inside.
void DrawWarren(cad::AcadDocument& doc)
{
    std::shared_ptr<cad::AcadModelSpace> space = doc.ModelSpace();
    doc.SetActiveLayer(doc.Layers()->Add(QStringLiteral("Truss")));
    space->AddLine({0, 0, 0}, {6, 0, 0});
    space->AddLightWeightPolyline({1, 1.5, 3, 1.5, 5, 1.5});
    const std::vector<std::array<double, 4>> diagonals{
        {0, 0, 1, 1.5}, {1, 1.5, 2, 0}, {2, 0, 3, 1.5}, {3 + 1e-7, 1.5, 4, 0}, {4, 0, 5, 1.5}, {5, 1.5, 6, 0}};
    for (const auto& d : diagonals)
        space->AddLine({d[0], d[1], 0}, {d[2], d[3], 0});
    space->AddText(QStringLiteral("girder"), {2, 0.5, 0}, 0.2);
    space->AddPoint({3, 0.7, 0});
    space->AddLine({20, 0, 0}, {30, 0, 0});
}

const std::vector<NodeSpec> kWarrenNodes{{0, 0}, {1, 1.5}, {2, 0}, {3, 1.5}, {4, 0}, {5, 1.5}, {6, 0}};
const std::vector<std::pair<int, int>> kWarrenBars{{1, 3}, {3, 5}, {5, 7}, {2, 4}, {4, 6}, {1, 2},
                                                   {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}};

// The Pratt truss on layer "Pratt", the bottom chord a 3D polyline of two segments.
void DrawPratt(cad::AcadDocument& doc)
{
    std::shared_ptr<cad::AcadModelSpace> space = doc.ModelSpace();
    doc.SetActiveLayer(doc.Layers()->Add(QStringLiteral("Pratt")));
    space->AddPolyline({0, 0, 0, 6, 0, 0, 12, 0, 0});
    const std::vector<std::array<double, 4>> lines{{3, 3, 9, 3}, {0, 0, 3, 3}, {9, 3, 12, 0}, {3, 0, 3, 3}, {6, 3, 6, 0},
                                                   {9, 0, 9, 3}, {3, 3, 6, 0}, {9, 3, 6, 0}};
    for (const auto& l : lines)
        space->AddLine({l[0], l[1], 0}, {l[2], l[3], 0});
    doc.SetActiveLayer(doc.Layers()->Item(QStringLiteral("0")));
}

const std::vector<NodeSpec> kPrattNodes{{0, 0}, {3, 0}, {3, 3}, {6, 0}, {6, 3}, {9, 0}, {9, 3}, {12, 0}};
const std::vector<std::pair<int, int>> kPrattBars{{1, 2}, {2, 4}, {4, 6}, {6, 8}, {3, 5}, {5, 7}, {1, 3},
                                                  {7, 8}, {2, 3}, {5, 4}, {6, 7}, {3, 4}, {7, 4}};

class LinePickingTest : public DrawingHostTest {
protected:
    void SetUp() override
    {
        DrawingHostTest::SetUp();
        m_settings = DefaultSettings();
        // The model layers, as the wizard prepares them on its drawing step.
        m_doc->Layers()->Add(kNodesLayer);
        m_doc->Layers()->Add(kBeamsLayer);
    }
    std::size_t Count(const QString& layer, const QString& type) { return Selected(layer, type).size(); }

    TrussModel m_model;
    SettingsArray m_settings;
    MessageRecorder m_messages;
};

} // namespace

TEST_F(LinePickingTest, WindowSelectedWarrenGirderBecomesTheHandMadeTablesAndIsDrawn)
{
    DrawWarren(*m_doc);
    PointFeeder feeder(m_app);
    feeder.Click(-1, -1);   // a window left to right around the girder only
    feeder.Click(7, 2);
    feeder.End();
    feeder.Start();
    LinesAdded added;
    ASSERT_EQ(PickLines(m_model, m_settings, *m_doc, {12.5f, 2.1e6f, QString()}, &added), LinePickEnd::Added);
    EXPECT_TRUE(feeder.Done());
    EXPECT_TRUE(m_messages.Messages().empty());
    ExpectTrussTables(m_model, kWarrenNodes, kWarrenBars);
    EXPECT_EQ(m_model.Elements(11, 3), Cell(12.5f));
    EXPECT_EQ(added.splitLines, 1);
    // Drawn as the tables are: a point per node (its ObjectID kept for picking bars), a line per bar.
    EXPECT_EQ(Count(kNodesLayer, QStringLiteral("POINT")), 7u);
    EXPECT_EQ(Count(kBeamsLayer, QStringLiteral("LINE")), 11u);
    EXPECT_FALSE(m_model.Nodes(7, 3).IsEmpty());
    // The selection set is gone, so the next pick can make it again.
    EXPECT_EQ(m_doc->SelectionSets()->Count(), 0);
}

TEST_F(LinePickingTest, CrossingSelectionTakesWhatItTouchesAndACancelChangesNothing)
{
    DrawWarren(*m_doc);
    m_doc->SetVariable(QStringLiteral("OSMODE"), 33);
    {
        // Right to left across the bottom chord and the first diagonal only; the corners do
        // not snap to the ends near them.
        PointFeeder feeder(m_app);
        feeder.Click(0.5, -0.2);
        feeder.Click(-0.5, 0.2);
        feeder.End();
        feeder.Start();
        ASSERT_EQ(PickLines(m_model, m_settings, *m_doc, {1.0f, 1.0f, QString()}), LinePickEnd::Added);
        EXPECT_TRUE(feeder.Done());
    }
    // Bottom chord (0-6), diagonal (0,0)-(1,1.5); the chord is not cut (no other end on it).
    ASSERT_EQ(m_model.ElementCount, 2);
    ASSERT_EQ(m_model.NodeCount, 3);
    EXPECT_EQ(m_doc->GetVariable(QStringLiteral("OSMODE")), 33);

    PointFeeder cancel(m_app);
    cancel.Click(-1, -1);
    cancel.Cancel();
    cancel.Start();
    EXPECT_EQ(PickLines(m_model, m_settings, *m_doc, {1.0f, 1.0f, QString()}), LinePickEnd::Cancelled);
    EXPECT_EQ(m_model.ElementCount, 2);
    EXPECT_EQ(m_doc->SelectionSets()->Count(), 0);
}

TEST_F(LinePickingTest, NamedLayerPrattTrussSolvesAsTheSameTrussTypedByHand)
{
    DrawPratt(*m_doc);
    DrawWarren(*m_doc);
    ASSERT_EQ(PickLines(m_model, m_settings, *m_doc, {10.0f, 2.1e6f, QStringLiteral("pratt")}), LinePickEnd::Added);
    ExpectTrussTables(m_model, kPrattNodes, kPrattBars);

    std::vector<BarSpec> bars;
    for (const auto& [i, j] : kPrattBars)
        bars.push_back({i, j, 10.0f, 2.1e6f});
    const std::vector<SupportSpec> supports{{1, 1, 1}, {8, 0, 1}};
    const std::vector<LoadSpec> loads{{4, 0.0f, -1000.0f}, {2, 0.0f, -500.0f}, {6, 200.0f, -500.0f}};
    auto typed = MakeTruss(kPrattNodes, bars, supports, loads);
    for (const SupportSpec& s : supports)
        AddSupport(m_model, s.node, s.holdX, s.holdY);
    for (const LoadSpec& l : loads)
        AddLoad(m_model, l.node, l.fx, l.fy);
    ASSERT_TRUE(SolveTruss(m_model));
    ASSERT_TRUE(SolveTruss(*typed));
    for (int e = 1; e <= m_model.ElementCount; ++e)
        EXPECT_EQ(m_model.Elements(e, 6).ToDouble(), typed->Elements(e, 6).ToDouble()) << "bar " << e;
}

TEST_F(LinePickingTest, RefusedLinesSayWhichAndLeaveTablesAndDrawingAsTheyWere)
{
    DrawPratt(*m_doc);
    m_doc->ModelSpace()->AddLine({12, 0, 0}, {9, 3, 0});  // on layer 0
    m_doc->ModelSpace()->AddLine({9, 3, 0}, {12, 0, 0});
    auto before = MakeTruss({{100, 100}, {110, 100}}, {{1, 2, 3.0f, 4.0f}}, {}, {});
    m_model = *before;
    EXPECT_EQ(PickLines(m_model, m_settings, *m_doc, {1.0f, 1.0f, QStringLiteral("0")}), LinePickEnd::Refused);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt,
              QStringLiteral("These make the same bar twice: line 1 and line 2 (nodes 3 and 4)."));
    EXPECT_EQ(m_messages.Messages()[0].style, 48);
    EXPECT_EQ(m_model.NodeCount, 2);
    EXPECT_EQ(m_model.ElementCount, 1);
    EXPECT_EQ(Count(kNodesLayer, QStringLiteral("POINT")), 0u);
    EXPECT_EQ(m_doc->SelectionSets()->Count(), 0);

    // A layer without lines: nothing happens and nothing is said.
    EXPECT_EQ(PickLines(m_model, m_settings, *m_doc, {1.0f, 1.0f, QStringLiteral("Nothing")}), LinePickEnd::Nothing);
    EXPECT_EQ(m_messages.Messages().size(), 1u);
}

TEST_F(LinePickingTest, QuestionIsFilledWithTheLastBarAndRefusesWhatIsNoSection)
{
    auto m = MakeTruss({{0, 0}, {1, 0}}, {{1, 2, 7.5f, 2.1e6f}}, {}, {});
    LineSectionDialog question(*m, {QStringLiteral("0"), QStringLiteral("Truss")});
    question.show();
    auto* area = question.findChild<QLineEdit*>(QStringLiteral("txtLineArea"));
    auto* modulus = question.findChild<QLineEdit*>(QStringLiteral("txtLineModulus"));
    auto* layer = question.findChild<QComboBox*>(QStringLiteral("cboLineLayer"));
    auto* ok = question.findChild<QPushButton*>(QStringLiteral("cmdLineOk"));
    ASSERT_TRUE(area && modulus && layer && ok);
    EXPECT_EQ(area->text(), QStringLiteral("7.5"));
    EXPECT_EQ(modulus->text(), QStringLiteral("2100000"));
    EXPECT_EQ(layer->count(), 3);

    area->setText(QStringLiteral("0"));
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(question.result(), QDialog::Rejected);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, QStringLiteral("The area and the modulus of the new bars must be numbers greater than 0."));

    area->setText(QStringLiteral("4"));
    layer->setCurrentIndex(2);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(question.result(), QDialog::Accepted);
    EXPECT_EQ(question.Section().area, 4.0f);
    EXPECT_EQ(question.Section().modulus, 2.1e6f);
    EXPECT_EQ(question.Section().layer, QStringLiteral("Truss"));

    // Without bars the question starts empty.
    TrussModel empty;
    LineSectionDialog fresh(empty, {});
    EXPECT_TRUE(fresh.findChild<QLineEdit*>(QStringLiteral("txtLineArea"))->text().isEmpty());
}
