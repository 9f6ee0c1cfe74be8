#include "playback/WaveStreamQueue.h"

#include <algorithm>

void CWaveStreamQueue::Append(WaveHeader* pHeader)
{
    const std::uint64_t nStart = m_nWritten;
    m_nWritten += pHeader->dwBufferLength;
    m_chunks.push_back(Chunk{pHeader, nStart, m_nWritten});
}

bool CWaveStreamQueue::Contains(const WaveHeader* pHeader) const
{
    return std::any_of(m_chunks.begin(), m_chunks.end(), [&](const Chunk& c) { return c.pHeader == pHeader; });
}

std::span<const std::uint8_t> CWaveStreamQueue::NextToPush(std::uint64_t nMax) const
{
    for (const Chunk& c : m_chunks) {
        if (c.nEnd <= m_nPushed)
            continue;
        const std::uint64_t nOffset = m_nPushed - c.nStart;
        const std::uint64_t nLength = std::min(c.nEnd - m_nPushed, nMax);
        return {c.pHeader->lpData + nOffset, static_cast<std::size_t>(nLength)};
    }
    return {};
}

void CWaveStreamQueue::MarkPushed(std::uint64_t nBytes)
{
    m_nPushed = std::min(m_nPushed + nBytes, m_nWritten);
}

bool CWaveStreamQueue::IsOnlyLastLeft() const
{
    return m_chunks.size() == 1 && m_nPushed == m_nWritten;
}

WaveHeader* CWaveStreamQueue::TakeFinished(bool bLastHeard)
{
    if (m_chunks.empty() || m_chunks.front().nEnd > m_nPushed)
        return nullptr;
    if (m_chunks.size() == 1 && !bLastHeard)
        return nullptr;
    WaveHeader* pHeader = m_chunks.front().pHeader;
    m_chunks.pop_front();
    return pHeader;
}

std::deque<WaveHeader*> CWaveStreamQueue::TakeAll()
{
    std::deque<WaveHeader*> all;
    for (const Chunk& c : m_chunks)
        all.push_back(c.pHeader);
    m_chunks.clear();
    m_nWritten = 0;
    m_nPushed = 0;
    return all;
}
