#include "cli/CliOptions.h"

#include "analysis/AutoLoop.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

using C = ECliCommand;

const std::vector<CCliCommandInfo> kCommands = {
    {C::Info, "info", "FILE... [--json]", "print the format, length, loop and bank layout of samples",
     "Opens each FILE and prints one line: the format (wav or xi), channels, sample rate, frames, MIDI unity "
     "note, the loop (start-end, end exclusive, or none), the spectral bank layout (bank size x bank "
     "count), how the file stores its samples: bits per sample and pcm (integers) or float, and the "
     "stored tuning: the unity note and the fraction of a semitone above it, in cents. With --json, one "
     "JSON object per file and line, those as bits, encoding and pitch_fraction (in 1/2^32 semitone, as "
     "the smpl chunk stores it). A file with further loops or a release marker gets an indented line for "
     "each ('loop K START-END TYPE', 'release FRAME'); in JSON every loop is in loops and the marker in "
     "release (null without one)."},
    {C::Convert, "convert", "FILE -o OUT", "save a sample as WAV or XI",
     "Opens FILE and saves it to OUT. The format follows OUT's extension: .wav writes 16-bit PCM, or "
     "FILE's own encoding when it has more than 16 bits (24-bit stays 24-bit, float stays float), with "
     "the loop in a smpl chunk and every other chunk of a WAV FILE kept; .xi writes an XI instrument "
     "(the whole instrument again when FILE was one) with 16-bit samples. Without an extension OUT gets "
     "FILE's format; any other extension fails."},
    {C::FindLoop, "find-loop", "FILE [-o OUT] [--auto [--loops K]] [--crossfade]", "find the most seamless loop",
     "Runs Find Loop on FILE: starting from its loop (or --loop, or the whole sample), settles the loop "
     "start on a zero crossing and picks the loop end whose following frames best continue the frames "
     "after the loop start. With --auto runs Auto Loop instead: ignoring any loop the file has, it finds "
     "the steady part of the sound (after the attack, before the release) and places there the longest "
     "loop whose level, spectrum and waveform match across the splice; a sample without a steady part "
     "long enough (silence, a click, noise bursts) fails with a message and is not saved. Use --auto for "
     "raw recordings. With --crossfade the frames are read again from FILE, the loop is found, and the "
     "frames before the loop end are crossfaded into those before the loop start (Find Loop + Crossfade, "
     "or Auto Loop + Crossfade with --auto). Prints 'loop START END' (and 'release FRAME' with --release; --release "
     "without a frame places the marker after the loop found). With --auto --loops K places up to K distinct "
     "loops instead of one and prints a 'loop START END' line for each, best first. With -o saves the result "
     "like convert."},
    {C::Curves, "curves", "FILE", "print the begin-loop and end-loop curves as CSV",
     "Prints the per-bank suitability curves as CSV with the header bank,begin_loop,end_loop, one row per "
     "bank; 1 is best, -1 marks a bank without a value. The end-loop curve follows the loop start, so "
     "--loop and --no-loop change it."},
    {C::CombFilter, "comb-filter", "FILE -o OUT", "apply the spectral comb filter",
     "Replaces every channel of FILE by its resynthesis from seven spectral bins per 1024-frame block "
     "(bins 1, 17, 33, 49, 65, 81 and 97) and saves the result to OUT like convert."},
    {C::Batch, "batch", "FILE_OR_DIR... --out-dir DIR", "find loops in many files in parallel",
     "Runs Find Loop (or, with --crossfade, Find Loop + Crossfade) on every FILE and on the .wav and .xi "
     "files of every DIR (sorted; --recursive descends into subfolders) and saves each result into the "
     "output folder under the input's name, with the extension of --format or of the input's own format. "
     "For raw recordings give --auto: Auto Loop (or Auto Loop + Crossfade) then places each loop in the "
     "steady part of the sound, where Find Loop from the whole sample would start it in the attack; a "
     "file without a steady part long enough fails; --loops K places up to K distinct loops in each file. "
     "Files are processed in parallel; the results are printed in input order, one line per file: the "
     "loop, the crossfade length and the seam score of the loop found (lower is better). A file that "
     "fails is reported and skipped. Input files are never overwritten, and an output folder that holds "
     "inputs is refused unless --overwrite is given. With --tune each sample's pitch is detected too and "
     "stored as its tuning (shown after the score)."},
    {C::Score, "score", "FILE --loop S:E", "rate a loop and show the loop the search would pick",
     "Prints the seam score of the loop S:E (lower is better: the weighted mismatch between the frames "
     "after the loop start and those after the loop end) with the loop's seam metrics, and then the loop "
     "that Find Loop picks when it starts from S:E, with its score. The metrics: seam, the largest second "
     "difference across the splice divided by the 99.5th percentile of those inside the loop (1.5 or less "
     "is clean); level, the dB difference between the 20 ms before the loop end and the 20 ms after the "
     "loop start; timbre, the RMS dB difference between the spectra of the 2048 frames before the end and "
     "after the start; attack, whether the loop starts before the sound first reaches 80 % of its peak; "
     "sustain, the dB of the loop's RMS against the sustain level (the 90th percentile of the 10 ms "
     "envelope); tail, whether that is under -6 dB, a loop in a release or a fade. With --json also the "
     "loop Auto Loop picks (auto_start, auto_end; null when none) and what it could not give: auto_noise, "
     "the sound has no pitch, so the loop is not a whole number of periods; auto_short, no clean loop is "
     "as long as wanted (50 ms, and a fifth of a steady part longer than 0.5 s); auto_detune_cents, the "
     "pitch shift the loop's length causes against the detected pitch (the search's own period when "
     "there is none), over 1 cent only when auto_detune_reason says why: no_closer_length, no whole "
     "number of frames comes closer (a loop of a few short periods), or no_clean_splice, none of the "
     "lengths that do gives a clean splice. Last, the detune the loop's length causes against the detected "
     "pitch: looping makes the tone repeat after the loop's length, so it sounds at the nearest whole "
     "number of periods in it."},
    {C::Loops, "loops", "FILE... [--csv|--json]", "print every loop and the release marker of samples",
     "Opens each FILE and prints its loops and release marker as a table that apply-loops reads back. "
     "CSV (the default, --csv) has the header file,loop,start,end,type and one row per loop: its number "
     "from 1, start and end frames (end exclusive) and type (forward, alternating, backward); the release "
     "marker is the row whose loop column says release, with its frame as start. With --json, one object "
     "per file and line: path, loops (start, end, type) and release (null without one)."},
    {C::ApplyLoops, "apply-loops", "TABLE -o DIR", "write the loops of a table into copies of its files",
     "Reads TABLE (CSV as the loops command prints it, e.g. edited by hand or made by another program, or "
     "the JSON loops --json prints, one object per file on a line or spread over many) and "
     "writes each file it names into the folder DIR under the same name, with exactly the table's loops "
     "and, where the table has a release row, that release marker; every other chunk is kept. The whole "
     "table is checked first: a malformed row, a loop outside the sample, reversed or empty, or reaching "
     "past the release marker, a release marker beyond the end, a file that cannot be read, or a result "
     "that would replace its input or another result, is reported with its line and nothing is written."},
    {C::ExportLoop, "export-loop", "FILE -o OUT [--number K]", "write one loop alone as a looping sample",
     "Writes the frames of FILE's loop K (default 1, the first) alone to OUT, with one loop from its first "
     "to its last frame, so that a player repeats exactly those frames. The format follows OUT like "
     "convert. Fails when FILE has no loop K."},
    {C::Trim, "trim", "FILE --start --end -o OUT [--threshold DB] [--fade MS]",
     "cut leading silence and the decayed tail",
     "With --start cuts the silence before the sound first reaches the threshold (default -60 dB below "
     "the peak), leaving a fade-in of --fade milliseconds (default 2); with --end cuts the tail after the "
     "sound has last been above the threshold, with a fade-out of the same length. Nothing is cut or "
     "faded inside a loop or before the release marker; loops and release marker move with the frames. "
     "Prints the frames cut at each end and saves to OUT like convert."},
    {C::Pitch, "pitch", "FILE... [--json] [--write -o OUT]", "detect the pitch and compare it with the stored tuning",
     "Detects the pitch of each FILE's steady part and prints the tuning the file stores (the unity note "
     "and the fraction of a semitone above it), the pitch detected (the nearest note with signed cents, the "
     "frequency and a confidence from 0 to 1), and the difference between them in cents. When the file "
     "name gives a key, as a note number at its start (036-C.wav) or a note name with its octave "
     "(Flute_C4.wav, A#5), it also prints how many semitones the pitch lies from that key, with a warning "
     "(not a failure) when that is not a whole number of octaves: a 16' organ stop rightly sounds an "
     "octave below its key. A pitch a whole number of octaves from the stored tuning is warned of too (an "
     "octave error in the file, or a rank or voice sounding an octave from its key). A file without a steady pitch (noise, a drum, a click) fails with a message. "
     "With --write -o OUT the detected tuning is stored and the result saved to OUT like convert."},
};

