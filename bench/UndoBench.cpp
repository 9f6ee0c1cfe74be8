// The undo history of a crossfade on a 10-minute stereo recording, beside
// the yardstick of keeping a whole copy of the frames per step: the bytes a
// step keeps (counter "kept_bytes") and the time to record it and to undo
// and redo it.
#include "document/QuorvelDoc.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 10 * 60 * kRate;  // 10 minutes
constexpr int kCrossfade = 8 * 1024;      // a typical Find Loop + Crossfade length, frames

CQuorvelDoc& TenMinuteDoc()
{
    static CQuorvelDoc doc;
    if (doc.m_nFrameCount == 0) {
        doc.m_nChannels = 2;
        doc.m_nSampleRate = kRate;
        doc.m_nFrameCount = kFrames;
        doc.m_pSamples.resize(std::size_t(kFrames) * 2);
        for (std::size_t i = 0; i < doc.m_pSamples.size(); ++i)
            doc.m_pSamples[i] = 0.5 * std::sin(double(i / 2) * 0.0627);
        doc.m_bLoaded = true;
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = kFrames / 2;
        doc.m_nLoopEnd = kFrames / 2 + kRate;
    }
    return doc;
}

// The history: a crossfade recorded as one step, then undone and redone.
void BM_CrossfadeStepInHistory(benchmark::State& state)
{
    CQuorvelDoc& doc = TenMinuteDoc();
    std::size_t kept = 0;
    for (auto _ : state) {
        doc.BeginUndoStep("Crossfade");
        doc.Crossfade(kCrossfade);
        doc.EndUndoStep();
        doc.Undo();
        doc.Redo();
        // Steps pile up to the history's bound; each keeps the same bytes.
        kept = doc.GetUndoHistory().GetBytes() / doc.GetUndoHistory().GetStepCount();
    }
    state.counters["kept_bytes"] = double(kept);
}

// The yardstick: a whole copy of the frames per step.
void BM_CrossfadeStepAsWholeCopy(benchmark::State& state)
{
    CQuorvelDoc& doc = TenMinuteDoc();
    for (auto _ : state) {
        std::vector<double> copy = doc.m_pSamples;
        doc.Crossfade(kCrossfade);
        std::swap(copy, doc.m_pSamples);
        std::swap(copy, doc.m_pSamples);
        benchmark::DoNotOptimize(copy.data());
    }
    state.counters["kept_bytes"] = double(doc.m_pSamples.size() * sizeof(double));
}

}  // namespace

BENCHMARK(BM_CrossfadeStepInHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrossfadeStepAsWholeCopy)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
