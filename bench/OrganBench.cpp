// Organ pipes finished by the program beside the makers' own: on the pipes
// in bureaa-reeds (loops and cue in the files), Find Release against the
// maker's cue, and Trim Start + Trim End run twice, once protecting the
// file's loops and cue and once on the bare frames (loops and cue removed),
// each checked against the frames the maker kept between the first loop
// start and the cue. Auto Loop asked for as many loops as the maker stored,
// each loop beside the maker's. Then the speed of Find Release, of planning
// a trim and of Auto Loop for four loops.
#include "analysis/AutoLoop.h"
#include "analysis/AutoLoopSplice.h"
#include "analysis/Release.h"
#include "analysis/SeamMetrics.h"
#include "analysis/Trim.h"
#include "document/QuorvelDoc.h"
#include "framework/Archive.h"
#include "framework/File.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kPipes = fs::path(RINGSEAM_REALWORLD) / "bureaa-reeds";
// A release marker this close to the maker's lies within the crossfade a
// player starts the release with.
constexpr double kReleaseToleranceSeconds = 0.050;

std::vector<fs::path> Pipes()
{
    std::vector<fs::path> paths;
    if (fs::is_directory(kPipes))
        for (const auto& e : fs::recursive_directory_iterator(kPipes))
            if (e.path().extension() == ".wav")
                paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::unique_ptr<CQuorvelDoc> Read(const fs::path& path)
{
    auto doc = std::make_unique<CQuorvelDoc>();
    const auto file = CDiskFile::Open(path.string(), CDiskFile::Mode::Read);
    CArchive ar(file.get(), CArchive::load);
    doc->ReadSampleFile(ar, false);
    return doc;
}

// Whether a trim keeps every frame from..to − 1.
bool Keeps(const CTrimCut& cut, int frames, int from, int to)
{
    return cut.m_nStart <= from && frames - cut.m_nEnd >= to;
}

void PrintComparison()
{
    const std::vector<fs::path> pipes = Pipes();
    if (pipes.empty()) {
        std::printf("organ pipes not found under %s: comparison skipped\n", kPipes.c_str());
        return;
    }
    std::printf("%-20s %5s %9s %9s %9s %8s | %17s | %17s\n", "pipe", "loops", "firstLoop", "maker cue", "ours",
                "diff ms", "trim kept (cut)", "bare trim (cut)");
    int nNear = 0, nKept = 0, nBareKept = 0, nWithCue = 0;
    for (const fs::path& path : pipes) {
        const auto doc = Read(path);
        const std::vector<CLoopPoints> loops = doc->GetLoops();
        const int cue = doc->m_nRelease;
        int first = doc->m_nFrameCount;
        for (const CLoopPoints& l : loops)
            first = std::min(first, l.m_nStart);
        const int ours = doc->FindRelease();
        const double diffMs = 1000.0 * (ours - cue) / doc->m_nSampleRate;
        const bool bNear = cue >= 0 && std::abs(diffMs) <= 1000.0 * kReleaseToleranceSeconds;
        const CTrimCut cut = doc->PlanTrimCut(CTrimSettings{});
        const bool bKept = Keeps(cut, doc->m_nFrameCount, first, cue);
        const CFrameView bare{doc->m_pSamples.data(), doc->m_nFrameCount, doc->m_nChannels, doc->m_nSampleRate};
        const CTrimCut bareCut = PlanTrim(bare, CTrimSettings{}, 1, 0);
        const bool bBareKept = Keeps(bareCut, doc->m_nFrameCount, first, cue);
        nWithCue += cue >= 0;
        nNear += bNear;
        nKept += bKept;
        nBareKept += bBareKept;
        const std::string name = fs::relative(path, kPipes).string();
        std::printf("%-20s %5zu %9d %9d %9d %8.1f | %3s (%5d+%6d) | %3s (%5d+%6d)\n", name.c_str(), loops.size(),
                    first, cue, ours, diffMs, bKept ? "yes" : "NO", cut.m_nStart, cut.m_nEnd,
                    bBareKept ? "yes" : "NO", bareCut.m_nStart, bareCut.m_nEnd);
    }
    const double n = double(pipes.size());
    std::printf("release within %.0f ms of the maker's cue: %d of %d pipes with a cue (%.0f %%)\n",
                1000.0 * kReleaseToleranceSeconds, nNear, nWithCue, 100.0 * nNear / std::max(1, nWithCue));
    std::printf("trim keeps first loop start .. cue: %d of %.0f (bare frames: %d of %.0f)\n\n", nKept, n, nBareKept,
                n);
}

// Auto Loop asked for as many loops as the maker stored: each loop beside
// the maker's (seam, level dB, in a tail), then whether all are clean,
// level-matched, out of the tail and distinct, and how many were found.
void PrintAutoLoops()
{
    const std::vector<fs::path> pipes = Pipes();
    if (pipes.empty())
        return;
    std::printf("%-20s %2s | %15s %5s | %15s %5s %5s %4s\n", "pipe", "#", "maker's loop", "seam", "Auto Loop", "seam",
                "level", "tail");
    int asked = 0, found = 0, clean = 0, level = 0, tail = 0, distinctPipes = 0;
    for (const fs::path& path : pipes) {
        const auto doc = Read(path);
        const std::vector<CLoopPoints> makers = doc->GetLoops();
        const int apart = int(std::lround(kDistinctLoopSeconds * doc->m_nSampleRate));
        const CFrameView frames{doc->m_pSamples.data(), doc->m_nFrameCount, doc->m_nChannels, doc->m_nSampleRate};
        doc->AutoLoops(int(makers.size()));
        const std::vector<CLoopPoints> ours = doc->GetLoops();
        asked += int(makers.size());
        found += int(ours.size());
        bool distinct = true;
        for (std::size_t i = 0; i < std::max(makers.size(), ours.size()); ++i) {
            char maker[64] = "", our[64] = "";
            if (i < makers.size())
                std::snprintf(maker, sizeof maker, "%7d-%7d %5.2f", makers[i].m_nStart, makers[i].m_nEnd,
                              MeasureSeam(frames, makers[i].m_nStart, makers[i].m_nEnd).m_dSeam);
            if (i < ours.size()) {
                const CSeamMetrics m = MeasureSeam(frames, ours[i].m_nStart, ours[i].m_nEnd);
                clean += m.IsClean();
                level += m.m_dLevelDb <= autoloop::kLevelMatchDb;
                tail += m.m_bInTail;
                std::snprintf(our, sizeof our, "%7d-%7d %5.2f %5.2f %4s", ours[i].m_nStart, ours[i].m_nEnd, m.m_dSeam,
                              m.m_dLevelDb, m.m_bInTail ? "yes" : "no");
                for (std::size_t j = 0; j < i; ++j)
                    distinct = distinct && AreDistinctLoops({ours[i].m_nStart, ours[i].m_nEnd},
                                                            {ours[j].m_nStart, ours[j].m_nEnd}, apart);
            }
            std::printf("%-20s %2zu | %21s | %32s\n", i == 0 ? fs::relative(path, kPipes).c_str() : "", i + 1, maker,
                        our);
        }
        distinctPipes += distinct;
    }
    std::printf("Auto Loop: %d of %d loops asked for found; clean (seam <= %.1f) %d, level <= %.1f dB %d, in a tail "
                "%d; distinct on %d of %zu pipes\n\n",
                found, asked, kCleanSeam, clean, autoloop::kLevelMatchDb, level, tail, distinctPipes, pipes.size());
}

void BM_FindRelease(benchmark::State& state)
{
    const std::vector<fs::path> pipes = Pipes();
    if (pipes.empty()) {
        state.SkipWithError("organ pipes not found");
        return;
    }
    const auto doc = Read(pipes.front());
    for (auto _ : state)
        benchmark::DoNotOptimize(doc->FindRelease());
}

void BM_PlanTrim(benchmark::State& state)
{
    const std::vector<fs::path> pipes = Pipes();
    if (pipes.empty()) {
        state.SkipWithError("organ pipes not found");
        return;
    }
    const auto doc = Read(pipes.front());
    for (auto _ : state)
        benchmark::DoNotOptimize(doc->PlanTrimCut(CTrimSettings{}));
}

}  // namespace

BENCHMARK(BM_FindRelease)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanTrim)->Unit(benchmark::kMillisecond);

void BM_AutoLoopsFour(benchmark::State& state)
{
    const std::vector<fs::path> pipes = Pipes();
    if (pipes.empty()) {
        state.SkipWithError("organ pipes not found");
        return;
    }
    const auto doc = Read(pipes.front());
    doc->AutoLoops(1);  // computes the banks
    const CFrameView frames{doc->m_pSamples.data(), doc->m_nFrameCount, doc->m_nChannels, doc->m_nSampleRate};
    const CBankView banks{doc->m_pBankSpectra.data(), doc->m_nBankSize, doc->m_nBankCount};
    for (auto _ : state)
        benchmark::DoNotOptimize(FindAutoLoops(frames, banks, 4));
}
BENCHMARK(BM_AutoLoopsFour)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    PrintComparison();
    PrintAutoLoops();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
