// Reading and writing FastTracker 2 extended instruments (XI): the document
// loads one sample of the instrument and keeps the rest as read, so that
// saving back writes the whole instrument with only that sample replaced.

#include "document/QuorvelDoc.h"
#include "document/SampleChoice.h"
#include "document/SampleCoding.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr const char* kIdText = "Extended Instrument: ";
constexpr const char* kTrackerName = "Ringseam";
constexpr std::uint16_t kVersion = 0x0102;
constexpr const char* kMonoOnlyMessage = "XI supports only mono samples. Only first channel will be written.";
constexpr const char* kOneLoopOnlyMessage = "XI holds one loop. Only the first loop will be written.";
// An XI sample has no field for a release point; saying so keeps a save from
// losing the marker without a word.
constexpr const char* kNoReleaseMessage = "XI has no release marker. The release marker will not be written.";
constexpr const char* kTuningLossMessage = "XI stores the tuning as a note within 128 semitones of C4 and "
                                           "steps of 1/128 semitone: the tuning written is %.1f cents off.";
constexpr const char* k16BitOnlyMessage =
    "XI supports only 16-bit samples. The samples will be written with 16 bits and lose their finer detail.";

// Largest frame count whose 16-bit data length still fits the signed 32-bit
// length field.
constexpr std::int32_t kMaxWritableFrames = std::numeric_limits<std::int32_t>::max() / 2;

[[noreturn]] void Refuse(const CArchive& ar, const char* why)
{
    throw CArchiveException(CArchiveException::badIndex, ar.GetFile()->GetFilePath(), why);
}

// Decodes delta-coded data into sample values, running sums kept in the
// stored width (wrapping). 8-bit values are scaled by 1/128 and 16-bit ones
// by 1/32768, so that full scale is full scale in both, as in WAV files.
void DecodeDeltas(const std::vector<std::uint8_t>& data, int nBytesPerSample, std::int32_t nFrames,
                  CQuorvelDoc& doc)
{
    if (nBytesPerSample == 2) {
        std::uint16_t v = 0;
        for (std::int32_t j = 0; j < nFrames; ++j) {
            v = std::uint16_t(v + ReadLE16(&data[std::size_t(j) * 2]));
            doc.SetSample(j, 0, std::int16_t(v) * 0.000030517578125);
        }
    } else {
        std::uint8_t v = 0;
        for (std::int32_t j = 0; j < nFrames; ++j) {
            v = std::uint8_t(v + data[std::size_t(j)]);
            doc.SetSample(j, 0, std::int8_t(v) * 0.0078125);
        }
    }
}

// Channel 0 of the document as 16-bit delta-coded data: each value × 32768,
// truncated toward zero and clipped to the 16-bit range, so that 8- and
// 16-bit samples read from a file come back exactly.
std::vector<std::uint8_t> EncodeDeltas16(const CQuorvelDoc& doc)
{
    std::vector<std::uint8_t> data(std::size_t(doc.m_nFrameCount) * 2);
    std::int32_t previous = 0;
    for (std::int32_t j = 0; j < doc.m_nFrameCount; ++j) {
        const std::int32_t s = ValueToPcm16(doc.GetSample(j, 0));
        WriteLE16(&data[std::size_t(j) * 2], std::uint16_t(s - previous));
        previous = s;
    }
    return data;
}

// Puts the document's frame count, loop and unity note into a sample header
// as 16-bit data with a loop or none. The loop keeps the file's loop type
// (ping-pong, say) while it is the loop read from the file; a loop the user
// or a search has changed is forward, the way the search assumes it plays.
// Lengths are in bytes; the loop is taken as held (the arithmetic keeps the
// low 32 bits).
void SetSampleFields(XISampleHeader& header, const CQuorvelDoc& doc)
{
    header.SetLength(std::uint32_t(doc.m_nFrameCount) * 2);
    std::uint8_t type = 0;
    if (doc.m_bHasLoop) {
        const std::int64_t start = doc.m_nLoopStart;
        const std::int64_t length = std::int64_t(doc.m_nLoopEnd) - start;
        header.SetLoopStart(std::uint32_t(start * 2));
        header.SetLoopLength(std::uint32_t(length * 2));
        type = XISampleHeader::kTypeForwardLoop;
        const CFileLoop& file = doc.m_fileLoop;
        if (file.IsLoop(doc.m_bHasLoop, doc.m_nLoopStart, doc.m_nLoopEnd)) {
            if (file.m_bXIType && (file.m_nType & XISampleHeader::kTypeLoopMask) != 0)
                type = std::uint8_t(file.m_nType & XISampleHeader::kTypeLoopMask);
            else if (file.IsPingPong())
                type = XISampleHeader::kTypePingPongLoop;
        }
    } else {
        header.SetLoopStart(0);
        header.SetLoopLength(0);
    }
    header.SetType(type | XISampleHeader::kType16Bit);
    const CXITuning tuning = XITuningFrom(doc.GetTuning());
    header.SetRelativeNote(std::uint8_t(tuning.m_nRelativeNote));
    header.SetFinetune(tuning.m_nFinetune);
}

