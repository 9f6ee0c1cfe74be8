// CStatusPanes: the main window's number panes, beside the prompt pane and
// before the lock indicators: the loop (start – end, length in frames and
// seconds), the frame and time under the mouse pointer, and the loop's seam
// score with its verdict (LoopVerdict.h), and the detected pitch with the
// detune the loop's length causes. They follow the waveform view: its
// loopOrFramesChanged refreshes
// the loop and the score, its pointerFrameChanged the pointer pane.
//
// The labels belong to the frame's status bar; the view and its document
// must outlive this object (all belong to the same main window).
// User-interface thread only.
#pragma once

#include "analysis/Pitch.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <optional>

class CMainFrame;
class CQuorvelView;
class QLabel;

class CStatusPanes : public QObject {
    Q_OBJECT
public:
    // Adds the three panes to the frame's status bar (the frame owns this).
    CStatusPanes(CMainFrame& frame, CQuorvelView& view);

    QLabel* GetLoopPane() const { return m_pLoop; }
    QLabel* GetPointerPane() const { return m_pPointer; }
    QLabel* GetScorePane() const { return m_pScore; }
    QLabel* GetVerdictPane() const { return m_pVerdict; }
    QLabel* GetPitchPane() const { return m_pPitch; }

public slots:
    // The loop and score panes from the document as it is now.
    void UpdateLoop();
    void UpdatePointer(int frame);

private:
    CQuorvelView& m_view;
    QLabel* m_pLoop = nullptr;
    QLabel* m_pPointer = nullptr;
    QLabel* m_pScore = nullptr;
    // The loop's verdict beside the score: seam, level, detune, a too-short warning.
    QLabel* m_pVerdict = nullptr;
    QTimer m_verdictTimer;
    static constexpr int kVerdictDelayMs = 50;  // a pause of the pointer, not a lag the eye sees
    void UpdateVerdict();

    // The pitch, as the view's cache of it (CPitchCache) has it.
    QLabel* m_pPitch = nullptr;
};
