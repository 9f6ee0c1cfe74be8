// CPixelCanvas: one-pixel, non-antialiased drawing on a 32-bit pixel buffer
// (0xAARRGGBB, as a Qt RGB32 image stores it) with a clip rectangle and an
// origin, the few primitives the waveform view needs, so that its pixels are
// exact and can be checked without a window.
//
// Coordinates given to the drawing calls are logical (content) coordinates;
// the origin is the device position of logical (0, 0), so device = logical +
// origin. The clip rectangle is in device pixels and is always limited to the
// buffer. Lines follow the platform rule: the start point is drawn, the end
// point is not. The buffer is not owned and must outlive the canvas.
#pragma once

#include <cstdint>

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;   // exclusive
    int bottom = 0;  // exclusive
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

PixelRect IntersectRect(const PixelRect& a, const PixelRect& b);

class CPixelCanvas {
public:
    // stride in pixels (not bytes).
    CPixelCanvas(std::uint32_t* pBits, int width, int height, int stride);

    void SetOrigin(int dx, int dy) { m_nOriginX = dx; m_nOriginY = dy; }
    int GetOriginX() const { return m_nOriginX; }
    int GetOriginY() const { return m_nOriginY; }
    // Device clip; limited to the buffer.
    void SetClip(const PixelRect& rcDevice);
    const PixelRect& GetClip() const { return m_rcClip; }
    // The clip in logical coordinates.
    PixelRect GetLogicalClip() const;

    void FillRect(const PixelRect& rcLogical, std::uint32_t color);
    // XOR of the colour bits with white: twice over the same pixel restores it.
    void InvertRect(const PixelRect& rcLogical);
    // The pixels (x, y) for yTop ≤ y < yBottom.
    void VerticalSpan(int x, int yTop, int yBottom, std::uint32_t color);

    void MoveTo(int x, int y) { m_nCurX = x; m_nCurY = y; }
    // Line from the current position to (x, y), end point excluded; the
    // current position becomes (x, y).
    void LineTo(int x, int y, std::uint32_t color);

    std::uint32_t GetPixel(int deviceX, int deviceY) const;

private:
    void Plot(int x, int y, std::uint32_t color)  // logical
    {
        const int dx = x + m_nOriginX;
        const int dy = y + m_nOriginY;
        if (dx >= m_rcClip.left && dx < m_rcClip.right && dy >= m_rcClip.top && dy < m_rcClip.bottom)
            m_pBits[std::int64_t(dy) * m_nStride + dx] = color;
    }

    std::uint32_t* m_pBits;
    int m_nWidth;
    int m_nHeight;
    int m_nStride;
    int m_nOriginX = 0;
    int m_nOriginY = 0;
    PixelRect m_rcClip;
    int m_nCurX = 0;
    int m_nCurY = 0;
};
