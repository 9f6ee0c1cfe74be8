// Reading a 10-minute 44.1 kHz stereo 16-bit WAV (about 106 MB) through the
// document's reader, side by side with the memory-traffic floor: reading the
// same file into memory and writing one double per sample. Also measures the
// reader's peak resident memory against file size + 8 bytes per sample + 20 MB.
//
// The file is generated into the temporary folder at start and removed at exit.

#include "document/QuorvelDoc.h"
#include "framework/Archive.h"
#include "framework/File.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr std::int64_t kFrames = std::int64_t(kRate) * 600;  // 10 minutes
constexpr std::int64_t kSamples = kFrames * kChannels;
constexpr std::int64_t kDataBytes = kSamples * 2;
constexpr std::int64_t kFileBytes = 44 + kDataBytes;

std::string g_strPath;

void Put32(std::vector<std::uint8_t>& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& b, std::uint16_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

// A plain 44-byte header and two detuned tones with a little noise, written in
// pieces so generating the file needs little memory.
void WriteTestFile(const std::string& path)
{
    std::vector<std::uint8_t> b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    Put32(b, std::uint32_t(36 + kDataBytes));
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, kChannels);
    Put32(b, kRate);
    Put32(b, kRate * kChannels * 2);
    Put16(b, kChannels * 2);
    Put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(b, std::uint32_t(kDataBytes));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    std::uint32_t noise = 12345;
    const std::int64_t kPiece = 1 << 16;
    for (std::int64_t f0 = 0; f0 < kFrames; f0 += kPiece) {
        b.clear();
        for (std::int64_t f = f0; f < std::min(kFrames, f0 + kPiece); ++f) {
            noise = noise * 1664525u + 1013904223u;
            const double t = double(f) / kRate;
            const double n = (int(noise >> 16) - 32768) * 0.01;
            Put16(b, std::uint16_t(std::int16_t(12000 * std::sin(2 * M_PI * 220.0 * t) + n)));
            Put16(b, std::uint16_t(std::int16_t(12000 * std::sin(2 * M_PI * 220.7 * t) - n)));
        }
        out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
}

void ReadThroughDocument()
{
    CQuorvelDoc doc;
    doc.OnNewDocument();
    CDiskFile file(g_strPath, CDiskFile::Mode::Read);
    CArchive ar(&file, CArchive::load);
    doc.ReadSampleFile(ar, false);
    file.Close();
    if (doc.m_nFrameCount != kFrames)
        throw std::runtime_error("unexpected frame count");
    benchmark::DoNotOptimize(doc.m_pSamples.data());
    benchmark::ClobberMemory();
}

void BM_ReadWav(benchmark::State& state)
{
    for (auto _ : state)
        ReadThroughDocument();
    state.SetBytesProcessed(state.iterations() * kFileBytes);
}

// The floor: one read of the whole file, one double written per sample.
void BM_MemoryTrafficFloor(benchmark::State& state)
{
    for (auto _ : state) {
        CDiskFile file(g_strPath, CDiskFile::Mode::Read);
        const std::size_t n = std::size_t(file.GetLength());
        auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(n);
        if (file.Read(bytes.get(), n) != n)
            throw std::runtime_error("short read");
        file.Close();
        auto samples = std::make_unique_for_overwrite<double[]>(std::size_t(kSamples));
        const std::uint8_t* in = bytes.get() + 44;
        for (std::int64_t i = 0; i < kSamples; ++i)
            samples[i] = double(std::int16_t(in[2 * i] | (in[2 * i + 1] << 8)));
        benchmark::DoNotOptimize(samples.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kFileBytes);
}

std::int64_t StatusKiB(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(key.size()));
    return -1;
}

// Peak resident memory of one read, above what the process held before it.
void BM_ReadWavPeakMemory(benchmark::State& state)
{
    double peakMiB = -1;
    for (auto _ : state) {
        state.PauseTiming();
        ::malloc_trim(0);
        // Resets the high-water mark to the current resident size.
        std::ofstream("/proc/self/clear_refs") << "5";
        const std::int64_t before = StatusKiB("VmRSS");
        state.ResumeTiming();
        ReadThroughDocument();
        state.PauseTiming();
        const std::int64_t peak = StatusKiB("VmHWM");
        if (before < 0 || peak < 0) {
            state.SkipWithError("no /proc/self/status");
            return;
        }
        peakMiB = double(peak - before) / 1024.0;
        state.ResumeTiming();
    }
    const double budgetMiB = double(kFileBytes + 8 * kSamples + 20 * 1024 * 1024) / (1024.0 * 1024.0);
    state.counters["peak_MiB"] = peakMiB;
    state.counters["budget_MiB"] = budgetMiB;
    state.counters["within_budget"] = peakMiB >= 0 && peakMiB < budgetMiB ? 1 : 0;
}

BENCHMARK(BM_MemoryTrafficFloor)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadWav)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadWavPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// Console output plus the ratio of the reader to the floor at the end.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    CRatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration)
                m_times[r.benchmark_name().substr(0, r.benchmark_name().find('/'))] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    g_strPath = (std::filesystem::temp_directory_path() / ("ringseam_bench_wav_" + std::to_string(::getpid()) + ".wav"))
                    .string();
    WriteTestFile(g_strPath);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::filesystem::remove(g_strPath);
    const auto floor = reporter.m_times.find("BM_MemoryTrafficFloor");
    const auto read = reporter.m_times.find("BM_ReadWav");
    if (floor != reporter.m_times.end() && read != reporter.m_times.end() && floor->second > 0)
        std::printf("ReadWav / memory-traffic floor: %.2f (target at most 2.00)\n", read->second / floor->second);
    benchmark::Shutdown();
    return 0;
}
