// The release marker in the "cue " chunk.

#include "document/WavCue.h"

#include "document/WavFormat.h"
#include "framework/Archive.h"

#include <algorithm>

namespace {

// Offsets in the body and in a cue point.
constexpr std::size_t kCount = 0;
constexpr std::size_t kFirstPoint = 4;
constexpr std::size_t kPointId = 0;
constexpr std::size_t kPointPosition = 4;
constexpr std::size_t kPointChunk = 8;
constexpr std::size_t kPointSampleOffset = 20;

bool IsCue(const CWavChunk& c) { return c.m_kind == CWavChunk::Kind::Kept && ChunkIdEquals(c.m_id.data(), "cue "); }

std::vector<std::uint8_t> NewCueBody(std::int32_t release)
{
    std::vector<std::uint8_t> body(kFirstPoint + kWavCuePointSize, 0);
    WriteLE32(&body[kCount], 1);
    std::uint8_t* p = &body[kFirstPoint];
    WriteLE32(p + kPointId, 1);
    WriteLE32(p + kPointPosition, std::uint32_t(release));
    SetChunkId(p + kPointChunk, "data");
    WriteLE32(p + kPointSampleOffset, std::uint32_t(release));
    return body;
}

}  // namespace

std::optional<std::int32_t> ReadCueRelease(const std::vector<std::uint8_t>& body)
{
    if (body.size() < kFirstPoint + kWavCuePointSize || ReadLE32(&body[kCount]) == 0)
        return std::nullopt;
    const std::uint32_t offset = ReadLE32(&body[kFirstPoint + kPointSampleOffset]);
    if (offset > std::uint32_t(INT32_MAX))
        return std::nullopt;
    return std::int32_t(offset);
}

std::optional<std::int32_t> FindCueRelease(const std::vector<CWavChunk>& chunks)
{
    const auto it = std::find_if(chunks.begin(), chunks.end(), IsCue);
    return it == chunks.end() ? std::nullopt : ReadCueRelease(it->m_body);
}

void PlaceCueRelease(std::vector<CWavChunk>& chunks, std::int32_t release)
{
    const auto it = std::find_if(chunks.begin(), chunks.end(), IsCue);
    const std::optional<std::int32_t> held = it == chunks.end() ? std::nullopt : ReadCueRelease(it->m_body);
    if (release < 0 ? !held : held == release)
        return;
    if (it == chunks.end()) {
        CWavChunk cue{CWavChunk::Kind::Kept, {}, NewCueBody(release)};
        SetChunkId(cue.m_id.data(), "cue ");
        const auto data = std::find_if(chunks.begin(), chunks.end(),
                                       [](const CWavChunk& c) { return c.m_kind == CWavChunk::Kind::Data; });
        chunks.insert(data, std::move(cue));
        return;
    }
    std::vector<std::uint8_t>& body = it->m_body;
    if (!held) {  // a chunk without a usable first point: replaced whole
        if (release >= 0)
            body = NewCueBody(release);
        return;
    }
    std::uint8_t* p = &body[kFirstPoint];
    if (release >= 0) {
        if (ReadLE32(p + kPointPosition) == std::uint32_t(*held))
            WriteLE32(p + kPointPosition, std::uint32_t(release));
        WriteLE32(p + kPointSampleOffset, std::uint32_t(release));
        return;
    }
    const std::uint32_t nLeft = ReadLE32(&body[kCount]) - 1;
    if (nLeft == 0) {
        chunks.erase(it);
        return;
    }
    body.erase(body.begin() + std::ptrdiff_t(kFirstPoint), body.begin() + std::ptrdiff_t(kFirstPoint + kWavCuePointSize));
    WriteLE32(&body[kCount], nLeft);
}
