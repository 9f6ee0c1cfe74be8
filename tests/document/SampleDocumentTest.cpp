// The sample document itself: sample access, loop operations, the choice of
// reader and writer, and Open / Reload / Save through the framework flow.

#include "DocTestFixture.h"
#include "WavTestSupport.h"

#include "document/QuorvelDoc.h"
#include "framework/Document.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// `loop` is the document's loop (end exclusive); the file stores its last frame.
Bytes SmallMonoWav(std::initializer_list<int> codes, std::optional<std::pair<int, int>> loop = {}, int unity = 60)
{
    if (loop)
        return Riff({PcmFmt(1, 22050, 2), Chunk("smpl", SmplBody(unity, 1, loop->first, loop->second - 1)),
                     Chunk("data", Pcm16(codes))});
    return Riff({PcmFmt(1, 22050, 2), Chunk("data", Pcm16(codes))});
}

}  // namespace

// --- sample access -------------------------------------------------------------

TEST(SampleAccess, CheckedAccessIgnoresFramesOutsideTheSample)
{
    CQuorvelDoc doc;
    FillDocument(doc, 2, 44100, {0.1, 0.2, 0.3, 0.4, 0.5, 0.6});
    EXPECT_EQ(doc.GetSampleChecked(-1, 0), 0.0);
    EXPECT_EQ(doc.GetSampleChecked(3, 1), 0.0);
    EXPECT_EQ(doc.GetSampleChecked(2, 1), 0.6);
    EXPECT_EQ(doc.GetSampleChecked(1, 0), 0.3);

    doc.SetSampleChecked(-1, 0, 9.0);
    doc.SetSampleChecked(3, 0, 9.0);
    EXPECT_EQ(doc.m_pSamples, (std::vector<double>{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}));
    doc.SetSampleChecked(2, 0, -0.25);
    EXPECT_EQ(doc.GetSample(2, 0), -0.25);
}

TEST(SampleAccess, ScaledValuesTruncateTowardZero)
{
    CQuorvelDoc doc;
    FillDocument(doc, 1, 44100, {1.0, -1.0, 0.5, -0.5, 0.0});
    EXPECT_EQ(doc.GetSampleScaled(0, 0, 32767), 32767);
    EXPECT_EQ(doc.GetSampleScaled(1, 0, 32767), -32767);
    EXPECT_EQ(doc.GetSampleScaled(2, 0, 32767), 16383);
    EXPECT_EQ(doc.GetSampleScaled(3, 0, 16383), -8191);
    EXPECT_EQ(doc.GetSampleScaled(4, 0, 63), 0);
}

// --- loop operations -----------------------------------------------------------

struct LoopCase {
    int frames, start, end;
    bool hasLoop;
    int wantStart, wantEnd;
    bool wantLoop;
};

class NormalizeLoopTest : public ::testing::TestWithParam<LoopCase> {};

