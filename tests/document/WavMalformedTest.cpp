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
    // What the user is told after "Unexpected file format." about an
    // encoding that is not read (none for a damaged file).
    const char* reason = nullptr;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }

const Bytes kFmt = PcmFmt(1, 44100, 2);
const Bytes kData = Chunk("data", Pcm16({1, 2, 3, 4}));

Bytes CutShort(const Bytes& b, std::size_t n) { return Prefix(b, b.size() - n); }

Bytes WithFmt(std::uint16_t tag, std::int16_t channels, std::int32_t rate, std::int16_t blockAlign)
{
    return Riff({Chunk("fmt ", FmtBody(tag, channels, rate, blockAlign, 16)), kData});
}

// An extensible header with one field changed by `edit`.
template <class Edit>
Bytes Extensible(Edit edit)
{
    Bytes body = ExtensibleFmtBody(2, 44100, 24, 24);
    edit(body);
    return Riff({Chunk("fmt ", body), kData});
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
        {"CompressedFormat", WithFmt(2, 1, 44100, 4), C::badIndex, "compressed or of an unknown kind (format tag 2)"},
        {"FloatOfTwoBytes", WithFmt(3, 1, 44100, 2), C::badIndex, "Floating-point samples of 2 bytes"},
        {"FloatOfSixBytes", WithFmt(3, 2, 44100, 12), C::badIndex, "Floating-point samples of 6 bytes"},
        {"ExtensibleHeaderOf16Bytes", WithFmt(0xFFFE, 1, 44100, 2), C::badIndex, "too short for its fields"},
        {"ExtensibleHeaderOf39Bytes", Extensible([](Bytes& b) { b.pop_back(); }), C::badIndex, "too short for its fields"},
        {"ExtensibleExtraSizeBelow22", Extensible([](Bytes& b) { b[16] = 21; }), C::badIndex, "too short for its fields"},
        {"ExtensibleSubFormatCompressed", Extensible([](Bytes& b) { b[24] = 2; }), C::badIndex, "sub-format is neither PCM nor floating point"},
        {"ExtensibleSubFormatOtherGuid", Extensible([](Bytes& b) { b[39] ^= 1; }), C::badIndex, "sub-format is neither PCM nor floating point"},
        {"ExtensibleValidBitsAboveContainer", Extensible([](Bytes& b) { b[18] = 25; }), C::badIndex, "more significant bits than its samples hold"},
        {"ExtensibleBlockAlignTooLarge", Extensible([](Bytes& b) { b[12] = 8; }), C::badIndex, "block align does not match"},
        {"ExtensibleBlockAlignTooSmall", Extensible([](Bytes& b) { b[12] = 4; }), C::badIndex, "block align does not match"},
        {"ExtensibleContainerNotWholeBytes", Extensible([](Bytes& b) { b[14] = 20; }), C::badIndex, "block align does not match"},
        {"ExtensibleThreeChannels", Extensible([](Bytes& b) { b[2] = 3, b[12] = 9; }), C::badIndex, "has 3 channels; Ringseam reads mono and stereo"},
        {"ZeroChannels", WithFmt(1, 0, 44100, 2), C::badIndex},
        {"ThreeChannels", WithFmt(1, 3, 44100, 6), C::badIndex, "has 3 channels"},
        {"NegativeChannels", WithFmt(1, -1, 44100, 2), C::badIndex},
        {"ZeroSampleRate", WithFmt(1, 1, 0, 2), C::badIndex},
        {"NegativeSampleRate", WithFmt(1, 1, -44100, 2), C::badIndex},
        {"BlockAlignZero", WithFmt(1, 1, 44100, 0), C::badIndex},
        {"BlockAlignBelowOneBytePerChannel", WithFmt(1, 2, 44100, 1), C::badIndex},
        {"NegativeBlockAlign", WithFmt(1, 2, 44100, -4), C::badIndex},
        {"BlockAlignNotWholeBytesPerChannel", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 5, 24)), kData}), C::badIndex,
         "24 bits per sample but a block align of 5 bytes"},
        {"FiveBytesPerSample", WithFmt(1, 1, 44100, 5), C::badIndex, "Integer samples of 5 bytes"},
        {"EightBytesPerIntegerSampleStereo", WithFmt(1, 2, 44100, 16), C::badIndex, "Integer samples of 8 bytes"},
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
        {"FmtAfterTheDataChangesTheChannelCount", Riff({kFmt, kData, PcmFmt(2, 44100, 2)}), C::badIndex},
        {"LaterFmtOfFiveBytesForASecondData",
         Riff({kFmt, kData, Chunk("fmt ", FmtBody(1, 1, 44100, 5, 40)), kData}), C::badIndex, "samples of 5 bytes"},
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
        const std::string message = FailureMessage(e, FailureContext::Open);
        if (m.reason) {
            EXPECT_EQ(message.rfind("Unexpected file format. ", 0), 0u) << message;
            EXPECT_NE(message.find(m.reason), std::string::npos) << message;
        } else if (m.cause == CArchiveException::badIndex) {
            EXPECT_EQ(message, "Unexpected file format.");
        }
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

