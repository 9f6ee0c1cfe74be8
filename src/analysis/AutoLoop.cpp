#include "analysis/AutoLoop.h"

#include "analysis/Envelope.h"
#include "analysis/Fft.h"
#include "analysis/SeamMetrics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// Digital silence this long inside a sound is a dropout.
constexpr double kDropoutSeconds = 0.002;
// Below a tenth of the sustain level the sound has stopped: a gap.
constexpr double kGapFraction = 0.1;
// The sound is steady from when its envelope first comes within 1 dB of its
// typical level until it last does: the attack's rise and the release's
// fall lie outside.
constexpr double kSteadyFraction = 0.8912509381337456;  // −1 dB
// Level across the splice is measured over this long on either side.
constexpr double kLevelSeconds = 0.020;
// Levels across the splice this close sound the same.
constexpr double kLevelMatchDb = 0.3;
// A wave that repeats to within this share of its energy repeats exactly
// (quantisation and a fraction of a frame of period drift aside).
constexpr double kSteadyWaveError = 1e-4;
// A splice this far below the clean limit needs no search beyond the loop
// length nearest a whole number of periods.
constexpr double kComfortableSeam = 0.5;
// A loop may differ from a whole number of periods by this share of its
// length: each pass then shifts the pitch by under two cents.
constexpr double kPitchTolerance = 1e-3;
// A steady part too short to compare banks must repeat at least this well
// (1 − normalised correlation) to be looped.
constexpr double kMaxShortMismatch = 0.2;
// The level jump a loop in a short steady part may have at most.
constexpr double kShortLevelJumpDb = 1.0;
// Beyond this level jump across the splice nothing steady was found.
constexpr double kMaxLevelJumpDb = 3.0;
// Start positions tried, spread over the first half of the steady part.
constexpr int kStartCount = 16;
// Pairs of neighbouring stretches that tell how much the sound varies.
constexpr int kNeighbourCount = 256;
// Candidate pairs taken to the waveform, longest first.
constexpr int kRefineCount = 12;
// Spectra are compared over about this many frames, as the ear hears a
// splice's surroundings.
constexpr int kTimbreFrames = 2048;
constexpr double kTimbreRangeDb = 50.0;

struct CSteadyPart {
    int m_nBegin = 0;  // frames
    int m_nEnd = 0;    // frames, exclusive
    int Length() const { return m_nEnd - m_nBegin; }
};

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

// Stretches of at least kDropoutSeconds where every channel is exactly
// zero: a steady sound never does that, a recording that lost data does.
std::vector<CSteadyPart> FindDropouts(const CFrameView& x)
{
    const int shortest = std::max(2, int(std::lround(x.m_nSampleRate * kDropoutSeconds)));
    std::vector<CSteadyPart> dropouts;
    int run = 0;
    for (int f = 0; f <= x.m_nFrameCount; ++f) {
        bool silent = f < x.m_nFrameCount;
        for (int c = 0; silent && c < x.m_nChannels; ++c)
            silent = x.At(f, c) == 0.0;
        if (silent) {
            ++run;
            continue;
        }
        if (run >= shortest)
            dropouts.push_back({f - run, f});
        run = 0;
    }
    return dropouts;
}

// The longest stretch after the attack where the envelope stays clear of
// silence, cut to where it comes within 1 dB of the sound's typical level
// (the median after the attack) and at every dropout (sorted, not
// overlapping).
std::optional<CSteadyPart> FindSteadyPart(const CEnvelope& env, int frameCount,
                                          const std::vector<CSteadyPart>& dropouts)
{
    if (env.Peak() <= 0.0)
        return std::nullopt;
    const int hop = env.GetHop();
    const int count = env.GetCount();
    const int i0 = env.FirstFrameReaching(kAttackPeakFraction) / hop;
    int i1 = count - 1;
    while (i1 > i0 && env.Value(i1) < kGapFraction * env.Peak())
        --i1;
    std::vector<double> sustain;
    for (int i = i0; i <= i1; ++i)
        sustain.push_back(env.Value(i));
    const double level = Median(sustain);
    if (level <= 0.0)
        return std::nullopt;
    // Past the window that first reached the attack level, however a
    // window is placed on the frames, unless the sound starts at full level.
    const int notBefore = i0 > 0 ? i0 * hop + env.GetWindow() / 2 + hop : 0;
    std::optional<CSteadyPart> best;
    for (int i = i0; i <= i1;) {
        if (env.Value(i) < kGapFraction * level) {
            ++i;
            continue;
        }
        int j = i;
        while (j + 1 <= i1 && env.Value(j + 1) >= kGapFraction * level)
            ++j;
        int a = i, b = j;
        while (a <= b && env.Value(a) < kSteadyFraction * level)
            ++a;
        while (b >= a && env.Value(b) < kSteadyFraction * level)
            --b;
        if (a <= b) {
            // Cut at every dropout inside.
            int begin = std::max(a * hop, notBefore);
            const int end = b == count - 1 ? frameCount : std::min(frameCount, (b + 1) * hop);
            for (std::size_t k = 0; k <= dropouts.size(); ++k) {
                const bool last = k == dropouts.size();
                if (!last && (dropouts[k].m_nEnd <= begin || dropouts[k].m_nBegin >= end))
                    continue;
                const CSteadyPart part{begin, last ? end : dropouts[k].m_nBegin};
                if (part.Length() > 0 && (!best || part.Length() > best->Length()))
                    best = part;
                if (!last)
                    begin = dropouts[k].m_nEnd;
            }
        }
        i = j + 1;
    }
    return best;
}

