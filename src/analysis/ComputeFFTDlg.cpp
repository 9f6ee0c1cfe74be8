#include "analysis/ComputeFFTDlg.h"

#include "framework/UserInterface.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CComputeFFTDlg::CComputeFFTDlg(IProgressSource& source, QWidget* pParent) : QDialog(pParent), m_source(source)
{
    setWindowTitle(QStringLiteral("Computing FFT"));
    setObjectName(QStringLiteral("CComputeFFTDlg"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, source.GetTotal());
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancel->setObjectName(QStringLiteral("cancel"));
    m_pCancel->setAutoDefault(false);
    connect(m_pCancel, &QPushButton::clicked, this, &CComputeFFTDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    // About the size of the original 167 × 36 dialog units.
    resize(250, 70);

    m_pTimer = new QTimer(this);
    m_pTimer->setInterval(kPollMilliseconds);
    connect(m_pTimer, &QTimer::timeout, this, &CComputeFFTDlg::OnTimer);
}

CComputeFFTDlg::~CComputeFFTDlg() = default;

void CComputeFFTDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_pTimer->isActive())
        m_pTimer->start();
}

void CComputeFFTDlg::OnTimer()
{
    if (m_bCancelled || !isVisible())
        return;
    const int pos = m_source.PollDone();
    if (pos == -1)
        return;
    m_progress->setValue(pos);
    if (pos == m_source.GetTotal()) {
        m_pTimer->stop();
        accept();
    }
}

void CComputeFFTDlg::reject()
{
    if (!m_bCancelled) {
        m_bCancelled = true;
        m_pTimer->stop();
        // Blocks until the worker has drained its remaining steps and ended.
        m_source.Cancel();
    }
    QDialog::reject();
}
