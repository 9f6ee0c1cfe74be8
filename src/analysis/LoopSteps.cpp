#include "analysis/LoopSteps.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Pitches a sample is tuned to lie well inside 20 Hz … 2 kHz.
constexpr double kHighestPitch = 2000.0;  // Hz
constexpr double kLowestPitch = 20.0;     // Hz
// Lags within this share of the best correlation count as the same peak.
constexpr double kPeakShare = 0.9;

double ChannelSum(const CFrameView& frames, int frame)
{
    double sum = 0.0;
    for (int c = 0; c < frames.m_nChannels; ++c)
        sum += frames.At(frame, c);
    return sum;
}

}  // namespace

int NextZeroCrossing(const CFrameView& frames, int frame, int direction)
{
    if (frames.m_nFrameCount <= 0 || frames.m_nChannels <= 0)
        return frame;
    const int step = direction < 0 ? -1 : 1;
    // f is a crossing when the sign of f differs from that of f − 1.
    for (int f = frame + step; f >= 1 && f < frames.m_nFrameCount; f += step) {
        const double a = ChannelSum(frames, f - 1);
        const double b = ChannelSum(frames, f);
        if ((a < 0.0 && b >= 0.0) || (a >= 0.0 && b < 0.0))
            return f;
    }
    return frame;
}

int EstimatePeriod(const CFrameView& frames, int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, frames.m_nFrameCount);
    if (frames.m_nSampleRate <= 0 || frames.m_nChannels <= 0 || last - first < 4)
        return 0;
    const int minLag = std::max(2, int(frames.m_nSampleRate / kHighestPitch));
    const int length = last - first;
    const int maxLag = std::min(int(frames.m_nSampleRate / kLowestPitch), length / 2);
    if (maxLag <= minLag)
        return 0;
    const int window = std::min(kPeriodWindow, length) - maxLag;
    if (window < minLag)
        return 0;
    const int from = first + (length - window - maxLag) / 2;
    std::vector<double> x(std::size_t(window + maxLag));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = ChannelSum(frames, from + int(i));
    auto energy = [&](int lag) {
        double e = 0.0;
        for (int i = 0; i < window; ++i)
            e += x[std::size_t(i + lag)] * x[std::size_t(i + lag)];
        return e;
    };
    const double e0 = energy(0);
    if (e0 <= 0.0)
        return 0;
    std::vector<double> r(std::size_t(maxLag + 1), 0.0);
    double best = 0.0;
    for (int lag = minLag; lag <= maxLag; ++lag) {
        double sum = 0.0;
        for (int i = 0; i < window; ++i)
            sum += x[std::size_t(i)] * x[std::size_t(i + lag)];
        const double el = energy(lag);
        r[std::size_t(lag)] = el > 0.0 ? sum / std::sqrt(e0 * el) : 0.0;
        best = std::max(best, r[std::size_t(lag)]);
    }
    if (best < kMinPeriodicity)
        return 0;
    // The first local peak near the best: the period, not a multiple of it.
    for (int lag = minLag; lag <= maxLag; ++lag) {
        const double v = r[std::size_t(lag)];
        if (v >= kPeakShare * best && (lag == maxLag || v >= r[std::size_t(lag + 1)]))
            return lag;
    }
    return 0;
}
