#include "analysis/AutoLoop.h"

#include "analysis/AutoLoopSplice.h"
#include "analysis/Envelope.h"
#include "analysis/Pitch.h"
#include "analysis/SeamMetrics.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

using namespace autoloop;

namespace {

// Digital silence this long inside a sound is a dropout.
constexpr double kDropoutSeconds = 0.002;
// Below a tenth of the sustain level the sound has stopped: a gap.
constexpr double kGapFraction = 0.1;
// The sound is steady from when its envelope first comes within 1 dB of its
// typical level until it last does: the attack's rise and the release's
// fall lie outside.
constexpr double kSteadyFraction = 0.8912509381337456;  // −1 dB
// When that leaves too little to compare spectra (a swelling or fading
// note), the steady part reaches to where the envelope is within 3 dB: the
// level match at the splice still keeps the loop's ends at one level.
constexpr double kBroadSteadyFraction = 0.7079457843841379;  // −3 dB
// Never below the tail limit under the sustain level (the 90th percentile
// of the envelope): a release or a fade that lasts longer than the held
// note pulls the median down, and a loop there would drop the note.
constexpr double kTailFraction = 0.5011872336272722;  // kTailDb, −6 dB
// Beyond this level jump across the splice nothing steady was found.
constexpr double kMaxLevelJumpDb = 3.0;
// Start positions tried, spread over the first three quarters of the
// steady part: a sound that settles late still gets a long loop.
constexpr int kStartCount = 24;
// Pairs of neighbouring stretches that tell how much the sound varies.
constexpr int kNeighbourCount = 256;
// Candidate pairs taken to the waveform, longest first; when none of them
// gives a clean splice, up to kMoreRefineCount (shorter or less alike).
constexpr int kRefineCount = 12;
constexpr int kMoreRefineCount = 48;
// The end of a pair moves over this many periods of a low note.
constexpr double kReachPeriods = 1.25;
// Pairs taken to the waveform when several loops are wanted.
constexpr int kManyRefineCount = 96;
// Clean loops apart from Auto Loop's own sought per further loop wanted,
// before the search stops: enough to order them by quality and still keep
// them apart from each other.
constexpr int kChoicesPerLoop = 3;
// Spectra are compared over about this many frames, as the ear hears a
// splice's surroundings.
constexpr int kTimbreFrames = 2048;
constexpr double kTimbreRangeDb = 50.0;

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
// silence, cut to where it comes within `steadyFraction` of the sound's
// typical level (the median after the attack), but not under the tail
// limit, and at every dropout (sorted, not overlapping).
std::optional<CSteadyPart> FindSteadyPart(const CEnvelope& env, int frameCount,
                                          const std::vector<CSteadyPart>& dropouts, double steadyFraction)
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
    const double floor = std::max(steadyFraction * level, kTailFraction * env.Percentile(kSustainPercentile));
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
        while (a <= b && env.Value(a) < floor)
            ++a;
        while (b >= a && env.Value(b) < floor)
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

struct CCandidate {
    int m_nStart = 0;  // frames
    int m_nEnd = 0;
    double m_dCost = 0.0;  // ≤ 1: matches as well as neighbouring stretches do
};

// Start and end pairs on the bank grid: starts spread over the first three
// quarters of the steady part, ends on the banks after them. A pair's cost compares
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
    const int stride = std::max(1, (lastBank - firstBank) * 3 / (4 * kStartCount));
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

// What every search of one sample starts from: the steady part, the seam's
// yardstick there, and, when it is long enough to compare spectra, the
// start and end pairs to try and whether the sound has a pitch.
struct CPrepared {
    std::optional<CSteadyPart> m_steady;  // none: nothing to loop
    double m_dTypical = 0.0;              // TypicalJump
    bool m_bBankPath = false;             // long enough to compare banks
    bool m_bNoise = false;                // no period found
    int m_nReach = 0;                     // frames an end moves to meet the waveform
    std::vector<CCandidate> m_candidates;
};

CPrepared Prepare(const CFrameView& x, const CBankView& banks, CCorrelator& corr)
{
    CPrepared prepared;
    if (x.m_nFrameCount < 4 || x.m_nChannels <= 0 || banks.m_nBankSize < 16)
        return prepared;
    const int n = banks.m_nBankSize;
    const CEnvelope env(x, kAttackWindowSeconds);
    const std::vector<CSteadyPart> dropouts = FindDropouts(x);
    std::optional<CSteadyPart> steady = FindSteadyPart(env, x.m_nFrameCount, dropouts, kSteadyFraction);
    CBankTimbre timbre(x, banks);
    const auto banksIn = [&](const CSteadyPart& part) {
        return std::min(banks.m_nBankCount, part.m_nEnd / n) - (part.m_nBegin + n - 1) / n;
    };
    const int enough = 2 * timbre.GetGroup() + 1;
    if (steady && banksIn(*steady) < enough) {
        // Too short to compare spectra: a swelling or fading note may hold
        // more within a few dB.
        const std::optional<CSteadyPart> broad =
            FindSteadyPart(env, x.m_nFrameCount, dropouts, kBroadSteadyFraction);
        if (broad && broad->Length() > steady->Length())
            steady = broad;
    }
    if (!steady || steady->Length() < 4)
        return prepared;
    prepared.m_steady = steady;
    prepared.m_dTypical = TypicalJump(x, *steady);
    const int firstBank = (steady->m_nBegin + n - 1) / n;
    const int lastBank = std::min(banks.m_nBankCount, steady->m_nEnd / n);  // exclusive
    prepared.m_bBankPath = lastBank - firstBank >= enough;
    if (!prepared.m_bBankPath)
        return prepared;
    prepared.m_candidates = BankCandidates(banks, timbre, firstBank, lastBank);
    const double period = SteadyPeriod(corr, x, *steady);
    prepared.m_bNoise = period <= 0.0;
    // The end moves over at least a period and a bit, so that a low note's
    // every point is a possible splice.
    prepared.m_nReach = std::max(n, int(std::ceil(kReachPeriods * period)));
    return prepared;
}

// The loop from candidate pair i: spliced without regard to periods for
// noise, aligned to the waveform otherwise.
CChoice TryPair(const CPrepared& p, CCorrelator& corr, const CFrameView& x, std::size_t i)
{
    const CCandidate& c = p.m_candidates[i];
    if (p.m_bNoise)
        return NoiseLoop(x, *p.m_steady, {{c.m_nStart, c.m_nEnd}}, p.m_dTypical).value_or(CChoice{});
    return AlignPair(corr, x, *p.m_steady, c.m_nStart, c.m_nEnd, p.m_nReach, p.m_dTypical);
}

// Clean by the seam measure with the levels matched, though perhaps not by
// the search's stricter limits.
bool IsClean(const CFrameView& x, const CChoice& c)
{
    return c.IsGood() || (c.m_dLevel <= kLevelMatchDb && SeamRatio(x, c.m_nStart, c.m_nEnd) <= kCleanSeam);
}

// The length a loop of the steady part should have at least (frames):
// kMinLoopSeconds, and kMinLoopShare of a steady part longer than
// kLongSteadySeconds.
double WantedLength(const CFrameView& x, const CSteadyPart& steady)
{
    const double steadySeconds = double(steady.Length()) / std::max(x.m_nSampleRate, 1);
    return std::max(kMinLoopSeconds * x.m_nSampleRate,
                    steadySeconds > kLongSteadySeconds ? kMinLoopShare * steady.Length() : 0.0);
}

// The pitch shift of a loop's length against the periods it stands for,
// cents (0 when the search measured no lag).
double DetuneCents(const CChoice& c)
{
    return c.m_dLag > 0.0 ? 1200.0 * std::log2(c.m_dLag / (c.m_nEnd - c.m_nStart)) : 0.0;
}

// Whole numbers of periods tried around the loop's own: the nearest, one
// fewer (the end may lie at the steady part's end) and one more.
constexpr int kTunedPeriodSteps[] = {0, -1, 1};
// A loop brought in tune may start this far from its own start, and at
// least two periods: a sound whose waveform wanders (vibrato, chorus)
// matches an in-tune length better at some places than at others.
constexpr double kTunedStartSeconds = 0.020;
constexpr double kTunedStartPeriods = 2.0;
// In-tune splices whose waveforms are compared, cleanest first: each costs
// a correlation, and a sound whose in-tune lengths match nowhere would
// otherwise cost one per length.
constexpr int kTunedMatchTries = 16;

// The loop moved to a length within kMaxDetuneCents of a whole number of
// periods of `frequency` (Hz) where the waveform after the end matches the
// one after the start about as well as at its own length, with the
// cleanest splice among those lengths and starts near its own; nullopt
// when no whole number of frames is that close (`noLength` then says so)
// or no such splice is clean. The search's own period may differ from the
// detected pitch by more than a cent over a long loop (vibrato, beating
// voices, a rank an octave under the one the search locked on).
std::optional<CChoice> TuneToPitch(CCorrelator& corr, const CFrameView& x, const CSteadyPart& steady,
                                   const CChoice& chosen, double frequency, double typical, bool& noLength)
{
    const double period = x.m_nSampleRate / frequency;
    const int s0 = chosen.m_nStart, length = chosen.m_nEnd - chosen.m_nStart;
    const double own = std::round(length / period);
    const int sReach = int(std::ceil(std::max(kTunedStartPeriods * period, kTunedStartSeconds * x.m_nSampleRate)));
    const int w = std::max(1, int(std::lround(x.m_nSampleRate * kLevelSeconds)));
    // A splice whose value and slope happen to continue is no loop unless
    // the waveforms match too (the rule AlignPair keeps lags by).
    const double match = 2.0 * LagErrors(corr, x, s0, 2 * sReach, length, length)[0] + 1e-3;
    noLength = true;
    std::vector<CChoice> clean;  // the best splice of each length in tune
    for (const int step : kTunedPeriodSteps) {
        const double target = (own + step) * period;
        if (own + step < 1.0)
            continue;
        const double spread = kPitchTolerance * target;
        const int lo = int(std::ceil(target - spread)), hi = int(std::floor(target + spread));
        if (hi < lo || lo < 2)
            continue;
        noLength = false;
        const CEnergy energy(x, s0 - sReach - 2 * w, s0 + sReach + hi + w);
        for (int l = lo; l <= hi; ++l) {
            CChoice c = BestSplice(x, steady, energy, s0 - sReach, s0 + sReach, l, l, typical);
            c.m_dLag = target;
            if (std::isfinite(c.m_dSeam) && IsClean(x, c))
                clean.push_back(c);
        }
    }
    // The cleanest whose waveforms match, of the first few.
    std::stable_sort(clean.begin(), clean.end(),
                     [](const CChoice& a, const CChoice& b) { return a.Score() < b.Score(); });
    for (std::size_t i = 0; i < std::min(clean.size(), std::size_t(kTunedMatchTries)); ++i) {
        const CChoice& c = clean[i];
        if (LagErrors(corr, x, c.m_nStart, 2 * sReach, c.m_nEnd - c.m_nStart, c.m_nEnd - c.m_nStart)[0] <= match)
            return c;
    }
    return std::nullopt;
}

}  // namespace

