#include "XIBuilder.h"

#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

class XIWriteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.SetUserInterface(&ui);
        doc.OnNewDocument();
    }
    CQuorvelDoc doc;
    CScriptedUi ui;
};

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

std::int16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::int16_t(b[at] | b[at + 1] << 8);
}

// The new-instrument file for a mono document, spelled out byte by byte.
std::vector<std::uint8_t> ExpectedNewInstrument(const std::string& title, const std::vector<int>& scaled,
                                                bool bLoop, int nLoopStart, int nLoopEnd, int nUnity)
{
    std::vector<std::uint8_t> b(298 + 40, 0);
    std::memcpy(b.data(), "Extended Instrument: ", 21);
    for (std::size_t k = 0; k < 22; ++k)
        b[21 + k] = k < title.size() ? std::uint8_t(title[k]) : 0x20;
    b[43] = 0x1A;
    std::memcpy(b.data() + 44, "Ringseam            ", 20);
    b[64] = 0x02;
    b[65] = 0x01;
    b[296] = 1;
    const std::size_t h = 298;
    const std::uint32_t len = std::uint32_t(scaled.size() * 2);
    for (int k = 0; k < 4; ++k) {
        b[h + std::size_t(k)] = std::uint8_t(len >> (8 * k));
        if (bLoop) {
            b[h + 4 + std::size_t(k)] = std::uint8_t(std::uint32_t(nLoopStart * 2) >> (8 * k));
            b[h + 8 + std::size_t(k)] = std::uint8_t(std::uint32_t((nLoopEnd - nLoopStart) * 2) >> (8 * k));
        }
    }
    b[h + 12] = 64;
    b[h + 14] = bLoop ? 0x11 : 0x10;
    b[h + 15] = 128;
    b[h + 16] = std::uint8_t(nUnity - 60);
    b[h + 17] = std::uint8_t(title.size());
    for (std::size_t k = 0; k < 22 && k < title.size(); ++k)
        b[h + 18 + k] = std::uint8_t(title[k]);
    int previous = 0;
    for (int s : scaled) {
        const int d = s - previous;
        b.push_back(std::uint8_t(d));
        b.push_back(std::uint8_t(unsigned(d) >> 8));
        previous = s;
    }
    return b;
}

std::vector<double> Ramp(int n)
{
    std::vector<double> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[std::size_t(i)] = std::sin(i * 0.05) * 0.9;
    return v;
}

// The 16-bit codes of values within −1.0 … +1.0: × 32768, truncated toward zero.
std::vector<int> Scaled(const std::vector<double>& v)
{
    std::vector<int> out;
    for (double d : v)
        out.push_back(std::min(int(d * 32768), 32767));
    return out;
}

}  // namespace

TEST_F(XIWriteTest, NewInstrumentTitledPiano)
{
    const auto frames = Ramp(1000);
    MakeDocument(doc, frames);
    doc.SetTitle("Piano");
    const auto bytes = SaveBytes(doc, "piano.xi");
    ASSERT_EQ(bytes.size(), 2338u);
    EXPECT_EQ(bytes, ExpectedNewInstrument("Piano", Scaled(frames), false, 0, 0, 60));
    EXPECT_EQ(Le32(bytes, 298), 2000u);
    EXPECT_TRUE(ui.messages.empty());

    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 100;
    doc.m_nLoopEnd = 900;
    doc.m_nUnityNote = 72;
    const auto looped = SaveBytes(doc, "piano.XI");
    EXPECT_EQ(looped, ExpectedNewInstrument("Piano", Scaled(frames), true, 100, 900, 72));
    EXPECT_EQ(Le32(looped, 302), 200u);
    EXPECT_EQ(Le32(looped, 306), 1600u);
    EXPECT_EQ(looped[312], 0x11);
    EXPECT_EQ(looped[314], 12);

    doc.m_nUnityNote = 48;
    EXPECT_EQ(SaveBytes(doc, "piano.xi")[314], 0xF4);
}

TEST_F(XIWriteTest, LongTitleIsCutButItsLengthKept)
{
    MakeDocument(doc, Ramp(4));
    const std::string title(300, 'T');
    doc.SetTitle(title);
    const auto bytes = SaveBytes(doc);
    EXPECT_EQ(bytes, ExpectedNewInstrument(title, Scaled(Ramp(4)), false, 0, 0, 60));
    EXPECT_EQ(bytes[298 + 17], 300 & 0xFF);
}

