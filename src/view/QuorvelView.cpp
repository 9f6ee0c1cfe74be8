#include "view/QuorvelView.h"

#include "view/NullWaveOut.h"
#include "view/RulerWidget.h"
#include "view/UndoStep.h"
#include "view/ViewImagePainter.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>

#include <algorithm>
#include <new>
#include <utility>

CQuorvelView::CQuorvelView(CQuorvelDoc& doc, std::unique_ptr<IWaveOut> pWaveOut, QWidget* pParent)
    : QAbstractScrollArea(pParent), m_doc(doc), m_geometry(&doc)
{
    setObjectName(QStringLiteral("CQuorvelView"));
    setFrameShape(QFrame::NoFrame);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    // Moves without a button come too, for the frame under the pointer.
    viewport()->setMouseTracking(true);
    SetWaveOut(std::move(pWaveOut));
    m_doc.AddView(this);
}

CQuorvelView::~CQuorvelView()
{
    OnDestroy();
    m_doc.RemoveView(this);
}

void CQuorvelView::SetWaveOut(std::unique_ptr<IWaveOut> pWaveOut)
{
    if (m_pPlayback)
        m_pPlayback->OnStop();
    m_pPlayback.reset();
    m_pWaveOut = pWaveOut ? std::move(pWaveOut) : std::make_unique<CNullWaveOut>();
    m_pPlayback = std::make_unique<CLoopingPlayback>(*m_pWaveOut, *this);
    m_pPlayback->SetDocument(&m_doc);
}

QPoint CQuorvelView::GetScrollPosition() const
{
    const ViewPoint pt = m_geometry.GetScrollPosition();
    return {pt.x, pt.y};
}

QSize CQuorvelView::GetContentSize() const
{
    const ViewSize size = m_geometry.GetContentSize();
    return {size.cx, size.cy};
}

QSize CQuorvelView::GetTotalSize() const
{
    const ViewSize size = m_geometry.GetTotalSize();
    return {size.cx, size.cy};
}

void CQuorvelView::SetUseWaveSummary(bool bUse)
{
    m_drawing.SetUseSummary(bUse);
}

// --- lifecycle ------------------------------------------------------------------

void CQuorvelView::OnInitialUpdate()
{
    OnUpdate();
    m_geometry.SetClientSize(viewport()->width(), viewport()->height());
    m_geometry.FitZoomToClient();
    m_geometry.SetAmplitude(1.0);
    OnStop();
    m_timer.stop();
    m_timer.start(kPlayTimerPeriod, this);
    UpdateScrollSizes();
    ResizeParentToFit(false);
    RepaintAll();
}

void CQuorvelView::OnUpdate()
{
    // Whatever changed, the frames may be new.
    FramesChanged();
    UpdateScrollSizes();
    ResizeParentToFit(true);
    RepaintAll();
}

void CQuorvelView::FramesChanged()
{
    m_drawing.InvalidateSummary();
    m_pPlayback->OnFramesChanged();
    emit loopOrFramesChanged();
}

void CQuorvelView::OnDocumentUpdate(IDocumentView*, long)
{
    OnUpdate();
}

void CQuorvelView::OnDestroy()
{
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    m_timer.stop();
    OnStop();
}

void CQuorvelView::ResizeParentToFit(bool bShrinkOnly)
{
    emit contentSizeChanged(GetTotalSize(), bShrinkOnly);
}

// --- geometry ---------------------------------------------------------------------

void CQuorvelView::UpdateScrollSizes()
{
    m_geometry.SetClientSize(viewport()->width(), viewport()->height());
    m_geometry.UpdateScrollSizes();
    SyncScrollBars();
}

void CQuorvelView::SyncScrollBars()
{
    // Showing or hiding a scroll bar is laid out later; the viewport's
    // resize then comes back through resizeEvent, which syncs again.
    if (m_bSyncingScroll)
        return;
    m_bSyncingScroll = true;
    const ViewPoint limit = m_geometry.GetScrollLimit();
    const ViewPoint pos = m_geometry.GetScrollPosition();
    const ViewSize total = m_geometry.GetTotalSize();
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, limit.x);
    h->setPageStep(std::max(1, m_geometry.GetClientWidth()));
    h->setSingleStep(std::max(1, total.cx / 100));
    h->setValue(pos.x);
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, limit.y);
    v->setPageStep(std::max(1, m_geometry.GetClientHeight()));
    v->setSingleStep(std::max(1, total.cy / 100));
    v->setValue(pos.y);
    m_bSyncingScroll = false;
}

void CQuorvelView::SetZoom(double zoom)
{
    m_geometry.SetClientSize(viewport()->width(), viewport()->height());
    m_geometry.SetZoom(zoom);
    SyncScrollBars();
    RepaintAll();
}

