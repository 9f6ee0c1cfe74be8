// Pitch detection in two stages. A coarse period comes from the normalised
// autocorrelation of a few windows spread over the steady part (the first
// lag that repeats nearly as well as the best one, which is the true period
// whether the fundamental is strong, weak or missing). The fine frequency
// comes from following the phase of each of the first harmonics across the
// whole steady part: its mean advance is the mean frequency, unaffected by
// vibrato and, over seconds, precise to thousandths of a cent.
// The harmonics' frequencies divided by their numbers are then fitted with
// the stretched-string law f_k = k·f·√(1 + B·k²), so that piano-like
// overtones do not pull the fundamental sharp.

#include "analysis/Pitch.h"

#include "analysis/Envelope.h"
#include "analysis/Fft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <numeric>
#include <vector>

namespace {

// The lowest fundamental looked for: a little below C0 (16.35 Hz), the
// lowest pipe of a 32′ stop's second octave and of every 16′ stop.
constexpr double kLowestHz = 15.0;
// The highest: periods shorter than three frames cannot be told apart from
// their octaves by the autocorrelation.
constexpr double kHighestShareOfRate = 1.0 / 3.0;
// The level is followed in windows this long: long enough to smooth out the
// beating of partials, short enough to find the attack's end.
constexpr double kEnvelopeSeconds = 0.05;
// ... and taken this many times per window: the steady part's edges then
// fall to under a millisecond, far finer than a vibrato cycle or a drift,
// without a value for every frame of a long recording.
constexpr int kLevelStepsPerWindow = 64;
// Below this share of the typical level after the attack the sound is
// fading out: its pitch still holds, but noise takes over.
constexpr double kSustainShare = 0.25;  // −12 dB
// Quieter than this share of the peak is silence after the sound.
constexpr double kSilenceShare = 0.1;
// A steady part must hold at least this many periods of the coarse pitch
// for its phase to be followed.
constexpr int kMinPeriods = 8;
// ... and last at least this long: shorter sounds are clicks.
constexpr double kMinSteadySeconds = 0.05;
// The coarse period is measured in up to this many windows, so that one
// glitch or the swing of a vibrato cannot decide it.
constexpr int kCoarseWindows = 5;
// A window holds three of the longest periods looked for.
constexpr int kWindowPeriods = 3;
// A lag whose normalised autocorrelation reaches this share of the best
// one's is taken as the period: the shortest lag that repeats nearly as
// well as any is the fundamental's, not one of its multiples.
constexpr double kKeyMaximumShare = 0.9;
// A window repeats at its period at least this well (normalised
// autocorrelation) when the sound has a pitch: a tone 10 dB above the noise
// reaches 0.9, one 20 dB above it 0.99; noise, resonant noise (wind) and
// drums stay below.
constexpr double kMinClarity = 0.9;
// Windows whose coarse pitch lies further than this from the median are an
// octave slip or a glide; more than half of them mean no steady pitch.
constexpr double kCoarseAgreementCents = 50.0;
// The phase is sampled once per this many periods, each sample a triangle
// over two such blocks: the sum over whole periods rejects the neighbouring
// harmonics, and the phase advances by well under half a turn between
// samples even with a wide vibrato. The shortest block is the best: the
// triangle's response is then so broad that a vibrato swinging a harmonic
// across it hardly changes its weight, so no part of the vibrato cycle is
// favoured, however the demodulation frequency falls.
constexpr int kBlockPeriods = 1;
// The first harmonics refine the coarse pitch before the higher ones are
// followed, whose phase would otherwise turn too far between samples.
constexpr int kFirstStageHarmonics = 3;
// Harmonics followed at most; higher ones add little and are the most
// stretched.
constexpr int kMaxHarmonics = 8;
// Harmonics are kept up to this share of the Nyquist frequency, clear of
// the anti-alias filter.
constexpr double kNyquistShare = 0.9;
// A harmonic weaker than this share of the strongest one's energy is noise
// (a missing fundamental, say).
constexpr double kMinHarmonicShare = 1e-3;  // −30 dB
// Harmonics further than this from the others' median are not this tone's
// (B = 1e−4 stretches the eighth harmonic by about 5 cents).
constexpr double kHarmonicOutlierCents = 25.0;
// Odd harmonics this much weaker than the even ones are not there: the
// fundamental is twice the frequency taken (−30 dB).
constexpr double kMinOddShare = 1e-3;
// How often the pitch may be taken an octave higher for want of odd harmonics.
constexpr int kMaxOctavesUp = 2;
// At most this much of the steady part (seconds, from its start, the part
// a sampler plays first) is measured: over it the mean frequency is known
// to thousandths of a cent, and a take of many minutes would otherwise hold
// the window for a second at every change of its frames.
constexpr double kMaxMeasuredSeconds = 30.0;
// A short sample's loop is repeated this long (seconds) to be measured.
constexpr double kLoopedSeconds = 1.0;
// Two channels whose mix keeps less than this share of their energy are
// out of phase; the louder channel alone is then measured.
constexpr double kMixEnergyShare = 0.25;

constexpr double kTwoPi = 2.0 * std::numbers::pi;

double CentsBetween(double a, double b) { return 1200.0 * std::log2(a / b); }

double Median(std::vector<double> v)
{
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

// The frames of `span` as one channel without its mean: the mix of the
// channels, or the louder one when they cancel in the mix.
std::vector<double> MonoSpan(const CFrameView& frames, CFrameSpan span)
{
    const int n = span.Length();
    const int channels = frames.m_nChannels;
    std::vector<double> mix(std::size_t(n), 0.0);
    std::vector<double> channelEnergy(std::size_t(channels), 0.0);
    for (int f = 0; f < n; ++f) {
        double sum = 0.0;
        for (int c = 0; c < channels; ++c) {
            const double v = frames.At(span.m_nBegin + f, c);
            sum += v;
            channelEnergy[std::size_t(c)] += v * v;
        }
        mix[std::size_t(f)] = sum / channels;
    }
    double mixEnergy = 0.0;
    for (const double v : mix)
        mixEnergy += v * v;
    const auto loudest = std::max_element(channelEnergy.begin(), channelEnergy.end());
    const double meanEnergy = std::accumulate(channelEnergy.begin(), channelEnergy.end(), 0.0) / channels;
    if (channels > 1 && mixEnergy < kMixEnergyShare * meanEnergy) {
        const int c = int(loudest - channelEnergy.begin());
        for (int f = 0; f < n; ++f)
            mix[std::size_t(f)] = frames.At(span.m_nBegin + f, c);
    }
    const double mean = std::accumulate(mix.begin(), mix.end(), 0.0) / std::max(1, n);
    for (double& v : mix)
        v -= mean;
    return mix;
}

struct CCoarse {
    double m_dPeriod = 0.0;  // frames
    double m_dClarity = 0.0;
};

// The period of x[begin … begin + window − 1] by the normalised
// autocorrelation 2·r(τ) / Σ(x_j² + x_{j+τ}²), which is 1 for an exact
// repetition at lag τ; nullopt when no lag repeats.
std::optional<CCoarse> CoarsePeriod(FftContext& fft, const std::vector<double>& x, int begin, int window,
                                    int minLag, int maxLag)
{
    const int size = fft.GetSize();
    // The window without its mean, zero-padded so that the lags needed do
    // not wrap around.
    std::vector<double> w(x.begin() + begin, x.begin() + begin + window);
    const double mean = std::accumulate(w.begin(), w.end(), 0.0) / window;
    double energy = 0.0;
    for (double& s : w) {
        s -= mean;
        energy += s * s;
    }
    std::vector<double> buffer(std::size_t(size), 0.0);
    std::copy(w.begin(), w.end(), buffer.begin());
    std::vector<Complex> bins(std::size_t(size / 2));
    fft.FftAnalyze(buffer.data(), bins.data());
    bins[0] = 0.0;
    for (std::size_t k = 1; k < bins.size(); ++k)
        bins[k] = std::norm(bins[k]);
    fft.FftSynthesize(bins.data(), buffer.data());
    // buffer is now the autocorrelation up to one scale factor.
    if (energy <= 0.0 || buffer[0] <= 0.0)
        return std::nullopt;
    const double scale = energy / buffer[0];
    std::vector<double> nsdf(std::size_t(maxLag + 2), 0.0);
    double m = 2.0 * energy;
    for (int lag = 1; lag <= maxLag + 1; ++lag) {
        const double a = w[std::size_t(lag - 1)];
        const double b = w[std::size_t(window - lag)];
        m -= a * a + b * b;
        nsdf[std::size_t(lag)] = m > 0.0 ? 2.0 * scale * buffer[std::size_t(lag)] / m : 0.0;
    }
    // The maxima of the positive stretches after the first fall below zero.
    std::vector<int> peaks;
    int lag = 1;
    while (lag <= maxLag && nsdf[std::size_t(lag)] >= 0.0)
        ++lag;
    int best = -1;
    for (; lag <= maxLag; ++lag) {
        const double v = nsdf[std::size_t(lag)];
        if (v > 0.0 && (best < 0 || v > nsdf[std::size_t(best)]))
            best = lag;
        if ((v <= 0.0 || lag == maxLag) && best >= 0) {
            if (best >= minLag && best < maxLag)
                peaks.push_back(best);
            best = -1;
        }
    }
    if (peaks.empty())
        return std::nullopt;
    double highest = 0.0;
    for (const int p : peaks)
        highest = std::max(highest, nsdf[std::size_t(p)]);
    for (const int p : peaks) {
        if (nsdf[std::size_t(p)] < kKeyMaximumShare * highest)
            continue;
        const double a = nsdf[std::size_t(p - 1)], b = nsdf[std::size_t(p)], c = nsdf[std::size_t(p + 1)];
        const double den = a - 2.0 * b + c;
        const double shift = den < 0.0 ? 0.5 * (a - c) / den : 0.0;
        return CCoarse{p + std::clamp(shift, -0.5, 0.5), b};
    }
    return std::nullopt;
}

struct CHarmonic {
    int m_nNumber = 0;
    double m_dFrequency = 0.0;  // Hz
    double m_dEnergy = 0.0;     // mean squared amplitude per frame
};

// The mean frequency of the component of x near `hz`: its phase sampled once
// per `block` frames and the mean advance between samples. Each sample
// weighs the two blocks around it with a triangle: the neighbouring
// harmonics then cancel even where a vibrato or the rounding of the block to
// whole frames moves them off its zeros (the error grows with the square of
// that offset, not with the offset), so the result does not hang on the
// block's length or on where the grid of blocks starts.
CHarmonic FollowHarmonic(const std::vector<double>& x, int number, double hz, int block, int rate)
{
    const int cells = int(x.size()) / block;
    // Per block: the sum of the demodulated frames, and the same under a
    // ramp rising from 0 to 1 over the block.
    std::vector<Complex> flat(static_cast<std::size_t>(cells)), rising(static_cast<std::size_t>(cells));
    const double cycles = hz / rate;  // per frame
    const Complex step = std::polar(1.0, -kTwoPi * cycles);
    const double rampStep = 1.0 / block;
    for (int j = 0; j < cells; ++j) {
        const double start = double(j) * block * cycles;
        const Complex p0 = std::polar(1.0, -kTwoPi * (start - std::floor(start)));
        // The rotation spelled out in real arithmetic: std::complex's product
        // guards against infinities through a library call on every frame.
        double pr = p0.real(), pi = p0.imag(), sr = 0.0, si = 0.0, rr = 0.0, ri = 0.0;
        double ramp = 0.5 * rampStep;
        const double cr = step.real(), ci = step.imag();
        const double* v = x.data() + std::size_t(j) * std::size_t(block);
        for (int i = 0; i < block; ++i) {
            const double re = v[i] * pr, im = v[i] * pi;
            sr += re;
            si += im;
            rr += re * ramp;
            ri += im * ramp;
            ramp += rampStep;
            const double t = pr * cr - pi * ci;
            pi = pr * ci + pi * cr;
            pr = t;
        }
        flat[std::size_t(j)] = Complex(sr, si);
        rising[std::size_t(j)] = Complex(rr, ri);
    }
    // Sample j rises over block j and falls over block j + 1: centred on
    // frame (j + 1)·block.
    const int blocks = std::max(0, cells - 1);
    std::vector<Complex> z(static_cast<std::size_t>(blocks));
    for (int j = 0; j < blocks; ++j)
        z[std::size_t(j)] = (rising[std::size_t(j)] + flat[std::size_t(j + 1)] - rising[std::size_t(j + 1)]) /
                            double(block);
    std::vector<double> amplitude(z.size());
    double energy = 0.0;
    for (std::size_t j = 0; j < z.size(); ++j) {
        amplitude[j] = std::abs(z[j]);
        energy += amplitude[j] * amplitude[j];
    }
    CHarmonic result{number, hz, energy / std::max(1, blocks)};
    if (blocks < 2)
        return result;
    // The phase's advance from block to block, each wrapped on its own, so
    // that a slip where the harmonic all but vanishes (two voices beating)
    // does not carry on; averaged with the blocks' amplitudes under a Hann
    // taper, so that neither where the steady part is cut nor the phase of
    // a vibrato there sways the mean. The taper spans the whole part in
    // frames, not the whole blocks in it: frames left over after the last
    // block then fall where it is zero, and it stretches exactly with the
    // sound when that is played faster or slower.
    double sum = 0.0, weights = 0.0;
    for (int j = 1; j < blocks; ++j) {
        const Complex advance = z[std::size_t(j)] * std::conj(z[std::size_t(j - 1)]);
        const double taper = std::sin(std::numbers::pi * (j + 0.5) * block / double(x.size()));
        const double w = std::abs(advance) * taper * taper;
        sum += w * std::arg(advance);
        weights += w;
    }
    if (weights <= 0.0)
        return result;
    result.m_dFrequency = hz + sum / weights * rate / (kTwoPi * block);
    return result;
}

// The fundamental from harmonics' frequencies: a weighted fit of f_k / k =
// f0·(1 + B·k²/2) (a weighted mean when the overtones are not stretched),
// evaluated at k = 1. Weak harmonics and ones far from the rest are left
// out. 0 when none is left.
double FitFundamental(const std::vector<CHarmonic>& harmonics)
{
    double strongest = 0.0;
    for (const CHarmonic& h : harmonics)
        strongest = std::max(strongest, h.m_dEnergy);
    std::vector<CHarmonic> kept;
    for (const CHarmonic& h : harmonics)
        if (h.m_dEnergy >= kMinHarmonicShare * strongest && h.m_dEnergy > 0.0)
            kept.push_back(h);
    if (kept.empty())
        return 0.0;
    std::vector<double> perHarmonic;
    for (const CHarmonic& h : kept)
        perHarmonic.push_back(h.m_dFrequency / h.m_nNumber);
    const double median = Median(perHarmonic);
    double sw = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    int count = 0;
    for (const CHarmonic& h : kept) {
        const double y = h.m_dFrequency / h.m_nNumber;
        if (std::abs(CentsBetween(y, median)) > kHarmonicOutlierCents)
            continue;
        // A harmonic's frequency error is about the same in Hz for each, so
        // divided by its number it weighs with the number squared.
        const double w = h.m_dEnergy * h.m_nNumber * h.m_nNumber;
        const double k2 = double(h.m_nNumber) * h.m_nNumber;
        sw += w;
        sx += w * k2;
        sy += w * y;
        sxx += w * k2 * k2;
        sxy += w * k2 * y;
        ++count;
    }
    if (sw <= 0.0)
        return 0.0;
    const double mean = sy / sw;
    const double den = sw * sxx - sx * sx;
    if (count < 3 || den <= 0.0)
        return mean;
    const double stretch = (sw * sxy - sx * sy) / den;
    if (stretch <= 0.0)
        return mean;
    const double f0 = (sy - stretch * sx) / sw;
    return f0 + stretch;
}

// The fine frequency near coarseHz from its harmonics, which are left in
// `harmonics`: the first few refine the coarse pitch before the higher ones
// are followed. 0 when none is strong enough.
double FineFrequency(const std::vector<double>& x, double coarseHz, int rate, std::vector<CHarmonic>& harmonics)
{
    const double nyquist = kNyquistShare * rate / 2.0;
    const int harmonicsWanted = std::clamp(int(nyquist / coarseHz), 1, kMaxHarmonics);
    double hz = coarseHz;
    for (int k = 1; k <= harmonicsWanted; ++k) {
        if (k == kFirstStageHarmonics + 1) {
            const double refined = FitFundamental(harmonics);
            if (refined > 0.0 && std::abs(CentsBetween(refined, coarseHz)) < kCoarseAgreementCents)
                hz = refined;
        }
        const int block = std::max(1, int(std::lround(kBlockPeriods * rate / hz)));
        harmonics.push_back(FollowHarmonic(x, k, k * hz, block, rate));
    }
    return FitFundamental(harmonics);
}

}  // namespace

CPitch PitchFromFrequency(double frequency)
{
    const double midi = 69.0 + 12.0 * std::log2(frequency / 440.0);
    const double note = std::round(midi);
    return CPitch{frequency, int(note), 100.0 * (midi - note), 0.0};
}

std::optional<CFrameSpan> FindPitchSteadyPart(const CFrameView& frames)
{
    const int n = frames.m_nFrameCount;
    if (n <= 0 || frames.m_nChannels <= 0 || frames.m_nSampleRate <= 0)
        return std::nullopt;
    // The level in a window centred on every step of a fine grid, not on a
    // coarse one: the edges then move with the sound when it is played
    // faster or slower, and the same share of a vibrato or a drift falls
    // inside them.
    const int window = std::max(1, int(std::lround(kEnvelopeSeconds * frames.m_nSampleRate)));
    const int stride = std::max(1, window / kLevelStepsPerWindow);
    const int steps = (n + stride - 1) / stride;
    std::vector<double> energy(std::size_t(steps) + 1, 0.0);  // summed up to each step
    for (int f = 0; f < n; ++f) {
        double e = 0.0;
        for (int c = 0; c < frames.m_nChannels; ++c)
            e += frames.At(f, c) * frames.At(f, c);
        energy[std::size_t(f / stride) + 1] += e;
    }
    std::partial_sum(energy.begin(), energy.end(), energy.begin());
    const int windowSteps = std::max(1, window / stride);
    std::vector<double> level(static_cast<std::size_t>(steps));
    for (int i = 0; i < steps; ++i) {
        const int lo = std::max(0, i - windowSteps / 2);
        const int hi = std::min(steps, lo + windowSteps);
        const int count = std::min(n, hi * stride) - lo * stride;
        level[std::size_t(i)] = std::sqrt((energy[std::size_t(hi)] - energy[std::size_t(lo)]) / count);
    }
    const double peak = *std::max_element(level.begin(), level.end());
    if (!(peak > 0.0))
        return std::nullopt;
    // The attack ends where the level in long windows first comes near the
    // peak: short windows catch single loud cycles, and a slow swell would
    // then start the steady part at a different place in each take.
    const int first = int(std::find_if(level.begin(), level.end(),
                                       [&](double v) { return v >= kAttackPeakFraction * peak; }) -
                          level.begin());
    int last = steps - 1;
    while (last > first && level[std::size_t(last)] < kSilenceShare * peak)
        --last;
    const double sustain = Median(std::vector<double>(level.begin() + first, level.begin() + last + 1));
    while (last > first && level[std::size_t(last)] < kSustainShare * sustain)
        --last;
    const int begin = first * stride;
    const int end = std::min(n, (last + 1) * stride);
    if (end <= begin)
        return std::nullopt;
    return CFrameSpan{begin, end};
}

std::optional<CPitch> DetectPitch(const CFrameView& frames, CFrameSpan steady)
{
    const int rate = frames.m_nSampleRate;
    steady.m_nBegin = std::clamp(steady.m_nBegin, 0, frames.m_nFrameCount);
    steady.m_nEnd = std::clamp(steady.m_nEnd, steady.m_nBegin, frames.m_nFrameCount);
    if (rate <= 0 || frames.m_nChannels <= 0 || steady.Length() < kMinSteadySeconds * rate)
        return std::nullopt;
    steady.m_nEnd = int(std::min<std::int64_t>(steady.m_nEnd, steady.m_nBegin + std::int64_t(kMaxMeasuredSeconds * rate)));
    const std::vector<double> x = MonoSpan(frames, steady);
    const int n = int(x.size());

    // Coarse period in windows spread over the steady part.
    const int minLag = std::max(2, int(std::floor(1.0 / kHighestShareOfRate)));
    int maxLag = int(std::ceil(rate / kLowestHz));
    const int window = std::min(n, kWindowPeriods * maxLag);
    maxLag = std::min(maxLag, window / kWindowPeriods);
    if (maxLag <= minLag + 2)
        return std::nullopt;
    int size = 4;
    while (size < window + maxLag + 2)
        size *= 2;
    FftContext fft;
    fft.FftSetup(size);
    const int windows = std::clamp(n / window, 1, kCoarseWindows);
    std::vector<double> periods, clarities;
    for (int w = 0; w < windows; ++w) {
        const int begin = windows > 1 ? int(std::int64_t(n - window) * w / (windows - 1)) : 0;
        const auto coarse = CoarsePeriod(fft, x, begin, window, minLag, maxLag);
        if (coarse && coarse->m_dClarity >= kMinClarity) {
            periods.push_back(coarse->m_dPeriod);
            clarities.push_back(coarse->m_dClarity);
        }
    }
    fft.FftRelease();
    if (2 * int(periods.size()) <= windows && !(windows == 1 && periods.size() == 1))
        return std::nullopt;
    const double medianPeriod = Median(periods);
    const auto agreeing = std::count_if(periods.begin(), periods.end(), [&](double p) {
        return std::abs(CentsBetween(p, medianPeriod)) <= kCoarseAgreementCents;
    });
    if (2 * agreeing <= windows && windows > 1)
        return std::nullopt;
    if (n < kMinPeriods * medianPeriod)
        return std::nullopt;

    // Fine; a tone without odd harmonics sounds an octave higher (a short
    // period sampled coarsely can hide behind its double).
    double coarseHz = rate / medianPeriod;
    double fine = 0.0;
    for (int octave = 0; octave <= kMaxOctavesUp; ++octave) {
        std::vector<CHarmonic> harmonics;
        fine = FineFrequency(x, coarseHz, rate, harmonics);
        double odd = 0.0, even = 0.0;
        for (const CHarmonic& h : harmonics)
            (h.m_nNumber % 2 ? odd : even) += h.m_dEnergy;
        if (harmonics.size() < 2 || odd >= kMinOddShare * even || 2.0 * coarseHz > rate * kHighestShareOfRate)
            break;
        coarseHz *= 2.0;
    }
    if (!(fine > 0.0) || std::abs(CentsBetween(fine, coarseHz)) > kCoarseAgreementCents)
        return std::nullopt;
    CPitch pitch = PitchFromFrequency(fine);
    pitch.m_dConfidence = std::clamp(Median(clarities), 0.0, 1.0);
    return pitch;
}

std::optional<CPitch> DetectPitch(const CFrameView& frames)
{
    const auto steady = FindPitchSteadyPart(frames);
    if (!steady)
        return std::nullopt;
    return DetectPitch(frames, *steady);
}

std::optional<CPitch> DetectLoopedPitch(const CFrameView& frames, CFrameSpan loop)
{
    loop.m_nBegin = std::clamp(loop.m_nBegin, 0, frames.m_nFrameCount);
    loop.m_nEnd = std::clamp(loop.m_nEnd, loop.m_nBegin, frames.m_nFrameCount);
    if (loop.Length() <= 0 || frames.m_nChannels <= 0 || frames.m_nSampleRate <= 0)
        return std::nullopt;
    const int channels = frames.m_nChannels;
    const std::size_t head = std::size_t(loop.m_nEnd) * std::size_t(channels);
    const int total = std::max(loop.m_nEnd, loop.m_nEnd + int(kLoopedSeconds * frames.m_nSampleRate));
    std::vector<double> played(frames.m_pData, frames.m_pData + head);
    played.reserve(std::size_t(total) * std::size_t(channels));
    while (played.size() < std::size_t(total) * std::size_t(channels))
        played.insert(played.end(), frames.m_pData + std::size_t(loop.m_nBegin) * std::size_t(channels),
                      frames.m_pData + head);
    const CFrameView view{played.data(), int(played.size() / std::size_t(channels)), channels,
                          frames.m_nSampleRate};
    // The repeated loop is the steady part: no attack to skip, no fade.
    return DetectPitch(view, CFrameSpan{loop.m_nEnd, view.m_nFrameCount});
}

std::optional<double> LoopDetuneCents(double frequency, int loopLength, int sampleRate)
{
    if (!(frequency > 0.0) || loopLength <= 0 || sampleRate <= 0)
        return std::nullopt;
    const double periods = double(loopLength) * frequency / sampleRate;
    const double whole = std::round(periods);
    if (whole < 1.0)
        return std::nullopt;
    return CentsBetween(whole, periods);
}
