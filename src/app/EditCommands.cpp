#include "app/EditCommands.h"

#include "app/AcceleratorTable.h"
#include "app/Icons.h"
#include "app/MainFrame.h"
#include "app/Resource.h"
#include "app/SetLoopDlg.h"
#include "view/QuorvelView.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

CEditCommands::CEditCommands(CMainFrame& frame, CQuorvelView& view) : QObject(&frame), m_frame(frame), m_view(view)
{
    QMenu* edit = frame.GetEditMenu();
    QAction* first = edit->actions().value(0);
    m_pUndo = frame.AddMenuCommand(nullptr, ID_EDIT_UNDO, QString());
    m_pRedo = frame.AddMenuCommand(nullptr, ID_EDIT_REDO, QString());
    edit->insertAction(first, m_pUndo);
    edit->insertAction(first, m_pRedo);
    edit->insertSeparator(first);
    edit->addSeparator();
    // Undo and Redo on the toolbar too, after the file buttons.
    QToolBar* toolBar = frame.GetToolBar();
    QAction* afterFile = toolBar->actions().value(4);  // the separator after Save As
    toolBar->insertSeparator(afterFile);
    for (QAction* action : {m_pUndo, m_pRedo}) {
        action->setIcon(CreateCommandIcon(action->data().toInt()));
        action->setIconVisibleInMenu(false);
        toolBar->insertAction(afterFile, action);
    }
    frame.AddMenuCommand(edit, ID_EDIT_SET_LOOP, QStringLiteral("&Set Loop...\tCtrl+G"));

    CAcceleratorTable* keys = frame.GetAccelerators();
    keys->Add(Qt::AltModifier, Qt::Key_Backspace, ID_EDIT_UNDO);
    keys->Add(Qt::ControlModifier, Qt::Key_Y, ID_EDIT_REDO);
    keys->Add(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z, ID_EDIT_REDO);
    keys->Add(Qt::ControlModifier, Qt::Key_G, ID_EDIT_SET_LOOP);

    frame.SetCommandHandler(ID_EDIT_UNDO, [this] {
        m_view.OnUndo();
        UpdateUndoItems();
    });
    frame.SetCommandHandler(ID_EDIT_REDO, [this] {
        m_view.OnRedo();
        UpdateUndoItems();
    });
    frame.SetCommandHandler(ID_EDIT_SET_LOOP, [this] { OnSetLoop(); });

    // View > Time Ruler and its unit, after the zoom items.
    QMenu* viewMenu = frame.GetViewMenu();
    QAction* anchor = viewMenu->actions().value(5);  // the separator after Zoom Loop
    QAction* ruler = frame.AddMenuCommand(nullptr, ID_VIEW_RULER, QStringLiteral("Time &Ruler"));
    QAction* frames = frame.AddMenuCommand(nullptr, ID_VIEW_RULER_FRAMES, QStringLiteral("Ruler in F&rames"));
    viewMenu->insertSeparator(anchor);
    viewMenu->insertAction(anchor, ruler);
    viewMenu->insertAction(anchor, frames);
    ruler->setCheckable(true);
    frames->setCheckable(true);
    frame.SetCommandHandler(ID_VIEW_RULER, [this, ruler] {
        // The waveform keeps its size: the window takes or gives back the strip.
        const QSize client = m_view.viewport()->size();
        m_view.SetRulerVisible(!m_view.IsRulerVisible());
        if (m_frame.isVisible())
            m_frame.ResizeParentToFit(client, false);
        ruler->setChecked(m_view.IsRulerVisible());
    });
    frame.SetCommandHandler(ID_VIEW_RULER_FRAMES, [this, frames] {
        const bool bFrames = m_view.GetRulerUnit() != RulerUnit::Frames;
        m_view.SetRulerUnit(bFrames ? RulerUnit::Frames : RulerUnit::Seconds);
        frames->setChecked(bFrames);
    });
    // Every change of the document passes through the view's signal.
    connect(&view, &CQuorvelView::loopOrFramesChanged, this, &CEditCommands::UpdateUndoItems);
    connect(&view, &CQuorvelView::undoHistoryChanged, this, &CEditCommands::UpdateUndoItems);
    connect(edit, &QMenu::aboutToShow, this, &CEditCommands::UpdateUndoItems);
    UpdateUndoItems();
}

void CEditCommands::UpdateUndoItems()
{
    const CUndoHistory& history = m_view.GetDocument().GetUndoHistory();
    const QString undo = QString::fromStdString(history.UndoName());
    const QString redo = QString::fromStdString(history.RedoName());
    m_pUndo->setText((undo.isEmpty() ? QStringLiteral("&Undo") : QStringLiteral("&Undo %1").arg(undo)) +
                     QStringLiteral("\tAlt+Backspace"));
    m_pRedo->setText((redo.isEmpty() ? QStringLiteral("&Redo") : QStringLiteral("&Redo %1").arg(redo)) +
                     QStringLiteral("\tCtrl+Y"));
    m_pUndo->setEnabled(history.CanUndo());
    m_pRedo->setEnabled(history.CanRedo());
}

void CEditCommands::OnSetLoop()
{
    const CQuorvelDoc& doc = m_view.GetDocument();
    if (!doc.m_bLoaded || doc.m_nFrameCount <= 0)
        return;
    const bool bLoop = doc.m_bHasLoop;
    CSetLoopDlg dlg(bLoop ? doc.m_nLoopStart : 0, bLoop ? doc.m_nLoopEnd : doc.m_nFrameCount, doc.m_nFrameCount,
                    doc.m_nSampleRate, &m_frame);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_view.SetLoopPoints(dlg.GetStart(), dlg.GetEnd(), "Set Loop");
}
