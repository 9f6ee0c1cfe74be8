#include "cli/BatchRunner.h"

#include "cli/CliCommands.h"
#include "cli/CliDocument.h"
#include "cli/CliLoops.h"
#include "cli/CliInterrupt.h"
#include "cli/CliJson.h"
#include "cli/CliOptions.h"
#include "cli/CliUserInterface.h"
#include "framework/Exceptions.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace fs = std::filesystem;

namespace {

using FileId = std::pair<dev_t, ino_t>;

std::optional<FileId> IdOf(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileId(st.st_dev, st.st_ino);
}

std::string LowerExtension(const fs::path& path)
{
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
    return ext;
}

bool IsSampleName(const fs::path& path)
{
    const std::string ext = LowerExtension(path);
    return ext == ".wav" || ext == ".xi";
}

// The format the document will read the file as, from its first four bytes
// ("" when they cannot be read or are neither).
std::string PeekFormat(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    if (!in.read(magic, 4))
        return {};
    if (std::string(magic, 4) == "RIFF")
        return "wav";
    if (std::string(magic, 4) == "Exte")
        return "xi";
    return {};
}

std::string FormatDuration(double seconds)
{
    const long s = long(seconds + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

// The one-line progress of the batch on a terminal.
class CBatchProgress {
public:
    CBatchProgress(std::ostream* pErr, std::size_t total) : m_pErr(pErr), m_nTotal(total) {}

    void Draw(std::size_t done, const std::string& current)
    {
        if (!m_pErr)
            return;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_begin).count();
        std::ostringstream line;
        line << '[' << done << '/' << m_nTotal << "] elapsed " << FormatDuration(elapsed);
        if (done > 0 && done < m_nTotal)
            line << " remaining " << FormatDuration(elapsed / double(done) * double(m_nTotal - done));
        if (!current.empty())
            line << "  " << fs::path(current).filename().string();
        *m_pErr << "\r\x1b[K" << line.str() << std::flush;
        m_bShown = true;
    }
    void Clear()
    {
        if (m_pErr && m_bShown)
            *m_pErr << "\r\x1b[K" << std::flush;
        m_bShown = false;
    }

private:
    std::ostream* m_pErr;
    std::size_t m_nTotal;
    bool m_bShown = false;
    std::chrono::steady_clock::time_point m_begin = std::chrono::steady_clock::now();
};

void PrintResult(const CBatchItem& item, const CBatchFileResult& r, const CCliOptions& options, CCliStreams& io)
{
    for (const std::string& note : r.m_notes)
        PrintCliError(io.err, item.m_strInput, note);
    if (!r.m_bOk)
        PrintCliError(io.err, item.m_strInput, r.m_strError);
    if (options.m_bJson) {
        CJsonObject json;
        json.AddString("path", item.m_strInput).AddBool("ok", r.m_bOk);
        if (r.m_bOk) {
            json.AddString("output", item.m_strOutput).AddBool("has_loop", r.m_bHasLoop);
            if (r.m_bHasLoop)
                json.AddInt("loop_start", r.m_nLoopStart).AddInt("loop_end", r.m_nLoopEnd);
            else
                json.AddNull("loop_start").AddNull("loop_end");
            json.AddInt("crossfade_length", r.m_nCrossfadeLength).AddDouble("score", r.m_dScore);
            if (r.m_tuning)
                json.AddInt("unity_note", r.m_tuning->m_nUnityNote).AddInt("pitch_fraction", r.m_tuning->m_nPitchFraction);
            AddAutoLoopReport(json, r.m_auto);
        } else {
            json.AddString("error", r.m_strError);
        }
        io.out << json.Str() << '\n' << std::flush;
    } else if (r.m_bOk) {
        io.out << item.m_strInput << ": loop ";
        if (r.m_bHasLoop)
            io.out << r.m_nLoopStart << ' ' << r.m_nLoopEnd;
        else
            io.out << "none";
        io.out << " crossfade " << r.m_nCrossfadeLength << " score "
               << (std::isfinite(r.m_dScore) ? FormatDouble(r.m_dScore) : std::string("none"))
               << (r.m_tuning ? " tuning " + FormatNoteAndCents(r.m_tuning->Semitones()) : std::string()) << " -> "
               << item.m_strOutput << '\n'
               << std::flush;
    }
}

// Every file allocates and frees its frames, spectra and curves, tens of
// megabytes each. By default the allocator hands such blocks back to the
// system when they are freed, and the next file faults every page in again,
// which costs more than the analysis itself and makes the worker threads
// queue for the kernel. Keeping freed memory for reuse makes a batch
// several times faster; the process holds at most what its largest files
// needed at once, until it exits.
void KeepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest value the allocator takes
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
#endif
}

}  // namespace

