// Small trusses built in code for the truss tests, and a recorder for ShowMessage.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <QString>

#include "truss/TrussModel.h"
#include "support/TestSupport.h"

namespace ardela::test {

struct NodeSpec { double x; double y; };
struct BarSpec { int i; int j; float a; float e; };
struct SupportSpec { int node; int holdX; int holdY; };
struct LoadSpec { int node; float fx; float fy; };

// A model as the grid would fill it: node numbers as 16-bit integers, numbers as singles.
std::unique_ptr<TrussModel> MakeTruss(const std::vector<NodeSpec>& nodes, const std::vector<BarSpec>& bars,
                                      const std::vector<SupportSpec>& supports, const std::vector<LoadSpec>& loads);

// A straight chain of `nodes` nodes 100 apart along x, bar k joining k and k+1, node 1 held both
// ways, every other node held vertically, pulled by Fx at the last node.
std::unique_ptr<TrussModel> MakeChain(int nodes, float fx);

// A braced two-chord girder of `panels` panels 100 long and 100 deep (node 2c-1 on the top chord,
// 2c below it), pinned at the first bottom node, on a roller at the last, every top node loaded
// (10, -100): with 254 panels too slender for the single-precision solver to balance.
std::unique_ptr<TrussModel> MakeGirder(int panels);

// Expects the node rows from `firstNode` on to hold `nodes` and the bar rows from `firstBar` on
// the node pairs `bars`, and the counts to end with them.
void ExpectTrussTables(const TrussModel& model, const std::vector<NodeSpec>& nodes,
                       const std::vector<std::pair<int, int>>& bars, int firstNode = 1, int firstBar = 1);

} // namespace ardela::test
