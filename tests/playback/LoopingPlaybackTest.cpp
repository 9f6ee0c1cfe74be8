#include "PlaybackRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// The frames a filler must write for a loop that does not change: the
// sample from frame 0, jumping from the loop end back to the loop start.
std::vector<int> ExpectedFrames(int nFrames, bool bLoop, int nStart, int nEnd, std::size_t nCount, int nFrom = 0)
{
    std::vector<int> frames;
    int pos = nFrom;
    while (frames.size() < nCount && pos < nFrames) {
        frames.push_back(pos % 16000);
        ++pos;
        if (bLoop && pos >= nEnd)
            pos = nStart;
    }
    return frames;
}

// After n frames heard the cursor is the frame at position n of the stream
// written so far (the next frame to be heard).
void ExpectCursorOnStream(CPlaybackRig& rig, const char* where = "")
{
    const std::uint64_t n = rig.HeardFrames();
    const std::uint64_t nWritten = rig.out.m_written.size() / 2 / std::uint64_t(rig.doc.m_nChannels);
    ASSERT_LT(n, nWritten) << where;
    const int frame = SampleAt(rig.out.m_written, n * std::uint64_t(rig.doc.m_nChannels)) - 1;
    ASSERT_EQ(rig.playback.m_nPlayPos % 16000, frame) << where << " after " << n << " frames heard";
}

// Positions p ≤ n of the stream where the frame is not the successor of the
// one before: the jumps a listener has passed after n frames.
int JumpsHeard(const std::vector<int>& frames, std::uint64_t n)
{
    int nJumps = 0;
    for (std::uint64_t p = 1; p <= n && p < frames.size(); ++p)
        if (frames[p] != (frames[p - 1] + 1) % 16000)
            ++nJumps;
    return nJumps;
}

void ExpectCleanDevice(const CPlaybackRig& rig)
{
    EXPECT_EQ(rig.out.m_nMisuseCount, 0);
    // Nothing touched a buffer while the device held it.
    ASSERT_LE(rig.out.m_heard.size(), rig.out.m_written.size());
    EXPECT_TRUE(std::equal(rig.out.m_heard.begin(), rig.out.m_heard.end(), rig.out.m_written.begin()));
}

