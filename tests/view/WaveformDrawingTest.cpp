#include "view/PixelCanvas.h"
#include "view/SeamDrawing.h"
#include "view/ViewGeometry.h"
#include "view/WaveformDrawing.h"
#include "view/WaveSummary.h"

#include "TestDocs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kRed = 0xFFFF0000u;

struct Bitmap {
    int width;
    int height;
    std::vector<std::uint32_t> bits;
    Bitmap(int w, int h) : width(w), height(h), bits(std::size_t(w) * h, kBlack) {}
    std::uint32_t At(int x, int y) const { return bits[std::size_t(y) * width + x]; }
    CPixelCanvas Canvas() { return CPixelCanvas(bits.data(), width, height, width); }
};

TEST(PixelCanvas, LinesDrawTheirStartButNotTheirEnd)
{
    Bitmap bmp(10, 10);
    CPixelCanvas canvas = bmp.Canvas();
    canvas.MoveTo(2, 5);
    canvas.LineTo(6, 5, kRed);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(bmp.At(x, 5), (x >= 2 && x <= 5) ? kRed : kBlack) << x;

    Bitmap up(10, 10);
    CPixelCanvas c2 = up.Canvas();
    c2.MoveTo(3, 8);
    c2.LineTo(3, 4, kRed);  // upward: 8 … 5
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(up.At(3, y), (y >= 5 && y <= 8) ? kRed : kBlack) << y;

    Bitmap diag(10, 10);
    CPixelCanvas c3 = diag.Canvas();
    c3.MoveTo(0, 0);
    c3.LineTo(3, 3, kRed);
    EXPECT_EQ(diag.At(0, 0), kRed);
    EXPECT_EQ(diag.At(2, 2), kRed);
    EXPECT_EQ(diag.At(3, 3), kBlack);

    // A steep line: one pixel per row, the end row left out, inside the box.
    Bitmap steep(10, 10);
    CPixelCanvas c4 = steep.Canvas();
    c4.MoveTo(1, 9);
    c4.LineTo(3, 1, kRed);
    for (int y = 0; y < 10; ++y) {
        int lit = 0;
        for (int x = 0; x < 10; ++x)
            lit += steep.At(x, y) == kRed;
        EXPECT_EQ(lit, (y >= 2 && y <= 9) ? 1 : 0) << y;
    }
}

TEST(PixelCanvas, OriginAndClipApplyAndInversionCancels)
{
    Bitmap bmp(8, 8);
    CPixelCanvas canvas = bmp.Canvas();
    canvas.SetOrigin(-100, 0);  // scrolled by 100
    canvas.SetClip({2, 0, 4, 8});
    canvas.FillRect({100, 0, 108, 8}, kRed);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(bmp.At(x, 0), (x == 2 || x == 3) ? kRed : kBlack);
    canvas.SetClip({0, 0, 8, 8});
    canvas.InvertRect({103, 0, 104, 8});
    EXPECT_EQ(bmp.At(3, 1), 0xFF00FFFFu);
    canvas.InvertRect({104, 0, 105, 8});
    EXPECT_EQ(bmp.At(4, 1), 0xFFFFFFFFu);
    canvas.InvertRect({103, 0, 104, 8});  // twice: the two cancel
    EXPECT_EQ(bmp.At(3, 1), kRed);
}

double Noise(int f, int c)
{
    // Deterministic, full range, with runs of constant values.
    std::uint32_t h = std::uint32_t(f / 3) * 2654435761u + std::uint32_t(c) * 40503u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (double(h % 20001) - 10000.0) / 10000.0 * std::sin(f * 0.0003);
}