std::vector<CBatchItem> ExpandBatchInputs(const std::vector<std::string>& args, bool bRecursive)
{
    std::vector<CBatchItem> items;
    for (const std::string& arg : args) {
        std::error_code ec;
        if (!fs::is_directory(arg, ec)) {
            items.push_back({arg, {}, {}, {}});
            continue;
        }
        std::vector<std::string> found;
        const auto take = [&](const fs::directory_entry& e) {
            std::error_code fec;
            if (e.is_regular_file(fec) && IsSampleName(e.path()))
                found.push_back(e.path().string());
        };
        const auto subfolder = [&](const std::string& file) {
            return bRecursive ? fs::path(file).parent_path().lexically_relative(arg).lexically_normal().string()
                              : std::string();
        };
        const auto opts = fs::directory_options::skip_permission_denied;
        if (bRecursive) {
            for (auto it = fs::recursive_directory_iterator(arg, opts, ec); !ec && it != fs::end(it); it.increment(ec))
                take(*it);
        } else {
            for (auto it = fs::directory_iterator(arg, opts, ec); !ec && it != fs::end(it); it.increment(ec))
                take(*it);
        }
        if (ec) {
            items.push_back({arg, {}, "the folder cannot be read (" + ec.message() + ").", {}});
            continue;
        }
        if (found.empty()) {
            items.push_back({arg, {},
                             bRecursive ? "no .wav or .xi files in this folder or its subfolders."
                                        : "no .wav or .xi files in this folder.",
                             {}});
            continue;
        }
        std::sort(found.begin(), found.end());
        for (auto& f : found) {
            std::string sub = subfolder(f);
            items.push_back({std::move(f), {}, {}, sub == "." ? std::string() : std::move(sub)});
        }
    }
    return items;
}

bool PlanBatchOutputs(std::vector<CBatchItem>& items, const CCliOptions& options, std::string& strUsageError)
{
    const fs::path outDir(options.m_strOutDir);
    std::set<FileId> inputIds;
    std::set<FileId> inputFolders;
    for (const CBatchItem& item : items) {
        if (!item.m_strError.empty())
            continue;
        if (auto id = IdOf(item.m_strInput))
            inputIds.insert(*id);
        fs::path folder = fs::path(item.m_strInput).parent_path();
        if (auto id = IdOf(folder.empty() ? fs::path(".") : folder))
            inputFolders.insert(*id);
    }
    if (!options.m_bOverwrite) {
        if (auto id = IdOf(outDir); id && inputFolders.count(*id)) {
            strUsageError = "the output folder " + options.m_strOutDir +
                            " holds input files; choose another folder or give --overwrite";
            return false;
        }
    }

    std::map<std::string, std::string> claimed;  // output path -> the input that writes it
    for (CBatchItem& item : items) {
        if (!item.m_strError.empty())
            continue;
        std::string ext = options.m_strFormat;
        const std::string own = PeekFormat(item.m_strInput);
        if (ext.empty())
            ext = own;
        if (ext.empty()) {
            // Not a sample the document can read: loading will say why.
            const std::string e = LowerExtension(item.m_strInput);
            ext = e == ".xi" ? "xi" : "wav";
        }
        item.m_strOutput = (outDir / item.m_strSubfolder / fs::path(item.m_strInput).stem()).string() + "." + ext;
        if (auto id = IdOf(item.m_strOutput); id && inputIds.count(*id)) {
            item.m_strError = "the result " + item.m_strOutput + " would replace an input file; skipped.";
            continue;
        }
        if (own.empty())
            continue;  // will fail to load; claims no name
        const auto [it, fresh] = claimed.emplace(item.m_strOutput, item.m_strInput);
        if (!fresh)
            item.m_strError = "the result " + item.m_strOutput + " would also be written for " + it->second +
                              "; skipped.";
    }
    return true;
}