// Says so when the XI fields cannot hold the document's tuning closely.
void WarnTuningLoss(CQuorvelDoc& doc)
{
    const double lost = XITuningFrom(doc.GetTuning()).m_dLostCents;
    if (lost <= kXITuningLossCents)
        return;
    char text[256];
    std::snprintf(text, sizeof text, kTuningLossMessage, lost);
    doc.GetUserInterface().ShowMessage(text, "Information", MessageIcon::Information);
}

}  // namespace

void CQuorvelDoc::ReadXI(CArchive& ar, bool bKeepLoop)
{
    // Everything is read into locals and taken over only once the whole
    // instrument has been read, so a refused file or a cancelled choice
    // leaves the document as it was.
    XIHeader header;
    header.bytes[0] = 'E';
    header.bytes[1] = 'x';
    header.bytes[2] = 't';
    header.bytes[3] = 'e';
    if (ar.Read(&header.bytes[4], kXIHeaderSize - 4) != std::size_t(kXIHeaderSize - 4))
        Refuse(ar, "instrument header cut short");

    const std::int32_t nSampleCount = header.GetSampleCount();
    if (nSampleCount <= 0)
        Refuse(ar, "instrument holds no sample");
    // Sizes from the file are checked against what the file holds before
    // anything is allocated for them.
    if (std::uint64_t(nSampleCount) * kXISampleHeaderSize > ar.GetRemaining())
        Refuse(ar, "sample headers cut short");
    std::vector<XISampleHeader> headers(static_cast<std::size_t>(nSampleCount));
    for (XISampleHeader& h : headers)
        ar.ReadExact(h.bytes.data(), h.bytes.size());

    // Each sample's data is stored over its whole length field (an odd byte
    // of 16-bit data included) so that the following samples stay aligned
    // and the instrument is written back byte for byte.
    std::uint64_t nDataBytes = 0;
    std::vector<std::int32_t> nonEmpty;  // header indices of samples with frames
    for (std::int32_t i = 0; i < nSampleCount; ++i) {
        const XISampleHeader& h = headers[std::size_t(i)];
        if (h.GetLength() > 0)
            nDataBytes += std::uint64_t(h.GetLength());
        if (h.GetFrameCount() > 0)
            nonEmpty.push_back(i);
    }
    if (nonEmpty.empty())
        Refuse(ar, "instrument holds no non-empty sample");
    if (nDataBytes > ar.GetRemaining())
        Refuse(ar, "sample data cut short");

    std::int32_t nIndex = nonEmpty.back();
    if (nonEmpty.size() >= 2) {
        const int nOffered = int(nonEmpty.size());
        const std::optional<int> choice = GetUserInterface().ChooseSample(nOffered);
        if (!choice)
            throw CUserException(ar.GetFile()->GetFilePath(), "no sample chosen");
        if (!IsValidSampleChoice(*choice, nOffered))
            throw CArchiveException(CArchiveException::generic, ar.GetFile()->GetFilePath(),
                                    "sample number out of range");
        nIndex = nonEmpty[std::size_t(*choice - 1)];
    }

    const XISampleHeader& chosen = headers[std::size_t(nIndex)];
    const int w = chosen.GetBytesPerSample();
    const std::int32_t nFrames = chosen.GetFrameCount();

    std::vector<double> samples(std::size_t(nFrames), 0.0);
    std::vector<std::vector<std::uint8_t>> data(static_cast<std::size_t>(nSampleCount));
    for (std::int32_t i = 0; i < nSampleCount; ++i) {
        const std::int32_t nLength = headers[std::size_t(i)].GetLength();
        if (nLength <= 0)
            continue;
        auto& buffer = data[std::size_t(i)];
        buffer.resize(std::size_t(nLength));
        ar.ReadExact(buffer.data(), buffer.size());
    }

    m_bFromXI = true;
    m_xiHeader = header;
    m_nXISampleCount = nSampleCount;
    m_pXISampleHeaders = std::move(headers);
    m_ppXISampleData = std::move(data);
    m_nXISampleIndex = nIndex;
    m_nSampleRate = 44100;  // the format carries no rate
    m_nChannels = 1;
    m_nFrameCount = nFrames;
    m_pSamples = std::move(samples);
    DecodeDeltas(m_ppXISampleData[std::size_t(nIndex)], w, nFrames, *this);
    m_sourceEncoding = CSampleEncoding{8 * w, w, false};
    m_wavChunks = std::vector<CWavChunk>();

    if (!bKeepLoop) {
        const XISampleHeader& h = m_pXISampleHeaders[std::size_t(nIndex)];
        // Any loop type (forward, ping-pong, or the undefined 3) is held and
        // played as a forward loop; the type is remembered for saving.
        // Positions beyond the int range are kept at its top; the loop is
        // otherwise taken as the file gives it.
        m_bHasLoop = h.HasLoop();
        if (m_bHasLoop) {
            constexpr std::uint64_t kMax = std::uint64_t(std::numeric_limits<std::int32_t>::max());
            const std::uint64_t start = h.GetLoopStart() / std::uint32_t(w);
            const std::uint64_t end = start + h.GetLoopLength() / std::uint32_t(w);
            m_nLoopStart = std::int32_t(std::min(start, kMax));
            m_nLoopEnd = std::int32_t(std::min(end, kMax));
        }
        const CTuning tuning = TuningFromXI(h.GetRelativeNote(), h.GetFinetune());
        m_nUnityNote = tuning.m_nUnityNote;
        m_nPitchFraction = tuning.m_nPitchFraction;
        m_fileLoop = CFileLoop{m_bHasLoop, m_nLoopStart, m_nLoopEnd,
                               std::uint32_t(h.GetType() & XISampleHeader::kTypeLoopMask), true};
    }
}

