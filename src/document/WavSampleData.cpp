// Decoding and encoding the frames of a "data" chunk. Integer codes of n bits
// map to code ÷ 2^(n−1) (8-bit data is unsigned with 128 as silence);
// floating-point samples are clipped to −1.0 … +1.0 (SampleCoding.h).

#include "document/WavSampleData.h"

#include "document/SampleCoding.h"
#include "framework/Archive.h"

#include <bit>
#include <iterator>

namespace {

// One decoder per stored encoding: its size and the value of one sample.
struct CDecodeU8 {
    static constexpr int kBytes = 1;
    static double Get(const std::uint8_t* p) { return (int(p[0]) - 128) * 0.0078125; }
};
struct CDecodeS16 {
    static constexpr int kBytes = 2;
    static double Get(const std::uint8_t* p) { return std::int16_t(ReadLE16(p)) * 0x1p-15; }
};
struct CDecodeS24 {
    static constexpr int kBytes = 3;
    // The three bytes as the top of a 32-bit code, which carries the sign.
    static double Get(const std::uint8_t* p)
    {
        return std::int32_t(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 24) *
               0x1p-31;
    }
};
struct CDecodeS32 {
    static constexpr int kBytes = 4;
    static double Get(const std::uint8_t* p) { return std::int32_t(ReadLE32(p)) * 0x1p-31; }
};
struct CDecodeF32 {
    static constexpr int kBytes = 4;
    static double Get(const std::uint8_t* p) { return ClipValue(std::bit_cast<float>(ReadLE32(p))); }
};
struct CDecodeF64 {
    static constexpr int kBytes = 8;
    static double Get(const std::uint8_t* p)
    {
        return ClipValue(std::bit_cast<double>(std::uint64_t(ReadLE32(p)) | std::uint64_t(ReadLE32(p + 4)) << 32));
    }
};

// Walks stored samples that follow each other without gaps and yields them
// as doubles, so that the SampleBuffer is built straight from the chunk body:
// one allocation, one pass, no zero fill before it.
template <class Decode>
class CPackedSampleIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = double;
    using difference_type = std::ptrdiff_t;
    using pointer = const double*;
    using reference = double;

    explicit CPackedSampleIterator(const std::uint8_t* p = nullptr) : m_p(p) {}

    double operator*() const { return Decode::Get(m_p); }
    double operator[](difference_type n) const { return *(*this + n); }
    CPackedSampleIterator& operator++() { m_p += Decode::kBytes; return *this; }
    CPackedSampleIterator operator++(int) { auto t = *this; m_p += Decode::kBytes; return t; }
    CPackedSampleIterator& operator--() { m_p -= Decode::kBytes; return *this; }
    CPackedSampleIterator operator--(int) { auto t = *this; m_p -= Decode::kBytes; return t; }
    CPackedSampleIterator& operator+=(difference_type n) { m_p += n * Decode::kBytes; return *this; }
    CPackedSampleIterator& operator-=(difference_type n) { m_p -= n * Decode::kBytes; return *this; }
    CPackedSampleIterator operator+(difference_type n) const { return CPackedSampleIterator(m_p + n * Decode::kBytes); }
    CPackedSampleIterator operator-(difference_type n) const { return CPackedSampleIterator(m_p - n * Decode::kBytes); }
    difference_type operator-(const CPackedSampleIterator& o) const { return (m_p - o.m_p) / Decode::kBytes; }
    bool operator==(const CPackedSampleIterator& o) const { return m_p == o.m_p; }
    bool operator!=(const CPackedSampleIterator& o) const { return m_p != o.m_p; }
    bool operator<(const CPackedSampleIterator& o) const { return m_p < o.m_p; }

private:
    const std::uint8_t* m_p;
};

template <class Decode>
void DecodeAs(std::vector<double>& out, const std::uint8_t* body, std::size_t nFrames, int nChannels,
              std::size_t nBlockAlign)
{
    const std::size_t nCount = nFrames * std::size_t(nChannels);
    if (nBlockAlign == std::size_t(nChannels) * Decode::kBytes) {
        out.assign(CPackedSampleIterator<Decode>(body), CPackedSampleIterator<Decode>(body + nCount * Decode::kBytes));
        return;
    }
    // Frames padded beyond their samples.
    out.resize(nCount);
    for (std::size_t i = 0; i < nFrames; ++i)
        for (int j = 0; j < nChannels; ++j)
            out[i * std::size_t(nChannels) + std::size_t(j)] = Decode::Get(body + i * nBlockAlign + std::size_t(j) * Decode::kBytes);
}

}  // namespace

void DecodeWavData(std::vector<double>& out, const std::uint8_t* body, std::size_t nFrames, int nChannels,
                   std::size_t nBlockAlign, const CSampleEncoding& encoding)
{
    std::vector<double>().swap(out);
    if (encoding.m_bFloat) {
        if (encoding.m_nBytes == 8)
            DecodeAs<CDecodeF64>(out, body, nFrames, nChannels, nBlockAlign);
        else
            DecodeAs<CDecodeF32>(out, body, nFrames, nChannels, nBlockAlign);
        return;
    }
    switch (encoding.m_nBytes) {
    case 1:
        DecodeAs<CDecodeU8>(out, body, nFrames, nChannels, nBlockAlign);
        break;
    case 2:
        DecodeAs<CDecodeS16>(out, body, nFrames, nChannels, nBlockAlign);
        break;
    case 3:
        DecodeAs<CDecodeS24>(out, body, nFrames, nChannels, nBlockAlign);
        break;
    default:
        DecodeAs<CDecodeS32>(out, body, nFrames, nChannels, nBlockAlign);
        break;
    }
}

void EncodeWavData(std::uint8_t* p, const double* in, std::size_t nCount, const CSampleEncoding& encoding)
{
    if (encoding.m_bFloat) {
        for (std::size_t i = 0; i < nCount; ++i) {
            if (encoding.m_nBytes == 8) {
                const std::uint64_t v = std::bit_cast<std::uint64_t>(ClipValue(in[i]));
                WriteLE32(p + 8 * i, std::uint32_t(v));
                WriteLE32(p + 8 * i + 4, std::uint32_t(v >> 32));
            } else {
                WriteLE32(p + 4 * i, std::bit_cast<std::uint32_t>(float(ClipValue(in[i]))));
            }
        }
        return;
    }
    if (encoding.m_nBytes == 2) {
        for (std::size_t i = 0; i < nCount; ++i)
            WriteLE16(p + 2 * i, std::uint16_t(ValueToPcm16(in[i])));
        return;
    }
    // Wider integers: the significant bits at the top of the container.
    const std::size_t nBytes = std::size_t(encoding.m_nBytes);
    const double scale = PcmScale(encoding.m_nBits);
    const int nShift = encoding.m_nBytes * 8 - encoding.m_nBits;
    for (std::size_t i = 0; i < nCount; ++i) {
        std::uint32_t code = std::uint32_t(ValueToPcmScaled(in[i], scale)) << nShift;
        if (nBytes == 1)
            code += 128;  // unsigned, 128 is silence
        for (std::size_t k = 0; k < nBytes; ++k)
            p[nBytes * i + k] = std::uint8_t(code >> (8 * k));
    }
}
