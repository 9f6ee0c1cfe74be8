// The files Ringseam writes, read by other programs: SoX and libsndfile
// (sndfile-convert, sndfile-info) must find the same samples and libsndfile
// the same loop. The inputs are the generated matrix (WavMatrix.h), opened
// and saved by the document; the tools are installed by tools/install-deps.sh.

#include "DocTestFixture.h"
#include "WavMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>

namespace {

// Runs a shell command; its standard output, or nullopt when it failed.
std::optional<std::string> RunTool(const std::string& command)
{
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    return ::pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

// Raw little-endian numbers as doubles: 64-bit floats, or 32-bit integers ÷ 2^31.
std::vector<double> RawSamples(const Bytes& raw, bool bInt32)
{
    std::vector<double> values;
    const std::size_t step = bInt32 ? 4 : 8;
    for (std::size_t at = 0; at + step <= raw.size(); at += step) {
        if (bInt32) {
            values.push_back(std::int32_t(GetLE32(raw, at)) * 0x1p-31);
        } else {
            const std::uint64_t u = GetLE32(raw, at) | std::uint64_t(GetLE32(raw, at + 4)) << 32;
            double v;
            std::memcpy(&v, &u, 8);
            values.push_back(v);
        }
    }
    return values;
}

class WavInteropTest : public DocumentFileTest, public ::testing::WithParamInterface<CMatrixCase> {
protected:
    // The matrix file opened and saved by the document, on disk.
    std::string SaveThroughDocument()
    {
        const auto in = Put("in.wav", MatrixFile(GetParam()));
        EXPECT_TRUE(DocumentFlow::OpenDocument(m_doc, in)) << m_doc.GetLastFailure();
        const auto out = (m_dir / "saved.wav").string();
        EXPECT_TRUE(DocumentFlow::SaveDocument(m_doc, out)) << m_doc.GetLastFailure();
        return out;
    }

    // The samples another program decoded match the case's within `tolerance`
    // (none for integer samples, one step of a 32-bit code for floating point,
    // which the tools take through 32-bit integers).
    void ExpectSamples(const std::vector<double>& got, double tolerance)
    {
        const std::vector<double> want = MatrixValues(GetParam());
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i)
            ASSERT_NEAR(got[i], want[i], GetParam().IsFloat() ? tolerance : 0.0) << "sample " << i;
    }
};

}  // namespace

TEST_P(WavInteropTest, SoxReadsTheSameSamples)
{
    const std::string saved = SaveThroughDocument();
    const std::string raw = (m_dir / "sox.raw").string();
    ASSERT_TRUE(RunTool(std::string(SOX_PROGRAM) + " " + Quote(saved) + " -t raw -e floating-point -b 64 " + Quote(raw)))
        << "sox could not read the file (is sox installed? tools/install-deps.sh)";
    ExpectSamples(RawSamples(Get(raw), false), 0x1p-31);
}

TEST_P(WavInteropTest, LibsndfileReadsTheSameSamplesAndLoop)
{
    const std::string saved = SaveThroughDocument();
    const std::string raw = (m_dir / "sndfile.raw").string();
    ASSERT_TRUE(RunTool(std::string(SNDFILE_CONVERT_PROGRAM) + " -pcm32 " + Quote(saved) + " " + Quote(raw)))
        << "sndfile-convert could not read the file (is sndfile-programs installed? tools/install-deps.sh)";
    ExpectSamples(RawSamples(Get(raw), true), 0x1p-30);

    // Without a loop the file holds no instrument data, and sndfile-info says so by failing.
    const CMatrixCase& c = GetParam();
    const auto info = RunTool(std::string(SNDFILE_INFO_PROGRAM) + " --instrument " + Quote(saved));
    ASSERT_EQ(info.has_value(), c.bLoop);
    if (c.bLoop) {
        std::smatch m;
        ASSERT_TRUE(std::regex_search(*info, m, std::regex("Loop points : (\\d+)"))) << *info;
        EXPECT_EQ(std::stoi(m[1]), 1) << *info;
        // libsndfile reports the end as the frame after the last one played.
        ASSERT_TRUE(std::regex_search(*info, m, std::regex("Mode : fwd +Start : +(\\d+) +End : +(\\d+)"))) << *info;
        EXPECT_EQ(std::stoi(m[1]), c.LoopStart());
        EXPECT_EQ(std::stoi(m[2]), c.LoopEnd());
    }
}

// The longer files of the matrix: they include every header kind and an
// odd-sized data chunk with its pad byte.
std::vector<CMatrixCase> LongCases()
{
    std::vector<CMatrixCase> cases = MatrixCases();
    std::erase_if(cases, [](const CMatrixCase& c) { return c.frames < 1000; });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Encodings, WavInteropTest, ::testing::ValuesIn(LongCases()),
                         [](const ::testing::TestParamInfo<CMatrixCase>& i) { return i.param.Name(); });
