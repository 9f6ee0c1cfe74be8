#include "app/StatusPanes.h"

#include "app/MainFrame.h"
#include "view/LoopVerdict.h"
#include "view/QuorvelView.h"
#include "view/StatusText.h"

#include <QLabel>

namespace {

// A sunken pane as wide as `sample`, so that it does not jump as the numbers
// change. A pane that may yield keeps that width only while the bar has room:
// in a narrow window it is cut first, so the loop, pointer and score panes
// are never drawn over one another.
enum class EPaneWidth { Fixed, MayYield };

QLabel* AddPane(CMainFrame& frame, const char* name, const QString& sample, const QString& tip,
                EPaneWidth width = EPaneWidth::Fixed)
{
    auto* pane = new QLabel(sample);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setToolTip(tip);
    frame.AddStatusPane(pane);
    // Measured in the bar, with its font, frame and margins.
    if (width == EPaneWidth::Fixed) {
        pane->setMinimumWidth(pane->sizeHint().width());
    } else {
        // A minimum of 0 would mean "the text's width" to the layout.
        pane->setMaximumWidth(pane->sizeHint().width());
        pane->setMinimumWidth(1);
    }
    pane->clear();
    return pane;
}

}  // namespace

CStatusPanes::CStatusPanes(CMainFrame& frame, CQuorvelView& view) : QObject(&frame), m_view(view)
{
    m_pLoop = AddPane(frame, "paneLoop", QStringLiteral("00000–000000, 000000 frames, 0.000 s"),
                      QStringLiteral("The loop: first frame – frame after the last, its length"));
    m_pPointer = AddPane(frame, "panePointer", QStringLiteral("Frame 000000, 0.000 s"),
                         QStringLiteral("The frame under the mouse pointer and its time"));
    m_pScore = AddPane(frame, "paneScore", QStringLiteral("Score 0.00000"),
                       QStringLiteral("The seam score: how far the sound after the loop end strays from the "
                                      "sound after the loop start (lower is better), as ringseam-cli score "
                                      "rates it"));
    m_pVerdict = AddPane(frame, "paneVerdict", QStringLiteral("seam 0.000 not clean, level 00.0 dB, detune +00.00 ct"),
                         QStringLiteral("The seam (1.5 or less is clean, as ringseam-cli score judges it), the level "
                                        "step across it, the detune the loop's length causes against the detected pitch, and "
                                        "a warning for a loop under 2 ms or under one period"),
                         EPaneWidth::MayYield);
    m_verdictTimer.setSingleShot(true);
    m_verdictTimer.setInterval(kVerdictDelayMs);
    connect(&m_verdictTimer, &QTimer::timeout, this, &CStatusPanes::UpdateVerdict);
    m_pPitch = AddPane(frame, "panePitch", QStringLiteral("C#4 +00.0 ct (0000.0 Hz), loop +0.00 ct"),
                       QStringLiteral("The pitch of the steady part (nearest note, cents, frequency) and the "
                                      "detune the loop's length causes against it"),
                       EPaneWidth::MayYield);
    connect(&view, &CQuorvelView::loopOrFramesChanged, this, &CStatusPanes::UpdateLoop);
    connect(&view, &CQuorvelView::pointerFrameChanged, this, &CStatusPanes::UpdatePointer);
    UpdateLoop();
}

void CStatusPanes::UpdateLoop()
{
    const CQuorvelDoc& doc = m_view.GetDocument();
    m_pLoop->setText(QString::fromStdString(LoopPaneText(doc)));
    m_pScore->setText(QString::fromStdString(ScorePaneText(doc)));
    m_pPitch->setText(QString::fromStdString(PitchPaneText(doc, m_view.GetDetectedPitch())));
    // The verdict reads every frame of the loop: a drag's burst of changes
    // is judged once it pauses.
    m_verdictTimer.start();
}

void CStatusPanes::UpdateVerdict()
{
    const CLoopVerdict verdict = JudgeLoop(m_view.GetDocument(), m_view.GetDetectedPitch());
    m_pVerdict->setText(QString::fromStdString(VerdictPaneText(verdict)));
    m_pVerdict->setStyleSheet(verdict.IsTooShort() ? QStringLiteral("color: #b00000;") : QString());
}

void CStatusPanes::UpdatePointer(int frame)
{
    m_pPointer->setText(QString::fromStdString(PointerPaneText(m_view.GetDocument(), frame)));
}
