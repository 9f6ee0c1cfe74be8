#include "playback/VirtualWaveOut.h"

#include <algorithm>

int CVirtualWaveOut::Open(int nChannels, int nSampleRate, IWaveOutSink* pSink)
{
    if (m_bOpen) {
        ++m_nMisuseCount;
        return kErrStillQueued;
    }
    if (m_nOpenError != 0)
        return m_nOpenError;
    if (nChannels <= 0 || nSampleRate <= 0)
        return 32;  // unsupported format
    m_bOpen = true;
    m_nChannels = nChannels;
    m_nSampleRate = nSampleRate;
    m_pSink = pSink;
    m_queue.clear();
    m_pending.clear();
    m_stream.TakeAll();
    m_deviceBuffer.clear();
    m_nMarginBytes = std::uint64_t(m_nMarginMs) * std::uint64_t(nSampleRate) / 1000 * std::uint64_t(nChannels) * 2;
    m_nPositionBytes = 0;
    m_nTimeRemainder = 0;
    ++m_nOpenCount;
    return 0;
}

bool CVirtualWaveOut::IsQueued(const WaveHeader* pHeader) const
{
    return std::any_of(m_queue.begin(), m_queue.end(), [&](const Queued& q) { return q.pHeader == pHeader; }) ||
           m_stream.Contains(pHeader) ||
           std::find(m_pending.begin(), m_pending.end(), pHeader) != m_pending.end();
}

int CVirtualWaveOut::PrepareHeader(WaveHeader* pHeader)
{
    if (!m_bOpen || pHeader == nullptr) {
        ++m_nMisuseCount;
        return kErrNotOpen;
    }
    if (IsQueued(pHeader)) {
        ++m_nMisuseCount;
        return kErrStillQueued;
    }
    return m_nPrepareError;
}

int CVirtualWaveOut::Write(WaveHeader* pHeader)
{
    if (!m_bOpen || pHeader == nullptr) {
        ++m_nMisuseCount;
        return kErrNotOpen;
    }
    if (IsQueued(pHeader)) {
        ++m_nMisuseCount;
        return kErrStillQueued;
    }
    const int nAttempt = m_nWriteAttempts++;
    if (m_nWriteError != 0)
        return m_nWriteError;
    if (nAttempt == m_nFailWriteNumber)
        return 11;  // invalid parameter
    m_written.insert(m_written.end(), pHeader->lpData, pHeader->lpData + pHeader->dwBufferLength);
    m_writeLengths.push_back(pHeader->dwBufferLength);
    ++m_nWriteCount;
    if (m_nMarginBytes > 0) {
        m_stream.Append(pHeader);
        Take();
    } else if (pHeader->dwBufferLength == 0)
        m_pending.push_back(pHeader);
    else
        m_queue.push_back(Queued{pHeader, 0});
    return 0;
}

int CVirtualWaveOut::Reset()
{
    if (!m_bOpen) {
        ++m_nMisuseCount;
        return kErrNotOpen;
    }
    ++m_nResetCount;
    for (const Queued& q : m_queue)
        m_pending.push_back(q.pHeader);
    m_queue.clear();
    for (WaveHeader* pHeader : m_stream.TakeAll())
        m_pending.push_back(pHeader);
    m_deviceBuffer.clear();
    m_nPositionBytes = 0;
    m_nTimeRemainder = 0;
    return 0;
}

int CVirtualWaveOut::Close()
{
    if (!m_bOpen) {
        ++m_nMisuseCount;
        return kErrNotOpen;
    }
    // Closing with buffers still playing is refused by a real device.
    if (!m_queue.empty() || !m_stream.IsEmpty()) {
        ++m_nMisuseCount;
        return kErrStillQueued;
    }
    ++m_nCloseCount;
    m_bOpen = false;
    m_pSink = nullptr;
    m_pending.clear();
    return 0;
}

void CVirtualWaveOut::Take()
{
    while (m_deviceBuffer.size() < m_nMarginBytes) {
        const auto piece = m_stream.NextToPush(m_nMarginBytes - m_deviceBuffer.size());
        if (piece.empty())
            break;
        m_deviceBuffer.insert(m_deviceBuffer.end(), piece.begin(), piece.end());
        m_stream.MarkPushed(piece.size());
    }
    while (WaveHeader* pHeader = m_stream.TakeFinished(m_deviceBuffer.empty()))
        m_pending.push_back(pHeader);
}

std::uint64_t CVirtualWaveOut::Advance(std::uint64_t nBytes)
{
    if (m_nMarginBytes > 0) {
        const auto nTake = std::min<std::uint64_t>(nBytes, m_deviceBuffer.size());
        const auto end = m_deviceBuffer.begin() + std::ptrdiff_t(nTake);
        m_heard.insert(m_heard.end(), m_deviceBuffer.begin(), end);
        m_deviceBuffer.erase(m_deviceBuffer.begin(), end);
        m_nPositionBytes += nTake;
        Take();
        return nTake;
    }
    std::uint64_t nPlayed = 0;
    while (nPlayed < nBytes && !m_queue.empty()) {
        Queued& q = m_queue.front();
        const std::uint64_t nLeft = q.pHeader->dwBufferLength - q.nConsumed;
        const std::uint64_t nTake = std::min(nLeft, nBytes - nPlayed);
        const std::uint8_t* p = q.pHeader->lpData + q.nConsumed;
        m_heard.insert(m_heard.end(), p, p + nTake);
        q.nConsumed += static_cast<std::uint32_t>(nTake);
        nPlayed += nTake;
        if (q.nConsumed == q.pHeader->dwBufferLength) {
            m_pending.push_back(q.pHeader);
            m_queue.pop_front();
        }
    }
    m_nPositionBytes += nPlayed;
    return nPlayed;
}

std::uint64_t CVirtualWaveOut::AdvanceTime(std::uint64_t nMilliseconds)
{
    if (!m_bOpen)
        return 0;
    // Frame-milliseconds: whole frames are played, the rest carried over.
    const std::uint64_t nUnits = nMilliseconds * static_cast<std::uint64_t>(m_nSampleRate) + m_nTimeRemainder;
    m_nTimeRemainder = nUnits % 1000;
    const std::uint64_t nFrames = nUnits / 1000;
    return Advance(nFrames * static_cast<std::uint64_t>(m_nChannels) * 2);
}

int CVirtualWaveOut::DeliverPending()
{
    int nDelivered = 0;
    while (m_pSink != nullptr && !m_pending.empty()) {
        WaveHeader* pHeader = m_pending.front();
        m_pending.pop_front();
        ++nDelivered;
        m_pSink->OnWaveOutDone(pHeader);
    }
    return nDelivered;
}

void CVirtualWaveOut::Run(std::uint64_t nMilliseconds, std::uint64_t nStepMs)
{
    for (std::uint64_t t = 0; t < nMilliseconds; t += nStepMs) {
        AdvanceTime(std::min(nStepMs, nMilliseconds - t));
        DeliverPending();
    }
}
