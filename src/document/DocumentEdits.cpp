// The document's undo steps and the exchange of its contents (QuorvelDoc.h).
#include "document/QuorvelDoc.h"

#include "analysis/BankSize.h"
#include "analysis/LoopCurves.h"

#include <new>
#include <utility>

void CQuorvelDoc::BeginUndoStep(const std::string& name)
{
    m_undo.Begin(name, GetEditState(), m_pSamples);
}

void CQuorvelDoc::EndUndoStep()
{
    // Called from cleanup paths: without the memory to keep the step, the
    // change stands and only its undo is lost.
    try {
        m_undo.End(GetEditState());
    } catch (const std::bad_alloc&) {
    }
}

void CQuorvelDoc::RecordFrameEdit(std::int64_t first, std::int64_t count)
{
    if (first < 0) {
        count += first;
        first = 0;
    }
    if (count <= 0 || m_nChannels <= 0)
        return;
    m_undo.RecordValues(std::size_t(first) * std::size_t(m_nChannels), std::size_t(count) * std::size_t(m_nChannels));
}

CEditState CQuorvelDoc::GetEditState() const
{
    CEditState state;
    state.m_bHasLoop = m_bHasLoop;
    state.m_nLoopStart = m_nLoopStart;
    state.m_nLoopEnd = m_nLoopEnd;
    state.m_nUnityNote = m_nUnityNote;
    state.m_nPitchFraction = m_nPitchFraction;
    state.m_nChannels = m_nChannels;
    state.m_nFrameCount = m_nFrameCount;
    state.m_nSampleRate = m_nSampleRate;
    state.m_extraLoops = m_extraLoops;
    state.m_nRelease = m_nRelease;
    state.m_fileLoop = m_fileLoop;
    state.m_strSourcePath = m_strSourcePath;
    return state;
}

void CQuorvelDoc::SetEditState(const CEditState& state)
{
    m_bHasLoop = state.m_bHasLoop;
    m_nLoopStart = state.m_nLoopStart;
    m_nLoopEnd = state.m_nLoopEnd;
    m_nUnityNote = state.m_nUnityNote;
    m_nPitchFraction = state.m_nPitchFraction;
    m_nChannels = state.m_nChannels;
    m_nFrameCount = state.m_nFrameCount;
    m_nSampleRate = state.m_nSampleRate;
    m_extraLoops = state.m_extraLoops;
    m_nRelease = state.m_nRelease;
    m_fileLoop = state.m_fileLoop;
    m_strSourcePath = state.m_strSourcePath;
}

void CQuorvelDoc::Undo()
{
    if (!m_undo.CanUndo())
        return;
    TakeHistoryState(m_undo.Undo(m_pSamples));
}

void CQuorvelDoc::Redo()
{
    if (!m_undo.CanRedo())
        return;
    TakeHistoryState(m_undo.Redo(m_pSamples));
}

void CQuorvelDoc::TakeHistoryState(const CEditState& state)
{
    // Another number of frames (a trim, a reload of a changed file) may keep
    // the number of banks; their contents are another sample's all the same.
    const bool bReshaped = state.m_nFrameCount != m_nFrameCount || state.m_nChannels != m_nChannels ||
                           state.m_nSampleRate != m_nSampleRate;
    SetEditState(state);
    if (bReshaped)
        ComputeBanksHere();
    else
        ComputeBanksIfStale();
    SetModifiedFlag(!m_undo.IsAtSavedState());
}

bool CQuorvelDoc::BanksDescribeFrames() const
{
    const int n = m_nBankSize;
    if (n != BankSizeForSampleRate(m_nSampleRate) || m_nBankCount != (m_nFrameCount > 0 ? m_nFrameCount / n : 0))
        return false;
    const std::size_t channels = m_nChannels > 0 ? std::size_t(m_nChannels) : 0;
    return m_pBankSpectra.size() == std::size_t(n / 2) * std::size_t(m_nBankCount) * channels &&
           m_pLoopCurves.size() == std::size_t(m_nBankCount) * std::size_t(m_nCurveColumns);
}

void CQuorvelDoc::ComputeBanksIfStale()
{
    if (!BanksDescribeFrames())
        ComputeBanksHere();
}

void CQuorvelDoc::ComputeBanksHere()
{
    // A document that never had banks (m_nBankSize 0) gets none here.
    if (m_nBankSize <= 0 || m_nChannels <= 0)
        return;
    AllocateBanks();
    for (int c = 0; c < m_nChannels; ++c)
        for (int b = 0; b < m_nBankCount; ++b)
            ComputeBank(b, c);
    ComputeLoopCurves(*this);
}

bool CQuorvelDoc::OnSaveDocument(const std::string& path)
{
    if (!CDocument::OnSaveDocument(path))
        return false;
    m_undo.MarkSaved();
    return true;
}

void CQuorvelDoc::SwapContents(CQuorvelDoc& other)
{
    using std::swap;
    swap(m_strFileType, other.m_strFileType);
    swap(m_strSourcePath, other.m_strSourcePath);
    swap(m_nChannels, other.m_nChannels);
    swap(m_bHasLoop, other.m_bHasLoop);
    swap(m_nLoopEnd, other.m_nLoopEnd);
    swap(m_nLoopStart, other.m_nLoopStart);
    swap(m_nFrameCount, other.m_nFrameCount);
    swap(m_nSampleRate, other.m_nSampleRate);
    swap(m_nBankSize, other.m_nBankSize);
    swap(m_nBankCount, other.m_nBankCount);
    swap(m_nUnityNote, other.m_nUnityNote);
    swap(m_bFromXI, other.m_bFromXI);
    swap(m_xiHeader, other.m_xiHeader);
    swap(m_pXISampleHeaders, other.m_pXISampleHeaders);
    swap(m_nXISampleCount, other.m_nXISampleCount);
    swap(m_ppXISampleData, other.m_ppXISampleData);
    swap(m_nXISampleIndex, other.m_nXISampleIndex);
    swap(m_bLoaded, other.m_bLoaded);
    swap(m_nCurveColumns, other.m_nCurveColumns);
    swap(m_pSamples, other.m_pSamples);
    swap(m_pBankSpectra, other.m_pBankSpectra);
    swap(m_pLoopCurves, other.m_pLoopCurves);
    swap(m_sourceEncoding, other.m_sourceEncoding);
    swap(m_wavChunks, other.m_wavChunks);
    swap(m_fileLoop, other.m_fileLoop);
    swap(m_undo, other.m_undo);
    swap(m_extraLoops, other.m_extraLoops);
    swap(m_nRelease, other.m_nRelease);
}
