#include "TestDocs.h"
#include "analysis/AutoLoop.h"
#include "analysis/SeamMetrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// Records what the document reports.
class CRecordingUi : public IUserInterface {
public:
    void ShowMessage(const std::string& text, const std::string&, MessageIcon icon) override
    {
        m_messages.push_back(text);
        m_icons.push_back(icon);
    }
    std::optional<int> ChooseSample(int) override { return std::nullopt; }
    bool RunProgress(IProgressSource&) override { return true; }
    std::vector<std::string> m_messages;
    std::vector<MessageIcon> m_icons;
};

constexpr int kRate = 44100;

// A few partials of a tone whose phase is `phase` (radians).
double Partials(double phase, int channel)
{
    const double p = phase + 0.3 * channel;
    return 0.5 * std::sin(p) + 0.2 * std::sin(2 * p + 0.7) + 0.1 * std::sin(3 * p + 1.9);
}

struct CSteadyCase {
    std::string name;
    int channels;
    int frames;
    std::function<double(int, int)> signal;
    // Where the sound is steady (its envelope within 1 dB of the sustain
    // level), frames.
    int steadyBegin, steadyEnd;
    double period;               // frames; 0 when it need not be whole periods
    int minLength;               // frames the loop should at least span
};

void PrintTo(const CSteadyCase& c, std::ostream* os) { *os << c.name; }

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

const CSteadyCase kSteady[] = {
    {"VibratoUnderAttackSustainRelease", 2, 3 * kRate, VibratoAsr, int(0.2 * kOneDbDown * kRate),
     int((2.2 + 0.8 * (1.0 - kOneDbDown)) * kRate), 0, kRate},
    // A wave of 100.25 frames (four periods are 401 frames) at one level.
    {"ExactPeriodicWave", 1, 2 * kRate, [](int f, int c) { return 0.8 * Partials(2 * kTestPi * f / 100.25, c); }, 0,
     2 * kRate, 100.25, kRate / 2},
    // A 20 ms attack, then a slow decay (time constant 1.5 s).
    {"DecayingTone", 1, 3 * kRate,
     [](int f, int c) {
         const double t = double(f) / kRate;
         return 0.9 * std::min(1.0, t / 0.02) * std::exp(-t / 1.5) * Partials(2 * kTestPi * 330.0 * t, c);
     },
     kRate / 50, 3 * kRate, 0, kRate / 20},
    // Shorter than a bank, but one synthetic cycle of 64 frames repeated.
    {"SingleCycleWave", 1, 300, [](int f, int c) { return 0.8 * Partials(2 * kTestPi * f / 64.0, c); }, 0, 300, 64.0,
     64},
};

class AutoLoopSteady : public testing::TestWithParam<CSteadyCase> {};

