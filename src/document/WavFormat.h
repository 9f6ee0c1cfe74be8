// RIFF/WAVE layout constants and four-character-code helpers shared by the
// WAV reader and writer (and by tests that build files byte by byte).
// All sizes are in bytes; all numbers in the file are little-endian.
#pragma once

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
