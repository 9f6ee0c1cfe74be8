// The texts of the status panes: loop, pointer and seam score.
#include "view/StatusText.h"

#include "TestDocs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

double Tone(int f, int c)
{
    return 0.4 * std::sin(f * 0.031 + c);
}

}  // namespace

TEST(StatusText, LoopAndPointerPanes)
{
    CQuorvelDoc empty;
    EXPECT_EQ(LoopPaneText(empty), "");
    EXPECT_EQ(PointerPaneText(empty, -1), "");

    CQuorvelDoc doc;
    FillDoc(doc, 2, 100000, Tone);
    EXPECT_EQ(LoopPaneText(doc), "No loop");

    struct Case {
        int start;
        int end;
        int rate;
        const char* text;
    };
    const Case loops[] = {
        {1000, 45100, 44100, "1000–45100, 44100 frames, 1.000 s"},
        {0, 1, 48000, "0–1, 1 frames, 0.000 s"},
        {20, 99999, 96000, "20–99999, 99979 frames, 1.041 s"},
        {5, 10, 0, "5–10, 5 frames"},  // no rate, no time
    };
    for (const Case& c : loops) {
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = c.start;
        doc.m_nLoopEnd = c.end;
        doc.m_nSampleRate = c.rate;
        EXPECT_EQ(LoopPaneText(doc), c.text);
    }

    doc.m_nSampleRate = 44100;
    EXPECT_EQ(PointerPaneText(doc, 22050), "Frame 22050, 0.500 s");
    EXPECT_EQ(PointerPaneText(doc, 0), "Frame 0, 0.000 s");
    EXPECT_EQ(PointerPaneText(doc, -1), "");
    doc.m_nSampleRate = 0;
    EXPECT_EQ(PointerPaneText(doc, 7), "Frame 7");
}

TEST(StatusText, ScorePaneShowsTheSeamScoreOfTheLoop)
{
    CQuorvelDoc doc;
    FillDoc(doc, 2, 100000, Tone, [](int, int) { return 0.5; });
    EXPECT_EQ(ScorePaneText(doc), "");  // no loop

    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 10000;
    doc.m_nLoopEnd = 60123;
    const std::string text = ScorePaneText(doc);
    ASSERT_EQ(text.rfind("Score ", 0), 0u) << text;
    const double shown = std::strtod(text.c_str() + 6, nullptr);
    const double score = doc.SeamScore(10000, 60123);
    ASSERT_GT(score, 0.0);
    EXPECT_NEAR(shown, score, score * 1e-3) << text;

    // A loop of whole periods splices perfectly.
    doc.m_nLoopEnd = 10000 + 2 * 10000;
    FillDoc(doc, 1, 100000, [](int f, int) { return (f % 100 - 50) / 100.0; }, [](int, int) { return 0.5; });
    EXPECT_EQ(ScorePaneText(doc), "Score 0");

    // Without spectral banks there is no score.
    doc.m_nBankSize = 0;
    EXPECT_EQ(ScorePaneText(doc), "");
}
