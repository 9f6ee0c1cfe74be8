// A sample's tuning as samplers store it, and as people read it.
//
// Stored: the unity note (a MIDI note) and the pitch fraction, the part of a
// semitone above it in units of 1/2³² semitone, so the fraction is always
// 0 … 99.99… cents: a pitch 19 cents flat of F#4 is F4 (65) + 81 cents. An
// XI sample stores a relative note and a finetune in 1/128 semitone instead.
// Shown: the nearest note with signed cents, "F#4 −19.0 ct".
//
// Plain values and functions; nothing fails except by an empty optional.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Pitch-fraction units per semitone.
inline constexpr double kPitchFractionPerSemitone = 4294967296.0;

struct CTuning {
    std::int32_t m_nUnityNote = 60;     // MIDI note
    std::uint32_t m_nPitchFraction = 0; // 1/2³² semitone above it
    // The pitch as a MIDI note with a fraction (60.5 = C4 + 50 cents).
    double Semitones() const { return m_nUnityNote + m_nPitchFraction / kPitchFractionPerSemitone; }
    bool operator==(const CTuning&) const = default;
};

// The stored form of a pitch given as a MIDI note with a fraction.
CTuning TuningFromSemitones(double semitones);

// An XI sample's relative note and finetune. The program reads the relative
// note as the unity note minus 60, and the finetune (1/128 semitone) in the
// same sense.
struct CXITuning {
    std::int8_t m_nRelativeNote = 0;
    std::int8_t m_nFinetune = 0;
    double m_dLostCents = 0.0;  // |written − wanted| in cents
};
CTuning TuningFromXI(std::int8_t relativeNote, std::int8_t finetune);
// A save says so when the XI fields are further than this (cents) from the
// tuning: never for the finetune's rounding alone (at most 0.39 cents),
// only for a pitch beyond the relative note's range.
inline constexpr double kXITuningLossCents = 0.5;
// The nearest the XI fields hold; m_dLostCents says how far that is.
CXITuning XITuningFrom(const CTuning& tuning);

// "C#4" for MIDI 61 (60 = C4); sharps only.
std::string NoteName(int note);
// "C#4 +7.2 ct" for a MIDI note with a fraction: the nearest note and the
// signed cents from it (with a true minus sign).
std::string FormatNoteAndCents(double semitones);
// "C#4 +7.2 ct (279.1 Hz)".
std::string FormatPitch(double frequency);
// "65 + 81.0 ct" : the stored unity note and fraction.
std::string FormatStoredTuning(const CTuning& tuning);
// A frequency as a MIDI note with a fraction.
double SemitonesFromFrequency(double frequency);

// When a detected pitch (MIDI note with a fraction) lies a whole number of
// octaves, within a quarter tone, from the stored tuning: "The pitch lies 1
// octave below the stored note D4: …", naming the two things it may be.
// nullopt when it lies within a quarter tone of the stored tuning or not
// near a whole number of octaves from it.
std::optional<std::string> OctaveFromStoredMessage(const CTuning& stored, double detected);

// The key a sample file's name gives: a note number of two or three digits
// at its start ("036-C.wav" → 36) or a note name with an octave standing
// apart from letters ("Flute_C4.wav" → 60, "Oboe A#5" → 82). nullopt when
// the name gives none. `name` is the file name without folders.
std::optional<int> NoteFromFileName(const std::string& name);