TEST(WaveSummary, RangesMatchReadingEveryFrame)
{
    CQuorvelDoc doc;
    const int frames = 3 * 65536 + 5 * 4096 + 77;
    FillDoc(doc, 2, frames, Noise);
    CWaveSummary summary;
    summary.Build(doc, 63);
    ASSERT_TRUE(summary.IsValidFor(doc, 63));
    EXPECT_FALSE(summary.IsValidFor(doc, 31));

    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        int a = int(rng() % frames);
        int b = int(rng() % frames);
        if (i % 3 == 0)
            b = frames;  // ranges that end with the sample
        if (a > b)
            std::swap(a, b);
        if (a == b)
            continue;
        const int c = i % 2;
        int expMin = INT32_MAX;
        int expMax = INT32_MIN;
        for (int f = a; f < b; ++f) {
            expMin = std::min(expMin, doc.GetSampleScaled(f, c, 63));
            expMax = std::max(expMax, doc.GetSampleScaled(f, c, 63));
        }
        int mn = 0;
        int mx = 0;
        summary.RangeMinMax(c, a, b, mn, mx);
        ASSERT_EQ(mn, expMin) << a << ".." << b;
        ASSERT_EQ(mx, expMax) << a << ".." << b;
    }

    summary.Invalidate();
    EXPECT_FALSE(summary.IsValidFor(doc, 63));
    summary.Build(doc, 63);
    doc.m_pSamples.push_back(0.0);  // another buffer: no longer valid
    doc.m_pSamples.shrink_to_fit();
    EXPECT_FALSE(summary.IsValidFor(doc, 63));
}

// Draws the whole view area (width × content height) at a zoom, scroll and gain.
Bitmap DrawView(CWaveformDrawing& drawing, const CQuorvelDoc& doc, int width, double zoom, int scroll,
                PixelRect clip = {}, double amplitude = 1.0)
{
    CViewGeometry geometry(&doc);
    geometry.SetAmplitude(amplitude);
    const int height = geometry.GetContentSize().cy;
    geometry.SetClientSize(width, height);
    geometry.m_dZoom = zoom;
    geometry.UpdateScrollSizes();
    geometry.m_dZoom = zoom;  // exactly as asked, even beyond the clamp
    geometry.SetScrollSizes({TruncToInt(doc.m_nFrameCount * zoom), height});
    geometry.ScrollToPosition({scroll, 0});
    Bitmap bmp(width, height);
    CPixelCanvas canvas = bmp.Canvas();
    canvas.SetOrigin(-geometry.GetScrollPosition().x, 0);
    if (!clip.IsEmpty())
        canvas.SetClip(clip);
    drawing.EraseBackground(canvas);
    drawing.Draw(canvas, doc, geometry, {}, nullptr);
    return bmp;
}

TEST(WaveformDrawing, SummaryGivesTheSamePixelsAsReadingEveryFrame)
{
    CQuorvelDoc doc;
    FillDoc(doc, 2, 300007, Noise, [](int b, int r) { return r == 1 && b % 7 == 3 ? -1.0 : (b % 11) / 10.0 + 0.01; });
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 1234;
    doc.m_nLoopEnd = 250001;
    const double fit = 1600.0 / 300007.0;
    struct Case { double zoom; int scroll; };
    for (const Case& k : {Case{fit, 0}, Case{0.3, 5000}, Case{1.0, 250000}, Case{0.0123456789, 1700},
                          Case{fit * 1.3 * 1.3, 313}}) {
        CWaveformDrawing fast;
        CWaveformDrawing reference;
        reference.SetUseSummary(false);
        if (k.zoom == fit) {
            // A first large repaint builds the summary.
            fast.InvalidateSummary();
            const Bitmap first = DrawView(fast, doc, 1600, k.zoom, k.scroll);
            EXPECT_TRUE(fast.GetSummary().IsValidFor(doc, 63));
        } else {
            CWaveformDrawing builder;
            DrawView(builder, doc, 1600, fit, 0);
            fast = builder;
        }
        const Bitmap a = DrawView(fast, doc, 1600, k.zoom, k.scroll);
        const Bitmap b = DrawView(reference, doc, 1600, k.zoom, k.scroll);
        ASSERT_EQ(a.bits, b.bits) << "zoom " << k.zoom;
        // One-column repaints too. (A column repainted alone starts its walk
        // at trunc(x / zoom), so it may include one frame more on its left
        // than the same column of a full repaint.)
        for (int x : {0, 1, 777, 1599}) {
            const PixelRect column{x, 0, x + 1, a.height};
            const Bitmap c1 = DrawView(fast, doc, 1600, k.zoom, k.scroll, column);
            const Bitmap c2 = DrawView(reference, doc, 1600, k.zoom, k.scroll, column);
            ASSERT_EQ(c1.bits, c2.bits) << "x " << x << " zoom " << k.zoom;
            // Below the waveform band the column is exactly that of the full picture.
            for (int y = 256; y < a.height; ++y)
                ASSERT_EQ(c1.At(x, y), a.At(x, y)) << "x " << x << " y " << y << " zoom " << k.zoom;
        }
    }
}

