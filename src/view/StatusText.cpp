#include "view/StatusText.h"

#include "analysis/Tuning.h"
#include "document/QuorvelDoc.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

// ", 1.179 s" for `frames` at the document's rate; "" without a rate.
std::string Seconds(const CQuorvelDoc& doc, std::int64_t frames)
{
    if (doc.m_nSampleRate <= 0)
        return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, ", %.3f s", double(frames) / doc.m_nSampleRate);
    return buf;
}

}  // namespace

std::string LoopPaneText(const CQuorvelDoc& doc)
{
    if (!doc.m_bHasLoop)
        return doc.m_bLoaded ? "No loop" : "";
    const std::int64_t length = std::int64_t(doc.m_nLoopEnd) - doc.m_nLoopStart;
    return std::to_string(doc.m_nLoopStart) + "–" + std::to_string(doc.m_nLoopEnd) + ", " +
           std::to_string(length) + " frames" + Seconds(doc, length);
}

std::string PointerPaneText(const CQuorvelDoc& doc, int frame)
{
    if (frame < 0)
        return {};
    return "Frame " + std::to_string(frame) + Seconds(doc, frame);
}

std::string ScorePaneText(const CQuorvelDoc& doc)
{
    // The score reads the frames on both sides of the seam.
    if (!doc.m_bHasLoop || doc.m_nChannels <= 0 ||
        std::int64_t(doc.m_nFrameCount) * doc.m_nChannels > std::int64_t(doc.m_pSamples.size()))
        return {};
    const double score = doc.SeamScore(doc.m_nLoopStart, doc.m_nLoopEnd);
    if (!std::isfinite(score))
        return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "Score %.4g", score);
    return buf;
}

std::string PitchPaneText(const CQuorvelDoc& doc, const std::optional<CPitch>& pitch)
{
    if (!doc.m_bLoaded)
        return {};
    if (!pitch)
        return "No steady pitch";
    std::string text = FormatPitch(pitch->m_dFrequency);
    const std::optional<double> detune =
        doc.m_bHasLoop ? LoopDetuneCents(pitch->m_dFrequency, doc.m_nLoopEnd - doc.m_nLoopStart, doc.m_nSampleRate)
                       : std::nullopt;
    if (detune) {
        char buf[64];
        std::snprintf(buf, sizeof buf, ", loop %+.2f ct", *detune);
        text += buf;
    }
    return text;
}
