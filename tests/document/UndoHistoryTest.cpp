// Edit > Undo and Redo on the document: every kind of change comes back
// exactly, frame edits keep only the values they changed, the history stays
// inside its bounds, and the modified mark follows the saved state.
#include "WavTestSupport.h"

#include "analysis/BankSize.h"
#include "document/QuorvelDoc.h"
#include "document/UndoHistory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

// Two channels of 4000 frames of a slow sine, loop 1000–3000.
void FillTone(CQuorvelDoc& doc)
{
    std::vector<double> v(8000);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = 0.5 * std::sin(double(i / 2) * 0.05) + (i % 2 ? 0.1 : 0.0);
    FillDocument(doc, 2, 44100, v);
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 1000;
    doc.m_nLoopEnd = 3000;
}

struct EditCase {
    const char* name;
    std::function<void(CQuorvelDoc&)> edit;
    std::size_t maxBytes;  // what the step may keep
};

}  // namespace

TEST(UndoHistory, EveryKindOfChangeIsUndoneAndRedoneExactly)
{
    const EditCase cases[] = {
        {"loop points", [](CQuorvelDoc& d) { d.m_nLoopStart = 10, d.m_nLoopEnd = 20; }, 0},
        {"remove loop", [](CQuorvelDoc& d) { d.m_bHasLoop = false; }, 0},
        {"unity note", [](CQuorvelDoc& d) { d.m_nUnityNote = 72; }, 0},
        {"pitch fraction", [](CQuorvelDoc& d) { d.SetTuning({60, 0x40000000u}); }, 0},
        // A crossfade keeps its 200 frames × 2 channels, not the sample.
        {"crossfade", [](CQuorvelDoc& d) { d.Crossfade(200); }, 200 * 2 * sizeof(double)},
        {"comb filter", [](CQuorvelDoc& d) { d.SpectralCombFilter(); }, 8000 * sizeof(double)},
        {"frames replaced, same size",
         [](CQuorvelDoc& d) {
             std::vector<double> v = d.m_pSamples;
             v[6] = v[7000] = 0.9;
             d.m_undo.RecordReplacement(v);
             d.m_pSamples = v;
         },
         2 * 65 * sizeof(double)},
        {"frames replaced, other size",
         [](CQuorvelDoc& d) {
             const std::vector<double> v(300, 0.25);
             d.m_undo.RecordReplacement(v);
             d.m_pSamples = v;
             d.m_nFrameCount = 150;
         },
         8000 * sizeof(double)},
        {"nested steps are one",
         [](CQuorvelDoc& d) {
             d.BeginUndoStep("inner");
             d.Crossfade(50);
             d.EndUndoStep();
             d.m_nLoopEnd = 2500;
             d.Crossfade(100);
         },
         150 * 2 * sizeof(double)},
    };
    for (const EditCase& c : cases) {
        CQuorvelDoc doc;
        FillTone(doc);
        const std::vector<double> before = doc.m_pSamples;
        const CEditState stateBefore = doc.GetEditState();
        doc.BeginUndoStep(c.name);
        c.edit(doc);
        doc.EndUndoStep();
        const std::vector<double> after = doc.m_pSamples;
        const CEditState stateAfter = doc.GetEditState();
        ASSERT_EQ(doc.GetUndoHistory().GetStepCount(), 1u) << c.name;
        EXPECT_EQ(doc.GetUndoHistory().UndoName(), c.name);
        EXPECT_LE(doc.GetUndoHistory().GetBytes(), c.maxBytes) << c.name;
        for (int round = 0; round < 2; ++round) {
            doc.Undo();
            EXPECT_EQ(doc.m_pSamples, before) << c.name;
            EXPECT_TRUE(doc.GetEditState() == stateBefore) << c.name;
            doc.Redo();
            EXPECT_EQ(doc.m_pSamples, after) << c.name;
            EXPECT_TRUE(doc.GetEditState() == stateAfter) << c.name;
        }
    }
}

