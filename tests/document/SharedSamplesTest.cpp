// WAV files written by other programs, kept beside the repository: chunk
// layouts and quirks our own files do not have, and real instrument
// recordings whose makers placed the loops (with a manifest of each file's
// format and first loop). Skipped when the folders are not there.

#include "DocTestFixture.h"
#include "WavTestSupport.h"

#include "framework/Document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

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
    // The first 16-bit sample of the data chunk that starts at `dataOffset`.
    static double FirstSample(const std::string& path, std::size_t dataOffset)
    {
        const Bytes b = Get(path);
        return std::int16_t(GetLE16(b, dataOffset + 8)) / 32768.0;
    }
};

// The rows of a tab-separated manifest, each as column name → value.
std::vector<std::map<std::string, std::string>> ReadManifest(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::string line, cell;
    std::getline(in, line);
    std::vector<std::string> columns;
    for (std::istringstream header(line); std::getline(header, cell, '\t');)
        columns.push_back(cell);
    std::vector<std::map<std::string, std::string>> rows;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        auto& row = rows.emplace_back();
        for (std::size_t i = 0; i < columns.size() && std::getline(fields, cell, '\t'); ++i)
            row[columns[i]] = cell;
    }
    return rows;
}

}  // namespace

TEST_F(SharedSamplesTest, LoopedFluteOpensWithItsSmplLoopAndSavesBackByteForByte)
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
    // The stored end 186581 is the last frame played: the loop runs to the end.
    EXPECT_EQ(m_doc.m_nLoopStart, 77554);
    EXPECT_EQ(m_doc.m_nLoopEnd, 186582);
    EXPECT_EQ(m_doc.GetSample(0, 0), FirstSample(path, 36));

    // Saved unchanged: the same chunks in the same order, the SAUR chunk and
    // the loop included; only the sample period (0 in this file) is filled in.
    const auto out = (m_dir / "flute.wav").string();
    ASSERT_TRUE(DocumentFlow::SaveDocument(m_doc, out));
    const Bytes in = Get(path), saved = Get(out);
    ASSERT_EQ(saved.size(), in.size());
    EXPECT_EQ(ChunksExcept(saved, {"smpl"}), ChunksExcept(in, {"smpl"}));
    Bytes smpl = ChunkBody(in, "smpl");
    smpl[8] = 0x93, smpl[9] = 0x58;  // 22675 ns per frame at 44100 Hz
    EXPECT_EQ(ChunkBody(saved, "smpl"), smpl);
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

TEST_F(SharedSamplesTest, FloatAnd24BitFilesOpen)
{
    for (auto [name, frames, bits] : {std::tuple{"sfizz_wavetable_clm.wav", 512, 32},
                                      {"sfizz_wavetable_with_loop_at_endings.wav", 4096, 64},
                                      {"sfizz_meatbasspizz_a0_vl4_rr1.wav", 220500, 24}}) {
        const auto path = SamplePath(name);
        REQUIRE_SAMPLE(path);
        ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path)) << name << ": " << m_doc.GetLastFailure();
        EXPECT_EQ(m_doc.m_nFrameCount, frames) << name;
        EXPECT_EQ(m_doc.m_sourceEncoding.m_nBits, bits) << name;
    }
}

