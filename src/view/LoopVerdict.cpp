#include "view/LoopVerdict.h"

#include "analysis/LoopSteps.h"
#include "document/QuorvelDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

CFrameView FramesOf(const CQuorvelDoc& doc)
{
    return {doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
}

bool HasUsableLoop(const CQuorvelDoc& doc)
{
    return doc.m_bHasLoop && doc.m_nChannels > 0 && doc.m_nLoopStart >= 0 && doc.m_nLoopEnd > doc.m_nLoopStart &&
           doc.m_nLoopEnd <= doc.m_nFrameCount &&
           std::int64_t(doc.m_nFrameCount) * doc.m_nChannels <= std::int64_t(doc.m_pSamples.size());
}

}  // namespace

double LoopPitchHz(const CQuorvelDoc& doc, const std::optional<CPitch>& detected, int* pPeriod)
{
    if (pPeriod)
        *pPeriod = 0;
    if (!HasUsableLoop(doc))
        return 0.0;
    if (detected && detected->m_dFrequency > 0.0) {
        if (pPeriod)
            *pPeriod = int(std::lround(doc.m_nSampleRate / detected->m_dFrequency));
        return detected->m_dFrequency;
    }
    // A short loop holds too little of the sound: the period is looked for
    // in at least kPeriodWindow frames from the loop start on.
    const int last = int(std::min<std::int64_t>(doc.m_nFrameCount,
                                                std::max<std::int64_t>(doc.m_nLoopEnd, std::int64_t(doc.m_nLoopStart) + kPeriodWindow)));
    const int period = EstimatePeriod(FramesOf(doc), doc.m_nLoopStart, last);
    if (pPeriod)
        *pPeriod = period;
    return period > 0 ? double(doc.m_nSampleRate) / period : 0.0;
}

CLoopVerdict JudgeLoop(const CQuorvelDoc& doc, const std::optional<CPitch>& detected)
{
    CLoopVerdict v;
    if (!HasUsableLoop(doc))
        return v;
    v.m_bHasLoop = true;
    const CFrameView frames = FramesOf(doc);
    v.m_metrics.m_dSeam = SeamRatio(frames, doc.m_nLoopStart, doc.m_nLoopEnd);
    v.m_metrics.m_dLevelDb = SeamLevelDb(frames, doc.m_nLoopStart, doc.m_nLoopEnd);
    v.m_dPitchHz = LoopPitchHz(doc, detected, &v.m_nPeriod);
    const int length = doc.m_nLoopEnd - doc.m_nLoopStart;
    if (detected)
        v.m_detuneCents = LoopDetuneCents(detected->m_dFrequency, length, doc.m_nSampleRate);
    v.m_bShorterThanMinimum = doc.m_nSampleRate > 0 && length < kMinLoopSeconds * doc.m_nSampleRate;
    v.m_bShorterThanPeriod = v.m_nPeriod > 0 && length < v.m_nPeriod;
    return v;
}

std::string VerdictPaneText(const CLoopVerdict& v)
{
    if (!v.m_bHasLoop)
        return {};
    char buf[160];
    std::string text;
    if (std::isfinite(v.m_metrics.m_dSeam))
        std::snprintf(buf, sizeof buf, "seam %.3g %s", v.m_metrics.m_dSeam, v.m_metrics.IsClean() ? "clean" : "not clean");
    else
        std::snprintf(buf, sizeof buf, "seam not clean");
    text = buf;
    if (std::isfinite(v.m_metrics.m_dLevelDb)) {
        std::snprintf(buf, sizeof buf, ", level %.1f dB", v.m_metrics.m_dLevelDb);
        text += buf;
    }
    if (v.m_detuneCents) {
        std::snprintf(buf, sizeof buf, ", detune %+.2f ct", *v.m_detuneCents);
        text += buf;
    }
    if (v.m_bShorterThanMinimum)
        text += " — too short: under 2 ms";
    else if (v.m_bShorterThanPeriod)
        text += " — too short: under one period";
    return text;
}
