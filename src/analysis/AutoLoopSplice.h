// The parts of the automatic loop search that its files share: the steady
// part, cross-correlation of stretches of frames, the level on either side
// of a splice, and the splice search itself. Plain functions over frames;
// each call allocates its own work arrays, nothing is shared between calls.
#pragma once

#include "analysis/AutoLoop.h"
#include "analysis/Fft.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace autoloop {

inline constexpr double kInf = std::numeric_limits<double>::infinity();
// Level across the splice is measured over this long on either side.
inline constexpr double kLevelSeconds = 0.020;
// Levels across the splice this close sound the same.
inline constexpr double kLevelMatchDb = 0.3;
// A splice this far below the clean limit needs no search beyond the loop
// length nearest a whole number of periods.
inline constexpr double kComfortableSeam = 0.5;
// A loop may differ from a whole number of periods by this share of its
// length: each pass then shifts the pitch by under one cent (2^(1/1200) − 1
// is 5.78e-4), which no ear tells from the note played without a loop.
inline constexpr double kPitchTolerance = 5.7e-4;

struct CSteadyPart {
    int m_nBegin = 0;  // frames
    int m_nEnd = 0;    // frames, exclusive
    int Length() const { return m_nEnd - m_nBegin; }
};

double Median(std::vector<double> v);

// Linear cross-correlations through one transform context:
// out[l] = Σ_k a[k]·b[k + l] for l = 0 … |b| − |a|.
class CCorrelator {
public:
    void Correlate(const std::vector<double>& a, const std::vector<double>& b, std::vector<double>& out)
    {
        int size = 4;
        while (size < int(b.size()) + 1)
            size *= 2;
        FftContext& fft = Context(size);
        fft.FftSetup(size);
        m_spectrum.resize(std::size_t(size));
        Transform(fft, a, size);
        std::copy(fft.GetWork(), fft.GetWork() + size, m_spectrum.begin());
        Transform(fft, b, size);
        Complex* w = fft.GetWork();
        for (int k = 0; k < size; ++k)
            w[k] = std::conj(m_spectrum[std::size_t(k)]) * w[k];
        fft.SetSign(+1);
        fft.FftTransform(0, 1);
        w = fft.GetWork();
        out.resize(b.size() - a.size() + 1);
        for (std::size_t l = 0; l < out.size(); ++l)
            out[l] = w[l].real() / size;
        fft.FftRelease();
    }

private:
    // One context per transform size, so that a search alternating between
    // sizes builds each sine table once.
    FftContext& Context(int size)
    {
        std::unique_ptr<FftContext>& p = m_contexts[size];
        if (!p)
            p = std::make_unique<FftContext>();
        return *p;
    }
    static void Transform(FftContext& fft, const std::vector<double>& v, int size)
    {
        Complex* w = fft.GetWork();
        for (int k = 0; k < size; ++k)
            w[k] = Complex(k < int(v.size()) ? v[std::size_t(k)] : 0.0, 0.0);
        fft.SetSign(-1);
        fft.FftTransform(0, 1);
    }

    std::map<int, std::unique_ptr<FftContext>> m_contexts;
    std::vector<Complex> m_spectrum;
};

// Frames first … first + count − 1 of channel c (silence outside).
std::vector<double> Channel(const CFrameView& x, int c, int first, int count);

// How well the `window` frames around s match those around s + lag, for
// every lag in lagLo … lagHi: 1 − normalised correlation, summed over the
// channels (0 is a perfect match, 2 an inverted one).
std::vector<double> LagErrors(CCorrelator& corr, const CFrameView& x, int s, int window, int lagLo, int lagHi);

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
    // Mean energy per frame of frames a … b − 1 cut to the range held, so
    // that a window cut at the end of a short sound compares fairly.
    double Mean(int a, int b) const
    {
        const int last = m_nFirst + int(m_prefix.size()) - 1;
        a = std::clamp(a, m_nFirst, last);
        b = std::clamp(b, m_nFirst, last);
        return b > a ? Sum(a, b) / (b - a) : 0.0;
    }

private:
    int m_nFirst;
    std::vector<double> m_prefix;
};

// The mismatch of frames first … first + length − 1 with themselves `lag`
// frames later, for every lag 0 … maxLag (< length): 1 − the normalised
// correlation of the overlapping stretches, all channels (0 … 2; +infinity
// where the overlap is silent).
std::vector<double> SelfMismatch(CCorrelator& corr, const CFrameView& x, int first, int length, int maxLag);

// |dB| between two energies over equal spans; 0 when both are silent.
double LevelDifference(double before, double after);

// A loop with how its seam and level compare with what the sound allows.
struct CChoice {
    int m_nStart = 0;
    int m_nEnd = 0;
    double m_dSeam = kInf;   // splice jump / the sound's typical jump
    double m_dLevel = kInf;  // dB across the splice
    double m_dLag = 0.0;     // the whole number of periods it stands for, frames; 0 for noise
    // 1 or less when both are within what sounds seamless.
    double Badness() const { return std::max(m_dSeam, m_dLevel / kLevelMatchDb); }
    // What the splice search minimises: both, each against its limit.
    double Score() const { return m_dSeam + m_dLevel / kLevelMatchDb; }
    bool IsGood() const { return Badness() <= 1.0; }
};

// The lag of least mismatch near the local minimum at index i of `err`
// (lags lagLo on), to a fraction of a frame: the vertex of the parabola
// through it and its neighbours.
double FractionalLag(const std::vector<double>& err, int i, int lagLo);

// The start in sLo … sHi and the whole loop length in lagLo … lagHi whose
// splice continues value and slope best with the levels on both sides
// closest (least Score), inside the steady part.
CChoice BestSplice(const CFrameView& x, const CSteadyPart& steady, const CEnergy& energy, int sLo, int sHi,
                   int lagLo, int lagHi, double typical);

// The best splice (BestSplice) for a loop of about `lag` frames: of the
// nearest whole length, unless that gives no comfortably clean splice or
// is more than kPitchTolerance off; then of any length within a
// thirty-second of the `period` (the waveforms stay in phase) and within
// kPitchTolerance of the lag (the pitch stays). When no whole length is
// that close, the nearest one (m_dLag tells how far off it is).
CChoice SettleSplice(const CFrameView& x, const CSteadyPart& steady, const CEnergy& energy, int sLo, int sHi,
                     double lag, int period, double typical);

// Aligns the end of the pair s0, e0 (within `reach` frames) to the waveform
// around the start: every lag that matches about as well as the best one
// gets its splice settled near s0, and the best of those is returned.
CChoice AlignPair(CCorrelator& corr, const CFrameView& x, const CSteadyPart& steady, int s0, int e0, int reach,
                  double typical);

// A steady part too short for the bank comparison, searched on its frames
// (see AutoLoopShort.cpp); nullopt when it holds no clean loop.
std::optional<CChoice> ShortSteadyLoop(CCorrelator& corr, const CFrameView& x, const CSteadyPart& steady,
                                       double typical);

// The period of a pitched sound in the steady part, frames (to a fraction
// of one), or 0 when it has none: noise (see AutoLoopNoise.cpp).
double SteadyPeriod(CCorrelator& corr, const CFrameView& x, const CSteadyPart& steady);

// A loop of a sound without pitch: for each start and end pair (longest
// first, spectra matched), the splice nearby that is clean with the levels
// matched, with no regard to periods. The first good one, else the least bad.
std::optional<CChoice> NoiseLoop(const CFrameView& x, const CSteadyPart& steady,
                                 const std::vector<std::pair<int, int>>& pairs, double typical);

}  // namespace autoloop
