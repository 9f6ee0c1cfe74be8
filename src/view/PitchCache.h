// CPitchCache: the document's detected pitch (CQuorvelDoc::DetectPitch),
// kept between changes of the loop so that the status panes, the loop
// verdict and the Loops panel can show detunes on every loop change without
// detecting again (detecting costs tens of milliseconds on a long sample).
// It detects again when the frames change, told by a cheap fingerprint of
// them (count, format, a spread of values), and, for a sample whose frames
// alone hold no pitch and that is measured through its loop, when the loop
// changes.
//
// Owned by the waveform view, shared by the panels that follow it; plain
// data, user-interface thread only.
#pragma once

#include "analysis/Pitch.h"

#include <array>
#include <optional>

class CQuorvelDoc;

class CPitchCache {
public:
    // The pitch as CQuorvelDoc::DetectPitch gives it now; nullopt when the
    // document has none (or is not loaded).
    const std::optional<CPitch>& Get(const CQuorvelDoc& doc);

private:
    bool m_bValid = false;
    std::array<double, 4> m_framesKey{};
    std::optional<CPitch> m_framesPitch;  // of the frames alone
    std::array<int, 3> m_loopKey{};       // has loop, start, end
    std::optional<CPitch> m_pitch;        // what Get returns
};

// The detune a loop of `length` frames causes against the pitch (cents,
// LoopDetuneCents), nullopt without a pitch or for a loop under half a period.
std::optional<double> LoopDetune(const std::optional<CPitch>& pitch, int length, int sampleRate);
