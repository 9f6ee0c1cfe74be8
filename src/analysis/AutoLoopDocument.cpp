// The document's Auto Loop and Auto Loop + Crossfade: the automatic search
// run on the document's frames and spectral banks.
#include "analysis/AutoLoop.h"
#include "analysis/LoopCurves.h"
#include "document/QuorvelDoc.h"

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

}  // namespace

bool CQuorvelDoc::AutoLoop()
{
    if (m_nFrameCount > 0 && m_nChannels > 0 && !BanksMatchFrames(*this)) {
        // Frames without banks of their own: compute them here, on this
        // thread, as a load would.
        AllocateBanks();
        for (int c = 0; c < m_nChannels; ++c)
            for (int b = 0; b < m_nBankCount; ++b)
                ComputeBank(b, c);
        ComputeLoopCurves(*this);
    }
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
