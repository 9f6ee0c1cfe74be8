// CMainFrame: the main window. It holds the menu, the toolbar, the status
// bar and the view, and routes every command (menu item, toolbar button,
// accelerator) by its id: first to the handlers the application registered
// (the view's commands and the file and help commands), then to the frame's
// own (the Toolbar and Status Bar toggles). A command nobody handles, such as
// Ctrl+C's copy, is ignored.
//
// User-interface thread only. The frame owns its bars, actions and the view
// widget set with SetView.
#pragma once

#include <QMainWindow>

#include <functional>
#include <map>
#include <string>

class CAcceleratorTable;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* pParent = nullptr);
    ~CMainFrame() override;

    // Makes `pView` the client area (the frame takes ownership).
    void SetView(QWidget* pView);
    QWidget* GetView() const { return centralWidget(); }
    // Puts `pPane` (the seam view; the frame takes ownership) into a pane
    // below the client area, hidden until the Seam View command shows it;
    // that command is then the frame's own, like the bar toggles. Showing or
    // hiding it grows or shrinks the window by the pane, so the view keeps
    // its size.
    void SetSeamPane(QWidget* pPane);
    QDockWidget* GetSeamDock() const { return m_pSeamDock; }
    // Adds a permanent status-bar pane (the bar takes ownership) after the
    // message pane and the panes added before it, ahead of the lock
    // indicators; a command's prompt does not hide it.
    void AddStatusPane(QWidget* pPane);

    // Who handles command nID; replaces an earlier handler.
    void SetCommandHandler(int nID, std::function<void()> handler);
    // Sends command nID as a menu item, button or accelerator would. Returns
    // whether a handler took it.
    bool OnCmdMsg(int nID);

    // The action of a menu item or toolbar button (shared by both), or null.
    QAction* GetCommandAction(int nID) const;
    QToolBar* GetToolBar() const { return m_pToolBar; }
    QLabel* GetIdleLabel() const { return m_pIdleLabel; }
    QMenu* GetFileMenu() const { return m_pFileMenu; }
    CAcceleratorTable* GetAccelerators() const { return m_pAccel; }

    // "<title> - Ringseam", with the mark of unsaved changes after the
    // document's title while setWindowModified(true) holds ("tone.wav* -
    // Ringseam").
    void UpdateFrameTitle(const std::string& docTitle);

    // Asked before the window closes (Exit, the close button, the session
    // ending); false keeps it open. Without one the window just closes.
    void SetCloseQuery(std::function<bool()> query) { m_closeQuery = std::move(query); }

    // Shows up to six recent files in the File menu (full paths, most recent
    // first); an empty list shows the greyed "Recent File" item.
    void SetRecentFiles(const QStringList& paths);

    // --- commands added by the application after the original ones -----------
    // A menu item for command nID at the end of pMenu (its prompt and tip
    // from Resource.h; shared with a button of the same id).
    QAction* AddMenuCommand(QMenu* pMenu, int nID, const QString& text) { return AddCommand(pMenu, nID, text); }
    QMenu* GetEditMenu() const { return m_pEditMenu; }
    QMenu* GetViewMenu() const { return m_pViewMenu; }

    // Resizes the window so that the client area (the view, or the viewport
    // of a scrolling view) gets
    // `clientSize` pixels; with bShrinkOnly a dimension only ever shrinks.
    void ResizeParentToFit(QSize clientSize, bool bShrinkOnly);
    // As ResizeParentToFit, but a dimension only ever grows: the window
    // keeps the size the user gave it and widens to what the content needs.
    // Neither ever grows the window past the screen's available area.
    void GrowToFit(QSize clientSize);

signals:
    // Every command sent, handled or not (for the status of tests and tools).
    void commandSent(int nID);

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    QAction* AddCommand(QMenu* pMenu, int nID, const QString& text);
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateAccelerators();
    void ToggleSeamPane();
    // resize(wanted), but never larger than the screen's available area
    // (unless the window already is).
    void ResizeWithinScreen(QSize wanted);

    std::function<bool()> m_closeQuery;
    std::map<int, std::function<void()>> m_handlers;
    std::map<int, QAction*> m_actions;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentAnchor = nullptr;  // separator after the recent files
    QMenu* m_pEditMenu = nullptr;
    QMenu* m_pViewMenu = nullptr;
    QList<QAction*> m_recentActions;
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pIdleLabel = nullptr;
    QDockWidget* m_pSeamDock = nullptr;
    int m_nStatusPanes = 0;
    CAcceleratorTable* m_pAccel = nullptr;
};
