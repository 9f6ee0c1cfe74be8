// CQuorvelView: the scrolling, zoomable waveform view of a CQuorvelDoc —
// one lane per channel, the two curve strips, the loop markers and the play
// cursor — with mouse editing of the loop points (left button: start, right
// button: end), the zoom and edit commands, and looping playback.
//
// The document is not owned and must outlive the view; the view registers
// itself with it (AddView) so that every UpdateAllViews reaches OnUpdate.
// The wave output is owned; without one, Play reports that the device cannot
// be opened. Pixels are painted into a backing image of the viewport's size
// (so that marker columns can be inverted exactly) and copied to the screen;
// the narrow repaints are synchronous.
//
// The view assumes no parent window: when its content size changes it emits
// contentSizeChanged, and the main frame resizes itself so that the viewport
// gets that size (only ever smaller when shrinkOnly is set). Every change of
// the loop (after its markers are repainted) and of the frames (reload,
// crossfade, filter, a new or reset document) is announced through
// loopOrFramesChanged (an edit of both may announce itself twice), which the
// status panes and the seam view follow; the frame under the mouse pointer
// through pointerFrameChanged.
//
// Threading: user-interface thread only.
#pragma once

#include "document/QuorvelDoc.h"
#include "framework/Document.h"
#include "playback/LoopingPlayback.h"
#include "view/PitchCache.h"
#include "view/TimeRuler.h"
#include "view/ViewGeometry.h"
#include "view/WaveformDrawing.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QColor>
#include <QImage>

#include <functional>
#include <memory>
#include <optional>

class CRulerWidget;

class CQuorvelView : public QAbstractScrollArea, public IDocumentView, public IPlaybackHost {
    Q_OBJECT

public:
    static constexpr int kPlayTimerId = 1001;
    static constexpr int kPlayTimerPeriod = 20;  // ms

    // pWaveOut may be null (no device).
    explicit CQuorvelView(CQuorvelDoc& doc, std::unique_ptr<IWaveOut> pWaveOut = nullptr, QWidget* pParent = nullptr);
    ~CQuorvelView() override;

    CQuorvelDoc& GetDocument() { return m_doc; }
    // The document's detected pitch, detected again only when its frames
    // (or the loop a short sample is measured through) change.
    const std::optional<CPitch>& GetDetectedPitch() { return m_pitchCache.Get(m_doc); }
    // Stops playback and replaces the output device (null: none).
    void SetWaveOut(std::unique_ptr<IWaveOut> pWaveOut);
    CLoopingPlayback& GetPlayback() { return *m_pPlayback; }
    const CViewGeometry& GetGeometry() const { return m_geometry; }
    double GetZoom() const { return m_geometry.m_dZoom; }
    // Gain of the waveform trace (1 = full scale fills a lane).
    double GetAmplitude() const { return m_geometry.m_dAmplitude; }
    // Sets the gain (limited to 1 … CViewGeometry::kMaxAmplitude) and
    // repaints the waveform band.
    void SetAmplitude(double gain);
    // The frame under client x, or −1 where no frame of a loaded sample is.
    int FrameAtClientX(int x) const;
    // The horizontal and vertical scroll position, pixels.
    QPoint GetScrollPosition() const;
    // Content width in frames (loaded) or pixels, and height in pixels.
    QSize GetContentSize() const;
    // The size the scroll range covers, pixels.
    QSize GetTotalSize() const;
    // What is on screen (viewport size); for tests and diagnostics.
    const QImage& GetBackingImage() const { return m_image; }
    // Off: every repaint reads the frames of its columns (reference drawing).
    void SetUseWaveSummary(bool bUse);

