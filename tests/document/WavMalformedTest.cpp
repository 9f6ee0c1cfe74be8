// Damaged and unsupported WAV files: each is refused with the cause the user
// is told about, without reading or allocating beyond what the file holds.

#include "AllocationProbe.h"
#include "WavTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct Malformed {
    const char* name;
    Bytes bytes;
    CArchiveException::Cause cause;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }

const Bytes kFmt = PcmFmt(1, 44100, 2);
const Bytes kData = Chunk("data", Pcm16({1, 2, 3, 4}));

Bytes CutShort(const Bytes& b, std::size_t n) { return Prefix(b, b.size() - n); }

Bytes WithFmt(std::uint16_t tag, std::int16_t channels, std::int32_t rate, std::int16_t blockAlign)
{
    return Riff({Chunk("fmt ", FmtBody(tag, channels, rate, blockAlign, 16)), kData});
}

Bytes FmtOfSize(std::size_t size)
{
    const Bytes body = Prefix(FmtBody(1, 1, 44100, 2, 16), size);
    return Riff({Chunk("fmt ", body), kData});
}

std::vector<Malformed> Cases()
{
    using C = CArchiveException;
    Bytes notWave = Riff({kFmt, kData});
    notWave[11] = 'X';
    Bytes riffOnly{'R', 'I', 'F', 'F', 8, 0};
    return {
        {"NotWaveForm", notWave, C::badIndex},
        {"TooShortForTheFormType", riffOnly, C::badIndex},
        {"ThreeBytes", Bytes{'R', 'I', 'F'}, C::endOfFile},
        {"FloatFormat", WithFmt(3, 1, 44100, 4), C::badIndex},
        {"ExtensibleFormat", WithFmt(0xFFFE, 1, 44100, 2), C::badIndex},
        {"ZeroChannels", WithFmt(1, 0, 44100, 2), C::badIndex},
        {"ThreeChannels", WithFmt(1, 3, 44100, 6), C::badIndex},
        {"NegativeChannels", WithFmt(1, -1, 44100, 2), C::badIndex},
        {"ZeroSampleRate", WithFmt(1, 1, 0, 2), C::badIndex},
        {"NegativeSampleRate", WithFmt(1, 1, -44100, 2), C::badIndex},
        {"BlockAlignZero", WithFmt(1, 1, 44100, 0), C::badIndex},
        {"BlockAlignBelowOneBytePerChannel", WithFmt(1, 2, 44100, 1), C::badIndex},
        {"NegativeBlockAlign", WithFmt(1, 2, 44100, -4), C::badIndex},
        {"TwentyFourBit", WithFmt(1, 1, 44100, 3), C::badIndex},
        {"ThirtyTwoBitStereo", WithFmt(1, 2, 44100, 8), C::badIndex},
        {"DataBeforeFmt", Riff({kData, kFmt}), C::badIndex},
        {"DataWithoutFmt", Riff({Chunk("LIST", Bytes(10, 0)), kData}), C::badIndex},
        {"FmtOf13Bytes", FmtOfSize(13), C::badIndex},
        {"FmtOfZeroBytes", FmtOfSize(0), C::badIndex},
        {"LoopOf7Bytes", Riff({kFmt, Chunk("loop", Bytes(7, 0)), kData}), C::badIndex},
        {"SmplOf15Bytes", Riff({kFmt, Chunk("smpl", SmplBody(60, 0, 0, 0, 15)), kData}), C::badIndex},
        {"SmplDeclaringALoopIn51Bytes", Riff({kFmt, Chunk("smpl", SmplBody(60, 1, 0, 2, 51)), kData}), C::badIndex},
        {"SmplDeclaringALoopIn36Bytes", Riff({kFmt, Chunk("smpl", SmplBody(60, 2, 0, 2, 36)), kData}), C::badIndex},
        {"DataCutShort", CutShort(Riff({kFmt, kData}), 1), C::badIndex},
        {"FmtCutShort", CutShort(Riff({kFmt}), 4), C::badIndex},
        {"HugeUnknownChunk", Riff({kFmt, Chunk("junk", Bytes(4, 0), 0xFFFFFFF0u), kData}), C::badIndex},
        {"HugeDataChunk", Riff({kFmt, Chunk("data", Pcm16({1, 2}), 0xFFFFFFFEu)}), C::badIndex},
        {"LaterFmtOf24BitForASecondData",
         Riff({kFmt, kData, Chunk("fmt ", FmtBody(1, 1, 44100, 3, 24)), kData}), C::badIndex},
    };
}

class WavMalformedTest : public ::testing::TestWithParam<Malformed> {};

}  // namespace

TEST_P(WavMalformedTest, IsRefusedWithTheRightCause)
{
    const Malformed& m = GetParam();
    CQuorvelDoc doc;
    doc.OnNewDocument();
    AllocationProbe::Reset();
    try {
        ReadBytes(doc, m.bytes);
        FAIL() << "read without error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, m.cause);
        EXPECT_EQ(e.m_strFileName, "/tmp/in.wav");
    }
    // Nothing was allocated for a size the file cannot back.
    EXPECT_LE(AllocationProbe::Largest(), m.bytes.size() + 4096);
}

INSTANTIATE_TEST_SUITE_P(Files, WavMalformedTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Malformed>& i) { return std::string(i.param.name); });

TEST(WavMalformed, ARefusalLeavesTheSampleBufferMatchingTheFrameCount)
{
    for (const Malformed& m : Cases()) {
        CQuorvelDoc doc;
        doc.OnNewDocument();
        EXPECT_THROW(ReadBytes(doc, m.bytes), CArchiveException) << m.name;
        EXPECT_EQ(doc.m_pSamples.size(), std::size_t(doc.m_nFrameCount) * std::size_t(std::max(doc.m_nChannels, 0)))
            << m.name;
    }
}