TEST_P(NormalizeLoopTest, ClampsStartFirstThenPushesEndPastIt)
{
    const LoopCase c = GetParam();
    CQuorvelDoc doc;
    doc.OnNewDocument();
    doc.m_nFrameCount = c.frames;
    doc.m_bHasLoop = c.hasLoop;
    doc.m_nLoopStart = c.start;
    doc.m_nLoopEnd = c.end;
    doc.NormalizeLoop();
    EXPECT_EQ(doc.m_bHasLoop, c.wantLoop);
    if (c.wantLoop || !c.hasLoop) {
        EXPECT_EQ(doc.m_nLoopStart, c.wantStart);
        EXPECT_EQ(doc.m_nLoopEnd, c.wantEnd);
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, NormalizeLoopTest,
                         ::testing::Values(LoopCase{100, -5, 0, true, 0, 1, true},
                                           LoopCase{100, 150, 200, true, 99, 100, true},
                                           LoopCase{100, 40, 40, true, 40, 41, true},
                                           LoopCase{100, 60, 20, true, 60, 61, true},
                                           LoopCase{100, 10, 90, true, 10, 90, true},
                                           LoopCase{100, -5, 500, false, -5, 500, false},  // no loop: untouched
                                           LoopCase{0, 3, 7, true, 3, 7, false}));

TEST(LoopOperations, EnsureLoopMakesTheWholeSampleTheLoopOnlyWhenNoneIsSet)
{
    CQuorvelDoc doc;
    FillDocument(doc, 1, 44100, std::vector<double>(50, 0.0));
    doc.EnsureLoop();
    EXPECT_TRUE(doc.m_bHasLoop);
    EXPECT_EQ(doc.m_nLoopStart, 0);
    EXPECT_EQ(doc.m_nLoopEnd, 50);
    doc.m_nLoopStart = 7;
    doc.m_nLoopEnd = 9;
    doc.EnsureLoop();
    EXPECT_EQ(doc.m_nLoopStart, 7);
    EXPECT_EQ(doc.m_nLoopEnd, 9);
}

// --- choosing the reader --------------------------------------------------------

TEST(ChooseReader, OnlyAnUpperCaseRiffIsAWavFile)
{
    Bytes lower = SmallMonoWav({1, 2});
    lower[0] = 'r', lower[1] = 'i', lower[2] = 'f', lower[3] = 'f';
    EXPECT_EQ(ReadCause(lower), CArchiveException::badIndex);
    EXPECT_EQ(ReadCause(SmallMonoWav({1, 2})), std::nullopt);
}

TEST(ChooseReader, FilesOfOneToThreeBytesEndTooEarly)
{
    for (const Bytes& b : {Bytes{'R'}, Bytes{'R', 'I'}, Bytes{'R', 'I', 'F'}})
        EXPECT_EQ(ReadCause(b), CArchiveException::endOfFile) << b.size() << " bytes";
}

TEST(ChooseReader, ReadingSetsTheFileTypeAndResetsLoopAndUnityNote)
{
    CQuorvelDoc doc;
    doc.OnNewDocument();
    doc.m_bHasLoop = true;
    doc.m_nUnityNote = 12;
    ReadBytes(doc, SmallMonoWav({5, 6, 7}));
    EXPECT_EQ(doc.m_strFileType, "wav");
    EXPECT_FALSE(doc.m_bHasLoop);
    EXPECT_EQ(doc.m_nUnityNote, 60);
    EXPECT_EQ(doc.m_nFrameCount, 3);
    EXPECT_EQ(doc.m_nSampleRate, 22050);
}

// --- choosing the writer ---------------------------------------------------------

class SaveExtensionTest : public ::testing::Test {
protected:
    void SetUp() override { FillDocument(m_doc, 1, 44100, {0.0, 0.5, -0.5}); }
    // How a save to `name` goes: "wav" for a WAV file, "xi" when the XI writer
    // took it, "refused" for a refused extension.
    std::string SaveKind(const std::string& name)
    {
        try {
            const Bytes out = WriteBytes(m_doc, name);
            if (out.size() >= 4 && GetId(out, 0) == "RIFF")
                return "wav";
            return out.size() >= 4 && GetId(out, 0) == "Exte" ? "xi" : "other";
        } catch (const CArchiveException& e) {
            if (e.m_cause == CArchiveException::generic && e.m_strDetail == RefusalDetail())
                return "refused";
            // The XI writer may refuse this document on its own grounds; it
            // was still the one chosen.
            return "xi";
        }
    }
    std::string RefusalDetail()
    {
        try {
            WriteBytes(m_doc, "/tmp/take.aif");
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, CArchiveException::generic);
            return e.m_strDetail;
        }
        ADD_FAILURE() << "an .aif target was not refused";
        return {};
    }
    CQuorvelDoc m_doc;
};

TEST_F(SaveExtensionTest, TheFileNameExtensionChoosesTheFormatInAnyCase)
{
    m_doc.m_strFileType = "xi";
    EXPECT_EQ(SaveKind("/tmp/take.WAV"), "wav");
    EXPECT_EQ(SaveKind("/tmp/take.wav"), "wav");
    EXPECT_EQ(SaveKind("/tmp/take.Xi"), "xi");
    m_doc.m_strFileType = "wav";
    EXPECT_EQ(SaveKind("/tmp/take.Xi"), "xi");
}

