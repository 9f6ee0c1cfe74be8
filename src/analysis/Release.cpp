#include "analysis/Release.h"

#include "analysis/Envelope.h"

#include <algorithm>
#include <cmath>
#include <vector>

int FindReleaseFrame(const CFrameView& frames, int sustainStart, int sustainEnd)
{
    if (frames.m_nFrameCount <= 0 || frames.m_nChannels <= 0)
        return -1;
    if (sustainStart < 0 || sustainEnd > frames.m_nFrameCount || sustainStart >= sustainEnd) {
        sustainStart = std::min(AttackEndFrame(frames), frames.m_nFrameCount - 1);
        sustainEnd = sustainStart + 1;
    }
    const CEnvelope env(frames, kReleaseWindowSeconds);
    const int hop = env.GetHop();
    // Value i describes the window centred on i × hop.
    const int first = std::min(env.GetCount() - 1, (sustainStart + hop - 1) / hop);
    const int last = std::clamp((sustainEnd - 1) / hop, first, env.GetCount() - 1);
    std::vector<double> sustain;
    for (int i = first; i <= last; ++i)
        sustain.push_back(env.Value(i));
    if (sustain.size() < 2) {  // no span to judge by: everything after it
        for (int i = last; i < env.GetCount(); ++i)
            sustain.push_back(env.Value(i));
    }
    std::nth_element(sustain.begin(), sustain.begin() + std::ptrdiff_t(sustain.size() / 2), sustain.end());
    const double sustainLevel = sustain[sustain.size() / 2];
    const double level = sustainLevel * std::pow(10.0, -kReleaseFallDb / 20.0);
    int fall = -1;  // the last window still within kReleaseFallDb
    for (int i = last; i < env.GetCount(); ++i)
        if (env.Value(i) >= level && env.Value(i) > 0.0)
            fall = i;
    if (fall < 0)
        return sustainEnd;
    // The fall is followed down to kReleaseSlopeDb; its slope, drawn back
    // up to the sustain level, gives where it started.
    const double low = sustainLevel * std::pow(10.0, -kReleaseSlopeDb / 20.0);
    int bottom = fall + 1;
    while (bottom < env.GetCount() && env.Value(bottom) > low)
        ++bottom;
    double start = double(fall);
    if (bottom < env.GetCount()) {
        const double dbFall = 20.0 * std::log10(sustainLevel / env.Value(fall));
        const double dbBottom = 20.0 * std::log10(sustainLevel / std::max(env.Value(bottom), 1e-300));
        const double perWindow = (dbBottom - dbFall) / double(bottom - fall);
        if (perWindow > 0.0)
            start = std::max(double(last), fall - dbFall / perWindow);
    }
    // Value i describes the window centred on frame i × hop.
    const int release = int(std::lround(start * hop));
    return std::clamp(release, sustainEnd, frames.m_nFrameCount);
}
