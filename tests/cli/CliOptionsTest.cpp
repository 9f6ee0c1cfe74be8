#include "cli/CliOptions.h"

#include <gtest/gtest.h>

namespace {

CCliOptions Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

std::string UsageError(std::vector<std::string> args)
{
    try {
        ParseCommandLine(args);
    } catch (const CUsageError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(CliOptions, ParsesEveryOptionOfBatch)
{
    const auto o = Parse({"batch", "a.wav", "dir", "--out-dir", "out", "--crossfade", "--format=XI", "-j", "3",
                          "--recursive", "--json", "--overwrite", "--xi-sample", "2", "-q", "--loop", "10:2000"});
    EXPECT_EQ(o.m_command, ECliCommand::Batch);
    EXPECT_EQ(o.m_inputs, (std::vector<std::string>{"a.wav", "dir"}));
    EXPECT_EQ(o.m_strOutDir, "out");
    EXPECT_TRUE(o.m_bCrossfade && o.m_bRecursive && o.m_bJson && o.m_bOverwrite && o.m_bQuiet);
    EXPECT_EQ(o.m_strFormat, "xi");
    EXPECT_EQ(o.m_nJobs, 3);
    EXPECT_EQ(o.m_nXISample, 2);
    EXPECT_TRUE(o.m_bSetLoop);
    EXPECT_EQ(o.m_nLoopStart, 10);
    EXPECT_EQ(o.m_nLoopEnd, 2000);
}

TEST(CliOptions, ShortFormsDoubleDashAndInputsAfterOptions)
{
    auto o = Parse({"find-loop", "-oout.wav", "in.wav"});
    EXPECT_EQ(o.m_strOutput, "out.wav");
    EXPECT_EQ(o.m_inputs, std::vector<std::string>{"in.wav"});
    o = Parse({"info", "--", "-strange-name.wav", "--json"});
    EXPECT_EQ(o.m_inputs, (std::vector<std::string>{"-strange-name.wav", "--json"}));
    EXPECT_FALSE(o.m_bJson);
}

TEST(CliOptions, ReleaseTakesAFrameOrPlacesItWhenLeftOut)
{
    struct Case {
        std::vector<std::string> args;
        bool bFind;
        int frame;
    };
    for (const Case& c : {Case{{"info", "a.wav", "--release", "700"}, false, 700},
                          Case{{"find-loop", "a.wav", "--auto", "--release"}, true, 0},
                          Case{{"find-loop", "--release", "--auto", "a.wav"}, true, 0},
                          Case{{"info", "--release=auto", "a.wav"}, true, 0}}) {
        const auto o = Parse(c.args);
        EXPECT_TRUE(o.m_bSetRelease);
        EXPECT_EQ(o.m_bFindRelease, c.bFind);
        EXPECT_EQ(o.m_nRelease, c.frame);
        EXPECT_EQ(o.m_inputs, std::vector<std::string>{"a.wav"});
    }
}

TEST(CliOptions, HelpAndVersion)
{
    EXPECT_TRUE(Parse({"--help"}).m_bHelp);
    EXPECT_TRUE(Parse({"--version"}).m_bVersion);
    const auto h = Parse({"help", "curves"});
    EXPECT_TRUE(h.m_bHelp);
    EXPECT_EQ(h.m_command, ECliCommand::Curves);
    // --help wins over other mistakes on the line.
    const auto c = Parse({"convert", "--bogus", "--help"});
    EXPECT_TRUE(c.m_bHelp);
    EXPECT_EQ(c.m_command, ECliCommand::Convert);
}

TEST(CliOptions, UsageErrorsNameTheProblem)
{
    EXPECT_EQ(UsageError({}), "no command given");
    EXPECT_EQ(UsageError({"frobnicate", "x.wav"}), "unknown command 'frobnicate'");
    EXPECT_EQ(UsageError({"info", "x.wav", "--bogus"}), "unknown option '--bogus'");
    EXPECT_EQ(UsageError({"info"}), "missing input file");
    EXPECT_EQ(UsageError({"batch", "x.wav"}), "missing output folder (--out-dir DIR)");
    EXPECT_EQ(UsageError({"convert", "x.wav"}), "missing output file (-o OUT)");
    EXPECT_EQ(UsageError({"comb-filter", "x.wav"}), "missing output file (-o OUT)");
    EXPECT_EQ(UsageError({"score", "x.wav"}), "missing loop to rate (--loop S:E)");
    EXPECT_EQ(UsageError({"find-loop", "x.wav", "--loop"}), "option '--loop' needs a value (S:E)");
    EXPECT_EQ(UsageError({"info", "x.wav", "--out-dir", "o"}), "option '--out-dir' does not apply to 'info'");
    EXPECT_EQ(UsageError({"find-loop", "a.wav", "b.wav"}), "'find-loop' takes one input file, not 2");
    EXPECT_EQ(UsageError({"info", "a.wav", "--json", "--json"}), "option '--json' given more than once");
    EXPECT_EQ(UsageError({"info", "a.wav", "--json=1"}), "option '--json' takes no value");
    EXPECT_EQ(UsageError({"info", "a.wav", "--loop", "1:5", "--no-loop"}),
              "options '--loop' and '--no-loop' exclude each other");
    EXPECT_NE(UsageError({"batch", "a", "--out-dir", "o", "--jobs", "0"}).find("at least 1"), std::string::npos);
    EXPECT_NE(UsageError({"batch", "a", "--out-dir", "o", "--format", "aif"}).find("wav or xi"), std::string::npos);
    EXPECT_NE(UsageError({"info", "a", "--xi-sample", "two"}).find("whole number"), std::string::npos);
}

TEST(CliOptions, LoopArgumentSyntax)
{
    EXPECT_EQ(ParseLoopArgument("0:1"), std::make_pair(0, 1));
    EXPECT_EQ(ParseLoopArgument("100:900"), std::make_pair(100, 900));
    for (const char* bad : {"", "5", ":", "5:", ":5", "a:b", "5:5", "9:3", "-1:5", "1.5:3", "1:2:3", " 1:2",
                            "1:99999999999"})
        EXPECT_FALSE(ParseLoopArgument(bad)) << bad;
    EXPECT_NE(UsageError({"find-loop", "x.wav", "--loop", "9:3"}).find("0 <= S < E"), std::string::npos);
}

TEST(CliOptions, IntArguments)
{
    EXPECT_EQ(ParseIntArgument("42"), 42);
    EXPECT_EQ(ParseIntArgument("+3"), 3);
    EXPECT_EQ(ParseIntArgument("-7"), -7);
    EXPECT_FALSE(ParseIntArgument(""));
    EXPECT_FALSE(ParseIntArgument("4x"));
    EXPECT_FALSE(ParseIntArgument("3000000000"));
}

TEST(CliOptions, EveryCommandAcceptsTheCommonOptions)
{
    for (const auto& c : CliCommands()) {
        std::vector<std::string> args = {c.m_pszName, "in.wav", "--json", "--quiet", "--xi-sample", "1",
                                         "--loop", "0:10"};
        if (c.m_command == ECliCommand::Convert || c.m_command == ECliCommand::CombFilter ||
            c.m_command == ECliCommand::ExportLoop || c.m_command == ECliCommand::ApplyLoops)
            args.insert(args.end(), {"-o", "out.wav"});
        if (c.m_command == ECliCommand::Trim)
            args.insert(args.end(), {"-o", "out.wav", "--end"});
        if (c.m_command == ECliCommand::Batch)
            args.insert(args.end(), {"--out-dir", "out"});
        EXPECT_NO_THROW(ParseCommandLine(args)) << c.m_pszName;
    }
}

}  // namespace
