// XI files on disk through the document's Open, Reload and Save, a
// third-party instrument, and the round trip through WAV.
#include "TempFolder.h"
#include "XIBuilder.h"

#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             std::streamsize(bytes.size()));
}

class XIFileFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.SetUserInterface(&ui);
        DocumentFlow::NewDocument(doc);
    }
    CTempFolder dir;
    CQuorvelDoc doc;
    CScriptedUi ui;
};

XISampleSpec LoopedSample(std::int32_t nLength)
{
    XISampleSpec s;
    s.nLength = nLength;
    s.nType = 0x11;
    s.nLoopStart = 100;
    s.nLoopLength = 400;
    s.nRelativeNote = -3;
    s.nFinetune = 0;
    return s;
}

}  // namespace

TEST_F(XIFileFlowTest, OpenSaveAsAndReloadKeepTheLoop)
{
    const auto path = dir / "two.xi";
    WriteAll(path, BuildXI({LoopedSample(1000), LoopedSample(600)}));
    ui.answer = 2;
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, path.string())) << doc.GetLastFailure();
    EXPECT_EQ(doc.GetTitle(), "two.xi");
    EXPECT_EQ(doc.m_nFrameCount, 300);
    EXPECT_EQ(doc.m_nLoopStart, 50);
    EXPECT_EQ(doc.m_nLoopEnd, 250);
    EXPECT_EQ(doc.m_nUnityNote, 57);
    const std::vector<double> original = doc.m_pSamples;

    // Edits in memory; Reload brings the frames back and keeps the loop.
    doc.m_nLoopStart = 10;
    doc.m_nLoopEnd = 20;
    doc.m_nUnityNote = 70;
    for (double& v : doc.m_pSamples)
        v = 0.0;
    doc.Reload();
    EXPECT_EQ(ui.offered, (std::vector<int>{2, 2}));  // asked again
    EXPECT_EQ(doc.m_pSamples, original);
    EXPECT_TRUE(doc.m_bHasLoop);
    EXPECT_EQ(doc.m_nLoopStart, 10);
    EXPECT_EQ(doc.m_nLoopEnd, 20);
    EXPECT_EQ(doc.m_nUnityNote, 70);
    EXPECT_EQ(doc.m_nXISampleIndex, 1);

    // A different choice at Reload loads the other sample under the same loop.
    ui.answer = 1;
    doc.Reload();
    EXPECT_EQ(doc.m_nXISampleIndex, 0);
    EXPECT_EQ(doc.m_nFrameCount, 500);
    EXPECT_EQ(doc.m_nLoopStart, 10);

    // A cancelled Reload fails and leaves the document as it was.
    ui.answer.reset();
    EXPECT_THROW(doc.Reload(), CArchiveException);
    EXPECT_EQ(doc.m_nXISampleIndex, 0);
    EXPECT_EQ(doc.m_nFrameCount, 500);

    const auto saved = dir / "saved.xi";
    ASSERT_TRUE(DocumentFlow::SaveDocument(doc, saved.string())) << doc.GetLastFailure();
    CQuorvelDoc back;
    back.SetUserInterface(&ui);
    ui.answer = 1;
    ASSERT_TRUE(DocumentFlow::OpenDocument(back, saved.string()));
    EXPECT_EQ(back.m_nFrameCount, 500);
    EXPECT_EQ(back.m_nLoopStart, 10);
    EXPECT_EQ(back.m_nLoopEnd, 20);
    EXPECT_EQ(back.m_nUnityNote, 70);
}

TEST_F(XIFileFlowTest, MalformedFileOnDiskReportsUnexpectedFormat)
{
    const auto path = dir / "bad.xi";
    WriteAll(path, BuildXI({LoopedSample(1000)}, std::nullopt, 10));
    EXPECT_FALSE(DocumentFlow::OpenDocument(doc, path.string()));
    EXPECT_EQ(doc.GetLastFailure(), "Unexpected file format.");
    EXPECT_FALSE(doc.m_bFromXI);
    EXPECT_EQ(doc.m_nFrameCount, 0);
}

TEST_F(XIFileFlowTest, SaveWithoutExtensionFollowsTheFileLastRead)
{
    const auto path = dir / "one.xi";
    const auto in = BuildXI({LoopedSample(1000)});
    WriteAll(path, in);
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, path.string()));
    const auto saved = dir / "noext";
    ASSERT_TRUE(DocumentFlow::SaveDocument(doc, saved.string())) << doc.GetLastFailure();
    const auto out = ReadAll(saved);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 338, out.begin()));
}

