// CAutoLoopsCommand: Edit > Auto Loop... (Ctrl+Alt+J), Auto Loop placing
// several loops. It asks for the number of loops (1 to kMaxAutoLoops,
// default 1) and replaces every loop of the document with the distinct
// loops found (CQuorvelDoc::AutoLoops), as one undo step "Auto Loop". When
// fewer clean loops exist than asked for, those are placed and a warning
// says how many; without a steady part the document says so and nothing
// changes. Auto Loop (Ctrl+J) and Auto Loop + Crossfade stay as they are.
//
// The frame owns this object; the view and its document must outlive it.
// User-interface thread only.
#pragma once

#include <QObject>

class CMainFrame;
class CQuorvelView;

class CAutoLoopsCommand : public QObject {
    Q_OBJECT
public:
    // Adds the menu item after Auto Loop, its key and its handler.
    CAutoLoopsCommand(CMainFrame& frame, CQuorvelView& view);

    // Places up to `count` loops (what the command does once the number is
    // chosen). Returns how many were placed; 0 leaves the loops as they were.
    int Place(int count);

private:
    void OnCommand();

    CMainFrame& m_frame;
    CQuorvelView& m_view;
};
