// The main window's menus, toolbar, status bar, accelerators and routing,
// with a plain widget standing in for the view.
#include "app/MainFrame.h"

#include "app/AcceleratorTable.h"
#include "app/Resource.h"

#include "ModalHelper.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

#include <map>

class MainFrameTest : public QObject {
    Q_OBJECT
private:
    // Menu items of one top-level menu: text, or "-" for a separator.
    static QStringList MenuTexts(QMenu* menu)
    {
        QStringList texts;
        for (QAction* a : menu->actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return texts;
    }
    static QMenu* TopMenu(CMainFrame& frame, int index)
    {
        return frame.menuBar()->actions().at(index)->menu();
    }

private slots:
    void menusItemForItem()
    {
        CMainFrame frame;
        QStringList tops;
        for (QAction* a : frame.menuBar()->actions())
            tops << a->text();
        QCOMPARE(tops, (QStringList{"&File", "&Play", "&Edit", "&View", "&Help"}));

        QCOMPARE(MenuTexts(TopMenu(frame, 0)),
                 (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "&Save\tCtrl+S", "Save &As...\tCtrl+A",
                              "&Export Loop...\tCtrl+Shift+X", "-", "Recent File", "-", "E&xit"}));
        QVERIFY(!TopMenu(frame, 0)->actions().at(6)->isEnabled());
        QCOMPARE(MenuTexts(TopMenu(frame, 1)), (QStringList{"&Play\tAlt+P", "Play S&eam\tCtrl+P", "&Stop\tAlt+S"}));
        QCOMPARE(MenuTexts(TopMenu(frame, 2)),
                 (QStringList{"Find Loop + &Crossfade\tCtrl+L", "Find &Loop\tCtrl+K",
                              "Auto Loop + Cross&fade\tCtrl+Shift+J", "&Auto Loop\tCtrl+J", "&Remove Loop\tCtrl+DEL",
                              "Re&load\tCtrl+R", "-", "Find Rele&ase\tCtrl+Shift+R", "Trim &Start\tCtrl+[",
                              "Trim &End\tCtrl+]", "-", "Detect &Pitch\tCtrl+T", "&Tuning...\tCtrl+Shift+T"}));
        QCOMPARE(MenuTexts(TopMenu(frame, 3)),
                 (QStringList{"Zoom &In\tCtrl+Z", "Zoom &Out\tShift+Z", "Zoom &1:1\tCtrl+1", "Zoom &All\tCtrl+2",
                              "Zoom &Loop\tCtrl+3", "-", "Zoom A&mplitude In\tCtrl+Up",
                              "Zoom Amplitu&de Out\tCtrl+Down", "&Fit Amplitude\tCtrl+4", "-", "S&eam View\tCtrl+E",
                              "Loo&ps\tCtrl+5", "&Toolbar", "&Status Bar"}));
        QCOMPARE(MenuTexts(TopMenu(frame, 4)), (QStringList{"&About Ringseam..."}));

        // Every item carries its prompt; none has a shortcut of its own.
        const std::map<int, QString> prompts = {
            {ID_FILE_NEW, "Create a new document"},
            {ID_FILE_SAVE_AS, "Save the active document with a new name"},
            {ID_APP_EXIT, "Quit the application; prompts to save documents"},
            {ID_PLAY_PLAY, "Play Wave"},
            {ID_EDIT_FIND_LOOP, "Find best loop without crossfade"},
            {ID_EDIT_AUTO_LOOP_CROSSFADE, "Reload, place a seamless loop in the steady part and crossfade"},
            {ID_VIEW_ZOOM_ALL, "Show All"},
            {ID_VIEW_TOOLBAR, "Show or hide the toolbar"},
            {ID_VIEW_STATUS_BAR, "Show or hide the status bar"},
        };
        for (const auto& [id, prompt] : prompts)
            QCOMPARE(frame.GetCommandAction(id)->statusTip(), prompt);
        // The items only the menus offer, with the tip their string carries.
        const std::map<int, std::pair<QString, QString>> menuOnly = {
            {ID_APP_ABOUT, {"Display program information, version number and copyright", "About"}},
            {ID_APP_EXIT, {"Quit the application; prompts to save documents", "Exit"}},
            {ID_VIEW_TOOLBAR, {"Show or hide the toolbar", "Toggle ToolBar"}},
            {ID_VIEW_STATUS_BAR, {"Show or hide the status bar", "Toggle StatusBar"}},
        };
        for (const auto& [id, strings] : menuOnly) {
            QCOMPARE(frame.GetCommandAction(id)->statusTip(), strings.first);
            QCOMPARE(frame.GetCommandAction(id)->toolTip(), strings.second);
        }
        for (QAction* top : frame.menuBar()->actions())
            for (QAction* a : top->menu()->actions())
                QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->text()));
    }

    void toolbarButtonsInOrderWithTips()
    {
        CMainFrame frame;
        struct Button {
            int nID;
            const char* tip;
            const char* prompt;
        };
        const Button expected[] = {
            {ID_FILE_NEW, "New", "Create a new document"},
            {ID_FILE_OPEN, "Open", "Open an existing document"},
            {ID_FILE_SAVE, "Save", "Save the active document"},
            {ID_FILE_SAVE_AS, "Save As", "Save the active document with a new name"},
            {0, nullptr, nullptr},
            {ID_PLAY_PLAY, "Play (Alt+P)", "Play Wave"},
            {ID_PLAY_SEAM, "Play Seam (Ctrl+P)", "Play from one second before the loop end, then loop"},
            {ID_PLAY_STOP, "Stop (Alt+S)", "Stop Playing"},
            {0, nullptr, nullptr},
            {ID_EDIT_FIND_LOOP_CROSSFADE, "Best Loop + Crossfade (Ctrl+L)", "Find best loop and crossfade"},
            {ID_EDIT_FIND_LOOP, "Best Loop (Ctrl+K)", "Find best loop without crossfade"},
            {ID_EDIT_AUTO_LOOP, "Auto Loop (Ctrl+J)",
             "Place a seamless loop in the steady part of the sound, ignoring the loop set"},
            {ID_EDIT_REMOVE_LOOP, "Remove Loop (Ctrl+DEL)", "Remove loop"},
            {ID_EDIT_RELOAD, "Reload Wave (Ctrl+R)", "Reload Wave"},
            {0, nullptr, nullptr},
            {ID_VIEW_ZOOM_IN, "Zoom In (Ctrl+Z)", "Zoom In"},
            {ID_VIEW_ZOOM_OUT, "Zoom Out (Shift+Z)", "Zoom Out"},
            {ID_VIEW_ZOOM_1_1, "Zoom 1:1 (Ctrl+1)", "Zoom 1:1"},
            {ID_VIEW_ZOOM_ALL, "Shows whole wave (Ctrl+2)", "Show All"},
            {ID_VIEW_ZOOM_LOOP, "Shows whole loop (Ctrl+3)", "Zoom On Loop"},
            {0, nullptr, nullptr},
            {ID_VIEW_AMPLITUDE_IN, "Zoom Amplitude In (Ctrl+Up)", "Magnify the waveform's amplitude"},
            {ID_VIEW_AMPLITUDE_OUT, "Zoom Amplitude Out (Ctrl+Down)", "Reduce the waveform's amplitude"},
            {ID_VIEW_AMPLITUDE_FIT, "Fit Amplitude (Ctrl+4)", "Scale the waveform so that its peak fills the lane"},
            {0, nullptr, nullptr},
            {ID_VIEW_SEAM, "Seam View (Ctrl+E)", "Show or hide the seam: the loop end running into the loop start"},
        };
        const QList<QAction*> actions = frame.GetToolBar()->actions();
        QCOMPARE(actions.size(), int(std::size(expected)));
        for (int i = 0; i < actions.size(); ++i) {
            const Button& b = expected[i];
            if (b.nID == 0) {
                QVERIFY(actions[i]->isSeparator());
                continue;
            }
            QCOMPARE(actions[i]->data().toInt(), b.nID);
            QCOMPARE(actions[i]->toolTip(), QString::fromUtf8(b.tip));
            QCOMPARE(actions[i]->statusTip(), QString::fromUtf8(b.prompt));
            QVERIFY(!actions[i]->icon().isNull());
        }
    }

    void statusBarIdleTextAndIndicators()
    {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.GetIdleLabel()->text(), QStringLiteral("For Help, press F1"));
        QVERIFY(frame.GetIdleLabel()->isVisible());
        for (const char* name : {"indicatorCAP", "indicatorNUM", "indicatorSCRL"})
            QVERIFY(frame.statusBar()->findChild<QLabel*>(QString::fromLatin1(name)));
        // A prompt replaces the idle text while shown, and the idle text comes back.
        frame.statusBar()->showMessage(QStringLiteral("Play Wave"));
        QVERIFY(!frame.GetIdleLabel()->isVisible());
        frame.statusBar()->clearMessage();
        QVERIFY(frame.GetIdleLabel()->isVisible());
    }

    void seamViewShowsAndHidesBelowTheViewWhichKeepsItsSize()
    {
        CMainFrame frame;
        auto* view = new QWidget;
        frame.SetView(view);
        auto* pane = new QWidget;
        pane->setMinimumHeight(120);
        frame.SetSeamPane(pane);
        frame.resize(800, 400);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QAction* item = frame.GetCommandAction(ID_VIEW_SEAM);
        const QSize viewSize = view->size();
        const int height = frame.height();
        for (bool shown : {true, false}) {
            QVERIFY(frame.OnCmdMsg(ID_VIEW_SEAM));
            QCOMPARE(frame.GetSeamDock()->isVisible(), shown);
            QCOMPARE(item->isChecked(), shown);
            QTRY_COMPARE(view->size(), viewSize);  // the window grows or shrinks by the pane
            QCOMPARE(frame.height() >= height + 120, shown);
        }
        item->trigger();
        frame.GetSeamDock()->close();  // its own close button unchecks the item
        QVERIFY(!item->isChecked());
    }

    void closingTheFrameHidesTheSeamPaneWhileTheFrameIsWhole()
    {
        auto* frame = new CMainFrame;
        frame->SetView(new QWidget);
        frame->SetSeamPane(new QWidget);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        frame->OnCmdMsg(ID_VIEW_SEAM);
        QDockWidget* dock = frame->GetSeamDock();
        // The pane's handlers use the frame: it must still be a CMainFrame.
        QList<bool> whole;
        connect(dock, &QDockWidget::visibilityChanged,
                [&] { whole << (qobject_cast<CMainFrame*>(dock->parentWidget()) != nullptr); });
        delete frame;
        QCOMPARE(whole, QList<bool>{true});
    }

    void titleShowsDocumentProgramAndUnsavedChanges()
    {
        CMainFrame frame;
        QCOMPARE(ShownTitle(&frame), QStringLiteral("Untitled - Ringseam"));
        frame.UpdateFrameTitle("cello.wav");
        QCOMPARE(ShownTitle(&frame), QStringLiteral("cello.wav - Ringseam"));
        // Qt's placeholder "[*]" in a file name is shown as it is, then the mark.
        frame.UpdateFrameTitle("odd[*]");
        frame.setWindowModified(true);
        QCOMPARE(ShownTitle(&frame), QStringLiteral("odd[*]* - Ringseam"));
    }

    void everyAcceleratorSendsItsCommand_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("command");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("Ctrl+1") << int(Qt::Key_1) << ctrl << ID_VIEW_ZOOM_1_1;
        QTest::newRow("Ctrl+2") << int(Qt::Key_2) << ctrl << ID_VIEW_ZOOM_ALL;
        QTest::newRow("Ctrl+3") << int(Qt::Key_3) << ctrl << ID_VIEW_ZOOM_LOOP;
        QTest::newRow("Ctrl+4") << int(Qt::Key_4) << ctrl << ID_VIEW_AMPLITUDE_FIT;
        QTest::newRow("Ctrl+Up") << int(Qt::Key_Up) << ctrl << ID_VIEW_AMPLITUDE_IN;
        QTest::newRow("Ctrl+Down") << int(Qt::Key_Down) << ctrl << ID_VIEW_AMPLITUDE_OUT;
        QTest::newRow("Ctrl+E") << int(Qt::Key_E) << ctrl << ID_VIEW_SEAM;
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << ctrl << ID_SAVE_AS_SHORTCUT;
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << ctrl << ID_EDIT_COPY;
        QTest::newRow("Ctrl+J") << int(Qt::Key_J) << ctrl << ID_EDIT_AUTO_LOOP;
        QTest::newRow("Ctrl+Shift+J") << int(Qt::Key_J) << int(ctrl | Qt::ShiftModifier) << ID_EDIT_AUTO_LOOP_CROSSFADE;
        QTest::newRow("Ctrl+K") << int(Qt::Key_K) << ctrl << ID_EDIT_FIND_LOOP;
        QTest::newRow("Ctrl+L") << int(Qt::Key_L) << ctrl << ID_EDIT_FIND_LOOP_CROSSFADE;
        QTest::newRow("Ctrl+N") << int(Qt::Key_N) << ctrl << ID_FILE_NEW;
        QTest::newRow("Ctrl+O") << int(Qt::Key_O) << ctrl << ID_FILE_OPEN;
        QTest::newRow("Alt+P") << int(Qt::Key_P) << int(Qt::AltModifier) << ID_PLAY_PLAY;
        QTest::newRow("Ctrl+P") << int(Qt::Key_P) << ctrl << ID_PLAY_SEAM;
        QTest::newRow("Ctrl+R") << int(Qt::Key_R) << ctrl << ID_EDIT_RELOAD;
        QTest::newRow("Ctrl+S") << int(Qt::Key_S) << ctrl << ID_FILE_SAVE;
        QTest::newRow("Alt+S") << int(Qt::Key_S) << int(Qt::AltModifier) << ID_PLAY_STOP;
        QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete) << ctrl << ID_EDIT_REMOVE_LOOP;
        QTest::newRow("Ctrl+Z") << int(Qt::Key_Z) << ctrl << ID_VIEW_ZOOM_IN;
        QTest::newRow("Shift+Z") << int(Qt::Key_Z) << int(Qt::ShiftModifier) << ID_VIEW_ZOOM_OUT;
    }

    void everyAcceleratorSendsItsCommand()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, command);
        CMainFrame frame;
        auto* view = new QWidget;
        view->setFocusPolicy(Qt::StrongFocus);
        frame.SetView(view);
        std::map<int, int> handled;
        for (int id : {ID_VIEW_ZOOM_1_1, ID_VIEW_ZOOM_ALL, ID_VIEW_ZOOM_LOOP, ID_SAVE_AS_SHORTCUT, ID_EDIT_FIND_LOOP,
                       ID_EDIT_FIND_LOOP_CROSSFADE, ID_FILE_NEW, ID_FILE_OPEN, ID_PLAY_PLAY, ID_PLAY_SEAM, ID_EDIT_RELOAD,
                       ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_PLAY_STOP, ID_EDIT_REMOVE_LOOP, ID_VIEW_ZOOM_IN,
                       ID_VIEW_ZOOM_OUT, ID_APP_ABOUT, ID_VIEW_AMPLITUDE_FIT, ID_VIEW_AMPLITUDE_IN,
                       ID_VIEW_AMPLITUDE_OUT, ID_VIEW_SEAM, ID_EDIT_AUTO_LOOP,
                       ID_EDIT_AUTO_LOOP_CROSSFADE})
            frame.SetCommandHandler(id, [&handled, id] { ++handled[id]; });
        QSignalSpy sent(&frame, &CMainFrame::commandSent);
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        view->setFocus();

        QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).at(0).toInt(), command);
        // Copy has no handler: the key does nothing at all.
        const int expectedHandled = command == ID_EDIT_COPY ? 0 : 1;
        int total = 0;
        for (const auto& [id, n] : handled)
            total += n;
        QCOMPARE(total, expectedHandled);
        if (expectedHandled)
            QCOMPARE(handled[command], 1);
        // Ctrl+A never reaches Save As, whatever the menu shows.
        QCOMPARE(handled[ID_FILE_SAVE_AS], 0);
        // No menu opened for Alt+P (the Play menu's access key).
        QVERIFY(!QApplication::activePopupWidget());
    }

    void otherKeysSendNothing()
    {
        CMainFrame frame;
        auto* view = new QWidget;
        view->setFocusPolicy(Qt::StrongFocus);
        frame.SetView(view);
        QSignalSpy sent(&frame, &CMainFrame::commandSent);
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(view, Qt::Key_Z);
        QTest::keyClick(view, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(view, Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier);
        QTest::keyClick(view, Qt::Key_F1);
        QCOMPARE(sent.size(), 0);
    }

    void menuItemsAndButtonsRouteToHandlers()
    {
        CMainFrame frame;
        int saveAs = 0;
        frame.SetCommandHandler(ID_FILE_SAVE_AS, [&] { ++saveAs; });
        frame.GetCommandAction(ID_FILE_SAVE_AS)->trigger();
        QCOMPARE(saveAs, 1);
        // The Copy command and the help commands are routed but nothing takes them.
        QVERIFY(!frame.OnCmdMsg(ID_EDIT_COPY));
        QVERIFY(!frame.OnCmdMsg(ID_HELP_FINDER));
    }

    void toolbarAndStatusBarToggles()
    {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QAction* toolbar = frame.GetCommandAction(ID_VIEW_TOOLBAR);
        QAction* status = frame.GetCommandAction(ID_VIEW_STATUS_BAR);
        QVERIFY(toolbar->isChecked() && status->isChecked());
        toolbar->trigger();
        QVERIFY(!frame.GetToolBar()->isVisible());
        QVERIFY(!toolbar->isChecked());
        status->trigger();
        QVERIFY(!frame.statusBar()->isVisible());
        QVERIFY(!status->isChecked());
        toolbar->trigger();
        status->trigger();
        QVERIFY(frame.GetToolBar()->isVisible() && frame.statusBar()->isVisible());
        QVERIFY(toolbar->isChecked() && status->isChecked());
    }

    void recentFilesInFileMenu()
    {
        CMainFrame frame;
        int opened = -1;
        for (int i = 0; i < kRecentFileCount; ++i)
            frame.SetCommandHandler(ID_FILE_MRU_FILE1 + i, [&opened, i] { opened = i; });
        frame.SetRecentFiles({"/s/a.wav", "/s/b&c.xi"});
        const QStringList texts = MenuTexts(frame.GetFileMenu());
        QCOMPARE(texts.mid(6, 2), (QStringList{"&1 /s/a.wav", "&2 /s/b&&c.xi"}));
        QCOMPARE(texts.at(8), QStringLiteral("-"));
        frame.GetFileMenu()->actions().at(7)->trigger();
        QCOMPARE(opened, 1);
        QCOMPARE(frame.GetFileMenu()->actions().at(7)->statusTip(), QStringLiteral("Open this document"));
        frame.SetRecentFiles({});
        QCOMPARE(MenuTexts(frame.GetFileMenu()).at(6), QStringLiteral("Recent File"));
    }

    void resizesToFitTheView()
    {
        CMainFrame frame;
        auto* view = new QWidget;
        frame.SetView(view);
        frame.resize(900, 600);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.ResizeParentToFit(QSize(500, 300), false);
        QTRY_COMPARE(view->size(), QSize(500, 300));
        frame.ResizeParentToFit(QSize(800, 200), true);  // may only shrink: width stays
        QTRY_COMPARE(view->size(), QSize(500, 200));
    }
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
