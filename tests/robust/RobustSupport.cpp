#include "RobustSupport.h"

#include "FaultyFile.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Robust {

void CTestUi::ShowMessage(const std::string& text, const std::string&, MessageIcon)
{
    m_messages.push_back(text);
}

std::optional<int> CTestUi::ChooseSample(int nSampleCount)
{
    if (m_nChoice && *m_nChoice >= 1 && *m_nChoice <= nSampleCount)
        return m_nChoice;
    return std::nullopt;
}

bool CTestUi::RunProgress(IProgressSource& source)
{
    if (m_bCancelProgress) {
        source.Cancel();
        return false;
    }
    const int total = source.GetTotal();
    while (source.PollDone() != total)
        std::this_thread::yield();
    return true;
}

Bytes ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void FillDocument(CQuorvelDoc& doc, int frames, int channels, int rate, int loopStart, int loopEnd)
{
    doc.m_nChannels = channels;
    doc.m_nFrameCount = frames;
    doc.m_nSampleRate = rate;
    doc.m_pSamples.assign(std::size_t(frames) * std::size_t(channels), 0.0);
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            doc.SetSample(f, c, 0.7 * std::exp(-f / 2000.0) * std::sin(f * (0.05 + 0.01 * c)));
    doc.m_bHasLoop = loopEnd > 0;
    doc.m_nLoopStart = loopStart;
    doc.m_nLoopEnd = loopEnd;
    doc.m_strFileType = "wav";
}

DocSnapshot::DocSnapshot(const CQuorvelDoc& doc)
    : strFileType(doc.m_strFileType), strSourcePath(doc.m_strSourcePath), strTitle(doc.GetTitle()),
      strPathName(doc.GetPathName()), nChannels(doc.m_nChannels), nFrameCount(doc.m_nFrameCount),
      nSampleRate(doc.m_nSampleRate), nLoopStart(doc.m_nLoopStart), nLoopEnd(doc.m_nLoopEnd),
      nUnityNote(doc.m_nUnityNote), bHasLoop(doc.m_bHasLoop), bFromXI(doc.m_bFromXI), bLoaded(doc.m_bLoaded),
      samples(doc.m_pSamples), xiHeader(doc.m_xiHeader.bytes.begin(), doc.m_xiHeader.bytes.end()),
      nXISampleCount(doc.m_nXISampleCount), nXISampleIndex(doc.m_nXISampleIndex), xiSampleData(doc.m_ppXISampleData),
      nBankSize(doc.m_nBankSize), nBankCount(doc.m_nBankCount), nBankSpectra(doc.m_pBankSpectra.size()),
      nLoopCurves(doc.m_pLoopCurves.size())
{
    for (const auto& h : doc.m_pXISampleHeaders)
        xiSampleHeaders.emplace_back(h.bytes.begin(), h.bytes.end());
}

std::string WhyNotEmpty(const CQuorvelDoc& doc)
{
    std::string why;
    auto note = [&](bool bad, const char* what) {
        if (bad)
            why += std::string(why.empty() ? "" : ", ") + what;
    };
    note(doc.m_nFrameCount != 0 || !doc.m_pSamples.empty(), "frames");
    note(doc.m_nChannels != 0, "channels");
    note(doc.m_bLoaded, "loaded");
    note(doc.m_bHasLoop, "loop");
    note(!doc.m_pBankSpectra.empty() || !doc.m_pLoopCurves.empty() || doc.m_nBankCount != 0, "banks");
    note(doc.m_bFromXI || !doc.m_pXISampleHeaders.empty() || !doc.m_ppXISampleData.empty(), "instrument");
    note(!doc.GetPathName().empty(), "path");
    note(doc.GetTitle() != kUntitledTitle, "title");
    return why;
}

namespace {

std::string Differences(const DocSnapshot& a, const DocSnapshot& b)
{
    std::string why;
    auto note = [&](bool differs, const char* what) {
        if (differs)
            why += std::string(why.empty() ? "" : ", ") + what;
    };
    note(a.strFileType != b.strFileType, "file type");
    note(a.strSourcePath != b.strSourcePath, "source path");
    note(a.strTitle != b.strTitle || a.strPathName != b.strPathName, "title or path");
    note(a.nChannels != b.nChannels || a.nFrameCount != b.nFrameCount || a.nSampleRate != b.nSampleRate, "format");
    note(a.samples != b.samples, "frames");
    note(a.bHasLoop != b.bHasLoop || a.nLoopStart != b.nLoopStart || a.nLoopEnd != b.nLoopEnd, "loop");
    note(a.nUnityNote != b.nUnityNote, "unity note");
    note(a.bLoaded != b.bLoaded, "loaded flag");
    note(a.bFromXI != b.bFromXI || a.xiHeader != b.xiHeader, "instrument header");
    note(a.xiSampleHeaders != b.xiSampleHeaders || a.nXISampleCount != b.nXISampleCount, "sample headers");
    note(a.nXISampleIndex != b.nXISampleIndex, "sample index");
    note(a.xiSampleData != b.xiSampleData, "sample data");
    note(a.nBankSize != b.nBankSize || a.nBankCount != b.nBankCount || a.nBankSpectra != b.nBankSpectra ||
             a.nLoopCurves != b.nLoopCurves,
         "banks");
    return why;
}

}  // namespace

std::string DocSnapshot::ChangesIn(const CQuorvelDoc& doc) const
{
    return Differences(*this, DocSnapshot(doc));
}

namespace {

CFaultPlan* g_pPlan = nullptr;

// Reports its faults to the plan when it goes away.
class CPlannedFile : public CFaultyFile {
public:
    CPlannedFile(std::unique_ptr<CFile> inner, CFaultPlan& plan) : CFaultyFile(std::move(inner)), m_plan(plan)
    {
        m_nWriteBudget = plan.m_nWriteBudget;
        m_nReadBudget = plan.m_nReadBudget;
        m_bReadThrows = plan.m_bReadThrows;
        m_bFailClose = plan.m_bFailClose;
        ++plan.m_nOpened;
    }
    ~CPlannedFile() override { m_plan.m_bFaulted = m_plan.m_bFaulted || m_bFaulted; }

private:
    CFaultPlan& m_plan;
};

std::unique_ptr<CFile> OpenPlanned(const std::string& path, CDiskFile::Mode mode)
{
    auto disk = std::make_unique<CDiskFile>(path, mode);
    if (!g_pPlan || mode != g_pPlan->m_mode)
        return disk;
    return std::make_unique<CPlannedFile>(std::move(disk), *g_pPlan);
}

}  // namespace

CFaultPlan::CFaultPlan(CDiskFile::Mode mode) : m_mode(mode)
{
    g_pPlan = this;
    CDiskFile::s_pfnOpen = &OpenPlanned;
}

CFaultPlan::~CFaultPlan()
{
    CDiskFile::s_pfnOpen = nullptr;
    g_pPlan = nullptr;
}

}  // namespace Robust
