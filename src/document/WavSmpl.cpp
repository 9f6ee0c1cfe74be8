// The "smpl" chunk: reading the unity note and first loop, and writing a body
// that changes only the fields the program owns.

#include "document/WavSmpl.h"

#include "framework/Archive.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Offsets in the body.
constexpr std::size_t kSamplePeriod = 8;
constexpr std::size_t kUnityNote = 12;
constexpr std::size_t kPitchFraction = 16;
constexpr std::size_t kLoopCount = 28;
// Offsets in a loop record.
constexpr std::size_t kRecordCueId = 0;
constexpr std::size_t kRecordType = 4;
constexpr std::size_t kRecordStart = 8;
constexpr std::size_t kRecordEnd = 12;

std::int32_t ReadS32(const std::uint8_t* p) { return std::int32_t(ReadLE32(p)); }

std::int32_t ClampToInt(std::int64_t v)
{
    return std::int32_t(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

CLoopPoints ReadRecord(const std::uint8_t* r)
{
    return CLoopPoints{ReadS32(r + kRecordStart), ClampToInt(std::int64_t(ReadS32(r + kRecordEnd)) + 1),
                       ReadLE32(r + kRecordType)};
}

void WriteRecord(std::uint8_t* r, const CLoopPoints& loop)
{
    WriteLE32(r + kRecordType, loop.m_nType);
    WriteLE32(r + kRecordStart, std::uint32_t(loop.m_nStart));
    WriteLE32(r + kRecordEnd, std::uint32_t(ClampToInt(std::int64_t(loop.m_nEnd) - 1)));
}

}  // namespace

bool ReadSmplFields(const std::uint8_t* b, std::uint32_t nSize, CSmplFields& fields)
{
    const std::int32_t nLoops = nSize >= std::uint32_t(kWavSmplLoopCountEnd) ? ReadS32(b + kLoopCount) : 0;
    if (nLoops > 0 && nSize < std::uint32_t(kWavSmplFirstLoopEnd))
        return false;
    fields.m_nUnityNote = ReadS32(b + kUnityNote);
    fields.m_nPitchFraction = nSize >= kPitchFraction + 4 ? ReadLE32(b + kPitchFraction) : 0;
    fields.m_bHasLoop = nLoops > 0;
    if (fields.m_bHasLoop) {
        const std::uint8_t* r = b + kWavSmplHeaderSize;
        fields.m_nLoopType = ReadLE32(r + kRecordType);
        fields.m_nLoopStart = ReadS32(r + kRecordStart);
        fields.m_nLoopEnd = ClampToInt(std::int64_t(ReadS32(r + kRecordEnd)) + 1);
        // Further records as far as the body holds them whole.
        const std::int64_t nHeld = (std::int64_t(nSize) - kWavSmplHeaderSize) / kWavSmplLoopRecordSize;
        fields.m_further.clear();
        for (std::int64_t i = 1; i < std::min<std::int64_t>(nLoops, nHeld); ++i)
            fields.m_further.push_back(ReadRecord(r + i * kWavSmplLoopRecordSize));
    }
    return true;
}

std::vector<std::uint8_t> BuildSmplBody(const std::vector<std::uint8_t>& kept, std::int32_t nSampleRate,
                                        std::int32_t nUnityNote, const CSmplLoop& loop,
                                        const std::vector<CLoopPoints>& further, std::uint32_t nPitchFraction)
{
    // The body as read: header, the loop records it holds whole (no more than
    // it declares), and whatever follows them (the sampler-specific data).
    const std::size_t nSize = kept.size();
    const std::int32_t nDeclared = nSize >= std::size_t(kWavSmplLoopCountEnd) ? ReadS32(&kept[kLoopCount]) : 0;
    const std::size_t nHeld = nSize > std::size_t(kWavSmplHeaderSize)
                                  ? (nSize - kWavSmplHeaderSize) / kWavSmplLoopRecordSize
                                  : 0;
    const std::size_t nRecords = nDeclared > 0 ? std::min(std::size_t(nDeclared), nHeld) : 0;
    const std::size_t nRecordsEnd = std::min(nSize, kWavSmplHeaderSize + nRecords * kWavSmplLoopRecordSize);

    const std::size_t nWritten = (loop.m_bHasLoop ? 1 : 0) + further.size();
    const std::size_t nTail = nSize - nRecordsEnd;
    std::vector<std::uint8_t> out(kWavSmplHeaderSize + nWritten * kWavSmplLoopRecordSize + nTail, 0);
    std::copy_n(kept.begin(), std::min(nSize, std::size_t(kWavSmplHeaderSize)), out.begin());
    const std::int32_t nPeriod = nSampleRate > 0 ? std::int32_t(kWavSamplePeriodNumerator / nSampleRate) : 0;
    WriteLE32(&out[kSamplePeriod], std::uint32_t(nPeriod));
    WriteLE32(&out[kUnityNote], std::uint32_t(nUnityNote));
    WriteLE32(&out[kPitchFraction], nPitchFraction);
    WriteLE32(&out[kLoopCount], std::uint32_t(nWritten));

    std::uint8_t* p = out.data() + kWavSmplHeaderSize;
    if (loop.m_bHasLoop) {
        if (nRecords > 0)
            std::copy_n(&kept[kWavSmplHeaderSize], kWavSmplLoopRecordSize, p);
        else
            std::memcpy(p + kRecordCueId, "loop", 4);
        WriteRecord(p, CLoopPoints{loop.m_nStart, loop.m_nEnd, loop.m_nType});
        p += kWavSmplLoopRecordSize;
    }
    // Further loop records, then the sampler-specific data.
    for (std::size_t i = 0; i < further.size(); ++i, p += kWavSmplLoopRecordSize) {
        if (i + 1 < nRecords) {
            const std::uint8_t* r = &kept[kWavSmplHeaderSize + (i + 1) * kWavSmplLoopRecordSize];
            std::copy_n(r, kWavSmplLoopRecordSize, p);
            if (ReadRecord(r) == further[i])
                continue;
        } else {
            WriteLE32(p + kRecordCueId, std::uint32_t(i + 1));
        }
        WriteRecord(p, further[i]);
    }
    std::copy(kept.begin() + std::ptrdiff_t(nSize - nTail), kept.end(), p);
    return out;
}
