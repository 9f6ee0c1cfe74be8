#include "FaultyFile.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <cerrno>

CFaultyFile::CFaultyFile(std::unique_ptr<CFile> inner) : m_pInner(std::move(inner))
{
    m_strFilePath = m_pInner->GetFilePath();
}

std::size_t CFaultyFile::Read(void* buffer, std::size_t n)
{
    std::size_t want = n;
    if (m_nReadBudget) {
        const std::uint64_t left = *m_nReadBudget > m_nRead ? *m_nReadBudget - m_nRead : 0;
        if (left < n) {
            m_bFaulted = true;
            if (m_bReadThrows) {
                // The bytes before the fault arrive, then the error.
                if (left)
                    m_nRead += m_pInner->Read(buffer, std::size_t(left));
                throw CFileException(CFileException::hardIO, m_strFilePath, EIO);
            }
            want = std::size_t(left);
        }
    }
    const std::size_t got = want ? m_pInner->Read(buffer, want) : 0;
    m_nRead += got;
    return got;
}

void CFaultyFile::Write(const void* buffer, std::size_t n)
{
    if (m_nWriteBudget) {
        const std::uint64_t left = *m_nWriteBudget > m_nWritten ? *m_nWriteBudget - m_nWritten : 0;
        if (left < n) {
            m_bFaulted = true;
            if (left)
                m_pInner->Write(buffer, std::size_t(left));
            m_nWritten += left;
            throw CFileException(CFileException::diskFull, m_strFilePath, ENOSPC);
        }
    }
    m_pInner->Write(buffer, n);
    m_nWritten += n;
}

void CFaultyFile::Close()
{
    if (m_bFailClose) {
        m_bFaulted = true;
        throw CFileException(CFileException::hardIO, m_strFilePath, EIO);
    }
    m_pInner->Close();
}
