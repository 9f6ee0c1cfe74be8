#include "framework/Archive.h"

#include "framework/Exceptions.h"
#include "framework/File.h"

CArchive::CArchive(CFile* pFile, Mode mode) : m_pFile(pFile), m_mode(mode) {}

std::size_t CArchive::Read(void* buffer, std::size_t n)
{
    if (n == 0)
        return 0;
    return m_pFile->Read(buffer, n);
}

void CArchive::ReadExact(void* buffer, std::size_t n)
{
    if (Read(buffer, n) != n)
        throw CArchiveException(CArchiveException::endOfFile, m_pFile->GetFilePath());
}

void CArchive::Write(const void* buffer, std::size_t n)
{
    if (n)
        m_pFile->Write(buffer, n);
}

std::uint64_t CArchive::GetRemaining() const
{
    const auto len = m_pFile->GetLength();
    const auto pos = m_pFile->GetPosition();
    return pos < len ? len - pos : 0;
}

std::uint32_t CArchive::ReadU32()
{
    std::uint8_t b[4];
    ReadExact(b, 4);
    return ReadLE32(b);
}

std::uint16_t CArchive::ReadU16()
{
    std::uint8_t b[2];
    ReadExact(b, 2);
    return ReadLE16(b);
}

void CArchive::WriteU32(std::uint32_t value)
{
    std::uint8_t b[4];
    WriteLE32(b, value);
    Write(b, 4);
}

void CArchive::WriteU16(std::uint16_t value)
{
    std::uint8_t b[2];
    WriteLE16(b, value);
    Write(b, 2);
}