TEST(LoopingPlayback, LoopShorterThanABufferJumpsBackOncePerPass)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 20000);
    SetLoop(rig.doc, 1000, 1100);

    rig.playback.OnPlay();
    ASSERT_TRUE(rig.playback.m_bPlaying);
    ASSERT_EQ(rig.out.m_nWriteCount, 2);
    EXPECT_EQ(rig.out.m_writeLengths, (std::vector<std::uint32_t>{16384, 16384}));
    EXPECT_EQ(rig.playback.m_nQueuedBuffers, 2);

    std::vector<int> frames = rig.WrittenFrames();
    EXPECT_EQ(frames, ExpectedFrames(20000, true, 1000, 1100, 16384));
    // One queued jump per pass written: 1100 frames, then passes of 100.
    EXPECT_EQ(rig.playback.m_loopJumps.size(), std::size_t((16384 - 1100) / 100 + 1));
    EXPECT_EQ(rig.playback.m_loopJumps.front().nAt, 1100);
    EXPECT_EQ(rig.playback.m_loopJumps.front().nTo, 1000);

    // 1 ms steps hear 44 frames, fewer than a pass: every jump shows.
    int nBackward = 0;
    for (int ms = 0; ms < 2000; ++ms) {
        const std::int32_t before = rig.playback.m_nPlayPos;
        rig.Step(1);
        if (rig.playback.m_nPlayPos < before)
            ++nBackward;
        ExpectCursorOnStream(rig);
        ASSERT_GE(rig.playback.m_nPlayPos, 0);
        ASSERT_LT(rig.playback.m_nPlayPos, 1100);
    }
    frames = rig.WrittenFrames();
    EXPECT_EQ(nBackward, JumpsHeard(frames, rig.HeardFrames()));
    EXPECT_GT(nBackward, 800);
    EXPECT_EQ(frames, ExpectedFrames(20000, true, 1000, 1100, frames.size()));
    EXPECT_TRUE(rig.playback.m_bPlaying);
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, PlaySeamStartsOneSecondBeforeTheLoopEndAndRestartsThere)
{
    struct Case {
        const char* name;
        int nFrames, nRate;
        int nStart, nEnd;  // the loop; none when nEnd is 0
        int nSeam;         // the first frame played
    };
    const Case cases[] = {
        {"loop ending two seconds in", 100000, 44100, 50000, 90000, 90000 - 44100},
        {"less than a second before the loop end", 40000, 44100, 20000, 30000, 0},
        {"loop end beyond the frames", 100000, 22050, 10000, 150000, 100000 - 22050},
        {"no loop: the last second", 100000, 44100, 0, 0, 100000 - 44100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPlaybackRig rig;
        FillDoc(rig.doc, 2, c.nFrames, c.nRate);
        if (c.nEnd > 0)
            SetLoop(rig.doc, c.nStart, c.nEnd);
        for (int press = 0; press < 2; ++press) {
            const auto nBefore = std::ptrdiff_t(rig.out.m_written.size());
            rig.playback.OnPlaySeam();
            ASSERT_TRUE(rig.playback.m_bPlaying);
            EXPECT_EQ(rig.out.m_nOpenCount, press + 1);
            // The second press stopped the first playback and started afresh.
            EXPECT_EQ(rig.out.m_nResetCount, press);
            EXPECT_EQ(rig.playback.m_nPlayPos, c.nSeam);
            rig.Step(200);
            const std::vector<int> frames =
                DecodeFrames(std::vector<std::uint8_t>(rig.out.m_written.begin() + nBefore, rig.out.m_written.end()), 2);
            EXPECT_EQ(frames, ExpectedFrames(c.nFrames, c.nEnd > 0, c.nStart, c.nEnd, frames.size(), c.nSeam));
            EXPECT_EQ(rig.playback.m_nPlayPos % 16000, frames[rig.HeardFrames()]);
        }
        EXPECT_EQ(rig.out.m_nMisuseCount, 0);
    }
}

TEST(LoopingPlayback, LoopEndAtFrameCountRepeatsToTheLastFrame)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 5000);
    SetLoop(rig.doc, 4000, 5000);

    rig.playback.OnPlay();
    for (int i = 0; i < 500; ++i) {  // 10 s
        rig.Step(20);
        ExpectCursorOnStream(rig);
        // Reaching the frame count takes the jump in the same step.
        ASSERT_LT(rig.playback.m_nPlayPos, 5000);
    }
    EXPECT_TRUE(rig.playback.m_bPlaying);
    const std::vector<int> frames = rig.WrittenFrames();
    EXPECT_EQ(frames, ExpectedFrames(5000, true, 4000, 5000, frames.size()));
    EXPECT_GT(frames.size(), 441000u);
    EXPECT_EQ(rig.host.m_nPostedStops, 0);
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, LoopEndBeyondFrameCountPlaysOnceAndStops)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 5000);
    SetLoop(rig.doc, 4000, 6000);

    rig.playback.OnPlay();
    EXPECT_EQ(rig.out.m_nWriteCount, 1);
    EXPECT_TRUE(rig.playback.m_loopJumps.empty());
    rig.RunUntilIdle(2000);
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.WrittenFrames(), ExpectedFrames(5000, false, 0, 0, 5000));
    EXPECT_EQ(rig.playback.m_nPlayPos, 5000);
    EXPECT_FALSE(rig.out.IsOpen());
    ExpectCleanDevice(rig);
}

