// Steps of undo and redo.
#include "cadhost/engine/UndoHistory.h"

#include <QtGlobal>

namespace cadhost {

void UndoHistory::BeginStep()
{
    if (m_depth++ == 0) {
        m_open = false;
        m_tablesRecorded = false;
    }
}

void UndoHistory::EndStep()
{
    Q_ASSERT(m_depth > 0);
    if (--m_depth == 0) {
        m_open = false;
        m_tablesRecorded = false;
    }
}

void UndoHistory::Forget(const Step& step)
{
    for (const Revert& revert : step)
        m_forget(revert);
}

void UndoHistory::Trim(std::deque<Step>& steps)
{
    while (steps.size() > kMaxSteps) {
        Forget(steps.front());
        steps.pop_front();
    }
}

void UndoHistory::Record(Revert revert)
{
    if (m_replaying)
        return;
    for (const Step& step : m_redo)
        Forget(step);
    m_redo.clear();
    if (m_depth > 0 && m_open) {
        m_undo.back().push_back(std::move(revert));
        return;
    }
    m_undo.emplace_back();
    m_undo.back().push_back(std::move(revert));
    m_open = m_depth > 0;
    Trim(m_undo);
}

bool UndoHistory::Replay(std::deque<Step>& from, std::deque<Step>& to, const std::function<Revert(Revert&&)>& apply)
{
    if (from.empty() || m_depth > 0)
        return false;
    Step step = std::move(from.back());
    from.pop_back();
    Step inverse;
    inverse.reserve(step.size());
    struct Replaying {
        bool& flag;
        explicit Replaying(bool& f) : flag(f) { flag = true; }
        ~Replaying() { flag = false; }
    } replaying(m_replaying);
    for (auto it = step.rbegin(); it != step.rend(); ++it)
        inverse.push_back(apply(std::move(*it)));
    m_replaying = false;
    to.push_back(std::move(inverse));
    Trim(to);
    return true;
}

void UndoHistory::Clear()
{
    for (const auto* steps : {&m_undo, &m_redo})
        for (const Step& step : *steps)
            Forget(step);
    m_undo.clear();
    m_redo.clear();
}

} // namespace cadhost
