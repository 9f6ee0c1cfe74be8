#include "analysis/Envelope.h"

#include <algorithm>
#include <cmath>
#include <vector>

CEnvelope::CEnvelope(const CFrameView& frames, double windowSeconds)
{
    if (frames.m_nFrameCount <= 0 || frames.m_nChannels <= 0)
        return;
    // Energies of consecutive hop-long blocks; each value sums the four
    // blocks around its centre, so a long sample needs no per-frame array.
    m_nHop = std::max(1, int(std::lround(frames.m_nSampleRate * windowSeconds / 4.0)));
    m_nWindow = 4 * m_nHop;
    const int blocks = (frames.m_nFrameCount + m_nHop - 1) / m_nHop;
    std::vector<double> energy(std::size_t(blocks), 0.0);
    std::vector<int> counts(std::size_t(blocks), 0);
    for (int b = 0; b < blocks; ++b) {
        const int first = b * m_nHop;
        const int last = std::min(frames.m_nFrameCount, first + m_nHop);
        double e = 0.0;
        for (int f = first; f < last; ++f)
            for (int c = 0; c < frames.m_nChannels; ++c) {
                const double v = frames.At(f, c);
                e += v * v;
            }
        energy[std::size_t(b)] = e;
        counts[std::size_t(b)] = (last - first) * frames.m_nChannels;
    }
    m_values.resize(std::size_t(blocks));
    for (int i = 0; i < blocks; ++i) {
        double e = 0.0;
        int n = 0;
        for (int b = std::max(0, i - 2); b <= std::min(blocks - 1, i + 1); ++b) {
            e += energy[std::size_t(b)];
            n += counts[std::size_t(b)];
        }
        m_values[std::size_t(i)] = std::sqrt(e / double(n));
        m_dPeak = std::max(m_dPeak, m_values[std::size_t(i)]);
    }
}

int CEnvelope::FirstFrameReaching(double fraction) const
{
    if (m_dPeak <= 0.0)
        return 0;
    const double level = fraction * m_dPeak;
    for (int i = 0; i < GetCount(); ++i)
        if (m_values[std::size_t(i)] >= level)
            return i * m_nHop;
    return 0;
}

int AttackEndFrame(const CFrameView& frames)
{
    return CEnvelope(frames, kAttackWindowSeconds).FirstFrameReaching(kAttackPeakFraction);
}

double CEnvelope::Percentile(double q) const
{
    if (m_values.empty())
        return 0.0;
    std::vector<double> v = m_values;
    const auto k = std::size_t(std::clamp(q, 0.0, 1.0) * double(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
    return v[k];
}

double SustainLevel(const CFrameView& frames)
{
    return CEnvelope(frames, kAttackWindowSeconds).Percentile(kSustainPercentile);
}
