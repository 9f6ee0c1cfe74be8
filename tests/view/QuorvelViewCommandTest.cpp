// CQuorvelView's commands, playback and seam pane in an offscreen window:
// what each edit repaints, the frames it draws from afterwards, failures it
// reports, the play cursor and the first fit.
#include "ViewWidgetTestSupport.h"

using namespace viewtest;

class QuorvelViewCommandTest : public QObject {
    Q_OBJECT

private slots:
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

QTEST_MAIN(QuorvelViewCommandTest)
#include "QuorvelViewCommandTest.moc"
