// CQuorvelView driven by mouse events and commands in an offscreen window,
// checked through its pixels, its document and the repaints it asks for.
#include "view/QuorvelView.h"
#include "view/RenderView.h"

#include "TestDocs.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QtTest>

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
        QCOMPARE(view->GetZoom(), 0.05);
        QCOMPARE(view->GetScrollPosition().x(), 1500);
        QCOMPARE(view->horizontalScrollBar()->value(), 1500);
        QCOMPARE(Grab(*view).pixel(0, 0), kWhite);  // the loop start marker at the left edge

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
        QCOMPARE(view->m_repaints.size(), 2);

        view->ClearLog();
        view->OnReload();  // no source file: nothing read, the band still repainted
        QCOMPARE(view->m_repaints, QList<QRect>{QRect(0, 0, 1024, 256)});
        QVERIFY(view->m_messages.isEmpty());

        view->ClearLog();
        view->OnSaveAsShortcut();
        QVERIFY(view->m_repaints.isEmpty());
        QCOMPARE(view->m_nFullRepaints, 0);

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

    void editsThatChangeFramesRepaintFromTheNewFrames()
    {
        // Long enough for the view to draw from its min/max summary.
        const int frames = 300000;
        auto wave = [](int f, int) { return 0.6 * std::sin(f * 0.01) * std::exp(-f / 200000.0); };
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string path = dir.filePath("take.wav").toStdString();
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
