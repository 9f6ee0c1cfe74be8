// The commands whose output must agree exactly with the document: `curves`
// value for value, and `find-loop --crossfade` frame for frame, over every
// sample format the document reads.
#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace clitest;

namespace {

TEST(CliProgram, CurvesCsvFollowsTheBanksAndTheLoopStart)
{
    CTempFolder dir;
    CWavSpec spec;
    spec.m_nFrames = 20000;  // 19 banks of 1024
    spec.m_bLoop = true;
    spec.m_nLoopStart = 4100;
    spec.m_nLoopEnd = 15000;
    const std::string in = (dir / "in.wav").string();
    WriteFile(in, MakeWav(spec));

    const CRun run = RunCli({"curves", in});
    ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
    const auto lines = run.OutLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "bank,begin_loop,end_loop");
    ASSERT_EQ(lines.size(), 1u + 19u);
    for (std::size_t b = 0; b < 19; ++b) {
        const auto cells = SplitCsv(lines[b + 1]);
        ASSERT_EQ(cells.size(), 3u) << lines[b + 1];
        EXPECT_EQ(cells[0], std::to_string(b));
        const double begin = std::stod(cells[1]), end = std::stod(cells[2]);
        EXPECT_GT(begin, 0.0);
        EXPECT_LE(begin, 1.0);
        if (b < 4)
            EXPECT_EQ(cells[2], "-1") << b;  // before the loop start's bank
        else
            EXPECT_GT(end, 0.0) << b;
    }

    const CRun none = RunCli({"curves", in, "--no-loop"});
    for (std::size_t b = 1; b < none.OutLines().size(); ++b)
        EXPECT_EQ(SplitCsv(none.OutLines()[b])[2], "-1");
    const CRun moved = RunCli({"curves", in, "--loop", "10300:15000"});
    EXPECT_EQ(SplitCsv(moved.OutLines()[10])[2], "-1");
    EXPECT_NE(SplitCsv(moved.OutLines()[11])[2], "-1");
    // Begin-loop values do not depend on the loop.
    EXPECT_EQ(SplitCsv(moved.OutLines()[3])[1], SplitCsv(lines[3])[1]);

    const CRun json = RunCli({"curves", in, "--json"});
    EXPECT_TRUE(IsValidJson(json.m_strOut)) << json.m_strOut;
    EXPECT_NE(json.m_strOut.find("\"bank_count\":19"), std::string::npos);
}

// What a CSV or JSON cell of `curves` reads back as: %.17g gives every
// finite double exactly; NaN and infinities are "nan"/"inf" in the CSV and
// null in JSON. False when the cell is not one whole number.
bool ParseCurveValue(const std::string& cell, double& value)
{
    if (cell == "null") {
        value = std::nan("");
        return true;
    }
    char* end = nullptr;
    value = std::strtod(cell.c_str(), &end);
    return !cell.empty() && end == cell.c_str() + cell.size();
}

