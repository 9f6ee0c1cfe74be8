// CTuningDlg: Edit > Tuning…, the unity note and the fine tune set by hand.
// The unity note is a MIDI note (0–127, its name shown beside it); the fine
// tune is the part of a semitone above it, in cents (0 up to 100). The pitch
// detected in the sample is shown beside them, with a button that copies it
// into both. The fine tune keeps the stored fraction exactly unless it is
// edited.
//
// User-interface thread only. The document must outlive the dialog.
#pragma once

#include "analysis/Tuning.h"

#include <QDialog>

#include <optional>

class CQuorvelDoc;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

class CTuningDlg : public QDialog {
    Q_OBJECT
public:
    // stored: the document's tuning; detected: the detected pitch as a MIDI
    // note with a fraction (none when the sample has no steady pitch).
    CTuningDlg(const CTuning& stored, std::optional<double> detected, QWidget* pParent = nullptr);

    // The tuning the dialog holds now.
    CTuning GetTuning() const;

    QSpinBox* GetNoteBox() const { return m_pNote; }
    QDoubleSpinBox* GetFineBox() const { return m_pFine; }
    QLabel* GetDetectedLabel() const { return m_pDetected; }
    QPushButton* GetUseDetectedButton() const { return m_pUseDetected; }

private:
    void ShowNoteName();

    CTuning m_stored;
    std::optional<double> m_detected;
    double m_dShownFine = 0.0;  // the fine tune as first shown, to tell an edit
    int m_nShownNote = 0;       // ... and the note (a stored note beyond 0–127 shows clamped)
    QSpinBox* m_pNote = nullptr;
    QLabel* m_pNoteName = nullptr;
    QDoubleSpinBox* m_pFine = nullptr;
    QLabel* m_pDetected = nullptr;
    QPushButton* m_pUseDetected = nullptr;
};

// Edit > Tuning…: shows the dialog over `pParent` and, on OK, sets the
// document's tuning (SetTuning marks it modified when it changed).
void RunTuningDialog(CQuorvelDoc& doc, QWidget* pParent);
