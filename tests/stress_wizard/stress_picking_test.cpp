// Guards the picking of Vendel's model against: a wrong prompt or row number, a gridline pick that
// touches the other direction, a half-picked pair that is stored, rows lost or kept wrongly at
// each of the three endings, a wrong layer or snap mode, and the sheet's mark left too low.
#include <deque>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "cad/ProgramLayers.h"
#include "stress_wizard/CountingDocument.h"
#include "stress_wizard/StressModel.h"
#include "stress_wizard/StressPicking.h"
#include "support/DrawingTestSupport.h"
#include "support/TestSupport.h"

using namespace ardela;

namespace {

// Answers point requests from a script: a point, or the failure code that ends the request.
class ScriptedUtility : public cad::AcadUtility {
public:
    struct Answer {
        cad::Point3 point{};
        std::uint32_t failure = 0;
    };
    std::deque<Answer> script;
    std::vector<QString> prompts;

    cad::Point3 GetPoint(const std::optional<cad::Point3>& basePoint, const QString& prompt) override
    {
        EXPECT_FALSE(basePoint.has_value());
        prompts.push_back(prompt);
        if (script.empty())
            throw cad::CadError(cad::kInputEnded, QStringLiteral("script ended"));
        const Answer a = script.front();
        script.pop_front();
        if (a.failure != 0)
            throw cad::CadError(static_cast<cad::CadErrorCode>(a.failure), QStringLiteral("scripted"));
        return a.point;
    }
};

// A real drawing whose point requests are answered by the script.
class ScriptedDocument : public test::CountingDocument {
public:
    explicit ScriptedDocument(cad::AcadDocumentPtr inner) : CountingDocument(std::move(inner)) {}
    std::shared_ptr<ScriptedUtility> utility = std::make_shared<ScriptedUtility>();
    std::shared_ptr<cad::AcadUtility> Utility() override { return utility; }
};

class StressPicking : public test::DrawingHostTest {
protected:
    void SetUp() override
    {
        DrawingHostTest::SetUp();
        for (const QString& layer : {cad::kVendelMesh, cad::kVendelDomains, cad::kVendelLines, cad::kVendelLoads})
            m_doc->Layers()->Add(layer);
        m_scripted = std::make_unique<ScriptedDocument>(m_doc);
        m_model = std::make_unique<StressModel>();
    }

    void Point(double x, double y) { m_scripted->utility->script.push_back({{x, y, 0.0}, 0}); }
    void Fail(std::uint32_t code) { m_scripted->utility->script.push_back({{}, code}); }

    StressPickTarget Target()
    {
        return StressPickTarget{*m_model, *m_scripted, m_mark, [this] { ++m_fills; }, [this] { ++m_clears; }};
    }
    const std::vector<QString>& Prompts() const { return m_scripted->utility->prompts; }

    std::unique_ptr<ScriptedDocument> m_scripted;
    std::unique_ptr<StressModel> m_model;
    std::int16_t m_mark = 0;
    int m_fills = 0;
    int m_clears = 0;
};

TEST_F(StressPicking, VerticalGridlinesFillColumnOneAndLeaveTheHorizontalOnes)
{
    m_model->GridLines(1, 2) = Cell(7.0f);
    m_model->GridLines(5, 1) = Cell(99.0f);
    m_doc->SetVariable(QStringLiteral("OSMODE"), 0);
    Point(0, 1); Point(10, 2); Point(25, 3);
    Fail(cad::kInputEnded);
    test::MessageRecorder messages;
    EXPECT_EQ(PickGridLines(Target(), true), PickEnd::Finished);
    EXPECT_EQ(Prompts(), (std::vector<QString>{QStringLiteral("Get x coordinate (x increasing) 1"),
                                               QStringLiteral("Get x coordinate (x increasing) 2"),
                                               QStringLiteral("Get x coordinate (x increasing) 3"),
                                               QStringLiteral("Get x coordinate (x increasing) 4")}));
    EXPECT_EQ(m_model->GridLines(3, 1).ToDouble(), 25.0);
    EXPECT_EQ(m_model->GridLines(3, 1).GetKind(), Cell::Kind::Double);
    EXPECT_TRUE(m_model->GridLines(5, 1).IsEmpty());  // the column is emptied before the run
    EXPECT_EQ(m_model->GridLines(1, 2).ToSingle(), 7.0f);
    EXPECT_EQ(m_mark, 3);
    EXPECT_EQ(m_fills, 1);
    EXPECT_EQ(m_clears, 0);
    EXPECT_EQ(m_doc->GetVariable(QStringLiteral("OSMODE")), 33);
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), cad::kVendelMesh);
    EXPECT_TRUE(messages.Messages().empty());

    // Picking again replaces all three; the mark is never lowered.
    Point(50, 0);
    PickGridLines(Target(), true);
    EXPECT_EQ(m_model->GridLines(1, 1).ToDouble(), 50.0);
    EXPECT_TRUE(m_model->GridLines(2, 1).IsEmpty());
    EXPECT_EQ(m_mark, 3);
}