const std::vector<CCliOptionInfo> kOptions = {
    {"--output", "-o", "OUT", {C::Convert, C::FindLoop, C::CombFilter, C::ExportLoop, C::Trim, C::ApplyLoops, C::Pitch},
     "Save the result to OUT (.wav or .xi; no extension keeps the input's format); for apply-loops, the "
     "folder for the results."},
    {"--out-dir", nullptr, "DIR", {C::Batch}, "Folder for the results (created when missing)."},
    {"--crossfade", nullptr, nullptr, {C::FindLoop, C::Batch},
     "Run Find Loop + Crossfade instead of Find Loop (with --auto: Auto Loop + Crossfade)."},
    {"--auto", nullptr, nullptr, {C::FindLoop, C::Batch},
     "Run Auto Loop: place the loop in the steady part of the sound, ignoring any loop the file has. "
     "Recommended for raw recordings. With --json also what Auto Loop could not give, as score --json "
     "reports it: auto_noise, auto_short and auto_detune_cents."},
    {"--format", nullptr, "wav|xi", {C::Batch}, "Format of the results (default: each input's own)."},
    {"--jobs", "-j", "N", {C::Batch}, "Process N files at a time (default: one per processor core)."},
    {"--recursive", "-r", nullptr, {C::Batch},
     "Also take the samples in subfolders of each DIR; their results go into the same subfolders of the "
     "output folder."},
    {"--overwrite", nullptr, nullptr, {C::Batch},
     "Allow an output folder that holds inputs (inputs themselves are never replaced)."},
    {"--write", nullptr, nullptr, {C::Pitch}, "Store the detected tuning and save the result to OUT (-o)."},
    {"--tune", nullptr, nullptr, {C::Batch},
     "Also detect each sample's pitch and store it as the unity note and pitch fraction; a sample "
     "without a steady pitch fails."},
    {"--loop", nullptr, "S:E", {},
     "After loading, set the loop to frames S (first) to E (exclusive) exactly as given."},
    {"--no-loop", nullptr, nullptr, {}, "After loading, remove the loop."},
    {"--xi-sample", nullptr, "K", {},
     "For an XI instrument with several non-empty samples, load the K-th of them (from 1)."},
    {"--json", nullptr, nullptr, {}, "Print JSON, one object per file and line."},
    {"--release", nullptr, "[N]", {},
     "Set the release marker to frame N; without N (or with auto) place it by Find Release, where the "
     "level starts its final fall after the last loop (in find-loop and batch, after the loop search)."},
    {"--csv", nullptr, nullptr, {C::Loops}, "Print CSV (the default)."},
    {"--start", nullptr, nullptr, {C::Trim}, "Cut the leading silence."},
    {"--end", nullptr, nullptr, {C::Trim}, "Cut the decayed tail."},
    {"--trim", nullptr, nullptr, {C::Batch}, "After the loop search, cut leading silence and the decayed tail."},
    {"--threshold", nullptr, "DB", {C::Trim, C::Batch},
     "Trim: the level, in dB below the peak, that counts as sound (default -60)."},
    {"--fade", nullptr, "MS", {C::Trim, C::Batch}, "Trim: the fade at each cut end, in milliseconds (default 2)."},
    {"--number", nullptr, "K", {C::ExportLoop}, "The loop to export, from 1 (default 1)."},
    {"--loops", nullptr, "K", {C::FindLoop, C::Batch},
     "With --auto: place up to K distinct loops (1 to 16), best first; each is clean with its levels "
     "matched, and their starts and their ends lie at least 100 ms apart. Every loop the file had is "
     "replaced. When fewer clean loops exist, those found are kept and a line says how many (in JSON, "
     "loops_found beside loops_asked)."},
    {"--quiet", "-q", nullptr, {}, "No progress and no informational messages; errors are still printed."},
    {"--help", "-h", nullptr, {}, "Show this help and exit."},
};

