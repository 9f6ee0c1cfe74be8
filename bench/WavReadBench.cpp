// Reading 10-minute 44.1 kHz stereo WAV files through the document's reader,
// each side by side with its memory-traffic floor: reading the same file into
// memory and writing one double per sample. Two files: 16-bit PCM (about
// 106 MB) and 24-bit PCM with an extensible header (about 159 MB), each with
// a 64 KiB chunk the reader keeps for saving. Also measures the reader's peak
// resident memory against file size + 8 bytes per sample + 20 MB: the kept
// chunk counts once, by its own size, as part of the file.
//
// The files are generated into the temporary folder at start and removed at
// exit. The benchmark argument is the bits per sample.

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
constexpr std::uint32_t kKeptChunkSize = 64 * 1024;

// One generated file: its bits per sample, where it is, how large it is and
// where its samples start.
struct CBenchFile {
    int m_nBits;
    std::string m_strPath;
    std::int64_t m_nFileBytes = 0;
    std::int64_t m_nDataOffset = 0;
};

CBenchFile g_files[] = {{16, {}}, {24, {}}};

CBenchFile& FileFor(int bits) { return bits == 24 ? g_files[1] : g_files[0]; }

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

// A header (plain fmt for 16 bits, extensible for 24), a kept chunk, and two
// detuned tones with a little noise, written in pieces so generating the file
// needs little memory.
void WriteTestFile(CBenchFile& f)
{
    const int bytes = f.m_nBits / 8;
    const std::int64_t dataBytes = kSamples * bytes;
    const bool bExtensible = f.m_nBits > 16;
    std::vector<std::uint8_t> fmt;
    Put16(fmt, bExtensible ? 0xFFFE : 1);
    Put16(fmt, kChannels);
    Put32(fmt, kRate);
    Put32(fmt, kRate * kChannels * bytes);
    Put16(fmt, std::uint16_t(kChannels * bytes));
    Put16(fmt, std::uint16_t(f.m_nBits));
    if (bExtensible) {
        Put16(fmt, 22);
        Put16(fmt, std::uint16_t(f.m_nBits));
        Put32(fmt, 3);
        fmt.insert(fmt.end(), {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
    }
    std::vector<std::uint8_t> b = {'R', 'I', 'F', 'F'};
    Put32(b, std::uint32_t(4 + 8 + fmt.size() + 8 + kKeptChunkSize + 8 + dataBytes));
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(b, std::uint32_t(fmt.size()));
    b.insert(b.end(), fmt.begin(), fmt.end());
    b.insert(b.end(), {'L', 'I', 'S', 'T'});
    Put32(b, kKeptChunkSize);
    b.resize(b.size() + kKeptChunkSize, 'k');
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(b, std::uint32_t(dataBytes));
    f.m_nDataOffset = std::int64_t(b.size());
    f.m_nFileBytes = f.m_nDataOffset + dataBytes;

    std::ofstream out(f.m_strPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    std::uint32_t noise = 12345;
    const std::int64_t kPiece = 1 << 16;
    const double amplitude = 12000.0 * (bytes == 3 ? 256.0 : 1.0);
    for (std::int64_t f0 = 0; f0 < kFrames; f0 += kPiece) {
        b.clear();
        for (std::int64_t i = f0; i < std::min(kFrames, f0 + kPiece); ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double t = double(i) / kRate;
            const double n = (int(noise >> 16) - 32768) * 0.01;
            for (double v : {amplitude * std::sin(2 * M_PI * 220.0 * t) + n, amplitude * std::sin(2 * M_PI * 220.7 * t) - n}) {
                const std::uint32_t code = std::uint32_t(std::int32_t(v));
                for (int k = 0; k < bytes; ++k)
                    b.push_back(std::uint8_t(code >> (8 * k)));
            }
        }
        out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
}

void ReadThroughDocument(const CBenchFile& f)
{
    CQuorvelDoc doc;
    doc.OnNewDocument();
    CDiskFile file(f.m_strPath, CDiskFile::Mode::Read);
    CArchive ar(&file, CArchive::load);
    doc.ReadSampleFile(ar, false);
    file.Close();
    if (doc.m_nFrameCount != kFrames || doc.m_wavChunks.size() != 3)
        throw std::runtime_error("unexpected frame count or chunks");
    benchmark::DoNotOptimize(doc.m_pSamples.data());
    benchmark::ClobberMemory();
}

void BM_ReadWav(benchmark::State& state)
{
    const CBenchFile& f = FileFor(int(state.range(0)));
    for (auto _ : state)
        ReadThroughDocument(f);
    state.SetBytesProcessed(state.iterations() * f.m_nFileBytes);
}

// The floor: one read of the whole file, one double written per sample.
void BM_MemoryTrafficFloor(benchmark::State& state)
{
    const CBenchFile& f = FileFor(int(state.range(0)));
    for (auto _ : state) {
        CDiskFile file(f.m_strPath, CDiskFile::Mode::Read);
        const std::size_t n = std::size_t(file.GetLength());
        auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(n);
        if (file.Read(bytes.get(), n) != n)
            throw std::runtime_error("short read");
        file.Close();
        auto samples = std::make_unique_for_overwrite<double[]>(std::size_t(kSamples));
        const std::uint8_t* in = bytes.get() + f.m_nDataOffset;
        if (f.m_nBits == 24) {
            for (std::int64_t i = 0; i < kSamples; ++i, in += 3)
                samples[i] = double(std::int32_t(in[0] << 8 | in[1] << 16 | std::uint32_t(in[2]) << 24));
        } else {
            for (std::int64_t i = 0; i < kSamples; ++i)
                samples[i] = double(std::int16_t(in[2 * i] | (in[2 * i + 1] << 8)));
        }
        benchmark::DoNotOptimize(samples.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * f.m_nFileBytes);
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
    const CBenchFile& f = FileFor(int(state.range(0)));
    double peakMiB = -1;
    for (auto _ : state) {
        state.PauseTiming();
        ::malloc_trim(0);
        // Resets the high-water mark to the current resident size.
        std::ofstream("/proc/self/clear_refs") << "5";
        const std::int64_t before = StatusKiB("VmRSS");
        state.ResumeTiming();
        ReadThroughDocument(f);
        state.PauseTiming();
        const std::int64_t peak = StatusKiB("VmHWM");
        if (before < 0 || peak < 0) {
            state.SkipWithError("no /proc/self/status");
            return;
        }
        peakMiB = double(peak - before) / 1024.0;
        state.ResumeTiming();
    }
    const double budgetMiB = double(f.m_nFileBytes + 8 * kSamples + 20 * 1024 * 1024) / (1024.0 * 1024.0);
    state.counters["peak_MiB"] = peakMiB;
    state.counters["budget_MiB"] = budgetMiB;
    state.counters["within_budget"] = peakMiB >= 0 && peakMiB < budgetMiB ? 1 : 0;
}

BENCHMARK(BM_MemoryTrafficFloor)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadWav)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadWavPeakMemory)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond)->Iterations(1);

// Console output plus the ratio of the reader to the floor at the end.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    CRatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration)
                m_times[r.run_name.function_name + "/" + r.run_name.args] = r.GetAdjustedRealTime();
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
    for (CBenchFile& f : g_files) {
        f.m_strPath = (std::filesystem::temp_directory_path() /
                       ("ringseam_bench_wav" + std::to_string(f.m_nBits) + "_" + std::to_string(::getpid()) + ".wav"))
                          .string();
        WriteTestFile(f);
    }
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const CBenchFile& f : g_files) {
        std::filesystem::remove(f.m_strPath);
        const std::string arg = "/" + std::to_string(f.m_nBits);
        const auto floor = reporter.m_times.find("BM_MemoryTrafficFloor" + arg);
        const auto read = reporter.m_times.find("BM_ReadWav" + arg);
        if (floor != reporter.m_times.end() && read != reporter.m_times.end() && floor->second > 0)
            std::printf("ReadWav / memory-traffic floor, %d-bit: %.2f (target at most 2.00)\n", f.m_nBits,
                        read->second / floor->second);
    }
    benchmark::Shutdown();
    return 0;
}
