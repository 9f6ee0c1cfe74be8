// The WAV reader and writer on hand-built files whose right reading is known.

#include "DocTestFixture.h"
#include "WavTestSupport.h"

#include "document/QuorvelDoc.h"
#include "document/WavFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>

namespace {

std::vector<int> SavedCodes(const Bytes& file, std::size_t dataOffset)
{
    std::vector<int> codes;
    const std::uint32_t size = GetLE32(file, dataOffset + 4);
    for (std::size_t i = 0; i < size; i += 2)
        codes.push_back(std::int16_t(GetLE16(file, dataOffset + 8 + i)));
    return codes;
}

std::unique_ptr<CQuorvelDoc> Read(const Bytes& bytes)
{
    auto doc = std::make_unique<CQuorvelDoc>();
    doc->OnNewDocument();
    ReadBytes(*doc, bytes);
    return doc;
}

}  // namespace

// --- sample values -----------------------------------------------------------------

TEST(WavSamples, EightBitValuesAreSavedAsTheSameLevelInSixteenBits)
{
    auto pDoc = Read(Riff({PcmFmt(1, 11025, 1), Chunk("data", Pcm8({0, 128, 255, 1, 127}))}));
    CQuorvelDoc& doc = *pDoc;
    EXPECT_EQ(doc.m_pSamples, (std::vector<double>{-1.0, 0.0, 0.9921875, -0.9921875, -0.0078125}));
    const Bytes saved = WriteBytes(doc);
    EXPECT_EQ(SavedCodes(saved, 36), (std::vector<int>{-32768, 0, 32512, -32512, -256}));
}

TEST(WavSamples, SixteenBitValuesAreSavedUnchanged)
{
    auto pDoc = Read(Riff({PcmFmt(1, 44100, 2), Chunk("data", Pcm16({32767, 1, -1, -32768, 0, 1000, -1000}))}));
    CQuorvelDoc& doc = *pDoc;
    EXPECT_EQ(doc.GetSample(0, 0), 0.999969482421875);
    EXPECT_EQ(doc.GetSample(3, 0), -1.0);
    EXPECT_EQ(SavedCodes(WriteBytes(doc), 36), (std::vector<int>{32767, 1, -1, -32768, 0, 1000, -1000}));
}

TEST(WavSamples, StereoFramesInterleaveLeftThenRight)
{
    // Block align 4: frame i at 4 × i, left first.
    auto pDoc = Read(Riff({PcmFmt(2, 44100, 2), Chunk("data", Pcm16({8192, -8192, 16384, -16384, 0, 32767}))}));
    CQuorvelDoc& doc = *pDoc;
    ASSERT_EQ(doc.m_nFrameCount, 3);
    EXPECT_EQ(doc.GetSample(0, 0), 0.25);
    EXPECT_EQ(doc.GetSample(0, 1), -0.25);
    EXPECT_EQ(doc.GetSample(1, 0), 0.5);
    EXPECT_EQ(doc.GetSample(1, 1), -0.5);
    EXPECT_EQ(doc.GetSample(2, 1), 0.999969482421875);
    const Bytes saved = WriteBytes(doc);
    EXPECT_EQ(GetLE16(saved, 22), 2);
    EXPECT_EQ(GetLE16(saved, 32), 4);
    EXPECT_EQ(SavedCodes(saved, 36), (std::vector<int>{8192, -8192, 16384, -16384, 0, 32767}));
}

TEST(WavSamples, APartialFrameAtTheEndIsDropped)
{
    auto pDoc = Read(Riff({PcmFmt(2, 44100, 2), Chunk("data", Pcm16({1, 2, 3}))}));
    CQuorvelDoc& doc = *pDoc;
    EXPECT_EQ(doc.m_nFrameCount, 1);
    EXPECT_EQ(doc.m_pSamples.size(), 2u);
}

