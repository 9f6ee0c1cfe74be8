// The user interface of a ringseam-cli run: nobody is asked anything. The
// XI sample choice is answered from --xi-sample; the failure or warning a
// document reports is kept for the command to print as its one error line; other
// messages go to stderr (or are collected, for batch workers); the bank
// progress is waited for, with a progress bar only on a terminal.
//
// Thread: one instance per document, used on the thread that drives that
// document. Not copyable.
#pragma once

#include "framework/UserInterface.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

class CCliUserInterface : public IUserInterface {
public:
    enum class EPoll {
        Every50ms,  // the fixed poll of the progress dialog
        Adaptive,   // 50 µs at first, then an eighth of the time spent, at most 50 ms
    };

    // pErr: where informational messages and the progress bar go; null
    // collects messages in m_notes instead. bProgressBar: draw a bar on pErr.
    CCliUserInterface(std::optional<int> nXISample, std::ostream* pErr, bool bProgressBar, bool bQuiet,
                      EPoll poll = EPoll::Every50ms);
    CCliUserInterface(const CCliUserInterface&) = delete;
    CCliUserInterface& operator=(const CCliUserInterface&) = delete;

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    std::optional<int> ChooseSample(int nSampleCount) override;
    bool RunProgress(IProgressSource& source) override;

    // The reason the last load or save failed: the unanswerable sample choice
    // or an interrupt when that was the cause, else the document's own
    // failure message; ""
    // when nothing failed. Clears it.
    std::string TakeFailure();

    // Informational messages collected when no stream was given.
    std::vector<std::string> m_notes;

private:
    void DrawBar(int done, int total);

    std::optional<int> m_nXISample;
    std::ostream* m_pErr;
    bool m_bProgressBar;
    bool m_bQuiet;
    EPoll m_poll;
    std::string m_strChoiceFailure;  // also "interrupted."
    std::string m_strFailure;
};
