// Reading and writing RIFF/WAVE files: the chunk walk of the reader and the
// layout of the writer. The reader takes integer PCM of 8 to 32 bits and
// floating point (WavFmt.cpp), the loop and unity note from "smpl"
// (WavSmpl.cpp) or a loop from a "loop" chunk, and keeps every chunk it does
// not own, in file order, for the writer. The writer stores 16-bit PCM, or the
// source's own encoding when that holds more, and writes the kept chunks back
// byte for byte around its own.
//
// Every size taken from the file is checked against what the file still holds
// before anything is allocated for it, and every field is read only when the
// chunk body reaches it; anything the reader cannot make sense of is refused
// with CArchiveException::badIndex.

#include "document/QuorvelDoc.h"
#include "document/WavCue.h"
#include "document/WavFormat.h"
#include "document/WavSampleData.h"
#include "document/WavSmpl.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using Kind = CWavChunk::Kind;

[[noreturn]] void Refuse(CArchive& ar, const std::string& why, const std::string& reason = {})
{
    throw CArchiveException(CArchiveException::badIndex, ar.GetFile()->GetFilePath(), why, reason);
}

// The chunk walk's view of the file: the archive, with room to hand back one
// byte. RIFF pads a chunk of odd size with a zero byte; some writers leave
// the pad out. Since no chunk id starts with a zero byte, the byte after an
// odd-sized chunk is skipped when it is zero and otherwise read again as the
// start of the next chunk header.
class CChunkStream {
public:
    explicit CChunkStream(CArchive& ar) : m_ar(ar) {}

    std::uint64_t GetRemaining() const { return m_ar.GetRemaining() + (m_bHeld ? 1 : 0); }

    std::size_t Read(std::uint8_t* p, std::size_t n)
    {
        if (n == 0)
            return 0;
        std::size_t nGot = 0;
        if (m_bHeld) {
            p[0] = m_nHeld;
            m_bHeld = false;
            nGot = 1;
        }
        return nGot + m_ar.Read(p + nGot, n - nGot);
    }

    // Exactly n bytes or CArchiveException(endOfFile).
    void ReadExact(std::uint8_t* p, std::size_t n)
    {
        if (Read(p, n) != n)
            throw CArchiveException(CArchiveException::endOfFile, m_ar.GetFile()->GetFilePath());
    }

    // Called after an odd-sized body; returns whether a pad byte was consumed.
    bool SkipPad()
    {
        std::uint8_t b = 0;
        if (Read(&b, 1) != 1)
            return false;
        if (b == 0)
            return true;
        m_nHeld = b;
        m_bHeld = true;
        return false;
    }

private:
    CArchive& m_ar;
    std::uint8_t m_nHeld = 0;
    bool m_bHeld = false;
};

// Chunks that only describe the frames and would be stale after an edit:
// dropped, never written back.
bool IsDroppedChunk(const std::uint8_t* id) { return ChunkIdEquals(id, "PEAK"); }

template <class Chunks>
auto FindSlot(Chunks& chunks, Kind kind) -> decltype(&chunks.front())
{
    const auto it = std::find_if(chunks.begin(), chunks.end(), [kind](const CWavChunk& c) { return c.m_kind == kind; });
    return it == chunks.end() ? nullptr : &*it;
}

// Marks where the writer's own chunk of `kind` goes: at the first chunk of
// that kind in the file.
CWavChunk& AddSlot(std::vector<CWavChunk>& chunks, Kind kind)
{
    if (CWavChunk* p = FindSlot(chunks, kind))
        return *p;
    chunks.push_back(CWavChunk{kind, {}, {}});
    return chunks.back();
}

// One chunk as the writer lays it out.
struct CPiece {
    const char* id;
    const std::uint8_t* body;  // unused for the frames, which are encoded in place
    std::uint64_t size;
    bool bFrames = false;
};

std::uint64_t PaddedSize(std::uint64_t n) { return n + (n & 1); }