TEST_F(XIWriteTest, StereoDocumentWritesChannelZeroAfterAMessage)
{
    MakeDocument(doc, {0.5, -0.25, -0.5, 0.75, 0.125, 1.0}, 2);
    doc.SetTitle("st.wav");
    const auto bytes = SaveBytes(doc);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "XI supports only mono samples. Only first channel will be written.");
    EXPECT_EQ(ui.captions[0], "Information");
    EXPECT_EQ(ui.icons[0], MessageIcon::Information);
    EXPECT_EQ(bytes, ExpectedNewInstrument("st.wav", {16384, -16384, 4096}, false, 0, 0, 60));
}

TEST_F(XIWriteTest, ValuesBeyondFullScaleAreClipped)
{
    MakeDocument(doc, {1.5, -2.0, 0.0, 1e12, -1e12});
    const auto bytes = SaveBytes(doc);
    const std::size_t d = 298 + 40;
    EXPECT_EQ(Le16(bytes, d), 32767);
    EXPECT_EQ(std::int16_t(Le16(bytes, d) + Le16(bytes, d + 2)), -32768);
    EXPECT_EQ(bytes, ExpectedNewInstrument("", {32767, -32768, 0, 32767, -32768}, false, 0, 0, 60));
}

TEST_F(XIWriteTest, TooManyFramesForTheLengthFieldAreRefused)
{
    MakeDocument(doc, {});
    doc.m_nFrameCount = 1073741824;  // 2^31 bytes of 16-bit data; not touched before the check
    try {
        SaveBytes(doc);
        FAIL() << "written";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileTooLarge);
    }
}

TEST_F(XIWriteTest, InstrumentIsWrittenBackWithOnlyTheChosenSampleChanged)
{
    XISampleSpec a;  // 8-bit with ping-pong loop, becomes the chosen one
    a.nLength = 6;
    a.data = Bytes8({10, 10, -30, 30, 100, 100});
    a.nType = 0x02 | 0x20;
    a.nLoopStart = 1;
    a.nLoopLength = 3;
    a.nRelativeNote = -7;
    a.nFinetune = 0;  // the unity note set below is then the whole tuning
    XISampleSpec empty;
    XISampleSpec odd;  // 16-bit with an odd length: all its bytes come back
    odd.nLength = 1001;
    odd.nType = 0x11;
    odd.nLoopStart = 10;
    odd.nLoopLength = 20;
    XISampleSpec last;
    last.nLength = 333;
    last.nType = 0x01;
    const std::vector<XISampleSpec> specs{a, empty, odd, last};
    const auto in = BuildXI(specs);

    ui.answer = 1;
    doc.SetTitle("ignored for instruments read from XI");
    LoadBytes(doc, in);
    ASSERT_EQ(doc.m_nXISampleIndex, 0);
    doc.m_nLoopStart = 2;
    doc.m_nLoopEnd = 5;
    doc.m_nUnityNote = 61;
    const auto out = SaveBytes(doc, "back.xi");

    // Header as read.
    ASSERT_GE(out.size(), 298u);
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 298, out.begin()));
    // The chosen sample's header: only length, loop, type and relative note change.
    std::vector<std::uint8_t> expectHeader(in.begin() + 298, in.begin() + 338);
    const std::uint8_t fields[] = {12, 0, 0, 0, 4, 0, 0, 0, 6, 0, 0, 0};
    std::memcpy(expectHeader.data(), fields, 12);
    expectHeader[14] = 0x11;
    expectHeader[16] = 1;
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 298, out.begin() + 338), expectHeader);
    // Other headers byte for byte.
    EXPECT_TRUE(std::equal(in.begin() + 338, in.begin() + 298 + 160, out.begin() + 338));
    // The chosen sample's data as 16-bit, then the others as read.
    const std::size_t d = 298 + 160;
    const std::vector<int> values{10, 20, -10, 20, 120, -36};
    const auto expectData = Bytes16([&] {
        std::vector<int> deltas;
        int previous = 0;
        for (int v : values) {
            const int s = v * 256;  // the same level in 16 bits
            deltas.push_back(s - previous);
            previous = s;
        }
        return deltas;
    }());
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + d, out.begin() + d + 12), expectData);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + d + 12, out.end()),
              std::vector<std::uint8_t>(in.begin() + std::ptrdiff_t(DataOffset(specs, 1)), in.end()));
    EXPECT_EQ(out.size(), in.size() + 6);

    // Read again, the chosen sample keeps its values exactly.
    CQuorvelDoc again;
    again.SetUserInterface(&ui);
    LoadBytes(again, out);
    ASSERT_EQ(again.m_nFrameCount, 6);
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(again.GetSample(j, 0), values[std::size_t(j)] / 128.0);
    EXPECT_EQ(again.m_nLoopStart, 2);
    EXPECT_EQ(again.m_nLoopEnd, 5);
    EXPECT_EQ(again.m_nUnityNote, 61);
}

