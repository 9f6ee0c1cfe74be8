// Real instrument recordings whose makers placed the loops (kept beside the
// repository with a manifest of each file's format and first loop). Each
// opens with the maker's loop, and saving it as WAV keeps every other chunk
// byte for byte and every field of "smpl" the program does not own. Skipped
// when the folder is not there.

#include "DocTestFixture.h"
#include "WavTestSupport.h"

#include "framework/Document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

// The manifest's rows as column name → value.
std::vector<std::map<std::string, std::string>> ReadManifest(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::vector<std::map<std::string, std::string>> rows;
    std::vector<std::string> columns;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        if (columns.empty()) {
            columns = cells;
            continue;
        }
        std::map<std::string, std::string>& row = rows.emplace_back();
        for (std::size_t i = 0; i < columns.size() && i < cells.size(); ++i)
            row[columns[i]] = cells[i];
    }
    return rows;
}

}  // namespace

TEST_F(DocumentFileTest, RealRecordingsOpenWithTheirMakersLoopAndSaveKeepingEveryOtherChunk)
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
        EXPECT_EQ(m_doc.m_nChannels, std::stoi(row.at("channels")));
        EXPECT_EQ(m_doc.m_nSampleRate, std::stoi(row.at("rate")));
        EXPECT_EQ(m_doc.m_nFrameCount, std::stoi(row.at("frames")));
        EXPECT_EQ(m_doc.m_sourceEncoding.m_nBits, std::stoi(row.at("bits")));
        EXPECT_EQ(m_doc.m_nUnityNote, std::stoi(row.at("unity_note")));
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
