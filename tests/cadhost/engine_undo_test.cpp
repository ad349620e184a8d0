// Guards against undo losing or inventing entities: erases of millions kept in place, runs of
// slots broken by other layers, chunk edges, entities let go once their step leaves the history,
// and the history handing every dropped record to its owner exactly once.
#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/UndoHistory.h"
#include "support/EngineChecks.h"

using namespace cadhost;
using cadhost::test::ExpectDocumentConsistent;

namespace {

// Every entity as (ObjectID, layer, first point x), in creation order.
std::vector<std::tuple<ObjectId, QString, double>> Snapshot(const Document& doc)
{
    std::vector<std::tuple<ObjectId, QString, double>> out;
    doc.ForEachEntity([&](const Entity& e) { out.emplace_back(e.id, e.layer, e.points[0].x); });
    return out;
}

Revert UneraseRun(ObjectId first)
{
    Revert r;
    r.kind = Revert::Kind::Unerase;
    r.first = r.last = first;
    r.count = 1;
    return r;
}

} // namespace

TEST(UndoHistory, EveryDroppedRecordReachesItsOwnerOnce)
{
    std::map<ObjectId, int> forgotten;
    UndoHistory history([&](const Revert& r) { ++forgotten[r.first]; });
    for (ObjectId i = 0; i < ObjectId(UndoHistory::kMaxSteps) + 5; ++i)
        history.Record(UneraseRun(i));
    // The five oldest steps fell off the end.
    EXPECT_EQ(forgotten.size(), 5u);
    EXPECT_EQ(forgotten.count(4), 1u);
    EXPECT_EQ(forgotten.count(5), 0u);
    // Undone steps come back as their inverses; a new change forgets them.
    std::vector<ObjectId> applied;
    auto apply = [&](Revert&& r) {
        applied.push_back(r.first);
        return UneraseRun(-r.first);
    };
    ASSERT_TRUE(history.Undo(apply));
    ASSERT_TRUE(history.Undo(apply));
    EXPECT_EQ(applied, (std::vector<ObjectId>{1004, 1003}));
    ASSERT_TRUE(history.Redo(apply));
    EXPECT_EQ(applied.back(), -1003);
    history.BeginStep();
    history.BeginStep();
    history.Record(UneraseRun(2000));
    history.Record(UneraseRun(2001));
    history.EndStep();
    history.Record(UneraseRun(2002));
    history.EndStep();
    EXPECT_EQ(forgotten.count(-1004), 1u) << "the step left to redo was not handed back";
    EXPECT_FALSE(history.CanRedo());
    // The nested pairs made one step: one undo takes all three, last first.
    applied.clear();
    ASSERT_TRUE(history.Undo(apply));
    EXPECT_EQ(applied, (std::vector<ObjectId>{2002, 2001, 2000}));
    history.Clear();
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
    for (const auto& [id, times] : forgotten)
        EXPECT_EQ(times, 1) << "record " << id << " handed back " << times << " times";
    // 1005 recorded, 2 undone, one redone, 3 in a step, 1 undone: all but none left.
    EXPECT_EQ(forgotten.count(-2000) + forgotten.count(-2001) + forgotten.count(-2002), 3u);
}

TEST(Undo, AnEraseOfInterleavedLayersAcrossChunksComesBackExactly)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("Stresses");
    {
        // 10,000 lines, every third on another layer: the erased runs break at each of them, and
        // the slots span three chunks.
        const Document::Step drawing(doc);
        for (int i = 0; i < 10000; ++i) {
            doc.SetActiveLayer(i % 3 == 0 ? "0" : "Stresses");
            doc.AddLine({double(i), 0, 0}, {double(i), 2, 0});
        }
        doc.SetActiveLayer("0");
    }
    const auto all = Snapshot(doc);
    // An entity's extents are found through its slot in every chunk; a copy's are computed.
    doc.ForEachEntity([&](const Entity& e) {
        const Box2 b = doc.Bounds(e);
        ASSERT_EQ(b.minX, e.points[0].x);
        ASSERT_EQ(b.maxY, 2.0);
        const Entity copy = e;
        ASSERT_EQ(doc.Bounds(copy).minX, e.points[0].x);
    });
    const ObjectId single = std::get<0>(all[4096]);
    doc.Erase(single);
    SelectionSet& set = doc.AddSelectionSet("tempss");
    set.Select(kSelectAll, std::nullopt, std::nullopt, {{8, QStringLiteral("Stresses")}});
    set.Erase();
    EXPECT_EQ(doc.EntityCount(), 3334u);
    EXPECT_EQ(doc.ErasedKept(), 6666u);
    ExpectDocumentConsistent(doc);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.EntityCount(), 9999u);
    EXPECT_EQ(doc.Find(single), nullptr) << "the single erase before came back with the layer's";
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Snapshot(doc), all);
    ExpectDocumentConsistent(doc);
    ASSERT_TRUE(doc.Redo());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.EntityCount(), 3334u);
    EXPECT_EQ(doc.SelectCrossing(Box2{-1, -1, 10001, 3}).size(), 3334u);
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Snapshot(doc), all);
    EXPECT_EQ(doc.SelectCrossing(Box2{-1, -1, 10001, 3}).size(), 10000u);
}

TEST(Undo, EntitiesOfAnEraseThatLeftTheHistoryAreLetGoAndTheirSlotsPacked)
{
    Document doc("Drawing1.dxf");
    {
        const Document::Step drawing(doc);
        for (int i = 0; i < 5000; ++i)
            doc.AddLine({double(i), 0, 0}, {double(i), 1, 0});
    }
    const auto first = Snapshot(doc);
    SelectionSet& set = doc.AddSelectionSet("tempss");
    set.Select(kSelectAll, std::nullopt, std::nullopt);
    set.Erase();
    EXPECT_EQ(doc.ErasedKept(), 5000u);
    // A second drawing, each line a step: until the erase leaves the history it can be undone.
    const std::size_t rebuilds = doc.IndexRebuilds();
    std::vector<ObjectId> second;
    for (int i = 0; i < int(Document::kMaxUndoSteps) - 1; ++i)
        second.push_back(doc.AddLine({double(i), 5, 0}, {double(i), 6, 0}));
    EXPECT_EQ(doc.ErasedKept(), 5000u);
    EXPECT_EQ(doc.IndexRebuilds(), rebuilds);
    second.push_back(doc.AddLine({-1, 5, 0}, {-1, 6, 0}));
    // The erase fell off: its 5000 entities are let go and their slots given up.
    EXPECT_EQ(doc.ErasedKept(), 0u);
    EXPECT_EQ(doc.IndexRebuilds(), rebuilds + 1);
    EXPECT_EQ(doc.EntityCount(), second.size());
    for (ObjectId id : second)
        ASSERT_NE(doc.Find(id), nullptr);
    EXPECT_EQ(doc.Find(std::get<0>(first[0])), nullptr);
    EXPECT_EQ(doc.SelectCrossing(Box2{-2, 4, 1000, 7}).size(), second.size());
    EXPECT_TRUE(doc.SelectCrossing(Box2{-2, -1, 6000, 2}).empty());
    ExpectDocumentConsistent(doc);
    // Every line of the second drawing still comes off one by one, and goes back on.
    for (std::size_t i = 0; i < second.size(); ++i)
        ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.EntityCount(), 0u);
    EXPECT_FALSE(doc.CanUndo());
    for (std::size_t i = 0; i < second.size(); ++i)
        ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.EntityCount(), second.size());
    ExpectDocumentConsistent(doc);
}
