#include "TestDocs.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double Weight(int j, int length)
{
    return (std::sin((kTestPi / length) * (j - length / 2)) + 1) * 0.5;
}

// Frames before the loop start are 1, everything else 0, so each faded frame
// shows its weight.
TEST(Crossfade, LengthEightWeights)
{
    auto doc = MakeDoc(44100, 1, 100, [](int f, int) { return f < 40 ? 1.0 : 0.0; });
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 40;
    doc->m_nLoopEnd = 80;
    doc->Crossfade(8);
    EXPECT_EQ(doc->GetSample(72, 0), 0.0);
    EXPECT_DOUBLE_EQ(doc->GetSample(76, 0), 0.5);
    EXPECT_NEAR(doc->GetSample(79, 0), 0.962, 1e-3);
    for (int j = 0; j < 8; ++j)
        EXPECT_EQ(doc->GetSample(72 + j, 0), Weight(j, 8)) << j;
    for (int f = 0; f < 100; ++f) {
        if (f < 72 || f >= 80) {
            EXPECT_EQ(doc->GetSample(f, 0), f < 40 ? 1.0 : 0.0) << f;
        }
    }
}

// The fade reads both stretches before writing: with overlapping stretches
// the frames are blended as they were.
TEST(Crossfade, BlendsOriginalFramesOnEveryChannel)
{
    auto doc = MakeDoc(44100, 2, 64, [](int f, int c) { return (c ? -1.0 : 1.0) * f / 64.0; });
    const auto before = doc->m_pSamples;
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 20;
    doc->m_nLoopEnd = 30;
    doc->Crossfade(16);
    for (int c = 0; c < 2; ++c) {
        for (int j = 0; j < 16; ++j) {
            const double w = Weight(j, 16);
            const double a = before[std::size_t(20 - 16 + j) * 2 + std::size_t(c)];
            const double e = before[std::size_t(30 - 16 + j) * 2 + std::size_t(c)];
            EXPECT_EQ(doc->GetSample(30 - 16 + j, c), (1 - w) * e + w * a) << c << " " << j;
        }
        for (int f = 30; f < 64; ++f)
            EXPECT_EQ(doc->GetSample(f, c), before[std::size_t(f) * 2 + std::size_t(c)]);
    }
}

TEST(Crossfade, LengthZeroChangesNothing)
{
    auto doc = MakeDoc(44100, 1, 50, [](int f, int) { return f * 0.01; });
    const auto before = doc->m_pSamples;
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 10;
    doc->m_nLoopEnd = 13;
    doc->Crossfade(0);
    doc->Crossfade(-3);
    EXPECT_EQ(doc->m_pSamples, before);
    CQuorvelDoc empty;
    empty.Crossfade(8);
}

TEST(Crossfade, StartNearFrameZeroFadesTowardSilence)
{
    auto doc = MakeDoc(44100, 1, 100, [](int, int) { return 1.0; });
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 3;
    doc->m_nLoopEnd = 50;
    doc->Crossfade(8);
    for (int j = 0; j < 8; ++j) {
        const double a = 3 - 8 + j < 0 ? 0.0 : 1.0;
        const double w = Weight(j, 8);
        EXPECT_EQ(doc->GetSample(42 + j, 0), (1 - w) * 1.0 + w * a) << j;
    }
}

TEST(Crossfade, EndPastTheLastFrameSkipsMissingFrames)
{
    auto doc = MakeDoc(44100, 1, 40, [](int f, int) { return f < 10 ? 1.0 : 0.25; });
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 10;
    doc->m_nLoopEnd = 43;
    doc->Crossfade(8);
    ASSERT_EQ(doc->m_pSamples.size(), 40u);
    for (int j = 0; j < 5; ++j) {
        const double w = Weight(j, 8);
        EXPECT_EQ(doc->GetSample(35 + j, 0), (1 - w) * 0.25 + w * 1.0) << j;
    }
}

TEST(Crossfade, LengthRuleForFindLoopCrossfade)
{
    CQuorvelDoc doc;
    doc.m_nBankSize = 1024;
    doc.m_nLoopStart = 1000;
    doc.m_nLoopEnd = 1000 + 32768;
    EXPECT_EQ(doc.CrossfadeLengthForLoop(), 8192);
    doc.m_nLoopEnd = 1000 + 32769;
    EXPECT_EQ(doc.CrossfadeLengthForLoop(), 8192);
    doc.m_nLoopEnd = 1000 + 100000;
    EXPECT_EQ(doc.CrossfadeLengthForLoop(), 8192);
    doc.m_nLoopEnd = 1000 + 1001;
    EXPECT_EQ(doc.CrossfadeLengthForLoop(), 250);
    doc.m_nLoopEnd = 1003;
    EXPECT_EQ(doc.CrossfadeLengthForLoop(), 0);
    doc.m_nBankSize = 256;
    doc.m_nLoopEnd = 1000 + 8193;
    EXPECT_EQ(doc.CrossfadeLengthForLoop(), 2048);
}

// Without a source file the reload does nothing: the sequence is the search
// followed by the crossfade of the length rule.
TEST(Crossfade, FindLoopCrossfadeSequence)
{
    auto make = [] { return MakeDoc(44100, 2, 60000, [](int f, int c) { return std::sin(f * 0.013 + c) * (1 - f / 80000.0); }); };
    auto doc = make(), expected = make();
    doc->AllocateBanks();
    expected->AllocateBanks();
    doc->FindLoopCrossfade();
    expected->FindLoop();
    const int length = expected->CrossfadeLengthForLoop();
    EXPECT_EQ(length, 8192);
    expected->Crossfade(length);
    EXPECT_EQ(doc->m_nLoopStart, expected->m_nLoopStart);
    EXPECT_EQ(doc->m_nLoopEnd, expected->m_nLoopEnd);
    EXPECT_EQ(doc->m_pSamples, expected->m_pSamples);
}

TEST(Crossfade, FailingReloadStopsTheSequence)
{
    auto doc = MakeDoc(44100, 1, 5000, [](int f, int) { return std::sin(f * 0.1); });
    doc->AllocateBanks();
    doc->m_strSourcePath = "/nonexistent/folder/take.wav";
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 100;
    doc->m_nLoopEnd = 4000;
    const auto before = doc->m_pSamples;
    EXPECT_THROW(doc->FindLoopCrossfade(), CException);
    EXPECT_EQ(doc->m_nLoopStart, 100);
    EXPECT_EQ(doc->m_nLoopEnd, 4000);
    EXPECT_EQ(doc->m_pSamples, before);
}

}  // namespace
