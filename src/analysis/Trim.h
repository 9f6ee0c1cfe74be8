// Trimming a sample: how many frames of leading silence and of decayed tail
// to cut, and the fades at the new ends. Pure functions over frames; safe
// on any thread.
#pragma once

#include "analysis/FrameView.h"

// Defaults: a frame is sound once a channel reaches this level relative to
// the sample's peak (−60 dB lies below the noise floor of most recordings'
// room, above their dither); the fades last long enough to hide the click
// of a cut and too short to soften an attack.
inline constexpr double kTrimThresholdDb = -60.0;
inline constexpr double kTrimFadeSeconds = 0.002;

struct CTrimSettings {
    bool m_bStart = true;  // cut leading silence
    bool m_bEnd = true;    // cut the decayed tail
    double m_dThresholdDb = kTrimThresholdDb;  // dB relative to the peak, < 0
    double m_dFadeSeconds = kTrimFadeSeconds;
};

// What a trim removes: m_nStart frames at the beginning, m_nEnd at the end,
// then a linear fade over the first m_nFadeIn and the last m_nFadeOut
// frames of what is left (frames).
struct CTrimCut {
    int m_nStart = 0;
    int m_nEnd = 0;
    int m_nFadeIn = 0;
    int m_nFadeOut = 0;

    bool IsEmpty() const { return m_nStart == 0 && m_nEnd == 0; }
};

// The cut for `settings`: the start up to one fade length before the first
// frame that reaches the threshold, the end from one fade length after the
// last. Frames keepFirst … keepLast − 1 (the loops and what follows the
// release marker's sustain) are never cut nor faded; keepFirst > keepLast
// protects nothing. A silent sample is left whole.
CTrimCut PlanTrim(const CFrameView& frames, const CTrimSettings& settings, int keepFirst, int keepLast);
