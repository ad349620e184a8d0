// Guards the result drawing against: bars on the wrong layer for the sign of their force (zero
// included), labels lost when lines are switched off, labels placed or turned wrongly or upside
// down, old results left beside new ones, wrong colours or line types, "DASHED" loaded twice,
// failures that stay silent or wipe what was drawn, clearing that reaches the model layers, and
// a percentage bar that shows 0% or 100%, paints the wrong share or is left behind.
#include <cmath>

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPalette>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "support/DrawingTestSupport.h"
#include "truss_wizard/ModelDrawing.h"
#include "cad/modHelpers.h"
#include "wizard/DrawProgress.h"
#include "truss_wizard/ResultDrawing.h"
#include "desktop/Settings.h"
#include "support/TestSupport.h"
#include "truss/TrussModel.h"

using namespace ardela;
using ardela::test::DrawingHostTest;
using ardela::test::DxfEntity;
using ardela::test::MessageRecorder;

namespace {

const QString kFailure = QStringLiteral("There was an error drawing data.\r\nPlease go back and revise your input.");

class ResultDrawingTest : public DrawingHostTest {
protected:
    void SetUp() override
    {
        DrawingHostTest::SetUp();
        m_settings = DefaultSettings();
    }

    int AddNode(double x, double y)
    {
        ++m_model.NodeCount;
        m_model.Nodes(m_model.NodeCount, 1) = Cell(float(x));
        m_model.Nodes(m_model.NodeCount, 2) = Cell(float(y));
        return m_model.NodeCount;
    }

    // A bar between two nodes carrying the axial force n, as the solver leaves it.
    void AddBar(int i, int j, double n)
    {
        ++m_model.ElementCount;
        m_model.Elements(m_model.ElementCount, 1) = Cell(std::int16_t(i));
        m_model.Elements(m_model.ElementCount, 2) = Cell(std::int16_t(j));
        m_model.Elements(m_model.ElementCount, 6) = Cell(n);
    }

    // Three bars: tension, compression and zero force.
    void ThreeBars()
    {
        const int a = AddNode(0, 0);
        const int b = AddNode(10, 0);
        const int c = AddNode(10, 10);
        AddBar(a, b, 1234.5678);
        AddBar(b, c, -20.5);
        AddBar(a, c, 0.0);
    }

    bool Draw(QLabel* progress = nullptr)
    {
        return DrawResults(m_model, m_settings, *m_doc, progress ? ProgressBox(progress) : cad::DrawingProgress{});
    }

    static QStringList Labels(const std::vector<DxfEntity>& texts)
    {
        QStringList labels;
        for (const DxfEntity& t : texts)
            labels << t.Text(1);
        labels.sort();
        return labels;
    }

