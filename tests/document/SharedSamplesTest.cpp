// WAV files written by other programs, kept beside the repository: chunk
// layouts and quirks our own files do not have. Skipped when the folder is
// not there.

#include "DocTestFixture.h"
#include "WavTestSupport.h"

#include "framework/Document.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string SamplePath(const char* name)
{
    return (std::filesystem::path(RINGSEAM_SHARED_SAMPLES) / name).string();
}

#define REQUIRE_SAMPLE(path)                                        \
    do {                                                            \
        if (!std::filesystem::exists(path))                         \
            GTEST_SKIP() << "shared sample not available: " << path; \
    } while (0)

class SharedSamplesTest : public DocumentFileTest {
protected:
    // Reads the file as Open does, without the framework's report.
    void ReadFile(const std::string& path)
    {
        CDiskFile file(path, CDiskFile::Mode::Read);
        CArchive ar(&file, CArchive::load);
        m_doc.ReadSampleFile(ar, false);
    }
    CArchiveException::Cause RefusalCause(const std::string& path)
    {
        try {
            ReadFile(path);
        } catch (const CArchiveException& e) {
            return e.m_cause;
        }
        return CArchiveException::none;
    }
    // The first 16-bit sample of the data chunk that starts at `dataOffset`.
    static double FirstSample(const std::string& path, std::size_t dataOffset)
    {
        const Bytes b = Get(path);
        return std::int16_t(GetLE16(b, dataOffset + 8)) / 32768.0;
    }
};

}  // namespace

TEST_F(SharedSamplesTest, LoopedFluteOpensWithItsSmplLoop)
{
    const auto path = SamplePath("sfizz_looped_flute.wav");
    REQUIRE_SAMPLE(path);
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path)) << m_doc.GetLastFailure();
    EXPECT_TRUE(m_doc.m_bLoaded);
    EXPECT_EQ(m_doc.m_nChannels, 2);
    EXPECT_EQ(m_doc.m_nSampleRate, 44100);
    EXPECT_EQ(m_doc.m_nFrameCount, 186582);
    EXPECT_EQ(m_doc.m_nUnityNote, 60);
    ASSERT_TRUE(m_doc.m_bHasLoop);
    // The end is taken as written (this tool wrote it inclusively).
    EXPECT_EQ(m_doc.m_nLoopStart, 77554);
    EXPECT_EQ(m_doc.m_nLoopEnd, 186581);
    EXPECT_EQ(m_doc.GetSample(0, 0), FirstSample(path, 36));

    // Saved and read back: same shape and loop, the SAUR chunk is not kept.
    const auto out = (m_dir / "flute.wav").string();
    ASSERT_TRUE(DocumentFlow::SaveDocument(m_doc, out));
    const Bytes saved = Get(out);
    EXPECT_EQ(saved.size(), 112u + 186582u * 4u);
    CQuorvelDoc back;
    back.OnNewDocument();
    ReadBytes(back, saved);
    EXPECT_EQ(back.m_nFrameCount, 186582);
    EXPECT_EQ(back.m_nLoopStart, 77554);
    EXPECT_EQ(back.m_nLoopEnd, 186581);
    for (int f = 0; f < back.m_nFrameCount; f += 997)
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(back.GetSample(f, c), int(m_doc.GetSample(f, c) * 32767) / 32768.0);
}

TEST_F(SharedSamplesTest, RootKey38HasAUnityNoteButNoLoop)
{
    const auto path = SamplePath("sfizz_root_key_38.wav");
    REQUIRE_SAMPLE(path);
    ReadFile(path);
    EXPECT_EQ(m_doc.m_nChannels, 1);
    EXPECT_EQ(m_doc.m_nFrameCount, 2198);
    EXPECT_EQ(m_doc.m_nUnityNote, 38);
    EXPECT_FALSE(m_doc.m_bHasLoop);
}

TEST_F(SharedSamplesTest, CajonPadChunkIsSkipped)
{
    const auto path = SamplePath("sfizz_36-CajonCenter-1.wav");
    REQUIRE_SAMPLE(path);
    ReadFile(path);
    EXPECT_EQ(m_doc.m_nChannels, 1);
    EXPECT_EQ(m_doc.m_nSampleRate, 44100);
    EXPECT_EQ(m_doc.m_nFrameCount, 88024 / 2);
    EXPECT_EQ(m_doc.GetSample(0, 0), FirstSample(path, 12 + 24 + 8 + 4044));
}

TEST_F(SharedSamplesTest, SurgeWithAnOversizeRiffSizeReadsToTheEndOfTheFile)
{
    const auto path = SamplePath("sfizz_wavetable_surge.wav");
    REQUIRE_SAMPLE(path);
    ReadFile(path);
    EXPECT_EQ(m_doc.m_nChannels, 1);
    EXPECT_EQ(m_doc.m_nFrameCount, 510);
    EXPECT_FALSE(m_doc.m_bHasLoop);
}

TEST_F(SharedSamplesTest, FloatAnd24BitFilesAreRefused)
{
    for (const char* name : {"sfizz_wavetable_clm.wav", "sfizz_wavetable_with_loop_at_endings.wav",
                             "sfizz_meatbasspizz_a0_vl4_rr1.wav"}) {
        const auto path = SamplePath(name);
        REQUIRE_SAMPLE(path);
        EXPECT_EQ(RefusalCause(path), CArchiveException::badIndex) << name;
        // Through Open: reported, and the document is left empty.
        m_ui.m_messages.clear();
        EXPECT_FALSE(DocumentFlow::OpenDocument(m_doc, path)) << name;
        EXPECT_EQ(m_ui.m_messages.size(), 1u) << name;
        EXPECT_EQ(m_doc.m_nFrameCount, 0) << name;
        EXPECT_TRUE(m_doc.m_pSamples.empty()) << name;
        EXPECT_FALSE(m_doc.m_bLoaded) << name;
    }
}
