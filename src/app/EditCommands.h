// CEditCommands: the commands the main window gained after its original
// menus — Edit > Undo and Redo, whose items name the step they take back
// or bring back ("Undo Auto Loop"), and Edit > Set Loop… — with their
// accelerators (Alt+Backspace; Ctrl+Y and Ctrl+Shift+Z; Ctrl+G). They are
// added by the application to the frame it built, so the original menus
// and keys stay exactly as they were.
//
// The frame owns this object; the view and its document must outlive it.
// User-interface thread only.
#pragma once

#include <QObject>

class CMainFrame;
class CQuorvelView;
class QAction;

class CEditCommands : public QObject {
    Q_OBJECT
public:
    CEditCommands(CMainFrame& frame, CQuorvelView& view);

    // The Undo and Redo items from the document's history as it is now.
    void UpdateUndoItems();
    // Edit > Set Loop…: asks for the loop and sets it as one undo step.
    void OnSetLoop();

private:
    CMainFrame& m_frame;
    CQuorvelView& m_view;
    QAction* m_pUndo = nullptr;
    QAction* m_pRedo = nullptr;
};