class LoopStartNotBeforeEnd : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(LoopStartNotBeforeEnd, RepeatsTheLoopStartFrameWithOneJumpPerFrame)
{
    const auto [nStart, nEnd] = GetParam();
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 100);
    SetLoop(rig.doc, nStart, nEnd);

    rig.playback.OnPlay();
    const std::vector<int> frames = rig.WrittenFrames();
    ASSERT_EQ(frames.size(), 16384u);
    for (int f = 0; f < nEnd; ++f)
        ASSERT_EQ(frames[f], f);
    for (std::size_t n = std::size_t(nEnd); n < frames.size(); ++n)
        ASSERT_EQ(frames[n], nStart) << n;
    EXPECT_EQ(rig.playback.m_loopJumps.size(), 16384u - std::size_t(nEnd) + 1);

    for (int i = 0; i < 100; ++i) {
        rig.Step(7);
        ExpectCursorOnStream(rig);
    }
    EXPECT_EQ(rig.playback.m_nPlayPos, nStart);
    ExpectCleanDevice(rig);
}

INSTANTIATE_TEST_SUITE_P(Loops, LoopStartNotBeforeEnd,
                         ::testing::Values(std::pair{50, 40}, std::pair{50, 50}, std::pair{99, 1}));

TEST(LoopingPlayback, LoopStartOutsideTheFramesNeverSendsTheFillOutside)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 300);
    SetLoop(rig.doc, -5, 100);
    rig.playback.OnPlay();
    EXPECT_EQ(rig.WrittenFrames(), ExpectedFrames(300, true, 0, 100, 16384));
    EXPECT_EQ(rig.playback.m_loopJumps.front().nTo, 0);

    CPlaybackRig past;
    FillDoc(past.doc, 1, 300);
    SetLoop(past.doc, 350, 100);
    past.playback.OnPlay();
    EXPECT_EQ(past.WrittenFrames(), ExpectedFrames(300, false, 0, 0, 100));
    past.RunUntilIdle(1000, 1);
    EXPECT_FALSE(past.playback.m_bPlaying);
    EXPECT_EQ(past.playback.m_nPlayPos, 300);
}

