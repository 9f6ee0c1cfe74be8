#include "TestDocs.h"
#include "analysis/AutoLoop.h"
#include "analysis/Pitch.h"
#include "analysis/SeamMetrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// Records the messages; answers the rest as a run without a user would.
class CRecordingUi : public CHeadlessUserInterface {
public:
    void ShowMessage(const std::string& text, const std::string&, MessageIcon icon) override
    {
        m_messages.emplace_back(text, icon);
    }
    std::vector<std::pair<std::string, MessageIcon>> m_messages;
};

constexpr int kRate = 44100;

// A few partials of a tone whose phase is `phase` (radians).
double Partials(double phase, int channel)
{
    const double p = phase + 0.3 * channel;
    return 0.5 * std::sin(p) + 0.2 * std::sin(2 * p + 0.7) + 0.1 * std::sin(3 * p + 1.9);
}

// A tone with vibrato under an attack (0.2 s), sustain (2 s) and release
// (0.8 s) envelope.
double VibratoAsr(int f, int c)
{
    const double t = double(f) / kRate;
    const double env = t < 0.2 ? t / 0.2 : t < 2.2 ? 1.0 : std::max(0.0, (3.0 - t) / 0.8);
    const double phase = 2 * kTestPi * 220.0 * t - 0.004 * 220.0 / 5.0 * std::cos(2 * kTestPi * 5.0 * t);
    return 0.9 * env * Partials(phase, c);
}

// 1 dB below full level.
constexpr double kOneDbDown = 0.891;

// A steady 330 Hz tone after a 20 ms attack.
double Held(int f, int c)
{
    return 0.8 * std::min(1.0, f / (0.02 * kRate)) * Partials(2 * kTestPi * 330.0 * f / kRate, c);
}

struct CCase {
    const char* name;
    int channels = 1;
    int frames = kRate;
    std::function<double(int, int)> signal;
    // The loop expected: inside the steady part [steadyBegin, steadyEnd)
    // (the envelope within 1 dB of the sustain level), at least minLength
    // frames, and a whole number of periods when period > 0. minLength 0:
    // no steady part, the search refuses.
    int steadyBegin = 0, steadyEnd = 0, minLength = 0;
    double period = 0;
    // Frames the loop must not straddle (a dropout, a level step).
    int avoidBegin = 0, avoidEnd = 0;
    // dB across the splice at most, as the seam metrics measure it.
    double maxLevelDb = 1.0;
};

void PrintTo(const CCase& c, std::ostream* os) { *os << c.name; }

