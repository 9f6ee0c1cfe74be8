// Pitch detection: the error on synthetic tones of exactly known frequency
// (16 Hz to 6 kHz; harmonic, weak and missing fundamental, stretched
// overtones, vibrato, noise), the shift measured on every real recording
// resampled by known ratios (needs sox; skipped without it), the detected
// tuning beside the makers' stored ones, and then the speed of one
// detection on 10 s of stereo and of `batch --tune --jobs 2` over the real
// recordings. Beside them, the detune of the makers' loops and Auto Loop's.
#include "analysis/Pitch.h"
#include "analysis/Tuning.h"
#include "cli/BatchRunner.h"
#include "cli/CliCommands.h"
#include "cli/CliDocument.h"
#include "cli/CliUserInterface.h"
#include "cli/CliOptions.h"
#include "document/QuorvelDoc.h"
#include "framework/Archive.h"
#include "framework/File.h"
#include "framework/UserInterface.h"

#include "RealWorldManifest.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kRealWorld = RINGSEAM_REALWORLD;
constexpr int kRate = 44100;

double Median(std::vector<double> v)
{
    if (v.empty())
        return std::nan("");
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// --- synthetic tones ------------------------------------------------------------

struct CKind {
    const char* m_pszName;
    double m_dFundamental = 1.0;  // amplitude of the first partial (others 1/k)
    double m_dStretch = 0.0;      // inharmonicity B
    double m_dVibratoCents = 0.0; // ±, at 5 Hz
    double m_dNoiseShare = 0.0;   // noise RMS ÷ tone RMS
};

// Three seconds of stereo: 50 ms rise, then held; up to 12 partials below
// 0.45 × rate at k·f·√(1 + B·k²); the right channel has other phases.
std::vector<double> Render(const CKind& kind, double hz, std::mt19937& random)
{
    const int frames = 3 * kRate;
    std::vector<double> x(std::size_t(frames) * 2);
    std::normal_distribution<double> gauss;
    std::vector<double> amp, mul;
    double power = 0.0;
    for (int k = 1; k <= 12 && k * hz < 0.45 * kRate; ++k) {
        amp.push_back(k == 1 ? kind.m_dFundamental : 1.0 / k);
        mul.push_back(k * std::sqrt(1 + kind.m_dStretch * k * k));
        power += amp.back() * amp.back() / 2.0;
    }
    const double noise = kind.m_dNoiseShare * std::sqrt(power);
    const double depth = std::exp2(kind.m_dVibratoCents / 1200.0) - 1.0;
    const double pi2 = 2 * std::numbers::pi;
    for (int f = 0; f < frames; ++f) {
        const double s = double(f) / kRate;
        const double phase = pi2 * hz * (s - depth / (pi2 * 5.0) * std::cos(pi2 * 5.0 * s));
        for (int c = 0; c < 2; ++c) {
            double v = 0.0;
            for (std::size_t k = 0; k < amp.size(); ++k)
                v += amp[k] * std::sin(mul[k] * phase + 0.9 * double(k + 1) * (c + 1));
            x[std::size_t(f) * 2 + std::size_t(c)] = 0.15 * std::min(1.0, s / 0.05) * (v + noise * gauss(random));
        }
    }
    return x;
}

void PrintSynthetic()
{
    const CKind kinds[] = {
        {"harmonic"},
        {"weak fundamental (-20 dB)", 0.1},
        {"missing fundamental", 0.0},
        {"stretched, B = 1e-4", 1.0, 1e-4},
        {"vibrato +-20 ct at 5 Hz", 1.0, 0.0, 20.0},
        {"noise at 20 dB SNR", 1.0, 0.0, 0.0, 0.1},
    };
    // Twelve notes from C0 to G8 with a random detune each, so that no
    // frequency sits on a convenient grid.
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> detune(-50.0, 50.0);
    std::printf("Synthetic tones, stereo, 3 s, 12 frequencies from 16.4 Hz to 6.3 kHz each "
                "(error against the first partial's exact frequency)\n");
    std::printf("%-28s %6s %12s %10s %8s %8s\n", "kind", "tones", "median |ct|", "max |ct|", "octave", "refused");
    std::vector<double> all;
    int allOctaves = 0, allRefused = 0;
    for (const CKind& kind : kinds) {
        std::vector<double> errors;
        int octaves = 0, refused = 0;
        for (int i = 0; i < 12; ++i) {
            const double note = 12 + i * (103.0 - 12) / 11.0;  // C0 … G8
            const double hz = 440.0 * std::exp2((note - 69) / 12.0 + detune(random) / 1200.0);
            const auto x = Render(kind, hz, random);
            const CFrameView view{x.data(), int(x.size() / 2), 2, kRate};
            const auto pitch = DetectPitch(view);
            if (!pitch) {
                ++refused;
                continue;
            }
            const double err = 1200 * std::log2(pitch->m_dFrequency / (hz * std::sqrt(1 + kind.m_dStretch)));
            if (std::abs(err) > 600)
                ++octaves;
            else
                errors.push_back(std::abs(err));
        }
        std::printf("%-28s %6d %12.4f %10.4f %8d %8d\n", kind.m_pszName, 12, Median(errors),
                    errors.empty() ? NAN : *std::max_element(errors.begin(), errors.end()), octaves, refused);
        all.insert(all.end(), errors.begin(), errors.end());
        allOctaves += octaves;
        allRefused += refused;
    }
    std::printf("%-28s %6zu %12.4f %10.4f %8d %8d   (goal: median <= 0.2, max <= 1, no octave error)\n\n", "all",
                all.size() + std::size_t(allOctaves + allRefused), Median(all),
                *std::max_element(all.begin(), all.end()), allOctaves, allRefused);
}

// --- real recordings ---------------------------------------------------------------

struct CEntry {
    std::string m_strPath;  // relative to the folder
    int m_nMakerNote = 60;  // the unity note the maker stored
};

std::vector<CEntry> ReadManifest()
{
    std::vector<CEntry> entries;
    for (CManifestRow row : ReadManifestRows(kRealWorld / "manifest.tsv"))
        entries.push_back({row["rel_path"], row["unity_note"].empty() ? 60 : std::stoi(row["unity_note"])});
    return entries;
}

// The document of a file, read without the spectral banks; null when it
// cannot be read.
std::unique_ptr<CQuorvelDoc> Read(const fs::path& path)
{
    static CHeadlessUserInterface ui;
    auto doc = std::make_unique<CQuorvelDoc>();
    doc->SetUserInterface(&ui);
    try {
        const auto file = CDiskFile::Open(path.string(), CDiskFile::Mode::Read);
        CArchive ar(file.get(), CArchive::load);
        doc->ReadSampleFile(ar, false);
    } catch (const std::exception&) {
        return nullptr;
    }
    return doc;
}

std::optional<double> DetectedSemitones(const CQuorvelDoc& doc)
{
    const auto pitch = doc.DetectPitch();
    if (!pitch)
        return std::nullopt;
    return SemitonesFromFrequency(pitch->m_dFrequency);
}

void PrintConsistency(const std::vector<CEntry>& entries)
{
    if (std::system("sox --version >/dev/null 2>&1") != 0) {
        std::printf("Resampled recordings: skipped (no sox)\n\n");
        return;
    }
    const fs::path tmp = fs::temp_directory_path() / ("ringseam_pitch_bench_" + std::to_string(::getpid()));
    fs::create_directories(tmp);
    const int shifts[] = {-250, -37, -3, 3, 37, 250};
    std::printf("Real recordings resampled with sox speed by known shifts: measured shift - given shift, cents\n");
    std::printf("%-52s %8s", "file", "pitch");
    for (int s : shifts)
        std::printf(" %+7d", s);
    std::printf("\n");
    std::vector<double> all;
    int within = 0, measured = 0, skipped = 0;
    for (const CEntry& e : entries) {
        const auto doc = Read(kRealWorld / e.m_strPath);
        const double base = doc ? DetectedSemitones(*doc).value_or(NAN) : NAN;
        std::printf("%-52s %8s", e.m_strPath.c_str(), std::isfinite(base) ? FormatNoteAndCents(base).c_str() : "none");
        for (int s : shifts) {
            if (!std::isfinite(base)) {
                std::printf(" %7s", "-");
                continue;
            }
            const fs::path out = tmp / "shifted.wav";
            const std::string cmd = "sox '" + (kRealWorld / e.m_strPath).string() + "' '" + out.string() +
                                    "' speed " + std::to_string(s) + "c 2>/dev/null";
            const auto shifted = std::system(cmd.c_str()) == 0 ? Read(out) : nullptr;
            const auto pitch = shifted ? DetectedSemitones(*shifted) : std::nullopt;
            if (!pitch) {
                // sox drops the loop: a sample measured through its loop has none to measure by.
                std::printf(" %7s", "n/a");
                ++skipped;
                continue;
            }
            const double err = 100.0 * (*pitch - base) - s;
            std::printf(" %+7.3f", err);
            all.push_back(std::abs(err));
            ++measured;
            within += std::abs(err) <= 0.3;
        }
        std::printf("\n");
    }
    std::error_code ec;
    fs::remove_all(tmp, ec);
    std::printf("within 0.3 ct: %d of %d shifts measured (median |error| %.4f ct, max %.4f ct); %d not measurable "
                "(no steady pitch without the loop sox drops)\n\n",
                within, measured, Median(all), all.empty() ? NAN : *std::max_element(all.begin(), all.end()),
                skipped);
}

// How far under the even partials of `hz` its odd ones lie, in dB, over the
// document's steady part (the first 8 partials, energies summed): a tone an
// octave below the main one (a 16-foot rank, a section's basses) shows as
// odd partials. The detector takes the octave above only when they are
// 30 dB under; the figure shows how far each differing file is from that.
double OddUnderEvenDb(const CQuorvelDoc& doc, double hz)
{
    const CFrameView frames{doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
    const auto steady = FindPitchSteadyPart(frames);
    if (!steady)
        return NAN;
    const int n = steady->Length();
    double odd = 0.0, even = 0.0;
    for (int k = 1; k <= 8 && k * hz < 0.45 * doc.m_nSampleRate; ++k) {
        double re = 0.0, im = 0.0;
        for (int f = 0; f < n; ++f) {
            double v = 0.0;
            for (int c = 0; c < frames.m_nChannels; ++c)
                v += frames.At(steady->m_nBegin + f, c);
            const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * f / n);
            const double phase = 2 * std::numbers::pi * k * hz * f / doc.m_nSampleRate;
            re += w * v * std::cos(phase);
            im += w * v * std::sin(phase);
        }
        (k % 2 ? odd : even) += re * re + im * im;
    }
    return 10.0 * std::log10(even / odd);
}

void PrintMakers(const std::vector<CEntry>& entries)
{
    std::printf("Against the makers' stored tuning (unity note + fraction)\n");
    std::printf("%-52s %16s %16s %10s\n", "file", "stored", "detected", "diff ct");
    int organs = 0, within1 = 0, within3 = 0, notes = 0, equal = 0;
    std::vector<std::string> differing;
    for (const CEntry& e : entries) {
        const auto doc = Read(kRealWorld / e.m_strPath);
        if (!doc)
            continue;
        const auto detected = DetectedSemitones(*doc);
        const bool organ = e.m_strPath.rfind("bureaa-reeds/", 0) == 0;
        const double stored = doc->GetTuning().Semitones();
        if (organ) {
            ++organs;
            const double diff = detected ? 100.0 * (*detected - stored) : NAN;
            within1 += std::abs(diff) <= 1.0;
            within3 += std::abs(diff) <= 3.0;
            std::printf("%-52s %16s %16s %+10.2f\n", e.m_strPath.c_str(), FormatStoredTuning(doc->GetTuning()).c_str(),
                        detected ? FormatStoredTuning(TuningFromSemitones(*detected)).c_str() : "none", diff);
            continue;
        }
        ++notes;
        const int note = detected ? int(std::lround(*detected)) : -1;
        if (note == e.m_nMakerNote) {
            ++equal;
            continue;
        }
        char line[320];
        const int written = std::snprintf(
            line, sizeof line, "  %-50s maker %3d  detected %s", e.m_strPath.c_str(), e.m_nMakerNote,
            detected ? (std::to_string(note) + " (" + FormatNoteAndCents(*detected) + ")").c_str()
                     : "none (no steady pitch)");
        if (detected && (note - e.m_nMakerNote) % 12 == 0 && written > 0 && std::size_t(written) < sizeof line)
            std::snprintf(line + written, sizeof line - std::size_t(written),
                          "  %+d octave(s); odd partials %.1f dB under the even ones", (note - e.m_nMakerNote) / 12,
                          OddUnderEvenDb(*doc, 440.0 * std::exp2((*detected - 69.0) / 12.0)));
        differing.emplace_back(line);
    }
    std::printf("organ pipes: within 1 ct %d of %d, within 3 ct %d of %d   (goal: >= 10 of 11 within 1, all "
                "within 3)\n",
                within1, organs, within3, organs);
    std::printf("soundfont sets: detected note equals the maker's on %d of %d (%.1f %%); differing:\n", equal, notes,
                notes ? 100.0 * equal / notes : 0.0);
    for (const std::string& d : differing)
        std::printf("%s\n", d.c_str());
    std::printf("\n");
}

// The detune each loop's length causes against the detected pitch: the
// makers' loops and Auto Loop's, side by side (Auto Loop should stay under
// 1 cent).
void PrintLoopDetune(const std::vector<CEntry>& entries)
{
    std::printf("Loop detune against the detected pitch, |cents|\n%-52s %10s %10s\n", "file", "maker", "Auto Loop");
    std::vector<double> maker, automatic;
    int autoOver = 0;
    for (const CEntry& e : entries) {
        CCliUserInterface ui(std::nullopt, nullptr, false, true);
        CQuorvelDoc doc;
        std::string why;
        if (!LoadSampleDocument(doc, ui, (kRealWorld / e.m_strPath).string(), why))
            continue;
        const auto pitch = doc.DetectPitch();
        if (!pitch)
            continue;
        const auto detune = [&] {
            return doc.m_bHasLoop
                       ? std::abs(LoopDetuneCents(pitch->m_dFrequency, doc.m_nLoopEnd - doc.m_nLoopStart,
                                                  doc.m_nSampleRate)
                                      .value_or(NAN))
                       : NAN;
        };
        const double m = detune();
        const double a = doc.AutoLoop() ? detune() : NAN;
        std::printf("%-52s %10.3f %10.3f\n", e.m_strPath.c_str(), m, a);
        if (std::isfinite(m))
            maker.push_back(m);
        if (std::isfinite(a)) {
            automatic.push_back(a);
            autoOver += a > 1.0;
        }
    }
    std::printf("median: makers %.3f ct, Auto Loop %.3f ct; Auto Loop over 1 ct on %d of %zu loops\n\n",
                Median(maker), Median(automatic), autoOver, automatic.size());
}

void PrintQuality()
{
    PrintSynthetic();
    if (!fs::exists(kRealWorld / "manifest.tsv")) {
        std::printf("Real recordings: skipped (no %s)\n\n", kRealWorld.c_str());
        return;
    }
    const auto entries = ReadManifest();
    PrintMakers(entries);
    PrintLoopDetune(entries);
    PrintConsistency(entries);
}

// --- speed ---------------------------------------------------------------------

const std::vector<double>& TenSecondStereo()
{
    static const std::vector<double> x = [] {
        std::mt19937 random(5);
        const CKind kind{"vibrato with noise", 0.5, 0.0, 20.0, 0.1};
        std::vector<double> three = Render(kind, 233.0, random);
        std::vector<double> ten;
        while (ten.size() < std::size_t(10 * kRate * 2))
            ten.insert(ten.end(), three.begin(), three.end());
        ten.resize(std::size_t(10 * kRate * 2));
        return ten;
    }();
    return x;
}

// One detection once the steady part is known (the goal: under 20 ms).
void BM_DetectPitch_TenSecondStereo(benchmark::State& state)
{
    const auto& x = TenSecondStereo();
    const CFrameView view{x.data(), int(x.size() / 2), 2, kRate};
    const CFrameSpan steady{0, view.m_nFrameCount};
    for (auto _ : state)
        benchmark::DoNotOptimize(DetectPitch(view, steady));
}

// A ten-minute take beside it: only its first half minute is measured, so
// a long recording costs a few times a short one, not sixty.
void BM_DetectPitch_TenMinuteStereo(benchmark::State& state)
{
    static const std::vector<double> x = [] {
        std::vector<double> ten;
        for (int i = 0; i < 60; ++i)
            ten.insert(ten.end(), TenSecondStereo().begin(), TenSecondStereo().end());
        return ten;
    }();
    const CFrameView view{x.data(), int(x.size() / 2), 2, kRate};
    for (auto _ : state)
        benchmark::DoNotOptimize(DetectPitch(view));
}

// Finding the steady part itself, beside it.
void BM_FindPitchSteadyPart_TenSecondStereo(benchmark::State& state)
{
    const auto& x = TenSecondStereo();
    const CFrameView view{x.data(), int(x.size() / 2), 2, kRate};
    for (auto _ : state)
        benchmark::DoNotOptimize(FindPitchSteadyPart(view));
}

// `batch` over the real recordings with two jobs, without and with --tune
// (the goal for --tune: under 3 s). Files without a steady pitch fail and
// are counted, not fatal.
void BM_Batch_RealWorld(benchmark::State& state)
{
    if (!fs::exists(kRealWorld / "manifest.tsv")) {
        state.SkipWithError("no real recordings");
        return;
    }
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path root = base / ("ringseam_pitch_bench_" + std::to_string(::getpid()));
    fs::create_directories(root / "in");
    const auto entries = ReadManifest();
    for (const CEntry& e : entries) {
        std::string name = e.m_strPath;
        std::replace(name.begin(), name.end(), '/', '_');
        fs::create_symlink(fs::absolute(kRealWorld / e.m_strPath), root / "in" / name);
    }
    CCliOptions options;
    options.m_command = ECliCommand::Batch;
    options.m_inputs = {(root / "in").string()};
    options.m_strOutDir = (root / "out").string();
    options.m_nJobs = int(state.range(0));
    options.m_bTune = state.range(1) != 0;
    options.m_bQuiet = true;
    options.m_bOverwrite = true;
    int failed = 0;
    for (auto _ : state) {
        std::ostringstream sout, serr;
        CCliStreams io{sout, serr, false};
        RunBatch(options, io);
        const std::string errors = serr.str();
        failed = int(std::count(errors.begin(), errors.end(), '\n'));
    }
    state.counters["files"] = double(entries.size());
    state.counters["failed"] = failed;
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace

BENCHMARK(BM_DetectPitch_TenSecondStereo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectPitch_TenMinuteStereo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindPitchSteadyPart_TenSecondStereo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Batch_RealWorld)
    ->ArgNames({"jobs", "tune"})
    ->Args({2, 0})
    ->Args({2, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

int main(int argc, char** argv)
{
    PrintQuality();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
