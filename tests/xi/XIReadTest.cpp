#include "XIBuilder.h"

#include "framework/Exceptions.h"

#include <gtest/gtest.h>

namespace {

class XIReadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.SetUserInterface(&ui);
        doc.OnNewDocument();
    }
    CQuorvelDoc doc;
    CScriptedUi ui;
};

XISampleSpec Sample8(std::vector<int> values)
{
    XISampleSpec s;
    s.data = Bytes8(values);
    s.nLength = std::int32_t(s.data.size());
    return s;
}

XISampleSpec Sample16(std::vector<int> values)
{
    XISampleSpec s;
    s.data = Bytes16(values);
    s.nLength = std::int32_t(s.data.size());
    s.nType = 0x10;
    return s;
}

XISampleSpec Sized(std::int32_t nLength, std::uint8_t nType)
{
    XISampleSpec s;
    s.nLength = nLength;
    s.nType = nType;
    return s;
}

}  // namespace

TEST_F(XIReadTest, ThreeSamplesAskAmongTheNonEmptyOnes)
{
    const auto file = BuildXI({Sized(0, 0x10), Sized(1000, 0x10), Sized(500, 0)});
    ui.answer = 1;
    LoadBytes(doc, file);
    ASSERT_EQ(ui.offered, std::vector<int>{2});
    EXPECT_EQ(doc.m_nXISampleIndex, 1);
    EXPECT_EQ(doc.m_nFrameCount, 500);  // 1000 bytes of 16-bit data
    EXPECT_EQ(doc.m_nXISampleCount, 3);
    EXPECT_EQ(doc.m_nChannels, 1);
    EXPECT_EQ(doc.m_nSampleRate, 44100);
    EXPECT_TRUE(doc.m_bFromXI);
    EXPECT_EQ(doc.m_strFileType, "xi");

    ui.answer = 2;
    LoadBytes(doc, file);
    EXPECT_EQ(doc.m_nXISampleIndex, 2);
    EXPECT_EQ(doc.m_nFrameCount, 500);  // 500 bytes of 8-bit data
    ASSERT_EQ(doc.m_ppXISampleData.size(), 3u);
    EXPECT_TRUE(doc.m_ppXISampleData[0].empty());
    EXPECT_EQ(doc.m_ppXISampleData[1].size(), 1000u);
    EXPECT_EQ(doc.m_ppXISampleData[2].size(), 500u);
}

TEST_F(XIReadTest, CancelledOrOutOfRangeChoiceFailsTheLoadAndKeepsTheDocument)
{
    const auto file = BuildXI({Sized(0, 0x10), Sized(1000, 0x10), Sized(500, 0)});
    for (std::optional<int> answer : {std::optional<int>(), std::optional<int>(0), std::optional<int>(3)}) {
        ui.answer = answer;
        try {
            LoadBytes(doc, file);
            FAIL() << "load went through";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, CArchiveException::generic);
        }
        EXPECT_FALSE(doc.m_bFromXI);
        EXPECT_EQ(doc.m_nFrameCount, 0);
        EXPECT_TRUE(doc.m_pXISampleHeaders.empty());
    }
}

TEST_F(XIReadTest, OnlyNonEmptySampleIsTakenWithoutAsking)
{
    LoadBytes(doc, BuildXI({Sized(0, 0), Sized(0, 0x10), Sized(300, 0x10)}));
    EXPECT_TRUE(ui.offered.empty());
    EXPECT_EQ(doc.m_nXISampleIndex, 2);
    EXPECT_EQ(doc.m_nFrameCount, 150);

    // Negative lengths count as empty; so does 16-bit data of one byte, which
    // holds no frame but is still kept for writing back.
    LoadBytes(doc, BuildXI({Sized(-5, 0), Sized(1, 0x10), Sized(4, 0)}));
    EXPECT_TRUE(ui.offered.empty());
    EXPECT_EQ(doc.m_nXISampleIndex, 2);
    EXPECT_EQ(doc.m_ppXISampleData[1].size(), 1u);
}