    TrussModel m_model;
    SettingsArray m_settings;
    MessageRecorder m_messages;
};

TEST_F(ResultDrawingTest, TensionGoesOnPlusAndCompressionAndZeroOnMinusEachLabelled)
{
    ThreeBars();
    ASSERT_TRUE(Draw());
    EXPECT_TRUE(m_messages.Messages().empty());

    const auto drawing = SavedDrawing();
    EXPECT_EQ(drawing.OnLayer(kPlusLayer, QStringLiteral("LINE")).size(), 1u);
    EXPECT_EQ(drawing.OnLayer(kMinusLayer, QStringLiteral("LINE")).size(), 2u);
    EXPECT_EQ(Labels(drawing.OnLayer(kPlusLayer, QStringLiteral("TEXT"))), QStringList{QStringLiteral("1234.568")});
    EXPECT_EQ(Labels(drawing.OnLayer(kMinusLayer, QStringLiteral("TEXT"))),
              (QStringList{QStringLiteral("-20.500"), QStringLiteral("0.000")}));
    for (const DxfEntity& text : drawing.OnLayer(kMinusLayer, QStringLiteral("TEXT")))
        EXPECT_DOUBLE_EQ(text.Number(40), 5.0);
}

TEST_F(ResultDrawingTest, LabelsUseTheLocaleDecimalSeparator)
{
    test::ScopedLocale locale("de_DE");
    ThreeBars();
    ASSERT_TRUE(Draw());
    EXPECT_EQ(Labels(SavedDrawing().OnLayer(kPlusLayer, QStringLiteral("TEXT"))), QStringList{QStringLiteral("1234,568")});
}

TEST_F(ResultDrawingTest, SwitchedOffKindsKeepTheirLabelsButLoseTheirLines)
{
    ThreeBars();
    m_settings[SetTension] = Cell("0");
    ASSERT_TRUE(Draw());
    auto drawing = SavedDrawing();
    EXPECT_TRUE(drawing.OnLayer(kPlusLayer, QStringLiteral("LINE")).empty());
    EXPECT_EQ(drawing.OnLayer(kPlusLayer, QStringLiteral("TEXT")).size(), 1u);
    EXPECT_EQ(drawing.OnLayer(kMinusLayer, QStringLiteral("LINE")).size(), 2u);

    m_settings[SetTension] = Cell(std::int16_t(1));
    m_settings[SetCompression] = Cell(std::int16_t(0));
    ASSERT_TRUE(Draw());
    drawing = SavedDrawing();
    EXPECT_EQ(drawing.OnLayer(kPlusLayer, QStringLiteral("LINE")).size(), 1u);
    EXPECT_TRUE(drawing.OnLayer(kMinusLayer, QStringLiteral("LINE")).empty());
    EXPECT_EQ(drawing.OnLayer(kMinusLayer, QStringLiteral("TEXT")).size(), 2u);
}

TEST_F(ResultDrawingTest, LabelsSitBottomCentreOnTheMidpointAndNeverReadUpsideDown)
{
    const int a = AddNode(0, 0);
    const int b = AddNode(10, 10);
    const int c = AddNode(0, 10);
    AddBar(a, b, 1.0);    // diagonal up to the right: pi/4
    AddBar(b, a, 2.0);    // the same bar backwards: pi/4 too
    AddBar(a, c, 3.0);    // vertical upwards: pi/2
    AddBar(c, a, 4.0);    // vertical downwards: -pi/2
    AddBar(b, c, 5.0);    // right to left: 0, as left to right
    ASSERT_TRUE(Draw());

    std::map<QString, cad::AcadEntityPtr> byLabel;
    for (const cad::AcadEntityPtr& text : Selected(kPlusLayer, QStringLiteral("TEXT")))
        byLabel[text->TextString()] = text;
    ASSERT_EQ(byLabel.size(), 5u);
    const std::map<QString, std::tuple<double, double, double>> expected{
        {QStringLiteral("1.000"), {5, 5, M_PI / 4}},  {QStringLiteral("2.000"), {5, 5, M_PI / 4}},
        {QStringLiteral("3.000"), {0, 5, M_PI / 2}},  {QStringLiteral("4.000"), {0, 5, -M_PI / 2}},
        {QStringLiteral("5.000"), {5, 10, 0.0}},
    };
    for (const auto& [label, where] : expected) {
        ASSERT_TRUE(byLabel.count(label)) << label.toStdString();
        const cad::AcadEntityPtr& text = byLabel[label];
        EXPECT_EQ(text->Alignment(), 13) << label.toStdString();
        EXPECT_NEAR(text->TextAlignmentPoint()[0], std::get<0>(where), 1e-9) << label.toStdString();
        EXPECT_NEAR(text->TextAlignmentPoint()[1], std::get<1>(where), 1e-9) << label.toStdString();
        EXPECT_NEAR(text->Rotation(), std::get<2>(where), 1e-9) << label.toStdString();
    }
}

TEST_F(ResultDrawingTest, DrawingTwiceLeavesOneSetAndClearingSparesOtherLayers)
{
    ThreeBars();
    m_doc->Layers()->Add(kBeamsLayer);
    m_doc->SetActiveLayer(m_doc->Layers()->Item(kBeamsLayer));
    m_doc->ModelSpace()->AddLine({0, 0, 0}, {10, 0, 0});
    ASSERT_TRUE(Draw());
    ASSERT_TRUE(Draw());
    EXPECT_EQ(Selected(kPlusLayer).size(), 2u);
    EXPECT_EQ(Selected(kMinusLayer).size(), 4u);

    ClearResults(*m_doc);
    EXPECT_TRUE(Selected(kPlusLayer).empty());
    EXPECT_TRUE(Selected(kMinusLayer).empty());
    EXPECT_EQ(Selected(kBeamsLayer).size(), 1u);
    EXPECT_EQ(m_doc->SelectionSets()->Count(), 0);
}

TEST_F(ResultDrawingTest, ColourPlotTakesTheLayerColoursAndKeepsCompressionContinuous)
{
    ThreeBars();
    m_settings[SetLayer6] = Cell("30");
    m_settings[SetLayer7] = Cell(std::int16_t(140));
    m_doc->lineTypes()->Load(QStringLiteral("DASHDOT"), test::SourceDir() + QStringLiteral("/resources/acad.lin"));
    m_doc->Layers()->Add(kMinusLayer)->SetLinetype(QStringLiteral("DASHDOT"));
    ASSERT_TRUE(Draw()) << (m_messages.Messages().empty() ? "" : m_messages.Messages()[0].prompt.toStdString());
    EXPECT_EQ(m_doc->Layers()->Item(kPlusLayer)->Color(), 30);
    EXPECT_EQ(m_doc->Layers()->Item(kMinusLayer)->Color(), 140);
    EXPECT_EQ(m_doc->Layers()->Item(kMinusLayer)->Linetype().compare(QLatin1String("Continuous"), Qt::CaseInsensitive), 0);
}

TEST_F(ResultDrawingTest, BlackAndWhiteUsesALoadedDashedOfAnyCaseWithoutLoadingItAgain)
{
    // A drawing that already holds "dashed" (lower case) from a line type file of its own.
    const QString lin = m_dir.filePath(QStringLiteral("own.lin"));
    {
        QFile file(lin);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("*dashed,Dashed __ __ __\nA,.5,-.25\n");
    }
    m_doc->lineTypes()->Load(QStringLiteral("dashed"), lin);
    const std::int32_t lineTypes = m_doc->lineTypes()->Count();

    ThreeBars();
    m_settings[SetColor] = Cell(false);
    m_settings[SetLayer6] = Cell("30");
    ASSERT_TRUE(Draw()) << (m_messages.Messages().empty() ? "" : m_messages.Messages()[0].prompt.toStdString());
    // "dashed" is not loaded again; PHANTOM comes for the deflected shape.
    EXPECT_EQ(m_doc->lineTypes()->Count(), lineTypes + 1);
    EXPECT_EQ(m_doc->Layers()->Item(kPlusLayer)->Color(), 7);
    EXPECT_EQ(m_doc->Layers()->Item(kMinusLayer)->Color(), 7);
    EXPECT_EQ(m_doc->Layers()->Item(kMinusLayer)->Linetype().compare(QLatin1String("DASHED"), Qt::CaseInsensitive), 0);
    EXPECT_EQ(m_doc->Layers()->Item(kPlusLayer)->Linetype().compare(QLatin1String("Continuous"), Qt::CaseInsensitive), 0);
}

TEST_F(ResultDrawingTest, FailureShowsTheMessageOnceAndKeepsWhatWasDrawn)
{
    const int a = AddNode(0, 0);
    const int b = AddNode(10, 0);
    AddBar(a, b, 5.0);
    AddBar(a, 1500, 6.0);   // a node number outside the table
    AddBar(a, b, 7.0);
    EXPECT_FALSE(Draw());
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kFailure);
    EXPECT_EQ(m_messages.Messages()[0].style, 16);
    EXPECT_TRUE(m_messages.Messages()[0].title.isEmpty());
    EXPECT_EQ(Selected(kPlusLayer).size(), 2u);   // bar 1 and its label
    // Nothing is left over that would block the next drawing.
    m_model.Elements(2, 2) = Cell(std::int16_t(b));
    EXPECT_TRUE(Draw());
    EXPECT_EQ(Selected(kPlusLayer).size(), 6u);
}

