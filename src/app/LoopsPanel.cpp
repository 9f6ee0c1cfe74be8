#include "app/LoopsPanel.h"

#include "analysis/SeamMetrics.h"
#include "app/MainFrame.h"
#include "app/Resource.h"
#include "framework/Document.h"
#include "view/QuorvelView.h"
#include "view/UndoStep.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Long enough to let a drag's moves pass, short enough to read as at once.
constexpr int kRefreshDelayMs = 60;

QString Number(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QStringLiteral("∞");
}

// The detune a loop's length causes against the detected pitch, as the
// verdict pane and `ringseam-cli score` give it; "—" without one.
QString DetuneText(const std::optional<CPitch>& pitch, int length, int sampleRate)
{
    const std::optional<double> cents = LoopDetune(pitch, length, sampleRate);
    return cents ? QStringLiteral("%1 ct").arg(*cents >= 0 ? QStringLiteral("+") + QString::number(*cents, 'f', 2)
                                                           : QString::number(*cents, 'f', 2))
                 : QStringLiteral("—");
}

}  // namespace

CLoopsPanel::CLoopsPanel(CMainFrame& frame, CQuorvelView& view)
    : QDockWidget(QStringLiteral("Loops"), &frame), m_frame(frame), m_view(view)
{
    setObjectName(QStringLiteral("loopsDock"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    m_pTable = new QTableWidget(0, ColumnCount, body);
    m_pTable->setObjectName(QStringLiteral("loopsTable"));
    m_pTable->setHorizontalHeaderLabels({QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Length"),
                                         QStringLiteral("Seam"), QStringLiteral("Level dB"),
                                         QStringLiteral("Detune")});
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_pTable);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text, const QString& tip, auto slot) {
        auto* b = new QPushButton(text, body);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    button("addLoop", QStringLiteral("Add"), QStringLiteral("Add a loop: a copy of the chosen one"),
           [this] { AddLoop(); });
    button("removeLoop", QStringLiteral("Remove"), QStringLiteral("Remove the chosen loop"), [this] { RemoveLoop(); });
    button("loopUp", QStringLiteral("Up"), QStringLiteral("Move the chosen loop up"), [this] { MoveLoop(-1); });
    button("loopDown", QStringLiteral("Down"), QStringLiteral("Move the chosen loop down"), [this] { MoveLoop(1); });
    layout->addLayout(buttons);

    auto* release = new QHBoxLayout;
    release->addWidget(new QLabel(QStringLiteral("Release marker:"), body));
    m_pRelease = new QLineEdit(body);
    m_pRelease->setObjectName(QStringLiteral("releaseEdit"));
    m_pRelease->setPlaceholderText(QStringLiteral("none"));
    m_pRelease->setToolTip(QStringLiteral("The frame where the release starts (empty: none); the middle mouse "
                                          "button drags it in the waveform"));
    release->addWidget(m_pRelease);
    layout->addLayout(release);
    setWidget(body);

    frame.addDockWidget(Qt::RightDockWidgetArea, this);
    hide();
    QAction* toggle = frame.GetCommandAction(ID_VIEW_LOOPS);
    connect(this, &QDockWidget::visibilityChanged, this, [this, toggle] {
        if (toggle)
            toggle->setChecked(!isHidden());
        Refresh();
    });
    frame.SetCommandHandler(ID_VIEW_LOOPS, [this] { setVisible(isHidden()); });
    frame.SetCommandHandler(ID_EDIT_FIND_RELEASE, [this] { FindRelease(); });
    frame.SetCommandHandler(ID_EDIT_TRIM_START, [this] { Trim(true); });
    frame.SetCommandHandler(ID_EDIT_TRIM_END, [this] { Trim(false); });
    frame.SetCommandHandler(ID_FILE_EXPORT_LOOP, [this] { ExportLoop(); });
    // The Edit commands act on the chosen loop.
    CQuorvelView* v = &view;
    const std::pair<int, void (CQuorvelView::*)()> edits[] = {
        {ID_EDIT_FIND_LOOP, &CQuorvelView::OnFindLoop},
        {ID_EDIT_FIND_LOOP_CROSSFADE, &CQuorvelView::OnFindLoopCrossfade},
        {ID_EDIT_AUTO_LOOP, &CQuorvelView::OnAutoLoop},
        {ID_EDIT_AUTO_LOOP_CROSSFADE, &CQuorvelView::OnAutoLoopCrossfade},
        {ID_EDIT_REMOVE_LOOP, &CQuorvelView::OnRemoveLoop}};
    for (const auto& [nID, handler] : edits)
        frame.SetCommandHandler(nID, [v, handler] { v->RunOnActiveLoop([v, handler] { (v->*handler)(); }); });

    m_pRefreshTimer = new QTimer(this);
    m_pRefreshTimer->setSingleShot(true);
    m_pRefreshTimer->setInterval(kRefreshDelayMs);
    connect(m_pRefreshTimer, &QTimer::timeout, this, &CLoopsPanel::Refresh);
    connect(&view, &CQuorvelView::loopOrFramesChanged, m_pRefreshTimer, qOverload<>(&QTimer::start));
    connect(m_pTable, &QTableWidget::cellChanged, this, &CLoopsPanel::CellEdited);
    connect(m_pTable, &QTableWidget::itemSelectionChanged, this, [this] {
        if (!m_bFilling && m_pTable->currentRow() >= 0)
            m_view.SetActiveLoop(m_pTable->currentRow());
    });
    connect(m_pRelease, &QLineEdit::editingFinished, this, &CLoopsPanel::ReleaseEdited);
}

void CLoopsPanel::Refresh()
{
    if (isHidden())
        return;
    const CQuorvelDoc& doc = m_view.GetDocument();
    const std::vector<CLoopPoints> loops = doc.GetLoops();
    if (m_view.GetActiveLoop() >= int(loops.size()))  // another document, or loops removed
        m_view.SetActiveLoop(0);
    const CFrameView frames{doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
    const std::optional<CPitch>& pitch = m_view.GetDetectedPitch();
    m_bFilling = true;
    m_pTable->setRowCount(int(loops.size()));
    for (int row = 0; row < int(loops.size()); ++row) {
        const CLoopPoints& l = loops[std::size_t(row)];
        const CSeamMetrics m = MeasureSeam(frames, l.m_nStart, l.m_nEnd);
        const QString cells[ColumnCount] = {QString::number(l.m_nStart), QString::number(l.m_nEnd),
                                            QString::number(l.Length()), Number(m.m_dSeam, 2),
                                            Number(m.m_dLevelDb, 1), DetuneText(pitch, l.Length(), doc.m_nSampleRate)};
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c != Start && c != End)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            m_pTable->setItem(row, c, item);
        }
    }
    const int active = m_view.GetActiveLoop();
    if (active < int(loops.size()))
        m_pTable->selectRow(active);
    m_bFilling = false;
    m_pRelease->setText(doc.m_nRelease >= 0 ? QString::number(doc.m_nRelease) : QString());
}