CAutoLoopResult FindAutoLoopResult(const CFrameView& x, const CBankView& banks)
{
    return FindAutoLoopResult(x, banks, [&x] {
        const std::optional<CPitch> pitch = DetectPitch(x);
        return pitch ? pitch->m_dFrequency : 0.0;
    });
}

CAutoLoopResult FindAutoLoopResult(const CFrameView& x, const CBankView& banks,
                                   const std::function<double()>& pitchHz)
{
    CAutoLoopResult result;
    CCorrelator corr;
    const CPrepared p = Prepare(x, banks, corr);
    if (!p.m_steady)
        return result;
    const CSteadyPart& steady = *p.m_steady;
    std::optional<CChoice> chosen;
    if (p.m_bBankPath && p.m_bNoise) {
        result.m_bNoise = true;
        std::vector<std::pair<int, int>> pairs;
        for (const CCandidate& c : p.m_candidates)
            pairs.emplace_back(c.m_nStart, c.m_nEnd);
        chosen = NoiseLoop(x, steady, pairs, p.m_dTypical);
    } else if (p.m_bBankPath) {
        const std::size_t tries = std::min(p.m_candidates.size(), std::size_t(kMoreRefineCount));
        // The longest of the first pairs that is clean by the seam measure,
        // should none be clean by the stricter search limits.
        std::optional<CChoice> longest;
        for (std::size_t i = 0; i < tries; ++i) {
            const CChoice c = TryPair(p, corr, x, i);
            if (!chosen || c.Badness() < chosen->Badness())
                chosen = c;
            if (c.IsGood())
                break;  // the first clean one is the longest
            if (!longest && IsClean(x, c))
                longest = c;
            if (i + 1 == std::size_t(kRefineCount) && longest) {
                chosen = longest;
                break;
            }
        }
    } else {
        // Too short to compare banks, however short the sample: whole
        // cycles in its last steady ones.
        chosen = ShortSteadyLoop(corr, x, steady, p.m_dTypical);
    }
    // A loop across a level jump this large is no loop of a steady sound.
    if (!chosen || !std::isfinite(chosen->m_dSeam) || !(chosen->m_dLevel <= kMaxLevelJumpDb))
        return result;
    // In tune with the detected pitch, where a clean splice allows.
    using Reason = CAutoLoopResult::DetuneReason;
    const double frequency = result.m_bNoise || x.m_nSampleRate <= 0 ? 0.0 : pitchHz();
    const std::optional<double> detune =
        frequency > 0.0 ? LoopDetuneCents(frequency, chosen->m_nEnd - chosen->m_nStart, x.m_nSampleRate)
                        : std::nullopt;
    const bool pitched = detune.has_value();
    if (pitched && std::fabs(*detune) > kMaxDetuneCents) {
        bool noLength = false;
        std::optional<CChoice> tuned = TuneToPitch(corr, x, steady, *chosen, frequency, p.m_dTypical, noLength);
        // Else the next pairs, as long as clean, brought in tune: another
        // stretch may match at a length in tune.
        for (std::size_t i = 0; !tuned && p.m_bBankPath && i < std::min(p.m_candidates.size(), std::size_t(kRefineCount));
             ++i) {
            const CChoice c = TryPair(p, corr, x, i);
            bool none = false;
            if (IsClean(x, c))
                tuned = TuneToPitch(corr, x, steady, c, frequency, p.m_dTypical, none);
        }
        if (tuned)
            chosen = tuned;
        else
            result.m_detuneReason = noLength ? Reason::NoCloserLength : Reason::NoCleanSplice;
    }
    result.m_loop = CLoopSpan{chosen->m_nStart, chosen->m_nEnd};
    result.m_bShort = chosen->m_nEnd - chosen->m_nStart < WantedLength(x, steady);
    if (!result.m_bNoise)
        result.m_dDetuneCents = DetuneCents(*chosen);
    // Against the detected pitch when there is one.
    if (pitched) {
        result.m_bDetectedPitch = true;
        result.m_dDetuneCents = *LoopDetuneCents(frequency, chosen->m_nEnd - chosen->m_nStart, x.m_nSampleRate);
    } else if (std::fabs(result.m_dDetuneCents) > kMaxDetuneCents) {
        result.m_detuneReason = Reason::NoCloserLength;
    }
    return result;
}