TEST(WavSamples, PaddedFramesReadOnlyWhatLiesInsideTheData)
{
    // Stereo 8-bit with block align 3: one unused byte per frame. Frames are
    // taken from 3 × i; none may reach past the chunk.
    Bytes fmt = Chunk("fmt ", FmtBody(1, 2, 8000, 3, 8));
    auto pDoc = Read(Riff({fmt, Chunk("data", Pcm8({0, 255, 9, 64, 192, 9, 128, 128, 9, 1, 2}))}));
    CQuorvelDoc& doc = *pDoc;
    ASSERT_EQ(doc.m_nFrameCount, 4);
    EXPECT_EQ(doc.GetSample(1, 0), -0.5);
    EXPECT_EQ(doc.GetSample(1, 1), 0.5);
    EXPECT_EQ(doc.GetSample(2, 0), 0.0);
    EXPECT_EQ(doc.GetSample(3, 0), (1 - 128) / 128.0);
    EXPECT_EQ(doc.GetSample(3, 1), (2 - 128) / 128.0);

    // Stereo 16-bit with block align 5.
    Bytes fmt16 = Chunk("fmt ", FmtBody(1, 2, 8000, 5, 16));
    Bytes data = Pcm16({16384, -16384});
    data.push_back(7);
    Bytes more = Pcm16({8192, 0});
    data.insert(data.end(), more.begin(), more.end());
    auto pDoc16 = Read(Riff({fmt16, Chunk("data", data)}));
    CQuorvelDoc& doc16 = *pDoc16;
    ASSERT_EQ(doc16.m_nFrameCount, 2);
    EXPECT_EQ(doc16.m_pSamples, (std::vector<double>{0.5, -0.5, 0.25, 0.0}));
}

TEST(WavSamples, TheWriterClipsValuesOutsideTheRangeInsteadOfWrapping)
{
    CQuorvelDoc doc;
    const double inf = std::numeric_limits<double>::infinity();
    FillDocument(doc, 1, 44100,
                 {1.5, -1.5, 1.0000001, -3e9, inf, -inf, std::nan(""), 0.99999, -0.5, 1.0, -1.0});
    EXPECT_EQ(SavedCodes(WriteBytes(doc), 36),
              (std::vector<int>{32767, -32768, 32767, -32768, 32767, -32768, 0, 32767, -16384, 32767, -32768}));
}

// --- file layout ---------------------------------------------------------------------

TEST(WavLayout, AMonoFileWithALoopIs2112Bytes)
{
    CQuorvelDoc doc;
    std::vector<double> ramp(1000);
    for (int i = 0; i < 1000; ++i)
        ramp[i] = (i - 500) / 1000.0;
    FillDocument(doc, 1, 44100, ramp);
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 100;
    doc.m_nLoopEnd = 900;
    const Bytes f = WriteBytes(doc);
    ASSERT_EQ(f.size(), 2112u);
    EXPECT_EQ(GetId(f, 0), "RIFF");
    EXPECT_EQ(GetLE32(f, 4), 2104u);
    EXPECT_EQ(GetId(f, 8), "WAVE");
    EXPECT_EQ(GetId(f, 12), "fmt ");
    EXPECT_EQ(GetLE32(f, 16), 16u);
    EXPECT_EQ(GetLE16(f, 20), 1);
    EXPECT_EQ(GetLE16(f, 22), 1);
    EXPECT_EQ(GetLE32(f, 24), 44100u);
    EXPECT_EQ(GetLE32(f, 28), 88200u);
    EXPECT_EQ(GetLE16(f, 32), 2);
    EXPECT_EQ(GetLE16(f, 34), 16);
    EXPECT_EQ(GetId(f, 36), "smpl");
    EXPECT_EQ(GetLE32(f, 40), 60u);
    const Bytes smpl(f.begin() + 44, f.begin() + 104);
    Bytes want(60, 0);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            want[at + i] = std::uint8_t(v >> (8 * i));
    };
    put(8, 22675);
    put(12, 60);
    put(28, 1);
    want[36] = 'l', want[37] = 'o', want[38] = 'o', want[39] = 'p';
    put(44, 100);
    put(48, 899);  // the last frame played
    EXPECT_EQ(smpl, want);
    EXPECT_EQ(GetId(f, 104), "data");
    EXPECT_EQ(GetLE32(f, 108), 2000u);
    EXPECT_EQ(std::int16_t(GetLE16(f, 112)), -16384);

    // Read back and saved again: the same bytes.
    auto pAgain = Read(f);
    CQuorvelDoc& again = *pAgain;
    EXPECT_TRUE(again.m_bHasLoop);
    EXPECT_EQ(again.m_nLoopStart, 100);
    EXPECT_EQ(again.m_nLoopEnd, 900);
    EXPECT_EQ(again.m_nUnityNote, 60);
    EXPECT_EQ(WriteBytes(again), f);
}

