// The "smpl" chunk of RIFF/WAVE files: the unity note and the first loop the
// reader takes from it, and the body the writer stores. Loop positions are
// frames; the file stores a loop's end as its last frame played, the
// document as the frame just past it.
#pragma once

#include "document/LoopPoints.h"

#include <cstdint>
#include <vector>

inline constexpr int kWavSmplHeaderSize = 36;      // fields before the first loop record
inline constexpr int kWavSmplLoopRecordSize = 24;
inline constexpr int kWavSmplUnityNoteEnd = 16;    // body must reach past the unity note
inline constexpr int kWavSmplLoopCountEnd = 32;    // ... past the loop count
inline constexpr int kWavSmplFirstLoopEnd = 52;    // ... past the first loop's end frame
inline constexpr std::uint32_t kWavSmplLoopForward = 0;
inline constexpr std::uint32_t kWavSmplLoopAlternating = 1;
// Nanoseconds per frame are written as trunc(this ÷ sample rate).
inline constexpr double kWavSamplePeriodNumerator = 999967500.0;

// What the reader takes from a "smpl" body.
struct CSmplFields {
    std::int32_t m_nUnityNote = 60;
    std::uint32_t m_nPitchFraction = 0;  // 1/2³² semitone above the unity note; 0 when the body stops before it
    bool m_bHasLoop = false;      // the body declares at least one loop
    std::int32_t m_nLoopStart = 0;
    std::int32_t m_nLoopEnd = 0;  // exclusive: the stored end + 1, kept within the int range
    std::uint32_t m_nLoopType = 0;
    // The loop records after the first, in file order.
    std::vector<CLoopPoints> m_further;
};

// The fields of a body of nSize bytes (at least kWavSmplUnityNoteEnd). A body
// that stops before the loop count declares no loop. Returns false when the
// body declares a loop it does not hold.
bool ReadSmplFields(const std::uint8_t* pBody, std::uint32_t nSize, CSmplFields& fields);

// The loop the document holds, as a save writes it.
struct CSmplLoop {
    bool m_bHasLoop = false;
    std::int32_t m_nStart = 0;
    std::int32_t m_nEnd = 0;   // exclusive
    std::uint32_t m_nType = kWavSmplLoopForward;
};

// The body a save writes: `kept` (the body read from the file, or empty)
// with only the sample period, the unity note, the pitch fraction and the first loop's start,
// end and type replaced, the first loop record added or left out as the loop
// demands, then one record per loop of `further`, and the loop count set to
// the records written. A further loop whose values equal those of the kept
// record at its place keeps that record byte for byte; a changed one keeps
// the record's other fields (cue id, fraction, play count) and a new one gets
// its index as cue id. Every other field and the sampler-specific data stay
// as read.
std::vector<std::uint8_t> BuildSmplBody(const std::vector<std::uint8_t>& kept, std::int32_t nSampleRate,
                                        std::int32_t nUnityNote, const CSmplLoop& loop,
                                        const std::vector<CLoopPoints>& further = {},
                                        std::uint32_t nPitchFraction = 0);
