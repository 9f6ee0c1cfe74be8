#include "playback/LoopingPlayback.h"

#include "document/QuorvelDoc.h"

#include <algorithm>

namespace {

// Samples per buffer across all channels; a buffer holds whole frames only.
constexpr int kBufferSamples = CLoopingPlayback::kBufferBytes / 2;

void StoreSample16(std::uint8_t* p, int value)
{
    // Playback runs at half scale, so the readers' values never get here out
    // of range; anything else is clamped rather than wrapped into a click.
    const int clamped = std::clamp(value, -32768, 32767);
    const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(clamped));
    p[0] = static_cast<std::uint8_t>(bits & 0xFF);
    p[1] = static_cast<std::uint8_t>(bits >> 8);
}

}  // namespace

CLoopingPlayback::CLoopingPlayback(IWaveOut& waveOut, IPlaybackHost& host)
    : m_waveOut(waveOut), m_host(host), m_pStreamOut(dynamic_cast<ILoopStreamOut*>(&waveOut))
{
    for (auto& buf : m_pWaveBuf)
        buf.assign(kBufferBytes, 0);
}

CLoopingPlayback::~CLoopingPlayback()
{
    // The device must not keep pointers into buffers that are about to go.
    if (m_bPlaying && m_pStreamOut != nullptr) {
        m_pStreamOut->Stop();
        m_bPlaying = false;
    }
    if (m_bPlaying) {
        m_waveOut.Reset();
        m_waveOut.Close();
        m_bPlaying = false;
    }
}

void CLoopingPlayback::OnPlay()
{
    if (m_bPlaying) {
        m_host.PostStop();
        return;
    }
    StartPlayback(0);
}

void CLoopingPlayback::OnPlaySeam()
{
    OnStop();
    StartPlayback(GetSeamStartFrame());
}

std::int32_t CLoopingPlayback::GetSeamStartFrame() const
{
    if (m_pDoc == nullptr)
        return 0;
    const CQuorvelDoc& doc = *m_pDoc;
    const std::int32_t nEnd = doc.m_bHasLoop ? std::clamp(doc.m_nLoopEnd, 0, doc.m_nFrameCount) : doc.m_nFrameCount;
    const std::int64_t nLead = std::int64_t(doc.m_nSampleRate) * kSeamLeadSeconds;
    return std::int32_t(std::max<std::int64_t>(0, nEnd - nLead));
}

void CLoopingPlayback::StartPlayback(std::int32_t nFrom)
{
    m_nFillPos = nFrom;
    m_nDrawnPlayPos = m_nPlayPos;
    m_nPlayPos = nFrom;
    m_nPlayedFrames = 0;
    m_host.RedrawPlayCursor();

    m_loopJumps.clear();

    if (m_pDoc == nullptr || m_pDoc->m_nFrameCount <= 0)
        return;

    if (m_pStreamOut != nullptr) {
        StartStream(nFrom);
        return;
    }

    if (m_waveOut.Open(m_pDoc->m_nChannels, m_pDoc->m_nSampleRate, this) != 0) {
        m_host.ShowPlaybackMessage("Unable to open sound output device.");
        return;
    }

    m_bPlaying = true;
    for (std::size_t i = 0; i < m_waveHdr.size(); ++i)
        m_waveHdr[i].lpData = m_pWaveBuf[i].data();
    m_nQueuedBuffers = 0;

    FillAndQueueBuffer(&m_waveHdr[0]);
    FillAndQueueBuffer(&m_waveHdr[1]);

    if (m_nQueuedBuffers == 0) {
        m_waveOut.Close();
        m_bPlaying = false;
    }
}

void CLoopingPlayback::FillAndQueueBuffer(WaveHeader* pHeader)
{
    // A closed device takes nothing: a late refill after Stop must not write.
    if (m_pDoc == nullptr || !m_pDoc->m_bLoaded || !m_bPlaying)
        return;

    const CQuorvelDoc& doc = *m_pDoc;
    const int nChannels = doc.m_nChannels;
    const int nMaxFrames = nChannels > 0 ? kBufferSamples / nChannels : 0;

    pHeader->dwFlags = 0;
    std::uint8_t* const pOut = pHeader->lpData;
    int nSamples = 0;

    for (int i = 0; i < nMaxFrames; ++i) {
        // The frame count and loop are read afresh for every frame, so a loop
        // edited during playback takes effect in the next buffer filled.
        if (m_nFillPos >= doc.m_nFrameCount)
            break;
        for (int c = 0; c < nChannels; ++c) {
            StoreSample16(pOut + 2 * nSamples, doc.GetSampleScaled(m_nFillPos, c, kScale));
            ++nSamples;
        }
        ++m_nFillPos;
        if (doc.m_bHasLoop && m_nFillPos >= doc.m_nLoopEnd) {
            // A loop start outside the frames (not one the editing produces)
            // must not send the fill, or the cursor, outside them.
            const std::int32_t nTo = std::clamp<std::int32_t>(doc.m_nLoopStart, 0, doc.m_nFrameCount);
            m_loopJumps.push_back(LoopJump{m_nFillPos, nTo});
            m_nFillPos = nTo;
        }
    }

    pHeader->dwBufferLength = static_cast<std::uint32_t>(2 * nSamples);
    if (nSamples == 0)
        return;

    if (m_waveOut.PrepareHeader(pHeader) != 0 || m_waveOut.Write(pHeader) != 0) {
        m_host.ShowPlaybackMessage("Sound error.");
        return;
    }
    ++m_nQueuedBuffers;
}

