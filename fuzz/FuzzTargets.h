// Bodies of the libFuzzer harnesses, kept apart from their entry points so
// that the regression tests can run the inputs the fuzzers found through the
// very same checks. Each call works on one in-memory file and returns "" when
// every invariant held, otherwise a one-line description of the first one
// that did not (the fuzzer entry points abort on it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace FuzzTargets {

// Loads the bytes as a sample file (WAV or XI, chosen by their first four
// bytes, as Open does), once for every sample an instrument offers (up to a
// few) and once more answering Cancel; then re-reads them keeping the loop,
// as Reload does. Checks the loaded document and the kinds of failure.
std::string RunLoad(const std::uint8_t* data, std::size_t size);

// Loads the bytes and, when the sample is small enough, runs what a loaded
// document goes through: the spectral banks and curves (also once cancelled),
// Find Loop, the crossfade with the command's length, the comb filter, and
// saving as WAV and XI with both files read back. Saving is also tried right
// after the load, before anything changed the loop.
std::string RunPipeline(const std::uint8_t* data, std::size_t size);

// Reads the bytes as a loop table (CSV or JSON, as apply-loops does). Every
// problem must name its line; a table read without problems must print as
// CSV and read back to the same files, loops and release markers.
std::string RunLoopTable(const std::uint8_t* data, std::size_t size);

}  // namespace FuzzTargets
