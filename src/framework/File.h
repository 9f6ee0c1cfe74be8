// File access behind the archive: a small abstract file with a disk
// implementation (reads, and writes that replace their target atomically) and
// an in-memory one for tests and fuzzers. Every failure throws CFileException
// naming the file; nothing here shows anything to the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CFile {
public:
    virtual ~CFile() = default;

    // Reads up to n bytes at the current position; returns how many came
    // (fewer only at the end of the file). Throws CFileException on I/O errors.
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;
    // Writes all n bytes or throws CFileException.
    virtual void Write(const void* buffer, std::size_t n) = 0;
    // Length and position in bytes.
    virtual std::uint64_t GetLength() const = 0;
    virtual std::uint64_t GetPosition() const = 0;
    // Finishes the file. For a file opened for writing this is the commit:
    // everything is flushed to stable storage and only then replaces the
    // target. Throws CFileException when that fails (the target is untouched).
    virtual void Close() = 0;
    // Drops a file opened for writing without touching its target.
    virtual void Abort() = 0;

    // The last component of the path, extension included ("take.wav").
    std::string GetFileName() const;
    // The full path as given to Open (made absolute by the disk file).
    const std::string& GetFilePath() const { return m_strFilePath; }

protected:
    std::string m_strFilePath;
};

// A file on disk. Opened for reading it reads the file itself; opened for
// writing it writes a temporary file next to the target and renames it over
// the target in Close(), so a failure or a crash mid-way never damages the
// file that was there before.
class CDiskFile final : public CFile {
public:
    enum class Mode { Read, Write };

    CDiskFile(const std::string& path, Mode mode);  // throws CFileException
    ~CDiskFile() override;                          // aborts an uncommitted write
    CDiskFile(const CDiskFile&) = delete;
    CDiskFile& operator=(const CDiskFile&) = delete;

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    std::uint64_t GetLength() const override;
    std::uint64_t GetPosition() const override;
    void Close() override;
    void Abort() override;

    // Test seam: called after the temporary file has been fully written and
    // synced, just before the rename (lets a crash test stop the process there).
    static void (*s_pfnBeforeCommit)(const std::string& tempPath);

    // How the document flow opens the files it loads from and saves to: a
    // CDiskFile, unless a test has set s_pfnOpen to wrap one (fault
    // injection). Throws CFileException like the constructor.
    static std::unique_ptr<CFile> Open(const std::string& path, Mode mode);
    static std::unique_ptr<CFile> (*s_pfnOpen)(const std::string& path, Mode mode);

private:
    int m_fd = -1;
    Mode m_mode;
    std::string m_strTempPath;  // write mode only
    std::uint64_t m_nPosition = 0;
    std::uint64_t m_nLength = 0;
};

// A file held in memory. Reading serves the bytes given; writing collects
// them in GetData(). The name is only used for its extension and messages.
class CMemFile : public CFile {
public:
    explicit CMemFile(std::string path, std::vector<std::uint8_t> data = {});

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    std::uint64_t GetLength() const override { return m_data.size(); }
    std::uint64_t GetPosition() const override { return m_nPosition; }
    void Close() override { m_bClosed = true; }
    void Abort() override { m_data.clear(); }

    const std::vector<std::uint8_t>& GetData() const { return m_data; }
    bool IsClosed() const { return m_bClosed; }

private:
    std::vector<std::uint8_t> m_data;
    std::size_t m_nPosition = 0;
    bool m_bClosed = false;
};

// Makes a path absolute (against the current directory) without resolving
// links, the way the document keeps source paths.
std::string MakeFullPath(const std::string& path);
