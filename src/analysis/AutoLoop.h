// The automatic loop search: a seamless loop placed in the steady part of a
// raw recording, ignoring any loop it has. It finds the steady part (after
// the attack, before the release or the final fade), compares the spectral
// banks of candidate start and end positions there, takes the longest pair
// whose sound, level and spectrum match, aligns the end to the waveform
// after the start, and settles the splice where value and slope continue.
//
// Plain functions over frames and banks; nothing is allocated beyond the
// work arrays of one call, and nothing is shared, so calls for different
// samples may run on different threads at once.
#pragma once

#include "analysis/FrameView.h"

#include <complex>
#include <optional>

// The spectral banks of the same frames: bank b of channel c holds the N/2
// bins of frames b·N … b·N + N − 1 at (b × channels + c) × N/2, for every
// whole bank of the frames (bank count = frames / N). Not owned.
struct CBankView {
    const std::complex<double>* m_pSpectra = nullptr;
    int m_nBankSize = 0;   // N, frames per bank
    int m_nBankCount = 0;  // banks
};

struct CLoopSpan {
    int m_nStart = 0;  // first frame of the loop
    int m_nEnd = 0;    // frame just past its last frame
};

// The message for a sample without a usable steady part.
inline constexpr const char* kNoSteadyPartMessage = "No steady part long enough for a loop was found.";

// The loop, or nullopt when the sample has no steady part long enough for
// one: silent, a click, noise bursts, or shorter than one bank (unless it is
// one wave repeating steadily, which gets a loop of whole cycles).
std::optional<CLoopSpan> FindAutoLoop(const CFrameView& frames, const CBankView& banks);
