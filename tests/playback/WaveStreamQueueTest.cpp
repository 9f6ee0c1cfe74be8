#include "playback/WaveStreamQueue.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

namespace {

struct CBuffers {
    std::array<std::vector<std::uint8_t>, 3> data;
    std::array<WaveHeader, 3> hdr{};
    explicit CBuffers(std::array<std::uint32_t, 3> lengths)
    {
        std::uint8_t next = 0;
        for (std::size_t i = 0; i < hdr.size(); ++i) {
            data[i].resize(lengths[i]);
            for (std::uint8_t& b : data[i])
                b = next++;
            hdr[i].lpData = data[i].data();
            hdr[i].dwBufferLength = lengths[i];
        }
    }
};

TEST(WaveStreamQueue, HandsOnTheBuffersBackToBackInPiecesOfAnySize)
{
    std::vector<std::uint8_t> expected(387);
    std::iota(expected.begin(), expected.end(), std::uint8_t(0));
    for (const std::uint64_t nStep : {1u, 7u, 100u, 1000u}) {
        CBuffers b({100, 37, 250});
        CWaveStreamQueue queue;
        for (WaveHeader& h : b.hdr)
            queue.Append(&h);
        std::vector<std::uint8_t> out;
        for (auto piece = queue.NextToPush(nStep); !piece.empty(); piece = queue.NextToPush(nStep)) {
            out.insert(out.end(), piece.begin(), piece.end());
            queue.MarkPushed(piece.size());
        }
        EXPECT_EQ(out, expected) << "pieces of " << nStep;
        EXPECT_EQ(queue.Pushed(), 387u);
        EXPECT_EQ(queue.Written(), 387u);
    }
}

// A buffer goes back once handed on whole, the last one written only once
// heard; TakeAll (a Reset) returns every buffer and starts a new stream.
TEST(WaveStreamQueue, BuffersGoBackOnceHandedOnTheLastOnceHeardAndAllOnReset)
{
    CBuffers b({100, 100, 100});
    CWaveStreamQueue queue;
    queue.Append(&b.hdr[0]);
    queue.Append(&b.hdr[1]);

    queue.MarkPushed(150);  // the first whole, half of the second
    EXPECT_EQ(queue.TakeFinished(false), &b.hdr[0]);
    EXPECT_EQ(queue.TakeFinished(true), nullptr) << "not all of it handed on";

    queue.MarkPushed(50);
    EXPECT_TRUE(queue.IsOnlyLastLeft());
    EXPECT_EQ(queue.LastEnd(), 200u);
    EXPECT_EQ(queue.TakeFinished(false), nullptr) << "the last buffer waits until it is heard";

    // A buffer written behind it makes it an ordinary one.
    queue.Append(&b.hdr[2]);
    EXPECT_FALSE(queue.IsOnlyLastLeft());
    EXPECT_EQ(queue.TakeFinished(false), &b.hdr[1]);
    queue.MarkPushed(100);
    EXPECT_EQ(queue.TakeFinished(false), nullptr);
    EXPECT_EQ(queue.TakeFinished(true), &b.hdr[2]);
    EXPECT_TRUE(queue.IsEmpty());

    for (WaveHeader& h : b.hdr)
        queue.Append(&h);
    queue.MarkPushed(150);
    EXPECT_TRUE(queue.Contains(&b.hdr[1]));
    EXPECT_EQ(queue.TakeAll(), (std::deque<WaveHeader*>{&b.hdr[0], &b.hdr[1], &b.hdr[2]}));
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_FALSE(queue.Contains(&b.hdr[1]));
    EXPECT_EQ(queue.Written() + queue.Pushed(), 0u);
    queue.Append(&b.hdr[1]);
    const auto piece = queue.NextToPush(1000);
    ASSERT_EQ(piece.size(), 100u);
    EXPECT_EQ(piece.front(), 100) << "the new stream starts with the buffer's first byte";
}

}  // namespace
