// The seam picture: which frames it shows and where their pixels go.
#include "view/SeamDrawing.h"

#include "document/QuorvelDoc.h"

#include "TestDocs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Picture {
    int width;
    int height;
    std::vector<std::uint32_t> bits;
    Picture(const CQuorvelDoc& doc, int w, int h, int framesPerSide) : width(w), height(h), bits(std::size_t(w) * h, 0)
    {
        CPixelCanvas canvas(bits.data(), w, h, w);
        DrawSeam(canvas, w, h, doc, framesPerSide);
    }
    std::uint32_t At(int x, int y) const { return bits[std::size_t(y) * width + x]; }
    // Rows of column x in `color`.
    std::vector<int> Rows(int x, std::uint32_t color) const
    {
        std::vector<int> rows;
        for (int y = 0; y < height; ++y)
            if (At(x, y) == color)
                rows.push_back(y);
        return rows;
    }
};

// Frames 550 … 599 hold 0.5 (the end of the loop 200 … 600), 200 … 249 hold
// −0.5 (its start), 600 … 649 hold 0.25 (what follows the loop end).
double Splice(int f, int c)
{
    const double v = f >= 550 && f < 600 ? 0.5 : f >= 200 && f < 250 ? -0.5 : f >= 600 && f < 650 ? 0.25 : 0.0;
    return c == 0 ? v : -v;
}

}  // namespace

TEST(SeamDrawing, FramesOnBothSidesOfTheSeam)
{
    CQuorvelDoc doc;
    FillDoc(doc, 1, 1000, Splice);
    EXPECT_EQ(SeamPlayedFrame(doc, 0), -1);  // no loop
    EXPECT_EQ(SeamNaturalFrame(doc, 0), -1);
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 200;
    doc.m_nLoopEnd = 600;
    struct Case {
        int offset;
        int played;
        int natural;
    };
    const Case cases[] = {
        {0, 200, 600},    // the first frame after the seam
        {-1, 599, 599},   // the last frame before it, shared
        {-400, 200, 200}, // one loop length back
        {-401, 599, 199}, // ... and before that the previous pass
        {399, 599, 999},
        {400, 200, -1},   // the recording has ended
        {1000, 400, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SeamPlayedFrame(doc, c.offset), c.played) << c.offset;
        EXPECT_EQ(SeamNaturalFrame(doc, c.offset), c.natural) << c.offset;
    }
}

TEST(SeamDrawing, PixelsShowTheSpliceOverTheContinuation)
{
    CQuorvelDoc doc;
    FillDoc(doc, 2, 1000, Splice);
    const Picture none(doc, 200, 200, 50);
    for (std::uint32_t px : none.bits)
        ASSERT_EQ(px, kSeamBackground);  // no loop: only the background

    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 200;
    doc.m_nLoopEnd = 600;
    // 50 frames each side at two pixels a frame; lanes of 100 rows, centres
    // 50 and 150, the peak 0.5 at 48 rows from the centre.
    const Picture p(doc, 200, 200, 50);
    for (int x : {0, 40, 97}) {  // before the seam: the loop's last frames
        EXPECT_EQ(p.Rows(x, kSeamPlayed), (std::vector<int>{50 - 48, 150 + 48})) << x;
        EXPECT_EQ(p.Rows(x, kSeamNatural), std::vector<int>{}) << x;
    }
    for (int x : {102, 150, 198}) {  // after it: the loop's first frames over the continuation
        EXPECT_EQ(p.Rows(x, kSeamPlayed), (std::vector<int>{50 + 48, 150 - 48})) << x;
        EXPECT_EQ(p.Rows(x, kSeamNatural), (std::vector<int>{50 - 24, 150 + 24})) << x;
    }
    // The seam line, where no trace crosses it, and each lane's zero line.
    EXPECT_EQ(p.At(100, 0), kSeamLine);
    EXPECT_EQ(p.At(100, 199), kSeamLine);
    EXPECT_EQ(p.At(30, 50), kSeamCentre);
    EXPECT_EQ(p.At(30, 150), kSeamCentre);
    EXPECT_EQ(p.At(30, 100), kSeamBackground);

    // Moved loop end: the frames on both sides of the seam come from there.
    doc.m_nLoopEnd = 640;
    const Picture moved(doc, 200, 200, 50);
    EXPECT_EQ(moved.Rows(40, kSeamPlayed), (std::vector<int>{50 - 24, 150 + 24}));  // frame 610: 0.25
    EXPECT_EQ(moved.Rows(90, kSeamPlayed), (std::vector<int>{50 - 24, 150 + 24}));  // frame 635
    EXPECT_EQ(moved.Rows(150, kSeamNatural), (std::vector<int>{50, 150}));          // frame 665: 0
}
