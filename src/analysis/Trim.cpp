#include "analysis/Trim.h"

#include <algorithm>
#include <cmath>

CTrimCut PlanTrim(const CFrameView& frames, const CTrimSettings& settings, int keepFirst, int keepLast)
{
    CTrimCut cut;
    const int n = frames.m_nFrameCount;
    const int channels = frames.m_nChannels;
    if (n <= 0 || channels <= 0)
        return cut;
    const auto loudness = [&](int f) {
        double a = 0.0;
        for (int c = 0; c < channels; ++c)
            a = std::max(a, std::abs(frames.At(f, c)));
        return a;
    };
    double peak = 0.0;
    for (int f = 0; f < n; ++f)
        peak = std::max(peak, loudness(f));
    if (!(peak > 0.0))
        return cut;
    const double level = peak * std::pow(10.0, settings.m_dThresholdDb / 20.0);
    int firstLoud = 0;
    while (loudness(firstLoud) < level)
        ++firstLoud;
    int lastLoud = n - 1;
    while (loudness(lastLoud) < level)
        --lastLoud;

    const int fade = std::max(0, int(std::lround(settings.m_dFadeSeconds * frames.m_nSampleRate)));
    const bool bProtect = keepFirst <= keepLast;
    if (settings.m_bStart) {
        int start = std::max(0, firstLoud - fade);
        if (bProtect)
            start = std::min(start, std::max(keepFirst, 0));
        cut.m_nStart = start;
        // The fade stays before the protected frames.
        if (start > 0)
            cut.m_nFadeIn = bProtect ? std::min(fade, std::max(0, keepFirst - start)) : fade;
    }
    if (settings.m_bEnd) {
        int end = std::min(n, lastLoud + 1 + fade);
        if (bProtect)
            end = std::max(end, std::min(keepLast, n));
        end = std::max(end, cut.m_nStart + 1);
        cut.m_nEnd = n - end;
        if (cut.m_nEnd > 0)
            cut.m_nFadeOut = bProtect ? std::min(fade, std::max(0, end - std::max(keepLast, cut.m_nStart))) : fade;
    }
    const int left = n - cut.m_nStart - cut.m_nEnd;
    cut.m_nFadeIn = std::min(cut.m_nFadeIn, left);
    cut.m_nFadeOut = std::min(cut.m_nFadeOut, left);
    return cut;
}