const CCase kCases[] = {
    {.name = "VibratoUnderAttackSustainRelease", .channels = 2, .frames = 3 * kRate, .signal = VibratoAsr,
     .steadyBegin = int(0.2 * kOneDbDown * kRate), .steadyEnd = int((2.2 + 0.8 * (1.0 - kOneDbDown)) * kRate),
     .minLength = kRate},
    // A wave of 100.25 frames (four periods are 401 frames) at one level.
    {.name = "ExactPeriodicWave", .frames = 2 * kRate,
     .signal = [](int f, int c) { return 0.8 * Partials(2 * kTestPi * f / 100.25, c); }, .steadyEnd = 2 * kRate,
     .minLength = kRate / 2, .period = 100.25},
    // A 20 ms attack, then a slow decay (time constant 1.5 s).
    {.name = "DecayingTone", .frames = 3 * kRate,
     .signal =
         [](int f, int c) {
             const double t = double(f) / kRate;
             return 0.9 * std::min(1.0, t / 0.02) * std::exp(-t / 1.5) * Partials(2 * kTestPi * 330.0 * t, c);
         },
     .steadyBegin = kRate / 50, .steadyEnd = 3 * kRate, .minLength = kRate / 20},
    // Shorter than a bank, but one synthetic cycle of 64 frames repeated.
    {.name = "SingleCycleWave", .frames = 300,
     .signal = [](int f, int c) { return 0.8 * Partials(2 * kTestPi * f / 64.0, c); }, .steadyEnd = 300,
     .minLength = 64, .period = 64.0},
    // 3 ms of lost data at frame 30000: too short to bring the envelope
    // near silence, yet no loop may play across it.
    {.name = "DropoutInTheSustain", .frames = 2 * kRate,
     .signal = [](int f, int c) { return f >= 30000 && f < 30132 ? 0.0 : Held(f, c); },
     .steadyBegin = kRate / 50, .steadyEnd = 2 * kRate, .minLength = kRate / 4, .avoidBegin = 30000, .avoidEnd = 30132},
    // 2 dB louder from 1.2 s on: a loop on either side, none across.
    {.name = "LevelStep", .frames = 2 * kRate,
     .signal = [](int f, int c) { return (f < 52920 ? 0.794 : 1.0) * Held(f, c); }, .steadyBegin = kRate / 50,
     .steadyEnd = 2 * kRate, .minLength = kRate / 4, .avoidBegin = 52920, .avoidEnd = 52921},
    // Falling 22 dB a second: the longest candidates jump in level, a
    // shorter one that keeps it is taken.
    {.name = "SteepDecay", .frames = 2 * kRate,
     .signal = [](int f, int c) { return std::exp(-f / (0.4 * kRate)) * Held(f, c); }, .steadyBegin = kRate / 50,
     .steadyEnd = 2 * kRate, .minLength = kRate / 20},
    // Falling 40 dB a second: every loop jumps in level, but by less than
    // the 3 dB beyond which nothing steady is left to loop.
    {.name = "DecayThatEveryLoopJumpsALittle", .frames = 2 * kRate,
     .signal = [](int f, int c) { return std::exp(-f / (0.217 * kRate)) * Held(f, c); }, .steadyBegin = kRate / 50,
     .steadyEnd = 2 * kRate, .minLength = kRate / 20, .maxLevelDb = 3.0},
    // Falling 72 dB a second: every loop would jump in level.
    {.name = "DecayTooFastToLoop", .frames = 2 * kRate,
     .signal = [](int f, int c) { return std::exp(-f / (0.12 * kRate)) * Held(f, c); }},
    {.name = "Silence", .signal = [](int, int) { return 0.0; }},
    {.name = "Click", .signal = [](int f, int) { return f == kRate / 2 ? 0.9 : 0.0; }},
    // 800 frames: less than one bank of 1024, a plucked and fading tone.
    {.name = "ShorterThanABank", .frames = 800,
     .signal = [](int f, int c) { return 0.9 * std::exp(-f / 300.0) * Partials(2 * kTestPi * f / 90.0, c); }},
    // 5 ms of reproducible white noise every 100 ms, silence between.
    {.name = "NoiseBursts",
     .signal =
         [](int f, int) {
             std::mt19937 rng(unsigned(f) * 2654435761u);
             return f % (kRate / 10) < kRate / 200 ? std::uniform_real_distribution<double>(-0.8, 0.8)(rng) : 0.0;
         }},
    {.name = "NoFrames", .frames = 0, .signal = [](int, int) { return 0.0; }},
};

class AutoLoop : public testing::TestWithParam<CCase> {};

