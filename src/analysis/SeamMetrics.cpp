#include "analysis/SeamMetrics.h"

#include "analysis/Envelope.h"
#include "analysis/Fft.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kInsidePercentile = 0.995;
constexpr double kLevelSeconds = 0.020;
constexpr int kTimbreWindow = 2048;
constexpr double kTimbreRangeDb = 50.0;
constexpr double kPi = 3.141592653589793;

bool IsValidLoop(const CFrameView& frames, int start, int end)
{
    return frames.m_nChannels > 0 && start >= 0 && end > start && end <= frames.m_nFrameCount;
}

double Ratio(double num, double den)
{
    if (den > 0.0)
        return num / den;
    return num > 0.0 ? kInf : 0.0;
}

// RMS of frames first … last − 1 (cut to the frames), all channels.
double Rms(const CFrameView& frames, int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, frames.m_nFrameCount);
    if (last <= first)
        return 0.0;
    double e = 0.0;
    for (int f = first; f < last; ++f)
        for (int c = 0; c < frames.m_nChannels; ++c)
            e += frames.At(f, c) * frames.At(f, c);
    return std::sqrt(e / (double(last - first) * frames.m_nChannels));
}

// Power spectrum (channels summed) of the Hann-windowed 2048 frames from
// `first` on, in dB.
void PowerDb(const CFrameView& frames, int first, FftContext& fft, std::vector<double>& db)
{
    std::vector<double> block(kTimbreWindow);
    std::vector<Complex> bins(kTimbreWindow / 2);
    std::vector<double> power(kTimbreWindow / 2, 0.0);
    for (int c = 0; c < frames.m_nChannels; ++c) {
        for (int j = 0; j < kTimbreWindow; ++j) {
            const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * j / kTimbreWindow);
            block[std::size_t(j)] = w * frames.AtChecked(first + j, c);
        }
        fft.FftAnalyze(block.data(), bins.data());
        for (int k = 0; k < kTimbreWindow / 2; ++k)
            power[std::size_t(k)] += std::norm(bins[std::size_t(k)]);
    }
    db.resize(power.size());
    for (std::size_t k = 0; k < power.size(); ++k)
        db[k] = power[k] > 0.0 ? 10.0 * std::log10(power[k]) : -kInf;
}

}  // namespace

double SpliceJump(const CFrameView& frames, int start, int end)
{
    if (!IsValidLoop(frames, start, end))
        return kInf;
    double worst = 0.0;
    for (int c = 0; c < frames.m_nChannels; ++c) {
        const double a = frames.AtChecked(end - 2, c), b = frames.At(end - 1, c);
        const double s = frames.At(start, c), t = frames.AtChecked(start + 1, c);
        worst = std::max({worst, std::fabs(a - 2.0 * b + s), std::fabs(b - 2.0 * s + t)});
    }
    return worst;
}

double InsideJump(const CFrameView& frames, int start, int end)
{
    if (!IsValidLoop(frames, start, end))
        return 0.0;
    return JumpPercentile(frames, start + 1, end - 1);
}

double JumpPercentile(const CFrameView& frames, int first, int last, int stride)
{
    first = std::max(first, 1);
    last = std::min(last, frames.m_nFrameCount - 1);
    if (last <= first || frames.m_nChannels <= 0)
        return 0.0;
    std::vector<double> d;
    d.reserve(std::size_t((last - first) / std::max(stride, 1) + 1) * std::size_t(frames.m_nChannels));
    for (int f = first; f < last; f += std::max(stride, 1))
        for (int c = 0; c < frames.m_nChannels; ++c)
            d.push_back(std::fabs(frames.At(f - 1, c) - 2.0 * frames.At(f, c) + frames.At(f + 1, c)));
    const auto k = std::size_t(std::ceil(kInsidePercentile * double(d.size()))) - 1;
    std::nth_element(d.begin(), d.begin() + std::ptrdiff_t(k), d.end());
    return d[k];
}

double SeamRatio(const CFrameView& frames, int start, int end)
{
    if (!IsValidLoop(frames, start, end))
        return kInf;
    return Ratio(SpliceJump(frames, start, end), InsideJump(frames, start, end));
}

double SeamLevelDb(const CFrameView& frames, int start, int end)
{
    if (!IsValidLoop(frames, start, end))
        return kInf;
    const int w = std::max(1, int(std::lround(frames.m_nSampleRate * kLevelSeconds)));
    const double before = Rms(frames, end - w, end);
    const double after = Rms(frames, start, start + w);
    if (before == after)
        return 0.0;
    if (before <= 0.0 || after <= 0.0)
        return kInf;
    return std::fabs(20.0 * std::log10(before / after));
}

double SeamTimbreDb(const CFrameView& frames, int start, int end)
{
    if (!IsValidLoop(frames, start, end))
        return kInf;
    FftContext fft;
    fft.FftSetup(kTimbreWindow);
    std::vector<double> a, b;
    PowerDb(frames, end - kTimbreWindow, fft, a);
    PowerDb(frames, start, fft, b);
    fft.FftRelease();
    double peak = -kInf;
    for (std::size_t k = 0; k < a.size(); ++k)
        peak = std::max({peak, a[k], b[k]});
    if (!std::isfinite(peak))
        return 0.0;  // both windows silent
    double sum = 0.0;
    int count = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (std::max(a[k], b[k]) < peak - kTimbreRangeDb)
            continue;
        // A silent bin on one side counts as the bottom of the range.
        const double d = std::max(a[k], peak - 2 * kTimbreRangeDb) - std::max(b[k], peak - 2 * kTimbreRangeDb);
        sum += d * d;
        ++count;
    }
    return std::sqrt(sum / count);
}

double SustainDb(const CFrameView& frames, int start, int end)
{
    if (!IsValidLoop(frames, start, end))
        return -kInf;
    const double sustain = SustainLevel(frames);
    const double loop = Rms(frames, start, end);
    if (loop == sustain)
        return 0.0;
    if (loop <= 0.0)
        return -kInf;
    if (sustain <= 0.0)
        return kInf;
    return 20.0 * std::log10(loop / sustain);
}

CSeamMetrics MeasureSeam(const CFrameView& frames, int start, int end)
{
    CSeamMetrics m;
    m.m_dSeam = SeamRatio(frames, start, end);
    m.m_dLevelDb = SeamLevelDb(frames, start, end);
    m.m_dTimbreDb = SeamTimbreDb(frames, start, end);
    m.m_bInAttack = start < AttackEndFrame(frames);
    m.m_dSustainDb = SustainDb(frames, start, end);
    m.m_bInTail = m.m_dSustainDb < kTailDb;
    return m;
}
