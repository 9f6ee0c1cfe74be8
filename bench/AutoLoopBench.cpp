// Auto Loop on real recordings and on synthetic ones of the kinds that are
// hard to loop (short samples, noise, release tails, long steady tones):
// the seam figures of the makers' own loops (for the synthetic ones, the
// loop their maker would set), of Find Loop from the whole sample and of
// Auto Loop side by side, per folder and in all; then the speed of the
// search on a 10-second stereo sample and of `batch --auto --jobs 2` over
// the whole folder.
#include "analysis/AutoLoop.h"
#include "analysis/FrameView.h"
#include "analysis/Pitch.h"
#include "analysis/SeamMetrics.h"
#include "analysis/LoopCurves.h"
#include "cli/BatchRunner.h"
#include "cli/CliCommands.h"
#include "cli/CliDocument.h"
#include "cli/CliOptions.h"
#include "cli/CliUserInterface.h"
#include "document/QuorvelDoc.h"

#include "RealWorldManifest.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kRealWorld = RINGSEAM_REALWORLD;

struct CEntry {
    std::string m_strPath;    // relative to the folder
    std::string m_strFolder;  // first path component
    int m_nStart = 0;
    int m_nEnd = 0;  // exclusive
};

std::vector<CEntry> ReadManifest()
{
    std::vector<CEntry> entries;
    for (CManifestRow row : ReadManifestRows(kRealWorld / "manifest.tsv")) {
        if (row["has_loop"] != "yes")
            continue;
        CEntry e;
        e.m_strPath = row["rel_path"];
        e.m_strFolder = e.m_strPath.substr(0, e.m_strPath.find('/'));
        e.m_nStart = std::stoi(row["loop_start"]);
        e.m_nEnd = std::stoi(row["loop_end"]) + 1;  // the stored end is the last frame played
        entries.push_back(e);
    }
    return entries;
}

struct CResult {
    bool m_bHasLoop = false;
    CAutoLoopResult m_found;  // Auto Loop's own account
    int m_nStart = 0, m_nEnd = 0;
    CSeamMetrics m_m;
};

