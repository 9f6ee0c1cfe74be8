#include "app/MainFrame.h"

#include "app/AcceleratorTable.h"
#include "app/Icons.h"
#include "app/Resource.h"
#include "app/SampleDocTemplate.h"
#include "framework/Document.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QStatusBar>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>

namespace {

// Recent-file menu text: the path, shortened to its file name behind "..."
// when long; "&" doubled so it is not taken for an access key.
QString RecentFileText(int index, const QString& path)
{
    QString shown = QDir::toNativeSeparators(path);
    if (shown.size() > 40)
        shown = QStringLiteral("...") + QDir::separator() + QFileInfo(path).fileName();
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

}  // namespace

CMainFrame::CMainFrame(QWidget* pParent) : QMainWindow(pParent)
{
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(CreateAppIcon());
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateAccelerators();

    // The frame's own commands: the two bar toggles.
    SetCommandHandler(ID_VIEW_TOOLBAR, [this] { m_pToolBar->setVisible(!m_pToolBar->isVisible()); });
    SetCommandHandler(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    connect(m_pToolBar, &QToolBar::visibilityChanged, this,
            [this](bool visible) { m_actions[ID_VIEW_TOOLBAR]->setChecked(visible); });
    UpdateFrameTitle(kUntitledTitle);
}

CMainFrame::~CMainFrame()
{
    // Closed while every part is still whole: the docks announce their hiding
    // to handlers that use this frame's members, the view and the document.
    // Left to the base class, the window would close after those members are
    // gone. Nothing the children send while they are taken apart reaches it.
    hide();
    for (QObject* child : children())
        child->disconnect(this);
}

QAction* CMainFrame::AddCommand(QMenu* pMenu, int nID, const QString& text)
{
    QAction* action = m_actions[nID];
    if (!action) {
        action = new QAction(text, this);
        action->setObjectName(QStringLiteral("command%1").arg(nID));
        action->setData(nID);
        if (const CommandString* s = FindCommandString(nID)) {
            action->setStatusTip(QString::fromUtf8(s->pszPrompt));
            action->setToolTip(QString::fromUtf8(s->pszTip));
        }
        // No shortcut: the text after the tab only shows the key, and the
        // accelerator table decides what keys do (Ctrl+A sends a command of
        // its own, which the application routes to Save As).
        connect(action, &QAction::triggered, this, [this, nID] { OnCmdMsg(nID); });
        m_actions[nID] = action;
    }
    if (pMenu)
        pMenu->addAction(action);
    return action;
}

void CMainFrame::CreateMenus()
{
    QMenuBar* bar = menuBar();

    m_pFileMenu = bar->addMenu(QStringLiteral("&File"));
    AddCommand(m_pFileMenu, ID_FILE_NEW, QStringLiteral("&New\tCtrl+N"));
    AddCommand(m_pFileMenu, ID_FILE_OPEN, QStringLiteral("&Open...\tCtrl+O"));
    AddCommand(m_pFileMenu, ID_FILE_SAVE, QStringLiteral("&Save\tCtrl+S"));
    AddCommand(m_pFileMenu, ID_FILE_SAVE_AS, QStringLiteral("Save &As...\tCtrl+A"));
    AddCommand(m_pFileMenu, ID_FILE_EXPORT_LOOP, QStringLiteral("&Export Loop...\tCtrl+Shift+X"));
    m_pFileMenu->addSeparator();
    m_pRecentAnchor = m_pFileMenu->addSeparator();
    AddCommand(m_pFileMenu, ID_APP_EXIT, QStringLiteral("E&xit"));
    SetRecentFiles({});

    QMenu* play = bar->addMenu(QStringLiteral("&Play"));
    AddCommand(play, ID_PLAY_PLAY, QStringLiteral("&Play\tAlt+P"));
    AddCommand(play, ID_PLAY_SEAM, QStringLiteral("Play S&eam\tCtrl+P"));
    AddCommand(play, ID_PLAY_STOP, QStringLiteral("&Stop\tAlt+S"));

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    AddCommand(edit, ID_EDIT_FIND_LOOP_CROSSFADE, QStringLiteral("Find Loop + &Crossfade\tCtrl+L"));
    AddCommand(edit, ID_EDIT_FIND_LOOP, QStringLiteral("Find &Loop\tCtrl+K"));
    AddCommand(edit, ID_EDIT_AUTO_LOOP_CROSSFADE, QStringLiteral("Auto Loop + Cross&fade\tCtrl+Shift+J"));
    AddCommand(edit, ID_EDIT_AUTO_LOOP, QStringLiteral("&Auto Loop\tCtrl+J"));
    AddCommand(edit, ID_EDIT_REMOVE_LOOP, QStringLiteral("&Remove Loop\tCtrl+DEL"));
    AddCommand(edit, ID_EDIT_RELOAD, QStringLiteral("Re&load\tCtrl+R"));
    m_pEditMenu = edit;
    edit->addSeparator();
    AddCommand(edit, ID_EDIT_FIND_RELEASE, QStringLiteral("Find Rele&ase\tCtrl+Shift+R"));
    AddCommand(edit, ID_EDIT_TRIM_START, QStringLiteral("Trim &Start\tCtrl+["));
    AddCommand(edit, ID_EDIT_TRIM_END, QStringLiteral("Trim &End\tCtrl+]"));
    edit->addSeparator();
    AddCommand(edit, ID_EDIT_DETECT_PITCH, QStringLiteral("Detect &Pitch\tCtrl+T"));
    AddCommand(edit, ID_EDIT_TUNING, QStringLiteral("&Tuning...\tCtrl+Shift+T"));

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    AddCommand(view, ID_VIEW_ZOOM_IN, QStringLiteral("Zoom &In\tCtrl+Z"));
    AddCommand(view, ID_VIEW_ZOOM_OUT, QStringLiteral("Zoom &Out\tShift+Z"));
    AddCommand(view, ID_VIEW_ZOOM_1_1, QStringLiteral("Zoom &1:1\tCtrl+1"));
    AddCommand(view, ID_VIEW_ZOOM_ALL, QStringLiteral("Zoom &All\tCtrl+2"));
    AddCommand(view, ID_VIEW_ZOOM_LOOP, QStringLiteral("Zoom &Loop\tCtrl+3"));
    view->addSeparator();
    AddCommand(view, ID_VIEW_AMPLITUDE_IN, QStringLiteral("Zoom A&mplitude In\tCtrl+Up"));
    AddCommand(view, ID_VIEW_AMPLITUDE_OUT, QStringLiteral("Zoom Amplitu&de Out\tCtrl+Down"));
    AddCommand(view, ID_VIEW_AMPLITUDE_FIT, QStringLiteral("&Fit Amplitude\tCtrl+4"));
    view->addSeparator();
    AddCommand(view, ID_VIEW_SEAM, QStringLiteral("S&eam View\tCtrl+E"))->setCheckable(true);
    AddCommand(view, ID_VIEW_LOOPS, QStringLiteral("Loo&ps\tCtrl+5"))->setCheckable(true);
    QAction* toolbar = AddCommand(view, ID_VIEW_TOOLBAR, QStringLiteral("&Toolbar"));
    QAction* status = AddCommand(view, ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"));
    toolbar->setCheckable(true);
    toolbar->setChecked(true);
    status->setCheckable(true);
    status->setChecked(true);
    m_pViewMenu = view;

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    AddCommand(help, ID_APP_ABOUT, QStringLiteral("&About Ringseam..."));
}

void CMainFrame::CreateToolBar()
{
    m_pToolBar = addToolBar(QStringLiteral("Toolbar"));
    m_pToolBar->setObjectName(QStringLiteral("toolbar"));
    m_pToolBar->setIconSize(QSize(16, 16));
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_pToolBar->setMovable(true);
    m_pToolBar->setFloatable(true);
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    // 0 marks a separator.
    const int buttons[] = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0,
                           ID_PLAY_PLAY, ID_PLAY_SEAM, ID_PLAY_STOP, 0,
                           ID_EDIT_FIND_LOOP_CROSSFADE, ID_EDIT_FIND_LOOP, ID_EDIT_AUTO_LOOP, ID_EDIT_REMOVE_LOOP,
                           ID_EDIT_RELOAD, 0,
                           ID_VIEW_ZOOM_IN, ID_VIEW_ZOOM_OUT, ID_VIEW_ZOOM_1_1, ID_VIEW_ZOOM_ALL, ID_VIEW_ZOOM_LOOP, 0,
                           ID_VIEW_AMPLITUDE_IN, ID_VIEW_AMPLITUDE_OUT, ID_VIEW_AMPLITUDE_FIT, 0,
                           ID_VIEW_SEAM};
    for (int nID : buttons) {
        if (nID == 0) {
            m_pToolBar->addSeparator();
            continue;
        }
        QAction* action = AddCommand(nullptr, nID, QString());
        action->setIcon(CreateCommandIcon(nID));
        // Menu items draw no icons: the menu looks as it always did.
        action->setIconVisibleInMenu(false);
        m_pToolBar->addAction(action);
    }
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusbar"));
    // The message pane: the idle text shows whenever no prompt does.
    m_pIdleLabel = new QLabel(QString::fromUtf8(kIdleMessage), bar);
    m_pIdleLabel->setObjectName(QStringLiteral("idle"));
    bar->addWidget(m_pIdleLabel, 1);
    for (const char* text : {"CAP", "NUM", "SCRL"}) {
        auto* indicator = new QLabel(QString::fromLatin1(text), bar);
        indicator->setObjectName(QStringLiteral("indicator%1").arg(QString::fromLatin1(text)));
        indicator->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        indicator->setAlignment(Qt::AlignCenter);
        indicator->setMinimumWidth(indicator->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
        // The lock states cannot be read portably; the panes show greyed.
        indicator->setEnabled(false);
        bar->addPermanentWidget(indicator);
    }
}

void CMainFrame::CreateAccelerators()
{
    m_pAccel = new CAcceleratorTable(this, [this](int nID) { OnCmdMsg(nID); });
    const auto ctrl = Qt::ControlModifier;
    m_pAccel->Add(ctrl, Qt::Key_1, ID_VIEW_ZOOM_1_1);
    m_pAccel->Add(ctrl, Qt::Key_2, ID_VIEW_ZOOM_ALL);
    m_pAccel->Add(ctrl, Qt::Key_3, ID_VIEW_ZOOM_LOOP);
    m_pAccel->Add(ctrl, Qt::Key_4, ID_VIEW_AMPLITUDE_FIT);
    m_pAccel->Add(ctrl, Qt::Key_Up, ID_VIEW_AMPLITUDE_IN);
    m_pAccel->Add(ctrl, Qt::Key_Down, ID_VIEW_AMPLITUDE_OUT);
    m_pAccel->Add(ctrl, Qt::Key_E, ID_VIEW_SEAM);
    m_pAccel->Add(ctrl, Qt::Key_A, ID_SAVE_AS_SHORTCUT);
    m_pAccel->Add(ctrl, Qt::Key_C, ID_EDIT_COPY);
    m_pAccel->Add(ctrl, Qt::Key_J, ID_EDIT_AUTO_LOOP);
    m_pAccel->Add(ctrl | Qt::ShiftModifier, Qt::Key_J, ID_EDIT_AUTO_LOOP_CROSSFADE);
    m_pAccel->Add(ctrl, Qt::Key_K, ID_EDIT_FIND_LOOP);
    m_pAccel->Add(ctrl, Qt::Key_L, ID_EDIT_FIND_LOOP_CROSSFADE);
    m_pAccel->Add(ctrl, Qt::Key_N, ID_FILE_NEW);
    m_pAccel->Add(ctrl, Qt::Key_O, ID_FILE_OPEN);
    m_pAccel->Add(Qt::AltModifier, Qt::Key_P, ID_PLAY_PLAY);
    m_pAccel->Add(ctrl, Qt::Key_P, ID_PLAY_SEAM);
    m_pAccel->Add(ctrl, Qt::Key_R, ID_EDIT_RELOAD);
    m_pAccel->Add(ctrl, Qt::Key_S, ID_FILE_SAVE);
    m_pAccel->Add(Qt::AltModifier, Qt::Key_S, ID_PLAY_STOP);
    m_pAccel->Add(ctrl, Qt::Key_Delete, ID_EDIT_REMOVE_LOOP);
    m_pAccel->Add(ctrl, Qt::Key_5, ID_VIEW_LOOPS);
    m_pAccel->Add(ctrl | Qt::ShiftModifier, Qt::Key_R, ID_EDIT_FIND_RELEASE);
    m_pAccel->Add(ctrl, Qt::Key_BracketLeft, ID_EDIT_TRIM_START);
    m_pAccel->Add(ctrl, Qt::Key_BracketRight, ID_EDIT_TRIM_END);
    m_pAccel->Add(ctrl | Qt::ShiftModifier, Qt::Key_X, ID_FILE_EXPORT_LOOP);
    m_pAccel->Add(ctrl, Qt::Key_Z, ID_VIEW_ZOOM_IN);
    m_pAccel->Add(Qt::ShiftModifier, Qt::Key_Z, ID_VIEW_ZOOM_OUT);
    m_pAccel->Add(ctrl, Qt::Key_T, ID_EDIT_DETECT_PITCH);
    m_pAccel->Add(ctrl | Qt::ShiftModifier, Qt::Key_T, ID_EDIT_TUNING);
}

void CMainFrame::SetView(QWidget* pView)
{
    setCentralWidget(pView);
    if (pView)
        pView->setFocus();
}

void CMainFrame::SetSeamPane(QWidget* pPane)
{
    delete m_pSeamDock;
    m_pSeamDock = new QDockWidget(QStringLiteral("Seam \u2014 green: the loop end running into the loop start; "
                                                 "grey: the recording after the loop end"),
                                  this);
    m_pSeamDock->setObjectName(QStringLiteral("seamDock"));
    m_pSeamDock->setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    m_pSeamDock->setWidget(pPane);
    addDockWidget(Qt::BottomDockWidgetArea, m_pSeamDock);
    m_pSeamDock->hide();
    // The pane's own close button unchecks the menu item too.
    connect(m_pSeamDock, &QDockWidget::visibilityChanged, this, [this] {
        m_actions[ID_VIEW_SEAM]->setChecked(!m_pSeamDock->isHidden());
    });
    SetCommandHandler(ID_VIEW_SEAM, [this] { ToggleSeamPane(); });
}

void CMainFrame::AddStatusPane(QWidget* pPane)
{
    // Permanent widgets are counted after the message pane (index 0).
    statusBar()->insertPermanentWidget(1 + m_nStatusPanes++, pPane);
}

void CMainFrame::ToggleSeamPane()
{
    // The view keeps the size it had: the window takes the pane's room.
    QWidget* view = centralWidget();
    auto* scroll = qobject_cast<QAbstractScrollArea*>(view);
    const QSize client = scroll ? scroll->viewport()->size() : view ? view->size() : QSize();
    m_pSeamDock->setVisible(m_pSeamDock->isHidden());
    m_actions[ID_VIEW_SEAM]->setChecked(!m_pSeamDock->isHidden());
    if (!isVisible() || !client.isValid())
        return;
    layout()->activate();
    ResizeParentToFit(client, false);
}

void CMainFrame::SetCommandHandler(int nID, std::function<void()> handler)
{
    m_handlers[nID] = std::move(handler);
}

bool CMainFrame::OnCmdMsg(int nID)
{
    emit commandSent(nID);
    const auto it = m_handlers.find(nID);
    if (it == m_handlers.end() || !it->second)
        return false;
    // Copy: the handler may replace itself (a new view registering).
    const auto handler = it->second;
    handler();
    if (nID == ID_VIEW_STATUS_BAR)
        m_actions[ID_VIEW_STATUS_BAR]->setChecked(statusBar()->isVisible());
    if (nID == ID_VIEW_TOOLBAR)
        m_actions[ID_VIEW_TOOLBAR]->setChecked(m_pToolBar->isVisible());
    return true;
}

QAction* CMainFrame::GetCommandAction(int nID) const
{
    const auto it = m_actions.find(nID);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::UpdateFrameTitle(const std::string& docTitle)
{
    std::string appName;
    CSampleDocTemplate().GetDocString(appName, CSampleDocTemplate::windowTitle);
    // "[*]" is where Qt shows the modified mark; one in a file name is
    // doubled to stand for itself.
    const QString title = QString::fromStdString(docTitle).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(title + QStringLiteral("[*] - ") + QString::fromStdString(appName));
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    if (m_closeQuery && !m_closeQuery()) {
        pEvent->ignore();
        return;
    }
    QMainWindow::closeEvent(pEvent);
}

void CMainFrame::SetRecentFiles(const QStringList& paths)
{
    for (QAction* a : m_recentActions) {
        m_pFileMenu->removeAction(a);
        delete a;
    }
    m_recentActions.clear();

    if (paths.isEmpty()) {
        auto* placeholder = new QAction(QStringLiteral("Recent File"), this);
        placeholder->setEnabled(false);
        placeholder->setStatusTip(QString::fromUtf8(kRecentFilePrompt));
        m_pFileMenu->insertAction(m_pRecentAnchor, placeholder);
        m_recentActions.append(placeholder);
        return;
    }
    for (int i = 0; i < paths.size() && i < kRecentFileCount; ++i) {
        const int nID = ID_FILE_MRU_FILE1 + i;
        auto* action = new QAction(RecentFileText(i, paths[i]), this);
        action->setObjectName(QStringLiteral("recent%1").arg(i + 1));
        action->setData(paths[i]);
        action->setStatusTip(QString::fromUtf8(kRecentFilePrompt));
        connect(action, &QAction::triggered, this, [this, nID] { OnCmdMsg(nID); });
        m_pFileMenu->insertAction(m_pRecentAnchor, action);
        m_recentActions.append(action);
    }
}

void CMainFrame::ResizeParentToFit(QSize clientSize, bool bShrinkOnly)
{
    QWidget* view = centralWidget();
    if (!view || !clientSize.isValid())
        return;
    // A scrolling view's client area is its viewport.
    auto* scroll = qobject_cast<QAbstractScrollArea*>(view);
    QWidget* client = scroll ? scroll->viewport() : view;
    const QSize current = client->size();
    QSize wanted = clientSize;
    if (bShrinkOnly)
        wanted = wanted.boundedTo(current);
    const QSize delta = wanted - current;
    if (delta.isNull())
        return;
    if (!scroll) {
        ResizeWithinScreen(size() + delta);
        return;
    }
    // Scroll bars shown for the old size would take room from the new one
    // and so keep themselves needed: fit without them, then let the view
    // decide again.
    const QSize bars(scroll->verticalScrollBar()->isVisible() ? scroll->verticalScrollBar()->width() : 0,
                     scroll->horizontalScrollBar()->isVisible() ? scroll->horizontalScrollBar()->height() : 0);
    const Qt::ScrollBarPolicy h = scroll->horizontalScrollBarPolicy();
    const Qt::ScrollBarPolicy v = scroll->verticalScrollBarPolicy();
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ResizeWithinScreen(size() + delta - bars);
    QTimer::singleShot(0, scroll, [scroll, h, v] {
        scroll->setHorizontalScrollBarPolicy(h);
        scroll->setVerticalScrollBarPolicy(v);
    });
}

void CMainFrame::GrowToFit(QSize clientSize)
{
    QWidget* view = centralWidget();
    if (!view || !clientSize.isValid())
        return;
    auto* scroll = qobject_cast<QAbstractScrollArea*>(view);
    const QSize current = (scroll ? scroll->viewport() : view)->size();
    ResizeParentToFit(clientSize.expandedTo(current), false);
}

void CMainFrame::ResizeWithinScreen(QSize wanted)
{
    // The window-manager frame around the window takes screen room too.
    const QScreen* pScreen = screen();
    const QSize room = pScreen ? pScreen->availableGeometry().size() - (frameGeometry().size() - size())
                               : wanted;
    // Growing stops at the screen; a window the user made larger than that
    // is not shrunk for it.
    const QSize limit = room.expandedTo(size());
    resize(wanted.boundedTo(limit));
}
