// The batch command: Find Loop or Auto Loop (either + Crossfade) on many samples,
// in parallel across files, each result saved into one output folder.
//
// Each worker thread drives its own CQuorvelDoc with its own headless
// CCliUserInterface, so documents never share state; the calling thread only
// prints the results, in input order, and the progress bar.
#pragma once

#include "analysis/Tuning.h"
#include "cli/CliAutoLoops.h"

#include <limits>
#include <optional>
#include <string>
#include <vector>

struct CCliOptions;
struct CCliStreams;

// One file the batch will process, with where its result goes. A non-empty
// m_strError means it is reported as failed without being processed.
struct CBatchItem {
    std::string m_strInput;   // as typed, or as found in a folder
    std::string m_strOutput;  // output folder / [subfolder /] input's base name . extension
    std::string m_strError;
    // For a file found below a folder given with --recursive: the subfolder
    // it lies in, relative to that folder ("" directly in it). Its result
    // goes into the same subfolder of the output folder, so the same name in
    // two subfolders (one note of two organ stops) gives two results.
    std::string m_strSubfolder;
};

// What processing one file gave.
struct CBatchFileResult {
    bool m_bOk = false;
    std::string m_strError;           // why it failed (one sentence)
    std::vector<std::string> m_notes;  // informational messages, e.g. the mono-only XI note
    bool m_bHasLoop = false;
    int m_nLoopStart = 0;  // frames
    int m_nLoopEnd = 0;    // frames, exclusive
    int m_nCrossfadeLength = 0;  // frames; 0 without --crossfade
    double m_dScore = std::numeric_limits<double>::quiet_NaN();  // seam score of the loop found
    std::optional<CTuning> m_tuning;  // the detected tuning stored, with --tune
    CAutoLoopReport m_auto;  // Auto Loop's flags (--auto --json) and the loops of --loops
};

// The files named by the arguments: files as given, folders expanded to
// their .wav and .xi files (any case; sorted; into subfolders with
// bRecursive). A folder without samples becomes one failed item.
std::vector<CBatchItem> ExpandBatchInputs(const std::vector<std::string>& args, bool bRecursive);

// Fills each item's output path for --out-dir/--format and refuses, per
// item, a result that would replace an input file or that two inputs would
// both write. Returns false with `strUsageError` when the output folder is
// the folder of an input and --overwrite was not given.
bool PlanBatchOutputs(std::vector<CBatchItem>& items, const CCliOptions& options, std::string& strUsageError);

// Loads, searches, scores and saves one file. Safe to call from several
// threads at once for different files.
CBatchFileResult ProcessBatchFile(const CBatchItem& item, const CCliOptions& options);

// The whole command; returns the exit code (1 when any file failed).
int RunBatch(const CCliOptions& options, CCliStreams& io);
