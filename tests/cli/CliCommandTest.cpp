// The single-file commands, run through the real program.
#include "CliTestSupport.h"

#include "cli/CliDocument.h"
#include "cli/CliUserInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <sstream>

using namespace clitest;

namespace {

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// One error line, "ringseam-cli: ...", and nothing on stdout.
void ExpectOneErrorLine(const CRun& run, int code, const std::string& needle = {})
{
    EXPECT_EQ(run.m_nCode, code) << run.m_strErr;
    ASSERT_EQ(run.ErrLines().size(), 1u) << run.m_strErr;
    EXPECT_TRUE(StartsWith(run.m_strErr, "ringseam-cli: ")) << run.m_strErr;
    EXPECT_NE(run.m_strErr.find(needle), std::string::npos) << run.m_strErr;
    EXPECT_EQ(run.m_strOut, "");
}

// 16-bit sample values of a WAV file written by the program (no smpl chunk).
std::vector<int> WavData16(const std::string& bytes)
{
    std::vector<int> v;
    const std::size_t at = bytes.find("data");
    if (at == std::string::npos)
        return v;
    for (std::size_t i = at + 8; i + 1 < bytes.size(); i += 2)
        v.push_back(int16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
    return v;
}

TEST(CliProgram, HelpVersionAndCommandHelp)
{
    const CRun help = RunCli({"--help"});
    EXPECT_EQ(help.m_nCode, 0);
    for (const char* cmd : {"info", "convert", "find-loop", "curves", "comb-filter", "batch", "score"}) {
        EXPECT_NE(help.m_strOut.find(std::string("  ") + cmd), std::string::npos) << cmd;
        const CRun page = RunCli({cmd, "--help"});
        EXPECT_EQ(page.m_nCode, 0) << cmd;
        EXPECT_TRUE(StartsWith(page.m_strOut, std::string("Usage: ringseam-cli ") + cmd)) << page.m_strOut;
        EXPECT_EQ(page.m_strErr, "");
    }
    const CRun version = RunCli({"--version"});
    EXPECT_EQ(version.m_nCode, 0);
    EXPECT_EQ(version.m_strOut, "ringseam-cli (Ringseam Version 1.0)\n");
}

TEST(CliProgram, UsageErrorsExitWithTwoAndOneLine)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"info", "x.wav", "--bogus"},
        {"info"},
        {"convert", "x.wav"},
        {"batch", "x.wav"},
        {"find-loop", "x.wav", "--loop"},
        {"find-loop", "x.wav", "--loop", "12"},
        {"find-loop", "x.wav", "--loop", "a:b"},
        {"find-loop", "x.wav", "--loop", "900:100"},
        {"score", "x.wav"},
        {"batch", "x.wav", "--out-dir", "o", "--jobs", "none"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        ExpectOneErrorLine(RunCli(args), 2);
    }
}

TEST(CliProgram, UnreadableInputFailsAndLeavesTheOutputAlone)
{
    CTempFolder dir;
    WriteFile(dir / "garbage.wav", "this is not a sample file at all");
    WriteFile(dir / "empty.wav", "");
    WriteFile(dir / "riff.wav", "riff lower case is not RIFF");
    fs::create_directories(dir / "folder.wav");
    WriteFile(dir / "out.wav", "keep me");
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"garbage.wav", "Unexpected file format."},
        {"riff.wav", "Unexpected file format."},
        {"empty.wav", "empty"},
        {"missing.wav", "not found"},
        {"folder.wav", "cannot be read"},
    };
    for (const auto& [name, why] : inputs) {
        SCOPED_TRACE(name);
        const std::string in = (dir / name).string();
        for (const char* cmd : {"convert", "comb-filter"}) {
            const CRun run = RunCli({std::string(cmd), in, "-o", (dir / "out.wav").string()});
            ExpectOneErrorLine(run, 1, why);
            EXPECT_TRUE(StartsWith(run.m_strErr, "ringseam-cli: " + in + ": ")) << run.m_strErr;
        }
        ExpectOneErrorLine(RunCli({"find-loop", in, "-o", (dir / "new.wav").string()}), 1, why);
        ExpectOneErrorLine(RunCli({"info", in, "--json"}), 1, why);
        EXPECT_EQ(ReadFile(dir / "out.wav"), "keep me");
        EXPECT_FALSE(fs::exists(dir / "new.wav"));
    }
    // Nothing else (no temporary files) was left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 5);
}