// Third-party instrument: two 16-bit samples with forward loops.
TEST_F(XIFileFlowTest, ThirdPartyInstrumentReadsBothSamplesAndWritesBack)
{
    const fs::path path = fs::path(RINGSEAM_SHARED_SAMPLES) / "xmrs_instr.xi";
    if (!fs::exists(path))
        GTEST_SKIP() << "no " << path;
    const auto in = ReadAll(path);
    ASSERT_EQ(in.size(), 33268u);
    const std::size_t dataStart = 298 + 80;
    const std::size_t lengths[2] = {14232, 18658};
    const std::size_t offsets[2] = {dataStart, dataStart + lengths[0]};

    for (int choice : {1, 2}) {
        SCOPED_TRACE(choice);
        CQuorvelDoc d;
        CScriptedUi answers;
        answers.answer = choice;
        d.SetUserInterface(&answers);
        ASSERT_TRUE(DocumentFlow::OpenDocument(d, path.string())) << d.GetLastFailure();
        EXPECT_EQ(answers.offered, std::vector<int>{2});
        const std::size_t i = std::size_t(choice - 1);
        EXPECT_EQ(d.m_nXISampleIndex, choice - 1);
        EXPECT_EQ(std::size_t(d.m_nFrameCount), lengths[i] / 2);
        EXPECT_TRUE(d.m_bHasLoop);
        // Relative notes 13 and 8 with the finetune −28/128: a fraction above the note below.
        EXPECT_EQ(d.GetTuning(), (CTuning{choice == 1 ? 72 : 67, 100u << 25}));
        EXPECT_LE(d.m_nLoopEnd, d.m_nFrameCount);

        const auto out = SaveBytes(d, "instr.xi");
        ASSERT_EQ(out.size(), in.size());
        // Header and both sample headers (the chosen one's fields come out
        // as they were: 16-bit data, forward loop, even positions).
        EXPECT_TRUE(std::equal(in.begin(), in.begin() + std::ptrdiff_t(dataStart), out.begin()));
        // The other sample byte for byte.
        const std::size_t o = 1 - i;
        EXPECT_TRUE(std::equal(in.begin() + std::ptrdiff_t(offsets[o]),
                               in.begin() + std::ptrdiff_t(offsets[o] + lengths[o]),
                               out.begin() + std::ptrdiff_t(offsets[o])));
        // The chosen one byte for byte as well: no sample changed.
        EXPECT_EQ(out, in);
    }
}

TEST_F(XIFileFlowTest, MonoWavThroughXiAndBackKeepsFramesLoopAndUnityNote)
{
    std::vector<double> frames(3000);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = std::sin(double(i) * 0.031) * 0.8 + (i % 7 == 0 ? 0.1 : 0.0);
    CQuorvelDoc source;
    source.SetUserInterface(&ui);
    MakeDocument(source, frames);
    source.m_bHasLoop = true;
    source.m_nLoopStart = 321;
    source.m_nLoopEnd = 2777;
    source.m_nUnityNote = 67;
    const auto wav1 = SaveBytes(source, "a.wav");

    CQuorvelDoc fromWav;
    fromWav.SetUserInterface(&ui);
    fromWav.SetTitle("a.wav");
    LoadBytes(fromWav, wav1, false, "a.wav");
    ASSERT_EQ(fromWav.m_nFrameCount, 3000);
    const auto xi = SaveBytes(fromWav, "a.xi");
    EXPECT_EQ(xi.size(), 298u + 40u + 6000u);

    CQuorvelDoc fromXi;
    fromXi.SetUserInterface(&ui);
    LoadBytes(fromXi, xi);
    const auto wav2 = SaveBytes(fromXi, "b.wav");
    CQuorvelDoc back;
    back.SetUserInterface(&ui);
    LoadBytes(back, wav2, false, "b.wav");

    EXPECT_TRUE(ui.offered.empty());
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(back.m_nFrameCount, 3000);
    EXPECT_EQ(back.m_nChannels, 1);
    EXPECT_TRUE(back.m_bHasLoop);
    EXPECT_EQ(back.m_nLoopStart, 321);
    EXPECT_EQ(back.m_nLoopEnd, 2777);
    EXPECT_EQ(back.m_nUnityNote, 67);
    // The first save stores value × 32768 truncated toward zero; each read
    // divides by 32768, so the later saves change nothing.
    for (int j = 0; j < 3000; ++j)
        ASSERT_EQ(back.GetSample(j, 0), double(int(frames[std::size_t(j)] * 32768.0)) / 32768.0) << j;
}

TEST_F(XIFileFlowTest, NewDocumentSavedAsXiTakesTheTitleFromBeforeTheSave)
{
    const auto path = dir / "fresh.xi";
    ASSERT_TRUE(DocumentFlow::SaveDocument(doc, path.string())) << doc.GetLastFailure();
    const auto out = ReadAll(path);
    ASSERT_EQ(out.size(), 338u);  // header and one empty sample header
    EXPECT_EQ(std::string(out.begin() + 21, out.begin() + 43), "Untitled              ");
    EXPECT_EQ(out[298 + 17], 8);
    EXPECT_EQ(doc.GetTitle(), "fresh.xi");
    // An instrument without frames is not one the reader accepts back.
    CQuorvelDoc back;
    EXPECT_FALSE(DocumentFlow::OpenDocument(back, path.string()));
}