TEST(WavLayout, WithoutALoopTheFileIs2044Bytes)
{
    CQuorvelDoc doc;
    FillDocument(doc, 1, 44100, std::vector<double>(1000, 0.25));
    doc.m_nLoopStart = 100;  // ignored while no loop is set
    doc.m_nLoopEnd = 900;
    const Bytes f = WriteBytes(doc);
    ASSERT_EQ(f.size(), 2044u);
    EXPECT_EQ(GetLE32(f, 4), 2036u);
    EXPECT_EQ(GetId(f, 36), "data");
    EXPECT_EQ(GetLE32(f, 40), 2000u);
    EXPECT_EQ(SavedCodes(f, 36), std::vector<int>(1000, 8192));
}

TEST(WavLayout, TheSamplePeriodFollowsTheRateAndTheLoopIsWrittenAsItIs)
{
    for (auto [rate, period] : {std::pair{44100, 22675u}, {48000, 20832u}, {22050, 45350u}, {8000, 124995u}}) {
        CQuorvelDoc doc;
        FillDocument(doc, 2, rate, std::vector<double>(20, 0.0));
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = -4;  // not normalised on the way out
        doc.m_nLoopEnd = 5000;
        doc.m_nUnityNote = 127;
        const Bytes f = WriteBytes(doc);
        EXPECT_EQ(GetLE32(f, 52), period) << rate;
        EXPECT_EQ(GetLE32(f, 56), 127u);
        EXPECT_EQ(std::int32_t(GetLE32(f, 88)), -4);
        EXPECT_EQ(GetLE32(f, 92), 4999u);
        EXPECT_EQ(GetLE32(f, 28), std::uint32_t(rate) * 4);
    }
}

TEST(WavLayout, WritingChangesNothingInTheDocument)
{
    CQuorvelDoc doc;
    FillDocument(doc, 2, 32000, {0.1, 2.0, -0.3, 0.4});
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 1;
    doc.m_nLoopEnd = 2;
    WriteBytes(doc);
    EXPECT_EQ(doc.m_pSamples, (std::vector<double>{0.1, 2.0, -0.3, 0.4}));
    EXPECT_EQ(doc.m_nFrameCount, 2);
    EXPECT_EQ(doc.m_nLoopStart, 1);
    EXPECT_EQ(doc.m_nLoopEnd, 2);
}

TEST(WavLayout, ADocumentTooLargeForRiffIsRefusedBeforeAnythingIsWritten)
{
    // 36 + D fits in 32 bits, the 68 bytes of the loop chunk do not.
    CQuorvelDoc doc;
    doc.OnNewDocument();
    doc.m_nChannels = 1;
    doc.m_nFrameCount = 2147483629;  // D = 4294967258, 36 + D = 4294967294
    doc.m_bHasLoop = true;
    CMemFile file("/tmp/big.wav");
    CArchive ar(&file, CArchive::store);
    try {
        doc.WriteSampleFile(ar);
        ADD_FAILURE() << "not refused";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileTooLarge);
    }
    EXPECT_TRUE(file.GetData().empty());

    doc.m_nChannels = 2;
    doc.m_nFrameCount = 1 << 30;
    doc.m_bHasLoop = false;
    EXPECT_THROW(doc.WriteSampleFile(ar), CFileException);
    EXPECT_TRUE(file.GetData().empty());
}

// --- chunk walk ----------------------------------------------------------------------

TEST(WavChunks, ASmplChunkWithoutLoopsSetsOnlyTheUnityNote)
{
    auto pDoc = Read(Riff({PcmFmt(1, 44100, 2), Chunk("smpl", SmplBody(38, 0, 10, 20)), Chunk("data", Pcm16({1, 2}))}));
    CQuorvelDoc& doc = *pDoc;
    EXPECT_EQ(doc.m_nUnityNote, 38);
    EXPECT_FALSE(doc.m_bHasLoop);
    // A short body that stops before the loop count declares no loop either.
    auto pShortBody = Read(Riff({PcmFmt(1, 44100, 2), Chunk("smpl", SmplBody(41, 1, 10, 20, 20)), Chunk("data", Pcm16({1}))}));
    CQuorvelDoc& shortBody = *pShortBody;
    EXPECT_EQ(shortBody.m_nUnityNote, 41);
    EXPECT_FALSE(shortBody.m_bHasLoop);
}

