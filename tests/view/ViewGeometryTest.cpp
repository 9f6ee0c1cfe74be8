#include "view/ViewGeometry.h"

#include "TestDocs.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double Silence(int, int) { return 0.0; }
double FlatCurve(int, int) { return 0.5; }

// A loaded document and a geometry over it with a client area of the given size.
struct Fixture {
    CQuorvelDoc doc;
    CViewGeometry geometry{&doc};

    Fixture(int channels, int frames, int width, int height = 600, bool curves = true)
    {
        FillDoc(doc, channels, frames, Silence, curves ? FlatCurve : nullptr);
        geometry.SetClientSize(width, height);
    }
    // The frame under the middle of the client area.
    double CentreFrame() const
    {
        return (geometry.GetScrollPosition().x + geometry.GetClientWidth() / 2) / geometry.m_dZoom;
    }
};

TEST(ViewGeometry, ContentSizeFollowsLoadStateChannelsAndStrips)
{
    CQuorvelDoc empty;
    CViewGeometry none(nullptr);
    EXPECT_EQ(none.GetContentSize(), (ViewSize{800, 384}));
    CViewGeometry g(&empty);
    EXPECT_EQ(g.GetContentSize(), (ViewSize{800, 384}));

    Fixture stereo(2, 5000, 1000);
    EXPECT_EQ(stereo.geometry.GetContentSize(), (ViewSize{5000, 2 * 128 + 2 * 2 * 64}));
    EXPECT_EQ(stereo.geometry.GetLaneCentre(0), 64);
    EXPECT_EQ(stereo.geometry.GetLaneCentre(1), 192);

    Fixture mono(1, 5000, 1000, 600, false);
    EXPECT_EQ(mono.geometry.GetContentSize(), (ViewSize{5000, 128}));

    // Frames without the loaded flag (Reload after New) keep the empty size.
    stereo.doc.m_bLoaded = false;
    EXPECT_EQ(stereo.geometry.GetContentSize(), (ViewSize{800, 384}));
}

TEST(ViewGeometry, FramePixelConversionsTruncateTowardZero)
{
    CViewGeometry g(nullptr);
    g.m_dZoom = 0.3;
    EXPECT_EQ(g.XToFrame(1), 3);   // 1 / 0.3 = 3.33
    EXPECT_EQ(g.FrameToX(3), 0);   // 0.9: the marker lands one pixel left of the pointer
    EXPECT_EQ(g.FrameToX(4), 1);
    EXPECT_EQ(g.XToFrame(-1), -3);  // toward zero, not down
    EXPECT_EQ(g.FrameToX(-4), -1);
    g.m_dZoom = 1e-9;
    EXPECT_EQ(g.XToFrame(100000), INT32_MAX);  // saturates instead of overflowing
    EXPECT_EQ(TruncToInt(std::nan("")), 0);
}

TEST(ViewGeometry, UpdateScrollSizesClampsZoomBetweenFitAndOne)
{
    Fixture f(1, 10000, 1000);
    f.geometry.m_dZoom = 0.01;  // narrower than the window: raised to fit
    f.geometry.UpdateScrollSizes();
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 0.1);
    EXPECT_EQ(f.geometry.GetTotalSize(), (ViewSize{1000, 384}));

    f.geometry.m_dZoom = 0.5;  // wider than the window: kept
    f.geometry.UpdateScrollSizes();
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 0.5);
    EXPECT_EQ(f.geometry.GetTotalSize().cx, 5000);

    f.geometry.m_dZoom = 4.0;  // never above one pixel per frame
    f.geometry.UpdateScrollSizes();
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 1.0);

    Fixture narrow(1, 300, 1000);  // narrower than the window even at 1.0
    narrow.geometry.UpdateScrollSizes();
    EXPECT_DOUBLE_EQ(narrow.geometry.m_dZoom, 1.0);
    EXPECT_EQ(narrow.geometry.GetScrollWidth(), 300);
    EXPECT_EQ(narrow.geometry.GetScrollLimit(), (ViewPoint{0, 0}));

    CQuorvelDoc empty;
    CViewGeometry g(&empty);
    g.SetClientSize(500, 300);
    g.m_dZoom = 0.25;
    g.UpdateScrollSizes();
    EXPECT_DOUBLE_EQ(g.m_dZoom, 1.0);
    EXPECT_EQ(g.GetTotalSize(), (ViewSize{800, 384}));
    EXPECT_EQ(g.GetScrollLimit(), (ViewPoint{300, 84}));
}

