// The ticks of the time ruler above the waveform: where they stand in the
// client area and what the labelled ones say, in seconds or in frames.
// Widget-free: the Qt view paints what these functions compute.
//
// Units: pixels for positions (client x, the scroll position of the
// geometry applied), frames or seconds for labels. Pure; any thread.
#pragma once

#include "view/ViewGeometry.h"

#include <string>
#include <vector>

enum class RulerUnit { Seconds, Frames };

struct CRulerTick {
    int m_nX = 0;          // client x, pixels
    bool m_bMajor = false; // labelled
    std::string m_strLabel;
    friend bool operator==(const CRulerTick&, const CRulerTick&) = default;
};

// The ruler's height in pixels: one line of small text over the tick marks.
inline constexpr int kRulerHeight = 20;
// Labels at least this far apart, pixels: room for "00:00.000" and a gap.
inline constexpr int kRulerLabelSpacing = 80;

// The step between labelled ticks in frames: the smallest 1, 2 or 5 × 10^k
// units (a frame, or a second at `sampleRate`) at least `minSpacing` pixels
// apart at `zoom` pixels per frame; never under one frame.
double RulerStep(double zoom, int sampleRate, RulerUnit unit, int minSpacing = kRulerLabelSpacing);

// The ticks over client x 0 … width − 1: a labelled tick every RulerStep
// and four unlabelled ones between. None without frames.
std::vector<CRulerTick> RulerTicks(const CViewGeometry& geometry, int frameCount, int sampleRate, RulerUnit unit);
