// RIFF/WAVE layout constants and four-character-code helpers shared by the
// WAV reader and writer (and by tests that build files byte by byte), and the
// "fmt " chunk: which sample encodings are read and how each is written.
// All sizes are in bytes; all numbers in the file are little-endian.
#pragma once

#include "document/SampleSource.h"
#include "framework/Archive.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

inline constexpr int kWavChunkHeaderSize = 8;  // id + 32-bit body size
inline constexpr int kWavFmtBodySize = 16;     // as written for 16-bit PCM
inline constexpr int kWavFmtBodyMinRead = 14;  // tag, channels, rate, byte rate, block align
inline constexpr int kWavLoopBodyMinRead = 8;      // start + end
inline constexpr std::uint16_t kWavFormatPcm = 1;
inline constexpr std::uint16_t kWavFormatFloat = 3;
inline constexpr std::uint16_t kWavFormatExtensible = 0xFFFE;
// RIFF size written after "RIFF": everything after that field.
inline constexpr std::uint32_t kWavHeaderRiffBase = 36;  // "WAVE" + fmt chunk + data header

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
// the RIFF size given, "WAVE" and the 16-byte "fmt " chunk of BuildWavFmt.
inline constexpr int kWavRiffAndFmtSize = 36;
void WritePcm16RiffAndFmt(std::uint8_t* p, std::uint32_t nRiffSize, std::uint16_t nChannels, std::int32_t nSampleRate);

// --- the "fmt " chunk ------------------------------------------------------------

// What a "fmt " chunk says about the frames that follow.
struct CWavFmt {
    std::int32_t m_nChannels = 0;    // 1 or 2
    std::int32_t m_nSampleRate = 0;  // frames per second, > 0
    std::int32_t m_nBlockAlign = 0;  // bytes from one frame to the next, ≥ channels × m_encoding.m_nBytes
    CSampleEncoding m_encoding;
};

// Why a "fmt " chunk is refused: a short text for the developer and a
// sentence for the user (empty when the chunk is merely damaged).
struct CWavFmtRefusal {
    std::string m_strDetail;
    std::string m_strReason;
};

// Reads a "fmt " body of nSize bytes. Accepted: format tag 1 (integer PCM of
// 1 to 4 bytes), 3 (floating point of 4 or 8 bytes), or 0xFFFE (extensible)
// whose sub-format is one of those two, with one or two channels and a
// positive rate. For tags 1 and 3 the bytes per sample are block align ÷
// channels (frames may carry unused bytes after their samples) and the bits
// field only names the significant bits; an extensible header must declare a
// block align of exactly channels × its container size. Returns false and
// fills `why` when the chunk is refused.
bool ParseWavFmt(const std::uint8_t* pBody, std::uint32_t nSize, CWavFmt& fmt, CWavFmtRefusal& why);

// The encoding a save writes for samples read in `source`: the source's own
// container when 16 bits would lose part of it (all its bits significant),
// otherwise 16-bit PCM.
CSampleEncoding WrittenWavEncoding(const CSampleEncoding& source);

// The "fmt " body the writer stores: tag 1 and 16 bytes for 16-bit PCM; tag 3
// and 18 bytes for floating point; the 40-byte extensible header with the PCM
// sub-format for integers wider than 16 bits. nChannels is 1 or 2.
std::vector<std::uint8_t> BuildWavFmt(const CSampleEncoding& encoding, std::uint16_t nChannels,
                                      std::int32_t nSampleRate);
