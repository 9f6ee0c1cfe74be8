#include "TempFolder.h"
#include "framework/Archive.h"
#include "framework/Document.h"
#include "framework/File.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Records what the framework calls; loads fail when the file starts with "X".
class CRecordingDoc : public CDocument {
public:
    void Serialize(CArchive& ar) override
    {
        ++m_nSerialized;
        if (ar.IsLoading()) {
            char c = 0;
            ar.Read(&c, 1);
            m_strContents = c;
            if (c == 'X')
                throw CArchiveException(CArchiveException::badIndex);
        } else {
            ar.Write("saved", 5);
            if (m_bFailSave)
                throw CArchiveException(CArchiveException::generic);
        }
    }
    void DeleteContents() override
    {
        ++m_nDeleted;
        m_strContents.clear();
    }
    int m_nSerialized = 0;
    int m_nDeleted = 0;
    bool m_bFailSave = false;
    std::string m_strContents;
};

class CCollectingUi : public CHeadlessUserInterface {
public:
    void ShowMessage(const std::string& text, const std::string&, MessageIcon) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

class DocumentFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.SetUserInterface(&ui);
    }
    fs::path Write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }
    CTempFolder dir;
    CRecordingDoc doc;
    CCollectingUi ui;
};

}  // namespace

TEST_F(DocumentFlowTest, ZeroByteFileOpensWithoutSerialize)
{
    const auto p = Write("empty.wav", "");
    EXPECT_TRUE(DocumentFlow::OpenDocument(doc, p.string()));
    EXPECT_EQ(doc.m_nSerialized, 0);
    EXPECT_EQ(doc.GetTitle(), "empty.wav");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DocumentFlowTest, FailedOpenResetsAndReportsTheCause)
{
    const auto p = Write("bad.wav", "XYZ");
    EXPECT_FALSE(DocumentFlow::OpenDocument(doc, p.string()));
    EXPECT_TRUE(doc.m_strContents.empty());
    EXPECT_EQ(doc.GetTitle(), kUntitledTitle);
    EXPECT_TRUE(doc.GetPathName().empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Unexpected file format.");
    EXPECT_EQ(doc.GetLastFailure(), "Unexpected file format.");
}

TEST_F(DocumentFlowTest, MissingFileLeavesTheDocumentUntouched)
{
    const auto p = Write("good.wav", "G");
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, p.string()));
    const int deleted = doc.m_nDeleted;
    EXPECT_FALSE(DocumentFlow::OpenDocument(doc, (dir / "missing.wav").string()));
    EXPECT_EQ(doc.m_strContents, "G");
    EXPECT_EQ(doc.m_nDeleted, deleted);
    EXPECT_EQ(doc.GetTitle(), "good.wav");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("missing.wav was not found"), std::string::npos);
}

TEST_F(DocumentFlowTest, FailedSaveKeepsTheOldFileAndReports)
{
    const auto target = Write("keep.wav", "precious");
    doc.m_bFailSave = true;
    EXPECT_FALSE(DocumentFlow::SaveDocument(doc, target.string()));
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Failed to save document.");

    doc.m_bFailSave = false;
    EXPECT_TRUE(DocumentFlow::SaveDocument(doc, target.string()));
    std::ifstream in2(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in2), {}), "saved");
    EXPECT_EQ(doc.GetTitle(), "keep.wav");
}

TEST_F(DocumentFlowTest, NewDocumentResetsAndIsUntitled)
{
    const auto p = Write("a.wav", "A");
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, p.string()));
    EXPECT_TRUE(DocumentFlow::NewDocument(doc));
    EXPECT_TRUE(doc.m_strContents.empty());
    EXPECT_TRUE(doc.GetPathName().empty());
    EXPECT_EQ(doc.GetTitle(), kUntitledTitle);
}
