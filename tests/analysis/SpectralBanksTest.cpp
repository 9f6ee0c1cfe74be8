#include "analysis/BankSize.h"
#include "ScriptedProgress.h"
#include "TestDocs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

struct RateCase {
    int rate;
    int n;
};

class BankSizeTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(BankSizeTest, SmallestPowerOfTwoWithAtMost43BanksPerSecond)
{
    EXPECT_EQ(BankSizeForSampleRate(GetParam().rate), GetParam().n);
}

INSTANTIATE_TEST_SUITE_P(Rates, BankSizeTest,
                         ::testing::Values(RateCase{8000, 256}, RateCase{11025, 256}, RateCase{16000, 512},
                                           RateCase{22050, 512}, RateCase{32000, 1024}, RateCase{44100, 1024},
                                           RateCase{48000, 2048}, RateCase{88200, 2048}, RateCase{96000, 4096},
                                           RateCase{352, 16}, RateCase{704, 32},
                                           // Rates whose rule gives fewer than 16 frames use 16.
                                           RateCase{351, 16}, RateCase{100, 16}, RateCase{87, 16}, RateCase{43, 16},
                                           RateCase{1, 16}, RateCase{0, 16}, RateCase{-44100, 16}));

// Computes the banks synchronously through the progress that never cancels.
void Load(CQuorvelDoc& doc)
{
    CCancelAtStepUserInterface ui(CCancelAtStepUserInterface::kNever);
    doc.SetUserInterface(&ui);
    doc.ComputeBanks();
    doc.SetUserInterface(nullptr);
}

TEST(SpectralBanks, NinetySevenBankStereoExample)
{
    auto doc = MakeDoc(44100, 2, 100000, [](int f, int c) { return std::sin(f * 0.01 * (c + 1)); });
    CCancelAtStepUserInterface ui(CCancelAtStepUserInterface::kNever);
    doc->SetUserInterface(&ui);
    doc->ComputeBanks();
    EXPECT_EQ(doc->m_nBankSize, 1024);
    EXPECT_EQ(doc->m_nBankCount, 97);
    EXPECT_EQ(ui.m_nTotal, 194);
    EXPECT_EQ(doc->m_pBankSpectra.size(), 97u * 2u * 512u);
    EXPECT_EQ(doc->m_nCurveColumns, 2);
    EXPECT_EQ(doc->m_pLoopCurves.size(), 97u * 2u);
    EXPECT_EQ(100000 - 97 * 1024, 672);
    // Every bank holds the half spectrum of its own block of its own channel.
    FftContext fft;
    fft.FftSetup(1024);
    std::vector<double> block(1024);
    std::vector<Complex> bins(512);
    for (int c = 0; c < 2; ++c) {
        for (int b : {0, 1, 50, 96}) {
            for (int i = 0; i < 1024; ++i)
                block[std::size_t(i)] = doc->GetSample(b * 1024 + i, c);
            fft.FftAnalyze(block.data(), bins.data());
            const Complex* p = doc->BankSpectrum(b, c);
            for (int k = 0; k < 512; ++k)
                ASSERT_EQ(p[k], bins[std::size_t(k)]) << "channel " << c << " bank " << b << " bin " << k;
        }
    }
    fft.FftRelease();
    // Stored bank after bank, channels interleaved per bank.
    EXPECT_EQ(doc->BankSpectrum(3, 1) - doc->m_pBankSpectra.data(), (3 * 2 + 1) * 512);
}

TEST(SpectralBanks, SampleShorterThanOneBankHasNoBanks)
{
    auto doc = MakeDoc(44100, 1, 1000, [](int f, int) { return f * 0.001; });
    CCancelAtStepUserInterface ui(CCancelAtStepUserInterface::kNever);
    doc->SetUserInterface(&ui);
    doc->ComputeBanks();
    EXPECT_EQ(doc->m_nBankCount, 0);
    EXPECT_EQ(ui.m_nTotal, 0);
    EXPECT_TRUE(doc->m_pBankSpectra.empty());
    EXPECT_TRUE(doc->m_pLoopCurves.empty());
    EXPECT_EQ(doc->m_nCurveColumns, 2);
}

TEST(SpectralBanks, SilentSampleGivesOnesFromTheLoopBankOn)
{
    auto doc = MakeDoc(22050, 2, 512 * 10 + 7, [](int, int) { return 0.0; });
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 512 * 3 + 100;
    doc->m_nLoopEnd = 512 * 9;
    Load(*doc);
    ASSERT_EQ(doc->m_nBankCount, 10);
    for (int b = 0; b < 10; ++b) {
        EXPECT_EQ(doc->GetCurve(b, 0), 1.0) << b;
        EXPECT_EQ(doc->GetCurve(b, 1), b < 3 ? -1.0 : 1.0) << b;
    }
}

