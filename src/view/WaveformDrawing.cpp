#include "view/WaveformDrawing.h"

#include "document/QuorvelDoc.h"
#include "view/ViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace {
// Below this many frames in a repaint, reading them directly is cheaper than
// building the summary.
constexpr std::int64_t kSummaryMinFrames = 1 << 16;
}  // namespace

void CWaveformDrawing::EraseBackground(CPixelCanvas& canvas) const
{
    canvas.FillRect(canvas.GetLogicalClip(), kBackground);
}

void CWaveformDrawing::Draw(CPixelCanvas& canvas, const CQuorvelDoc& doc, const CViewGeometry& geometry,
                            const PlayCursorState& cursor, IViewTextOutput* pText)
{
    const PixelRect clip = canvas.GetLogicalClip();
    if (clip.IsEmpty())
        return;
    const int waveHeight = geometry.GetWaveBandHeight();
    const int strips = geometry.GetStripCount();
    const int stripHeight = geometry.m_nStripHeight;

    if (clip.top < waveHeight && clip.bottom > 0)
        DrawWaveBand(canvas, doc, geometry);

    if (clip.top < waveHeight + strips * stripHeight && clip.bottom > waveHeight)
        DrawStrips(canvas, doc, geometry, pText);

    const int contentHeight = geometry.GetContentSize().cy;
    if (doc.m_bHasLoop) {
        int x = geometry.FrameToX(doc.m_nLoopStart);
        canvas.InvertRect({x, 0, x + 1, contentHeight});
        x = geometry.FrameToX(doc.m_nLoopEnd);
        canvas.InvertRect({x, 0, x + 1, contentHeight});
    }
    if (cursor.bPlaying) {
        const int x = geometry.FrameToX(cursor.nPlayPos);
        canvas.MoveTo(x, 0);
        canvas.LineTo(x, contentHeight, kPlayCursor);
    }
}

void CWaveformDrawing::DrawWaveBand(CPixelCanvas& canvas, const CQuorvelDoc& doc, const CViewGeometry& geometry)
{
    const double zoom = geometry.m_dZoom;
    if (!(zoom > 0.0))
        return;
    const PixelRect clip = canvas.GetLogicalClip();
    const int frames = doc.m_nFrameCount;
    const int channels = doc.m_nChannels;
    if (frames <= 0 || channels <= 0 || std::int64_t(frames) * channels > std::int64_t(doc.m_pSamples.size()))
        return;
    const int x0 = std::max(clip.left, 0);
    const int x1 = std::min(clip.right, TruncToInt(frames * zoom));
    if (x1 <= x0)
        return;
    const int halfHeight = geometry.m_nLaneHalfHeight;
    const int scale = halfHeight - 1;
    const double step = 1.0 / zoom;

    bool bSummary = false;
    if (m_bUseSummary) {
        bSummary = m_summary.IsValidFor(doc, scale);
        const double covered = (x1 - x0) * step;
        if (!bSummary && frames >= kSummaryMinFrames && covered * 4.0 >= frames) {
            m_summary.Build(doc, scale);
            bSummary = m_summary.IsValidFor(doc, scale);
        }
    }

    for (int c = 0; c < channels; ++c) {
        const int yc = geometry.GetLaneCentre(c);
        double pos = x0 * step;
        int f = TruncToInt(pos);  // running frame index of this pass
        for (int x = x0; x < x1; ++x) {
            const int v = f < frames ? doc.GetSampleScaled(f, c, scale) : 0;
            int nMax = v;
            int nMin = v - 1;
            pos += step;  // right boundary of the column, in frames
            if (bSummary) {
                // The frames f … end − 1 are those the column walk reads.
                if (f < frames && f < pos) {
                    const int end = pos >= frames ? frames : std::max(f, static_cast<int>(std::ceil(pos)));
                    int rMin = 0;
                    int rMax = 0;
                    m_summary.RangeMinMax(c, f, end, rMin, rMax);
                    nMin = std::min(nMin, rMin);
                    nMax = std::max(nMax, rMax);
                    f = end;
                }
            } else {
                while (f < pos && f < frames) {
                    const int a = doc.GetSampleScaled(f, c, scale);
                    nMin = std::min(nMin, a);
                    nMax = std::max(nMax, a);
                    ++f;
                }
            }
            // MoveTo(x, yc − min), LineTo(x, yc − max): the end row is not drawn.
            canvas.VerticalSpan(x, yc - nMax + 1, yc - nMin + 1, kWave);
        }
    }
}

