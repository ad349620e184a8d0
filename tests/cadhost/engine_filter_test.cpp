// Guards against selection filters that pick the wrong entities: type and layer codes, letter
// case, wildcards, -4 grouping, and malformed filter lists that must be refused.
#include <gtest/gtest.h>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/EngineError.h"
#include "support/TestSupport.h"

using namespace cadhost;

TEST(Wildcards, MatchTheUsualPatternCharacters)
{
    EXPECT_TRUE(WildcardMatch("Korrin_*", "KORRIN_PLUS"));
    EXPECT_TRUE(WildcardMatch("korrin_plus", "Korrin_Plus"));
    EXPECT_FALSE(WildcardMatch("Korrin_*", "Vendel_Plus"));
    EXPECT_TRUE(WildcardMatch("Layer#", "Layer7"));
    EXPECT_FALSE(WildcardMatch("Layer#", "LayerX"));
    EXPECT_TRUE(WildcardMatch("@@", "ab"));
    EXPECT_FALSE(WildcardMatch("@@", "a1"));
    EXPECT_TRUE(WildcardMatch("a.b", "a-b"));
    EXPECT_FALSE(WildcardMatch("a.b", "axb"));
    EXPECT_TRUE(WildcardMatch("?ORRIN", "korrin"));
    EXPECT_FALSE(WildcardMatch("?ORRIN", "orrin"));
    EXPECT_TRUE(WildcardMatch("~Korrin*", "Vendel_Mesh"));
    EXPECT_FALSE(WildcardMatch("~Korrin*", "Korrin_Mesh"));
    EXPECT_TRUE(WildcardMatch("[KV]*", "Vendel"));
    EXPECT_FALSE(WildcardMatch("[~KV]*", "Vendel"));
    EXPECT_TRUE(WildcardMatch("L[0-9]", "L5"));
    EXPECT_TRUE(WildcardMatch("Plus,Minus", "minus"));
    EXPECT_FALSE(WildcardMatch("Plus,Minus", "Mesh"));
    EXPECT_TRUE(WildcardMatch("a`*b", "a*b"));
    EXPECT_FALSE(WildcardMatch("a`*b", "axb"));
    EXPECT_TRUE(WildcardMatch("a`,b", "a,b"));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_FALSE(WildcardMatch("", "x"));
    EXPECT_TRUE(WildcardMatch("K*_*s", "Korrin_Blocks"));
    EXPECT_FALSE(WildcardMatch("K*_*s", "Korrin_Block"));
    EXPECT_TRUE(WildcardMatch("[]x]", "]"));
    EXPECT_TRUE(WildcardMatch("a[b", "a[b"));
    // Many stars against a long name that almost matches: must answer, not backtrack forever.
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*b", QString(250, 'a')));
    EXPECT_TRUE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*", QString(250, 'a')));
}

class FilterSelection : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_doc.AddLayer("Korrin_Plus");
        m_doc.AddLayer("Korrin_Minus");
        m_doc.AddLayer("korrin_nodes");
        m_doc.SetActiveLayer("Korrin_Plus");
        m_plusLine = m_doc.AddLine({0, 0, 0}, {1, 0, 0});
        m_plusText = m_doc.AddText("1.000", {0, 0, 0}, 1);
        m_doc.SetActiveLayer("Korrin_Minus");
        m_minusLine = m_doc.AddLine({0, 1, 0}, {1, 1, 0});
        m_doc.SetActiveLayer("korrin_nodes");
        m_nodePoint = m_doc.AddPoint({2, 2, 0});
        m_doc.SetActiveLayer("0");
        m_zeroPoint = m_doc.AddPoint({3, 3, 0});
    }

    std::vector<ObjectId> SelectAll(const std::vector<FilterItem>& filter)
    {
        SelectionSet& set = m_doc.AddSelectionSet("tempss");
        set.Select(kSelectAll, std::nullopt, std::nullopt, filter);
        std::vector<ObjectId> ids = set.Items();
        m_doc.DeleteSelectionSet("tempss");
        return ids;
    }

    Document m_doc{"Drawing1.dxf"};
    ObjectId m_plusLine = 0, m_plusText = 0, m_minusLine = 0, m_nodePoint = 0, m_zeroPoint = 0;
};