// The chunks a save writes, in order: the file's own order with the
// program's chunks at the places the file had them. Without such a place the
// format comes first (with fact after it), the loop just before the frames,
// and the frames last. pFact and pSmpl are null when not written.
std::vector<CPiece> LayOutChunks(const std::vector<CWavChunk>& chunks, const CPiece& fmt, const CPiece* pFact,
                                 const CPiece* pSmpl, const CPiece& data)
{
    const auto has = [&](Kind kind) { return FindSlot(chunks, kind) != nullptr; };
    std::vector<CPiece> pieces;
    const auto put = [&](const CPiece* p) {
        if (p)
            pieces.push_back(*p);
    };
    const auto putFmt = [&] {
        put(&fmt);
        if (!has(Kind::Fact))
            put(pFact);
    };
    const auto putData = [&] {
        if (!has(Kind::Smpl))
            put(pSmpl);
        put(&data);
    };
    if (!has(Kind::Fmt))
        putFmt();
    for (const CWavChunk& c : chunks) {
        switch (c.m_kind) {
        case Kind::Kept:
            pieces.push_back(CPiece{reinterpret_cast<const char*>(c.m_id.data()), c.m_body.data(), c.m_body.size()});
            break;
        case Kind::Fmt:
            putFmt();
            break;
        case Kind::Fact:
            put(pFact);
            break;
        case Kind::Smpl:
            put(pSmpl);
            break;
        case Kind::Data:
            putData();
            break;
        }
    }
    if (!has(Kind::Data))
        putData();
    return pieces;
}

}  // namespace