const CCliOptionInfo* FindOption(const std::string& name)
{
    for (const auto& o : kOptions)
        if (name == o.m_pszLong || (o.m_pszShort && name == o.m_pszShort))
            return &o;
    return nullptr;
}

std::string CommandName(C command)
{
    const CCliCommandInfo* info = FindCliCommand(command);
    return info ? info->m_pszName : "";
}

[[noreturn]] void Fail(const std::string& message, C command)
{
    throw CUsageError(message, command);
}

void Store(CCliOptions& opt, const CCliOptionInfo& o, const std::string& name, const std::string& value)
{
    const std::string key = o.m_pszLong;
    const C cmd = opt.m_command;
    if (key == "--output") {
        if (value.empty())
            Fail("option '" + name + "' needs a file name", cmd);
        opt.m_strOutput = value;
    } else if (key == "--out-dir") {
        if (value.empty())
            Fail("option '--out-dir' needs a folder name", cmd);
        opt.m_strOutDir = value;
    } else if (key == "--crossfade") {
        opt.m_bCrossfade = true;
    } else if (key == "--auto") {
        opt.m_bAuto = true;
    } else if (key == "--format") {
        std::string f = value;
        std::transform(f.begin(), f.end(), f.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
        if (f != "wav" && f != "xi")
            Fail("option '--format' expects wav or xi, not '" + value + "'", cmd);
        opt.m_strFormat = f;
    } else if (key == "--jobs") {
        const auto n = ParseIntArgument(value);
        if (!n || *n < 1)
            Fail("option '" + name + "' expects a whole number of at least 1, not '" + value + "'", cmd);
        opt.m_nJobs = *n;
    } else if (key == "--recursive") {
        opt.m_bRecursive = true;
    } else if (key == "--overwrite") {
        opt.m_bOverwrite = true;
    } else if (key == "--loop") {
        const auto loop = ParseLoopArgument(value);
        if (!loop)
            Fail("option '--loop' expects S:E with whole frame numbers 0 <= S < E, not '" + value + "'", cmd);
        opt.m_bSetLoop = true;
        opt.m_nLoopStart = loop->first;
        opt.m_nLoopEnd = loop->second;
    } else if (key == "--no-loop") {
        opt.m_bNoLoop = true;
    } else if (key == "--xi-sample") {
        const auto k = ParseIntArgument(value);
        if (!k)
            Fail("option '--xi-sample' expects a whole number, not '" + value + "'", cmd);
        opt.m_nXISample = *k;
    } else if (key == "--json") {
        opt.m_bJson = true;
    } else if (key == "--quiet") {
        opt.m_bQuiet = true;
    } else if (key == "--help") {
        opt.m_bHelp = true;
    } else if (key == "--release") {
        opt.m_bSetRelease = true;
        opt.m_bFindRelease = value == "auto";
        const auto n = ParseIntArgument(value);
        if (!opt.m_bFindRelease && (!n || *n < 0))
            Fail("option '--release' expects a frame number of at least 0 or auto, not '" + value + "'", cmd);
        opt.m_nRelease = n.value_or(0);
    } else if (key == "--csv") {
        opt.m_bCsv = true;
    } else if (key == "--start") {
        opt.m_bTrimStart = true;
    } else if (key == "--end") {
        opt.m_bTrimEnd = true;
    } else if (key == "--trim") {
        opt.m_bTrim = true;
    } else if (key == "--threshold" || key == "--fade") {
        char* end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        const bool bThreshold = key == "--threshold";
        if (value.empty() || *end != '\0' || !std::isfinite(v) || (bThreshold ? v >= 0.0 : v < 0.0))
            Fail("option '" + key + "' expects " +
                     (bThreshold ? "a level in dB below 0" : "a length in milliseconds of at least 0") + ", not '" +
                     value + "'",
                 cmd);
        (bThreshold ? opt.m_dThresholdDb : opt.m_dFadeMs) = v;
    } else if (key == "--loops") {
        const auto k = ParseIntArgument(value);
        if (!k || *k < 1 || *k > kMaxAutoLoops)
            Fail("option '--loops' expects a whole number from 1 to " + std::to_string(kMaxAutoLoops) + ", not '" +
                     value + "'",
                 cmd);
        opt.m_nAutoLoops = *k;
    } else if (key == "--number") {
        const auto k = ParseIntArgument(value);
        if (!k || *k < 1)
            Fail("option '--number' expects a whole number of at least 1, not '" + value + "'", cmd);
        opt.m_nLoopNumber = *k;
    } else if (key == "--write") {
        opt.m_bWrite = true;
    } else if (key == "--tune") {
        opt.m_bTune = true;
    }
}

}  // namespace

