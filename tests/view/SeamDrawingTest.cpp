// Which frames the seam picture shows on both sides of the seam.
#include "view/SeamDrawing.h"

#include "TestDocs.h"

#include <gtest/gtest.h>

TEST(SeamDrawing, PlayedFramesWrapInTheLoopNaturalOnesRunOnInTheRecording)
{
    CQuorvelDoc doc;
    FillDoc(doc, 1, 1000, [](int, int) { return 0.0; });
    EXPECT_EQ(SeamPlayedFrame(doc, 0), -1);  // no loop
    EXPECT_EQ(SeamNaturalFrame(doc, 0), -1);
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 200;
    doc.m_nLoopEnd = 600;
    struct Case { int offset, played, natural; };
    for (const Case& c : {Case{0, 200, 600},      // the first frame after the seam
                          Case{-1, 599, 599},     // the last before it, shared
                          Case{-400, 200, 200},   // one loop length back
                          Case{-401, 599, 199},   // the pass before that
                          Case{400, 200, -1},     // the recording has ended
                          Case{1000, 400, -1}}) {
        EXPECT_EQ(SeamPlayedFrame(doc, c.offset), c.played) << c.offset;
        EXPECT_EQ(SeamNaturalFrame(doc, c.offset), c.natural) << c.offset;
    }
}
