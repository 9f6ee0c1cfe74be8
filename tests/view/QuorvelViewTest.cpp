// CQuorvelView driven by mouse events and commands in an offscreen window,
// checked through its pixels, its document and the repaints it asks for:
// drawing, zoom and scrolling, and the mouse.
#include "ViewWidgetTestSupport.h"

using namespace viewtest;

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
};

QTEST_MAIN(QuorvelViewTest)
#include "QuorvelViewTest.moc"