void CQuorvelDoc::WriteXI(CArchive& ar)
{
    const std::string& path = ar.GetFile()->GetFilePath();
    if (m_nFrameCount > kMaxWritableFrames)
        throw CFileException(CFileException::fileTooLarge, path);
    if (!m_extraLoops.empty())
        GetUserInterface().ShowMessage(kOneLoopOnlyMessage, "Information", MessageIcon::Information);
    if (m_nRelease >= 0)
        GetUserInterface().ShowMessage(kNoReleaseMessage, "Information", MessageIcon::Information);

    if (m_bFromXI) {
        if (m_nXISampleCount <= 0 || m_pXISampleHeaders.size() != std::size_t(m_nXISampleCount) ||
            m_ppXISampleData.size() != std::size_t(m_nXISampleCount) || m_nXISampleIndex < 0 ||
            m_nXISampleIndex >= m_nXISampleCount)
            throw CArchiveException(CArchiveException::generic, path, "instrument data incomplete");

        WarnTuningLoss(*this);
        ar.Write(m_xiHeader.bytes.data(), m_xiHeader.bytes.size());
        SetSampleFields(m_pXISampleHeaders[std::size_t(m_nXISampleIndex)], *this);
        for (const XISampleHeader& h : m_pXISampleHeaders)
            ar.Write(h.bytes.data(), h.bytes.size());
        for (std::int32_t i = 0; i < m_nXISampleCount; ++i) {
            if (i == m_nXISampleIndex) {
                const auto block = EncodeDeltas16(*this);
                ar.Write(block.data(), block.size());
                continue;
            }
            // The data as read: exactly the length field's bytes.
            const std::int32_t nLength = m_pXISampleHeaders[std::size_t(i)].GetLength();
            const auto& buffer = m_ppXISampleData[std::size_t(i)];
            if (nLength > 0) {
                if (buffer.size() != std::size_t(nLength))
                    throw CArchiveException(CArchiveException::generic, path, "instrument data incomplete");
                ar.Write(buffer.data(), buffer.size());
            }
        }
        return;
    }

    if (m_nChannels > 1)
        GetUserInterface().ShowMessage(kMonoOnlyMessage, "Information", MessageIcon::Information);
    if (m_sourceEncoding.IsWiderThan16Bit())
        GetUserInterface().ShowMessage(k16BitOnlyMessage, "Information", MessageIcon::Information);
    WarnTuningLoss(*this);

    const std::string& title = GetTitle();
    XIHeader header;
    CopyPadded(&header.bytes[XIHeader::kIdText], kIdText, 21, 0);
    CopyPadded(&header.bytes[XIHeader::kName], title.c_str(), 22, 0x20);
    header.bytes[XIHeader::kEndOfText] = 0x1A;
    CopyPadded(&header.bytes[XIHeader::kTrackerName], kTrackerName, 20, 0x20);
    WriteLE16(&header.bytes[XIHeader::kVersion], kVersion);
    header.SetSampleCount(1);

    XISampleHeader sample;
    SetSampleFields(sample, *this);
    sample.bytes[XISampleHeader::kVolume] = 64;
    sample.bytes[XISampleHeader::kPanning] = 128;
    sample.bytes[XISampleHeader::kReserved] = std::uint8_t(title.size());
    CopyPadded(&sample.bytes[XISampleHeader::kName], title.c_str(), 22, 0);

    ar.Write(header.bytes.data(), header.bytes.size());
    ar.Write(sample.bytes.data(), sample.bytes.size());
    const auto block = EncodeDeltas16(*this);
    ar.Write(block.data(), block.size());
}