struct CInfoCase {
    int channels, bits, rate, frames;
    bool loop;
    int loopStart, loopEnd, unity;
    int bankSize;
};

void PrintTo(const CInfoCase& c, std::ostream* os)
{
    *os << c.channels << "ch_" << c.bits << "bit_" << c.rate << "Hz" << (c.loop ? "_loop" : "");
}

class CliInfo : public testing::TestWithParam<CInfoCase> {};

TEST_P(CliInfo, TextAndJsonDescribeTheFile)
{
    const CInfoCase& c = GetParam();
    CTempFolder dir;
    CWavSpec spec;
    spec.m_nChannels = c.channels;
    spec.m_nBits = c.bits;
    spec.m_nRate = c.rate;
    spec.m_nFrames = c.frames;
    spec.m_bLoop = c.loop;
    spec.m_nLoopStart = c.loopStart;
    spec.m_nLoopEnd = c.loopEnd;
    spec.m_nUnityNote = c.unity;
    const std::string path = (dir / "take.wav").string();
    WriteFile(path, MakeWav(spec));

    const CRun text = RunCli({"info", path});
    ASSERT_EQ(text.m_nCode, 0) << text.m_strErr;
    std::ostringstream want;
    want << path << ": wav " << c.channels << "ch " << c.rate << " Hz " << c.frames << " frames unity " << c.unity
         << " loop ";
    if (c.loop)
        want << c.loopStart << '-' << c.loopEnd;
    else
        want << "none";
    want << " bank " << c.bankSize << 'x' << c.frames / c.bankSize << " bits " << c.bits << " pcm tuning "
         << c.unity << " + 0.0 ct\n";
    EXPECT_TRUE(StartsWith(text.m_strOut, want.str())) << text.m_strOut << "\nwanted " << want.str();
    EXPECT_EQ(text.OutLines().size(), 1u);

    const CRun json = RunCli({"info", path, "--json"});
    ASSERT_EQ(json.m_nCode, 0);
    ASSERT_EQ(json.OutLines().size(), 1u);
    const std::string line = json.OutLines()[0];
    EXPECT_TRUE(IsValidJson(line)) << line;
    for (const char* key : {"\"path\":", "\"format\":\"wav\"", "\"channels\":", "\"sample_rate\":", "\"frames\":",
                            "\"unity_note\":", "\"has_loop\":", "\"loop_start\":", "\"loop_end\":",
                            "\"bank_size\":", "\"bank_count\":", "\"encoding\":\"pcm\""})
        EXPECT_NE(line.find(key), std::string::npos) << key << " in " << line;
    EXPECT_NE(line.find("\"sample_rate\":" + std::to_string(c.rate)), std::string::npos);
    EXPECT_NE(line.find("\"bits\":" + std::to_string(c.bits) + ","), std::string::npos) << line;
    EXPECT_NE(line.find(c.loop ? "\"loop_start\":" + std::to_string(c.loopStart) : "\"loop_start\":null"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Formats, CliInfo,
                         testing::Values(CInfoCase{1, 8, 22050, 6000, false, 0, 0, 60, 512},
                                         CInfoCase{2, 16, 44100, 20000, true, 1000, 5000, 64, 1024},
                                         CInfoCase{1, 16, 48000, 9000, true, 0, 9000, 48, 2048},
                                         CInfoCase{2, 8, 8000, 3000, false, 0, 0, 60, 256}));

TEST(CliProgram, InfoSaysHowTheFileStoresItsSamples)
{
    CTempFolder dir;
    // Silent mono files: 32-bit float, and 24-bit PCM made by changing the
    // header of a 16-bit one whose 3000 bytes of data hold 1000 frames.
    CWavSpec spec;
    spec.m_nFrames = 1500;
    spec.m_signal = [](int, int) { return 0.0; };
    std::string wav = MakeWav(spec);
    wav[20] = 3, wav[32] = 4, wav[34] = 32;
    WriteFile(dir / "float.wav", wav);
    wav[20] = 1, wav[32] = 3, wav[34] = 24;
    WriteFile(dir / "deep.wav", wav);
    const CRun text = RunCli({"info", (dir / "float.wav").string(), (dir / "deep.wav").string()});
    ASSERT_EQ(text.OutLines().size(), 2u) << text.m_strErr;
    EXPECT_TRUE(text.OutLines()[0].ends_with(" bits 32 float tuning 60 + 0.0 ct")) << text.OutLines()[0];
    EXPECT_TRUE(text.OutLines()[1].ends_with(" bits 24 pcm tuning 60 + 0.0 ct")) << text.OutLines()[1];
    const CRun json = RunCli({"info", (dir / "float.wav").string(), "--json"});
    EXPECT_NE(json.m_strOut.find("\"bits\":32,\"encoding\":\"float\""), std::string::npos) << json.m_strOut;
}

TEST(CliProgram, InfoOfSeveralFilesKeepsGoingPastAFailure)
{
    CTempFolder dir;
    CWavSpec spec;
    WriteFile(dir / "a.wav", MakeWav(spec));
    WriteFile(dir / "b.wav", "nonsense");
    WriteFile(dir / "c.wav", MakeWav(spec));
    const CRun run = RunCli({"info", (dir / "a.wav").string(), (dir / "b.wav").string(), (dir / "c.wav").string(),
                             "--json"});
    EXPECT_EQ(run.m_nCode, 1);
    ASSERT_EQ(run.OutLines().size(), 2u);
    EXPECT_NE(run.OutLines()[0].find("a.wav"), std::string::npos);
    EXPECT_NE(run.OutLines()[1].find("c.wav"), std::string::npos);
    for (const auto& l : run.OutLines())
        EXPECT_TRUE(IsValidJson(l)) << l;
    ASSERT_EQ(run.ErrLines().size(), 1u);
    EXPECT_NE(run.m_strErr.find("b.wav: Unexpected file format."), std::string::npos);
}

TEST(CliProgram, LoopOptionsReplaceTheLoopExactlyAsGiven)
{
    CTempFolder dir;
    CWavSpec spec;
    spec.m_bLoop = true;
    spec.m_nLoopStart = 100;
    spec.m_nLoopEnd = 900;
    const std::string path = (dir / "in.wav").string();
    WriteFile(path, MakeWav(spec));
    // Not normalised: an end past the last frame stays as typed.
    EXPECT_NE(RunCli({"info", path, "--loop", "7:30000"}).m_strOut.find(" loop 7-30000 "), std::string::npos);
    EXPECT_NE(RunCli({"info", path, "--no-loop"}).m_strOut.find(" loop none "), std::string::npos);
    EXPECT_NE(RunCli({"info", path}).m_strOut.find(" loop 100-900 "), std::string::npos);
}

TEST(CliProgram, ConvertWritesWavWithTheLoopAsSet)
{
    CTempFolder dir;
    CWavSpec spec;
    spec.m_nChannels = 2;
    spec.m_nFrames = 1000;
    spec.m_bLoop = true;
    spec.m_nLoopStart = 10;
    spec.m_nLoopEnd = 500;
    const std::string in = (dir / "in.wav").string();
    WriteFile(in, MakeWav(spec));

    const std::string out = (dir / "out.WAV").string();
    CRun run = RunCli({"convert", in, "-o", out, "--loop", "100:900"});
    ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
    EXPECT_EQ(run.m_strOut, "");
    std::string bytes = ReadFile(out);
    EXPECT_EQ(bytes.size(), 44u + 68u + 4000u);  // 16-bit stereo with a smpl chunk
    EXPECT_NE(RunCli({"info", out}).m_strOut.find("wav 2ch 44100 Hz 1000 frames unity 60 loop 100-900 "),
              std::string::npos);

    // Without the loop the input's smpl chunk stays, less its loop record.
    run = RunCli({"convert", in, "-o", out, "--no-loop"});
    ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
    EXPECT_EQ(ReadFile(out).size(), 44u + 8u + 36u + 4000u);

    // No extension: the format of the file read.
    run = RunCli({"convert", in, "-o", (dir / "plain").string()});
    ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
    EXPECT_EQ(ReadFile(dir / "plain").substr(0, 4), "RIFF");
}

TEST(CliProgram, ConvertToAnUnknownExtensionFailsWithoutWriting)
{
    CTempFolder dir;
    const std::string in = (dir / "in.wav").string();
    WriteFile(in, MakeWav(CWavSpec{}));
    for (const char* name : {"out.aif", "out."}) {
        const CRun run = RunCli({"convert", in, "-o", (dir / name).string()});
        ExpectOneErrorLine(run, 1, "Failed to save document.");
        EXPECT_FALSE(fs::exists(dir / name));
    }
    EXPECT_NE(RunCli({"convert", in, "-o", (dir / "out.aif").string()}).m_strErr.find(".wav or .xi"),
              std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(CliProgram, StereoWavSavedAsXiKeepsTheFirstChannelAndSaysSo)
{
    CTempFolder dir;
    CWavSpec spec;
    spec.m_nChannels = 2;
    spec.m_nFrames = 1000;
    const std::string in = (dir / "stereo take.wav").string();
    WriteFile(in, MakeWav(spec));
    const std::string out = (dir / "mono.xi").string();
    CRun run = RunCli({"convert", in, "-o", out});
    ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
    EXPECT_EQ(run.m_strErr, "ringseam-cli: XI supports only mono samples. Only first channel will be written.\n");
    const std::string xi = ReadFile(out);
    ASSERT_EQ(xi.size(), 298u + 40u + 2000u);
    EXPECT_EQ(xi.substr(0, 21), "Extended Instrument: ");
    // The instrument is named after the input file, extension included.
    EXPECT_EQ(xi.substr(21, 22), "stereo take.wav       ");
    EXPECT_NE(RunCli({"info", out}).m_strOut.find("xi 1ch 44100 Hz 1000 frames"), std::string::npos);

    run = RunCli({"convert", in, "-o", out, "--quiet"});
    EXPECT_EQ(run.m_nCode, 0);
    EXPECT_EQ(run.m_strErr, "");
}

TEST(CliProgram, XiSampleChoiceComesFromTheOption)
{
    CTempFolder dir;
    CXiSample empty, first, second;
    first.m_values = XiTone(1000, 16);
    second.m_nBits = 8;
    second.m_values = XiTone(500, 8);
    const std::string path = (dir / "three.xi").string();
    WriteFile(path, MakeXi({empty, first, second}));

    ExpectOneErrorLine(RunCli({"info", path}), 1, "2 non-empty samples");
    for (const char* k : {"0", "3", "-1"})
        ExpectOneErrorLine(RunCli({"info", path, "--xi-sample", k}), 1, "Entered value is incorrect.");
    ExpectOneErrorLine(RunCli({"convert", path, "-o", (dir / "o.wav").string()}), 1, "2 non-empty samples");
    EXPECT_FALSE(fs::exists(dir / "o.wav"));

    EXPECT_NE(RunCli({"info", path, "--xi-sample", "1"}).m_strOut.find(" 1000 frames "), std::string::npos);
    EXPECT_NE(RunCli({"info", path, "--xi-sample", "2"}).m_strOut.find(" 500 frames "), std::string::npos);

    // One non-empty sample: no choice needed, the option is not consulted.
    const std::string single = (dir / "single.xi").string();
    WriteFile(single, MakeXi({empty, empty, second}));
    const CRun run = RunCli({"info", single, "--xi-sample", "9"});
    EXPECT_EQ(run.m_nCode, 0) << run.m_strErr;
    EXPECT_NE(run.m_strOut.find("xi 1ch 44100 Hz 500 frames"), std::string::npos);
}

TEST(CliProgram, FindLoopPrintsAndSavesTheLoopTheSearchFinds)
{
    CTempFolder dir;
    CWavSpec spec;
    spec.m_nChannels = 2;
    spec.m_nFrames = 60000;
    spec.m_bLoop = true;
    spec.m_nLoopStart = 5000;
    spec.m_nLoopEnd = 40000;
    const fs::path in = dir / "in.wav";
    WriteFile(in, MakeWav(spec));

    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{}, {"--loop", "20000:50000"}, {"--no-loop"}}) {
        CLoadedDoc expected(in);
        if (extra.size() == 2) {
            expected.doc.m_nLoopStart = 20000;
            expected.doc.m_nLoopEnd = 50000;
        } else if (extra.size() == 1) {
            expected.doc.m_bHasLoop = false;
        }
        expected.doc.FindLoop();
        const std::string out = (dir / "out.wav").string();
        std::vector<std::string> args = {"find-loop", in.string(), "-o", out};
        args.insert(args.end(), extra.begin(), extra.end());
        const CRun run = RunCli(args);
        ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
        const std::string loop =
            std::to_string(expected.doc.m_nLoopStart) + " " + std::to_string(expected.doc.m_nLoopEnd);
        EXPECT_EQ(run.m_strOut, "loop " + loop + "\n");
        const std::string dash = std::to_string(expected.doc.m_nLoopStart) + "-" +
                                 std::to_string(expected.doc.m_nLoopEnd);
        EXPECT_NE(RunCli({"info", out}).m_strOut.find(" loop " + dash + " "), std::string::npos);
    }
}

TEST(CliProgram, FindLoopWithCrossfadeReportsItsLengthAndChangesTheFrames)
{
    CTempFolder dir;
    CWavSpec spec;
    spec.m_nFrames = 60000;
    const fs::path in = dir / "in.wav";
    WriteFile(in, MakeWav(spec));

    const CRun plain = RunCli({"find-loop", in.string(), "--json", "-o", (dir / "plain.wav").string()});
    const CRun faded = RunCli({"find-loop", in.string(), "--json", "--crossfade", "-o", (dir / "faded.wav").string()});
    ASSERT_EQ(plain.m_nCode, 0) << plain.m_strErr;
    ASSERT_EQ(faded.m_nCode, 0) << faded.m_strErr;
    EXPECT_TRUE(IsValidJson(plain.m_strOut)) << plain.m_strOut;
    EXPECT_TRUE(IsValidJson(faded.m_strOut)) << faded.m_strOut;
    EXPECT_NE(plain.m_strOut.find("\"crossfade_length\":0"), std::string::npos);

    CLoadedDoc expected(in);
    expected.doc.FindLoopCrossfade();
    EXPECT_NE(faded.m_strOut.find("\"crossfade_length\":" + std::to_string(expected.doc.CrossfadeLengthForLoop())),
              std::string::npos)
        << faded.m_strOut;
    EXPECT_GT(expected.doc.CrossfadeLengthForLoop(), 0);
    EXPECT_NE(ReadFile(dir / "plain.wav"), ReadFile(dir / "faded.wav"));
}

TEST(CliProgram, CombFilterRemovesAConstantSignal)
{
    CTempFolder dir;
    CWavSpec spec;
    spec.m_nFrames = 4000;
    spec.m_signal = [](int, int) { return 0.5; };
    const std::string in = (dir / "in.wav").string();
    WriteFile(in, MakeWav(spec));
    const std::string out = (dir / "out.wav").string();
    const CRun run = RunCli({"comb-filter", in, "-o", out});
    ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
    const auto values = WavData16(ReadFile(out));
    ASSERT_EQ(values.size(), 4000u);
    // Where every block lies wholly inside the sample; the last blocks also
    // see the silence after the end and so are not constant.
    for (std::size_t f = 0; f < 3072; ++f)
        ASSERT_EQ(values[f], 0) << "frame " << f;
    EXPECT_NE(ReadFile(in), ReadFile(out));
}

TEST(CliProgram, ScoreIsNearZeroForAWholeNumberOfPeriods)
{
    CTempFolder dir;
    CWavSpec spec;
    spec.m_nFrames = 30000;
    spec.m_signal = [](int f, int) { return 0.8 * std::sin(2 * 3.141592653589793 * f / 100.0); };
    const std::string in = (dir / "steady.wav").string();
    WriteFile(in, MakeWav(spec));

    const CRun aligned = RunCli({"score", in, "--loop", "1000:11000"});
    ASSERT_EQ(aligned.m_nCode, 0) << aligned.m_strErr;
    const auto lines = aligned.OutLines();
    ASSERT_EQ(lines.size(), 3u) << aligned.m_strOut;
    ASSERT_TRUE(StartsWith(lines[0], "score "));
    ASSERT_TRUE(StartsWith(lines[1], "found "));
    // 100 whole periods: the loop does not detune the tone.
    EXPECT_TRUE(StartsWith(lines[2], "detune 0 ct against A4 +3.9 ct (441.0 Hz)")) << lines[2];
    const double good = std::stod(lines[0].substr(6));
    EXPECT_LT(good, 1e-3);
    // The seam metrics of the loop: a clean seam, level and timbre matched.
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, std::regex("score \\S+ seam (\\S+) level (\\S+) dB timbre (\\S+) dB attack no sustain \\S+ dB tail no")))
        << lines[0];
    EXPECT_LE(std::stod(m[1]), 1.5);
    EXPECT_LT(std::stod(m[2]), 0.01);
    EXPECT_LT(std::stod(m[3]), 1.0);

    const CRun off = RunCli({"score", in, "--loop", "1000:11050", "--json"});
    ASSERT_EQ(off.m_nCode, 0) << off.m_strErr;
    EXPECT_TRUE(IsValidJson(off.m_strOut)) << off.m_strOut;
    const auto at = off.m_strOut.find("\"score\":");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(std::stod(off.m_strOut.substr(at + 8)), 100 * good + 0.01);
    // Half a period off, the wave jumps at the seam.
    EXPECT_GT(std::stod(JsonMember(off.m_strOut, "seam")), 10.0);
    EXPECT_EQ(JsonMember(off.m_strOut, "in_attack"), "false");
    EXPECT_EQ(JsonMember(off.m_strOut, "in_tail"), "false");
    // Auto Loop's pick of the steady tone: long, in tune, no flags.
    EXPECT_NE(JsonMember(off.m_strOut, "auto_start"), "null");
    for (const char* key : {"auto_noise", "auto_short"})
        EXPECT_EQ(JsonMember(off.m_strOut, key), "false") << key;
    EXPECT_LE(std::fabs(std::stod(JsonMember(off.m_strOut, "auto_detune_cents"))), 1.0);
    EXPECT_EQ(JsonMember(off.m_strOut, "auto_detune_reason"), "null");

    // An octave up from frame 20000 at the same level: level and timbre
    // each in their own member.
    spec.m_signal = [](int f, int) { return 0.8 * std::sin(2 * 3.141592653589793 * f / (f < 20000 ? 100.0 : 50.0)); };
    WriteFile(in, MakeWav(spec));
    const CRun octave = RunCli({"score", in, "--loop", "10000:30000", "--json"});
    EXPECT_LT(std::stod(JsonMember(octave.m_strOut, "level_db")), 0.05) << octave.m_strOut;
    EXPECT_GT(std::stod(JsonMember(octave.m_strOut, "timbre_db")), 20.0) << octave.m_strOut;
}

}  // namespace