const std::vector<CCliCommandInfo>& CliCommands() { return kCommands; }
const std::vector<CCliOptionInfo>& CliOptionTable() { return kOptions; }

const CCliCommandInfo* FindCliCommand(ECliCommand command)
{
    for (const auto& c : kCommands)
        if (c.m_command == command)
            return &c;
    return nullptr;
}

bool CliOptionAppliesTo(const CCliOptionInfo& option, ECliCommand command)
{
    return option.m_commands.empty() ||
           std::find(option.m_commands.begin(), option.m_commands.end(), command) != option.m_commands.end();
}

std::optional<int> ParseIntArgument(const std::string& text)
{
    int value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || first == last)
        return std::nullopt;
    return value;
}

std::optional<std::pair<int, int>> ParseLoopArgument(const std::string& text)
{
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    const auto s = ParseIntArgument(text.substr(0, colon));
    const auto e = ParseIntArgument(text.substr(colon + 1));
    if (!s || !e || *s < 0 || *e <= *s)
        return std::nullopt;
    return std::make_pair(*s, *e);
}

CCliOptions ParseCommandLine(const std::vector<std::string>& args)
{
    CCliOptions opt;
    if (args.empty())
        Fail("no command given", C::None);

    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        opt.m_bHelp = true;
        if (args.size() > 1) {
            // "help COMMAND" shows that command's help.
            for (const auto& c : kCommands)
                if (args[1] == c.m_pszName)
                    opt.m_command = c.m_command;
            if (opt.m_command == C::None)
                Fail("unknown command '" + args[1] + "'", C::None);
        }
        return opt;
    }
    if (first == "--version") {
        opt.m_bVersion = true;
        return opt;
    }
    if (first == "--help-man") {
        opt.m_bHelpMan = true;
        return opt;
    }
    for (const auto& c : kCommands)
        if (first == c.m_pszName)
            opt.m_command = c.m_command;
    if (opt.m_command == C::None) {
        if (!first.empty() && first[0] == '-')
            Fail("unknown option '" + first + "' (a command must come first)", C::None);
        Fail("unknown command '" + first + "'", C::None);
    }
    const C cmd = opt.m_command;
    const std::string cmdName = CommandName(cmd);

    // --help wins over any other mistake on the line.
    for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i)
        if (args[i] == "--help" || args[i] == "-h") {
            opt.m_bHelp = true;
            return opt;
        }

    std::vector<std::string> seen;
    bool onlyInputs = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyInputs || arg.empty() || arg[0] != '-') {
            opt.m_inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyInputs = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
        } else if (arg.size() > 2) {
            // -oOUT, -j4
            name = arg.substr(0, 2);
            inlineValue = arg.substr(2);
        }
        const CCliOptionInfo* o = FindOption(name);
        if (!o)
            Fail("unknown option '" + name + "'", cmd);
        if (!CliOptionAppliesTo(*o, cmd))
            Fail("option '" + name + "' does not apply to '" + cmdName + "'", cmd);
        if (std::find(seen.begin(), seen.end(), std::string(o->m_pszLong)) != seen.end())
            Fail("option '" + name + "' given more than once", cmd);
        seen.emplace_back(o->m_pszLong);
        std::string value;
        if (o->m_pszValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (std::string(o->m_pszValue).front() == '[' &&
                       (i + 1 >= args.size() || (args[i + 1] != "auto" && !ParseIntArgument(args[i + 1])))) {
                value = "auto";  // an optional value left out
            } else {
                if (i + 1 >= args.size())
                    Fail("option '" + name + "' needs a value (" + o->m_pszValue + ")", cmd);
                value = args[++i];
            }
        } else if (inlineValue) {
            Fail("option '" + name + "' takes no value", cmd);
        }
        Store(opt, *o, name, value);
    }

    if (opt.m_bSetLoop && opt.m_bNoLoop)
        Fail("options '--loop' and '--no-loop' exclude each other", cmd);
    if (opt.m_bSetLoop && opt.m_bAuto)
        Fail("options '--loop' and '--auto' exclude each other (Auto Loop ignores the loop)", cmd);
    if (opt.m_nAutoLoops > 0 && !opt.m_bAuto)
        Fail("option '--loops' needs --auto (Auto Loop places the loops)", cmd);
    if (opt.m_nAutoLoops > 0 && opt.m_bCrossfade)
        Fail("options '--loops' and '--crossfade' exclude each other (a crossfade serves one loop)", cmd);
    if (opt.m_bCsv && opt.m_bJson)
        Fail("options '--csv' and '--json' exclude each other", cmd);
    if (cmd == C::Trim && !opt.m_bTrimStart && !opt.m_bTrimEnd)
        Fail("nothing to trim (give --start, --end or both)", cmd);
    if ((cmd == C::ExportLoop || cmd == C::Trim) && opt.m_strOutput.empty())
        Fail("missing output file (-o OUT)", cmd);
    if (cmd == C::ApplyLoops && opt.m_strOutput.empty())
        Fail("missing output folder (-o DIR)", cmd);
    const bool many = cmd == C::Info || cmd == C::Batch || cmd == C::Loops || (cmd == C::Pitch && !opt.m_bWrite);
    if (opt.m_inputs.empty())
        Fail(std::string("missing input ") + (cmd == C::Batch ? "file or folder" : "file"), cmd);
    if (!many && opt.m_inputs.size() > 1)
        Fail("'" + cmdName + "' takes one input file, not " + std::to_string(opt.m_inputs.size()), cmd);
    if ((cmd == C::Convert || cmd == C::CombFilter) && opt.m_strOutput.empty())
        Fail("missing output file (-o OUT)", cmd);
    if (cmd == C::Batch && opt.m_strOutDir.empty())
        Fail("missing output folder (--out-dir DIR)", cmd);
    if (cmd == C::Score && !opt.m_bSetLoop)
        Fail("missing loop to rate (--loop S:E)", cmd);
    if (cmd == C::Pitch && opt.m_bWrite && opt.m_strOutput.empty())
        Fail("missing output file (-o OUT) for --write", cmd);
    if (cmd == C::Pitch && !opt.m_bWrite && !opt.m_strOutput.empty())
        Fail("option '-o' saves the detected tuning only with --write", cmd);
    return opt;
}