TEST(ViewGeometry, ScrollPositionStaysInsideTheRange)
{
    Fixture f(1, 10000, 1000, 384);
    f.geometry.m_dZoom = 1.0;
    f.geometry.UpdateScrollSizes();
    f.geometry.ScrollToPosition({9500, 50});
    EXPECT_EQ(f.geometry.GetScrollPosition(), (ViewPoint{9000, 0}));
    f.geometry.ScrollToPosition({-5, -5});
    EXPECT_EQ(f.geometry.GetScrollPosition(), (ViewPoint{0, 0}));
    f.geometry.ScrollToPosition({9000, 0});
    f.geometry.SetClientSize(2000, 384);  // a wider window pulls the position back
    EXPECT_EQ(f.geometry.GetScrollPosition().x, 8000);
}

TEST(ViewGeometry, ZoomInAndOutKeepTheCentreFrame)
{
    Fixture f(2, 1000000, 1000);
    f.geometry.ZoomAll();  // fit: 0.001
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 0.001);
    f.geometry.SetZoom(0.1);  // centre was frame 500000
    EXPECT_NEAR(f.CentreFrame(), 500000, 1 / f.geometry.m_dZoom);
    f.geometry.ScrollToPosition({30000, 0});
    for (int i = 0; i < 5; ++i) {
        const double before = f.CentreFrame();
        f.geometry.ZoomIn();
        EXPECT_NEAR(f.CentreFrame(), before, 2 / f.geometry.m_dZoom) << "zoom in " << i;
    }
    for (int i = 0; i < 5; ++i) {
        const double before = f.CentreFrame();
        f.geometry.ZoomOut();
        EXPECT_NEAR(f.CentreFrame(), before, 2 / f.geometry.m_dZoom) << "zoom out " << i;
    }
}

TEST(ViewGeometry, ZoomNearTheEdgesStopsAtFirstAndLastFrame)
{
    Fixture f(1, 100000, 1000);
    f.geometry.SetZoom(0.1);
    f.geometry.ScrollToPosition({0, 0});
    f.geometry.ZoomOut();  // keeping frame 5000 in the middle would need a negative scroll
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 0.1 * CViewGeometry::kZoomOutFactor);
    EXPECT_EQ(f.geometry.GetScrollPosition().x, 0);

    f.geometry.SetZoom(0.1);
    f.geometry.ScrollToPosition({9000, 0});  // the last frame at the right edge
    f.geometry.ZoomOut();
    const double zoom = f.geometry.m_dZoom;
    EXPECT_EQ(f.geometry.GetScrollPosition().x, TruncToInt(100000 * zoom - 1000));
}

TEST(ViewGeometry, ZoomInAtOneKeepsOneAndZoomOutAtFitKeepsFit)
{
    Fixture f(1, 50000, 1000);
    f.geometry.SetZoom(1.0);
    f.geometry.ScrollToPosition({12345, 0});
    f.geometry.ZoomIn();
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 1.0);
    EXPECT_EQ(f.geometry.GetScrollPosition().x, 12345);

    f.geometry.ZoomAll();
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 0.02);
    EXPECT_EQ(f.geometry.GetScrollPosition().x, 0);
    f.geometry.ZoomOut();
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 0.02);
    EXPECT_EQ(f.geometry.GetScrollPosition().x, 0);

    f.geometry.ZoomOneToOne();
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 1.0);
}

TEST(ViewGeometry, ZoomLoopLeavesAMarginOnEachSide)
{
    Fixture f(1, 100000, 1000);
    f.geometry.ZoomAll();
    EXPECT_FALSE(f.geometry.ZoomLoop());  // no loop: nothing changes
    f.doc.m_bHasLoop = true;
    f.doc.m_nLoopStart = f.doc.m_nLoopEnd = 500;
    EXPECT_FALSE(f.geometry.ZoomLoop());  // empty loop
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 0.01);

    struct Case { int width, start, end; double zoom; int scroll; };
    for (const Case& c : {Case{1000, 30000, 50000, 0.048, 1440 - 20},  // 20 pixels (2 %) free each side
                          Case{60, 30000, 50000, 56.0 / 20000, 84 - 2},  // at least 2 pixels
                          Case{1000, 20000, 20300, 1.0, 19980},          // never above 1:1
                          Case{1000, 99800, 99900, 1.0, 99000}}) {       // the scroll range ends
        Fixture g(1, 100000, c.width);
        g.doc.m_bHasLoop = true;
        g.doc.m_nLoopStart = c.start;
        g.doc.m_nLoopEnd = c.end;
        ASSERT_TRUE(g.geometry.ZoomLoop());
        EXPECT_DOUBLE_EQ(g.geometry.m_dZoom, c.zoom) << c.width;
        const int s = g.geometry.GetScrollPosition().x;
        EXPECT_EQ(s, c.scroll) << c.width;
        EXPECT_GE(g.geometry.FrameToX(c.start) - s, 0);  // both markers inside the window
        EXPECT_LT(g.geometry.FrameToX(c.end) - s, c.width);
    }
}

