// The single-file commands of ringseam-cli (info, convert, find-loop,
// curves, comb-filter, score). Each loads its input like File Open, applies
// --loop / --no-loop, runs the document operation, saves when asked and
// prints its result to `out`. Failures are one line on `err` starting with
// "ringseam-cli: "; the return value is the process exit code.
#pragma once

#include <ostream>
#include <string>

class CCliUserInterface;
class CQuorvelDoc;
struct CCliOptions;

// Where a command writes. bErrIsTerminal enables the progress bar on err.
struct CCliStreams {
    std::ostream& out;
    std::ostream& err;
    bool bErrIsTerminal = false;
};

// "ringseam-cli: <path>: <message>" (or without the path when it is empty).
void PrintCliError(std::ostream& err, const std::string& path, const std::string& message);

// The loop search find-loop and batch run on a loaded document: Find Loop,
// Auto Loop (--auto), or either + Crossfade (--crossfade), which also sets
// `crossfade` to the crossfade length (frames; 0 otherwise). Returns false
// with one sentence in strError when Auto Loop finds no steady part or the
// frames cannot be read again; the document's loop is then unchanged.
bool RunLoopSearch(CQuorvelDoc& doc, CCliUserInterface& ui, const CCliOptions& options, int& crossfade,
                   std::string& strError);

int RunInfo(const CCliOptions& options, CCliStreams& io);
int RunConvert(const CCliOptions& options, CCliStreams& io);
int RunFindLoop(const CCliOptions& options, CCliStreams& io);
int RunCurves(const CCliOptions& options, CCliStreams& io);
int RunCombFilter(const CCliOptions& options, CCliStreams& io);
int RunScore(const CCliOptions& options, CCliStreams& io);
// pitch (CliPitch.cpp).
int RunPitch(const CCliOptions& options, CCliStreams& io);