TEST_F(SaveExtensionTest, WithoutAnExtensionTheFormatLastReadIsUsed)
{
    m_doc.m_strFileType = "wav";
    EXPECT_EQ(SaveKind("/tmp/take"), "wav");
    EXPECT_EQ(SaveKind("/tmp/my.folder/take"), "wav");  // a dot in a folder name does not count
    m_doc.m_strFileType = "xi";
    EXPECT_EQ(SaveKind("/tmp/take"), "xi");
    EXPECT_EQ(SaveKind("/tmp/folder.wav/take"), "xi");
    m_doc.m_strFileType = "";
    EXPECT_EQ(SaveKind("/tmp/take"), "refused");
}

TEST_F(SaveExtensionTest, EmptyOrUnknownExtensionsAreRefused)
{
    m_doc.m_strFileType = "wav";
    EXPECT_EQ(SaveKind("/tmp/take."), "refused");
    EXPECT_EQ(SaveKind("/tmp/take.aif"), "refused");
    EXPECT_EQ(SaveKind("/tmp/take.wav.bak"), "refused");
    EXPECT_EQ(SaveKind("/tmp/take.wave"), "refused");
}

// --- Open, Reload and Save through the framework ---------------------------------

TEST_F(DocumentFileTest, OpeningAZeroByteFileGivesAnEmptyDocumentWithoutReading)
{
    const auto path = Put("empty.wav", {});
    EXPECT_TRUE(DocumentFlow::OpenDocument(m_doc, path));
    EXPECT_TRUE(m_doc.m_strSourcePath.empty());
    EXPECT_FALSE(m_doc.m_bLoaded);
    EXPECT_EQ(m_doc.m_nFrameCount, 0);
    EXPECT_TRUE(m_ui.m_messages.empty());
}

TEST_F(DocumentFileTest, OpeningAWavLoadsItAndNamesItsSource)
{
    const auto path = Put("take.wav", SmallMonoWav({100, -100, 0, 32767}, std::pair{1, 3}, 55));
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path));
    EXPECT_TRUE(m_doc.m_bLoaded);
    EXPECT_EQ(m_doc.m_strSourcePath, path);
    EXPECT_EQ(m_doc.GetTitle(), "take.wav");
    EXPECT_EQ(m_doc.m_nFrameCount, 4);
    EXPECT_TRUE(m_doc.m_bHasLoop);
    EXPECT_EQ(m_doc.m_nLoopStart, 1);
    EXPECT_EQ(m_doc.m_nLoopEnd, 3);
    EXPECT_EQ(m_doc.m_nUnityNote, 55);
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(DocumentFileTest, AFailedOpenLeavesAnEmptyDocumentNamingTheFile)
{
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, Put("good.wav", SmallMonoWav({1, 2, 3}, std::pair{0, 2}))));
    const Bytes whole = SmallMonoWav({1, 2, 3, 4, 5, 6});
    const Bytes cut = Prefix(whole, whole.size() - 3);  // the data chunk ends early
    const auto bad = Put("cut.wav", cut);
    EXPECT_FALSE(DocumentFlow::OpenDocument(m_doc, bad));
    EXPECT_EQ(m_doc.m_strSourcePath, bad);
    EXPECT_EQ(m_doc.m_strFileType, "wav");
    EXPECT_EQ(m_doc.m_nFrameCount, 0);
    EXPECT_EQ(m_doc.m_nChannels, 0);
    EXPECT_TRUE(m_doc.m_pSamples.empty());
    EXPECT_FALSE(m_doc.m_bHasLoop);
    EXPECT_FALSE(m_doc.m_bLoaded);
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_EQ(m_ui.m_messages[0], FailureMessage(CArchiveException(CArchiveException::badIndex), FailureContext::Open));
}

