// What find-loop and batch report of Auto Loop beside the loop: whether the
// sound has no pitch, whether no clean loop was as long as wanted, the
// detune of the loop's length, and, with --loops K, how many of the K loops
// asked for were placed. Plain values; one per file, on the thread that
// processes that file.
#pragma once

#include "analysis/AutoLoop.h"

#include <optional>
#include <string>

class CJsonObject;
class CQuorvelDoc;
struct CCliOptions;

struct CAutoLoopReport {
    std::optional<CAutoLoopResult> m_result;  // --auto with --json: what the search gave; else nothing to report
    int m_nAsked = 0;  // --loops K; 0 without
    int m_nFound = 0;  // loops placed
    std::string m_strLoops;  // with --loops: the loops placed, as the JSON array of `loops`
};

// Before the loop search, on the frames as loaded (those Auto Loop and, after
// its reload, Auto Loop + Crossfade search): the flags, measured only for
// --auto with --json, as they cost one more search.
CAutoLoopReport MeasureAutoLoopReport(const CQuorvelDoc& doc, const CCliOptions& options);
// After a search that succeeded: the loops placed.
void CountAutoLoops(CAutoLoopReport& report, const CQuorvelDoc& doc);
// "Found 2 of the 3 loops asked for." when fewer were placed than --loops asked.
std::optional<std::string> FewerLoopsNote(const CAutoLoopReport& report);
// auto_noise, auto_short, auto_detune_cents and auto_detune_reason with
// --auto; loops, loops_asked and loops_found with --loops.
void AddAutoLoopReport(CJsonObject& json, const CAutoLoopReport& report);
// The flags of one Auto Loop result (as above), which score also gives.
void AddAutoLoopFlags(CJsonObject& json, const CAutoLoopResult& result);
// Auto Loop's result on the document's frames and banks; nothing found when
// the banks do not describe the frames.
CAutoLoopResult DocumentAutoLoopResult(const CQuorvelDoc& doc);
