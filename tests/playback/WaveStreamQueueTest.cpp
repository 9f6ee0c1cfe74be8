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

// A buffer goes back once handed on whole, the last one written only once
// heard; TakeAll (a Reset) returns every buffer, and the new stream hands on
// the buffers back to back, in pieces that need not meet their edges.
TEST(WaveStreamQueue, BuffersGoBackOnceHandedOnTheLastOnceHeardAndAllOnReset)
{
    CBuffers b({100, 37, 250});
    CWaveStreamQueue queue;
    queue.Append(&b.hdr[0]);
    queue.Append(&b.hdr[1]);

    queue.MarkPushed(120);  // the first whole, part of the second
    EXPECT_EQ(queue.TakeFinished(false), &b.hdr[0]);
    EXPECT_FALSE(queue.IsOnlyLastLeft()) << "not all of it handed on";
    EXPECT_EQ(queue.TakeFinished(true), nullptr) << "not all of it handed on";

    queue.MarkPushed(17);
    EXPECT_TRUE(queue.IsOnlyLastLeft());
    EXPECT_EQ(queue.LastEnd(), 137u);
    EXPECT_EQ(queue.TakeFinished(false), nullptr) << "the last buffer waits until it is heard";

    // A buffer written behind it makes it an ordinary one.
    queue.Append(&b.hdr[2]);
    EXPECT_FALSE(queue.IsOnlyLastLeft());
    EXPECT_EQ(queue.TakeFinished(false), &b.hdr[1]);
    queue.MarkPushed(250);
    EXPECT_EQ(queue.TakeFinished(false), nullptr);
    EXPECT_EQ(queue.TakeFinished(true), &b.hdr[2]);
    EXPECT_TRUE(queue.IsEmpty());

    for (WaveHeader& h : b.hdr)
        queue.Append(&h);
    queue.MarkPushed(120);
    EXPECT_TRUE(queue.Contains(&b.hdr[1]));
    EXPECT_EQ(queue.TakeAll(), (std::deque<WaveHeader*>{&b.hdr[0], &b.hdr[1], &b.hdr[2]}));
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_FALSE(queue.Contains(&b.hdr[1]));
    EXPECT_EQ(queue.Written() + queue.Pushed(), 0u);

    for (WaveHeader& h : b.hdr)
        queue.Append(&h);
    std::vector<std::uint8_t> out, expected(387);
    for (auto piece = queue.NextToPush(7); !piece.empty(); piece = queue.NextToPush(7)) {
        out.insert(out.end(), piece.begin(), piece.end());
        queue.MarkPushed(piece.size());
    }
    std::iota(expected.begin(), expected.end(), std::uint8_t(0));
    EXPECT_EQ(out, expected);
    EXPECT_EQ(queue.Pushed(), 387u);
}

}  // namespace
