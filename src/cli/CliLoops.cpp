#include "cli/CliLoops.h"

#include "cli/CliCommands.h"
#include "cli/CliDocument.h"
#include "cli/CliJson.h"
#include "cli/CliOptions.h"
#include "cli/CliUserInterface.h"
#include "cli/LoopTable.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Where apply-loops writes each file: below DIR at its path relative to the
// deepest folder that holds every file of the table, so one note name in two
// stops of an organ set gives two results.
std::vector<fs::path> TableTargets(const std::vector<CLoopTableFile>& files, const fs::path& dir)
{
    std::vector<fs::path> sources;
    for (const CLoopTableFile& file : files)
        sources.push_back(fs::absolute(file.m_strPath).lexically_normal());
    fs::path common = sources.empty() ? fs::path() : sources.front().parent_path();
    for (const fs::path& source : sources)
        while (!common.empty() && source.lexically_relative(common).native().starts_with(".."))
            common = common.parent_path();
    std::vector<fs::path> targets;
    for (const fs::path& source : sources)
        targets.push_back(dir / source.lexically_relative(common));
    return targets;
}

}  // namespace

bool ApplyReleaseOption(CQuorvelDoc& doc, const CCliOptions& options, std::string& strError)
{
    if (!options.m_bSetRelease)
        return true;
    if (options.m_bFindRelease) {
        doc.SetRelease(doc.FindRelease());
        return true;
    }
    if (options.m_nRelease > doc.m_nFrameCount) {
        strError = "the release marker " + std::to_string(options.m_nRelease) + " lies beyond the end of the sample (" +
                   std::to_string(doc.m_nFrameCount) + " frames).";
        return false;
    }
    doc.SetRelease(options.m_nRelease);
    return true;
}

std::pair<int, int> ApplyTrimOptions(CQuorvelDoc& doc, const CCliOptions& options)
{
    CTrimSettings settings;
    settings.m_bStart = options.m_bTrim || options.m_bTrimStart;
    settings.m_bEnd = options.m_bTrim || options.m_bTrimEnd;
    settings.m_dThresholdDb = options.m_dThresholdDb;
    settings.m_dFadeSeconds = options.m_dFadeMs / 1000.0;
    if (!settings.m_bStart && !settings.m_bEnd)
        return {0, 0};
    const CTrimCut cut = doc.PlanTrimCut(settings);
    doc.Trim(cut);
    return {cut.m_nStart, cut.m_nEnd};
}

std::string ExtraLoopLines(const CQuorvelDoc& doc)
{
    std::string lines;
    const std::vector<CLoopPoints> loops = doc.GetLoops();
    for (std::size_t i = 1; i < loops.size(); ++i)
        lines += "  loop " + std::to_string(i + 1) + " " + std::to_string(loops[i].m_nStart) + "-" +
                 std::to_string(loops[i].m_nEnd) + " " + LoopTypeName(loops[i].m_nType) + "\n";
    if (doc.m_nRelease >= 0)
        lines += "  release " + std::to_string(doc.m_nRelease) + "\n";
    return lines;
}

std::string LoopsJson(const CQuorvelDoc& doc)
{
    std::string json = "[";
    for (const CLoopPoints& l : doc.GetLoops()) {
        CJsonObject o;
        o.AddInt("start", l.m_nStart).AddInt("end", l.m_nEnd).AddString("type", LoopTypeName(l.m_nType));
        if (json.size() > 1)
            json += ',';
        json += o.Str();
    }
    return json + "]";
}

int RunLoops(const CCliOptions& options, CCliStreams& io)
{
    int code = kExitOk;
    if (!options.m_bJson)
        io.out << kLoopTableHeader << '\n';
    for (const std::string& path : options.m_inputs) {
        CCliLoaded loaded;
        if (!LoadCommandInput(options, io, path, loaded)) {
            code = kExitFailure;
            continue;
        }
        const CQuorvelDoc& doc = *loaded.m_pDoc;
        if (options.m_bJson) {
            CJsonObject json;
            json.AddString("path", path).AddRaw("loops", LoopsJson(doc));
            if (doc.m_nRelease >= 0)
                json.AddInt("release", doc.m_nRelease);
            else
                json.AddNull("release");
            io.out << json.Str() << '\n';
        } else {
            io.out << FormatLoopRows(path, doc.GetLoops(), doc.m_nRelease);
        }
        io.out << std::flush;
    }
    return code;
}

