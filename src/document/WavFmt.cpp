// The "fmt " chunk of RIFF/WAVE files: which sample encodings the reader
// takes, and the header the writer puts before each encoding it writes.

#include "document/WavFormat.h"

#include <algorithm>
#include <string>

namespace {

constexpr std::uint32_t kExtensibleBodySize = 40;  // 18 + the 22 bytes after cbSize
constexpr std::uint16_t kExtensibleExtraSize = 22;
constexpr std::uint32_t kFloatBodySize = 18;        // with a cbSize of 0
// Bytes 2 to 15 of the sub-format GUID shared by PCM and floating point;
// bytes 0 and 1 hold the plain format tag.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Speaker positions written for one and two channels: front centre, front left + right.
constexpr std::uint32_t kMonoChannelMask = 0x4;
constexpr std::uint32_t kStereoChannelMask = 0x3;

bool Refuse(CWavFmtRefusal& why, std::string detail, std::string reason)
{
    why.m_strDetail = std::move(detail);
    why.m_strReason = std::move(reason);
    return false;
}

const char* kEncodingsRead =
    "Ringseam reads 8-, 16-, 24- and 32-bit integer and 32- and 64-bit floating-point WAV files.";

}  // namespace

bool ParseWavFmt(const std::uint8_t* b, std::uint32_t nSize, CWavFmt& fmt, CWavFmtRefusal& why)
{
    if (nSize < std::uint32_t(kWavFmtBodyMinRead))
        return Refuse(why, "the fmt chunk is too short", "");
    std::uint16_t nTag = ReadLE16(b);
    const bool bExtensible = nTag == kWavFormatExtensible;
    if (bExtensible) {
        if (nSize < kExtensibleBodySize || ReadLE16(b + 16) < kExtensibleExtraSize)
            return Refuse(why, "the extensible fmt chunk is too short for its fields",
                          "The WAV file's extensible format header is too short for its fields.");
        nTag = ReadLE16(b + 24);
        if ((nTag != kWavFormatPcm && nTag != kWavFormatFloat) ||
            !std::equal(std::begin(kSubFormatTail), std::end(kSubFormatTail), b + 26))
            return Refuse(why, "the extensible sub-format is neither PCM nor floating point",
                          "The WAV file's sub-format is neither PCM nor floating point. " + std::string(kEncodingsRead));
    } else if (nTag != kWavFormatPcm && nTag != kWavFormatFloat) {
        return Refuse(why, "format tag " + std::to_string(nTag),
                      "The WAV data is compressed or of an unknown kind (format tag " + std::to_string(nTag) +
                          "). " + kEncodingsRead);
    }
    const bool bFloat = nTag == kWavFormatFloat;

    const std::int32_t nChannels = std::int16_t(ReadLE16(b + 2));
    if (nChannels < 1)
        return Refuse(why, std::to_string(nChannels) + " channels", "");
    if (nChannels > 2)
        return Refuse(why, std::to_string(nChannels) + " channels",
                      "The WAV file has " + std::to_string(nChannels) +
                          " channels; Ringseam reads mono and stereo files.");
    const std::int32_t nRate = std::int32_t(ReadLE32(b + 4));
    if (nRate <= 0)
        return Refuse(why, "the sample rate is not positive", "");
    const std::int32_t nBlockAlign = std::int16_t(ReadLE16(b + 12));

    std::int32_t nBytes = nBlockAlign / nChannels;
    std::int32_t nBits = nBytes * 8;
    if (bExtensible) {
        const std::int32_t nContainerBits = ReadLE16(b + 14);
        const std::int32_t nValidBits = ReadLE16(b + 18);
        if (nContainerBits % 8 != 0 || nBlockAlign != nChannels * (nContainerBits / 8))
            return Refuse(why, "the block align does not match channels and container size",
                          "The WAV file's block align does not match its channels and sample size.");
        if (nValidBits > nContainerBits)
            return Refuse(why, "more valid bits than the container holds",
                          "The WAV file declares more significant bits than its samples hold.");
        nBytes = nContainerBits / 8;
        nBits = nValidBits > 0 && !bFloat ? nValidBits : nContainerBits;
    } else if (nSize >= 16 && !bFloat) {
        // Only a plausible bits field narrows the significant bits; the
        // width itself always comes from the block align.
        const std::int32_t nField = ReadLE16(b + 14);
        if (nField >= 1 && nField <= nBits)
            nBits = nField;
    }
    if (nBytes < 1)
        return Refuse(why, "the block align is below one byte per channel", "");
    // Samples wider than the bytes each channel gets of a frame: read at the
    // narrower width they would be noise, so the file is refused. Frames
    // padded beyond samples that fit still read.
    if (!bExtensible && nSize >= 16 && ReadLE16(b + 14) > 8 * nBytes)
        return Refuse(why, "the bits per sample do not fit the block align",
                      "The WAV file declares " + std::to_string(ReadLE16(b + 14)) +
                          " bits per sample but a block align of " + std::to_string(nBlockAlign) + " bytes, " +
                          std::to_string(nBytes) + " whole bytes for each of its " + std::to_string(nChannels) +
                          " channels.");
    const bool bWidthRead = bFloat ? (nBytes == 4 || nBytes == 8) : nBytes <= 4;
    if (!bWidthRead)
        return Refuse(why, "samples of " + std::to_string(nBytes) + " bytes",
                      std::string(bFloat ? "Floating-point" : "Integer") + " samples of " + std::to_string(nBytes) +
                          " bytes are not read. " + kEncodingsRead);

    fmt.m_nChannels = nChannels;
    fmt.m_nSampleRate = nRate;
    fmt.m_nBlockAlign = nBlockAlign;
    fmt.m_encoding = CSampleEncoding{nBits, nBytes, bFloat};
    return true;
}

