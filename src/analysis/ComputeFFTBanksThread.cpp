#include "analysis/ComputeFFTBanksThread.h"

#include "document/QuorvelDoc.h"

#include <stdexcept>

std::atomic<int> CComputeFFTBanksThread::s_nRunning{0};

CComputeFFTBanksThread::~CComputeFFTBanksThread()
{
    WaitForThread();
}

bool CComputeFFTBanksThread::InitInstance()
{
    return true;
}

int CComputeFFTBanksThread::ExitInstance()
{
    return 0;
}

void CComputeFFTBanksThread::ResumeThread()
{
    if (m_thread.joinable() || m_pDoc == nullptr || m_pMutex == nullptr)
        throw std::logic_error("bank worker started twice or before its fields were set");
    s_nRunning.fetch_add(1);
    try {
        m_thread = std::thread(&CComputeFFTBanksThread::ThreadMain, this);
    } catch (...) {
        s_nRunning.fetch_sub(1);
        throw;
    }
}

void CComputeFFTBanksThread::WaitForThread()
{
    if (m_thread.joinable())
        m_thread.join();
}

void CComputeFFTBanksThread::ThreadMain()
{
    if (InitInstance())
        Run();
    ExitInstance();
    s_nRunning.fetch_sub(1);
}

int CComputeFFTBanksThread::Run()
{
    const int channels = m_pDoc->m_nChannels;
    const int banks = m_pDoc->m_nBankCount;
    for (int c = 0; c < channels; ++c) {
        for (int b = 0; b < banks; ++b) {
            bool bCancel;
            {
                std::lock_guard<std::mutex> lock(*m_pMutex);
                bCancel = m_bCancel;
                if (bCancel) {
                    // Nothing is computed any more: count this step and all
                    // that remain at once, so that a Cancel ends the worker in
                    // the same short time however many steps are left.
                    m_nDone += (channels - c) * banks - b;
                    return 0;
                }
            }
            try {
                m_pDoc->ComputeBank(b, c);
            } catch (...) {
                m_pFailure = std::current_exception();
                std::lock_guard<std::mutex> lock(*m_pMutex);
                m_bCancel = true;
            }
            std::lock_guard<std::mutex> lock(*m_pMutex);
            ++m_nDone;
        }
    }
    return 0;
}