CBatchFileResult ProcessBatchFile(const CBatchItem& item, const CCliOptions& options)
{
    CBatchFileResult r;
    CCliUserInterface ui(options.m_nXISample, nullptr, false, options.m_bQuiet, CCliUserInterface::EPoll::Adaptive);
    try {
        CQuorvelDoc doc;
        if (!LoadSampleDocument(doc, ui, item.m_strInput, r.m_strError)) {
            r.m_notes = std::move(ui.m_notes);
            return r;
        }
        ApplyLoopOptions(doc, options);
        // --tune: the detected pitch becomes the stored tuning; measured
        // before the search, on the sound as the file plays it.
        if (options.m_bTune) {
            if (!doc.DetectAndSetTuning()) {
                r.m_strError = ui.TakeFailure();
                r.m_notes = std::move(ui.m_notes);
                return r;
            }
            r.m_tuning = doc.GetTuning();
        }
        r.m_auto = MeasureAutoLoopReport(doc, options);
        if (!RunLoopSearch(doc, ui, options, r.m_nCrossfadeLength, r.m_strError)) {
            r.m_notes = std::move(ui.m_notes);
            return r;
        }
        // The release marker and trim follow the loop the search placed.
        if (!ApplyReleaseOption(doc, options, r.m_strError)) {
            r.m_notes = std::move(ui.m_notes);
            return r;
        }
        ApplyTrimOptions(doc, options);
        CountAutoLoops(r.m_auto, doc);  // where the loops lie in the result
        if (const auto note = FewerLoopsNote(r.m_auto))
            ui.m_notes.push_back(*note);
        r.m_bHasLoop = doc.m_bHasLoop;
        r.m_nLoopStart = doc.m_nLoopStart;
        r.m_nLoopEnd = doc.m_nLoopEnd;
        if (doc.m_bHasLoop)
            r.m_dScore = doc.SeamScore(doc.m_nLoopStart, doc.m_nLoopEnd);
        if (!item.m_strSubfolder.empty()) {
            std::error_code ec;
            fs::create_directories(fs::path(item.m_strOutput).parent_path(), ec);  // a failure shows in the save
        }
        r.m_bOk = SaveSampleDocument(doc, ui, item.m_strOutput, r.m_strError);
    } catch (const std::exception& e) {
        r.m_bOk = false;
        r.m_strError = FailureMessage(e, FailureContext::Open);
    }
    r.m_notes = std::move(ui.m_notes);
    return r;
}

int RunBatch(const CCliOptions& options, CCliStreams& io)
{
    std::vector<CBatchItem> items = ExpandBatchInputs(options.m_inputs, options.m_bRecursive);
    std::string usage;
    if (!PlanBatchOutputs(items, options, usage)) {
        PrintCliError(io.err, {}, usage);
        return kExitUsage;
    }
    std::error_code ec;
    fs::create_directories(options.m_strOutDir, ec);
    if (!fs::is_directory(options.m_strOutDir)) {
        PrintCliError(io.err, options.m_strOutDir,
                      "the output folder cannot be created" + (ec ? " (" + ec.message() + ")." : std::string(".")));
        return kExitFailure;
    }

    KeepFreedMemoryForReuse();
    const std::size_t n = items.size();
    std::vector<std::optional<CBatchFileResult>> results(n);
    std::vector<std::size_t> queue;
    for (std::size_t i = 0; i < n; ++i) {
        if (items[i].m_strError.empty()) {
            queue.push_back(i);
        } else {
            CBatchFileResult failed;
            failed.m_strError = items[i].m_strError;
            results[i] = std::move(failed);
        }
    }

    std::size_t jobs = options.m_nJobs > 0 ? std::size_t(options.m_nJobs)
                                           : std::max<std::size_t>(1, std::thread::hardware_concurrency());
    jobs = std::min(jobs, std::max<std::size_t>(queue.size(), 1));

    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::size_t> next{0};
    std::string current;
    std::size_t done = n - queue.size();

    std::vector<std::thread> workers;
    for (std::size_t w = 0; w < jobs && !queue.empty(); ++w) {
        workers.emplace_back([&] {
            for (;;) {
                const std::size_t q = next.fetch_add(1);
                if (q >= queue.size())
                    return;
                const std::size_t i = queue[q];
                {
                    std::lock_guard lock(mutex);
                    current = items[i].m_strInput;
                }
                CBatchFileResult r;
                if (IsInterrupted())
                    r.m_strError = "not processed: interrupted.";
                else
                    r = ProcessBatchFile(items[i], options);
                {
                    std::lock_guard lock(mutex);
                    results[i] = std::move(r);
                    ++done;
                }
                changed.notify_all();
            }
        });
    }

    CBatchProgress progress(io.bErrIsTerminal && !options.m_bQuiet ? &io.err : nullptr, n);
    bool anyFailed = false;
    for (std::size_t i = 0; i < n; ++i) {
        std::unique_lock lock(mutex);
        while (!results[i]) {
            progress.Draw(done, current);
            changed.wait_for(lock, std::chrono::milliseconds(250));
        }
        CBatchFileResult r = std::move(*results[i]);
        results[i].reset();
        const std::size_t doneNow = done;
        const std::string currentNow = current;
        lock.unlock();
        progress.Clear();
        PrintResult(items[i], r, options, io);
        anyFailed |= !r.m_bOk;
        if (i + 1 < n)
            progress.Draw(doneNow, currentNow);
    }
    for (auto& t : workers)
        t.join();
    progress.Clear();
    return anyFailed ? kExitFailure : kExitOk;
}
