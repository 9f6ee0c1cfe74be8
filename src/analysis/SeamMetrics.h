// How seamless a loop start … end (end exclusive, frames) sounds, measured on
// the frames themselves over all channels. Four figures:
//   - seam: the largest second difference across the splice (…x[end − 2],
//     x[end − 1], x[start], x[start + 1]…) divided by the 99.5th percentile of
//     the second differences inside the loop; at most kCleanSeam is clean;
//   - level: |dB| between the RMS of the 20 ms before the end and of the
//     20 ms after the start;
//   - timbre: the RMS dB difference between the magnitude spectra of the
//     2048-frame Hann windows before the end and after the start, over the
//     bins within 50 dB of the louder spectrum's peak (channels' powers
//     summed);
//   - attack: whether the start lies before the 10 ms envelope first
//     reaches 80 % of its peak (AttackEndFrame);
//   - sustain: the dB of the loop's RMS relative to the sustain level
//     (SustainLevel); under kTailDb the loop lies in a release or a fade.
// Windows are cut at the ends of the frames (the timbre windows read silence
// there). A figure that cannot be formed (one side silent, no second
// difference inside the loop while the splice has one) is +infinity; a loop
// outside the frames or shorter than one frame gets +infinity everywhere.
// Pure functions; safe on any thread.
#pragma once

#include "analysis/FrameView.h"

inline constexpr double kCleanSeam = 1.5;
// A loop this far under the sustain level plays a release tail or a fade:
// the listener hears the held note drop when the loop begins.
inline constexpr double kTailDb = -6.0;

struct CSeamMetrics {
    double m_dSeam = 0.0;      // ratio; lower is better
    double m_dLevelDb = 0.0;   // dB, ≥ 0
    double m_dTimbreDb = 0.0;  // dB, ≥ 0
    bool m_bInAttack = false;
    double m_dSustainDb = 0.0;  // dB, ≤ 0 mostly; -infinity for a silent loop
    bool m_bInTail = false;     // m_dSustainDb < kTailDb

    bool IsClean() const { return m_dSeam <= kCleanSeam; }
};

// The splice's largest |second difference| (numerator of the seam).
double SpliceJump(const CFrameView& frames, int start, int end);
// The 99.5th percentile of |second difference| inside the loop (denominator).
double InsideJump(const CFrameView& frames, int start, int end);
// The 99.5th percentile of |second difference| at every `stride`-th frame of
// first … last − 1 (cut to frames with both neighbours), all channels; 0
// when there is none.
double JumpPercentile(const CFrameView& frames, int first, int last, int stride = 1);
double SeamRatio(const CFrameView& frames, int start, int end);
double SeamLevelDb(const CFrameView& frames, int start, int end);
double SeamTimbreDb(const CFrameView& frames, int start, int end);
// The loop's RMS in dB relative to SustainLevel; 0 when both are silent.
double SustainDb(const CFrameView& frames, int start, int end);
CSeamMetrics MeasureSeam(const CFrameView& frames, int start, int end);
