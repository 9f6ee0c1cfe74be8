#include "view/SeamDrawing.h"

#include "document/QuorvelDoc.h"
#include "view/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

bool HasDrawableLoop(const CQuorvelDoc& doc)
{
    return doc.m_bHasLoop && doc.m_nChannels > 0 && doc.m_nFrameCount > 0 &&
           std::int64_t(doc.m_nFrameCount) * doc.m_nChannels <= std::int64_t(doc.m_pSamples.size()) &&
           doc.m_nLoopStart >= 0 && doc.m_nLoopStart < doc.m_nLoopEnd && doc.m_nLoopEnd <= doc.m_nFrameCount;
}

// One trace as a polyline through its frames' points; an invalid frame (−1)
// breaks it.
template <typename FrameOf>
void DrawTrace(CPixelCanvas& canvas, const CQuorvelDoc& doc, int channel, int first, int last, FrameOf frameOf,
               int framesPerSide, int width, int centre, int halfRange, double peak, std::uint32_t color)
{
    bool bDown = false;
    int px = 0;
    int py = 0;
    for (int i = first; i < last; ++i) {
        const int f = frameOf(doc, i);
        if (f < 0) {
            bDown = false;
            continue;
        }
        const int x = TruncToInt(double(i + framesPerSide) * width / (2.0 * framesPerSide));
        // Normalised first, so a value equal to the peak lands exactly on its row.
        const double v = peak > 0.0 ? doc.GetSample(f, channel) / peak : 0.0;
        const int y = centre - std::clamp(TruncToInt(v * halfRange), -halfRange, halfRange);
        if (bDown) {
            canvas.MoveTo(px, py);
            canvas.LineTo(x, y, color);
        }
        // The end point of a line is left out: every point is set here.
        canvas.FillRect({x, y, x + 1, y + 1}, color);
        px = x;
        py = y;
        bDown = true;
    }
}

}  // namespace

int SeamPlayedFrame(const CQuorvelDoc& doc, int offset)
{
    if (!doc.m_bHasLoop || doc.m_nLoopEnd <= doc.m_nLoopStart)
        return -1;
    const std::int64_t length = std::int64_t(doc.m_nLoopEnd) - doc.m_nLoopStart;
    const std::int64_t wrapped = ((std::int64_t(offset) % length) + length) % length;
    return int(doc.m_nLoopStart + wrapped);
}

int SeamNaturalFrame(const CQuorvelDoc& doc, int offset)
{
    if (!doc.m_bHasLoop)
        return -1;
    const std::int64_t f = std::int64_t(doc.m_nLoopEnd) + offset;
    return f >= 0 && f < doc.m_nFrameCount ? int(f) : -1;
}

void DrawSeam(CPixelCanvas& canvas, int width, int height, const CQuorvelDoc& doc, int framesPerSide)
{
    canvas.FillRect({0, 0, width, height}, kSeamBackground);
    if (!HasDrawableLoop(doc) || framesPerSide < 1 || width < 1 || height < 1)
        return;
    const int channels = doc.m_nChannels;
    const int k = framesPerSide;

    // One scale for every channel and both traces, so levels compare.
    double peak = 0.0;
    for (int c = 0; c < channels; ++c)
        for (int i = -k; i < k; ++i) {
            peak = std::max(peak, std::fabs(doc.GetSample(SeamPlayedFrame(doc, i), c)));
            if (const int f = SeamNaturalFrame(doc, i); i >= 0 && f >= 0)
                peak = std::max(peak, std::fabs(doc.GetSample(f, c)));
        }
    if (!std::isfinite(peak))
        peak = 0.0;

    const int seamX = TruncToInt(width / 2.0);
    for (int c = 0; c < channels; ++c) {
        const int top = int(std::int64_t(height) * c / channels);
        const int bottom = int(std::int64_t(height) * (c + 1) / channels);
        const int centre = top + (bottom - top) / 2;
        const int halfRange = std::max(0, std::min(centre - top, bottom - 1 - centre) - 1);
        canvas.FillRect({0, centre, width, centre + 1}, kSeamCentre);
        canvas.FillRect({seamX, top, seamX + 1, bottom}, kSeamLine);
        // From the last shared frame before the seam, so both traces part there.
        DrawTrace(canvas, doc, c, -1, k, SeamNaturalFrame, k, width, centre, halfRange, peak, kSeamNatural);
        DrawTrace(canvas, doc, c, -k, k, SeamPlayedFrame, k, width, centre, halfRange, peak, kSeamPlayed);
    }
}
