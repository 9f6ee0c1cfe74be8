// A recording saved as WAV opens as the same 16-bit samples, and bad
// requests fail without leaving anything behind.
#include "TempFolder.h"
#include "document/QuorvelDoc.h"
#include "framework/Document.h"
#include "framework/Exceptions.h"
#include "framework/UserInterface.h"
#include "playback/RecordingWav.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

class RecordingWav : public ::testing::Test {
protected:
    CTempFolder m_dir;
};

std::vector<std::uint8_t> Pcm(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> b;
    for (int v : values) {
        b.push_back(std::uint8_t(v & 0xFF));
        b.push_back(std::uint8_t((v >> 8) & 0xFF));
    }
    return b;
}

TEST_F(RecordingWav, OpensAsTheSamplesThatWerePlayed)
{
    const std::string path = (m_dir / "rec.wav").string();
    WriteRecordingWav(path, 2, 48000, Pcm({16383, -16383, 0, 1, -1, 8191}));
    EXPECT_EQ(fs::file_size(path), 44u + 12u);

    CHeadlessUserInterface ui;
    CQuorvelDoc doc;
    doc.SetUserInterface(&ui);
    doc.OnNewDocument();
    ASSERT_TRUE(DocumentFlow::OpenDocument(doc, path));
    EXPECT_EQ(doc.m_nChannels, 2);
    EXPECT_EQ(doc.m_nSampleRate, 48000);
    EXPECT_EQ(doc.m_nFrameCount, 3);
    EXPECT_FALSE(doc.m_bHasLoop);
    EXPECT_EQ(doc.GetSample(0, 0), 16383 / 32768.0);
    EXPECT_EQ(doc.GetSample(0, 1), -16383 / 32768.0);
    EXPECT_EQ(doc.GetSample(2, 1), 8191 / 32768.0);
}

TEST_F(RecordingWav, RefusesWhatNoDevicePlaysAndKeepsTheOldFile)
{
    const fs::path path = m_dir / "rec.wav";
    std::ofstream(path) << "old";
    EXPECT_THROW(WriteRecordingWav(path.string(), 2, 44100, Pcm({1})), std::invalid_argument);  // half a frame
    EXPECT_THROW(WriteRecordingWav(path.string(), 3, 44100, {}), std::invalid_argument);
    EXPECT_THROW(WriteRecordingWav(path.string(), 1, 0, {}), std::invalid_argument);
    EXPECT_THROW(WriteRecordingWav((m_dir / "no/such/dir/r.wav").string(), 1, 44100, Pcm({1})), CFileException);
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
    EXPECT_EQ(m_dir.Names().size(), 1u);
}

}  // namespace