TEST(WavChunks, LoopsAreTakenAsTheFileGivesThem)
{
    // "smpl" stores the last frame played; the document holds the frame after it.
    auto pDoc = Read(Riff({PcmFmt(1, 44100, 2), Chunk("data", Pcm16({1, 2, 3})), Chunk("smpl", SmplBody(60, 3, 2, 9999))}));
    CQuorvelDoc& doc = *pDoc;
    EXPECT_TRUE(doc.m_bHasLoop);
    EXPECT_EQ(doc.m_nLoopStart, 2);
    EXPECT_EQ(doc.m_nLoopEnd, 10000);
    // An end at the top of the int range stays there.
    EXPECT_EQ(Read(Riff({PcmFmt(1, 44100, 2), Chunk("smpl", SmplBody(60, 1, 0, 2147483647))}))->m_nLoopEnd,
              2147483647);
    auto pViaLoop = Read(Riff({Chunk("loop", LoopBody(-7, 1)), PcmFmt(1, 44100, 2), Chunk("data", Pcm16({1, 2, 3}))}));
    CQuorvelDoc& viaLoop = *pViaLoop;
    EXPECT_TRUE(viaLoop.m_bHasLoop);
    EXPECT_EQ(viaLoop.m_nLoopStart, -7);
    EXPECT_EQ(viaLoop.m_nLoopEnd, 1);
    EXPECT_EQ(viaLoop.m_nUnityNote, 60);
}

TEST(WavChunks, TheLaterLoopChunkWins)
{
    const Bytes fmt = PcmFmt(1, 44100, 2), data = Chunk("data", Pcm16({1, 2, 3, 4}));
    auto pSmplLast = Read(Riff({fmt, Chunk("loop", LoopBody(0, 1)), data, Chunk("smpl", SmplBody(50, 1, 2, 3))}));
    CQuorvelDoc& smplLast = *pSmplLast;
    EXPECT_EQ(smplLast.m_nLoopStart, 2);
    EXPECT_EQ(smplLast.m_nLoopEnd, 4);
    EXPECT_EQ(smplLast.m_nUnityNote, 50);
    auto pLoopLast = Read(Riff({fmt, Chunk("smpl", SmplBody(50, 1, 2, 3)), data, Chunk("loop", LoopBody(0, 1))}));
    CQuorvelDoc& loopLast = *pLoopLast;
    EXPECT_EQ(loopLast.m_nLoopStart, 0);
    EXPECT_EQ(loopLast.m_nLoopEnd, 1);
    EXPECT_EQ(loopLast.m_nUnityNote, 50);
    // A later smpl chunk without loops leaves the earlier loop in place.
    auto pNoLoops = Read(Riff({fmt, Chunk("loop", LoopBody(1, 2)), data, Chunk("smpl", SmplBody(44, 0, 0, 0))}));
    CQuorvelDoc& noLoops = *pNoLoops;
    EXPECT_TRUE(noLoops.m_bHasLoop);
    EXPECT_EQ(noLoops.m_nLoopStart, 1);
    EXPECT_EQ(noLoops.m_nUnityNote, 44);
}

TEST(WavChunks, ASecondDataChunkReplacesTheFirstAndALaterFmtAppliesToIt)
{
    auto pDoc = Read(Riff({PcmFmt(1, 44100, 2), Chunk("data", Pcm16({1, 2, 3})), Chunk("data", Pcm16({16384, -16384}))}));
    CQuorvelDoc& doc = *pDoc;
    EXPECT_EQ(doc.m_nFrameCount, 2);
    EXPECT_EQ(doc.m_pSamples, (std::vector<double>{0.5, -0.5}));
    auto pRefmt = Read(Riff({PcmFmt(1, 44100, 2), Chunk("data", Pcm16({1, 2, 3})), PcmFmt(2, 8000, 1),
                                   Chunk("data", Pcm8({0, 255}))}));
    CQuorvelDoc& refmt = *pRefmt;
    EXPECT_EQ(refmt.m_nChannels, 2);
    EXPECT_EQ(refmt.m_nSampleRate, 8000);
    EXPECT_EQ(refmt.m_pSamples, (std::vector<double>{-1.0, 0.9921875}));
}

TEST(WavChunks, AnOddSizedChunkIsFollowedDirectlyByTheNext)
{
    auto pDoc = Read(Riff({PcmFmt(1, 44100, 2), Chunk("junk", Bytes{1, 2, 3}), Chunk("data", Pcm16({16384}))}));
    CQuorvelDoc& doc = *pDoc;
    EXPECT_EQ(doc.m_pSamples, (std::vector<double>{0.5}));
}

TEST(WavChunks, ARiffSizeOfFourOrLessReadsNothing)
{
    for (std::uint32_t size : {0u, 1u, 4u}) {
        auto pDoc = Read(Riff({PcmFmt(1, 48000, 2), Chunk("data", Pcm16({1, 2}))}, size));
    CQuorvelDoc& doc = *pDoc;
        EXPECT_EQ(doc.m_nFrameCount, 0) << size;
        EXPECT_TRUE(doc.m_pSamples.empty());
        EXPECT_EQ(doc.m_nSampleRate, 44100);
    }
}