void CLoopsPanel::LoopsChanged()
{
    CQuorvelDoc& doc = m_view.GetDocument();
    if (doc.m_nFrameCount > 0)
        doc.SetModifiedFlag();
    doc.ComputeEndLoopCurve();
    m_view.OnUpdate();
    emit m_view.loopOrFramesChanged();
    Refresh();
}

void CLoopsPanel::ShowStatus(const QString& text)
{
    m_frame.statusBar()->showMessage(text, 5000);
}

void CLoopsPanel::CellEdited(int row, int column)
{
    if (m_bFilling)
        return;
    CQuorvelDoc& doc = m_view.GetDocument();
    std::vector<CLoopPoints> loops = doc.GetLoops();
    bool bOk = false;
    const int value = m_pTable->item(row, column)->text().trimmed().toInt(&bOk);
    if (row < 0 || std::size_t(row) >= loops.size())
        return;
    CLoopPoints& l = loops[std::size_t(row)];
    (column == Start ? l.m_nStart : l.m_nEnd) = value;
    if (!bOk || l.m_nStart < 0 || l.m_nStart >= l.m_nEnd || l.m_nEnd > doc.m_nFrameCount) {
        ShowStatus(QStringLiteral("A loop needs 0 ≤ start < end ≤ %1 frames.").arg(doc.m_nFrameCount));
        Refresh();
        return;
    }
    const CUndoStep step(m_view, QStringLiteral("Set Loop %1").arg(row + 1).toStdString().c_str());
    doc.SetLoops(loops);
    LoopsChanged();
}

