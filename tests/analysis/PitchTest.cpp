#include "analysis/Pitch.h"
#include "analysis/Tuning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

namespace {

constexpr int kRate = 44100;

struct CTone {
    const char* name;
    double hz;
    double fundamental = 1.0;  // amplitude of the first harmonic (others 1/k)
    double stretch = 0.0;      // inharmonicity B
    double vibratoCents = 0.0; // ±, at 5 Hz
    double noiseShare = 0.0;   // noise RMS ÷ tone RMS
    int channels = 1;
    double seconds = 2.0;
    double speed = 1.0;  // played this much faster: pitch, vibrato, rise and length alike
};

// A held tone: 50 ms rise, then steady, with eight partials; channel 1 has
// other partial phases. The partial k lies at k·f·√(1 + B·k²).
std::vector<double> Render(const CTone& t)
{
    const int frames = int(t.seconds * kRate / t.speed);
    std::vector<double> x(std::size_t(frames) * t.channels);
    std::mt19937 random(7);
    std::normal_distribution<double> gauss;
    double tonePower = 0.0;
    for (int k = 1; k <= 8; ++k)
        tonePower += std::pow(k == 1 ? t.fundamental : 1.0 / k, 2) / 2.0;
    const double noise = t.noiseShare * std::sqrt(tonePower);
    const double depth = std::exp2(t.vibratoCents / 1200.0) - 1.0;
    for (int f = 0; f < frames; ++f) {
        const double s = double(f) / kRate * t.speed;
        const double rise = std::min(1.0, s / 0.05);
        // Phase of the first harmonic's nominal frequency, with vibrato.
        const double phase = 2 * std::numbers::pi * t.hz * (s - depth / (2 * std::numbers::pi * 5.0) *
                                                                    std::cos(2 * std::numbers::pi * 5.0 * s));
        for (int c = 0; c < t.channels; ++c) {
            double v = 0.0;
            for (int k = 1; k <= 8 && k * t.hz * t.speed < 0.45 * kRate; ++k)
                v += (k == 1 ? t.fundamental : 1.0 / k) *
                     std::sin(k * std::sqrt(1 + t.stretch * k * k) * phase + 0.9 * k * (c + 1));
            x[std::size_t(f) * t.channels + c] = 0.2 * rise * (v + noise * gauss(random));
        }
    }
    return x;
}

// The first partial's true frequency.
double TrueHz(const CTone& t) { return t.hz * std::sqrt(1 + t.stretch); }

TEST(PitchTest, MeasuresKnownFrequenciesToAFractionOfACent)
{
    const CTone tones[] = {
        {"low organ pipe", 16.35, 1.0, 0, 0, 0, 1, 4.0},
        {"A4", 440.0},
        {"high", 6271.9},
        {"weak fundamental (octave trap)", 98.0, 0.1},
        {"missing fundamental (octave trap)", 130.8, 0.0},
        {"stretched overtones", 261.6, 1.0, 1e-4},
        {"vibrato", 523.3, 1.0, 0, 20.0},
        {"noisy stereo", 1046.5, 1.0, 0, 0, 0.1, 2},
    };
    for (const CTone& t : tones) {
        const auto x = Render(t);
        const CFrameView view{x.data(), int(x.size()) / t.channels, t.channels, kRate};
        const auto pitch = DetectPitch(view);
        ASSERT_TRUE(pitch) << t.name;
        EXPECT_NEAR(1200 * std::log2(pitch->m_dFrequency / TrueHz(t)), 0.0, 0.2) << t.name;
        EXPECT_GT(pitch->m_dConfidence, 0.9) << t.name;
    }
}

TEST(PitchTest, ASoundPlayedFasterShiftsByExactlyItsSpeed)
{
    // Barely two vibrato cycles: where the steady part is cut, and how the
    // blocks fall on it, would decide much of the mean.
    const CTone note{"short vibrato", 440.0, 1.0, 0, 20.0, 0, 1, 0.45};
    const auto measure = [](const CTone& t) {
        const auto x = Render(t);
        const auto pitch = DetectPitch(CFrameView{x.data(), int(x.size()), 1, kRate});
        return pitch ? pitch->m_dFrequency : NAN;
    };
    const double base = measure(note);
    for (const double cents : {-250.0, -37.0, 3.0, 37.0, 250.0}) {
        CTone fast = note;
        fast.speed = std::exp2(cents / 1200);
        EXPECT_NEAR(1200 * std::log2(measure(fast) / base), cents, 0.05) << cents;
    }
}

TEST(PitchTest, RefusesSoundsWithoutSteadyPitch)
{
    std::mt19937 random(3);
    std::normal_distribution<double> gauss;
    const int frames = kRate;
    std::vector<double> noise(frames), click(frames, 0.0), drum(frames);
    for (int f = 0; f < frames; ++f) {
        const double s = double(f) / kRate;
        noise[std::size_t(f)] = 0.3 * gauss(random);
        // A membrane: falling pitch, inharmonic modes, noise, fast decay.
        const double glide = 2 * std::numbers::pi * (60 * s + 40 * (1 - std::exp(-s * 30)) / 30 * 30);
        drum[std::size_t(f)] = std::exp(-s * 8) * (std::sin(glide) + 0.7 * std::sin(1.59 * glide) +
                                                   0.5 * std::sin(2.14 * glide) + 0.4 * gauss(random));
    }
    click[1000] = 0.9;
    for (const auto* x : {&noise, &click, &drum}) {
        const CFrameView view{x->data(), frames, 1, kRate};
        EXPECT_FALSE(DetectPitch(view));
    }
}

TEST(PitchTest, LoopDetuneComparesLengthWithWholePeriods)
{
    // 100 Hz at 44100: 441 frames a period; 4410 frames hold exactly 10.
    EXPECT_NEAR(*LoopDetuneCents(100.0, 4410, kRate), 0.0, 1e-9);
    // One frame short: 10 periods squeezed into 4409 frames play sharp.
    EXPECT_NEAR(*LoopDetuneCents(100.0, 4409, kRate), 1200 * std::log2(4410.0 / 4409.0), 1e-9);
    EXPECT_FALSE(LoopDetuneCents(100.0, 100, kRate));
}

TEST(TuningTest, StoresTheFractionAboveTheUnityNoteAndShowsTheNearestNote)
{
    // 19 cents flat of F#4 is F4 + 81 cents.
    const CTuning flat = TuningFromSemitones(66 - 0.19);
    EXPECT_EQ(flat.m_nUnityNote, 65);
    EXPECT_NEAR(flat.m_nPitchFraction / kPitchFractionPerSemitone, 0.81, 1e-9);
    EXPECT_EQ(FormatNoteAndCents(flat.Semitones()), "F#4 \u221219.0 ct");
    EXPECT_EQ(FormatPitch(440.0), "A4 +0.0 ct (440.0 Hz)");
    // XI finetune: the nearest 1/128 semitone, read back exactly.
    const CXITuning xi = XITuningFrom(flat);
    EXPECT_EQ(xi.m_nRelativeNote, 6);
    EXPECT_EQ(xi.m_nFinetune, -24);
    EXPECT_LT(xi.m_dLostCents, 0.5);
    EXPECT_EQ(XITuningFrom(TuningFromXI(xi.m_nRelativeNote, xi.m_nFinetune)).m_nFinetune, -24);
}

TEST(TuningTest, APitchWholeOctavesFromTheStoredTuningIsPointedOut)
{
    const std::tuple<CTuning, double, const char*> cases[] = {
        {{62, 0}, 50.007, "The pitch lies 1 octave below the stored note D4"},
        {{60, 0}, 84.3, "The pitch lies 2 octaves above the stored note C4"},
        {{60, 0}, 47.6, "The pitch lies 1 octave below the stored note C4"},  // and 40 cents flat
        {TuningFromSemitones(12.072), 12.081, nullptr},                        // in tune
        {{60, 0}, 71.4, nullptr},                                              // a seventh, not an octave
        {{60, 0}, 66.0, nullptr},
    };
    for (const auto& [stored, detected, message] : cases) {
        const auto said = OctaveFromStoredMessage(stored, detected);
        ASSERT_EQ(said.has_value(), message != nullptr) << detected;
        if (message)
            EXPECT_TRUE(said->starts_with(message)) << *said;
    }
}

TEST(TuningTest, ReadsTheKeyFromFileNames)
{
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"036-C.wav", 36}, {"Flute_C4.wav", 60}, {"Oboe A#5.wav", 82}, {"056_tp_g4_s723.wav", 67},
        {"016_Drawbar_Organ_L_s1121.wav", std::nullopt}, {"019_Church_Organ_w4.wav", std::nullopt},
    };
    for (const auto& [name, note] : cases)
        EXPECT_EQ(NoteFromFileName(name), note) << name;
}

}  // namespace
