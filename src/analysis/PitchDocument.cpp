// The document's tuning: setting it, and Detect Pitch on its frames.
#include "analysis/Pitch.h"
#include "document/QuorvelDoc.h"

void CQuorvelDoc::SetTuning(const CTuning& tuning)
{
    if (tuning == GetTuning())
        return;
    m_nUnityNote = tuning.m_nUnityNote;
    m_nPitchFraction = tuning.m_nPitchFraction;
    SetModifiedFlag();
}

std::optional<CPitch> CQuorvelDoc::DetectPitch() const
{
    if (m_nFrameCount <= 0 || m_nChannels <= 0)
        return std::nullopt;
    const CFrameView frames{m_pSamples.data(), m_nFrameCount, m_nChannels, m_nSampleRate};
    // A sample too short to hold its pitch is measured as it is played: its
    // loop repeated.
    const std::optional<CPitch> pitch = ::DetectPitch(frames);
    if (pitch || !m_bHasLoop)
        return pitch;
    return DetectLoopedPitch(frames, CFrameSpan{m_nLoopStart, m_nLoopEnd});
}

bool CQuorvelDoc::DetectAndSetTuning()
{
    const std::optional<CPitch> pitch = DetectPitch();
    if (!pitch) {
        GetUserInterface().ShowMessage(kNoSteadyPitchMessage, "", MessageIcon::Warning);
        return false;
    }
    const double detected = SemitonesFromFrequency(pitch->m_dFrequency);
    if (const auto octaves = OctaveFromStoredMessage(GetTuning(), detected))
        GetUserInterface().ShowMessage(*octaves, "", MessageIcon::Information);
    SetTuning(TuningFromSemitones(detected));
    return true;
}
