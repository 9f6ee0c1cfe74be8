// Editing in the shell: undo and redo, typed and nudged loop points, the
// time ruler, opens that fail or are cancelled, the window's size, Zoom Loop
// at the end of the sample, and the verdict on a loop too short.
#include "AppTestSupport.h"
#include "TempFolder.h"

#include <QInputDialog>
#include <QToolBar>

class EditingTest : public QObject, public CShellFixture {
    Q_OBJECT
private slots:
    void initTestCase() { PrepareFolder(); }

    void init() { ClearSettings(); }

    void undoAndRedoTakeBackEveryEditByMenuAndKey()
    {
        CTestApp app;
        Start(app);
        CMainFrame* frame = app.GetMainFrame();
        CQuorvelView* view = app.GetView();
        CQuorvelDoc& doc = app.GetDocument();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        auto item = [&](int id) { return frame->GetCommandAction(id)->text(); };
        QCOMPARE(item(ID_EDIT_UNDO), QStringLiteral("&Undo\tAlt+Backspace"));
        QVERIFY(!frame->GetCommandAction(ID_EDIT_UNDO)->isEnabled());
        const QList<QAction*> buttons = frame->GetToolBar()->actions();
        QCOMPARE(buttons.mid(5, 2), (QList<QAction*>{frame->GetCommandAction(ID_EDIT_UNDO),
                                                     frame->GetCommandAction(ID_EDIT_REDO)}));

        // A drag, press to release, is one step.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(100, 20));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(150, 20));
        const auto dragged = std::make_tuple(doc.m_pSamples, doc.m_bHasLoop, doc.m_nLoopStart, doc.m_nLoopEnd);
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP_CROSSFADE);
        const auto crossfaded = std::make_tuple(doc.m_pSamples, doc.m_bHasLoop, doc.m_nLoopStart, doc.m_nLoopEnd);
        QCOMPARE(item(ID_EDIT_UNDO), QStringLiteral("&Undo Find Loop + Crossfade\tAlt+Backspace"));

        QTest::keyClick(view, Qt::Key_Backspace, Qt::AltModifier);
        QVERIFY(std::make_tuple(doc.m_pSamples, doc.m_bHasLoop, doc.m_nLoopStart, doc.m_nLoopEnd) == dragged);
        QCOMPARE(item(ID_EDIT_UNDO), QStringLiteral("&Undo Move Loop Start\tAlt+Backspace"));
        QCOMPARE(item(ID_EDIT_REDO), QStringLiteral("&Redo Find Loop + Crossfade\tCtrl+Y"));
        QTest::keyClick(view, Qt::Key_Backspace, Qt::AltModifier);
        QVERIFY(!doc.m_bHasLoop);
        QCOMPARE(ShownTitle(frame), QStringLiteral("edit.wav - Ringseam"));  // back at the file
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(ShownTitle(frame), QStringLiteral("edit.wav* - Ringseam"));
        QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(std::make_tuple(doc.m_pSamples, doc.m_bHasLoop, doc.m_nLoopStart, doc.m_nLoopEnd) == crossfaded);

