#include "XIBuilder.h"

#include "framework/Archive.h"
#include "framework/File.h"

#include <algorithm>
#include <cstring>

namespace {

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        out[at + std::size_t(k)] = std::uint8_t(v >> (8 * k));
}

}  // namespace

std::vector<std::uint8_t> Bytes8(const std::vector<int>& values)
{
    std::vector<std::uint8_t> out;
    for (int v : values)
        out.push_back(std::uint8_t(v));
    return out;
}

std::vector<std::uint8_t> Bytes16(const std::vector<int>& values)
{
    std::vector<std::uint8_t> out;
    for (int v : values) {
        out.push_back(std::uint8_t(v));
        out.push_back(std::uint8_t(unsigned(v) >> 8));
    }
    return out;
}

std::vector<std::uint8_t> BuildXI(const std::vector<XISampleSpec>& samples, std::optional<int> nSampleCount,
                                  std::size_t nTruncate)
{
    std::vector<std::uint8_t> out(298, 0);
    std::string id = "Extended Instrument: Test instrument";
    id.resize(43, ' ');
    std::memcpy(out.data(), id.data(), 43);
    out[43] = 0x1A;
    std::memcpy(out.data() + 44, "Some Tracker 1.0    ", 20);
    out[64] = 0x02;
    out[65] = 0x01;
    for (std::size_t k = 66; k < 296; ++k)
        out[k] = std::uint8_t(k * 7 + 3);
    const int count = nSampleCount.value_or(int(samples.size()));
    out[296] = std::uint8_t(count);
    out[297] = std::uint8_t(unsigned(count) >> 8);

    for (std::size_t i = 0; i < samples.size(); ++i) {
        const XISampleSpec& s = samples[i];
        const std::size_t at = out.size();
        out.resize(at + 40, 0);
        Put32(out, at + 0, std::uint32_t(s.nLength));
        Put32(out, at + 4, s.nLoopStart);
        Put32(out, at + 8, s.nLoopLength);
        out[at + 12] = s.nVolume;
        out[at + 13] = std::uint8_t(s.nFinetune);
        out[at + 14] = s.nType;
        out[at + 15] = s.nPanning;
        out[at + 16] = std::uint8_t(s.nRelativeNote);
        out[at + 17] = s.nReserved;
        for (std::size_t k = 0; k < 22 && k < s.strName.size(); ++k)
            out[at + 18 + k] = std::uint8_t(s.strName[k]);
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const XISampleSpec& s = samples[i];
        if (!s.data.empty()) {
            out.insert(out.end(), s.data.begin(), s.data.end());
        } else {
            for (std::int32_t k = 0; k < s.nLength; ++k)
                out.push_back(std::uint8_t(k * 31 + i * 5 + 1));
        }
    }
    out.resize(out.size() - std::min(nTruncate, out.size()));
    return out;
}

std::size_t DataOffset(const std::vector<XISampleSpec>& samples, std::size_t i)
{
    std::size_t at = 298 + 40 * samples.size();
    for (std::size_t k = 0; k < i; ++k)
        at += samples[k].nLength > 0 ? std::size_t(samples[k].nLength) : 0;
    return at;
}

void LoadBytes(CQuorvelDoc& doc, const std::vector<std::uint8_t>& bytes, bool bKeepLoop, const std::string& name)
{
    CMemFile file(name, bytes);
    CArchive ar(&file, CArchive::load);
    doc.ReadSampleFile(ar, bKeepLoop);
}

std::vector<std::uint8_t> SaveBytes(CQuorvelDoc& doc, const std::string& name)
{
    CMemFile file(name);
    CArchive ar(&file, CArchive::store);
    doc.WriteSampleFile(ar);
    return file.GetData();
}

void MakeDocument(CQuorvelDoc& doc, const std::vector<double>& frames, int nChannels)
{
    doc.OnNewDocument();
    doc.m_nChannels = nChannels;
    doc.m_nFrameCount = std::int32_t(frames.size()) / nChannels;
    doc.m_pSamples = frames;
}
