// CLoopsPanel: the Loops panel (View > Loops, Ctrl+5), a dock beside the
// waveform that lists every loop of the document — start, end, length (in
// frames), seam and level (the seam metrics) and the detune the loop's
// length causes against the detected pitch ("—" without one) — and the
// release marker. Choosing a row
// makes that loop the one the mouse and the Edit commands act on; the
// buttons add, remove and reorder loops; start, end and the release marker
// are typed as exact frame numbers. It also handles the commands about
// several loops: Find Release, Trim Start, Trim End and Export Loop.
//
// Every change goes through the document's own operations (SetLoops,
// SetRelease, Trim) inside one named undo step, then marks the document
// modified and repaints the view.
// The frame owns the panel; the view and its document must outlive it.
// User-interface thread only.
#pragma once

#include <QDockWidget>

class CMainFrame;
class CQuorvelView;
class QLineEdit;
class QTableWidget;
class QTimer;

class CLoopsPanel : public QDockWidget {
    Q_OBJECT
public:
    // Adds the hidden panel to the frame and registers its commands (call
    // after the view's own commands are registered: the Edit commands are
    // wrapped so that they act on the chosen loop).
    CLoopsPanel(CMainFrame& frame, CQuorvelView& view);

    QTableWidget* GetTable() const { return m_pTable; }
    QLineEdit* GetReleaseEdit() const { return m_pRelease; }

    // Column order of the table.
    enum EColumn { Start, End, Length, Seam, Level, Detune, ColumnCount };

public slots:
    // The rows from the document as it is now.
    void Refresh();
    void AddLoop();
    void RemoveLoop();
    // Moves the chosen loop `delta` places up (−1) or down (+1).
    void MoveLoop(int delta);
    void FindRelease();
    // Trims the start (bStart) or the end with the default threshold and fade.
    void Trim(bool bStart);
    // Asks for a file and writes the chosen loop alone there.
    void ExportLoop();

private:
    void CellEdited(int row, int column);
    void ReleaseEdited();
    // After a change of loops or release marker: modified, repainted, told.
    void LoopsChanged();
    void ShowStatus(const QString& text);

    CMainFrame& m_frame;
    CQuorvelView& m_view;
    QTableWidget* m_pTable = nullptr;
    QLineEdit* m_pRelease = nullptr;
    bool m_bFilling = false;
    // The view announces every mouse move of a drag; the seam figures are
    // measured again once the moves pause.
    QTimer* m_pRefreshTimer = nullptr;
};