TEST(WavChunks, TheWalkStopsWhereTheRiffSizeEnds)
{
    // The RIFF size covers "WAVE" and the fmt chunk only.
    auto pDoc = Read(Riff({PcmFmt(1, 48000, 2), Chunk("data", Pcm16({1, 2}))}, 4 + 24));
    CQuorvelDoc& doc = *pDoc;
    EXPECT_EQ(doc.m_nSampleRate, 48000);
    EXPECT_EQ(doc.m_nFrameCount, 0);
}

TEST(WavChunks, AFileEndingAfterACompleteChunkReadsWithoutError)
{
    const Bytes pieces = Riff({PcmFmt(1, 44100, 2), Chunk("data", Pcm16({16384, 8192}))}, 5000);
    EXPECT_EQ(Read(pieces)->m_pSamples, (std::vector<double>{0.5, 0.25}));
    // Up to seven stray bytes after the last chunk end the walk the same way.
    for (std::size_t extra = 1; extra < 8; ++extra) {
        Bytes b = pieces;
        b.insert(b.end(), extra, 0x55);
        EXPECT_EQ(Read(b)->m_nFrameCount, 2) << extra;
    }
}

TEST(WavChunks, ARiffSizeAbove2GiBStillReadsTheChunks)
{
    auto pDoc = Read(Riff({PcmFmt(1, 44100, 2), Chunk("data", Pcm16({16384}))}, 0x90000000u));
    CQuorvelDoc& doc = *pDoc;
    EXPECT_EQ(doc.m_pSamples, (std::vector<double>{0.5}));
}

TEST(WavChunks, KeepingTheLoopIgnoresSmplAndLoopChunks)
{
    CQuorvelDoc doc;
    doc.OnNewDocument();
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 5;
    doc.m_nLoopEnd = 9;
    doc.m_nUnityNote = 70;
    ReadBytes(doc, Riff({PcmFmt(1, 44100, 2), Chunk("smpl", SmplBody(38, 1, 1, 2)), Chunk("loop", LoopBody(3, 4)),
                         Chunk("data", Pcm16({1, 2, 3}))}),
              true);
    EXPECT_TRUE(doc.m_bHasLoop);
    EXPECT_EQ(doc.m_nLoopStart, 5);
    EXPECT_EQ(doc.m_nLoopEnd, 9);
    EXPECT_EQ(doc.m_nUnityNote, 70);
    EXPECT_EQ(doc.m_nFrameCount, 3);
    // Kept even when there is no loop: none comes from the file.
    doc.m_bHasLoop = false;
    ReadBytes(doc, Riff({PcmFmt(1, 44100, 2), Chunk("smpl", SmplBody(38, 1, 1, 2)), Chunk("data", Pcm16({1}))}), true);
    EXPECT_FALSE(doc.m_bHasLoop);
}

// --- what a save keeps ----------------------------------------------------------------
// Every chunk the program does not own, byte for byte and in its place, and
// every field of "smpl" but the unity note, the sample period and the first loop.

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

    // Read from an XI file instead, the document keeps no chunk.
    ReadBytes(m_doc, WriteBytes(m_doc, "/tmp/a.xi"), false, "/tmp/a.xi");
    EXPECT_EQ(ChunksExcept(WriteBytes(m_doc), {"fmt ", "data"}), std::vector<CChunkView>{});
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