        // Trimmed frames have no file to re-read: Reload keeps the history,
        // and after the trim is undone it reads the file again.
        doc.BeginUndoStep("Trim Start");
        doc.Trim(CTrimCut{100, 0, 0, 0});
        doc.EndUndoStep();
        frame->OnCmdMsg(ID_EDIT_RELOAD);
        QCOMPARE(doc.m_nFrameCount, 29900);
        frame->OnCmdMsg(ID_EDIT_UNDO);
        QCOMPARE(doc.m_nFrameCount, 30000);
        // Reload forgets the history.
        frame->OnCmdMsg(ID_EDIT_RELOAD);
        QVERIFY(!frame->GetCommandAction(ID_EDIT_UNDO)->isEnabled());
    }

    void theLoopsPanelsEditsAreStepsOfTheirOwnAndExportChangesNothing()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        CMainFrame* frame = app.GetMainFrame();
        CQuorvelDoc& doc = app.GetDocument();
        frame->OnCmdMsg(ID_VIEW_LOOPS);
        auto* panel = frame->findChild<CLoopsPanel*>();
        QTableWidget* table = panel->GetTable();
        QLineEdit* release = panel->GetReleaseEdit();
        auto click = [&](const char* name) { panel->findChild<QPushButton*>(QString::fromLatin1(name))->click(); };
        auto undoText = [&] { return frame->GetCommandAction(ID_EDIT_UNDO)->text(); };
        auto state = [&] { return std::make_tuple(doc.GetLoops(), doc.m_nRelease); };
        const std::pair<const char*, std::function<void()>> edits[] = {
            {"Add Loop", [&] { click("addLoop"); }},
            {"Set Loop 1", [&] { table->item(0, CLoopsPanel::Start)->setText(QStringLiteral("1000")); }},
            {"Add Loop", [&] { click("addLoop"); }},
            {"Set Loop 2", [&] { table->item(1, CLoopsPanel::End)->setText(QStringLiteral("20000")); }},
            {"Move Loop Up", [&] { click("loopUp"); }},
            {"Set Release Marker",
             [&] {
                 release->setText(QStringLiteral("25000"));
                 QTest::keyClick(release, Qt::Key_Return);
             }},
            {"Find Release", [&] { frame->OnCmdMsg(ID_EDIT_FIND_RELEASE); }},
            {"Move Release Marker",
             [&] {
                 QTest::mousePress(app.GetView()->viewport(), Qt::MiddleButton, {}, QPoint(100, 20));
                 QTest::mouseRelease(app.GetView()->viewport(), Qt::MiddleButton, {}, QPoint(100, 20));
             }},
            // Run on the second loop, which takes the first place meanwhile.
            {"Remove Loop",
             [&] {
                 app.GetView()->SetActiveLoop(1);
                 frame->OnCmdMsg(ID_EDIT_REMOVE_LOOP);
             }},
        };
        std::vector<decltype(state())> states{state()};
        for (const auto& [name, edit] : edits) {
            edit();
            QCOMPARE(undoText(), QStringLiteral("&Undo %1\tAlt+Backspace").arg(QLatin1String(name)));
            QVERIFY2(state() != states.back(), name);
            states.push_back(state());
        }
        // Exporting a loop writes another file and leaves the document be.
        AnswerNextModal([&](QWidget* w) { TypeFileNameAndAccept(qobject_cast<QFileDialog*>(w), Path("loop.wav")); });
        frame->OnCmdMsg(ID_FILE_EXPORT_LOOP);
        QVERIFY(QFileInfo::exists(Path("loop.wav")));
        QCOMPARE(undoText(), QStringLiteral("&Undo Remove Loop\tAlt+Backspace"));
        QVERIFY(state() == states.back() && doc.IsModified());
        for (std::size_t i = states.size() - 1; i > 0; --i) {
            frame->OnCmdMsg(ID_EDIT_UNDO);
            QVERIFY2(state() == states[i - 1], edits[i - 1].first);
        }
        QVERIFY(!doc.IsModified());
        for (std::size_t i = 1; i < states.size(); ++i) {
            frame->OnCmdMsg(ID_EDIT_REDO);
            QVERIFY2(state() == states[i], edits[i - 1].first);
        }
    }

    void keysNudgeTheMarkerSetLastScrollAndPlay()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));  // 440 Hz: a period of about 100 frames
        CQuorvelView* view = app.GetView();
        CQuorvelDoc& doc = app.GetDocument();
        app.GetMainFrame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.GetMainFrame()));
        view->SetLoopPoints(1000, 20000, "Set Loop");
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(view->GetGeometry().FrameToX(20000), 20));
        const int end = doc.m_nLoopEnd;  // the marker set last: the end
        struct Key { Qt::Key key; Qt::KeyboardModifiers mods; int low, high; };
        for (const Key& k : {Key{Qt::Key_Right, {}, 1, 1}, Key{Qt::Key_Left, {}, -1, -1},
                             Key{Qt::Key_Right, Qt::ControlModifier, 1, 51},  // the next zero crossing
                             Key{Qt::Key_Left, Qt::ShiftModifier, -101, -99}}) {  // one period back
            const int from = doc.m_nLoopEnd;
            QTest::keyClick(view, k.key, k.mods);
            QVERIFY2(doc.m_nLoopEnd - from >= k.low && doc.m_nLoopEnd - from <= k.high,
                     qPrintable(QString::number(doc.m_nLoopEnd - from)));
            QCOMPARE(doc.m_nLoopStart, 1000);
        }
        QVERIFY(doc.m_nLoopEnd != end);
        QCOMPARE(app.GetMainFrame()->GetCommandAction(ID_EDIT_UNDO)->text(),
                 QStringLiteral("&Undo Nudge Loop End\tAlt+Backspace"));
        app.GetMainFrame()->OnCmdMsg(ID_VIEW_ZOOM_1_1);
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(view->GetScrollPosition().x(), view->horizontalScrollBar()->maximum());
        QTest::keyClick(view, Qt::Key_PageUp);
        QCOMPARE(view->GetScrollPosition().x(), view->horizontalScrollBar()->maximum() - view->viewport()->width());
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(view->GetScrollPosition().x(), 0);
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY(view->GetPlayback().m_bPlaying);
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY(!view->GetPlayback().m_bPlaying);
    }

    void setLoopTakesTypedPointsAndRefusesOnesOutsideTheSample()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        QString refusal;
        AnswerNextModal([&](QWidget* w) {
            auto* dlg = qobject_cast<CSetLoopDlg*>(w);
            QVERIFY(dlg);
            dlg->GetStartEdit()->setText(QStringLiteral("100"));
            dlg->GetEndEdit()->setText(QStringLiteral("30001"));
            dlg->accept();  // past the sample: refused, the dialog stays
            refusal = dlg->GetErrorLabel()->text();
            dlg->GetUnitBox()->setCurrentIndex(1);  // seconds
            QTest::keyClicks(dlg->GetLengthEdit(), QStringLiteral("0"));  // typed: the length decides
            dlg->GetLengthEdit()->setText(QStringLiteral("0.5"));
            dlg->GetStartEdit()->setText(QStringLiteral("0.1"));
            dlg->accept();
        });
        app.GetMainFrame()->OnCmdMsg(ID_EDIT_SET_LOOP);
        QVERIFY(refusal.contains(QStringLiteral("30000")));
        QCOMPARE(app.GetDocument().m_nLoopStart, 4410);
        QCOMPARE(app.GetDocument().m_nLoopEnd, 4410 + 22050);
        QVERIFY(app.GetDocument().IsModified());
    }

    void theRulerTakesAStripAboveAndOffGivesTheSamePixels()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        CQuorvelView* view = app.GetView();
        const QImage before = view->GetBackingImage().copy();
        const int height = view->viewport()->height();
        app.GetMainFrame()->OnCmdMsg(ID_VIEW_RULER);
        QVERIFY(view->IsRulerVisible());
        QCOMPARE(view->viewport()->y(), kRulerHeight);
        QTRY_COMPARE(view->viewport()->height(), height);  // the window took the strip's room
        app.GetMainFrame()->OnCmdMsg(ID_VIEW_RULER);
        QCOMPARE(view->viewport()->y(), 0);
        view->viewport()->repaint();
        QTRY_COMPARE(view->GetBackingImage(), before);
    }

    void aFailedOrCancelledOpenKeepsTheDocument()
    {
        QVERIFY(WriteTwoSampleXi(Path("two.xi")));
        QFile bad(Path("bad.wav"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("RIFFjunk") == 8);
        bad.close();
        CTestApp app;
        Start(app);
        QTest::mouseClick(app.GetView()->viewport(), Qt::RightButton, {}, QPoint(200, 20));
        app.GetDocument().SetLoops({{0, 100, 0}, {50, 400, 1}});
        app.GetDocument().SetRelease(500);
        const auto before = StateOf(app);
        for (const QString& name : {QStringLiteral("bad.wav"), QStringLiteral("missing.wav"), QStringLiteral("two.xi")}) {
            BoxSeen seen;
            QPointer<QTimer> watch;
            std::function<void()> arm = [&] {
                watch = AnswerNextModal([&](QWidget* w) {
                    auto* box = qobject_cast<QMessageBox*>(w);
                    if (box && box->text().startsWith(QStringLiteral("Save changes"))) {
                        arm();  // the open comes next
                        box->button(QMessageBox::Discard)->click();
                    } else if (auto* dlg = qobject_cast<CSelectSampleDlg*>(w)) {
                        dlg->reject();  // cancelled
                    } else {
                        seen = CloseMessageBox(w);
                    }
                });
            };
            arm();
            QVERIFY(!app.OpenDocumentFile(Path(name)));
            delete watch;
            QVERIFY2(StateOf(app) == before, qPrintable(name));
            QVERIFY(app.GetDocument().IsModified());
            QCOMPARE(seen.strText.contains(name), name != QStringLiteral("two.xi"));
        }
    }

    void openingKeepsTheWindowSizeAndNothingGrowsItPastTheScreen()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        CMainFrame* frame = app.GetMainFrame();
        const QSize screen = frame->screen()->availableGeometry().size();
        frame->resize(screen.width() - 10, screen.height() - 10);
        QTRY_COMPARE(frame->size(), QSize(screen.width() - 10, screen.height() - 10));
        const QSize user = frame->size();
        QVERIFY(app.OpenDocumentFile(Path("other.wav")));
        QTest::qWait(20);
        QVERIFY(frame->width() >= user.width() && frame->height() >= user.height());
        // The seam view takes its room inside the screen.
        frame->OnCmdMsg(ID_VIEW_SEAM);
        QTest::qWait(20);
        QVERIFY(frame->frameGeometry().height() <= screen.height());
    }

    void zoomLoopShowsBothMarkersWhenTheLoopEndsOnTheLastFrame()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        CQuorvelView* view = app.GetView();
        for (int width : {300, 700}) {
            app.GetMainFrame()->resize(width, 300);  // small enough that a scroll bar shows
            QTest::qWait(20);
            view->SetLoopPoints(29000, 30000, "Set Loop");
            view->OnZoomLoop();
            const int s = view->GetScrollPosition().x();
            const int w = view->viewport()->width();
            for (int frame : {29000, 30000}) {
                const int x = view->GetGeometry().FrameToX(frame) - s;
                QVERIFY2(x >= 0 && x < w, qPrintable(QStringLiteral("%1 at %2 of %3").arg(frame).arg(x).arg(w)));
            }
        }
    }

    void aTooShortLoopIsWarnedAboutAndItsSaveConfirmedOnce()
    {
        CTestApp app;
        Start(app);
        CQuorvelView* view = app.GetView();
        auto* verdict = app.GetMainFrame()->statusBar()->findChild<QLabel*>(QStringLiteral("paneVerdict"));
        view->SetLoopPoints(1000, 1050, "Set Loop");  // 1.1 ms
        QTRY_VERIFY2(verdict->text().contains(QStringLiteral("too short")), qPrintable(verdict->text()));
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Cancel}, [&] { QVERIFY(!app.OnFileSave()); }).size(), 1);
        QVERIFY(app.GetDocument().IsModified());
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Save}, [&] { QVERIFY(app.OnFileSave()); }).size(), 1);
        app.GetDocument().SetModifiedFlag();
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Cancel}, [&] { QVERIFY(app.OnFileSave()); }).size(), 0);
        // 100 frames of a 440 Hz tone (about one period) are long enough.
        view->SetLoopPoints(1000, 1000 + 44100 / 440 + 1, "Set Loop");
        QTRY_VERIFY2(!verdict->text().contains(QStringLiteral("too short")), qPrintable(verdict->text()));
        QVERIFY(verdict->text().startsWith(QStringLiteral("seam ")));
        // The detune against the detected pitch: 101 frames are 1.0077 periods.
        QVERIFY2(verdict->text().endsWith(QStringLiteral("detune -13.30 ct")), qPrintable(verdict->text()));
    }


    // Auto Loop... asks for a count (1 by default); asked for more than the
    // tone holds it places those found as one undo step and says how many.
    void autoLoopWithACountPlacesTheLoopsFoundAsOneStepAndSaysHowMany()
    {
        CTestApp app;
        QVERIFY(app.InitInstance({Path("tone.wav")}));
        CMainFrame* frame = app.GetMainFrame();
        CQuorvelDoc& doc = app.GetDocument();
        BoxSeen seen;
        AnswerNextModal([&](QWidget* w) {
            auto* dlg = qobject_cast<QInputDialog*>(w);
            QVERIFY(dlg);
            QCOMPARE(dlg->intValue(), 1);
            dlg->setIntValue(16);
            AnswerNextModal([&](QWidget* box) { seen = CloseMessageBox(box); });
            dlg->accept();
        });
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(app.GetView(), Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
        const int found = int(doc.GetLoops().size());
        QVERIFY(found >= 1 && found < 16);
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(seen.strText, QStringLiteral("Found %1 of the 16 loops asked for.").arg(found));
        QVERIFY(doc.IsModified());
        QCOMPARE(frame->GetCommandAction(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Auto Loop\tAlt+Backspace"));
        frame->OnCmdMsg(ID_EDIT_UNDO);
        QVERIFY(!doc.m_bHasLoop);
    }
};

QTEST_MAIN(EditingTest)
#include "EditingTest.moc"