void CQuorvelDoc::ReadWav(CArchive& ar, bool bKeepLoop)
{
    CChunkStream in(ar);
    std::uint8_t riff[8];
    if (in.Read(riff, sizeof riff) != sizeof riff || !ChunkIdEquals(riff + 4, "WAVE"))
        Refuse(ar, "the RIFF form is not WAVE");

    // Taken unsigned: a file that our own writer made up to 4 GiB reads back.
    std::int64_t remaining = std::int64_t(ReadLE32(riff)) - 4;

    bool bHaveFormat = false;
    bool bHaveData = false;
    bool bKeptSmplHasLoop = false;
    CWavFmt fmt;
    CSampleEncoding dataEncoding;
    std::uint32_t nLoopType = 0;
    std::vector<CWavChunk> chunks;

    while (remaining > 0) {
        // The walk ends normally at the end of the file, even when the RIFF
        // size promised more.
        if (in.GetRemaining() < std::uint64_t(kWavChunkHeaderSize))
            break;
        std::uint8_t header[kWavChunkHeaderSize];
        in.ReadExact(header, sizeof header);
        remaining -= kWavChunkHeaderSize;

        const std::uint32_t nSize = ReadLE32(header + 4);
        if (nSize > in.GetRemaining())
            Refuse(ar, "a chunk is cut short by the end of the file");

        // Sample data is judged before its body is read, so a refused data
        // chunk costs no allocation.
        const bool bData = ChunkIdEquals(header, "data");
        std::uint64_t nFrames = 0;
        if (bData) {
            if (!bHaveFormat)
                Refuse(ar, "sample data before the fmt chunk");
            const std::uint64_t nUsed = std::uint64_t(fmt.m_nChannels) * std::uint64_t(fmt.m_encoding.m_nBytes);
            const std::uint64_t nAlign = std::uint64_t(fmt.m_nBlockAlign);
            nFrames = nSize / nUsed;
            if (nAlign != nUsed) {
                // Frames padded beyond their samples: keep only frames that lie
                // wholly inside the body.
                const std::uint64_t nFit = nSize < nUsed ? 0 : (nSize - nUsed) / nAlign + 1;
                nFrames = std::min(nFrames, nFit);
            }
            if (nFrames > std::uint64_t(INT32_MAX))
                Refuse(ar, "too many frames");
        }

        // The whole body in one read. The frames' buffer is only read from,
        // so it is not zero-filled first; any other body may be kept.
        std::unique_ptr<std::uint8_t[]> pData;
        std::vector<std::uint8_t> body;
        std::uint8_t* b = nullptr;
        if (bData) {
            pData = std::make_unique_for_overwrite<std::uint8_t[]>(nSize);
            b = pData.get();
        } else {
            body.resize(nSize);
            b = body.data();
        }
        if (in.Read(b, nSize) != nSize)
            Refuse(ar, "a chunk is cut short by the end of the file");
        remaining -= nSize;
        if ((nSize & 1) && remaining > 0 && in.SkipPad())
            remaining -= 1;

        if (ChunkIdEquals(header, "fmt ")) {
            CWavFmtRefusal why;
            if (!ParseWavFmt(b, nSize, fmt, why))
                Refuse(ar, why.m_strDetail, why.m_strReason);
            m_nChannels = fmt.m_nChannels;
            m_nSampleRate = fmt.m_nSampleRate;
            bHaveFormat = true;
            AddSlot(chunks, Kind::Fmt);
        } else if (bData) {
            // The old frames go before the new ones are allocated.
            m_nFrameCount = 0;
            DecodeWavData(m_pSamples, b, std::size_t(nFrames), fmt.m_nChannels, std::size_t(fmt.m_nBlockAlign),
                          fmt.m_encoding);
            m_nFrameCount = std::int32_t(nFrames);
            dataEncoding = fmt.m_encoding;
            bHaveData = true;
            AddSlot(chunks, Kind::Data);
        } else if (ChunkIdEquals(header, "loop")) {
            // Its loop goes into "smpl" on saving; a stale copy would
            // override the new loop on the next read.
            if (nSize < std::uint32_t(kWavLoopBodyMinRead))
                Refuse(ar, "the loop chunk is too short");
            if (!bKeepLoop) {
                m_bHasLoop = true;
                m_nLoopStart = std::int32_t(ReadLE32(b));
                m_nLoopEnd = std::int32_t(ReadLE32(b + 4));
                nLoopType = 0;
            }
            AddSlot(chunks, Kind::Smpl);
        } else if (ChunkIdEquals(header, "smpl")) {
            CSmplFields fields;
            if (nSize < std::uint32_t(kWavSmplUnityNoteEnd))
                Refuse(ar, "the smpl chunk is too short");
            if (!ReadSmplFields(b, nSize, fields))
                Refuse(ar, "the smpl chunk declares a loop it does not hold");
            if (!bKeepLoop) {
                m_nUnityNote = fields.m_nUnityNote;
                m_nPitchFraction = fields.m_nPitchFraction;
                if (fields.m_bHasLoop) {
                    m_bHasLoop = true;
                    m_nLoopStart = fields.m_nLoopStart;
                    m_nLoopEnd = fields.m_nLoopEnd;
                    nLoopType = fields.m_nLoopType;
                    m_extraLoops = std::move(fields.m_further);
                }
            }
            // The fields kept for saving come from the chunk that set the
            // loop, or without one from the last.
            CWavChunk& slot = AddSlot(chunks, Kind::Smpl);
            if (fields.m_bHasLoop || !bKeptSmplHasLoop)
                slot.m_body = std::move(body);
            bKeptSmplHasLoop = bKeptSmplHasLoop || fields.m_bHasLoop;
        } else if (ChunkIdEquals(header, "fact")) {
            AddSlot(chunks, Kind::Fact);
        } else if (!IsDroppedChunk(header)) {
            CWavChunk kept{Kind::Kept, {}, std::move(body)};
            std::copy_n(header, 4, kept.m_id.begin());
            chunks.push_back(std::move(kept));
        }
    }
    // A fmt chunk after the last data chunk may have changed the channel
    // count the frames were read with; every access to them would then run
    // past the buffer. The refused document keeps the count its frames have.
    if (bHaveData && m_pSamples.size() != std::size_t(m_nFrameCount) * std::size_t(m_nChannels)) {
        m_nChannels = int(m_pSamples.size() / std::size_t(m_nFrameCount));
        Refuse(ar, "a fmt chunk after the data changes its channel count");
    }

    m_wavChunks = std::move(chunks);
    m_sourceEncoding = bHaveData ? dataEncoding : bHaveFormat ? fmt.m_encoding : CSampleEncoding{};
    if (!bKeepLoop) {
        m_fileLoop = CFileLoop{m_bHasLoop, m_nLoopStart, m_nLoopEnd, nLoopType, false};
        m_nRelease = FindCueRelease(m_wavChunks).value_or(-1);
    }
}

