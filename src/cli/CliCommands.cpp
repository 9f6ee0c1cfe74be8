#include "cli/CliCommands.h"

#include "analysis/AutoLoop.h"
#include "analysis/FrameView.h"
#include "analysis/SeamMetrics.h"
#include "cli/CliAutoLoops.h"
#include "cli/CliDocument.h"
#include "cli/CliJson.h"
#include "cli/CliLoops.h"
#include "cli/CliOptions.h"
#include "cli/CliUserInterface.h"
#include "framework/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

std::string LoopText(const CQuorvelDoc& doc)
{
    return doc.m_bHasLoop ? std::to_string(doc.m_nLoopStart) + "-" + std::to_string(doc.m_nLoopEnd) : "none";
}

// How the file stores its samples: "pcm" (integers) or "float".
const char* EncodingName(const CQuorvelDoc& doc) { return doc.m_sourceEncoding.m_bFloat ? "float" : "pcm"; }

void AddLoop(CJsonObject& json, const CQuorvelDoc& doc)
{
    json.AddBool("has_loop", doc.m_bHasLoop);
    if (doc.m_bHasLoop) {
        json.AddInt("loop_start", doc.m_nLoopStart);
        json.AddInt("loop_end", doc.m_nLoopEnd);
    } else {
        json.AddNull("loop_start");
        json.AddNull("loop_end");
    }
}

// Auto Loop's pick beside the loop rated, with what it could not give.
void AddAutoLoop(CJsonObject& json, const CAutoLoopResult& r)
{
    if (r.m_loop)
        json.AddInt("auto_start", r.m_loop->m_nStart).AddInt("auto_end", r.m_loop->m_nEnd);
    else
        json.AddNull("auto_start").AddNull("auto_end");
    AddAutoLoopFlags(json, r);
}

}  // namespace

bool RunLoopSearch(CQuorvelDoc& doc, CCliUserInterface& ui, const CCliOptions& options, int& crossfade,
                   std::string& strError)
{
    crossfade = 0;
    if (options.m_bAuto && options.m_nAutoLoops > 0) {  // several loops (never with --crossfade)
        if (doc.AutoLoops(options.m_nAutoLoops) == 0) {
            strError = ui.TakeFailure();
            return false;
        }
        return true;
    }
    if (!options.m_bCrossfade) {
        if (!options.m_bAuto) {
            doc.FindLoop();
            return true;
        }
        if (!doc.AutoLoop()) {
            strError = ui.TakeFailure();
            return false;
        }
        return true;
    }
    try {
        if (!(options.m_bAuto ? doc.AutoLoopCrossfade() : (doc.FindLoopCrossfade(), true))) {
            strError = ui.TakeFailure();
            return false;
        }
    } catch (const std::exception& e) {
        // Reading the frames again failed (file gone or changed, no sample choice).
        strError = ui.TakeFailure();
        if (strError.empty())
            strError = FailureMessage(e, FailureContext::Reload);
        return false;
    }
    crossfade = doc.m_bHasLoop ? doc.CrossfadeLengthForLoop() : 0;
    return true;
}

void PrintCliError(std::ostream& err, const std::string& path, const std::string& message)
{
    err << kCliName << ": ";
    if (!path.empty())
        err << path << ": ";
    err << message << '\n' << std::flush;
}

int RunInfo(const CCliOptions& options, CCliStreams& io)
{
    int code = kExitOk;
    for (const std::string& path : options.m_inputs) {
        CCliLoaded loaded;
        if (!LoadCommandInput(options, io, path, loaded)) {
            code = kExitFailure;
            continue;
        }
        const CQuorvelDoc& doc = *loaded.m_pDoc;
        if (options.m_bJson) {
            CJsonObject json;
            json.AddString("path", path)
                .AddString("format", doc.m_strFileType)
                .AddInt("channels", doc.m_nChannels)
                .AddInt("sample_rate", doc.m_nSampleRate)
                .AddInt("frames", doc.m_nFrameCount)
                .AddInt("bits", doc.m_sourceEncoding.m_nBits)
                .AddString("encoding", EncodingName(doc))
                .AddInt("unity_note", doc.m_nUnityNote);
            AddLoop(json, doc);
            json.AddInt("bank_size", doc.m_nBankSize).AddInt("bank_count", doc.m_nBankCount);
            json.AddRaw("loops", LoopsJson(doc));
            if (doc.m_nRelease >= 0)
                json.AddInt("release", doc.m_nRelease);
            else
                json.AddNull("release");
            json.AddInt("pitch_fraction", doc.m_nPitchFraction);
            io.out << json.Str() << '\n';
        } else {
            io.out << path << ": " << doc.m_strFileType << ' ' << doc.m_nChannels << "ch " << doc.m_nSampleRate
                   << " Hz " << doc.m_nFrameCount << " frames unity " << doc.m_nUnityNote << " loop "
                   << LoopText(doc) << " bank " << doc.m_nBankSize << 'x' << doc.m_nBankCount << " bits "
                   << doc.m_sourceEncoding.m_nBits << ' ' << EncodingName(doc) << " tuning "
                   << FormatStoredTuning(doc.GetTuning()) << '\n'
                   << ExtraLoopLines(doc);
        }
        io.out << std::flush;
    }
    return code;
}

