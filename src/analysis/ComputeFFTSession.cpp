#include "analysis/ComputeFFTSession.h"

#include "document/QuorvelDoc.h"

CComputeFFTSession::CComputeFFTSession(CQuorvelDoc& doc)
    : m_pThread(std::make_unique<CComputeFFTBanksThread>())
{
    // Every field is in place before the worker exists as a thread.
    m_pThread->m_nDone = 0;
    m_pThread->m_pDoc = &doc;
    m_pThread->m_nTotal = doc.m_nBankCount * doc.m_nChannels;
    m_pThread->m_bCancel = false;
    m_pThread->m_pMutex = &m_mutex;
    m_pThread->ResumeThread();
}

CComputeFFTSession::~CComputeFFTSession()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pThread->m_bCancel = true;
    }
    m_pThread->WaitForThread();
}

int CComputeFFTSession::GetTotal() const
{
    return m_pThread->m_nTotal;
}

int CComputeFFTSession::PollDone()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pThread->m_nDone;
}

void CComputeFFTSession::Cancel()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pThread->m_bCancel = true;
    }
    m_bCancelled = true;
    m_pThread->WaitForThread();
}

void CComputeFFTSession::Finish()
{
    m_pThread->WaitForThread();
    if (auto failure = m_pThread->GetFailure())
        std::rethrow_exception(failure);
}