namespace {

TEST(CliProgram, ProgressBarsOnlyOnATerminal)
{
    CTempFolder dir;
    WriteFile(dir / "a.wav", MakeWav(CWavSpec{}));
    WriteFile(dir / "b.wav", MakeWav(CWavSpec{}));
    const std::string a = (dir / "a.wav").string();

    const CRun single = RunCliOnTerminal({"find-loop", a});
    EXPECT_EQ(single.m_nCode, 0) << single.m_strOut;
    EXPECT_TRUE(single.m_strOut.find("Computing FFT [") != std::string::npos) << single.m_strOut;
    EXPECT_TRUE(single.m_strOut.find("loop ") != std::string::npos);
    EXPECT_EQ(RunCliOnTerminal({"find-loop", a, "--quiet"}).m_strOut.find("Computing FFT"), std::string::npos);
    EXPECT_EQ(RunCli({"find-loop", a}).m_strErr, "");

    const CRun batch = RunCliOnTerminal({"batch", dir.Path().string(), "--out-dir", (dir / "out").string(), "-j1"});
    EXPECT_EQ(batch.m_nCode, 0) << batch.m_strOut;
    EXPECT_TRUE(batch.m_strOut.find("/2] elapsed ") != std::string::npos) << batch.m_strOut;
    EXPECT_EQ(RunCli({"batch", dir.Path().string(), "--out-dir", (dir / "out").string()}).m_strErr, "");
}

TEST(CliProgram, PitchComparesStoredDetectedAndNamedKeyAndWritesTheTuning)
{
    CTempDir dir;
    CWavSpec spec;
    spec.m_nFrames = 44100;
    spec.m_nUnityNote = 69;
    spec.m_bLoop = true;  // (the unity note goes into the loop's chunk)
    spec.m_nLoopEnd = 10000;
    // 441 Hz: A4 + 3.9 cents; the name says A3, an octave below.
    spec.m_signal = [](int f, int) { return 0.5 * std::sin(2 * 3.141592653589793 * f / 100.0); };
    const std::string in = (dir / "Flute_A3.wav").string(), out = (dir / "tuned.wav").string();
    WriteFile(in, MakeWav(spec));
    spec.m_signal = [](int f, int) { return 0.5 * std::sin(2 * 3.141592653589793 * f / 101.0); };
    WriteFile(dir / "G9.wav", MakeWav(spec));  // 436.6 Hz: no whole number of octaves from G9
    spec.m_signal = [](int f, int) { return 0.5 * std::fmod(std::sin(f * 12.9898) * 43758.5453, 1.0); };
    WriteFile(dir / "noise.wav", MakeWav(spec));
    spec.m_signal = [](int f, int) { return 0.5 * std::sin(2 * 3.141592653589793 * f / 50.0); };
    spec.m_nUnityNote = 93;
    WriteFile(dir / "low.wav", MakeWav(spec));  // 882 Hz stored as A6: an octave off

    const CRun run =
        RunCli({"pitch", in, (dir / "G9.wav").string(), (dir / "noise.wav").string(), (dir / "low.wav").string()});
    EXPECT_EQ(run.m_nCode, 1);
    ASSERT_EQ(run.OutLines().size(), 3u) << run.m_strOut;
    EXPECT_EQ(run.OutLines()[0], in + ": stored 69 + 0.0 ct (A4 +0.0 ct) detected A4 +3.9 ct (441.0 Hz) "
                                      "confidence 1.00 difference +3.9 ct key A3 +12.04 semitones");
    ASSERT_EQ(run.ErrLines().size(), 3u) << run.m_strErr;
    EXPECT_NE(run.ErrLines()[0].find("G9.wav: warning: the pitch lies "), std::string::npos) << run.m_strErr;
    EXPECT_TRUE(run.ErrLines()[1].ends_with("noise.wav: No steady pitch was found.")) << run.m_strErr;
    EXPECT_NE(run.ErrLines()[2].find("low.wav: warning: The pitch lies 1 octave below the stored note A6:"),
              std::string::npos)
        << run.m_strErr;

    ASSERT_EQ(RunCli({"pitch", in, "--write", "-o", out}).m_nCode, 0);
    const std::string json = RunCli({"info", out, "--json"}).m_strOut;
    EXPECT_EQ(JsonMember(json, "unity_note"), "69");
    const CRun batch = RunCli({"batch", "--tune", in, "--out-dir", (dir / "b").string(), "--json"});
    EXPECT_EQ(JsonMember(batch.m_strOut, "pitch_fraction"), JsonMember(json, "pitch_fraction"));
    EXPECT_NEAR(std::stod(JsonMember(json, "pitch_fraction")) / 4294967296.0, 0.0392, 1e-3);
}

}  // namespace
