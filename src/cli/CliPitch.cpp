// The pitch command: the stored tuning beside the detected pitch, the key a
// file name gives, and --write to store the detected tuning.

#include "analysis/Tuning.h"
#include "cli/CliCommands.h"
#include "cli/CliDocument.h"
#include "cli/CliJson.h"
#include "cli/CliOptions.h"
#include "cli/CliUserInterface.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

// A pitch within this many semitones of a whole number of octaves from the
// key is that key, however it is tuned (a quarter tone decides).
constexpr double kOctaveToleranceSemitones = 0.5;

std::string Fixed(const char* format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace

int RunPitch(const CCliOptions& options, CCliStreams& io)
{
    int code = kExitOk;
    for (const std::string& path : options.m_inputs) {
        CCliUserInterface ui(options.m_nXISample, &io.err, io.bErrIsTerminal, options.m_bQuiet);
        auto pDoc = std::make_unique<CQuorvelDoc>();
        std::string why;
        if (!LoadSampleDocument(*pDoc, ui, path, why)) {
            PrintCliError(io.err, path, why);
            code = kExitFailure;
            continue;
        }
        CQuorvelDoc& doc = *pDoc;
        const CTuning stored = doc.GetTuning();
        const std::optional<CPitch> pitch = doc.DetectPitch();
        if (!pitch) {
            PrintCliError(io.err, path, kNoSteadyPitchMessage);
            code = kExitFailure;
            continue;
        }
        const double detected = SemitonesFromFrequency(pitch->m_dFrequency);
        const double difference = 100.0 * (detected - stored.Semitones());
        const std::optional<int> key = NoteFromFileName(std::filesystem::path(path).filename().string());
        const double fromKey = key ? detected - *key : 0.0;
        const double octaves = fromKey / 12.0;
        const bool wholeOctaves = std::abs(fromKey - 12.0 * std::round(octaves)) <= kOctaveToleranceSemitones;

        if (options.m_bWrite) {
            doc.SetTuning(TuningFromSemitones(detected));
            if (!SaveSampleDocument(doc, ui, options.m_strOutput, why)) {
                PrintCliError(io.err, options.m_strOutput, why);
                return kExitFailure;
            }
        }
        if (const auto octaves = OctaveFromStoredMessage(stored, detected))
            PrintCliError(io.err, path, "warning: " + *octaves);
        if (key && !wholeOctaves)
            PrintCliError(io.err, path,
                          "warning: the pitch lies " + Fixed("%+.2f", fromKey) + " semitones from the key " +
                              NoteName(*key) + " the name gives, not a whole number of octaves.");
        if (options.m_bJson) {
            CJsonObject json;
            json.AddString("path", path)
                .AddInt("unity_note", stored.m_nUnityNote)
                .AddInt("pitch_fraction", stored.m_nPitchFraction)
                .AddDouble("detected_hz", pitch->m_dFrequency)
                .AddInt("detected_note", pitch->m_nNote)
                .AddDouble("detected_cents", pitch->m_dCents)
                .AddDouble("confidence", pitch->m_dConfidence)
                .AddDouble("difference_cents", difference);
            if (key)
                json.AddInt("name_note", *key).AddDouble("name_difference_semitones", fromKey).AddBool(
                    "whole_octaves", wholeOctaves);
            else
                json.AddNull("name_note").AddNull("name_difference_semitones").AddNull("whole_octaves");
            if (options.m_bWrite)
                json.AddString("output", options.m_strOutput);
            io.out << json.Str() << '\n';
        } else {
            io.out << path << ": stored " << FormatStoredTuning(stored) << " ("
                   << FormatNoteAndCents(stored.Semitones()) << ") detected " << FormatPitch(pitch->m_dFrequency)
                   << " confidence " << Fixed("%.2f", pitch->m_dConfidence) << " difference "
                   << Fixed("%+.1f", difference) << " ct";
            if (key)
                io.out << " key " << NoteName(*key) << ' ' << Fixed("%+.2f", fromKey) << " semitones";
            if (options.m_bWrite)
                io.out << " -> " << options.m_strOutput;
            io.out << '\n';
        }
        io.out << std::flush;
    }
    return code;
}