TEST_F(DocumentFileTest, ClosingResetsEveryFieldAndReleasesTheStorage)
{
    // Two banks of 512 frames at 22050 Hz, so that spectra and curves exist.
    Bytes data;
    for (int f = 0; f < 1024; ++f)
        PutLE16(data, std::uint16_t(std::int16_t((f * 37) % 2000 - 1000)));
    const auto path = Put("take.wav", Riff({PcmFmt(1, 22050, 2), Chunk("smpl", SmplBody(55, 1, 1, 2)), Chunk("data", data)}));
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path));
    // XI fields that a reset frees, as a read instrument would leave them.
    m_doc.m_pXISampleHeaders.resize(2);
    m_doc.m_ppXISampleData = {{1, 2, 3}, {}};
    m_doc.m_bFromXI = true;
    m_doc.m_nXISampleCount = 2;
    m_doc.m_nXISampleIndex = 1;
    m_doc.m_xiHeader.bytes[20] = 'P';
    ASSERT_GT(m_doc.m_pBankSpectra.capacity(), 0u);
    ASSERT_GT(m_doc.m_pLoopCurves.capacity(), 0u);

    m_doc.OnCloseDocument();
    EXPECT_FALSE(m_doc.m_bLoaded);
    EXPECT_EQ(m_doc.m_nChannels, 0);
    EXPECT_EQ(m_doc.m_nFrameCount, 0);
    EXPECT_FALSE(m_doc.m_bHasLoop);
    EXPECT_EQ(m_doc.m_nSampleRate, 44100);
    EXPECT_EQ(m_doc.m_nUnityNote, 60);
    EXPECT_EQ(m_doc.m_nBankSize, 0);
    EXPECT_EQ(m_doc.m_nBankCount, 0);
    EXPECT_EQ(m_doc.m_nCurveColumns, 0);
    EXPECT_FALSE(m_doc.m_bFromXI);
    // Freed, not merely emptied: a closed document holds no sample memory.
    EXPECT_EQ(m_doc.m_pSamples.capacity(), 0u);
    EXPECT_EQ(m_doc.m_pBankSpectra.capacity(), 0u);
    EXPECT_EQ(m_doc.m_pLoopCurves.capacity(), 0u);
    EXPECT_EQ(m_doc.m_pXISampleHeaders.capacity(), 0u);
    EXPECT_EQ(m_doc.m_ppXISampleData.capacity(), 0u);
    // What a reset leaves alone: the loop points, the file's name and type,
    // the instrument header and its sample count and index.
    EXPECT_EQ(m_doc.m_nLoopStart, 1);
    EXPECT_EQ(m_doc.m_nLoopEnd, 3);
    EXPECT_EQ(m_doc.m_strFileType, "wav");
    EXPECT_EQ(m_doc.m_strSourcePath, path);
    EXPECT_EQ(m_doc.m_xiHeader.bytes[20], 'P');
    EXPECT_EQ(m_doc.m_nXISampleCount, 2);
    EXPECT_EQ(m_doc.m_nXISampleIndex, 1);
}

TEST_F(DocumentFileTest, ReloadWithoutASourceDoesNothing)
{
    FillDocument(m_doc, 1, 8000, {0.25, -0.25});
    m_doc.m_strSourcePath.clear();
    m_doc.Reload();
    EXPECT_EQ(m_doc.m_pSamples, (std::vector<double>{0.25, -0.25}));
    EXPECT_EQ(m_doc.m_nSampleRate, 8000);
}

TEST_F(DocumentFileTest, ReloadRestoresTheFramesAndKeepsLoopAndUnityNote)
{
    const auto path = Put("take.wav", SmallMonoWav({16384, -16384, 8192, 0}, std::pair{1, 3}, 50));
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path));
    m_doc.SetSample(0, 0, 0.9);
    m_doc.m_nLoopStart = 2;
    m_doc.m_nLoopEnd = 4;
    m_doc.m_nUnityNote = 70;
    m_doc.Reload();
    EXPECT_EQ(m_doc.m_pSamples, (std::vector<double>{0.5, -0.5, 0.25, 0.0}));
    EXPECT_TRUE(m_doc.m_bHasLoop);
    EXPECT_EQ(m_doc.m_nLoopStart, 2);
    EXPECT_EQ(m_doc.m_nLoopEnd, 4);
    EXPECT_EQ(m_doc.m_nUnityNote, 70);
    EXPECT_TRUE(m_doc.m_bLoaded);

    // A removed loop stays removed, even though the file has one.
    m_doc.m_bHasLoop = false;
    m_doc.Reload();
    EXPECT_FALSE(m_doc.m_bHasLoop);

    // The frames, and the chunks a save keeps, follow the file as it is now.
    Put("take.wav", Riff({PcmFmt(2, 48000, 1), Chunk("LIST", Bytes(6, '2')), Chunk("data", Pcm8({0, 255, 128, 128}))}));
    m_doc.Reload();
    EXPECT_EQ(m_doc.m_nChannels, 2);
    EXPECT_EQ(m_doc.m_nFrameCount, 2);
    EXPECT_EQ(m_doc.m_nSampleRate, 48000);
    EXPECT_EQ(m_doc.m_pSamples, (std::vector<double>{-1.0, 0.9921875, 0.0, 0.0}));
    EXPECT_EQ(m_doc.m_nUnityNote, 70);
    EXPECT_TRUE(m_doc.BanksDescribeFrames());
    // (The unity note 70 still needs a "smpl" chunk of its own.)
    EXPECT_EQ(ChunksExcept(WriteBytes(m_doc), {"fmt ", "data", "smpl"}),
              (std::vector<CChunkView>{{"LIST", Bytes(6, '2')}}));
}

