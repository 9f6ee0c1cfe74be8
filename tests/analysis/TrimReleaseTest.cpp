#include "TestDocs.h"
#include "analysis/Release.h"
#include "analysis/Trim.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kRate = 44100;

// A 220 Hz tone of amplitude `level` from `onset` on, held until `fall`,
// then decaying by `dbPerSecond`; silence (or `noise`, a 1 kHz whisper)
// around it.
double Tone(int f, int onset, int fall, double dbPerSecond, double level = 0.5)
{
    if (f < onset)
        return 0.0;
    const double gain = f < fall ? 1.0 : std::pow(10.0, -dbPerSecond * (f - fall) / kRate / 20.0);
    return level * gain * std::sin(2 * kTestPi * 220.0 * f / kRate);
}

CFrameView View(const CQuorvelDoc& doc)
{
    return {doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
}

}  // namespace

TEST(FindRelease, TheMarkerLiesWhereTheHeldLevelStartsToFall)
{
    struct Case {
        int fall;
        double dbPerSecond;
    };
    for (const Case& c : {Case{60000, 60.0}, Case{70000, 200.0}, Case{50000, 30.0}}) {
        SCOPED_TRACE(c.fall);
        const auto doc = MakeDoc(kRate, 1, 120000, [&](int f, int) { return Tone(f, 1000, c.fall, c.dbPerSecond); });
        const int found = FindReleaseFrame(View(*doc), 10000, 40000);
        EXPECT_NEAR(found, c.fall, 0.02 * kRate);
        // Never before the sustain's end, whatever the level does.
        EXPECT_EQ(FindReleaseFrame(View(*doc), 10000, c.fall + 20000), c.fall + 20000);
    }
}

TEST(PlanTrim, CutsSilenceAroundTheSoundButNothingProtected)
{
    // Sound from 10000, decaying 100 dB/s from 20000: below −60 dB from the
    // peak after 0.6 s (26460 frames).
    const auto doc = MakeDoc(kRate, 2, 80000, [](int f, int) { return Tone(f, 10000, 20000, 100.0); });
    const int fade = int(std::lround(kTrimFadeSeconds * kRate));
    const int lastLoud = 20000 + 26460;
    struct Case {
        const char* name;
        CTrimSettings settings;
        int keepFirst, keepLast;
        int start, end;  // frames cut (end: ±one period of the tone)
    };
    for (const Case& c : {
             Case{"both ends", {}, 1, 0, 10000 - fade, 80000 - lastLoud - fade},
             Case{"start only", {true, false}, 1, 0, 10000 - fade, 0},
             Case{"a loop in the silence", {}, 5000, 60000, 5000, 20000},
             Case{"a higher threshold cuts more", {false, true, -20.0}, 1, 0, 0, 80000 - 20000 - 8820 - fade},
         }) {
        SCOPED_TRACE(c.name);
        const CTrimCut cut = PlanTrim(View(*doc), c.settings, c.keepFirst, c.keepLast);
        EXPECT_EQ(cut.m_nStart, c.start);
        EXPECT_NEAR(cut.m_nEnd, c.end, kRate / 220);
        // Fades never reach into protected frames.
        if (c.keepFirst <= c.keepLast) {
            EXPECT_LE(cut.m_nStart + cut.m_nFadeIn, c.keepFirst);
            EXPECT_GE(80000 - cut.m_nEnd - cut.m_nFadeOut, c.keepLast);
        }
    }
}

TEST(Trim, EveryLoopAndTheReleaseMoveByExactlyTheFramesCut)
{
    const auto doc = MakeDoc(kRate, 2, 30000, [](int f, int c) { return (f + 1) * (c ? -1e-5 : 1e-5); });
    doc->SetLoops({{9000, 12000, 1}, {8000, 15000, 0}, {10000, 11000, 2}});
    doc->SetRelease(20000);
    doc->Trim(CTrimCut{7000, 5000, 0, 100});
    EXPECT_EQ(doc->m_nFrameCount, 18000);
    EXPECT_EQ(doc->GetLoops(), (std::vector<CLoopPoints>{{2000, 5000, 0}, {1000, 8000, 0}, {3000, 4000, 2}}));
    EXPECT_EQ(doc->m_nRelease, 13000);
    EXPECT_DOUBLE_EQ(doc->GetSample(0, 1), -7001e-5);  // frame 7000 is now the first
    EXPECT_DOUBLE_EQ(doc->GetSample(17899, 0), 24900e-5);  // last frame before the fade
    EXPECT_DOUBLE_EQ(doc->GetSample(17999, 0), 0.0);  // faded out
}
