// A CFile decorator for fault-injection tests: it passes everything to the
// file it wraps until a byte budget is used up, then fails the way a disk
// does (a full disk on write, a hard I/O error or a premature end on read), or
// fails the commit in Close. The budgets count bytes across calls, so a fault
// can land inside any single write or read.
#pragma once

#include "framework/File.h"

#include <cstdint>
#include <memory>
#include <optional>

class CFaultyFile : public CFile {
public:
    // Takes ownership of `inner`; destroying an unclosed CFaultyFile destroys
    // it unclosed too (a disk file being written then drops its temporary).
    explicit CFaultyFile(std::unique_ptr<CFile> inner);

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    std::uint64_t GetLength() const override { return m_pInner->GetLength(); }
    std::uint64_t GetPosition() const override { return m_pInner->GetPosition(); }
    void Close() override;
    void Abort() override { m_pInner->Abort(); }

    // Bytes written before the write that reaches past the budget throws
    // CFileException(diskFull); the bytes up to the budget still reach the
    // inner file, as a partial write would.
    std::optional<std::uint64_t> m_nWriteBudget;
    // Bytes read before reads stop: they then return short (the file seems to
    // end there) or, with m_bReadThrows, throw CFileException(hardIO).
    std::optional<std::uint64_t> m_nReadBudget;
    bool m_bReadThrows = false;
    // Close throws CFileException(hardIO) without committing (a failed flush).
    bool m_bFailClose = false;

    std::uint64_t m_nWritten = 0;
    std::uint64_t m_nRead = 0;
    bool m_bFaulted = false;  // whether any fault was injected

private:
    std::unique_ptr<CFile> m_pInner;
};