TEST_F(StressPicking, HorizontalGridlinesStoreTheYOfEachPoint)
{
    Point(3, 40); Point(4, 20);
    PickGridLines(Target(), false);
    EXPECT_EQ(Prompts()[1], QStringLiteral("Get y coordinate (y decreasing) 2"));
    EXPECT_EQ(m_model->GridLines(1, 2).ToDouble(), 40.0);
    EXPECT_EQ(m_model->GridLines(2, 2).ToDouble(), 20.0);
    EXPECT_TRUE(m_model->GridLines(1, 1).IsEmpty());
}

TEST_F(StressPicking, SubdomainEndedAfterOneCornerKeepsTheCompleteRowsOnly)
{
    for (int r = 0; r < 3; ++r) {
        Point(10 * r, 0);
        Point(10 * r + 10, 5);
    }
    Point(30, 0);  // the first corner of row 4, then the input ends
    PickDomains(Target());
    ASSERT_EQ(Prompts().size(), 8u);
    EXPECT_EQ(Prompts()[0], QStringLiteral("Lower left corner of the subdomain 1"));
    EXPECT_EQ(Prompts()[5], QStringLiteral("Upper right corner of the subdomain 3"));
    EXPECT_EQ(Prompts()[7], QStringLiteral("Upper right corner of the subdomain 4"));
    EXPECT_EQ(m_model->Domains(3, 1).ToDouble(), 20.0);
    EXPECT_EQ(m_model->Domains(3, 3).ToDouble(), 30.0);
    EXPECT_EQ(m_model->Domains(3, 4).ToDouble(), 5.0);
    for (int c = 1; c <= 7; ++c)
        EXPECT_TRUE(m_model->Domains(4, c).IsEmpty()) << c;
    EXPECT_EQ(m_mark, 3);
    EXPECT_EQ(m_doc->GetVariable(QStringLiteral("OSMODE")), 33);
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), cad::kVendelDomains);
}

TEST_F(StressPicking, LinesAndLoadsAskTheirOwnPromptsAndLeaveTheSnapModeAlone)
{
    m_doc->SetVariable(QStringLiteral("OSMODE"), 8);
    Point(0, 0); Point(0, 10);
    PickLines(Target());
    EXPECT_EQ(Prompts()[0], QStringLiteral("Left (lower) node of line 1"));
    EXPECT_EQ(Prompts()[1], QStringLiteral("Right (upper) node of line 1"));
    EXPECT_EQ(m_model->ConstrainedLines(1, 4).ToDouble(), 10.0);
    EXPECT_TRUE(m_model->ConstrainedLines(1, 5).IsEmpty());
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), cad::kVendelLines);

    m_model->NodalLoads(1, 4) = Cell(-500.0f);
    Point(40, 10);
    PickLoads(Target());
    EXPECT_EQ(Prompts()[3], QStringLiteral("Select node 1"));
    EXPECT_EQ(Prompts()[4], QStringLiteral("Select node 2"));
    EXPECT_EQ(m_model->NodalLoads(1, 1).ToDouble(), 40.0);
    EXPECT_TRUE(m_model->NodalLoads(1, 4).IsEmpty());  // the forces stay empty
    EXPECT_EQ(m_doc->ActiveLayer()->Name(), cad::kVendelLoads);
    EXPECT_EQ(m_doc->GetVariable(QStringLiteral("OSMODE")), 8);
}

TEST_F(StressPicking, CancelledRunErasesTheLayerAndKeepsTheRowsStored)
{
    Point(5, 5);
    Fail(cad::kCancelled);
    test::MessageRecorder messages;
    EXPECT_EQ(PickLoads(Target()), PickEnd::Cancelled);
    EXPECT_EQ(m_clears, 1);
    EXPECT_EQ(m_model->NodalLoads(1, 1).ToDouble(), 5.0);
    EXPECT_EQ(m_mark, 1);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(StressPicking, AnyOtherFailureIsSaidWithoutAnIcon)
{
    Point(5, 5);
    Fail(0x80004005u);
    test::MessageRecorder messages;
    EXPECT_EQ(PickLines(Target()), PickEnd::Failed);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].prompt, QStringLiteral("An error has occured"));
    EXPECT_EQ(messages.Messages()[0].style, MsgOkOnly);
    EXPECT_EQ(m_clears, 0);
    EXPECT_TRUE(m_model->ConstrainedLines(1, 1).IsEmpty());
}

} // namespace
