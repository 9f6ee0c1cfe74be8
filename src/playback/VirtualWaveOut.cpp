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
    m_nPositionBytes = 0;
    m_nTimeRemainder = 0;
    ++m_nOpenCount;
    return 0;
}

bool CVirtualWaveOut::IsQueued(const WaveHeader* pHeader) const
{
    return std::any_of(m_queue.begin(), m_queue.end(), [&](const Queued& q) { return q.pHeader == pHeader; }) ||
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
    if (pHeader->dwBufferLength == 0)
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
    if (!m_queue.empty()) {
        ++m_nMisuseCount;
        return kErrStillQueued;
    }
    ++m_nCloseCount;
    m_bOpen = false;
    m_pSink = nullptr;
    m_pending.clear();
    return 0;
}

std::uint64_t CVirtualWaveOut::Advance(std::uint64_t nBytes)
{
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
