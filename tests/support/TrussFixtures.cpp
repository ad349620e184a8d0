// Small trusses built in code for the truss tests, and a recorder for ShowMessage.
#include "support/TrussFixtures.h"

#include <gtest/gtest.h>

namespace ardela::test {

std::unique_ptr<TrussModel> MakeTruss(const std::vector<NodeSpec>& nodes, const std::vector<BarSpec>& bars,
                                      const std::vector<SupportSpec>& supports, const std::vector<LoadSpec>& loads)
{
    auto m = std::make_unique<TrussModel>();
    for (const NodeSpec& n : nodes)
        AddNode(*m, static_cast<float>(n.x), static_cast<float>(n.y));
    for (const BarSpec& b : bars)
        AddBar(*m, b.i, b.j, b.a, b.e);
    for (const SupportSpec& s : supports)
        AddSupport(*m, s.node, s.holdX, s.holdY);
    for (const LoadSpec& l : loads)
        AddLoad(*m, l.node, l.fx, l.fy);
    return m;
}

std::unique_ptr<TrussModel> MakeChain(int count, float fx)
{
    std::vector<NodeSpec> nodes;
    std::vector<BarSpec> bars;
    std::vector<SupportSpec> supports{{1, 1, 1}};
    for (int k = 1; k <= count; ++k) {
        nodes.push_back({100.0 * (k - 1), 0.0});
        if (k < count)
            bars.push_back({k, k + 1, 10.0f, 2.1e6f});
        if (k > 1)
            supports.push_back({k, 0, 1});
    }
    return MakeTruss(nodes, bars, supports, {{count, fx, 0.0f}});
}

std::unique_ptr<TrussModel> MakeGirder(int panels)
{
    std::vector<NodeSpec> nodes;
    std::vector<BarSpec> bars;
    std::vector<LoadSpec> loads;
    for (int c = 1; c <= panels; ++c) {
        nodes.push_back({100.0 * (c - 1), 100.0});
        nodes.push_back({100.0 * (c - 1), 0.0});
        const int top = 2 * c - 1;
        const int bottom = 2 * c;
        bars.push_back({top, bottom, 10.0f, 2.1e6f});
        if (c < panels) {
            bars.push_back({top, top + 2, 10.0f, 2.1e6f});
            bars.push_back({bottom, bottom + 2, 10.0f, 2.1e6f});
            bars.push_back({top, bottom + 2, 10.0f, 2.1e6f});
        }
        loads.push_back({top, 10.0f, -100.0f});
    }
    return MakeTruss(nodes, bars, {{2, 1, 1}, {2 * panels, 0, 1}}, loads);
}

void ExpectTrussTables(const TrussModel& model, const std::vector<NodeSpec>& nodes,
                       const std::vector<std::pair<int, int>>& bars, int firstNode, int firstBar)
{
    ASSERT_EQ(model.NodeCount, firstNode - 1 + int(nodes.size()));
    ASSERT_EQ(model.ElementCount, firstBar - 1 + int(bars.size()));
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        const int r = firstNode + int(k);
        EXPECT_DOUBLE_EQ(model.Nodes(r, 1).ToDouble(), nodes[k].x) << "node " << r;
        EXPECT_DOUBLE_EQ(model.Nodes(r, 2).ToDouble(), nodes[k].y) << "node " << r;
    }
    for (std::size_t k = 0; k < bars.size(); ++k) {
        const int r = firstBar + int(k);
        EXPECT_EQ(model.Elements(r, 1).ToInt16(), bars[k].first) << "bar " << r;
        EXPECT_EQ(model.Elements(r, 2).ToInt16(), bars[k].second) << "bar " << r;
    }
}

} // namespace ardela::test
