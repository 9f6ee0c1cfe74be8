#include "playback/RecordingWav.h"

#include "document/WavFormat.h"
#include "framework/Archive.h"
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

    std::array<std::uint8_t, 8 + kWavHeaderRiffBase> header{};
    std::uint8_t* p = header.data();
    SetChunkId(p, "RIFF");
    WriteLE32(p + 4, kWavHeaderRiffBase + std::uint32_t(pcm.size()));
    SetChunkId(p + 8, "WAVE");
    SetChunkId(p + 12, "fmt ");
    WriteLE32(p + 16, kWavFmtBodySize);
    WriteLE16(p + 20, kWavFormatPcm);
    WriteLE16(p + 22, std::uint16_t(nChannels));
    WriteLE32(p + 24, std::uint32_t(nSampleRate));
    WriteLE32(p + 28, std::uint32_t(std::uint64_t(std::uint32_t(nSampleRate)) * nBlockAlign));
    WriteLE16(p + 32, std::uint16_t(nBlockAlign));
    WriteLE16(p + 34, 16);
    SetChunkId(p + 36, "data");
    WriteLE32(p + 40, std::uint32_t(pcm.size()));

    // A write that throws leaves the temporary file to the destructor, which
    // removes it without touching the target.
    const auto pFile = CDiskFile::Open(path, CDiskFile::Mode::Write);
    pFile->Write(header.data(), header.size());
    pFile->Write(pcm.data(), pcm.size());
    pFile->Close();
}
