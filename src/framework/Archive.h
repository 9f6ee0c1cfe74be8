// A loading or storing archive over a CFile: the stream the document's
// readers and writers work on. Reads report how many bytes came; the
// fixed-size helpers throw CArchiveException(endOfFile) when the file ends
// first. Multi-byte helpers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CFile;

class CArchive {
public:
    enum Mode { load = 1, store = 0 };

    // The archive does not own the file.
    CArchive(CFile* pFile, Mode mode);

    bool IsLoading() const { return m_mode == load; }
    bool IsStoring() const { return m_mode == store; }
    CFile* GetFile() const { return m_pFile; }

    // Up to n bytes; returns how many came.
    std::size_t Read(void* buffer, std::size_t n);
    // Exactly n bytes or CArchiveException(endOfFile).
    void ReadExact(void* buffer, std::size_t n);
    void Write(const void* buffer, std::size_t n);

    // Bytes left in the file of a loading archive (length − position); lets
    // readers check a size taken from the file before allocating for it.
    std::uint64_t GetRemaining() const;

    std::uint32_t ReadU32();  // throw endOfFile when short
    std::uint16_t ReadU16();
    void WriteU32(std::uint32_t value);
    void WriteU16(std::uint16_t value);

private:
    CFile* m_pFile;
    Mode m_mode;
};

// Little-endian field access on byte buffers (chunk bodies, headers).
inline std::uint32_t ReadLE32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
inline std::uint16_t ReadLE16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | (p[1] << 8));
}
inline void WriteLE32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}
inline void WriteLE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
