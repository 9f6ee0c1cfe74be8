// The batch command, run through the real program.
#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <regex>

using namespace clitest;

namespace {

bool Contains(const std::string& s, const std::string& needle) { return s.find(needle) != std::string::npos; }

// The "path" values of JSON result lines, in order.
std::vector<std::string> JsonPaths(const CRun& run)
{
    std::vector<std::string> paths;
    const std::regex re("\"path\":\"([^\"]*)\"");
    for (const auto& line : run.OutLines()) {
        std::smatch m;
        if (std::regex_search(line, m, re))
            paths.push_back(m[1]);
    }
    return paths;
}

std::size_t FileCount(const fs::path& dir)
{
    return std::size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// A folder of mixed samples and one file that is not a sample.
struct CMixedInputs {
    CTempFolder dir;
    std::vector<std::string> order;  // deliberately not sorted
    CMixedInputs()
    {
        fs::create_directories(dir / "in");
        CWavSpec mono;
        mono.m_nFrames = 30000;
        CWavSpec stereo8;
        stereo8.m_nChannels = 2;
        stereo8.m_nBits = 8;
        stereo8.m_nFrames = 25000;
        stereo8.m_bLoop = true;
        stereo8.m_nLoopStart = 3000;
        stereo8.m_nLoopEnd = 20000;
        CXiSample xi16;
        xi16.m_values = XiTone(28000, 16, 80.25);
        xi16.m_nLoopType = 1;
        xi16.m_nLoopStartBytes = 2 * 4000;
        xi16.m_nLoopLengthBytes = 2 * 15000;
        CXiSample xi8;
        xi8.m_nBits = 8;
        xi8.m_values = XiTone(22000, 8, 64.5);
        WriteFile(dir / "in/c.xi", MakeXi({xi16}));
        WriteFile(dir / "in/d.wav", "RIFX definitely not a sample");
        WriteFile(dir / "in/a.wav", MakeWav(mono));
        WriteFile(dir / "in/e.xi", MakeXi({xi8}));
        WriteFile(dir / "in/b.wav", MakeWav(stereo8));
        for (const char* n : {"c.xi", "d.wav", "a.wav", "e.xi", "b.wav"})
            order.push_back((dir / "in" / n).string());
    }
};

class CliBatch : public testing::TestWithParam<bool> {};

TEST_P(CliBatch, ResultsComeInInputOrderAndEqualSingleFileRuns)
{
    const bool crossfade = GetParam();
    CMixedInputs inputs;
    const fs::path out = inputs.dir / "out";
    std::vector<std::string> args = {"batch"};
    args.insert(args.end(), inputs.order.begin(), inputs.order.end());
    args.insert(args.end(), {"--out-dir", out.string(), "--jobs", "2"});
    if (crossfade)
        args.push_back("--crossfade");
    const CRun batch = RunCli(args);
    EXPECT_EQ(batch.m_nCode, 1) << batch.m_strErr;  // d.wav fails
    ASSERT_EQ(batch.ErrLines().size(), 1u) << batch.m_strErr;
    EXPECT_TRUE(Contains(batch.m_strErr, "ringseam-cli: " + inputs.order[1] + ": Unexpected file format."));

    const auto lines = batch.OutLines();
    ASSERT_EQ(lines.size(), 4u) << batch.m_strOut;
    std::size_t line = 0;
    for (std::size_t i = 0; i < inputs.order.size(); ++i) {
        if (i == 1)
            continue;
        const std::string& in = inputs.order[i];
        SCOPED_TRACE(in);
        const std::string& result = lines[line++];
        ASSERT_TRUE(result.rfind(in + ": loop ", 0) == 0) << result;

        const fs::path single = inputs.dir / ("single_" + fs::path(in).filename().string());
        std::vector<std::string> one = {"find-loop", in, "-o", single.string()};
        if (crossfade)
            one.push_back("--crossfade");
        const CRun run = RunCli(one);
        ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
        // "loop S E" from find-loop is what the batch line reports.
        const std::string loop = run.m_strOut.substr(5, run.m_strOut.size() - 6);
        EXPECT_TRUE(Contains(result, ": loop " + loop + " crossfade ")) << result << " vs " << run.m_strOut;
        EXPECT_EQ(ReadFile(out / fs::path(in).filename()), ReadFile(single));
        EXPECT_FALSE(Contains(result, "score none")) << result;
        EXPECT_EQ(Contains(result, " crossfade 0 "), !crossfade) << result;
    }
    EXPECT_EQ(FileCount(out), 4u);  // no result for d.wav, no temporary files
}

INSTANTIATE_TEST_SUITE_P(FindLoopAndCrossfade, CliBatch, testing::Values(false, true));

// Forty short samples covering every combination the batch reads: WAV
// mono/stereo × 8/16-bit at 22050 and 44100 Hz and XI 8/16-bit, each with
// and without a loop in the file (files 0 … 23 take every combination once,
// 24 … 39 repeat them with other lengths and tones), given in a shuffled
// order with one cut-off WAV among them.
struct CFortyInputs {
    static constexpr int kSamples = 40;
    CTempFolder dir;
    std::vector<std::string> order;
    std::string broken;
    CFortyInputs()
    {
        fs::create_directories(dir / "in");
        std::vector<std::string> samples;
        for (int i = 0; i < kSamples; ++i) {
            const int kind = i % 6;  // WAV mono 8, mono 16, stereo 8, stereo 16; XI 8, 16
            const bool loop = (i / 6) % 2 != 0;
            const bool lowRate = (i / 12) % 2 != 0;  // an XI file carries no rate
            const int frames = 6000 + 350 * i;       // up to 19650
            const double period = 47.25 + 3.5 * i;
            const int loopStart = frames / 5, loopEnd = frames - frames / 6;
            char name[16];
            if (kind < 4) {
                CWavSpec spec;
                spec.m_nChannels = kind < 2 ? 1 : 2;
                spec.m_nBits = kind % 2 ? 16 : 8;
                spec.m_nRate = lowRate ? 22050 : 44100;
                spec.m_nFrames = frames;
                spec.m_bLoop = loop;
                spec.m_nLoopStart = loopStart;
                spec.m_nLoopEnd = loopEnd;
                spec.m_signal = [period](int f, int c) { return TestTone(f, c, period); };
                std::snprintf(name, sizeof name, "s%02d.wav", i);
                WriteFile(dir / "in" / name, MakeWav(spec));
            } else {
                CXiSample s;
                s.m_nBits = kind == 4 ? 8 : 16;
                s.m_values = XiTone(frames, s.m_nBits, period);
                if (loop) {
                    const int w = s.m_nBits / 8;
                    s.m_nLoopType = 1;
                    s.m_nLoopStartBytes = w * loopStart;
                    s.m_nLoopLengthBytes = w * (loopEnd - loopStart);
                }
                std::snprintf(name, sizeof name, "s%02d.xi", i);
                WriteFile(dir / "in" / name, MakeXi({s}));
            }
            samples.push_back((dir / "in" / name).string());
        }
        // A WAV that ends inside its format chunk: recognised by name and
        // magic, so it is planned like the others and fails only on reading.
        broken = (dir / "in/cut.wav").string();
        WriteFile(broken, MakeWav(CWavSpec{}).substr(0, 30));
        for (int k = 0; k < kSamples; ++k) {
            if (k == 17)
                order.push_back(broken);
            order.push_back(samples[std::size_t(k * 17 % kSamples)]);  // 17 and 40 coprime: a permutation
        }
    }
};

class CliBatchForty : public testing::TestWithParam<bool> {};

TEST_P(CliBatchForty, EveryFileGetsTheLoopAndBytesOfItsOwnFindLoopRun)
{
    const bool crossfade = GetParam();
    CFortyInputs inputs;
    const fs::path out = inputs.dir / "out", single = inputs.dir / "single";
    fs::create_directories(single);
    std::vector<std::string> args = {"batch"};
    args.insert(args.end(), inputs.order.begin(), inputs.order.end());
    args.insert(args.end(), {"--out-dir", out.string(), "--jobs", "2", "--json"});
    if (crossfade)
        args.push_back("--crossfade");
    const CRun batch = RunCli(args);

    // The broken file is reported once, fails the run, and nothing else does.
    EXPECT_EQ(batch.m_nCode, 1) << batch.m_strErr;
    ASSERT_EQ(batch.ErrLines().size(), 1u) << batch.m_strErr;
    EXPECT_TRUE(Contains(batch.m_strErr, "ringseam-cli: " + inputs.broken + ": ")) << batch.m_strErr;
    ASSERT_EQ(JsonPaths(batch), inputs.order) << batch.m_strOut;
    const auto lines = batch.OutLines();

    for (std::size_t i = 0; i < inputs.order.size(); ++i) {
        const std::string& in = inputs.order[i];
        const std::string& result = lines[i];
        SCOPED_TRACE(result);
        EXPECT_TRUE(IsValidJson(result));
        if (in == inputs.broken) {
            EXPECT_EQ(JsonMember(result, "ok"), "false");
            continue;
        }
        ASSERT_EQ(JsonMember(result, "ok"), "true");
        const std::string name = fs::path(in).filename().string();
        EXPECT_TRUE(Contains(result, "\"output\":\"" + (out / name).string() + "\""));

        std::vector<std::string> one = {"find-loop", in, "--json", "-o", (single / name).string()};
        if (crossfade)
            one.push_back("--crossfade");
        const CRun run = RunCli(one);
        ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
        for (const char* key : {"has_loop", "loop_start", "loop_end", "crossfade_length"}) {
            EXPECT_FALSE(JsonMember(run.m_strOut, key).empty()) << key << " in " << run.m_strOut;
            EXPECT_EQ(JsonMember(result, key), JsonMember(run.m_strOut, key)) << key << " vs " << run.m_strOut;
        }
        // Every sample is long enough for the search to set a loop, and so
        // for a crossfade when one is asked for.
        EXPECT_EQ(JsonMember(result, "has_loop"), "true");
        EXPECT_EQ(JsonMember(result, "crossfade_length") != "0", crossfade);
        const std::string bytes = ReadFile(out / name);
        EXPECT_FALSE(bytes.empty());
        EXPECT_TRUE(bytes == ReadFile(single / name)) << "the batch's " << name << " differs from find-loop's";
    }
    EXPECT_EQ(FileCount(out), std::size_t(CFortyInputs::kSamples));  // none for the broken file, no temporaries
}

INSTANTIATE_TEST_SUITE_P(FindLoopAndCrossfade, CliBatchForty, testing::Values(false, true));

TEST(CliBatchJson, OneValidObjectPerFileInInputOrder)
{
    CMixedInputs inputs;
    std::vector<std::string> args = {"batch"};
    args.insert(args.end(), inputs.order.begin(), inputs.order.end());
    args.insert(args.end(), {"--out-dir", (inputs.dir / "out").string(), "--json", "-j", "3"});
    const CRun run = RunCli(args);
    EXPECT_EQ(run.m_nCode, 1);
    ASSERT_EQ(run.OutLines().size(), inputs.order.size()) << run.m_strOut;
    for (const auto& line : run.OutLines())
        EXPECT_TRUE(IsValidJson(line)) << line;
    EXPECT_EQ(JsonPaths(run), inputs.order);
    EXPECT_TRUE(Contains(run.OutLines()[1], "\"ok\":false"));
    EXPECT_TRUE(Contains(run.OutLines()[1], "\"error\":\"Unexpected file format.\""));
    for (std::size_t i : {0u, 2u, 3u, 4u}) {
        const std::string l = run.OutLines()[i];
        EXPECT_TRUE(Contains(l, "\"ok\":true")) << l;
        for (const char* key : {"\"output\":", "\"loop_start\":", "\"loop_end\":", "\"crossfade_length\":",
                                "\"score\":"})
            EXPECT_TRUE(Contains(l, key)) << key << " in " << l;
    }
}

TEST(CliBatchInputs, FoldersExpandToTheirSamplesSorted)
{
    CTempFolder dir;
    fs::create_directories(dir / "in/sub");
    for (const char* n : {"z.wav", "a.WAV", "m.xi", "notes.txt", "sub/b.wav"})
        WriteFile(dir / "in" / n, "x");
    const std::string in = (dir / "in").string();
    const auto paths = [&](bool recursive) {
        std::vector<std::string> args = {"batch", in, "--out-dir", (dir / "out").string(), "--json"};
        if (recursive)
            args.push_back("-r");
        return JsonPaths(RunCli(args));
    };
    EXPECT_EQ(paths(false), (std::vector<std::string>{in + "/a.WAV", in + "/m.xi", in + "/z.wav"}));
    EXPECT_EQ(paths(true),
              (std::vector<std::string>{in + "/a.WAV", in + "/m.xi", in + "/sub/b.wav", in + "/z.wav"}));
}

TEST(CliBatchInputs, AFolderWithoutSamplesIsAFailure)
{
    CTempFolder dir;
    fs::create_directories(dir / "nothing");
    WriteFile(dir / "nothing/readme.txt", "no samples here");
    const CRun run = RunCli({"batch", (dir / "nothing").string(), "--out-dir", (dir / "out").string()});
    EXPECT_EQ(run.m_nCode, 1);
    ASSERT_EQ(run.ErrLines().size(), 1u);
    EXPECT_TRUE(Contains(run.m_strErr, "no .wav or .xi files in this folder"));
    EXPECT_EQ(run.m_strOut, "");
}

TEST(CliBatchInputs, AnOutputFolderHoldingInputsIsRefused)
{
    CTempFolder dir;
    fs::create_directories(dir / "in");
    WriteFile(dir / "in/a.wav", MakeWav(CWavSpec{}));
    const std::string original = ReadFile(dir / "in/a.wav");
    for (const std::string& outDir : {(dir / "in").string(), (dir / "in/.").string(), (dir / "in/../in").string()}) {
        const CRun run = RunCli({"batch", (dir / "in/a.wav").string(), "--out-dir", outDir});
        EXPECT_EQ(run.m_nCode, 2) << outDir;
        ASSERT_EQ(run.ErrLines().size(), 1u);
        EXPECT_TRUE(Contains(run.m_strErr, "--overwrite")) << run.m_strErr;
    }
    const CRun folder = RunCli({"batch", (dir / "in").string(), "--out-dir", (dir / "in").string()});
    EXPECT_EQ(folder.m_nCode, 2);

    // With --overwrite the folder is allowed, but an input is never replaced.
    const CRun same = RunCli({"batch", (dir / "in").string(), "--out-dir", (dir / "in").string(), "--overwrite"});
    EXPECT_EQ(same.m_nCode, 1);
    EXPECT_TRUE(Contains(same.m_strErr, "would replace an input file")) << same.m_strErr;
    EXPECT_EQ(ReadFile(dir / "in/a.wav"), original);
    EXPECT_EQ(FileCount(dir / "in"), 1u);

    const CRun other = RunCli({"batch", (dir / "in/a.wav").string(), "--out-dir", (dir / "in").string(),
                               "--overwrite", "--format", "xi"});
    EXPECT_EQ(other.m_nCode, 0) << other.m_strErr;
    EXPECT_EQ(ReadFile(dir / "in/a.xi").substr(0, 21), "Extended Instrument: ");
    EXPECT_EQ(ReadFile(dir / "in/a.wav"), original);
}

TEST(CliBatchInputs, TwoInputsWithOneOutputNameDoNotOverwriteEachOther)
{
    CTempFolder dir;
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "y");
    CWavSpec a, b;
    b.m_nFrames = 12345;
    WriteFile(dir / "x/take.wav", MakeWav(a));
    WriteFile(dir / "y/take.wav", MakeWav(b));
    const CRun run = RunCli({"batch", (dir / "x/take.wav").string(), (dir / "y/take.wav").string(), "--out-dir",
                             (dir / "out").string()});
    EXPECT_EQ(run.m_nCode, 1);
    EXPECT_TRUE(Contains(run.m_strErr, (dir / "y/take.wav").string() + ": the result")) << run.m_strErr;
    EXPECT_TRUE(Contains(run.m_strErr, "would also be written for " + (dir / "x/take.wav").string()));
    EXPECT_TRUE(Contains(RunCli({"info", (dir / "out/take.wav").string()}).m_strOut, " 20000 frames "));
}

TEST(CliBatchInputs, StereoToXiNoteNamesTheFile)
{
    CTempFolder dir;
    CWavSpec stereo;
    stereo.m_nChannels = 2;
    stereo.m_nFrames = 5000;
    WriteFile(dir / "st.wav", MakeWav(stereo));
    const CRun run = RunCli({"batch", (dir / "st.wav").string(), "--out-dir", (dir / "out").string(), "--format",
                             "xi"});
    EXPECT_EQ(run.m_nCode, 0) << run.m_strErr;
    EXPECT_EQ(run.m_strErr, "ringseam-cli: " + (dir / "st.wav").string() +
                                ": XI supports only mono samples. Only first channel will be written.\n");
    EXPECT_TRUE(fs::exists(dir / "out/st.xi"));
    const CRun quiet = RunCli({"batch", (dir / "st.wav").string(), "--out-dir", (dir / "out").string(), "--format",
                               "xi", "--quiet"});
    EXPECT_EQ(quiet.m_strErr, "");
}

}  // namespace

