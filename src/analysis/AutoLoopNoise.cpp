// Sounds without pitch (wind, breath, bow noise, rain, an organ's blower):
// telling them from pitched ones, and looping them without regard to
// periods, long, with the level and the spectrum matched at the splice.
#include "analysis/AutoLoopSplice.h"

#include <algorithm>
#include <cmath>

namespace autoloop {

namespace {

// The longest period looked for: that of a 17 Hz note, so that every
// pitched sound shows at least one (even a 32-foot organ stop, whose lowest
// notes sound mostly in their octave).
constexpr double kLongestPeriodSeconds = 0.06;
// The stretch whose repetition is measured: two of the longest periods,
// from the middle of the steady part (at 44.1 kHz its transform has the
// size the waveform alignment uses, so no second sine table is built).
constexpr int kProbePeriods = 2;
// At its period a pitched sound matches itself at least this well
// (1 − normalised correlation) ...
constexpr double kPitchMismatch = 0.5;
// ... and this much better than somewhere at a shorter lag: the wave moved
// away and came back. The match of noise, even of low-passed noise that
// matches itself well over a few frames, only worsens with the lag.
constexpr double kPitchDip = 0.3;
// The period is the first such lag that matches nearly as well as the best.
constexpr double kPeriodSlack = 0.1;
// How far a noise splice's start and length move from the pair's, frames
// either way: enough choice for a clean splice with the levels matched,
// little enough to keep the search fast.
constexpr int kNoiseReach = 128;
// Pairs tried, longest first.
constexpr int kNoisePairs = 12;

}  // namespace

double SteadyPeriod(CCorrelator& corr, const CFrameView& x, const CSteadyPart& steady)
{
    const int longest = std::max(2, int(std::lround(x.m_nSampleRate * kLongestPeriodSeconds)));
    const int length = std::min(steady.Length(), kProbePeriods * longest);
    const int maxLag = std::min(longest, (2 * length) / 3);
    if (maxLag < 3)
        return 0.0;
    const int first = steady.m_nBegin + (steady.Length() - length) / 2;
    const std::vector<double> err = SelfMismatch(corr, x, first, length, maxLag);
    std::vector<int> dips;
    double peak = 0.0, least = kInf;
    for (int l = 1; l < maxLag; ++l) {
        const double e = err[std::size_t(l)];
        peak = std::max(peak, std::isfinite(e) ? e : 0.0);
        if (e <= err[std::size_t(l - 1)] && e < err[std::size_t(l + 1)] && e <= kPitchMismatch &&
            peak - e >= kPitchDip) {
            dips.push_back(l);
            least = std::min(least, e);
        }
    }
    for (const int l : dips)
        if (err[std::size_t(l)] <= least + kPeriodSlack)
            return FractionalLag(err, l, 0);
    return 0.0;
}

std::optional<CChoice> NoiseLoop(const CFrameView& x, const CSteadyPart& steady,
                                 const std::vector<std::pair<int, int>>& pairs, double typical)
{
    const int w = std::max(1, int(std::lround(x.m_nSampleRate * kLevelSeconds)));
    std::optional<CChoice> best;
    for (std::size_t i = 0; i < pairs.size() && i < std::size_t(kNoisePairs); ++i) {
        const auto [s0, e0] = pairs[i];
        const int length = e0 - s0;
        const CEnergy energy(x, s0 - kNoiseReach - w, e0 + 2 * kNoiseReach + w);
        const CChoice c = BestSplice(x, steady, energy, s0 - kNoiseReach, s0 + kNoiseReach,
                                     std::max(2, length - kNoiseReach), length + kNoiseReach, typical);
        if (!best || c.Badness() < best->Badness())
            best = c;
        if (c.IsGood())
            break;
    }
    return best;
}

}  // namespace autoloop
