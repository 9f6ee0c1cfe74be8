// The document's Auto Loop and Auto Loop + Crossfade: the automatic search
// run on the document's frames and spectral banks.
#include "analysis/AutoLoop.h"
#include "analysis/LoopCurves.h"
#include "document/QuorvelDoc.h"
#include "document/WavSmpl.h"

namespace {

// Whether the banks were computed for frames of this length, rate and
// channel count (a Reload of a file changed on disk may have replaced them).
bool BanksMatchFrames(const CQuorvelDoc& doc)
{
    const int n = doc.m_nBankSize;
    if (n < 16 || doc.m_nChannels <= 0 || doc.m_nBankCount != doc.m_nFrameCount / n)
        return false;
    return doc.m_pBankSpectra.size() ==
           std::size_t(n / 2) * std::size_t(doc.m_nBankCount) * std::size_t(doc.m_nChannels);
}

// Frames without banks of their own get them here, on this thread, as a
// load would.
void EnsureBanks(CQuorvelDoc& doc)
{
    if (doc.m_nFrameCount <= 0 || doc.m_nChannels <= 0 || BanksMatchFrames(doc))
        return;
    doc.AllocateBanks();
    for (int c = 0; c < doc.m_nChannels; ++c)
        for (int b = 0; b < doc.m_nBankCount; ++b)
            doc.ComputeBank(b, c);
    ComputeLoopCurves(doc);
}

}  // namespace

bool CQuorvelDoc::AutoLoop()
{
    EnsureBanks(*this);
    const CFrameView frames{m_pSamples.data(), m_nFrameCount, m_nChannels, m_nSampleRate};
    const CBankView banks{m_pBankSpectra.data(), m_nBankSize, m_nBankCount};
    const std::optional<CLoopSpan> loop = m_nFrameCount > 0 && m_nChannels > 0 ? FindAutoLoop(frames, banks)
                                                                                 : std::nullopt;
    if (!loop) {
        GetUserInterface().ShowMessage(kNoSteadyPartMessage, "", MessageIcon::Warning);
        return false;
    }
    m_bHasLoop = true;
    m_nLoopStart = loop->m_nStart;
    m_nLoopEnd = loop->m_nEnd;
    return true;
}

bool CQuorvelDoc::AutoLoopCrossfade()
{
    Reload();
    if (!AutoLoop())
        return false;
    Crossfade(CrossfadeLengthForLoop());
    return true;
}

int CQuorvelDoc::AutoLoops(int count)
{
    EnsureBanks(*this);
    const CFrameView frames{m_pSamples.data(), m_nFrameCount, m_nChannels, m_nSampleRate};
    const CBankView banks{m_pBankSpectra.data(), m_nBankSize, m_nBankCount};
    const std::vector<CLoopSpan> found = m_nFrameCount > 0 && m_nChannels > 0
                                             ? FindAutoLoops(frames, banks, count)
                                             : std::vector<CLoopSpan>{};
    if (found.empty()) {
        GetUserInterface().ShowMessage(kNoSteadyPartMessage, "", MessageIcon::Warning);
        return 0;
    }
    std::vector<CLoopPoints> loops;
    for (const CLoopSpan& l : found)
        loops.push_back(CLoopPoints{l.m_nStart, l.m_nEnd, kWavSmplLoopForward});
    SetLoops(loops);
    return int(loops.size());
}
