#include "view/PixelCanvas.h"

#include <algorithm>
#include <cstdlib>

PixelRect IntersectRect(const PixelRect& a, const PixelRect& b)
{
    PixelRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    if (r.IsEmpty())
        return {};
    return r;
}

CPixelCanvas::CPixelCanvas(std::uint32_t* pBits, int width, int height, int stride)
    : m_pBits(pBits), m_nWidth(width), m_nHeight(height), m_nStride(stride), m_rcClip{0, 0, width, height}
{
}

void CPixelCanvas::SetClip(const PixelRect& rcDevice)
{
    m_rcClip = IntersectRect(rcDevice, {0, 0, m_nWidth, m_nHeight});
}

PixelRect CPixelCanvas::GetLogicalClip() const
{
    return {m_rcClip.left - m_nOriginX, m_rcClip.top - m_nOriginY, m_rcClip.right - m_nOriginX,
            m_rcClip.bottom - m_nOriginY};
}

void CPixelCanvas::FillRect(const PixelRect& rcLogical, std::uint32_t color)
{
    const PixelRect device{rcLogical.left + m_nOriginX, rcLogical.top + m_nOriginY, rcLogical.right + m_nOriginX,
                           rcLogical.bottom + m_nOriginY};
    const PixelRect r = IntersectRect(device, m_rcClip);
    for (int y = r.top; y < r.bottom; ++y)
        std::fill(m_pBits + std::int64_t(y) * m_nStride + r.left, m_pBits + std::int64_t(y) * m_nStride + r.right,
                  color);
}

void CPixelCanvas::InvertRect(const PixelRect& rcLogical)
{
    const PixelRect device{rcLogical.left + m_nOriginX, rcLogical.top + m_nOriginY, rcLogical.right + m_nOriginX,
                           rcLogical.bottom + m_nOriginY};
    const PixelRect r = IntersectRect(device, m_rcClip);
    for (int y = r.top; y < r.bottom; ++y) {
        std::uint32_t* p = m_pBits + std::int64_t(y) * m_nStride;
        for (int x = r.left; x < r.right; ++x)
            p[x] ^= 0x00FFFFFFu;
    }
}

void CPixelCanvas::VerticalSpan(int x, int yTop, int yBottom, std::uint32_t color)
{
    FillRect({x, yTop, x + 1, yBottom}, color);
}

void CPixelCanvas::LineTo(int x, int y, std::uint32_t color)
{
    const int x0 = m_nCurX;
    const int y0 = m_nCurY;
    m_nCurX = x;
    m_nCurY = y;
    if (x0 == x) {
        // Vertical: from y0 toward y, y itself excluded.
        if (y > y0)
            FillRect({x, y0, x + 1, y}, color);
        else if (y < y0)
            FillRect({x, y + 1, x + 1, y0 + 1}, color);
        return;
    }
    if (y0 == y) {
        if (x > x0)
            FillRect({x0, y, x, y + 1}, color);
        else
            FillRect({x + 1, y, x0 + 1, y + 1}, color);
        return;
    }
    // Nothing of a line outside the clip's bounding box can show.
    const PixelRect clip = GetLogicalClip();
    if (std::max(x0, x) < clip.left || std::min(x0, x) >= clip.right || std::max(y0, y) < clip.top ||
        std::min(y0, y) >= clip.bottom)
        return;

    // Bresenham along the major axis; a tie rounds toward the end point; the
    // end point itself is not plotted.
    const int adx = std::abs(x - x0);
    const int ady = std::abs(y - y0);
    const int sx = x > x0 ? 1 : -1;
    const int sy = y > y0 ? 1 : -1;
    int px = x0;
    int py = y0;
    if (adx >= ady) {
        int err = 2 * ady - adx;
        for (int i = 0; i < adx; ++i) {
            Plot(px, py, color);
            if (err >= 0) {
                py += sy;
                err -= 2 * adx;
            }
            err += 2 * ady;
            px += sx;
        }
    } else {
        int err = 2 * adx - ady;
        for (int i = 0; i < ady; ++i) {
            Plot(px, py, color);
            if (err >= 0) {
                px += sx;
                err -= 2 * ady;
            }
            err += 2 * adx;
            py += sy;
        }
    }
}

std::uint32_t CPixelCanvas::GetPixel(int deviceX, int deviceY) const
{
    if (deviceX < 0 || deviceY < 0 || deviceX >= m_nWidth || deviceY >= m_nHeight)
        return 0;
    return m_pBits[std::int64_t(deviceY) * m_nStride + deviceX];
}