// The document has no banks yet: the search computes them, as a load would.
TEST_P(AutoLoop, LoopsSeamlesslyInsideTheSteadyPartOrKeepsTheLoopAndSaysWhy)
{
    const CCase& k = GetParam();
    auto doc = MakeDoc(kRate, k.channels, k.frames, k.signal);
    doc->m_bHasLoop = true;  // a loop of the file's own: ignored, or kept on a refusal
    doc->m_nLoopStart = 3;
    doc->m_nLoopEnd = 10;
    CRecordingUi ui;
    doc->SetUserInterface(&ui);
    const std::vector<double> frames = doc->m_pSamples;

    const bool found = doc->AutoLoop();
    EXPECT_EQ(doc->m_pSamples, frames);
    EXPECT_TRUE(doc->m_bHasLoop);
    if (k.minLength == 0) {
        EXPECT_FALSE(found);
        EXPECT_EQ(doc->m_nLoopStart, 3);
        EXPECT_EQ(doc->m_nLoopEnd, 10);
        EXPECT_EQ(ui.m_messages, (std::vector<std::pair<std::string, MessageIcon>>{
                                     {"No steady part long enough for a loop was found.", MessageIcon::Warning}}));
        return;
    }
    ASSERT_TRUE(found);
    EXPECT_TRUE(ui.m_messages.empty());
    const int s = doc->m_nLoopStart, e = doc->m_nLoopEnd;
    EXPECT_GE(s, k.steadyBegin);
    EXPECT_LE(e, k.steadyEnd);
    EXPECT_GE(e - s, k.minLength);
    EXPECT_TRUE(e <= k.avoidBegin || s >= k.avoidEnd) << s << ":" << e;
    const CSeamMetrics m = MeasureSeam({doc->m_pSamples.data(), doc->m_nFrameCount, doc->m_nChannels, kRate}, s, e);
    EXPECT_TRUE(m.IsClean()) << m.m_dSeam;
    EXPECT_FALSE(m.m_bInAttack);
    EXPECT_LE(m.m_dLevelDb, k.maxLevelDb);
    if (k.period > 0) {
        // A whole number of periods, rounded to a frame: the pitch holds.
        const double periods = (e - s) / k.period;
        EXPECT_LE(std::fabs(periods - std::round(periods)) * k.period, 0.5) << e - s;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, AutoLoop, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CCase>& i) { return std::string(i.param.name); });

// Banks left from other frames (a file changed on disk was read again; here
// a stereo file before its mono successor) are computed afresh.
TEST(AutoLoopBanks, BanksOfOtherFramesAreComputedAfresh)
{
    auto doc = MakeDoc(kRate, 1, 3 * kRate, VibratoAsr);
    doc->AllocateBanks();
    doc->m_pBankSpectra.resize(2 * doc->m_pBankSpectra.size());
    ASSERT_TRUE(doc->AutoLoop());
    EXPECT_EQ(doc->m_pBankSpectra.size(), std::size_t(doc->m_nBankCount) * std::size_t(doc->m_nBankSize / 2));
}

}  // namespace

