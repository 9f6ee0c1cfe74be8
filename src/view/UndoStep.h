// CUndoStep: one undo step of the document around a command of the
// waveform view, closed however the command ends (return or exception);
// the view then announces undoHistoryChanged. User-interface thread only.
#pragma once

#include "view/QuorvelView.h"

class CUndoStep {
public:
    CUndoStep(CQuorvelView& view, const char* name) : m_view(view) { m_view.GetDocument().BeginUndoStep(name); }
    ~CUndoStep()
    {
        m_view.GetDocument().EndUndoStep();
        emit m_view.undoHistoryChanged();
    }
    CUndoStep(const CUndoStep&) = delete;
    CUndoStep& operator=(const CUndoStep&) = delete;

private:
    CQuorvelView& m_view;
};

