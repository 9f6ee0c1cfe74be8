#include "view/ViewGeometry.h"

#include "document/QuorvelDoc.h"

#include <algorithm>
#include <cmath>
#include <limits>

int TruncToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

int CViewGeometry::GetChannelCount() const { return m_pDoc ? m_pDoc->m_nChannels : 0; }
int CViewGeometry::GetFrameCount() const { return m_pDoc ? m_pDoc->m_nFrameCount : 0; }
int CViewGeometry::GetStripCount() const { return m_pDoc ? m_pDoc->m_nCurveColumns : 0; }
int CViewGeometry::GetWaveBandHeight() const { return 2 * m_nLaneHalfHeight * GetChannelCount(); }

ViewSize CViewGeometry::GetContentSize() const
{
    if (m_pDoc && m_pDoc->m_bLoaded)
        return {GetFrameCount(), GetStripCount() * m_nStripHeight + GetWaveBandHeight()};
    return {kEmptyContentWidth, 2 * (m_nStripHeight + m_nLaneHalfHeight)};
}

void CViewGeometry::SetClientSize(int width, int height)
{
    m_nClientWidth = std::max(0, width);
    m_nClientHeight = std::max(0, height);
    ScrollToPosition(m_ptScroll);
}

ViewPoint CViewGeometry::GetScrollLimit() const
{
    return {std::max(0, m_sizeTotal.cx - m_nClientWidth), std::max(0, m_sizeTotal.cy - m_nClientHeight)};
}

void CViewGeometry::ScrollToPosition(ViewPoint pt)
{
    const ViewPoint limit = GetScrollLimit();
    m_ptScroll.x = std::clamp(pt.x, 0, limit.x);
    m_ptScroll.y = std::clamp(pt.y, 0, limit.y);
}

void CViewGeometry::SetScrollSizes(ViewSize total)
{
    m_sizeTotal = total;
    ScrollToPosition(m_ptScroll);
}

void CViewGeometry::UpdateScrollSizes()
{
    const int width = m_nClientWidth;
    const int frames = GetFrameCount();
    if (frames < 1) {
        m_dZoom = 1.0;
    } else {
        if (width - m_nEndRoom > TruncToInt(frames * m_dZoom))
            m_dZoom = double(width - m_nEndRoom) / double(frames);
        // Unconditional: a loop narrower than the window zooms to 1.0 at most.
        if (m_dZoom > 1.0)
            m_dZoom = 1.0;
    }
    const ViewSize content = GetContentSize();
    SetScrollSizes({TruncToInt(content.cx * m_dZoom) + m_nEndRoom, content.cy});
}

void CViewGeometry::SetZoom(double zoom)
{
    m_nEndRoom = 0;
    const double oldZoom = m_dZoom;
    const int width = m_nClientWidth;
    const ViewPoint pos = m_ptScroll;

    m_dZoom = zoom;
    UpdateScrollSizes();

    const int half = width / 2;
    int x = TruncToInt((pos.x + half) / oldZoom * m_dZoom - half);
    if (x < 0)
        x = 0;
    const double contentWidth = GetFrameCount() * m_dZoom;
    if (width + x > contentWidth)
        x = TruncToInt(contentWidth - width);
    ScrollToPosition({x, pos.y});
}

void CViewGeometry::ZoomAll()
{
    const int frames = GetFrameCount();
    double zoom = 1.0;
    if (frames >= 1) {
        zoom = double(m_nClientWidth) / double(frames);
        if (zoom > 1.0)
            zoom = 1.0;
    }
    SetZoom(zoom);
}

bool CViewGeometry::ZoomLoop()
{
    if (!m_pDoc || !m_pDoc->m_bHasLoop)
        return false;
    const std::int64_t length = std::int64_t(m_pDoc->m_nLoopEnd) - m_pDoc->m_nLoopStart;
    if (length <= 0)
        return false;
    const int margin = GetLoopMargin();
    // A loop ending on the last frame has its end marker one column past
    // the frames: the scroll range reaches the margin beyond them.
    m_nEndRoom = m_pDoc->m_nLoopEnd >= GetFrameCount() ? std::max(1, margin) : 0;
    m_dZoom = double(m_nClientWidth - 2 * margin) / double(length);
    UpdateScrollSizes();
    ScrollToPosition({FrameToX(m_pDoc->m_nLoopStart) - margin, m_ptScroll.y});
    return true;
}

int CViewGeometry::GetLoopMargin() const
{
    const int margin = std::max(kMinLoopMargin, m_nClientWidth / kLoopMarginDivisor);
    return m_nClientWidth - 2 * margin >= 1 ? margin : 0;
}

void CViewGeometry::SetAmplitude(double gain)
{
    m_dAmplitude = std::isnan(gain) ? 1.0 : std::clamp(gain, 1.0, kMaxAmplitude);
}

void CViewGeometry::FitAmplitude()
{
    double peak = 0.0;
    if (m_pDoc && m_pDoc->m_nFrameCount > 0 && m_pDoc->m_nChannels > 0) {
        const std::size_t count = std::min(m_pDoc->m_pSamples.size(), std::size_t(m_pDoc->m_nFrameCount) *
                                                                          std::size_t(m_pDoc->m_nChannels));
        for (std::size_t i = 0; i < count; ++i)
            peak = std::max(peak, std::fabs(m_pDoc->m_pSamples[i]));
    }
    if (!(peak > 0.0) || !std::isfinite(peak)) {
        SetAmplitude(1.0);
        return;
    }
    // 1 / peak can land a hair below the gain whose truncated product
    // reaches the edge; step up to the first one that does.
    const int edge = m_nLaneHalfHeight - 1;
    double gain = 1.0 / peak;
    while (gain < kMaxAmplitude && CQuorvelDoc::ScaleSample(peak, edge * gain) < edge)
        gain = std::nextafter(gain, kMaxAmplitude);
    SetAmplitude(gain);
}

void CViewGeometry::ZoomAroundClientX(double zoom, int clientX)
{
    m_nEndRoom = 0;
    const double frame = (m_ptScroll.x + clientX) / m_dZoom;
    m_dZoom = zoom;
    UpdateScrollSizes();
    ScrollToPosition({TruncToInt(frame * m_dZoom) - clientX, m_ptScroll.y});
}

void CViewGeometry::FitZoomToClient()
{
    m_nEndRoom = 0;
    const ViewSize content = GetContentSize();
    if (content.cx > m_nClientWidth)
        m_dZoom = double(m_nClientWidth) / double(content.cx);
    else
        m_dZoom = 1.0;
}
