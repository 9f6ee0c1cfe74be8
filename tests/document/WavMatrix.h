// A matrix of generated WAV files: every stored encoding the reader takes,
// with plain and extensible headers, mono and stereo, with and without a
// loop. Each file's samples are known exactly (codes at both extremes
// included), so a test can tell what the reader must produce and what a
// lossless save must store. The files are built here byte by byte, not by
// the program's writer.
#pragma once

#include "WavTestSupport.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

enum class EStored { U8, S16, S24, S32, S20In24, S24In32, F32, F64 };

struct CMatrixCase {
    EStored stored;
    bool bExtensible;
    int channels;
    bool bLoop;
    int frames;

    int Bytes() const
    {
        switch (stored) {
        case EStored::U8: return 1;
        case EStored::S16: return 2;
        case EStored::S24: case EStored::S20In24: return 3;
        case EStored::F64: return 8;
        default: return 4;
        }
    }
    // Significant bits.
    int Bits() const
    {
        switch (stored) {
        case EStored::S20In24: return 20;
        case EStored::S24In32: return 24;
        default: return 8 * Bytes();
        }
    }
    bool IsFloat() const { return stored == EStored::F32 || stored == EStored::F64; }
    // Wider than a 16-bit save can hold: saved in the source's own encoding.
    bool IsWide() const { return IsFloat() || Bits() > 16; }
    int Rate() const
    {
        static const int kRates[] = {8000, 22050, 44100, 48000, 96000};
        return kRates[int(stored) % 5];
    }
    int LoopStart() const { return frames / 3; }
    int LoopEnd() const { return frames - frames / 4; }  // exclusive
    std::string Name() const
    {
        static const char* const kNames[] = {"u8", "s16", "s24", "s32", "s20in24", "s24in32", "f32", "f64"};
        return std::string(kNames[int(stored)]) + (bExtensible ? "_extensible" : "_plain") +
               (channels == 1 ? "_mono" : "_stereo") + (bLoop ? "_loop_" : "_noloop_") + std::to_string(frames);
    }
};

inline void PrintTo(const CMatrixCase& c, std::ostream* os) { *os << c.Name(); }

// Every case: plain headers for the encodings that have one, extensible
// headers for every encoding wider than 8 bits.
inline std::vector<CMatrixCase> MatrixCases()
{
    std::vector<CMatrixCase> cases;
    const EStored all[] = {EStored::U8, EStored::S16, EStored::S24, EStored::S32,
                           EStored::S20In24, EStored::S24In32, EStored::F32, EStored::F64};
    for (EStored stored : all)
        for (bool bExtensible : {false, true}) {
            const bool bNarrowed = stored == EStored::S20In24 || stored == EStored::S24In32;
            if ((bNarrowed && !bExtensible) || (stored == EStored::U8 && bExtensible))
                continue;
            for (int channels : {1, 2})
                for (bool bLoop : {false, true})
                    for (int frames : {1, 1001})
                        cases.push_back({stored, bExtensible, channels, bLoop, frames});
        }
    return cases;
}

// The document values of the case's samples, frame-major: a sine, a ramp
// over the whole code range and an alternating full-scale square, per
// channel; floating-point cases add values below the smallest integer step.
inline std::vector<double> MatrixValues(const CMatrixCase& c)
{
    std::vector<double> values;
    const double full = std::ldexp(1.0, c.Bits() - 1);  // codes run from −full to full − 1
    for (int f = 0; f < c.frames; ++f)
        for (int ch = 0; ch < c.channels; ++ch) {
            double v;
            switch ((f / 97 + ch) % 3) {
            case 0:
                v = 0.93 * std::sin(2.0 * M_PI * f * (ch + 1) / 61.0 + 0.5);  // never all silence
                break;
            case 1:
                v = -1.0 + 2.0 * f / std::max(c.frames - 1, 1);
                break;
            default:
                v = (f % 2) ? 1.0 : -1.0;
            }
            if (c.IsFloat()) {
                if (f % 7 == 3)
                    v *= 1e-12;
                values.push_back(c.stored == EStored::F32 ? double(float(v)) : v);
            } else {
                values.push_back(std::min(std::floor(v * full), full - 1) / full);
            }
        }
    return values;
}

// The case's data chunk body, encoded by hand. A save writes wide samples
// with every bit of the container significant, so `bSaved` encodes them as
// such a save stores them.
inline Bytes MatrixData(const CMatrixCase& c, const std::vector<double>& values, bool bSaved = false)
{
    const int bits = bSaved ? 8 * c.Bytes() : c.Bits();
    Bytes b;
    for (double v : values) {
        if (c.stored == EStored::F64) {
            std::uint64_t u;
            std::memcpy(&u, &v, 8);
            PutLE32(b, std::uint32_t(u));
            PutLE32(b, std::uint32_t(u >> 32));
        } else if (c.stored == EStored::F32) {
            const float x = float(v);
            std::uint32_t u;
            std::memcpy(&u, &x, 4);
            PutLE32(b, u);
        } else {
            // The code at the top of the container, as WAV aligns it.
            const std::int64_t code = std::int64_t(v * std::ldexp(1.0, bits - 1));
            std::uint32_t stored = std::uint32_t(code) << (8 * c.Bytes() - bits);
            if (c.stored == EStored::U8)
                stored = std::uint32_t(code + 128);
            for (int k = 0; k < c.Bytes(); ++k)
                b.push_back(std::uint8_t(stored >> (8 * k)));
        }
    }
    return b;
}

// A chunk the program does not own, which a save must keep.
inline Bytes MatrixListChunk()
{
    Bytes info = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 5, 0, 0, 0, 'n', 'a', 'm', 'e', 0, 0};
    return Chunk("LIST", info);
}

// The whole file: fmt, LIST, smpl (the loop's end stored as its last frame)
// when looped, data, with a pad byte after an odd-sized data chunk.
inline Bytes MatrixFile(const CMatrixCase& c)
{
    Bytes fmt;
    if (c.bExtensible)
        fmt = Chunk("fmt ", ExtensibleFmtBody(c.channels, c.Rate(), 8 * c.Bytes(), c.Bits(), c.IsFloat() ? 3 : 1));
    else
        fmt = Chunk("fmt ", FmtBody(c.IsFloat() ? 3 : 1, std::int16_t(c.channels), c.Rate(),
                                    std::int16_t(c.channels * c.Bytes()), std::uint16_t(c.Bits())));
    Bytes data = Chunk("data", MatrixData(c, MatrixValues(c)));
    if (data.size() % 2)
        data.push_back(0);
    if (c.bLoop)
        return Riff({fmt, MatrixListChunk(), Chunk("smpl", SmplBody(57, 1, c.LoopStart(), c.LoopEnd() - 1)), data});
    return Riff({fmt, MatrixListChunk(), data});
}
