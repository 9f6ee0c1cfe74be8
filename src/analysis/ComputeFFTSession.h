// CComputeFFTSession: the "Computing FFT" progress without its window. It
// owns the mutex and the bank worker of one load; constructing it starts the
// worker on the document's allocated banks. The GUI dialog (CComputeFFTDlg)
// and the headless progress drive it the same way:
//   - set the progress range 0 … GetTotal();
//   - every kPollIntervalMs: pos = PollDone(); if pos ≠ −1 show it; when
//     IsComplete(pos) close with success;
//   - on the user's Cancel (button, Esc, close box) call Cancel(), which
//     returns only once the worker has ended, and close with failure.
// A Cancel after the last step but before the next poll still cancels: the
// caller reports failure whenever it called Cancel.
//
// Threads: every member is called on the UI thread; only the mutex is shared
// with the worker. The destructor cancels and waits for a worker still
// running, so no worker outlives the session.
#pragma once

#include "analysis/ComputeFFTBanksThread.h"
#include "framework/UserInterface.h"

#include <exception>
#include <memory>
#include <mutex>

class CQuorvelDoc;

class CComputeFFTSession : public IProgressSource {
public:
    static constexpr int kPollIntervalMs = 50;

    // The document's banks must be allocated (AllocateBanks) and the document
    // left alone until the session has ended.
    explicit CComputeFFTSession(CQuorvelDoc& doc);
    ~CComputeFFTSession() override;
    CComputeFFTSession(const CComputeFFTSession&) = delete;
    CComputeFFTSession& operator=(const CComputeFFTSession&) = delete;

    // (channel, bank) steps in all.
    int GetTotal() const override;
    // Steps counted so far (never −1 here: the lock always succeeds).
    int PollDone() override;
    // Sets the cancel flag, then waits without time-out for the worker.
    void Cancel() override;
    bool IsComplete(int nDone) const { return nDone == GetTotal(); }
    bool WasCancelled() const { return m_bCancelled; }

    // After completion: waits for the worker to return from its last step
    // and rethrows a failure a step raised.
    void Finish();

private:
    std::mutex m_mutex;
    std::unique_ptr<CComputeFFTBanksThread> m_pThread;
    bool m_bCancelled = false;
};
