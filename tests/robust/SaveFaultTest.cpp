// Saving over an existing file when the disk, the commit or the memory fails
// part-way: the old file must keep every byte, no temporary file may be left
// beside it, the document must not change, and the user must be told.
#include "AllocFailure.h"
#include "RobustSupport.h"

#include "framework/Archive.h"
#include "framework/Document.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

using namespace Robust;

namespace {

const Bytes kOldBytes = {'t', 'h', 'e', ' ', 'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e', 0, 1, 2, 3};

class SaveFaults : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        m_target = m_dir / (std::string("take.") + GetParam());
        m_strTarget = m_target.string();
        WriteBytes(m_target, kOldBytes);
        m_doc.SetUserInterface(&m_ui);
        FillDocument(m_doc, 300, 1, 44100, 20, 280);
        m_doc.SetTitle("take");
        m_doc.SetPathName((m_dir / "source.wav").string());
    }

    // What a complete save of the document writes.
    Bytes ExpectedFile()
    {
        CMemFile probe(m_target.string());
        CArchive ar(&probe, CArchive::store);
        m_doc.WriteSampleFile(ar);
        return probe.GetData();
    }

    // The state a failed save must leave: old bytes, nothing else in the folder.
    void ExpectUntouched(const std::string& context)
    {
        EXPECT_EQ(ReadBytes(m_target), kOldBytes) << context;
        EXPECT_EQ(m_dir.Names(), std::vector<std::string>{m_target.filename().string()}) << context;
    }

    bool Save()
    {
        bool ok = false;
        EXPECT_NO_THROW(ok = DocumentFlow::SaveDocument(m_doc, m_strTarget));
        return ok;
    }

    CTempFolder m_dir;
    std::filesystem::path m_target;
    std::string m_strTarget;  // made once, so that allocation counts see only the flow's
    CQuorvelDoc m_doc;
    CTestUi m_ui;
};

}  // namespace

TEST_P(SaveFaults, AWriteFailingAtAnyByteKeepsTheOldFileAndTellsTheUser)
{
    const Bytes expected = ExpectedFile();
    ASSERT_GT(expected.size(), 300u * 2);
    const DocSnapshot before(m_doc);
    for (std::uint64_t k = 0; k < expected.size(); ++k) {
        const std::string at = "write failing after " + std::to_string(k) + " bytes";
        m_ui.m_messages.clear();
        CFaultPlan plan(CDiskFile::Mode::Write);
        plan.m_nWriteBudget = k;
        EXPECT_FALSE(Save()) << at;
        ASSERT_TRUE(plan.m_bFaulted) << at;
        ASSERT_EQ(m_ui.m_messages.size(), 1u) << at;
        EXPECT_EQ(m_ui.m_messages[0], "Failed to save document: the disk is full (No space left on device).") << at;
        EXPECT_EQ(m_doc.GetLastFailure(), m_ui.m_messages[0]);
        ExpectUntouched(at);
        ASSERT_EQ(before.ChangesIn(m_doc), "") << at;
        if (::testing::Test::HasFailure())
            return;
    }
    // With room for every byte the same save goes through.
    CFaultPlan plan(CDiskFile::Mode::Write);
    plan.m_nWriteBudget = expected.size();
    EXPECT_TRUE(Save());
    EXPECT_FALSE(plan.m_bFaulted);
    EXPECT_EQ(ReadBytes(m_target), expected);
    EXPECT_EQ(m_dir.Names(), std::vector<std::string>{m_target.filename().string()});
    EXPECT_EQ(m_doc.GetPathName(), m_target.string());
}

TEST_P(SaveFaults, AFailedFlushOrRenameKeepsTheOldFile)
{
    {
        CFaultPlan plan(CDiskFile::Mode::Write);
        plan.m_bFailClose = true;
        EXPECT_FALSE(Save());
        EXPECT_TRUE(plan.m_bFaulted);
        ExpectUntouched("flush failing");
    }
    // The commit itself failing just before the rename.
    CDiskFile::s_pfnBeforeCommit = [](const std::string& temp) {
        throw CFileException(CFileException::hardIO, temp, EIO);
    };
    EXPECT_FALSE(Save());
    CDiskFile::s_pfnBeforeCommit = nullptr;
    ExpectUntouched("rename failing");
    ASSERT_EQ(m_ui.m_messages.size(), 2u);
    for (const auto& message : m_ui.m_messages)
        EXPECT_EQ(message.rfind("Failed to save document: an error occurred while writing ", 0), 0u) << message;
}

TEST_P(SaveFaults, AnAllocationFailingAnywhereKeepsTheOldFileAndTellsTheUser)
{
    const Bytes expected = ExpectedFile();
    const DocSnapshot before(m_doc);
    long failures = 0;
    for (long n = 0; n < 20000; ++n) {
        const std::string at = "allocation " + std::to_string(n) + " failing";
        WriteBytes(m_target, kOldBytes);
        m_ui.m_messages.clear();
        AllocFailure::Arm(n);
        const bool ok = Save();
        if (!AllocFailure::Disarm()) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(ReadBytes(m_target), expected);
            break;
        }
        ++failures;
        ASSERT_EQ(m_ui.m_messages.size(), 1u) << at;
        EXPECT_EQ(m_ui.m_messages[0], "Out of memory.") << at;
        if (ok) {
            // The file was written whole; only renaming the document failed.
            EXPECT_EQ(ReadBytes(m_target), expected) << at;
            EXPECT_EQ(m_dir.Names(), std::vector<std::string>{m_target.filename().string()}) << at;
        } else {
            ExpectUntouched(at);
            EXPECT_EQ(before.ChangesIn(m_doc), "") << at;
        }
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_GT(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, SaveFaults, ::testing::Values("wav", "xi"));

TEST(SaveFault, AnUnsupportedExtensionWritesNothing)
{
    CTempFolder dir;
    const auto target = dir / "take.aif";
    WriteBytes(target, kOldBytes);
    CQuorvelDoc doc;
    CTestUi ui;
    doc.SetUserInterface(&ui);
    FillDocument(doc, 100, 2, 44100);
    EXPECT_FALSE(DocumentFlow::SaveDocument(doc, target.string()));
    EXPECT_EQ(ReadBytes(target), kOldBytes);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"take.aif"});
    ASSERT_EQ(ui.m_messages.size(), 1u);
    EXPECT_EQ(ui.m_messages[0], "Failed to save document.");
}
