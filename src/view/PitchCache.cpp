#include "view/PitchCache.h"

#include "document/QuorvelDoc.h"

const std::optional<CPitch>& CPitchCache::Get(const CQuorvelDoc& doc)
{
    if (!doc.m_bLoaded || doc.m_nFrameCount <= 0 || doc.m_nChannels <= 0) {
        m_bValid = false;
        m_pitch.reset();
        return m_pitch;
    }
    // Every 997th value (a prime, so no period of the sound hides them).
    double spread = 0.0;
    for (std::size_t i = 0; i < doc.m_pSamples.size(); i += 997)
        spread += doc.m_pSamples[i] * double(i % 7 + 1);
    const std::array<double, 4> framesKey{double(doc.m_nFrameCount), double(doc.m_nChannels),
                                          double(doc.m_nSampleRate), spread};
    const CFrameView frames{doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
    const bool framesChanged = !m_bValid || framesKey != m_framesKey;
    if (framesChanged) {
        m_framesKey = framesKey;
        m_framesPitch = DetectPitch(frames);
    }
    const std::array<int, 3> loopKey{doc.m_bHasLoop, doc.m_nLoopStart, doc.m_nLoopEnd};
    if (m_framesPitch) {
        m_pitch = m_framesPitch;
    } else if (framesChanged || loopKey != m_loopKey) {
        // A sample too short to hold its pitch, measured as it is played.
        m_pitch = doc.m_bHasLoop ? DetectLoopedPitch(frames, CFrameSpan{doc.m_nLoopStart, doc.m_nLoopEnd})
                                 : std::nullopt;
    }
    m_loopKey = loopKey;
    m_bValid = true;
    return m_pitch;
}

std::optional<double> LoopDetune(const std::optional<CPitch>& pitch, int length, int sampleRate)
{
    return pitch ? LoopDetuneCents(pitch->m_dFrequency, length, sampleRate) : std::nullopt;
}