TEST_P(AutoLoopSteady, LoopsSeamlesslyInsideTheSteadyPart)
{
    const CSteadyCase& k = GetParam();
    auto doc = MakeDoc(kRate, k.channels, k.frames, k.signal);
    doc->AllocateBanks();
    for (int c = 0; c < doc->m_nChannels; ++c)
        for (int b = 0; b < doc->m_nBankCount; ++b)
            doc->ComputeBank(b, c);
    doc->m_bHasLoop = true;  // a loop of the file's own, to be ignored
    doc->m_nLoopStart = 0;
    doc->m_nLoopEnd = 10;
    CRecordingUi ui;
    doc->SetUserInterface(&ui);
    const std::vector<double> frames = doc->m_pSamples;

    ASSERT_TRUE(doc->AutoLoop());
    EXPECT_TRUE(ui.m_messages.empty());
    EXPECT_EQ(doc->m_pSamples, frames);
    EXPECT_TRUE(doc->m_bHasLoop);
    const int s = doc->m_nLoopStart, e = doc->m_nLoopEnd;
    EXPECT_GE(s, k.steadyBegin);
    EXPECT_LE(e, k.steadyEnd);
    EXPECT_GE(e - s, k.minLength);
    const CSeamMetrics m = MeasureSeam({doc->m_pSamples.data(), doc->m_nFrameCount, doc->m_nChannels, kRate}, s, e);
    EXPECT_TRUE(m.IsClean()) << m.m_dSeam;
    EXPECT_FALSE(m.m_bInAttack);
    EXPECT_LE(m.m_dLevelDb, 1.0);
    if (k.period > 0) {
        // A whole number of periods, to within a frame: the pitch holds.
        const double periods = (e - s) / k.period;
        EXPECT_LE(std::fabs(periods - std::round(periods)) * k.period, 1.0) << e - s;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, AutoLoopSteady, testing::ValuesIn(kSteady),
                         [](const testing::TestParamInfo<CSteadyCase>& i) { return i.param.name; });

struct CRefusalCase {
    std::string name;
    int frames;
    std::function<double(int, int)> signal;
};

void PrintTo(const CRefusalCase& c, std::ostream* os) { *os << c.name; }

double Noise(int f)
{
    // Reproducible white noise in −1 … 1 from the frame number.
    std::mt19937 rng(unsigned(f) * 2654435761u);
    return std::uniform_real_distribution<double>(-1.0, 1.0)(rng);
}

const CRefusalCase kRefusals[] = {
    {"Silence", kRate, [](int, int) { return 0.0; }},
    {"Click", kRate, [](int f, int) { return f == kRate / 2 ? 0.9 : 0.0; }},
    // 800 frames: less than one bank of 1024, a plucked and fading tone.
    {"ShorterThanABank", 800,
     [](int f, int c) { return 0.9 * std::exp(-f / 300.0) * Partials(2 * kTestPi * f / 90.0, c); }},
    // 5 ms of noise every 100 ms, silence between.
    {"NoiseBursts", kRate, [](int f, int) { return f % (kRate / 10) < kRate / 200 ? 0.8 * Noise(f) : 0.0; }},
    {"NoFrames", 0, [](int, int) { return 0.0; }},
};

class AutoLoopRefusal : public testing::TestWithParam<CRefusalCase> {};

TEST_P(AutoLoopRefusal, KeepsTheLoopAndSaysWhy)
{
    const CRefusalCase& k = GetParam();
    auto doc = MakeDoc(kRate, 1, k.frames, k.signal);
    doc->AllocateBanks();
    for (int b = 0; b < doc->m_nBankCount; ++b)
        doc->ComputeBank(b, 0);
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 3;
    doc->m_nLoopEnd = 7;
    CRecordingUi ui;
    doc->SetUserInterface(&ui);

    EXPECT_FALSE(doc->AutoLoop());
    EXPECT_TRUE(doc->m_bHasLoop);
    EXPECT_EQ(doc->m_nLoopStart, 3);
    EXPECT_EQ(doc->m_nLoopEnd, 7);
    ASSERT_EQ(ui.m_messages.size(), 1u);
    EXPECT_EQ(ui.m_messages[0], "No steady part long enough for a loop was found.");
    EXPECT_EQ(ui.m_icons[0], MessageIcon::Warning);
}

INSTANTIATE_TEST_SUITE_P(Signals, AutoLoopRefusal, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<CRefusalCase>& i) { return i.param.name; });

// Frames whose banks were never computed (or describe other frames, after
// a file changed on disk was read again) get banks of their own first.
TEST(AutoLoop, ComputesMissingOrStaleBanks)
{
    auto doc = MakeDoc(kRate, 2, 3 * kRate, VibratoAsr);
    ASSERT_TRUE(doc->AutoLoop());
    EXPECT_EQ(doc->m_nBankCount, doc->m_nFrameCount / doc->m_nBankSize);
    const int found = doc->m_nLoopEnd;

    auto mono = MakeDoc(kRate, 1, 3 * kRate, [](int f, int c) { return VibratoAsr(f, c); });
    mono->m_nBankSize = doc->m_nBankSize;
    mono->m_nBankCount = doc->m_nBankCount;
    mono->m_pBankSpectra.assign(doc->m_pBankSpectra.size() / 4, Complex(0.0, 0.0));
    ASSERT_TRUE(mono->AutoLoop());
    EXPECT_EQ(mono->m_pBankSpectra.size(), std::size_t(mono->m_nBankCount) * std::size_t(mono->m_nBankSize / 2));
    EXPECT_GT(found, 0);
}

}  // namespace
