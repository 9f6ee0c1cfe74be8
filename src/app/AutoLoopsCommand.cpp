#include "app/AutoLoopsCommand.h"

#include "analysis/AutoLoop.h"
#include "app/AcceleratorTable.h"
#include "app/MainFrame.h"
#include "app/Resource.h"
#include "view/QuorvelView.h"
#include "view/UndoStep.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>

CAutoLoopsCommand::CAutoLoopsCommand(CMainFrame& frame, CQuorvelView& view)
    : QObject(&frame), m_frame(frame), m_view(view)
{
    QAction* item = frame.AddMenuCommand(nullptr, ID_EDIT_AUTO_LOOPS, QStringLiteral("Auto Loo&p...\tCtrl+Alt+J"));
    frame.GetEditMenu()->insertAction(frame.GetCommandAction(ID_EDIT_REMOVE_LOOP), item);
    frame.GetAccelerators()->Add(Qt::ControlModifier | Qt::AltModifier, Qt::Key_J, ID_EDIT_AUTO_LOOPS);
    frame.SetCommandHandler(ID_EDIT_AUTO_LOOPS, [this] { OnCommand(); });
}

void CAutoLoopsCommand::OnCommand()
{
    const CQuorvelDoc& doc = m_view.GetDocument();
    if (!doc.m_bLoaded || doc.m_nFrameCount <= 0)
        return;
    bool bOk = false;
    const int count = QInputDialog::getInt(&m_frame, QStringLiteral("Auto Loop"), QStringLiteral("Number of loops:"),
                                           1, 1, kMaxAutoLoops, 1, &bOk);
    if (bOk)
        Place(count);
}

int CAutoLoopsCommand::Place(int count)
{
    CQuorvelDoc& doc = m_view.GetDocument();
    int found = 0;
    {
        const CUndoStep step(m_view, "Auto Loop");
        found = doc.AutoLoops(count);
        if (found == 0)
            return 0;  // the document has said why
        doc.SetModifiedFlag();
        doc.ComputeEndLoopCurve();
    }
    m_view.SetActiveLoop(0);
    m_view.OnUpdate();
    emit m_view.loopOrFramesChanged();
    if (found < count)
        doc.GetUserInterface().ShowMessage(FewerAutoLoopsMessage(found, count), "", MessageIcon::Warning);
    return found;
}
