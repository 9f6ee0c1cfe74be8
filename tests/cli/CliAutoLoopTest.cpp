// find-loop --auto, batch --auto and the seam metrics of score, through the
// real program.
#include "CliTestSupport.h"
#include "cli/CliDocument.h"
#include "cli/CliUserInterface.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace clitest;

namespace {

constexpr int kRate = 44100;

// The test tone with a 0.1 s attack and a 0.3 s release around a 1.1 s
// sustain, and a loop of its own in the file that Auto Loop must ignore.
CWavSpec HeldNote()
{
    CWavSpec spec;
    spec.m_nChannels = 2;
    spec.m_nFrames = 3 * kRate / 2;
    spec.m_bLoop = true;
    spec.m_nLoopStart = 100;
    spec.m_nLoopEnd = 2000;
    spec.m_signal = [](int f, int c) {
        const double t = double(f) / kRate;
        return std::min({1.0, t / 0.1, (1.5 - t) / 0.3}) * TestTone(f, c);
    };
    return spec;
}

CWavSpec Silence()
{
    CWavSpec spec;
    spec.m_nFrames = kRate;
    spec.m_signal = [](int, int) { return 0.0; };
    return spec;
}

// The loop and crossfade length the document's own operation gives.
struct CExpected {
    int start = 0, end = 0, crossfade = 0;
};
CExpected AutoLoopOf(const fs::path& path, bool crossfade)
{
    CCliUserInterface ui{std::nullopt, nullptr, false, true};
    CQuorvelDoc doc;
    std::string why;
    EXPECT_TRUE(LoadSampleDocument(doc, ui, path.string(), why)) << why;
    EXPECT_TRUE(crossfade ? doc.AutoLoopCrossfade() : doc.AutoLoop());
    return {doc.m_nLoopStart, doc.m_nLoopEnd, crossfade ? doc.CrossfadeLengthForLoop() : 0};
}

TEST(CliAutoLoop, FindLoopAutoPrintsSavesAndCrossfadesTheDocumentsLoop)
{
    CTempDir dir;
    const fs::path in = dir / "note.wav";
    WriteFile(in, MakeWav(HeldNote()));
    for (const bool crossfade : {false, true}) {
        const CExpected expected = AutoLoopOf(in, crossfade);
        // After the attack (80 % of the full level), before the release.
        EXPECT_GE(expected.start, kRate * 8 / 100);
        EXPECT_LE(expected.end, kRate * 12 / 10);
        const std::string out = (dir / (crossfade ? "faded.wav" : "plain.wav")).string();
        std::vector<std::string> args = {"find-loop", "--auto", in.string(), "-o", out, "--json"};
        if (crossfade)
            args.push_back("--crossfade");
        const CRun run = RunCli(args);
        ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
        EXPECT_EQ(JsonMember(run.m_strOut, "loop_start"), std::to_string(expected.start));
        EXPECT_EQ(JsonMember(run.m_strOut, "loop_end"), std::to_string(expected.end));
        EXPECT_EQ(JsonMember(run.m_strOut, "crossfade_length"), std::to_string(expected.crossfade));
        const std::string dash = std::to_string(expected.start) + "-" + std::to_string(expected.end);
        EXPECT_NE(RunCli({"info", out}).m_strOut.find(" loop " + dash + " "), std::string::npos);
    }
    EXPECT_NE(ReadFile(dir / "plain.wav"), ReadFile(dir / "faded.wav"));
}

TEST(CliAutoLoop, NoSteadyPartFailsWithTheMessageAndWritesNothing)
{
    CTempDir dir;
    const fs::path in = dir / "silence.wav";
    WriteFile(in, MakeWav(Silence()));
    for (const char* extra : {"--quiet", "--crossfade"}) {
        const CRun run = RunCli({"find-loop", "--auto", extra, in.string(), "-o", (dir / "out.wav").string()});
        EXPECT_EQ(run.m_nCode, 1);
        EXPECT_EQ(run.m_strErr,
                  "ringseam-cli: " + in.string() + ": No steady part long enough for a loop was found.\n");
        EXPECT_TRUE(run.m_strOut.empty());
        EXPECT_FALSE(fs::exists(dir / "out.wav"));
    }
}

TEST(CliAutoLoop, BatchAutoLoopsEachFileAndReportsTheOnesWithoutASteadyPart)
{
    CTempDir dir;
    fs::create_directories(dir / "in");
    WriteFile(dir / "in/a.wav", MakeWav(HeldNote()));
    WriteFile(dir / "in/b.wav", MakeWav(Silence()));
    const CExpected a = AutoLoopOf(dir / "in/a.wav", false);
    const CRun run = RunCli({"batch", "--auto", (dir / "in").string(), "--out-dir", (dir / "out").string(), "-j", "2"});
    EXPECT_EQ(run.m_nCode, 1);
    const auto lines = run.OutLines();
    ASSERT_EQ(lines.size(), 1u) << run.m_strOut;
    EXPECT_NE(lines[0].find(": loop " + std::to_string(a.start) + " " + std::to_string(a.end) + " crossfade 0 "),
              std::string::npos)
        << lines[0];
    EXPECT_NE(run.m_strErr.find("b.wav: No steady part long enough for a loop was found."), std::string::npos)
        << run.m_strErr;
    EXPECT_TRUE(fs::exists(dir / "out/a.wav"));
    EXPECT_FALSE(fs::exists(dir / "out/b.wav"));
}

TEST(CliAutoLoop, OptionsApplyToTheLoopSearchesOnly)
{
    CTempDir dir;
    const fs::path in = dir / "note.wav";
    WriteFile(in, MakeWav(HeldNote()));
    EXPECT_EQ(RunCli({"find-loop", "--auto", in.string(), "--loop", "0:100"}).m_nCode, 2);
    EXPECT_EQ(RunCli({"info", "--auto", in.string()}).m_nCode, 2);
    EXPECT_EQ(RunCli({"score", "--auto", in.string(), "--loop", "0:100"}).m_nCode, 2);
    EXPECT_NE(RunCli({"batch", "--help"}).m_strOut.find("--auto"), std::string::npos);
}

TEST(CliAutoLoop, ScoreReportsTheSeamMetricsOfTheGivenLoop)
{
    CTempDir dir;
    CWavSpec spec;
    spec.m_nFrames = 30000;
    spec.m_signal = [](int f, int) { return 0.5 * std::sin(2 * 3.141592653589793 * f / 100.0); };
    const fs::path in = dir / "sine.wav";
    WriteFile(in, MakeWav(spec));

    // Whole periods after the ramp-free start: clean, level and timbre
    // matched; half a period off: the wave jumps.
    const CRun good = RunCli({"score", in.string(), "--loop", "1000:11000", "--json"});
    ASSERT_EQ(good.m_nCode, 0) << good.m_strErr;
    EXPECT_TRUE(IsValidJson(good.m_strOut)) << good.m_strOut;
    EXPECT_LE(std::stod(JsonMember(good.m_strOut, "seam")), 1.5);
    EXPECT_LT(std::stod(JsonMember(good.m_strOut, "level_db")), 0.01);
    EXPECT_LT(std::stod(JsonMember(good.m_strOut, "timbre_db")), 1.0);
    EXPECT_EQ(JsonMember(good.m_strOut, "in_attack"), "false");

    const CRun off = RunCli({"score", in.string(), "--loop", "1000:11050"});
    ASSERT_EQ(off.m_nCode, 0) << off.m_strErr;
    const std::string first = off.OutLines().at(0);
    const auto at = first.find(" seam ");
    ASSERT_NE(at, std::string::npos) << first;
    EXPECT_GT(std::stod(first.substr(at + 6)), 10.0) << first;
    EXPECT_NE(first.find(" dB timbre "), std::string::npos) << first;
    EXPECT_NE(first.find(" dB attack no"), std::string::npos) << first;
}

}  // namespace
