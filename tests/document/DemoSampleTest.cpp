// The demo tone from make-demo-sample: a readable mono 44.1 kHz WAV without a
// loop, the same on every run, whose whole-file loop jumps far more than any
// step inside the tone.

#include "DocTestFixture.h"

#include "framework/Document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

TEST_F(DocumentFileTest, DemoSampleIsADeterministicToneWhoseWholeFileLoopClicks)
{
    const std::string first = (m_dir / "demo.wav").string();
    const std::string second = (m_dir / "demo2.wav").string();
    ASSERT_EQ(std::system((std::string("'") + MAKE_DEMO_SAMPLE + "' '" + first + "'").c_str()), 0);
    ASSERT_EQ(std::system((std::string("'") + MAKE_DEMO_SAMPLE + "' '" + second + "'").c_str()), 0);
    EXPECT_EQ(Get(first), Get(second));

    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, first)) << m_doc.GetLastFailure();
    EXPECT_EQ(m_doc.m_nChannels, 1);
    EXPECT_EQ(m_doc.m_nSampleRate, 44100);
    EXPECT_GE(m_doc.m_nFrameCount, 3 * 44100);
    EXPECT_LE(m_doc.m_nFrameCount, 4 * 44100);
    EXPECT_FALSE(m_doc.m_bHasLoop);

    double largestStep = 0.0, peak = 0.0;
    for (int f = 0; f < m_doc.m_nFrameCount; ++f) {
        peak = std::max(peak, std::fabs(m_doc.GetSample(f, 0)));
        if (f > 0)
            largestStep = std::max(largestStep, std::fabs(m_doc.GetSample(f, 0) - m_doc.GetSample(f - 1, 0)));
    }
    EXPECT_LT(peak, 1.0);
    EXPECT_GT(peak, 0.5);
    const double loopJump = std::fabs(m_doc.GetSample(m_doc.m_nFrameCount - 1, 0) - m_doc.GetSample(0, 0));
    EXPECT_GT(loopJump, 2.0 * largestStep);

    // Still sounding at the end: the last tenth of a second is not silence.
    double tail = 0.0;
    for (int f = m_doc.m_nFrameCount - 4410; f < m_doc.m_nFrameCount; ++f)
        tail = std::max(tail, std::fabs(m_doc.GetSample(f, 0)));
    EXPECT_GT(tail, 0.25);
}
