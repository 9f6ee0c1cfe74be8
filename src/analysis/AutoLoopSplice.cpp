#include "analysis/AutoLoopSplice.h"

#include "analysis/SeamMetrics.h"

#include <algorithm>
#include <cmath>

namespace autoloop {

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

std::vector<double> Channel(const CFrameView& x, int c, int first, int count)
{
    std::vector<double> v(std::size_t(std::max(count, 0)));
    for (int k = 0; k < count; ++k)
        v[std::size_t(k)] = x.AtChecked(first + k, c);
    return v;
}

// How well the `window` frames around s match those around s + lag, for
// every lag in lagLo … lagHi: 1 − normalised correlation, summed over the
// channels (0 is a perfect match, 2 an inverted one).
std::vector<double> LagErrors(CCorrelator& corr, const CFrameView& x, int s, int window, int lagLo, int lagHi)
{
    const int lags = lagHi - lagLo + 1;
    std::vector<double> num(std::size_t(lags), 0.0), energyB(std::size_t(lags), 0.0), out;
    double energyA = 0.0;
    const int a0 = s - window / 2;
    for (int c = 0; c < x.m_nChannels; ++c) {
        const std::vector<double> a = Channel(x, c, a0, window);
        const std::vector<double> b = Channel(x, c, a0 + lagLo, window + lags - 1);
        corr.Correlate(a, b, out);
        for (int l = 0; l < lags; ++l)
            num[std::size_t(l)] += out[std::size_t(l)];
        for (const double v : a)
            energyA += v * v;
        double e = 0.0;
        for (int k = 0; k < window; ++k)
            e += b[std::size_t(k)] * b[std::size_t(k)];
        for (int l = 0; l < lags; ++l) {
            energyB[std::size_t(l)] += e;
            if (l + 1 < lags)
                e += b[std::size_t(l + window)] * b[std::size_t(l + window)] - b[std::size_t(l)] * b[std::size_t(l)];
        }
    }
    std::vector<double> err(std::size_t(lags), 1.0);
    for (int l = 0; l < lags; ++l) {
        const double den = std::sqrt(energyA * std::max(energyB[std::size_t(l)], 0.0));
        if (den > 0.0)
            err[std::size_t(l)] = 1.0 - num[std::size_t(l)] / den;
    }
    return err;
}

std::vector<double> SelfMismatch(CCorrelator& corr, const CFrameView& x, int first, int length, int maxLag)
{
    std::vector<double> num(std::size_t(maxLag + 1), 0.0), out;
    std::vector<double> prefix(std::size_t(length) + 1, 0.0);
    for (int c = 0; c < x.m_nChannels; ++c) {
        const std::vector<double> v = Channel(x, c, first, length);
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
    std::vector<double> err(std::size_t(maxLag + 1), kInf);
    for (int l = 0; l <= maxLag; ++l) {
        const double e1 = prefix[std::size_t(length - l)];
        const double e2 = prefix[std::size_t(length)] - prefix[std::size_t(l)];
        if (e1 + e2 > 0.0)
            err[std::size_t(l)] = (e1 + e2 - 2.0 * num[std::size_t(l)]) / (e1 + e2);
    }
    return err;
}

double LevelDifference(double before, double after)
{
    if (before == after)
        return 0.0;
    if (before <= 0.0 || after <= 0.0)
        return kInf;
    return std::fabs(10.0 * std::log10(before / after));
}

double FractionalLag(const std::vector<double>& err, int i, int lagLo)
{
    if (i <= 0 || i + 1 >= int(err.size()))
        return lagLo + i;
    const double a = err[std::size_t(i - 1)], b = err[std::size_t(i)], c = err[std::size_t(i + 1)];
    const double curve = a - 2.0 * b + c;
    // A neighbour without a mismatch (a silent overlap) gives no parabola.
    const double offset = std::isfinite(curve) && curve > 0.0 ? std::clamp(0.5 * (a - c) / curve, -0.5, 0.5) : 0.0;
    return lagLo + i + offset;
}

CChoice BestSplice(const CFrameView& x, const CSteadyPart& steady, const CEnergy& energy, int sLo, int sHi,
                     int lagLo, int lagHi, double typical)
{
    CChoice best;
    sLo = std::max({sLo, steady.m_nBegin, 1});
    const int w = std::max(1, int(std::lround(x.m_nSampleRate * kLevelSeconds)));
    double bestScore = kInf;
    for (int l = lagLo; l <= lagHi; ++l) {
        const int hi = std::min({sHi, steady.m_nEnd - l, x.m_nFrameCount - 2});
        for (int s = sLo; s <= hi; ++s) {
            const double jump = SpliceJump(x, s, s + l);
            const double seam = typical > 0.0 ? jump / typical : (jump > 0.0 ? kInf : 0.0);
            if (seam >= bestScore)
                continue;  // the level could only add to it
            const double level = LevelDifference(energy.Mean(s + l - w, s + l), energy.Mean(s, s + w));
            const double score = seam + level / kLevelMatchDb;
            if (score < bestScore) {
                bestScore = score;
                best = {s, s + l, seam, level};
            }
        }
    }
    return best;
}

CChoice SettleSplice(const CFrameView& x, const CSteadyPart& steady, const CEnergy& energy, int sLo, int sHi,
                     double lag, int period, double typical)
{
    // The nearest whole length first, when it keeps the pitch; others only
    // when it gives no comfortably clean splice.
    const int nearest = std::max(2, int(std::lround(lag)));
    const double spread = std::min(period / 32.0, kPitchTolerance * lag);
    CChoice best = BestSplice(x, steady, energy, sLo, sHi, nearest, nearest, typical);
    best.m_dLag = lag;
    if (best.m_dSeam <= kComfortableSeam && std::fabs(nearest - lag) <= kPitchTolerance * lag)
        return best;
    const int lo = std::max(2, int(std::ceil(lag - spread))), hi = std::max(2, int(std::floor(lag + spread)));
    if (hi < lo)
        return best;  // no whole length keeps the pitch: the nearest one it is
    CChoice wide = BestSplice(x, steady, energy, sLo, sHi, lo, hi, typical);
    wide.m_dLag = lag;
    // Within the tolerance the better splice; outside it only a clean one
    // against an unclean one.
    if (std::fabs(nearest - lag) > kPitchTolerance * lag && wide.IsGood())
        return wide;
    return wide.Score() < best.Score() ? wide : best;
}

CChoice AlignPair(CCorrelator& corr, const CFrameView& x, const CSteadyPart& steady, int s0, int e0, int reach,
                  double typical)
{
    const int lagLo = std::max(e0 - s0 - reach, 2);
    const int lagHi = std::min(e0 - s0 + reach, steady.m_nEnd - s0);
    if (lagHi < lagLo)
        return {};
    const std::vector<double> err = LagErrors(corr, x, s0, 2 * reach, lagLo, lagHi);
    std::vector<int> minima;
    double bestErr = kInf;
    for (int i = 0; i < int(err.size()); ++i) {
        const double v = err[std::size_t(i)];
        if ((i == 0 || v <= err[std::size_t(i - 1)]) && (i + 1 == int(err.size()) || v < err[std::size_t(i + 1)])) {
            minima.push_back(i);
            bestErr = std::min(bestErr, v);
        }
    }
    // Lags whose mismatch is within twice the best one's (and a hair).
    std::vector<int> good;
    for (const int i : minima)
        if (err[std::size_t(i)] <= 2.0 * bestErr + 1e-3)
            good.push_back(i);
    // The start moves over at least one period (the spacing of the good
    // lags), so that every point of the wave is a possible splice.
    std::vector<double> spacing;
    for (std::size_t k = 1; k < good.size(); ++k)
        spacing.push_back(good[k] - good[k - 1]);
    const int period = spacing.empty() ? reach : int(Median(spacing));
    const int sReach = std::max(reach / 2, std::min(period, reach));
    const int w = std::max(1, int(std::lround(x.m_nSampleRate * kLevelSeconds)));
    const CEnergy energy(x, s0 - sReach - 2 * w, e0 + reach + sReach + w);
    CChoice best;
    for (const int i : good) {
        const CChoice c = SettleSplice(x, steady, energy, s0 - sReach, s0 + sReach, FractionalLag(err, i, lagLo),
                                       period, typical);
        if (c.Score() < best.Score())
            best = c;
    }
    return best;
}

}  // namespace autoloop