TEST(ViewGeometry, ZoomLoopShowsTheEndMarkerOfALoopEndingOnTheLastFrame)
{
    for (int width : {60, 1000, 5000}) {
        for (int start : {0, 99000, 99990}) {
            Fixture g(1, 100000, width);
            g.doc.m_bHasLoop = true;
            g.doc.m_nLoopStart = start;
            g.doc.m_nLoopEnd = 100000;
            ASSERT_TRUE(g.geometry.ZoomLoop());
            const int s = g.geometry.GetScrollPosition().x;
            EXPECT_GE(g.geometry.FrameToX(start) - s, 0) << width << " " << start;
            EXPECT_LT(g.geometry.FrameToX(100000) - s, width) << width << " " << start;
        }
    }
}

TEST(ViewGeometry, ZoomAroundThePointerKeepsTheFrameUnderIt)
{
    Fixture f(1, 100000, 1000);
    f.geometry.SetZoom(0.1);
    f.geometry.ScrollToPosition({3000, 0});
    const int frame = f.geometry.XToFrame(3000 + 250);
    f.geometry.ZoomAroundClientX(0.13, 250);
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 0.13);
    EXPECT_NEAR(f.geometry.XToFrame(f.geometry.GetScrollPosition().x + 250), frame, 1.0 / 0.13 + 1);
}

TEST(ViewGeometry, AmplitudeStepsAndFitBringThePeakToTheLaneEdge)
{
    CViewGeometry g;
    g.AmplitudeOut();  // never below full scale
    g.AmplitudeIn();
    g.AmplitudeIn();
    EXPECT_DOUBLE_EQ(g.GetWaveScale(), 4 * 63.0);
    for (int i = 0; i < 20; ++i)
        g.AmplitudeIn();
    EXPECT_DOUBLE_EQ(g.m_dAmplitude, CViewGeometry::kMaxAmplitude);

    // The one non-zero sample; gain 0: the gain at which it reaches row 63.
    struct Case { double peak, gain; };
    for (const Case& c : {Case{0.1, 0}, Case{0.13, 0}, Case{-0.37, 0}, Case{0.5, 2.0}, Case{1.5, 1.0},
                          Case{0.0, 1.0}, Case{1e-6, CViewGeometry::kMaxAmplitude}}) {
        Fixture f(2, 5000, 1000, 600, false);
        f.doc.SetSample(4321, 1, c.peak);
        f.geometry.FitAmplitude();
        if (c.gain != 0) {
            EXPECT_DOUBLE_EQ(f.geometry.m_dAmplitude, c.gain) << c.peak;
            continue;
        }
        EXPECT_EQ(CQuorvelDoc::ScaleSample(std::fabs(c.peak), f.geometry.GetWaveScale()), 63) << c.peak;
        EXPECT_NEAR(f.geometry.m_dAmplitude, 1.0 / std::fabs(c.peak), 1e-9) << c.peak;
    }
}

TEST(ViewGeometry, FirstShowFitsTheContentWidth)
{
    Fixture f(2, 44100, 882);
    f.geometry.FitZoomToClient();
    EXPECT_DOUBLE_EQ(f.geometry.m_dZoom, 0.02);
    Fixture small(2, 100, 882);
    small.geometry.m_dZoom = 0.5;
    small.geometry.FitZoomToClient();
    EXPECT_DOUBLE_EQ(small.geometry.m_dZoom, 1.0);

    CQuorvelDoc empty;
    CViewGeometry g(&empty);
    g.SetClientSize(400, 300);
    g.FitZoomToClient();  // 800 pixels of empty content in 400
    EXPECT_DOUBLE_EQ(g.m_dZoom, 0.5);
    g.UpdateScrollSizes();  // ... which the clamp undoes without frames
    EXPECT_DOUBLE_EQ(g.m_dZoom, 1.0);
}

}  // namespace
