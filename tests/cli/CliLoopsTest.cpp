// loops, apply-loops, export-loop, trim and --release through the real program.
#include "CliTestSupport.h"

#include <gtest/gtest.h>

using namespace clitest;

namespace {

// A table for `path` (20000 frames) with two loops and a release marker,
// plus `extra` rows.
std::string Table(const std::string& path, const std::string& extra = {})
{
    return "file,loop,start,end,type\n" + path + ",1,2000,9000,forward\n" + path + ",2,3000,8000,alternating\n" +
           path + ",release,12000,,\n" + extra;
}

}  // namespace

TEST(CliLoops, ATableWrittenIntoCopiesReadsBackTheSame)
{
    CTempDir dir;
    const std::string in = (dir / "a.wav").string();
    WriteFile(in, MakeWav({}));
    WriteFile(dir / "t.csv", Table(in));
    const CRun run = RunCli({"apply-loops", (dir / "t.csv").string(), "-o", (dir / "out").string()});
    ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
    const std::string out = (dir / "out/a.wav").string();
    EXPECT_EQ(RunCli({"loops", out}).m_strOut, Table(out));
    EXPECT_EQ(JsonMember(RunCli({"info", "--json", out}).m_strOut, "release"), "12000");
    // The input itself is untouched.
    EXPECT_EQ(RunCli({"loops", in}).m_strOut, "file,loop,start,end,type\n");
}

TEST(CliLoops, ABadRowIsNamedAndNothingIsWritten)
{
    CTempDir dir;
    const std::string in = (dir / "a.wav").string(), other = (dir / "b.wav").string();
    WriteFile(in, MakeWav({}));
    WriteFile(other, MakeWav({}));
    const std::string good = other + ",1,100,200,forward\n";  // a file listed before the bad row
    for (const std::string& bad : {in + ",3,500,400,forward\n", in + ",3,19000,20001,forward\n",
                                   in + ",3,11000,15000,forward\n", in + ",3,x,15000,forward\n",
                                   other + ",release,20001,,\n", in + ",4,100,200,forward\n"}) {
        SCOPED_TRACE(bad);
        WriteFile(dir / "t.csv", Table(in, good + bad));
        const CRun run = RunCli({"apply-loops", (dir / "t.csv").string(), "-o", (dir / "out").string()});
        EXPECT_EQ(run.m_nCode, 1);
        EXPECT_NE(run.m_strErr.find("line "), std::string::npos) << run.m_strErr;
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
}

TEST(CliLoops, TheJsonThatLoopsPrintsAppliesBackOnOneLineOrSpreadOverMany)
{
    CTempDir dir;
    // A quote, a backslash, a control character (written as \u0001) and a u-umlaut.
    const std::string name = "a \"q\" \\ \x01 \xC3\xBC.wav";
    const std::string in = (dir / name).string();
    WriteFile(in, MakeWav({}));
    std::string quoted = "\"";
    for (const char ch : in)
        quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    WriteFile(dir / "t.csv", Table(quoted + "\""));
    ASSERT_EQ(RunCli({"apply-loops", (dir / "t.csv").string(), "-o", (dir / "csv").string()}).m_nCode, 0);
    const std::string json = RunCli({"loops", "--json", (dir / "csv" / name).string()}).m_strOut;
    std::string spread = "[\n";  // as a JSON tool or an editor (with a byte-order mark) writes it
    for (const char ch : json)
        spread += ch == ',' ? std::string(",\n  ") : std::string(1, ch);
    for (const std::string& text : {json, "\xEF\xBB\xBF" + spread + "]\n"}) {
        WriteFile(dir / "t.json", text);
        const CRun run = RunCli({"apply-loops", (dir / "t.json").string(), "-o", (dir / "json").string()});
        ASSERT_EQ(run.m_nCode, 0) << run.m_strErr;
        EXPECT_EQ(ReadFile(dir / "json" / name), ReadFile(dir / "csv" / name));
        fs::remove_all(dir / "json");
    }
    const std::string head = R"({"path": "a.wav", )";
    const std::vector<std::string> bads = {
        head + R"("loops": [{"start": 1, "end": 9}, )",  // cut short
        head + R"("loops": [{"start": 1.5, "end": 9}]})",
        head + R"("loops": [{"start": 1, "end": 9, "type": "sideways"}]})",
        head + R"("release": -1})",
        head + R"("loops": {}})",
        R"({"loops": []})",              // no path
        head + "}\n" + head + "}",       // the same file twice
        std::string(100000, '['),        // nested past any table, deeper than a stack
        R"({"path": "a\q"})",            // an unknown escape
    };
    for (const std::string& bad : bads) {
        SCOPED_TRACE(bad);
        WriteFile(dir / "t.json", bad);
        const CRun run = RunCli({"apply-loops", (dir / "t.json").string(), "-o", (dir / "json").string()});
        EXPECT_EQ(run.m_nCode, 1);
        EXPECT_NE(run.m_strErr.find("line "), std::string::npos) << run.m_strErr;
        EXPECT_FALSE(fs::exists(dir / "json"));
    }
}

TEST(CliLoops, ExportLoopTrimAndRelease)
{
    CTempDir dir;
    const std::string in = (dir / "a.wav").string();
    // 3000 frames of silence before the tone.
    WriteFile(in, MakeWav({.m_nFrames = 20000,
                           .m_bLoop = true,
                           .m_nLoopStart = 5000,
                           .m_nLoopEnd = 9000,
                           .m_signal = [](int f, int c) { return f < 3000 ? 0.0 : TestTone(f, c); }}));
    ASSERT_EQ(RunCli({"export-loop", in, "-o", (dir / "l.wav").string()}).m_nCode, 0);
    EXPECT_NE(RunCli({"info", (dir / "l.wav").string()}).m_strOut.find(" 4000 frames unity 60 loop 0-4000 "),
              std::string::npos);
    EXPECT_EQ(RunCli({"export-loop", in, "--number", "2", "-o", (dir / "m.wav").string()}).m_nCode, 1);

    const CRun trim = RunCli({"trim", in, "--start", "--release", "15000", "-o", (dir / "t.wav").string()});
    ASSERT_EQ(trim.m_nCode, 0) << trim.m_strErr;
    const int cut = 3000 - 88;  // a 2 ms fade-in before the first frame of sound
    EXPECT_EQ(trim.m_strOut, "trimmed " + std::to_string(cut) + " 0\n");
    EXPECT_EQ(RunCli({"loops", (dir / "t.wav").string()}).m_strOut,
              "file,loop,start,end,type\n" + (dir / "t.wav").string() + ",1," + std::to_string(5000 - cut) + "," +
                  std::to_string(9000 - cut) + ",forward\n" + (dir / "t.wav").string() + ",release," +
                  std::to_string(15000 - cut) + ",,\n");
    EXPECT_EQ(RunCli({"info", in, "--release", "20001"}).m_nCode, 1);
}
