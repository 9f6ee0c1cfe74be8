// playback-soak-check: the two halves of tools/playback-soak.sh that need
// sample-exact arithmetic.
//
//   playback-soak-check sample SAMPLE.wav STREAM.wav SECONDS
//       writes a 48 kHz stereo sample with a loop (noise-like values that
//       never play as 0, so any gap, shift or wrong sample shows), reads it
//       back through the document's reader, and writes STREAM.wav: what its
//       looping playback must send to the device during SECONDS (frames ×
//       16383 truncated toward zero, the loop end jumping back to the loop
//       start). STREAM.wav is also the file a plain system player plays.
//   playback-soak-check compare STREAM.wav RECORDED.raw MIN_SECONDS
//       RECORDED.raw is what a sink's monitor recorded (s16le, the stream's
//       channels and rate), silence around the sound. The sound is aligned on
//       its first non-zero sample and compared sample for sample with
//       STREAM.wav; after it ends only silence may follow, and at least
//       MIN_SECONDS must have been heard. Prints one line: "exact, 7.93 s
//       heard" or where and how the recording first differs.
//
// Exit status 0 when written or exact, 1 on a difference or a file that
// cannot be read or written, 2 on bad usage.
#include "document/QuorvelDoc.h"
#include "document/WavFormat.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "playback/LoopingPlayback.h"
#include "playback/RecordingWav.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr int kFrames = kRate * 6 / 5;  // 1.2 s
// The loop leaves a quarter second before and after it, and its length is
// no multiple of any buffer size.
constexpr int kLoopStart = kRate / 4;
constexpr int kLoopEnd = kFrames - kRate / 4 + 17;

std::vector<std::int16_t> ReadSamples(const std::string& path, std::size_t nSkipBytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples;
    for (std::size_t i = nSkipBytes; i + 1 < bytes.size(); i += 2)
        samples.push_back(std::int16_t(std::uint8_t(bytes[i]) | (std::uint8_t(bytes[i + 1]) << 8)));
    return samples;
}

int WriteSampleAndStream(const std::string& samplePath, const std::string& streamPath, double dSeconds)
{
    CQuorvelDoc doc;
    doc.OnNewDocument();
    doc.m_nChannels = kChannels;
    doc.m_nSampleRate = kRate;
    doc.m_nFrameCount = kFrames;
    doc.m_pSamples.resize(std::size_t(kFrames) * kChannels);
    std::uint32_t state = 12345;
    for (double& value : doc.m_pSamples) {
        state = state * 1664525u + 1013904223u;
        const double magnitude = 0.05 + 0.9 * double(state >> 8) / double(1u << 24);
        value = ((state >> 3) & 1) != 0 ? magnitude : -magnitude;
    }
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = kLoopStart;
    doc.m_nLoopEnd = kLoopEnd;
    {
        CDiskFile file(samplePath, CDiskFile::Mode::Write);
        CArchive ar(&file, CArchive::store);
        doc.WriteWav(ar);
        file.Close();
    }

    // What is played is what the reader makes of the file.
    CQuorvelDoc played;
    played.OnNewDocument();
    {
        CDiskFile file(samplePath, CDiskFile::Mode::Read);
        CArchive ar(&file, CArchive::load);
        played.ReadSampleFile(ar, false);
    }
    if (!played.m_bHasLoop || played.m_nLoopStart != kLoopStart || played.m_nLoopEnd != kLoopEnd) {
        std::fprintf(stderr, "playback-soak-check: the loop did not survive the round trip\n");
        return 1;
    }
    const auto nStreamFrames = std::size_t(dSeconds * kRate);
    std::vector<std::uint8_t> pcm;
    pcm.reserve(nStreamFrames * kChannels * 2);
    std::int32_t f = 0;
    for (std::size_t n = 0; n < nStreamFrames; ++n) {
        for (int c = 0; c < kChannels; ++c) {
            const auto bits = std::uint16_t(std::int16_t(played.GetSampleScaled(f, c, CLoopingPlayback::kScale)));
            pcm.push_back(std::uint8_t(bits & 0xFF));
            pcm.push_back(std::uint8_t(bits >> 8));
        }
        if (++f >= kLoopEnd)
            f = kLoopStart;
    }
    WriteRecordingWav(streamPath, kChannels, kRate, pcm);
    return 0;
}

int Compare(const std::string& streamPath, const std::string& recordedPath, double dMinSeconds)
{
    // STREAM.wav is ours: the RIFF and fmt headers, then the data chunk.
    const std::vector<std::int16_t> expected = ReadSamples(streamPath, kWavRiffAndFmtSize + kWavChunkHeaderSize);
    const std::vector<std::int16_t> recorded = ReadSamples(recordedPath, 0);
    if (expected.empty()) {
        std::printf("cannot read the stream '%s'\n", streamPath.c_str());
        return 1;
    }
    auto firstSound = [](const std::vector<std::int16_t>& v) {
        std::size_t i = 0;
        while (i < v.size() && v[i] == 0)
            ++i;
        return i - i % kChannels;
    };
    const std::size_t nRec0 = firstSound(recorded);
    const std::size_t nExp0 = firstSound(expected);
    if (nRec0 >= recorded.size()) {
        std::printf("only silence was recorded\n");
        return 1;
    }
    auto seconds = [](std::size_t nSamples) { return double(nSamples / kChannels) / kRate; };

    std::size_t n = 0;
    while (nRec0 + n < recorded.size() && nExp0 + n < expected.size() && recorded[nRec0 + n] == expected[nExp0 + n])
        ++n;
    const std::size_t nSoundEnd = [&] {
        std::size_t i = recorded.size();
        while (i > nRec0 && recorded[i - 1] == 0)
            --i;
        return i;
    }();
    if (nRec0 + n < nSoundEnd) {
        const std::size_t i = nRec0 + n;
        if (nExp0 + n >= expected.size())
            std::printf("sound goes on past the %.3f s of the stream\n", seconds(n));
        else
            std::printf("first difference at %.3f s: recorded %d, expected %d\n", seconds(n), recorded[i],
                        expected[nExp0 + n]);
        return 1;
    }
    if (seconds(n) < dMinSeconds) {
        std::printf("only %.3f s heard, expected at least %.3f s\n", seconds(n), dMinSeconds);
        return 1;
    }
    std::printf("exact, %.3f s heard\n", seconds(n));
    return 0;
}

std::optional<double> ParseSeconds(const char* text)
{
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= 0) || value > 3600)
        return std::nullopt;
    return value;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    const std::optional<double> seconds = argc == 5 ? ParseSeconds(argv[4]) : std::nullopt;
    if ((command != "sample" && command != "compare") || !seconds) {
        std::fprintf(stderr,
                     "usage: playback-soak-check sample SAMPLE.wav STREAM.wav SECONDS\n"
                     "       playback-soak-check compare STREAM.wav RECORDED.raw MIN_SECONDS\n");
        return 2;
    }
    try {
        if (command == "sample")
            return WriteSampleAndStream(argv[2], argv[3], *seconds);
        return Compare(argv[2], argv[3], *seconds);
    } catch (const CException& e) {
        std::fprintf(stderr, "playback-soak-check: %s\n", FailureMessage(e, FailureContext::Save).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "playback-soak-check: %s\n", e.what());
    }
    return 1;
}
