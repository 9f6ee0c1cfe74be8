// The automatic loop search: a seamless loop placed in the steady part of a
// raw recording, ignoring any loop it has. It finds the steady part (after
// the attack, before the release or the final fade), compares the spectral
// banks of candidate start and end positions there, takes the longest pair
// whose sound, level and spectrum match, aligns the end to the waveform
// after the start, and settles the splice where value and slope continue.
// A sound without pitch is spliced without regard to periods; a steady part
// too short to compare spectra is searched on its frames for whole cycles.
//
// Plain functions over frames and banks; nothing is allocated beyond the
// work arrays of one call, and nothing is shared, so calls for different
// samples may run on different threads at once.
#pragma once

#include "analysis/FrameView.h"

#include <complex>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// The length a loop should have at least: kMinLoopSeconds, and
// kMinLoopShare of a steady part longer than kLongSteadySeconds. A loop
// much shorter than the sound it stands for repeats so often that it
// sounds static and buzzy.
inline constexpr double kMinLoopSeconds = 0.050;
inline constexpr double kMinLoopShare = 0.2;
inline constexpr double kLongSteadySeconds = 0.5;
// The pitch shift a loop's length may cause: a loop of a pitched sound is
// a whole number of its periods to within this.
inline constexpr double kMaxDetuneCents = 1.0;

// What the search found, and what it could not give.
struct CAutoLoopResult {
    std::optional<CLoopSpan> m_loop;  // nullopt: no steady part long enough for a loop
    bool m_bNoise = false;            // no pitch: the loop is not aligned to periods
    // No clean loop of the length wanted (kMinLoopSeconds, kMinLoopShare)
    // exists in the steady part: the loop is shorter.
    bool m_bShort = false;
    // The pitch shift the loop's length causes against the whole number of
    // periods it stands for, cents (0 for noise): of the detected pitch when
    // there is one. Over kMaxDetuneCents only for m_detuneReason.
    double m_dDetuneCents = 0.0;
    // Whether m_dDetuneCents is against the detected pitch (the frequency
    // given to or found by FindAutoLoopResult) rather than the search's own
    // estimate of the period.
    bool m_bDetectedPitch = false;
    // Why the detune is over kMaxDetuneCents: no whole number of frames is
    // that close to a whole number of periods (a loop of a few short
    // periods), or none of the lengths that are gives a clean splice.
    enum class DetuneReason { None, NoCloserLength, NoCleanSplice };
    DetuneReason m_detuneReason = DetuneReason::None;
};

// The loop, or none when the sample has no steady part long enough for
// one: silent, a click, noise bursts, or a note that fades throughout
// without a stretch where it repeats. A short sample (an attack and a few
// cycles) gets whole cycles at its end; noise a long loop whose level and
// spectrum match; a loop never lies in a release tail while the held part
// of the note holds a clean one.
// The loop's length is a whole number of periods of the pitch that
// DetectPitch finds on the frames, to within kMaxDetuneCents where a clean
// splice allows; without a steady pitch, of the search's own period.
CAutoLoopResult FindAutoLoopResult(const CFrameView& frames, const CBankView& banks);
// The same with the pitch from `frequency` (Hz, 0 or less when the sound
// has none detected), called at most once and only when the search takes
// the sound for a pitched one: detecting costs as much as the search, and
// most on noise.
CAutoLoopResult FindAutoLoopResult(const CFrameView& frames, const CBankView& banks,
                                   const std::function<double()>& frequency);
// The loop alone (FindAutoLoopResult().m_loop).
std::optional<CLoopSpan> FindAutoLoop(const CFrameView& frames, const CBankView& banks);

// Loops of one sample at least this far apart, start from start and end
// from end, loop different stretches of the sound.
inline constexpr double kDistinctLoopSeconds = 0.100;
// Whether two loops of one sample loop different stretches: their starts
// lie at least `apart` frames apart and so do their ends (frames), so a
// player jumping between them never repeats the same stretch.
bool AreDistinctLoops(const CLoopSpan& a, const CLoopSpan& b, int apart);
// Up to `count` loops, best first: FindAutoLoop's own, then others as
// good (clean by the seam measure with the levels matched, in the steady
// part, as long as FindAutoLoop wants or as its own loop, within
// kMaxDetuneCents for a pitched sound) in the order of their splice's seam
// and level, each distinct (AreDistinctLoops, kDistinctLoopSeconds) from
// every one before. Fewer when fewer such loops exist; one for a steady
// part too short to compare spectra; none when FindAutoLoop finds none.
// Costs up to about ten times FindAutoLoop.
std::vector<CLoopSpan> FindAutoLoops(const CFrameView& frames, const CBankView& banks, int count);

// The most loops FindAutoLoops is asked for at once in the program.
inline constexpr int kMaxAutoLoops = 16;
// What to tell when FindAutoLoops placed `found` of the `asked` loops:
// "Found 2 of the 3 loops asked for."
std::string FewerAutoLoopsMessage(int found, int asked);