int RunConvert(const CCliOptions& options, CCliStreams& io)
{
    CCliLoaded loaded;
    if (!LoadCommandInput(options, io, options.m_inputs[0], loaded) ||
        !SaveCommandOutput(*loaded.m_pDoc, *loaded.m_pUi, io, options.m_strOutput))
        return kExitFailure;
    return kExitOk;
}

int RunFindLoop(const CCliOptions& options, CCliStreams& io)
{
    const std::string& path = options.m_inputs[0];
    CCliLoaded loaded;
    if (!LoadCommandInput(options, io, path, loaded))
        return kExitFailure;
    CQuorvelDoc& doc = *loaded.m_pDoc;
    int crossfade = 0;
    std::string why;
    CAutoLoopReport report = MeasureAutoLoopReport(doc, options);
    if (!RunLoopSearch(doc, *loaded.m_pUi, options, crossfade, why)) {
        PrintCliError(io.err, path, why);
        return kExitFailure;
    }
    CountAutoLoops(report, doc);
    if (const auto note = FewerLoopsNote(report))
        PrintCliError(io.err, path, *note);
    if (options.m_bFindRelease)  // after the last loop as the search placed it
        ApplyReleaseOption(doc, options, why);
    if (!options.m_strOutput.empty() && !SaveCommandOutput(*loaded.m_pDoc, *loaded.m_pUi, io, options.m_strOutput))
        return kExitFailure;
    if (options.m_bJson) {
        CJsonObject json;
        json.AddString("path", path);
        AddLoop(json, doc);
        json.AddInt("crossfade_length", crossfade);
        if (options.m_bSetRelease)
            json.AddInt("release", doc.m_nRelease);
        AddAutoLoopReport(json, report);
        io.out << json.Str() << '\n';
    } else {
        if (report.m_nAsked > 0)  // every loop placed, best first
            for (const CLoopPoints& l : doc.GetLoops())
                io.out << "loop " << l.m_nStart << ' ' << l.m_nEnd << '\n';
        else if (doc.m_bHasLoop)
            io.out << "loop " << doc.m_nLoopStart << ' ' << doc.m_nLoopEnd << '\n';
        else
            io.out << "loop none\n";
        if (options.m_bSetRelease)
            io.out << "release " << doc.m_nRelease << '\n';
    }
    io.out << std::flush;
    return kExitOk;
}

int RunCurves(const CCliOptions& options, CCliStreams& io)
{
    const std::string& path = options.m_inputs[0];
    CCliLoaded loaded;
    if (!LoadCommandInput(options, io, path, loaded))
        return kExitFailure;
    CQuorvelDoc& doc = *loaded.m_pDoc;
    if (options.m_bSetLoop || options.m_bNoLoop)
        doc.ComputeEndLoopCurve();
    int banks = doc.m_nBankCount;
    if (doc.m_nCurveColumns < 2 ||
        doc.m_pLoopCurves.size() < std::size_t(std::max(banks, 0)) * std::size_t(doc.m_nCurveColumns))
        banks = 0;
    if (options.m_bJson) {
        std::string begin = "[", end = "[";
        for (int b = 0; b < banks; ++b) {
            const char* sep = b ? "," : "";
            begin += sep;
            begin += JsonNumber(doc.GetCurve(b, 0));
            end += sep;
            end += JsonNumber(doc.GetCurve(b, 1));
        }
        CJsonObject json;
        json.AddString("path", path)
            .AddInt("bank_size", doc.m_nBankSize)
            .AddInt("bank_count", banks)
            .AddRaw("begin_loop", begin + "]")
            .AddRaw("end_loop", end + "]");
        io.out << json.Str() << '\n';
    } else {
        io.out << "bank,begin_loop,end_loop\n";
        for (int b = 0; b < banks; ++b)
            io.out << b << ',' << FormatDouble(doc.GetCurve(b, 0)) << ',' << FormatDouble(doc.GetCurve(b, 1))
                   << '\n';
    }
    io.out << std::flush;
    return kExitOk;
}