// --- the kinds of sample that are hard to loop -----------------------------
namespace {

// Pink noise (a sum of low-passes an octave apart over white noise),
// reproducible, about 0.25 RMS.
std::vector<double> PinkNoise(int frames)
{
    std::mt19937 rng(5);
    std::normal_distribution<double> white(0.0, 1.0);
    std::vector<double> v(static_cast<std::size_t>(frames));
    double state[6] = {};
    for (double& y : v) {
        const double w = white(rng);
        y = 0.3 * w;
        for (int o = 0; o < 6; ++o) {
            const double a = std::exp(-2 * kTestPi * 20.0 * std::pow(4.0, o) / kRate);
            state[o] = a * state[o] + (1 - a) * w * std::pow(2.0, o / 2.0 + 2);
            y += state[o];
        }
        y *= 0.05;
    }
    return v;
}

struct CKindCase {
    const char* name;
    int frames;
    std::function<double(int, int)> signal;
    int minLength;       // frames
    double period;       // > 0: the loop is a whole number of these to within a cent
    bool noise;
    // dB across the splice at most: the 20 ms windows of a short sample
    // reach into its attack.
    double maxLevelDb = 0.3;
};

void PrintTo(const CKindCase& c, std::ostream* os) { *os << c.name; }

const std::vector<double> kPink = PinkNoise(3 * kRate);

const CKindCase kKinds[] = {
    // Shorter than a bank and not exactly periodic (a little noise): a 3 ms
    // attack, then 4 cycles of 150 frames; a cycle at the end is looped.
    {"ShortSampleAttackAndFourCycles", 132 + 600,
     [](int f, int c) {
         std::mt19937 rng{unsigned(f)};
         return std::min(1.0, f / 132.0) * 0.8 * Partials(2 * kTestPi * f / 150.0, c) +
                std::uniform_real_distribution<double>(-1e-3, 1e-3)(rng);
     },
     150, 150.0, false, 1.0},
    // 700 frames of a wave of 64.37 frames after a 20-frame fade-in: its
    // cycles are no whole number of frames, so the loop's pitch depends on
    // the period read between frames.
    {"ShortWaveOfAFractionalPeriod", 700,
     [](int f, int c) { return std::min(1.0, f / 20.0) * 0.8 * Partials(2 * kTestPi * f / 64.37, c); }, 64, 64.37,
     false},
    // Level drifting by ±1 dB over 3 s: a long loop, no pitch.
    {"PinkNoiseWithLevelDrift", 3 * kRate,
     [](int f, int) {
         const double t = double(f) / kRate;
         return std::min(1.0, t / 0.05) * std::pow(10.0, std::sin(2 * kTestPi * t / 3.0) / 20.0) *
                kPink[std::size_t(f)];
     },
     kRate / 2, 0.0, true},
    // 1 s held, then a release that stays 12 dB under it for 2 s: the loop
    // stays in the held part.
    {"ReleaseTwelveDbUnderTheSustain", 3 * kRate,
     [](int f, int c) {
         const double t = double(f) / kRate;
         const double env = std::min(1.0, t / 0.05) * (t < 1.0 ? 1.0 : 0.25 + 0.75 * std::exp(-(t - 1.0) / 0.05));
         return 0.8 * env * Partials(2 * kTestPi * f / 100.37, c);
     },
     kRate / 20, 100.37, false},
    // A low note held 2 s (a period of 401.3 frames): the match changes
    // slowly from lag to lag, so its period is the hardest to read.
    {"LowNoteOfAFractionalPeriod", 2 * kRate,
     [](int f, int c) { return 0.8 * std::min(1.0, f / 2205.0) * Partials(2 * kTestPi * f / 401.3, c); }, kRate / 2,
     401.3, false},
    // 5 s of a steady tone with vibrato: a loop of a fifth of it at least,
    // not a few periods.
    {"LongSteadyTone", 5 * kRate,
     [](int f, int c) {
         const double t = double(f) / kRate;
         const double phase = 2 * kTestPi * 220.0 * t - 0.13 * std::cos(2 * kTestPi * 5 * t);
         return 0.8 * std::min(1.0, t / 0.1) * Partials(phase, c);
     },
     kRate, 0.0, false},
};

class AutoLoopKinds : public testing::TestWithParam<CKindCase> {};

TEST_P(AutoLoopKinds, CleanLoopOfTheLengthTheSoundNeeds)
{
    const CKindCase& k = GetParam();
    auto doc = MakeDoc(kRate, 1, k.frames, k.signal);
    ASSERT_TRUE(doc->AutoLoop());
    const CFrameView view{doc->m_pSamples.data(), doc->m_nFrameCount, 1, kRate};
    const CAutoLoopResult r =
        FindAutoLoopResult(view, {doc->m_pBankSpectra.data(), doc->m_nBankSize, doc->m_nBankCount});
    ASSERT_TRUE(r.m_loop);
    EXPECT_EQ(r.m_loop->m_nStart, doc->m_nLoopStart);
    const int s = r.m_loop->m_nStart, e = r.m_loop->m_nEnd;
    const CSeamMetrics m = MeasureSeam(view, s, e);
    EXPECT_TRUE(m.IsClean()) << m.m_dSeam;
    EXPECT_FALSE(m.m_bInAttack);
    EXPECT_FALSE(m.m_bInTail) << m.m_dSustainDb;
    EXPECT_LE(m.m_dLevelDb, k.maxLevelDb);
    EXPECT_GE(e - s, k.minLength);
    EXPECT_EQ(r.m_bNoise, k.noise);
    if (k.period > 0) {
        const double periods = std::round((e - s) / k.period);
        EXPECT_LE(std::fabs(1200.0 * std::log2((e - s) / (periods * k.period))), 1.0) << e - s;
        // The detune reported is the loop's own: the whole number of
        // periods it stands for is read to a few hundredths of a frame.
        const double lag = (e - s) * std::exp2(r.m_dDetuneCents / 1200.0);
        EXPECT_NEAR(lag, periods * k.period, 0.03) << e - s;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, AutoLoopKinds, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<CKindCase>& i) { return std::string(i.param.name); });

}  // namespace

