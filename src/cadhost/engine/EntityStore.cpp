// Chunked slots of a drawing's entities.
#include "cadhost/engine/EntityStore.h"

#include <algorithm>

namespace cadhost {

std::uint32_t EntityStore::Append(Entity&& e)
{
    const std::size_t slot = Size();
    if ((slot >> kChunkBits) >= m_chunks.size()) {
        m_chunks.push_back(std::make_unique<Entity[]>(kChunkSize));
        const std::pair<const Entity*, std::uint32_t> entry{m_chunks.back().get(), std::uint32_t(m_chunks.size() - 1)};
        m_byAddress.insert(std::upper_bound(m_byAddress.begin(), m_byAddress.end(), entry), entry);
    }
    m_ids.push_back(e.id);
    m_states.push_back(State::Live);
    At(slot) = std::move(e);
    ++m_live;
    return std::uint32_t(slot);
}

void EntityStore::Reserve(std::size_t count)
{
    m_ids.reserve(Size() + count);
    m_states.reserve(Size() + count);
    m_chunks.reserve((Size() + count + kChunkSize - 1) >> kChunkBits);
}

std::int64_t EntityStore::SlotOf(ObjectId id) const
{
    const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    if (it == m_ids.end() || *it != id)
        return -1;
    return it - m_ids.begin();
}

std::int64_t EntityStore::SlotOfEntity(const Entity& e) const
{
    const std::pair<const Entity*, std::uint32_t> key{&e, ~std::uint32_t(0)};
    auto it = std::upper_bound(m_byAddress.begin(), m_byAddress.end(), key);
    if (it == m_byAddress.begin())
        return -1;
    --it;
    // std::less orders any pointers, also those of different arrays.
    if (std::less<const Entity*>()(&e, it->first) || !std::less<const Entity*>()(&e, it->first + kChunkSize))
        return -1;
    const std::size_t slot = (std::size_t(it->second) << kChunkBits) + std::size_t(&e - it->first);
    return slot < Size() ? std::int64_t(slot) : -1;
}

void EntityStore::Erase(std::size_t slot)
{
    if (m_states[slot] != State::Live)
        return;
    m_states[slot] = State::Erased;
    --m_live;
    ++m_erased;
}

void EntityStore::Unerase(std::size_t slot)
{
    if (m_states[slot] != State::Erased)
        return;
    m_states[slot] = State::Live;
    ++m_live;
    --m_erased;
}

void EntityStore::Release(std::size_t slot)
{
    if (m_states[slot] != State::Erased)
        return;
    m_states[slot] = State::Empty;
    At(slot) = Entity{};
    --m_erased;
}

void EntityStore::Truncate(std::size_t count)
{
    for (std::size_t slot = count; slot < Size(); ++slot)
        At(slot) = Entity{};
    m_ids.resize(count);
    m_states.resize(count);
    m_ids.shrink_to_fit();
    m_states.shrink_to_fit();
    m_chunks.resize((count + kChunkSize - 1) >> kChunkBits);
    m_byAddress.clear();
    for (std::size_t c = 0; c < m_chunks.size(); ++c)
        m_byAddress.emplace_back(m_chunks[c].get(), std::uint32_t(c));
    std::sort(m_byAddress.begin(), m_byAddress.end());
    m_live = m_erased = 0;
    for (State s : m_states) {
        m_live += s == State::Live ? 1 : 0;
        m_erased += s == State::Erased ? 1 : 0;
    }
}

} // namespace cadhost
