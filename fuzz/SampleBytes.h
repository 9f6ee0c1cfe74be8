// Builders of small RIFF/WAVE and XI files from synthetic signals, for the
// fuzz seed corpus and for tests that need files made independently of the
// program's own writers. Little-endian throughout.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace SampleBytes {

using Bytes = std::vector<std::uint8_t>;

inline void Put(Bytes& b, const char* fourcc) { b.insert(b.end(), fourcc, fourcc + 4); }
inline void Put16(Bytes& b, std::uint16_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v)
{
    Put16(b, std::uint16_t(v));
    Put16(b, std::uint16_t(v >> 16));
}
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

inline Bytes Chunk(const char* id, const Bytes& body)
{
    Bytes b;
    Put(b, id);
    Put32(b, std::uint32_t(body.size()));
    Append(b, body);
    return b;
}

inline Bytes Riff(const std::vector<Bytes>& chunks, int sizeAdjust = 0)
{
    Bytes body;
    for (const auto& c : chunks)
        Append(body, c);
    Bytes b;
    Put(b, "RIFF");
    Put32(b, std::uint32_t(int(4 + body.size()) + sizeAdjust));
    Put(b, "WAVE");
    Append(b, body);
    return b;
}

inline Bytes Fmt(int tag, int channels, int rate, int blockAlign, int bits, int size = 16)
{
    Bytes b;
    Put16(b, std::uint16_t(tag));
    Put16(b, std::uint16_t(channels));
    Put32(b, std::uint32_t(rate));
    Put32(b, std::uint32_t(rate) * std::uint32_t(blockAlign));
    Put16(b, std::uint16_t(blockAlign));
    Put16(b, std::uint16_t(bits));
    b.resize(std::size_t(size), 0);
    return Chunk("fmt ", b);
}

// A decaying tone with a little second harmonic, so loops have something to find.
inline double Tone(int frame, int channel, int rate)
{
    const double t = double(frame) / (rate > 1000 ? rate : 8000);
    const double f = 440.0 + 110.0 * channel;
    return 0.8 * std::exp(-t) * (std::sin(2 * M_PI * f * t) * 0.8 + 0.2 * std::sin(4 * M_PI * f * t));
}

// An extensible "fmt " body (40 bytes): container and significant bits, and
// the sub-format GUID of the given plain format tag (1 PCM, 3 floating point).
inline Bytes ExtensibleFmtBody(int channels, int rate, int containerBits, int validBits, int subFormat = 1)
{
    const int blockAlign = channels * containerBits / 8;
    Bytes b;
    Put16(b, 0xFFFE);
    Put16(b, std::uint16_t(channels));
    Put32(b, std::uint32_t(rate));
    Put32(b, std::uint32_t(rate) * std::uint32_t(blockAlign));
    Put16(b, std::uint16_t(blockAlign));
    Put16(b, std::uint16_t(containerBits));
    Put16(b, 22);
    Put16(b, std::uint16_t(validBits));
    Put32(b, channels == 1 ? 0x4 : 0x3);
    Put16(b, std::uint16_t(subFormat));
    const std::uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    b.insert(b.end(), tail, tail + 14);
    return b;
}

// Samples of the tone in every stored encoding: unsigned 8-bit, signed 16-,
// 24- or 32-bit, or (bFloat) 32- or 64-bit floating point.
inline Bytes PcmData(int frames, int channels, int bytesPerSample, int rate, bool bFloat = false)
{
    Bytes b;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const double v = Tone(f, c, rate);
            if (bFloat && bytesPerSample == 8) {
                std::uint64_t u;
                std::memcpy(&u, &v, 8);
                Put32(b, std::uint32_t(u));
                Put32(b, std::uint32_t(u >> 32));
            } else if (bFloat) {
                const float x = float(v);
                std::uint32_t u;
                std::memcpy(&u, &x, 4);
                Put32(b, u);
            } else if (bytesPerSample == 1) {
                b.push_back(std::uint8_t(128 + int(v * 127)));
            } else if (bytesPerSample == 2) {
                Put16(b, std::uint16_t(std::int16_t(v * 32767)));
            } else {
                const std::uint32_t code = std::uint32_t(std::int32_t(v * 2147483647.0));
                for (int k = 4 - bytesPerSample; k < 4; ++k)
                    b.push_back(std::uint8_t(code >> (8 * k)));
            }
        }
    return Chunk("data", b);
}