void CQuorvelView::OnZoomIn()
{
    SetZoom(m_geometry.m_dZoom * CViewGeometry::kZoomInFactor);
}

void CQuorvelView::OnZoomOut()
{
    SetZoom(m_geometry.m_dZoom * CViewGeometry::kZoomOutFactor);
}

void CQuorvelView::OnZoomOneToOne()
{
    SetZoom(1.0);
}

void CQuorvelView::OnZoomAll()
{
    m_geometry.SetClientSize(viewport()->width(), viewport()->height());
    m_geometry.ZoomAll();
    SyncScrollBars();
    RepaintAll();
}

void CQuorvelView::OnZoomLoop()
{
    // A scroll bar that the new scale shows or hides changes the width the
    // loop must fit: fit again to the viewport the bars leave.
    for (int pass = 0; pass < 3; ++pass) {
        const int width = viewport()->width();
        m_geometry.SetClientSize(width, viewport()->height());
        if (!m_geometry.ZoomLoop())
            return;
        SyncScrollBars();
        if (viewport()->width() == width)
            break;
    }
    RepaintAll();
}

void CQuorvelView::SetAmplitude(double gain)
{
    m_geometry.SetAmplitude(gain);
    RedrawWaveBand();
}

void CQuorvelView::OnAmplitudeIn()
{
    m_geometry.AmplitudeIn();
    RedrawWaveBand();
}

void CQuorvelView::OnAmplitudeOut()
{
    m_geometry.AmplitudeOut();
    RedrawWaveBand();
}

void CQuorvelView::OnAmplitudeFit()
{
    m_geometry.FitAmplitude();
    RedrawWaveBand();
}

// --- repaints -------------------------------------------------------------------------

void CQuorvelView::RepaintClientRect(const QRect& rc)
{
    if (m_bDestroyed || rc.isEmpty())
        return;
    viewport()->repaint(rc);
}

void CQuorvelView::RepaintAll()
{
    if (m_bDestroyed)
        return;
    if (m_pRuler && m_pRuler->isVisible())
        m_pRuler->update();
    viewport()->repaint();
}

void CQuorvelView::RepaintColumn(int contentX)
{
    const int s = m_geometry.GetScrollPosition().x;
    RepaintClientRect(QRect(contentX - s, 0, 1, m_geometry.GetContentSize().cy));
}

void CQuorvelView::SaveMarkers()
{
    m_bSavedLoop = m_doc.m_bHasLoop;
    m_nSavedLoopEnd = m_doc.m_nLoopEnd;
    m_nSavedLoopStart = m_doc.m_nLoopStart;
}

bool CQuorvelView::LoopChangedSinceSave() const
{
    if (m_bSavedLoop != m_doc.m_bHasLoop)
        return true;
    return m_doc.m_bHasLoop && (m_nSavedLoopStart != m_doc.m_nLoopStart || m_nSavedLoopEnd != m_doc.m_nLoopEnd);
}

void CQuorvelView::RedrawMarkers()
{
    // Every change of the loop, by mouse or command, comes here after
    // SaveMarkers: a loop other than the saved one is an edit.
    if (LoopChangedSinceSave())
        m_doc.SetModifiedFlag();
    if (m_bSavedLoop) {
        RepaintColumn(m_geometry.FrameToX(m_nSavedLoopStart));
        RepaintColumn(m_geometry.FrameToX(m_nSavedLoopEnd));
    }
    if (m_doc.m_bHasLoop) {
        RepaintColumn(m_geometry.FrameToX(m_doc.m_nLoopStart));
        RepaintColumn(m_geometry.FrameToX(m_doc.m_nLoopEnd));
    }
    // Every loop change ends here.
    emit loopOrFramesChanged();
}

void CQuorvelView::RedrawPlayCursor()
{
    const int a = m_geometry.FrameToX(m_pPlayback->m_nDrawnPlayPos);
    const int b = m_geometry.FrameToX(m_pPlayback->m_nPlayPos);
    if (a == b)
        return;
    RepaintColumn(a);
    RepaintColumn(b);
}

void CQuorvelView::RedrawStrip(int strip)
{
    if (strip < 0 || strip >= m_geometry.GetStripCount())
        return;
    const int s = m_geometry.m_nStripHeight;
    RepaintClientRect(QRect(0, m_geometry.GetWaveBandHeight() + strip * s, viewport()->width(), s));
}

void CQuorvelView::RedrawWaveBand()
{
    RepaintClientRect(QRect(0, 0, viewport()->width(), m_geometry.GetWaveBandHeight()));
}

PlayCursorState CQuorvelView::GetCursorState() const
{
    return {m_pPlayback->m_bPlaying, m_pPlayback->m_nPlayPos};
}

