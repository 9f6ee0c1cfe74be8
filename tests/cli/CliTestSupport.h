// Helpers for the ringseam-cli tests: running the real program, building
// WAV and XI files byte by byte, and checking JSON.
#pragma once

#include "TempFolder.h"

#include "cli/CliUserInterface.h"
#include "document/QuorvelDoc.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;

// The shared temporary folder under the name these tests have long used.
using CTempDir = CTempFolder;

struct CRun {
    int m_nCode = -1;
    std::string m_strOut;
    std::string m_strErr;
    std::vector<std::string> OutLines() const;
    std::vector<std::string> ErrLines() const;
};

// Runs ringseam-cli with `args`; stdin is /dev/null, stdout and stderr are
// captured (so stderr is not a terminal).
CRun RunCli(const std::vector<std::string>& args);

// Runs ringseam-cli with stdin, stdout and stderr on a pseudo-terminal and
// returns everything it wrote there (both streams, in order).
CRun RunCliOnTerminal(const std::vector<std::string>& args);

void WriteFile(const fs::path& path, const std::string& bytes);
std::string ReadFile(const fs::path& path);

// A periodic test tone (several partials, period `period` frames) with a
// slow decay; channel 1 is a phase-shifted copy. Values stay within ±0.9.
double TestTone(int frame, int channel, double period = 100.5);

struct CWavSpec {
    int m_nChannels = 1;
    int m_nBits = 16;  // 8 or 16
    int m_nRate = 44100;
    int m_nFrames = 20000;
    bool m_bLoop = false;  // writes a smpl chunk
    int m_nLoopStart = 0;
    int m_nLoopEnd = 0;    // exclusive; the file stores the last frame played
    int m_nUnityNote = 60;
    std::function<double(int, int)> m_signal = [](int f, int c) { return TestTone(f, c); };
};
std::string MakeWav(const CWavSpec& spec);

struct CXiSample {
    int m_nBits = 16;             // 8 or 16
    std::vector<int> m_values;    // sample values in the sample's width
    int m_nLoopType = 0;          // 0 none, 1 forward
    int m_nLoopStartBytes = 0;
    int m_nLoopLengthBytes = 0;
    int m_nRelativeNote = 0;
};
std::string MakeXi(const std::vector<CXiSample>& samples);
// Values of a tone for an XI sample of the given width.
std::vector<int> XiTone(int frames, int bits, double period = 100.5);

// The document the program would work on, loaded in this process the same
// way (a failed load fails the test).
struct CLoadedDoc {
    CCliUserInterface ui{std::nullopt, nullptr, false, true};
    CQuorvelDoc doc;
    explicit CLoadedDoc(const fs::path& path);
};

// The cells of one CSV line, split at every comma (no quoting).
std::vector<std::string> SplitCsv(const std::string& line);

// Whether the text is one valid JSON value (objects, arrays, strings,
// numbers, true/false/null).
bool IsValidJson(const std::string& text);
// The raw text of a number, true/false or null member `key` of a one-line
// JSON object ("" when there is none).
std::string JsonMember(const std::string& line, const std::string& key);

}  // namespace clitest
