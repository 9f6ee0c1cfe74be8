#include "TestDocs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// The score summed in full, term by term, with no early exit.
double FullScore(const CQuorvelDoc& doc, int start, int candidate)
{
    const int n = doc.m_nBankSize;
    double s = 0.0;
    for (int c = 0; c < doc.m_nChannels; ++c)
        for (int j = 0; j < n; ++j)
            s = s + n * std::fabs(doc.GetSampleChecked(start + j, c) - doc.GetSampleChecked(candidate + j, c)) / (n / 10 + j);
    return s / n;
}

int Sign(double v)
{
    return (v > 0) - (v < 0);
}

struct Loop {
    int start, end;
};

// The search written out plainly with full scores: snap to the bank grid,
// zero crossing of channel 0, minimum length (at most to the last frame),
// every candidate not past the last frame, ties to the smallest offset.
Loop ReferenceSearch(const CQuorvelDoc& doc)
{
    const int n = doc.m_nBankSize;
    int start = doc.m_bHasLoop ? doc.m_nLoopStart : 0;
    int end = doc.m_bHasLoop ? doc.m_nLoopEnd : doc.m_nFrameCount;
    start = (start / n + 1) * n - 1;
    end = end / n * n;
    start = std::clamp(start, 0, doc.m_nFrameCount - 1);
    end = std::clamp(end, 1, doc.m_nFrameCount);
    if (start >= end)
        end = start + 1;
    while (start > 0) {
        const double v = doc.GetSample(start, 0), u = doc.GetSample(start - 1, 0);
        if (v == 0 || Sign(u) != Sign(v))
            break;
        --start;
    }
    if (end - start < n / 8)
        end = std::min(start + n / 8, doc.m_nFrameCount);
    double best = 10.0;
    int offset = 0;
    for (int i = 0; i < n && end + i <= doc.m_nFrameCount; ++i) {
        const double s = FullScore(doc, start, end + i);
        if (s < best) {
            best = s;
            offset = i;
        }
    }
    return {start, end + offset};
}

std::unique_ptr<CQuorvelDoc> Noise(int rate, int channels, int frames, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    auto doc = MakeDoc(rate, channels, frames, [&](int, int) { return u(rng); });
    doc->AllocateBanks();
    return doc;
}

TEST(LoopSearch, EmptyDocumentIsLeftAlone)
{
    CQuorvelDoc doc;
    doc.m_nBankSize = 1024;
    doc.FindLoop();
    EXPECT_FALSE(doc.m_bHasLoop);
}

TEST(LoopSearch, WithoutLoopSearchesTheWholeSample)
{
    auto doc = MakeDoc(44100, 1, 100000, [](int f, int) { return std::sin(f * 0.0371 + 0.2) * (1.0 + f * 1e-5); });
    doc->AllocateBanks();
    ASSERT_EQ(doc->m_nBankSize, 1024);
    const Loop ref = ReferenceSearch(*doc);
    doc->FindLoop();
    EXPECT_TRUE(doc->m_bHasLoop);
    EXPECT_EQ(doc->m_nLoopStart, ref.start);
    EXPECT_EQ(doc->m_nLoopEnd, ref.end);
    EXPECT_LE(doc->m_nLoopStart, 1023);
    EXPECT_GE(doc->m_nLoopEnd, 99328);
    EXPECT_LE(doc->m_nLoopEnd, 100000);
    // The start follows a change of sign of channel 0.
    const int s = doc->m_nLoopStart;
    EXPECT_NE(Sign(doc->GetSample(s, 0)), Sign(doc->GetSample(s - 1, 0)));
    for (int f = s + 1; f <= 1023; ++f)
        EXPECT_EQ(Sign(doc->GetSample(f, 0)), Sign(doc->GetSample(f - 1, 0))) << f;
}

