#include "playback/HeardPosition.h"
#include "playback/VirtualWaveOut.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class CCollectingSink : public IWaveOutSink {
public:
    void OnWaveOutDone(WaveHeader* pHeader) override { m_done.push_back(pHeader); }
    std::vector<WaveHeader*> m_done;
};

struct Buffers {
    std::vector<std::uint8_t> data[3];
    WaveHeader hdr[3];
    explicit Buffers(std::uint32_t nBytes)
    {
        for (int i = 0; i < 3; ++i) {
            data[i].assign(nBytes, std::uint8_t(i + 1));
            hdr[i].lpData = data[i].data();
            hdr[i].dwBufferLength = nBytes;
        }
    }
};

TEST(VirtualWaveOut, PlaysBuffersInOrderAndPostsTheirReturn)
{
    CVirtualWaveOut out;
    CCollectingSink sink;
    Buffers b(1000);
    ASSERT_EQ(out.Open(1, 1000, &sink), 0);
    ASSERT_EQ(out.Write(&b.hdr[0]), 0);
    ASSERT_EQ(out.Write(&b.hdr[1]), 0);
    EXPECT_TRUE(sink.m_done.empty());  // never from inside Write

    // 1000 frames per second, 2 bytes each: 700 ms is 1400 bytes.
    EXPECT_EQ(out.AdvanceTime(700), 1400u);
    EXPECT_TRUE(sink.m_done.empty());  // finished, but not yet delivered
    EXPECT_EQ(out.GetPendingCount(), 1u);
    EXPECT_EQ(out.DeliverPending(), 1);
    EXPECT_EQ(sink.m_done, (std::vector<WaveHeader*>{&b.hdr[0]}));
    EXPECT_EQ(out.GetPositionBytes(), 1400u);

    // The queue runs dry: the position counts only what was played.
    EXPECT_EQ(out.AdvanceTime(5000), 600u);
    EXPECT_EQ(out.GetPositionBytes(), 2000u);
    out.DeliverPending();
    EXPECT_EQ(sink.m_done.size(), 2u);
    EXPECT_EQ(out.m_heard, out.m_written);
}

TEST(VirtualWaveOut, WithAMarginBuffersGoBackOnceTakenAndTheLastOnceHeard)
{
    CVirtualWaveOut out;
    out.SetMargin(500);  // 500 bytes at 1000 mono frames per second
    CCollectingSink sink;
    Buffers b(300);
    ASSERT_EQ(out.Open(1, 1000, &sink), 0);
    out.Write(&b.hdr[0]);
    out.Write(&b.hdr[1]);
    EXPECT_EQ(out.DeliverPending(), 1) << "the first is taken whole before anything plays";
    EXPECT_EQ(sink.m_done, (std::vector<WaveHeader*>{&b.hdr[0]}));

    out.Advance(100);  // room for the rest of the second, which is the last
    EXPECT_EQ(out.DeliverPending(), 0) << "the last buffer waits until it has been heard";
    out.Write(&b.hdr[0]);
    EXPECT_EQ(out.DeliverPending(), 1) << "a buffer behind it lets it go";
    EXPECT_EQ(out.GetPositionBytes(), 100u);

    EXPECT_EQ(out.Advance(5000), 800u);  // runs dry
    out.DeliverPending();
    EXPECT_EQ(sink.m_done, (std::vector<WaveHeader*>{&b.hdr[0], &b.hdr[1], &b.hdr[0]}));
    EXPECT_EQ(out.m_heard, out.m_written);

    // Reset returns what is still held and drops what waits to play.
    out.Write(&b.hdr[1]);
    out.Write(&b.hdr[2]);
    EXPECT_EQ(out.Reset(), 0);
    EXPECT_EQ(out.Advance(1000), 0u);
    EXPECT_EQ(out.DeliverPending(), 2);
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(out.m_nMisuseCount, 0);
}

TEST(VirtualWaveOut, TimeCarriesFractionsOfAFrame)
{
    CVirtualWaveOut out;
    Buffers b(60000);
    ASSERT_EQ(out.Open(2, 44100, nullptr), 0);
    out.Write(&b.hdr[0]);
    std::uint64_t nBytes = 0;
    for (int i = 0; i < 30; ++i)
        nBytes += out.AdvanceTime(1);  // 44.1 frames each
    EXPECT_EQ(nBytes, 1323u * 4u);
}

// What a real output reports in whole microseconds reads as the nearest frame.
TEST(VirtualWaveOut, HeardMicrosecondsRoundToTheNearestFrame)
{
    // {microseconds, rate, frames}; a frame at 44.1 kHz is 22.68 µs.
    const std::uint64_t cases[][3] = {{11, 44100, 0}, {12, 44100, 1}, {22, 44100, 1}, {999999, 44100, 44100},
                                      {1000000, 48000, 48000}};
    for (const auto& c : cases)
        EXPECT_EQ(FramesInMicroseconds(c[0], std::uint32_t(c[1])), c[2]) << c[0] << " us at " << c[1];
}

TEST(VirtualWaveOut, ResetReturnsEveryBufferAndCloseDropsUndelivered)
{
    CVirtualWaveOut out;
    CCollectingSink sink;
    Buffers b(100);
    ASSERT_EQ(out.Open(1, 8000, &sink), 0);
    out.Write(&b.hdr[0]);
    out.Write(&b.hdr[1]);
    out.Advance(30);
    EXPECT_NE(out.Close(), 0);  // still playing
    EXPECT_EQ(out.Reset(), 0);
    EXPECT_EQ(out.GetPositionBytes(), 0u);
    EXPECT_EQ(out.GetQueuedCount(), 0u);
    EXPECT_EQ(out.GetPendingCount(), 2u);
    out.DeliverPending();
    EXPECT_EQ(sink.m_done, (std::vector<WaveHeader*>{&b.hdr[0], &b.hdr[1]}));

    out.Write(&b.hdr[2]);
    out.Reset();
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(out.DeliverPending(), 0);
    EXPECT_EQ(sink.m_done.size(), 2u);
    EXPECT_EQ(out.m_nMisuseCount, 1);  // the refused Close
}

TEST(VirtualWaveOut, RefusesHeadersStillQueuedAndWritesWhileClosed)
{
    CVirtualWaveOut out;
    Buffers b(100);
    EXPECT_NE(out.Write(&b.hdr[0]), 0);
    ASSERT_EQ(out.Open(1, 8000, nullptr), 0);
    EXPECT_EQ(out.Write(&b.hdr[0]), 0);
    EXPECT_NE(out.PrepareHeader(&b.hdr[0]), 0);
    EXPECT_NE(out.Write(&b.hdr[0]), 0);
    EXPECT_EQ(out.m_nMisuseCount, 3);
    EXPECT_EQ(out.m_nWriteCount, 1);
}

TEST(VirtualWaveOut, SimulatedFailures)
{
    CVirtualWaveOut out;
    Buffers b(100);
    out.m_nOpenError = 4;
    EXPECT_EQ(out.Open(1, 8000, nullptr), 4);
    EXPECT_FALSE(out.IsOpen());
    out.m_nOpenError = 0;
    EXPECT_NE(out.Open(0, 8000, nullptr), 0);
    ASSERT_EQ(out.Open(1, 8000, nullptr), 0);
    out.m_nFailWriteNumber = 1;
    EXPECT_EQ(out.Write(&b.hdr[0]), 0);
    EXPECT_NE(out.Write(&b.hdr[1]), 0);
    EXPECT_EQ(out.Write(&b.hdr[1]), 0);
    EXPECT_EQ(out.m_written.size(), 200u);
}

}  // namespace