namespace {

// Find Loop + Crossfade reads the file again, which asks for the sample
// again; --xi-sample must answer that second question the same way.
TEST(CliBatchInputs, XiSampleAnswersTheChoiceAgainOnReload)
{
    CTempFolder dir;
    CXiSample a, b;
    a.m_values = XiTone(30000, 16, 90.5);
    b.m_nBits = 8;
    b.m_values = XiTone(26000, 8, 70.25);
    const std::string in = (dir / "two.xi").string();
    WriteFile(in, MakeXi({a, b}));

    const CRun single = RunCli({"find-loop", in, "--crossfade", "--xi-sample", "2", "-o", (dir / "one.xi").string()});
    ASSERT_EQ(single.m_nCode, 0) << single.m_strErr;
    const CRun batch = RunCli({"batch", in, "--crossfade", "--xi-sample", "2", "--out-dir", (dir / "out").string()});
    ASSERT_EQ(batch.m_nCode, 0) << batch.m_strErr;
    EXPECT_EQ(ReadFile(dir / "out/two.xi"), ReadFile(dir / "one.xi"));
    EXPECT_TRUE(Contains(batch.m_strOut, ": loop " + single.m_strOut.substr(5, single.m_strOut.size() - 6)));

    const CRun missing = RunCli({"batch", in, "--crossfade", "--out-dir", (dir / "out2").string()});
    EXPECT_EQ(missing.m_nCode, 1);
    EXPECT_TRUE(Contains(missing.m_strErr, "2 non-empty samples")) << missing.m_strErr;
    EXPECT_FALSE(fs::exists(dir / "out2/two.xi"));
}

}  // namespace

