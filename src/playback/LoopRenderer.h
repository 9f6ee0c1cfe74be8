// The looping stream rendered away from the user-interface thread.
//
// CLoopSnapshot is an immutable copy of what playback reads from the
// document: its frames already converted to the 16-bit values that are sent
// (× 16383, truncated toward zero), its loop and its loaded flag. The
// user-interface thread makes one on Play and a new one whenever the loop or
// the frames change, and hands it to the audio thread as a shared pointer;
// a loop change shares the converted frames of the snapshot before it.
//
// CLoopRenderer turns a snapshot into the stream, frame after frame as the
// old two-buffer filler did: the loop end (exclusive) jumps back to the loop
// start, and the fill stops at the frame count. It remembers which document
// frames each stretch of the stream came from, so that the stream can be cut
// back to any position not yet heard and rendered again from there (a loop
// changed while playing), and so that a stream position heard maps to the
// frame the play cursor shows. Positions are stream frames since Start.
// Not thread-safe: owned by the thread that renders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class CQuorvelDoc;

struct CLoopSnapshot {
    std::shared_ptr<const std::vector<std::int16_t>> pSamples;  // interleaved; never null
    int nChannels = 0;
    int nSampleRate = 0;  // frames per second
    std::int32_t nFrameCount = 0;
    bool bLoaded = false;  // false: nothing is rendered
    bool bHasLoop = false;
    std::int32_t nLoopStart = 0;
    std::int32_t nLoopEnd = 0;

    bool SameLoopAs(const CQuorvelDoc& doc) const;
};

// A snapshot of the document. With pFramesOf, the frames are shared with
// that snapshot instead of being converted again (only the loop changed).
std::shared_ptr<const CLoopSnapshot> MakeLoopSnapshot(const CQuorvelDoc& doc,
                                                      const CLoopSnapshot* pFramesOf = nullptr);

class CLoopRenderer {
public:
    // The stream starts afresh at document frame nFrom.
    void Start(std::int32_t nFrom);
    // Writes up to nMaxFrames frames (snapshot's channel count) to pOut and
    // returns how many; fewer only when the fill has reached the end.
    std::size_t Render(const CLoopSnapshot& snapshot, std::int16_t* pOut, std::size_t nMaxFrames);
    // Counts nFrames of silence after the end, so that positions stay those
    // of the stream when a shortened rendering must cover what it replaces.
    void PadSilence(std::uint64_t nFrames) { m_nWritten += nFrames; }
    // True when the last Render stopped at the end of the frames.
    bool AtEnd() const { return m_bAtEnd; }
    std::uint64_t Written() const { return m_nWritten; }

    // Forgets the stream from nPosition on (at most Written(), at least the
    // oldest position still remembered): the next Render continues after the
    // last frame kept as its snapshot's loop says, jumping back at once when
    // that frame is at or past the loop end.
    void RewindTo(std::uint64_t nPosition);
    // The frame the cursor shows once nHeard stream frames have been heard:
    // the next frame to be heard, or where the fill stands when all of it was.
    std::int32_t FrameAt(std::uint64_t nHeard) const;
    // Positions before nHeard will not be asked for again.
    void ForgetBefore(std::uint64_t nHeard);

private:
    // A stretch of the stream that plays consecutive document frames.
    struct Run {
        std::uint64_t nAt;    // stream position of its first frame
        std::int32_t nFrom;   // document frame there
        std::int32_t nCount;  // frames
    };
    std::deque<Run> m_runs;
    std::int32_t m_nFillPos = 0;  // next document frame to render
    std::uint64_t m_nWritten = 0;
    bool m_bAtEnd = false;
    bool m_bJumpPending = false;  // rewound: the loop end is checked before rendering
};