TEST_F(DocumentFileTest, PitchFractionIsKeptExactlyAndCarriedBetweenSmplAndXI)
{
    // 19 cents flat of F#4, stored by its maker as F4 and 81 cents.
    Bytes smpl = SmplBody(65, 0, 0, 0);
    WriteLE32(&smpl[16], 0xCF5C28F6u);
    ReadBytes(m_doc, Riff({kFmt, Chunk("smpl", smpl), kData}));
    EXPECT_EQ(GetLE32(ChunkBody(WriteBytes(m_doc), "smpl"), 16), 0xCF5C28F6u);
    // XI holds the nearest 1/128 semitone: F#4 (relative note 6) − 24/128.
    const Bytes xi = WriteBytes(m_doc, "/tmp/out.xi");
    EXPECT_EQ(xi[298 + 16], 6);
    EXPECT_EQ(std::int8_t(xi[298 + 13]), -24);
    ReadBytes(m_doc, xi, false, "/tmp/in.xi");
    EXPECT_EQ(m_doc.GetTuning(), (CTuning{65, 0xD0000000u}));
    EXPECT_EQ(GetLE32(ChunkBody(WriteBytes(m_doc), "smpl"), 16), 0xD0000000u);
    EXPECT_TRUE(m_ui.m_messages.empty());
    // A pitch the relative note cannot reach is written as near as it can be, and said so.
    m_doc.SetTuning({200, 0});
    WriteBytes(m_doc, "/tmp/far.xi");
    EXPECT_EQ(m_ui.m_messages.size(), 1u);
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

// --- several loops and the release marker ----------------------------------------------
// A file as organ sample sets store a pipe: four loop records, a cue point
// at the release and its label.

namespace {

const std::vector<LoopRecord> kFourLoops{{0, 0, 10, 29, 0, 0}, {1, 1, 5, 14, 7, 0}, {2, 0, 20, 39, 0, 2},
                                         {3, 0, 12, 33, 0, 0}};
Bytes CueBody(std::uint32_t position, std::uint32_t offset)
{
    Bytes b;
    for (std::uint32_t v : {1u, 0u, position, 0x61746164u /* "data" */, 0u, 0u, offset})
        PutLE32(b, v);
    return b;
}
const Bytes kLabel = Chunk("LIST", Bytes{'a', 'd', 't', 'l', 'l', 'a', 'b', 'l', 6, 0, 0, 0, 0, 0, 0, 0, 'r', 0});

}  // namespace

TEST_F(DocumentFileTest, SeveralLoopsACueAndItsLabelComeBackByteForByteAndAMoveRewritesOnlyItsRecord)
{
    const Bytes in = Riff({kFmt, kLabel, Chunk("cue ", CueBody(0, 44)), Chunk("smpl", FullSmpl(60, kFourLoops, 22675)),
                           kData});
    ReadBytes(m_doc, in);
    EXPECT_EQ(m_doc.GetLoops(),
              (std::vector<CLoopPoints>{{10, 30, 0}, {5, 15, 1}, {20, 40, 0}, {12, 34, 0}}));
    EXPECT_EQ(m_doc.m_nRelease, 44);
    EXPECT_EQ(WriteBytes(m_doc), in);

    for (std::size_t i = 0; i < kFourLoops.size(); ++i) {
        SCOPED_TRACE(i);
        ReadBytes(m_doc, in);
        std::vector<CLoopPoints> loops = m_doc.GetLoops();
        loops[i].m_nEnd += 3;
        m_doc.SetLoops(loops);
        std::vector<LoopRecord> want = kFourLoops;
        want[i][3] += 3;
        EXPECT_EQ(ChunkBody(WriteBytes(m_doc), "smpl"), FullSmpl(60, want, 22675));
    }

    // The release moves in the cue point alone; removed, the chunk goes.
    m_doc.SetRelease(47);
    const Bytes moved = WriteBytes(m_doc);
    EXPECT_EQ(ChunkBody(moved, "cue "), CueBody(0, 47));
    EXPECT_EQ(ChunkBody(moved, "LIST"), ChunkBody(in, "LIST"));
    m_doc.SetRelease(-1);
    EXPECT_EQ(ChunksExcept(WriteBytes(m_doc), {"fmt ", "LIST", "smpl", "data"}), std::vector<CChunkView>{});
}

TEST_F(DocumentFileTest, AReleaseWithoutACueGetsOneBeforeTheFramesAndXISaysWhatItCannotKeep)
{
    ReadBytes(m_doc, Riff({kFmt, kData}));
    m_doc.SetRelease(30);
    m_doc.SetLoops({{1, 9, 0}, {2, 8, 0}});
    const Bytes saved = WriteBytes(m_doc);
    ASSERT_EQ(ChunkList(saved).size(), 4u);
    EXPECT_EQ(ChunkList(saved)[1].id, "cue ");
    ReadBytes(m_doc, saved);
    EXPECT_EQ(m_doc.m_nRelease, 30);

    ReadBytes(m_doc, WriteBytes(m_doc, "/tmp/a.xi"), false, "/tmp/a.xi");
    EXPECT_EQ(m_doc.GetLoops(), (std::vector<CLoopPoints>{{1, 9, 0}}));
    EXPECT_EQ(m_ui.m_messages,
              (std::vector<std::string>{"XI holds one loop. Only the first loop will be written.",
                                        "XI has no release marker. The release marker will not be written."}));
}