TEST_F(FilterSelection, LayerAndTypeCodesPickTheirEntitiesWithoutRegardToCase)
{
    EXPECT_EQ(SelectAll({{8, "KORRIN_PLUS"}}), (std::vector<ObjectId>{m_plusLine, m_plusText}));
    EXPECT_EQ(SelectAll({{0, "Point"}}), (std::vector<ObjectId>{m_nodePoint, m_zeroPoint}));
    EXPECT_EQ(SelectAll({{0, "TEXT"}}), (std::vector<ObjectId>{m_plusText}));
    EXPECT_EQ(SelectAll({{0, "text"}, {8, "Korrin_Minus"}}), std::vector<ObjectId>{});
    EXPECT_EQ(SelectAll({{0, "Point"}, {8, "Korrin_Nodes"}}), (std::vector<ObjectId>{m_nodePoint}));
    EXPECT_EQ(SelectAll({{8, "Korrin_*"}}).size(), 4u);
    EXPECT_EQ(SelectAll({}).size(), 5u);
}

TEST_F(FilterSelection, OrGroupTakesEitherLayerAsTheResultEraserBuildsIt)
{
    const auto ids = SelectAll({{-4, "<or"}, {8, "Korrin_Plus"}, {8, "Korrin_Minus"}, {-4, "or>"}});
    EXPECT_EQ(ids, (std::vector<ObjectId>{m_plusLine, m_plusText, m_minusLine}));
    EXPECT_EQ(SelectAll({{-4, "<OR"}, {8, "Korrin_Plus"}, {8, "Korrin_Minus"}, {-4, "OR>"}}).size(), 3u);
}

TEST_F(FilterSelection, NestedAndNotGroupsCombine)
{
    // Everything on Korrin layers that is not a line.
    const auto ids = SelectAll({{-4, "<and"}, {8, "Korrin*"}, {-4, "<not"}, {0, "LINE"}, {-4, "not>"}, {-4, "and>"}});
    EXPECT_EQ(ids, (std::vector<ObjectId>{m_plusText, m_nodePoint}));
    // Points, or anything on Korrin_Minus.
    const auto orIds = SelectAll({{-4, "<or"}, {0, "POINT"}, {-4, "<and"}, {8, "Korrin_Minus"}, {0, "LINE"},
                                  {-4, "and>"}, {-4, "or>"}});
    EXPECT_EQ(orIds, (std::vector<ObjectId>{m_minusLine, m_nodePoint, m_zeroPoint}));
    EXPECT_EQ(SelectAll({{-4, "<xor"}, {0, "POINT"}, {8, "0"}, {-4, "xor>"}}), (std::vector<ObjectId>{m_nodePoint}));
}

TEST_F(FilterSelection, MalformedFiltersAreRefusedWithAClearMessage)
{
    const std::vector<std::vector<FilterItem>> bad = {
        {{-4, "<or"}, {8, "A"}},                 // group never closed
        {{8, "A"}, {-4, "or>"}},                 // closed without opening
        {{-4, "<or"}, {-4, "or>"}},              // empty group
        {{-4, "<not"}, {8, "A"}, {8, "B"}, {-4, "not>"}},
        {{-4, "<or"}, {8, "A"}, {-4, "and>"}},   // wrong closing operator
        {{62, "1"}},                             // a code the host does not filter on
        {{-4, "<nand"}, {8, "A"}, {-4, "nand>"}},
    };
    for (const auto& filter : bad) {
        try {
            SelectionFilter f(filter);
            ADD_FAILURE() << "a malformed filter was accepted";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::InvalidArgument);
            EXPECT_TRUE(e.Message().startsWith("Invalid selection filter")) << e.Message().toStdString();
        }
    }
    // A refused Select leaves the set as it was.
    SelectionSet& set = m_doc.AddSelectionSet("tempss");
    EXPECT_THROW(set.Select(kSelectAll, std::nullopt, std::nullopt, bad[0]), EngineError);
    EXPECT_EQ(set.Count(), 0);
}