TEST_F(XIReadTest, EightBitDeltasWrapAndScaleByOneOver128)
{
    LoadBytes(doc, BuildXI({Sample8({10, 10, -30, 30, 100, 100})}));
    ASSERT_EQ(doc.m_nFrameCount, 6);
    EXPECT_DOUBLE_EQ(doc.GetSample(0, 0), 0.078125);
    EXPECT_DOUBLE_EQ(doc.GetSample(1, 0), 0.15625);
    EXPECT_DOUBLE_EQ(doc.GetSample(2, 0), -0.078125);
    EXPECT_DOUBLE_EQ(doc.GetSample(3, 0), 20 / 128.0);
    EXPECT_DOUBLE_EQ(doc.GetSample(4, 0), 120 / 128.0);
    EXPECT_DOUBLE_EQ(doc.GetSample(5, 0), -36 / 128.0);  // 220 wraps

    LoadBytes(doc, BuildXI({Sample8({100, 100})}));
    EXPECT_DOUBLE_EQ(doc.GetSample(0, 0), 0.78125);
    EXPECT_DOUBLE_EQ(doc.GetSample(1, 0), -0.4375);  // 200 wraps to −56

    // Full scale is full scale, as in 8-bit WAV data.
    LoadBytes(doc, BuildXI({Sample8({-128, 127, -128})}));
    EXPECT_DOUBLE_EQ(doc.GetSample(0, 0), -1.0);
    EXPECT_DOUBLE_EQ(doc.GetSample(1, 0), -1 / 128.0);
    EXPECT_DOUBLE_EQ(doc.GetSample(2, 0), 127 / 128.0);  // −129 wraps to 127
}

TEST_F(XIReadTest, SixteenBitDeltasWrapAndScaleByOneOver32768)
{
    LoadBytes(doc, BuildXI({Sample16({20000, 25536, -32768, 32767})}));
    ASSERT_EQ(doc.m_nFrameCount, 4);
    EXPECT_DOUBLE_EQ(doc.GetSample(0, 0), 20000 / 32768.0);
    EXPECT_DOUBLE_EQ(doc.GetSample(1, 0), -20000 / 32768.0);  // 45536 wraps
    EXPECT_DOUBLE_EQ(doc.GetSample(2, 0), 12768 / 32768.0);   // −52768 wraps
    EXPECT_DOUBLE_EQ(doc.GetSample(3, 0), -20001 / 32768.0);  // 45535 wraps
}

TEST_F(XIReadTest, LoopBytesBecomeFramesOfTheSampleWidth)
{
    XISampleSpec s = Sized(2000, 0x11);
    s.nLoopStart = 201;
    s.nLoopLength = 1000;
    LoadBytes(doc, BuildXI({s}));
    EXPECT_TRUE(doc.m_bHasLoop);
    EXPECT_EQ(doc.m_nLoopStart, 100);
    EXPECT_EQ(doc.m_nLoopEnd, 600);

    s.nType = 0x01;  // same bytes as 8-bit data
    LoadBytes(doc, BuildXI({s}));
    EXPECT_EQ(doc.m_nLoopStart, 201);
    EXPECT_EQ(doc.m_nLoopEnd, 1201);

    for (std::uint8_t type : {0x12, 0x13}) {  // ping-pong and the undefined loop type load as a loop
        s.nType = type;
        LoadBytes(doc, BuildXI({s}));
        EXPECT_TRUE(doc.m_bHasLoop) << int(type);
    }
    s.nType = 0x10;
    LoadBytes(doc, BuildXI({s}));
    EXPECT_FALSE(doc.m_bHasLoop);

    // Positions beyond the int range stay at its top instead of turning negative.
    s.nType = 0x01;
    s.nLoopStart = 0xFFFFFFF0u;
    s.nLoopLength = 0xFFFFFFF0u;
    LoadBytes(doc, BuildXI({s}));
    EXPECT_EQ(doc.m_nLoopStart, 2147483647);
    EXPECT_EQ(doc.m_nLoopEnd, 2147483647);
}

TEST_F(XIReadTest, RelativeNoteGivesTheUnityNote)
{
    XISampleSpec s = Sized(10, 0);
    s.nFinetune = 0;
    for (auto [rel, unity] : {std::pair{-12, 48}, {0, 60}, {13, 73}, {-128, -68}, {127, 187}}) {
        s.nRelativeNote = std::int8_t(rel);
        LoadBytes(doc, BuildXI({s}));
        EXPECT_EQ(doc.m_nUnityNote, unity) << rel;
    }
}