// The seam's yardstick over the steady part: the 99.5th percentile of
// |second difference|, from at most about 65536 values spread evenly.
double TypicalJump(const CFrameView& x, const CSteadyPart& steady)
{
    const int stride = std::max(1, steady.Length() * x.m_nChannels / 65536);
    return JumpPercentile(x, steady.m_nBegin, steady.m_nEnd, stride);
}

// Spectra of stretches of whole banks (about kTimbreFrames frames),
// Hann-windowed and in dB, channels' powers summed. Computed on demand from
// the banks (a Hann window is a three-tap filter over the bins of a
// rectangular one) and kept.
class CBankTimbre {
public:
    CBankTimbre(const CFrameView& x, const CBankView& banks)
        : m_banks(banks), m_nChannels(x.m_nChannels), m_nBins(banks.m_nBankSize / 2 - 2),
          m_nGroup(std::max(1, kTimbreFrames / banks.m_nBankSize)), m_rows(std::size_t(banks.m_nBankCount))
    {
    }
    int GetGroup() const { return m_nGroup; }
    // RMS dB difference of the stretches from banks a and b on, over the
    // bins within 50 dB of the louder peak.
    double Distance(int a, int b)
    {
        const CRow& p = Spectrum(a);
        const CRow& q = Spectrum(b);
        const double peak = std::max(p.m_dPeak, q.m_dPeak);
        if (!std::isfinite(peak))
            return 0.0;
        const double floor = peak - 2 * kTimbreRangeDb;
        const double range = peak - kTimbreRangeDb;
        double sum = 0.0;
        int count = 0;
        for (int k = 0; k < m_nBins; ++k) {
            const double u = std::max(p.m_db[std::size_t(k)], floor), v = std::max(q.m_db[std::size_t(k)], floor);
            const bool inside = std::max(u, v) >= range;
            sum += inside ? (u - v) * (u - v) : 0.0;
            count += inside;
        }
        return std::sqrt(sum / count);
    }

private:
    const std::complex<double>* Bank(int b, int c) const
    {
        return m_banks.m_pSpectra +
               (std::size_t(b) * std::size_t(m_nChannels) + std::size_t(c)) * std::size_t(m_banks.m_nBankSize / 2);
    }
    struct CRow {
        std::vector<double> m_db;  // empty until computed
        double m_dPeak = -kInf;
    };
    const CRow& Spectrum(int first)
    {
        CRow& row = m_rows[std::size_t(first)];
        if (!row.m_db.empty())
            return row;
        row.m_db.assign(std::size_t(m_nBins), 0.0);
        for (int b = first; b < first + m_nGroup; ++b)
            for (int c = 0; c < m_nChannels; ++c) {
                const std::complex<double>* p = Bank(b, c);
                for (int k = 1; k <= m_nBins; ++k)
                    row.m_db[std::size_t(k - 1)] += std::norm(0.5 * p[k] - 0.25 * (p[k - 1] + p[k + 1]));
            }
        for (double& v : row.m_db) {
            v = v > 0.0 ? 10.0 * std::log10(v) : -kInf;
            row.m_dPeak = std::max(row.m_dPeak, v);
        }
        return row;
    }

    const CBankView& m_banks;
    int m_nChannels;
    int m_nBins;
    int m_nGroup;
    std::vector<CRow> m_rows;  // by first bank
};

