// The document's list of loops, its release marker and trimming.

#include "analysis/Release.h"
#include "document/QuorvelDoc.h"
#include "document/WavSmpl.h"

#include <algorithm>
#include <utility>

std::vector<CLoopPoints> CQuorvelDoc::GetLoops() const
{
    std::vector<CLoopPoints> loops;
    if (!m_bHasLoop)
        return m_extraLoops;
    std::uint32_t nType = kWavSmplLoopForward;
    if (m_fileLoop.IsLoop(m_bHasLoop, m_nLoopStart, m_nLoopEnd))
        nType = !m_fileLoop.m_bXIType ? m_fileLoop.m_nType
                : m_fileLoop.IsPingPong() ? kWavSmplLoopAlternating
                                          : kWavSmplLoopForward;
    loops.push_back(CLoopPoints{m_nLoopStart, m_nLoopEnd, nType});
    loops.insert(loops.end(), m_extraLoops.begin(), m_extraLoops.end());
    return loops;
}

void CQuorvelDoc::SetLoops(const std::vector<CLoopPoints>& loops)
{
    m_bHasLoop = !loops.empty();
    if (m_bHasLoop) {
        m_nLoopStart = loops.front().m_nStart;
        m_nLoopEnd = loops.front().m_nEnd;
    }
    m_extraLoops.assign(loops.empty() ? loops.end() : loops.begin() + 1, loops.end());
}

void CQuorvelDoc::SetRelease(std::int32_t frame)
{
    m_nRelease = frame < 0 ? -1 : std::min(frame, std::max(m_nFrameCount, 0));
}

std::int32_t CQuorvelDoc::FindRelease() const
{
    const CFrameView frames{m_pSamples.data(), m_nFrameCount, m_nChannels, m_nSampleRate};
    const std::vector<CLoopPoints> loops = GetLoops();
    int first = 0, last = 0;
    if (!loops.empty()) {
        first = std::min_element(loops.begin(), loops.end(), [](auto& a, auto& b) { return a.m_nStart < b.m_nStart; })
                    ->m_nStart;
        last = std::max_element(loops.begin(), loops.end(), [](auto& a, auto& b) { return a.m_nEnd < b.m_nEnd; })
                   ->m_nEnd;
    }
    return FindReleaseFrame(frames, first, last);
}

CTrimCut CQuorvelDoc::PlanTrimCut(const CTrimSettings& settings) const
{
    int keepFirst = m_nRelease >= 0 ? m_nRelease : m_nFrameCount;
    int keepLast = m_nRelease >= 0 ? m_nRelease : 0;
    for (const CLoopPoints& loop : GetLoops()) {
        keepFirst = std::min(keepFirst, loop.m_nStart);
        keepLast = std::max(keepLast, loop.m_nEnd);
    }
    const CFrameView frames{m_pSamples.data(), m_nFrameCount, m_nChannels, m_nSampleRate};
    return PlanTrim(frames, settings, keepFirst, keepLast);
}

void CQuorvelDoc::Trim(const CTrimCut& cut)
{
    const int left = m_nFrameCount - cut.m_nStart - cut.m_nEnd;
    if (cut.IsEmpty() || cut.m_nStart < 0 || cut.m_nEnd < 0 || left <= 0)
        return;
    const std::size_t ch = std::size_t(m_nChannels);
    const auto first = m_pSamples.begin() + std::ptrdiff_t(std::size_t(cut.m_nStart) * ch);
    std::vector<double> kept(first, first + std::ptrdiff_t(std::size_t(left) * ch));
    // An open undo step keeps the untrimmed frames.
    m_undo.RecordReplacement(kept);
    m_pSamples = std::move(kept);
    m_nFrameCount = left;
    for (int f = 0; f < std::min(cut.m_nFadeIn, left); ++f)
        for (int c = 0; c < m_nChannels; ++c)
            SetSample(f, c, GetSample(f, c) * double(f) / cut.m_nFadeIn);
    for (int i = 0; i < std::min(cut.m_nFadeOut, left); ++i)
        for (int c = 0; c < m_nChannels; ++c)
            SetSample(left - 1 - i, c, GetSample(left - 1 - i, c) * double(i) / cut.m_nFadeOut);

    std::vector<CLoopPoints> loops = GetLoops();
    for (CLoopPoints& loop : loops) {
        loop.m_nStart -= cut.m_nStart;
        loop.m_nEnd -= cut.m_nStart;
    }
    const bool bFileLoop = m_fileLoop.IsLoop(m_bHasLoop, m_nLoopStart, m_nLoopEnd);
    SetLoops(loops);
    if (bFileLoop) {  // the same loop of the file, moved: it keeps its type
        m_fileLoop.m_nStart = m_nLoopStart;
        m_fileLoop.m_nEnd = m_nLoopEnd;
    }
    if (m_nRelease >= 0)
        SetRelease(m_nRelease - cut.m_nStart);
    m_strSourcePath.clear();
    ComputeBanksHere();
}

bool CQuorvelDoc::CopyLoopInto(int index, CQuorvelDoc& to) const
{
    const std::vector<CLoopPoints> loops = GetLoops();
    if (index < 0 || std::size_t(index) >= loops.size())
        return false;
    const CLoopPoints loop = loops[std::size_t(index)];
    if (loop.m_nStart < 0 || loop.m_nEnd > m_nFrameCount || loop.m_nStart >= loop.m_nEnd)
        return false;
    to.OnNewDocument();
    to.m_strFileType = m_strFileType;
    to.m_nChannels = m_nChannels;
    to.m_nSampleRate = m_nSampleRate;
    to.m_nUnityNote = m_nUnityNote;
    to.m_sourceEncoding = m_sourceEncoding;
    const std::size_t ch = std::size_t(m_nChannels);
    to.m_pSamples.assign(m_pSamples.begin() + std::ptrdiff_t(std::size_t(loop.m_nStart) * ch),
                         m_pSamples.begin() + std::ptrdiff_t(std::size_t(loop.m_nEnd) * ch));
    to.m_nFrameCount = loop.Length();
    to.SetLoops({CLoopPoints{0, loop.Length(), loop.m_nType}});
    to.m_fileLoop = CFileLoop{true, 0, loop.Length(), loop.m_nType, false};
    to.m_bLoaded = true;
    return true;
}

void CQuorvelDoc::RunOnLoop(int index, const std::function<void()>& op)
{
    std::vector<CLoopPoints> loops = GetLoops();
    if (index <= 0 || std::size_t(index) >= loops.size() || !m_bHasLoop) {
        op();
    } else {
        const CLoopPoints chosen = loops[std::size_t(index)];
        std::swap(loops[0], loops[std::size_t(index)]);
        SetLoops(loops);
        op();
        const bool bKept = m_bHasLoop;
        CLoopPoints now{m_nLoopStart, m_nLoopEnd, kWavSmplLoopForward};
        if (now.m_nStart == chosen.m_nStart && now.m_nEnd == chosen.m_nEnd)
            now.m_nType = chosen.m_nType;
        // The first loop goes back to its place: it is the one at `index`.
        loops = m_extraLoops;
        loops.insert(loops.begin(), loops[std::size_t(index) - 1]);
        if (bKept)
            loops[std::size_t(index)] = now;
        else
            loops.erase(loops.begin() + index);
        SetLoops(loops);
    }
    if (!m_bHasLoop && !m_extraLoops.empty())
        SetLoops(GetLoops());
}
