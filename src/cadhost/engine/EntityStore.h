// The entities of a drawing in creation order, each in a slot of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "cadhost/engine/Entity.h"

namespace cadhost {

// Slots live in fixed chunks, so the store grows without moving an entity (and an entity's
// address stays put until the slots are packed). An erased entity stays in its slot, whole,
// flagged as erased: erasing and bringing back millions of them moves nothing and allocates
// nothing. Only once nothing can bring it back is it released (its slot emptied) and, when
// packing pays off, its slot given up.
class EntityStore {
public:
    enum class State : std::uint8_t { Live, Erased, Empty };

    // Slots in all, whatever their state.
    std::size_t Size() const { return m_ids.size(); }
    std::size_t LiveCount() const { return m_live; }
    std::size_t ErasedCount() const { return m_erased; }
    std::size_t EmptyCount() const { return Size() - m_live - m_erased; }

    Entity& At(std::size_t slot) { return m_chunks[slot >> kChunkBits][slot & kChunkMask]; }
    const Entity& At(std::size_t slot) const { return m_chunks[slot >> kChunkBits][slot & kChunkMask]; }
    // The ObjectID the slot was given (it stays with the slot, erased or not).
    ObjectId IdAt(std::size_t slot) const { return m_ids[slot]; }
    State StateAt(std::size_t slot) const { return m_states[slot]; }
    bool IsLive(std::size_t slot) const { return m_states[slot] == State::Live; }

    // Appends a live entity (its id above every id held) and returns its slot.
    std::uint32_t Append(Entity&& e);
    void Reserve(std::size_t count);
    // The slot that was given `id`, whatever its state; -1 when none was.
    std::int64_t SlotOf(ObjectId id) const;
    // The slot of a live entity, or -1.
    std::int64_t LiveSlotOf(ObjectId id) const
    {
        const std::int64_t slot = SlotOf(id);
        return slot >= 0 && IsLive(std::size_t(slot)) ? slot : -1;
    }
    // The slot of an entity held in this store, or -1 for a copy held elsewhere.
    std::int64_t SlotOfEntity(const Entity& e) const;

    // Live -> erased, the entity kept whole.
    void Erase(std::size_t slot);
    // Erased -> live.
    void Unerase(std::size_t slot);
    // Erased -> empty: the entity is let go.
    void Release(std::size_t slot);

    // Gives up the empty slots, keeping the order of the others; calls moved(from, to) for every
    // slot that moves (to < from, lowest first).
    template <typename Moved>
    void Pack(Moved&& moved)
    {
        std::size_t to = 0;
        for (std::size_t from = 0; from < Size(); ++from) {
            if (m_states[from] == State::Empty)
                continue;
            if (to != from) {
                At(to) = std::move(At(from));
                m_ids[to] = m_ids[from];
                m_states[to] = m_states[from];
                moved(std::uint32_t(from), std::uint32_t(to));
            }
            ++to;
        }
        Truncate(to);
    }

    // Visits every live entity in creation order.
    template <typename Visit>
    void ForEachLive(Visit&& visit) const
    {
        for (std::size_t slot = 0; slot < Size(); ++slot)
            if (m_states[slot] == State::Live)
                visit(At(slot));
    }

private:
    static constexpr unsigned kChunkBits = 12;
    static constexpr std::size_t kChunkSize = std::size_t(1) << kChunkBits;
    static constexpr std::size_t kChunkMask = kChunkSize - 1;
    void Truncate(std::size_t count);

    std::vector<std::unique_ptr<Entity[]>> m_chunks;
    // The chunks' first entities by address, with the chunk's index (to find an entity's slot).
    std::vector<std::pair<const Entity*, std::uint32_t>> m_byAddress;
    std::vector<ObjectId> m_ids;   // ascending, as ids only grow
    std::vector<State> m_states;
    std::size_t m_live = 0;
    std::size_t m_erased = 0;
};

} // namespace cadhost