// Linear cross-correlations through one transform context:
// out[l] = Σ_k a[k]·b[k + l] for l = 0 … |b| − |a|.
class CCorrelator {
public:
    void Correlate(const std::vector<double>& a, const std::vector<double>& b, std::vector<double>& out)
    {
        int size = 4;
        while (size < int(b.size()) + 1)
            size *= 2;
        m_fft.FftSetup(size);
        m_spectrum.resize(std::size_t(size));
        Transform(a, size);
        std::copy(m_fft.GetWork(), m_fft.GetWork() + size, m_spectrum.begin());
        Transform(b, size);
        Complex* w = m_fft.GetWork();
        for (int k = 0; k < size; ++k)
            w[k] = std::conj(m_spectrum[std::size_t(k)]) * w[k];
        m_fft.SetSign(+1);
        m_fft.FftTransform(0, 1);
        w = m_fft.GetWork();
        out.resize(b.size() - a.size() + 1);
        for (std::size_t l = 0; l < out.size(); ++l)
            out[l] = w[l].real() / size;
        m_fft.FftRelease();
    }

private:
    void Transform(const std::vector<double>& v, int size)
    {
        Complex* w = m_fft.GetWork();
        for (int k = 0; k < size; ++k)
            w[k] = Complex(k < int(v.size()) ? v[std::size_t(k)] : 0.0, 0.0);
        m_fft.SetSign(-1);
        m_fft.FftTransform(0, 1);
    }

    FftContext m_fft;
    std::vector<Complex> m_spectrum;
};

// Frames first … first + count − 1 of channel c (silence outside).
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

// Running energy of all channels over frames first … last − 1, for the
// level on either side of many nearby splices.
class CEnergy {
public:
    CEnergy(const CFrameView& x, int first, int last) : m_nFirst(std::max(first, 0))
    {
        last = std::min(last, x.m_nFrameCount);
        m_prefix.assign(std::size_t(std::max(last - m_nFirst, 0)) + 1, 0.0);
        for (int f = m_nFirst; f < last; ++f) {
            double e = 0.0;
            for (int c = 0; c < x.m_nChannels; ++c)
                e += x.At(f, c) * x.At(f, c);
            m_prefix[std::size_t(f - m_nFirst) + 1] = m_prefix[std::size_t(f - m_nFirst)] + e;
        }
    }
    // Energy of frames a … b − 1 (cut to the range held).
    double Sum(int a, int b) const
    {
        const int last = m_nFirst + int(m_prefix.size()) - 1;
        a = std::clamp(a, m_nFirst, last);
        b = std::clamp(b, m_nFirst, last);
        return b > a ? m_prefix[std::size_t(b - m_nFirst)] - m_prefix[std::size_t(a - m_nFirst)] : 0.0;
    }

private:
    int m_nFirst;
    std::vector<double> m_prefix;
};

// |dB| between two energies over equal spans; 0 when both are silent.
double LevelDifference(double before, double after)
{
    if (before == after)
        return 0.0;
    if (before <= 0.0 || after <= 0.0)
        return kInf;
    return std::fabs(10.0 * std::log10(before / after));
}

// A loop with how its seam and level compare with what the sound allows.
struct CChoice {
    int m_nStart = 0;
    int m_nEnd = 0;
    double m_dSeam = kInf;   // splice jump / the sound's typical jump
    double m_dLevel = kInf;  // dB across the splice
    // 1 or less when both are within what sounds seamless.
    double Badness() const { return std::max(m_dSeam, m_dLevel / kLevelMatchDb); }
    // What the splice search minimises: both, each against its limit.
    double Score() const { return m_dSeam + m_dLevel / kLevelMatchDb; }
    bool IsGood() const { return Badness() <= 1.0; }
};

// The lag of least mismatch near the local minimum at index i of `err`
// (lags lagLo on), to a fraction of a frame: the vertex of the parabola
// through it and its neighbours.
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

// The start in sLo … sHi and the whole loop length in lagLo … lagHi whose
// splice continues value and slope best with the levels on both sides
// closest (least Score), inside the steady part.
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
            const double level = LevelDifference(energy.Sum(s + l - w, s + l), energy.Sum(s, s + w));
            const double score = seam + level / kLevelMatchDb;
            if (score < bestScore) {
                bestScore = score;
                best = {s, s + l, seam, level};
            }
        }
    }
    return best;
}

// The best splice (BestSplice) for a loop of about `lag` frames: of the
// nearest whole length, unless that gives no comfortably clean splice; then
// of any length within a thirty-second of the `period` (the waveforms stay
// in phase) and within kPitchTolerance of the lag (the pitch stays).
CChoice SettleSplice(const CFrameView& x, const CSteadyPart& steady, const CEnergy& energy, int sLo, int sHi,
                     double lag, int period, double typical)
{
    // The nearest whole length first; others only when it gives no
    // comfortably clean splice.
    const int nearest = std::max(2, int(std::lround(lag)));
    const CChoice best = BestSplice(x, steady, energy, sLo, sHi, nearest, nearest, typical);
    if (best.m_dSeam <= kComfortableSeam)
        return best;
    const double spread = std::min(period / 32.0, kPitchTolerance * lag);
    const CChoice wide = BestSplice(x, steady, energy, sLo, sHi, std::max(2, int(std::ceil(lag - spread))),
                                    std::max(2, int(std::floor(lag + spread))), typical);
    return wide.Score() < best.Score() ? wide : best;
}