namespace {

// Real-world files: whatever each one is, the batch reports it in order and
// writes a result exactly for those it reports as done.
TEST(CliBatchInputs, SharedSampleFilesAreEachProcessedOrRefusedCleanly)
{
    const fs::path shared = RINGSEAM_SHARED_SAMPLES;
    if (!fs::is_directory(shared))
        GTEST_SKIP() << "no shared sample folder at " << shared;
    std::vector<std::string> expected;
    for (const auto& e : fs::directory_iterator(shared)) {
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (e.is_regular_file() && (ext == ".wav" || ext == ".xi"))
            expected.push_back(e.path().string());
    }
    if (expected.empty())
        GTEST_SKIP() << "no samples in " << shared;
    std::sort(expected.begin(), expected.end());

    CTempFolder dir;
    const CRun run = RunCli({"batch", shared.string(), "--out-dir", (dir / "out").string(), "--json", "--xi-sample",
                             "1", "--crossfade", "-j", "2"});
    EXPECT_TRUE(run.m_nCode == 0 || run.m_nCode == 1) << run.m_strErr;
    EXPECT_EQ(JsonPaths(run), expected);
    const auto lines = run.OutLines();
    for (const auto& line : lines) {
        EXPECT_TRUE(IsValidJson(line)) << line;
        const std::regex out("\"output\":\"([^\"]*)\"");
        std::smatch m;
        if (Contains(line, "\"ok\":true")) {
            ASSERT_TRUE(std::regex_search(line, m, out)) << line;
            EXPECT_TRUE(fs::exists(std::string(m[1]))) << line;
        } else {
            EXPECT_TRUE(Contains(line, "\"error\":\"")) << line;
        }
    }
    EXPECT_EQ(std::size_t(std::count_if(lines.begin(), lines.end(),
                                        [](const std::string& l) { return Contains(l, "\"ok\":true"); })),
              FileCount(dir / "out"));
}

}  // namespace

TEST(CliBatchInputs, RecursiveResultsKeepTheirSubfolders)
{
    // One note in two stops of an organ set: both are written, each in its
    // own subfolder of the output folder.
    CTempFolder dir;
    for (const char* n : {"in/Posaune/036-C.wav", "in/Trompete/036-C.wav", "in/top.wav"}) {
        fs::create_directories((dir / n).parent_path());
        WriteFile(dir / n, MakeWav(CWavSpec{}));
    }
    const CRun run = RunCli({"batch", (dir / "in").string(), "-r", "--out-dir", (dir / "out").string()});
    EXPECT_EQ(run.m_nCode, 0) << run.m_strErr;
    for (const char* n : {"out/Posaune/036-C.wav", "out/Trompete/036-C.wav", "out/top.wav"})
        EXPECT_TRUE(fs::is_regular_file(dir / n)) << n;
}
