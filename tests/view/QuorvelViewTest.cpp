// CQuorvelView driven by mouse events and commands in an offscreen window,
// checked through its pixels, its document and the repaints it asks for.
#include "view/QuorvelView.h"
#include "view/RenderView.h"
#include "view/SeamDrawing.h"
#include "view/SeamView.h"

#include "TempFolder.h"
#include "TestDocs.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

namespace {

constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kGreen = 0xFF00AA00u;
constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kInvertedGreen = 0xFFFF55FFu;

// Records what the view asks for instead of showing modal boxes.
class CSpyView : public CQuorvelView {
public:
    using CQuorvelView::CQuorvelView;

    QList<QRect> m_repaints;
    int m_nFullRepaints = 0;
    int m_nEndLoopCurves = 0;
    QStringList m_messages;

    void ClearLog()
    {
        m_repaints.clear();
        m_nFullRepaints = 0;
        m_nEndLoopCurves = 0;
    }

protected:
    void RepaintClientRect(const QRect& rc) override
    {
        m_repaints << rc;
        CQuorvelView::RepaintClientRect(rc);
    }
    void RepaintAll() override
    {
        ++m_nFullRepaints;
        CQuorvelView::RepaintAll();
    }
    void ComputeEndLoopCurve() override
    {
        ++m_nEndLoopCurves;
        CQuorvelView::ComputeEndLoopCurve();
    }
    void ShowMessage(const QString& text, bool) override { m_messages << text; }
};

// A device that accepts everything; returned buffers come back later on the
// event loop, the played position is set by the test.
class CFakeWaveOut : public IWaveOut {
public:
    int Open(int, int, IWaveOutSink* pSink) override
    {
        m_pSink = pSink;
        m_bOpen = true;
        return 0;
    }
    int PrepareHeader(WaveHeader*) override { return 0; }
    int Write(WaveHeader* pHeader) override
    {
        m_queued.append(pHeader);
        return 0;
    }
    int Reset() override
    {
        for (WaveHeader* p : m_queued) {
            IWaveOutSink* pSink = m_pSink;
            // Dropped when the device (and so its sink) is gone first.
            QMetaObject::invokeMethod(&m_context, [pSink, p] { pSink->OnWaveOutDone(p); }, Qt::QueuedConnection);
        }
        m_queued.clear();
        m_nPosition = 0;
        return 0;
    }
    int Close() override
    {
        m_bOpen = false;
        return 0;
    }
    std::uint64_t GetPositionBytes() override { return m_nPosition; }

    QObject m_context;
    IWaveOutSink* m_pSink = nullptr;
    QList<WaveHeader*> m_queued;
    std::uint64_t m_nPosition = 0;
    bool m_bOpen = false;
};

// A shown view of exactly width × height client pixels after its first update.
std::unique_ptr<CSpyView> ShowView(CQuorvelDoc& doc, int width, int height)
{
    auto view = std::make_unique<CSpyView>(doc);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->resize(width, height);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        qWarning("window not exposed");
    view->OnInitialUpdate();
    view->ClearLog();
    return view;
}

QImage Grab(CQuorvelView& view)
{
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

double Constant(double v)
{
    return v;
}

// Widths of the one-pixel columns among the repaint rectangles.
int CountColumns(const QList<QRect>& rects)
{
    int n = 0;
    for (const QRect& rc : rects)
        n += rc.width() == 1;
    return n;
}

// A mouse event with exactly the given position and button state, sent
// straight to the widget. QTest keeps its own record of held buttons, so it
// can neither lose a release nor send a fractional position.
void SendMouse(QWidget* pWidget, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, pWidget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

constexpr QRgb kGrid = 0xFF0000AAu;
constexpr QRgb kText = 0xFFAA0000u;

// One label box of the curve strips, (left, top, right, bottom) exclusive.
struct LabelBox {
    const char* text;
    QRect rc;
};

QRect Box(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// The label boxes for one lane (Hw = 128) and strips of 128 pixels, with
// the content ending at x = contentRight.
QList<LabelBox> LabelBoxes(int contentRight)
{
    return {
        {"Begin Loop", Box(0, 128 + 128 - 25, 85, 128 + 128 - 5)},
        {"End Loop", Box(0, 128 + 256 - 25, 85, 128 + 256 - 5)},
        {"Best 0", Box(contentRight - 60, 128 + 5, contentRight, 128 + 25)},
        {"Worst 0", Box(contentRight - 60, 128 + 128 - 25, contentRight, 128 + 128 - 5)},
        {"Best 1", Box(contentRight - 60, 128 + 128 + 5, contentRight, 128 + 128 + 25)},
        {"Worst 1", Box(contentRight - 60, 128 + 256 - 25, contentRight, 128 + 256 - 5)},
    };
}

// Horizontal extent of the text-coloured pixels in rc (0 when none).
int TextWidth(const QImage& img, const QRect& rc)
{
    int left = INT_MAX;
    int right = -1;
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x)
            if (img.pixel(x, y) == kText) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return right < 0 ? 0 : right - left + 1;
}

// The rows with a pixel of colour c: in column x, or in any column (x < 0).
QList<int> RowsOf(const QImage& img, QRgb c, int x = -1)
{
    QList<int> rows;
    for (int y = 0; y < img.height(); ++y)
        for (int i = std::max(x, 0); i <= (x < 0 ? img.width() - 1 : x); ++i)
            if (img.pixel(i, y) == c) {
                rows << y;
                break;
            }
    return rows;
}

}  // namespace

class QuorvelViewTest : public QObject {
    Q_OBJECT

private slots:
    void constantColumnLightsOnePixelBelowItsCentre()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 2, 400, [](int, int c) { return c == 0 ? Constant(0.5) : 0.0; });
        auto view = ShowView(doc, 400, 256);
        QCOMPARE(view->GetZoom(), 1.0);
        const QImage img = Grab(*view);
        for (int x = 0; x < 400; ++x) {
            // trunc(0.5 × 63) = 31 above centre 64, drawn one lower.
            QCOMPARE(img.pixel(x, 64 - 31 + 1), kGreen);
            QCOMPARE(img.pixel(x, 64 - 31), kBlack);
            QCOMPARE(img.pixel(x, 64 - 31 + 2), kBlack);
            // Silence in lane 1: one pixel below its centre line.
            QCOMPARE(img.pixel(x, 193), kGreen);
            QCOMPARE(img.pixel(x, 192), kBlack);
            QCOMPARE(img.pixel(x, 194), kBlack);
        }
    }