// Aligns the end of the pair s0, e0 (within `reach` frames) to the waveform
// around the start: every lag that matches about as well as the best one
// gets its splice settled near s0, and the best of those is returned.
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

struct CCandidate {
    int m_nStart = 0;  // frames
    int m_nEnd = 0;
    double m_dCost = 0.0;  // ≤ 1: matches as well as neighbouring stretches do
};

// Start and end pairs on the bank grid: starts spread over the first half
// of the steady part, ends on the banks after them. A pair's cost compares
// the spectrum after the start with the one before the end, relative to how
// much neighbouring stretches of the sound differ (in dB, so a level
// difference counts too). Sorted as they are to be tried.
std::vector<CCandidate> BankCandidates(const CBankView& banks, CBankTimbre& timbre, int firstBank, int lastBank)
{
    const int n = banks.m_nBankSize;
    const int g = timbre.GetGroup();
    // How much neighbouring stretches differ, from at most about
    // kNeighbourCount pairs spread over the steady part.
    std::vector<double> neighbour;
    const int step = std::max(1, (lastBank - firstBank) / kNeighbourCount);
    for (int b = firstBank; b + 2 * g <= lastBank; b += step)
        neighbour.push_back(timbre.Distance(b, b + g));
    const double typical = std::max(Median(neighbour), 1e-9);
    const int stride = std::max(1, (lastBank - firstBank) / (2 * kStartCount));
    std::vector<CCandidate> candidates;
    for (int i = 0; i < kStartCount; ++i) {
        const int a = firstBank + i * stride;
        // Longest first; once a start has as many matching ends as will be
        // tried, its shorter ones cannot be among them.
        int good = 0;
        for (int b = lastBank; b >= a + 2 * g && good < kRefineCount; --b) {
            candidates.push_back({a * n, b * n, timbre.Distance(a, b - g) / typical});
            good += candidates.back().m_dCost <= 1.0;
        }
    }
    // Longest first among those that match; then the closest matches.
    std::stable_sort(candidates.begin(), candidates.end(), [](const CCandidate& p, const CCandidate& q) {
        const bool pGood = p.m_dCost <= 1.0, qGood = q.m_dCost <= 1.0;
        if (pGood != qGood)
            return pGood;
        if (pGood)
            return p.m_nEnd - p.m_nStart > q.m_nEnd - q.m_nStart;
        return p.m_dCost < q.m_dCost;
    });
    return candidates;
}

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

}  // namespace

std::optional<CLoopSpan> FindAutoLoop(const CFrameView& x, const CBankView& banks)
{
    if (x.m_nFrameCount < 4 || x.m_nChannels <= 0 || banks.m_nBankSize < 16)
        return std::nullopt;
    const int n = banks.m_nBankSize;
    const CEnvelope env(x, kAttackWindowSeconds);
    const std::optional<CSteadyPart> steady = FindSteadyPart(env, x.m_nFrameCount, FindDropouts(x));
    if (!steady || steady->Length() < 4)
        return std::nullopt;
    const double typical = TypicalJump(x, *steady);
    CCorrelator corr;

    const int firstBank = (steady->m_nBegin + n - 1) / n;
    const int lastBank = std::min(banks.m_nBankCount, steady->m_nEnd / n);  // exclusive
    CBankTimbre timbre(x, banks);
    std::optional<CChoice> chosen;
    if (lastBank - firstBank >= 2 * timbre.GetGroup() + 1) {
        const std::vector<CCandidate> candidates = BankCandidates(banks, timbre, firstBank, lastBank);
        for (int i = 0; i < int(candidates.size()) && i < kRefineCount; ++i) {
            const CCandidate& p = candidates[std::size_t(i)];
            const CChoice c = AlignPair(corr, x, *steady, p.m_nStart, p.m_nEnd, n, typical);
            if (!chosen || c.Badness() < chosen->Badness())
                chosen = c;
            if (c.IsGood())
                break;
        }
    } else {
        // Too short to compare banks. Half a bank of steady sound is enough
        // for a natural one; a sample shorter than one bank has no steady
        // part unless it is one wave repeating exactly.
        chosen = ShortSteadyLoop(corr, x, *steady, n, banks.m_nBankCount > 0 && steady->Length() >= n / 2, typical);
    }
    // A loop across a level jump this large is no loop of a steady sound.
    if (!chosen || !std::isfinite(chosen->m_dSeam) || !(chosen->m_dLevel <= kMaxLevelJumpDb))
        return std::nullopt;
    return CLoopSpan{chosen->m_nStart, chosen->m_nEnd};
}
