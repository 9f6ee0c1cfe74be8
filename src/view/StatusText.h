// The words and numbers the main window's status panes show for the sample
// document: its loop, the frame under the mouse pointer, the loop's seam
// score and the pitch. Frames are sample frames (the loop end exclusive, as files and the
// command line give it), times are seconds at the document's sample rate.
// Texts are UTF-8; an empty text leaves its pane blank.
//
// Threading: whichever thread owns the document.
#pragma once

#include "analysis/Pitch.h"

#include <optional>
#include <string>

class CQuorvelDoc;

// "1000–5000, 4000 frames, 0.091 s" (the pane says it is the loop), "No
// loop" for a loaded sample without one, "" when nothing is loaded.
std::string LoopPaneText(const CQuorvelDoc& doc);
// "Frame 52000, 1.179 s"; "" for a negative frame (the pointer is not over
// the sample).
std::string PointerPaneText(const CQuorvelDoc& doc, int frame);
// "Score 0.01235": the loop's SeamScore (lower is better), as
// `ringseam-cli score` rates it, to four significant digits; "" without a
// loop or without spectral banks.
std::string ScorePaneText(const CQuorvelDoc& doc);
// "C#4 +7.2 ct (279.1 Hz), loop +0.31 ct": the detected pitch and the detune
// the loop's length causes against it; "No steady pitch" when `pitch` is
// empty; "" when nothing is loaded.
std::string PitchPaneText(const CQuorvelDoc& doc, const std::optional<CPitch>& pitch);