TEST(LoopSearch, LoopInsideOneBankGetsMinimumLength)
{
    auto doc = MakeDoc(44100, 1, 20000, [](int f, int) { return std::sin(f * 0.05 + 1.0); });
    doc->AllocateBanks();
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 100;
    doc->m_nLoopEnd = 900;
    const Loop ref = ReferenceSearch(*doc);
    doc->FindLoop();
    const int s = doc->m_nLoopStart;
    EXPECT_EQ(s, ref.start);
    EXPECT_LE(s, 1023);
    EXPECT_EQ(doc->m_nLoopEnd, ref.end);
    EXPECT_GE(doc->m_nLoopEnd, s + 128);
    EXPECT_LE(doc->m_nLoopEnd, s + 1151);
}

TEST(LoopSearch, SilenceAtTheStartKeepsTheStartAtTheBankEnd)
{
    auto doc = MakeDoc(44100, 1, 30000, [](int f, int) { return f < 3000 ? 0.0 : std::sin(f * 0.1); });
    doc->AllocateBanks();
    doc->FindLoop();
    EXPECT_EQ(doc->m_nLoopStart, 1023);
}

// Channel 0 repeats every 100 frames, channel 1 every 1000: only candidates
// a multiple of 1000 frames after the start match in both. Channel 1's own
// sign changes are ignored by the start adjustment.
TEST(LoopSearch, StereoScoresBothChannelsAndCrossesZeroOnChannelZero)
{
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> p0(100), p1(1000);
    for (int i = 0; i < 100; ++i)
        p0[std::size_t(i)] = std::sin(2 * kTestPi * (i + 0.5) / 100);
    for (double& v : p1)
        v = u(rng);
    auto stereo = MakeDoc(44100, 2, 50000, [&](int f, int c) { return c == 0 ? p0[std::size_t(f % 100)] : p1[std::size_t(f % 1000)]; });
    auto mono = MakeDoc(44100, 1, 50000, [&](int f, int) { return p0[std::size_t(f % 100)]; });
    for (auto* doc : {stereo.get(), mono.get()}) {
        doc->AllocateBanks();
        doc->m_bHasLoop = true;
        doc->m_nLoopStart = 5000;
        doc->m_nLoopEnd = 30000;
        doc->FindLoop();
    }
    // From 5119 back to the frame after channel 0's last change of sign.
    EXPECT_EQ(stereo->m_nLoopStart, 5100);
    EXPECT_EQ(mono->m_nLoopStart, 5100);
    // Candidates from 29696: both channels repeat first at 30100.
    EXPECT_EQ(stereo->m_nLoopEnd, 30100);
    // Channel 0 alone repeats every 100 frames: the first such candidate.
    EXPECT_EQ(mono->m_nLoopEnd, 29700);
}

TEST(LoopSearch, EqualScoresGoToTheSmallestOffset)
{
    // Period 4: candidates 4 frames apart match equally (score 0).
    const double pattern[4] = {0.5, 0.25, -0.5, -0.25};
    auto doc = MakeDoc(44100, 1, 20000, [&](int f, int) { return pattern[f % 4]; });
    doc->AllocateBanks();
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 2000;
    doc->m_nLoopEnd = 9000;
    doc->FindLoop();
    // Start 2047 → back to 2046 (0.25 → −0.5); end 8192: offsets 2, 6,
    // 10, … all score 0, the first is taken.
    EXPECT_EQ(doc->m_nLoopStart, 2046);
    EXPECT_EQ(doc->m_nLoopEnd, 8192 + 2);
    EXPECT_EQ(doc->LoopScore(2046, 8194, 10.0), 0.0);
    EXPECT_EQ(doc->LoopScore(2046, 8198, 10.0), 0.0);
}