void CWaveformDrawing::DrawLabel(CPixelCanvas& canvas, IViewTextOutput* pText, const PixelRect& rcLogical,
                                 const char* text) const
{
    if (!pText)
        return;
    const PixelRect device{rcLogical.left + canvas.GetOriginX(), rcLogical.top + canvas.GetOriginY(),
                           rcLogical.right + canvas.GetOriginX(), rcLogical.bottom + canvas.GetOriginY()};
    if (IntersectRect(device, canvas.GetClip()).IsEmpty())
        return;
    pText->DrawLabel(device, canvas.GetClip(), text, kText, kTextBk);
}

void CWaveformDrawing::DrawStrips(CPixelCanvas& canvas, const CQuorvelDoc& doc, const CViewGeometry& geometry,
                                  IViewTextOutput* pText) const
{
    const PixelRect clip = canvas.GetLogicalClip();
    const int hw = geometry.GetWaveBandHeight();
    const int s = geometry.m_nStripHeight;
    const int strips = geometry.GetStripCount();
    const double zoom = geometry.m_dZoom;

    DrawLabel(canvas, pText, {0, hw + s - 25, 85, hw + s - 5}, "Begin Loop");
    DrawLabel(canvas, pText, {0, hw + 2 * s - 25, 85, hw + 2 * s - 5}, "End Loop");
    const int contentRight = TruncToInt(doc.m_nFrameCount * zoom);
    for (int r = 0; r < strips; ++r) {
        DrawLabel(canvas, pText, {contentRight - 60, hw + r * s + 5, contentRight, hw + r * s + 25}, "Best");
        DrawLabel(canvas, pText, {contentRight - 60, hw + (r + 1) * s - 25, contentRight, hw + (r + 1) * s - 5},
                  "Worst");
    }

    canvas.MoveTo(clip.left, hw);
    canvas.LineTo(clip.right, hw, kGrid);

    const int banks = doc.m_nBankCount;
    const int bankSize = doc.m_nBankSize;
    // Curves are read only where the table holds them.
    const bool bCurves = banks > 0 && doc.m_nCurveColumns > 0 &&
                         std::int64_t(banks) * doc.m_nCurveColumns <= std::int64_t(doc.m_pLoopCurves.size());
    for (int r = 0; r < strips; ++r) {
        const int yb = hw + (r + 1) * s;
        canvas.MoveTo(clip.left, yb);
        canvas.LineTo(clip.right, yb, kGrid);
        if (!bCurves || r >= doc.m_nCurveColumns)
            continue;

        const double dx = bankSize * zoom;
        double bankX = (bankSize / 2) * zoom;  // centre of bank 0
        double v = doc.GetCurve(0, r);
        bool bGap = v < 0;
        int x = TruncToInt(bankX);
        // A segment or tick entirely left or right of the clip cannot show;
        // the positions are still accumulated bank by bank.
        auto tick = [&](int tx) {
            if (tx >= clip.left && tx < clip.right) {
                canvas.MoveTo(tx, yb);
                canvas.LineTo(tx, yb - kTickHeight, kGrid);
            }
        };
        tick(x);
        int curX = x;
        int curY = yb - TruncToInt(v * s);
        bankX += dx;
        for (int j = 1; j < banks; ++j) {
            v = doc.GetCurve(j, r);
            x = TruncToInt(bankX);
            if (v >= 0) {
                if (!bGap && x >= clip.left && curX < clip.right) {
                    canvas.MoveTo(curX, curY);
                    canvas.LineTo(x, yb - TruncToInt(s * v), kWave);
                }
                bGap = false;
            } else {
                bGap = true;
            }
            tick(x);
            curX = x;
            curY = yb - TruncToInt(s * v);
            bankX += dx;
        }
    }
}