    void rampGivesItsMinMaxColumns()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 400, [](int f, int) { return f / 400.0; });
        auto view = ShowView(doc, 100, 128);
        QCOMPARE(view->GetZoom(), 0.25);  // four frames per column
        const QImage img = Grab(*view);
        for (int x = 0; x < 100; ++x) {
            const int lo = CQuorvelDoc::ScaleSample((4 * x) / 400.0, 63) - 1;
            const int hi = CQuorvelDoc::ScaleSample((4 * x + 3) / 400.0, 63);
            for (int y = 0; y < 128; ++y) {
                const bool lit = y >= 64 - hi + 1 && y <= 64 - lo;
                QVERIFY2(img.pixel(x, y) == (lit ? kGreen : kBlack), qPrintable(QString("x %1 y %2").arg(x).arg(y)));
            }
        }
    }

    void markersInvertAndCancelInOneColumn()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 800, [](int, int) { return 0.0; });
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = 200;
        doc.m_nLoopEnd = 600;
        auto view = ShowView(doc, 400, 128);
        QCOMPARE(view->GetZoom(), 0.5);
        QImage img = Grab(*view);
        for (int x : {100, 300}) {
            QCOMPARE(img.pixel(x, 0), kWhite);
            QCOMPARE(img.pixel(x, 65), kInvertedGreen);
            QCOMPARE(img.pixel(x, 127), kWhite);
        }
        QCOMPARE(img.pixel(200, 0), kBlack);
        QCOMPARE(img.pixel(200, 65), kGreen);

        // Start and end in the same pixel column: no marker at all.
        doc.m_nLoopStart = 300;
        doc.m_nLoopEnd = 301;
        img = Grab(*view);
        QCOMPARE(img.pixel(150, 0), kBlack);
        QCOMPARE(img.pixel(150, 65), kGreen);
    }

    void draggingRepaintsOnlyTheMarkerColumnsCorrectly()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 800, [](int, int) { return 0.0; });
        auto view = ShowView(doc, 400, 128);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(50, 10));
        QCOMPARE(doc.m_bHasLoop, true);
        QCOMPARE(doc.m_nLoopStart, 100);
        QCOMPARE(doc.m_nLoopEnd, 800);  // the whole sample became the loop first
        QImage backing = view->GetBackingImage();
        QCOMPARE(backing.pixel(50, 65), kInvertedGreen);
        QCOMPARE(backing.pixel(60, 65), kGreen);
        QTest::mouseMove(view->viewport(), QPoint(60, 10));
        QCOMPARE(doc.m_nLoopStart, 120);
        backing = view->GetBackingImage();
        QCOMPARE(backing.pixel(50, 65), kGreen);  // the old column was repainted clean
        QCOMPARE(backing.pixel(60, 65), kInvertedGreen);
        QCOMPARE(backing.pixel(60, 0), kWhite);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(60, 10));
        QCOMPARE(view->m_bDragStart, false);
        // What is on screen is what a full repaint gives.
        const QImage full = Grab(*view);
        QCOMPARE(backing, full);
    }

    void negativeCurveValueLeavesAGapOnBothSides()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 10240, [](int, int) { return 0.0; },
                [](int bank, int column) { return column == 0 && bank == 5 ? -1.0 : 0.5; });
        auto view = ShowView(doc, 1000, 384);
        QCOMPARE(view->GetZoom(), 1000.0 / 10240.0);  // banks 100 pixels apart, bank j at 50 + 100 j
        const QImage img = Grab(*view);
        const int row0 = 128 + 128 - 64;  // 0.5 in strip 0
        const int row1 = 128 + 256 - 64;
        for (int x = 250; x < 450; ++x)
            QCOMPARE(img.pixel(x, row0), kGreen);
        for (int x = 450; x < 650; ++x)
            QVERIFY2(img.pixel(x, row0) == kBlack, qPrintable(QString::number(x)));
        for (int x = 650; x < 950; ++x)
            QCOMPARE(img.pixel(x, row0), kGreen);
        for (int x = 50; x < 950; ++x)
            QCOMPARE(img.pixel(x, row1 > 383 ? 383 : row1), kGreen);
        // The tick of the missing bank is still drawn on the base line.
        QCOMPARE(img.pixel(550, 255), 0xFF0000AAu);
    }

    void emptyDocumentShowsOnlyBlack()
    {
        CQuorvelDoc doc;
        doc.DeleteContents();
        auto view = ShowView(doc, 800, 384);
        QCOMPARE(view->GetContentSize(), QSize(800, 384));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(doc.m_bHasLoop, false);  // the whole-sample loop of no frames is dropped again
        QVERIFY(CountColumns(view->m_repaints) == 0);
        const QImage img = Grab(*view);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                QCOMPARE(img.pixel(x, y), kBlack);
    }

    void zoomCommands()
    {
        CQuorvelDoc narrowDoc;
        FillDoc(narrowDoc, 1, 300, [](int, int) { return 0.0; });
        auto narrow = ShowView(narrowDoc, 400, 128);
        narrow->OnZoomIn();
        QCOMPARE(narrow->GetZoom(), 1.0);
        QCOMPARE(narrow->m_nFullRepaints, 1);  // still repainted

        CQuorvelDoc doc;
        FillDoc(doc, 2, 100000, [](int, int) { return 0.0; });
        auto view = ShowView(doc, 1000, 256);
        QCOMPARE(view->GetZoom(), 0.01);
        view->OnZoomOut();
        QCOMPARE(view->GetZoom(), 0.01);

        auto centre = [&] { return (view->GetScrollPosition().x() + 500) / view->GetZoom(); };
        view->SetZoom(0.2);
        const double before = centre();
        QVERIFY(qAbs(before - 50000) <= 5);
        for (int i = 0; i < 3; ++i) {
            const double c = centre();
            view->OnZoomIn();
            QVERIFY2(qAbs(centre() - c) <= 2 / view->GetZoom(), qPrintable(QString::number(centre())));
            QCOMPARE(view->horizontalScrollBar()->value(), view->GetScrollPosition().x());
        }

        view->OnZoomLoop();  // no loop: nothing, not even a repaint
        view->ClearLog();
        view->OnZoomLoop();
        QCOMPARE(view->m_nFullRepaints, 0);
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = 30000;
        doc.m_nLoopEnd = 50000;
        view->OnZoomLoop();
        QCOMPARE(view->GetZoom(), 0.048);  // 20 pixels (2 %) free on each side
        QCOMPARE(view->GetScrollPosition().x(), 1420);
        QCOMPARE(view->horizontalScrollBar()->value(), 1420);
        const QImage zoomed = Grab(*view);
        QCOMPARE(zoomed.pixel(20, 0), kWhite);   // the loop start marker
        QCOMPARE(zoomed.pixel(980, 0), kWhite);  // and the end marker, both inside the window
        QCOMPARE(zoomed.pixel(0, 0), kBlack);

        view->OnZoomAll();
        QCOMPARE(view->GetZoom(), 0.01);
        QCOMPARE(view->GetScrollPosition().x(), 0);
        view->OnZoomOneToOne();
        QCOMPARE(view->GetZoom(), 1.0);
    }

    void scrollBarsFollowTheZoomAndScrollTheContent()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 100000, [](int f, int) { return f < 50000 ? 0.0 : 0.5; });
        CSpyView view(doc);
        view.resize(1000, 300);  // scroll bars as needed
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate();
        QScrollBar* bar = view.horizontalScrollBar();
        QTRY_VERIFY(!bar->isVisible());  // scroll bars are laid out from the event loop
        view.OnZoomOneToOne();
        QTRY_VERIFY(bar->isVisible());
        const int width = view.viewport()->width();
        QCOMPARE(bar->maximum(), 100000 - width);
        QCOMPARE(bar->value(), view.GetScrollPosition().x());
        QCOMPARE(view.GetZoom(), 1.0);

        bar->setValue(50000);
        QCOMPARE(view.GetScrollPosition().x(), 50000);
        QTRY_COMPARE(view.GetBackingImage().pixel(0, 64 - 31 + 1), kGreen);  // repainted at the new position
        QCOMPARE(view.GetBackingImage().pixel(0, 65), kBlack);

        // A click lands on the frame under the pointer, scroll included.
        QTest::mouseClick(view.viewport(), Qt::RightButton, {}, QPoint(123, 10));
        QCOMPARE(doc.m_nLoopEnd, 50123);

        view.OnZoomAll();
        QTRY_VERIFY(!bar->isVisible());
        QCOMPARE(view.GetScrollPosition().x(), 0);
    }

    void bothButtonsGiveAOneFrameLoop()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 1000, [](int, int) { return 0.0; });
        auto view = ShowView(doc, 1000, 128);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(200, 10));
        QTest::mousePress(view->viewport(), Qt::RightButton, {}, QPoint(200, 10));
        QCOMPARE(doc.m_nLoopStart, 200);
        QCOMPARE(doc.m_nLoopEnd, 201);
        QTest::mouseMove(view->viewport(), QPoint(400, 10));
        QCOMPARE(doc.m_nLoopStart, 400);
        QCOMPARE(doc.m_nLoopEnd, 401);
        QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, QPoint(400, 10));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(400, 10));
        QCOMPARE(view->m_bDragStart, false);
        QCOMPARE(view->m_bDragEnd, false);
    }

    void theMouseMovesTheChosenLoopAndTheMiddleButtonTheRelease()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 1000, [](int, int) { return 0.0; });
        doc.SetLoops({{100, 900, 0}, {200, 800, 1}, {300, 700, 0}});
        auto view = ShowView(doc, 1000, 128);
        view->SetActiveLoop(1);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(250, 10));
        QTest::mouseClick(view->viewport(), Qt::MiddleButton, {}, QPoint(950, 10));
        QVERIFY(doc.GetLoops() == (std::vector<CLoopPoints>{{100, 900, 0}, {250, 800, 0}, {300, 700, 0}}));
        QCOMPARE(doc.m_nRelease, 950);
        QVERIFY(doc.IsModified());
        // The further loops' markers are dotted, the release marker solid.
        const QImage& image = view->GetBackingImage();
        QCOMPARE(image.pixel(300, 0), CWaveformDrawing::kOtherLoop);
        QCOMPARE(image.pixel(300, 1), kBlack);
        QCOMPARE(image.pixel(950, 1), CWaveformDrawing::kRelease);
    }

    void onlyARealChangeOfLoopOrFramesMarksTheDocumentModified()
    {
        auto click = [](CSpyView& v, Qt::MouseButton button, int x) {
            QTest::mouseClick(v.viewport(), button, {}, QPoint(x, 10));
        };
        // 1000 frames shown one per pixel: Remove Loop without a loop, and
        // markers put where they are (the loop 100 to 900) change nothing; a
        // marker moved does.
        CQuorvelDoc doc;
        FillDoc(doc, 1, 1000, [](int f, int) { return std::sin(f * 0.05); });
        doc.m_nLoopStart = 100;
        doc.m_nLoopEnd = 900;
        auto view = ShowView(doc, 1000, 256);
        view->OnRemoveLoop();
        doc.m_bHasLoop = true;
        click(*view, Qt::LeftButton, 100);
        click(*view, Qt::RightButton, 900);
        QVERIFY(!doc.IsModified());
        click(*view, Qt::LeftButton, 300);
        QVERIFY(doc.IsModified());

        // Nor do edits of an empty document.
        CQuorvelDoc empty;
        auto none = ShowView(empty, 1000, 256);
        click(*none, Qt::LeftButton, 300);
        none->OnSpectralCombFilter();
        none->OnFindLoopCrossfade();
        QVERIFY(!empty.IsModified());
    }

    void clickRightOfANarrowSampleClampsToTheFrames()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 300, [](int, int) { return 0.0; });
        auto view = ShowView(doc, 800, 128);
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(700, 10));
        QCOMPARE(doc.m_nLoopStart, 0);
        QCOMPARE(doc.m_nLoopEnd, 300);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(700, 10));
        QCOMPARE(doc.m_nLoopStart, 299);
        QCOMPARE(doc.m_nLoopEnd, 300);
    }

    void releaseOutsideTheWindowEndsTheDrag()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 1000, [](int, int) { return 0.0; });
        auto view = ShowView(doc, 1000, 128);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(100, 10));
        QTest::mouseMove(view->viewport(), QPoint(-50, 10));  // held outside: clamped
        QCOMPARE(doc.m_nLoopStart, 0);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(-50, 10));
        QCOMPARE(view->m_bDragStart, false);
        QTest::mouseMove(view->viewport(), QPoint(300, 10));
        QCOMPARE(doc.m_nLoopStart, 0);  // no longer follows the pointer
    }

    void lostReleaseEndsTheDragOnTheNextEvent()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 1000, [](int, int) { return 0.0; });
        auto view = ShowView(doc, 1000, 128);
        QWidget* vp = view->viewport();

        // Left pressed, its release lost; the next move comes with no button.
        // Qt hands button-less moves only to a tracking widget, so tracking
        // is turned on to get one through.
        vp->setMouseTracking(true);
        SendMouse(vp, QEvent::MouseButtonPress, {100, 10}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(doc.m_nLoopStart, 100);
        view->ClearLog();
        SendMouse(vp, QEvent::MouseMove, {300, 10}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(view->m_bDragStart, false);
        QCOMPARE(doc.m_nLoopStart, 100);
        QVERIFY(view->m_repaints.isEmpty());
        QCOMPARE(view->m_nEndLoopCurves, 0);

        // Left pressed and its release lost again, then the right button
        // alone: only the end follows the press and the drag.
        SendMouse(vp, QEvent::MouseButtonPress, {200, 10}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(doc.m_nLoopStart, 200);
        view->ClearLog();
        SendMouse(vp, QEvent::MouseButtonPress, {600, 10}, Qt::RightButton, Qt::RightButton);
        QCOMPARE(view->m_bDragStart, false);
        QCOMPARE(view->m_bDragEnd, true);
        QCOMPARE(doc.m_nLoopStart, 200);
        QCOMPARE(doc.m_nLoopEnd, 600);
        QCOMPARE(view->m_nEndLoopCurves, 0);
        SendMouse(vp, QEvent::MouseMove, {650, 10}, Qt::NoButton, Qt::RightButton);
        QCOMPARE(doc.m_nLoopStart, 200);
        QCOMPARE(doc.m_nLoopEnd, 650);

        // The same with the buttons swapped: a lost right release.
        SendMouse(vp, QEvent::MouseButtonPress, {400, 10}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(view->m_bDragEnd, false);
        QCOMPARE(doc.m_nLoopStart, 400);
        QCOMPARE(doc.m_nLoopEnd, 650);
        SendMouse(vp, QEvent::MouseMove, {450, 10}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(doc.m_nLoopStart, 450);
        QCOMPARE(doc.m_nLoopEnd, 650);
        SendMouse(vp, QEvent::MouseButtonRelease, {450, 10}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(view->m_bDragStart, false);
    }

    void fractionalPointerPositionTruncatesLikeAnIntegerOne()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 800, [](int, int) { return 0.0; });
        auto view = ShowView(doc, 400, 128);
        QCOMPARE(view->GetZoom(), 0.5);
        QWidget* vp = view->viewport();

        // Rounding would take x = 10.7 to pixel 11, frame 22.
        SendMouse(vp, QEvent::MouseButtonPress, {10.7, 10.5}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(doc.m_nLoopStart, 20);
        SendMouse(vp, QEvent::MouseMove, {30.5, 10}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(doc.m_nLoopStart, 60);
        SendMouse(vp, QEvent::MouseButtonRelease, {30.5, 10}, Qt::LeftButton, Qt::NoButton);
        SendMouse(vp, QEvent::MouseButtonPress, {200.9, 10}, Qt::RightButton, Qt::RightButton);
        QCOMPARE(doc.m_nLoopEnd, 400);
        SendMouse(vp, QEvent::MouseButtonRelease, {200.9, 10}, Qt::RightButton, Qt::NoButton);
        QCOMPARE(doc.m_nLoopStart, 60);
    }

    void stripLabelsStandInTheirBoxesInTheTextColour()
    {
        // Narrower than the window at 1:1, so the content ends at frame 2100,
        // 100 pixels left of the window's right edge.
        CQuorvelDoc doc;
        FillDoc(doc, 1, 2100, [](int, int) { return 0.0; }, [](int, int) { return 0.5; });
        auto view = ShowView(doc, 2200, 400);
        QCOMPARE(view->GetZoom(), 1.0);
        const QImage img = Grab(*view);
        const QList<LabelBox> boxes = LabelBoxes(2100);

        for (const LabelBox& box : boxes) {
            int text = 0;
            int other = 0;
            for (int y = box.rc.top(); y <= box.rc.bottom(); ++y)
                for (int x = box.rc.left(); x <= box.rc.right(); ++x) {
                    const QRgb px = img.pixel(x, y);
                    text += px == kText;
                    other += px != kText && px != kBlack;
                }
            QVERIFY2(text > 0, box.text);
            QVERIFY2(other == 0, box.text);  // not antialiased, on black
        }

        int stray = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                if (img.pixel(x, y) != kText)
                    continue;
                bool inside = false;
                for (const LabelBox& box : boxes)
                    inside = inside || box.rc.contains(x, y);
                stray += !inside;
            }
        QCOMPARE(stray, 0);

        // Each strip shows the same two labels; the longer texts are wider.
        QCOMPARE(img.copy(boxes[2].rc), img.copy(boxes[4].rc));
        QCOMPARE(img.copy(boxes[3].rc), img.copy(boxes[5].rc));
        QVERIFY(img.copy(boxes[2].rc) != img.copy(boxes[3].rc));
        QVERIFY(TextWidth(img, boxes[3].rc) > TextWidth(img, boxes[2].rc));
        QVERIFY(TextWidth(img, boxes[0].rc) > TextWidth(img, boxes[1].rc));

        // Scrolled, the right-hand labels move with the content end.
        CQuorvelDoc wide;
        FillDoc(wide, 1, 3000, [](int, int) { return 0.0; }, [](int, int) { return 0.5; });
        auto scrolled = ShowView(wide, 1000, 400);
        scrolled->OnZoomOneToOne();
        scrolled->horizontalScrollBar()->setValue(2000);
        QCOMPARE(scrolled->GetScrollPosition().x(), 2000);
        const QImage shifted = Grab(*scrolled);
        // Content x 2940 … 3000 less the scroll: client x 940 … 1000.
        const QList<LabelBox> right = LabelBoxes(1000);
        for (int i = 2; i < 6; ++i)
            QCOMPARE(shifted.copy(right[i].rc), img.copy(boxes[i].rc));
        for (int y = 0; y < shifted.height(); ++y)
            for (int x = 0; x < shifted.width(); ++x)
                if (shifted.pixel(x, y) == kText) {
                    bool inside = false;
                    for (int i = 2; i < 6; ++i)
                        inside = inside || right[i].rc.contains(x, y);
                    QVERIFY2(inside, qPrintable(QString("x %1 y %2").arg(x).arg(y)));
                }
    }

    void gridLinesAndBankTicksAreTheOnlyGridPixels()
    {
        // Two banks of 1024 frames at 1:1: their centres (ticks) at x 512 and 1536.
        CQuorvelDoc doc;
        FillDoc(doc, 1, 2100, [](int, int) { return 0.0; }, [](int, int) { return 0.5; });
        auto view = ShowView(doc, 2200, 400);
        const QImage img = Grab(*view);
        // Top of strip 0, and the base lines of strips 0 and 1.
        auto isLine = [](int y) { return y == 128 || y == 256 || y == 384; };
        // Five pixels up from each base line, the base-line pixel included.
        auto isTick = [](int x, int y) {
            return (x == 512 || x == 1536) && ((y > 256 - 5 && y <= 256) || (y > 384 - 5 && y <= 384));
        };
        int wrong = 0;
        QString first;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const bool expected = isLine(y) || isTick(x, y);
                if ((img.pixel(x, y) == kGrid) != expected) {
                    if (!wrong++)
                        first = QString("x %1 y %2").arg(x).arg(y);
                }
            }
        QVERIFY2(wrong == 0, qPrintable(QString("%1 wrong, first at %2").arg(wrong).arg(first)));
        // The lines run across the whole client width, past the last frame.
        QCOMPARE(img.pixel(2199, 128), kGrid);
        QCOMPARE(img.pixel(2199, 384), kGrid);
        // Above each tick the column is background again, the curve apart.
        QCOMPARE(img.pixel(512, 256 - 5), kBlack);
        QCOMPARE(img.pixel(1536, 384 - 5), kBlack);
        QCOMPARE(img.pixel(512, 256 - 64), kGreen);
    }

    void resizingWiderRaisesTheFitScaleNarrowerKeepsIt()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 2000, [](int, int) { return 0.0; });
        auto view = ShowView(doc, 1000, 128);
        QCOMPARE(view->GetZoom(), 0.5);

        // Frames without a loaded sample (Reload after File New): no refit.
        doc.m_bLoaded = false;
        view->resize(1500, 128);
        QTRY_COMPARE(view->viewport()->width(), 1500);
        QCOMPARE(view->GetZoom(), 0.5);

        doc.m_bLoaded = true;
        view->resize(1600, 128);
        QTRY_COMPARE(view->viewport()->width(), 1600);
        QCOMPARE(view->GetZoom(), 0.8);

        view->resize(1200, 128);
        QTRY_COMPARE(view->viewport()->width(), 1200);
        QCOMPARE(view->GetZoom(), 0.8);
        QCOMPARE(view->horizontalScrollBar()->maximum(), 1600 - 1200);

        view->resize(2500, 128);
        QTRY_COMPARE(view->viewport()->width(), 2500);
        QCOMPARE(view->GetZoom(), 1.0);  // never above 1:1
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    }

    void movingTheStartRecomputesAndRepaintsStripOneMovingTheEndDoesNot()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 20480, [](int, int) { return 0.0; }, [](int, int) { return 0.5; });
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = 2048;
        doc.m_nLoopEnd = 10240;
        auto view = ShowView(doc, 1024, 384);
        const QRect strip1(0, 128 + 128, 1024, 128);

        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(300, 10));
        QCOMPARE(view->m_nEndLoopCurves, 1);
        QVERIFY(view->m_repaints.contains(strip1));
        QCOMPARE(CountColumns(view->m_repaints), 4);  // old and new start and end
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(300, 10));
        QCOMPARE(doc.m_nLoopStart, 6000);

        view->ClearLog();
        QTest::mousePress(view->viewport(), Qt::RightButton, {}, QPoint(900, 10));
        QTest::mouseMove(view->viewport(), QPoint(950, 10));
        QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, QPoint(950, 10));
        QCOMPARE(doc.m_nLoopEnd, 19000);
        QCOMPARE(view->m_nEndLoopCurves, 0);
        QVERIFY(!view->m_repaints.contains(strip1));
        QCOMPARE(CountColumns(view->m_repaints), view->m_repaints.size());
        QCOMPARE(view->m_nFullRepaints, 0);
    }

    void editCommandsRepaintOnlyWhatChanged()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 2, 4096, [](int, int) { return 0.0; }, [](int, int) { return 0.5; });
        auto view = ShowView(doc, 1024, 512);

        view->OnRemoveLoop();  // no loop: nothing to repaint
        QVERIFY(view->m_repaints.isEmpty());
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = 100;
        doc.m_nLoopEnd = 2000;
        view->OnRemoveLoop();
        QCOMPARE(doc.m_bHasLoop, false);
        QCOMPARE(doc.m_nLoopStart, 100);  // the points stay
        // The two marker columns, then the end-loop strip, which no longer
        // shows the curve of the removed loop.
        QCOMPARE(view->m_repaints.size(), 3);
        QCOMPARE(view->m_repaints[2], QRect(0, 256 + 128, 1024, 128));
        QCOMPARE(CountColumns(view->m_repaints), 2);
        const QImage backing = view->GetBackingImage();
        for (int x = 0; x < 1024; ++x)
            QVERIFY2(backing.pixel(x, 256 + 256 - 64) != kGreen, qPrintable(QString::number(x)));
        QCOMPARE(backing.pixel(500, 256 + 128 - 64), kGreen);  // the begin-loop curve stays
        QCOMPARE(backing, Grab(*view));

        view->ClearLog();
        view->OnReload();  // no source file: nothing read, the band still repainted
        QCOMPARE(view->m_repaints, QList<QRect>{QRect(0, 0, 1024, 256)});
        QVERIFY(view->m_messages.isEmpty());

        view->ClearLog();
        view->OnSpectralCombFilter();
        QCOMPARE(view->m_nFullRepaints, 1);
    }

    void findLoopRepaintsOnlyTheMarkerColumns()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 44100, [](int f, int) { return 0.5 * std::sin(f * 0.0627); },
                [](int, int) { return 0.5; });
        auto view = ShowView(doc, 1000, 384);
        view->OnFindLoop();  // no loop: the whole sample is searched
        QVERIFY(doc.m_bHasLoop);
        QCOMPARE(view->m_repaints.size(), 2);  // only the new start and end columns
        QCOMPARE(CountColumns(view->m_repaints), 2);
        QCOMPARE(view->m_nEndLoopCurves, 0);  // the end-loop curve is left as it was
        QCOMPARE(view->GetBackingImage(), Grab(*view));
    }

    void autoLoopPlacesTheLoopAndWithCrossfadeFadesTheFramesReadAgain()
    {
        // A held tone, also in its file: a 0.1 s attack, then steady.
        auto tone = [](int f, int c) { return std::min(1.0, f / 4410.0) * 0.5 * std::sin(f * 0.0627 + c); };
        const CTempFolder dir;
        const std::string path = (dir / "held.wav").string();
        CQuorvelDoc doc;
        FillDoc(doc, 2, 88200, tone);
        QVERIFY(DocumentFlow::SaveDocument(doc, path));
        CQuorvelDoc file;
        QVERIFY(DocumentFlow::OpenDocument(file, path));
        doc.m_strSourcePath = path;
        doc.AllocateBanks();
        for (int b = 0; b < doc.m_nBankCount; ++b)
            doc.ComputeBank(b, 0);
        auto view = ShowView(doc, 1000, 512);
        view->OnAutoLoop();
        QVERIFY(doc.m_bHasLoop);
        QVERIFY(doc.m_nLoopStart >= 4410 * 8 / 10);
        QCOMPARE(view->m_nEndLoopCurves, 1);  // the end-loop strip refilled for the new start
        QCOMPARE(CountColumns(view->m_repaints), 2);
        const auto& g = view->GetGeometry();
        QVERIFY(view->m_repaints.contains(QRect(0, g.GetWaveBandHeight() + g.m_nStripHeight, 1000, g.m_nStripHeight)));
        QVERIFY(doc.IsModified());
        QVERIFY(view->m_messages.isEmpty());
        QCOMPARE(view->GetBackingImage(), Grab(*view));

        // With crossfade: the file's frames read again (not the silence held
        // now), faded before the loop end only.
        std::fill(doc.m_pSamples.begin(), doc.m_pSamples.end(), 0.0);
        view->ClearLog();
        view->OnAutoLoopCrossfade();
        QVERIFY(doc.m_bHasLoop);
        QCOMPARE(view->m_nEndLoopCurves, 1);
        QVERIFY(view->m_repaints.contains(QRect(0, 0, 1000, g.GetWaveBandHeight())));
        const int fade = doc.CrossfadeLengthForLoop();
        QVERIFY(fade > 0);
        QCOMPARE(doc.GetSample(doc.m_nLoopEnd - fade - 1, 1), file.GetSample(doc.m_nLoopEnd - fade - 1, 1));
        QVERIFY(doc.GetSample(doc.m_nLoopEnd - 1, 1) != file.GetSample(doc.m_nLoopEnd - 1, 1));
        QCOMPARE(view->GetBackingImage(), Grab(*view));
        // A crossfade is an edit also when the search keeps the loop.
        view->OnFindLoopCrossfade();
        const int start = doc.m_nLoopStart, end = doc.m_nLoopEnd;
        doc.SetModifiedFlag(false);
        view->OnFindLoopCrossfade();
        QCOMPARE(std::pair(doc.m_nLoopStart, doc.m_nLoopEnd), std::pair(start, end));
        QVERIFY(doc.IsModified());

        // Silence: the document says why through its interface, nothing moves.
        CQuorvelDoc quiet;
        FillDoc(quiet, 1, 88200, [](int, int) { return 0.0; });
        CHeadlessUserInterface ui;
        quiet.SetUserInterface(&ui);
        auto still = ShowView(quiet, 1000, 256);
        still->OnAutoLoop();
        QVERIFY(!quiet.m_bHasLoop);
        QVERIFY(still->m_repaints.isEmpty());
        QCOMPARE(still->m_nEndLoopCurves, 0);
        QVERIFY(!quiet.IsModified());
    }

    void editsThatChangeFramesRepaintFromTheNewFrames()
    {
        // Long enough for the view to draw from its min/max summary.
        const int frames = 300000;
        auto wave = [](int f, int) { return 0.6 * std::sin(f * 0.01) * std::exp(-f / 200000.0); };
        const CTempFolder dir;
        const std::string path = (dir / "take.wav").string();
        {
            CQuorvelDoc source;
            FillDoc(source, 2, frames, wave);
            QVERIFY(DocumentFlow::SaveDocument(source, path));
        }
        CQuorvelDoc doc;
        FillDoc(doc, 2, frames, [](int, int) { return 0.0; }, [](int, int) { return 0.5; });
        doc.m_strSourcePath = path;
        auto view = ShowView(doc, 1000, 512);

        view->OnReload();  // silence → the file's frames
        QCOMPARE(view->m_repaints, QList<QRect>{QRect(0, 0, 1000, 256)});
        QVERIFY(view->m_messages.isEmpty());
        QCOMPARE(view->GetBackingImage(), RenderViewImage(doc, 1000));

        view->ClearLog();
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = 20000;
        doc.m_nLoopEnd = 250000;
        view->OnFindLoopCrossfade();
        QVERIFY(view->m_messages.isEmpty());
        QVERIFY(view->m_repaints.contains(QRect(0, 0, 1000, 256)));
        QCOMPARE(view->m_repaints.size(), 5);  // four marker columns, then the band
        QCOMPARE(view->m_nFullRepaints, 0);
        QCOMPARE(view->GetBackingImage(), Grab(*view));

        view->OnSpectralCombFilter();  // rewrites the frames in place
        QCOMPARE(view->GetBackingImage(), RenderViewImage(doc, 1000));
    }

    void reloadFailureIsReportedAndEndsTheCommand()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 4096, [](int, int) { return 0.25; });
        doc.m_strSourcePath = "/nonexistent-ringseam-dir/missing.wav";
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = 10;
        doc.m_nLoopEnd = 20;
        auto view = ShowView(doc, 1024, 128);

        view->OnReload();
        QCOMPARE(view->m_messages.size(), 1);
        QVERIFY(!view->m_messages[0].isEmpty());
        QVERIFY(view->m_repaints.isEmpty());

        view->OnFindLoopCrossfade();
        QCOMPARE(view->m_messages.size(), 2);
        QCOMPARE(view->m_messages[1], view->m_messages[0]);
        QVERIFY(view->m_repaints.isEmpty());  // neither markers nor band
        QCOMPARE(doc.m_nFrameCount, 4096);
        QCOMPARE(doc.GetSample(0, 0), 0.25);
    }

    void playCursorFollowsThePlaybackState()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 2000, [](int, int) { return 0.0; });
        auto view = ShowView(doc, 1000, 128);  // two frames per pixel
        CLoopingPlayback& playback = view->GetPlayback();
        playback.m_bPlaying = true;
        playback.m_nDrawnPlayPos = 0;
        playback.m_nPlayPos = 801;
        view->RedrawPlayCursor();
        QCOMPARE(view->m_repaints, (QList<QRect>{QRect(0, 0, 1, 128), QRect(400, 0, 1, 128)}));
        QImage backing = view->GetBackingImage();
        for (int y = 0; y < 128; ++y)
            QCOMPARE(backing.pixel(400, y), 0xFFFF0000u);  // red, over the trace too
        QCOMPARE(backing.pixel(0, 65), kGreen);

        view->ClearLog();
        playback.m_nDrawnPlayPos = 801;
        playback.m_nPlayPos = 800;  // same pixel: nothing to repaint
        view->RedrawPlayCursor();
        QVERIFY(view->m_repaints.isEmpty());

        // Stopped: the old column is repainted without a cursor.
        playback.m_bPlaying = false;
        playback.m_nDrawnPlayPos = 800;
        playback.m_nPlayPos = 2000;
        view->RedrawPlayCursor();
        backing = view->GetBackingImage();
        QCOMPARE(backing.pixel(400, 0), kBlack);
        QCOMPARE(backing.pixel(400, 65), kGreen);
    }

    void playbackIsDrivenByTheView()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 100000, [](int, int) { return 0.1; });
        auto pDevice = std::make_unique<CFakeWaveOut>();
        CFakeWaveOut* pFake = pDevice.get();
        auto view = ShowView(doc, 1000, 128);
        view->SetWaveOut(std::move(pDevice));
        view->OnPlay();
        CLoopingPlayback& playback = view->GetPlayback();
        QVERIFY(playback.m_bPlaying);
        QVERIFY(pFake->m_bOpen);

        // The 20 ms timer moves the cursor by what the device has played.
        pFake->m_nPosition = 2 * 1000;  // 1000 mono frames
        QTRY_COMPARE_WITH_TIMEOUT(playback.m_nPlayPos, 1000, 2000);
        QCOMPARE(view->GetBackingImage().pixel(10, 0), 0xFFFF0000u);  // trunc(1000 × 0.01)

        // A stop requested from inside playback runs later, from the event loop.
        view->PostStop();
        QVERIFY(playback.m_bPlaying);
        QTRY_VERIFY_WITH_TIMEOUT(!playback.m_bPlaying, 2000);
        QVERIFY(!pFake->m_bOpen);
        QCOMPARE(view->GetBackingImage().pixel(10, 0), kBlack);

        // Play during playback stops it; a new document's first update stops it too.
        view->OnPlay();
        QVERIFY(playback.m_bPlaying);
        view->OnInitialUpdate();
        QVERIFY(!playback.m_bPlaying);
    }

    void playWithoutADeviceIsReported()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 1, 1000, [](int, int) { return 0.1; });
        auto view = ShowView(doc, 1000, 128);
        view->OnPlay();
        QCOMPARE(view->m_messages, QStringList{"Unable to open sound output device."});
        QVERIFY(!view->GetPlayback().m_bPlaying);
    }

    void fitAmplitudeBringsThePeakToTheLaneEdge()
    {
        // A -20 dBFS tone: at full scale it spans only 13 of the lane's rows.
        CQuorvelDoc doc;
        FillDoc(doc, 1, 20000, [](int f, int) { return 0.1 * std::sin(f * 0.05); });
        auto view = ShowView(doc, 1000, 128);
        const QImage unamplified = Grab(*view);
        auto extent = [](const QImage& img) {
            const QList<int> rows = RowsOf(img, kGreen);
            return std::pair(rows.first(), rows.last());
        };
        QCOMPARE(extent(unamplified), std::pair(64 - 6 + 1, 64 + 6 + 1));

        view->OnAmplitudeFit();
        QCOMPARE(view->m_repaints, QList<QRect>{QRect(0, 0, 1000, 128)});  // the waveform band only
        // The peaks reach the lane's outermost trace rows, as full scale does.
        QCOMPARE(extent(view->GetBackingImage()), std::pair(2, 127));
        // A document shown anew starts at full scale again, pixel for pixel.
        view->OnInitialUpdate();
        QCOMPARE(Grab(*view), unamplified);
    }

    void seamPaneShowsTheSpliceAsTheLoopMoves()
    {
        // Frames 700 … 999 hold 0.5, the loop start's 200 … 699 −0.5, and
        // what follows frame 1000 0.25.
        CQuorvelDoc doc;
        FillDoc(doc, 1, 2000, [](int f, int) { return f >= 1000 ? 0.25 : f >= 700 ? 0.5 : f >= 200 ? -0.5 : 0.0; });
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = 200;
        doc.m_nLoopEnd = 1000;
        auto view = ShowView(doc, 1000, 128);  // two frames a pixel
        CSeamView seam(doc);
        seam.SetSpanMs(100 * 1000.0 / 44100);  // 100 frames each side, 2 pixels a frame
        seam.resize(400, 100);
        auto rows = [&](int x, QRgb c) { return RowsOf(seam.grab().toImage(), c, x); };
        // Rows 1 … 98 around row 50: the peak 0.5 lies 48 rows off it.
        QCOMPARE(rows(100, kSeamPlayed), QList<int>{50 - 48});  // the loop end's 0.5
        QCOMPARE(rows(300, kSeamPlayed), QList<int>{50 + 48});  // then the loop start's −0.5
        QCOMPARE(rows(300, kSeamNatural), QList<int>{50 - 24});  // over the 0.25 after the loop end

        // The user moves the loop end into the 0.25 part.
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(750, 10));
        QCOMPARE(doc.m_nLoopEnd, 1500);
        QCOMPARE(rows(100, kSeamPlayed), QList<int>{50 - 24});
        QCOMPARE(rows(300, kSeamPlayed), QList<int>{50 + 48});

        // The wheel shows less (away from the user) or more, within 1 … 1000 ms.
        for (int delta : {120, -120, -120}) {
            QWheelEvent e({}, {}, {}, {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&seam, &e);
        }
        QCOMPARE(seam.GetFramesPerSide(), 200);
        seam.SetSpanMs(1e9);
        QCOMPARE(seam.GetSpanMs(), CSeamView::kMaxSpanMs);
        view->OnRemoveLoop();
        QVERIFY(rows(100, kSeamPlayed).isEmpty());  // no loop, no seam
    }

    void firstUpdateFitsAndAsksTheFrameToFit()
    {
        CQuorvelDoc doc;
        FillDoc(doc, 2, 50000, [](int f, int c) { return c ? 0.0 : (f % 100) / 100.0 - 0.5; },
                [](int b, int r) { return r ? -1.0 : 1.0 / (1 + b % 5); });
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = 1000;
        doc.m_nLoopEnd = 40000;
        auto view = std::make_unique<CSpyView>(doc);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->resize(1000, 512);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QSignalSpy spy(view.get(), &CQuorvelView::contentSizeChanged);
        view->OnInitialUpdate();
        QCOMPARE(view->GetZoom(), 0.02);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy[0][1].toBool(), true);   // the document update may only shrink
        QCOMPARE(spy[1][1].toBool(), false);  // the first show fits both ways
        QCOMPARE(spy[1][0].toSize(), QSize(1000, 512));

        // The offscreen renderer shows the same picture.
        const QImage rendered = RenderViewImage(doc, 1000);
        QCOMPARE(rendered.size(), QSize(1000, 512));
        QCOMPARE(rendered, Grab(*view));

        // A document reset reaches the view through UpdateAllViews.
        view->ClearLog();
        doc.DeleteContents();
        QCOMPARE(view->m_nFullRepaints, 1);
        QCOMPARE(view->GetContentSize(), QSize(800, 384));
    }
};

QTEST_MAIN(QuorvelViewTest)
#include "QuorvelViewTest.moc"
