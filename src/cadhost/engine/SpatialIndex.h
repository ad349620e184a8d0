// A uniform-grid spatial index over entity extents, for crossing selection and snapping.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "Geometry.h"

namespace cadhost {

// Holds slot numbers with their boxes. The grid is sized from the extents and the number of
// items when it is (re)built; items outside the grid or covering many cells go to a list that
// every query visits. A query reports each slot at most once.
class SpatialIndex {
public:
    void Clear();
    void Insert(std::uint32_t slot, const Box2& box);
    void Remove(std::uint32_t slot);
    // Visits every slot whose box meets `box`; the visitor returns false to stop.
    void Query(const Box2& box, const std::function<bool(std::uint32_t)>& visit) const;
    std::size_t Size() const { return m_count; }

private:
    void Rebuild() const;
    void Place(std::uint32_t slot) const;
    void CellRange(const Box2& box, int& x0, int& y0, int& x1, int& y1) const;

    std::vector<Box2> m_boxes;          // by slot; empty box = not held
    std::size_t m_count = 0;
    mutable bool m_dirty = true;
    mutable Box2 m_extents;
    mutable double m_cellSize = 1.0;
    mutable int m_cols = 0;
    mutable int m_rows = 0;
    mutable std::vector<std::uint32_t> m_cellStart;   // CSR layout of the cells
    mutable std::vector<std::uint32_t> m_cellItems;
    mutable std::vector<std::vector<std::uint32_t>> m_pending; // inserted since the build, per cell
    mutable std::vector<std::uint32_t> m_large;        // outside the grid or too big
    mutable std::vector<std::uint32_t> m_mark;         // query stamps per slot
    mutable std::uint32_t m_stamp = 0;
    mutable std::size_t m_builtCount = 0;
};

} // namespace cadhost
