// Loop search engine benchmarks: the bank transforms against FFTW doing the
// same transforms, the curves, the loop search (typical and worst case), and
// how fast a Cancel ends a load.
#include "analysis/ComputeFFTSession.h"
#include "analysis/LoopCurves.h"
#include "document/QuorvelDoc.h"
#include "framework/Exceptions.h"
#include "framework/UserInterface.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

// A document filled by hand: a decaying two-partial tone with a little noise.
std::unique_ptr<CQuorvelDoc> MakeTone(int rate, int channels, int frames)
{
    auto doc = std::make_unique<CQuorvelDoc>();
    doc->m_nSampleRate = rate;
    doc->m_nChannels = channels;
    doc->m_nFrameCount = frames;
    doc->m_pSamples.resize(std::size_t(frames) * std::size_t(channels));
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-0.01, 0.01);
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / rate;
        const double env = std::exp(-t * 0.2);
        for (int c = 0; c < channels; ++c)
            doc->SetSample(f, c, env * (0.5 * std::sin(2 * kPi * 220.0 * t + c) + 0.2 * std::sin(2 * kPi * 661.0 * t)) + noise(rng));
    }
    return doc;
}

CQuorvelDoc& TenMinuteStereo()
{
    static std::unique_ptr<CQuorvelDoc> doc = [] {
        auto d = MakeTone(44100, 2, 44100 * 600);
        d->AllocateBanks();
        return d;
    }();
    return *doc;
}

void BM_AllBanks_Ringseam(benchmark::State& state)
{
    CQuorvelDoc& doc = TenMinuteStereo();
    for (auto _ : state) {
        for (int c = 0; c < doc.m_nChannels; ++c)
            for (int b = 0; b < doc.m_nBankCount; ++b)
                doc.ComputeBank(b, c);
        benchmark::DoNotOptimize(doc.m_pBankSpectra.data());
    }
    state.counters["transforms"] = double(doc.m_nBankCount) * doc.m_nChannels;
}

// A progress that polls every millisecond until the worker is done.
class CQuickPoll : public IUserInterface {
public:
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    std::optional<int> ChooseSample(int) override { return std::nullopt; }
    bool RunProgress(IProgressSource& source) override
    {
        while (source.PollDone() != source.GetTotal())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }
};

// The whole bank step of a load: allocation, the worker thread with its
// locked step counter, the polling progress, then both curves.
void BM_ComputeBanks_Load(benchmark::State& state)
{
    CQuorvelDoc& doc = TenMinuteStereo();
    CQuickPoll ui;
    doc.SetUserInterface(&ui);
    for (auto _ : state) {
        doc.ComputeBanks();
        benchmark::DoNotOptimize(doc.m_pLoopCurves.data());
    }
    doc.SetUserInterface(nullptr);
}

