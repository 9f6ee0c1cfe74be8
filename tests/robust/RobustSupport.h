// Shared pieces of the robustness tests: a scripted user interface, a
// temporary folder, documents filled with a known signal, a snapshot of
// everything a failed operation must leave unchanged, and the hook that makes
// the document flow open its files through CFaultyFile.
#pragma once

#include "TempFolder.h"
#include "document/QuorvelDoc.h"
#include "framework/File.h"
#include "framework/UserInterface.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Robust {

using Bytes = std::vector<std::uint8_t>;
// The shared temporary folder under the name these tests have long used.
using CTempDir = CTempFolder;

// Messages are collected; the sample choice is preset (unset = Cancel); the
// progress runs to the end without the 50 ms poll, or is cancelled.
class CTestUi : public IUserInterface {
public:
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    std::optional<int> ChooseSample(int nSampleCount) override;
    bool RunProgress(IProgressSource& source) override;

    std::optional<int> m_nChoice = 1;
    bool m_bCancelProgress = false;
    std::vector<std::string> m_messages;
};

Bytes ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);

// Gives the document `frames` frames of a decaying tone on every channel, the
// rate, and the loop [loopStart, loopEnd) when loopEnd > 0, as a read would.
void FillDocument(CQuorvelDoc& doc, int frames, int channels, int rate, int loopStart = 0, int loopEnd = 0);

// Everything a read fills, and the state flags around it.
struct DocSnapshot {
    explicit DocSnapshot(const CQuorvelDoc& doc);
    // What differs in `doc` from the snapshot ("" when nothing), e.g. "loop, frames".
    std::string ChangesIn(const CQuorvelDoc& doc) const;

    std::string strFileType, strSourcePath, strTitle, strPathName;
    std::int32_t nChannels, nFrameCount, nSampleRate, nLoopStart, nLoopEnd, nUnityNote;
    bool bHasLoop, bFromXI, bLoaded;
    std::vector<double> samples;
    std::vector<std::uint8_t> xiHeader;
    std::vector<std::vector<std::uint8_t>> xiSampleHeaders;
    std::int32_t nXISampleCount, nXISampleIndex;
    std::vector<std::vector<std::uint8_t>> xiSampleData;
    std::int32_t nBankSize, nBankCount;
    std::size_t nBankSpectra, nLoopCurves;
};

// What the document still holds ("" when nothing): the state after a failed
// Open must be empty.
std::string WhyNotEmpty(const CQuorvelDoc& doc);

// While alive, the document flow opens its files through CFaultyFile with
// these settings (only files of the given mode are wrapped).
class CFaultPlan {
public:
    explicit CFaultPlan(CDiskFile::Mode mode);
    ~CFaultPlan();
    CFaultPlan(const CFaultPlan&) = delete;
    CFaultPlan& operator=(const CFaultPlan&) = delete;

    std::optional<std::uint64_t> m_nWriteBudget;
    std::optional<std::uint64_t> m_nReadBudget;
    bool m_bReadThrows = false;
    bool m_bFailClose = false;

    int m_nOpened = 0;       // files wrapped so far
    bool m_bFaulted = false;  // whether any of them injected a fault

    CDiskFile::Mode m_mode;
};

}  // namespace Robust
