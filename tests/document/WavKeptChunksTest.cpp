// What a WAV save keeps of the file it was read from: every chunk the
// program does not own, byte for byte and in order, and every field of
// "smpl" but the unity note, the sample period and the first loop.

#include "DocTestFixture.h"
#include "WavTestSupport.h"

#include "framework/Document.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>

namespace {

// A "smpl" body with every field set: header, the given loop records
// {cue id, type, start, stored end, fraction, play count}, sampler data.
Bytes FullSmpl(std::int32_t unity, const std::vector<std::array<std::uint32_t, 6>>& loops, const Bytes& samplerData)
{
    Bytes b;
    for (std::uint32_t v : {7u, 9u, 123u, std::uint32_t(unity), 0x80000000u, 25u, 0x01020304u,
                            std::uint32_t(loops.size()), std::uint32_t(samplerData.size())})
        PutLE32(b, v);
    for (const auto& loop : loops)
        for (std::uint32_t v : loop)
            PutLE32(b, v);
    Append(b, samplerData);
    return b;
}

const std::array<std::uint32_t, 6> kFirstLoop{11, 1, 10, 19, 5, 3};
const std::array<std::uint32_t, 6> kSecondLoop{12, 0, 30, 39, 0, 0};
const Bytes kSamplerData{0xA1, 0xA2, 0xA3, 0xA4};

Bytes Mono16(int frames)
{
    Bytes b;
    for (int i = 0; i < frames; ++i)
        PutLE16(b, std::uint16_t(i * 300));
    return b;
}

std::unique_ptr<CQuorvelDoc> Read(const Bytes& file, bool bKeepLoop = false)
{
    auto doc = std::make_unique<CQuorvelDoc>();
    doc->OnNewDocument();
    ReadBytes(*doc, file, bKeepLoop);
    return doc;
}

}  // namespace

TEST(WavKeptChunks, EveryChunkNotOwnedComesBackInItsPlace)
{
    const Bytes junk = Chunk("JUNK", Bytes{1, 2, 3});  // odd: a pad byte follows
    const Bytes list = Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'C', 'M', 'T', 2, 0, 0, 0, 'x', 0});
    const Bytes cue = Chunk("cue ", Bytes(28, 4));
    const Bytes bext = Chunk("bext", Bytes(602, 6));
    const Bytes inst = Chunk("inst", Bytes{60, 0, 0, 0, 127, 1, 127});
    const Bytes odd = Chunk("abcd", Bytes{9});
    const Bytes empty = Chunk("zero", {});
    Bytes junkPadded = junk;
    junkPadded.push_back(0);
    Bytes instPadded = inst;
    instPadded.push_back(0);
    const Bytes file =
        Riff({junkPadded, bext, PcmFmt(1, 44100, 2), list, empty, cue, Chunk("data", Mono16(50)), instPadded, empty, odd});
    const auto doc = Read(file);
    ASSERT_EQ(doc->m_nFrameCount, 50);

    const Bytes saved = WriteBytes(*doc);
    EXPECT_EQ(ChunkList(saved), ChunkList(file));
    // The last chunk is odd too: the file ends with its pad byte.
    EXPECT_EQ(saved.size(), file.size() + 1);
    EXPECT_EQ(GetLE32(saved, 4), saved.size() - 8);
}

TEST(WavKeptChunks, SmplChangesOnlyUnityNotePeriodAndFirstLoop)
{
    struct Case {
        const char* name;
        bool bHasLoop;
        std::int32_t start, end;  // the document's loop, end exclusive
        std::vector<std::array<std::uint32_t, 6>> want;
    };
    const std::array<std::uint32_t, 6> moved{11, 0, 12, 20, 5, 3};  // forward: the search assumes it
    for (const Case& c : {Case{"loop as read keeps its type", true, 10, 20, {kFirstLoop, kSecondLoop}},
                          Case{"changed loop plays forward", true, 12, 21, {moved, kSecondLoop}},
                          Case{"no loop leaves the first record out", false, 0, 0, {kSecondLoop}}}) {
        SCOPED_TRACE(c.name);
        const auto doc = Read(Riff({PcmFmt(1, 44100, 2), Chunk("smpl", FullSmpl(60, {kFirstLoop, kSecondLoop}, kSamplerData)),
                                    Chunk("data", Mono16(50))}));
        ASSERT_TRUE(doc->m_bHasLoop);
        ASSERT_EQ(doc->m_nLoopEnd, 20);
        doc->m_bHasLoop = c.bHasLoop;
        if (c.bHasLoop) {
            doc->m_nLoopStart = c.start;
            doc->m_nLoopEnd = c.end;
        }
        doc->m_nUnityNote = 61;
        Bytes want = FullSmpl(61, c.want, kSamplerData);
        WriteLE32(&want[8], 22675);  // the period at 44100 Hz
        EXPECT_EQ(ChunkBody(WriteBytes(*doc), "smpl"), want);
    }
}

