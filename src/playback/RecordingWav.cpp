#include "playback/RecordingWav.h"

#include "document/WavFormat.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <array>
#include <stdexcept>

void WriteRecordingWav(const std::string& path, int nChannels, int nSampleRate, const std::vector<std::uint8_t>& pcm)
{
    if (nChannels < 1 || nChannels > 2 || nSampleRate <= 0)
        throw std::invalid_argument("a recording needs 1 or 2 channels and a positive sample rate");
    const std::uint32_t nBlockAlign = std::uint32_t(nChannels) * 2;
    if (pcm.size() % nBlockAlign != 0)
        throw std::invalid_argument("a recording holds whole frames");
    if (pcm.size() > 0xFFFFFFFFu - kWavHeaderRiffBase)
        throw CFileException(CFileException::fileTooLarge, path);

    std::array<std::uint8_t, kWavRiffAndFmtSize + kWavChunkHeaderSize> header{};
    std::uint8_t* p = header.data();
    WritePcm16RiffAndFmt(p, kWavHeaderRiffBase + std::uint32_t(pcm.size()), std::uint16_t(nChannels), nSampleRate);
    SetChunkId(p + kWavRiffAndFmtSize, "data");
    WriteLE32(p + kWavRiffAndFmtSize + 4, std::uint32_t(pcm.size()));

    // A write that throws leaves the temporary file to the destructor, which
    // removes it without touching the target.
    const auto pFile = CDiskFile::Open(path, CDiskFile::Mode::Write);
    pFile->Write(header.data(), header.size());
    pFile->Write(pcm.data(), pcm.size());
    pFile->Close();
}