TEST_F(XIReadTest, KeepLoopLeavesLoopAndUnityNote)
{
    XISampleSpec s = Sized(2000, 0x11);
    s.nLoopStart = 200;
    s.nLoopLength = 400;
    s.nRelativeNote = 5;
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = 7;
    doc.m_nLoopEnd = 9;
    doc.m_nUnityNote = 50;
    LoadBytes(doc, BuildXI({s}), true);
    EXPECT_EQ(doc.m_nFrameCount, 1000);
    EXPECT_TRUE(doc.m_bHasLoop);
    EXPECT_EQ(doc.m_nLoopStart, 7);
    EXPECT_EQ(doc.m_nLoopEnd, 9);
    EXPECT_EQ(doc.m_nUnityNote, 50);
}

TEST_F(XIReadTest, OddSixteenBitLengthKeepsFollowingSamplesAligned)
{
    XISampleSpec odd = Sized(1001, 0x10);
    XISampleSpec next = Sample8({5, 1, 1});
    const std::vector<XISampleSpec> specs{odd, next};
    const auto file = BuildXI(specs);

    ui.answer = 2;
    LoadBytes(doc, file);
    EXPECT_EQ(doc.m_nFrameCount, 3);
    EXPECT_DOUBLE_EQ(doc.GetSample(2, 0), 7 / 128.0);
    EXPECT_EQ(doc.m_ppXISampleData[0].size(), 1001u);

    ui.answer = 1;
    LoadBytes(doc, file);
    EXPECT_EQ(doc.m_nFrameCount, 500);
}

namespace {

struct Malformed {
    const char* name;
    std::vector<std::uint8_t> bytes;
};

std::vector<Malformed> MalformedFiles()
{
    const XISampleSpec one = [] {
        XISampleSpec s;
        s.nLength = 100;
        s.nType = 0x10;
        return s;
    }();
    XISampleSpec huge = one;
    huge.nLength = 0x7FFFFFFF;
    huge.data = {1, 2, 3};
    XISampleSpec empty16 = one;
    empty16.nLength = 1;
    XISampleSpec negative = one;
    negative.nLength = -100;
    negative.data = {};
    XISampleSpec zero = one;
    zero.nLength = 0;

    std::vector<Malformed> list;
    list.push_back({"magic only", Bytes8({'E', 'x', 't', 'e'})});
    auto shortHeader = BuildXI({one});
    shortHeader.resize(297);
    list.push_back({"header one byte short", shortHeader});
    list.push_back({"sample count 0", BuildXI({}, 0)});
    list.push_back({"sample count 0 with a sample", BuildXI({one}, 0)});
    list.push_back({"sample count negative", BuildXI({one}, -1)});
    list.push_back({"sample count above headers", BuildXI({one}, 2)});
    list.push_back({"sample count 32767", BuildXI({one}, 32767)});
    auto cutHeaders = BuildXI({one, one});
    cutHeaders.resize(298 + 40 + 39);
    list.push_back({"second sample header cut", cutHeaders});
    list.push_back({"only empty samples", BuildXI({zero, zero})});
    list.push_back({"only negative lengths", BuildXI({negative})});
    list.push_back({"only a one-byte 16-bit sample", BuildXI({empty16})});
    list.push_back({"data one byte short", BuildXI({one}, std::nullopt, 1)});
    list.push_back({"second sample's data cut", BuildXI({one, one}, std::nullopt, 60)});
    list.push_back({"length far beyond the file", BuildXI({huge})});
    list.push_back({"other sample's length beyond the file", BuildXI({one, huge}, std::nullopt, 0)});
    return list;
}

}  // namespace

TEST_F(XIReadTest, MalformedFilesAreRefusedAsUnexpectedFormat)
{
    ui.answer = 1;
    for (const Malformed& m : MalformedFiles()) {
        SCOPED_TRACE(m.name);
        CQuorvelDoc fresh;
        fresh.SetUserInterface(&ui);
        fresh.OnNewDocument();
        try {
            LoadBytes(fresh, m.bytes);
            ADD_FAILURE() << "accepted";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, CArchiveException::badIndex) << e.m_strDetail;
        }
        EXPECT_FALSE(fresh.m_bFromXI);
        EXPECT_EQ(fresh.m_nFrameCount, 0);
        EXPECT_TRUE(fresh.m_pSamples.empty());
    }
    // The refusal comes before the question.
    EXPECT_TRUE(ui.offered.empty());
}
