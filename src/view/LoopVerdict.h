// The verdict on the document's loop that the status bar shows beside the
// score: the seam and level figures of SeamMetrics.h, with "clean" decided
// by CSeamMetrics::IsClean exactly as `ringseam-cli score` decides it; the
// detune the loop's length causes against the detected pitch, as `score`
// and the pitch pane report it; and a warning for a loop too short to sound
// as a tone.
//
// Frames are sample frames (loop end exclusive), times seconds, detune in
// cents. Pure functions over the document; whichever thread owns it.
#pragma once

#include "analysis/Pitch.h"
#include "analysis/SeamMetrics.h"

#include <optional>
#include <string>

class CQuorvelDoc;

// A loop shorter than this is heard as a buzz at the loop rate, not as the
// recorded tone: 2 ms is a 500 Hz loop rate, above most fundamentals.
inline constexpr double kMinLoopSeconds = 0.002;

struct CLoopVerdict {
    bool m_bHasLoop = false;
    CSeamMetrics m_metrics;      // seam and level (the timbre is not measured)
    int m_nPeriod = 0;           // frames of one period of the sound; 0 unknown
    double m_dPitchHz = 0.0;     // 0 when unknown
    // Cents the loop's length shifts the detected pitch (positive: sharp);
    // none without a detected pitch or for a loop under half a period.
    std::optional<double> m_detuneCents;
    bool m_bShorterThanMinimum = false;  // under kMinLoopSeconds
    bool m_bShorterThanPeriod = false;   // under one period of the sound

    bool IsTooShort() const { return m_bShorterThanMinimum || m_bShorterThanPeriod; }
};

// The pitch of the sound at the loop, Hz (0 when none is found): the
// detected pitch `detected` (CQuorvelDoc::DetectPitch, usually cached by
// CPitchCache) when there is one, else the period estimate of LoopSteps.h.
// *pPeriod gets the period in whole frames.
double LoopPitchHz(const CQuorvelDoc& doc, const std::optional<CPitch>& detected, int* pPeriod = nullptr);

CLoopVerdict JudgeLoop(const CQuorvelDoc& doc, const std::optional<CPitch>& detected);

// "seam 1.23 clean, level 0.4 dB, detune +0.12 ct", followed by
// " — too short: under 2 ms" or " — too short: under one period" when the
// loop is; "" without a loop.
std::string VerdictPaneText(const CLoopVerdict& verdict);