// Open, save, open again: every sample value of every shared file comes back
// exactly through WAV, and through XI for files of 8 or 16 bits (XI holds 16);
// the WAV keeps every chunk but PEAK.
TEST_F(SharedSamplesTest, OpenThenSaveChangesNoSampleValue)
{
    if (!std::filesystem::is_directory(RINGSEAM_SHARED_SAMPLES))
        GTEST_SKIP() << "shared samples not available";
    m_ui.m_nPresetSample = 1;
    int nChecked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(RINGSEAM_SHARED_SAMPLES)) {
        const std::string path = entry.path().string();
        if (entry.path().extension() != ".wav" && entry.path().extension() != ".xi")
            continue;
        SCOPED_TRACE(path);
        ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path)) << m_doc.GetLastFailure();
        const std::vector<double> original = m_doc.m_pSamples;
        const int channels = m_doc.m_nChannels;
        const bool bWide = m_doc.m_sourceEncoding.IsWiderThan16Bit();
        for (const char* ext : {".wav", ".xi"}) {
            if (bWide && std::string(ext) == ".xi")
                continue;
            const std::string out = (m_dir / (std::string("saved") + ext)).string();
            ASSERT_TRUE(DocumentFlow::SaveDocument(m_doc, out)) << m_doc.GetLastFailure();
            if (ext[1] == 'w' && entry.path().extension() == ".wav") {
                const std::initializer_list<const char*> owned{"fmt ", "fact", "smpl", "data", "PEAK"};
                EXPECT_EQ(ChunksExcept(Get(out), owned), ChunksExcept(Get(path), owned));
            }
            CQuorvelDoc back;
            back.SetUserInterface(&m_ui);
            ASSERT_TRUE(DocumentFlow::OpenDocument(back, out)) << back.GetLastFailure();
            ASSERT_EQ(std::size_t(back.m_nFrameCount) * std::size_t(channels), original.size());
            for (int f = 0; f < back.m_nFrameCount; ++f)
                for (int c = 0; c < back.m_nChannels; ++c)  // XI keeps the first channel
                    ASSERT_EQ(back.GetSample(f, c), original[std::size_t(f) * std::size_t(channels) + std::size_t(c)])
                        << ext << " frame " << f;
            ++nChecked;
        }
        ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path));  // the save renamed the document
    }
    EXPECT_GE(nChecked, 10);
}

// Each real recording opens with its maker's loop, and saving it as WAV keeps
// every other chunk byte for byte and every field of "smpl" the program does
// not own.
TEST_F(SharedSamplesTest, RealRecordingsOpenWithTheirMakersLoopAndSaveKeepingEveryOtherChunk)
{
    const std::filesystem::path folder = RINGSEAM_REALWORLD;
    if (!std::filesystem::exists(folder / "manifest.tsv"))
        GTEST_SKIP() << "real-world recordings not available in " << folder;
    const auto rows = ReadManifest(folder / "manifest.tsv");
    ASSERT_FALSE(rows.empty());
    for (const auto& row : rows) {
        const std::string path = (folder / row.at("rel_path")).string();
        SCOPED_TRACE(path);
        ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path)) << m_doc.GetLastFailure();
        for (auto [column, value] : {std::pair{"channels", m_doc.m_nChannels}, {"rate", m_doc.m_nSampleRate},
                                     {"frames", m_doc.m_nFrameCount}, {"bits", m_doc.m_sourceEncoding.m_nBits},
                                     {"unity_note", m_doc.m_nUnityNote}})
            EXPECT_EQ(value, std::stoi(row.at(column))) << column;
        ASSERT_EQ(m_doc.m_bHasLoop, row.at("has_loop") == "yes");
        if (m_doc.m_bHasLoop) {
            // The manifest holds the raw smpl values: the end is the last frame played.
            EXPECT_EQ(m_doc.m_nLoopStart, std::stoi(row.at("loop_start")));
            EXPECT_EQ(m_doc.m_nLoopEnd, std::stoi(row.at("loop_end")) + 1);
        }

        const std::string out = (m_dir / "saved.wav").string();
        ASSERT_TRUE(DocumentFlow::SaveDocument(m_doc, out)) << m_doc.GetLastFailure();
        const Bytes in = Get(path), saved = Get(out);
        EXPECT_EQ(ChunksExcept(saved, {"smpl"}), ChunksExcept(in, {"smpl"}));
        Bytes smpl = ChunkBody(in, "smpl");
        ASSERT_GE(smpl.size(), 36u);
        WriteLE32(&smpl[8], std::uint32_t(999967500.0 / m_doc.m_nSampleRate));  // the sample period
        EXPECT_EQ(ChunkBody(saved, "smpl"), smpl);
    }
}
