// Small trusses built in code for the truss tests, and a recorder for ShowMessage.
#include "TrussFixtures.h"

namespace ardela::test {

std::unique_ptr<TrussModel> MakeTruss(const std::vector<NodeSpec>& nodes, const std::vector<BarSpec>& bars,
                                      const std::vector<SupportSpec>& supports, const std::vector<LoadSpec>& loads)
{
    auto m = std::make_unique<TrussModel>();
    m->NodeCount = static_cast<std::int16_t>(nodes.size());
    m->ElementCount = static_cast<std::int16_t>(bars.size());
    m->BlockCount = static_cast<std::int16_t>(supports.size());
    m->LoadCount = static_cast<std::int16_t>(loads.size());
    int r = 1;
    for (const NodeSpec& n : nodes) {
        m->Nodes(r, 1) = Cell(static_cast<float>(n.x));
        m->Nodes(r, 2) = Cell(static_cast<float>(n.y));
        ++r;
    }
    r = 1;
    for (const BarSpec& b : bars) {
        m->Elements(r, 1) = Cell(static_cast<std::int16_t>(b.i));
        m->Elements(r, 2) = Cell(static_cast<std::int16_t>(b.j));
        m->Elements(r, 3) = Cell(b.a);
        m->Elements(r, 4) = Cell(b.e);
        ++r;
    }
    r = 1;
    for (const SupportSpec& s : supports) {
        m->Blocks(r, 1) = Cell(static_cast<std::int16_t>(s.node));
        m->Blocks(r, 2) = Cell(static_cast<float>(s.holdX));
        m->Blocks(r, 3) = Cell(static_cast<float>(s.holdY));
        ++r;
    }
    r = 1;
    for (const LoadSpec& l : loads) {
        m->Loads(r, 1) = Cell(static_cast<std::int16_t>(l.node));
        m->Loads(r, 2) = Cell(l.fx);
        m->Loads(r, 3) = Cell(l.fy);
        ++r;
    }
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

MessageRecorder::MessageRecorder(std::int16_t answer)
    : m_messages(std::make_shared<std::vector<Message>>())
{
    auto messages = m_messages;
    m_previous = SetMessageHandler([messages, answer](const QString& prompt, std::int16_t style, const QString& title) {
        messages->push_back({prompt, style, title});
        return answer;
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageHandler(m_previous);
}

} // namespace ardela::test