TEST_F(XIWriteTest, NoLoopClearsLoopFieldsAndChosenSampleCanBeAnyIndex)
{
    XISampleSpec a;
    a.nLength = 8;
    a.nType = 0x10;
    XISampleSpec b;
    b.nLength = 40;
    b.nType = 0x13;
    b.nLoopStart = 4;
    b.nLoopLength = 8;
    const std::vector<XISampleSpec> specs{a, b};
    const auto in = BuildXI(specs);
    ui.answer = 2;
    LoadBytes(doc, in);
    ASSERT_EQ(doc.m_nXISampleIndex, 1);
    doc.m_bHasLoop = false;
    const auto out = SaveBytes(doc, "x.xi");
    ASSERT_EQ(out.size(), in.size());
    const std::size_t h = 298 + 40;
    EXPECT_EQ(Le32(out, h), 40u);
    EXPECT_EQ(Le32(out, h + 4), 0u);
    EXPECT_EQ(Le32(out, h + 8), 0u);
    EXPECT_EQ(out[h + 14], 0x10);
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 298 + 40, out.begin()));
    EXPECT_TRUE(std::equal(in.begin() + 298 + 80, in.begin() + 298 + 80 + 8, out.begin() + 298 + 80));
}

// A ping-pong loop stays ping-pong (an alternating loop in WAV) while it is
// the loop the file gave; once the user or a search moves it, it is forward.
TEST_F(XIWriteTest, TheFilesLoopTypeIsKeptWhileTheLoopIsUnchanged)
{
    XISampleSpec s;
    s.nLength = 80;
    s.nLoopStart = 20;  // bytes of 16-bit data: frames 10 … 29
    s.nLoopLength = 40;
    for (auto [type, smplType] : {std::pair{0x12, 1u}, {0x13, 0u}, {0x11, 0u}}) {
        s.nType = std::uint8_t(type);
        for (bool bMoved : {false, true}) {
            SCOPED_TRACE(std::to_string(type) + (bMoved ? " moved" : ""));
            LoadBytes(doc, BuildXI({s}));
            if (bMoved)
                doc.m_nLoopEnd = 29;
            EXPECT_EQ(SaveBytes(doc, "out.xi")[298 + 14], bMoved ? 0x11 : type);
            EXPECT_EQ(Le32(SaveBytes(doc, "out.wav"), 36 + 8 + 40), bMoved ? 0u : smplType);
        }
    }
    // An alternating loop read from a WAV file becomes a ping-pong one.
    MakeDocument(doc, std::vector<double>(40, 0.0));
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 10;
    doc.m_nLoopEnd = 30;
    doc.m_fileLoop = CFileLoop{true, 10, 30, 1, false};
    EXPECT_EQ(SaveBytes(doc, "out.xi")[298 + 14], 0x12);
}

TEST_F(XIWriteTest, SamplesWiderThan16BitsSavedAsXiSaySo)
{
    MakeDocument(doc, {0.5, -0.25}, 2);
    doc.m_sourceEncoding = CSampleEncoding{24, 3, false};
    SaveBytes(doc);
    ASSERT_EQ(ui.messages.size(), 2u);  // after the one about the second channel
    EXPECT_EQ(ui.messages[1], "XI supports only 16-bit samples. The samples will be written with 16 bits and lose their finer detail.");
    EXPECT_EQ(ui.captions[1], "Information");
    EXPECT_EQ(ui.icons[1], MessageIcon::Information);
}
