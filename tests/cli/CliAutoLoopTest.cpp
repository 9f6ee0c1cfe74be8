// find-loop --auto and batch --auto through the real program.
#include "CliTestSupport.h"
#include "cli/CliDocument.h"
#include "cli/CliUserInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace clitest;

namespace {

constexpr int kRate = 44100;
const char* const kNoSteadyPart = "No steady part long enough for a loop was found.";

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
    CTempFolder dir;
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
    // --auto belongs to the loop searches only.
    EXPECT_EQ(RunCli({"find-loop", "--auto", in.string(), "--loop", "0:100"}).m_nCode, 2);
    EXPECT_EQ(RunCli({"info", "--auto", in.string()}).m_nCode, 2);
    EXPECT_EQ(RunCli({"score", "--auto", in.string(), "--loop", "0:100"}).m_nCode, 2);
    EXPECT_NE(RunCli({"batch", "--help"}).m_strOut.find("--auto"), std::string::npos);
}

TEST(CliAutoLoop, AFileWithoutASteadyPartFailsWithTheMessageAndWritesNothing)
{
    CTempFolder dir;
    fs::create_directories(dir / "in");
    CWavSpec silence;
    silence.m_nFrames = kRate;
    silence.m_signal = [](int, int) { return 0.0; };
    const fs::path a = dir / "in/a.wav", b = dir / "in/b.wav";
    WriteFile(a, MakeWav(HeldNote()));
    WriteFile(b, MakeWav(silence));
    for (const char* extra : {"--quiet", "--crossfade"}) {
        const CRun run = RunCli({"find-loop", "--auto", extra, b.string(), "-o", (dir / "out.wav").string()});
        EXPECT_EQ(run.m_nCode, 1);
        EXPECT_EQ(run.m_strErr, "ringseam-cli: " + b.string() + ": " + kNoSteadyPart + "\n");
        EXPECT_TRUE(run.m_strOut.empty());
        EXPECT_FALSE(fs::exists(dir / "out.wav"));
    }

    // batch loops the other file and reports this one.
    const CExpected loop = AutoLoopOf(a, false);
    const CRun run = RunCli({"batch", "--auto", (dir / "in").string(), "--out-dir", (dir / "out").string(), "-j", "2"});
    EXPECT_EQ(run.m_nCode, 1);
    ASSERT_EQ(run.OutLines().size(), 1u) << run.m_strOut;
    EXPECT_NE(run.OutLines()[0].find(": loop " + std::to_string(loop.start) + " " + std::to_string(loop.end) +
                                     " crossfade 0 "),
              std::string::npos)
        << run.OutLines()[0];
    EXPECT_NE(run.m_strErr.find(std::string("b.wav: ") + kNoSteadyPart), std::string::npos) << run.m_strErr;
    EXPECT_TRUE(fs::exists(dir / "out/a.wav"));
    EXPECT_FALSE(fs::exists(dir / "out/b.wav"));
}

}  // namespace

namespace {

// --loops K writes every loop found into smpl, lists them in JSON with the
// count, and says on stderr when fewer than K were found.
TEST(CliAutoLoop, LoopsKWritesEveryLoopFoundIntoTheFile)
{
    CTempFolder dir;
    const fs::path in = dir / "note.wav";
    CWavSpec note = HeldNote();  // a steady 220 Hz held for 2.6 s
    note.m_nFrames = 3 * kRate;
    note.m_signal = [](int f, int c) {
        const double ph = 2 * 3.141592653589793 * 220.0 * f / kRate + 0.7 * c;
        const double env = std::min({1.0, f / (0.1 * kRate), (3 * kRate - f) / (0.3 * kRate)});
        return env * (0.6 * std::sin(ph) + 0.25 * std::sin(2 * ph + 0.3));
    };
    WriteFile(in, MakeWav(note));
    const std::string out = (dir / "out.wav").string();
    const CRun run = RunCli({"find-loop", "--auto", "--loops", "16", in.string(), "-o", out, "--json"});
    ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
    const int found = std::stoi(JsonMember(run.m_strOut, "loops_found"));
    EXPECT_GE(found, 2);
    EXPECT_LT(found, 16);
    EXPECT_EQ(run.m_strErr, "ringseam-cli: " + in.string() + ": Found " + std::to_string(found) +
                                " of the 16 loops asked for.\n");
    const CExpected single = AutoLoopOf(in, false);
    const auto rows = RunCli({"loops", out}).OutLines();  // header, one row per loop
    ASSERT_EQ(int(rows.size()), found + 1);
    EXPECT_EQ(rows[1], out + ",1," + std::to_string(single.start) + "," + std::to_string(single.end) + ",forward");
    EXPECT_EQ(RunCli({"find-loop", "--loops", "2", in.string()}).m_nCode, 2);  // without --auto
}

}  // namespace
