// CGuiUserInterface: the desktop answers to the core's questions and reports:
// message boxes captioned "Ringseam" unless given a caption, the Select Sample
// dialog, and the Computing FFT progress dialog. All modal, all on the
// user-interface thread; the parent window is not owned and may be null.
#pragma once

#include "framework/UserInterface.h"

#include <QPointer>
#include <QWidget>

class CGuiUserInterface : public IUserInterface {
public:
    explicit CGuiUserInterface(QWidget* pParent = nullptr) : m_pParent(pParent) {}

    void SetParentWindow(QWidget* pParent) { m_pParent = pParent; }

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    std::optional<int> ChooseSample(int nSampleCount) override;
    bool RunProgress(IProgressSource& source) override;

private:
    // The window dialogs are centred on: the frame when it is shown.
    QWidget* Owner() const;

    QPointer<QWidget> m_pParent;
};