TEST(LoopingPlayback, SampleWithoutLoopShorterThanABufferStopsAtItsEnd)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 1000);

    rig.playback.OnPlay();
    EXPECT_EQ(rig.out.m_writeLengths, (std::vector<std::uint32_t>{2000}));
    EXPECT_EQ(rig.playback.m_nQueuedBuffers, 1);

    // 1000 frames last 22.7 ms: the buffer returns on the second step.
    rig.out.AdvanceTime(20);
    rig.Pump();
    rig.playback.OnTimer(CLoopingPlayback::kTimerId);
    EXPECT_EQ(rig.host.m_nPostedStops, 0);
    EXPECT_EQ(rig.playback.m_nPlayPos, 882);

    rig.out.AdvanceTime(20);
    rig.out.DeliverPending();
    EXPECT_EQ(rig.host.m_nPostedStops, 1);  // posted, not run yet
    EXPECT_TRUE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.playback.m_nQueuedBuffers, 0);
    rig.playback.OnTimer(CLoopingPlayback::kTimerId);
    EXPECT_EQ(rig.playback.m_nPlayPos, 1000);

    rig.Pump();
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.playback.m_nPlayPos, 1000);
    EXPECT_EQ(rig.out.m_nWriteCount, 1);
    EXPECT_FALSE(rig.out.IsOpen());
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, SampleOfExactlyTwoBuffersStopsWhenTheSecondReturns)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 16384);

    rig.playback.OnPlay();
    EXPECT_EQ(rig.out.m_writeLengths, (std::vector<std::uint32_t>{16384, 16384}));

    rig.out.Advance(16384);
    rig.Pump();
    EXPECT_EQ(rig.out.m_nWriteCount, 2);  // the refill found nothing left
    EXPECT_EQ(rig.playback.m_nQueuedBuffers, 1);
    EXPECT_EQ(rig.host.m_nPostedStops, 0);

    rig.out.Advance(16384);
    rig.out.DeliverPending();
    EXPECT_EQ(rig.host.m_nPostedStops, 1);
    rig.playback.OnTimer(CLoopingPlayback::kTimerId);
    EXPECT_EQ(rig.playback.m_nPlayPos, 16384);
    rig.Pump();
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.playback.m_nPlayPos, 16384);
    EXPECT_EQ(rig.WrittenFrames(), ExpectedFrames(16384, false, 0, 0, 16384));
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, StereoBuffersHold4096InterleavedFrames)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 2, 10000, 48000);
    SetLoop(rig.doc, 2000, 9000);

    rig.playback.OnPlay();
    EXPECT_EQ(rig.out.GetChannels(), 2);
    EXPECT_EQ(rig.out.GetSampleRate(), 48000);
    EXPECT_EQ(rig.out.m_writeLengths, (std::vector<std::uint32_t>{16384, 16384}));
    // Channel 1 carries the negated value of channel 0 in every frame.
    const std::vector<int> first = rig.WrittenFrames();
    ASSERT_EQ(first.size(), 8192u);
    EXPECT_EQ(first, ExpectedFrames(10000, true, 2000, 9000, 8192));

    rig.out.AdvanceTime(100);  // 4800 frames = 19200 bytes
    rig.Pump();
    rig.playback.OnTimer(CLoopingPlayback::kTimerId);
    EXPECT_EQ(rig.playback.m_nPlayPos, 4800);
    for (int i = 0; i < 300; ++i) {
        rig.Step(13);
        ExpectCursorOnStream(rig);
    }
    const std::vector<int> frames = rig.WrittenFrames();
    EXPECT_EQ(frames, ExpectedFrames(10000, true, 2000, 9000, frames.size()));
    for (std::uint32_t len : rig.out.m_writeLengths)
        EXPECT_EQ(len, 16384u);
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, ThreeChannelsFill2730FramesPerBuffer)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 3, 6000);

    rig.playback.OnPlay();
    rig.RunUntilIdle(2000);
    EXPECT_EQ(rig.out.m_writeLengths, (std::vector<std::uint32_t>{16380, 16380, 540 * 6}));
    EXPECT_EQ(rig.WrittenFrames(), ExpectedFrames(6000, false, 0, 0, 6000));
    EXPECT_EQ(rig.playback.m_nPlayPos, 6000);
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, RemovingTheLoopLetsPlaybackRunToTheEndAndStop)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 20000);
    SetLoop(rig.doc, 1000, 3000);

    rig.playback.OnPlay();
    for (int i = 0; i < 50; ++i)
        rig.Step(20);
    const std::size_t nWrittenBefore = rig.WrittenFrames().size();
    rig.doc.m_bHasLoop = false;  // Remove Loop keeps start and end
    for (int i = 0; i < 200 && rig.playback.m_bPlaying; ++i) {
        rig.Step(20);
        if (rig.playback.m_bPlaying && rig.HeardFrames() < rig.WrittenFrames().size())
            ExpectCursorOnStream(rig);
    }
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.playback.m_nPlayPos, 20000);
    const std::vector<int> frames = rig.WrittenFrames();
    // Buffers queued before the change play as written; the next fill runs
    // from where it stood straight on to the last frame.
    const std::vector<int> looped = ExpectedFrames(20000, true, 1000, 3000, nWrittenBefore);
    ASSERT_TRUE(std::equal(looped.begin(), looped.end(), frames.begin()));
    const int nFrom = frames[nWrittenBefore];
    for (std::size_t n = nWrittenBefore; n < frames.size(); ++n)
        ASSERT_EQ(frames[n], (nFrom + int(n - nWrittenBefore)) % 16000);
    EXPECT_EQ(frames.back(), 19999 % 16000);
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, PlayDuringPlaybackStopsAndTheNextPlayStartsAtFrameZero)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 20000);
    SetLoop(rig.doc, 1000, 3000);

    rig.playback.OnPlay();
    for (int i = 0; i < 20; ++i)
        rig.Step(20);
    ASSERT_GT(rig.playback.m_nPlayPos, 0);

    rig.playback.OnPlay();
    EXPECT_EQ(rig.host.m_nPostedStops, 1);
    EXPECT_TRUE(rig.playback.m_bPlaying);  // the Stop is posted, not called
    rig.Pump();
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.playback.m_nPlayPos, 20000);
    EXPECT_EQ(rig.playback.m_nQueuedBuffers, 0);
    EXPECT_FALSE(rig.out.IsOpen());

    // A device that still reports a buffer after Stop changes nothing.
    rig.playback.OnWaveOutDone(&rig.playback.m_waveHdr[1]);
    EXPECT_EQ(rig.playback.m_nQueuedBuffers, 0);
    EXPECT_EQ(rig.host.m_nPostedStops, 1);

    rig.out.m_written.clear();
    rig.out.m_heard.clear();
    rig.playback.OnPlay();
    EXPECT_TRUE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.playback.m_nPlayPos, 0);
    EXPECT_EQ(rig.playback.m_nDrawnPlayPos, 20000);
    EXPECT_EQ(rig.WrittenFrames(), ExpectedFrames(20000, true, 1000, 3000, 16384));
    for (int i = 0; i < 20; ++i) {
        rig.Step(20);
        ExpectCursorOnStream(rig);
    }
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, DeviceThatCannotOpenShowsTheMessageAndStaysIdle)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 5000);
    rig.playback.m_nPlayPos = 1234;
    rig.out.m_nOpenError = 2;

    rig.playback.OnPlay();
    EXPECT_EQ(rig.host.m_messages, (std::vector<std::string>{"Unable to open sound output device."}));
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.playback.m_nPlayPos, 0);
    EXPECT_EQ(rig.playback.m_nDrawnPlayPos, 1234);
    EXPECT_EQ(rig.out.m_nWriteCount, 0);
    rig.Step(20);
    EXPECT_EQ(rig.playback.m_nPlayPos, 0);
    rig.playback.OnStop();  // idle: nothing to do
    EXPECT_EQ(rig.out.m_nResetCount, 0);
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, WriteFailingForBothBuffersClosesTheDeviceAgain)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 50000);
    rig.out.m_nWriteError = 11;

    rig.playback.OnPlay();
    EXPECT_EQ(rig.host.m_messages, (std::vector<std::string>{"Sound error.", "Sound error."}));
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.out.m_nOpenCount, 1);
    EXPECT_EQ(rig.out.m_nCloseCount, 1);
    EXPECT_EQ(rig.playback.m_nQueuedBuffers, 0);
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, PrepareFailureIsASoundErrorToo)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 50000);
    rig.out.m_nPrepareError = 6;

    rig.playback.OnPlay();
    EXPECT_EQ(rig.host.m_messages.size(), 2u);
    EXPECT_EQ(rig.host.m_messages[0], "Sound error.");
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.out.m_nWriteCount, 0);
}

