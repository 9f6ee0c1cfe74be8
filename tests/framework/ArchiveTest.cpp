#include "TempFolder.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(Archive, ReadsReportHowManyBytesCameAndFixedReadsThrowAtEnd)
{
    CMemFile file("x.wav", {1, 2, 3, 4, 5, 6});
    CArchive ar(&file, CArchive::load);
    EXPECT_TRUE(ar.IsLoading());
    EXPECT_EQ(ar.ReadU32(), 0x04030201u);
    EXPECT_EQ(ar.GetRemaining(), 2u);
    std::uint8_t buf[8];
    EXPECT_EQ(ar.Read(buf, 8), 2u);
    EXPECT_EQ(ar.GetRemaining(), 0u);
    try {
        ar.ReadU16();
        FAIL() << "no exception";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
    }
}

TEST(Archive, FileNameIsLastComponentOfThePath)
{
    CMemFile file("/tmp/some.dir/take.WAV");
    EXPECT_EQ(file.GetFileName(), "take.WAV");
    EXPECT_EQ(file.GetFilePath(), "/tmp/some.dir/take.WAV");
}

TEST(DiskFile, MissingFileIsFileNotFoundWithAClearMessage)
{
    const CTempFolder dir;
    const auto path = dir / "does-not-exist.wav";
    try {
        CDiskFile f(path.string(), CDiskFile::Mode::Read);
        FAIL() << "opened a missing file";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(FailureMessage(e, FailureContext::Open),
                  "does-not-exist.wav was not found or cannot be read (No such file or directory).");
    }
}

TEST(DiskFile, WriteReplacesTargetOnlyOnCloseAndAbortKeepsTheOldFile)
{
    const CTempFolder dir;
    const auto path = dir / "out.wav";
    { std::ofstream(path, std::ios::binary) << "old contents"; }
    {
        CDiskFile f(path.string(), CDiskFile::Mode::Write);
        f.Write("new", 3);
        EXPECT_EQ(ReadAll(path), "old contents");  // not yet committed
        // destroyed without Close: aborted
    }
    EXPECT_EQ(ReadAll(path), "old contents");
    {
        CDiskFile f(path.string(), CDiskFile::Mode::Write);
        f.Write("new", 3);
        f.Close();
    }
    EXPECT_EQ(ReadAll(path), "new");
    // No temporary files are left behind.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        entries += e.path().filename() != "out.wav" ? 1 : 0;
    EXPECT_EQ(entries, 0);
}

TEST(DiskFile, WritingIntoAMissingFolderFailsAsFileError)
{
    EXPECT_THROW(CDiskFile("/nonexistent-folder-xyz/out.wav", CDiskFile::Mode::Write), CFileException);
}

TEST(FailureMessages, EachCauseHasOneClearMessage)
{
    EXPECT_EQ(FailureMessage(CArchiveException(CArchiveException::badIndex), FailureContext::Open),
              "Unexpected file format.");
    EXPECT_EQ(FailureMessage(CArchiveException(CArchiveException::endOfFile), FailureContext::Open),
              "Unexpected file format.");
    EXPECT_EQ(FailureMessage(CArchiveException(CArchiveException::generic), FailureContext::Open),
              "Failed to open document.");
    EXPECT_EQ(FailureMessage(CArchiveException(CArchiveException::generic), FailureContext::Save),
              "Failed to save document.");
    EXPECT_EQ(FailureMessage(CMemoryException(), FailureContext::Open), "Out of memory.");
    EXPECT_EQ(FailureMessage(std::bad_alloc(), FailureContext::Save), "Out of memory.");
    EXPECT_EQ(FailureMessage(CFileException(CFileException::diskFull, "/x/a.wav", ENOSPC), FailureContext::Save),
              "Failed to save document: the disk is full (No space left on device).");
}
