#include "playback/LoopRenderer.h"

#include "document/QuorvelDoc.h"
#include "playback/LoopingPlayback.h"

#include <algorithm>
#include <cstring>

bool CLoopSnapshot::SameLoopAs(const CQuorvelDoc& doc) const
{
    return bHasLoop == doc.m_bHasLoop && nLoopStart == doc.m_nLoopStart && nLoopEnd == doc.m_nLoopEnd &&
           bLoaded == doc.m_bLoaded;
}

std::shared_ptr<const CLoopSnapshot> MakeLoopSnapshot(const CQuorvelDoc& doc, const CLoopSnapshot* pFramesOf)
{
    auto p = std::make_shared<CLoopSnapshot>();
    p->nChannels = std::max(doc.m_nChannels, 0);
    p->nSampleRate = doc.m_nSampleRate;
    p->nFrameCount = std::max(doc.m_nFrameCount, 0);
    // Frames the document does not hold (a reset under way) are not played.
    if (p->nChannels == 0 || std::size_t(p->nFrameCount) * std::size_t(p->nChannels) > doc.m_pSamples.size())
        p->nFrameCount = 0;
    const std::size_t nSamples = std::size_t(p->nFrameCount) * std::size_t(p->nChannels);
    p->bLoaded = doc.m_bLoaded;
    p->bHasLoop = doc.m_bHasLoop;
    p->nLoopStart = doc.m_nLoopStart;
    p->nLoopEnd = doc.m_nLoopEnd;
    if (pFramesOf != nullptr && pFramesOf->nChannels == p->nChannels && pFramesOf->nFrameCount == p->nFrameCount) {
        p->pSamples = pFramesOf->pSamples;
        return p;
    }
    auto pSamples = std::make_shared<std::vector<std::int16_t>>(nSamples);
    for (std::size_t i = 0; i < pSamples->size(); ++i) {
        // Playback runs at half scale, so the readers' values never get here
        // out of range; anything else is clamped rather than wrapped.
        const int value = CQuorvelDoc::ScaleSample(doc.m_pSamples[i], CLoopingPlayback::kScale);
        (*pSamples)[i] = std::int16_t(std::clamp(value, -32768, 32767));
    }
    p->pSamples = std::move(pSamples);
    return p;
}

void CLoopRenderer::Start(std::int32_t nFrom)
{
    m_runs.clear();
    m_nFillPos = nFrom;
    m_nWritten = 0;
    m_bAtEnd = false;
    m_bJumpPending = false;
}

std::size_t CLoopRenderer::Render(const CLoopSnapshot& s, std::int16_t* pOut, std::size_t nMaxFrames)
{
    const std::size_t nChannels = std::size_t(s.nChannels);
    std::size_t nDone = 0;
    m_bAtEnd = false;
    if (m_bJumpPending && s.bHasLoop && m_nFillPos >= s.nLoopEnd)
        m_nFillPos = std::clamp(s.nLoopStart, 0, s.nFrameCount);
    m_bJumpPending = false;
    while (nDone < nMaxFrames) {
        if (!s.bLoaded || m_nFillPos < 0 || m_nFillPos >= s.nFrameCount) {
            m_bAtEnd = true;
            break;
        }
        // Consecutive frames up to the loop end (at least one frame: a loop
        // end at or before the fill jumps back after every frame) or the end.
        std::int32_t nStop = s.nFrameCount;
        if (s.bHasLoop)
            nStop = std::min(nStop, std::max(s.nLoopEnd, m_nFillPos + 1));
        const auto nCount = std::int32_t(std::min<std::size_t>(std::size_t(nStop - m_nFillPos), nMaxFrames - nDone));
        std::memcpy(pOut + nDone * nChannels, s.pSamples->data() + std::size_t(m_nFillPos) * nChannels,
                    std::size_t(nCount) * nChannels * sizeof(std::int16_t));
        if (!m_runs.empty() && m_runs.back().nAt + std::uint64_t(m_runs.back().nCount) == m_nWritten &&
            m_runs.back().nFrom + m_runs.back().nCount == m_nFillPos)
            m_runs.back().nCount += nCount;
        else
            m_runs.push_back({m_nWritten, m_nFillPos, nCount});
        m_nWritten += std::uint64_t(nCount);
        nDone += std::size_t(nCount);
        m_nFillPos += nCount;
        if (s.bHasLoop && m_nFillPos >= s.nLoopEnd)
            m_nFillPos = std::clamp(s.nLoopStart, 0, s.nFrameCount);
    }
    return nDone;
}

void CLoopRenderer::RewindTo(std::uint64_t nPosition)
{
    if (m_runs.empty() || nPosition >= m_nWritten)
        return;
    nPosition = std::max(nPosition, m_runs.front().nAt);
    while (m_runs.size() > 1 && m_runs.back().nAt >= nPosition)
        m_runs.pop_back();
    Run& last = m_runs.back();
    // A position in the silence after the end leaves the fill where it stopped.
    if (nPosition <= last.nAt + std::uint64_t(last.nCount)) {
        last.nCount = std::int32_t(nPosition - last.nAt);
        // The frame after the last one kept; the next Render applies its
        // snapshot's loop to it, as if that loop had been there all along.
        m_nFillPos = last.nFrom + last.nCount;
        m_bJumpPending = last.nCount > 0;
    }
    m_nWritten = nPosition;
    m_bAtEnd = false;
}

std::int32_t CLoopRenderer::FrameAt(std::uint64_t nHeard) const
{
    // The first run that ends after the position.
    const auto it = std::upper_bound(m_runs.begin(), m_runs.end(), nHeard,
                                     [](std::uint64_t n, const Run& r) { return n < r.nAt + std::uint64_t(r.nCount); });
    if (it == m_runs.end())
        return m_nFillPos;
    return it->nFrom + std::int32_t(nHeard > it->nAt ? nHeard - it->nAt : 0);
}

void CLoopRenderer::ForgetBefore(std::uint64_t nHeard)
{
    while (m_runs.size() > 1 && m_runs.front().nAt + std::uint64_t(m_runs.front().nCount) <= nHeard)
        m_runs.pop_front();
}