void CQuorvelDoc::WriteWav(CArchive& ar)
{
    const std::string& path = ar.GetFile()->GetFilePath();
    // A document that never had a format (a new one, or a RIFF file without
    // "fmt ") is written as mono without frames: a file that opens again.
    const std::uint16_t nChannels = m_nChannels > 0 ? std::uint16_t(m_nChannels) : 1;
    const std::uint64_t nFrames = m_nFrameCount > 0 ? std::uint64_t(m_nFrameCount) : 0;
    const std::uint64_t nCount = nFrames * nChannels;
    const CSampleEncoding encoding = WrittenWavEncoding(m_sourceEncoding);
    const std::uint64_t nDataSize = nCount * std::uint64_t(encoding.m_nBytes);

    // The chunks the program owns, as this document needs them.
    const std::vector<std::uint8_t> fmtBody = BuildWavFmt(encoding, nChannels, m_nSampleRate);
    std::uint8_t factBody[4];
    WriteLE32(factBody, std::uint32_t(std::min<std::uint64_t>(nFrames, 0xFFFFFFFFu)));
    const CWavChunk* pKeptSmpl = FindSlot(m_wavChunks, Kind::Smpl);
    static const std::vector<std::uint8_t> kNoSmpl;
    const std::vector<std::uint8_t>& keptSmpl = pKeptSmpl ? pKeptSmpl->m_body : kNoSmpl;
    std::vector<std::uint8_t> smplBody;
    // A tuning of its own needs the chunk as much as a loop does.
    const bool bTuned = GetTuning() != CTuning{};
    if (m_bHasLoop || !keptSmpl.empty() || !m_extraLoops.empty() || bTuned) {
        // The file's loop type while the loop is the file's (an XI ping-pong
        // loop becomes an alternating one); a changed loop plays forward.
        std::uint32_t nType = kWavSmplLoopForward;
        if (m_fileLoop.IsLoop(m_bHasLoop, m_nLoopStart, m_nLoopEnd))
            nType = !m_fileLoop.m_bXIType ? m_fileLoop.m_nType
                    : m_fileLoop.IsPingPong() ? kWavSmplLoopAlternating
                                              : kWavSmplLoopForward;
        smplBody = BuildSmplBody(keptSmpl, m_nSampleRate, m_nUnityNote,
                                 CSmplLoop{m_bHasLoop, m_nLoopStart, m_nLoopEnd, nType}, m_extraLoops,
                                 m_nPitchFraction);
    }

    const CPiece fmt{"fmt ", fmtBody.data(), fmtBody.size()};
    const CPiece fact{"fact", factBody, sizeof factBody};
    const CPiece smpl{"smpl", smplBody.data(), smplBody.size()};
    // The release marker goes into the kept "cue " chunk.
    std::vector<CWavChunk> chunks = m_wavChunks;
    PlaceCueRelease(chunks, m_nRelease);
    const std::vector<CPiece> pieces = LayOutChunks(chunks, fmt, encoding.m_bFloat ? &fact : nullptr,
                                                    smplBody.empty() ? nullptr : &smpl, CPiece{"data", nullptr, nDataSize, true});

    std::uint64_t nFileSize = 12;
    for (const CPiece& piece : pieces)
        nFileSize += kWavChunkHeaderSize + PaddedSize(piece.size);
    if (nFileSize - 8 > 0xFFFFFFFFu)
        throw CFileException(CFileException::fileTooLarge, path);
    if (m_pSamples.size() < nCount)
        throw CArchiveException(CArchiveException::generic, path, "fewer samples than frames");

    // The whole file in one buffer, written at once.
    auto file = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(nFileSize));
    std::uint8_t* p = file.get();
    SetChunkId(p, "RIFF");
    WriteLE32(p + 4, std::uint32_t(nFileSize - 8));
    SetChunkId(p + 8, "WAVE");
    p += 12;
    for (const CPiece& piece : pieces) {
        std::memcpy(p, piece.id, 4);
        WriteLE32(p + 4, std::uint32_t(piece.size));
        p += kWavChunkHeaderSize;
        if (piece.bFrames)
            EncodeWavData(p, m_pSamples.data(), std::size_t(nCount), encoding);
        else
            std::copy_n(piece.body, std::size_t(piece.size), p);
        p += piece.size;
        if (piece.size & 1)
            *p++ = 0;
    }
    ar.Write(file.get(), std::size_t(nFileSize));
}