TEST(WaveformDrawing, AmplifiedTracesAreClippedToTheirLanes)
{
    CQuorvelDoc doc;
    FillDoc(doc, 2, 300007, Noise);
    CWaveformDrawing fast;
    CWaveformDrawing reference;
    reference.SetUseSummary(false);
    const Bitmap a = DrawView(fast, doc, 1600, 1600.0 / 300007.0, 0, {}, 37.5);
    ASSERT_TRUE(fast.GetSummary().IsValidFor(doc, 63 * 37.5));
    ASSERT_EQ(a.bits, DrawView(reference, doc, 1600, 1600.0 / 300007.0, 0, {}, 37.5).bits);
    // Clipped values light the outermost trace rows of each lane (2 and 127,
    // 130 and 255), never the rows beyond them.
    for (int y : {0, 1, 2, 127, 128, 129, 130, 255}) {
        int lit = 0;
        for (int x = 0; x < 1600; ++x)
            lit += a.At(x, y) == CWaveformDrawing::kWave;
        EXPECT_EQ(lit > 0, y % 128 >= 2) << y;
    }
}

TEST(WaveformDrawing, NoTraceAtOrRightOfTheLastFrame)
{
    CQuorvelDoc doc;
    FillDoc(doc, 1, 300, [](int, int) { return 0.5; });
    CWaveformDrawing drawing;
    const Bitmap bmp = DrawView(drawing, doc, 400, 1.0, 0);
    for (int y = 0; y < 128; ++y) {
        EXPECT_EQ(bmp.At(300, y), kBlack);
        EXPECT_EQ(bmp.At(399, y), kBlack);
    }
    EXPECT_EQ(bmp.At(299, 64 - 31 + 1), CWaveformDrawing::kWave);
}

TEST(WaveformDrawing, PlayCursorIsARedColumnOverTheWholeContent)
{
    CQuorvelDoc doc;
    FillDoc(doc, 1, 4096, [](int, int) { return 0.0; }, [](int, int) { return 0.5; });
    CViewGeometry geometry(&doc);
    geometry.SetClientSize(4096, 400);
    Bitmap bmp(4096, 400);
    CPixelCanvas canvas = bmp.Canvas();
    CWaveformDrawing drawing;
    drawing.EraseBackground(canvas);
    drawing.Draw(canvas, doc, geometry, {true, 1000}, nullptr);
    const int contentHeight = geometry.GetContentSize().cy;  // 128 + 256
    for (int y = 0; y < contentHeight; ++y)
        ASSERT_EQ(bmp.At(1000, y), kRed) << y;
    EXPECT_NE(bmp.At(1000, contentHeight), kRed);  // the end point of the line
}

// Which frames the seam picture shows on both sides of the seam.
TEST(SeamDrawing, PlayedFramesWrapInTheLoopNaturalOnesRunOnInTheRecording)
{
    CQuorvelDoc doc;
    FillDoc(doc, 1, 1000, [](int, int) { return 0.0; });
    EXPECT_EQ(SeamPlayedFrame(doc, 0), -1);  // no loop
    EXPECT_EQ(SeamNaturalFrame(doc, 0), -1);
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 200;
    doc.m_nLoopEnd = 600;
    struct Case { int offset, played, natural; };
    for (const Case& c : {Case{0, 200, 600},      // the first frame after the seam
                          Case{-1, 599, 599},     // the last before it, shared
                          Case{-400, 200, 200},   // one loop length back
                          Case{-401, 599, 199},   // the pass before that
                          Case{400, 200, -1},     // the recording has ended
                          Case{1000, 400, -1}}) {
        EXPECT_EQ(SeamPlayedFrame(doc, c.offset), c.played) << c.offset;
        EXPECT_EQ(SeamNaturalFrame(doc, c.offset), c.natural) << c.offset;
    }
}

}  // namespace
