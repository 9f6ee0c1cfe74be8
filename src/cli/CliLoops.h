// The commands of ringseam-cli about several loops, the release marker and
// trimming: loops, apply-loops, export-loop and trim, and the --release,
// --trim options other commands apply. Output and failures go where the
// other commands' go (CliCommands.h); the return value is the exit code.
#pragma once

#include <string>

class CQuorvelDoc;
struct CCliOptions;
struct CCliStreams;

// --release: sets the marker to the frame given, or places it by Find
// Release. False with one sentence in strError for a frame beyond the end.
bool ApplyReleaseOption(CQuorvelDoc& doc, const CCliOptions& options, std::string& strError);
// --trim (batch) or trim --start/--end with --threshold and --fade: trims
// the document. Returns the frames cut at the start and the end.
std::pair<int, int> ApplyTrimOptions(CQuorvelDoc& doc, const CCliOptions& options);

// The lines `info` adds for a document with further loops or a release
// marker ("  loop K S-E type", "  release R"); nothing otherwise.
std::string ExtraLoopLines(const CQuorvelDoc& doc);
// The JSON array of every loop: [{"start":S,"end":E,"type":"forward"},…].
std::string LoopsJson(const CQuorvelDoc& doc);

int RunLoops(const CCliOptions& options, CCliStreams& io);
int RunApplyLoops(const CCliOptions& options, CCliStreams& io);
int RunExportLoop(const CCliOptions& options, CCliStreams& io);
int RunTrim(const CCliOptions& options, CCliStreams& io);