TEST(SpectralBanks, NoLoopLeavesTheEndCurveEmpty)
{
    auto doc = MakeDoc(44100, 1, 1024 * 6, [](int f, int) { return std::sin(f * 0.3); });
    Load(*doc);
    for (int b = 0; b < 6; ++b) {
        EXPECT_EQ(doc->GetCurve(b, 1), -1.0);
        EXPECT_GT(doc->GetCurve(b, 0), 0.0);
        EXPECT_LE(doc->GetCurve(b, 0), 1.0);
    }
}

TEST(SpectralBanks, LoopStartInLastBankValuesOnlyThatBank)
{
    auto doc = MakeDoc(44100, 2, 1024 * 5 + 10, [](int f, int c) { return 0.3 * std::sin(f * 0.05 + c); });
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 1024 * 4 + 500;
    doc->m_nLoopEnd = 1024 * 5;
    Load(*doc);
    for (int b = 0; b < 4; ++b)
        EXPECT_EQ(doc->GetCurve(b, 1), -1.0);
    const double level = (doc->SpectrumLevel(doc->BankSpectrum(4, 0)) + doc->SpectrumLevel(doc->BankSpectrum(4, 1))) / 2;
    EXPECT_GT(level, 0.0);
    EXPECT_DOUBLE_EQ(doc->GetCurve(4, 1), 0.5 / (1000 * level + 0.5));

    // A start among the frames after the last whole bank has no bank of its
    // own to compare with: the whole end-loop curve stays empty.
    doc->m_nLoopStart = 1024 * 5 + 3;
    doc->ComputeEndLoopCurve();
    for (int b = 0; b < 5; ++b)
        EXPECT_EQ(doc->GetCurve(b, 1), -1.0) << b;
}

// Both curves equal their definitions written with BankDistance, bit for bit.
TEST(SpectralBanks, CurvesFollowTheirDefinitions)
{
    std::mt19937 rng(3);
    std::normal_distribution<double> g(0.0, 0.2);
    for (int channels : {1, 2}) {
        auto doc = MakeDoc(8000, channels, 256 * 23 + 5, [&](int f, int c) { return std::sin(f * 0.02 * (c + 1)) * (f % 3000) / 3000.0 + g(rng); });
        doc->m_bHasLoop = true;
        doc->m_nLoopStart = 256 * 7 + 3;
        doc->m_nLoopEnd = 256 * 20;
        Load(*doc);
        const int banks = doc->m_nBankCount;
        ASSERT_EQ(banks, 23);
        double prev = 1000 * doc->BankDistance(-1, 0);
        for (int i = 0; i < banks; ++i) {
            const double cur = 1000 * doc->BankDistance(i, i + 1);
            EXPECT_EQ(doc->GetCurve(i, 0), 0.5 / (cur + prev + 0.5)) << i;
            prev = cur;
        }
        const int a = 7;
        for (int i = 0; i < banks; ++i) {
            const double expected = i < a ? -1.0 : 0.5 / ((doc->BankDistance(a, i) + doc->BankDistance(a, i + 1)) * 1000 + 0.5);
            EXPECT_EQ(doc->GetCurve(i, 1), expected) << i;
        }
        // Moving the loop start recomputes only column 1.
        const double begin5 = doc->GetCurve(5, 0);
        doc->m_nLoopStart = 0;
        doc->ComputeEndLoopCurve();
        EXPECT_EQ(doc->GetCurve(0, 1), 0.5 / ((0.0 + doc->BankDistance(0, 1)) * 1000 + 0.5));
        EXPECT_EQ(doc->GetCurve(5, 0), begin5);
    }
}

TEST(SpectralBanks, DistancesTreatMissingBanksAsSilence)
{
    auto doc = MakeDoc(44100, 2, 2048, [](int f, int c) { return c == 0 ? std::cos(2 * kTestPi * 5 * (f % 1024) / 1024) : 0.0; });
    Load(*doc);
    // Channel 0 has one bin of magnitude 1 out of 512, channel 1 none.
    EXPECT_NEAR(doc->SpectrumLevel(doc->BankSpectrum(0, 0)), 1.0 / 512, 1e-15);
    EXPECT_NEAR(doc->BankDistance(-1, 0), 0.5 / 512, 1e-15);
    EXPECT_NEAR(doc->BankDistance(1, 2), 0.5 / 512, 1e-15);
    EXPECT_EQ(doc->BankDistance(-1, 5), 0.0);
    EXPECT_NEAR(doc->BankDistance(0, 1), 0.0, 1e-15);
}

// A loop start kept from a file may lie before frame 0; the curve then
// values every bank against silence instead of writing outside the table.
TEST(SpectralBanks, NegativeLoopStartStaysInsideTheTable)
{
    auto doc = MakeDoc(44100, 1, 1024 * 4, [](int f, int) { return std::sin(f * 0.1); });
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = -5000;
    doc->m_nLoopEnd = 3000;
    Load(*doc);
    for (int b = 0; b < 4; ++b)
        EXPECT_EQ(doc->GetCurve(b, 1), 0.5 / ((doc->BankDistance(-1, b) + doc->BankDistance(-1, b + 1)) * 1000 + 0.5));
}

}  // namespace