// Equal bit for bit as a value; any NaN matches any NaN (JSON null has no payload).
bool SameValue(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

// The cells of a JSON number array member, e.g. "begin_loop":[1,2,null].
std::vector<std::string> JsonArrayCells(const std::string& text, const std::string& key)
{
    const std::string tag = "\"" + key + "\":[";
    const std::size_t at = text.find(tag);
    if (at == std::string::npos)
        return {};
    const std::size_t begin = at + tag.size();
    const std::string body = text.substr(begin, text.find(']', begin) - begin);
    return body.empty() ? std::vector<std::string>{} : SplitCsv(body);
}

// Samples of the kinds the document reads, for comparisons with it.
struct CSampleCase {
    std::string m_strName;
    std::string m_strBytes;
};

void PrintTo(const CSampleCase& c, std::ostream* os) { *os << c.m_strName; }

CSampleCase WavCase(const char* name, int channels, int bits, int rate, int frames, int loopStart, int loopEnd)
{
    CWavSpec spec;
    spec.m_nChannels = channels;
    spec.m_nBits = bits;
    spec.m_nRate = rate;
    spec.m_nFrames = frames;
    spec.m_bLoop = loopEnd > 0;
    spec.m_nLoopStart = loopStart;
    spec.m_nLoopEnd = loopEnd;
    return {name, MakeWav(spec)};
}

CSampleCase XiCase(const char* name, int bits, int frames, int loopStart, int loopEnd)
{
    CXiSample s;
    s.m_nBits = bits;
    s.m_values = XiTone(frames, bits, 73.75);
    if (loopEnd > 0) {
        s.m_nLoopType = 1;
        s.m_nLoopStartBytes = bits / 8 * loopStart;
        s.m_nLoopLengthBytes = bits / 8 * (loopEnd - loopStart);
    }
    return {name, MakeXi({s})};
}

// The loop options the commands take, and the same change made to a document.
struct CLoopOption {
    std::vector<std::string> m_args;
    void Apply(CQuorvelDoc& doc) const
    {
        if (m_args.empty())
            return;
        doc.m_bHasLoop = m_args[0] == "--loop";
        if (doc.m_bHasLoop) {
            const std::string& se = m_args[1];
            doc.m_nLoopStart = std::stoi(se.substr(0, se.find(':')));
            doc.m_nLoopEnd = std::stoi(se.substr(se.find(':') + 1));
        }
    }
};

class CliCurves : public testing::TestWithParam<CSampleCase> {};

TEST_P(CliCurves, CsvAndJsonValuesAreExactlyTheDocumentsCurves)
{
    CTempFolder dir;
    const fs::path in = dir / GetParam().m_strName;
    WriteFile(in, GetParam().m_strBytes);
    for (const CLoopOption& option :
         {CLoopOption{}, CLoopOption{{"--loop", "6100:13000"}}, CLoopOption{{"--no-loop"}}}) {
        SCOPED_TRACE(testing::PrintToString(option.m_args));
        // A changed loop changes the end-loop curve, which the command computes again.
        CLoadedDoc expected(in);
        option.Apply(expected.doc);
        if (!option.m_args.empty())
            expected.doc.ComputeEndLoopCurve();
        const int banks = expected.doc.m_nBankCount;
        ASSERT_GT(banks, 4);

        std::vector<std::string> args = {"curves", in.string()};
        args.insert(args.end(), option.m_args.begin(), option.m_args.end());
        const CRun csv = RunCli(args);
        ASSERT_EQ(csv.m_nCode, 0) << csv.m_strErr;
        const auto lines = csv.OutLines();
        ASSERT_EQ(lines.size(), std::size_t(banks) + 1);
        for (int b = 0; b < banks; ++b) {
            const auto cells = SplitCsv(lines[std::size_t(b) + 1]);
            ASSERT_EQ(cells.size(), 3u) << lines[std::size_t(b) + 1];
            EXPECT_EQ(cells[0], std::to_string(b));
            for (int column = 0; column < 2; ++column) {
                double value = 0;
                ASSERT_TRUE(ParseCurveValue(cells[std::size_t(column) + 1], value)) << lines[std::size_t(b) + 1];
                EXPECT_TRUE(SameValue(value, expected.doc.GetCurve(b, column)))
                    << "bank " << b << " column " << column << ": " << cells[std::size_t(column) + 1] << " vs "
                    << testing::PrintToString(expected.doc.GetCurve(b, column));
            }
        }

        args.push_back("--json");
        const CRun json = RunCli(args);
        ASSERT_EQ(json.m_nCode, 0) << json.m_strErr;
        EXPECT_EQ(JsonMember(json.m_strOut, "bank_count"), std::to_string(banks));
        const char* keys[2] = {"begin_loop", "end_loop"};
        for (int column = 0; column < 2; ++column) {
            const auto cells = JsonArrayCells(json.m_strOut, keys[column]);
            ASSERT_EQ(cells.size(), std::size_t(banks)) << json.m_strOut;
            for (int b = 0; b < banks; ++b) {
                double value = 0;
                ASSERT_TRUE(ParseCurveValue(cells[std::size_t(b)], value)) << cells[std::size_t(b)];
                EXPECT_TRUE(SameValue(value, expected.doc.GetCurve(b, column))) << keys[column] << " bank " << b;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CliCurves,
                         testing::Values(WavCase("mono16.wav", 1, 16, 44100, 20000, 4100, 15000),
                                         WavCase("stereo8.wav", 2, 8, 22050, 16000, 0, 0),
                                         XiCase("inst8.xi", 8, 18000, 3000, 16000)));

// The frames of a 16-bit PCM WAV file and its first loop, read chunk by chunk.
struct CWav16 {
    int m_nChannels = 0;
    bool m_bLoop = false;
    int m_nLoopStart = 0, m_nLoopEnd = 0;
    std::vector<int> m_values;
};

CWav16 ReadWav16(const std::string& b)
{
    const auto u16 = [&](std::size_t p) { return int(uint8_t(b[p]) | (uint8_t(b[p + 1]) << 8)); };
    const auto u32 = [&](std::size_t p) { return long(u16(p)) | (long(u16(p + 2)) << 16); };
    CWav16 wav;
    for (std::size_t p = 12; p + 8 <= b.size();) {
        const std::string id = b.substr(p, 4);
        const std::size_t size = std::size_t(u32(p + 4)), body = p + 8;
        if (body + size > b.size())
            break;
        if (id == "fmt ")
            wav.m_nChannels = u16(body + 2);
        if (id == "smpl" && size >= 52 && u32(body + 28) > 0) {
            wav.m_bLoop = true;
            wav.m_nLoopStart = int(u32(body + 44));
            wav.m_nLoopEnd = int(u32(body + 48)) + 1;  // stored as the last frame played
        }
        if (id == "data")
            for (std::size_t i = body; i + 1 < body + size; i += 2)
                wav.m_values.push_back(int16_t(u16(i)));
        p = body + size + (size & 1);
    }
    return wav;
}

// A document frame as a 16-bit file holds it: times 32768, truncated toward
// zero, clipped to the 16-bit range; NaN is silence.
int FileValue(double v)
{
    if (v != v)
        return 0;
    return int(std::clamp(std::trunc(std::clamp(v, -1.0, 1.0) * 32768.0), -32768.0, 32767.0));
}

class CliFindLoopCrossfade : public testing::TestWithParam<CSampleCase> {};

TEST_P(CliFindLoopCrossfade, ReportsTheDocumentsLoopAndWritesTheFramesItLeaves)
{
    CTempFolder dir;
    const fs::path in = dir / GetParam().m_strName;
    WriteFile(in, GetParam().m_strBytes);
    for (const CLoopOption& option : {CLoopOption{}, CLoopOption{{"--loop", "8000:26000"}}}) {
        SCOPED_TRACE(testing::PrintToString(option.m_args));
        CLoadedDoc expected(in);
        option.Apply(expected.doc);
        expected.doc.FindLoopCrossfade();
        ASSERT_TRUE(expected.doc.m_bHasLoop);
        const int length = expected.doc.CrossfadeLengthForLoop();
        ASSERT_GT(length, 0);

        // Always written as WAV, so the frames can be read back whatever the input.
        const fs::path out = dir / "out.wav";
        std::vector<std::string> args = {"find-loop", in.string(), "--crossfade", "--json", "-o", out.string()};
        args.insert(args.end(), option.m_args.begin(), option.m_args.end());
        const CRun run = RunCli(args);
        ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
        EXPECT_TRUE(IsValidJson(run.m_strOut)) << run.m_strOut;
        EXPECT_EQ(JsonMember(run.m_strOut, "has_loop"), "true");
        EXPECT_EQ(JsonMember(run.m_strOut, "loop_start"), std::to_string(expected.doc.m_nLoopStart));
        EXPECT_EQ(JsonMember(run.m_strOut, "loop_end"), std::to_string(expected.doc.m_nLoopEnd));
        EXPECT_EQ(JsonMember(run.m_strOut, "crossfade_length"), std::to_string(length));

        const CWav16 wav = ReadWav16(ReadFile(out));
        EXPECT_EQ(wav.m_nChannels, expected.doc.m_nChannels);
        EXPECT_TRUE(wav.m_bLoop);
        EXPECT_EQ(wav.m_nLoopStart, expected.doc.m_nLoopStart);
        EXPECT_EQ(wav.m_nLoopEnd, expected.doc.m_nLoopEnd);
        const int channels = expected.doc.m_nChannels, frames = expected.doc.m_nFrameCount;
        ASSERT_EQ(wav.m_values.size(), std::size_t(frames) * std::size_t(channels));
        // The file as loaded, to see that the crossfade did change frames
        // (else matching the document would prove nothing about it).
        CLoadedDoc loaded(in);
        int mismatches = 0, changed = 0;
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c) {
                const int want = FileValue(expected.doc.GetSample(f, c));
                const int got = wav.m_values[std::size_t(f) * std::size_t(channels) + std::size_t(c)];
                if (got != want && mismatches++ < 5)
                    ADD_FAILURE() << "frame " << f << " channel " << c << ": " << got << " instead of " << want;
                changed += want != FileValue(loaded.doc.GetSample(f, c));
            }
        EXPECT_EQ(mismatches, 0);
        EXPECT_GT(changed, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CliFindLoopCrossfade,
                         testing::Values(WavCase("stereo16.wav", 2, 16, 44100, 40000, 5000, 30000),
                                         WavCase("mono8.wav", 1, 8, 22050, 36000, 0, 0),
                                         XiCase("inst16.xi", 16, 34000, 4000, 28000)));

}  // namespace
