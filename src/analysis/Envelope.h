// The loudness envelope of a sample: the RMS of all channels in short
// windows, and where the attack ends. The loop metrics and the automatic
// loop search both read it. Values are kept per hop (a quarter window), so a
// long sample needs no per-frame array; the frames are not kept.
#pragma once

#include "analysis/FrameView.h"

#include <vector>

class CEnvelope {
public:
    // RMS of all channels in windows of about `windowSeconds` (at least one
    // frame), one value every quarter window. Empty for a view without
    // frames or channels.
    CEnvelope(const CFrameView& frames, double windowSeconds);

    int GetHop() const { return m_nHop; }        // frames between values
    int GetWindow() const { return m_nWindow; }  // frames per window
    int GetCount() const { return int(m_values.size()); }
    // The value of the window centred on index × hop.
    double Value(int index) const { return m_values[std::size_t(index)]; }
    double Peak() const { return m_dPeak; }
    // First frame whose window reaches `fraction` of the peak; 0 when the
    // envelope is empty or silent.
    int FirstFrameReaching(double fraction) const;
    // The value that a share q (0 … 1) of the windows stays at or under;
    // 0 when the envelope is empty.
    double Percentile(double q) const;

private:
    int m_nHop = 1;
    int m_nWindow = 1;
    double m_dPeak = 0.0;
    std::vector<double> m_values;
};

// The attack: everything before the envelope in kAttackWindowSeconds
// windows first reaches kAttackPeakFraction of its peak.
inline constexpr double kAttackWindowSeconds = 0.010;
inline constexpr double kAttackPeakFraction = 0.8;
// The first frame after the attack.
int AttackEndFrame(const CFrameView& frames);

// The sustain level: the 90th percentile of the envelope in
// kAttackWindowSeconds windows, so that a short peak in the attack does not
// set it and a long release or fade does not pull it down. RMS, full scale 1.
inline constexpr double kSustainPercentile = 0.9;
double SustainLevel(const CFrameView& frames);
