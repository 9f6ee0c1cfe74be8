// Reading and writing RIFF/WAVE files: 8- or 16-bit PCM in, 16-bit PCM out,
// with the loop and unity note in a "smpl" chunk (or a loop in a "loop" chunk).
//
// Every size taken from the file is checked against what the file still holds
// before anything is allocated for it, and every field is read only when the
// chunk body reaches it; anything the reader cannot make sense of is refused
// with CArchiveException::badIndex.

#include "document/QuorvelDoc.h"
#include "document/WavFormat.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

namespace {

[[noreturn]] void Refuse(CArchive& ar, const char* why)
{
    throw CArchiveException(CArchiveException::badIndex, ar.GetFile()->GetFilePath(), why);
}

std::int16_t ReadS16(const std::uint8_t* p) { return std::int16_t(ReadLE16(p)); }
std::int32_t ReadS32(const std::uint8_t* p) { return std::int32_t(ReadLE32(p)); }

// Walks stored samples that follow each other without gaps (block align equal
// to channels × bytes per sample) and yields them as doubles, so that the
// SampleBuffer can be built straight from the chunk body: one allocation, one
// pass, no zero fill before it.
template <int Bytes>
class CPackedSampleIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = double;
    using difference_type = std::ptrdiff_t;
    using pointer = const double*;
    using reference = double;

    explicit CPackedSampleIterator(const std::uint8_t* p = nullptr) : m_p(p) {}

    double operator*() const
    {
        if constexpr (Bytes == 1)
            return (int(m_p[0]) - 128) * 0.0078125;  // ÷ 128, 128 is silence
        else
            return ReadS16(m_p) * 0.000030517578125;  // ÷ 32768
    }
    double operator[](difference_type n) const { return *(*this + n); }
    CPackedSampleIterator& operator++() { m_p += Bytes; return *this; }
    CPackedSampleIterator operator++(int) { auto t = *this; m_p += Bytes; return t; }
    CPackedSampleIterator& operator--() { m_p -= Bytes; return *this; }
    CPackedSampleIterator operator--(int) { auto t = *this; m_p -= Bytes; return t; }
    CPackedSampleIterator& operator+=(difference_type n) { m_p += n * Bytes; return *this; }
    CPackedSampleIterator& operator-=(difference_type n) { m_p -= n * Bytes; return *this; }
    CPackedSampleIterator operator+(difference_type n) const { return CPackedSampleIterator(m_p + n * Bytes); }
    CPackedSampleIterator operator-(difference_type n) const { return CPackedSampleIterator(m_p - n * Bytes); }
    difference_type operator-(const CPackedSampleIterator& o) const { return (m_p - o.m_p) / Bytes; }
    bool operator==(const CPackedSampleIterator& o) const { return m_p == o.m_p; }
    bool operator!=(const CPackedSampleIterator& o) const { return m_p != o.m_p; }
    bool operator<(const CPackedSampleIterator& o) const { return m_p < o.m_p; }

private:
    const std::uint8_t* m_p;
};

template <int Bytes>
void FillPacked(std::vector<double>& out, const std::uint8_t* body, std::size_t count)
{
    out.assign(CPackedSampleIterator<Bytes>(body), CPackedSampleIterator<Bytes>(body + count * Bytes));
}

// A value for 16 bits: −1.0 … +1.0 times 32767 truncated toward zero; values
// outside that range are clipped to it (instead of wrapping around), NaN is 0.
inline std::int16_t ToFileSample(double value)
{
    if (value > 1.0)
        value = 1.0;
    else if (value < -1.0)
        value = -1.0;
    else if (value != value)
        value = 0.0;
    return std::int16_t(value * 32767.0);
}

}  // namespace

