// Every stored encoding the reader takes, with plain and extensible headers,
// mono and stereo, with and without a loop, in generated files whose samples
// are known exactly (both extremes included): read, save, read again; and
// SoX and libsndfile (tools/install-deps.sh installs them) read what was
// saved with the same samples and, for libsndfile, the same loop.

#include "DocTestFixture.h"
#include "WavTestSupport.h"

#include "framework/Document.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <regex>

namespace {

constexpr int kFrames = 1001;  // odd: 8- and 24-bit mono data ends with a pad byte
constexpr int kLoopStart = 300, kLoopEnd = 800;

struct CCase {
    int bytes, bits;  // per stored sample: container bytes, significant bits
    bool bFloat, bExtensible;
    int channels = 1;
    bool bLoop = false;
    bool IsWide() const { return bFloat || bits > 16; }  // saved in its own encoding
};

void PrintTo(const CCase& c, std::ostream* os)
{
    *os << (c.bFloat ? "f" : "s") << c.bits << "in" << 8 * c.bytes << (c.bExtensible ? "_extensible_" : "_plain_")
        << c.channels << "ch" << (c.bLoop ? "_loop" : "");
}

std::vector<CCase> Cases()
{
    std::vector<CCase> cases;
    for (const CCase& c : {CCase{1, 8, false, false}, CCase{2, 16, false, false}, CCase{3, 24, false, false},
                           CCase{4, 32, false, false}, CCase{4, 32, true, false}, CCase{8, 64, true, false},
                           CCase{2, 16, false, true}, CCase{3, 24, false, true}, CCase{3, 20, false, true},
                           CCase{4, 24, false, true}, CCase{4, 32, true, true}, CCase{8, 64, true, true}})
        for (int channels : {1, 2})
            for (bool bLoop : {false, true})
                cases.push_back({c.bytes, c.bits, c.bFloat, c.bExtensible, channels, bLoop});
    return cases;
}

// The document values of the samples, frame-major: full scale both ways and
// a tone; floating point adds values far below any integer step.
std::vector<double> Values(const CCase& c)
{
    std::vector<double> values;
    const double full = std::ldexp(1.0, c.bits - 1);
    for (int i = 0; i < kFrames * c.channels; ++i) {
        const double v = i % 5 == 0 ? -1.0 : i % 7 == 0 ? 1.0 : 0.93 * std::sin(i * 0.37 + 0.5);
        const double tiny = i % 3 ? v : v * 1e-12;
        if (c.bFloat)
            values.push_back(c.bytes == 4 ? double(float(tiny)) : tiny);
        else
            values.push_back(std::min(std::floor(v * full), full - 1) / full);
    }
    return values;
}

// Values stored in containers of `bytes` with `bits` significant bits (8-bit
// data unsigned), or as floating point.
Bytes Encode(const std::vector<double>& values, int bytes, int bits, bool bFloat)
{
    Bytes b;
    for (double v : values) {
        std::uint64_t code = bytes == 8 ? std::bit_cast<std::uint64_t>(v)
                             : bFloat   ? std::bit_cast<std::uint32_t>(float(v))
                             : bytes == 1 ? std::uint32_t(std::ldexp(v, 7) + 128)
                                          : std::uint32_t(std::int64_t(std::ldexp(v, bits - 1))) << (8 * bytes - bits);
        for (int k = 0; k < bytes; ++k)
            b.push_back(std::uint8_t(code >> (8 * k)));
    }
    return b;
}

const Bytes kList = Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'a', 0});

Bytes MatrixFile(const CCase& c)
{
    const Bytes fmt = c.bExtensible ? ExtensibleFmtBody(c.channels, 48000, 8 * c.bytes, c.bits, c.bFloat ? 3 : 1)
                                    : FmtBody(c.bFloat ? 3 : 1, std::int16_t(c.channels), 48000,
                                              std::int16_t(c.channels * c.bytes), std::uint16_t(c.bits));
    Bytes data = Chunk("data", Encode(Values(c), c.bytes, c.bits, c.bFloat));
    data.resize(data.size() + data.size() % 2, 0);
    if (c.bLoop)
        return Riff({Chunk("fmt ", fmt), kList, Chunk("smpl", SmplBody(57, 1, kLoopStart, kLoopEnd - 1)), data});
    return Riff({Chunk("fmt ", fmt), kList, data});
}