TEST(WavKeptChunks, OneSmplIsWrittenWithTheFieldsOfTheChunkThatSetTheLoop)
{
    Bytes withLoop = FullSmpl(50, {kFirstLoop}, {});
    Bytes later = FullSmpl(52, {}, {});
    WriteLE32(&later[0], 99);  // another manufacturer
    const auto doc = Read(Riff({PcmFmt(1, 44100, 2), Chunk("smpl", withLoop), Chunk("data", Mono16(50)),
                                Chunk("smpl", later)}));
    EXPECT_EQ(doc->m_nUnityNote, 52);
    const std::vector<CChunkView> chunks = ChunkList(WriteBytes(*doc));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[1].id, "smpl");
    Bytes want = FullSmpl(52, {kFirstLoop}, {});
    WriteLE32(&want[8], 22675);
    EXPECT_EQ(chunks[1].body, want);
}

TEST(WavKeptChunks, ALoopChunkIsNotWrittenBackItsLoopGoesIntoSmpl)
{
    const auto doc = Read(Riff({PcmFmt(1, 44100, 2), Chunk("data", Mono16(50)), Chunk("loop", LoopBody(5, 25))}));
    const Bytes saved = WriteBytes(*doc);
    const std::vector<CChunkView> chunks = ChunkList(saved);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[2].id, "smpl");  // where the loop chunk was
    const auto back = Read(saved);
    EXPECT_EQ(back->m_nLoopStart, 5);
    EXPECT_EQ(back->m_nLoopEnd, 25);
}

TEST(WavKeptChunks, FactIsWrittenAnewAndPeakDropped)
{
    Bytes fact;
    PutLE32(fact, 999);
    Bytes floats;
    for (float v : {0.5f, -0.25f, 1.0f})
        PutLE32(floats, std::bit_cast<std::uint32_t>(v));
    const auto doc = Read(Riff({Chunk("fmt ", FmtBody(3, 1, 48000, 4, 32)), Chunk("fact", fact),
                                Chunk("PEAK", Bytes(16, 1)), Chunk("data", floats)}));
    ASSERT_EQ(doc->m_nFrameCount, 3);
    const std::vector<CChunkView> chunks = ChunkList(WriteBytes(*doc));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[1].id, "fact");
    EXPECT_EQ(GetLE32(chunks[1].body, 0), 3u);
    EXPECT_EQ(chunks[2].body, floats);
}

TEST(WavKeptChunks, APadByteAfterAnOddChunkIsSkipped)
{
    Bytes odd = Chunk("junk", Bytes{1, 2, 3});
    odd.push_back(0);
    const auto doc = Read(Riff({PcmFmt(1, 44100, 2), odd, Chunk("data", Pcm16({16384}))}));
    EXPECT_EQ(doc->m_pSamples, (std::vector<double>{0.5}));
}

TEST(WavKeptChunks, AnInstrumentSavedAsWavWritesOnlyItsOwnChunks)
{
    CQuorvelDoc fromWav;
    fromWav.OnNewDocument();
    ReadBytes(fromWav, Riff({PcmFmt(1, 44100, 2), Chunk("LIST", Bytes(4, 'L')), Chunk("data", Mono16(50))}));
    ASSERT_EQ(fromWav.m_wavChunks.size(), 3u);
    fromWav.SetTitle("a.wav");
    const Bytes xi = WriteBytes(fromWav, "/tmp/a.xi");
    ReadBytes(fromWav, xi, false, "/tmp/a.xi");
    EXPECT_TRUE(fromWav.m_wavChunks.empty());
    std::vector<std::string> ids;
    for (const CChunkView& c : ChunkList(WriteBytes(fromWav)))
        ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"fmt ", "data"}));
}

TEST_F(DocumentFileTest, ReloadReadsTheKeptChunksAgain)
{
    const auto path = Put("take.wav", Riff({PcmFmt(1, 44100, 2), Chunk("LIST", Bytes(4, '1')), Chunk("data", Mono16(1100))}));
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path));
    Put("take.wav", Riff({PcmFmt(1, 44100, 2), Chunk("LIST", Bytes(6, '2')), Chunk("data", Mono16(1100))}));
    m_doc.Reload();
    EXPECT_EQ(ChunkBody(WriteBytes(m_doc), "LIST"), Bytes(6, '2'));
}