void CQuorvelView::paintEvent(QPaintEvent* pEvent)
{
    const QSize size = viewport()->size();
    if (m_image.size() != size) {
        m_image = QImage(size, QImage::Format_RGB32);
        m_image.fill(m_brushBackground);
    }
    m_geometry.SetClientSize(size.width(), size.height());
    const PlayCursorState cursor = GetCursorState();
    for (const QRect& rc : pEvent->region())
        PaintViewImage(m_image, rc, m_drawing, m_doc, m_geometry, cursor);
    QPainter painter(viewport());
    for (const QRect& rc : pEvent->region())
        painter.drawImage(rc.topLeft(), m_image, rc);
}

void CQuorvelView::resizeEvent(QResizeEvent*)
{
    PlaceRuler();
    m_geometry.SetClientSize(viewport()->width(), viewport()->height());
    if (m_doc.m_bLoaded)
        m_geometry.UpdateScrollSizes();
    SyncScrollBars();
}

void CQuorvelView::wheelEvent(QWheelEvent* pEvent)
{
    // Ctrl+wheel zooms around the frame under the pointer.
    if (pEvent->modifiers() & Qt::ControlModifier) {
        const int delta = pEvent->angleDelta().y();
        if (delta != 0) {
            const double factor = delta > 0 ? CViewGeometry::kZoomInFactor : CViewGeometry::kZoomOutFactor;
            m_geometry.SetClientSize(viewport()->width(), viewport()->height());
            m_geometry.ZoomAroundClientX(m_geometry.m_dZoom * factor, TruncToInt(pEvent->position().x()));
            SyncScrollBars();
            RepaintAll();
        }
        pEvent->accept();
        return;
    }
    // Without a vertical range the wheel scrolls the waveform sideways.
    if (verticalScrollBar()->maximum() == 0 && horizontalScrollBar()->maximum() > 0) {
        QCoreApplication::sendEvent(horizontalScrollBar(), pEvent);
        return;
    }
    QAbstractScrollArea::wheelEvent(pEvent);
}

void CQuorvelView::scrollContentsBy(int, int)
{
    if (m_bSyncingScroll)
        return;  // the caller repaints
    m_geometry.ScrollToPosition({horizontalScrollBar()->value(), verticalScrollBar()->value()});
    if (m_pRuler && m_pRuler->isVisible())
        m_pRuler->update();
    viewport()->update();
}

// --- mouse --------------------------------------------------------------------------------

namespace {

// Truncated like every other double-to-pixel conversion of the view;
// toPoint() would round a fractional logical position to the next pixel.
QPoint ClientPoint(const QMouseEvent* pEvent)
{
    const QPointF pt = pEvent->position();
    return {TruncToInt(pt.x()), TruncToInt(pt.y())};
}

}  // namespace

int CQuorvelView::FrameAtClientX(int x) const
{
    if (!m_doc.m_bLoaded)
        return -1;
    const int contentX = x + m_geometry.GetScrollPosition().x;
    const int frame = m_geometry.XToFrame(contentX);
    return contentX >= 0 && frame < m_doc.m_nFrameCount ? frame : -1;
}

bool CQuorvelView::viewportEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::Leave)
        emit pointerFrameChanged(-1);
    return QAbstractScrollArea::viewportEvent(pEvent);
}

void CQuorvelView::EndReleasedDrags(Qt::MouseButtons buttons)
{
    // A release can be lost (a modal box or another window takes the mouse
    // mid-drag); a drag whose button is no longer down must not go on.
    if (!(buttons & Qt::LeftButton))
        m_bDragStart = false;
    if (!(buttons & Qt::RightButton))
        m_bDragEnd = false;
    if (!(buttons & Qt::MiddleButton))
        m_bDragRelease = false;
    EndDragStep();
}

void CQuorvelView::EndDragStep()
{
    if (m_bDragStep && !m_bDragStart && !m_bDragEnd && !m_bDragRelease) {
        m_bDragStep = false;
        m_doc.EndUndoStep();
        emit undoHistoryChanged();
    }
}

void CQuorvelView::mousePressEvent(QMouseEvent* pEvent)
{
    EndReleasedDrags(pEvent->buttons());
    const bool bDrag = pEvent->button() == Qt::LeftButton || pEvent->button() == Qt::RightButton ||
                       (pEvent->button() == Qt::MiddleButton && m_doc.m_bLoaded);
    if (bDrag && !m_bDragStep) {
        // The whole drag, press to release, is one step.
        m_bDragStep = true;
        m_doc.BeginUndoStep(pEvent->button() == Qt::LeftButton    ? "Move Loop Start"
                            : pEvent->button() == Qt::RightButton ? "Move Loop End"
                                                                  : "Move Release Marker");
    }
    if (pEvent->button() == Qt::LeftButton) {
        m_bLastSetEnd = false;
        m_bDragStart = true;
        TrackMouse(ClientPoint(pEvent));
    } else if (pEvent->button() == Qt::RightButton) {
        m_bLastSetEnd = true;
        m_bDragEnd = true;
        TrackMouse(ClientPoint(pEvent));
    } else if (pEvent->button() == Qt::MiddleButton && m_doc.m_bLoaded) {
        m_bDragRelease = true;
        TrackMouse(ClientPoint(pEvent));
    }
    emit pointerFrameChanged(FrameAtClientX(ClientPoint(pEvent).x()));
    // Accepted, so that the release comes back here wherever it happens.
    pEvent->accept();
}

