// Where the sustain of a held note ends and its release begins: the frame
// at which the level starts its final fall, as organ sample sets mark with a
// cue point. Pure function over frames; safe on any thread.
#pragma once

#include "analysis/FrameView.h"

// The level is measured in windows of this length: short enough to place
// the marker well within the 50 ms a player's release crossfade hides, long
// enough to hold several periods of a low pipe (16 ft C is 32.7 Hz).
inline constexpr double kReleaseWindowSeconds = 0.030;
// The level counts as still sustained while within this many dB of the
// sustain's median level: the beating and wind noise of a steady pipe stay
// within it, a release falls through it within a few periods.
inline constexpr double kReleaseFallDb = 3.0;
// The fall is followed this far below the sustain to measure its slope:
// deep enough for a straight decay, shallow enough to stay above the room's
// reverberation tail.
inline constexpr double kReleaseSlopeDb = 12.0;

// The release marker for a sound whose sustain spans sustainStart …
// sustainEnd (frames, end exclusive; typically the first loop start and the
// last loop end): the last level window at or after sustainEnd still within
// kReleaseFallDb of the sustain's median level marks the final fall; the
// fall's slope down to kReleaseSlopeDb, drawn back to the sustain level,
// gives where it started (never before sustainEnd). When the
// span is empty or outside the frames, the sustain is taken as everything
// after the attack. Returns −1 for a view without frames, sustainEnd when
// the level already falls there.
int FindReleaseFrame(const CFrameView& frames, int sustainStart, int sustainEnd);