void CQuorvelDoc::ReadWav(CArchive& ar, bool bKeepLoop)
{
    std::uint8_t riff[8];
    if (ar.Read(riff, sizeof riff) != sizeof riff || !ChunkIdEquals(riff + 4, "WAVE"))
        Refuse(ar, "the RIFF form is not WAVE");

    // Taken unsigned: a file that our own writer made up to 4 GiB reads back.
    std::int64_t remaining = std::int64_t(ReadLE32(riff)) - 4;

    bool bHaveFormat = false;
    bool bHaveData = false;
    int nBlockAlign = 0;
    int nBytesPerSample = 0;

    while (remaining > 0) {
        // The walk ends normally at the end of the file, even when the RIFF
        // size promised more.
        if (ar.GetRemaining() < kWavChunkHeaderSize)
            break;
        std::uint8_t header[kWavChunkHeaderSize];
        ar.ReadExact(header, sizeof header);
        remaining -= kWavChunkHeaderSize;

        const std::uint32_t nSize = ReadLE32(header + 4);
        if (nSize > ar.GetRemaining())
            Refuse(ar, "a chunk is cut short by the end of the file");

        // Sample data is judged before its body is read, so a refused data
        // chunk costs no allocation.
        const bool bData = ChunkIdEquals(header, "data");
        std::uint64_t nFrames = 0;
        bool bPacked = true;
        if (bData) {
            if (!bHaveFormat)
                Refuse(ar, "sample data before the fmt chunk");
            if (nBytesPerSample != 1 && nBytesPerSample != 2)
                Refuse(ar, "only 8- and 16-bit samples are read");
            const std::uint64_t nUsed = std::uint64_t(m_nChannels) * std::uint64_t(nBytesPerSample);
            nFrames = nSize / std::uint64_t(m_nChannels) / std::uint64_t(nBytesPerSample);
            bPacked = std::uint64_t(nBlockAlign) == nUsed;
            if (!bPacked) {
                // Frames padded beyond their samples: keep only frames that lie
                // wholly inside the body.
                const std::uint64_t nFit = nSize < nUsed ? 0 : (nSize - nUsed) / std::uint64_t(nBlockAlign) + 1;
                if (nFit < nFrames)
                    nFrames = nFit;
            }
            if (nFrames > std::uint64_t(INT32_MAX))
                Refuse(ar, "too many frames");
        }

        // The whole body in one read; no pad byte is skipped after an odd size.
        auto body = std::make_unique_for_overwrite<std::uint8_t[]>(nSize);
        if (ar.Read(body.get(), nSize) != nSize)
            Refuse(ar, "a chunk is cut short by the end of the file");
        remaining -= nSize;
        const std::uint8_t* b = body.get();

        if (ChunkIdEquals(header, "fmt ")) {
            if (nSize < kWavFmtBodyMinRead)
                Refuse(ar, "the fmt chunk is too short");
            if (ReadLE16(b) != kWavFormatPcm)
                Refuse(ar, "not PCM");
            m_nChannels = ReadS16(b + 2);
            if (m_nChannels != 1 && m_nChannels != 2)
                Refuse(ar, "only mono and stereo are read");
            const std::int32_t nRate = ReadS32(b + 4);
            if (nRate <= 0)
                Refuse(ar, "the sample rate is not positive");
            m_nSampleRate = nRate;
            nBlockAlign = ReadS16(b + 12);
            nBytesPerSample = nBlockAlign / m_nChannels;
            bHaveFormat = true;
        } else if (bData) {
            bHaveData = true;
            const std::size_t nChannels = std::size_t(m_nChannels);
            // The old frames go before the new ones are allocated.
            std::vector<double>().swap(m_pSamples);
            m_nFrameCount = 0;
            const std::size_t nCount = std::size_t(nFrames) * nChannels;
            if (bPacked) {
                if (nBytesPerSample == 1)
                    FillPacked<1>(m_pSamples, b, nCount);
                else
                    FillPacked<2>(m_pSamples, b, nCount);
                m_nFrameCount = std::int32_t(nFrames);
            } else {
                m_pSamples.resize(nCount);
                m_nFrameCount = std::int32_t(nFrames);
                for (std::int32_t i = 0; i < m_nFrameCount; ++i) {
                    const std::uint8_t* frame = b + std::size_t(i) * std::size_t(nBlockAlign);
                    for (int j = 0; j < m_nChannels; ++j) {
                        const double value = nBytesPerSample == 1
                                                 ? (int(frame[j]) - 128) * 0.0078125
                                                 : ReadS16(frame + 2 * j) * 0.000030517578125;
                        SetSample(i, j, value);
                    }
                }
            }
        } else if (ChunkIdEquals(header, "loop")) {
            if (nSize < kWavLoopBodyMinRead)
                Refuse(ar, "the loop chunk is too short");
            if (!bKeepLoop) {
                m_bHasLoop = true;
                m_nLoopStart = ReadS32(b);
                m_nLoopEnd = ReadS32(b + 4);
            }
        } else if (ChunkIdEquals(header, "smpl")) {
            if (nSize < kWavSmplUnityNoteEnd)
                Refuse(ar, "the smpl chunk is too short");
            // A body that stops before the loop count declares no loop.
            const std::int32_t nLoops = nSize >= kWavSmplLoopCountEnd ? ReadS32(b + 28) : 0;
            if (nLoops > 0 && nSize < kWavSmplFirstLoopEnd)
                Refuse(ar, "the smpl chunk declares a loop it does not hold");
            if (!bKeepLoop) {
                m_nUnityNote = ReadS32(b + 12);
                if (nLoops > 0) {
                    m_bHasLoop = true;
                    m_nLoopStart = ReadS32(b + 44);
                    m_nLoopEnd = ReadS32(b + 48);
                }
            }
        }
    }
    // A fmt chunk after the last data chunk may have changed the channel
    // count the frames were read with; every access to them would then run
    // past the buffer.
    if (bHaveData && m_pSamples.size() != std::size_t(m_nFrameCount) * std::size_t(m_nChannels))
        Refuse(ar, "a fmt chunk after the data changes its channel count");
}

