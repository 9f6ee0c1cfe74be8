// The picture of a loop's seam, drawn onto a CPixelCanvas without any
// toolkit: for each channel, the frames just before the loop end running on
// into the frames from the loop start (what looping playback plays across
// the seam, green), drawn over the frames that follow the loop end in the
// recording (how the sound would have gone on, grey). Where the two traces
// agree in value, slope and shape, the splice is clean.
//
// Layout on a canvas of width W and height H pixels with K frames each side
// of the seam: frame offset i (−K … K, 0 the first frame after the seam) at
// x = trunc((i + K) × W / 2K), so the seam line is at x = trunc(W / 2);
// channel c in the lane of rows c·H/Ch … (c + 1)·H/Ch − 1 around its centre
// row; the traces are scaled together so that the largest magnitude among
// the frames shown reaches one row inside the lane's edge.
//
// Threading: user-interface thread only.
#pragma once

#include "view/PixelCanvas.h"

#include <cstdint>

class CQuorvelDoc;

inline constexpr std::uint32_t kSeamBackground = 0xFF000000u;  // black
inline constexpr std::uint32_t kSeamPlayed = 0xFF00AA00u;      // the view's wave green
inline constexpr std::uint32_t kSeamNatural = 0xFF808080u;     // grey
inline constexpr std::uint32_t kSeamLine = 0xFF0000AAu;        // the view's grid blue
inline constexpr std::uint32_t kSeamCentre = 0xFF303030u;      // zero line of each lane

// The frame heard `offset` frames after the seam (negative: before it) while
// the loop repeats: loop start + (offset mod loop length). −1 without a loop.
int SeamPlayedFrame(const CQuorvelDoc& doc, int offset);
// The frame of the recording `offset` frames after the loop end, or −1 when
// that lies outside the sample (or there is no loop).
int SeamNaturalFrame(const CQuorvelDoc& doc, int offset);

// Paints the seam picture onto the whole width × height of the canvas
// (logical = device). Only the background without a loop or frames.
void DrawSeam(CPixelCanvas& canvas, int width, int height, const CQuorvelDoc& doc, int framesPerSide);