TEST_F(ResultDrawingTest, LostHostIsReportedNotHung)
{
    ThreeBars();
    m_host.Kill();
    m_host.WaitForExit(5000);
    EXPECT_FALSE(Draw());
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kFailure);
    EXPECT_THROW(ClearResults(*m_doc), cad::CadError);
    m_app.reset();
}

TEST_F(ResultDrawingTest, ProgramWideRoutinesWorkOnTheWorkingDrawingAndFailWithoutOne)
{
    ResetModel(Truss());
    Truss().NodeCount = 2;
    Truss().Nodes(2, 1) = Cell(10.0f);
    Truss().ElementCount = 1;
    Truss().Elements(1, 1) = Cell(std::int16_t(1));
    Truss().Elements(1, 2) = Cell(std::int16_t(2));
    Truss().Elements(1, 6) = Cell(-3.0);
    Settings() = DefaultSettings();
    m_doc->Layers()->Add(kNodesLayer);
    cad::Connection& connection = cad::CadConnection();
    connection.AcadDoc = m_doc;
    EXPECT_TRUE(DrawResults());
    DrawNodes(false);
    EXPECT_EQ(Selected(kMinusLayer).size(), 2u);
    EXPECT_EQ(Selected(kNodesLayer).size(), 4u);
    ClearResults();
    ClearNodes();
    EXPECT_EQ(m_doc->ModelSpace()->Count(), 0);

    connection.AcadDoc.reset();
    EXPECT_FALSE(DrawResults());
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].prompt, kFailure);
    EXPECT_THROW(DrawNodes(true), cad::CadError);
    EXPECT_THROW(ClearResults(), cad::CadError);
    ClearBeams();   // clearing reports nothing
}

