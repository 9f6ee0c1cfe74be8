// CWaveStreamQueue: the buffers written to a wave output device, back to
// back as one byte stream, from their Write until the device returns them.
//
// The device hands the stream on to its output piece by piece (NextToPush,
// MarkPushed). A buffer goes back to the client once all of it has been
// handed on (the output keeps its own copy), so the client refills it while
// the output still holds several hundred milliseconds: except the last
// buffer written, which is only returned once it has been heard, so that a
// client which ends the stream when its last buffer comes back cuts nothing
// off. A buffer written behind it makes it an ordinary buffer again.
//
// Offsets are bytes since the stream started (Open or Reset). Not
// thread-safe: the device guards it with a mutex of its own.
#pragma once

#include "playback/WaveOut.h"

#include <cstdint>
#include <deque>
#include <span>

class CWaveStreamQueue {
public:
    void Append(WaveHeader* pHeader);
    bool Contains(const WaveHeader* pHeader) const;
    bool IsEmpty() const { return m_chunks.empty(); }
    // Bytes written, and handed on to the output, since the stream started.
    std::uint64_t Written() const { return m_nWritten; }
    std::uint64_t Pushed() const { return m_nPushed; }

    // The next bytes to hand on, at most nMax, all from one buffer; empty
    // when everything written has been handed on. Valid until the next call
    // of any other member.
    std::span<const std::uint8_t> NextToPush(std::uint64_t nMax) const;
    void MarkPushed(std::uint64_t nBytes);

    // True when only the last buffer written is left, all of it handed on:
    // it now waits to be heard (stream offset LastEnd()).
    bool IsOnlyLastLeft() const;
    std::uint64_t LastEnd() const { return m_nWritten; }

    // The oldest buffer if it may go back to the client: all of it handed
    // on, and either a buffer written behind it or bLastHeard (the caller's
    // judgement that the stream has been heard to LastEnd()). Null otherwise.
    WaveHeader* TakeFinished(bool bLastHeard);
    // Every buffer still held, oldest first; the stream starts afresh.
    std::deque<WaveHeader*> TakeAll();

private:
    struct Chunk {
        WaveHeader* pHeader;
        std::uint64_t nStart;  // stream offset of its first byte
        std::uint64_t nEnd;    // stream offset just past it
    };
    std::deque<Chunk> m_chunks;  // written and not yet returned
    std::uint64_t m_nWritten = 0;
    std::uint64_t m_nPushed = 0;
};
