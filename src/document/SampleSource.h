// What the document remembers of the file it was read from, beyond the
// frames: how the samples were stored, the WAV chunks it does not own, and the
// loop as the file gave it. The writers use them so that saving loses nothing
// the program did not change.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// How a file stores one sample value.
struct CSampleEncoding {
    std::int32_t m_nBits = 16;   // significant bits (≤ 8 × m_nBytes)
    std::int32_t m_nBytes = 2;   // bytes per stored value
    bool m_bFloat = false;       // IEEE floating point (4 or 8 bytes) rather than integer PCM

    // Whether a 16-bit file would lose part of what this encoding holds.
    bool IsWiderThan16Bit() const { return m_bFloat || m_nBits > 16; }
    bool operator==(const CSampleEncoding&) const = default;
};

// One chunk of a WAV file in file order. A kept chunk holds its id and body
// exactly as read and is written back byte for byte; the other kinds only
// mark where the writer puts a chunk of its own.
struct CWavChunk {
    enum class Kind {
        Kept,  // m_id and m_body as read
        Fmt,   // the format
        Fact,  // the frame count, written for floating-point data only
        Smpl,  // loop and unity note; m_body is the "smpl" body whose other fields are kept (empty: none)
        Data,  // the frames
    };
    Kind m_kind = Kind::Kept;
    std::array<std::uint8_t, 4> m_id{};
    std::vector<std::uint8_t> m_body;
};

// The loop of the file last opened (all frames, end exclusive), remembered so
// that a save can tell whether the document's loop is still that one. The
// type is the file's own code: XI loop type bits (1 forward, 2 ping-pong) when
// m_bXIType, else the "smpl" loop type (0 forward, 1 alternating).
struct CFileLoop {
    bool m_bHasLoop = false;
    std::int32_t m_nStart = 0;
    std::int32_t m_nEnd = 0;
    std::uint32_t m_nType = 0;
    bool m_bXIType = false;

    bool IsLoop(bool bHasLoop, std::int32_t nStart, std::int32_t nEnd) const
    {
        return m_bHasLoop && bHasLoop && m_nStart == nStart && m_nEnd == nEnd;
    }
    // Whether the loop plays back and forth rather than forward.
    bool IsPingPong() const { return m_nType == (m_bXIType ? 2u : 1u); }
    bool operator==(const CFileLoop&) const = default;
};