// Counts the paint events of one widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(ResultDrawingTest, ProgressIsShownForEveryBarAndClearedAtTheEnd)
{
    QLabel box;
    box.resize(200, 20);
    box.show();
    PaintCounter counter;
    box.installEventFilter(&counter);
    const int a = AddNode(0, 0);
    const int b = AddNode(10, 0);
    for (int i = 0; i < 4; ++i)
        AddBar(a, b, 1.0);
    ASSERT_TRUE(Draw(&box));
    EXPECT_GE(counter.paints, 4);
    EXPECT_TRUE(box.pixmap().isNull());
}

// The bar's colours as the box's palette gives them.
struct BarColours {
    QRgb bar;
    QRgb background;
};

BarColours ColoursOf(const QLabel& box)
{
    const QPalette palette = QApplication::palette(&box);
    return {palette.color(QPalette::Highlight).rgb() | 0xff000000u, palette.color(QPalette::Base).rgb() | 0xff000000u};
}

TEST(DrawProgress, TextRunsFromOneToNinetyNinePercent)
{
    EXPECT_EQ(ProgressText(0.0f), QStringLiteral("1%"));
    EXPECT_EQ(ProgressText(0.004f), QStringLiteral("1%"));
    EXPECT_EQ(ProgressText(0.016f), QStringLiteral("2%"));
    EXPECT_EQ(ProgressText(0.5f), QStringLiteral("50%"));
    EXPECT_EQ(ProgressText(0.994f), QStringLiteral("99%"));
    EXPECT_EQ(ProgressText(0.996f), QStringLiteral("99%"));
    EXPECT_EQ(ProgressText(1.0f), QStringLiteral("99%"));
}

TEST(DrawProgress, BarCoversTheDoneShareAndInvertsTheTextBeneathIt)
{
    QLabel box;
    box.resize(200, 24);
    const BarColours colours = ColoursOf(box);

    DrawProgress(&box, 0.25f);
    QImage image = box.pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(200, 24));
    EXPECT_EQ(image.pixel(2, 1) | 0xff000000u, colours.bar);
    EXPECT_EQ(image.pixel(45, 22) | 0xff000000u, colours.bar);
    EXPECT_EQ(image.pixel(55, 1) | 0xff000000u, colours.background);
    EXPECT_EQ(image.pixel(197, 22) | 0xff000000u, colours.background);

    // Drawn again further on, the bar covers the new share whole (nothing flips back).
    DrawProgress(&box, 0.75f);
    image = box.pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(2, 1) | 0xff000000u, colours.bar);
    EXPECT_EQ(image.pixel(140, 22) | 0xff000000u, colours.bar);
    EXPECT_EQ(image.pixel(160, 1) | 0xff000000u, colours.background);

    // Fully covered, the text shows in the background colour through the bar; at the start
    // it shows in the bar's colour on the background.
    const auto count = [](const QImage& picture, QRgb colour) {
        int n = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                n += (picture.pixel(x, y) | 0xff000000u) == colour;
        return n;
    };
    DrawProgress(&box, 1.0f);
    image = box.pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_GT(count(image, colours.background), 10);
    EXPECT_GT(count(image, colours.bar), 200 * 24 / 2);
    DrawProgress(&box, 0.0f);
    image = box.pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_GT(count(image, colours.bar), 10);
    EXPECT_GT(count(image, colours.background), 200 * 24 / 2);
}

} // namespace
