// CComputeFFTBanksThread: the worker that fills a document's spectral banks
// during a load. It is created without running (like a thread created
// suspended); its owner sets m_pDoc, m_nTotal, m_pMutex, m_nDone = 0 and
// m_bCancel = false, then calls ResumeThread. The worker runs InitInstance,
// Run and ExitInstance on its own std::thread.
//
// Run walks every (channel, bank) step, channel by channel: it reads the
// cancel flag under the mutex, computes the bank with the mutex NOT held,
// then counts the step under the mutex. Once it finds the flag set it counts
// the step and every remaining one in a single update and ends, so m_nDone
// always reaches m_nTotal and a Cancel costs at most the step in progress.
// The mutex guards m_bCancel and m_nDone only.
//
// Threads: while it runs, the worker alone writes the document's bank
// spectra and uses its FFT context; the owner touches neither until
// WaitForThread has returned. The owner must keep this object alive until
// then (the destructor waits for the thread as a last resort).
//
// Failure: an exception from a bank (out of memory) is kept, not thrown on
// the worker: the remaining steps are skipped as if cancelled and
// GetFailure() hands the exception to the owner after the wait.
#pragma once

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

class CQuorvelDoc;

class CComputeFFTBanksThread {
public:
    CComputeFFTBanksThread() = default;
    virtual ~CComputeFFTBanksThread();
    CComputeFFTBanksThread(const CComputeFFTBanksThread&) = delete;
    CComputeFFTBanksThread& operator=(const CComputeFFTBanksThread&) = delete;

    static constexpr const char* kRuntimeClassName = "CComputeFFTBanksThread";

    virtual bool InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    // Starts the worker. Call once, after every field below has been set.
    void ResumeThread();
    // Blocks without time-out until the worker has ended; returns at once if
    // it never started or has already been waited for.
    void WaitForThread();
    // The exception a bank step raised, if any; read after WaitForThread.
    std::exception_ptr GetFailure() const { return m_pFailure; }

    // Workers running in this process right now (lets tests prove that no
    // worker outlives a load).
    static int GetRunningCount() { return s_nRunning.load(); }

    std::mutex* m_pMutex = nullptr;  // not owned; guards m_nDone and m_bCancel
    CQuorvelDoc* m_pDoc = nullptr;   // not owned
    int m_nDone = 0;                 // steps finished, cancelled ones included
    int m_nTotal = 0;                // m_nBankCount × channels; fixed before the start
    bool m_bCancel = false;

private:
    void ThreadMain();

    std::thread m_thread;
    std::exception_ptr m_pFailure;  // written by the worker only
    static std::atomic<int> s_nRunning;
};