namespace {

// A file that claims to be `length` bytes long: it serves `prefix`, then
// zeros. Lets a test present sizes no test machine could hold.
class CClaimedLengthFile : public CFile {
public:
    CClaimedLengthFile(Bytes prefix, std::uint64_t length) : m_prefix(std::move(prefix)), m_nLength(length)
    {
        m_strFilePath = "/tmp/huge.wav";
    }
    std::size_t Read(void* buffer, std::size_t n) override
    {
        const std::uint64_t got = std::min<std::uint64_t>(n, m_nLength - m_nPosition);
        auto* out = static_cast<std::uint8_t*>(buffer);
        for (std::uint64_t i = 0; i < got; ++i) {
            const std::uint64_t at = m_nPosition + i;
            out[i] = at < m_prefix.size() ? m_prefix[at] : 0;
        }
        m_nPosition += got;
        m_nServed += got;
        return std::size_t(got);
    }
    void Write(const void*, std::size_t) override { throw CFileException(CFileException::accessDenied, m_strFilePath); }
    std::uint64_t GetLength() const override { return m_nLength; }
    std::uint64_t GetPosition() const override { return m_nPosition; }
    void Close() override {}
    void Abort() override {}

    std::uint64_t m_nServed = 0;

private:
    Bytes m_prefix;
    std::uint64_t m_nLength;
    std::uint64_t m_nPosition = 0;
};

}  // namespace

TEST(WavMalformed, MoreFramesThanAnIntCanCountAreRefusedBeforeReadingThem)
{
    // 8-bit mono, a data chunk of 4 GiB − 1 bytes: 4294967295 frames.
    const Bytes head = Riff({PcmFmt(1, 44100, 1), Chunk("data", {}, 0xFFFFFFFFu)}, 0xFFFFFFFFu);
    CClaimedLengthFile file(head, head.size() + 0xFFFFFFFFull);
    CArchive ar(&file, CArchive::load);
    CQuorvelDoc doc;
    doc.OnNewDocument();
    AllocationProbe::Reset();
    try {
        doc.ReadSampleFile(ar, false);
        FAIL() << "read without error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::badIndex);
    }
    EXPECT_LT(AllocationProbe::Largest(), 1u << 20);
    EXPECT_EQ(file.m_nServed, head.size());
    EXPECT_EQ(doc.m_nFrameCount, 0);
}

TEST(WavMalformed, DataBeforeFmtIsRefusedBeforeItsBodyIsRead)
{
    const Bytes head = Riff({Chunk("data", {}, 0x40000000u)});
    CClaimedLengthFile file(head, head.size() + 0x40000000ull);
    CArchive ar(&file, CArchive::load);
    CQuorvelDoc doc;
    doc.OnNewDocument();
    AllocationProbe::Reset();
    EXPECT_THROW(doc.ReadSampleFile(ar, false), CArchiveException);
    EXPECT_LT(AllocationProbe::Largest(), 1u << 20);
    EXPECT_EQ(file.m_nServed, head.size());
}