namespace {

// The loop's length against a pitch: in tune with the detected one where a
// clean splice allows, else the detune with the reason.
struct CTuneCase {
    const char* name;
    int frames;
    std::function<double(int, int)> signal;
    double claimedPeriod;  // frames; 0: the pitch detected on the frames
    CAutoLoopResult::DetuneReason reason;
};

const CTuneCase kTuneCases[] = {
    // Two voices 8 cents apart, one with vibrato: in tune with the pitch
    // detected on the frames.
    {"ChorusWithVibrato", 3 * kRate,
     [](int f, int c) {
         const double t = double(f) / kRate, hz = 441.37;
         const double wobble = 0.13 * std::cos(2 * kTestPi * 5.3 * t);
         return 0.4 * std::min(1.0, t / 0.1) *
                (Partials(2 * kTestPi * hz * 0.99769 * t - wobble, c) + Partials(2 * kTestPi * hz * 1.00231 * t, c));
     },
     0.0, CAutoLoopResult::DetuneReason::None},
    // Cycles of 150 frames said to be 150.7 long: no length in tune with
    // that (under 214 cycles) matches the waveform, so the loop stays whole
    // cycles and says why.
    {"PitchTheWaveformDenies", kRate / 2,
     [](int f, int c) { return 0.8 * std::min(1.0, f / 130.0) * Partials(2 * kTestPi * f / 150.0, c); }, 150.7,
     CAutoLoopResult::DetuneReason::NoCleanSplice},
};

class AutoLoopTuning : public testing::TestWithParam<CTuneCase> {};

TEST_P(AutoLoopTuning, InTuneWithThePitchOrSaysWhy)
{
    const CTuneCase& k = GetParam();
    auto doc = MakeDoc(kRate, 1, k.frames, k.signal);
    doc->AutoLoop();
    const CFrameView view{doc->m_pSamples.data(), doc->m_nFrameCount, 1, kRate};
    const CBankView banks{doc->m_pBankSpectra.data(), doc->m_nBankSize, doc->m_nBankCount};
    const CAutoLoopResult r = k.claimedPeriod > 0 ? FindAutoLoopResult(view, banks, [&] { return kRate / k.claimedPeriod; })
                                                  : FindAutoLoopResult(view, banks);
    ASSERT_TRUE(r.m_loop);
    const double hz = k.claimedPeriod > 0 ? kRate / k.claimedPeriod : DetectPitch(view)->m_dFrequency;
    const double detune = *LoopDetuneCents(hz, r.m_loop->m_nEnd - r.m_loop->m_nStart, kRate);
    EXPECT_TRUE(r.m_bDetectedPitch);
    EXPECT_NEAR(r.m_dDetuneCents, detune, 1e-9);
    EXPECT_EQ(r.m_detuneReason, k.reason);
    EXPECT_EQ(std::fabs(detune) <= 1.0, k.reason == CAutoLoopResult::DetuneReason::None) << detune;
    EXPECT_TRUE(MeasureSeam(view, r.m_loop->m_nStart, r.m_loop->m_nEnd).IsClean());
}

INSTANTIATE_TEST_SUITE_P(Tuning, AutoLoopTuning, testing::ValuesIn(kTuneCases),
                         [](const testing::TestParamInfo<CTuneCase>& i) { return std::string(i.param.name); });

}  // namespace

