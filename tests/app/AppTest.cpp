// The whole shell on the offscreen platform: start-up, command line, title,
// recent files, File commands, accelerators reaching the real view, the
// three dialogs as the user meets them, and the question about unsaved changes.
#include "analysis/ComputeFFTDlg.h"
#include "app/AboutDlg.h"
#include "app/LoopsPanel.h"
#include "app/MainFrame.h"
#include "app/QuorvelApp.h"
#include "app/RecentFileList.h"
#include "app/Resource.h"
#include "document/QuorvelDoc.h"
#include "document/SelectSampleDlg.h"
#include "playback/VirtualWaveOut.h"
#include "view/QuorvelView.h"
#include "view/SeamView.h"

#include "ModalHelper.h"
#include "TempFolder.h"
#include "SampleBytes.h"

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMenuBar>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QStatusBar>
#include <QtTest>

#include <cmath>
#include <functional>
#include <cstdint>
#include <tuple>

#include "AppTestSupport.h"

class AppTest : public QObject, public CShellFixture {
    Q_OBJECT
private slots:
    void initTestCase() { PrepareFolder(); }

    void init() { ClearSettings(); }

    void startsWithAnEmptyUntitledDocument()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({}));
        QVERIFY(app.GetMainFrame()->isVisible());
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("Untitled - Ringseam"));
        QVERIFY(!app.GetDocument().m_bLoaded);
        QCOMPARE(app.GetMainFrame()->GetView(), static_cast<QWidget*>(app.GetView()));
    }

    void opensTheFileGivenOnTheCommandLine()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("tone.wav - Ringseam"));
        QVERIFY(app.GetDocument().m_bLoaded);
        QCOMPARE(app.GetDocument().m_nFrameCount, 30000);
        QCOMPARE(app.GetRecentFileList().GetList(), QStringList{QFileInfo(Path("tone.wav")).absoluteFilePath()});
        // The window was fitted to the view's content.
        QTRY_COMPARE(app.GetView()->viewport()->height(), app.GetView()->GetTotalSize().height());
    }

    void theLoopsPanelEditsTheListAndChoosesTheLoopTheCommandsActOn()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        CQuorvelDoc& doc = app.GetDocument();
        app.GetMainFrame()->OnCmdMsg(ID_VIEW_LOOPS);
        auto* panel = app.GetMainFrame()->findChild<CLoopsPanel*>();
        QVERIFY(panel && panel->isVisible());
        auto* add = panel->findChild<QPushButton*>(QStringLiteral("addLoop"));
        add->click();  // without a loop: the whole sample
        add->click();  // a copy of the chosen loop, then chosen
        QTableWidget* table = panel->GetTable();
        table->item(1, CLoopsPanel::End)->setText(QStringLiteral("20000"));
        table->item(1, CLoopsPanel::Start)->setText(QStringLiteral("40000"));  // past the end: refused
        QVERIFY(doc.GetLoops() == (std::vector<CLoopPoints>{{0, 30000, 0}, {0, 20000, 0}}));
        QCOMPARE(table->item(1, CLoopsPanel::Start)->text(), QStringLiteral("0"));
        // 20000 frames of the 440 Hz tone hold 199.55 periods: 3.93 ct sharp.
        QCOMPARE(table->item(1, CLoopsPanel::Detune)->text(), QStringLiteral("+3.93 ct"));
        // Remove Loop acts on the chosen loop.
        app.GetMainFrame()->OnCmdMsg(ID_EDIT_REMOVE_LOOP);
        QVERIFY(doc.GetLoops() == (std::vector<CLoopPoints>{{0, 30000, 0}}));
        QVERIFY(doc.IsModified());
        doc.SetModifiedFlag(false);
    }

    void theWindowFitsTheViewWithoutScrollBars()
    {
        QVERIFY(WriteToneWav(Path("stereo.wav"), 60000, 2));
        CTestApp app;
        QVERIFY(app.InitInstance({Path("stereo.wav")}));
        CQuorvelView* view = app.GetView();
        QTRY_COMPARE(view->viewport()->size(), view->GetTotalSize());
        QVERIFY(!view->horizontalScrollBar()->isVisible());
        QVERIFY(!view->verticalScrollBar()->isVisible());
        // The width stayed; only the height follows the content.
        QCOMPARE(view->GetTotalSize().width(), view->viewport()->width());
    }

    void aFileThatCannotBeOpenedEndsStartUpAfterItsMessage()
    {
        CTestApp app;
        BoxSeen seen;
        AnswerNextModal([&](QWidget* w) { seen = CloseMessageBox(w); });
        QVERIFY(!app.InitInstance({Path("missing.wav")}));
        QCOMPARE(seen.strCaption, QStringLiteral("Ringseam"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QVERIFY(!seen.strText.isEmpty());
        QVERIFY(!app.GetMainFrame()->isVisible());
    }

    void cancelledComputingFftEndsTheOpenSilentlyWithAnEmptyDocument()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({}));
        // Long enough that the worker is still busy when the dialog is cancelled.
        QVERIFY(WriteToneWav(Path("long.wav"), 44100 * 120));
        bool sawProgress = false;
        BoxSeen seen;
        QPointer<QTimer> boxWatch;
        AnswerNextModal([&](QWidget* w) {
            auto* dlg = qobject_cast<CComputeFFTDlg*>(w);
            sawProgress = dlg != nullptr;
            if (dlg)
                QTest::mouseClick(dlg->GetCancelButton(), Qt::LeftButton);
            boxWatch = AnswerNextModal([&](QWidget* box) { seen = CloseMessageBox(box); });
        });
        QVERIFY(!app.OpenDocumentFile(Path("long.wav")));
        delete boxWatch;
        QVERIFY(sawProgress);
        QCOMPARE(seen.strText, QString());  // the user's cancel is no failure
        QVERIFY(!app.GetDocument().m_bLoaded);
        QCOMPARE(app.GetDocument().m_nFrameCount, 0);
        QCOMPARE(app.GetDocument().GetPathName(), std::string());
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("Untitled - Ringseam"));
        QVERIFY(app.GetRecentFileList().GetList().isEmpty());
    }

    void theOpenDocumentIsNotReadAgain()
    {
        CTestApp app;
        QVERIFY(WriteToneWav(Path("again.wav"), 20000));
        QVERIFY(app.InitInstance({Path("again.wav")}));
        QVERIFY(WriteToneWav(Path("again.wav"), 25000));
        QVERIFY(app.OpenDocumentFile(Path("again.wav")));
        QCOMPARE(app.GetDocument().m_nFrameCount, 20000);
        // Reload reads the file as it is now.
        app.GetMainFrame()->OnCmdMsg(ID_EDIT_RELOAD);
        QCOMPARE(app.GetDocument().m_nFrameCount, 25000);
    }

    void recentFilesKeepSixAndPersist()
    {
        QStringList paths;
        {
            CTestApp app;
            QVERIFY(app.InitInstance({}));
            for (int i = 0; i < 8; ++i) {
                const QString p = Path(QStringLiteral("r%1.wav").arg(i));
                QVERIFY(WriteToneWav(p, 3000));
                QVERIFY(app.OpenDocumentFile(p));
                paths.prepend(QFileInfo(p).absoluteFilePath());
            }
            QCOMPARE(app.GetRecentFileList().GetList(), paths.mid(0, 6));
            // Opening one again moves it to the top instead of doubling it.
            QVERIFY(app.OpenDocumentFile(paths[3]));
            paths.move(3, 0);
            QCOMPARE(app.GetRecentFileList().GetList(), paths.mid(0, 6));
            // Named in full or, in a long temporary folder, by its file name.
            const QString first = app.GetMainFrame()->GetFileMenu()->actions().at(6)->text();
            QVERIFY2(first.startsWith(QStringLiteral("&1 ")) && first.endsWith(QFileInfo(paths[0]).fileName()),
                     qPrintable(first));
        }
        CTestApp next;
        QVERIFY(next.InitInstance({}));
        QCOMPARE(next.GetRecentFileList().GetList(), paths.mid(0, 6));

        // An entry that no longer opens leaves the list.
        QVERIFY(QFile::remove(paths[1]));
        AnswerNextModal([](QWidget* w) { CloseMessageBox(w); });
        next.GetMainFrame()->OnCmdMsg(ID_FILE_MRU_FILE1 + 1);
        QCOMPARE(next.GetRecentFileList().GetList().size(), 5);
        QVERIFY(!next.GetRecentFileList().GetList().contains(paths[1]));
    }

    void settingsLiveUnderTheProductNameAndKeepTheWindowPlacement()
    {
        // The recent-file list an earlier version kept is taken over.
        const QString tone = QFileInfo(Path("tone.wav")).absoluteFilePath();
        QSettings legacy(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Quorvel"));
        legacy.setValue(QStringLiteral("Recent File List/File1"), tone);
        legacy.sync();
        QRect placed;
        {
            CTestApp app;
            QVERIFY(app.InitInstance({}));
            QCOMPARE(app.GetRecentFileList().GetList(), QStringList{tone});
            app.GetMainFrame()->setGeometry(60, 50, 700, 480);
            placed = app.GetMainFrame()->geometry();
            QVERIFY(app.GetMainFrame()->close());
        }
        QSettings settings(QStringLiteral("Ringseam"), QStringLiteral("Ringseam"));
        QCOMPARE(settings.value(QStringLiteral("Recent File List/File1")).toString(), tone);

        // Also with a document at start-up, which would otherwise fit the
        // window to its content.
        CTestApp next;
        QVERIFY(next.InitInstance({Path("tone.wav")}));
        QCOMPARE(next.GetMainFrame()->geometry(), placed);
    }

    void saveAsAppendsTheDefaultExtension()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        app.m_strNextFileName = Path("saved");
        app.GetMainFrame()->GetCommandAction(ID_FILE_SAVE_AS)->trigger();
        QCOMPARE(app.m_nSavePrompts, 1);
        QCOMPARE(app.m_strProposed, QFileInfo(Path("tone.wav")).absoluteFilePath());
        QVERIFY(QFileInfo::exists(Path("saved.wav")));
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("saved.wav - Ringseam"));

        // An untitled document proposes its title with the first extension.
        app.OnFileNew();
        app.m_strNextFileName.clear();
        app.OnFileSaveAs();
        QCOMPARE(app.m_strProposed, QStringLiteral("Untitled.wav"));
    }

    void theFileDialogsOfferOneFilterForBothTypes()
    {
        CTestApp app;
        app.m_bRealDialogs = true;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        QStringList filters;
        QString title;
        AnswerNextModal([&](QWidget* w) {
            auto* dlg = qobject_cast<QFileDialog*>(w);
            QVERIFY(dlg);
            title = dlg->windowTitle();
            filters = dlg->nameFilters();
            // A name typed without extension: the dialog adds the first one.
            TypeFileNameAndAccept(dlg, Path("typed"));
        });
        app.GetMainFrame()->GetCommandAction(ID_FILE_SAVE_AS)->trigger();
        QCOMPARE(title, QStringLiteral("Save As"));
        QCOMPARE(filters, (QStringList{"Sample Files (.wav; .xi) (*.wav *.xi)", "All Files (*)"}));
        QVERIFY(QFileInfo::exists(Path("typed.wav")));
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("typed.wav - Ringseam"));

        // Open lists the same filter and reads what is picked.
        AnswerNextModal([&](QWidget* w) {
            auto* dlg = qobject_cast<QFileDialog*>(w);
            QVERIFY(dlg);
            filters = dlg->nameFilters();
            TypeFileNameAndAccept(dlg, Path("tone.wav"));
        });
        app.GetMainFrame()->GetCommandAction(ID_FILE_OPEN)->trigger();
        QCOMPARE(filters.first(), QStringLiteral("Sample Files (.wav; .xi) (*.wav *.xi)"));
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("tone.wav - Ringseam"));
    }

    // Play Seam, from its menu item or toolbar button, starts one second
    // before the loop end, and there again when used while playing. Its key
    // is checked with the other accelerators, the frames it sends by the
    // playback tests.
    void playSeamStartsOneSecondBeforeTheLoopEnd()
    {
        QVERIFY(WriteToneWav(Path("long.wav"), 100000));
        CTestApp app;
        QVERIFY(app.InitInstance({Path("long.wav")}));
        app.GetDocument().m_bHasLoop = true;
        app.GetDocument().m_nLoopStart = 50000;
        app.GetDocument().m_nLoopEnd = 90000;
        for (int press = 1; press <= 2; ++press) {
            app.GetMainFrame()->GetCommandAction(ID_PLAY_SEAM)->trigger();
            QCOMPARE(app.m_pWaveOut->m_nOpenCount, press);
            QCOMPARE(app.GetView()->GetPlayback().m_nPlayPos, 90000 - 44100);
        }
    }

    void acceleratorsReachTheRealView()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        CMainFrame* frame = app.GetMainFrame();
        CQuorvelView* view = app.GetView();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QSignalSpy sent(frame, &CMainFrame::commandSent);
        auto press = [&](Qt::Key key, Qt::KeyboardModifiers mods) { QTest::keyClick(view, key, mods); };

        const double fit = view->GetZoom();
        QVERIFY(fit < 1.0);
        press(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(view->GetZoom(), 1.0);
        press(Qt::Key_Z, Qt::ShiftModifier);
        QVERIFY(view->GetZoom() < 1.0);
        press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view->GetZoom(), 1.0);
        press(Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(view->GetZoom(), fit);

        // Ctrl+A is Save As, as its menu item shows (cancelled here); Ctrl+C
        // does nothing.
        press(Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(app.m_nSavePrompts, 1);
        QCOMPARE(app.m_strProposed, QFileInfo(Path("tone.wav")).absoluteFilePath());
        press(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(app.m_nSavePrompts, 1);

        press(Qt::Key_K, Qt::ControlModifier);  // Find Loop
        QVERIFY(app.GetDocument().m_bHasLoop);
        press(Qt::Key_3, Qt::ControlModifier);  // Zoom Loop
        press(Qt::Key_Delete, Qt::ControlModifier);  // Remove Loop
        QVERIFY(!app.GetDocument().m_bHasLoop);

        // Alt+P plays through the device (not the Play menu's access key).
        press(Qt::Key_P, Qt::AltModifier);
        QVERIFY(!QApplication::activePopupWidget());
        QCOMPARE(app.m_pWaveOut->m_nOpenCount, 1);
        QVERIFY(view->GetPlayback().m_bPlaying);
        press(Qt::Key_S, Qt::AltModifier);
        QVERIFY(!view->GetPlayback().m_bPlaying);

        press(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(app.m_nOpenPrompts, 1);
        press(Qt::Key_S, Qt::ControlModifier);  // Save to its own name: no dialog
        QCOMPARE(app.m_nSavePrompts, 1);
        press(Qt::Key_L, Qt::ControlModifier);  // Find Loop + Crossfade
        QVERIFY(app.GetDocument().m_bHasLoop);
        press(Qt::Key_R, Qt::ControlModifier);  // Reload keeps the loop
        QVERIFY(app.GetDocument().m_bHasLoop);
        // The crossfade is unsaved: New asks first.
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Discard}, [&] { press(Qt::Key_N, Qt::ControlModifier); }),
                 QStringList{"Ringseam: Save changes to tone.wav?"});
        QVERIFY(!app.GetDocument().m_bLoaded);
        QCOMPARE(ShownTitle(frame), QStringLiteral("Untitled - Ringseam"));

        QList<int> ids;
        for (const QList<QVariant>& args : sent)
            ids << args.at(0).toInt();
        QCOMPARE(ids, (QList<int>{ID_VIEW_ZOOM_1_1, ID_VIEW_ZOOM_OUT, ID_VIEW_ZOOM_IN, ID_VIEW_ZOOM_ALL,
                                  ID_SAVE_AS_SHORTCUT, ID_EDIT_COPY, ID_EDIT_FIND_LOOP, ID_VIEW_ZOOM_LOOP,
                                  ID_EDIT_REMOVE_LOOP, ID_PLAY_PLAY, ID_PLAY_STOP, ID_FILE_OPEN, ID_FILE_SAVE,
                                  ID_EDIT_FIND_LOOP_CROSSFADE, ID_EDIT_RELOAD, ID_FILE_NEW}));
    }

    // The status panes show the numbers after a click and after Find Loop;
    // they and the seam view follow every change of the loop or the frames.
    void statusPanesAndSeamViewFollowTheLoopAndTheFrames()
    {
        struct CPaintCounter : QObject {
            int n = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                n += e->type() == QEvent::Paint;
                return false;
            }
        } paints;
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        CMainFrame* frame = app.GetMainFrame();
        CQuorvelView* view = app.GetView();
        CQuorvelDoc& doc = app.GetDocument();
        frame->OnCmdMsg(ID_VIEW_SEAM);
        QWidget* seam = frame->GetSeamDock()->widget();
        QVERIFY(qobject_cast<CSeamView*>(seam));
        QTRY_VERIFY(seam->isVisible() && seam->height() > 50);
        seam->installEventFilter(&paints);
        auto run = [&](int id) {  // the command, then the seam view's repaint
            QTest::qWait(20);
            paints.n = 0;
            frame->OnCmdMsg(id);
            QTRY_VERIFY2(paints.n > 0, qPrintable(QString::number(id)));
        };
        auto* bar = frame->statusBar();
        auto pane = [&](const char* name) { return bar->findChild<QLabel*>(QString::fromLatin1(name))->text(); };
        // Between the prompt and the lock indicators, in this order.
        QList<int> xs;
        for (const char* name : {"idle", "paneLoop", "panePointer", "paneScore", "indicatorCAP"})
            xs << bar->findChild<QLabel*>(QString::fromLatin1(name))->x();
        QVERIFY(std::is_sorted(xs.begin(), xs.end()));
        QCOMPARE(pane("paneLoop"), QStringLiteral("No loop"));

        frame->OnCmdMsg(ID_VIEW_ZOOM_1_1);  // one frame a pixel ...
        view->horizontalScrollBar()->setValue(0);  // ... from the first frame on
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(0, 20));
        QCOMPARE(pane("panePointer"), QStringLiteral("Frame 0, 0.000 s"));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(441, 20));
        QCOMPARE(pane("panePointer"), QStringLiteral("Frame 441, 0.010 s"));
        QCOMPARE(pane("paneLoop"), QStringLiteral("441–30000, 29559 frames, 0.670 s"));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(view->viewport(), &leave);
        QCOMPARE(pane("panePointer"), QString());

        run(ID_EDIT_FIND_LOOP);
        const int start = doc.m_nLoopStart;
        const int end = doc.m_nLoopEnd;
        QVERIFY(pane("paneLoop").startsWith(QStringLiteral("%1–%2, %3 frames, ").arg(start).arg(end).arg(end - start)));
        // The score the command line's score command prints for this loop.
        const double score = doc.SeamScore(start, end);
        QVERIFY2(qAbs(pane("paneScore").mid(6).toDouble() - score) <= score * 1e-3, qPrintable(pane("paneScore")));

        run(ID_EDIT_FIND_LOOP_CROSSFADE);
        run(ID_EDIT_RELOAD);
        run(ID_EDIT_REMOVE_LOOP);
        QCOMPARE(pane("paneLoop") + pane("paneScore"), QStringLiteral("No loop"));
        AnswerBoxesDuring({QMessageBox::Discard}, [&] { frame->OnCmdMsg(ID_FILE_NEW); });
        QCOMPARE(pane("paneLoop"), QString());
    }

    void anInstrumentAsksWhichSampleToLoad()
    {
        const QString xi = Path("two.xi");
        QVERIFY(WriteTwoSampleXi(xi));
        // Runs `action`, cancelling the Select Sample dialog it shows; returns
        // the dialog's prompt, then the text of any message box that followed.
        auto cancelChoiceDuring = [](const std::function<void()>& action) {
            QStringList seen;
            QPointer<QTimer> boxWatch;
            QPointer<QTimer> watch = AnswerNextModal([&](QWidget* w) {
                if (auto* dlg = qobject_cast<CSelectSampleDlg*>(w)) {
                    seen << dlg->GetPromptLabel()->text();
                    dlg->reject();
                }
                boxWatch = AnswerNextModal([&](QWidget* box) { seen << CloseMessageBox(box).strText; });
            });
            action();
            delete watch;
            delete boxWatch;
            return seen;
        };
        const QStringList prompt{"Selected instrument has 2 samples inside. Please select sample number to use."};

        // Cancel at start-up ends the open without a message; the window stays
        // with an empty document.
        CTestApp app;
        QCOMPARE(cancelChoiceDuring([&] { QVERIFY(app.InitInstance({xi})); }), prompt);
        QVERIFY(app.GetMainFrame()->isVisible());
        QVERIFY(!app.GetDocument().m_bLoaded);
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("Untitled - Ringseam"));

        // A wrong number is refused in place; the second sample is then taken.
        BoxSeen refused;
        AnswerNextModal([&](QWidget* w) {
            auto* dlg = qobject_cast<CSelectSampleDlg*>(w);
            QVERIFY(dlg);
            dlg->GetNumberEdit()->setText(QStringLiteral("3"));
            AnswerNextModal([&, dlg](QWidget* box) {
                refused = CloseMessageBox(box);
                dlg->GetNumberEdit()->setText(QStringLiteral("2"));
                QTimer::singleShot(0, dlg, [dlg] { dlg->GetOkButton()->click(); });
            });
            QTimer::singleShot(0, dlg, [dlg] { dlg->GetOkButton()->click(); });
        });
        QVERIFY(app.OpenDocumentFile(xi));
        QCOMPARE(refused.strText, QStringLiteral("Entered value is incorrect."));
        QVERIFY(app.GetDocument().m_bFromXI);
        QCOMPARE(app.GetDocument().m_nFrameCount, 500);
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("two.xi - Ringseam"));

        // Reload asks again; its Cancel keeps the document as it was, silently.
        QCOMPARE(cancelChoiceDuring([&] { app.GetMainFrame()->OnCmdMsg(ID_EDIT_RELOAD); }), prompt);
        QCOMPARE(app.GetDocument().m_nFrameCount, 500);

        // Cancelled from the recent-file list: the entry stays, as it did not
        // fail, and so does the document open before.
        QVERIFY(app.OpenDocumentFile(Path("tone.wav")));
        QCOMPARE(cancelChoiceDuring([&] { app.GetMainFrame()->OnCmdMsg(ID_FILE_MRU_FILE1 + 1); }), prompt);
        QCOMPARE(app.GetDocument().m_nFrameCount, 30000);
        QCOMPARE(app.GetRecentFileList().GetList().size(), 2);
    }

    void aboutFromTheHelpMenu()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({}));
        QString caption;
        AnswerNextModal([&](QWidget* w) {
            caption = w->windowTitle();
            if (auto* about = qobject_cast<CAboutDlg*>(w))
                about->accept();
        });
        app.GetMainFrame()->GetCommandAction(ID_APP_ABOUT)->trigger();
        QCOMPARE(caption, QStringLiteral("About Ringseam"));
    }

    void selectSampleAcceptsOnlyNumbersOfOfferedSamples_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("accepted");
        QTest::newRow("first") << "1" << 1;
        QTest::newRow("last") << "3" << 3;
        QTest::newRow("blanks") << " 2 " << 2;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("past the end") << "4" << 0;
        QTest::newRow("negative") << "-1" << 0;
        QTest::newRow("letters") << "two" << 0;
        QTest::newRow("trailing letters") << "2x" << 0;
        QTest::newRow("empty") << "" << 0;
    }

    void selectSampleAcceptsOnlyNumbersOfOfferedSamples()
    {
        QFETCH(QString, text);
        QFETCH(int, accepted);
        CSelectSampleDlg dlg(3);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Select Sample"));
        QCOMPARE(dlg.GetPromptLabel()->text(),
                 QStringLiteral("Selected instrument has 3 samples inside. Please select sample number to use."));
        QCOMPARE(dlg.GetNumberEdit()->text(), QStringLiteral("1"));
        QCOMPARE(dlg.GetRangeLabel()->text(), QStringLiteral("Sample &number (1 to 3):"));
        dlg.show();
        dlg.GetNumberEdit()->setText(text);
        BoxSeen seen;
        if (!accepted)
            AnswerNextModal([&](QWidget* w) { seen = CloseMessageBox(w); });
        QTest::mouseClick(dlg.GetOkButton(), Qt::LeftButton);
        if (accepted) {
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(dlg.m_nSample, accepted);
        } else {
            QCOMPARE(seen.strText, QStringLiteral("Entered value is incorrect."));
            QCOMPARE(seen.strCaption, QStringLiteral("Error"));
            QCOMPARE(seen.icon, QMessageBox::Critical);
            QVERIFY(dlg.isVisible());  // still open for another try
        }
    }

    void selectSampleTakesATypedNumberOnEnterAndCancelRefuses()
    {
        for (const QString& typed : {QString(), QStringLiteral("2")}) {
            CSelectSampleDlg dlg(2);
            QWidget* focused = nullptr;
            QTimer::singleShot(0, &dlg, [&] {
                focused = dlg.focusWidget();
                QTest::keyClicks(focused ? focused : &dlg, typed);
                QTest::keyClick(focused ? focused : &dlg, Qt::Key_Return);
            });
            QCOMPARE(dlg.exec(), int(QDialog::Accepted));
            QCOMPARE(focused, static_cast<QWidget*>(dlg.GetNumberEdit()));
            QCOMPARE(dlg.m_nSample, typed.isEmpty() ? 1 : 2);
        }
        {
            CSelectSampleDlg dlg(2);
            QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
            QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        }
    }

    // Every kind of edit marks the title and makes New, Open, a recent file,
    // Exit and the close button ask first; Cancel keeps everything.
    void everyKindOfEditIsAskedAboutAndCancelKeepsIt_data()
    {
        QTest::addColumn<int>("command");  // 0: a click in the view, by the row's name
        QTest::newRow("drag loop start") << 0;
        QTest::newRow("drag loop end") << 0;
        QTest::newRow("Find Loop") << ID_EDIT_FIND_LOOP;
        QTest::newRow("Find Loop + Crossfade") << ID_EDIT_FIND_LOOP_CROSSFADE;
        QTest::newRow("Auto Loop") << ID_EDIT_AUTO_LOOP;
        QTest::newRow("Auto Loop + Crossfade") << ID_EDIT_AUTO_LOOP_CROSSFADE;
        QTest::newRow("Detect Pitch") << ID_EDIT_DETECT_PITCH;
        QTest::newRow("Remove Loop of a saved loop") << ID_EDIT_REMOVE_LOOP;
        QTest::newRow("comb filter") << ID_EDIT_SPECTRAL_FILTER;
        QTest::newRow("Reload into a saved copy") << ID_EDIT_RELOAD;
    }

    void everyKindOfEditIsAskedAboutAndCancelKeepsIt()
    {
        QFETCH(int, command);
        CTestApp app;
        Start(app);
        CMainFrame* frame = app.GetMainFrame();
        if (command == 0) {
            const bool bStart = QByteArray(QTest::currentDataTag()).endsWith("start");
            QTest::mouseClick(app.GetView()->viewport(), bStart ? Qt::LeftButton : Qt::RightButton, {},
                              QPoint(bStart ? 100 : 200, 20));
        } else if (command == ID_EDIT_REMOVE_LOOP) {
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
            QVERIFY(app.OnFileSave());
        } else if (command == ID_EDIT_RELOAD) {
            // The copy holds the crossfade; Reload brings back the frames of
            // the file opened, which the copy does not have.
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP_CROSSFADE);
            app.m_strNextFileName = Path("copy.wav");
            QVERIFY(app.OnFileSaveAs());
            QCOMPARE(ShownTitle(frame), QStringLiteral("copy.wav - Ringseam"));
        }
        if (command)
            frame->OnCmdMsg(command);
        const QString title = QString::fromStdString(app.GetDocument().GetTitle());
        QCOMPARE(ShownTitle(frame), title + QStringLiteral("* - Ringseam"));

        const auto before = StateOf(app);
        app.m_strNextFileName = Path("other.wav");  // what Open picks
        for (int nID : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_MRU_FILE1 + 1, ID_APP_EXIT, 0}) {
            // 0: the close button
            const QStringList asked =
                AnswerBoxesDuring({QMessageBox::Cancel}, [&] { nID ? frame->OnCmdMsg(nID) : frame->close(); });
            QCOMPARE(asked, QStringList{QStringLiteral("Ringseam: Save changes to %1?").arg(title)});
            QVERIFY2(StateOf(app) == before, qPrintable(QString::number(nID)));
        }
    }

    void theOtherAnswersDiscardSaveOrKeepEverythingWhenTheSaveFails()
    {
        CTestApp app;
        Start(app);
        CMainFrame* frame = app.GetMainFrame();

        // Discard: New goes ahead and the loop found is not written.
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Discard}, [&] { frame->OnCmdMsg(ID_FILE_NEW); }).size(), 1);
        QCOMPARE(ShownTitle(frame), QStringLiteral("Untitled - Ringseam"));
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        QVERIFY(!app.GetDocument().m_bHasLoop);
        // Discard, then Open: the file opened carries no mark of the edit.
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Discard}, [&] { app.OpenDocumentFile(Path("other.wav")); }).size(), 1);
        QCOMPARE(ShownTitle(frame), QStringLiteral("other.wav - Ringseam"));
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));

        // Save clears the mark; reading the own file again is no change, so
        // nothing is asked.
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        frame->OnCmdMsg(ID_FILE_SAVE);
        frame->OnCmdMsg(ID_EDIT_RELOAD);
        QCOMPARE(ShownTitle(frame), QStringLiteral("edit.wav - Ringseam"));
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Cancel}, [&] { app.OpenDocumentFile(Path("other.wav")); }),
                 QStringList());

        // Save from the question: the removed loop is written, then the other
        // file opens.
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        QVERIFY(app.GetDocument().m_bHasLoop);
        frame->OnCmdMsg(ID_EDIT_REMOVE_LOOP);
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Save}, [&] { app.OpenDocumentFile(Path("other.wav")); }).size(), 1);
        QCOMPARE(ShownTitle(frame), QStringLiteral("other.wav - Ringseam"));
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        QVERIFY(!app.GetDocument().m_bHasLoop);

        // An untitled document with changes: the frames read back after New.
        app.OnFileNew();
        frame->OnCmdMsg(ID_EDIT_RELOAD);
        const auto before = StateOf(app);
        QCOMPARE(std::get<4>(before), QStringLiteral("Untitled* - Ringseam"));
        // Save asks for a name; cancelling it cancels the exit.
        app.m_strNextFileName.clear();
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Save}, [&] { frame->OnCmdMsg(ID_APP_EXIT); }),
                 QStringList{"Ringseam: Save changes to Untitled?"});
        QCOMPARE(app.m_nSavePrompts, 1);
        QVERIFY(StateOf(app) == before);
        // A name the document cannot be saved under: reported, nothing goes.
        app.m_strNextFileName = Path("take.aif");
        const QStringList asked =
            AnswerBoxesDuring({QMessageBox::Save, QMessageBox::Ok}, [&] { frame->OnCmdMsg(ID_FILE_NEW); });
        QCOMPARE(asked.value(1), QStringLiteral("Ringseam: Failed to save document."));
        QVERIFY(!QFileInfo::exists(Path("take.aif")));
        QVERIFY(StateOf(app) == before);

        // Discard on closing: the window goes.
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Discard}, [&] { frame->close(); }).size(), 1);
        QVERIFY(!frame->isVisible());
    }
};

QTEST_MAIN(AppTest)
#include "AppTest.moc"