int RunCombFilter(const CCliOptions& options, CCliStreams& io)
{
    CCliLoaded loaded;
    if (!LoadCommandInput(options, io, options.m_inputs[0], loaded))
        return kExitFailure;
    loaded.m_pDoc->SpectralCombFilter();
    return SaveCommandOutput(*loaded.m_pDoc, *loaded.m_pUi, io, options.m_strOutput) ? kExitOk : kExitFailure;
}

int RunScore(const CCliOptions& options, CCliStreams& io)
{
    const std::string& path = options.m_inputs[0];
    CCliLoaded loaded;
    if (!LoadCommandInput(options, io, path, loaded))
        return kExitFailure;
    CQuorvelDoc& doc = *loaded.m_pDoc;
    const double given = doc.SeamScore(options.m_nLoopStart, options.m_nLoopEnd);
    const CFrameView frames{doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
    const CSeamMetrics metrics = MeasureSeam(frames, options.m_nLoopStart, options.m_nLoopEnd);
    const CAutoLoopResult autoLoop = DocumentAutoLoopResult(doc);
    // The detected pitch, a short sample's through the loop it was read
    // with (before Find Loop replaces that loop).
    const std::optional<CPitch> pitch = doc.DetectPitch();
    doc.FindLoop();
    const double found = doc.m_bHasLoop ? doc.SeamScore(doc.m_nLoopStart, doc.m_nLoopEnd) : given;
    // The detune the given loop's length causes against the detected pitch.
    const double detune =
        pitch ? LoopDetuneCents(pitch->m_dFrequency, options.m_nLoopEnd - options.m_nLoopStart, doc.m_nSampleRate)
                    .value_or(std::nan(""))
              : std::nan("");
    if (options.m_bJson) {
        CJsonObject json;
        json.AddString("path", path)
            .AddInt("loop_start", options.m_nLoopStart)
            .AddInt("loop_end", options.m_nLoopEnd)
            .AddDouble("score", given)
            .AddDouble("seam", metrics.m_dSeam)
            .AddDouble("level_db", metrics.m_dLevelDb)
            .AddDouble("timbre_db", metrics.m_dTimbreDb)
            .AddBool("in_attack", metrics.m_bInAttack)
            .AddDouble("sustain_db", metrics.m_dSustainDb)
            .AddBool("in_tail", metrics.m_bInTail)
            .AddInt("found_start", doc.m_nLoopStart)
            .AddInt("found_end", doc.m_nLoopEnd)
            .AddDouble("found_score", found);
        AddAutoLoop(json, autoLoop);
        json.AddDouble("detune_cents", detune);
        io.out << json.Str() << '\n';
    } else {
        io.out << "score " << FormatDouble(given) << " seam " << FormatDouble(metrics.m_dSeam) << " level "
               << FormatDouble(metrics.m_dLevelDb) << " dB timbre " << FormatDouble(metrics.m_dTimbreDb)
               << " dB attack " << (metrics.m_bInAttack ? "yes" : "no") << " sustain "
               << FormatDouble(metrics.m_dSustainDb) << " dB tail " << (metrics.m_bInTail ? "yes" : "no") << '\n'
               << "found " << doc.m_nLoopStart << ' ' << doc.m_nLoopEnd << " score " << FormatDouble(found) << '\n';
        io.out << "detune " << (std::isfinite(detune) ? FormatDouble(detune) + " ct against " + FormatPitch(pitch->m_dFrequency)
                                       : std::string(pitch ? "none (the loop is shorter than a period)"
                                                           : "none (no steady pitch)"))
               << '\n';
    }
    io.out << std::flush;
    return kExitOk;
}
