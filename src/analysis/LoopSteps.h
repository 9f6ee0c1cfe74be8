// The steps the keyboard moves a loop marker by, besides one frame: to the
// next zero crossing, and by one period of the sound. Plain functions over
// frames (FrameView.h); frames are sample frames, periods are frames.
// Pure; safe on any thread.
#pragma once

#include "analysis/FrameView.h"

// The first frame after `frame` (direction > 0) or before it (direction < 0)
// where the sum of the channels changes sign against the frame before it,
// i.e. where the wave crosses zero. `frame` itself when there is none
// (silence, or the edge of the frames).
int NextZeroCrossing(const CFrameView& frames, int frame, int direction);

// A simple estimate of the period of the sound in first … last − 1
// (frames): the lag between 1/2000 s and 1/20 s with the highest normalised
// autocorrelation of the channel sum over at most kPeriodWindow frames from
// the middle of the range; the shortest lag within 90 % of that peak wins,
// so that twice the period does not. 0 when the range is too short, silent
// or shows no periodicity (best correlation under kMinPeriodicity).
int EstimatePeriod(const CFrameView& frames, int first, int last);

// 8192 frames: several periods of the lowest pitch looked for (20 Hz at
// 44.1 kHz is 2205 frames) while staying quick enough for every key press.
inline constexpr int kPeriodWindow = 8192;
// Below this correlation the sound (noise, a chord) has no period worth a step.
inline constexpr double kMinPeriodicity = 0.5;
