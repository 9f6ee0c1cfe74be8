// Records of the FastTracker 2 extended instrument (XI) file: the 298-byte
// instrument header and the 40-byte sample header, kept as raw bytes so that
// an instrument is written back exactly as it was read. The accessors read
// and write single little-endian fields in place; every other byte stays as
// it came.
#pragma once

#include "framework/Archive.h"

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr int kXIHeaderSize = 298;
inline constexpr int kXISampleHeaderSize = 40;

struct XIHeader {
    // Byte offsets of the fields the program fills in.
    static constexpr std::size_t kIdText = 0;            // 21 bytes
    static constexpr std::size_t kName = 21;             // 22 bytes
    static constexpr std::size_t kEndOfText = 43;        // 0x1A
    static constexpr std::size_t kTrackerName = 44;      // 20 bytes
    static constexpr std::size_t kVersion = 64;          // 16-bit
    static constexpr std::size_t kSampleCount = 296;     // signed 16-bit

    std::array<std::uint8_t, kXIHeaderSize> bytes{};

    std::int16_t GetSampleCount() const { return std::int16_t(ReadLE16(&bytes[kSampleCount])); }
    void SetSampleCount(std::int16_t n) { WriteLE16(&bytes[kSampleCount], std::uint16_t(n)); }
};
static_assert(sizeof(XIHeader) == kXIHeaderSize);

struct XISampleHeader {
    static constexpr std::size_t kLength = 0;        // bytes, signed 32-bit
    static constexpr std::size_t kLoopStart = 4;     // bytes, unsigned 32-bit
    static constexpr std::size_t kLoopLength = 8;    // bytes, unsigned 32-bit
    static constexpr std::size_t kVolume = 12;
    static constexpr std::size_t kFinetune = 13;     // signed, 1/128 semitone
    static constexpr std::size_t kType = 14;         // bits 0–1 loop type, bit 4 16-bit data
    static constexpr std::size_t kPanning = 15;
    static constexpr std::size_t kRelativeNote = 16; // signed, semitones from C-4 (MIDI 60)
    static constexpr std::size_t kReserved = 17;
    static constexpr std::size_t kName = 18;         // 22 bytes

    static constexpr std::uint8_t kTypeLoopMask = 0x03;
    static constexpr std::uint8_t kTypeForwardLoop = 0x01;
    static constexpr std::uint8_t kTypePingPongLoop = 0x02;
    static constexpr std::uint8_t kType16Bit = 0x10;

    std::array<std::uint8_t, kXISampleHeaderSize> bytes{};

    std::int32_t GetLength() const { return std::int32_t(ReadLE32(&bytes[kLength])); }
    void SetLength(std::uint32_t n) { WriteLE32(&bytes[kLength], n); }
    std::uint32_t GetLoopStart() const { return ReadLE32(&bytes[kLoopStart]); }
    void SetLoopStart(std::uint32_t n) { WriteLE32(&bytes[kLoopStart], n); }
    std::uint32_t GetLoopLength() const { return ReadLE32(&bytes[kLoopLength]); }
    void SetLoopLength(std::uint32_t n) { WriteLE32(&bytes[kLoopLength], n); }
    std::uint8_t GetType() const { return bytes[kType]; }
    void SetType(std::uint8_t t) { bytes[kType] = t; }
    std::int8_t GetRelativeNote() const { return std::int8_t(bytes[kRelativeNote]); }
    void SetRelativeNote(std::uint8_t n) { bytes[kRelativeNote] = n; }
    std::int8_t GetFinetune() const { return std::int8_t(bytes[kFinetune]); }
    void SetFinetune(std::int8_t n) { bytes[kFinetune] = std::uint8_t(n); }

    // Bytes per stored value: 2 for 16-bit data, else 1.
    int GetBytesPerSample() const { return (GetType() & kType16Bit) ? 2 : 1; }
    bool HasLoop() const { return (GetType() & kTypeLoopMask) != 0; }
    // Whole frames in the data (0 for a length of 0 or less).
    std::int32_t GetFrameCount() const
    {
        const std::int32_t n = GetLength();
        return n > 0 ? n / GetBytesPerSample() : 0;
    }
};
static_assert(sizeof(XISampleHeader) == kXISampleHeaderSize);

// Fills nWidth bytes of pDest: the characters of the zero-terminated
// pszSource (cut at nWidth), then nPad in every remaining position. No
// terminator is written.
inline void CopyPadded(std::uint8_t* pDest, const char* pszSource, std::size_t nWidth, std::uint8_t nPad)
{
    std::size_t i = 0;
    for (; i < nWidth && pszSource[i] != '\0'; ++i)
        pDest[i] = std::uint8_t(pszSource[i]);
    for (; i < nWidth; ++i)
        pDest[i] = nPad;
}
