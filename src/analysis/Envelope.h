// The loudness envelope of a sample: the RMS of all channels in short
// windows, and where the attack ends. The loop metrics and the automatic
// loop search both read it.
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
    // The value whose window is centred nearest to `frame` (clamped).
    double AtFrame(int frame) const;
    double Peak() const { return m_dPeak; }
    // First frame whose window reaches `fraction` of the peak; 0 when the
    // envelope is empty or silent.
    int FirstFrameReaching(double fraction) const;
    // Last frame whose window reaches `fraction` of `level`; −1 when none.
    int LastFrameReaching(double level) const;

private:
    int m_nHop = 1;
    int m_nWindow = 1;
    double m_dPeak = 0.0;
    std::vector<double> m_values;
};

// The attack: everything before the 10 ms envelope first reaches 80 % of its
// peak. Returns that first frame.
int AttackEndFrame(const CFrameView& frames);
