// Test rig: a document filled directly, the virtual device, a host that
// records what playback asks of the window, and one "UI loop" step that plays
// some milliseconds, delivers the device's notifications, runs posted Stops
// and ticks the cursor timer, in the order a message queue would.
#pragma once

#include "document/QuorvelDoc.h"
#include "playback/LoopingPlayback.h"
#include "playback/VirtualWaveOut.h"

#include <cstdint>
#include <string>
#include <vector>

class CRecordingHost : public IPlaybackHost {
public:
    void PostStop() override
    {
        ++m_nPostedStops;
        ++m_nStopsToRun;
    }
    void RedrawPlayCursor() override { ++m_nRedraws; }
    void ShowPlaybackMessage(const std::string& text) override { m_messages.push_back(text); }

    int m_nPostedStops = 0;
    int m_nStopsToRun = 0;
    int m_nRedraws = 0;
    std::vector<std::string> m_messages;
};

// Frame f of channel c holds a value whose playback sample identifies the
// frame: (f mod 16000) + 1, negated on odd channels.
inline double FrameValue(int f, int c)
{
    const double v = (f % 16000 + 1 + 0.25) / 16383.0;
    return (c % 2) != 0 ? -v : v;
}

inline void FillDoc(CQuorvelDoc& doc, int nChannels, int nFrames, int nRate = 44100)
{
    doc.m_nChannels = nChannels;
    doc.m_nFrameCount = nFrames;
    doc.m_nSampleRate = nRate;
    doc.m_bLoaded = true;
    doc.m_bHasLoop = false;
    doc.m_pSamples.assign(std::size_t(nFrames) * std::size_t(nChannels), 0.0);
    for (int f = 0; f < nFrames; ++f)
        for (int c = 0; c < nChannels; ++c)
            doc.SetSample(f, c, FrameValue(f, c));
}

inline void SetLoop(CQuorvelDoc& doc, int nStart, int nEnd)
{
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = nStart;
    doc.m_nLoopEnd = nEnd;
}

inline std::int16_t SampleAt(const std::vector<std::uint8_t>& bytes, std::size_t i)
{
    return static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

// The frame (mod 16000) at each position of a written stream; -1 where the
// channels disagree with the encoding.
inline std::vector<int> DecodeFrames(const std::vector<std::uint8_t>& bytes, int nChannels)
{
    std::vector<int> frames;
    const std::size_t nFrames = bytes.size() / 2 / std::size_t(nChannels);
    for (std::size_t n = 0; n < nFrames; ++n) {
        const int k = SampleAt(bytes, n * nChannels);
        bool bOk = k >= 1;
        for (int c = 1; c < nChannels; ++c)
            bOk = bOk && SampleAt(bytes, n * nChannels + c) == ((c % 2) != 0 ? -k : k);
        frames.push_back(bOk ? k - 1 : -1);
    }
    return frames;
}

struct CPlaybackRig {
    CQuorvelDoc doc;
    CVirtualWaveOut out;
    CRecordingHost host;
    CLoopingPlayback playback{out, host};

    CPlaybackRig() { playback.SetDocument(&doc); }

    void Pump()
    {
        out.DeliverPending();
        while (host.m_nStopsToRun > 0) {
            --host.m_nStopsToRun;
            playback.OnStop();
        }
    }
    void Step(std::uint64_t nMilliseconds)
    {
        out.AdvanceTime(nMilliseconds);
        Pump();
        playback.OnTimer(CLoopingPlayback::kTimerId);
    }
    // Steps until playback ends on its own or nMaxMilliseconds have passed.
    void RunUntilIdle(std::uint64_t nMaxMilliseconds, std::uint64_t nStep = 20)
    {
        for (std::uint64_t t = 0; t < nMaxMilliseconds && playback.m_bPlaying; t += nStep)
            Step(nStep);
    }
    std::vector<int> WrittenFrames() const { return DecodeFrames(out.m_written, doc.m_nChannels); }
    // Frames heard so far, from the device position.
    std::uint64_t HeardFrames() { return out.GetPositionBytes() / 2 / std::uint64_t(doc.m_nChannels); }
};