    // --- lifecycle (called by the shell) ---------------------------------------
    // A new or opened document is shown: stop playback, fit the scale to the
    // width, gain 1, start the 20 ms cursor timer, fit the frame, repaint
    // everything.
    // The fit uses the viewport's current width, so call it once the view has
    // its size (its window shown, or its layout activated).
    void OnInitialUpdate();
    // Any change announced by the document: scroll sizes, shrink-fit, repaint.
    void OnUpdate();
    // The window goes away: playback stops. Also run by the destructor.
    void OnDestroy();

    // --- geometry and repaints ---------------------------------------------------
    void UpdateScrollSizes();
    void SetZoom(double zoom);
    void SaveMarkers();
    // Whether the document's loop differs from the one SaveMarkers saved.
    bool LoopChangedSinceSave() const;
    // Repaints the saved and the current marker columns, and marks the
    // document modified when the loop changed since SaveMarkers.
    void RedrawMarkers();
    void RedrawPlayCursor() override;
    void RedrawStrip(int strip);
    void RedrawWaveBand();
    // Moves the dragged loop point(s) to the frame under the client point.
    void TrackMouse(const QPoint& ptClient);

    // --- IDocumentView -------------------------------------------------------------
    void OnDocumentUpdate(IDocumentView* pSender, long lHint) override;

    // --- IPlaybackHost ---------------------------------------------------------------
    void PostStop() override;
    void ShowPlaybackMessage(const std::string& text) override;

    // Members of the view (initial values as constructed).
    bool m_bDragEnd = false;
    bool m_bDragStart = false;
    const QColor m_brushBackground{0, 0, 0};
    const QColor m_penWave{0, 0xAA, 0};
    const QColor m_penPlayCursor{0xFF, 0, 0};
    const QColor m_penGrid{0, 0, 0xAA};
    bool m_bSavedLoop = false;
    std::int32_t m_nSavedLoopEnd = 0;
    std::int32_t m_nSavedLoopStart = 0;
    const QColor m_crTextBk{0, 0, 0};
    const QColor m_crText{0xAA, 0, 0};

    // --- several loops and the release marker ---
    // The loop the mouse and the Edit commands act on (0 = the first; see
    // CQuorvelDoc::RunOnLoop); the middle button drags the release marker.
    void SetActiveLoop(int index) { m_nActiveLoop = index; }
    int GetActiveLoop() const { return m_nActiveLoop; }
    // Runs `op` on the active loop and repaints the whole view (the loops
    // trade places while it runs).
    void RunOnActiveLoop(const std::function<void()>& op);
    int m_nActiveLoop = 0;
    bool m_bDragRelease = false;

public slots:
    void OnZoomIn();
    void OnZoomOut();
    void OnZoomOneToOne();
    void OnZoomAll();
    void OnZoomLoop();
    void OnAmplitudeIn();
    void OnAmplitudeOut();
    void OnAmplitudeFit();
    void OnFindLoop();
    void OnFindLoopCrossfade();
    void OnAutoLoop();
    void OnAutoLoopCrossfade();
    void OnReload();
    void OnRemoveLoop();
    void OnSpectralCombFilter();
    void OnPlay();
    // Plays from one second before the loop end, then loops as Play does.
    void OnPlaySeam();
    void OnStop();
    // Edit > Undo and Redo: one step of the document's history back or
    // forward (nothing when there is none), then everything repainted.
    void OnUndo();
    void OnRedo();

public:
    // --- loop points by number and by key ----------------------------------------
    // Sets the loop to start … end (frames, brought inside the sample) as
    // one undo step named `name`.
    void SetLoopPoints(int start, int end, const char* name);
    enum class NudgeStep { Frame, ZeroCrossing, Period };
    // Moves the marker last set (by mouse: left button the start, right the
    // end) one step left (direction −1) or right (+1); the period is
    // estimated over the loop. Without a loop the whole sample is the loop.
    void NudgeMarker(int direction, NudgeStep unit);
    bool IsLastSetMarkerEnd() const { return m_bLastSetEnd; }

