// The multi-level grid behind crossing selection and snapping.
#include "cadhost/engine/SpatialIndex.h"

#include <cmath>

#include "cadhost/engine/LargePages.h"

namespace cadhost {

void SpatialIndex::Clear()
{
    m_boxes.clear();
    m_hidden.clear();
    m_count = 0;
    m_unbounded.clear();
    m_dirty = true;
    m_levels.clear();
    m_pending.clear();
    m_pendingCount = 0;
    m_mark.clear();
}

void SpatialIndex::Reserve(std::size_t count)
{
    m_boxes.reserve(count);
    m_hidden.reserve(count);
    AdviseLargePages(m_boxes.data(), m_boxes.capacity() * sizeof(Box2));
}

void SpatialIndex::Insert(std::uint32_t slot, const Box2& box)
{
    if (slot >= m_boxes.size()) {
        m_boxes.resize(std::size_t(slot) + 1);
        m_hidden.resize(std::size_t(slot) + 1, kShown);
    }
    if (!m_boxes[slot].IsEmpty())
        Remove(slot);
    if (box.IsEmpty())
        return;
    m_boxes[slot] = box;
    ++m_count;
    if (!box.IsBounded()) {
        m_unbounded.push_back(slot);
        return;
    }
    Place(slot, box);
}

void SpatialIndex::Place(std::uint32_t slot, const Box2& box)
{
    if (m_dirty)
        return;
    const bool inside = box.minX >= m_extents.minX && box.maxX <= m_extents.maxX
        && box.minY >= m_extents.minY && box.maxY <= m_extents.maxY;
    if (!inside || m_pendingCount > m_builtCount / 4 + 1024) {
        m_dirty = true;
        return;
    }
    AddPending(slot, box);
}

void SpatialIndex::Remove(std::uint32_t slot)
{
    if (slot < m_boxes.size() && !m_boxes[slot].IsEmpty()) {
        if (!m_boxes[slot].IsBounded())
            std::erase(m_unbounded, slot);
        if (m_hidden[slot] == kShown)
            --m_count;
        m_boxes[slot] = Box2{};
        m_hidden[slot] = kShown;
    }
}

void SpatialIndex::Hide(std::uint32_t slot)
{
    if (slot < m_boxes.size() && Shown(slot)) {
        m_hidden[slot] = kHiddenInGrid;
        --m_count;
    }
}

void SpatialIndex::Show(std::uint32_t slot)
{
    if (slot >= m_boxes.size() || m_hidden[slot] == kShown)
        return;
    const bool outside = m_hidden[slot] == kHiddenOutside;
    m_hidden[slot] = kShown;
    ++m_count;
    // A slot hidden since the grid was built still sits in its cells; one without bounds sits
    // in the list of those, hidden or not.
    if (outside && m_boxes[slot].IsBounded())
        Place(slot, m_boxes[slot]);
}

void SpatialIndex::MoveSlot(std::uint32_t from, std::uint32_t to)
{
    m_boxes[to] = m_boxes[from];
    m_hidden[to] = m_hidden[from];
}

void SpatialIndex::Truncate(std::size_t count)
{
    if (count < m_boxes.size()) {
        m_boxes.resize(count);
        m_hidden.resize(count);
        m_boxes.shrink_to_fit();
        m_hidden.shrink_to_fit();
    }
    m_count = 0;
    m_unbounded.clear();
    for (std::size_t s = 0; s < m_boxes.size(); ++s) {
        m_count += Shown(s) ? 1 : 0;
        if (!m_boxes[s].IsEmpty() && !m_boxes[s].IsBounded())
            m_unbounded.push_back(std::uint32_t(s));
    }
    m_dirty = true;
    m_levels.clear();
    m_pending.clear();
    m_pendingCount = 0;
    m_mark.clear();
    m_mark.shrink_to_fit();
}

Box2 SpatialIndex::Extents() const
{
    Box2 all;
    for (std::size_t s = 0; s < m_boxes.size(); ++s)
        if (m_hidden[s] == kShown)
            all.Add(m_boxes[s]);
    return all;
}

int SpatialIndex::LevelFor(const Box2& box) const
{
    const double size = std::max(box.Width(), box.Height());
    for (int k = 0; k < int(m_levels.size()); ++k)
        if (size <= m_levels[std::size_t(k)].cell)
            return k;
    return int(m_levels.size()) - 1;
}

void SpatialIndex::CellRange(const Level& level, const Box2& box, int& x0, int& y0, int& x1, int& y1) const
{
    auto clampCell = [](double v, int n) {
        if (!(v > 0.0))
            return 0;
        return v >= double(n - 1) ? n - 1 : int(v);
    };
    x0 = clampCell((box.minX - m_extents.minX) / level.cell, level.cols);
    x1 = clampCell((box.maxX - m_extents.minX) / level.cell, level.cols);
    y0 = clampCell((box.minY - m_extents.minY) / level.cell, level.rows);
    y1 = clampCell((box.maxY - m_extents.minY) / level.cell, level.rows);
}

void SpatialIndex::AddPending(std::uint32_t slot, const Box2& box) const
{
    const int k = LevelFor(box);
    const Level& level = m_levels[std::size_t(k)];
    int x0, y0, x1, y1;
    CellRange(level, box, x0, y0, x1, y1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const std::uint64_t key = (std::uint64_t(k) << 48) | std::uint64_t(y * level.cols + x);
            m_pending[key].push_back(slot);
        }
    ++m_pendingCount;
}

void SpatialIndex::Rebuild() const
{
    m_levels.clear();
    m_pending.clear();
    m_pendingCount = 0;
    m_dirty = false;
    m_builtCount = m_count;
    m_mark.assign(m_boxes.size(), 0);
    m_stamp = 0;

    // Hidden slots are left out of the grid until they are shown again.
    for (std::uint8_t& h : m_hidden)
        if (h == kHiddenInGrid)
            h = kHiddenOutside;
    Box2 ext;
    for (std::size_t s = 0; s < m_boxes.size(); ++s)
        if (m_hidden[s] == kShown)
            ext.Add(m_boxes[s]);
    if (ext.IsEmpty())
        ext = Box2{0, 0, 1, 1};
    // A margin so that drawing on near the edges does not force a rebuild at once.
    const double span = std::max({ext.Width(), ext.Height(), 1e-9});
    const double margin = 0.25 * span + 1.0;
    m_extents = Box2{ext.minX - margin, ext.minY - margin, ext.maxX + margin, ext.maxY + margin};
    const double w = m_extents.Width(), h = m_extents.Height();

    // Finest cell: about one item per cell, at most 4M cells.
    std::size_t unbounded = 0;
    for (std::uint32_t s : m_unbounded)
        unbounded += m_hidden[s] == kShown ? 1 : 0;
    const double n = double(std::max<std::size_t>(m_count - unbounded, 1));
    double cell = std::sqrt(w * h / n);
    cell = std::max(cell, std::sqrt(w * h / 4.0e6));
    for (;;) {
        Level level;
        level.cell = cell;
        level.cols = std::max(1, int(std::ceil(w / cell)));
        level.rows = std::max(1, int(std::ceil(h / cell)));
        m_levels.push_back(std::move(level));
        if (cell >= std::max(w, h))
            break;
        cell *= 4.0;
    }

    // Two passes: count per cell, then fill (compressed rows).
    std::vector<std::uint8_t> levelOf(m_boxes.size(), 0);
    for (Level& level : m_levels)
        level.start.assign(std::size_t(level.cols) * std::size_t(level.rows) + 1, 0);
    for (std::size_t s = 0; s < m_boxes.size(); ++s) {
        const Box2& b = m_boxes[s];
        if (!Shown(s) || !b.IsBounded())
            continue;
        const int k = LevelFor(b);
        levelOf[s] = std::uint8_t(k);
        Level& level = m_levels[std::size_t(k)];
        int x0, y0, x1, y1;
        CellRange(level, b, x0, y0, x1, y1);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                ++level.start[std::size_t(y) * level.cols + x + 1];
    }
    for (Level& level : m_levels) {
        for (std::size_t c = 1; c < level.start.size(); ++c)
            level.start[c] += level.start[c - 1];
        level.items.resize(level.start.back());
    }
    std::vector<std::vector<std::uint32_t>> fill(m_levels.size());
    for (std::size_t k = 0; k < m_levels.size(); ++k)
        fill[k].assign(m_levels[k].start.begin(), m_levels[k].start.end() - 1);
    for (std::size_t s = 0; s < m_boxes.size(); ++s) {
        const Box2& b = m_boxes[s];
        if (!Shown(s) || !b.IsBounded())
            continue;
        const int k = levelOf[s];
        Level& level = m_levels[std::size_t(k)];
        int x0, y0, x1, y1;
        CellRange(level, b, x0, y0, x1, y1);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                level.items[fill[std::size_t(k)][std::size_t(y) * level.cols + x]++] = std::uint32_t(s);
    }
}

void SpatialIndex::Query(const Box2& box, const std::function<bool(std::uint32_t)>& visit) const
{
    if (m_count == 0 || box.IsEmpty())
        return;
    if (m_dirty)
        Rebuild();
    // The items without bounds first: they meet boxes anywhere, also beyond the grid.
    for (std::size_t i = 0; i < m_unbounded.size(); ++i)
        if (m_hidden[m_unbounded[i]] == kShown && m_boxes[m_unbounded[i]].Intersects(box) && !visit(m_unbounded[i]))
            return;
    if (!box.Intersects(m_extents))
        return;
    if (m_mark.size() < m_boxes.size())
        m_mark.resize(m_boxes.size(), 0);
    if (++m_stamp == 0) {
        std::fill(m_mark.begin(), m_mark.end(), 0);
        m_stamp = 1;
    }
    auto consider = [&](std::uint32_t s) {
        if (m_mark[s] == m_stamp)
            return true;
        m_mark[s] = m_stamp;
        return m_hidden[s] != kShown || !m_boxes[s].Intersects(box) || visit(s);
    };
    for (std::size_t k = 0; k < m_levels.size(); ++k) {
        const Level& level = m_levels[k];
        // Items sit in every cell their box meets, so the cells the query box meets suffice.
        int x0, y0, x1, y1;
        CellRange(level, box, x0, y0, x1, y1);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const std::size_t c = std::size_t(y) * level.cols + x;
                for (std::uint32_t i = level.start[c]; i < level.start[c + 1]; ++i)
                    if (!consider(level.items[i]))
                        return;
                if (m_pendingCount) {
                    auto it = m_pending.find((std::uint64_t(k) << 48) | c);
                    if (it != m_pending.end())
                        for (std::uint32_t s : it->second)
                            if (!consider(s))
                                return;
                }
            }
    }
}

} // namespace cadhost
