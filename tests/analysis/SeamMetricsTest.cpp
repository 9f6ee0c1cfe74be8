#include "TestDocs.h"
#include "analysis/SeamMetrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <tuple>

namespace {

CFrameView View(const CQuorvelDoc& doc)
{
    return {doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
}

double Sine(int f, double period)
{
    return 0.5 * std::sin(2 * kTestPi * f / period);
}

struct CMetricCase {
    std::string name;
    std::function<double(int, int)> signal;
    int channels;
    int start, end;
    // Expected figure, checked within `tolerance`, or a bound.
    double seamAtMost, seamAtLeast;
    double level, levelTolerance;
    double timbreAtMost, timbreAtLeast;
    bool inAttack;
};

void PrintTo(const CMetricCase& c, std::ostream* os) { *os << c.name; }

// 40 000 frames at 44.1 kHz for every case.
const CMetricCase kCases[] = {
    // 100 whole periods: the splice continues the wave exactly, so its
    // second differences are the wave's own (channel 1 splices at a crest,
    // where they are largest).
    {"WholePeriods", [](int f, int c) { return Sine(f + 25 * c, 100.0); }, 2, 1000, 11000, 1.0 + 1e-9, 0.99, 0.0,
     1e-6, 0.5, 0.0, false},
    // Half a period more: the wave jumps to the other side at the splice.
    {"HalfPeriodOff", [](int f, int) { return Sine(f, 100.0); }, 1, 1000, 11050, 1e30, 10.0, 0.0, 1e30, 1e30, 0.0,
     false},
    // Quiet after the start, twice as loud before the end (both windows at
    // the same phase of the wave): 6.02 dB; the quiet part is an attack.
    {"LevelStep", [](int f, int) { return (f < 20000 ? 0.5 : 1.0) * Sine(f, 100.0); }, 1, 10018, 30000, 1e30, 0.0,
     20.0 * std::log10(2.0), 1e-3, 1e30, 0.0, true},
    // An octave apart on either side: the spectra share no peak.
    {"OtherNote", [](int f, int) { return Sine(f, f < 20000 ? 100.0 : 50.0); }, 1, 10000, 30000, 1e30, 0.0, 0.0,
     0.05, 1e30, 20.0, false},
    // The same note on both sides of the splice; only after the loop end,
    // which is never heard in the loop, an octave up.
    {"OtherNoteAfterTheEnd", [](int f, int) { return Sine(f, f < 30000 ? 100.0 : 50.0); }, 1, 10000, 30000, 1e30, 0.0,
     0.0, 0.05, 0.5, 0.0, false},
    // A ramp over 10 000 frames reaches 80 % of its peak near frame 8000.
    {"StartsInTheRamp", [](int f, int) { return std::min(1.0, f / 10000.0) * Sine(f, 100.0); }, 1, 7000, 27000,
     1e30, 0.0, 0.0, 1e30, 1e30, 0.0, true},
    // 12 dB louder in the last 70 frames (the envelope's last window is
    // partial): the sound is still rising, everything before is attack.
    {"LoudestInTheLastFrames", [](int f, int) { return (f < 39930 ? 0.25 : 1.0) * Sine(f, 100.0); }, 1, 10000,
     30000, 1e30, 0.0, 0.0, 1e30, 1e30, 0.0, true},
    {"StartsAfterTheRamp", [](int f, int) { return std::min(1.0, f / 10000.0) * Sine(f, 100.0); }, 1, 9000,
     29000, 1e30, 0.0, 0.0, 1e30, 1e30, 0.0, false},
};

class SeamMetrics : public testing::TestWithParam<CMetricCase> {};

TEST_P(SeamMetrics, KnownAnswers)
{
    const CMetricCase& k = GetParam();
    const auto doc = MakeDoc(44100, k.channels, 40000, k.signal);
    const CSeamMetrics m = MeasureSeam(View(*doc), k.start, k.end);
    EXPECT_LE(m.m_dSeam, k.seamAtMost);
    EXPECT_GE(m.m_dSeam, k.seamAtLeast);
    if (k.levelTolerance < 1e30) {
        EXPECT_NEAR(m.m_dLevelDb, k.level, k.levelTolerance);
    }
    EXPECT_LE(m.m_dTimbreDb, k.timbreAtMost);
    EXPECT_GE(m.m_dTimbreDb, k.timbreAtLeast);
    EXPECT_EQ(m.m_bInAttack, k.inAttack);
}

INSTANTIATE_TEST_SUITE_P(Cases, SeamMetrics, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CMetricCase>& i) { return i.param.name; });

TEST(SeamMetricsLimits, LoopsOutsideTheFramesAndSilenceGiveNoFalseFigures)
{
    const auto doc = MakeDoc(44100, 1, 5000, [](int f, int) { return Sine(f, 100.0); });
    for (const auto& [s, e] : {std::pair{100, 100}, {200, 100}, {-1, 100}, {100, 5001}}) {
        const CSeamMetrics m = MeasureSeam(View(*doc), s, e);
        EXPECT_TRUE(std::isinf(m.m_dSeam) && std::isinf(m.m_dLevelDb) && std::isinf(m.m_dTimbreDb)) << s << ":" << e;
    }
    // A loop may end on the last frame.
    const CSeamMetrics whole = MeasureSeam(View(*doc), 0, 5000);
    EXPECT_TRUE(std::isfinite(whole.m_dSeam) && std::isfinite(whole.m_dLevelDb) && std::isfinite(whole.m_dTimbreDb));
    // Silence on both sides matches itself; a loop of two frames has no
    // second difference inside, so any jump at its splice is unbounded.
    const auto silent = MakeDoc(44100, 1, 5000, [](int, int) { return 0.0; });
    const CSeamMetrics quiet = MeasureSeam(View(*silent), 1000, 3000);
    EXPECT_EQ(quiet.m_dSeam, 0.0);
    EXPECT_EQ(quiet.m_dLevelDb, 0.0);
    EXPECT_EQ(quiet.m_dTimbreDb, 0.0);
    EXPECT_TRUE(std::isinf(SeamRatio(View(*doc), 1000, 1002)));
}

// Sustain against tail: a tone held for 20 000 frames, then a release that
// stays 12 dB under it (louder than silence) for the remaining 20 000.
TEST(SeamMetricsTail, ALoopTwelveDbUnderTheSustainIsInTheTail)
{
    const auto doc = MakeDoc(44100, 1, 40000, [](int f, int) { return (f < 20000 ? 1.0 : 0.2512) * Sine(f, 100.0); });
    for (const auto& [s, e, db, tail] : {std::tuple{5000, 15000, 0.0, false}, {25000, 35000, -12.0, true}}) {
        const CSeamMetrics m = MeasureSeam(View(*doc), s, e);
        EXPECT_NEAR(m.m_dSustainDb, db, 0.1) << s;
        EXPECT_EQ(m.m_bInTail, tail) << s;
    }
}

}  // namespace
