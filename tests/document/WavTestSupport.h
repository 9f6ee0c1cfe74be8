// Building WAV files byte by byte and pushing them through the document's
// reader and writer in memory, for the document tests.
#pragma once

#include "SampleBytes.h"
#include "document/QuorvelDoc.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline void PutLE16(Bytes& b, std::uint16_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void PutLE32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}
inline void PutId(Bytes& b, const char* id)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(id[i]));
}
inline void Append(Bytes& b, const Bytes& more)
{
    for (std::uint8_t x : more)
        b.push_back(x);
}
// The first `n` bytes of `b`.
inline Bytes Prefix(const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + std::ptrdiff_t(n)); }
inline std::uint32_t GetLE32(const Bytes& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
inline std::uint16_t GetLE16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }
inline std::string GetId(const Bytes& b, std::size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

// One top-level chunk of a RIFF/WAVE file.
struct CChunkView {
    std::string id;
    Bytes body;
    bool operator==(const CChunkView&) const = default;
};
inline void PrintTo(const CChunkView& c, std::ostream* os) { *os << c.id << '/' << c.body.size(); }
// The chunks of a well-formed file in order, the pad byte after an odd size
// skipped as RIFF lays them out.
inline std::vector<CChunkView> ChunkList(const Bytes& file)
{
    std::vector<CChunkView> chunks;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::size_t size = std::min<std::size_t>(GetLE32(file, at + 4), file.size() - at - 8);
        chunks.push_back({GetId(file, at), Bytes(file.begin() + std::ptrdiff_t(at + 8),
                                                 file.begin() + std::ptrdiff_t(at + 8 + size))});
        at += 8 + size + (size & 1);
    }
    return chunks;
}
// The body of the first chunk `id` (empty when there is none).
inline Bytes ChunkBody(const Bytes& file, const std::string& id)
{
    for (const CChunkView& c : ChunkList(file))
        if (c.id == id)
            return c.body;
    return {};
}
// The chunks other than those listed, in order.
inline std::vector<CChunkView> ChunksExcept(const Bytes& file, std::initializer_list<const char*> ids)
{
    std::vector<CChunkView> out;
    for (const CChunkView& c : ChunkList(file))
        if (std::none_of(ids.begin(), ids.end(), [&](const char* id) { return c.id == id; }))
            out.push_back(c);
    return out;
}

// A chunk: id, body size (the body's own unless given), body.
inline Bytes Chunk(const char* id, const Bytes& body, std::optional<std::uint32_t> declaredSize = {})
{
    Bytes b;
    PutId(b, id);
    PutLE32(b, declaredSize.value_or(std::uint32_t(body.size())));
    Append(b, body);
    return b;
}

inline Bytes FmtBody(std::uint16_t tag, std::int16_t channels, std::int32_t rate, std::int16_t blockAlign,
                     std::uint16_t bits)
{
    Bytes b;
    PutLE16(b, tag);
    PutLE16(b, std::uint16_t(channels));
    PutLE32(b, std::uint32_t(rate));
    PutLE32(b, std::uint32_t(rate) * std::uint32_t(blockAlign));
    PutLE16(b, std::uint16_t(blockAlign));
    PutLE16(b, bits);
    return b;
}
using SampleBytes::ExtensibleFmtBody;

inline Bytes PcmFmt(int channels, int rate, int bytesPerSample)
{
    return Chunk("fmt ", FmtBody(1, std::int16_t(channels), rate, std::int16_t(channels * bytesPerSample),
                                 std::uint16_t(8 * bytesPerSample)));
}

// A "smpl" body: unity note, loop count, first loop; cut or padded to `size`.
inline Bytes SmplBody(std::int32_t unity, std::int32_t loops, std::int32_t start, std::int32_t end,
                      std::size_t size = 60)
{
    Bytes b(size > 60 ? size : 60, 0);
    auto put = [&](std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = std::uint8_t(std::uint32_t(v) >> (8 * i));
    };
    put(12, unity);
    put(28, loops);
    put(44, start);
    put(48, end);
    return Prefix(b, size);
}
inline Bytes LoopBody(std::int32_t start, std::int32_t end)
{
    Bytes b;
    PutLE32(b, std::uint32_t(start));
    PutLE32(b, std::uint32_t(end));
    return b;
}

inline Bytes Pcm16(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        PutLE16(b, std::uint16_t(std::int16_t(v)));
    return b;
}
inline Bytes Pcm8(std::initializer_list<int> values)
{
    return Bytes(values.begin(), values.end());
}

// "RIFF", size (everything after the field unless given), "WAVE", chunks.
inline Bytes Riff(std::initializer_list<Bytes> chunks, std::optional<std::uint32_t> riffSize = {})
{
    Bytes inner;
    PutId(inner, "WAVE");
    for (const Bytes& c : chunks)
        Append(inner, c);
    Bytes b;
    PutId(b, "RIFF");
    PutLE32(b, riffSize.value_or(std::uint32_t(inner.size())));
    Append(b, inner);
    return b;
}

// Reads `bytes` as a sample file named `name`; throws what the reader throws.
inline void ReadBytes(CQuorvelDoc& doc, const Bytes& bytes, bool bKeepLoop = false,
                      const std::string& name = "/tmp/in.wav")
{
    CMemFile file(name, bytes);
    CArchive ar(&file, CArchive::load);
    doc.ReadSampleFile(ar, bKeepLoop);
}

// The cause the reader refuses `bytes` with, or nullopt when it reads them.
inline std::optional<CArchiveException::Cause> ReadCause(const Bytes& bytes)
{
    CQuorvelDoc doc;
    doc.OnNewDocument();
    try {
        ReadBytes(doc, bytes);
    } catch (const CArchiveException& e) {
        return e.m_cause;
    }
    return std::nullopt;
}

// Writes the document as the file `name` would be saved; returns its bytes.
inline Bytes WriteBytes(CQuorvelDoc& doc, const std::string& name = "/tmp/out.wav")
{
    CMemFile file(name);
    CArchive ar(&file, CArchive::store);
    doc.WriteSampleFile(ar);
    return file.GetData();
}

// A document holding `frames` × `channels` samples, for writer tests.
inline void FillDocument(CQuorvelDoc& doc, int channels, int rate, const std::vector<double>& samples)
{
    doc.OnNewDocument();
    doc.m_nChannels = channels;
    doc.m_nSampleRate = rate;
    doc.m_nFrameCount = int(samples.size()) / channels;
    doc.m_pSamples = samples;
}