CSampleEncoding WrittenWavEncoding(const CSampleEncoding& source)
{
    // Every bit of the container is declared significant: some readers
    // refuse fewer, and the bits below a source's own are zero anyway.
    if (source.IsWiderThan16Bit())
        return CSampleEncoding{8 * source.m_nBytes, source.m_nBytes, source.m_bFloat};
    return CSampleEncoding{};
}

std::vector<std::uint8_t> BuildWavFmt(const CSampleEncoding& encoding, std::uint16_t nChannels,
                                      std::int32_t nSampleRate)
{
    const bool bExtensible = !encoding.m_bFloat && encoding.m_nBits > 16;
    const std::uint32_t nSize = bExtensible ? kExtensibleBodySize : encoding.m_bFloat ? kFloatBodySize
                                                                                        : kWavFmtBodySize;
    std::vector<std::uint8_t> b(nSize, 0);
    const std::uint16_t nTag = encoding.m_bFloat ? kWavFormatFloat : kWavFormatPcm;
    const std::uint32_t nBlockAlign = std::uint32_t(nChannels) * std::uint32_t(encoding.m_nBytes);
    const std::uint16_t nContainerBits = std::uint16_t(encoding.m_nBytes * 8);
    WriteLE16(&b[0], bExtensible ? kWavFormatExtensible : nTag);
    WriteLE16(&b[2], nChannels);
    WriteLE32(&b[4], std::uint32_t(nSampleRate));
    // The byte rate field holds 32 bits; a rate too large for it wraps.
    WriteLE32(&b[8], std::uint32_t(std::uint64_t(std::uint32_t(nSampleRate)) * nBlockAlign));
    WriteLE16(&b[12], std::uint16_t(nBlockAlign));
    WriteLE16(&b[14], nContainerBits);
    if (bExtensible) {
        WriteLE16(&b[16], kExtensibleExtraSize);
        WriteLE16(&b[18], std::uint16_t(encoding.m_nBits));
        WriteLE32(&b[20], nChannels == 1 ? kMonoChannelMask : kStereoChannelMask);
        WriteLE16(&b[24], nTag);
        std::copy(std::begin(kSubFormatTail), std::end(kSubFormatTail), &b[26]);
    }
    return b;
}

void WritePcm16RiffAndFmt(std::uint8_t* p, std::uint32_t nRiffSize, std::uint16_t nChannels, std::int32_t nSampleRate)
{
    SetChunkId(p, "RIFF");
    WriteLE32(p + 4, nRiffSize);
    SetChunkId(p + 8, "WAVE");
    SetChunkId(p + 12, "fmt ");
    WriteLE32(p + 16, kWavFmtBodySize);
    const std::vector<std::uint8_t> fmt = BuildWavFmt(CSampleEncoding{}, nChannels, nSampleRate);
    std::copy(fmt.begin(), fmt.end(), p + 20);
}
