#include "document/UndoHistory.h"

#include <algorithm>
#include <utility>

namespace {

// Runs of changed values closer than this are kept as one range: a patch
// costs about as much bookkeeping as this many values, and a crossfade
// leaves few unchanged values inside its range anyway.
constexpr std::size_t kMergeGap = 64;  // values

}  // namespace

CUndoHistory::CUndoHistory(std::size_t maxBytes, std::size_t maxSteps) : m_nMaxBytes(maxBytes), m_nMaxSteps(maxSteps)
{
}

void CUndoHistory::Begin(const std::string& name, const CEditState& before, std::vector<double>& frames)
{
    if (m_nDepth++ > 0) {
        if (m_open.m_strName.empty())
            m_open.m_strName = name;
        return;
    }
    m_open = Step{};
    m_open.m_strName = name;
    m_open.m_before = before;
    m_pFrames = &frames;
}

void CUndoHistory::RecordValues(std::size_t first, std::size_t count)
{
    if (!IsRecording() || first >= m_pFrames->size())
        return;
    count = std::min(count, m_pFrames->size() - first);
    if (count == 0)
        return;
    Patch patch;
    patch.m_nFirst = first;
    const auto begin = m_pFrames->begin() + std::ptrdiff_t(first);
    patch.m_values.assign(begin, begin + std::ptrdiff_t(count));
    m_open.m_nBytes += count * sizeof(double);
    m_open.m_patches.push_back(std::move(patch));
}

void CUndoHistory::RecordReplacement(const std::vector<double>& replacement)
{
    if (!IsRecording())
        return;
    const std::vector<double>& now = *m_pFrames;
    if (replacement.size() != now.size()) {
        Patch patch;
        patch.m_bWhole = true;
        patch.m_values = now;
        m_open.m_nBytes += now.size() * sizeof(double);
        m_open.m_patches.push_back(std::move(patch));
        return;
    }
    std::size_t i = 0;
    while (i < now.size()) {
        if (now[i] == replacement[i]) {
            ++i;
            continue;
        }
        std::size_t last = i;  // last differing value of the run
        for (std::size_t j = i + 1; j < now.size() && j <= last + kMergeGap; ++j)
            if (now[j] != replacement[j])
                last = j;
        RecordValues(i, last + 1 - i);
        i = last + 1;
    }
}

bool CUndoHistory::End(const CEditState& after)
{
    if (m_nDepth == 0 || --m_nDepth > 0)
        return false;
    m_pFrames = nullptr;
    Step step = std::move(m_open);
    m_open = Step{};
    if (step.m_patches.empty() && step.m_before == after)
        return false;
    step.m_after = after;
    // A new step replaces whatever could have been redone.
    m_steps.erase(m_steps.begin() + std::ptrdiff_t(m_nPosition), m_steps.end());
    if (m_nSaved > static_cast<long long>(m_nPosition))
        m_nSaved = -1;
    m_nBytes = 0;
    for (const Step& s : m_steps)
        m_nBytes += s.m_nBytes;
    m_nBytes += step.m_nBytes;
    m_steps.push_back(std::move(step));
    m_nPosition = m_steps.size();
    Trim();
    return true;
}

void CUndoHistory::Trim()
{
    std::size_t drop = 0;
    std::size_t bytes = m_nBytes;
    while (drop < m_steps.size() && (m_steps.size() - drop > m_nMaxSteps || bytes > m_nMaxBytes))
        bytes -= m_steps[drop++].m_nBytes;
    if (drop == 0)
        return;
    m_steps.erase(m_steps.begin(), m_steps.begin() + std::ptrdiff_t(drop));
    m_nBytes = bytes;
    m_nPosition -= drop;
    m_nSaved = m_nSaved >= static_cast<long long>(drop) ? m_nSaved - static_cast<long long>(drop) : -1;
}

std::string CUndoHistory::UndoName() const
{
    return CanUndo() ? m_steps[m_nPosition - 1].m_strName : std::string();
}

std::string CUndoHistory::RedoName() const
{
    return CanRedo() ? m_steps[m_nPosition].m_strName : std::string();
}

void CUndoHistory::Swap(Patch& patch, std::vector<double>& frames)
{
    if (patch.m_bWhole) {
        std::swap(patch.m_values, frames);
        return;
    }
    std::swap_ranges(patch.m_values.begin(), patch.m_values.end(), frames.begin() + std::ptrdiff_t(patch.m_nFirst));
}

CEditState CUndoHistory::Undo(std::vector<double>& frames)
{
    Step& step = m_steps[--m_nPosition];
    // Later patches hold values the earlier ones wrote: take them back first.
    for (auto it = step.m_patches.rbegin(); it != step.m_patches.rend(); ++it)
        Swap(*it, frames);
    return step.m_before;
}

CEditState CUndoHistory::Redo(std::vector<double>& frames)
{
    Step& step = m_steps[m_nPosition++];
    for (Patch& patch : step.m_patches)
        Swap(patch, frames);
    return step.m_after;
}

void CUndoHistory::Clear(bool atSavedState)
{
    m_steps = std::vector<Step>();
    m_nPosition = 0;
    m_nBytes = 0;
    m_nSaved = atSavedState ? 0 : -1;
}