void CQuorvelView::mouseReleaseEvent(QMouseEvent* pEvent)
{
    // The button went down here, so its release comes here even when the
    // pointer is outside the window: the drag always ends.
    if (pEvent->button() == Qt::LeftButton)
        m_bDragStart = false;
    else if (pEvent->button() == Qt::RightButton)
        m_bDragEnd = false;
    else if (pEvent->button() == Qt::MiddleButton)
        m_bDragRelease = false;
    EndDragStep();
    pEvent->accept();
}

void CQuorvelView::mouseMoveEvent(QMouseEvent* pEvent)
{
    EndReleasedDrags(pEvent->buttons());
    TrackMouse(ClientPoint(pEvent));
    emit pointerFrameChanged(FrameAtClientX(ClientPoint(pEvent).x()));
    pEvent->accept();
}

void CQuorvelView::TrackMouse(const QPoint& ptClient)
{
    const int s = m_geometry.GetScrollPosition().x;
    if (m_bDragRelease) {
        const int old = m_doc.m_nRelease;
        m_doc.SetRelease(std::max(0, m_geometry.XToFrame(ptClient.x() + s)));
        if (m_doc.m_nRelease != old) {
            m_doc.SetModifiedFlag();
            if (old >= 0)
                RepaintColumn(m_geometry.FrameToX(old));
            RepaintColumn(m_geometry.FrameToX(m_doc.m_nRelease));
            emit loopOrFramesChanged();
        }
    }
    if (m_nActiveLoop > 0 && (m_bDragStart || m_bDragEnd)) {
        const bool bRelease = std::exchange(m_bDragRelease, false);
        RunOnActiveLoop([&] { TrackMouse(ptClient); });
        m_bDragRelease = bRelease;
        return;
    }
    if (m_bDragStart) {
        const int x = ptClient.x() + s;
        SaveMarkers();
        m_doc.EnsureLoop();
        m_doc.m_nLoopStart = m_geometry.XToFrame(x);
        m_doc.NormalizeLoop();
        ComputeEndLoopCurve();
        RedrawMarkers();
        RedrawStrip(1);
    }
    if (m_bDragEnd) {
        const int x = ptClient.x() + s;
        SaveMarkers();
        m_doc.EnsureLoop();
        m_doc.m_nLoopEnd = m_geometry.XToFrame(x);
        m_doc.NormalizeLoop();
        RedrawMarkers();
    }
}

void CQuorvelView::RunOnActiveLoop(const std::function<void()>& op)
{
    // The command's own step would see the chosen loop in first place: this
    // one, named by the command, sees the list as the user does.
    const CUndoStep step(*this, "");
    const int active = std::exchange(m_nActiveLoop, 0);
    m_doc.RunOnLoop(active, op);
    m_nActiveLoop = std::min<int>(active, int(m_doc.GetLoops().size()) - 1);
    m_nActiveLoop = std::max(m_nActiveLoop, 0);
    if (active > 0) {
        ComputeEndLoopCurve();
        RepaintAll();
        emit loopOrFramesChanged();
    }
}

void CQuorvelView::ComputeEndLoopCurve()
{
    m_doc.ComputeEndLoopCurve();
}

// --- playback -------------------------------------------------------------------------------

void CQuorvelView::OnPlay()
{
    m_pPlayback->OnPlay();
}

void CQuorvelView::OnPlaySeam()
{
    m_pPlayback->OnPlaySeam();
}

void CQuorvelView::OnStop()
{
    m_pPlayback->OnStop();
}

void CQuorvelView::PostStop()
{
    QMetaObject::invokeMethod(this, &CQuorvelView::OnStop, Qt::QueuedConnection);
}

void CQuorvelView::ShowPlaybackMessage(const std::string& text)
{
    ShowMessage(QString::fromStdString(text), false);
}

void CQuorvelView::timerEvent(QTimerEvent* pEvent)
{
    if (pEvent->timerId() == m_timer.timerId()) {
        m_pPlayback->OnTimer(kPlayTimerId);
        return;
    }
    QAbstractScrollArea::timerEvent(pEvent);
}