void CQuorvelDoc::WriteWav(CArchive& ar)
{
    const std::string& path = ar.GetFile()->GetFilePath();
    // A document that never had a format (a new one, or a RIFF file without
    // "fmt ") is written as mono without frames: a file that opens again.
    const std::uint64_t nChannels = m_nChannels > 0 ? std::uint64_t(m_nChannels) : 1;
    const std::uint64_t nFrames = m_nFrameCount > 0 ? std::uint64_t(m_nFrameCount) : 0;
    const std::uint64_t nBlockAlign = nChannels * 2;
    const std::uint64_t nDataSize = nFrames * nBlockAlign;
    const std::uint64_t nRiffSize = kWavHeaderRiffBase + nDataSize + (m_bHasLoop ? kWavSmplChunkSize : 0);
    if (nRiffSize > 0xFFFFFFFFu)
        throw CFileException(CFileException::fileTooLarge, path);
    const std::uint64_t nCount = nFrames * nChannels;
    if (m_pSamples.size() < nCount)
        throw CArchiveException(CArchiveException::generic, path, "fewer samples than frames");

    const std::size_t nHeaderSize = std::size_t(8 + nRiffSize - nDataSize);
    const std::size_t nFileSize = nHeaderSize + std::size_t(nDataSize);
    auto file = std::make_unique_for_overwrite<std::uint8_t[]>(nFileSize);
    std::uint8_t* p = file.get();

    WritePcm16RiffAndFmt(p, std::uint32_t(nRiffSize), std::uint16_t(nChannels), m_nSampleRate);
    p += kWavRiffAndFmtSize;

    if (m_bHasLoop) {
        SetChunkId(p, "smpl");
        WriteLE32(p + 4, kWavSmplBodySize);
        std::uint8_t* s = p + 8;
        std::memset(s, 0, kWavSmplBodySize);
        const std::int32_t nPeriod =
            m_nSampleRate > 0 ? std::int32_t(kWavSamplePeriodNumerator / m_nSampleRate) : 0;
        WriteLE32(s + 8, std::uint32_t(nPeriod));
        WriteLE32(s + 12, std::uint32_t(m_nUnityNote));
        WriteLE32(s + 28, 1);
        SetChunkId(s + 36, "loop");
        WriteLE32(s + 44, std::uint32_t(m_nLoopStart));
        WriteLE32(s + 48, std::uint32_t(m_nLoopEnd));
        p += kWavSmplChunkSize;
    }

    SetChunkId(p, "data");
    WriteLE32(p + 4, std::uint32_t(nDataSize));
    p += 8;
    const double* in = m_pSamples.data();
    for (std::size_t i = 0; i < nCount; ++i) {
        const std::uint16_t v = std::uint16_t(ToFileSample(in[i]));
        p[2 * i] = std::uint8_t(v);
        p[2 * i + 1] = std::uint8_t(v >> 8);
    }
    ar.Write(file.get(), nFileSize);
}