namespace {

// Several loops of a long steady tone: the first is Auto Loop's own, each is
// clean with the levels matched, and each loops a different stretch.
TEST(AutoLoopMany, DistinctCleanLoopsBestFirst)
{
    auto doc = MakeDoc(kRate, 2, 4 * kRate, [](int f, int c) {
        const double t = double(f) / kRate;
        const double phase = 2 * kTestPi * 220.0 * t - 0.13 * std::cos(2 * kTestPi * 5 * t);
        return 0.8 * std::min(1.0, t / 0.1) * std::min(1.0, (4.0 - t) / 0.3) * Partials(phase, c);
    });
    ASSERT_TRUE(doc->AutoLoop());
    const CFrameView view{doc->m_pSamples.data(), doc->m_nFrameCount, 2, kRate};
    const CBankView banks{doc->m_pBankSpectra.data(), doc->m_nBankSize, doc->m_nBankCount};
    const std::vector<CLoopSpan> loops = FindAutoLoops(view, banks, 3);
    ASSERT_EQ(loops.size(), 3u);
    EXPECT_EQ(loops[0].m_nStart, doc->m_nLoopStart);
    EXPECT_EQ(loops[0].m_nEnd, doc->m_nLoopEnd);
    for (std::size_t i = 0; i < loops.size(); ++i) {
        const CSeamMetrics m = MeasureSeam(view, loops[i].m_nStart, loops[i].m_nEnd);
        EXPECT_TRUE(m.IsClean() && m.m_dLevelDb <= 0.3 && !m.m_bInAttack) << i;
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_GE(std::abs(loops[i].m_nStart - loops[j].m_nStart), kRate / 10) << i << ' ' << j;
            EXPECT_GE(std::abs(loops[i].m_nEnd - loops[j].m_nEnd), kRate / 10) << i << ' ' << j;
        }
    }
    EXPECT_EQ(FindAutoLoops(view, banks, 1).size(), 1u);
}

}  // namespace

// --- Auto Loop asked for several loops --------------------------------------
namespace {

// Loops repeat different stretches only when both their starts and their
// ends lie 100 ms apart; one inside the other is fine.
TEST(AutoLoopMany, DistinctOnlyWithStartsAndEndsApart)
{
    const int apart = kRate / 10;
    const struct {
        CLoopSpan a, b;
        bool distinct;
    } cases[] = {
        {{1000, 50000}, {1000 + apart, 50000 + apart}, true},
        {{1000, 50000}, {1000 + apart, 40000}, true},  // nested
        {{1000, 50000}, {1000 + apart - 1, 30000}, false},
        {{1000, 50000}, {20000, 50000 - apart + 1}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AreDistinctLoops(c.a, c.b, apart), c.distinct) << c.b.m_nStart << '-' << c.b.m_nEnd;
        EXPECT_EQ(AreDistinctLoops(c.b, c.a, apart), c.distinct);
    }
}

// Asked for more loops than a 1.5 s note holds, the document takes the
// distinct clean ones found, Auto Loop's own first, and says how many.
TEST(AutoLoopMany, FewerThanAskedArePlacedAndCounted)
{
    auto doc = MakeDoc(kRate, 1, 3 * kRate / 2, [](int f, int c) {
        const double t = double(f) / kRate;
        return 0.8 * std::min({1.0, t / 0.05, (1.5 - t) / 0.2}) * Partials(2 * kTestPi * 220.0 * t, c);
    });
    ASSERT_TRUE(doc->AutoLoop());
    const CLoopPoints single{doc->m_nLoopStart, doc->m_nLoopEnd, 0};
    const int found = doc->AutoLoops(kMaxAutoLoops);
    const std::vector<CLoopPoints> loops = doc->GetLoops();
    ASSERT_EQ(int(loops.size()), found);
    EXPECT_GE(found, 2);
    EXPECT_LT(found, kMaxAutoLoops);
    EXPECT_EQ(loops[0].m_nStart, single.m_nStart);
    EXPECT_EQ(loops[0].m_nEnd, single.m_nEnd);
    const CFrameView view{doc->m_pSamples.data(), doc->m_nFrameCount, 1, kRate};
    for (std::size_t i = 0; i < loops.size(); ++i) {
        const CSeamMetrics m = MeasureSeam(view, loops[i].m_nStart, loops[i].m_nEnd);
        EXPECT_TRUE(m.IsClean() && m.m_dLevelDb <= 0.3 && !m.m_bInAttack && !m.m_bInTail) << i;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_TRUE(AreDistinctLoops({loops[i].m_nStart, loops[i].m_nEnd}, {loops[j].m_nStart, loops[j].m_nEnd},
                                         kRate / 10))
                << i << ' ' << j;
    }
    EXPECT_EQ(FewerAutoLoopsMessage(2, 3), "Found 2 of the 3 loops asked for.");
}

}  // namespace
