#include "analysis/ComputeFFTBanksThread.h"
#include "analysis/ComputeFFTSession.h"
#include "ScriptedProgress.h"
#include "TestDocs.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Long enough that the worker is still busy when an early Cancel arrives:
// 60 s of 44.1 kHz stereo, 5166 steps.
std::unique_ptr<CQuorvelDoc> LongStereo()
{
    static const auto proto = MakeDoc(44100, 2, 44100 * 60, [](int f, int c) { return 0.5 * std::sin(f * 0.0123 * (c + 1)) + 0.001; });
    auto doc = std::make_unique<CQuorvelDoc>();
    doc->m_nSampleRate = proto->m_nSampleRate;
    doc->m_nChannels = proto->m_nChannels;
    doc->m_nFrameCount = proto->m_nFrameCount;
    doc->m_pSamples = proto->m_pSamples;
    return doc;
}

int NonZeroBanks(const CQuorvelDoc& doc)
{
    int count = 0;
    for (int c = 0; c < doc.m_nChannels; ++c)
        for (int b = 0; b < doc.m_nBankCount; ++b)
            count += doc.BankSpectrum(b, c)[0] != Complex(0.0, 0.0);
    return count;
}

// The load fails with the archive exception of a cancelled dialog, and no
// worker is left behind.
void ExpectCancelledLoad(CQuorvelDoc& doc, CCancelAtStepUserInterface& ui)
{
    doc.SetUserInterface(&ui);
    try {
        doc.ComputeBanks();
        FAIL() << "the load should have failed";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::generic);
        EXPECT_TRUE(e.m_strFileName.empty());
    }
    EXPECT_TRUE(ui.m_bCancelled);
    EXPECT_EQ(CComputeFFTBanksThread::GetRunningCount(), 0);
    doc.SetUserInterface(nullptr);
}

TEST(ComputeBanksThread, CancelAtOnceFailsTheLoad)
{
    auto doc = LongStereo();
    CCancelAtStepUserInterface ui(0);
    ExpectCancelledLoad(*doc, ui);
    EXPECT_LT(NonZeroBanks(*doc), doc->m_nBankCount * 2);
    // The tables stay allocated until the document is reset.
    EXPECT_EQ(doc->m_pBankSpectra.size(), std::size_t(doc->m_nBankCount) * 2 * 512);
    doc->DeleteContents();
    EXPECT_TRUE(doc->m_pBankSpectra.empty());
}

TEST(ComputeBanksThread, CancelMidwayFailsTheLoad)
{
    auto doc = LongStereo();
    const int total = doc->m_nFrameCount / 1024 * 2;
    CCancelAtStepUserInterface ui(total / 3);
    ExpectCancelledLoad(*doc, ui);
    EXPECT_GE(ui.m_polls.back(), total / 3);
    EXPECT_LT(NonZeroBanks(*doc), total);
}

// Every step is counted, but the user cancels before the poll that would
// close the progress: the load still fails.
TEST(ComputeBanksThread, CancelAfterTheLastStepStillFailsTheLoad)
{
    auto doc = MakeDoc(44100, 2, 1024 * 20, [](int f, int) { return std::sin(f * 0.2) + 0.01; });
    CCancelAtStepUserInterface ui(40);
    ExpectCancelledLoad(*doc, ui);
    EXPECT_EQ(ui.m_polls.back(), 40);
    EXPECT_EQ(NonZeroBanks(*doc), 40);
    // The curves were never computed.
    for (double v : doc->m_pLoopCurves)
        EXPECT_EQ(v, 0.0);
}

