// The undo and redo steps of a document.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "cadhost/engine/Entity.h"

namespace cadhost {

// The tables of a drawing as a change found them (the document's).
struct DrawingTables;

// What reverts one recorded change. Small, as every added entity records one: entities added or
// erased are named by runs of consecutive slots (their first and last ObjectIDs), since an erased
// entity stays in its slot; only what replaces an entity carries one.
struct Revert {
    enum class Kind : std::uint8_t { Erase, Unerase, Replace, Tables };
    Kind kind = Kind::Erase;
    std::uint32_t count = 0;            // Erase, Unerase: entities in the run
    ObjectId first = 0;                 // Erase, Unerase: the run's first and last ObjectIDs
    ObjectId last = 0;
    std::unique_ptr<Entity> entity;     // Replace: the entity as it was
    std::shared_ptr<const DrawingTables> tables;   // Tables: the tables as they were
};

// Every change is recorded. The changes between BeginStep and EndStep (nested pairs count as the
// outer one) make one step; a change outside a step is a step of its own. The last kMaxSteps
// steps are kept. A record that is dropped (its step fell off the end, a new change forgot what
// could be redone, or the history was cleared) is handed to the owner's `forget` first.
class UndoHistory {
public:
    using Step = std::vector<Revert>;
    static constexpr std::size_t kMaxSteps = 1000;

    explicit UndoHistory(std::function<void(const Revert&)> forget) : m_forget(std::move(forget)) {}

    void BeginStep();
    void EndStep();
    bool InStep() const { return m_depth > 0; }
    // False while a step is being undone or redone: its changes are not recorded.
    bool Recording() const { return !m_replaying; }
    void Record(Revert revert);
    // The last record of the step still open, where a change can join a run; null when a change
    // now starts a step of its own.
    Revert* OpenRecord() { return !m_replaying && m_depth > 0 && m_open ? &m_undo.back().back() : nullptr; }
    // The tables need recording once per step: true when this step has them already.
    bool TablesRecorded() const { return m_open && m_tablesRecorded; }
    void NoteTablesRecorded() { m_tablesRecorded = m_depth > 0; }

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // Reverts the last step (or makes the last undone one again) with `apply`, which performs a
    // record and returns what reverts it in turn; false when there is none or a step is open.
    bool Undo(const std::function<Revert(Revert&&)>& apply) { return Replay(m_undo, m_redo, apply); }
    bool Redo(const std::function<Revert(Revert&&)>& apply) { return Replay(m_redo, m_undo, apply); }
    void Clear();

private:
    bool Replay(std::deque<Step>& from, std::deque<Step>& to, const std::function<Revert(Revert&&)>& apply);
    void Forget(const Step& step);
    void Trim(std::deque<Step>& steps);

    std::function<void(const Revert&)> m_forget;
    std::deque<Step> m_undo;
    std::deque<Step> m_redo;
    int m_depth = 0;
    bool m_open = false;             // the step begun has its changes in m_undo.back()
    bool m_tablesRecorded = false;   // the step begun holds the tables as they were
    bool m_replaying = false;
};

} // namespace cadhost