TEST_F(DocumentFileTest, AFailedReloadLeavesTheDocumentAsItWas)
{
    const auto path = Put("take.wav", SmallMonoWav({16384, -16384, 8192, 0}, std::pair{1, 3}, 50));
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path));
    m_doc.SetSample(0, 0, 0.75);
    const std::vector<double> before = m_doc.m_pSamples;

    auto expectUnchanged = [&] {
        EXPECT_EQ(m_doc.m_pSamples, before);
        EXPECT_EQ(m_doc.m_nFrameCount, 4);
        EXPECT_EQ(m_doc.m_nChannels, 1);
        EXPECT_EQ(m_doc.m_nSampleRate, 22050);
        EXPECT_EQ(m_doc.m_strFileType, "wav");
        EXPECT_TRUE(m_doc.m_bHasLoop);
        EXPECT_EQ(m_doc.m_nLoopStart, 1);
        EXPECT_EQ(m_doc.m_nLoopEnd, 3);
        EXPECT_EQ(m_doc.m_nUnityNote, 50);
        EXPECT_TRUE(m_doc.m_bLoaded);
    };

    // Refused half-way: the fmt chunk was read (stereo, 48000 Hz) before the cut data.
    const Bytes whole = Riff({PcmFmt(2, 48000, 2), Chunk("data", Pcm16({1, 2, 3, 4, 5, 6}))});
    Put("take.wav", Prefix(whole, whole.size() - 2));
    EXPECT_THROW(m_doc.Reload(), CArchiveException);
    expectUnchanged();

    Put("take.wav", Bytes{'E', 'x', 't'});
    EXPECT_THROW(m_doc.Reload(), CArchiveException);
    expectUnchanged();

    std::filesystem::remove(path);
    EXPECT_THROW(m_doc.Reload(), CFileException);
    expectUnchanged();
}

TEST_F(DocumentFileTest, SaveReplacesTheFileWholeAndAFailedSaveLeavesItUntouched)
{
    const auto src = Put("take.wav", SmallMonoWav({16384, -16384, 8192, 0}, std::pair{1, 3}, 50));
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, src));
    const auto target = Put("out.wav", Bytes{'o', 'l', 'd'});
    ASSERT_TRUE(DocumentFlow::SaveDocument(m_doc, target));
    const Bytes saved = Get(target);
    EXPECT_EQ(saved.size(), 44u + 68u + 8u);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"out.wav", "take.wav"}));

    // An extension no writer serves: nothing changes on disk.
    const auto aif = Put("out.aif", Bytes{'o', 'l', 'd'});
    EXPECT_FALSE(DocumentFlow::SaveDocument(m_doc, aif));
    EXPECT_EQ(Get(aif), (Bytes{'o', 'l', 'd'}));

    // A document too large for a RIFF file is refused before anything is written.
    m_doc.m_nChannels = 2;
    m_doc.m_nFrameCount = 1 << 30;
    EXPECT_FALSE(DocumentFlow::SaveDocument(m_doc, target));
    EXPECT_EQ(Get(target), saved);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"out.aif", "out.wav", "take.wav"}));
    EXPECT_EQ(m_ui.m_messages.size(), 2u);
}
