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
    // Further loops and the release marker; a file with one loop and no
    // cue draws exactly as before.
    for (const CLoopPoints& loop : doc.m_extraLoops)
        for (const int frame : {loop.m_nStart, loop.m_nEnd}) {
            const int x = geometry.FrameToX(frame);
            for (int y = 0; y < contentHeight; y += 2)
                canvas.FillRect({x, y, x + 1, y + 1}, kOtherLoop);
        }
    if (doc.m_nRelease >= 0) {
        const int x = geometry.FrameToX(doc.m_nRelease);
        canvas.VerticalSpan(x, 0, contentHeight, kRelease);
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
    const double scale = geometry.GetWaveScale();
    // An amplified trace stays in its lane: a value clipped at either end
    // still lights one row inside it (rows yc − h + 2 … yc + h − 1).
    const bool bClip = geometry.IsAmplified();
    const int clipTop = halfHeight - 1;
    const int clipBottom = -(halfHeight - 2);
    auto clipValue = [&](int v) { return bClip ? std::clamp(v, clipBottom, clipTop) : v; };
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
            const int v = f < frames ? clipValue(CQuorvelDoc::ScaleSample(doc.GetSample(f, c), scale)) : 0;
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
                    nMin = std::min(nMin, clipValue(rMin));
                    nMax = std::max(nMax, clipValue(rMax));
                    f = end;
                }
            } else {
                while (f < pos && f < frames) {
                    const int a = clipValue(CQuorvelDoc::ScaleSample(doc.GetSample(f, c), scale));
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
                                  IViewTextOutput* pText)
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
    // Curves are read only where the table holds them.
    const bool bCurves = banks > 0 && doc.m_nCurveColumns > 0 &&
                         std::int64_t(banks) * doc.m_nCurveColumns <= std::int64_t(doc.m_pLoopCurves.size());
    const std::vector<int>& xs = bCurves ? BankPositions(zoom, doc.m_nBankSize, banks) : m_bankX;
    // Bank j draws the segment from bank j − 1 (columns xs[j − 1] … xs[j])
    // and then its tick at xs[j]; banks are visited in that order, but only
    // from the first whose column reaches the clip to the first beyond it.
    const int jFirst = int(std::lower_bound(xs.begin(), xs.end(), clip.left) - xs.begin());
    const int jLast = std::min(banks - 1, int(std::lower_bound(xs.begin(), xs.end(), clip.right) - xs.begin()));
    for (int r = 0; r < strips; ++r) {
        const int yb = hw + (r + 1) * s;
        canvas.MoveTo(clip.left, yb);
        canvas.LineTo(clip.right, yb, kGrid);
        if (!bCurves || r >= doc.m_nCurveColumns)
            continue;
        for (int j = jFirst; j <= jLast; ++j) {
            const double v = doc.GetCurve(j, r);
            if (j > 0 && v >= 0) {
                const double prev = doc.GetCurve(j - 1, r);
                if (prev >= 0) {
                    canvas.MoveTo(xs[std::size_t(j - 1)], yb - TruncToInt(s * prev));
                    canvas.LineTo(xs[std::size_t(j)], yb - TruncToInt(s * v), kWave);
                }
            }
            canvas.MoveTo(xs[std::size_t(j)], yb);
            canvas.LineTo(xs[std::size_t(j)], yb - kTickHeight, kGrid);
        }
    }
}

const std::vector<int>& CWaveformDrawing::BankPositions(double zoom, int bankSize, int banks)
{
    if (zoom != m_dBankXZoom || bankSize != m_nBankXSize || banks != int(m_bankX.size())) {
        // Accumulated bank by bank in double precision, as the positions
        // have always been computed; a closed form could round differently.
        m_bankX.resize(std::size_t(std::max(0, banks)));
        const double dx = bankSize * zoom;
        double x = (bankSize / 2) * zoom;  // centre of bank 0
        for (int j = 0; j < banks; ++j) {
            m_bankX[std::size_t(j)] = TruncToInt(x);
            x += dx;
        }
        m_dBankXZoom = zoom;
        m_nBankXSize = bankSize;
    }
    return m_bankX;
}
