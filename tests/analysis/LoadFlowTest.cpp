// The banks, the curves and the Find Loop + Crossfade sequence through the
// real file flow: a WAV written by the document, opened again, reloaded.
#include "ScriptedProgress.h"
#include "TempFolder.h"
#include "TestDocs.h"
#include "analysis/ComputeFFTBanksThread.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

class LoadFlow : public ::testing::Test {
protected:
    // A 44.1 kHz stereo tone of `frames` frames with a loop, saved as WAV.
    std::string SaveTone(int frames)
    {
        auto doc = MakeDoc(44100, 2, frames, [](int f, int c) { return 0.6 * std::sin(f * 0.031 + c) * (1.0 - f / 400000.0); });
        doc->m_bHasLoop = true;
        doc->m_nLoopStart = 5000;
        doc->m_nLoopEnd = frames - 3000;
        const std::string path = (m_dir / "tone.wav").string();
        EXPECT_TRUE(DocumentFlow::SaveDocument(*doc, path)) << doc->GetLastFailure();
        return path;
    }

    CTempFolder m_dir;
};

TEST_F(LoadFlow, OpenComputesBanksAndCurves)
{
    const std::string path = SaveTone(60000);
    CQuorvelDoc doc;
    CCancelAtStepUserInterface ui(CCancelAtStepUserInterface::kNever);
    doc.SetUserInterface(&ui);
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, path)) << doc.GetLastFailure();
    EXPECT_TRUE(doc.m_bLoaded);
    EXPECT_EQ(doc.m_nBankCount, 58);
    EXPECT_EQ(ui.m_nTotal, 116);
    EXPECT_EQ(doc.GetCurve(3, 1), -1.0);
    EXPECT_GT(doc.GetCurve(4, 1), 0.0);  // 5000 / 1024 = bank 4
    EXPECT_GT(doc.GetCurve(0, 0), 0.0);
}

TEST_F(LoadFlow, CancelledOpenLeavesAnEmptyDocument)
{
    const std::string path = SaveTone(400000);
    for (int cancelAt : {0, 200, 780}) {
        CQuorvelDoc doc;
        CCancelAtStepUserInterface ui(cancelAt);
        doc.SetUserInterface(&ui);
        EXPECT_FALSE(DocumentFlow::OpenDocument(doc, path));
        EXPECT_TRUE(ui.m_bCancelled);
        EXPECT_FALSE(doc.m_bLoaded);
        EXPECT_EQ(doc.m_nFrameCount, 0);
        EXPECT_TRUE(doc.m_pBankSpectra.empty());
        EXPECT_TRUE(doc.m_pLoopCurves.empty());
        EXPECT_EQ(doc.GetLastFailure(), "");  // the user's cancel is no failure to report
        EXPECT_EQ(CComputeFFTBanksThread::GetRunningCount(), 0);
    }
}

// Every run starts again from the frames on disk: two runs leave the same
// frames, equal to reload + search + crossfade done by hand.
TEST_F(LoadFlow, FindLoopCrossfadeStartsFromTheFileEachTime)
{
    const std::string path = SaveTone(60000);
    CQuorvelDoc doc;
    CCancelAtStepUserInterface ui(CCancelAtStepUserInterface::kNever);
    doc.SetUserInterface(&ui);
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, path)) << doc.GetLastFailure();
    const auto fromFile = doc.m_pSamples;

    doc.FindLoopCrossfade();
    const auto once = doc.m_pSamples;
    const int start = doc.m_nLoopStart, end = doc.m_nLoopEnd;
    EXPECT_NE(once, fromFile);

    CQuorvelDoc byHand;
    byHand.m_nSampleRate = 44100;
    byHand.m_nChannels = 2;
    byHand.m_nFrameCount = doc.m_nFrameCount;
    byHand.m_nBankSize = doc.m_nBankSize;
    byHand.m_pSamples = fromFile;
    byHand.m_bHasLoop = true;
    byHand.m_nLoopStart = 5000;
    byHand.m_nLoopEnd = 57000;
    byHand.FindLoop();
    EXPECT_EQ(byHand.m_nLoopStart, start);
    EXPECT_EQ(byHand.m_nLoopEnd, end);
    byHand.Crossfade(byHand.CrossfadeLengthForLoop());
    EXPECT_EQ(byHand.m_pSamples, once);

    // The second run searches from the loop the first one left, on fresh frames.
    doc.FindLoopCrossfade();
    byHand.m_pSamples = fromFile;
    byHand.FindLoop();
    byHand.Crossfade(byHand.CrossfadeLengthForLoop());
    EXPECT_EQ(doc.m_nLoopStart, byHand.m_nLoopStart);
    EXPECT_EQ(doc.m_nLoopEnd, byHand.m_nLoopEnd);
    EXPECT_EQ(doc.m_pSamples, byHand.m_pSamples);
}

}  // namespace
