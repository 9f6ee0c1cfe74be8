// CComputeFFTDlg: the modal "Computing FFT" progress of a load. It polls the
// bank worker every 50 ms (timer 1002), shows the finished steps on a bar
// ranging 0 … total, and accepts itself at the first tick that finds every
// step done. Cancel, Esc and the close box cancel the worker, wait until it
// has ended, and reject, so no worker outlives a failed load.
//
// User-interface thread only. The progress source is not owned and must
// outlive the dialog.
#pragma once

#include <QDialog>

class IProgressSource;
class QProgressBar;
class QPushButton;
class QTimer;

class CComputeFFTDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTimerId = 1002;
    static constexpr int kPollMilliseconds = 50;

    explicit CComputeFFTDlg(IProgressSource& source, QWidget* pParent = nullptr);
    ~CComputeFFTDlg() override;

    QProgressBar* GetProgressBar() const { return m_progress; }
    QPushButton* GetCancelButton() const { return m_pCancel; }

public slots:
    // Cancel button, Esc and the close box all end here.
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private slots:
    void OnTimer();

private:
    IProgressSource& m_source;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_pCancel = nullptr;
    QTimer* m_pTimer = nullptr;
    bool m_bCancelled = false;
};