TEST(LoopingPlayback, OneFailedRefillLeavesOneBufferPlayingToTheEnd)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 40000);
    rig.out.m_nFailWriteNumber = 2;  // the first refill

    rig.playback.OnPlay();
    rig.RunUntilIdle(5000);
    EXPECT_EQ(rig.host.m_messages, (std::vector<std::string>{"Sound error."}));
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.host.m_nPostedStops, 1);
    // The failed buffer's frames are lost; the rest arrives in order.
    const std::vector<int> frames = rig.WrittenFrames();
    EXPECT_EQ(frames.size(), 40000u - 8192u);
    EXPECT_EQ(frames.back(), 39999 % 16000);
    EXPECT_EQ(rig.playback.m_nPlayPos, 40000);
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, EmptyOrUnloadedDocumentPlaysNothing)
{
    CPlaybackRig rig;
    rig.playback.m_nPlayPos = 77;
    rig.playback.OnPlay();  // no frames: the device is not even opened
    EXPECT_EQ(rig.out.m_nOpenCount, 0);
    EXPECT_EQ(rig.playback.m_nPlayPos, 0);
    EXPECT_EQ(rig.host.m_nRedraws, 1);

    FillDoc(rig.doc, 1, 5000);
    rig.doc.m_bLoaded = false;  // frames back from a Reload after File New
    rig.playback.OnPlay();
    EXPECT_EQ(rig.out.m_nOpenCount, 1);
    EXPECT_EQ(rig.out.m_nCloseCount, 1);
    EXPECT_EQ(rig.out.m_nWriteCount, 0);
    EXPECT_FALSE(rig.playback.m_bPlaying);
    EXPECT_TRUE(rig.host.m_messages.empty());

    CLoopingPlayback orphan(rig.out, rig.host);  // no document at all
    orphan.OnPlay();
    orphan.OnTimer(CLoopingPlayback::kTimerId);
    orphan.OnStop();
    EXPECT_FALSE(orphan.m_bPlaying);
}

