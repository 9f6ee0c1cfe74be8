#include "document/SampleChoice.h"

#include <gtest/gtest.h>

TEST(SampleChoice, PromptNamesTheNumberOfOfferedSamples)
{
    EXPECT_EQ(FormatSampleChoicePrompt(2),
              "Selected instrument has 2 samples inside. Please select sample number to use.");
    EXPECT_EQ(FormatSampleChoicePrompt(16),
              "Selected instrument has 16 samples inside. Please select sample number to use.");
}

TEST(SampleChoice, AcceptsNumbersFromOneToTheCount)
{
    EXPECT_EQ(ParseSampleChoice("1", 2), 1);
    EXPECT_EQ(ParseSampleChoice("2", 2), 2);
    EXPECT_EQ(ParseSampleChoice(" 2 ", 2), 2);
    EXPECT_EQ(ParseSampleChoice("+2", 2), 2);
    EXPECT_EQ(ParseSampleChoice("007", 9), 7);
    EXPECT_TRUE(IsValidSampleChoice(1, 1));
    EXPECT_FALSE(IsValidSampleChoice(1, 0));
}

TEST(SampleChoice, RefusesOutOfRangeAndNonNumbers)
{
    for (const char* text : {"0", "3", "-1", "", " ", "abc", "1a", "a1", "1.0", "1 2", "+", "-", "+-1",
                             "99999999999999999999", "0x1"})
        EXPECT_FALSE(ParseSampleChoice(text, 2).has_value()) << '"' << text << '"';
    EXPECT_STREQ(kSampleChoiceError, "Entered value is incorrect.");
    EXPECT_STREQ(kSampleChoiceErrorCaption, "Error");
}
