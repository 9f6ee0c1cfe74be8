// Loops for a steady part too short to compare spectral banks: found on
// the frames themselves, from how the wave repeats.
#include "analysis/AutoLoopSplice.h"

#include <algorithm>
#include <cmath>

namespace autoloop {

namespace {

// A wave that repeats to within this share of its energy repeats exactly
// (quantisation and a fraction of a frame of period drift aside).
constexpr double kSteadyWaveError = 1e-4;
// A steady part too short to compare banks must repeat at least this well
// (1 − normalised correlation) to be looped.
constexpr double kMaxShortMismatch = 0.2;
// The level jump a loop in a short steady part may have at most.
constexpr double kShortLevelJumpDb = 1.0;

struct CRepeat {
    double m_dError = kInf;  // see RepeatOf
    double m_dLag = 0.0;     // frames, to an eighth
};

// How exactly the wave repeats with a period between lag − 1 and lag
// frames (eighths of a frame tried, read by linear interpolation): the
// median over the frames of the squared difference from one period on,
// relative to twice the mean power, so that a fade-in, a glitch or a sharp
// edge at a few frames does not count; and the period that fits best.
CRepeat RepeatOf(const CFrameView& x, const CSteadyPart& steady, int lag)
{
    CRepeat best;
    const int last = steady.m_nEnd - lag;  // frames f < last have f + lag inside
    if (lag < 2 || last <= steady.m_nBegin)
        return best;
    double power = 0.0;
    for (int f = steady.m_nBegin; f < last; ++f)
        for (int c = 0; c < x.m_nChannels; ++c)
            power += x.At(f, c) * x.At(f, c);
    power /= double(last - steady.m_nBegin);
    if (power <= 0.0)
        return best;
    std::vector<double> q(std::size_t(last - steady.m_nBegin));
    for (int eighth = 8; eighth > 0; --eighth) {
        // Period lag − 1 + eighth / 8.
        const double mu = eighth / 8.0;
        for (int f = steady.m_nBegin; f < last; ++f) {
            double r = 0.0;
            for (int c = 0; c < x.m_nChannels; ++c) {
                const double d = x.At(f, c) - ((1.0 - mu) * x.At(f + lag - 1, c) + mu * x.At(f + lag, c));
                r += d * d;
            }
            q[std::size_t(f - steady.m_nBegin)] = r / (2.0 * power);
        }
        const double e = Median(q);
        if (e < best.m_dError)
            best = {e, lag - 1 + mu};
    }
    return best;
}

// The longest lag from `from` on that is a local minimum of `err` with at
// most twice the least mismatch there; -1 when none is finite.
int LongestGoodLag(const std::vector<double>& err, int from)
{
    double best = kInf;
    for (int l = from; l < int(err.size()); ++l)
        best = std::min(best, err[std::size_t(l)]);
    if (!std::isfinite(best))
        return -1;
    const int last = int(err.size()) - 1;
    for (int l = last; l >= from; --l) {
        const double e = err[std::size_t(l)];
        if (e <= 2.0 * best + 1e-12 && (l == last || e <= err[std::size_t(l + 1)]) &&
            (l == from || e <= err[std::size_t(l - 1)]))
            return l;
    }
    return -1;
}

}  // namespace

// A steady part too short for the bank comparison, searched on its frames:
// the longest lag at which the wave repeats about as well as at its best,
// then the splice. A wave that repeats exactly (a synthetic one) may loop a
// single cycle; anything else needs `natural` (steady sound long enough)
// and a loop of at least an eighth of a bank that repeats clearly.
std::optional<CChoice> ShortSteadyLoop(CCorrelator& corr, const CFrameView& x, const CSteadyPart& steady, int n,
                                       bool natural, double typical)
{
    const int length = steady.Length();
    const int minLag = std::max(2, n / 64);
    // Each lag needs an overlap of at least half itself to be judged.
    const int maxLag = (2 * length) / 3;
    if (maxLag < minLag)
        return std::nullopt;
    std::vector<double> num(std::size_t(maxLag + 1), 0.0), out;
    std::vector<double> prefix(std::size_t(length) + 1, 0.0);
    for (int c = 0; c < x.m_nChannels; ++c) {
        const std::vector<double> v = Channel(x, c, steady.m_nBegin, length);
        std::vector<double> padded(std::size_t(length + maxLag), 0.0);
        std::copy(v.begin(), v.end(), padded.begin());
        // out[l] = Σ_k v[k]·v[k + l], the overlap of v with itself at lag l.
        corr.Correlate(v, padded, out);
        for (int l = 0; l <= maxLag; ++l)
            num[std::size_t(l)] += out[std::size_t(l)];
        for (int k = 0; k < length; ++k)
            prefix[std::size_t(k) + 1] += v[std::size_t(k)] * v[std::size_t(k)];
    }
    for (int k = 0; k < length; ++k)
        prefix[std::size_t(k) + 1] += prefix[std::size_t(k)];
    // Mismatch of the overlapping stretches at each lag (0 … 2).
    std::vector<double> err(std::size_t(maxLag + 1), kInf);
    int bestLag = -1;
    for (int l = minLag; l <= maxLag; ++l) {
        const double e1 = prefix[std::size_t(length - l)];
        const double e2 = prefix[std::size_t(length)] - prefix[std::size_t(l)];
        if (e1 + e2 > 0.0)
            err[std::size_t(l)] = (e1 + e2 - 2.0 * num[std::size_t(l)]) / (e1 + e2);
        if (bestLag < 0 || err[std::size_t(l)] < err[std::size_t(bestLag)])
            bestLag = l;
    }
    if (bestLag < 0 || !std::isfinite(err[std::size_t(bestLag)]))
        return std::nullopt;
    const bool steadyWave =
        std::min(RepeatOf(x, steady, bestLag).m_dError, RepeatOf(x, steady, bestLag + 1).m_dError) <= kSteadyWaveError;
    int lag = -1;
    if (steadyWave) {
        lag = LongestGoodLag(err, minLag);
    } else if (natural && n / 8 <= maxLag) {
        lag = LongestGoodLag(err, n / 8);
        if (lag >= 0 && err[std::size_t(lag)] > kMaxShortMismatch)
            lag = -1;
    }
    if (lag < 0)
        return std::nullopt;
    // The chosen lag to a fraction of a frame, read as the best period is.
    const CRepeat chosen = std::min({RepeatOf(x, steady, lag), RepeatOf(x, steady, lag + 1)},
                                    [](const CRepeat& p, const CRepeat& r) { return p.m_dError < r.m_dError; });
    const CEnergy energy(x, steady.m_nBegin, steady.m_nEnd);
    const CChoice loop =
        SettleSplice(x, steady, energy, steady.m_nBegin, steady.m_nEnd - lag,
                     std::isfinite(chosen.m_dError) ? chosen.m_dLag : FractionalLag(err, lag, 0), bestLag, typical);
    // So little sound must give a loop without a click or a level jump.
    if (!(loop.m_dSeam <= 1.0 && loop.m_dLevel <= kShortLevelJumpDb))
        return std::nullopt;
    return loop;
}

}  // namespace autoloop
