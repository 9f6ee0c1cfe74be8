// CSelectSampleDlg: asks which sample of an instrument to load. The prompt
// names the number of non-empty samples; the edit box starts at 1 with the
// OK button focused, so Enter takes the first sample. OK accepts only a whole
// number from 1 to m_nSampleCount; anything else shows "Entered value is
// incorrect." (caption "Error") and leaves the dialog open. Cancel rejects,
// which fails the load.
//
// User-interface thread only.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class CSelectSampleDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSelectSampleDlg(int nSampleCount, QWidget* pParent = nullptr);
    ~CSelectSampleDlg() override;

    int m_nSample = 0;       // the accepted number (1-based); 0 until OK succeeds
    int m_nSampleCount = 0;  // number of non-empty samples offered

    QLineEdit* GetNumberEdit() const { return m_pNumber; }
    QLabel* GetPromptLabel() const { return m_pPrompt; }
    QPushButton* GetOkButton() const { return m_pOk; }

public slots:
    void accept() override;

private:
    QLabel* m_pPrompt = nullptr;
    QLineEdit* m_pNumber = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
};
