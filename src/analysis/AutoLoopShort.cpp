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
// A natural sound in a steady part too short to compare banks must repeat
// at least this well (1 − normalised correlation) over a loop's length.
constexpr double kMaxShortMismatch = 0.2;
// The level jump a loop in a short steady part may have at most.
constexpr double kShortLevelJumpDb = 1.0;
// The shortest loop: a cycle of a tone near the top of hearing (at 44.1 kHz
// 8 frames are 5.5 kHz); shorter lags only match a sound's low partials.
constexpr int kMinShortLag = 8;

struct CRepeat {
    double m_dError = kInf;  // see RepeatOf
    double m_dLag = 0.0;     // frames, to an eighth
};

// How exactly the wave repeats with a period between lag − 1 and lag
// frames (eighths of a frame tried, read by linear interpolation, and the
// best refined between them): the
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
    double errors[9] = {};  // by eighth, 1 … 8
    int bestEighth = 0;
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
        errors[eighth] = e;
        if (e < best.m_dError) {
            best = {e, lag - 1 + mu};
            bestEighth = eighth;
        }
    }
    // Between eighths: the vertex of the parabola through the best and its
    // neighbours, so that a loop of a few short periods is judged to within
    // a cent.
    if (bestEighth > 1 && bestEighth < 8) {
        const double a = errors[bestEighth - 1], b = errors[bestEighth], c = errors[bestEighth + 1];
        const double curve = a - 2.0 * b + c;
        if (curve > 0.0)
            best.m_dLag += std::clamp(0.5 * (a - c) / curve, -0.5, 0.5) / 8.0;
    }
    return best;
}

}  // namespace

// A steady part too short for the bank comparison, searched on its frames:
// the lags at which the wave repeats about as well as at its best (whole
// numbers of its period), longest first; for each, the splice in the last
// steady cycles, where a short sample's maker loops it. The longest clean
// one is taken, one that keeps the pitch within a cent before one that
// cannot. A wave that repeats exactly (a synthetic one) may loop a single
// cycle; a natural one must repeat clearly.
std::optional<CChoice> ShortSteadyLoop(CCorrelator& corr, const CFrameView& x, const CSteadyPart& steady,
                                       double typical)
{
    const int length = steady.Length();
    // Each lag needs an overlap of at least half itself to be judged.
    const int maxLag = (2 * length) / 3;
    if (maxLag < kMinShortLag)
        return std::nullopt;
    const std::vector<double> err = SelfMismatch(corr, x, steady.m_nBegin, length, maxLag);
    int bestLag = -1;
    for (int l = kMinShortLag; l <= maxLag; ++l)
        if (bestLag < 0 || err[std::size_t(l)] < err[std::size_t(bestLag)])
            bestLag = l;
    if (bestLag < 0 || !std::isfinite(err[std::size_t(bestLag)]))
        return std::nullopt;
    const bool steadyWave =
        std::min(RepeatOf(x, steady, bestLag).m_dError, RepeatOf(x, steady, bestLag + 1).m_dError) <= kSteadyWaveError;
    const double limit = 2.0 * err[std::size_t(bestLag)] + 1e-12;
    const CEnergy energy(x, steady.m_nBegin, steady.m_nEnd);
    std::optional<CChoice> clean;
    for (int lag = maxLag; lag >= kMinShortLag; --lag) {
        const double e = err[std::size_t(lag)];
        const bool minimum = (lag == maxLag || e <= err[std::size_t(lag + 1)]) && e <= err[std::size_t(lag - 1)];
        if (!minimum || !(e <= kMaxShortMismatch || (steadyWave && e <= limit)))
            continue;
        // The lag to a fraction of a frame, read as the best period is.
        const CRepeat r = std::min({RepeatOf(x, steady, lag), RepeatOf(x, steady, lag + 1)},
                                   [](const CRepeat& p, const CRepeat& q) { return p.m_dError < q.m_dError; });
        const double target = std::isfinite(r.m_dError) ? r.m_dLag : FractionalLag(err, lag, 0);
        const CChoice loop = SettleSplice(x, steady, energy, steady.m_nEnd - lag - 2 * bestLag, steady.m_nEnd - lag,
                                          target, bestLag, typical);
        // So little sound must give a loop without a click or a level jump.
        if (!(loop.m_dSeam <= 1.0 && loop.m_dLevel <= kShortLevelJumpDb))
            continue;
        if (std::fabs(loop.m_nEnd - loop.m_nStart - loop.m_dLag) <= kPitchTolerance * loop.m_dLag)
            return loop;
        if (!clean)
            clean = loop;
    }
    return clean;
}

}  // namespace autoloop
