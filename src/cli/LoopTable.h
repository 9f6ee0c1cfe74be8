// Loop tables: every loop and the release marker of a set of samples as
// CSV or JSON text, printed by `loops` and read back by `apply-loops`. A table
// edited by hand or made by another program is checked row by row; every
// problem comes back as one sentence naming its line.
//
// CSV layout: the header file,loop,start,end,type; one row per loop (loop =
// its number from 1, start and end frames with end exclusive, type
// forward|alternating|backward or the "smpl" code) and one row per release
// marker (loop = release, start = its frame, end and type empty). Fields
// holding a comma or a quote are quoted, quotes doubled.
#pragma once

#include "document/LoopPoints.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The rows of one file, in the order of their numbers.
struct CLoopTableFile {
    std::string m_strPath;
    int m_nLine = 0;  // the file's first row, from 1
    std::vector<CLoopPoints> m_loops;
    std::optional<int> m_nRelease;  // frames
    std::vector<int> m_loopLines;   // the row of each loop
    int m_nReleaseLine = 0;
};

// A loop may reach this far past the release marker: a player crossfades
// into the release over about this long, so those frames are heard blended
// with it anyway (makers' own pipes end loops a few ms past their cue).
inline constexpr double kReleaseOverlapSeconds = 0.050;

inline constexpr const char* kLoopTableHeader = "file,loop,start,end,type";

// The rows of `path` (CSV, newline-terminated).
std::string FormatLoopRows(const std::string& path, const std::vector<CLoopPoints>& loops, int release);
// A loop type by name: "forward" for 0 and so on, the number beyond those.
std::string LoopTypeName(std::uint32_t type);
// The reverse: a name or a number ("" is forward); nullopt for anything else.
std::optional<std::uint32_t> LoopTypeFromName(const std::string& text);

// Parses a whole table. Rows of one file may come in any order; its loops
// are taken in the order of their numbers, which must run 1, 2, … without
// gaps. Returns the files in the order they first appear, and appends a
// sentence per bad row (or missing header) to `problems`.
// A text starting with '{' or '[' is read as JSON (ParseLoopTableJson).
std::vector<CLoopTableFile> ParseLoopTable(const std::string& text, std::vector<std::string>& problems);

// The objects `loops --json` prints ({"path", "loops": [{"start", "end",
// "type"}…], "release": frame or null}), one per file: one a line, spread
// over lines, or in an array. Members beyond those are ignored; loops are
// taken in the order given. Problems as for CSV, naming the line where the
// object or loop starts; unreadable JSON stops the reading there.
std::vector<CLoopTableFile> ParseLoopTableJson(const std::string& text, std::vector<std::string>& problems);

// The problems of one file's rows against a sample of `frameCount` frames
// at `sampleRate`: a loop outside the frames, reversed or empty, or
// overlapping the release (reaching more than kReleaseOverlapSeconds past
// its marker); a release marker beyond the end. One sentence each.
void CheckLoopTableFile(const CLoopTableFile& file, int frameCount, int sampleRate, std::vector<std::string>& problems);
