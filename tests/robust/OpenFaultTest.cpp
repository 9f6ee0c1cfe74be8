// Opening a file when reading or memory fails part-way, or the user cancels:
// the document must end up empty (nothing half-read survives) and the user
// must be told once of a failure, and not at all of their own cancel.
#include "AllocFailure.h"
#include "RobustSupport.h"
#include "SampleBytes.h"

#include "framework/Document.h"

#include <gtest/gtest.h>

using namespace Robust;

namespace {

struct OpenCase {
    const char* name;
    Bytes bytes;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

std::vector<OpenCase> OpenCases()
{
    using namespace SampleBytes;
    return {
        {"stereo16.wav", Riff({Fmt(1, 2, 8000, 4, 16), Smpl(64, 1, 30, 300), PcmData(320, 2, 2, 8000)})},
        {"mono8.wav", Riff({Fmt(1, 1, 11025, 1, 8), LoopChunk(5, 250), PcmData(600, 1, 1, 11025)})},
        {"two_samples.xi", Xi({XITone(300, true, 1, 10, 290, -3), XITone(200, false, 2, 4, 150)})},
    };
}

class OpenFaults : public ::testing::TestWithParam<OpenCase> {
protected:
    void SetUp() override
    {
        m_doc.SetUserInterface(&m_ui);
        m_other = m_dir / "other.wav";
        WriteBytes(m_other, SampleBytes::Wav(900, 1, 2, 8000));
        m_path = m_dir / GetParam().name;
        m_strPath = m_path.string();
        WriteBytes(m_path, GetParam().bytes);
    }

    // Loads another file first, so that a failure has something to clear.
    void OpenOther()
    {
        m_ui.m_messages.clear();
        ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, m_other.string()));
        ASSERT_TRUE(m_doc.m_bLoaded);
        ASSERT_EQ(m_doc.m_nFrameCount, 900);
    }

    bool Open()
    {
        bool ok = false;
        EXPECT_NO_THROW(ok = DocumentFlow::OpenDocument(m_doc, m_strPath));
        return ok;
    }

    void ExpectLoadedWhole(const std::string& context)
    {
        EXPECT_TRUE(m_doc.m_bLoaded) << context;
        EXPECT_TRUE(m_ui.m_messages.empty()) << context;
        EXPECT_EQ(m_doc.m_pSamples.size(), std::size_t(m_doc.m_nFrameCount) * std::size_t(m_doc.m_nChannels))
            << context;
    }

    void ExpectEmptyAndReported(const std::string& context, const char* message = nullptr)
    {
        EXPECT_EQ(WhyNotEmpty(m_doc), "") << context;
        ASSERT_EQ(m_ui.m_messages.size(), 1u) << context;
        if (message) {
            EXPECT_EQ(m_ui.m_messages[0], message) << context;
        }
    }

    CTempFolder m_dir;
    std::filesystem::path m_path, m_other;
    std::string m_strPath;  // made once, so that allocation counts see only the flow's
    CQuorvelDoc m_doc;
    CTestUi m_ui;
};

}  // namespace

TEST_P(OpenFaults, TheWholeFileOpens)
{
    ASSERT_NO_FATAL_FAILURE(OpenOther());
    EXPECT_TRUE(Open());
    ExpectLoadedWhole("whole file");
    EXPECT_EQ(m_doc.GetPathName(), m_path.string());
}

TEST_P(OpenFaults, AReadErrorAtAnyByteLeavesAnEmptyDocument)
{
    const auto size = GetParam().bytes.size();
    for (std::uint64_t k = 0; k < size; ++k) {
        const std::string at = "read error after " + std::to_string(k) + " bytes";
        ASSERT_NO_FATAL_FAILURE(OpenOther());
        CFaultPlan plan(CDiskFile::Mode::Read);
        plan.m_nReadBudget = k;
        plan.m_bReadThrows = true;
        EXPECT_FALSE(Open()) << at;
        EXPECT_TRUE(plan.m_bFaulted) << at;
        ExpectEmptyAndReported(at);
        EXPECT_NE(m_ui.m_messages.at(0).find("An error occurred while reading"), std::string::npos) << at;
        if (::testing::Test::HasFailure())
            return;
    }
}