std::optional<CLoopSpan> FindAutoLoop(const CFrameView& x, const CBankView& banks)
{
    return FindAutoLoopResult(x, banks).m_loop;
}

std::vector<CLoopSpan> FindAutoLoops(const CFrameView& x, const CBankView& banks, int count)
{
    std::vector<CLoopSpan> loops;
    const std::optional<CLoopSpan> first = FindAutoLoop(x, banks);
    if (!first || count <= 0)
        return loops;
    loops.push_back(*first);
    CCorrelator corr;
    const CPrepared p = Prepare(x, banks, corr);
    if (count == 1 || !p.m_steady || !p.m_bBankPath)
        return loops;  // a steady part too short to compare spectra holds one
    // As good as Auto Loop's own: clean, as long as wanted (or as its own
    // when that is shorter), and the pitch kept.
    const int shortest = int(std::min(WantedLength(x, *p.m_steady), double(first->m_nEnd - first->m_nStart)));
    const int apart = int(std::lround(kDistinctLoopSeconds * x.m_nSampleRate));
    // Auto Loop's own, then the clean ones in order of seam and level, each
    // kept when apart from every one kept before.
    const auto pick = [&](std::vector<CChoice> clean) {
        std::vector<CLoopSpan> picked{*first};
        std::stable_sort(clean.begin(), clean.end(),
                         [](const CChoice& a, const CChoice& b) { return a.Score() < b.Score(); });
        for (const CChoice& c : clean) {
            if (int(picked.size()) >= count)
                break;
            const bool distinct = std::all_of(picked.begin(), picked.end(), [&](const CLoopSpan& l) {
                return AreDistinctLoops(l, {c.m_nStart, c.m_nEnd}, apart);
            });
            if (distinct)
                picked.push_back({c.m_nStart, c.m_nEnd});
        }
        return picked;
    };
    std::vector<CChoice> clean;
    // Pairs whose start and end fall in the same cells of the distance
    // apart would give loops of which only one could be kept: the first of
    // them (the longer or closer match) stands for the rest.
    std::set<std::pair<int, int>> cells;
    for (std::size_t i = 0; i < std::min(p.m_candidates.size(), std::size_t(kManyRefineCount)); ++i) {
        const CCandidate& pair = p.m_candidates[i];
        if (!cells.emplace(pair.m_nStart / std::max(apart, 1), pair.m_nEnd / std::max(apart, 1)).second)
            continue;
        const CChoice c = TryPair(p, corr, x, i);
        if (!IsClean(x, c) || c.m_nEnd - c.m_nStart < shortest ||
            (!p.m_bNoise && std::fabs(DetuneCents(c)) > kMaxDetuneCents) ||
            !AreDistinctLoops(*first, {c.m_nStart, c.m_nEnd}, apart))
            continue;
        clean.push_back(c);
        if (int(clean.size()) >= kChoicesPerLoop * (count - 1) && int(pick(clean).size()) == count)
            break;  // enough to choose from
    }
    loops = pick(std::move(clean));
    return loops;
}

bool AreDistinctLoops(const CLoopSpan& a, const CLoopSpan& b, int apart)
{
    return std::abs(a.m_nStart - b.m_nStart) >= apart && std::abs(a.m_nEnd - b.m_nEnd) >= apart;
}

std::string FewerAutoLoopsMessage(int found, int asked)
{
    return "Found " + std::to_string(found) + " of the " + std::to_string(asked) + " loops asked for.";
}
