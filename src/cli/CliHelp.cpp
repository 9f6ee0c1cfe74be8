#include "cli/CliHelp.h"

#include "app/ProgramVersion.h"

#include <sstream>
#include <string>

namespace {

constexpr const char* kPurpose = "find seamless sustain loops in WAV and XI samples";
constexpr const char* kExitText =
    "0 when everything succeeded; 1 when an input could not be read or was refused, an operation failed or "
    "a result could not be saved (for batch: when any file failed); 2 for a mistake on the command line. "
    "130 when interrupted (Ctrl+C). No output file is created or changed by a command that fails.";
constexpr const char* kInputText =
    "Inputs are read like the desktop program's File Open: the first four bytes decide between WAV (RIFF) "
    "and XI (Extended Instrument), the spectral banks are computed, and the document's title is the input's "
    "file name. WAV inputs may hold 8-, 16-, 24- or 32-bit integer or 32- or 64-bit floating-point samples, "
    "mono or stereo, with a plain or an extensible format header; compressed data and more than two "
    "channels are refused with the cause. A loop end in a smpl chunk is the last frame played; the loop "
    "ends the commands print and take (--loop S:E) are exclusive. Saving writes a temporary file next to "
    "the target and renames it over the target only once it is complete. A WAV save stores 8- and 16-bit "
    "samples as 16-bit and wider ones in the input's own encoding, so no sample value changes; it keeps "
    "every chunk of a WAV input that Ringseam does not own (LIST, cue, inst, bext, further loops and the "
    "other fields of smpl, unknown chunks) byte for byte and in order, recomputes fact and drops PEAK. An "
    "XI save stores 16-bit samples and keeps a ping-pong loop while the loop is unchanged.";

// Words of `text` wrapped to `width` columns, each line indented by `indent`.
std::string Wrap(const std::string& text, std::size_t indent, std::size_t width = 79)
{
    std::istringstream words(text);
    std::string word, line, out;
    while (words >> word) {
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            out += std::string(indent, ' ') + line + '\n';
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty())
        out += std::string(indent, ' ') + line + '\n';
    return out;
}

std::string OptionLabel(const CCliOptionInfo& o)
{
    std::string label = o.m_pszShort ? std::string(o.m_pszShort) + ", " : "    ";
    label += o.m_pszLong;
    if (o.m_pszValue)
        label += std::string(" ") + o.m_pszValue;
    return label;
}

void PrintOptionList(std::ostream& out, ECliCommand command, bool bCommonOnly)
{
    for (const auto& o : CliOptionTable()) {
        const bool common = o.m_commands.empty();
        if (bCommonOnly ? !common : !CliOptionAppliesTo(o, command))
            continue;
        std::string label = "  " + OptionLabel(o);
        if (label.size() < 24)
            label.resize(24, ' ');
        else
            label += '\n' + std::string(24, ' ');
        std::string help = Wrap(o.m_pszHelp, 24);
        out << label << help.substr(24);
    }
}

// Text for roff: backslashes escaped, hyphens made literal minus signs, a
// leading control character neutralised.
std::string Roff(const std::string& text)
{
    std::string out;
    for (const char ch : text) {
        if (ch == '\\')
            out += "\\e";
        else if (ch == '-')
            out += "\\-";
        else
            out += ch;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out = "\\&" + out;
    return out;
}

void ManOptions(std::ostream& out, ECliCommand command, bool bCommonOnly)
{
    for (const auto& o : CliOptionTable()) {
        const bool common = o.m_commands.empty();
        if (bCommonOnly ? !common : (common || !CliOptionAppliesTo(o, command)))
            continue;
        const std::string name = Roff(o.m_pszShort ? std::string(o.m_pszShort) + ", " + o.m_pszLong : o.m_pszLong);
        if (o.m_pszValue)
            out << ".TP\n.BI \"" << name << " \" " << Roff(o.m_pszValue) << '\n';
        else
            out << ".TP\n.B " << name << '\n';
        out << Roff(o.m_pszHelp) << '\n';
    }
}

}  // namespace

const char* CliVersionLine()
{
    static const std::string line = std::string("ringseam-cli (") + kProgramVersionText + ")";
    return line.c_str();
}

void PrintToolHelp(std::ostream& out)
{
    out << "Usage: " << kCliName << " COMMAND [options] FILE...\n"
        << "       " << kCliName << " COMMAND --help\n"
        << "       " << kCliName << " --help | --version\n\n"
        << "ringseam-cli: " << kPurpose << ".\n\nCommands:\n";
    for (const auto& c : CliCommands()) {
        std::string name = std::string("  ") + c.m_pszName;
        name.resize(16, ' ');
        out << name << c.m_pszSummary << '\n';
    }
    out << "\nOptions for every command:\n";
    PrintOptionList(out, ECliCommand::None, true);
    std::string version = "      --version";
    version.resize(24, ' ');
    out << version << "Print the version and exit.\n";
    out << "\nExit status:\n" << Wrap(kExitText, 2) << "\nRun '" << kCliName
        << " COMMAND --help' for the options of one command.\n";
}

void PrintCommandHelp(std::ostream& out, ECliCommand command)
{
    const CCliCommandInfo* c = FindCliCommand(command);
    if (!c) {
        PrintToolHelp(out);
        return;
    }
    out << "Usage: " << kCliName << ' ' << c->m_pszName << ' ' << c->m_pszSynopsis << " [options]\n\n"
        << Wrap(c->m_pszDescription, 0) << "\nOptions:\n";
    PrintOptionList(out, command, false);
    out << "\nExit status:\n" << Wrap(kExitText, 2);
}

void PrintManPage(std::ostream& out)
{
    out << ".TH RINGSEAM\\-CLI 1 \"\" \"" << Roff(CliVersionLine()) << "\" \"User Commands\"\n"
        << ".SH NAME\nringseam\\-cli \\- " << Roff(kPurpose) << '\n'
        << ".SH SYNOPSIS\n";
    for (const auto& c : CliCommands())
        out << ".B ringseam\\-cli " << Roff(c.m_pszName) << '\n' << Roff(c.m_pszSynopsis) << "\n.br\n";
    out << ".B ringseam\\-cli\n\\-\\-help | \\-\\-version\n"
        << ".SH DESCRIPTION\n" << Roff(kInputText) << '\n'
        << ".SH COMMANDS\n";
    for (const auto& c : CliCommands()) {
        out << ".SS \"" << Roff(c.m_pszName) << ' ' << Roff(c.m_pszSynopsis) << "\"\n"
            << Roff(c.m_pszDescription) << '\n';
        std::ostringstream opts;
        ManOptions(opts, c.m_command, false);
        if (!opts.str().empty())
            out << ".RS\n" << opts.str() << ".RE\n";
    }
    out << ".SH OPTIONS\nThese options apply to every command.\n";
    ManOptions(out, ECliCommand::None, true);
    out << ".TP\n.B \\-\\-version\nPrint the version and exit.\n"
        << ".SH EXIT STATUS\n" << Roff(kExitText) << '\n'
        << ".SH EXAMPLES\n.nf\n"
        << "ringseam\\-cli info piano.wav strings.xi\n"
        << "ringseam\\-cli find\\-loop flute.wav \\-\\-crossfade \\-o flute\\-looped.wav\n"
        << "ringseam\\-cli convert organ.xi \\-\\-xi\\-sample 2 \\-o organ.wav\n"
        << "ringseam\\-cli batch samples/ \\-\\-recursive \\-\\-out\\-dir looped/ \\-\\-jobs 2 \\-\\-json\n"
        << "ringseam\\-cli pitch Posaune16/*.wav\n"
        << "ringseam\\-cli batch organ/ \\-\\-auto \\-\\-tune \\-\\-out\\-dir tuned/\n"
        << ".fi\n";
}
