// Reload when the file on disk went bad, is missing, memory fails or the
// user cancels the sample choice: the document must stay exactly as it was
// (frames, format, loop, unity note, instrument data, banks) and the failure
// must reach the caller as an exception.
#include "AllocFailure.h"
#include "RobustSupport.h"
#include "SampleBytes.h"

#include "framework/Document.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <new>

using namespace Robust;

namespace {

struct ReloadCase {
    const char* name;
    Bytes bytes;
};

void PrintTo(const ReloadCase& c, std::ostream* os) { *os << c.name; }

std::vector<ReloadCase> ReloadCases()
{
    using namespace SampleBytes;
    return {
        {"stereo16.wav", Riff({Fmt(1, 2, 8000, 4, 16), Smpl(64, 1, 30, 300), PcmData(320, 2, 2, 8000)})},
        {"mono8.wav", Riff({Fmt(1, 1, 11025, 1, 8), PcmData(400, 1, 1, 11025)})},
        {"two_samples.xi", Xi({XITone(300, true, 1, 10, 290, -3), XITone(200, false, 2, 4, 150)})},
    };
}

class ReloadFaults : public ::testing::TestWithParam<ReloadCase> {
protected:
    void SetUp() override
    {
        m_doc.SetUserInterface(&m_ui);
        m_path = m_dir / GetParam().name;
    }

    // Opens the intact file and moves the loop and note the way a user would,
    // so that a reload that wrongly re-reads them would show.
    void OpenIntact()
    {
        WriteBytes(m_path, GetParam().bytes);
        m_ui.m_messages.clear();
        m_ui.m_nChoice = 2;  // reloads choose the same sample again
        ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, m_path.string()));
        m_doc.m_bHasLoop = true;
        m_doc.m_nLoopStart = 17;
        m_doc.m_nLoopEnd = 123;
        m_doc.m_nUnityNote = 70;
    }

    // Reloads expecting a failure; returns false when it succeeded instead.
    bool ReloadFails(const std::string& context)
    {
        try {
            m_doc.Reload();
            return false;
        } catch (const CException&) {
        } catch (const std::bad_alloc&) {
        } catch (const std::exception& e) {
            ADD_FAILURE() << context << ": Reload threw " << typeid(e).name() << " (" << e.what() << ")";
        }
        return true;
    }

    CTempFolder m_dir;
    std::filesystem::path m_path;
    CQuorvelDoc m_doc;
    CTestUi m_ui;
};

}  // namespace

TEST_P(ReloadFaults, AFileCutAtAnyByteLeavesTheDocumentAsItWas)
{
    const Bytes& whole = GetParam().bytes;
    int reloaded = 0;
    bool bIntact = false;
    for (std::size_t k = 0; k < whole.size(); ++k) {
        const std::string at = "file cut to " + std::to_string(k) + " bytes";
        if (!bIntact) {
            ASSERT_NO_FATAL_FAILURE(OpenIntact());
        }
        const DocSnapshot before(m_doc);
        WriteBytes(m_path, Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(k)));
        if (ReloadFails(at)) {
            ASSERT_EQ(before.ChangesIn(m_doc), "") << at;
            bIntact = true;
        } else {
            // A cut inside a chunk header ends the chunk walk there: a valid
            // shorter file.
            ++reloaded;
            bIntact = false;
            EXPECT_EQ(m_doc.m_nLoopStart, 17) << at;
            EXPECT_EQ(m_doc.m_nUnityNote, 70) << at;
            EXPECT_EQ(m_doc.m_pSamples.size(), std::size_t(m_doc.m_nFrameCount) * std::size_t(m_doc.m_nChannels));
        }
        EXPECT_TRUE(m_ui.m_messages.empty()) << "Reload reports through its caller, not itself";
    }
    EXPECT_LE(reloaded, 8 * 4) << "more cuts loaded than fall inside chunk headers";
}