std::optional<std::string> RunTool(const std::string& command)
{
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    return pipe && ::pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
}

class WavMatrixTest : public DocumentFileTest, public ::testing::WithParamInterface<CCase> {
protected:
    void ExpectTheFile(const CQuorvelDoc& doc)
    {
        const CCase& c = GetParam();
        EXPECT_EQ(doc.m_nChannels, c.channels);
        EXPECT_EQ(doc.m_nSampleRate, 48000);
        EXPECT_EQ(doc.m_pSamples, Values(c));
        EXPECT_EQ(doc.m_bHasLoop, c.bLoop);
        if (c.bLoop) {
            EXPECT_EQ(std::pair(doc.m_nLoopStart, doc.m_nLoopEnd), std::pair(kLoopStart, kLoopEnd));
        }
    }
    // Samples another program decoded, as 32-bit integers: the same, but for
    // the 32-bit rounding of floating point.
    void ExpectInt32Samples(const Bytes& raw)
    {
        const std::vector<double> want = Values(GetParam());
        ASSERT_EQ(raw.size(), 4 * want.size());
        for (std::size_t i = 0; i < want.size(); ++i)
            ASSERT_NEAR(std::int32_t(GetLE32(raw, 4 * i)) * 0x1p-31, want[i], GetParam().bFloat ? 0x1p-30 : 0.0) << i;
    }
};

}  // namespace

TEST_P(WavMatrixTest, ReadSaveReadLosesNoSampleAndSoxAndLibsndfileReadTheSavedFileAlike)
{
    const CCase& c = GetParam();
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, Put("in.wav", MatrixFile(c)))) << m_doc.GetLastFailure();
    ExpectTheFile(m_doc);
    EXPECT_EQ(m_doc.m_sourceEncoding, (CSampleEncoding{c.bits, c.bytes, c.bFloat}));

    // Wide samples as stored (every bit declared significant), the others as
    // 16-bit codes of the same values.
    const std::string path = (m_dir / "saved.wav").string(), raw = (m_dir / "out.raw").string();
    ASSERT_TRUE(DocumentFlow::SaveDocument(m_doc, path));
    const Bytes saved = Get(path);
    const int bytes = c.IsWide() ? c.bytes : 2;
    EXPECT_EQ(ChunkBody(saved, "data"), Encode(Values(c), bytes, 8 * bytes, c.bFloat));
    EXPECT_EQ(GetLE16(ChunkBody(saved, "fmt "), 0), c.bFloat ? 3 : c.IsWide() ? 0xFFFE : 1);
    EXPECT_EQ(ChunkBody(saved, "fact"), c.bFloat ? Bytes({kFrames % 256, kFrames / 256, 0, 0}) : Bytes());
    EXPECT_EQ(ChunkBody(saved, "LIST"), ChunkBody(MatrixFile(c), "LIST"));
    CQuorvelDoc back;
    back.OnNewDocument();
    ReadBytes(back, saved);
    ExpectTheFile(back);
    EXPECT_EQ(WriteBytes(back), saved);

    ASSERT_TRUE(RunTool(std::string(SOX_PROGRAM) + " '" + path + "' -t raw -e signed -b 32 '" + raw + "'"))
        << "sox failed (installed by tools/install-deps.sh)";
    ExpectInt32Samples(Get(raw));
    ASSERT_TRUE(RunTool(std::string(SNDFILE_CONVERT_PROGRAM) + " -pcm32 '" + path + "' '" + raw + "'"))
        << "sndfile-convert failed (installed by tools/install-deps.sh)";
    ExpectInt32Samples(Get(raw));
    // Without a loop there is no instrument data, and sndfile-info fails.
    const auto info = RunTool(std::string(SNDFILE_INFO_PROGRAM) + " --instrument '" + path + "'");
    ASSERT_EQ(info.has_value(), c.bLoop);
    std::smatch m;
    if (c.bLoop) {
        ASSERT_TRUE(std::regex_search(*info, m, std::regex("Loop points : 1\\s+0 +Mode : fwd +Start : +(\\d+) +End : +(\\d+)")))
            << *info;
        EXPECT_EQ(std::stoi(m[1]), kLoopStart);
        EXPECT_EQ(std::stoi(m[2]), kLoopEnd);  // libsndfile's end is exclusive too
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, WavMatrixTest, ::testing::ValuesIn(Cases()),
                         [](const auto& i) { return ::testing::PrintToString(i.param); });
