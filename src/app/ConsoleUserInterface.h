// CConsoleUserInterface: the user interface of the program's unattended modes
// (screenshots, rendering, timed playback). Messages become one line each on
// stderr, "ringseam: <text>", and never wait; an instrument's first sample is
// taken unless another was preset; progress is polled until done.
#pragma once

#include "framework/UserInterface.h"

class CConsoleUserInterface : public CHeadlessUserInterface {
public:
    CConsoleUserInterface();
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;

    // Messages shown so far.
    int m_nMessages = 0;
};