TEST(LoopingPlayback, DocumentResetDuringPlaybackDrainsAndTicksSafely)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 2, 30000);
    SetLoop(rig.doc, 0, 30000);
    rig.playback.OnPlay();
    rig.Step(20);

    rig.doc.DeleteContents();  // no channels, no frames, not loaded
    rig.playback.OnTimer(CLoopingPlayback::kTimerId);  // must not divide by zero
    rig.playback.OnTimer(CLoopingPlayback::kTimerId);
    const int nWrites = rig.out.m_nWriteCount;
    rig.RunUntilIdle(2000);
    EXPECT_FALSE(rig.playback.m_bPlaying);  // the queued buffers drained, Stop ran
    EXPECT_EQ(rig.out.m_nWriteCount, nWrites);
    EXPECT_EQ(rig.playback.m_nPlayPos, 0);
    ExpectCleanDevice(rig);
}

TEST(LoopingPlayback, OtherTimersAndIdleTicksAreIgnored)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 20000);
    rig.playback.OnTimer(CLoopingPlayback::kTimerId);
    EXPECT_EQ(rig.host.m_nRedraws, 0);
    rig.playback.OnPlay();
    rig.out.AdvanceTime(100);
    rig.playback.OnTimer(1002);
    EXPECT_EQ(rig.playback.m_nPlayPos, 0);
    rig.playback.OnTimer(CLoopingPlayback::kTimerId);
    EXPECT_EQ(rig.playback.m_nPlayPos, 4410);
    EXPECT_EQ(rig.playback.m_nDrawnPlayPos, 0);
}

TEST(LoopingPlayback, ValuesBeyondHalfScaleAreClampedNotWrapped)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 8);
    const double values[] = {2.0, 2.5, -2.0, -2.5, 100.0, -100.0, -0.5, 0.99999};
    const int expected[] = {32766, 32767, -32766, -32768, 32767, -32768, -8191, 16382};
    for (int f = 0; f < 8; ++f)
        rig.doc.SetSample(f, 0, values[f]);

    rig.playback.OnPlay();
    ASSERT_EQ(rig.out.m_written.size(), 16u);
    for (int f = 0; f < 8; ++f)
        EXPECT_EQ(SampleAt(rig.out.m_written, f), expected[f]) << values[f];
}

TEST(LoopingPlayback, DestroyingWhilePlayingReleasesTheDevice)
{
    CQuorvelDoc doc;
    FillDoc(doc, 1, 20000);
    CVirtualWaveOut out;
    CRecordingHost host;
    {
        CLoopingPlayback playback(out, host);
        playback.SetDocument(&doc);
        playback.OnPlay();
        ASSERT_TRUE(out.IsOpen());
    }
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(out.GetQueuedCount(), 0u);
    EXPECT_EQ(out.GetPendingCount(), 0u);
    EXPECT_EQ(out.m_nMisuseCount, 0);
}

