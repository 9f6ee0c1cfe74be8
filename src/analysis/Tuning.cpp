// Conversions between the stored tuning, the XI fields, note names and text.

#include "analysis/Tuning.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <regex>

namespace {

constexpr int kFinetuneSteps = 128;  // XI finetune units per semitone
constexpr int kMiddleC = 60;         // MIDI note of C4, the XI relative note's zero
constexpr std::array<const char*, 12> kNames{"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
// Semitones of the natural notes above C.
constexpr std::array<int, 7> kNaturalOffsets{9, 11, 0, 2, 4, 5, 7};  // A … G

std::string Signed(double cents)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", std::abs(cents));
    // Rounded to zero shows as +0.0, never as a negative zero.
    const bool negative = cents < 0.0 && std::string(buffer) != "0.0";
    return std::string(negative ? "\u2212" : "+") + buffer;
}

}  // namespace

CTuning TuningFromSemitones(double semitones)
{
    double note = std::floor(semitones);
    double fraction = std::round((semitones - note) * kPitchFractionPerSemitone);
    if (fraction >= kPitchFractionPerSemitone) {
        note += 1.0;
        fraction = 0.0;
    }
    return CTuning{std::int32_t(note), std::uint32_t(fraction)};
}

CTuning TuningFromXI(std::int8_t relativeNote, std::int8_t finetune)
{
    return TuningFromSemitones(kMiddleC + relativeNote + double(finetune) / kFinetuneSteps);
}

CXITuning XITuningFrom(const CTuning& tuning)
{
    const double wanted = tuning.Semitones() - kMiddleC;
    const double steps = std::round(wanted * kFinetuneSteps);
    const double relative = std::clamp(std::round(steps / kFinetuneSteps), -128.0, 127.0);
    const double finetune = std::clamp(steps - relative * kFinetuneSteps, -128.0, 127.0);
    const double written = relative + finetune / kFinetuneSteps;
    return CXITuning{std::int8_t(relative), std::int8_t(finetune), 100.0 * std::abs(written - wanted)};
}

std::string NoteName(int note)
{
    const int octave = int(std::floor(note / 12.0)) - 1;
    return std::string(kNames[std::size_t(note - 12 * (octave + 1))]) + std::to_string(octave);
}

std::string FormatNoteAndCents(double semitones)
{
    const double nearest = std::round(semitones);
    return NoteName(int(nearest)) + " " + Signed(100.0 * (semitones - nearest)) + " ct";
}

double SemitonesFromFrequency(double frequency) { return 69.0 + 12.0 * std::log2(frequency / 440.0); }

std::optional<std::string> OctaveFromStoredMessage(const CTuning& stored, double detected)
{
    // A quarter tone either way still names the same note.
    constexpr double kToleranceSemitones = 0.5;
    const double difference = detected - stored.Semitones();
    const double octaves = std::round(difference / 12.0);
    if (octaves == 0.0 || std::abs(difference - 12.0 * octaves) > kToleranceSemitones)
        return std::nullopt;
    const int count = int(std::abs(octaves));
    // A tuning off by octaves is an octave error in the file, or a rank or
    // voice that sounds an octave from its key (a 16′ stop): worth a look
    // either way, never a refusal.
    return "The pitch lies " + std::to_string(count) + (count == 1 ? " octave " : " octaves ") +
           (octaves < 0 ? "below" : "above") + " the stored note " + NoteName(stored.m_nUnityNote) +
           ": an octave error in the stored tuning, or a rank or voice that sounds an octave from its key.";
}

std::string FormatPitch(double frequency)
{
    char hz[32];
    std::snprintf(hz, sizeof hz, "%.1f", frequency);
    return FormatNoteAndCents(SemitonesFromFrequency(frequency)) + " (" + hz + " Hz)";
}

std::string FormatStoredTuning(const CTuning& tuning)
{
    char cents[32];
    std::snprintf(cents, sizeof cents, "%.1f", 100.0 * tuning.m_nPitchFraction / kPitchFractionPerSemitone);
    return std::to_string(tuning.m_nUnityNote) + " + " + cents + " ct";
}

std::optional<int> NoteFromFileName(const std::string& name)
{
    // A leading number is a note only when nothing but a matching note
    // letter follows it ("036-C"); "016_Drawbar…" numbers a program.
    static const std::regex number(R"(^(\d{2,3})(?:[-_ ]([A-Ga-g])(#|b)?(?![A-Za-z0-9])|\.[^.]*$|$))");
    static const std::regex named(R"((?:^|[^A-Za-z])([A-Ga-g])(#|b)?(-1|[0-9])(?![0-9]))");
    const auto noteOf = [](const std::ssub_match& letter, const std::ssub_match& accidental, int octave) {
        const int index = std::toupper(static_cast<unsigned char>(letter.str()[0])) - 'A';
        int note = kNaturalOffsets[std::size_t(index)] + 12 * (octave + 1);
        if (accidental.matched)
            note += accidental.str() == "#" ? 1 : -1;
        return note;
    };
    std::smatch m;
    if (std::regex_search(name, m, number)) {
        const int note = std::stoi(m[1].str());
        const bool agrees = !m[2].matched || (noteOf(m[2], m[3], 0) - note) % 12 == 0;
        if (note <= 127 && agrees)
            return note;
    }
    std::optional<int> found;
    for (auto it = std::sregex_iterator(name.begin(), name.end(), named); it != std::sregex_iterator(); ++it) {
        const int note = noteOf((*it)[1], (*it)[2], std::stoi((*it)[3].str()));
        if (note >= 0 && note <= 127)
            found = note;
    }
    return found;
}
