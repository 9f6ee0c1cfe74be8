// What a WAV save keeps of the file it was read from: every chunk the
// program does not own, byte for byte and in its place, and every field of
// "smpl" but the unity note, the sample period and the first loop.

#include "DocTestFixture.h"
#include "WavTestSupport.h"

#include "document/WavFormat.h"
#include "framework/Document.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using LoopRecord = std::array<std::uint32_t, 6>;  // cue id, type, start, stored end, fraction, play count

// A "smpl" body with every field set, the given loop records and 4 bytes of sampler data.
Bytes FullSmpl(std::int32_t unity, const std::vector<LoopRecord>& loops, std::uint32_t period = 123)
{
    Bytes b;
    for (std::uint32_t v : {7u, 9u, period, std::uint32_t(unity), 0x80000000u, 25u, 0x01020304u,
                            std::uint32_t(loops.size()), 4u})
        PutLE32(b, v);
    for (const LoopRecord& loop : loops)
        for (std::uint32_t v : loop)
            PutLE32(b, v);
    Append(b, {0xA1, 0xA2, 0xA3, 0xA4});
    return b;
}

const LoopRecord kFirst{11, 1, 10, 19, 5, 3}, kSecond{12, 0, 30, 39, 0, 0};
const Bytes kFmt = PcmFmt(1, 44100, 2);
const Bytes kData = Chunk("data", Bytes(100, 3));

}  // namespace

TEST_F(DocumentFileTest, EveryChunkNotOwnedComesBackInItsPlace)
{
    Bytes odd = Chunk("JUNK", Bytes{1, 2, 3});
    odd.push_back(0);  // its pad byte
    const Bytes list = Chunk("LIST", Bytes{'I', 'N', 'F', 'O'}), empty = Chunk("zero", {});
    const Bytes in = Riff({odd, Chunk("bext", Bytes(602, 6)), kFmt, list, empty, Chunk("cue ", Bytes(28, 4)),
                           Chunk("fact", Bytes(4, 9)), Chunk("PEAK", Bytes(16, 1)), kData, Chunk("abcd", Bytes{9})});
    ReadBytes(m_doc, in);
    const Bytes saved = WriteBytes(m_doc);
    // fact is written for floating-point data only, PEAK never; the last
    // chunk gets the pad byte it lacked.
    EXPECT_EQ(ChunkList(saved), ChunksExcept(in, {"fact", "PEAK"}));
    EXPECT_EQ(saved.size(), in.size() - 12 - 24 + 1);
}

TEST_F(DocumentFileTest, SmplChangesOnlyUnityNotePeriodAndFirstLoop)
{
    struct Case {
        const char* name;
        bool bLoop;
        std::int32_t end;  // the document's, exclusive
        std::vector<LoopRecord> want;
    };
    for (const Case& c : {Case{"loop as read keeps its type", true, 20, {kFirst, kSecond}},
                          Case{"a moved loop plays forward", true, 21, {{11, 0, 10, 20, 5, 3}, kSecond}},
                          Case{"no loop leaves the first record out", false, 0, {kSecond}}}) {
        SCOPED_TRACE(c.name);
        ReadBytes(m_doc, Riff({kFmt, Chunk("smpl", FullSmpl(60, {kFirst, kSecond})), kData}));
        ASSERT_EQ(m_doc.m_nLoopEnd, 20);
        m_doc.m_bHasLoop = c.bLoop;
        m_doc.m_nLoopEnd = c.end;
        m_doc.m_nUnityNote = 61;
        EXPECT_EQ(ChunkBody(WriteBytes(m_doc), "smpl"), FullSmpl(61, c.want, 22675));
    }
}

TEST_F(DocumentFileTest, TheChunkThatSetTheLoopGivesTheKeptSmplFieldsAndALoopChunkGoesIntoSmpl)
{
    Bytes later = FullSmpl(52, {});
    later[0] = 99;  // another manufacturer, no loop
    ReadBytes(m_doc, Riff({kFmt, Chunk("smpl", FullSmpl(50, {kFirst})), kData, Chunk("smpl", later)}));
    EXPECT_EQ(ChunkList(WriteBytes(m_doc)),
              ChunkList(Riff({kFmt, Chunk("smpl", FullSmpl(52, {kFirst}, 22675)), kData})));

    ReadBytes(m_doc, Riff({kFmt, kData, Chunk("loop", LoopBody(5, 25))}));
    Bytes smpl = SmplBody(60, 1, 5, 24);
    WriteLE32(&smpl[8], 22675);
    SetChunkId(&smpl[36], "loop");  // the cue id of a new loop record
    EXPECT_EQ(ChunkList(WriteBytes(m_doc)), ChunkList(Riff({kFmt, kData, Chunk("smpl", smpl)})));
}

TEST_F(DocumentFileTest, ReloadReadsTheKeptChunksAgainAndAnXISourceKeepsNone)
{
    const auto path = Put("take.wav", Riff({kFmt, Chunk("LIST", Bytes(4, '1')), Chunk("data", Bytes(2200, 0))}));
    ASSERT_TRUE(DocumentFlow::OpenDocument(m_doc, path));
    Put("take.wav", Riff({kFmt, Chunk("LIST", Bytes(6, '2')), Chunk("data", Bytes(2200, 0))}));
    m_doc.Reload();
    EXPECT_EQ(ChunkBody(WriteBytes(m_doc), "LIST"), Bytes(6, '2'));

    ReadBytes(m_doc, WriteBytes(m_doc, "/tmp/a.xi"), false, "/tmp/a.xi");
    EXPECT_EQ(ChunksExcept(WriteBytes(m_doc), {"fmt ", "data"}), std::vector<CChunkView>{});
}