void CLoopsPanel::ReleaseEdited()
{
    CQuorvelDoc& doc = m_view.GetDocument();
    const QString text = m_pRelease->text().trimmed();
    bool bOk = text.isEmpty();
    const int value = bOk ? -1 : text.toInt(&bOk);
    if (!bOk || value > doc.m_nFrameCount || (value < 0 && !text.isEmpty())) {
        ShowStatus(QStringLiteral("The release marker needs a frame from 0 to %1, or nothing.").arg(doc.m_nFrameCount));
        Refresh();
        return;
    }
    if (value == doc.m_nRelease)
        return;
    const CUndoStep step(m_view, "Set Release Marker");
    doc.SetRelease(value);
    LoopsChanged();
}

void CLoopsPanel::AddLoop()
{
    CQuorvelDoc& doc = m_view.GetDocument();
    if (doc.m_nFrameCount <= 0)
        return;
    std::vector<CLoopPoints> loops = doc.GetLoops();
    const int active = m_view.GetActiveLoop();
    loops.push_back(active < int(loops.size()) ? loops[std::size_t(active)] : CLoopPoints{0, doc.m_nFrameCount, 0});
    const CUndoStep step(m_view, "Add Loop");
    doc.SetLoops(loops);
    m_view.SetActiveLoop(int(loops.size()) - 1);
    LoopsChanged();
}

void CLoopsPanel::RemoveLoop()
{
    CQuorvelDoc& doc = m_view.GetDocument();
    std::vector<CLoopPoints> loops = doc.GetLoops();
    const int active = m_view.GetActiveLoop();
    if (active >= int(loops.size()))
        return;
    loops.erase(loops.begin() + active);
    const CUndoStep step(m_view, "Remove Loop");
    doc.SetLoops(loops);
    m_view.SetActiveLoop(std::max(0, std::min(active, int(loops.size()) - 1)));
    LoopsChanged();
}

void CLoopsPanel::MoveLoop(int delta)
{
    CQuorvelDoc& doc = m_view.GetDocument();
    std::vector<CLoopPoints> loops = doc.GetLoops();
    const int active = m_view.GetActiveLoop();
    const int to = active + delta;
    if (active >= int(loops.size()) || to < 0 || to >= int(loops.size()))
        return;
    std::swap(loops[std::size_t(active)], loops[std::size_t(to)]);
    const CUndoStep step(m_view, delta < 0 ? "Move Loop Up" : "Move Loop Down");
    doc.SetLoops(loops);
    m_view.SetActiveLoop(to);
    LoopsChanged();
}

void CLoopsPanel::FindRelease()
{
    CQuorvelDoc& doc = m_view.GetDocument();
    if (!doc.m_bLoaded || doc.m_nFrameCount <= 0)
        return;
    const CUndoStep step(m_view, "Find Release");
    doc.SetRelease(doc.FindRelease());
    LoopsChanged();
}

void CLoopsPanel::Trim(bool bStart)
{
    CQuorvelDoc& doc = m_view.GetDocument();
    if (!doc.m_bLoaded || doc.m_nFrameCount <= 0)
        return;
    CTrimSettings settings;
    settings.m_bStart = bStart;
    settings.m_bEnd = !bStart;
    const CTrimCut cut = doc.PlanTrimCut(settings);
    if (cut.IsEmpty()) {
        ShowStatus(QStringLiteral("Nothing to trim."));
        return;
    }
    const CUndoStep step(m_view, bStart ? "Trim Start" : "Trim End");
    doc.Trim(cut);
    ShowStatus(QStringLiteral("Trimmed %1 frames.").arg(bStart ? cut.m_nStart : cut.m_nEnd));
    LoopsChanged();
}

void CLoopsPanel::ExportLoop()
{
    CQuorvelDoc& doc = m_view.GetDocument();
    CQuorvelDoc loop;
    loop.SetUserInterface(&doc.GetUserInterface());
    if (!doc.m_bLoaded || !doc.CopyLoopInto(m_view.GetActiveLoop(), loop)) {
        ShowStatus(QStringLiteral("There is no loop to export."));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(&m_frame, QStringLiteral("Export Loop"), QString(),
                                                      QStringLiteral("Sample Files (*.wav *.xi)"));
    if (path.isEmpty())
        return;
    // Reports its own failure through the document's user interface.
    if (DocumentFlow::SaveDocument(loop, path.toStdString()))
        ShowStatus(QStringLiteral("Exported %1 frames.").arg(loop.m_nFrameCount));
}