TEST(ComputeBanksThread, CurvesFollowTheLastCountedStep)
{
    auto doc = LongStereo();
    doc->m_bHasLoop = true;
    doc->m_nLoopStart = 1000;
    doc->m_nLoopEnd = 200000;
    CCancelAtStepUserInterface ui(CCancelAtStepUserInterface::kNever);
    bool curvesBeforeEnd = false;
    int last = -1;
    bool monotonic = true;
    ui.m_fnOnPoll = [&](int done, int) {
        monotonic = monotonic && done >= last;
        last = done;
        for (double v : doc->m_pLoopCurves)
            curvesBeforeEnd = curvesBeforeEnd || v != 0.0;
    };
    doc->SetUserInterface(&ui);
    doc->ComputeBanks();
    doc->SetUserInterface(nullptr);
    EXPECT_FALSE(curvesBeforeEnd);
    EXPECT_TRUE(monotonic);
    EXPECT_EQ(ui.m_polls.back(), ui.m_nTotal);
    EXPECT_EQ(NonZeroBanks(*doc), ui.m_nTotal);
    EXPECT_EQ(CComputeFFTBanksThread::GetRunningCount(), 0);
    for (int b = 0; b < doc->m_nBankCount; ++b)
        EXPECT_GT(doc->GetCurve(b, 0), 0.0);
    EXPECT_GT(doc->GetCurve(0, 1), 0.0);
}

// The headless progress polls until every step is counted.
TEST(ComputeBanksThread, HeadlessProgressCompletes)
{
    auto doc = MakeDoc(44100, 1, 1024 * 30, [](int f, int) { return std::sin(f * 0.01); });
    CHeadlessUserInterface ui;
    doc->SetUserInterface(&ui);
    doc->ComputeBanks();
    doc->SetUserInterface(nullptr);
    EXPECT_EQ(NonZeroBanks(*doc), 30);
    // Without banks the first poll closes the progress.
    auto empty = MakeDoc(44100, 1, 100, [](int, int) { return 0.0; });
    empty->SetUserInterface(&ui);
    empty->ComputeBanks();
    EXPECT_EQ(empty->m_nBankCount, 0);
}

// The worker protocol on its own: counted steps reach the total even when
// cancelled, and the session's destructor never leaves a worker running.
TEST(ComputeBanksThread, SessionCountsEveryStepAndEndsItsWorker)
{
    auto doc = LongStereo();
    doc->AllocateBanks();
    {
        CComputeFFTSession session(*doc);
        EXPECT_EQ(session.GetTotal(), doc->m_nBankCount * 2);
        session.Cancel();
        EXPECT_EQ(session.PollDone(), session.GetTotal());
        EXPECT_TRUE(session.WasCancelled());
    }
    {
        CComputeFFTSession session(*doc);
        // Destroyed while the worker runs: it is cancelled and waited for.
    }
    EXPECT_EQ(CComputeFFTBanksThread::GetRunningCount(), 0);
}

// Two documents loading at once on two threads each use their own transform
// state and get the same banks as one loading alone.
TEST(ComputeBanksThread, TwoDocumentsOnTwoThreads)
{
    auto make = [] { return MakeDoc(44100, 2, 1024 * 200, [](int f, int c) { return std::sin(f * 0.001 * (c + 3)); }); };
    auto a = make(), b = make(), ref = make();
    CCancelAtStepUserInterface uiRef(CCancelAtStepUserInterface::kNever);
    ref->SetUserInterface(&uiRef);
    ref->ComputeBanks();
    auto run = [](CQuorvelDoc* doc) {
        CCancelAtStepUserInterface ui(CCancelAtStepUserInterface::kNever);
        doc->SetUserInterface(&ui);
        doc->ComputeBanks();
        doc->SetUserInterface(nullptr);
    };
    std::thread ta(run, a.get()), tb(run, b.get());
    ta.join();
    tb.join();
    EXPECT_EQ(a->m_pBankSpectra, ref->m_pBankSpectra);
    EXPECT_EQ(b->m_pBankSpectra, ref->m_pBankSpectra);
    EXPECT_EQ(a->m_pLoopCurves, ref->m_pLoopCurves);
}

}  // namespace