CResult Measure(const CFrameView& v, bool bHas, int s, int e)
{
    CResult r;
    r.m_bHasLoop = bHas;
    r.m_nStart = s;
    r.m_nEnd = e;
    if (bHas)
        r.m_m = MeasureSeam(v, s, e);
    return r;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return std::nan("");
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

struct CFileRow {
    const CEntry* m_pEntry;
    CResult m_maker, m_find, m_auto;
    double m_dFrequency = 0.0;  // the detected pitch, Hz; 0 when none
    int m_nSampleRate = 0;
};

// The figures of one contender over a group of files.
struct CFigures {
    int m_nLoops = 0, m_nFiles = 0;
    double m_dClean = 0, m_dNoWorse = 0, m_dAttack = 0;  // shares of the files, %
    double m_dTail = 0;     // share in a tail, %
    int m_nWorseTail = 0;   // in a tail where the maker's loop is not
    double m_dLevel = 0, m_dTimbre = 0;                  // medians, dB
    double m_dLength = 0;       // median length, frames
    double m_dLengthShare = 0;  // that over the makers' median length
    double m_dFileShare = 0;    // median over the files of length / maker's length
};

// A file without a loop counts as neither clean nor in the attack, with an
// infinite level and timbre and no length.
CFigures FiguresOf(const std::vector<const CFileRow*>& rows, CResult CFileRow::*pick)
{
    CFigures f;
    f.m_nFiles = int(rows.size());
    std::vector<double> level, timbre, length, makerLength, share;
    for (const CFileRow* r : rows) {
        const CResult& x = r->*pick;
        const double maker = r->m_maker.m_nEnd - r->m_maker.m_nStart;
        makerLength.push_back(maker);
        const double len = x.m_bHasLoop ? x.m_nEnd - x.m_nStart : 0.0;
        length.push_back(len);
        share.push_back(len / maker);
        level.push_back(x.m_bHasLoop ? x.m_m.m_dLevelDb : INFINITY);
        timbre.push_back(x.m_bHasLoop ? x.m_m.m_dTimbreDb : INFINITY);
        if (!x.m_bHasLoop)
            continue;
        ++f.m_nLoops;
        f.m_dClean += x.m_m.IsClean();
        f.m_dAttack += x.m_m.m_bInAttack;
        f.m_dNoWorse += x.m_m.m_dSeam <= r->m_maker.m_m.m_dSeam;
        f.m_dTail += x.m_m.m_bInTail;
        f.m_nWorseTail += x.m_m.m_bInTail && !r->m_maker.m_m.m_bInTail;
    }
    const double n = std::max(1.0, double(rows.size()));
    f.m_dClean *= 100.0 / n;
    f.m_dAttack *= 100.0 / n;
    f.m_dNoWorse *= 100.0 / n;
    f.m_dTail *= 100.0 / n;
    f.m_dLevel = Median(level);
    f.m_dTimbre = Median(timbre);
    f.m_dLength = Median(length);
    f.m_dLengthShare = f.m_dLength / Median(makerLength);
    f.m_dFileShare = Median(share);
    return f;
}

void PrintSummary(const char* name, const std::vector<const CFileRow*>& rows)
{
    std::printf("\n%s (%zu files)\n", name, rows.size());
    std::printf("  %-10s %8s %8s %10s %8s %8s %6s %8s %8s %9s %7s %7s\n", "loops", "found", "clean", "seam<=mkr",
                "attack", "tail", "tail!", "level", "timbre", "length", "/mkr", "/file");
    const CFigures maker = FiguresOf(rows, &CFileRow::m_maker);
    const CFigures find = FiguresOf(rows, &CFileRow::m_find);
    const CFigures autoLoop = FiguresOf(rows, &CFileRow::m_auto);
    for (const auto& [who, f] : {std::pair{"makers", maker}, {"find-loop", find}, {"auto-loop", autoLoop}})
        std::printf("  %-10s %4d/%-3d %7.1f%% %9.1f%% %7.1f%% %7.1f%% %6d %8.2f %8.2f %9.0f %7.2f %7.2f\n", who,
                    f.m_nLoops, f.m_nFiles, f.m_dClean, f.m_dNoWorse, f.m_dAttack, f.m_dTail, f.m_nWorseTail,
                    f.m_dLevel, f.m_dTimbre, f.m_dLength, f.m_dLengthShare, f.m_dFileShare);
    int noise = 0, shorter = 0, detuned = 0;
    for (const CFileRow* r : rows) {
        const CAutoLoopResult& f = r->m_auto.m_found;
        noise += f.m_bNoise;
        shorter += f.m_loop && f.m_bShort;
        detuned += f.m_loop && std::fabs(f.m_dDetuneCents) > kMaxDetuneCents;
    }
    std::printf("  auto-loop: %d taken for noise, %d shorter than wanted, %d detuned by over %.0f cent\n", noise,
                shorter, detuned, kMaxDetuneCents);
    // The detune each loop's length causes against the detected pitch (as
    // `score` and the verdict pane measure it), makers' and Auto Loop's.
    std::printf("  detune against the detected pitch, |cents|:");
    for (const auto& [who, pick] : {std::pair{"makers", &CFileRow::m_maker}, {"auto-loop", &CFileRow::m_auto}}) {
        std::vector<double> cents;
        int over = 0;
        for (const CFileRow* r : rows) {
            const CResult& x = r->*pick;
            const std::optional<double> d =
                x.m_bHasLoop && !(pick == &CFileRow::m_auto && x.m_found.m_bNoise) && r->m_dFrequency > 0.0
                    ? LoopDetuneCents(r->m_dFrequency, x.m_nEnd - x.m_nStart, r->m_nSampleRate)
                    : std::nullopt;
            if (!d)
                continue;
            cents.push_back(std::fabs(*d));
            over += std::fabs(*d) > kMaxDetuneCents;
        }
        std::printf(" %s median %.3f, over %.0f ct on %d of %zu;", who, Median(cents), kMaxDetuneCents, over,
                    cents.size());
    }
    using Reason = CAutoLoopResult::DetuneReason;
    int noLength = 0, noSplice = 0;
    for (const CFileRow* r : rows) {
        noLength += r->m_auto.m_found.m_loop && r->m_auto.m_found.m_detuneReason == Reason::NoCloserLength;
        noSplice += r->m_auto.m_found.m_loop && r->m_auto.m_found.m_detuneReason == Reason::NoCleanSplice;
    }
    std::printf(" auto-loop's reasons: %d no closer whole length, %d no clean splice in tune\n", noLength, noSplice);
    const auto mark = [](bool ok) { return ok ? "met" : "MISSED"; };
    std::printf("  auto-loop goals: clean >= 97%% %s; a loop on every file %s; none in the attack %s; none in a "
                "tail where the maker's is not %s; level <= 0.3 dB %s; timbre <= makers' %s; seam <= maker's on "
                ">= 80%% %s; length >= half the maker's %s\n",
                mark(autoLoop.m_dClean >= 97.0), mark(autoLoop.m_nLoops == autoLoop.m_nFiles),
                mark(autoLoop.m_dAttack == 0.0), mark(autoLoop.m_nWorseTail == 0), mark(autoLoop.m_dLevel <= 0.3),
                mark(autoLoop.m_dTimbre <= maker.m_dTimbre), mark(autoLoop.m_dNoWorse >= 80.0),
                mark(autoLoop.m_dLengthShare >= 0.5 && autoLoop.m_dFileShare >= 0.5));
}

constexpr double kPi = 3.141592653589793;

// The banks and curves of frames set by hand, computed as a load does.
void ComputeBanksOf(CQuorvelDoc& d)
{
    d.AllocateBanks();
    for (int c = 0; c < d.m_nChannels; ++c)
        for (int b = 0; b < d.m_nBankCount; ++b)
            d.ComputeBank(b, c);
    ComputeLoopCurves(d);
}

std::unique_ptr<CQuorvelDoc> Synthesize(int rate, int channels, int frames, const std::function<double(int, int)>& f)
{
    auto d = std::make_unique<CQuorvelDoc>();
    d->m_nSampleRate = rate;
    d->m_nChannels = channels;
    d->m_nFrameCount = frames;
    d->m_pSamples.resize(std::size_t(frames) * std::size_t(channels));
    for (int fr = 0; fr < frames; ++fr)
        for (int c = 0; c < channels; ++c)
            d->SetSample(fr, c, f(fr, c));
    ComputeBanksOf(*d);
    return d;
}

// A few partials at phase p (radians), a little different per channel.
double Partials(double p, int c)
{
    p += 0.4 * c;
    return 0.5 * std::sin(p) + 0.2 * std::sin(2 * p + 0.7) + 0.1 * std::sin(3 * p + 1.9) + 0.05 * std::sin(5 * p);
}

// Noise of `frames` frames that repeats exactly after `period` frames:
// white filtered to white (0), pink (1) or brown (2), scaled to RMS 0.25.
std::vector<double> PeriodicNoise(int period, int colour, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<double> v(std::size_t(period), 0.0);
    // Pink: the sum of first-order low-passes an octave apart; brown: one
    // leaky integrator. Run twice so the filter state wraps round.
    double b[6] = {}, brown = 0.0;
    for (int pass = 0; pass < 2; ++pass) {
        std::mt19937 r = rng;
        for (int k = 0; k < period; ++k) {
            const double w = g(r);
            double y = w;
            if (colour == 1) {
                y = 0.0;
                for (int o = 0; o < 6; ++o) {
                    const double a = std::exp(-2 * kPi * 20.0 * std::pow(4.0, o) / 44100.0);
                    b[o] = a * b[o] + (1 - a) * w * std::pow(2.0, o / 2.0 + 2);
                    y += b[o];
                }
                y += 0.3 * w;
            } else if (colour == 2) {
                brown = 0.995 * brown + 0.1 * w;
                y = brown;
            }
            v[std::size_t(k)] = y;
        }
    }
    double e = 0.0;
    for (const double x : v)
        e += x * x;
    const double scale = 0.25 / std::sqrt(e / period);
    for (double& x : v)
        x *= scale;
    return v;
}

// Samples made here for the kinds of sound that real sets hold and this
// folder has few of, each with the loop its maker would set.
struct CSynthetic {
    CEntry m_entry;
    std::unique_ptr<CQuorvelDoc> m_pDoc;
};

std::vector<CSynthetic> SyntheticCases()
{
    std::vector<CSynthetic> out;
    const auto add = [&](const std::string& folder, const std::string& name, int s, int e,
                         std::unique_ptr<CQuorvelDoc> d) {
        out.push_back({{folder + "/" + name, folder, s, e}, std::move(d)});
    };
    // Short samples, 50 to 100 ms: an attack of a few ms, then whole cycles
    // (from 3 of a low note to 90 of a high one) at a steady or slightly
    // falling level; the maker loops the last two cycles.
    int i = 0;
    for (const int rate : {22050, 44100})
        for (const double hz : {65.0, 131.0, 262.0, 523.0, 1047.0}) {
            const double attack = 0.003 + 0.004 * (i % 4);
            const double seconds = 0.05 + 0.0125 * (i % 5);
            const double decayDb = i % 2 ? 0.0 : 1.0;  // over the whole sample
            const double period = rate / hz;
            const int frames = int(seconds * rate);
            auto d = Synthesize(rate, 1, frames, [=](int f, int c) {
                const double t = double(f) / rate;
                const double env = std::min(1.0, t / attack) * std::pow(10.0, -decayDb * f / frames / 20.0);
                return 0.8 * env * Partials(2 * kPi * hz * t, c);
            });
            add("synthetic-short", std::to_string(rate) + "-" + std::to_string(int(hz)) + "Hz",
                frames - int(std::lround(2 * period)), frames, std::move(d));
            ++i;
        }
    // Noise with a slow level drift (±1 dB): white, pink and brown, mono
    // and stereo, 4 s with a 50 ms onset and a 0.3 s fade. The noise and
    // the drift repeat every 2 s, where the maker loops.
    for (int colour = 0; colour < 3; ++colour)
        for (const int channels : {1, 2}) {
            constexpr int kRate = 44100, kPeriod = 2 * kRate, kFrames = 4 * kRate;
            std::vector<std::vector<double>> noise;
            for (int c = 0; c < channels; ++c)
                noise.push_back(PeriodicNoise(kPeriod, colour, unsigned(7 + 3 * colour + c)));
            auto d = Synthesize(kRate, channels, kFrames, [&](int f, int c) {
                const double t = double(f) / kRate;
                const double drift = std::pow(10.0, std::sin(2 * kPi * t / 2.0 + colour) / 20.0);
                const double env = std::min(1.0, t / 0.05) * std::min(1.0, (4.0 - t) / 0.3);
                return env * drift * noise[std::size_t(c)][std::size_t(f % kPeriod)];
            });
            const char* names[] = {"white", "pink", "brown"};
            add("synthetic-noise", std::string(names[colour]) + "-" + std::to_string(channels) + "ch", kRate / 2,
                kRate / 2 + kPeriod, std::move(d));
        }
    // Tones whose release holds 12 dB under the sustain (a hall's
    // reverberation, a damper up) for longer than the sustain lasted, so
    // that most of the sound is tail; the maker loops the sustain.
    for (const double hz : {110.0, 220.0, 440.0, 880.0}) {
        constexpr int kRate = 44100;
        const double sustain = hz < 300 ? 1.0 : 1.4;
        const double total = sustain + 2.6;
        auto d = Synthesize(kRate, 1, int(total * kRate), [=](int f, int c) {
            const double t = double(f) / kRate;
            double env = std::min(1.0, t / 0.05);
            if (t > sustain)
                env = 0.25 + 0.75 * std::exp(-(t - sustain) / 0.05);
            env *= std::min(1.0, (total - t) / 0.2);
            return 0.8 * env * Partials(2 * kPi * hz * t, c);
        });
        const double period = kRate / hz;
        const int start = int(0.15 * kRate);
        add("synthetic-tail", std::to_string(int(hz)) + "Hz", start,
            start + int(std::lround(std::floor(0.7 * sustain * kRate / period) * period)), std::move(d));
    }
    // Long steady tones with vibrato and a little tremolo: 6 s, an 80 ms
    // attack and a 0.5 s release; the maker loops 3 s of the sustain.
    for (const double hz : {98.0, 247.0, 587.0}) {
        constexpr int kRate = 44100;
        auto d = Synthesize(kRate, 2, 6 * kRate, [=](int f, int c) {
            const double t = double(f) / kRate;
            const double env = std::min(1.0, t / 0.08) * std::min(1.0, (6.0 - t) / 0.5) *
                               (1.0 + 0.03 * std::sin(2 * kPi * 3.7 * t));
            const double phase = 2 * kPi * hz * t - 0.003 * hz / 5.0 * std::cos(2 * kPi * 5.0 * t);
            return 0.7 * env * Partials(phase, c);
        });
        // Whole vibrato cycles (0.2 s), so the pitch matches at the seam.
        add("synthetic-long", std::to_string(int(hz)) + "Hz", kRate, 4 * kRate, std::move(d));
    }
    // Sounds whose splice is hard to get clean: a low synth bass (two
    // detuned sawtooths, bright, a period longer than a bank) and a breathy
    // flute (a tone with vibrato over noise 20 dB down); the maker loops
    // whole periods of the nominal pitch in the sustain.
    for (const double hz : {41.2, 55.0, 73.4}) {
        constexpr int kRate = 44100;
        auto d = Synthesize(kRate, 1, 3 * kRate, [=](int f, int) {
            const double t = double(f) / kRate;
            // Band-limited: 40 partials falling as 1/k, as an analogue
            // oscillator's filter leaves them.
            double v = 0.0;
            for (int k = 1; k <= 40; ++k)
                v += (std::sin(2 * kPi * k * hz * t) + std::sin(2 * kPi * k * hz * 1.003 * t + 0.3 * k)) / k;
            const double env = std::min(1.0, t / 0.01) * std::min(1.0, (3.0 - t) / 0.3);
            return 0.25 * env * v;
        });
        const double period = kRate / hz;
        add("synthetic-unclean", "bass-" + std::to_string(int(hz)) + "Hz", kRate / 2,
            kRate / 2 + int(std::lround(std::floor(kRate / period) * period)), std::move(d));
    }
    for (const double hz : {392.0, 587.0, 880.0}) {
        constexpr int kRate = 44100;
        const std::vector<double> noise = PeriodicNoise(3 * kRate, 1, unsigned(hz));
        auto d = Synthesize(kRate, 1, 3 * kRate, [=, &noise](int f, int c) {
            const double t = double(f) / kRate;
            const double env = std::min(1.0, t / 0.08) * std::min(1.0, (3.0 - t) / 0.3);
            const double phase = 2 * kPi * hz * t - 0.004 * hz / 5.0 * std::cos(2 * kPi * 5.0 * t);
            return env * (0.6 * std::sin(phase) + 0.1 * std::sin(2 * phase + c) + 0.25 * noise[std::size_t(f)]);
        });
        const double period = kRate / hz;
        add("synthetic-unclean", "flute-" + std::to_string(int(hz)) + "Hz", kRate / 2,
            kRate / 2 + int(std::lround(std::floor(kRate / period) * period)), std::move(d));
    }
    return out;
}

CFileRow RowOf(const CEntry& e, CQuorvelDoc& doc)
{
    const CFrameView v{doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
    CFileRow row{&e, {}, {}, {}};
    row.m_maker = Measure(v, true, e.m_nStart, e.m_nEnd);
    // The pitch as the document detects it, a short sample's through the
    // maker's loop.
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = e.m_nStart;
    doc.m_nLoopEnd = e.m_nEnd;
    const std::optional<CPitch> pitch = doc.DetectPitch();
    row.m_dFrequency = pitch ? pitch->m_dFrequency : 0.0;
    row.m_nSampleRate = doc.m_nSampleRate;
    doc.m_bHasLoop = false;
    doc.FindLoop();
    row.m_find = Measure(v, doc.m_bHasLoop, doc.m_nLoopStart, std::min(doc.m_nLoopEnd, doc.m_nFrameCount));
    const CAutoLoopResult found =
        FindAutoLoopResult(v, {doc.m_pBankSpectra.data(), doc.m_nBankSize, doc.m_nBankCount});
    if (found.m_loop)
        row.m_auto = Measure(v, true, found.m_loop->m_nStart, found.m_loop->m_nEnd);
    row.m_auto.m_found = found;
    return row;
}

void PrintQuality()
{
    const bool real = fs::exists(kRealWorld / "manifest.tsv");
    if (!real)
        std::printf("No real recordings at %s: only the synthetic ones.\n", kRealWorld.c_str());
    const std::vector<CEntry> entries = real ? ReadManifest() : std::vector<CEntry>{};
    std::vector<CFileRow> rows;
    for (const CEntry& e : entries) {
        CCliUserInterface ui(std::nullopt, nullptr, false, true);
        CQuorvelDoc doc;
        std::string why;
        if (!LoadSampleDocument(doc, ui, (kRealWorld / e.m_strPath).string(), why)) {
            std::printf("%s: %s\n", e.m_strPath.c_str(), why.c_str());
            continue;
        }
        rows.push_back(RowOf(e, doc));
    }
    std::vector<CSynthetic> synthetic = SyntheticCases();
    for (CSynthetic& k : synthetic)
        rows.push_back(RowOf(k.m_entry, *k.m_pDoc));
    std::printf("Seam figures (start, end, seam, level dB, timbre dB, sustain dB; A: starts in the attack, T: in a "
                "tail; then whether Auto Loop took the sound for noise, found no clean loop as long as wanted, and "
                "the detune its length causes, cents)\n%-46s | %-44s | %-44s | %-44s\n",
                "file", "makers' loop", "find-loop from the whole sample", "auto-loop");
    for (const CFileRow& r : rows) {
        std::printf("%-46s", r.m_pEntry->m_strPath.c_str());
        for (const CResult* x : {&r.m_maker, &r.m_find, &r.m_auto}) {
            if (!x->m_bHasLoop) {
                std::printf(" | %-44s", "none");
                continue;
            }
            std::printf(" | %7d %7d %7.2f %5.2f %5.1f %6.1f %c%c", x->m_nStart, x->m_nEnd, x->m_m.m_dSeam,
                        x->m_m.m_dLevelDb, x->m_m.m_dTimbreDb, x->m_m.m_dSustainDb, x->m_m.m_bInAttack ? 'A' : ' ',
                        x->m_m.m_bInTail ? 'T' : ' ');
        }
        const CAutoLoopResult& f = r.m_auto.m_found;
        std::printf(" %s%s%+.2f\n", f.m_bNoise ? "noise " : "", f.m_bShort ? "short " : "", f.m_dDetuneCents);
    }
    std::map<std::string, std::vector<const CFileRow*>> groups;
    std::vector<const CFileRow*> all, everything;
    for (const CFileRow& r : rows) {
        groups[r.m_pEntry->m_strFolder].push_back(&r);
        if (r.m_pEntry->m_strFolder.rfind("synthetic-", 0) != 0)
            all.push_back(&r);
        everything.push_back(&r);
    }
    for (const auto& [name, g] : groups)
        PrintSummary(name.c_str(), g);
    PrintSummary("all real recordings", all);
    PrintSummary("all, real and synthetic", everything);
}


// Ten seconds of a stereo tone as a recording of a held note gives it: a
// 60 ms attack, a sustain with vibrato, a little tremolo and breath noise,
// and a one-second release; the banks and curves computed as a load does.
CQuorvelDoc& TenSecondStereo()
{
    static std::unique_ptr<CQuorvelDoc> doc = [] {
        auto d = std::make_unique<CQuorvelDoc>();
        constexpr int kRate = 44100;
        constexpr int kFrames = 10 * kRate;
        d->m_nSampleRate = kRate;
        d->m_nChannels = 2;
        d->m_nFrameCount = kFrames;
        d->m_pSamples.resize(std::size_t(kFrames) * 2);
        std::mt19937 rng(11);
        std::normal_distribution<double> noise(0.0, 0.003);
        double phase = 0.0;
        for (int f = 0; f < kFrames; ++f) {
            const double t = double(f) / kRate;
            const double env = std::min(1.0, t / 0.06) * std::min(1.0, (10.0 - t) / 1.0) *
                               (1.0 + 0.03 * std::sin(2 * kPi * 4.1 * t));
            phase += 2 * kPi * 196.0 * (1.0 + 0.004 * std::sin(2 * kPi * 5.3 * t)) / kRate;
            for (int c = 0; c < 2; ++c) {
                const double p = phase + 0.4 * c;
                const double v = 0.5 * std::sin(p) + 0.2 * std::sin(2 * p + 0.7) + 0.1 * std::sin(3 * p + 1.9) +
                                 0.05 * std::sin(5 * p + 0.3);
                d->SetSample(f, c, 0.9 * env * v + noise(rng));
            }
        }
        d->AllocateBanks();
        for (int c = 0; c < d->m_nChannels; ++c)
            for (int b = 0; b < d->m_nBankCount; ++b)
                d->ComputeBank(b, c);
        ComputeLoopCurves(*d);
        return d;
    }();
    return *doc;
}

// Auto Loop once the banks exist (the goal: under 50 ms), beside Find Loop
// from the whole sample on the same frames.
void BM_AutoLoop_TenSecondStereo(benchmark::State& state)
{
    CQuorvelDoc& doc = TenSecondStereo();
    for (auto _ : state) {
        if (!doc.AutoLoop()) {
            state.SkipWithError("no loop found");
            break;
        }
        benchmark::DoNotOptimize(doc.m_nLoopEnd);
    }
    state.counters["loop_frames"] = doc.m_nLoopEnd - doc.m_nLoopStart;
}

// Auto Loop on 10 s of stereo pink noise with a slow level drift: the
// search for a sound without pitch (the same goal).
void BM_AutoLoop_TenSecondNoise(benchmark::State& state)
{
    static std::unique_ptr<CQuorvelDoc> doc = [] {
        constexpr int kRate = 44100;
        const std::vector<double> left = PeriodicNoise(10 * kRate, 1, 21), right = PeriodicNoise(10 * kRate, 1, 22);
        return Synthesize(kRate, 2, 10 * kRate, [&](int f, int c) {
            const double t = double(f) / kRate;
            const double drift = std::pow(10.0, 0.5 * std::sin(2 * kPi * t / 7.0) / 20.0);
            return std::min(1.0, t / 0.05) * drift * (c ? right : left)[std::size_t(f)];
        });
    }();
    for (auto _ : state) {
        if (!doc->AutoLoop()) {
            state.SkipWithError("no loop found");
            break;
        }
        benchmark::DoNotOptimize(doc->m_nLoopEnd);
    }
    state.counters["loop_frames"] = doc->m_nLoopEnd - doc->m_nLoopStart;
}

void BM_FindLoop_TenSecondStereo(benchmark::State& state)
{
    CQuorvelDoc& doc = TenSecondStereo();
    for (auto _ : state) {
        doc.m_bHasLoop = false;
        doc.FindLoop();
        benchmark::DoNotOptimize(doc.m_nLoopEnd);
    }
}

// The whole of `batch` over the real recordings with two jobs (the goal for
// --auto: under 3 s), Find Loop and Auto Loop side by side, results written
// to a memory file system when there is one.
void BM_Batch_RealWorld(benchmark::State& state)
{
    if (!fs::exists(kRealWorld / "manifest.tsv")) {
        state.SkipWithError("no real recordings");
        return;
    }
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path root = base / ("ringseam_autoloop_bench_" + std::to_string(::getpid()));
    // Several folders hold files of the same name, and batch writes all
    // results into one folder: the inputs are links with unique names.
    fs::create_directories(root / "in");
    for (const CEntry& e : ReadManifest()) {
        std::string name = e.m_strPath;
        std::replace(name.begin(), name.end(), '/', '_');
        fs::create_symlink(fs::absolute(kRealWorld / e.m_strPath), root / "in" / name);
    }
    CCliOptions options;
    options.m_command = ECliCommand::Batch;
    options.m_inputs = {(root / "in").string()};
    options.m_strOutDir = (root / "out").string();
    options.m_nJobs = int(state.range(0));
    options.m_bAuto = state.range(1) != 0;
    options.m_bQuiet = true;
    for (auto _ : state) {
        std::ostringstream sout, serr;
        CCliStreams io{sout, serr, false};
        if (RunBatch(options, io) != kExitOk) {
            state.SkipWithError(("batch failed: " + serr.str().substr(0, 200)).c_str());
            break;
        }
    }
    state.counters["files"] = double(ReadManifest().size());
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace

BENCHMARK(BM_AutoLoop_TenSecondStereo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoLoop_TenSecondNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindLoop_TenSecondStereo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Batch_RealWorld)
    ->ArgNames({"jobs", "auto"})
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
