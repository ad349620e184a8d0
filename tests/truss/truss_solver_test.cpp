// Guards against wrong bar forces and reactions from the band solver.
#include <gtest/gtest.h>

#include "TrussModel.h"
#include "TrussSolver.h"

using namespace ardela;

TEST(TrussSolver, SingleBarPulledAlongItsAxisCarriesTheLoad)
{
    auto m = std::make_unique<TrussModel>();
    m->NodeCount = 2; m->ElementCount = 1; m->BlockCount = 2; m->LoadCount = 1;
    m->Nodes(1, 1) = Cell(0.0f); m->Nodes(1, 2) = Cell(0.0f);
    m->Nodes(2, 1) = Cell(100.0f); m->Nodes(2, 2) = Cell(0.0f);
    m->Elements(1, 1) = Cell(std::int16_t(1)); m->Elements(1, 2) = Cell(std::int16_t(2));
    m->Elements(1, 3) = Cell(10.0f); m->Elements(1, 4) = Cell(2.1e6f);
    m->Blocks(1, 1) = Cell(std::int16_t(1)); m->Blocks(1, 2) = Cell(1.0f); m->Blocks(1, 3) = Cell(1.0f);
    m->Blocks(2, 1) = Cell(std::int16_t(2)); m->Blocks(2, 3) = Cell(1.0f);
    m->Loads(1, 1) = Cell(std::int16_t(2)); m->Loads(1, 2) = Cell(10.0f);
    RunTrussAnalysis(*m);
    EXPECT_NEAR(m->Elements(1, 6).ToDouble(), 10.0, 1e-4);
    EXPECT_NEAR(m->Blocks(1, 4).ToDouble(), -10.0, 1e-4);
}
