// A multi-level uniform grid over entity extents, for crossing selection and snapping.
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "cadhost/engine/Geometry.h"

namespace cadhost {

// Holds slot numbers with their boxes. Each item sits in the finest level whose cells are at
// least as large as its box, so it occupies at most 2 x 2 cells there; a level's cells are four
// times the size of the one below. The grid is built lazily on the first query after it went
// stale; inserts inside the built extents are kept beside the grid until a rebuild pays off.
// A query reports each slot at most once. Items whose box is not bounded (lines without end)
// are kept apart: every query meets their box test, and they take no part in the extents.
// A hidden slot (an erased entity a step of undo can bring back) keeps its box and its cells
// but is reported by no query; showing it again costs nothing while the grid it sits in stands.
class SpatialIndex {
public:
    void Clear();
    // Makes room for `count` slots without growing step by step.
    void Reserve(std::size_t count);
    void Insert(std::uint32_t slot, const Box2& box);
    void Remove(std::uint32_t slot);
    void Hide(std::uint32_t slot);
    void Show(std::uint32_t slot);
    // Moves what a slot holds to a lower one (packing slots in place, lowest first), and then
    // drops every slot from `count` on; the grid is built again on the next query.
    void MoveSlot(std::uint32_t from, std::uint32_t to);
    void Truncate(std::size_t count);
    // Visits every slot whose box meets `box`; the visitor returns false to stop.
    void Query(const Box2& box, const std::function<bool(std::uint32_t)>& visit) const;
    std::size_t Size() const { return m_count; }
    // The box a slot was inserted with, hidden or not (empty for one not held).
    Box2 BoxOf(std::uint32_t slot) const { return slot < m_boxes.size() ? m_boxes[slot] : Box2{}; }
    // The box around every bounded box held.
    Box2 Extents() const;

private:
    struct Level {
        double cell = 1.0;
        int cols = 0;
        int rows = 0;
        std::vector<std::uint32_t> start;   // CSR offsets per cell, cols * rows + 1
        std::vector<std::uint32_t> items;
    };
    void Rebuild() const;
    int LevelFor(const Box2& box) const;
    void CellRange(const Level& level, const Box2& box, int& x0, int& y0, int& x1, int& y1) const;
    void AddPending(std::uint32_t slot, const Box2& box) const;
    // Puts a bounded box newly shown into the grid standing, or marks the grid stale.
    void Place(std::uint32_t slot, const Box2& box);
    bool Shown(std::size_t slot) const { return m_hidden[slot] == kShown && !m_boxes[slot].IsEmpty(); }

    std::vector<Box2> m_boxes;              // by slot; an empty box = not held
    // By slot: shown, hidden but still in the grid, or hidden and left out of the last build.
    enum : std::uint8_t { kShown = 0, kHiddenInGrid = 1, kHiddenOutside = 2 };
    mutable std::vector<std::uint8_t> m_hidden;
    std::size_t m_count = 0;
    std::vector<std::uint32_t> m_unbounded;  // slots whose box is not bounded
    mutable bool m_dirty = true;
    mutable Box2 m_extents;
    mutable std::vector<Level> m_levels;
    mutable std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> m_pending; // (level, cell)
    mutable std::size_t m_pendingCount = 0;
    mutable std::size_t m_builtCount = 0;
    mutable std::vector<std::uint32_t> m_mark;   // query stamps per slot
    mutable std::uint32_t m_stamp = 0;
};

} // namespace cadhost
