// Every stored format the reader takes (8/16-bit, mono/stereo) at several
// rates, with synthetic signals whose every code is known: read, save as
// 16-bit, read again, and compare with the conversions worked out by hand.

#include "WavTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

// Integer codes as stored: a sine, a full-range ramp (both extremes
// included) and an alternating full-scale square, per channel.
std::vector<int> MakeCodes(int bytes, int channels, int frames)
{
    const int lo = bytes == 1 ? 0 : -32768;
    const int hi = bytes == 1 ? 255 : 32767;
    std::vector<int> codes;
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            int v;
            switch ((f / 97 + c) % 3) {
            case 0: {
                const double s = std::sin(2.0 * M_PI * f * (c + 1) / 61.0);
                v = bytes == 1 ? 128 + int(std::trunc(s * 127.0)) : int(std::trunc(s * 32000.0));
                break;
            }
            case 1:
                v = lo + int((std::int64_t(hi - lo) * f) / std::max(frames - 1, 1));
                break;
            default:
                v = (f % 2) ? hi : lo;
            }
            codes.push_back(v);
        }
    }
    return codes;
}

Bytes Encode(const std::vector<int>& codes, int bytes)
{
    Bytes b;
    for (int v : codes) {
        if (bytes == 1)
            b.push_back(std::uint8_t(v));
        else
            PutLE16(b, std::uint16_t(std::int16_t(v)));
    }
    return b;
}

double Expected(int code, int bytes) { return bytes == 1 ? (code - 128) / 128.0 : code / 32768.0; }

using Params = std::tuple<int /*bytes*/, int /*channels*/, int /*rate*/, int /*frames*/>;

class WavMatrixTest : public ::testing::TestWithParam<Params> {};

}  // namespace

TEST_P(WavMatrixTest, ReadSaveReadGivesTheKnownValues)
{
    const auto [bytes, channels, rate, frames] = GetParam();
    const std::vector<int> codes = MakeCodes(bytes, channels, frames);
    const Bytes file = Riff({PcmFmt(channels, rate, bytes), Chunk("data", Encode(codes, bytes))});

    CQuorvelDoc doc;
    doc.OnNewDocument();
    ReadBytes(doc, file);
    ASSERT_EQ(doc.m_nChannels, channels);
    ASSERT_EQ(doc.m_nSampleRate, rate);
    ASSERT_EQ(doc.m_nFrameCount, frames);
    ASSERT_EQ(doc.m_pSamples.size(), codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i)
        ASSERT_EQ(doc.m_pSamples[i], Expected(codes[i], bytes)) << "sample " << i;

    doc.m_bHasLoop = frames > 0;
    doc.m_nLoopStart = frames / 3;
    doc.m_nLoopEnd = frames - frames / 4;
    doc.m_nUnityNote = 45;
    const Bytes saved = WriteBytes(doc);
    const std::size_t header = doc.m_bHasLoop ? 112 : 44;
    ASSERT_EQ(saved.size(), header + codes.size() * 2);
    EXPECT_EQ(GetLE32(saved, 4), saved.size() - 8);
    EXPECT_EQ(GetLE32(saved, 24), std::uint32_t(rate));
    EXPECT_EQ(GetLE32(saved, 28), std::uint32_t(rate * channels * 2));

    std::vector<int> savedCodes;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const int want = int(Expected(codes[i], bytes) * 32767.0);  // truncated toward zero
        const int got = std::int16_t(GetLE16(saved, header + 2 * i));
        ASSERT_EQ(got, want) << "sample " << i;
        savedCodes.push_back(got);
    }

    CQuorvelDoc back;
    back.OnNewDocument();
    ReadBytes(back, saved);
    EXPECT_EQ(back.m_nChannels, channels);
    EXPECT_EQ(back.m_nSampleRate, rate);
    EXPECT_EQ(back.m_nFrameCount, frames);
    EXPECT_EQ(back.m_bHasLoop, frames > 0);
    if (frames > 0) {
        EXPECT_EQ(back.m_nLoopStart, frames / 3);
        EXPECT_EQ(back.m_nLoopEnd, frames - frames / 4);
        EXPECT_EQ(back.m_nUnityNote, 45);
    }
    for (std::size_t i = 0; i < codes.size(); ++i)
        ASSERT_EQ(back.m_pSamples[i], savedCodes[i] / 32768.0) << "sample " << i;
}

INSTANTIATE_TEST_SUITE_P(Formats, WavMatrixTest,
                         ::testing::Combine(::testing::Values(1, 2), ::testing::Values(1, 2),
                                            ::testing::Values(8000, 11025, 22050, 44100, 48000, 96000),
                                            ::testing::Values(0, 1, 1001)),
                         [](const ::testing::TestParamInfo<Params>& i) {
                             return std::to_string(8 * std::get<0>(i.param)) + "bit_" +
                                    (std::get<1>(i.param) == 1 ? "mono_" : "stereo_") +
                                    std::to_string(std::get<2>(i.param)) + "Hz_" +
                                    std::to_string(std::get<3>(i.param)) + "frames";
                         });
