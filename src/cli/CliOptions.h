// The command line of ringseam-cli: the commands, the options each accepts
// (one table that the parser, the help and the man page all read), and the
// parsed result. Parsing never touches a file; it throws CUsageError for
// anything the user typed wrong.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

enum class ECliCommand { None, Info, Convert, FindLoop, Curves, CombFilter, Batch, Score, Loops, ApplyLoops, ExportLoop, Trim, Pitch };

// Process exit codes, the same for every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // refused or unreadable input, failed save
inline constexpr int kExitUsage = 2;    // bad command line

inline constexpr const char* kCliName = "ringseam-cli";

// One command: its name, argument synopsis and one-paragraph description.
struct CCliCommandInfo {
    ECliCommand m_command;
    const char* m_pszName;
    const char* m_pszSynopsis;  // after the name, e.g. "FILE -o OUT [options]"
    const char* m_pszSummary;   // one line for the command list
    const char* m_pszDescription;
};

// One option: long name, optional short name, value placeholder (null for a
// flag), the commands that accept it (empty = every command) and its help.
struct CCliOptionInfo {
    const char* m_pszLong;
    const char* m_pszShort;  // null when none
    const char* m_pszValue;  // null for a flag
    std::vector<ECliCommand> m_commands;
    const char* m_pszHelp;
};

const std::vector<CCliCommandInfo>& CliCommands();
const std::vector<CCliOptionInfo>& CliOptionTable();
const CCliCommandInfo* FindCliCommand(ECliCommand command);
bool CliOptionAppliesTo(const CCliOptionInfo& option, ECliCommand command);

struct CCliOptions {
    ECliCommand m_command = ECliCommand::None;
    // Requests that end the run before any file is read.
    bool m_bHelp = false;     // the tool's help, or the command's when m_command is set
    bool m_bVersion = false;
    bool m_bHelpMan = false;  // the manual page in roff, for the build

    std::vector<std::string> m_inputs;  // files (and, for batch, folders), as typed
    std::string m_strOutput;            // -o
    std::string m_strOutDir;            // --out-dir
    std::string m_strFormat;            // --format: "", "wav" or "xi"
    int m_nJobs = 0;                    // --jobs; 0 = one per processor core
    bool m_bJson = false;
    bool m_bQuiet = false;
    bool m_bCrossfade = false;
    bool m_bAuto = false;  // --auto: Auto Loop instead of Find Loop
    bool m_bRecursive = false;
    bool m_bOverwrite = false;
    bool m_bNoLoop = false;
    bool m_bSetLoop = false;  // --loop given: m_nLoopStart/m_nLoopEnd, frames, end exclusive
    int m_nLoopStart = 0;
    int m_nLoopEnd = 0;
    std::optional<int> m_nXISample;  // --xi-sample, 1-based among the non-empty samples

    // --- release marker, trimming, loop tables ---
    bool m_bSetRelease = false;   // --release given: m_nRelease, or Find Release when m_bFindRelease
    bool m_bFindRelease = false;
    int m_nRelease = 0;           // frames
    bool m_bCsv = false;
    bool m_bTrim = false;         // batch --trim: both ends
    bool m_bTrimStart = false;    // trim --start
    bool m_bTrimEnd = false;      // trim --end
    double m_dThresholdDb = -60.0;  // --threshold, dB relative to the peak
    double m_dFadeMs = 2.0;         // --fade, milliseconds
    int m_nLoopNumber = 1;          // --number: which loop export-loop writes, from 1
    // Tuning.
    bool m_bWrite = false;  // pitch --write: save the detected tuning to -o
    bool m_bTune = false;   // batch --tune: store the detected tuning in each result

    // --- Auto Loop of several loops ---
    int m_nAutoLoops = 0;  // --loops K with --auto; 0 = not given (the single Auto Loop)
};

// A mistake on the command line. `m_command` names the command whose help
// applies (None for the tool's).
class CUsageError : public std::runtime_error {
public:
    CUsageError(const std::string& message, ECliCommand command)
        : std::runtime_error(message), m_command(command)
    {
    }
    ECliCommand m_command;
};

// Parses the arguments after the program name. Throws CUsageError.
CCliOptions ParseCommandLine(const std::vector<std::string>& args);

// "S:E" with two whole numbers, 0 ≤ S < E; nullopt when malformed.
std::optional<std::pair<int, int>> ParseLoopArgument(const std::string& text);
// A whole number that fits an int; nullopt when malformed.
std::optional<int> ParseIntArgument(const std::string& text);
