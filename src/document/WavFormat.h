// RIFF/WAVE layout constants and four-character-code helpers shared by the
// WAV reader and writer (and by tests that build files byte by byte).
// All sizes are in bytes; all numbers in the file are little-endian.
#pragma once

#include "framework/Archive.h"

#include <cstdint>
#include <cstring>

inline constexpr int kWavChunkHeaderSize = 8;  // id + 32-bit body size
inline constexpr int kWavFmtBodySize = 16;     // as written
inline constexpr int kWavFmtBodyMinRead = 14;  // tag, channels, rate, byte rate, block align
inline constexpr int kWavSmplBodySize = 60;    // as written: header + one loop record
inline constexpr int kWavSmplUnityNoteEnd = 16;    // body must reach past the unity note
inline constexpr int kWavSmplLoopCountEnd = 32;    // ... past the loop count
inline constexpr int kWavSmplFirstLoopEnd = 52;    // ... past the first loop's end frame
inline constexpr int kWavLoopBodyMinRead = 8;      // start + end
inline constexpr std::uint16_t kWavFormatPcm = 1;
// RIFF size written after "RIFF": everything after that field.
inline constexpr std::uint32_t kWavHeaderRiffBase = 36;  // "WAVE" + fmt chunk + data header
inline constexpr std::uint32_t kWavSmplChunkSize = kWavChunkHeaderSize + kWavSmplBodySize;
// Nanoseconds per frame are written as trunc(this ÷ sample rate).
inline constexpr double kWavSamplePeriodNumerator = 999967500.0;

// Four bytes equal, case-sensitive.
inline bool ChunkIdEquals(const void* id, const char (&code)[5])
{
    return std::memcmp(id, code, 4) == 0;
}

inline void SetChunkId(void* id, const char (&code)[5])
{
    std::memcpy(id, code, 4);
}

// The first 36 bytes of a 16-bit PCM file as the program writes it: "RIFF",
// the RIFF size given, "WAVE" and the 16-byte "fmt " chunk.
inline constexpr int kWavRiffAndFmtSize = 36;
inline void WritePcm16RiffAndFmt(std::uint8_t* p, std::uint32_t nRiffSize, std::uint16_t nChannels,
                                 std::int32_t nSampleRate)
{
    const std::uint32_t nBlockAlign = std::uint32_t(nChannels) * 2;
    SetChunkId(p, "RIFF");
    WriteLE32(p + 4, nRiffSize);
    SetChunkId(p + 8, "WAVE");
    SetChunkId(p + 12, "fmt ");
    WriteLE32(p + 16, kWavFmtBodySize);
    WriteLE16(p + 20, kWavFormatPcm);
    WriteLE16(p + 22, nChannels);
    WriteLE32(p + 24, std::uint32_t(nSampleRate));
    // The byte rate field holds 32 bits; a rate too large for it wraps.
    WriteLE32(p + 28, std::uint32_t(std::uint64_t(std::uint32_t(nSampleRate)) * nBlockAlign));
    WriteLE16(p + 32, std::uint16_t(nBlockAlign));
    WriteLE16(p + 34, 16);
}