TEST(UndoHistory, AStepThatChangesNothingIsNotKept)
{
    CQuorvelDoc doc;
    FillTone(doc);
    doc.BeginUndoStep("Auto Loop");
    doc.EndUndoStep();
    EXPECT_FALSE(doc.GetUndoHistory().CanUndo());
}

TEST(UndoHistory, TheOldestStepsGoBeyondTheStepAndByteBounds)
{
    std::vector<double> frames(1000, 0.0);
    struct Case { std::size_t maxBytes, maxSteps, kept; };
    // Each step keeps 100 values (800 bytes).
    for (const Case& c : {Case{100000, 3, 3}, Case{2000, 100, 2}, Case{500, 100, 0}}) {
        CUndoHistory history(c.maxBytes, c.maxSteps);
        for (int i = 0; i < 5; ++i) {
            CEditState s;
            s.m_nLoopStart = i;
            history.Begin("edit", s, frames);
            history.RecordValues(std::size_t(i) * 100, 100);
            s.m_nLoopStart = i + 1;
            history.End(s);
        }
        EXPECT_EQ(history.GetStepCount(), c.kept) << c.maxBytes;
        EXPECT_LE(history.GetBytes(), c.maxBytes);
        EXPECT_LE(history.GetStepCount(), c.maxSteps);
    }
}

TEST(UndoHistory, TheModifiedMarkFollowsTheSavedState)
{
    CQuorvelDoc doc;
    FillTone(doc);
    auto edit = [&](int start) {
        doc.BeginUndoStep("Move Loop Start");
        doc.m_nLoopStart = start;
        doc.SetModifiedFlag();
        doc.EndUndoStep();
    };
    edit(100);
    doc.m_undo.MarkSaved();  // as a successful save does
    doc.SetModifiedFlag(false);
    edit(200);
    doc.Undo();
    EXPECT_FALSE(doc.IsModified());  // back at the file's contents
    doc.Undo();
    EXPECT_TRUE(doc.IsModified());
    doc.Redo();
    EXPECT_FALSE(doc.IsModified());
    doc.Redo();
    EXPECT_TRUE(doc.IsModified());  // away from it again
    // Undo past the save, then a new edit: the saved state cannot come back.
    doc.Undo();
    doc.Undo();
    edit(300);
    doc.Undo();
    EXPECT_TRUE(doc.IsModified());
    // Opening or emptying the document forgets the history.
    doc.OnNewDocument();
    EXPECT_FALSE(doc.GetUndoHistory().CanUndo() || doc.GetUndoHistory().CanRedo());
}

TEST(UndoHistory, ATrimComesBackWithItsLoopsReleaseSourceAndBanks)
{
    CQuorvelDoc doc;
    FillTone(doc);
    doc.m_extraLoops = {{1200, 2800, 1}};
    doc.m_nRelease = 3200;
    doc.m_fileLoop = CFileLoop{true, 1000, 3000, 1, false};
    doc.m_strSourcePath = "tone.wav";
    doc.m_nBankSize = BankSizeForSampleRate(doc.m_nSampleRate);
    doc.ComputeBanksHere();
    auto whole = [&] { return std::make_tuple(doc.m_pSamples, doc.GetEditState(), doc.m_pBankSpectra, doc.m_pLoopCurves); };
    const auto before = whole();
    doc.BeginUndoStep("Trim Start");
    doc.Trim(CTrimCut{500, 300, 20, 20});  // 3200 frames: as many banks as 4000, of other frames
    doc.EndUndoStep();
    ASSERT_EQ(doc.m_nFrameCount, 3200);
    EXPECT_EQ(doc.m_nRelease, 2700);
    EXPECT_EQ(doc.m_strSourcePath, "");  // Reload has nothing to read
    const auto after = whole();
    for (int round = 0; round < 2; ++round) {
        doc.Undo();
        EXPECT_TRUE(whole() == before);  // Reload reads the file again
        doc.Redo();
        EXPECT_TRUE(whole() == after);
    }
}