inline Bytes Smpl(int note, int loops, int start, int end, int size = 60)
{
    Bytes b;
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 22675);
    Put32(b, std::uint32_t(note));
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, std::uint32_t(loops));
    Put32(b, 0);
    Put(b, "loop");
    Put32(b, 0);
    Put32(b, std::uint32_t(start));
    Put32(b, std::uint32_t(end));
    Put32(b, 0);
    Put32(b, 0);
    b.resize(std::size_t(size), 0);
    return Chunk("smpl", b);
}

inline Bytes LoopChunk(int start, int end)
{
    Bytes b;
    Put32(b, std::uint32_t(start));
    Put32(b, std::uint32_t(end));
    return Chunk("loop", b);
}

inline Bytes Wav(int frames, int channels, int bytesPerSample, int rate)
{
    return Riff({Fmt(1, channels, rate, channels * bytesPerSample, 8 * bytesPerSample),
                 PcmData(frames, channels, bytesPerSample, rate)});
}

// One sample of an XI instrument: its 40-byte header and its stored data.
struct XISample {
    int length = 0;  // bytes
    int loopStart = 0;
    int loopLength = 0;
    int type = 0x10;
    int relativeNote = 0;
    Bytes data;
};

inline XISample XITone(int frames, bool b16, int loopType, int loopStart, int loopEnd, int note = 0)
{
    XISample s;
    const int w = b16 ? 2 : 1;
    s.length = frames * w;
    s.loopStart = loopStart * w;
    s.loopLength = (loopEnd - loopStart) * w;
    s.type = (b16 ? 0x10 : 0) | loopType;
    s.relativeNote = note;
    int prev = 0;
    for (int f = 0; f < frames; ++f) {
        const double v = Tone(f, 0, 44100);
        const int cur = b16 ? int(v * 32767) : int(v * 127);
        const int delta = cur - prev;
        prev = cur;
        if (b16)
            Put16(s.data, std::uint16_t(delta));
        else
            s.data.push_back(std::uint8_t(delta));
    }
    return s;
}

// The sample count field written when no other is asked for: the number of
// samples given.
inline constexpr int kCountFromSamples = -99999;

// An instrument of the given samples; countOverride replaces the sample count
// field, cutAt (when not 0) cuts the file to that many bytes.
inline Bytes Xi(const std::vector<XISample>& samples, int countOverride = kCountFromSamples, std::size_t cutAt = 0)
{
    Bytes b;
    const std::string id = "Extended Instrument: ";
    b.insert(b.end(), id.begin(), id.end());
    std::string name = "seed";
    name.resize(22, ' ');
    b.insert(b.end(), name.begin(), name.end());
    b.push_back(0x1A);
    std::string tracker = "Ringseam";
    tracker.resize(20, ' ');
    b.insert(b.end(), tracker.begin(), tracker.end());
    Put16(b, 0x0102);
    for (int i = 0; i < 96; ++i)
        b.push_back(std::uint8_t(i % int(samples.empty() ? 1 : samples.size())));
    b.resize(296, 0);
    Put16(b, std::uint16_t(countOverride != kCountFromSamples ? countOverride : int(samples.size())));
    for (const auto& s : samples) {
        Put32(b, std::uint32_t(s.length));
        Put32(b, std::uint32_t(s.loopStart));
        Put32(b, std::uint32_t(s.loopLength));
        b.push_back(64);
        b.push_back(0);
        b.push_back(std::uint8_t(s.type));
        b.push_back(128);
        b.push_back(std::uint8_t(s.relativeNote));
        b.push_back(0);
        std::string sname = "tone";
        sname.resize(22, '\0');
        b.insert(b.end(), sname.begin(), sname.end());
    }
    for (const auto& s : samples)
        Append(b, s.data);
    if (cutAt && cutAt < b.size())
        b.resize(cutAt);
    return b;
}

}  // namespace SampleBytes
