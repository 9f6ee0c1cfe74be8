// Every stored encoding the reader takes (WavMatrix.h): read, save, read
// again. 8- and 16-bit samples are saved as 16-bit codes that give back the
// same values; wider and floating-point samples are saved in their own
// encoding, byte for byte. The loop and the chunks the program does not own
// come through as well.

#include "WavMatrix.h"

#include <gtest/gtest.h>

namespace {

class WavMatrixTest : public ::testing::TestWithParam<CMatrixCase> {
protected:
    std::unique_ptr<CQuorvelDoc> Read(const Bytes& file)
    {
        auto doc = std::make_unique<CQuorvelDoc>();
        doc->OnNewDocument();
        ReadBytes(*doc, file);
        return doc;
    }

    void ExpectTheCase(const CQuorvelDoc& doc)
    {
        const CMatrixCase& c = GetParam();
        EXPECT_EQ(doc.m_nChannels, c.channels);
        EXPECT_EQ(doc.m_nSampleRate, c.Rate());
        ASSERT_EQ(doc.m_nFrameCount, c.frames);
        EXPECT_EQ(doc.m_pSamples, MatrixValues(c));
        EXPECT_EQ(doc.m_bHasLoop, c.bLoop);
        if (c.bLoop) {
            EXPECT_EQ(doc.m_nLoopStart, c.LoopStart());
            EXPECT_EQ(doc.m_nLoopEnd, c.LoopEnd());
            EXPECT_EQ(doc.m_nUnityNote, 57);
        }
    }
};

}  // namespace

TEST_P(WavMatrixTest, ReadsTheStoredValuesTheLoopAndTheEncoding)
{
    const CMatrixCase& c = GetParam();
    const auto doc = Read(MatrixFile(c));
    ExpectTheCase(*doc);
    EXPECT_EQ(doc->m_sourceEncoding.m_nBits, c.Bits());
    EXPECT_EQ(doc->m_sourceEncoding.m_nBytes, c.Bytes());
    EXPECT_EQ(doc->m_sourceEncoding.m_bFloat, c.IsFloat());
}

TEST_P(WavMatrixTest, SavingLosesNoSampleAndKeepsLoopAndOtherChunks)
{
    const CMatrixCase& c = GetParam();
    const auto doc = Read(MatrixFile(c));
    const Bytes saved = WriteBytes(*doc);
    EXPECT_EQ(GetLE32(saved, 4), saved.size() - 8);

    // The header a common reader expects for what is stored.
    const int bytes = c.IsWide() ? c.Bytes() : 2;
    const Bytes fmt = ChunkBody(saved, "fmt ");
    ASSERT_GE(fmt.size(), 16u);
    const bool bExtensible = c.IsWide() && !c.IsFloat();
    EXPECT_EQ(GetLE16(fmt, 0), bExtensible ? 0xFFFE : c.IsFloat() ? 3 : 1);
    EXPECT_EQ(GetLE16(fmt, 2), c.channels);
    EXPECT_EQ(GetLE32(fmt, 4), std::uint32_t(c.Rate()));
    EXPECT_EQ(GetLE32(fmt, 8), std::uint32_t(c.Rate() * c.channels * bytes));
    EXPECT_EQ(GetLE16(fmt, 12), c.channels * bytes);
    EXPECT_EQ(GetLE16(fmt, 14), 8 * bytes);
    if (bExtensible) {
        ASSERT_EQ(fmt.size(), 40u);
        EXPECT_EQ(GetLE16(fmt, 16), 22);
        EXPECT_EQ(GetLE16(fmt, 18), 8 * bytes);  // every bit significant, as most readers need
        const Bytes pcmGuid = Prefix(ExtensibleFmtBody(1, 1, 8, 8), 40);
        EXPECT_EQ(Bytes(fmt.begin() + 24, fmt.end()), Bytes(pcmGuid.begin() + 24, pcmGuid.end()));
    }
    EXPECT_EQ(ChunkBody(saved, "fact"), c.IsFloat() ? [&] {
        Bytes frames;
        PutLE32(frames, std::uint32_t(c.frames));
        return frames;
    }() : Bytes{});

    // The samples: wide ones exactly as stored, narrow ones as 16-bit codes
    // of the same values.
    const std::vector<double> values = MatrixValues(c);
    if (c.IsWide()) {
        EXPECT_EQ(ChunkBody(saved, "data"), MatrixData(c, values, true));
    } else {
        Bytes codes;
        for (double v : values)
            PutLE16(codes, std::uint16_t(std::int16_t(v * 32768.0)));
        EXPECT_EQ(ChunkBody(saved, "data"), codes);
    }
    EXPECT_EQ(ChunksExcept(saved, {"fmt ", "fact", "smpl", "data"}), ChunksExcept(MatrixFile(c), {"fmt ", "smpl", "data"}));
    if (c.bLoop) {
        const Bytes smpl = ChunkBody(saved, "smpl");
        ASSERT_GE(smpl.size(), 52u);
        EXPECT_EQ(GetLE32(smpl, 44), std::uint32_t(c.LoopStart()));
        EXPECT_EQ(GetLE32(smpl, 48), std::uint32_t(c.LoopEnd() - 1));
    }

    // Read again: the same document, and saved again the same file.
    const auto back = Read(saved);
    ExpectTheCase(*back);
    EXPECT_EQ(WriteBytes(*back), saved);
}

INSTANTIATE_TEST_SUITE_P(Encodings, WavMatrixTest, ::testing::ValuesIn(MatrixCases()),
                         [](const ::testing::TestParamInfo<CMatrixCase>& i) { return i.param.Name(); });
