#include "cli/LoopTable.h"

#include "cli/CliOptions.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <utility>

namespace {

const char* const kTypeNames[] = {"forward", "alternating", "backward"};

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"')
            out += '"';
        out += ch;
    }
    return out + '"';
}

// The fields of one line; nullopt when a quote is left open.
std::optional<std::vector<std::string>> SplitCsv(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (quoted) {
            if (ch == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                fields.back() += ch;
            }
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ',') {
            fields.emplace_back();
        } else {
            fields.back() += ch;
        }
    }
    if (quoted)
        return std::nullopt;
    return fields;
}

}  // namespace

std::optional<std::uint32_t> LoopTypeFromName(const std::string& text)
{
    for (std::uint32_t t = 0; t < std::size(kTypeNames); ++t)
        if (text == kTypeNames[t])
            return t;
    const auto n = ParseIntArgument(text);
    if (text.empty())
        return 0u;
    return n && *n >= 0 ? std::optional<std::uint32_t>(std::uint32_t(*n)) : std::nullopt;
}

std::string LoopTypeName(std::uint32_t type)
{
    return type < std::size(kTypeNames) ? kTypeNames[type] : std::to_string(type);
}

std::string FormatLoopRows(const std::string& path, const std::vector<CLoopPoints>& loops, int release)
{
    std::ostringstream out;
    for (std::size_t i = 0; i < loops.size(); ++i)
        out << CsvField(path) << ',' << i + 1 << ',' << loops[i].m_nStart << ',' << loops[i].m_nEnd << ','
            << LoopTypeName(loops[i].m_nType) << '\n';
    if (release >= 0)
        out << CsvField(path) << ",release," << release << ",,\n";
    return out.str();
}

std::vector<CLoopTableFile> ParseLoopTable(const std::string& text, std::vector<std::string>& problems)
{
    std::vector<CLoopTableFile> files;
    std::map<std::string, std::size_t> index;            // path → files[]
    std::map<std::string, std::map<int, std::pair<CLoopPoints, int>>> numbered;  // path → number → loop, line
    // `loops --json` prints objects; a table made from them is read as JSON.
    const std::size_t opening = text.find_first_not_of(" \t\r\n", text.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    if (opening != std::string::npos && (text[opening] == '{' || text[opening] == '['))
        return ParseLoopTableJson(text, problems);
    std::istringstream in(text);
    std::string line;
    int nLine = 0;
    bool bHeader = false;
    while (std::getline(in, line)) {
        ++nLine;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (nLine == 1 && line.starts_with("\xEF\xBB\xBF"))  // the byte-order mark spreadsheets write
            line.erase(0, 3);
        if (line.empty())
            continue;
        const std::string where = "line " + std::to_string(nLine) + ": ";
        if (!bHeader) {
            bHeader = true;
            if (line != kLoopTableHeader) {
                problems.push_back(where + "the table must start with the header " + kLoopTableHeader + ".");
                return {};
            }
            continue;
        }
        const auto fields = SplitCsv(line);
        if (!fields || fields->size() != 5) {
            problems.push_back(where + "a row needs five fields: file, loop, start, end, type.");
            continue;
        }
        std::vector<std::string> f = *fields;
        // Numbers and names of a table typed by hand may carry spaces.
        for (std::size_t i = 1; i < f.size(); ++i) {
            const auto first = f[i].find_first_not_of(" \t");
            f[i] = first == std::string::npos ? std::string() : f[i].substr(first, f[i].find_last_not_of(" \t") - first + 1);
        }
        if (f[0].empty()) {
            problems.push_back(where + "the file name is empty.");
            continue;
        }
        auto [it, bNew] = index.emplace(f[0], files.size());
        if (bNew) {
            CLoopTableFile file;
            file.m_strPath = f[0];
            file.m_nLine = nLine;
            files.push_back(std::move(file));
        }
        CLoopTableFile& file = files[it->second];
        const auto start = ParseIntArgument(f[2]);
        if (f[1] == "release") {
            if (!start || *start < 0)
                problems.push_back(where + "the release marker needs a frame number of at least 0, not '" + f[2] +
                                   "'.");
            else if (file.m_nRelease)
                problems.push_back(where + "a second release marker for " + f[0] + ".");
            else
                file.m_nRelease = *start, file.m_nReleaseLine = nLine;
            continue;
        }
        const auto number = ParseIntArgument(f[1]);
        const auto end = ParseIntArgument(f[3]);
        const auto type = LoopTypeFromName(f[4]);
        if (!number || *number < 1) {
            problems.push_back(where + "the loop column must hold a loop number from 1 or release, not '" + f[1] +
                               "'.");
        } else if (!start || !end) {
            problems.push_back(where + "start and end must be whole frame numbers.");
        } else if (!type) {
            problems.push_back(where + "unknown loop type '" + f[4] + "'.");
        } else if (!numbered[f[0]].emplace(*number, std::pair(CLoopPoints{*start, *end, *type}, nLine)).second) {
            problems.push_back(where + "loop " + f[1] + " of " + f[0] + " is given twice.");
        }
    }
    if (!bHeader)
        problems.push_back("the table is empty.");
    for (CLoopTableFile& file : files) {
        int expect = 1;
        for (const auto& [number, loop] : numbered[file.m_strPath]) {
            const auto& [points, row] = loop;
            if (number != expect++) {
                problems.push_back("line " + std::to_string(file.m_nLine) + ": the loops of " + file.m_strPath +
                                   " must be numbered 1, 2, … without gaps.");
                break;
            }
            file.m_loops.push_back(points);
            file.m_loopLines.push_back(row);
        }
    }
    return files;
}

void CheckLoopTableFile(const CLoopTableFile& file, int frameCount, int sampleRate, std::vector<std::string>& problems)
{
    const auto where = [&](int line) { return "line " + std::to_string(line) + ": " + file.m_strPath + ": "; };
    const long long overlap = std::llround(kReleaseOverlapSeconds * sampleRate);
    for (std::size_t i = 0; i < file.m_loops.size(); ++i) {
        const CLoopPoints& l = file.m_loops[i];
        const std::string loop = where(file.m_loopLines[i]) + "loop " + std::to_string(i + 1) + " (" +
                                 std::to_string(l.m_nStart) + "-" + std::to_string(l.m_nEnd) + ")";
        if (l.m_nStart >= l.m_nEnd)
            problems.push_back(loop + " is reversed or empty.");
        else if (l.m_nStart < 0 || l.m_nEnd > frameCount)
            problems.push_back(loop + " lies outside the sample of " + std::to_string(frameCount) + " frames.");
        else if (file.m_nRelease && l.m_nEnd > *file.m_nRelease + overlap)
            problems.push_back(loop + " overlaps the release, which starts at frame " +
                               std::to_string(*file.m_nRelease) + ".");
    }
    if (file.m_nRelease && *file.m_nRelease > frameCount)
        problems.push_back(where(file.m_nReleaseLine) + "the release marker " + std::to_string(*file.m_nRelease) +
                           " lies beyond the end of the sample (" + std::to_string(frameCount) + " frames).");
}