// Random samples, loops, edits of the loop while playing and irregular
// ticks: after every tick the cursor is the next frame of the written stream.
// Both on a device that returns buffers once played and on one that takes
// them into a quarter second of device buffer ahead of what plays.
TEST(LoopingPlayback, CursorFollowsTheWrittenStreamForRandomLoops)
{
    std::mt19937 rng(20261207);
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE(round);
        CPlaybackRig rig;
        rig.out.SetMargin(round % 2 == 0 ? 0 : 250);
        const int nChannels = 1 + int(rng() % 2);
        const int nFrames = 1 + int(rng() % 15000);
        FillDoc(rig.doc, nChannels, nFrames, rng() % 2 ? 44100 : 22050);
        auto randomLoop = [&] {
            if (rng() % 5 == 0) {
                rig.doc.m_bHasLoop = false;
                return;
            }
            const int a = int(rng() % unsigned(nFrames + 20)) - 5;
            const int b = int(rng() % unsigned(nFrames + 20));
            SetLoop(rig.doc, std::max(a, 0), b);
        };
        randomLoop();

        rig.playback.OnPlay();
        ASSERT_TRUE(rig.playback.m_bPlaying);
        for (int tick = 0; tick < 400 && rig.playback.m_bPlaying; ++tick) {
            rig.out.AdvanceTime(1 + rng() % 60);
            if (rng() % 4 != 0)  // sometimes the done message waits behind a tick
                rig.Pump();
            if (rng() % 50 == 0)
                randomLoop();
            rig.playback.OnTimer(CLoopingPlayback::kTimerId);
            if (!rig.playback.m_bPlaying)
                break;
            const std::uint64_t n = rig.HeardFrames();
            const std::uint64_t nWritten = rig.out.m_written.size() / 2 / std::uint64_t(nChannels);
            if (n < nWritten) {
                ASSERT_EQ(rig.playback.m_nPlayPos % 16000, SampleAt(rig.out.m_written, n * nChannels) - 1)
                    << "tick " << tick;
            } else if (rig.playback.m_nFillPos >= nFrames) {
                ASSERT_EQ(rig.playback.m_nPlayPos, nFrames) << "tick " << tick;  // all heard: at the end
            }
            // Only jumps inside audio written and not yet passed are kept.
            ASSERT_LE(rig.playback.m_loopJumps.size(), nWritten - std::min(n, nWritten) + 1);
        }
        for (std::uint32_t len : rig.out.m_writeLengths)
            ASSERT_EQ(len % (2u * unsigned(nChannels)), 0u);
        ExpectCleanDevice(rig);
    }
}

// One minute of simulated time at a seven-frame loop: a jump every seven
// frames, more than 370 000 of them. The cursor stays exact and the jump
// queue never holds more than the two buffers in flight can contain.
TEST(LoopingPlayback, OneMinuteAtAShortLoopKeepsCursorExactAndJumpQueueBounded)
{
    CPlaybackRig rig;
    FillDoc(rig.doc, 1, 3000);
    SetLoop(rig.doc, 1200, 1207);

    rig.playback.OnPlay();
    std::size_t nMaxJumps = 0;
    std::uint64_t nChecked = 0;
    for (int tick = 0; tick < 3000; ++tick) {  // 3000 × 20 ms
        rig.Step(20);
        nMaxJumps = std::max(nMaxJumps, rig.playback.m_loopJumps.size());
        // Cheap check on every tick, from the bytes at the heard position.
        const std::uint64_t n = rig.HeardFrames();
        ASSERT_LT(n, rig.out.m_written.size() / 2);
        ASSERT_EQ(rig.playback.m_nPlayPos, SampleAt(rig.out.m_written, n) - 1) << tick;
        ++nChecked;
    }
    EXPECT_TRUE(rig.playback.m_bPlaying);
    EXPECT_EQ(rig.HeardFrames(), 60u * 44100u);
    EXPECT_LE(nMaxJumps, std::size_t(2 * 8192 / 7 + 1));
    EXPECT_GE(nMaxJumps, std::size_t(8192 / 7));
    EXPECT_EQ(nChecked, 3000u);
    // Everything written after the first 1207 frames is the loop.
    const std::vector<int> frames = rig.WrittenFrames();
    for (std::size_t n = 1207; n < frames.size(); ++n)
        ASSERT_EQ(frames[n], 1200 + int((n - 1207) % 7));
    ExpectCleanDevice(rig);
}

}  // namespace
