// The batch command over 40 generated samples (WAV mono and stereo at 8
// and 16 bits, XI at 8 and 16 bits) with one worker thread and with two:
// on two cores the two-job run should take little more than half as long.
// Every save ends with an fsync, whose latency depends on the disk more
// than on the processors, so the same runs are also made in a memory file
// system (/dev/shm), where the work left is the reading, the banks, the
// search and the writing themselves.
#include "cli/BatchRunner.h"
#include "cli/CliCommands.h"
#include "cli/CliOptions.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 40;
constexpr int kFrames = 10 * 44100;  // ten seconds each

void Put16(std::string& s, int v)
{
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void Put32(std::string& s, long long v)
{
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}

// A decaying tone with a few partials, different for every file.
double Tone(int file, int frame, int channel)
{
    const double period = 60.0 + 7.3 * file;
    const double ph = 2 * 3.141592653589793 * frame / period + 0.5 * channel;
    const double env = 0.3 + 0.6 * std::exp(-frame / 40000.0);
    return env * (0.6 * std::sin(ph) + 0.25 * std::sin(2 * ph + 0.3) + 0.1 * std::sin(3 * ph + 1.1));
}

std::string Wav(int file, int channels, int bits)
{
    const int w = bits / 8;
    std::string data;
    for (int f = 0; f < kFrames; ++f)
        for (int c = 0; c < channels; ++c) {
            const double v = Tone(file, f, c);
            if (w == 1)
                data += char(std::lround(v * 127) + 128);
            else
                Put16(data, int(std::lround(v * 32767)));
        }
    std::string s = "RIFF";
    Put32(s, 4 + 24 + 8 + static_cast<long long>(data.size()));
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1);
    Put16(s, channels);
    Put32(s, 44100);
    Put32(s, 44100 * channels * w);
    Put16(s, channels * w);
    Put16(s, bits);
    s += "data";
    Put32(s, static_cast<long long>(data.size()));
    return s + data;
}

std::string Xi(int file, int bits)
{
    const int w = bits / 8;
    std::string h = "Extended Instrument: ";
    h += std::string("bench") + std::string(17, ' ');
    h += char(0x1A);
    h += std::string(20, ' ');
    h += char(0x02);
    h += char(0x01);
    h.resize(296, '\0');
    Put16(h, 1);
    Put32(h, static_cast<long long>(kFrames) * w);
    Put32(h, 2 * w * 1000);   // loop start
    Put32(h, 2 * w * 60000);  // loop length
    h += char(64);
    h += char(0);
    h += char(1 | (w == 2 ? 0x10 : 0));
    h += char(128);
    h += char(0);
    h += char(0);
    h += std::string(22, '\0');
    int prev = 0;
    for (int f = 0; f < kFrames; ++f) {
        const int v = int(std::lround(Tone(file, f, 0) * (w == 1 ? 120 : 32000)));
        const int d = v - prev;
        prev = v;
        if (w == 1)
            h += char(d & 0xFF);
        else
            Put16(h, d & 0xFFFF);
    }
    return h;
}

// The inputs, generated once per process in a temporary folder.
struct CBenchInputs {
    fs::path m_root;
    explicit CBenchInputs(const fs::path& base)
    {
        m_root = base / ("ringseam_batch_bench_" + std::to_string(::getpid()));
        fs::create_directories(m_root / "in");
        // The six kinds in turn, so every one appears six or seven times:
        // WAV mono 16, stereo 16, mono 8, stereo 8; XI (mono only) 16, 8.
        for (int i = 0; i < kFiles; ++i) {
            const int kind = i % 6;
            const bool xi = kind >= 4;
            const int bits = kind == 0 || kind == 1 || kind == 4 ? 16 : 8;
            const int channels = kind == 1 || kind == 3 ? 2 : 1;
            char name[32];
            std::snprintf(name, sizeof name, "s%02d.%s", i, xi ? "xi" : "wav");
            std::ofstream(m_root / "in" / name, std::ios::binary) << (xi ? Xi(i, bits) : Wav(i, channels, bits));
        }
    }
    ~CBenchInputs()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
};

// Processor time of the whole process (all threads), in seconds.
double ProcessCpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

CBenchInputs& Inputs(bool bMemory)
{
    static CBenchInputs onDisk(fs::temp_directory_path());
    static CBenchInputs inMemory(fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
    return bMemory ? inMemory : onDisk;
}

void BM_Batch(benchmark::State& state)
{
    const int jobs = int(state.range(0));
    const bool crossfade = state.range(1) != 0;
    const CBenchInputs& inputs = Inputs(state.range(2) != 0);
    CCliOptions options;
    options.m_command = ECliCommand::Batch;
    options.m_inputs = {(inputs.m_root / "in").string()};
    options.m_strOutDir = (inputs.m_root / ("out" + std::to_string(jobs) + (crossfade ? "x" : ""))).string();
    options.m_nJobs = jobs;
    options.m_bCrossfade = crossfade;
    options.m_bQuiet = true;
    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        std::ostringstream out, err;
        CCliStreams io{out, err, false};
        if (RunBatch(options, io) != kExitOk) {
            state.SkipWithError(("batch failed: " + err.str().substr(0, 200)).c_str());
            break;
        }
    }
    state.counters["files/s"] = benchmark::Counter(kFiles, benchmark::Counter::kIsIterationInvariantRate);
    // Processor time of all threads per file: against the wall time per
    // file it shows how much of a run is computation and how much waiting.
    state.counters["cpu_ms/file"] =
        (ProcessCpuSeconds() - cpuBefore) * 1e3 / double(kFiles) / double(std::max<int64_t>(state.iterations(), 1));
}

}  // namespace

BENCHMARK(BM_Batch)
    ->ArgNames({"jobs", "crossfade", "shm"})
    ->Args({1, 0, 0})
    ->Args({2, 0, 0})
    ->Args({1, 1, 0})
    ->Args({2, 1, 0})
    ->Args({1, 0, 1})
    ->Args({2, 0, 1})
    ->Args({1, 1, 1})
    ->Args({2, 1, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

BENCHMARK_MAIN();
