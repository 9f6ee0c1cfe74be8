// The waveform view's editing history and keyboard: Undo and Redo, loop
// points set by number or nudged by key, scrolling keys, and the time ruler
// (QuorvelView.h).
#include "view/QuorvelView.h"

#include "analysis/LoopSteps.h"
#include "view/RulerWidget.h"
#include "view/UndoStep.h"

#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>

// --- undo ---------------------------------------------------------------------------------

void CQuorvelView::OnUndo()
{
    ApplyHistory(true);
}

void CQuorvelView::OnRedo()
{
    ApplyHistory(false);
}

void CQuorvelView::ApplyHistory(bool bUndo)
{
    const CUndoHistory& history = m_doc.GetUndoHistory();
    // Mid-drag the drag's own step is still open.
    if (m_bDragStep || (bUndo ? !history.CanUndo() : !history.CanRedo()))
        return;
    const int frames = m_doc.m_nFrameCount;
    const int channels = m_doc.m_nChannels;
    if (!RunReporting([this, bUndo] { bUndo ? m_doc.Undo() : m_doc.Redo(); }))
        return;
    // A step that replaced the whole sample changes what playback reads.
    if (frames != m_doc.m_nFrameCount || channels != m_doc.m_nChannels) {
        OnStop();
        UpdateScrollSizes();
    }
    ComputeEndLoopCurve();
    FramesChanged();
    RepaintAll();
    emit undoHistoryChanged();
}

// --- loop points by number and by key -------------------------------------------------------

void CQuorvelView::SetLoopPoints(int start, int end, const char* name)
{
    if (!m_doc.m_bLoaded || m_doc.m_nFrameCount <= 0)
        return;
    const CUndoStep step(*this, name);
    SaveMarkers();
    const bool bStartMoved = !m_doc.m_bHasLoop || m_doc.m_nLoopStart != start;
    m_doc.m_bHasLoop = true;
    m_doc.m_nLoopStart = start;
    m_doc.m_nLoopEnd = end;
    m_doc.NormalizeLoop();
    if (bStartMoved)
        ComputeEndLoopCurve();
    RedrawMarkers();
    if (bStartMoved)
        RedrawStrip(1);
}

void CQuorvelView::NudgeMarker(int direction, NudgeStep unit)
{
    if (!m_doc.m_bLoaded || m_doc.m_nFrameCount <= 0)
        return;
    // Without a loop the whole sample is the loop, as a first click makes it.
    const int start = m_doc.m_bHasLoop ? m_doc.m_nLoopStart : 0;
    const int end = m_doc.m_bHasLoop ? m_doc.m_nLoopEnd : m_doc.m_nFrameCount;
    const int from = m_bLastSetEnd ? end : start;
    const CFrameView frames{m_doc.m_pSamples.data(), m_doc.m_nFrameCount, m_doc.m_nChannels, m_doc.m_nSampleRate};
    int to = from + direction;
    if (unit == NudgeStep::ZeroCrossing) {
        to = NextZeroCrossing(frames, from, direction);
    } else if (unit == NudgeStep::Period) {
        const int period = EstimatePeriod(frames, start, std::max(end, start + kPeriodWindow));
        if (period <= 0)
            return;
        to = from + direction * period;
    }
    if (m_bLastSetEnd)
        SetLoopPoints(start, std::clamp(to, start + 1, m_doc.m_nFrameCount), "Nudge Loop End");
    else
        SetLoopPoints(std::clamp(to, 0, end - 1), end, "Nudge Loop Start");
}

void CQuorvelView::ScrollToX(int contentX)
{
    m_geometry.SetClientSize(viewport()->width(), viewport()->height());
    m_geometry.ScrollToPosition({contentX, m_geometry.GetScrollPosition().y});
    SyncScrollBars();
    RepaintAll();
}

void CQuorvelView::keyPressEvent(QKeyEvent* pEvent)
{
    const Qt::KeyboardModifiers mods = pEvent->modifiers() & ~Qt::KeypadModifier;
    const int page = std::max(1, m_geometry.GetClientWidth());
    const int x = m_geometry.GetScrollPosition().x;
    switch (pEvent->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int direction = pEvent->key() == Qt::Key_Left ? -1 : 1;
        if (mods == Qt::NoModifier)
            NudgeMarker(direction, NudgeStep::Frame);
        else if (mods == Qt::ControlModifier)
            NudgeMarker(direction, NudgeStep::ZeroCrossing);
        else if (mods == Qt::ShiftModifier)
            NudgeMarker(direction, NudgeStep::Period);
        else
            break;
        return;
    }
    case Qt::Key_Home:
        ScrollToX(0);
        return;
    case Qt::Key_End:
        ScrollToX(m_geometry.GetScrollLimit().x);
        return;
    case Qt::Key_PageUp:
        ScrollToX(x - page);
        return;
    case Qt::Key_PageDown:
        ScrollToX(x + page);
        return;
    case Qt::Key_Space:
        if (mods != Qt::NoModifier)
            break;
        if (m_pPlayback->m_bPlaying)
            OnStop();
        else
            OnPlay();
        return;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(pEvent);
}

// --- time ruler ------------------------------------------------------------------------------

void CQuorvelView::SetRulerVisible(bool bVisible)
{
    if (!m_pRuler) {
        if (!bVisible)
            return;
        m_pRuler = new CRulerWidget(m_geometry, m_doc, this);
    }
    setViewportMargins(0, bVisible ? kRulerHeight : 0, 0, 0);
    m_pRuler->setVisible(bVisible);
    PlaceRuler();
    UpdateScrollSizes();
    RepaintAll();
}

bool CQuorvelView::IsRulerVisible() const
{
    return m_pRuler && !m_pRuler->isHidden();
}

void CQuorvelView::SetRulerUnit(RulerUnit unit)
{
    if (!m_pRuler) {
        m_pRuler = new CRulerWidget(m_geometry, m_doc, this);
        m_pRuler->hide();
    }
    m_pRuler->SetUnit(unit);
}

RulerUnit CQuorvelView::GetRulerUnit() const
{
    return m_pRuler ? m_pRuler->GetUnit() : RulerUnit::Seconds;
}

void CQuorvelView::PlaceRuler()
{
    if (m_pRuler)
        m_pRuler->setGeometry(viewport()->x(), viewport()->y() - kRulerHeight, viewport()->width(), kRulerHeight);
}