TEST_P(ReloadFaults, AMissingOrForeignFileLeavesTheDocumentAsItWas)
{
    ASSERT_NO_FATAL_FAILURE(OpenIntact());
    const DocSnapshot before(m_doc);
    std::filesystem::remove(m_path);
    EXPECT_THROW(m_doc.Reload(), CFileException);
    EXPECT_EQ(before.ChangesIn(m_doc), "");

    WriteBytes(m_path, Bytes{'r', 'i', 'f', 'f', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    EXPECT_THROW(m_doc.Reload(), CArchiveException);
    EXPECT_EQ(before.ChangesIn(m_doc), "");

    // A folder where the file was.
    std::filesystem::remove(m_path);
    std::filesystem::create_directory(m_path);
    EXPECT_THROW(m_doc.Reload(), CFileException);
    EXPECT_EQ(before.ChangesIn(m_doc), "");
}

TEST_P(ReloadFaults, AnAllocationFailingAnywhereLeavesTheDocumentAsItWas)
{
    ASSERT_NO_FATAL_FAILURE(OpenIntact());
    const DocSnapshot before(m_doc);
    bool threw = false;
    const long failures = AllocFailure::ForEachAllocation(
        [&] {
            threw = false;
            try {
                m_doc.Reload();
            } catch (const std::bad_alloc&) {
                threw = true;
            } catch (const CMemoryException&) {
                threw = true;
            }
        },
        [&](bool failed) {
            if (!failed)
                return;
            EXPECT_TRUE(threw);
            ASSERT_EQ(before.ChangesIn(m_doc), "");
        });
    EXPECT_GT(failures, 0);
    EXPECT_FALSE(threw);
    // The successful reload read the same file: nothing changed either.
    EXPECT_EQ(before.ChangesIn(m_doc), "");
}

TEST_P(ReloadFaults, AReadErrorThroughTheFlowsFileLeavesTheDocumentAsItWas)
{
    const Bytes& whole = GetParam().bytes;
    for (std::uint64_t k = 0; k < whole.size(); ++k) {
        const std::string at = "read error after " + std::to_string(k) + " bytes";
        ASSERT_NO_FATAL_FAILURE(OpenIntact());
        const DocSnapshot before(m_doc);
        CFaultPlan plan(CDiskFile::Mode::Read);
        plan.m_nReadBudget = k;
        plan.m_bReadThrows = true;
        const bool failed = ReloadFails(at);
        // The fault only reaches a reload that opens its file the way Open does.
        ASSERT_GT(plan.m_nOpened, 0) << at;
        EXPECT_TRUE(failed) << at;
        ASSERT_EQ(before.ChangesIn(m_doc), "") << at;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ReloadFaults, ::testing::ValuesIn(ReloadCases()),
                         [](const auto& p) {
                             std::string name = p.param.name;
                             for (char& c : name)
                                 if (c == '.')
                                     c = '_';
                             return name;
                         });

TEST(ReloadFault, CancellingTheSampleChoiceLeavesTheInstrumentAsItWas)
{
    using namespace SampleBytes;
    CTempFolder dir;
    const auto path = dir / "three.xi";
    XISample empty;
    WriteBytes(path, Xi({XITone(300, true, 1, 10, 290), empty, XITone(200, false, 0, 0, 0, 7)}));
    CQuorvelDoc doc;
    CTestUi ui;
    doc.SetUserInterface(&ui);
    ui.m_nChoice = 2;
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, path.string()));
    ASSERT_EQ(doc.m_nXISampleIndex, 2);
    // The file changes on disk; the user then cancels the choice.
    WriteBytes(path, Xi({XITone(50, false, 0, 0, 0), XITone(60, true, 0, 0, 0)}));
    const DocSnapshot before(doc);
    ui.m_nChoice.reset();
    try {
        doc.Reload();
        FAIL() << "a cancelled choice reloaded";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::generic);
    }
    EXPECT_EQ(before.ChangesIn(doc), "");
    EXPECT_TRUE(ui.m_messages.empty());
}
