#include "playback/LoopRenderer.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

constexpr std::int32_t kFrames = 1000;

struct Loop {
    bool bOn;
    std::int32_t nStart, nEnd;
};

// A mono snapshot whose every frame holds its own index.
CLoopSnapshot Snapshot(Loop loop)
{
    auto pSamples = std::make_shared<std::vector<std::int16_t>>(kFrames);
    std::iota(pSamples->begin(), pSamples->end(), std::int16_t(0));
    CLoopSnapshot s;
    s.pSamples = pSamples;
    s.nChannels = 1;
    s.nSampleRate = 44100;
    s.nFrameCount = kFrames;
    s.bLoaded = true;
    s.bHasLoop = loop.bOn;
    s.nLoopStart = loop.nStart;
    s.nLoopEnd = loop.nEnd;
    return s;
}

// The frame heard after frame f: the next one, or the loop start once the
// loop end is reached; -1 past the end.
std::int32_t After(std::int32_t f, Loop loop)
{
    ++f;
    if (loop.bOn && f >= loop.nEnd)
        f = loop.nStart;
    return f < kFrames ? f : -1;
}

// Rendered in pieces of an odd size, the stream is cut back while playing
// and rendered again with another loop: up to the cut it is the old loop's
// stream, from there the new loop's, continuing from the last frame kept.
// Every position maps to the frame it holds.
TEST(LoopRenderer, RewriteFromAPositionContinuesWithTheNewLoopAndTheCursorFollows)
{
    struct Case {
        const char* what;
        Loop before, after;
        std::uint64_t nCut;
    };
    const Case cases[] = {
        {"loop moved before the part playing", {true, 100, 300}, {true, 50, 80}, 250},
        {"cut exactly where the old loop jumped", {true, 100, 300}, {true, 100, 400}, 300},
        {"loop removed: runs to the end", {true, 100, 300}, {false, 0, 0}, 350},
        {"start after end repeats one frame", {true, 200, 150}, {true, 10, 20}, 170},
    };
    for (const Case& c : cases) {
        const CLoopSnapshot before = Snapshot(c.before), after = Snapshot(c.after);
        CLoopRenderer renderer;
        renderer.Start(0);
        std::vector<std::int16_t> stream(2000);
        std::size_t n = 0;
        while (n < 600)
            n += renderer.Render(before, stream.data() + n, 37);
        renderer.RewindTo(c.nCut);
        ASSERT_EQ(renderer.Written(), c.nCut) << c.what;
        n = c.nCut + renderer.Render(after, stream.data() + c.nCut, stream.size() - c.nCut);

        std::int32_t f = 0;
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_EQ(stream[i], f) << c.what << " at " << i;
            ASSERT_EQ(renderer.FrameAt(i), f) << c.what << " at " << i;
            f = After(f, i + 1 < c.nCut ? c.before : c.after);
        }
        if (c.after.bOn) {
            EXPECT_EQ(n, stream.size()) << c.what << ": a loop stopped";
        } else {
            EXPECT_EQ(f, -1) << c.what << ": stopped before the end";
            EXPECT_EQ(renderer.FrameAt(n), kFrames) << c.what << ": the cursor after the end";
        }
    }
}

}  // namespace
