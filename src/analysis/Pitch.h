// Pitch detection: the fundamental frequency of a sample's steady part,
// measured over the whole of that part rather than frame by frame, to a
// fraction of a cent. It holds for fundamentals from 15 Hz to a third of the
// sample rate, for a fundamental weaker than its overtones or missing, for
// slightly stretched (piano-like) overtones, vibrato and stereo. A sound
// without a steady pitch (noise, a drum, a click) gets no result rather
// than a guess.
//
// Plain functions over frames; nothing is shared, so calls for different
// samples may run on different threads at once. Failure is an empty
// optional, never an exception (a failed allocation aside).
#pragma once

#include "analysis/FrameView.h"

#include <optional>

// The message for a sample without a steady pitch.
inline constexpr const char* kNoSteadyPitchMessage = "No steady pitch was found.";

// A stretch of frames: m_nBegin … m_nEnd − 1.
struct CFrameSpan {
    int m_nBegin = 0;
    int m_nEnd = 0;  // exclusive
    int Length() const { return m_nEnd - m_nBegin; }
};

struct CPitch {
    double m_dFrequency = 0.0;  // Hz, of the fundamental
    int m_nNote = 0;            // the nearest MIDI note (69 = A4 = 440 Hz)
    double m_dCents = 0.0;      // from that note, −50 … +50
    double m_dConfidence = 0.0; // 0 … 1: how strictly the sound repeats at its period
};

// The note and cents of a frequency (Hz > 0).
CPitch PitchFromFrequency(double frequency);

// Where the sound holds its pitch: from the end of the attack to where its
// level has fallen well below the sustain. nullopt for a silent view.
std::optional<CFrameSpan> FindPitchSteadyPart(const CFrameView& frames);

// The pitch of the frames within `steady` (clamped to the view; of a very
// long one, its first 30 seconds), or nullopt when they hold no steady pitch.
std::optional<CPitch> DetectPitch(const CFrameView& frames, CFrameSpan steady);
// The same over FindPitchSteadyPart.
std::optional<CPitch> DetectPitch(const CFrameView& frames);

// The pitch of the sound a sampler plays from the frames: up to the loop's
// end, then the loop `loop` repeated for about a second. For samples too
// short to hold their pitch on their own (a single cycle, a few periods
// after the attack). nullopt for an empty loop or no steady pitch.
std::optional<CPitch> DetectLoopedPitch(const CFrameView& frames, CFrameSpan loop);

// The detune in cents that a loop of `loopLength` frames causes on a tone of
// `frequency` Hz: looping makes the tone repeat every loopLength frames, so
// it sounds at the nearest whole number of periods in that length. Positive
// when the loop plays sharp. nullopt when the loop is shorter than half a
// period or the arguments are not positive.
std::optional<double> LoopDetuneCents(double frequency, int loopLength, int sampleRate);