// The same transforms with FFTW: copy the block of one channel, a real-to-
// complex plan of 1024, scale to the same half spectrum.
void BM_AllBanks_Fftw(benchmark::State& state)
{
    CQuorvelDoc& doc = TenMinuteStereo();
    const int n = doc.m_nBankSize;
    double* in = fftw_alloc_real(std::size_t(n));
    fftw_complex* out = fftw_alloc_complex(std::size_t(n / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    for (auto _ : state) {
        for (int c = 0; c < doc.m_nChannels; ++c) {
            for (int b = 0; b < doc.m_nBankCount; ++b) {
                for (int i = 0; i < n; ++i)
                    in[i] = doc.GetSample(b * n + i, c);
                fftw_execute(plan);
                Complex* bins = doc.BankSpectrum(b, c);
                bins[0] = Complex(out[0][0] / n, out[0][1] / n);
                for (int k = 1; k < n / 2; ++k)
                    bins[k] = Complex(out[k][0] / (n / 2), out[k][1] / (n / 2));
            }
        }
        benchmark::DoNotOptimize(doc.m_pBankSpectra.data());
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
    state.counters["transforms"] = double(doc.m_nBankCount) * doc.m_nChannels;
}

// One transform of 1024 samples, already in a buffer, each way.
void BM_Transform1024_Ringseam(benchmark::State& state)
{
    std::vector<double> in(1024);
    std::vector<Complex> bins(512);
    for (int i = 0; i < 1024; ++i)
        in[std::size_t(i)] = std::sin(i * 0.37) + 0.1 * i / 1024.0;
    FftContext fft;
    fft.FftSetup(1024);
    for (auto _ : state) {
        fft.FftAnalyze(in.data(), bins.data());
        benchmark::DoNotOptimize(bins.data());
    }
    fft.FftRelease();
}

void BM_Transform1024_Fftw(benchmark::State& state)
{
    double* in = fftw_alloc_real(1024);
    fftw_complex* out = fftw_alloc_complex(513);
    fftw_plan plan = fftw_plan_dft_r2c_1d(1024, in, out, FFTW_MEASURE);
    for (int i = 0; i < 1024; ++i)
        in[i] = std::sin(i * 0.37) + 0.1 * i / 1024.0;
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}

CQuorvelDoc& TenMinuteStereoWithBanks()
{
    static CQuorvelDoc& doc = []() -> CQuorvelDoc& {
        CQuorvelDoc& d = TenMinuteStereo();
        for (int c = 0; c < d.m_nChannels; ++c)
            for (int b = 0; b < d.m_nBankCount; ++b)
                d.ComputeBank(b, c);
        d.m_bHasLoop = true;
        d.m_nLoopStart = 44100 * 5;
        d.m_nLoopEnd = 44100 * 300;
        return d;
    }();
    return doc;
}

// Both curves as the load computes them: one pass over the spectra.
void BM_Curves_Load(benchmark::State& state)
{
    CQuorvelDoc& doc = TenMinuteStereoWithBanks();
    for (auto _ : state) {
        ComputeLoopCurves(doc);
        benchmark::DoNotOptimize(doc.m_pLoopCurves.data());
    }
}

// The two curves one after the other (as the view recomputes column 1).
void BM_Curves_Separately(benchmark::State& state)
{
    CQuorvelDoc& doc = TenMinuteStereoWithBanks();
    for (auto _ : state) {
        doc.ComputeBeginLoopCurve();
        doc.ComputeEndLoopCurve();
        benchmark::DoNotOptimize(doc.m_pLoopCurves.data());
    }
}

// A 4-second 44.1 kHz stereo tone with its loop set roughly by hand.
void BM_FindLoop_Typical(benchmark::State& state)
{
    auto doc = MakeTone(44100, 2, 44100 * 4);
    doc->AllocateBanks();
    for (auto _ : state) {
        state.PauseTiming();
        doc->m_bHasLoop = true;
        doc->m_nLoopStart = 30000;
        doc->m_nLoopEnd = 150000;
        state.ResumeTiming();
        doc->FindLoop();
        benchmark::DoNotOptimize(doc->m_nLoopEnd);
    }
}

// 96 kHz stereo (N = 4096) built so that every candidate beats the one
// before: silence after the loop start, a falling level after the loop end.
// No early exit fires; every score is a full sum. With banksAfterEnd = 1 the
// loop end's bank is the last one, so every candidate's following frames run
// past the last frame (read as silence) and each score takes the
// bounds-checked path.
void FindLoopWorstCase(benchmark::State& state, int banksAfterEnd)
{
    const int n = 4096;
    auto doc = std::make_unique<CQuorvelDoc>();
    doc->m_nSampleRate = 96000;
    doc->m_nChannels = 2;
    const int endBank = 8 * n;
    doc->m_nFrameCount = endBank + banksAfterEnd * n;
    doc->m_pSamples.assign(std::size_t(doc->m_nFrameCount) * 2, 0.0);
    for (int f = endBank; f < doc->m_nFrameCount; ++f)
        for (int c = 0; c < 2; ++c)
            doc->SetSample(f, c, 0.9 * double(doc->m_nFrameCount - f) / double(doc->m_nFrameCount - endBank) + 0.001);
    doc->AllocateBanks();
    for (auto _ : state) {
        state.PauseTiming();
        doc->m_bHasLoop = true;
        doc->m_nLoopStart = 2 * n;
        doc->m_nLoopEnd = endBank + 10;
        state.ResumeTiming();
        doc->FindLoop();
        benchmark::DoNotOptimize(doc->m_nLoopEnd);
    }
    state.counters["offset"] = double(doc->m_nLoopEnd - endBank);
}

void BM_FindLoop_WorstCase(benchmark::State& state) { FindLoopWorstCase(state, 8); }
void BM_FindLoop_WorstCaseAtTheEnd(benchmark::State& state) { FindLoopWorstCase(state, 1); }

// A progress that lets the worker run for a while, then cancels and reports
// how long the Cancel took to return.
class CCancelAfter : public IUserInterface {
public:
    explicit CCancelAfter(int polls) : m_nPolls(polls) {}
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    std::optional<int> ChooseSample(int) override { return std::nullopt; }
    bool RunProgress(IProgressSource& source) override
    {
        for (int i = 0; i < m_nPolls; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (source.PollDone() == source.GetTotal())
                break;
        }
        m_start = std::chrono::steady_clock::now();
        source.Cancel();
        return false;
    }
    int m_nPolls;
    std::chrono::steady_clock::time_point m_start;
};

// From the Cancel to the failed load reaching the caller, for samples of
// state.range(0) seconds of 44.1 kHz stereo.
void BM_CancelLatency(benchmark::State& state)
{
    auto doc = MakeTone(44100, 2, int(44100 * state.range(0)));
    CCancelAfter ui(4);
    doc->SetUserInterface(&ui);
    for (auto _ : state) {
        try {
            doc->ComputeBanks();
        } catch (const CArchiveException&) {
        }
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - ui.m_start).count());
    }
}

}  // namespace

BENCHMARK(BM_AllBanks_Ringseam)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AllBanks_Fftw)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ComputeBanks_Load)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Transform1024_Ringseam);
BENCHMARK(BM_Transform1024_Fftw);
BENCHMARK(BM_Curves_Load)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Curves_Separately)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindLoop_Typical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindLoop_WorstCase)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindLoop_WorstCaseAtTheEnd)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CancelLatency)->Arg(10)->Arg(600)->Arg(3600)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
