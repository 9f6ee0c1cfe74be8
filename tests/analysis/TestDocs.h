// Documents for the analysis tests, filled by hand (no file reader needed).
#pragma once

#include "document/QuorvelDoc.h"

#include <functional>
#include <memory>

// frames × channels values from f(frame, channel).
inline std::unique_ptr<CQuorvelDoc> MakeDoc(int rate, int channels, int frames,
                                            const std::function<double(int, int)>& f)
{
    auto doc = std::make_unique<CQuorvelDoc>();
    doc->m_nSampleRate = rate;
    doc->m_nChannels = channels;
    doc->m_nFrameCount = frames;
    doc->m_pSamples.resize(std::size_t(frames) * std::size_t(channels));
    for (int fr = 0; fr < frames; ++fr)
        for (int c = 0; c < channels; ++c)
            doc->SetSample(fr, c, f(fr, c));
    return doc;
}

inline constexpr double kTestPi = 3.141592653589793;
