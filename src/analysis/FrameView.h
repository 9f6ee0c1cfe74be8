// CFrameView: a read-only view of interleaved frames (frame f, channel c at
// f × channels + c), with their sample rate. The analyses that work on plain
// frames take one, so they run on a document's frames or on any buffer.
// The view does not own the frames; they must outlive it.
#pragma once

#include <cstddef>

struct CFrameView {
    const double* m_pData = nullptr;
    int m_nFrameCount = 0;    // frames
    int m_nChannels = 0;
    int m_nSampleRate = 0;    // frames per second

    double At(int frame, int channel) const
    {
        return m_pData[std::size_t(frame) * std::size_t(m_nChannels) + std::size_t(channel)];
    }
    // 0.0 outside 0 … m_nFrameCount − 1.
    double AtChecked(int frame, int channel) const
    {
        return frame < 0 || frame >= m_nFrameCount ? 0.0 : At(frame, channel);
    }
};
