// The keyboard's steps for a loop marker: the next zero crossing and one
// period of the sound.
#include "analysis/LoopSteps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
constexpr double kPi = 3.14159265358979323846;
}

TEST(LoopSteps, PeriodIsTheFundamentalNotAMultipleAndSilenceHasNone)
{
    struct Case { double period; double overtone; int expected; };
    for (const Case& c : {Case{100.0, 0.0, 100}, Case{441.0, 0.8, 441}, Case{37.5, 0.5, 37}, Case{0.0, 0.0, 0}}) {
        std::vector<double> x(20000, 0.0);
        for (std::size_t i = 0; c.period > 0.0 && i < x.size(); ++i)
            x[i] = std::sin(2 * kPi * double(i) / c.period) + c.overtone * std::sin(4 * kPi * double(i) / c.period);
        const CFrameView frames{x.data(), int(x.size()), 1, 44100};
        EXPECT_NEAR(EstimatePeriod(frames, 0, int(x.size())), c.expected, 1) << c.period;
    }
}

TEST(LoopSteps, ZeroCrossingsAreFoundInEitherDirectionAndNoneMeansStay)
{
    std::vector<double> x(1000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = std::sin(2 * kPi * (double(i) + 0.5) / 100.0);  // sign changes at 50, 100, 150 …
    const CFrameView frames{x.data(), int(x.size()), 1, 44100};
    EXPECT_EQ(NextZeroCrossing(frames, 10, 1), 50);
    EXPECT_EQ(NextZeroCrossing(frames, 50, 1), 100);
    EXPECT_EQ(NextZeroCrossing(frames, 120, -1), 100);
    const std::vector<double> silence(100, 0.0);
    EXPECT_EQ(NextZeroCrossing({silence.data(), 100, 1, 44100}, 40, 1), 40);
}
