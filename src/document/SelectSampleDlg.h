// CSelectSampleDlg: asks which sample of an instrument to load. The prompt
// names the number of non-empty samples and the edit box's label the range
// ("1 to N"); the edit box starts at 1, focused and selected, so a typed
// number replaces it and Enter accepts. OK accepts only a whole number from
// 1 to m_nSampleCount; anything else shows "Entered value is incorrect."
// (caption "Error") and leaves the dialog open. Cancel rejects, which ends
// the load without a failure report.
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
    QLabel* GetRangeLabel() const { return m_pRange; }
    QPushButton* GetOkButton() const { return m_pOk; }

public slots:
    void accept() override;

private:
    QLabel* m_pPrompt = nullptr;
    QLabel* m_pRange = nullptr;  // "Sample number (1 to N):"
    QLineEdit* m_pNumber = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
};
