// The waveform view's loop commands: Find Loop and Auto Loop with and
// without the crossfade, Reload, Remove Loop and the comb filter, each one
// undo step, with failures reported in a message box (QuorvelView.h).
#include "view/QuorvelView.h"

#include "framework/Exceptions.h"
#include "framework/UserInterface.h"
#include "view/UndoStep.h"

#include <QMessageBox>

#include <new>

// --- commands ------------------------------------------------------------------------------

void CQuorvelView::ShowMessage(const QString& text, bool bWarning)
{
    QMessageBox box(bWarning ? QMessageBox::Warning : QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text,
                    QMessageBox::Ok, this);
    box.exec();
}

bool CQuorvelView::ReloadReporting()
{
    try {
        m_doc.Reload();
    } catch (const CUserException&) {
        // The user cancelled the sample choice: the document is as it was.
        FramesChanged();
        return false;
    } catch (const CException& e) {
        FramesChanged();
        ShowMessage(QString::fromStdString(FailureMessage(e, FailureContext::Reload)), true);
        return false;
    } catch (const std::exception& e) {
        FramesChanged();
        ShowMessage(QString::fromStdString(FailureMessage(e, FailureContext::Reload)), true);
        return false;
    }
    FramesChanged();
    return true;
}

bool CQuorvelView::RunReporting(const std::function<void()>& operation)
{
    try {
        operation();
        return true;
    } catch (const std::bad_alloc& e) {
        FramesChanged();
        ShowMessage(QString::fromStdString(FailureMessage(e, FailureContext::Reload)), true);
    } catch (const CMemoryException& e) {
        FramesChanged();
        ShowMessage(QString::fromStdString(FailureMessage(e, FailureContext::Reload)), true);
    }
    return false;
}

void CQuorvelView::OnFindLoop()
{
    const CUndoStep step(*this, "Find Loop");
    SaveMarkers();
    if (!RunReporting([this] { m_doc.FindLoop(); }))
        return;
    RedrawMarkers();
}

void CQuorvelView::OnFindLoopCrossfade()
{
    const CUndoStep step(*this, "Find Loop + Crossfade");
    if (!ReloadSearchCrossfade([this] {
            m_doc.FindLoop();
            return m_doc.m_bHasLoop;
        }))
        return;
    RedrawMarkers();
    RedrawWaveBand();
}

std::optional<bool> CQuorvelView::ReloadSearchCrossfade(const std::function<bool()>& search)
{
    SaveMarkers();
    if (!ReloadReporting())
        return std::nullopt;
    bool bPlaced = false;
    const bool bDone = RunReporting([this, &search, &bPlaced] {
        bPlaced = search();
        if (bPlaced)
            m_doc.Crossfade(m_doc.CrossfadeLengthForLoop());
    });
    if (bPlaced)
        FramesEdited();  // crossfaded
    else
        FramesChanged();
    if (!bDone)
        return std::nullopt;
    return bPlaced;
}

// Auto Loop moves the loop start anywhere, so besides the markers the
// end-loop strip is refilled for the new start (as when the start is placed
// with the mouse). Without a steady part the document has said so and
// nothing changed.
void CQuorvelView::OnAutoLoop()
{
    const CUndoStep step(*this, "Auto Loop");
    SaveMarkers();
    bool bFound = false;
    if (!RunReporting([this, &bFound] { bFound = m_doc.AutoLoop(); }) || !bFound)
        return;
    AutoLoopPlaced();
}

void CQuorvelView::OnAutoLoopCrossfade()
{
    const CUndoStep step(*this, "Auto Loop + Crossfade");
    const std::optional<bool> placed = ReloadSearchCrossfade([this] { return m_doc.AutoLoop(); });
    if (!placed)
        return;
    if (*placed)
        AutoLoopPlaced();
    RedrawWaveBand();
}

void CQuorvelView::AutoLoopPlaced()
{
    ComputeEndLoopCurve();
    RedrawMarkers();
    RedrawStrip(1);
    m_doc.SetModifiedFlag();
}

void CQuorvelView::OnReload()
{
    // With no file to re-read (a trimmed sample) nothing changes, so the
    // history stays: the trim can still be undone.
    const bool bSource = !m_doc.m_strSourcePath.empty();
    if (!ReloadReporting())
        return;
    if (bSource) {
        m_doc.ClearUndoHistory();
        emit undoHistoryChanged();
    }
    RedrawWaveBand();
}

void CQuorvelView::OnRemoveLoop()
{
    if (!m_doc.m_bHasLoop)
        return;  // nothing to remove, nothing to repaint
    const CUndoStep step(*this, "Remove Loop");
    SaveMarkers();
    m_doc.m_bHasLoop = false;
    // Without a loop start the end-loop curve has no values: its strip must
    // not go on showing the curve of the loop just removed.
    ComputeEndLoopCurve();
    RedrawMarkers();
    RedrawStrip(1);
}

void CQuorvelView::OnSpectralCombFilter()
{
    const CUndoStep step(*this, "Comb Filter");
    RunReporting([this] { m_doc.SpectralCombFilter(); });
    FramesEdited();
    RepaintAll();
}
