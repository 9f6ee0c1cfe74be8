// CSetLoopDlg: Edit > Set Loop… — the loop start and its end or length,
// typed in frames or seconds (LoopInput.h decides what is accepted). OK
// with values outside the sample shows why and keeps the dialog open.
//
// User-interface thread only; modal, owned by whoever runs it.
#pragma once

#include "view/LoopInput.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CSetLoopDlg : public QDialog {
    Q_OBJECT
public:
    // The loop shown first (frames), the sample's frame count and rate.
    CSetLoopDlg(int start, int end, int frameCount, int sampleRate, QWidget* pParent = nullptr);

    // After Accepted: the loop chosen, frames (end exclusive).
    int GetStart() const { return m_nStart; }
    int GetEnd() const { return m_nEnd; }

    QLineEdit* GetStartEdit() const { return m_pStart; }
    QLineEdit* GetEndEdit() const { return m_pEnd; }
    QLineEdit* GetLengthEdit() const { return m_pLength; }
    QComboBox* GetUnitBox() const { return m_pUnit; }
    QLabel* GetErrorLabel() const { return m_pError; }

public slots:
    void accept() override;

private:
    void ShowValues(int start, int end);
    bool InSeconds() const;
    CLoopInput TypedInput() const;

    int m_nStart;
    int m_nEnd;
    int m_nFrameCount;
    int m_nSampleRate;
    bool m_bLengthGivesEnd = false;
    QLineEdit* m_pStart = nullptr;
    QLineEdit* m_pEnd = nullptr;
    QLineEdit* m_pLength = nullptr;
    QComboBox* m_pUnit = nullptr;
    QLabel* m_pError = nullptr;
};
