// The few ways the core asks or tells the user something. The GUI implements
// them with dialogs and message boxes, the CLI on the terminal, tests with
// scripted doubles. The core never talks to a window itself.
#pragma once

#include <optional>
#include <string>

enum class MessageIcon { None, Information, Stop, Warning };

// The polled side of a long computation running on a worker thread (the
// spectral banks). The user-interface side calls PollDone every 50 ms and
// Cancel when the user asks; both are thread-safe.
class IProgressSource {
public:
    virtual ~IProgressSource() = default;
    // Steps in all; fixed before the worker runs.
    virtual int GetTotal() const = 0;
    // Steps finished so far, or -1 when the count could not be read this time.
    virtual int PollDone() = 0;
    // Requests cancellation and returns only once the worker has ended.
    virtual void Cancel() = 0;
};

class IUserInterface {
public:
    virtual ~IUserInterface() = default;

    // A modal message; returns when the user has acknowledged it. An empty
    // caption means the application title.
    virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;

    // Asks which sample of an instrument to load: the answer is 1-based among
    // the nSampleCount non-empty samples; nullopt means Cancel. An
    // implementation only returns numbers that IsValidSampleChoice accepts.
    virtual std::optional<int> ChooseSample(int nSampleCount) = 0;

    // Runs the "Computing FFT" progress modally: polls `source` every 50 ms,
    // finishes (returns true) once PollDone() equals GetTotal(), or calls
    // source.Cancel() and returns false when the user cancels.
    virtual bool RunProgress(IProgressSource& source) = 0;
};

// The name the program shows everywhere: window title, captions of messages
// that have none, About box, launcher, settings.
inline constexpr const char* kProductName = "Ringseam";
// The application title, used as the caption of messages that have none.
inline constexpr const char* kAppTitle = kProductName;

// A user interface for runs without anyone to ask: messages are dropped (or
// written to stderr when `verbose`), a sample choice is answered from a
// preset (or cancelled), progress is polled every 50 ms until done.
class CHeadlessUserInterface : public IUserInterface {
public:
    explicit CHeadlessUserInterface(bool verbose = false) : m_bVerbose(verbose) {}

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    std::optional<int> ChooseSample(int nSampleCount) override;
    bool RunProgress(IProgressSource& source) override;

    // The answer ChooseSample gives (1-based); unset means Cancel.
    std::optional<int> m_nPresetSample;
    bool m_bVerbose;
};

// The process-wide fallback used by documents that were given no interface.
IUserInterface& DefaultUserInterface();