void CLoopingPlayback::OnWaveOutDone(WaveHeader* pHeader)
{
    // Only our own two headers are ever written. After Stop every buffer is
    // ours again, so a late notification from a device has nothing to return.
    if (pHeader != &m_waveHdr[0] && pHeader != &m_waveHdr[1])
        return;
    if (!m_bPlaying)
        return;

    --m_nQueuedBuffers;
    FillAndQueueBuffer(pHeader);
    if (m_nQueuedBuffers == 0)
        m_host.PostStop();
}

void CLoopingPlayback::OnTimer(int nIDEvent)
{
    if (nIDEvent != kTimerId || !m_bPlaying)
        return;
    if (m_pStreamOut != nullptr) {
        TrackStream();
        return;
    }
    // The document may have been reset under a running device.
    if (m_pDoc == nullptr || m_pDoc->m_nChannels <= 0)
        return;

    const std::uint64_t nBytes = m_waveOut.GetPositionBytes();
    const auto nFrames = static_cast<std::uint32_t>((nBytes / 2) / static_cast<std::uint64_t>(m_pDoc->m_nChannels));
    // Unsigned difference: stays right when the 32-bit frame count wraps.
    const auto nDelta = static_cast<std::int32_t>(nFrames - static_cast<std::uint32_t>(m_nPlayedFrames));
    m_nPlayedFrames = static_cast<std::int32_t>(nFrames);
    m_nDrawnPlayPos = m_nPlayPos;

    for (std::int32_t i = 0; i < nDelta; ++i) {
        if (m_nPlayPos >= m_pDoc->m_nFrameCount)
            continue;
        ++m_nPlayPos;
        if (!m_loopJumps.empty() && m_loopJumps.front().nAt <= m_nPlayPos) {
            m_nPlayPos = m_loopJumps.front().nTo;
            m_loopJumps.pop_front();
        }
    }

    m_host.RedrawPlayCursor();
}

void CLoopingPlayback::OnStop()
{
    if (!m_bPlaying)
        return;

    m_nFillPos = m_pDoc != nullptr ? m_pDoc->m_nFrameCount : 0;
    if (m_pStreamOut != nullptr) {
        m_pStreamOut->Stop();
        m_pSnapshot.reset();
    } else {
        m_waveOut.Reset();
        m_waveOut.Close();
    }
    // The device delivers nothing after Close: both buffers are ours again.
    m_nQueuedBuffers = 0;
    m_bPlaying = false;

    m_nDrawnPlayPos = m_nPlayPos;
    m_nPlayPos = m_nFillPos;
    m_host.RedrawPlayCursor();
}

void CLoopingPlayback::StartStream(std::int32_t nFrom)
{
    m_pSnapshot = MakeLoopSnapshot(*m_pDoc);
    if (m_pStreamOut->Start(m_pSnapshot, nFrom) != 0) {
        m_pSnapshot.reset();
        m_host.ShowPlaybackMessage("Unable to open sound output device.");
        return;
    }
    m_bPlaying = true;
}

void CLoopingPlayback::TrackStream()
{
    // A loop moved by the user reaches the device at the next tick.
    if (m_pDoc != nullptr && m_pSnapshot && !m_pSnapshot->SameLoopAs(*m_pDoc)) {
        m_pSnapshot = MakeLoopSnapshot(*m_pDoc, m_pSnapshot.get());
        m_pStreamOut->Publish(m_pSnapshot);
    }
    const ILoopStreamOut::Progress progress = m_pStreamOut->Poll();
    m_nDrawnPlayPos = m_nPlayPos;
    m_nPlayPos = progress.nFrame;
    m_host.RedrawPlayCursor();
    if (progress.bFailed) {
        // Stop first: the message is modal and the ticks go on meanwhile.
        OnStop();
        m_host.ShowPlaybackMessage("Sound error.");
    } else if (progress.bEnded) {
        m_host.PostStop();
    }
}

void CLoopingPlayback::OnFramesChanged()
{
    if (m_pStreamOut == nullptr || !m_bPlaying || m_pDoc == nullptr)
        return;
    m_pSnapshot = MakeLoopSnapshot(*m_pDoc);
    m_pStreamOut->Publish(m_pSnapshot);
}