// The early exit is an optimisation only: results equal the full-sum search
// on noise, tones and mixtures, mono and stereo, several rates.
TEST(LoopSearch, EarlyExitNeverChangesTheOutcome)
{
    struct Case {
        int rate, channels, frames;
        unsigned seed;
    };
    for (const Case& k : {Case{44100, 1, 60000, 1}, Case{44100, 2, 60000, 2}, Case{8000, 2, 9000, 3},
                          Case{22050, 1, 30000, 4}, Case{300, 1, 2000, 5}}) {
        auto doc = Noise(k.rate, k.channels, k.frames, k.seed);
        // Add a tone so that scores vary smoothly between candidates.
        for (int f = 0; f < k.frames; ++f)
            for (int c = 0; c < k.channels; ++c)
                doc->SetSample(f, c, 0.2 * doc->GetSample(f, c) + std::sin(f * 0.07 * (c + 1)));
        for (int trial = 0; trial < 3; ++trial) {
            doc->m_bHasLoop = trial > 0;
            doc->m_nLoopStart = k.frames / 7 * trial;
            doc->m_nLoopEnd = k.frames - k.frames / 5 * trial;
            const Loop ref = ReferenceSearch(*doc);
            doc->FindLoop();
            EXPECT_EQ(doc->m_nLoopStart, ref.start) << k.rate << "/" << k.channels << " trial " << trial;
            EXPECT_EQ(doc->m_nLoopEnd, ref.end) << k.rate << "/" << k.channels << " trial " << trial;
        }
    }
}

TEST(LoopSearch, ScoreIsTheFullSumOrAboveTheLimit)
{
    auto doc = Noise(44100, 2, 20000, 9);
    for (int cand : {3000, 15000, 19500, 20000}) {
        const double full = FullScore(*doc, 1000, cand);
        EXPECT_EQ(doc->LoopScore(1000, cand, 1e9), full) << cand;
        EXPECT_GT(doc->LoopScore(1000, cand, full / 2), full / 2) << cand;
        EXPECT_EQ(doc->LoopScore(1000, cand, full * 1.0000001), full) << cand;
    }
}

// The end never passes the last frame, even where the minimum length or the
// candidates would reach beyond it.
TEST(LoopSearch, EndNeverBeyondTheFrameCount)
{
    auto doc = Noise(44100, 2, 5000, 21);
    for (const Loop& l : {Loop{100, 4990}, Loop{4990, 5000}, Loop{4000, 4999}, Loop{0, 5000}}) {
        doc->m_bHasLoop = true;
        doc->m_nLoopStart = l.start;
        doc->m_nLoopEnd = l.end;
        const Loop ref = ReferenceSearch(*doc);
        doc->FindLoop();
        EXPECT_LE(doc->m_nLoopEnd, 5000);
        EXPECT_LT(doc->m_nLoopStart, doc->m_nLoopEnd);
        EXPECT_EQ(doc->m_nLoopStart, ref.start);
        EXPECT_EQ(doc->m_nLoopEnd, ref.end);
    }
    // A loop start in the last bank: the minimum length stops at the end.
    auto tone = MakeDoc(44100, 1, 5000, [](int f, int) { return f % 2 ? 0.5 : -0.5; });
    tone->AllocateBanks();
    tone->m_bHasLoop = true;
    tone->m_nLoopStart = 4990;
    tone->m_nLoopEnd = 5000;
    tone->FindLoop();
    EXPECT_EQ(tone->m_nLoopStart, 4999);
    EXPECT_EQ(tone->m_nLoopEnd, 5000);
    // No sign change at all: the start goes back to frame 0.
    auto flat = MakeDoc(44100, 1, 5000, [](int, int) { return 0.5; });
    flat->AllocateBanks();
    flat->FindLoop();
    EXPECT_EQ(flat->m_nLoopStart, 0);
    EXPECT_LE(flat->m_nLoopEnd, 5000);
}

// Frames re-read into a document whose banks were never computed: the search
// uses the bank size of the sample rate instead of dividing by zero.
TEST(LoopSearch, WithoutBanksUsesTheRateBankSize)
{
    auto a = Noise(44100, 1, 40000, 4);
    auto b = MakeDoc(44100, 1, 40000, [&](int f, int c) { return a->GetSample(f, c); });
    ASSERT_EQ(b->m_nBankSize, 0);
    a->FindLoop();
    b->FindLoop();
    EXPECT_EQ(a->m_nLoopStart, b->m_nLoopStart);
    EXPECT_EQ(a->m_nLoopEnd, b->m_nLoopEnd);
}

}  // namespace