int RunApplyLoops(const CCliOptions& options, CCliStreams& io)
{
    const std::string& tablePath = options.m_inputs[0];
    std::ifstream in(tablePath, std::ios::binary);
    if (!in) {
        PrintCliError(io.err, tablePath, "the table cannot be read.");
        return kExitFailure;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::string> problems;
    const std::vector<CLoopTableFile> files = ParseLoopTable(text.str(), problems);

    // Every file is read and checked before anything is written, so a bad
    // row leaves every result unwritten.
    const fs::path dir = options.m_strOutput;
    const std::vector<fs::path> targets = TableTargets(files, dir);
    std::map<fs::path, std::string> written;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const CLoopTableFile& file = files[i];
        const std::string where = "line " + std::to_string(file.m_nLine) + ": " + file.m_strPath + ": ";
        std::error_code ec;
        if (fs::equivalent(targets[i], file.m_strPath, ec))
            problems.push_back(where + "the result would replace the file itself.");
        else if (auto [it, bNew] = written.emplace(fs::absolute(targets[i]).lexically_normal(), file.m_strPath); !bNew)
            problems.push_back(where + "the result " + targets[i].string() + " would also be written for " +
                               it->second + ".");
        CCliUserInterface ui(options.m_nXISample, nullptr, false, true);
        CQuorvelDoc doc;
        std::string why;
        if (!LoadSampleDocument(doc, ui, file.m_strPath, why)) {
            problems.push_back(where + why);
            continue;
        }
        CheckLoopTableFile(file, doc.m_nFrameCount, doc.m_nSampleRate, problems);
    }
    if (!problems.empty()) {
        for (const std::string& p : problems)
            PrintCliError(io.err, tablePath, p);
        PrintCliError(io.err, tablePath, "nothing was written.");
        return kExitFailure;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const CLoopTableFile& file = files[i];
        std::error_code ec;
        fs::create_directories(targets[i].parent_path(), ec);  // a failure shows in the save
        CCliLoaded loaded;
        if (!LoadCommandInput(options, io, file.m_strPath, loaded))
            return kExitFailure;
        loaded.m_pDoc->SetLoops(file.m_loops);
        if (file.m_nRelease)
            loaded.m_pDoc->SetRelease(*file.m_nRelease);
        const std::string target = targets[i].string();
        if (!SaveCommandOutput(*loaded.m_pDoc, *loaded.m_pUi, io, target))
            return kExitFailure;
        io.out << target << ": " << file.m_loops.size() << " loops"
               << (file.m_nRelease ? ", release " + std::to_string(*file.m_nRelease) : std::string()) << '\n'
               << std::flush;
    }
    return kExitOk;
}

int RunExportLoop(const CCliOptions& options, CCliStreams& io)
{
    const std::string& path = options.m_inputs[0];
    CCliLoaded loaded;
    if (!LoadCommandInput(options, io, path, loaded))
        return kExitFailure;
    CQuorvelDoc loop;
    loop.SetUserInterface(loaded.m_pUi.get());
    if (!loaded.m_pDoc->CopyLoopInto(options.m_nLoopNumber - 1, loop)) {
        PrintCliError(io.err, path, "the sample has no loop " + std::to_string(options.m_nLoopNumber) +
                                        " within its frames.");
        return kExitFailure;
    }
    if (!SaveCommandOutput(loop, *loaded.m_pUi, io, options.m_strOutput))
        return kExitFailure;
    io.out << "loop " << options.m_nLoopNumber << ": " << loop.m_nFrameCount << " frames\n" << std::flush;
    return kExitOk;
}

int RunTrim(const CCliOptions& options, CCliStreams& io)
{
    const std::string& path = options.m_inputs[0];
    CCliLoaded loaded;
    if (!LoadCommandInput(options, io, path, loaded))
        return kExitFailure;
    const auto [start, end] = ApplyTrimOptions(*loaded.m_pDoc, options);
    if (!SaveCommandOutput(*loaded.m_pDoc, *loaded.m_pUi, io, options.m_strOutput))
        return kExitFailure;
    io.out << "trimmed " << start << " " << end << '\n' << std::flush;
    return kExitOk;
}
