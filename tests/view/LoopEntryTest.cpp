// Typed loop points (Set Loop) and the time ruler's ticks, without a window.
#include "view/LoopInput.h"
#include "view/TimeRuler.h"

#include "TestDocs.h"

#include <gtest/gtest.h>

TEST(LoopInput, AcceptsStartWithEndOrLengthInFramesOrSecondsAndRefusesAnythingOutsideTheSample)
{
    struct Case { const char *start, *end, *length; bool byLength, seconds, ok; int s, e; };
    // A sample of 44100 frames at 44100 Hz.
    for (const Case& c : {Case{"100", "200", "", false, false, true, 100, 200},
                          Case{"100", "", "50", true, false, true, 100, 150},
                          Case{"0.5", "1", "", false, true, true, 22050, 44100},
                          Case{"0.25", "", "0.001", true, true, true, 11025, 11069},
                          Case{"-1", "200", "", false, false, false, 0, 0},
                          Case{"100", "44101", "", false, false, false, 0, 0},
                          Case{"200", "200", "", false, false, false, 0, 0},
                          Case{"44100", "", "1", true, false, false, 0, 0},
                          Case{"1.5", "200", "", false, false, false, 0, 0},  // no half frames
                          Case{"abc", "200", "", false, false, false, 0, 0}}) {
        const CLoopInputResult r =
            ResolveLoopInput({c.start, c.end, c.length, c.byLength, c.seconds}, 44100, 44100);
        EXPECT_EQ(r.m_bOk, c.ok) << c.start << " " << c.end << c.length;
        EXPECT_EQ(r.m_strError.empty(), c.ok);
        if (c.ok) {
            EXPECT_EQ(r.m_nStart, c.s);
            EXPECT_EQ(r.m_nEnd, c.e);
        }
    }
}

TEST(TimeRuler, LabelsRoundStepsAtLeastALabelWidthApartAtTheirFrames)
{
    CQuorvelDoc doc;
    FillDoc(doc, 1, 441000, [](int, int) { return 0.0; }, nullptr);
    CViewGeometry g(&doc);
    g.SetClientSize(1000, 300);
    struct Case { double zoom; RulerUnit unit; double step; const char* second; };
    for (const Case& c : {Case{1000.0 / 441000, RulerUnit::Seconds, 44100.0, "1 s"},
                          Case{1.0, RulerUnit::Seconds, 0.002 * 44100, "0.002 s"},
                          Case{1.0, RulerUnit::Frames, 100.0, "100"},
                          Case{0.01, RulerUnit::Frames, 10000.0, "10000"}}) {
        g.SetZoom(c.zoom);
        g.ScrollToPosition({0, 0});
        EXPECT_DOUBLE_EQ(RulerStep(c.zoom, 44100, c.unit), c.step);
        std::vector<CRulerTick> majors;
        for (const CRulerTick& t : RulerTicks(g, doc.m_nFrameCount, 44100, c.unit))
            if (t.m_bMajor)
                majors.push_back(t);
        ASSERT_GE(majors.size(), 2u);
        EXPECT_EQ(majors[0].m_nX, 0);
        EXPECT_EQ(majors[1].m_strLabel, c.second);
        EXPECT_EQ(majors[1].m_nX, g.FrameToX(int(c.step)));
        EXPECT_GE(majors[1].m_nX - majors[0].m_nX, kRulerLabelSpacing);
    }
}