    // --- time ruler ------------------------------------------------------------------
    // Shows or hides the ruler above the waveform (hidden: the viewport and
    // its pixels are exactly as without a ruler), and its unit. The ruler
    // takes its strip from the viewport; the window may give it back.
    void SetRulerVisible(bool bVisible);
    bool IsRulerVisible() const;
    void SetRulerUnit(RulerUnit unit);
    RulerUnit GetRulerUnit() const;

signals:
    // The viewport should become `size` pixels; with shrinkOnly it may only
    // get smaller in each direction.
    void contentSizeChanged(QSize size, bool shrinkOnly);
    // The loop or the frames of the document changed (emitted after the change).
    void loopOrFramesChanged();
    // The frame under the mouse pointer; −1 when the pointer left the view
    // or is not over a frame.
    void pointerFrameChanged(int frame);
    // An undo step was added, taken back or brought back, or the history
    // was cleared (emitted after the change).
    void undoHistoryChanged();

protected:
    // Overridable so tests can see and answer what the user would.
    virtual void ShowMessage(const QString& text, bool bWarning);
    // Erase and paint rc (client pixels) before returning.
    virtual void RepaintClientRect(const QRect& rc);
    virtual void RepaintAll();
    // Refills the end-loop curve after the loop start moved.
    virtual void ComputeEndLoopCurve();

    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void timerEvent(QTimerEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    // Left/Right nudge a marker (Ctrl: to a zero crossing, Shift: by a
    // period), Home/End and PageUp/PageDown scroll, Space plays and stops.
    void keyPressEvent(QKeyEvent* pEvent) override;
    bool viewportEvent(QEvent* pEvent) override;

private:
    void ResizeParentToFit(bool bShrinkOnly);
    void SyncScrollBars();
    // Frames changed in place: the drawing's min/max summary is stale, and
    // whoever follows the frames is told.
    void FramesChanged();
    // Frames rewritten by an edit: as FramesChanged, and a document that has
    // frames now differs from its file.
    void FramesEdited()
    {
        FramesChanged();
        if (m_doc.m_nFrameCount > 0)
            m_doc.SetModifiedFlag();
    }
    // Runs Reload; on failure shows the message and returns false.
    bool ReloadReporting();
    // Runs an edit of the frames or loop; an allocation failure is shown
    // and false returned.
    bool RunReporting(const std::function<void()>& operation);
    // The crossfade commands: Reload, `search`, and when it placed a loop the
    // crossfade of the command's length. nullopt when something failed (and
    // was shown), else whether a loop was placed.
    std::optional<bool> ReloadSearchCrossfade(const std::function<bool()>& search);
    // After Auto Loop placed a loop: the end-loop curve for its start, the
    // markers and that strip repainted, the document marked changed.
    void AutoLoopPlaced();
    void RepaintColumn(int contentX);
    // Clears the drag flag of each loop point whose button is not in buttons.
    void EndReleasedDrags(Qt::MouseButtons buttons);
    PlayCursorState GetCursorState() const;

    // --- undo steps ----------------------------------------------------------------
    // Closes the step of a mouse drag once no loop point is dragged any more.
    void EndDragStep();
    void ApplyHistory(bool bUndo);
    bool m_bDragStep = false;  // a drag's undo step is open
    bool m_bLastSetEnd = false;  // the marker the keys nudge: end (else start)
    CRulerWidget* m_pRuler = nullptr;  // child; hidden until asked for
    void PlaceRuler();
    void ScrollToX(int contentX);

    CQuorvelDoc& m_doc;
    CPitchCache m_pitchCache;  // shared by the panels that show detunes
    CViewGeometry m_geometry;
    CWaveformDrawing m_drawing;
    QImage m_image;
    QBasicTimer m_timer;
    std::unique_ptr<IWaveOut> m_pWaveOut;
    std::unique_ptr<CLoopingPlayback> m_pPlayback;
    bool m_bSyncingScroll = false;
    bool m_bDestroyed = false;
};
