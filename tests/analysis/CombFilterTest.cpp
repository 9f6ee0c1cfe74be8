#include "TestDocs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// The kept-bin resynthesis of the 1024 frames from `offset` of `samples`
// (zeros past the end), computed directly.
std::vector<double> KeptResynthesis(const std::vector<double>& samples, int offset)
{
    FftContext fft;
    fft.FftSetup(1024);
    std::vector<double> block(1024);
    for (int j = 0; j < 1024; ++j)
        block[std::size_t(j)] = offset + j < int(samples.size()) ? samples[std::size_t(offset + j)] : 0.0;
    std::vector<Complex> bins(512), kept(512);
    fft.FftAnalyze(block.data(), bins.data());
    for (int k : {1, 17, 33, 49, 65, 81, 97})
        kept[std::size_t(k)] = bins[std::size_t(k)];
    fft.FftSynthesize(kept.data(), block.data());
    fft.FftRelease();
    return block;
}

TEST(CombFilter, EmptySampleIsLeftAlone)
{
    CQuorvelDoc doc;
    doc.SpectralCombFilter();
    EXPECT_TRUE(doc.m_pSamples.empty());
    doc.SpectralCombFilter();  // the transform state is released each time
}

TEST(CombFilter, HundredFramesAreOneBlock)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(-1, 1);
    auto doc = MakeDoc(44100, 1, 100, [&](int, int) { return u(rng); });
    const auto expected = KeptResynthesis(doc->m_pSamples, 0);
    doc->SpectralCombFilter();
    for (int f = 0; f < 100; ++f)
        EXPECT_EQ(doc->GetSample(f, 0), expected[std::size_t(f)]) << f;
}

// Every frame whose blocks lie wholly inside the sample; the last blocks see
// the zeros past the end and keep something of that edge.
TEST(CombFilter, ConstantBecomesSilence)
{
    const int frames = 5000;
    auto doc = MakeDoc(44100, 2, frames, [](int, int c) { return c ? -0.3 : 0.7; });
    doc->SpectralCombFilter();
    for (int f = 0; f < frames - 1024; ++f)
        for (int c = 0; c < 2; ++c)
            ASSERT_NEAR(doc->GetSample(f, c), 0.0, 1e-14) << f;
}

// Where whole blocks lie inside the sample: bin 17 passes unchanged, bin 2
// is removed, on both channels.
TEST(CombFilter, KeepsBinSeventeenRemovesBinTwo)
{
    const int frames = 1024 * 8;
    auto doc = MakeDoc(44100, 2, frames, [](int f, int c) {
        const double keep = 0.6 * std::sin(2 * kTestPi * 17 * f / 1024 + c);
        const double drop = 0.3 * std::cos(2 * kTestPi * 2 * f / 1024);
        return keep + drop;
    });
    doc->SpectralCombFilter();
    for (int f = 0; f < frames - 1024; ++f)
        for (int c = 0; c < 2; ++c)
            ASSERT_NEAR(doc->GetSample(f, c), 0.6 * std::sin(2 * kTestPi * 17 * f / 1024 + c), 1e-12) << f << " " << c;
}

// Blocks at a hop of 512, each writing its first half blended with the second
// half of the block before: weight 0 at the first frame, ½ in the middle.
TEST(CombFilter, BlendsSuccessiveBlocks)
{
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(-1, 1);
    auto doc = MakeDoc(44100, 1, 3000, [&](int, int) { return u(rng); });
    const auto original = doc->m_pSamples;
    const auto b0 = KeptResynthesis(original, 0);
    const auto b1 = KeptResynthesis(original, 512);
    doc->SpectralCombFilter();
    EXPECT_EQ(doc->GetSample(0, 0), b0[0]);
    EXPECT_EQ(doc->GetSample(511, 0), b0[511]);
    EXPECT_EQ(doc->GetSample(512, 0), b0[512]);
    EXPECT_EQ(doc->GetSample(512 + 256, 0), 0.5 * b0[768] + 0.5 * b1[256]);
    FftContext fft;
    fft.FftSetup(1024);
    for (int j = 0; j < 512; ++j) {
        const double w = (fft.SineAt(j - 256) + 1) * 0.5;
        EXPECT_EQ(doc->GetSample(512 + j, 0), (1 - w) * b0[std::size_t(512 + j)] + w * b1[std::size_t(j)]) << j;
    }
    fft.FftRelease();
}

}  // namespace