// The file seems to end early. Where that is inside a chunk header the chunk
// walk ends there and the file is a valid shorter one; anywhere else it is
// refused.
TEST_P(OpenFaults, AShortReadAtAnyByteLeavesAnEmptyDocumentOrAWholeShorterOne)
{
    const auto size = GetParam().bytes.size();
    int loaded = 0;
    for (std::uint64_t k = 0; k < size; ++k) {
        const std::string at = "file ending after " + std::to_string(k) + " bytes";
        ASSERT_NO_FATAL_FAILURE(OpenOther());
        CFaultPlan plan(CDiskFile::Mode::Read);
        plan.m_nReadBudget = k;
        if (Open()) {
            ++loaded;
            ExpectLoadedWhole(at);
            EXPECT_LT(std::size_t(m_doc.m_nFrameCount) * std::size_t(m_doc.m_nChannels), size) << at;
        } else {
            ExpectEmptyAndReported(at);
        }
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_LE(loaded, 8 * 4) << "more cuts loaded than fall inside chunk headers";
}

TEST_P(OpenFaults, AnAllocationFailingAnywhereLeavesAnEmptyDocument)
{
    bool ok = false;
    // Armed only around the Open itself, not around loading the other file.
    long runs = 0;
    for (long n = 0; n < 20000; ++n, ++runs) {
        ASSERT_NO_FATAL_FAILURE(OpenOther());
        const DocSnapshot before(m_doc);
        AllocFailure::Arm(n);
        ok = Open();
        const bool failed = AllocFailure::Disarm();
        const std::string at = "allocation " + std::to_string(n) + " failing";
        if (!failed) {
            EXPECT_TRUE(ok) << at;
            ExpectLoadedWhole(at);
            break;
        }
        ASSERT_EQ(m_ui.m_messages.size(), 1u) << at;
        EXPECT_EQ(m_ui.m_messages[0], "Out of memory.") << at;
        if (ok) {
            // Loaded whole; only naming the document after the file failed.
            EXPECT_TRUE(m_doc.m_bLoaded) << at;
            EXPECT_EQ(m_doc.GetTitle(), kUntitledTitle) << at;
        } else if (!before.ChangesIn(m_doc).empty()) {
            // Failing before the file was opened leaves the document as it
            // was, like a missing file; failing later leaves it empty.
            EXPECT_EQ(WhyNotEmpty(m_doc), "") << at;
        }
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_GT(runs, 0);
}

TEST_P(OpenFaults, CancellingTheProgressLeavesAnEmptyDocumentAndNoReport)
{
    ASSERT_NO_FATAL_FAILURE(OpenOther());
    m_ui.m_bCancelProgress = true;
    EXPECT_FALSE(Open());
    EXPECT_EQ(WhyNotEmpty(m_doc), "");
    EXPECT_TRUE(m_ui.m_messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, OpenFaults, ::testing::ValuesIn(OpenCases()),
                         [](const auto& p) {
                             std::string name = p.param.name;
                             for (char& c : name)
                                 if (c == '.')
                                     c = '_';
                             return name;
                         });

TEST(OpenFault, CancellingTheSampleChoiceLeavesAnEmptyDocumentAndNoReport)
{
    CTempFolder dir;
    const auto path = dir / "two.xi";
    WriteBytes(path, SampleBytes::Xi({SampleBytes::XITone(100, true, 0, 0, 0), SampleBytes::XITone(80, false, 0, 0, 0)}));
    CQuorvelDoc doc;
    CTestUi ui;
    doc.SetUserInterface(&ui);
    WriteBytes(dir / "other.wav", SampleBytes::Wav(500, 2, 2, 8000));
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, (dir / "other.wav").string()));
    // A failure reported before must not be taken for the cancel's.
    WriteBytes(dir / "bad.wav", {'X', 'Y', 'Z', 'W'});
    EXPECT_FALSE(DocumentFlow::OpenDocument(doc, (dir / "bad.wav").string()));
    ASSERT_EQ(ui.m_messages.size(), 1u);
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, (dir / "other.wav").string()));
    ui.m_nChoice.reset();
    EXPECT_FALSE(DocumentFlow::OpenDocument(doc, path.string()));
    EXPECT_EQ(WhyNotEmpty(doc), "");
    EXPECT_EQ(ui.m_messages.size(), 1u);
    EXPECT_EQ(doc.GetLastFailure(), "");
}
